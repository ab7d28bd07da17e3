#include "world/prompts.h"

#include "input/kcode.h"
#include "input/keyboard.h"
#include "persist/settings.h"
#include "platform/audio.h"
#include "screens/game.h"
#include "screens/highscore.h"
#include "screens/menu.h"
#include "world/globals.h"
#include "world/logic.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace {

constexpr SDL_Color Black{0, 0, 0, 0};
constexpr SDL_Color Red{255, 0, 0, 0};
constexpr SDL_Color White{255, 255, 255, 0};

// Key indices of the keyboard fallback (KeyFlags / KeyLatch of Players[1]).
enum Key { KeyW = 1, KeyS = 2, KeyA = 3, KeyD = 4, KeyLShift = 5, KeyRCtrl = 10, KeyReturn = 11 };

// Adds a carrier for `box` from the template of prompts and banners; its
// other fields keep what the template last held.
void AddPromptCarrier(float x, float y, int box)
{
    Object& t = Objectlist[3];
    t.X = x;
    t.Y = y;
    t.Box = box;
    t.Layer = 5;
    Stack.Create(t);
}

// End-of-game banners carry a lifetime of 500 ticks.
void AddBannerCarrier(float x, float y, int box)
{
    Objectlist[3].LifeTimer = 500;
    AddPromptCarrier(x, y, box);
}

void ShowPrompt(const char* text)
{
    Boxes[1].Text = text;
    Boxes[1].Color = Black;
}

// A key acts once per press: when held and not yet latched.
bool Pressed(int key)
{
    Player& p = Players[1];
    if (p.KeyFlags[key] && !p.KeyLatch[key]) {
        p.KeyLatch[key] = true;
        return true;
    }
    return false;
}

void Highlight(int boxes)
{
    for (int i = 1; i <= boxes; ++i) {
        Boxes[i].Color = Black;
    }
    Boxes[Menu + 1].Color = Red;
}

void WriteOptionLabels()
{
    Boxes[2].Text = "Difficulty " + std::to_string(Difficulty);
    Boxes[3].Text = std::string("Fullscreen ") + (FullScreen ? " On" : " Off");
    Boxes[4].Text = std::string("Tutorial ") + (Tutorial ? " On" : " Off");
    Boxes[5].Text = "Sounds " + std::to_string(FXVolume / 12);
    Boxes[6].Text = "Music " + std::to_string(MuVolume / 12);
}

void StepVolume(int32_t& volume)
{
    volume += 10;
    if (volume > 120) {
        volume = 0;
    }
}

void MainMenu()
{
    if (Menu > 3) {
        Menu = 1;
    }
    if (Menu < 1) {
        Menu = 3;
    }
    Highlight(4);
    if (!MenuS) {
        return;
    }
    MenuS = false;
    switch (Menu) {
    case 1:
        IniGame();
        break;
    case 2:
        IniMenu(true);
        break;
    case 3:
        running = false;
        break;
    default:
        break;
    }
}

void OptionsMenu()
{
    if (Menu > 6) {
        Menu = 1;
    }
    if (Menu < 1) {
        Menu = 6;
    }
    Highlight(7);
    bool back = false;
    if (MenuS) {
        MenuS = false;
        switch (Menu) {
        case 1:
            ++Difficulty;
            if (Difficulty > 3) {
                Difficulty = 1;
            }
            break;
        case 2:
            FullScreen = !FullScreen;
            break;
        case 3:
            Tutorial = !Tutorial;
            break;
        case 4:
            StepVolume(FXVolume);
            if (MixerOpen()) {
                for (int channel = 1; channel <= 3; ++channel) {
                    Mix_Volume(channel, FXVolume);
                }
            }
            break;
        case 5:
            StepVolume(MuVolume);
            if (MixerOpen()) {
                Mix_VolumeMusic(MuVolume);
            }
            break;
        case 6:
            back = true;
            break;
        default:
            break;
        }
    }
    // Written after the action, so a changed value shows in the same tick.
    WriteOptionLabels();
    if (back) {
        WriteSettings();
        IniMenu(false);
    }
}

// Steps through the high-score tables from the main menu or the list:
// `step` +1 shows levels 1, 2, 3 and then the main menu, -1 the reverse.
void ListStep(int step)
{
    IniHighScoreList();
    if (step > 0) {
        ++Table;
        if (Table == 4) {
            IniMenu(false);
            Table = 0;
        }
    } else {
        if (Table != 0) {
            --Table;
        } else {
            Table = 3;
        }
        if (Table == 0) {
            IniMenu(false);
            Table = 0;
        }
    }
}

} // namespace

void HighScoreListSection()
{
    HighScoreListRefresh();
}

void SetupSection()
{
    if (Keyboard) {
        if (GoDef) {
            Boxes[1].Text =
                "No Gamepad detected! If possible, connect a Gamepad and restart. Using "
                "WASD+LSHIFT and UP/LEFT/DOWN/RIGHT+RCTRL as fallback mode.";
            Boxes[1].Color = Black;
            Boxes[1].Wrap = 1000;
            AddPromptCarrier(450, 100, 1);
            GoDef = false;
            Locker = 1000;
            return;
        }
        // The notice stays for 1000 passes; the pass that runs the lock out
        // opens the menus, so a lock cut to 1 ends it on the next pass.
        if (Locker > 0) {
            --Locker;
        }
        if (Locker <= 0) {
            Mode = 2;
            IniMenu(false);
            WriteSettings();
        }
        return;
    }

    if (Locker > 0) {
        --Locker;
    }
    if (!GoDef) {
        return;
    }
    switch (DefPad) {
    case 1:
        ShowPrompt("Need to configure Gamepad! Press Left Axis Up");
        AddPromptCarrier(100, 490, 1);
        break;
    case 2:
        ShowPrompt("Press Left Axis Left");
        break;
    case 3:
        ShowPrompt("Press Right Axis Up");
        break;
    case 4:
        ShowPrompt("Press Right Axis Left");
        break;
    case 5:
        ShowPrompt("Press Left Shoulder Button");
        break;
    case 6:
        ShowPrompt("Press Right Shoulder Button");
        break;
    case 7:
        ShowPrompt("Press Start Button");
        break;
    case 8:
        Mode = 2;
        WriteSettings();
        IniMenu(false);
        return;
    default:
        return;
    }
    GoDef = false;
}

void KeyboardMenuSection()
{
    CheckKeyboard();
    const bool nameEntry = Mode == 5;
    if (Pressed(KeyW)) {
        if (nameEntry) {
            Zeiger = (Zeiger + 27) % 54;
        } else {
            EnterKCode(1);
            --Menu;
        }
    }
    if (Pressed(KeyS)) {
        if (nameEntry) {
            Zeiger = (Zeiger + 27) % 54;
        } else {
            EnterKCode(2);
            ++Menu;
        }
    }
    if (Pressed(KeyA)) {
        if (Mode != 5 && MenuMode == 1) {
            ListStep(-1);
            EnterKCode(3);
        } else {
            --Zeiger;
            if (Zeiger < 0) {
                Zeiger = 53;
            }
        }
    }
    if (Pressed(KeyD)) {
        if (Mode != 5 && MenuMode == 1) {
            ListStep(+1);
            EnterKCode(4);
        } else {
            ++Zeiger;
            if (Zeiger > 53) {
                Zeiger = 0;
            }
        }
    }
    if (Pressed(KeyLShift)) {
        MenuS = true;
    }
    if (Pressed(KeyRCtrl)) {
        MenuS1 = true;
    }
    if (Pressed(KeyReturn)) {
        MenuS2 = true;
    }
}

void MenuSection()
{
    if (FreshStart >= 1) {
        // Start-up countdown: warning until 3000, title until 0.
        --FreshStart;
        if (FreshStart == 3000 || FreshStart == 0) {
            IniMenu(false);
        }
    }
    if (FreshStart >= 1) {
        return;
    }
    // After a game the background fades back to white.
    if (r < 255) {
        ++r;
    }
    if (g < 255) {
        ++g;
    }
    if (b < 255) {
        ++b;
    }
    if (MenuMode == 1) {
        MainMenu();
    }
    if (Mode == 2 && MenuMode == 2) {
        OptionsMenu();
    }
}

void NameEntrySection()
{
    NameEntryRules();
}

void EndOfGameSequence(std::unique_lock<std::mutex>& lock)
{
    if (TutorialMade) {
        WriteSettings();
    }
    const int place = CheckHighScore(Score);
    Boxes[1].Text = "You made " + std::to_string(Score) + " on Level " +
                    std::to_string(Difficulty) + (KCodeOn ? " in Blue Mode" : "");
    Boxes[1].Color = White;
    AddBannerCarrier(KCodeOn ? 350 : 550, 490, 1);
    CreateScoreShow = true;
    const bool placed = place != 11;
    if (placed) {
        Boxes[2].Text = "Highscore!";
        Boxes[2].Color = White;
        AddBannerCarrier(700, 750, 2);
    }

    // Hold the banner over the frozen field. The lock is released so the
    // other threads go on; `running` is watched so a quit ends the hold.
    lock.unlock();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(EndGameHoldMs);
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= end) {
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
        std::this_thread::sleep_for(
            std::min(left + std::chrono::milliseconds(1), std::chrono::milliseconds(10)));
        std::lock_guard<std::mutex> check(StateMutex);
        if (!running) {
            break;
        }
    }
    lock.lock();
    if (!running) {
        return;
    }
    if (placed) {
        IniEnterHighScore(place);
    } else {
        IniMenu(false);
    }
}
