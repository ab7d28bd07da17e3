#include "persist/settings.h"
#include "persist/textfile.h"
#include "support/persist_support.h"
#include "world/globals.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

class SettingsTest : public PersistDirTest {
  protected:
    void Load(const std::string& bytes)
    {
        WriteFileBytes("Settings.txt", bytes);
        loadSettings("Settings.txt");
    }

    void ExpectDefaults()
    {
        EXPECT_TRUE(AA);
        EXPECT_TRUE(FullScreen);
        EXPECT_EQ(Vsync, 1);
        EXPECT_EQ(MuVolume, 120);
        EXPECT_EQ(FXVolume, 120);
        EXPECT_EQ(Difficulty, 2);
        EXPECT_EQ(PadName, "");
        EXPECT_TRUE(Tutorial);
        for (int i = 0; i < 15; ++i) {
            EXPECT_EQ(Players[1].PadMap[i], 0) << "PadMap entry " << i;
        }
        EXPECT_FALSE(DualShockHack);
        EXPECT_FALSE(DualShockHackSet);
    }
};

const char* const DefaultFile = "Antialiasing\n1\nFullscreen\n1\nVsync\n1\nMuVolume\n120\n"
                                "FXVolume\n120\nDifficulty\n2\nPadName\nNoPad\nTutorial\n1\n"
                                "Ax1\n0\nAx2\n0\nAx3\n0\nAx4\n0\nB1\n0\nB2\n0\nB3\n0\n";

int CountLines(const std::string& text)
{
    int n = 0;
    for (char c : text) {
        n += c == '\n';
    }
    return n;
}

} // namespace

TEST_F(SettingsTest, NoFileKeepsDefaultsAndWritesNothing)
{
    loadSettings("Settings.txt");
    ExpectDefaults();
    EXPECT_EQ(DirEntries(), 0);

    Load("");
    ExpectDefaults();
    loadSettings(nullptr);
    ExpectDefaults();
}

TEST_F(SettingsTest, WritesTheThirtyLineLayout)
{
    PadName = "NoPad";
    WriteSettings();
    const std::string written = ReadFileBytes("Settings.txt");
    EXPECT_EQ(written, AsWritten(DefaultFile));
    EXPECT_EQ(CountLines(written), 30);
    EXPECT_EQ(DirEntries(), 1);
}

TEST_F(SettingsTest, WritesTheThirtyTwoLineLayoutWithEveryField)
{
    AA = false;
    FullScreen = false;
    Vsync = 0;
    MuVolume = 50;
    FXVolume = -3;
    Difficulty = 3;
    PadName = "Pad - Left Edition 2";
    Tutorial = false;
    Players[1].PadMap[1] = 1;
    Players[1].PadMap[2] = 0;
    Players[1].PadMap[3] = 4;
    Players[1].PadMap[4] = 3;
    Players[1].PadMap[11] = 9;
    Players[1].PadMap[12] = 10;
    Players[1].PadMap[13] = -1;
    // Entries that are not part of the file.
    Players[1].PadMap[5] = 77;
    Players[2].PadMap[1] = 88;
    DualShockHackSet = true;
    DualShockHack = true;
    WriteSettings();
    const std::string expected =
        AsWritten("Antialiasing\n0\nFullscreen\n0\nVsync\n0\nMuVolume\n50\n"
                  "FXVolume\n-3\nDifficulty\n3\nPadName\nPad - Left Edition 2\n"
                  "Tutorial\n0\nAx1\n1\nAx2\n0\nAx3\n4\nAx4\n3\nB1\n9\nB2\n10\n"
                  "B3\n-1\nDualShockHack\n1\n");
    const std::string written = ReadFileBytes("Settings.txt");
    EXPECT_EQ(written, expected);
    EXPECT_EQ(CountLines(written), 32);

    // Reading it back restores every stored value.
    ResetGlobals();
    loadSettings("Settings.txt");
    EXPECT_FALSE(AA);
    EXPECT_FALSE(FullScreen);
    EXPECT_EQ(Vsync, 0);
    EXPECT_EQ(MuVolume, 50);
    EXPECT_EQ(FXVolume, -3);
    EXPECT_EQ(Difficulty, 3);
    EXPECT_EQ(PadName, "Pad - Left Edition 2");
    EXPECT_FALSE(Tutorial);
    EXPECT_EQ(Players[1].PadMap[3], 4);
    EXPECT_EQ(Players[1].PadMap[12], 10);
    EXPECT_EQ(Players[1].PadMap[13], -1);
    EXPECT_EQ(Players[1].PadMap[5], 0);
    EXPECT_TRUE(DualShockHack);
    EXPECT_TRUE(DualShockHackSet);
    WriteSettings();
    EXPECT_EQ(ReadFileBytes("Settings.txt"), expected);
}

TEST_F(SettingsTest, ValueConversions)
{
    Load("Difficulty\n3\n");
    EXPECT_EQ(Difficulty, 3);
    EXPECT_TRUE(FullScreen);
    EXPECT_EQ(Vsync, 1);
    EXPECT_EQ(MuVolume, 120);
    EXPECT_EQ(PadName, "");

    // A switch is on for any number but 0; numbers are kept as they stand,
    // without bounds. How a line reads as a number is ParseNumber's test;
    // the saturated value shows the values go through it.
    ResetGlobals();
    Load("Fullscreen\n7\nAntialiasing\n-1\nTutorial\n0\nVsync\n2\nMuVolume\n500\n"
         "FXVolume\n-40\nB2\n-99999999999999\n");
    EXPECT_TRUE(FullScreen);
    EXPECT_TRUE(AA);
    EXPECT_FALSE(Tutorial);
    EXPECT_EQ(Vsync, 2);
    EXPECT_EQ(MuVolume, 500);
    EXPECT_EQ(FXVolume, -40);
    EXPECT_EQ(Players[1].PadMap[12], INT32_MIN);
}

TEST_F(SettingsTest, DifficultyOutsideTheLevelsFallsBackToTwo)
{
    for (const char* value : {"-5", "99", "0", "4", "abc", ""}) {
        ResetGlobals();
        Difficulty = 1;
        Load(std::string("Difficulty\n") + value + "\n");
        EXPECT_EQ(Difficulty, 2) << "value '" << value << "'";
    }
    for (int level = 1; level <= 3; ++level) {
        Load("Difficulty\n" + std::to_string(level) + "\n");
        EXPECT_EQ(Difficulty, level);
    }
    // A later valid entry still wins over an earlier bad one.
    Load("Difficulty\n99\nDifficulty\n1\n");
    EXPECT_EQ(Difficulty, 1);
}

TEST_F(SettingsTest, KeysMatchOnlyExactWholeLines)
{
    Load("Vsync \n0\nvsync\n0\n Fullscreen\n0\nFullscreen\n0\n");
    EXPECT_EQ(Vsync, 1);
    EXPECT_FALSE(FullScreen);

    // A file that ends right after a key keeps that key's default.
    ResetGlobals();
    Load("MuVolume\n30\nFXVolume");
    EXPECT_EQ(MuVolume, 30);
    EXPECT_EQ(FXVolume, 120);

    // A key that occurs twice takes its last value; unknown pairs are skipped.
    ResetGlobals();
    Load("Colour\nblue\nMuVolume\n10\nGamma\n3\nMuVolume\n20\n");
    EXPECT_EQ(MuVolume, 20);
}

TEST_F(SettingsTest, PadNameIsTheWholeNextLine)
{
    Load("PadName\n\nTutorial\n0\n");
    EXPECT_EQ(PadName, "");
    EXPECT_FALSE(Tutorial);

    ResetGlobals();
    Load("PadName\n  Twin  Stick - 2 \nB1\n5\n");
    EXPECT_EQ(PadName, "  Twin  Stick - 2 ");
    EXPECT_EQ(Players[1].PadMap[11], 5);
}

TEST_F(SettingsTest, JoystickNamedLikeAKeyShiftsOnlyOneValue)
{
    PadName = "Vsync";
    Tutorial = false;
    Players[1].PadMap[1] = 2;
    WriteSettings();

    ResetGlobals();
    loadSettings("Settings.txt");
    EXPECT_EQ(PadName, "Vsync");
    // The line after the name ("Tutorial") is read as the value of "Vsync".
    EXPECT_EQ(Vsync, 0);
    EXPECT_FALSE(Tutorial);
    EXPECT_EQ(Players[1].PadMap[1], 2);
}

TEST_F(SettingsTest, LineFeedInPadNameDoesNotShiftTheLayout)
{
    PadName = "Odd\nName";
    WriteSettings();
    const std::string written = ReadFileBytes("Settings.txt");
    EXPECT_EQ(CountLines(written), 30);
    ResetGlobals();
    loadSettings("Settings.txt");
    EXPECT_EQ(PadName, "Odd Name");
    EXPECT_TRUE(Tutorial);
}

TEST_F(SettingsTest, DualShockOverrideStaysOnceRead)
{
    Load("DualShockHack\n0\n");
    EXPECT_FALSE(DualShockHack);
    EXPECT_TRUE(DualShockHackSet);
    for (int round = 0; round < 3; ++round) {
        WriteSettings();
        const std::string written = ReadFileBytes("Settings.txt");
        EXPECT_EQ(CountLines(written), 32);
        const std::string tail = AsWritten("DualShockHack\n0\n");
        EXPECT_EQ(written.substr(written.size() - tail.size()), tail);
        ResetGlobals();
        loadSettings("Settings.txt");
        EXPECT_FALSE(DualShockHack);
        EXPECT_TRUE(DualShockHackSet);
    }
    ResetGlobals();
    Load("DualShockHack\n2\n");
    EXPECT_TRUE(DualShockHack);
    EXPECT_TRUE(DualShockHackSet);
}

TEST_F(SettingsTest, WindowsLineEndsKeepTheSettings)
{
    Load("Antialiasing\r\n0\r\nDifficulty\r\n3\r\nPadName\r\nMy Pad\r\nAx4\r\n6\r\n"
         "DualShockHack\r\n1\r\n");
    EXPECT_FALSE(AA);
    EXPECT_EQ(Difficulty, 3);
    EXPECT_EQ(PadName, "My Pad");
    EXPECT_EQ(Players[1].PadMap[4], 6);
    EXPECT_TRUE(DualShockHack);
    EXPECT_TRUE(DualShockHackSet);

    // Written back with this platform's line ends only, byte for byte the
    // usual layout.
    WriteSettings();
    const std::string written = ReadFileBytes("Settings.txt");
    std::string lineFeeds = written;
    lineFeeds.erase(std::remove(lineFeeds.begin(), lineFeeds.end(), '\r'), lineFeeds.end());
    EXPECT_EQ(written, AsWritten(lineFeeds));
    EXPECT_EQ(CountLines(written), 32);
}

TEST_F(SettingsTest, JunkAndHugeInputLeaveDefaultsWhereNoKeyIs)
{
    std::string junk;
    uint32_t state = 99;
    for (int i = 0; i < 100000; ++i) {
        state = state * 1664525u + 1013904223u;
        junk.push_back(static_cast<char>(state >> 24));
    }
    // Make sure no key can appear by chance: the keys are letters only.
    for (char& c : junk) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            c = '#';
        }
    }
    Load(junk);
    ExpectDefaults();

    // A huge name is cut to the line cap; the keys after it still count, and
    // the rewrite holds the capped name.
    ResetGlobals();
    std::string big = "PadName\n" + std::string(5 * MaxLineLength, 'n') + "\nDifficulty\n1\n";
    std::string many;
    for (int i = 0; i < 200000; ++i) {
        many += "filler\n";
    }
    Load(big + many + "Vsync\n0\n");
    EXPECT_EQ(PadName.size(), MaxLineLength);
    EXPECT_EQ(Difficulty, 1);
    EXPECT_EQ(Vsync, 0);
    WriteSettings();
    const std::string written = ReadFileBytes("Settings.txt");
    EXPECT_EQ(CountLines(written), 30);
    EXPECT_LT(written.size(), MaxLineLength + 1024);

    // Reading from any stream works the same way.
    ResetGlobals();
    std::istringstream in("MuVolume\n60\n");
    loadSettingsFrom(in);
    EXPECT_EQ(MuVolume, 60);
}

TEST_F(SettingsTest, FailedWriteKeepsTheOldFileAndTheValues)
{
    namespace fs = std::filesystem;
#ifndef _WIN32
    // A read-only file in a writable folder, written as an ordinary user.
    Difficulty = 3;
    WriteSettings();
    const std::string before = ReadFileBytes("Settings.txt");
    Difficulty = 1;
    fs::permissions(dir_, fs::perms::all);
    fs::permissions("Settings.txt", fs::perms::owner_read | fs::perms::others_read);
    ASSERT_EQ(AsUnprivileged([] {
                  WriteSettings();
                  return 0;
              }),
              0)
        << "the write as an ordinary user did not run";
    EXPECT_EQ(ReadFileBytes("Settings.txt"), before);
    EXPECT_EQ(DirEntries(), 1);
    fs::permissions("Settings.txt", fs::perms::owner_read | fs::perms::owner_write);
    fs::remove("Settings.txt");
    ResetGlobals();
#endif
    // A folder in the file's place reads as no file, and stays as it is,
    // with no temporary beside it.
    fs::create_directory("Settings.txt");
    WriteFileBytes("Settings.txt/inside", "keep");
    loadSettings("Settings.txt");
    ExpectDefaults();
    Difficulty = 1;
    WriteSettings();
    EXPECT_TRUE(fs::is_directory("Settings.txt"));
    EXPECT_EQ(ReadFileBytes("Settings.txt/inside"), "keep");
    EXPECT_EQ(DirEntries(), 1);

    // The values live on: once the folder is gone, the next write has them.
    fs::remove_all("Settings.txt");
    PadName = "NoPad";
    WriteSettings();
    std::string expected = DefaultFile;
    expected.replace(expected.find("Difficulty\n2\n"), 13, "Difficulty\n1\n");
    EXPECT_EQ(ReadFileBytes("Settings.txt"), AsWritten(expected));
}
