// Game start and the level event's spawn attempt.
#include "screens/game.h"
#include "support/world_support.h"
#include "world/globals.h"
#include "world/spawn.h"

#include <SDL_mixer.h>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using GameStartTest = WorldTest;

TEST_F(GameStartTest, NewGameAfterAFinishedOneStartsClean)
{
    // What a lost game leaves behind.
    r = 250;
    g = b = -20;
    Score = 4321;
    High = 7.5f;
    Divi = 2.2f;
    CreateScoreShow = true;
    EndGame = true;
    Counter = 5;
    Sound1 = Sound2 = true;
    for (int i = 0; i < 30; ++i) {
        Stack.Create(MakeSquare(100.0f + i, 100, 50, 4));
    }
    interface.Create(MakeCarrier(1, 1, 3));
    Mode = 2;
    MenuMode = 1;
    Menu = 1;
    Table = 2;
    Difficulty = 3;
    KCodeOn = true;
    Pause = 17;

    IniGame();
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 255);
    EXPECT_EQ(b, 255);
    EXPECT_EQ(Score, 0);
    EXPECT_EQ(High, 0.0f);
    EXPECT_EQ(Divi, 3.0f);
    EXPECT_FALSE(CreateScoreShow);
    EXPECT_FALSE(EndGame);
    EXPECT_EQ(Counter, 0);
    EXPECT_FALSE(Sound1);
    EXPECT_FALSE(Sound2);
    EXPECT_EQ(Stack.Count, 0);
    EXPECT_EQ(Stack.Slots[1].Image, 0);
    EXPECT_EQ(Mode, 1);
    // Left alone.
    EXPECT_EQ(MenuMode, 1);
    EXPECT_EQ(Menu, 1);
    EXPECT_EQ(Table, 2);
    EXPECT_EQ(Difficulty, 3);
    EXPECT_TRUE(KCodeOn);
    EXPECT_EQ(Pause, 17);

    ASSERT_EQ(interface.Count, 2);
    for (int i = 1; i <= 2; ++i) {
        const Object& c = interface.Slots[i];
        EXPECT_EQ(c.Image, 1);
        EXPECT_EQ(c.FrameW, 100);
        EXPECT_EQ(c.FrameH, 100);
        EXPECT_EQ(c.W, 100.0f);
        EXPECT_EQ(c.H, 100.0f);
        EXPECT_EQ(c.Layer, 3);
        EXPECT_EQ(c.Box, 0);
        EXPECT_FALSE(c.Shootable);
        EXPECT_EQ(c.Grow, 0.0f);
        // With a controller they wait at the corner for the first reading.
        EXPECT_EQ(c.X, 0.0f);
        EXPECT_EQ(c.Y, 0.0f);
    }
}

TEST_F(GameStartTest, KeyboardStartPositions)
{
    Keyboard = true;
    IniGame();
    ASSERT_EQ(interface.Count, 2);
    EXPECT_EQ(interface.Slots[1].X, 430.0f);
    EXPECT_EQ(interface.Slots[1].Y, 490.0f);
    EXPECT_EQ(interface.Slots[2].X, 1390.0f);
    EXPECT_EQ(interface.Slots[2].Y, 490.0f);
}

TEST_F(GameStartTest, WelcomeMessageOnlyOnTheFirstGame)
{
    Tutorial = true;
    IniGame();
    EXPECT_EQ(Pause, 1000);
    EXPECT_TRUE(TutShown[1]);
    EXPECT_GT(Stack.Count, 0); // the message and its backdrop
    Pause = 0;
    IniGame();
    EXPECT_EQ(Pause, 0);
    EXPECT_EQ(Stack.Count, 0);

    ResetGlobals();
    Tutorial = false;
    Pause = 3;
    IniGame();
    EXPECT_EQ(Pause, 3);
    EXPECT_FALSE(TutShown[1]);
    EXPECT_EQ(Stack.Count, 0);
}

TEST_F(GameStartTest, StartSilencesEffectChannels)
{
    DummyMixer mixer;
    ASSERT_TRUE(mixer.Ok()) << Mix_GetError();
    Mix_PlayChannelTimed(1, Sounds[1], -1, -1);
    Mix_PlayChannelTimed(3, Sounds[2], -1, -1);
    ASSERT_EQ(Mix_Playing(1), 1);
    IniGame();
    EXPECT_EQ(Mix_Playing(-1), 0);
}

TEST_F(GameStartTest, CreateLevelMakesExactlyOneAttempt)
{
    for (int i = 0; i < 5; ++i) {
        Stack.Create(MakeCarrier(0, 0, 1));
    }
    // A certain chance (15 + 5 * 40 = 215) still gives one square per call.
    High = 40;
    for (int i = 0; i < 100; ++i) {
        CreateLevel();
        ASSERT_EQ(Stack.Count, 6);
        EXPECT_EQ(Stack.Slots[6].Image, 2);
        Stack.Delete(6);
    }
    // The one attempt is SpawnEnemy's with the chance 15 + 5 * High, cut to
    // a whole number: from the same random state both make the same square
    // or none. How often a chance spawns is the spawn tests' business.
    const struct {
        float high;
        int chance;
    } rows[] = {{0.0f, 15}, {2.5f, 27}, {10.0f, 65}};
    for (const auto& [high, chance] : rows) {
        High = high;
        int made = 0;
        for (unsigned seed = 1; seed <= 2000; ++seed) {
            std::srand(seed);
            SpawnEnemy(chance);
            ASSERT_LE(Stack.Count, 6);
            const bool spawned = Stack.Count == 6;
            const Object expected = spawned ? Stack.Slots[6] : Object();
            if (spawned) {
                Stack.Delete(6);
            }
            std::srand(seed);
            CreateLevel();
            ASSERT_EQ(Stack.Count, spawned ? 6 : 5) << "High " << high << ", seed " << seed;
            if (spawned) {
                ++made;
                EXPECT_EQ(Stack.Slots[6].X, expected.X);
                EXPECT_EQ(Stack.Slots[6].Y, expected.Y);
                EXPECT_EQ(Stack.Slots[6].AgeTimer, expected.AgeTimer);
                Stack.Delete(6);
            }
        }
        EXPECT_GT(made, 0) << "High " << high;
    }
}

} // namespace
