#include "persist/textfile.h"

#include <climits>
#include <cstdio>
#include <fstream>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef interface
#endif

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
    // One fixed temporary name per target: an interrupted write leaves at most
    // this one file behind, and the next write reuses it.
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::out | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(tmp.c_str());
            return false;
        }
        out.close();
        if (out.fail()) {
            std::remove(tmp.c_str());
            return false;
        }
    }
#ifdef _WIN32
    const bool moved = MoveFileExA(tmp.c_str(), path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    const bool moved = std::rename(tmp.c_str(), path.c_str()) == 0;
#endif
    if (!moved) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}
