// Fuzzes the settings reader and checks that what it keeps is sane and that
// a written settings file reads back to the same values.
#include "fuzz_support.h"
#include "persist/settings.h"
#include "persist/textfile.h"
#include "world/globals.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const char* const Keys[] = {"Antialiasing", "Fullscreen", "Vsync",   "MuVolume",
                            "FXVolume",     "Difficulty", "PadName", "Tutorial",
                            "Ax1",          "Ax2",        "Ax3",     "Ax4",
                            "B1",           "B2",         "B3",      "DualShockHack"};

struct Snapshot {
    bool aa, full, tut, hack, hackSet;
    int32_t vsync, mu, fx, difficulty;
    int32_t map[15];
    std::string padName;

    static Snapshot Take()
    {
        Snapshot s{AA,       FullScreen, Tutorial, DualShockHack, DualShockHackSet, Vsync, MuVolume,
                   FXVolume, Difficulty, {},       PadName};
        for (int i = 0; i < 15; ++i) {
            s.map[i] = Players[1].PadMap[i];
        }
        return s;
    }
    bool operator==(const Snapshot& o) const
    {
        for (int i : {1, 2, 3, 4, 11, 12, 13}) {
            if (map[i] != o.map[i]) {
                return false;
            }
        }
        return aa == o.aa && full == o.full && tut == o.tut && hack == o.hack &&
               hackSet == o.hackSet && vsync == o.vsync && mu == o.mu && fx == o.fx &&
               difficulty == o.difficulty && padName == o.padName;
    }
};

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "settings property broken: %s\n", what);
        std::abort();
    }
}

// A pad name that equals a key, or that still ends in a carriage return,
// does not read back as itself; that is the file format, not a fault.
bool NameSurvivesFile(const std::string& name)
{
    for (const char* key : Keys) {
        if (name == key) {
            return false;
        }
    }
    return name.empty() || name.back() != '\r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);
    EnterScratchDirectory();
    ResetGlobals();
    {
        ByteStream in(data, size);
        loadSettingsFrom(in);
    }
    Check(Difficulty >= 1 && Difficulty <= 3, "difficulty outside the levels");
    Check(PadName.size() <= MaxLineLength, "pad name longer than a line");

    const Snapshot read = Snapshot::Take();
    std::remove("Settings.txt");
    WriteSettings();
    ResetGlobals();
    loadSettings("Settings.txt");
    if (NameSurvivesFile(read.padName)) {
        Check(Snapshot::Take() == read, "written settings read back differently");
    }
    return 0;
}
