// Keyboard fallback: the eleven key flags and their latches.
#include "input/keyboard.h"
#include "support/world_support.h"
#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>

namespace {

class KeyboardTest : public WorldTest {
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        for (bool& k : KeyboardHeld) {
            k = false;
        }
    }
    void TearDown() override
    {
        for (bool& k : KeyboardHeld) {
            k = false;
        }
    }
};

TEST_F(KeyboardTest, FlagsFollowHeldKeysAndLatchesWaitForRelease)
{
    Player& p = Players[1];
    KeyboardHeld[1] = true;
    KeyboardHeld[2] = true; // W and S together
    CheckKeyboard();
    EXPECT_TRUE(p.KeyFlags[1]);
    EXPECT_TRUE(p.KeyFlags[2]);
    for (int i = 3; i <= 11; ++i) {
        EXPECT_FALSE(p.KeyFlags[i]) << i;
    }

    // A menu acted on W: while W stays held the latch stays.
    p.KeyLatch[1] = true;
    for (int i = 0; i < 5; ++i) {
        CheckKeyboard();
        EXPECT_TRUE(p.KeyFlags[1]);
        EXPECT_TRUE(p.KeyLatch[1]);
    }
    // Releasing clears flag and latch together; S is untouched.
    KeyboardHeld[1] = false;
    CheckKeyboard();
    EXPECT_FALSE(p.KeyFlags[1]);
    EXPECT_FALSE(p.KeyLatch[1]);
    EXPECT_TRUE(p.KeyFlags[2]);

    // Only entry 1 of Players is written; entry 0 of the flags never.
    for (bool& k : KeyboardHeld) {
        k = true;
    }
    CheckKeyboard();
    EXPECT_FALSE(p.KeyFlags[0]);
    EXPECT_FALSE(p.KeyFlags[12]);
    EXPECT_FALSE(Players[0].KeyFlags[1]);
    EXPECT_FALSE(Players[2].KeyFlags[1]);
    for (int i = 1; i <= 11; ++i) {
        EXPECT_TRUE(p.KeyFlags[i]) << i;
    }
}

TEST_F(KeyboardTest, CaptureReadsOnlyTheElevenKeys)
{
    // SDL's own state array, written here the way its event pump would.
    int numkeys = 0;
    auto* state = const_cast<Uint8*>(SDL_GetKeyboardState(&numkeys));
    ASSERT_NE(state, nullptr);
    ASSERT_GT(numkeys, 228);
    const SDL_Scancode others[] = {SDL_SCANCODE_ESCAPE, SDL_SCANCODE_Q,     SDL_SCANCODE_SPACE,
                                   SDL_SCANCODE_RSHIFT, SDL_SCANCODE_LCTRL, SDL_SCANCODE_KP_ENTER};
    for (SDL_Scancode code : others) {
        state[code] = 1;
    }
    CaptureKeyboardState();
    CheckKeyboard();
    for (int i = 1; i <= 11; ++i) {
        EXPECT_FALSE(KeyboardHeld[i]) << i;
        EXPECT_FALSE(Players[1].KeyFlags[i]) << i;
    }

    state[SDL_SCANCODE_W] = 1;
    state[SDL_SCANCODE_RCTRL] = 1;
    state[SDL_SCANCODE_RETURN] = 1;
    CaptureKeyboardState();
    for (int i = 1; i <= 11; ++i) {
        EXPECT_EQ(KeyboardHeld[i], i == 1 || i == 10 || i == 11) << i;
    }
    state[SDL_SCANCODE_W] = 0;
    CaptureKeyboardState();
    EXPECT_FALSE(KeyboardHeld[1]);
    EXPECT_TRUE(KeyboardHeld[10]);

    for (SDL_Scancode code : others) {
        state[code] = 0;
    }
    state[SDL_SCANCODE_RCTRL] = 0;
    state[SDL_SCANCODE_RETURN] = 0;
}

} // namespace
