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

    // Each key by its position on a US keyboard, one at a time, then all
    // eleven together.
    const SDL_Scancode keys[12] = {SDL_SCANCODE_UNKNOWN, SDL_SCANCODE_W,     SDL_SCANCODE_S,
                                   SDL_SCANCODE_A,       SDL_SCANCODE_D,     SDL_SCANCODE_LSHIFT,
                                   SDL_SCANCODE_UP,      SDL_SCANCODE_DOWN,  SDL_SCANCODE_LEFT,
                                   SDL_SCANCODE_RIGHT,   SDL_SCANCODE_RCTRL, SDL_SCANCODE_RETURN};
    for (int key = 1; key <= 11; ++key) {
        state[keys[key]] = 1;
        CaptureKeyboardState();
        for (int i = 1; i <= 11; ++i) {
            EXPECT_EQ(KeyboardHeld[i], i == key) << "key " << key << ", flag " << i;
        }
        state[keys[key]] = 0;
    }
    for (int key = 1; key <= 11; ++key) {
        state[keys[key]] = 1;
    }
    CaptureKeyboardState();
    state[SDL_SCANCODE_W] = 0;
    CaptureKeyboardState();
    EXPECT_FALSE(KeyboardHeld[1]);
    for (int i = 2; i <= 11; ++i) {
        EXPECT_TRUE(KeyboardHeld[i]) << i;
    }

    for (SDL_Scancode code : others) {
        state[code] = 0;
    }
    for (int key = 1; key <= 11; ++key) {
        state[keys[key]] = 0;
    }
}

} // namespace
