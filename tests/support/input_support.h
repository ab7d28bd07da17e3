// Virtual pads for the input tests: SDL's virtual joysticks stand in for the
// player's game controller or raw joysticks.
#pragma once

#include "input/events.h"
#include "input/pad.h"
#include "world/globals.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace inputtest {

// Axis and button numbers of the test joysticks, stored in the map the way
// the controller set-up would.
enum JoyInput { kLeftX = 0, kLeftY = 1, kRightX = 2, kRightY = 3 };
enum JoyButton { kLeftFire = 4, kRightFire = 5, kStart = 6 };

inline void MapTestJoystick()
{
    int32_t* map = Players[1].PadMap;
    map[1] = kLeftY;
    map[2] = kLeftX;
    map[3] = kRightY;
    map[4] = kRightX;
    map[11] = kLeftFire;
    map[12] = kRightFire;
    map[13] = kStart;
}

class PadFixture : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_EQ(SDL_Init(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        ResetGlobals();
        ForgetPads();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    void TearDown() override
    {
        for (SDL_Joystick* j : joysticks_) {
            SDL_JoystickClose(j);
        }
        joysticks_.clear();
        if (controller != nullptr) {
            SDL_GameControllerClose(controller);
        }
        ForgetPads();
        for (int i = SDL_NumJoysticks() - 1; i >= 0; --i) {
            if (SDL_JoystickIsVirtual(i)) {
                SDL_JoystickDetachVirtual(i);
            }
        }
        SDL_JoystickUpdate();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }

    static void ForgetPads()
    {
        controller = nullptr;
        for (SDL_Joystick*& j : Pad1) {
            j = nullptr;
        }
    }

    // A raw joystick opened into Pad1[slot], read through the test map.
    SDL_Joystick* AddJoystick(int slot, int axes = 4, int buttons = 8)
    {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, axes, buttons, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        SDL_Joystick* j = SDL_JoystickOpen(index);
        EXPECT_NE(j, nullptr) << SDL_GetError();
        joysticks_.push_back(j);
        Pad1[slot] = j;
        PadMode = 2;
        MapTestJoystick();
        SDL_JoystickUpdate();
        return j;
    }

    // A game controller with SDL's standard layout; returns its joystick,
    // whose axes and buttons use the controller's numbering.
    SDL_Joystick* AddController()
    {
        const int index =
            SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                      SDL_CONTROLLER_BUTTON_MAX, 0);
        EXPECT_GE(index, 0) << SDL_GetError();
        controller = SDL_GameControllerOpen(index);
        EXPECT_NE(controller, nullptr) << SDL_GetError();
        PadMode = 1;
        SDL_JoystickUpdate();
        return SDL_GameControllerGetJoystick(controller);
    }

    static void Stick(SDL_Joystick* j, int axis, int value)
    {
        SDL_JoystickSetVirtualAxis(j, axis, static_cast<Sint16>(value));
        SDL_JoystickUpdate();
    }

    static void Press(SDL_Joystick* j, int button, bool down)
    {
        SDL_JoystickSetVirtualButton(j, button, down ? 1 : 0);
        SDL_JoystickUpdate();
    }

    // One pad poll, locked like the main thread's.
    static void Poll()
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        PadControls();
    }

    static void Handle(const SDL_Event& e)
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        HandleEvent(e);
    }

    std::vector<SDL_Joystick*> joysticks_;
};

} // namespace inputtest
