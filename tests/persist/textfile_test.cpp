#include "persist/textfile.h"
#include "support/persist_support.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOGDI // its ABC would clash with the game's
#include <windows.h>
#undef interface
#else
#include <cerrno>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The calls by which a write reaches the disk are watched, or made to fail,
// by wrappers the link step puts in between (GNU linker, on Linux and with
// MinGW-w64, where the Windows functions are reached through their import
// pointers); each passes the call on.
namespace disk {
struct Call {
    enum Kind { Data, Folder, Move } kind;
    std::filesystem::path path; // synced file or folder, or the moved file
    std::filesystem::path to;   // where it was moved
    std::string content;        // the synced file's bytes at the time
    unsigned bits = 0;          // its permission bits (POSIX) or the move's flags
};
std::vector<Call> calls;
bool watching = false;
bool failData = false;
bool failFolder = false;

void Record(Call call)
{
    if (watching) {
        calls.push_back(std::move(call));
    }
}

// Starts a fresh record; no sync fails.
void Watch()
{
    calls.clear();
    watching = true;
    failData = false;
    failFolder = false;
}

std::filesystem::path Normal(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::filesystem::path full =
        std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path.lexically_normal() : full;
}
} // namespace disk

#ifdef VORLUNE_WRAPS_SYNC
#ifdef _WIN32
extern "C" {
extern decltype(&FlushFileBuffers) __real___imp_FlushFileBuffers;
extern decltype(&MoveFileExA) __real___imp_MoveFileExA;
}

namespace {

BOOL WINAPI WatchFlush(HANDLE file)
{
    char name[MAX_PATH * 2] = {};
    const DWORD n = GetFinalPathNameByHandleA(file, name, sizeof name, FILE_NAME_NORMALIZED);
    std::string path(name, n < sizeof name ? n : 0);
    if (path.rfind("\\\\?\\", 0) == 0) {
        path.erase(0, 4);
    }
    disk::Record({disk::Call::Data, path, {}, ReadFileBytes(path), 0});
    if (disk::failData) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return __real___imp_FlushFileBuffers(file);
}

BOOL WINAPI WatchMove(LPCSTR from, LPCSTR to, DWORD flags)
{
    disk::Record({disk::Call::Move, disk::Normal(from), disk::Normal(to), {}, flags});
    return __real___imp_MoveFileExA(from, to, flags);
}

} // namespace

extern "C" {
decltype(&FlushFileBuffers) __wrap___imp_FlushFileBuffers = WatchFlush;
decltype(&MoveFileExA) __wrap___imp_MoveFileExA = WatchMove;
}
#else
extern "C" {
int __real_fsync(int fd);
int __real_fdatasync(int fd);
int __real_rename(const char* from, const char* to);
}

namespace {

// Records a sync of `fd`; true when the test wants it to fail.
bool RecordSync(int fd)
{
    struct stat info {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::read_symlink(link, ec);
    if (fstat(fd, &info) != 0 || ec) {
        disk::Record({disk::Call::Data, "?", {}, {}, 0});
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        disk::Record({disk::Call::Folder, path, {}, {}, 0});
        return disk::failFolder;
    }
    disk::Record({disk::Call::Data,
                  path,
                  {},
                  ReadFileBytes(link),
                  static_cast<unsigned>(info.st_mode & 07777)});
    return disk::failData;
}

} // namespace

extern "C" {
int __wrap_fsync(int fd)
{
    if (RecordSync(fd)) {
        errno = EIO;
        return -1;
    }
    return __real_fsync(fd);
}

int __wrap_fdatasync(int fd)
{
    if (RecordSync(fd)) {
        errno = EIO;
        return -1;
    }
    return __real_fdatasync(fd);
}

int __wrap_rename(const char* from, const char* to)
{
    disk::Record({disk::Call::Move, disk::Normal(from), disk::Normal(to), {}, 0});
    return __real_rename(from, to);
}
}
#endif
#endif

namespace {

// Produces a long input on the fly: each piece is a pattern repeated a number
// of times, so gigantic inputs need no disk and no memory.
class GeneratedInput : public std::streambuf {
  public:
    explicit GeneratedInput(std::vector<std::pair<std::string, uint64_t>> pieces)
        : pieces_(std::move(pieces)), chunk_(1 << 16)
    {
    }

    uint64_t Produced() const { return produced_; }

  protected:
    int_type underflow() override
    {
        std::size_t filled = 0;
        while (filled < chunk_.size() && piece_ < pieces_.size()) {
            const auto& [pattern, repeats] = pieces_[piece_];
            if (repeat_ >= repeats || pattern.empty()) {
                ++piece_;
                repeat_ = 0;
                offset_ = 0;
                continue;
            }
            const std::size_t n = std::min(chunk_.size() - filled, pattern.size() - offset_);
            std::copy_n(pattern.data() + offset_, n, chunk_.data() + filled);
            filled += n;
            offset_ += n;
            if (offset_ == pattern.size()) {
                offset_ = 0;
                ++repeat_;
            }
        }
        if (filled == 0) {
            return traits_type::eof();
        }
        produced_ += filled;
        setg(chunk_.data(), chunk_.data(), chunk_.data() + filled);
        return traits_type::to_int_type(chunk_[0]);
    }

  private:
    std::vector<std::pair<std::string, uint64_t>> pieces_;
    std::vector<char> chunk_;
    std::size_t piece_ = 0;
    uint64_t repeat_ = 0;
    std::size_t offset_ = 0;
    uint64_t produced_ = 0;
};

std::vector<std::string> AllLines(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> lines;
    std::string line;
    while (ReadLine(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(ReadLine, SplitsAtLineFeedsAndDropsOneCarriageReturn)
{
    EXPECT_EQ(AllLines(""), Lines{});
    EXPECT_EQ(AllLines("\n"), Lines{""});
    EXPECT_EQ(AllLines("a\n"), Lines{"a"});
    EXPECT_EQ(AllLines("a\nb"), (Lines{"a", "b"}));
    EXPECT_EQ(AllLines("a\n\nb\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(AllLines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(AllLines("a\r\r\n"), Lines{"a\r"});
    EXPECT_EQ(AllLines("\r\n\r"), (Lines{"", ""}));
    EXPECT_EQ(AllLines("a\rb\n"), Lines{"a\rb"});
    EXPECT_EQ(AllLines(" lead and trail \t\n"), Lines{" lead and trail \t"});
}

TEST(ReadLine, KeepsBinaryBytesUnchanged)
{
    std::string junk;
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        junk.push_back(static_cast<char>(state >> 24));
    }
    junk += std::string("\0\0\xff\n", 4);
    std::istringstream in(junk);
    std::string line;
    std::string rebuilt;
    int count = 0;
    while (ReadLine(in, line)) {
        rebuilt += line;
        ++count;
    }
    // Rebuild the expected result: every line feed and every carriage return
    // right before one is gone.
    std::string expected;
    int expectedCount = 0;
    std::size_t start = 0;
    while (start < junk.size()) {
        std::size_t end = junk.find('\n', start);
        if (end == std::string::npos) {
            end = junk.size();
        }
        std::string piece = junk.substr(start, end - start);
        if (!piece.empty() && piece.back() == '\r') {
            piece.pop_back();
        }
        expected += piece;
        ++expectedCount;
        start = end + 1;
    }
    EXPECT_EQ(count, expectedCount);
    EXPECT_EQ(rebuilt, expected);
}

TEST(ReadLine, HugeLineIsCappedAndTheNextLineStillRead)
{
    const uint64_t hundredMegabytes = 100ull * 1024 * 1024;
    GeneratedInput source({{"x", hundredMegabytes}, {"\r\nnext\n", 1}});
    std::istream in(&source);
    std::string line;
    ASSERT_TRUE(ReadLine(in, line));
    EXPECT_EQ(line.size(), MaxLineLength);
    EXPECT_EQ(line.find_first_not_of('x'), std::string::npos);
    // Memory held for the line stays near the cap, not near the input size.
    EXPECT_LE(line.capacity(), 2 * MaxLineLength);
    ASSERT_TRUE(ReadLine(in, line));
    EXPECT_EQ(line, "next");
    EXPECT_FALSE(ReadLine(in, line));
    EXPECT_EQ(source.Produced(), hundredMegabytes + 7);
}

TEST(ReadLine, LineJustOverTheCapLosesOnlyItsCarriageReturn)
{
    std::string text(MaxLineLength, 'y');
    text += "\r\nz\n";
    std::istringstream in(text);
    std::string line;
    ASSERT_TRUE(ReadLine(in, line));
    EXPECT_EQ(line, std::string(MaxLineLength, 'y'));
    ASSERT_TRUE(ReadLine(in, line));
    EXPECT_EQ(line, "z");
}

TEST(ReadLine, MillionLines)
{
    GeneratedInput source({{"line\r\n", 1000000}, {"end", 1}});
    std::istream in(&source);
    std::string line;
    int count = 0;
    std::size_t maxCapacity = 0;
    bool allSame = true;
    while (ReadLine(in, line)) {
        ++count;
        maxCapacity = std::max(maxCapacity, line.capacity());
        if (count <= 1000000 && line != "line") {
            allSame = false;
        }
    }
    EXPECT_EQ(count, 1000001);
    EXPECT_TRUE(allSame);
    EXPECT_EQ(line, "");
    EXPECT_LE(maxCapacity, 2 * MaxLineLength);
}

// Every number of the settings and score files is read here.
TEST(ParseNumber, BehavesLikeAtoiAndSaturates)
{
    const struct {
        std::string text;
        int32_t value;
    } rows[] = {
        {"42", 42},
        {"  \t-17", -17},
        {" -40dB", -40},
        {"+8", 8},
        {"123abc", 123},
        {"abc", 0},
        {"yes", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"007", 7},
        {"010", 10}, // decimal, never octal
        {"0x1F", 0}, // nor hexadecimal
        {"12 34", 12},
        {std::string("9\0"
                     "9",
                     3),
         9},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MAX},
        {"99999999999999", INT32_MAX},
        {"-99999999999999999999999", INT32_MIN},
        {std::string(100000, '9'), INT32_MAX},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ParseNumber(row.text), row.value) << "\"" << row.text.substr(0, 30) << "\"";
    }
}

class ListFileTest : public PersistDirTest {};

TEST_F(ListFileTest, PassesNumberedLinesUpToTheLimit)
{
    WriteFileBytes("list.txt", "first\r\nsecond\n\nfourth\nfifth\n");
    std::vector<std::pair<int, std::string>> seen;
    const auto collect = [&](int n, const std::string& line) { seen.emplace_back(n, line); };

    EXPECT_EQ(ForEachListLine("list.txt", 3, collect), 3);
    EXPECT_EQ(seen,
              (std::vector<std::pair<int, std::string>>{{1, "first"}, {2, "second"}, {3, ""}}));

    seen.clear();
    EXPECT_EQ(ForEachListLine("list.txt", 100, collect), 5);
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[4], (std::pair<int, std::string>{5, "fifth"}));

    seen.clear();
    EXPECT_EQ(ForEachListLine("list.txt", 0, collect), 0);
    EXPECT_EQ(ForEachListLine("missing.txt", 10, collect), 0);
    EXPECT_EQ(ForEachListLine(nullptr, 10, collect), 0);
    std::filesystem::create_directory("adir");
    EXPECT_EQ(ForEachListLine("adir", 10, collect), 0);
    WriteFileBytes("empty.txt", "");
    EXPECT_EQ(ForEachListLine("empty.txt", 10, collect), 0);
    EXPECT_TRUE(seen.empty());
}

class AtomicWriteTest : public PersistDirTest {};

TEST_F(AtomicWriteTest, WritesAndReplacesWithoutLeavingTemporaries)
{
    EXPECT_TRUE(WriteFileAtomically("out.txt", "one\ntwo\n"));
    EXPECT_EQ(ReadFileBytes("out.txt"), AsWritten("one\ntwo\n"));
    EXPECT_TRUE(WriteFileAtomically("out.txt", "three\n"));
    EXPECT_EQ(ReadFileBytes("out.txt"), AsWritten("three\n"));
    EXPECT_TRUE(WriteFileAtomically("out.txt", ""));
    EXPECT_TRUE(std::filesystem::exists("out.txt"));
    EXPECT_EQ(ReadFileBytes("out.txt"), "");
    EXPECT_EQ(DirEntries(), 1);

#ifndef _WIN32
    // A temporary of a writer that died is removed; those of a running one,
    // and names that only look alike, stay.
    const pid_t dead = fork();
    if (dead == 0) {
        _exit(0);
    }
    ASSERT_GT(dead, 0);
    waitpid(dead, nullptr, 0);
    const std::string deadTemp = "out.txt." + std::to_string(dead) + ".1.tmp";
    const std::string liveTemp = "out.txt." + std::to_string(getppid()) + ".1.tmp";
    for (const std::string& name :
         {deadTemp, liveTemp, std::string("out.txt.tmp"), std::string("out.txt.1x.1.tmp"),
          std::string("xout.txt.1.1.tmp")}) {
        WriteFileBytes(name, "half a fi");
    }
    EXPECT_TRUE(WriteFileAtomically("out.txt", "whole\n"));
    EXPECT_EQ(ReadFileBytes("out.txt"), AsWritten("whole\n"));
    EXPECT_FALSE(std::filesystem::exists(deadTemp));
    EXPECT_EQ(DirEntries(), 5);
#endif
}

TEST_F(AtomicWriteTest, FailureKeepsTheOldFileAndCleansUp)
{
    EXPECT_FALSE(WriteFileAtomically("", "x"));
    EXPECT_FALSE(WriteFileAtomically("no/such/dir/out.txt", "x"));

    // The target cannot be replaced.
    std::filesystem::create_directory("target");
    WriteFileBytes("target/inside", "keep");
    EXPECT_FALSE(WriteFileAtomically("target", "new\n"));
    EXPECT_TRUE(std::filesystem::is_directory("target"));
    EXPECT_EQ(ReadFileBytes("target/inside"), "keep");
    EXPECT_EQ(DirEntries(), 1);
}

namespace {

// Watches the calls that reach the disk; no sync fails once a test is over.
class SyncedWriteTest : public PersistDirTest {
  protected:
    void TearDown() override
    {
        disk::Watch();
        disk::watching = false;
        PersistDirTest::TearDown();
    }
};

// True when two recorded paths name the same file. Windows spells a path in
// several ways (drive, short names), so there the names alone are compared:
// temporaries carry the process and a count, which makes them unique.
bool SamePath(const std::filesystem::path& a, const std::filesystem::path& b)
{
#ifdef _WIN32
    return a.filename() == b.filename();
#else
    return a == b;
#endif
}

// The record of one write of TEXT over TARGET: the temporary synced with
// all of its data, then moved over TARGET (on Windows written through),
// then (POSIX) TARGET's folder synced; nothing else.
void ExpectSyncedWrite(const std::filesystem::path& target, const std::string& text)
{
    using disk::Call;
    const std::vector<Call>& calls = disk::calls;
#ifdef _WIN32
    ASSERT_EQ(calls.size(), 2u);
    const unsigned through = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    EXPECT_EQ(calls[1].bits & through, through);
#else
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].kind, Call::Folder);
    EXPECT_EQ(calls[2].path, disk::Normal(target).parent_path());
#endif
    EXPECT_EQ(calls[0].kind, Call::Data);
    EXPECT_EQ(calls[0].content, AsWritten(text));
    EXPECT_EQ(calls[1].kind, Call::Move);
    EXPECT_TRUE(SamePath(calls[1].path, calls[0].path))
        << calls[1].path << " moved, " << calls[0].path << " synced";
    EXPECT_TRUE(SamePath(calls[1].to, disk::Normal(target))) << calls[1].to;
}

} // namespace

TEST_F(SyncedWriteTest, DataReachTheDiskBeforeTheRenameAndTheFolderAfter)
{
#ifndef VORLUNE_WRAPS_SYNC
    GTEST_SKIP() << "this build has no link-time wrappers";
#else
    // A new file, then the same file replaced.
    for (const char* text : {"one\ntwo\n", "three\n"}) {
        SCOPED_TRACE(text);
        disk::Watch();
        EXPECT_TRUE(WriteFileAtomically("out.txt", text));
        disk::watching = false;
        ExpectSyncedWrite(dir_ / "out.txt", text);
    }
#ifndef _WIN32
    // Through a link into another folder: that folder is synced, and the
    // temporary has the old file's rights before its sync.
    namespace fs = std::filesystem;
    fs::create_directory("real");
    WriteFileBytes("real/Settings.txt", "old\n");
    fs::permissions("real/Settings.txt", fs::perms(0604));
    fs::create_symlink("real/Settings.txt", "Settings.txt");
    disk::Watch();
    EXPECT_TRUE(WriteFileAtomically("Settings.txt", "linked\n"));
    disk::watching = false;
    ExpectSyncedWrite(dir_ / "real" / "Settings.txt", "linked\n");
    ASSERT_FALSE(disk::calls.empty());
    EXPECT_EQ(disk::calls[0].bits, 0604u);
#endif
#endif
}

TEST_F(SyncedWriteTest, AFailedSyncIsAFailedWrite)
{
#ifndef VORLUNE_WRAPS_SYNC
    GTEST_SKIP() << "this build has no link-time wrappers";
#else
    namespace fs = std::filesystem;
    WriteFileBytes("out.txt", "old\n");
    disk::Watch();
    disk::failData = true;
    EXPECT_FALSE(WriteFileAtomically("out.txt", "new\n"));
    EXPECT_FALSE(WriteFileAtomically("new.txt", "new\n"));
    // The syncs were tried; nothing was moved, the old file is unchanged,
    // no file was made and no temporary is left.
    ASSERT_EQ(disk::calls.size(), 2u);
    EXPECT_EQ(disk::calls[0].kind, disk::Call::Data);
    EXPECT_EQ(disk::calls[1].kind, disk::Call::Data);
    EXPECT_EQ(ReadFileBytes("out.txt"), "old\n");
    EXPECT_FALSE(fs::exists("new.txt"));
    EXPECT_EQ(DirEntries(), 1);
#ifndef _WIN32
    // The folder is synced after the rename: the new file is in place, but
    // the write is not known to be on the disk.
    disk::Watch();
    disk::failFolder = true;
    EXPECT_FALSE(WriteFileAtomically("out.txt", "newer\n"));
    EXPECT_EQ(ReadFileBytes("out.txt"), "newer\n");
    EXPECT_EQ(DirEntries(), 1);
#endif
    // Once the disk answers again, writing works.
    disk::Watch();
    EXPECT_TRUE(WriteFileAtomically("out.txt", "last\n"));
    EXPECT_EQ(ReadFileBytes("out.txt"), AsWritten("last\n"));
    EXPECT_EQ(DirEntries(), 1);
#endif
}

#ifndef _WIN32
TEST_F(AtomicWriteTest, FilesTheUserProtectedAreLeftAlone)
{
    namespace fs = std::filesystem;
    using fs::perms;
    fs::permissions(dir_, perms::all);
    const auto write = [](const char* path) {
        return [path] { return WriteFileAtomically(path, "new\n") ? 1 : 0; };
    };

    // A read-only file in a folder the user may write to.
    WriteFileBytes("readonly.txt", "old\r\n");
    fs::permissions("readonly.txt", perms::owner_read | perms::group_read | perms::others_read);
    EXPECT_EQ(AsUnprivileged(write("readonly.txt")), 0);
    EXPECT_EQ(ReadFileBytes("readonly.txt"), "old\r\n");
    EXPECT_EQ(fs::status("readonly.txt").permissions(),
              perms::owner_read | perms::group_read | perms::others_read);

    // A writable file in a read-only folder: no temporary can go beside it.
    fs::create_directory("locked");
    WriteFileBytes("locked/open.txt", "old\n");
    fs::permissions("locked/open.txt",
                    perms::all & ~perms::owner_exec & ~perms::group_exec & ~perms::others_exec);
    const perms readOnlyFolder = perms::owner_read | perms::owner_exec | perms::group_read |
                                 perms::group_exec | perms::others_read | perms::others_exec;
    fs::permissions("locked", readOnlyFolder);
    EXPECT_EQ(AsUnprivileged(write("locked/open.txt")), 0);
    EXPECT_EQ(ReadFileBytes("locked/open.txt"), "old\n");

    // A pipe is neither waited on nor replaced.
    ASSERT_EQ(mkfifo("pipe.txt", 0666), 0);
    EXPECT_EQ(AsUnprivileged(write("pipe.txt")), 0);
    EXPECT_TRUE(fs::is_fifo("pipe.txt"));

    // Nothing else appeared, temporaries included; a plain file still works.
    EXPECT_EQ(DirEntries(), 3);
    if (geteuid() == 0) {
        // Another user's file the group may write: written, rights unchanged.
        WriteFileBytes("shared.txt", "old\n");
        ASSERT_EQ(chown("shared.txt", 0, 65534), 0);
        const perms groupWrite = perms::owner_read | perms::group_read | perms::group_write;
        fs::permissions("shared.txt", groupWrite);
        EXPECT_EQ(AsUnprivileged(write("shared.txt")), 1);
        EXPECT_EQ(ReadFileBytes("shared.txt"), "new\n");
        EXPECT_EQ(fs::status("shared.txt").permissions(), groupWrite);
        fs::remove("shared.txt");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator("locked"), fs::directory_iterator()), 1);
    fs::permissions("locked", perms::owner_all);
    EXPECT_EQ(AsUnprivileged(write("fresh.txt")), 1);
    EXPECT_EQ(ReadFileBytes("fresh.txt"), "new\n");
}

TEST_F(AtomicWriteTest, LinksStayLinksAndTheFileKeepsItsRights)
{
    namespace fs = std::filesystem;
    using fs::perms;
    fs::create_directory("real");
    WriteFileBytes("real/Settings.txt", "old\n");
    const perms odd = perms::owner_read | perms::owner_write | perms::others_read;
    fs::permissions("real/Settings.txt", odd);
    fs::create_symlink("real/Settings.txt", "Settings.txt");
    fs::create_symlink("Settings.txt", "chain.txt");
    fs::create_symlink("real/new.txt", "dangling.txt");

    EXPECT_TRUE(WriteFileAtomically("chain.txt", "new\n"));
    EXPECT_TRUE(WriteFileAtomically("dangling.txt", "made\n"));
    EXPECT_TRUE(fs::is_symlink("Settings.txt"));
    EXPECT_TRUE(fs::is_symlink("chain.txt"));
    EXPECT_TRUE(fs::is_symlink("dangling.txt"));
    EXPECT_EQ(ReadFileBytes("real/Settings.txt"), "new\n");
    EXPECT_EQ(ReadFileBytes("real/new.txt"), "made\n");
    EXPECT_EQ(fs::status("real/Settings.txt").permissions(), odd);
    EXPECT_EQ(DirEntries(), 4);
    EXPECT_EQ(std::distance(fs::directory_iterator("real"), fs::directory_iterator()), 2);

    // The owner stays too, where the writer may give the file away.
    if (geteuid() == 0) {
        ASSERT_EQ(chown("real/Settings.txt", 65534, 65534), 0);
        EXPECT_TRUE(WriteFileAtomically("Settings.txt", "again\n"));
        struct stat info {};
        ASSERT_EQ(stat("real/Settings.txt", &info), 0);
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
}
#endif
