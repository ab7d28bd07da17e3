// The logic pass and the game tick: pause, keyboard control, fire and
// warning sounds, end of game, level events, whole seeded games and the
// thread body.
#include "input/keyboard.h"
#include "screens/game.h"
#include "support/world_support.h"
#include "world/globals.h"
#include "world/logic.h"

#include <SDL_mixer.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace {

class LogicTest : public WorldTest {
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        for (bool& k : KeyboardHeld) {
            k = false;
        }
        EndGameHoldMs = 0;
        Keyboard = true;
        IniGame();
    }
    void TearDown() override
    {
        for (bool& k : KeyboardHeld) {
            k = false;
        }
        EndGameHoldMs = 5000;
    }
    Object& Left() { return interface.Slots[1]; }
    Object& Right() { return interface.Slots[2]; }
    // Squares made by the level event would disturb a test that watches
    // single objects: keep only the first `keep` objects.
    static void Trim(int keep)
    {
        while (Stack.Count > keep) {
            Stack.Delete(Stack.Count);
        }
    }
};

TEST_F(LogicTest, PauseSkipsExactlyTheGameTicksBeforeIt)
{
    // A square under the left crosshair's centre (480, 540); a tutorial pause
    // holds the keys as well: no movement, no shot, no gun sound.
    Stack.Create(MakeSquare(475, 535, 10));
    Pause = 1000;
    KeyboardHeld[4] = KeyboardHeld[5] = KeyboardHeld[6] = KeyboardHeld[10] = true;
    for (int pass = 1; pass <= 999; ++pass) {
        LogicPass();
        ASSERT_EQ(Stack.Count, 1) << "pass " << pass;
        ASSERT_EQ(Stack.Slots[1].W, 10.0f) << "pass " << pass;
        ASSERT_EQ(Pause, 1000 - pass);
    }
    EXPECT_EQ(Left().X, 430.0f);
    EXPECT_EQ(Right().Y, 490.0f);
    EXPECT_FALSE(Sound1 || Sound2);
    EXPECT_EQ(Score, 0);
    KeyboardHeld[4] = KeyboardHeld[5] = KeyboardHeld[6] = KeyboardHeld[10] = false;
    LogicPass();
    EXPECT_EQ(Pause, 0);
    EXPECT_GT(Stack.Slots[1].W, 10.0f);

    // Nothing at all runs once the program is stopping.
    running = false;
    Pause = 5;
    const float w = Stack.Slots[1].W;
    LogicPass();
    EXPECT_EQ(Pause, 5);
    EXPECT_EQ(Stack.Slots[1].W, w);
}

TEST_F(LogicTest, CrosshairStepsAndAcceleration)
{
    KeyboardHeld[4] = true; // D
    LogicPass();
    EXPECT_FLOAT_EQ(Left().X, 433.0f);
    EXPECT_FLOAT_EQ(Adder, 0.05f);
    LogicPass();
    EXPECT_FLOAT_EQ(Left().X, 436.05f);
    // Released below the cap, the acceleration carries over.
    KeyboardHeld[4] = false;
    LogicPass();
    EXPECT_FLOAT_EQ(Adder, 0.1f);
    EXPECT_FLOAT_EQ(Left().X, 436.05f);

    // W and S together: up, then down, in the same tick.
    KeyboardHeld[1] = true;
    KeyboardHeld[2] = true;
    const float y = Left().Y;
    LogicPass();
    EXPECT_NEAR(Left().Y, y - 3 - 0.1f + 3 + 0.15f, 1e-3);
    EXPECT_NEAR(Adder, 0.2f, 1e-6);
    KeyboardHeld[1] = KeyboardHeld[2] = false;

    // The right crosshair has its own acceleration.
    KeyboardHeld[8] = true; // Left arrow
    LogicPass();
    EXPECT_FLOAT_EQ(Right().X, 1387.0f);
    EXPECT_FLOAT_EQ(Adder2, 0.05f);
    EXPECT_NEAR(Adder, 0.2f, 1e-6);
}

TEST_F(LogicTest, BordersOvershootOnceAndAdderCapsAtTwo)
{
    // Holding W at the top border: no movement, yet Adder grows to 2.
    Left().Y = 0;
    KeyboardHeld[1] = true;
    for (int i = 0; i < 100; ++i) {
        LogicPass();
        ASSERT_LE(Adder, 2.0f);
    }
    EXPECT_EQ(Left().Y, 0.0f);
    EXPECT_EQ(Adder, 2.0f);
    // At the cap (a whole number) a tick without movement keys resets it.
    KeyboardHeld[1] = false;
    LogicPass();
    EXPECT_EQ(Adder, 0.0f);

    // Bounds are tested before the step: one step of overshoot, then none.
    Left().X = 909;
    Left().Y = 1029;
    KeyboardHeld[4] = true;
    KeyboardHeld[2] = true;
    LogicPass(); // S before D: the second step is 0.05 longer
    EXPECT_FLOAT_EQ(Left().Y, 1032.0f);
    EXPECT_FLOAT_EQ(Left().X, 912.05f);
    LogicPass();
    EXPECT_FLOAT_EQ(Left().Y, 1032.0f);
    EXPECT_FLOAT_EQ(Left().X, 912.05f);
    KeyboardHeld[4] = KeyboardHeld[2] = false;

    Left().X = 1;
    Adder = 0;
    KeyboardHeld[3] = true;
    LogicPass();
    EXPECT_FLOAT_EQ(Left().X, -2.0f);
    LogicPass();
    EXPECT_FLOAT_EQ(Left().X, -2.0f);
    KeyboardHeld[3] = false;

    // The right crosshair keeps to 910..1820.
    Right().X = 911;
    Right().Y = 1;
    KeyboardHeld[8] = true;
    KeyboardHeld[6] = true;
    LogicPass();
    LogicPass();
    EXPECT_FLOAT_EQ(Right().Y, -2.0f); // Up before Left
    EXPECT_FLOAT_EQ(Right().X, 907.95f);
    KeyboardHeld[8] = KeyboardHeld[6] = false;
    Right().X = 1819;
    Right().Y = 1029;
    Adder2 = 0;
    KeyboardHeld[9] = true;
    KeyboardHeld[7] = true;
    LogicPass();
    LogicPass();
    EXPECT_FLOAT_EQ(Right().Y, 1032.0f); // Down before Right
    EXPECT_FLOAT_EQ(Right().X, 1822.05f);
}

// Random draws made by `run`: the generator is reseeded and the first value
// drawn after it is looked up in the plain sequence of the same seed.
template <typename F> int DrawsBy(F run)
{
    srand(99);
    run();
    const int next = rand();
    srand(99);
    for (int n = 0; n < 100; ++n) {
        if (rand() == next) {
            return n;
        }
    }
    return -1;
}

TEST_F(LogicTest, FireShootsAtTheCrosshairCentreAndTriesASpawnPerKey)
{
    Difficulty = 2;
    // Left crosshair at (430, 490): aims at (480, 540).
    Stack.Create(MakeSquare(478, 538, 4));
    Stack.Create(MakeSquare(1438, 538, 4)); // under the right one
    KeyboardHeld[5] = true;
    LogicPass();
    Trim(1);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_NEAR(Stack.Slots[1].X, 1438.0f, 0.1);
    EXPECT_EQ(Score, 6);
    KeyboardHeld[5] = false;
    KeyboardHeld[10] = true;
    LogicPass();
    Trim(0);
    EXPECT_EQ(Score, 13); // trunc(6 + 1.08 * 20 / 3)
    KeyboardHeld[10] = false;

    // Right Ctrl aims at the right crosshair wherever it stands, never at
    // the left one.
    Right().X = 1200;
    Right().Y = 100;
    Stack.Create(MakeSquare(478, 538, 4));
    Stack.Create(MakeSquare(1248, 148, 4));
    KeyboardHeld[10] = true;
    LogicPass();
    KeyboardHeld[10] = false;
    Trim(1);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_NEAR(Stack.Slots[1].X, 478.0f, 0.1) << "the right gun hit the left crosshair's square";
    Trim(0);

    // Each held fire key tries one spawn (one draw of a chance of 1 in 200)
    // per tick, besides the tick's own draw for the level event. High below
    // 0 keeps the level event itself from spawning.
    High = -1;
    auto ticks = [](int n) {
        for (int i = 0; i < n; ++i) {
            LogicPass();
        }
    };
    for (int keys = 0; keys < 4; ++keys) {
        KeyboardHeld[5] = (keys & 1) != 0;
        KeyboardHeld[10] = (keys & 2) != 0;
        const int pressed = (keys & 1) + (keys >> 1);
        EXPECT_EQ(DrawsBy([&] { ticks(3); }), 3 * (1 + pressed)) << "keys " << keys;
        ASSERT_EQ(Stack.Count, 0) << "this seed spawns nothing";
    }
}

// Peak levels of the left and right output channels over a few mixer
// callbacks (the dummy audio driver mixes as a real device would).
std::atomic<int> PeakLeft{0};
std::atomic<int> PeakRight{0};
std::atomic<int> MixCalls{0};

void MeasurePeaks(void*, Uint8* stream, int len)
{
    const auto* samples = reinterpret_cast<const Sint16*>(stream);
    for (int i = 0; i + 1 < len / 2; i += 2) {
        PeakLeft = std::max(PeakLeft.load(), std::abs(int(samples[i])));
        PeakRight = std::max(PeakRight.load(), std::abs(int(samples[i + 1])));
    }
    ++MixCalls;
}

void OutputPeaks(int& left, int& right)
{
    Mix_SetPostMix(MeasurePeaks, nullptr);
    // Let a callback that began before the change finish, then measure.
    for (int wait = 0; wait < 2; ++wait) {
        PeakLeft = PeakRight = 0;
        const int start = MixCalls;
        for (int i = 0; i < 1000 && MixCalls < start + 3; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    Mix_SetPostMix(nullptr, nullptr);
    left = PeakLeft;
    right = PeakRight;
}

TEST_F(LogicTest, FireSoundStartsOnceAndFadesOnRelease)
{
    DummyMixer mixer;
    ASSERT_TRUE(mixer.Ok()) << Mix_GetError();
    int channels = 0;
    Uint16 format = 0;
    ASSERT_EQ(Mix_QuerySpec(nullptr, &format, &channels), 1);
    ASSERT_EQ(format, AUDIO_S16SYS); // as the peak meter reads it
    ASSERT_EQ(channels, 2);
    FXVolume = 90;
    int left = 0;
    int right = 0;
    static int halts[4];
    halts[1] = halts[2] = halts[3] = 0;
    Mix_ChannelFinished([](int channel) {
        if (channel >= 1 && channel <= 3) {
            ++halts[channel];
        }
    });

    KeyboardHeld[5] = true;
    for (int i = 0; i < 20; ++i) {
        LogicPass();
        Trim(0);
        ASSERT_TRUE(Sound1);
        ASSERT_EQ(Mix_Playing(1), 1);
        ASSERT_EQ(Mix_FadingChannel(1), MIX_NO_FADING);
    }
    EXPECT_EQ(halts[1], 0);
    EXPECT_EQ(Mix_Playing(2), 0);
    EXPECT_EQ(Mix_GetChunk(1), Sounds[1]);
    EXPECT_EQ(Mix_Volume(1, -1), 90);
    // The left gun sounds on the left only.
    OutputPeaks(left, right);
    EXPECT_GT(left, 0);
    EXPECT_EQ(right, 0);

    KeyboardHeld[5] = false;
    LogicPass();
    EXPECT_FALSE(Sound1);
    EXPECT_EQ(Mix_FadingChannel(1), MIX_FADING_OUT);

    // Pressed again: a fresh start.
    KeyboardHeld[5] = true;
    LogicPass();
    Trim(0);
    EXPECT_TRUE(Sound1);
    EXPECT_EQ(Mix_Playing(1), 1);
    EXPECT_EQ(Mix_FadingChannel(1), MIX_NO_FADING);
    KeyboardHeld[5] = false;

    // The right gun on channel 2.
    KeyboardHeld[10] = true;
    LogicPass();
    LogicPass();
    Trim(0);
    EXPECT_TRUE(Sound2);
    EXPECT_EQ(Mix_Playing(2), 1);
    EXPECT_EQ(halts[2], 0);
    EXPECT_EQ(Mix_Volume(2, -1), 90);
    Mix_HaltChannel(1); // still fading out
    OutputPeaks(left, right);
    EXPECT_EQ(left, 0);
    EXPECT_GT(right, 0);
    KeyboardHeld[10] = false;
    LogicPass();
    EXPECT_FALSE(Sound2);
    EXPECT_EQ(Mix_FadingChannel(2), MIX_FADING_OUT);
    Mix_ChannelFinished(nullptr);
}

TEST_F(LogicTest, WarningSoundFollowsBlackSquares)
{
    DummyMixer mixer;
    ASSERT_TRUE(mixer.Ok()) << Mix_GetError();
    Keyboard = false;
    FXVolume = 70;
    Mix_Volume(3, MIX_MAX_VOLUME);
    Object dark = MakeSquare(500, 500, 10, 3);
    dark.AgeTimer = 2;
    Stack.Create(dark);
    g = b = 240;
    LogicPass(); // turns black after the warning check
    Trim(1);
    EXPECT_EQ(Stack.Slots[1].Image, 4);
    EXPECT_EQ(Counter, 1);
    EXPECT_EQ(Mix_Playing(3), 0);
    LogicPass();
    Trim(1);
    EXPECT_EQ(Mix_Playing(3), 1);
    EXPECT_EQ(Mix_GetChunk(3), Sounds[2]);
    EXPECT_EQ(Mix_Volume(3, -1), 70);
    LogicPass();
    Trim(1);
    EXPECT_EQ(Mix_Playing(3), 1);
    EXPECT_EQ(Mix_FadingChannel(3), MIX_NO_FADING);

    Stack.Shoot(505, 505);
    EXPECT_EQ(Counter, 0);
    LogicPass();
    EXPECT_EQ(Mix_FadingChannel(3), MIX_FADING_OUT);
}

TEST_F(LogicTest, SixthBlackOrSeventeenthDarkenedEndsTheGame)
{
    Keyboard = false;
    // Six darkened squares turning black one per tick.
    for (int i = 0; i < 6; ++i) {
        Object dark = MakeSquare(100 + 100 * i, 500, 10, 3);
        dark.AgeTimer = 2 + i;
        Stack.Create(dark);
    }
    g = b = 255 - 6 * 15;
    for (int i = 1; i <= 5; ++i) {
        LogicPass();
        Trim(6);
        ASSERT_EQ(Counter, i);
        ASSERT_FALSE(EndGame) << i;
    }
    LogicPass();
    Trim(6);
    EXPECT_EQ(Counter, 6);
    EXPECT_TRUE(EndGame);
    EXPECT_EQ(g, 255 - 6 * 45);

    ResetGlobals();
    Tutorial = false;
    Keyboard = false;
    Mode = 1;
    for (int i = 0; i < 17; ++i) {
        Object fresh = MakeSquare(100 + 50 * i, 500, 10, 2);
        fresh.AgeTimer = 2 + i;
        Stack.Create(fresh);
    }
    for (int i = 1; i <= 16; ++i) {
        LogicPass();
        Trim(17);
        ASSERT_FALSE(EndGame) << i;
    }
    EXPECT_EQ(g, 15);
    LogicPass();
    EXPECT_TRUE(EndGame);
    EXPECT_EQ(g, 0);
}

TEST_F(LogicTest, EndedGameNoLongerAdvances)
{
    Keyboard = false;
    Stack.Create(MakeSquare(500, 500, 10));
    EndGame = true;
    CreateScoreShow = true; // the banner is already up
    for (int i = 0; i < 20; ++i) {
        LogicPass();
    }
    EXPECT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].W, 10.0f);
}

TEST_F(LogicTest, LevelEventRate)
{
    Keyboard = false;
    // A level event comes on a tick when a draw from 0 to 49 is at most
    // High. From High 37 on its spawn is certain (15 + 5 * High >= 200), so
    // here each square is an event. How often an event spawns below that is
    // the spawn tests' and the level attempt's (test_game) business.
    // High 49: an event on every tick.
    High = 49;
    for (int i = 0; i < 1000; ++i) {
        LogicPass();
        ASSERT_EQ(Stack.Count, 1) << i;
        Trim(0);
    }
    // High 48: every tick but the one in 50 that draws 49.
    High = 48;
    int missed = 0;
    for (int i = 0; i < 5000; ++i) {
        LogicPass();
        ASSERT_LE(Stack.Count, 1) << i;
        missed += Stack.Count == 0;
        Trim(0);
    }
    EXPECT_GT(missed, 60);
    EXPECT_LT(missed, 140);
}

// Key scripts for the whole-game runs: hold a random set of keys for a
// random stretch, favouring fire so that squares get shot.
void ScriptKeys(int tick, unsigned& state)
{
    if (tick % 40 != 0) {
        return;
    }
    state = state * 1103515245u + 12345u;
    const unsigned bits = state >> 8;
    for (int k = 1; k <= 10; ++k) {
        KeyboardHeld[k] = ((bits >> k) & 1u) != 0;
    }
    KeyboardHeld[5] = (bits & 3u) != 0;
    KeyboardHeld[10] = ((bits >> 12) & 3u) != 0;
}

TEST_F(LogicTest, SeededWholeGamesKeepTheColourBooks)
{
    for (unsigned seed : {1u, 3u, 7u, 2024u}) {
        ResetGlobals();
        Tutorial = false;
        Keyboard = true;
        Difficulty = 1 + static_cast<int>(seed % 3);
        srand(seed);
        IniGame();
        unsigned keys = seed;
        int tick = 0;
        int maxCount = 0;
        bool shotSomething = false;
        while (!EndGame && tick < 200000) {
            ScriptKeys(tick, keys);
            LogicPass();
            ++tick;
            int darkened = 0;
            int black = 0;
            for (int i = 1; i <= Stack.Count; ++i) {
                darkened += Stack.Slots[i].Image == 3 ? 1 : 0;
                black += Stack.Slots[i].Image == 4 ? 1 : 0;
            }
            ASSERT_EQ(g, 255 - 15 * darkened - 45 * black) << "seed " << seed << " tick " << tick;
            ASSERT_EQ(b, g);
            ASSERT_EQ(r, 255);
            ASSERT_EQ(Counter, black) << "seed " << seed << " tick " << tick;
            ASSERT_LE(Stack.Count, stacksize - 1);
            maxCount = std::max(maxCount, Stack.Count);
            shotSomething = shotSomething || Score > 0;
        }
        EXPECT_TRUE(EndGame) << "seed " << seed;
        EXPECT_TRUE(shotSomething) << "seed " << seed;
        EXPECT_GT(maxCount, 5) << "seed " << seed;
        EXPECT_LE(g, 0);
    }
}

TEST_F(LogicTest, ThreadRunsPassesAndStopsWithRunning)
{
    Keyboard = false;
    {
        std::lock_guard<std::mutex> guard(StateMutex);
        Pause = 1000000;
    }
    const auto start = std::chrono::steady_clock::now();
    std::thread logic([] { ObjectLogic(nullptr); });
    // Wait (generously) until a few passes have run.
    for (int i = 0; i < 6000; ++i) {
        {
            std::lock_guard<std::mutex> guard(StateMutex);
            if (Pause <= 1000000 - 3) {
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int atStop = 0;
    {
        std::lock_guard<std::mutex> guard(StateMutex);
        EXPECT_LE(Pause, 1000000 - 3);
        running = false;
        atStop = Pause;
    }
    logic.join();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::lock_guard<std::mutex> guard(StateMutex);
    EXPECT_EQ(Pause, atStop) << "a pass ran after running was cleared";
    // Every pass but the last lasts at least 6 ms; a slow machine runs fewer.
    const long passes = 1000000 - Pause;
    EXPECT_LE(passes,
              std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() / 6 + 1);
}

} // namespace
