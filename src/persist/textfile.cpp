#include "persist/textfile.h"

#include <atomic>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef interface
#else
#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;

// What a rewritten file keeps of the one it replaces.
struct Keep {
    bool exists = false;
#ifndef _WIN32
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
#endif
};

enum class Target { Missing, Writable, Refused };

#ifdef _WIN32

// The temporary stays open from its creation to the sync of its data.
using FileHandle = HANDLE;
const FileHandle NoFile = INVALID_HANDLE_VALUE;

unsigned long ProcessId()
{
    return GetCurrentProcessId();
}

bool ProcessAlive(unsigned long pid)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        // No such process; any other refusal means it is there.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

// Opens an existing file for writing without emptying it. A read-only file
// (or one another program holds without sharing) is refused.
Target ProbeTarget(const std::string& path, Keep& keep)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? Target::Missing : Target::Refused;
    }
    const bool plainFile = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    keep.exists = true;
    return plainFile ? Target::Writable : Target::Refused;
}

// Creates `path`, which must not exist yet, and keeps it open; the stream
// that writes the text opens it once more, so writing is shared.
FileHandle CreateTemporary(const std::string& path, const Keep&)
{
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Waits until the file's data are on the disk.
bool SyncData(FileHandle file)
{
    return FlushFileBuffers(file) != 0;
}

void CloseFile(FileHandle file)
{
    CloseHandle(file);
}

// A read-only target was refused before, so the new file needs nothing of
// the old one.
bool KeepRights(const std::string&, const Keep&)
{
    return true;
}

// MOVEFILE_WRITE_THROUGH returns once the move is on the disk.
bool ReplaceWith(const std::string& from, const std::string& to)
{
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The move above was written through: nothing is left to sync.
bool SyncFolder(const fs::path&)
{
    return true;
}

#else

using FileHandle = int;
constexpr FileHandle NoFile = -1;

unsigned long ProcessId()
{
    return static_cast<unsigned long>(getpid());
}

bool ProcessAlive(unsigned long pid)
{
    const pid_t id = static_cast<pid_t>(pid);
    if (id <= 0 || static_cast<unsigned long>(id) != pid) {
        return false;
    }
    return kill(id, 0) == 0 || errno == EPERM;
}

// Opens an existing file for writing without emptying it (and without
// waiting for a reader, should it be a pipe). Anything but a plain file is
// refused, so a link to a device is never replaced.
Target ProbeTarget(const std::string& path, Keep& keep)
{
    const int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? Target::Missing : Target::Refused;
    }
    struct stat info {};
    const bool plainFile = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    close(fd);
    if (!plainFile) {
        return Target::Refused;
    }
    keep.exists = true;
    keep.mode = info.st_mode & 07777;
    keep.owner = info.st_uid;
    keep.group = info.st_gid;
    return Target::Writable;
}

// Creates `path`, which must not exist yet, and keeps it open: private
// while it is written in place of an existing file, with the usual rights
// for a new one.
FileHandle CreateTemporary(const std::string& path, const Keep& keep)
{
    const mode_t mode = keep.exists ? 0600 : 0666;
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, mode);
}

// Waits until the file's data and its rights are on the disk; the
// descriptor was opened before the rights changed, so it still writes.
bool SyncData(FileHandle fd)
{
    return fsync(fd) == 0;
}

void CloseFile(FileHandle fd)
{
    close(fd);
}

// Gives the written temporary the owner (where allowed) and permission bits
// of the file it replaces.
bool KeepRights(const std::string& path, const Keep& keep)
{
    if (!keep.exists) {
        return true;
    }
    if (chown(path.c_str(), keep.owner, keep.group) != 0) {
        // Not allowed for an ordinary user: the file stays the writer's.
    }
    return chmod(path.c_str(), keep.mode) == 0;
}

bool ReplaceWith(const std::string& from, const std::string& to)
{
    return std::rename(from.c_str(), to.c_str()) == 0;
}

// A rename changes the folder, not the file: the folder's entries are
// synced so that the new name survives a power cut too.
bool SyncFolder(const fs::path& dir)
{
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

#endif

// The file a write of `path` lands in: symbolic links are followed, so a
// link stays a link and the file it names is replaced.
fs::path WriteTarget(const std::string& path)
{
    fs::path target(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(target, ec)) || ec) {
            break;
        }
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) {
            break;
        }
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
}

// Temporaries are named "<file>.<process>.<count>.tmp": a process never
// writes into another one's. This returns the process of such a name
// beside `file`, or 0 when the name is none.
unsigned long TemporaryOwner(const std::string& name, const std::string& file)
{
    const std::string suffix = ".tmp";
    if (name.size() <= file.size() + 1 + suffix.size() || name.compare(0, file.size(), file) != 0 ||
        name[file.size()] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return 0;
    }
    const std::string middle =
        name.substr(file.size() + 1, name.size() - file.size() - 1 - suffix.size());
    const std::size_t dot = middle.find('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == middle.size()) {
        return 0;
    }
    unsigned long owner = 0;
    for (std::size_t i = 0; i < middle.size(); ++i) {
        const char c = middle[i];
        if (i == dot) {
            continue;
        }
        if (c < '0' || c > '9') {
            return 0;
        }
        // Process numbers fit in 32 bits; a longer number is no one's.
        if (i < dot) {
            owner = owner * 10 + static_cast<unsigned long>(c - '0');
            if (owner > 0xFFFFFFFFul) {
                return 0;
            }
        }
    }
    return owner;
}

// Removes the temporaries of writers that died before they could finish.
void RemoveStaleTemporaries(const fs::path& dir, const std::string& file)
{
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    const fs::directory_iterator end;
    const unsigned long self = ProcessId();
    for (; !ec && it != end; it.increment(ec)) {
        const unsigned long owner = TemporaryOwner(it->path().filename().string(), file);
        if (owner != 0 && owner != self && !ProcessAlive(owner)) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        }
    }
}

} // namespace

bool ReadLine(std::istream& in, std::string& line)
{
    line.clear();
    std::streambuf* buf = in.rdbuf();
    if (buf == nullptr || !in.good()) {
        in.setstate(std::ios::failbit);
        return false;
    }
    bool any = false;
    bool truncated = false;
    for (;;) {
        int c = std::char_traits<char>::eof();
        try {
            c = buf->sbumpc();
        } catch (...) {
            // A failing stream buffer ends the input like an end of file.
            c = std::char_traits<char>::eof();
        }
        if (c == std::char_traits<char>::eof()) {
            in.setstate(any ? std::ios::eofbit : (std::ios::eofbit | std::ios::failbit));
            break;
        }
        any = true;
        if (c == '\n') {
            break;
        }
        if (line.size() < MaxLineLength) {
            line.push_back(static_cast<char>(c));
        } else {
            // Keep reading to the line feed, but hold no more than the cap.
            truncated = true;
        }
    }
    // Files written with Windows line ends and read here keep their carriage
    // return before the line feed; drop it so keys still match.
    if (!truncated && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return any;
}

int ForEachListLine(const char* path, int maxLines,
                    const std::function<void(int, const std::string&)>& f)
{
    if (path == nullptr || maxLines <= 0) {
        return 0;
    }
    std::ifstream in(path);
    if (!in) {
        return 0;
    }
    std::string line;
    int n = 0;
    while (n < maxLines && ReadLine(in, line)) {
        ++n;
        f(n, line);
    }
    return n;
}

int32_t ParseNumber(const std::string& text)
{
    std::size_t i = 0;
    const std::size_t end = text.size();
    while (i < end && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\v' ||
                       text[i] == '\f' || text[i] == '\r')) {
        ++i;
    }
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Saturate at the int32 range instead of overflowing on absurdly long
    // digit strings (the magnitude limit is one larger for negatives).
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
    while (i < end && text[i] >= '0' && text[i] <= '9') {
        if (value <= limit) {
            value = value * 10 + (text[i] - '0');
        }
        ++i;
    }
    if (value > limit) {
        value = limit;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

bool WriteFileAtomically(const std::string& path, const std::string& content)
{
    if (path.empty()) {
        return false;
    }
    const fs::path target = WriteTarget(path);
    const std::string targetName = target.string();
    // A file that cannot be opened for writing is left as it is.
    Keep keep;
    if (ProbeTarget(targetName, keep) == Target::Refused) {
        return false;
    }
    const std::string file = target.filename().string();
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    RemoveStaleTemporaries(dir, file);

    // A name still taken (left by an earlier process that had this process
    // number) is passed over for the next count.
    static std::atomic<unsigned long> counter{0};
    std::string tmp;
    FileHandle handle = NoFile;
    for (int attempt = 0; attempt < 100 && handle == NoFile; ++attempt) {
        tmp = (dir / (file + "." + std::to_string(ProcessId()) + "." + std::to_string(++counter) +
                      ".tmp"))
                  .string();
        handle = CreateTemporary(tmp, keep);
        std::error_code ec;
        if (handle == NoFile && !fs::exists(fs::symlink_status(tmp, ec))) {
            break;
        }
    }
    if (handle == NoFile) {
        return false;
    }
    bool written = false;
    {
        std::ofstream out(tmp, std::ios::out | std::ios::trunc);
        if (out) {
            out.write(content.data(), static_cast<std::streamsize>(content.size()));
            out.flush();
        }
        written = static_cast<bool>(out);
        out.close();
        written = written && !out.fail();
    }
    // The data (and the rights) must be on the disk before the new name
    // points at them: after a power cut a renamed file whose data were still
    // in memory can come back empty. The handle is closed before the
    // temporary is moved or removed (Windows refuses either while it is open).
    const bool ready = written && KeepRights(tmp, keep) && SyncData(handle);
    CloseFile(handle);
    if (!ready || !ReplaceWith(tmp, targetName)) {
        std::remove(tmp.c_str());
        return false;
    }
    return SyncFolder(dir);
}
