#include "persist/settings.h"

#include "persist/textfile.h"
#include "world/globals.h"

#include <fstream>
#include <string>

namespace {

bool NonZero(const std::string& line)
{
    return ParseNumber(line) != 0;
}

// Applies the value line that followed the key line `key`. Unknown keys are
// ignored, so their value lines are skipped.
void ApplySetting(const std::string& key, const std::string& value)
{
    if (key == "Antialiasing") {
        AA = NonZero(value);
    } else if (key == "Fullscreen") {
        FullScreen = NonZero(value);
    } else if (key == "Vsync") {
        Vsync = ParseNumber(value);
    } else if (key == "MuVolume") {
        MuVolume = ParseNumber(value);
    } else if (key == "FXVolume") {
        FXVolume = ParseNumber(value);
    } else if (key == "Difficulty") {
        // The difficulty is also the row of the score tables, which only has
        // rows 1 to 3; anything else falls back to the normal level.
        const int32_t level = ParseNumber(value);
        Difficulty = (level >= 1 && level <= 3) ? level : 2;
    } else if (key == "PadName") {
        PadName = value;
    } else if (key == "Tutorial") {
        Tutorial = NonZero(value);
    } else if (key == "Ax1") {
        Players[1].PadMap[1] = ParseNumber(value);
    } else if (key == "Ax2") {
        Players[1].PadMap[2] = ParseNumber(value);
    } else if (key == "Ax3") {
        Players[1].PadMap[3] = ParseNumber(value);
    } else if (key == "Ax4") {
        Players[1].PadMap[4] = ParseNumber(value);
    } else if (key == "B1") {
        Players[1].PadMap[11] = ParseNumber(value);
    } else if (key == "B2") {
        Players[1].PadMap[12] = ParseNumber(value);
    } else if (key == "B3") {
        Players[1].PadMap[13] = ParseNumber(value);
    } else if (key == "DualShockHack") {
        DualShockHack = NonZero(value);
        DualShockHackSet = true;
    }
}

void AddLine(std::string& out, const std::string& line)
{
    out += line;
    out += '\n';
}

void AddPair(std::string& out, const char* key, int32_t value)
{
    AddLine(out, key);
    AddLine(out, std::to_string(value));
}

} // namespace

void loadSettings(const char* path)
{
    if (path == nullptr) {
        return;
    }
    std::ifstream in(path);
    if (!in) {
        return;
    }
    loadSettingsFrom(in);
}

void loadSettingsFrom(std::istream& in)
{
    // Each line is the value of the key on the line before it, whatever it
    // holds; a value equal to a key therefore also acts as that key.
    std::string previous;
    std::string line;
    while (ReadLine(in, line)) {
        ApplySetting(previous, line);
        previous.swap(line);
    }
}

int WriteSettings()
{
    std::string out;
    AddPair(out, "Antialiasing", AA ? 1 : 0);
    AddPair(out, "Fullscreen", FullScreen ? 1 : 0);
    AddPair(out, "Vsync", Vsync);
    AddPair(out, "MuVolume", MuVolume);
    AddPair(out, "FXVolume", FXVolume);
    AddPair(out, "Difficulty", Difficulty);
    AddLine(out, "PadName");
    // A device name is one line of the file; a line feed inside it would
    // shift every later key.
    std::string name = PadName;
    for (char& c : name) {
        if (c == '\n') {
            c = ' ';
        }
    }
    AddLine(out, name);
    AddPair(out, "Tutorial", Tutorial ? 1 : 0);
    AddPair(out, "Ax1", Players[1].PadMap[1]);
    AddPair(out, "Ax2", Players[1].PadMap[2]);
    AddPair(out, "Ax3", Players[1].PadMap[3]);
    AddPair(out, "Ax4", Players[1].PadMap[4]);
    AddPair(out, "B1", Players[1].PadMap[11]);
    AddPair(out, "B2", Players[1].PadMap[12]);
    AddPair(out, "B3", Players[1].PadMap[13]);
    if (DualShockHackSet) {
        AddPair(out, "DualShockHack", DualShockHack ? 1 : 0);
    }
    // A failed write keeps the previous file; the settings then live only
    // until the program ends.
    WriteFileAtomically("Settings.txt", out);
    return 0;
}
