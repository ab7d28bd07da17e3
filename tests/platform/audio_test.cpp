#include "platform/audio.h"
#include "render/images.h"
#include "support/sdl_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

using sdltest::MediaTest;
using sdltest::TempWorkDir;
using sdltest::WriteFile;
using sdltest::WriteWav;

class AudioTest : public MediaTest {};

TEST_F(AudioTest, SoundListLinesFillTheirEntries)
{
    TempWorkDir dir;
    ASSERT_TRUE(WriteWav("gun.wav", 50));
    ASSERT_TRUE(WriteWav("warn.wav", 50));

    // No list: nothing loaded.
    LoadSounds();
    for (Mix_Chunk* chunk : Sounds) {
        EXPECT_EQ(chunk, nullptr);
    }

    // One line: the gun loop only.
    WriteFile("Sounds.txt", "gun.wav\n");
    LoadSounds();
    EXPECT_EQ(Sounds[0], nullptr);
    EXPECT_NE(Sounds[1], nullptr);
    EXPECT_EQ(Sounds[2], nullptr);
    Mix_FreeChunk(Sounds[1]);
    Sounds[1] = nullptr;

    // A blank first line keeps its index; a CRLF line still loads; a missing
    // or non-sound file leaves its entry empty.
    WriteFile("junk.wav", "RIFF0000WAVEjunk");
    WriteFile("Sounds.txt", "\nwarn.wav\r\nmissing.wav\njunk.wav\ngun.wav");
    LoadSounds();
    EXPECT_EQ(Sounds[1], nullptr);
    EXPECT_NE(Sounds[2], nullptr);
    EXPECT_EQ(Sounds[3], nullptr);
    EXPECT_EQ(Sounds[4], nullptr);
    EXPECT_NE(Sounds[5], nullptr);
}

TEST_F(AudioTest, MusicManPicksOnlyListedTracksAndReadsTheListOnce)
{
    TempWorkDir dir;
    // Each track has its own length, so the playing one can be told apart.
    for (int i = 0; i <= 4; ++i) {
        ASSERT_TRUE(WriteWav("t" + std::to_string(i) + ".wav", 1000 + 250 * i));
    }
    WriteFile("Music.txt", "t1.wav\nt2.wav\nt3.wav\n");
    // Entries outside 1..3 hold tracks too, so a wrong pick would play.
    Music[0] = Mix_LoadMUS("t0.wav");
    Music[4] = Mix_LoadMUS("t4.wav");
    ASSERT_NE(Music[0], nullptr);
    ASSERT_NE(Music[4], nullptr);

    std::srand(7);
    MuVolume = 40;
    auto playing = [] { return static_cast<int>((Mix_MusicDuration(nullptr) - 1.0) * 4.0 + 0.5); };
    std::set<int> played;
    for (int i = 0; i < 40; ++i) {
        MusicMan();
        ASSERT_EQ(Mix_PlayingMusic(), 1);
        played.insert(playing());
        if (i == 0) {
            EXPECT_TRUE(MusicIndexed);
            EXPECT_EQ(MusicAvaible, 3);
            EXPECT_EQ(Mix_VolumeMusic(-1), 40);
            // A playing track is left alone.
            const int first = playing();
            MusicMan();
            EXPECT_EQ(first, playing());
            // The list is not read again.
            WriteFile("Music.txt", "t4.wav\n");
        }
        Mix_HaltMusic();
    }
    EXPECT_EQ(played, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(MusicAvaible, 3);
}

TEST_F(AudioTest, MissingMusicListPlaysNothingAndIsNotReadAgain)
{
    TempWorkDir dir;
    MusicMan();
    EXPECT_TRUE(MusicIndexed);
    EXPECT_EQ(MusicAvaible, 0);
    EXPECT_EQ(Mix_PlayingMusic(), 0);

    ASSERT_TRUE(WriteWav("late.wav", 500));
    WriteFile("Music.txt", "late.wav\n");
    for (int i = 0; i < 5; ++i) {
        MusicMan();
    }
    EXPECT_EQ(MusicAvaible, 0);
    EXPECT_EQ(Mix_PlayingMusic(), 0);
    EXPECT_EQ(Music[1], nullptr);
}

// The three media lists: line n fills slot n up to the last slot of its
// table, a file that does not load keeps its line's slot (and counts as a
// music track), slot 0 stays empty and lines past the table are not read.
TEST_F(AudioTest, ListLinesPastTheLastSlotAreIgnored)
{
    TempWorkDir dir;
    ASSERT_TRUE(WriteWav("m.wav", 5));
    ASSERT_TRUE(sdltest::WriteBmp("a.bmp", 8, 8, 9, 9, 9));
    struct Row {
        const char* list;
        const char* file;
        int slots;
        int (*load)(); // lines read, -1 where the loader does not say
        bool (*filled)(int slot);
    };
    const Row rows[] = {
        {"Liste.txt", "a.bmp", Spritenumber,
         [] {
             loadImages("Liste.txt");
             return texturesUsed - 1;
         },
         [](int slot) { return Images[slot] != nullptr; }},
        {"Sounds.txt", "m.wav", Soundnumber,
         [] {
             LoadSounds();
             return -1;
         },
         [](int slot) { return Sounds[slot] != nullptr; }},
        {"Music.txt", "m.wav", Musicnumber, LoadMusic,
         [](int slot) { return Music[slot] != nullptr; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.list);
        std::string lines = "missing.wav\n";
        for (int i = 1; i < row.slots + 20; ++i) {
            lines += std::string(row.file) + "\n";
        }
        WriteFile(row.list, lines);
        testing::internal::CaptureStdout();
        const int read = row.load();
        testing::internal::GetCapturedStdout();
        if (read >= 0) {
            EXPECT_EQ(read, row.slots - 1);
        }
        EXPECT_FALSE(row.filled(0));
        EXPECT_FALSE(row.filled(1));
        for (int slot = 2; slot < row.slots; ++slot) {
            EXPECT_TRUE(row.filled(slot)) << "slot " << slot;
        }
    }
}

TEST_F(AudioTest, GunLoopsStartLoopingAndFadeOut)
{
    // Without a loaded sound nothing plays and nothing breaks.
    GunLoopStart(1);
    EXPECT_EQ(Mix_Playing(1), 0);
    GunLoopStop(1);

    TempWorkDir dir;
    ASSERT_TRUE(WriteWav("gun.wav", 100));
    WriteFile("Sounds.txt", "gun.wav\n");
    LoadSounds();
    ASSERT_NE(Sounds[1], nullptr);

    FXVolume = 70;
    GunLoopStart(1);
    GunLoopStart(2);
    for (int ch : {1, 2}) {
        EXPECT_EQ(Mix_Playing(ch), 1) << ch;
        EXPECT_EQ(Mix_GetChunk(ch), Sounds[1]) << ch;
        EXPECT_EQ(Mix_Volume(ch, -1), 70) << ch;
    }
    // Longer than the 100 ms sample: it loops.
    SDL_Delay(300);
    EXPECT_EQ(Mix_Playing(1), 1);

    GunLoopStop(1);
    EXPECT_EQ(Mix_FadingChannel(1), MIX_FADING_OUT);
    EXPECT_EQ(Mix_Playing(2), 1);
    // Stopping again, or stopping a silent channel, is harmless.
    GunLoopStop(1);
    GunLoopStop(3);
    for (int i = 0; i < 300 && Mix_Playing(1) != 0; ++i) {
        SDL_Delay(10);
    }
    EXPECT_EQ(Mix_Playing(1), 0);
    EXPECT_EQ(Mix_Playing(2), 1);

    // A restart on a playing channel plays it afresh.
    GunLoopStart(2);
    EXPECT_EQ(Mix_Playing(2), 1);
    EXPECT_EQ(Mix_FadingChannel(2), MIX_NO_FADING);
}

} // namespace
