#include "reliability_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace reliability {

namespace {

long StatusKb(const char* field)
{
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char row[256];
    long kb = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(row, sizeof row, f) != nullptr) {
        if (std::strncmp(row, field, n) == 0 && row[n] == ':') {
            kb = std::strtol(row + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kb;
}

long windowStartKb = -1;

} // namespace

long ResidentKb()
{
    return StatusKb("VmRSS");
}

bool StartPeakWindow()
{
    // Writing 5 to clear_refs starts a new peak from the current resident set.
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f == nullptr) {
        windowStartKb = -1;
        return false;
    }
    const bool reset = std::fputs("5", f) >= 0;
    const bool closed = std::fclose(f) == 0;
    windowStartKb = ResidentKb();
    return reset && closed && windowStartKb > 0;
}

long PeakGrowthKb()
{
    const long peak = StatusKb("VmHWM");
    if (peak < 0 || windowStartKb < 0) {
        return -1;
    }
    return peak - windowStartKb;
}

bool CopyRunDirectoryHere()
{
    namespace fs = std::filesystem;
    const char* dir = std::getenv("VORLUNE_RUN_DIR");
    if (dir == nullptr) {
        return false;
    }
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "vorlune" || name == "vorlune.exe" || name == "Settings.txt" ||
            name == "Scores.txt") {
            continue;
        }
        fs::copy(entry.path(), name, fs::copy_options::recursive, ec);
    }
    return fs::exists("NegativeSpace.ttf");
}

PatternInput::PatternInput(std::vector<std::pair<std::string, uint64_t>> pieces)
    : pieces_(std::move(pieces)), chunk_(1 << 16)
{
}

PatternInput::int_type PatternInput::underflow()
{
    std::size_t filled = 0;
    while (filled < chunk_.size() && piece_ < pieces_.size()) {
        const std::string& text = pieces_[piece_].first;
        if (repeat_ >= pieces_[piece_].second || text.empty()) {
            ++piece_;
            repeat_ = 0;
            offset_ = 0;
            continue;
        }
        std::size_t n = text.size() - offset_;
        if (n > chunk_.size() - filled) {
            n = chunk_.size() - filled;
        }
        std::memcpy(chunk_.data() + filled, text.data() + offset_, n);
        filled += n;
        offset_ += n;
        if (offset_ == text.size()) {
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

bool WritePatternFile(const std::string& path,
                      const std::vector<std::pair<std::string, uint64_t>>& pieces)
{
    PatternInput source(pieces);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << &source;
    return static_cast<bool>(out);
}

} // namespace reliability
