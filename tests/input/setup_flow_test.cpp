// The controller set-up from start to finish: the start-up finds a new
// joystick, the logic passes show the prompts, the event handler takes the
// answers, the map is saved, and the next start with the same joystick skips
// the set-up.
#include "input/events.h"
#include "persist/settings.h"
#include "platform/media.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/logic.h"

#include <SDL.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

// A raw joystick with no known layout, as the start-up sees it.
void AttachJoystick()
{
    SDL_setenv("SDL_VIDEODRIVER", "dummy", 0);
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 0);
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
    ASSERT_GE(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_UNKNOWN, 6, 10, 0), 0) << SDL_GetError();
}

void Ticks(int n)
{
    for (int i = 0; i < n; ++i) {
        LogicPass();
    }
}

std::string Prompt()
{
    std::lock_guard<std::mutex> lock(StateMutex);
    return Boxes[1].Text;
}

// Key line followed by value line.
std::map<std::string, std::string> ReadSettings()
{
    std::map<std::string, std::string> values;
    std::ifstream in("Settings.txt");
    std::string key;
    std::string value;
    while (std::getline(in, key) && std::getline(in, value)) {
        values[key] = value;
    }
    return values;
}

} // namespace

TEST(SetupFlowTest, NewJoystickIsSetUpOnceAndRememberedAtTheNextStart)
{
    sdltest::TempWorkDir dir;
    ASSERT_FALSE(dir.Path().empty());
    ResetGlobals();
    FullScreen = false;
    AttachJoystick();
    iniSDL(false);
    ASSERT_EQ(PadMode, 2);
    ASSERT_EQ(Mode, 3);
    ASSERT_NE(Pad1[0], nullptr);
    SDL_Joystick* joy = Pad1[0];
    const std::string name = SDL_JoystickName(joy);
    Events(); // the device's arrival and first rest report

    auto axis = [&](int a, int value) {
        SDL_JoystickSetVirtualAxis(joy, a, static_cast<Sint16>(value));
        Events();
    };
    auto button = [&](int b) {
        SDL_JoystickSetVirtualButton(joy, b, 1);
        Events();
        SDL_JoystickSetVirtualButton(joy, b, 0);
        Events();
    };

    Ticks(1);
    EXPECT_EQ(Prompt(), "Need to configure Gamepad! Press Left Axis Up");
    const struct {
        int axis;
        int value;
        const char* next;
    } axes[4] = {{1, -30000, "Press Left Axis Left"},
                 {0, -31000, "Press Right Axis Up"},
                 {4, -30000, "Press Right Axis Left"},
                 {3, -32768, "Press Left Shoulder Button"}};
    for (const auto& step : axes) {
        axis(step.axis, step.value);
        Ticks(31); // the pause after an answer
        EXPECT_EQ(Prompt(), step.next);
        axis(step.axis, 0);
    }
    button(2);
    Ticks(31);
    EXPECT_EQ(Prompt(), "Press Right Shoulder Button");
    button(3);
    Ticks(31);
    EXPECT_EQ(Prompt(), "Press Start Button");
    button(9);
    Ticks(1);
    EXPECT_EQ(Mode, 2);

    std::map<std::string, std::string> saved = ReadSettings();
    EXPECT_EQ(saved["PadName"], name);
    EXPECT_EQ(saved["Ax1"], "1");
    EXPECT_EQ(saved["Ax2"], "0");
    EXPECT_EQ(saved["Ax3"], "4");
    EXPECT_EQ(saved["Ax4"], "3");
    EXPECT_EQ(saved["B1"], "2");
    EXPECT_EQ(saved["B2"], "3");
    EXPECT_EQ(saved["B3"], "9");
    sdltest::StopMedia();

    // Next start, same joystick: no set-up, the saved map is used.
    ResetGlobals();
    for (int32_t& entry : Players[1].PadMap) {
        entry = 0;
    }
    AttachJoystick();
    loadSettings("Settings.txt");
    iniSDL(false);
    EXPECT_EQ(PadMode, 2);
    EXPECT_EQ(Mode, 1);
    EXPECT_EQ(PadName, name);
    EXPECT_EQ(Players[1].PadMap[1], 1);
    EXPECT_EQ(Players[1].PadMap[4], 3);
    EXPECT_EQ(Players[1].PadMap[13], 9);
    sdltest::StopMedia();
}
