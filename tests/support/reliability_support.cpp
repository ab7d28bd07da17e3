#include "reliability_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

} // namespace reliability
