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

TEST(ParseNumber, BehavesLikeAtoiAndSaturates)
{
    EXPECT_EQ(ParseNumber("42"), 42);
    EXPECT_EQ(ParseNumber("  \t-17"), -17);
    EXPECT_EQ(ParseNumber("+8"), 8);
    EXPECT_EQ(ParseNumber("123abc"), 123);
    EXPECT_EQ(ParseNumber("abc"), 0);
    EXPECT_EQ(ParseNumber(""), 0);
    EXPECT_EQ(ParseNumber("-"), 0);
    EXPECT_EQ(ParseNumber("- 5"), 0);
    EXPECT_EQ(ParseNumber("007"), 7);
    EXPECT_EQ(ParseNumber("12 34"), 12);
    EXPECT_EQ(ParseNumber(std::string("9\0"
                                      "9",
                                      3)),
              9);
    EXPECT_EQ(ParseNumber("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseNumber("2147483648"), INT32_MAX);
    EXPECT_EQ(ParseNumber("-99999999999999999999999"), INT32_MIN);
    EXPECT_EQ(ParseNumber(std::string(100000, '9')), INT32_MAX);
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

    // A stale temporary from an interrupted earlier write is reused.
    WriteFileBytes("out.txt.tmp", "half a fi");
    EXPECT_TRUE(WriteFileAtomically("out.txt", "whole\n"));
    EXPECT_EQ(ReadFileBytes("out.txt"), AsWritten("whole\n"));
    EXPECT_EQ(DirEntries(), 1);
}

TEST_F(AtomicWriteTest, FailureKeepsTheOldFileAndCleansUp)
{
    EXPECT_FALSE(WriteFileAtomically("", "x"));
    EXPECT_FALSE(WriteFileAtomically("no/such/dir/out.txt", "x"));

    // The temporary cannot be created: the old file stays as it was.
    WriteFileBytes("kept.txt", "old\n");
    std::filesystem::create_directory("kept.txt.tmp");
    EXPECT_FALSE(WriteFileAtomically("kept.txt", "new\n"));
    EXPECT_EQ(ReadFileBytes("kept.txt"), "old\n");

    // The target cannot be replaced: the temporary is removed again.
    std::filesystem::create_directory("target");
    WriteFileBytes("target/inside", "keep");
    EXPECT_FALSE(WriteFileAtomically("target", "new\n"));
    EXPECT_TRUE(std::filesystem::is_directory("target"));
    EXPECT_EQ(ReadFileBytes("target/inside"), "keep");
    EXPECT_FALSE(std::filesystem::exists("target.tmp"));
}
