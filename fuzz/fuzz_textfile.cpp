// Fuzzes the bounded line reader, the number parser and the list walker that
// every text file of the game goes through.
#include "fuzz_support.h"
#include "persist/textfile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// What ReadLine must return for one raw line (the bytes between two line
// feeds): at most MaxLineLength bytes, and one carriage return dropped from
// the end of a line that was not cut.
std::string ExpectedLine(const uint8_t* raw, std::size_t size)
{
    const bool cut = size > MaxLineLength;
    std::string line(reinterpret_cast<const char*>(raw), cut ? MaxLineLength : size);
    if (!cut && !line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// Walks the raw lines of the input (the bytes between line feeds) and gives
// for each what ReadLine must return.
class RawLines {
  public:
    RawLines(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool Next(std::string& line)
    {
        if (pos_ >= size_) {
            return false;
        }
        const void* feed = std::memchr(data_ + pos_, '\n', size_ - pos_);
        const std::size_t end =
            feed != nullptr ? static_cast<std::size_t>(static_cast<const uint8_t*>(feed) - data_)
                            : size_;
        line = ExpectedLine(data_ + pos_, end - pos_);
        pos_ = end + 1;
        return true;
    }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// The C library's reading of a number line, saturated to int32.
int32_t ReferenceNumber(const std::string& line)
{
    const std::string text = line.substr(0, line.find('\0'));
    errno = 0;
    long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v > INT32_MAX) {
        v = INT32_MAX;
    }
    if (v < INT32_MIN) {
        v = INT32_MIN;
    }
    return static_cast<int32_t>(v);
}

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "textfile property broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);

    // The bounded reader against a plain split of the same bytes.
    ByteStream in(data, size);
    RawLines raw(data, size);
    std::string line;
    std::string want;
    std::size_t lines = 0;
    while (ReadLine(in, line)) {
        Check(raw.Next(want), "more lines than the input holds");
        Check(line.size() <= MaxLineLength, "line longer than the cap");
        Check(line == want, "line differs from the input");
        Check(ParseNumber(line) == ReferenceNumber(line), "number differs from strtoll");
        ++lines;
    }
    Check(!raw.Next(want), "lines missing");
    Check(!ReadLine(in, line) && line.empty(), "reading past the end yields a line");

    // The list walker over the same bytes as a file, with a line limit taken
    // from the first byte.
    EnterScratchDirectory();
    const int limit = size > 0 ? data[0] % 160 : 0;
    if (WriteWholeFile("list.txt", data, size)) {
        RawLines again(data, size);
        int seen = 0;
        bool inOrder = true;
        const int count = ForEachListLine("list.txt", limit, [&](int k, const std::string& l) {
            inOrder = inOrder && k == seen + 1 && again.Next(want) && l == want;
            ++seen;
        });
        Check(inOrder, "list walker lines differ");
        Check(count == seen, "list walker count differs from its calls");
        const std::size_t expected = lines < static_cast<std::size_t>(limit) ? lines : limit;
        Check(static_cast<std::size_t>(seen) == expected,
              "list walker did not stop at the limit or the end");
    }
    Check(ForEachListLine("no-such-file.txt", 5, [](int, const std::string&) {}) == 0,
          "missing file yields lines");
    return 0;
}
