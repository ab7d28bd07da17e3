#include "input/pad.h"

#include "input/kcode.h"
#include "platform/audio.h"
#include "screens/highscore.h"
#include "screens/menu.h"
#include "world/globals.h"
#include "world/spawn.h"

#include <SDL.h>

namespace {

// Stick deflection beyond which a menu move counts.
constexpr int kNavThreshold = 20000;

// Full deflection of a stick, and the reduced one of DualShock-family pads,
// whose sticks rarely reach the end of their range.
constexpr float kFullScale = 32767.0f;
constexpr float kDualShockScale = 24000.0f;
constexpr float kDualShockDeadZone = 100.0f;

// One pad as read in one poll: raw stick values and the three buttons.
struct PadReading {
    int leftX = 0;
    int leftY = 0;
    int rightX = 0;
    int rightY = 0;
    bool leftFire = false;
    bool rightFire = false;
    bool start = false;
};

// What the pads of one poll did together. With several joysticks open they
// share the latches, pulses and gun sounds: a latch is released, a pulse
// dropped and a gun sound faded only when no pad holds that input any more.
struct PollSummary {
    bool gunsRead = false;
    bool leftFired = false;
    bool rightFired = false;
    bool navRead = false;
    bool nameEntryRead = false;
    bool upHeld = false;
    bool downHeld = false;
    bool leftHeld = false;
    bool rightHeld = false;
    bool selectHeld = false;
    bool eraseHeld = false;
    bool confirmHeld = false;
};

// A map entry outside the device's range reads as rest or released.
int JoystickAxis(SDL_Joystick* joystick, int index)
{
    if (index < 0 || index >= SDL_JoystickNumAxes(joystick)) {
        return 0;
    }
    return SDL_JoystickGetAxis(joystick, index);
}

bool JoystickButton(SDL_Joystick* joystick, int index)
{
    if (index < 0 || index >= SDL_JoystickNumButtons(joystick)) {
        return false;
    }
    return SDL_JoystickGetButton(joystick, index) != 0;
}

// Every joystick is read through the one map of the first player.
PadReading ReadJoystick(SDL_Joystick* joystick)
{
    const int32_t* map = Players[1].PadMap;
    PadReading in;
    in.leftX = JoystickAxis(joystick, map[2]);
    in.leftY = JoystickAxis(joystick, map[1]);
    in.rightX = JoystickAxis(joystick, map[4]);
    in.rightY = JoystickAxis(joystick, map[3]);
    in.leftFire = JoystickButton(joystick, map[11]);
    in.rightFire = JoystickButton(joystick, map[12]);
    in.start = JoystickButton(joystick, map[13]);
    return in;
}

PadReading ReadController(SDL_GameController* pad)
{
    PadReading in;
    in.leftX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    in.leftY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    in.rightX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTX);
    in.rightY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_RIGHTY);
    in.leftFire = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_LEFTSHOULDER) != 0;
    in.rightFire = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER) != 0;
    in.start = SDL_GameControllerGetButton(pad, SDL_CONTROLLER_BUTTON_START) != 0;
    return in;
}

// Dead zone and clamp for DualShock-family sticks.
float DualShockShape(float v)
{
    if (v > -kDualShockDeadZone && v < kDualShockDeadZone) {
        return 0.0f;
    }
    if (v > kDualShockScale) {
        return kDualShockScale;
    }
    if (v < -kDualShockScale) {
        return -kDualShockScale;
    }
    return v;
}

// The crosshairs follow the sticks by absolute position, each over its half
// of the playfield. The right one only moves in play.
void Aim(Player& player, const PadReading& in, bool dualShock)
{
    float scale = kFullScale;

    player.StickA = static_cast<float>(in.leftX);
    player.StickB = static_cast<float>(in.leftY);
    float x = player.StickA;
    float y = player.StickB;
    if (dualShock) {
        x = DualShockShape(x);
        y = DualShockShape(y);
        scale = kDualShockScale;
    }
    interface.Slots[1].X = 430.0f + x / scale * 480.0f;
    interface.Slots[1].Y = 475.0f + y / scale * 520.0f;

    player.StickA = static_cast<float>(in.rightX);
    player.StickB = static_cast<float>(in.rightY);
    x = player.StickA;
    y = player.StickB;
    if (dualShock) {
        x = DualShockShape(x);
        y = DualShockShape(y);
    }
    if (Mode == 1) {
        interface.Slots[2].X = 1390.0f + x / scale * 480.0f;
        interface.Slots[2].Y = 475.0f + y / scale * 520.0f;
    }
}

// Shoots at the centre of a 100 x 100 crosshair.
void ShootAt(const Object& crosshair)
{
    Stack.Shoot(TruncToInt(crosshair.X + 50.0f), TruncToInt(crosshair.Y + 50.0f));
}

void Guns(const PadReading& in, PollSummary& poll)
{
    poll.gunsRead = true;
    const bool armed = Pause <= 0;
    if (in.leftFire && armed) {
        ShootAt(interface.Slots[1]);
        if (!Sound1) {
            Sound1 = true;
            GunLoopStart(1);
        }
        SpawnEnemy(1);
        poll.leftFired = true;
    }
    if (in.rightFire && armed) {
        SpawnEnemy(1);
        if (!Sound2) {
            Sound2 = true;
            GunLoopStart(2);
        }
        ShootAt(interface.Slots[2]);
        poll.rightFired = true;
    }
    if (in.start) {
        // Abandons the game; the navigation below then already runs on the
        // main menu in this same poll.
        IniMenu(false);
    }
}

void Navigate(Player& player, const PadReading& in, bool isController, PollSummary& poll)
{
    if (!poll.navRead) {
        // The pulses last one poll: drop last poll's before the pads set them.
        poll.navRead = true;
        MenuS = false;
    }
    const int v = in.leftY;
    const int h = in.leftX;
    player.StickA = static_cast<float>(v);
    player.StickB = static_cast<float>(h);

    // A controller whose stick reads exactly centred keeps its up latch.
    if (v < -kNavThreshold || (isController && v == 0 && h == 0)) {
        poll.upHeld = true;
    }
    if (v < -kNavThreshold && !Slow1) {
        Slow1 = true;
        if (Mode == 5) {
            Zeiger = (Zeiger + 27) % 54;
        } else {
            --Menu;
            EnterKCode(1);
        }
    }

    if (v > kNavThreshold) {
        poll.downHeld = true;
        if (!Slow2) {
            Slow2 = true;
            if (Mode == 5) {
                Zeiger = (Zeiger + 27) % 54;
            } else {
                ++Menu;
                EnterKCode(2);
            }
        }
    }

    // Left and right wait until the start-up screens are over.
    if (h < -kNavThreshold) {
        poll.leftHeld = true;
        if (!Slow3 && FreshStart <= 0) {
            if (Mode != 5 && MenuMode == 1) {
                IniHighScoreList();
                Table = Table == 0 ? 3 : Table - 1;
                if (Table == 0) {
                    IniMenu(false);
                    Table = 0;
                }
                EnterKCode(3);
            } else if (--Zeiger < 0) {
                Zeiger = 53;
            }
            Slow3 = true;
        }
    }

    if (h > kNavThreshold) {
        poll.rightHeld = true;
        if (!Slow4 && FreshStart <= 0) {
            if (Mode != 5 && MenuMode == 1) {
                IniHighScoreList();
                ++Table;
                if (Table > 3) {
                    Table = 0;
                    IniMenu(false);
                }
                EnterKCode(4);
            } else if (++Zeiger > 53) {
                Zeiger = 0;
            }
            Slow4 = true;
        }
    }

    if (in.leftFire) {
        poll.selectHeld = true;
        if (!aButton) {
            MenuS = true;
            aButton = true;
        }
    }

    if (Mode == 5) {
        if (!poll.nameEntryRead) {
            poll.nameEntryRead = true;
            MenuS1 = false;
            MenuS2 = false;
        }
        if (in.rightFire) {
            poll.eraseHeld = true;
            if (!bButton) {
                MenuS1 = true;
                bButton = true;
            }
        }
        if (in.start) {
            poll.confirmHeld = true;
            if (!cButton) {
                MenuS2 = true;
                cButton = true;
            }
        }
    }
}

void ReadPad(Player& player, const PadReading& in, bool isController, PollSummary& poll)
{
    Aim(player, in, isController && DualShockHack);
    if (Mode == 1) {
        Guns(in, poll);
    }
    if (Mode == 2 || Mode == 4 || Mode == 5) {
        Navigate(player, in, isController, poll);
    }
}

// Releases latches and stops gun sounds for inputs no pad holds any more.
void FinishPoll(const PollSummary& poll)
{
    if (poll.gunsRead) {
        if (!poll.leftFired) {
            Sound1 = false;
            GunLoopStop(1);
        }
        if (!poll.rightFired) {
            Sound2 = false;
            GunLoopStop(2);
        }
    }
    if (poll.navRead) {
        if (!poll.upHeld) {
            Slow1 = false;
        }
        if (!poll.downHeld) {
            Slow2 = false;
        }
        if (!poll.leftHeld) {
            Slow3 = false;
        }
        if (!poll.rightHeld) {
            Slow4 = false;
        }
        if (!poll.selectHeld) {
            aButton = false;
        }
    }
    if (poll.nameEntryRead) {
        if (!poll.eraseHeld) {
            bButton = false;
        }
        if (!poll.confirmHeld) {
            cButton = false;
        }
    }
}

} // namespace

void PadControls()
{
    PollSummary poll;
    if (PadMode == 1) {
        if (controller != nullptr) {
            ReadPad(Players[1], ReadController(controller), true, poll);
        }
    } else if (PadMode == 2) {
        // Joystick i keeps its stick pair in player entry i; an empty slot
        // (device that failed to open, keyboard play) is skipped. An
        // unplugged joystick reads as centred and released.
        for (int i = 0; i < Padnumber; ++i) {
            if (Pad1[i] != nullptr) {
                ReadPad(Players[i], ReadJoystick(Pad1[i]), false, poll);
            }
        }
    }
    FinishPoll(poll);
}
