#include "input/events.h"

#include "input/keyboard.h"
#include "input/pad.h"
#include "render/graphics.h"
#include "screens/menu.h"
#include "world/globals.h"

#include <mutex>

namespace {

// Ticks during which the controller set-up ignores input after an answer.
constexpr int kAnswerPause = 30;

// Any input on the warning or title screen opens the main menu at the next
// logic tick.
void StartUpSkip()
{
    if (Mode == 2 && FreshStart > 0) {
        FreshStart = 1;
    }
}

void KeyReleased(const SDL_KeyboardEvent& key)
{
    if (key.keysym.sym == SDLK_ESCAPE) {
        // Back to the main menu from play, the lists and the options; on the
        // main menu and the start-up screens Escape quits. The name entry and
        // the set-up ignore it.
        if (Mode == 1 || Mode == 4 || (Mode == 2 && MenuMode == 2)) {
            IniMenu(false);
        } else if (Mode == 2) {
            running = false;
        }
    }
    StartUpSkip();
    // Any key ends the no-controller notice, or the pause after a set-up
    // answer, at the next tick.
    if (Mode == 3 && Locker >= 1) {
        Locker = 1;
    }
}

// Set-up steps 1 to 4 ask for an axis. Only the axis number is kept. After an
// answer the sticks must report rest (exactly 0) before the next one counts,
// and the same value as the last answer is not taken again.
void JoystickAxisMoved(const SDL_JoyAxisEvent& axis)
{
    StartUpSkip();
    if (Mode != 3 || Locker > 0) {
        return;
    }
    const int value = axis.value;
    if (!LockAxis && value != 0 && value != LastAxis && DefPad >= 1 && DefPad <= 4) {
        Locker = kAnswerPause;
        LastAxis = value;
        LockAxis = true;
        Players[1].PadMap[DefPad] = axis.axis;
        ++DefPad;
        GoDef = true;
    }
    if (LockAxis && value == 0) {
        LockAxis = false;
    }
}

// Set-up steps 5 to 7 ask for a button: 5 fills map index 11, 6 index 12 and
// 7 index 13. Checking the later steps first lets one press answer one step.
void JoystickButtonPressed(const SDL_JoyButtonEvent& button)
{
    StartUpSkip();
    if (Mode != 3 || DefPad < 5 || Locker > 0) {
        return;
    }
    Locker = kAnswerPause;
    for (int step = 7; step >= 5; --step) {
        if (DefPad == step) {
            Players[1].PadMap[step + 6] = button.button;
            ++DefPad;
            GoDef = true;
        }
    }
}

} // namespace

void Events()
{
    SDL_Event polled;
    while (SDL_PollEvent(&polled)) {
        std::lock_guard<std::mutex> lock(StateMutex);
        event = polled;
        HandleEvent(event);
    }
    std::lock_guard<std::mutex> lock(StateMutex);
    CaptureKeyboardState();
    PadControls();
}

void HandleEvent(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_KEYUP:
        KeyReleased(e.key);
        break;
    case SDL_JOYAXISMOTION:
        JoystickAxisMoved(e.jaxis);
        break;
    case SDL_JOYBUTTONDOWN:
        JoystickButtonPressed(e.jbutton);
        break;
    case SDL_CONTROLLERAXISMOTION:
    case SDL_CONTROLLERBUTTONDOWN:
        StartUpSkip();
        break;
    case SDL_WINDOWEVENT:
        // No game state changes; a window uncovered again is redrawn at once.
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
            RequestRedraw();
        }
        break;
    default:
        // Key presses, button releases, hats, balls, devices, windows and the
        // window system's quit request: the game ends only through Escape or
        // the menu's Exit.
        break;
    }
}
