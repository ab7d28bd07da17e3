#include "input/keyboard.h"

#include "world/globals.h"

#include <SDL.h>

const int KeyScancodes[12] = {0, 26, 22, 4, 7, 225, 82, 81, 80, 79, 228, 40};
bool KeyboardHeld[12] = {};

void CaptureKeyboardState()
{
    int numkeys = 0;
    const Uint8* state = SDL_GetKeyboardState(&numkeys);
    for (int i = 1; i <= 11; ++i) {
        const int code = KeyScancodes[i];
        KeyboardHeld[i] = state != nullptr && code < numkeys && state[code] != 0;
    }
}

void CheckKeyboard()
{
    Player& p = Players[1];
    for (int i = 1; i <= 11; ++i) {
        if (KeyboardHeld[i]) {
            // The latch stays: a key held across a menu action acts once.
            p.KeyFlags[i] = true;
        } else {
            p.KeyFlags[i] = false;
            p.KeyLatch[i] = false;
        }
    }
}

void ForgetScreenInput()
{
    MenuS = false;
    MenuS1 = false;
    MenuS2 = false;
    Player& p = Players[1];
    for (int i = 1; i <= 11; ++i) {
        if (p.KeyFlags[i]) {
            p.KeyLatch[i] = true;
        }
    }
}
