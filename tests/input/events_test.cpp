#include "support/input_support.h"
#include "support/sdl_support.h"
#include "world/logic.h"

#include <filesystem>

using namespace inputtest;

namespace {

SDL_Event Key(Uint32 type, SDL_Keycode sym)
{
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    return e;
}

struct Screen {
    int mode;
    int menuMode;
    int freshStart;
    int modeAfter;
    bool runningAfter;
};

} // namespace

using EventsTest = PadFixture;

TEST_F(EventsTest, EscapeReleaseActsByScreen)
{
    const Screen screens[] = {
        {1, 1, 0, 2, true},     // play: back to the main menu
        {4, 1, 0, 2, true},     // high-score list
        {2, 2, 0, 2, true},     // options
        {2, 1, 0, 2, false},    // main menu: quit
        {2, 1, 2000, 2, false}, // title screen: quit
        {5, 1, 0, 5, true},     // name entry: nothing
        {3, 1, 0, 3, true},     // set-up: nothing
    };
    // Leaving the options by Escape keeps the settings unsaved (only "Back"
    // saves them); no screen writes anything on Escape.
    sdltest::TempWorkDir dir;
    for (const Screen& s : screens) {
        ResetGlobals();
        Mode = s.mode;
        MenuMode = s.menuMode;
        FreshStart = s.freshStart;
        Handle(Key(SDL_KEYDOWN, SDLK_ESCAPE));
        EXPECT_EQ(Mode, s.mode);
        EXPECT_TRUE(running);
        Handle(Key(SDL_KEYUP, SDLK_ESCAPE));
        EXPECT_EQ(Mode, s.modeAfter) << "Mode " << s.mode << " MenuMode " << s.menuMode;
        EXPECT_EQ(running, s.runningAfter) << "Mode " << s.mode << " MenuMode " << s.menuMode;
        if (s.mode == 2 && s.menuMode == 2) {
            EXPECT_EQ(MenuMode, 1);
        }
        EXPECT_FALSE(std::filesystem::exists("Settings.txt")) << "Mode " << s.mode;
    }
}

TEST_F(EventsTest, AnyInputCutsTheStartUpScreensShort)
{
    SDL_Event inputs[5] = {};
    inputs[0] = Key(SDL_KEYUP, SDLK_a);
    inputs[1].type = SDL_JOYAXISMOTION;
    inputs[1].jaxis.value = 5;
    inputs[2].type = SDL_JOYBUTTONDOWN;
    inputs[3].type = SDL_CONTROLLERAXISMOTION;
    inputs[4].type = SDL_CONTROLLERBUTTONDOWN;
    for (const SDL_Event& e : inputs) {
        Mode = 2;
        FreshStart = 3200;
        Handle(e);
        EXPECT_EQ(FreshStart, 1) << "event type " << e.type;
    }

    SDL_Event ignored[3] = {};
    ignored[0] = Key(SDL_KEYDOWN, SDLK_a);
    ignored[1].type = SDL_JOYBUTTONUP;
    ignored[2].type = SDL_CONTROLLERBUTTONUP;
    for (const SDL_Event& e : ignored) {
        FreshStart = 3200;
        Handle(e);
        EXPECT_EQ(FreshStart, 3200) << "event type " << e.type;
    }
    Mode = 1;
    Handle(inputs[0]);
    EXPECT_EQ(FreshStart, 3200);

    // The next logic tick opens the main menu.
    Mode = 2;
    Handle(inputs[0]);
    LogicPass();
    EXPECT_EQ(FreshStart, 0);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(MenuMode, 1);
    EXPECT_EQ(Boxes[2].Text, "Start Game");
}

TEST_F(EventsTest, QueueIsDrainedAndTheQuitRequestIgnored)
{
    Mode = 1;
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_Event press = Key(SDL_KEYDOWN, SDLK_ESCAPE);
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    ASSERT_EQ(SDL_PushEvent(&press), 1);
    Events();
    EXPECT_TRUE(running);
    EXPECT_EQ(Mode, 1);
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);

    SDL_Event release = Key(SDL_KEYUP, SDLK_ESCAPE);
    ASSERT_EQ(SDL_PushEvent(&release), 1);
    Events();
    EXPECT_EQ(Mode, 2);
}

TEST_F(EventsTest, KeyReleaseEndsTheNoticeOrTheAnswerPause)
{
    Mode = 3;
    Keyboard = true;
    Locker = 700;
    Handle(Key(SDL_KEYUP, SDLK_SPACE));
    EXPECT_EQ(Locker, 1);
    Locker = 0;
    Handle(Key(SDL_KEYUP, SDLK_SPACE));
    EXPECT_EQ(Locker, 0);
    Mode = 2;
    Locker = 700;
    FreshStart = 0;
    Handle(Key(SDL_KEYUP, SDLK_SPACE));
    EXPECT_EQ(Locker, 700);
}
