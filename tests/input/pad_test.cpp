#include "input/kcode.h"
#include "render/graphics.h"
#include "support/input_support.h"

#include <SDL_mixer.h>
#include <atomic>
#include <cstdlib>

using namespace inputtest;

namespace {

// A square to shoot at, with its top-left corner at (x, y).
void AddSquare(float x, float y, float size)
{
    Object o;
    o.Image = 2;
    o.X = x;
    o.Y = y;
    o.W = size;
    o.H = size;
    o.Shootable = true;
    Stack.Create(o);
}

float Widest()
{
    float w = 0;
    for (int i = 1; i <= Stack.Count; ++i) {
        if (Stack.Slots[i].W > w) {
            w = Stack.Slots[i].W;
        }
    }
    return w;
}

std::atomic<int> HaltsOnGunChannels{0};

void CountHalts(int channel)
{
    if (channel == 1 || channel == 2) {
        ++HaltsOnGunChannels;
    }
}

// Silence, long enough to loop.
Uint8 GunSamples[8820] = {};

} // namespace

using PadTest = PadFixture;

TEST_F(PadTest, SticksPlaceTheCrosshairsOverTheirHalves)
{
    SDL_Joystick* j = AddJoystick(0);
    Mode = 1;
    Poll();
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 430);
    EXPECT_FLOAT_EQ(interface.Slots[1].Y, 475);
    EXPECT_FLOAT_EQ(interface.Slots[2].X, 1390);
    EXPECT_FLOAT_EQ(interface.Slots[2].Y, 475);

    Stick(j, kLeftX, -32768);
    Stick(j, kLeftY, -32768);
    Stick(j, kRightX, 32767);
    Stick(j, kRightY, 32767);
    Poll();
    EXPECT_NEAR(interface.Slots[1].X, 430 - 480.0146, 1e-3);
    EXPECT_NEAR(interface.Slots[1].Y, 475 - 520.0159, 1e-3);
    EXPECT_FLOAT_EQ(interface.Slots[2].X, 1870);
    EXPECT_FLOAT_EQ(interface.Slots[2].Y, 995);

    // Outside play only the left crosshair follows.
    Mode = 2;
    FreshStart = 0;
    Stick(j, kLeftX, 0);
    Stick(j, kRightX, 0);
    Poll();
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 430);
    EXPECT_FLOAT_EQ(interface.Slots[2].X, 1870);

    // A map entry the device does not have reads as centred.
    Mode = 1;
    Stick(j, kLeftX, 32767);
    Players[1].PadMap[2] = 40;
    Poll();
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 430);
}

TEST_F(PadTest, DualShockDeadZoneAndClampOnTheControllerOnly)
{
    SDL_Joystick* pad = AddController();
    Mode = 1;
    DualShockHack = true;
    Stick(pad, SDL_CONTROLLER_AXIS_LEFTX, 80);
    Stick(pad, SDL_CONTROLLER_AXIS_LEFTY, -30000);
    Stick(pad, SDL_CONTROLLER_AXIS_RIGHTX, 30000);
    Poll();
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 430);
    EXPECT_FLOAT_EQ(interface.Slots[1].Y, -45);
    EXPECT_FLOAT_EQ(interface.Slots[2].X, 1870);
    Stick(pad, SDL_CONTROLLER_AXIS_LEFTX, 30000);
    Poll();
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 910);

    DualShockHack = false;
    Poll();
    EXPECT_NEAR(interface.Slots[1].X, 430 + 30000 / 32767.0 * 480, 1e-3);

    // A raw joystick is never shaped.
    SDL_Joystick* j = AddJoystick(0);
    DualShockHack = true;
    Stick(j, kLeftX, 80);
    Poll();
    EXPECT_NEAR(interface.Slots[1].X, 430 + 80 / 32767.0 * 480, 1e-3);
}

TEST_F(PadTest, EveryJoystickIsReadAndTheyShareLatchesAndPulses)
{
    SDL_Joystick* first = AddJoystick(0);
    AddJoystick(2); // slot 1 stays empty and is skipped
    Mode = 1;
    Difficulty = 3;
    Stick(first, kLeftX, -32768);
    Stick(first, kLeftY, -32768);
    Stick(first, kRightX, 1000);
    Press(first, kLeftFire, true);
    // The first pad shoots at its own crosshair, whose centre truncates to
    // (0, 4); the second pad then puts the crosshairs back at rest.
    AddSquare(-0.5f, 3.5f, 1);
    Poll();
    for (int i = 1; i <= Stack.Count; ++i) {
        EXPECT_NE(Stack.Slots[i].X, -0.5f);
    }
    EXPECT_GT(Score, 0);
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 430);
    // Each joystick keeps its stick pair in its own player entry.
    EXPECT_FLOAT_EQ(Players[0].StickA, 1000);
    EXPECT_FLOAT_EQ(Players[2].StickA, 0);

    // In the menus an idle second pad neither cancels the first pad's select
    // nor re-arms its held stick.
    Press(first, kLeftFire, false);
    Stick(first, kLeftX, 0);
    Poll();
    Mode = 2;
    FreshStart = 0;
    Press(first, kLeftFire, true);
    Poll();
    EXPECT_TRUE(MenuS);
    Poll();
    EXPECT_FALSE(MenuS);
    for (int i = 0; i < 3; ++i) {
        Poll();
    }
    EXPECT_EQ(Menu, 0); // the stick was still held up: one move
}

TEST_F(PadTest, MenuStickMovesOncePerPush)
{
    SDL_Joystick* j = AddJoystick(0);
    Mode = 2;
    FreshStart = 0;
    Stick(j, kLeftY, -25000);
    for (int i = 0; i < 3; ++i) {
        Poll();
    }
    EXPECT_EQ(Menu, 0);
    Stick(j, kLeftY, -20000); // at the threshold counts as returned
    Poll();
    Stick(j, kLeftY, -25000);
    Poll();
    EXPECT_EQ(Menu, -1);
    Stick(j, kLeftY, 20001);
    Poll();
    Poll();
    EXPECT_EQ(Menu, 0);
}

TEST_F(PadTest, SidewaysStepsThroughTheListsFromTheMainMenu)
{
    SDL_Joystick* j = AddJoystick(0);
    Mode = 2;
    MenuMode = 1;
    FreshStart = 0;
    auto push = [&](int h) {
        Stick(j, kLeftX, h);
        Poll();
        Stick(j, kLeftX, 0);
        Poll();
    };
    const int expectRight[4] = {1, 2, 3, 0};
    for (int t : expectRight) {
        push(30000);
        EXPECT_EQ(Table, t);
        EXPECT_EQ(Mode, t == 0 ? 2 : 4);
    }
    const int expectLeft[4] = {3, 2, 1, 0};
    for (int t : expectLeft) {
        push(-30000);
        EXPECT_EQ(Table, t);
        EXPECT_EQ(Mode, t == 0 ? 2 : 4);
    }
    EXPECT_EQ(MenuMode, 1);

    // The pushes feed the Blue Mode sequence with their directions: right,
    // up, left, down, right, right, down, up.
    const int sequence[8][2] = {{kLeftX, 30000}, {kLeftY, -30000}, {kLeftX, -30000},
                                {kLeftY, 30000}, {kLeftX, 30000},  {kLeftX, 30000},
                                {kLeftY, 30000}, {kLeftY, -30000}};
    KCodeCount = 0;
    for (int step = 0; step < 8; ++step) {
        EXPECT_FALSE(KCodeOn) << "step " << step + 1;
        Stick(j, sequence[step][0], sequence[step][1]);
        Poll();
        Stick(j, sequence[step][0], 0);
        Poll();
        EXPECT_EQ(KCodeCount, step + 1) << "step " << step + 1;
    }
    EXPECT_TRUE(KCodeOn);
    ProcessRenderRequests(); // no renderer: only drops the request
}

TEST_F(PadTest, StartUpScreensTakeOnlyUpAndDown)
{
    SDL_Joystick* j = AddJoystick(0);
    Mode = 2;
    FreshStart = 2000;
    Stick(j, kLeftX, -30000);
    Poll();
    Stick(j, kLeftX, 30000);
    Poll();
    EXPECT_EQ(Table, 0);
    EXPECT_EQ(Mode, 2);
    EXPECT_FALSE(Slow3);
    EXPECT_FALSE(Slow4);

    // The Blue Mode sequence's second step is up: it is still fed.
    KCodeCount = 1;
    Stick(j, kLeftX, 0);
    Stick(j, kLeftY, -30000);
    Poll();
    EXPECT_EQ(Menu, 0);
    EXPECT_EQ(KCodeCount, 2);
}

TEST_F(PadTest, OptionsSidewaysChangesOnlyZeiger)
{
    SDL_Joystick* j = AddJoystick(0);
    Mode = 2;
    MenuMode = 2;
    FreshStart = 0;
    KCodeCount = 3; // any call of the sequence would reset it
    Stick(j, kLeftX, -30000);
    Poll();
    EXPECT_EQ(Zeiger, 53);
    Stick(j, kLeftX, 30000);
    Poll();
    EXPECT_EQ(Zeiger, 0);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(Table, 0);
    EXPECT_EQ(KCodeCount, 3);
}

TEST_F(PadTest, NameEntrySwapsCaseAndPulsesLastOnePoll)
{
    SDL_Joystick* j = AddJoystick(0);
    Mode = 5;
    FreshStart = 0;
    Stick(j, kLeftY, -30000);
    Poll();
    EXPECT_EQ(Zeiger, 27);
    Stick(j, kLeftY, 30000);
    Poll();
    EXPECT_EQ(Zeiger, 0);
    Zeiger = 26;
    Stick(j, kLeftY, -30000);
    Poll();
    EXPECT_EQ(Zeiger, 53);
    Stick(j, kLeftY, 0);
    Poll();

    Press(j, kLeftFire, true);
    Poll();
    EXPECT_TRUE(MenuS);
    Poll();
    EXPECT_FALSE(MenuS); // held: one pulse only
    Press(j, kLeftFire, false);
    Poll();
    EXPECT_FALSE(aButton);

    Press(j, kRightFire, true);
    Poll();
    EXPECT_TRUE(MenuS1);
    EXPECT_FALSE(MenuS2);
    Press(j, kRightFire, false);
    Press(j, kStart, true);
    Poll();
    EXPECT_FALSE(MenuS1);
    EXPECT_TRUE(MenuS2);
    EXPECT_FALSE(MenuS);
}

TEST_F(PadTest, ControllerCentredExactlyKeepsTheUpLatch)
{
    SDL_Joystick* pad = AddController();
    Mode = 2;
    FreshStart = 0;
    Stick(pad, SDL_CONTROLLER_AXIS_LEFTY, -30000);
    Poll();
    Stick(pad, SDL_CONTROLLER_AXIS_LEFTY, 0);
    Poll();
    EXPECT_TRUE(Slow1);
    Stick(pad, SDL_CONTROLLER_AXIS_LEFTY, -100);
    Poll();
    EXPECT_FALSE(Slow1);
    EXPECT_EQ(Menu, 0);
}

class GunTest : public PadFixture {
  protected:
    static void SetUpTestSuite()
    {
        // Never a real sound device, whatever the environment says.
        SDL_SetHint(SDL_HINT_AUDIODRIVER, "dummy");
        if (Mix_OpenAudio(44100, AUDIO_S16LSB, 2, 2048) == 0) {
            Sounds[1] = Mix_QuickLoad_RAW(GunSamples, sizeof GunSamples);
        }
        Mix_ChannelFinished(CountHalts);
    }

    void SetUp() override
    {
        PadFixture::SetUp();
        if (Sounds[1] == nullptr) {
            GTEST_SKIP() << "no mixer on the dummy audio driver: " << Mix_GetError();
        }
        Mix_HaltChannel(-1);
        HaltsOnGunChannels = 0;
        std::srand(11);
        joy_ = AddJoystick(0);
        Mode = 1;
    }

    SDL_Joystick* joy_ = nullptr;
};

TEST_F(GunTest, HeldButtonShootsEveryPollAndStartsItsLoopOnce)
{
    Difficulty = 1;
    AddSquare(280, 325, 400); // centred on the left crosshair's shot point
    Press(joy_, kLeftFire, true);
    Poll();
    EXPECT_FLOAT_EQ(Widest(), 200);
    EXPECT_TRUE(Sound1);
    EXPECT_TRUE(Mix_Playing(1));
    EXPECT_FALSE(Mix_Playing(2));
    Poll();
    EXPECT_FLOAT_EQ(Widest(), 100);
    Poll();
    EXPECT_GT(Score, 0);
    EXPECT_EQ(HaltsOnGunChannels, 0); // never restarted while held

    Press(joy_, kLeftFire, false);
    Poll();
    EXPECT_FALSE(Sound1);
    EXPECT_EQ(Mix_FadingChannel(1), MIX_FADING_OUT);

    Press(joy_, kRightFire, true);
    Poll();
    EXPECT_TRUE(Sound2);
    EXPECT_TRUE(Mix_Playing(2));
}

TEST_F(GunTest, FiringBreedsSquares)
{
    Difficulty = 3;
    for (int i = 0; i < 300; ++i) {
        Poll();
    }
    EXPECT_EQ(Stack.Count, 0);
    Press(joy_, kLeftFire, true);
    Press(joy_, kRightFire, true);
    Stick(joy_, kLeftX, -32768); // aim off the field so the guns spare the new squares
    Stick(joy_, kRightX, -32768);
    Stick(joy_, kRightY, 32767);
    for (int i = 0; i < 300; ++i) {
        Poll();
    }
    EXPECT_GT(Stack.Count, 0);
    EXPECT_LE(Stack.Count, 600);
}

TEST_F(GunTest, PauseOnlyFadesTheGuns)
{
    Pause = 50;
    AddSquare(950, 515, 20); // under the left shot once the stick is right
    Press(joy_, kLeftFire, true);
    Press(joy_, kRightFire, true);
    Stick(joy_, kLeftX, 32767);
    Poll();
    EXPECT_EQ(Stack.Count, 1);
    EXPECT_FALSE(Sound1);
    EXPECT_FALSE(Sound2);
    EXPECT_FALSE(Mix_Playing(1));
    EXPECT_FLOAT_EQ(interface.Slots[1].X, 910);
}

TEST_F(GunTest, StartAbandonsTheGameAndAnUnpluggedPadStopsFiring)
{
    Press(joy_, kLeftFire, true);
    Poll();
    ASSERT_TRUE(Sound1);
    SDL_JoystickDetachVirtual(0);
    SDL_JoystickUpdate();
    Poll();
    EXPECT_FALSE(Sound1);

    SDL_Joystick* second = AddJoystick(0);
    FreshStart = 0;
    Press(second, kStart, true);
    Poll();
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(MenuMode, 1);
}
