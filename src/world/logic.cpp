#include "world/logic.h"

#include "input/keyboard.h"
#include "platform/audio.h"
#include "platform/timing.h"
#include "screens/game.h"
#include "world/globals.h"
#include "world/prompts.h"
#include "world/spawn.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <cstdlib>

int EndGameHoldMs = 5000;

namespace {

// Crosshairs are 100 x 100 and aim at their centre.
void FireAt(const Object& crosshair)
{
    Stack.Shoot(TruncToInt(crosshair.X + 50), TruncToInt(crosshair.Y + 50));
}

void KeyboardControl()
{
    CheckKeyboard();
    const bool* held = Players[1].KeyFlags;
    // The acceleration resets only on a tick that leaves it at the whole
    // number it stood at before (in practice: no movement key held).
    const int whole1 = TruncToInt(Adder);
    const int whole2 = TruncToInt(Adder2);

    Object& left = interface.Slots[1];
    if (held[1]) {
        if (left.Y > 0) {
            left.Y = left.Y - 3 - Adder;
        }
        Adder += 0.05;
    }
    if (held[2]) {
        if (left.Y < 1030) {
            left.Y = left.Y + 3 + Adder;
        }
        Adder += 0.05;
    }
    if (held[3]) {
        if (left.X > 0) {
            left.X = left.X - 3 - Adder;
        }
        Adder += 0.05;
    }
    if (held[4]) {
        if (left.X < 910) {
            left.X = left.X + 3 + Adder;
        }
        Adder += 0.05;
    }
    if (Adder == static_cast<float>(whole1)) {
        Adder = 0;
    }
    if (Adder > 2) {
        Adder = 2;
    }
    if (held[5]) {
        FireAt(left);
        if (!Sound1) {
            Sound1 = true;
            GunLoopStart(1);
        }
        SpawnEnemy(1);
    } else {
        Sound1 = false;
        GunLoopStop(1);
    }

    Object& right = interface.Slots[2];
    if (held[6]) {
        if (right.Y > 0) {
            right.Y = right.Y - 3 - Adder2;
        }
        Adder2 += 0.05;
    }
    if (held[7]) {
        if (right.Y < 1030) {
            right.Y = right.Y + 3 + Adder2;
        }
        Adder2 += 0.05;
    }
    if (held[8]) {
        if (right.X > 910) {
            right.X = right.X - 3 - Adder2;
        }
        Adder2 += 0.05;
    }
    if (held[9]) {
        if (right.X < 1820) {
            right.X = right.X + 3 + Adder2;
        }
        Adder2 += 0.05;
    }
    if (Adder2 == static_cast<float>(whole2)) {
        Adder2 = 0;
    }
    if (Adder2 > 2) {
        Adder2 = 2;
    }
    if (held[10]) {
        FireAt(right);
        if (!Sound2) {
            Sound2 = true;
            GunLoopStart(2);
        }
        SpawnEnemy(1);
    } else {
        Sound2 = false;
        GunLoopStop(2);
    }
}

// Channel 3 loops the warning while at least one black square is left.
void WarningSound()
{
    // Without an audio device (or after it was closed) there is nothing to do.
    if (!MixerOpen()) {
        return;
    }
    if (Counter <= 0) {
        Mix_FadeOutChannel(3, 500);
        return;
    }
    if (Mix_Playing(3) == 0 && Sounds[2] != nullptr) {
        Mix_Volume(3, FXVolume);
        Mix_PlayChannelTimed(3, Sounds[2], -1, -1);
    }
}

} // namespace

void GameTick(std::unique_lock<std::mutex>& lock)
{
    if (Keyboard) {
        KeyboardControl();
    }
    WarningSound();
    if (EndGame) {
        if (!CreateScoreShow) {
            EndOfGameSequence(lock);
        }
        return;
    }
    Stack.Man();
    const int n = rand() % 50;
    if (High >= static_cast<float>(n)) {
        CreateLevel();
    }
}

void LogicPass()
{
    std::unique_lock<std::mutex> lock(StateMutex);
    if (!running) {
        return;
    }
    if (Pause > 0) {
        --Pause;
    }
    // Each section tests Mode when it is reached, so a section that changes
    // the screen lets the later ones act on the new one in the same pass.
    if (Mode == 4) {
        HighScoreListSection();
    }
    if (Mode == 3) {
        SetupSection();
    }
    if (Mode == 1 && Pause == 0) {
        GameTick(lock);
    }
    if ((Mode == 2 || Mode == 4 || Mode == 5) && Keyboard) {
        KeyboardMenuSection();
    }
    if (Mode == 2) {
        MenuSection();
    }
    if (Mode == 5) {
        NameEntrySection();
    }
}

int ObjectLogic(void*)
{
    // At least 6 ms per pass; a slow pass is not made up for. The lock is
    // not held while sleeping.
    LoopPacer pacer(6.0);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(StateMutex);
            if (!running) {
                break;
            }
        }
        LogicPass();
        pacer.Wait();
        TimingMark(TimingLoop::Logic);
    }
    return 0;
}
