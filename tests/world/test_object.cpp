// Objects and pools: conversion, pool bookkeeping, animation, motion,
// growth, ageing, lifetimes, leaving the field and drawing.
#include "render/clipping.h"
#include "support/world_support.h"
#include "world/globals.h"

#include <climits>
#include <cmath>
#include <gtest/gtest.h>
#include <initializer_list>
#include <limits>

namespace {

using ObjectTest = WorldTest;

TEST(TruncToIntTest, TruncatesInRangeAndSaturatesOutside)
{
    EXPECT_EQ(TruncToInt(0.0), 0);
    EXPECT_EQ(TruncToInt(3.99), 3);
    EXPECT_EQ(TruncToInt(-3.99), -3);
    EXPECT_EQ(TruncToInt(2147483647.0), INT_MAX);
    EXPECT_EQ(TruncToInt(-2147483648.0), INT_MIN);
    EXPECT_EQ(TruncToInt(2147483646.5), 2147483646);
    EXPECT_EQ(TruncToInt(1e13), INT_MAX);
    EXPECT_EQ(TruncToInt(-1e13), INT_MIN);
    EXPECT_EQ(TruncToInt(std::numeric_limits<double>::infinity()), INT_MAX);
    EXPECT_EQ(TruncToInt(-std::numeric_limits<double>::infinity()), INT_MIN);
    EXPECT_EQ(TruncToInt(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST_F(ObjectTest, CreateDeleteAndClearKeepOrder)
{
    for (int i = 1; i <= 3; ++i) {
        Stack.Create(MakeSquare(static_cast<float>(100 * i), 100, 10));
    }
    ASSERT_EQ(Stack.Count, 3);
    EXPECT_EQ(Stack.Slots[1].X, 100.0f);
    EXPECT_EQ(Stack.Slots[3].X, 300.0f);
    EXPECT_EQ(Stack.Slots[0].Image, 0); // the sentinel is never filled

    // Out-of-range indices change nothing.
    Stack.Delete(0);
    Stack.Delete(4);
    Stack.Delete(-1);
    EXPECT_EQ(Stack.Count, 3);

    Stack.Delete(1);
    ASSERT_EQ(Stack.Count, 2);
    EXPECT_EQ(Stack.Slots[1].X, 200.0f);
    EXPECT_EQ(Stack.Slots[2].X, 300.0f);
    Stack.Delete(2);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].X, 200.0f);

    Stack.Clear();
    EXPECT_EQ(Stack.Count, 0);
    for (int i : {0, 1, 2, 3, stacksize - 1}) {
        EXPECT_EQ(Stack.Slots[i].Layer, 0) << i;
        EXPECT_EQ(Stack.Slots[i].X, 0.0f) << i;
        EXPECT_EQ(Stack.Slots[i].Image, 0) << i;
    }
    Stack.Create(MakeSquare(7, 8, 9));
    EXPECT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].X, 7.0f);
}

TEST_F(ObjectTest, FullPoolIgnoresCreate)
{
    for (int i = 1; i <= stacksize - 1; ++i) {
        Stack.Create(MakeSquare(static_cast<float>(i), 0, 1));
    }
    ASSERT_EQ(Stack.Count, stacksize - 1);
    Stack.Create(MakeSquare(-5, -5, 1));
    Stack.Create(MakeSquare(-6, -6, 1));
    EXPECT_EQ(Stack.Count, stacksize - 1);
    EXPECT_EQ(Stack.Slots[stacksize - 1].X, static_cast<float>(stacksize - 1));
    EXPECT_EQ(Stack.Slots[0].X, 0.0f);
    // Room again after a removal.
    Stack.Delete(1);
    Stack.Create(MakeSquare(-7, 0, 1));
    EXPECT_EQ(Stack.Count, stacksize - 1);
    EXPECT_EQ(Stack.Slots[stacksize - 1].X, -7.0f);
}

TEST_F(ObjectTest, EmptyPoolScansOnlyTheSentinel)
{
    const int g0 = g;
    Stack.Man();
    Stack.Shoot(0, 0);
    Stack.Shoot(1, 1);
    SurfaceRenderer sr(16, 16);
    ASSERT_NE(sr.Get(), nullptr);
    sr.Wipe();
    Stack.Rend(sr.Get());
    EXPECT_EQ(sr.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(Stack.Count, 0);
    EXPECT_EQ(g, g0);
    EXPECT_EQ(Score, 0);
    EXPECT_EQ(Stack.Slots[0].X, 0.0f);
}

TEST_F(ObjectTest, FramingWholeFractionalAndZeroDelay)
{
    Object whole;
    whole.LastFrame = 2;
    whole.FrameDelay = 2;
    // A delay of n changes the frame every n + 1 ticks, cycling 0..LastFrame.
    int seen[9];
    for (int& f : seen) {
        whole.Framing();
        f = whole.Frame;
    }
    const int expected[9] = {0, 0, 1, 1, 1, 2, 2, 2, 0};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(seen[i], expected[i]) << "tick " << i + 1;
    }

    Object fractional;
    fractional.LastFrame = 3;
    fractional.FrameDelay = 1.5f;
    for (int i = 0; i < 100; ++i) {
        fractional.Framing();
    }
    EXPECT_EQ(fractional.Frame, 0);
    EXPECT_EQ(fractional.FrameTick, 100);

    Object zero;
    zero.LastFrame = 1;
    zero.FrameDelay = 0;
    zero.Framing();
    EXPECT_EQ(zero.Frame, 1);
    zero.Framing();
    EXPECT_EQ(zero.Frame, 0);

    Object still;
    still.LastFrame = 0;
    still.Framing();
    EXPECT_EQ(still.Frame, 0);
    EXPECT_EQ(still.FrameTick, 0);
}

TEST_F(ObjectTest, MoveAlongDirection)
{
    Object o;
    o.X = 100;
    o.Y = 100;
    o.Move(); // Speed 0: nothing
    EXPECT_EQ(o.X, 100.0f);
    o.Speed = 2;
    o.Move();
    EXPECT_FLOAT_EQ(o.X, 102.0f);
    EXPECT_FLOAT_EQ(o.Y, 100.0f);
    o.Direction = 90; // downwards
    o.Move();
    EXPECT_NEAR(o.X, 102.0f, 1e-4);
    EXPECT_FLOAT_EQ(o.Y, 102.0f);
    o.Direction = 180;
    o.Move();
    EXPECT_NEAR(o.X, 100.0f, 1e-4);
}

TEST_F(ObjectTest, GrowthAboutTheCentreAndSpin)
{
    Object o = MakeSquare(500, 400, 0.01f);
    const float cx = o.X + o.W / 2;
    const float cy = o.Y + o.H / 2;
    int passed50 = 0;
    int passed100 = 0;
    for (int tick = 1; tick <= 2000; ++tick) {
        o.RoZo();
        if (passed50 == 0 && o.W > 50) {
            passed50 = tick;
        }
        if (passed100 == 0 && o.W > 100) {
            passed100 = tick;
        }
    }
    EXPECT_EQ(passed50, 1708);
    EXPECT_EQ(passed100, 1847);
    EXPECT_NEAR(o.X + o.W / 2, cx, 0.05);
    EXPECT_NEAR(o.Y + o.H / 2, cy, 0.05);
    EXPECT_EQ(o.W, o.H);

    // The multiplier speeds growth up: factor Grow + High / 100.
    High = 10;
    Object fast = MakeSquare(0, 0, 10);
    fast.RoZo();
    EXPECT_FLOAT_EQ(fast.W, 10 * (10.0f / 100 + 1.005f));

    Object spinner;
    spinner.Spin = 5;
    spinner.RoZo();
    spinner.RoZo();
    EXPECT_EQ(spinner.Angle, 10.0f);
    EXPECT_EQ(spinner.W, 0.0f);
}

TEST_F(ObjectTest, AgeingStages)
{
    // A timer of 1 goes to 0 without passing through 1: never ages.
    Object one = MakeSquare(0, 0, 1);
    one.AgeTimer = 1;
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(one.Perish(), 0);
    }
    EXPECT_EQ(one.Image, 2);
    EXPECT_EQ(one.AgeTimer, 0);
    EXPECT_EQ(g, 255);

    // A timer of 2 darkens on the first tick and gets a new timer.
    Object sq = MakeSquare(0, 0, 1);
    sq.AgeTimer = 2;
    sq.Perish();
    EXPECT_EQ(sq.Image, 3);
    EXPECT_EQ(g, 240);
    EXPECT_EQ(b, 240);
    EXPECT_EQ(r, 255);
    EXPECT_GE(sq.AgeTimer, 1000);
    EXPECT_LE(sq.AgeTimer, 1999);
    EXPECT_EQ(Counter, 0);
    EXPECT_EQ(sq.Grow, 1.005f);

    // Only a later run-out turns it black.
    const int timer = sq.AgeTimer;
    for (int i = 0; i < timer - 2; ++i) {
        sq.Perish();
    }
    EXPECT_EQ(sq.Image, 3);
    High = 3;
    sq.Perish();
    EXPECT_EQ(sq.Image, 4);
    EXPECT_EQ(g, 210);
    EXPECT_EQ(b, 210);
    EXPECT_EQ(Counter, 1);
    EXPECT_FLOAT_EQ(High, 3.0f / 4.0f);
    EXPECT_FLOAT_EQ(Divi, 2.985f);
    EXPECT_EQ(sq.Grow, 0.0f);
    EXPECT_EQ(sq.AgeTimer, 1);
    EXPECT_FALSE(EndGame);
    // Black stays black; the timer stops at 0.
    for (int i = 0; i < 5; ++i) {
        sq.Perish();
    }
    EXPECT_EQ(sq.Image, 4);
    EXPECT_EQ(sq.AgeTimer, 0);
    EXPECT_EQ(Counter, 1);
    EXPECT_EQ(g, 210);
}

TEST_F(ObjectTest, DarkeningTimerShrinksWithMultiplierAndEndGame)
{
    High = 1;
    for (int i = 0; i < 200; ++i) {
        Object sq = MakeSquare(0, 0, 1);
        sq.AgeTimer = 2;
        g = 255;
        sq.Perish();
        EXPECT_GE(sq.AgeTimer, 500);
        EXPECT_LE(sq.AgeTimer, 999);
    }
    EXPECT_FALSE(EndGame);

    // The stage change that leaves g at 0 or below ends the game.
    g = 15;
    Object sq = MakeSquare(0, 0, 1);
    sq.AgeTimer = 2;
    sq.Perish();
    EXPECT_EQ(g, 0);
    EXPECT_TRUE(EndGame);

    // Without a stage change a low g ends nothing.
    EndGame = false;
    g = -10;
    Object quiet = MakeSquare(0, 0, 1);
    quiet.AgeTimer = 50;
    quiet.Perish();
    EXPECT_FALSE(EndGame);
}

TEST_F(ObjectTest, GrowthAndAgeingOfferTheTutorialSteps)
{
    Tutorial = true;
    Object sq = MakeSquare(500, 500, 49.9f);
    sq.RoZo();
    EXPECT_TRUE(TutShown[2]);
    EXPECT_EQ(Pause, 1300);
    EXPECT_FALSE(TutShown[3]);
    sq.AgeTimer = 2;
    sq.Perish();
    EXPECT_TRUE(TutShown[3]);
    EXPECT_FALSE(TutShown[4]);
    sq.AgeTimer = 2;
    sq.Perish();
    EXPECT_TRUE(TutShown[4]);
    EXPECT_FALSE(Tutorial);
    EXPECT_TRUE(TutorialMade);

    // A still object never reaches the growth test.
    ResetGlobals();
    Object big;
    big.W = 500;
    big.RoZo();
    EXPECT_FALSE(TutShown[2]);
}

TEST_F(ObjectTest, LifetimeRemovesCarrierAndDropsBox)
{
    Object carrier = MakeCarrier(100, 100, 3);
    carrier.LifeTimer = 500;
    Stack.Create(MakeSquare(50, 50, 10));
    Stack.Create(carrier);
    Stack.Create(MakeSquare(60, 60, 10));
    for (int tick = 1; tick < 500; ++tick) {
        Stack.Man();
        ASSERT_EQ(Stack.Count, 3) << "tick " << tick;
    }
    Stack.Man();
    ASSERT_EQ(Stack.Count, 2);
    EXPECT_EQ(Stack.Slots[2].Image, 2);
    EXPECT_NE(Stack.Slots[2].Box, 3);

    Object lone = MakeCarrier(0, 0, 4);
    lone.LifeTimer = 2;
    EXPECT_EQ(lone.Perish(), 0);
    EXPECT_EQ(lone.Box, 4);
    EXPECT_EQ(lone.Perish(), -1);
    EXPECT_EQ(lone.Box, 0);
    EXPECT_EQ(lone.Perish(), 0);
}

TEST_F(ObjectTest, LeavingTheField)
{
    // Still squares of size 0 whose centre sits exactly on each edge stay.
    Object edge;
    edge.Layer = 1;
    const float edges[4][2] = {{0, 500}, {1920, 500}, {500, 0}, {500, 1050}};
    for (const auto& e : edges) {
        edge.X = e[0];
        edge.Y = e[1];
        Stack.Create(edge);
    }
    Stack.Man();
    EXPECT_EQ(Stack.Count, 4);

    // Just beyond any edge: removed, with the colour handed back.
    Stack.Clear();
    const float out[4][2] = {{-0.5f, 500}, {1920.5f, 500}, {500, -0.5f}, {500, 1050.5f}};
    for (const auto& e : out) {
        edge.X = e[0];
        edge.Y = e[1];
        Stack.Create(edge);
    }
    // The object that moves down into a freed slot waits for the next tick.
    Stack.Man();
    EXPECT_EQ(Stack.Count, 2);
    Stack.Man();
    EXPECT_EQ(Stack.Count, 1);
    Stack.Man();
    EXPECT_EQ(Stack.Count, 0);

    g = b = 100;
    Counter = 2;
    Object dark = MakeSquare(-20, 500, 10, 3);
    Object black = MakeSquare(1950, 500, 10, 4);
    Object fresh = MakeSquare(500, 1100, 10, 2);
    Object stay = MakeSquare(500, 500, 10, 2);
    Stack.Create(dark);
    Stack.Create(stay);
    Stack.Create(black);
    Stack.Create(stay);
    Stack.Create(fresh);
    Stack.Man();
    ASSERT_EQ(Stack.Count, 2);
    EXPECT_EQ(Stack.Slots[2].X + Stack.Slots[2].W / 2, 505.0f);
    Stack.Delete(2);
    EXPECT_EQ(Stack.Slots[1].X + Stack.Slots[1].W / 2, 505.0f);
    EXPECT_EQ(g, 160);
    EXPECT_EQ(b, 160);
    EXPECT_EQ(Counter, 1);
}

TEST_F(ObjectTest, MovedDownObjectWaitsForNextTick)
{
    // Slot 1 leaves the field; slot 2 moves down into it and is skipped.
    Object leaving;
    leaving.X = -100;
    leaving.Layer = 1;
    Object mover;
    mover.X = 500;
    mover.Y = 500;
    mover.Speed = 1;
    Stack.Create(leaving);
    Stack.Create(mover);
    Stack.Man();
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].X, 500.0f);
    Stack.Man();
    EXPECT_FLOAT_EQ(Stack.Slots[1].X, 501.0f);
}

class DrawTest : public WorldTest {
  protected:
    void SetUp() override
    {
        WorldTest::SetUp();
        for (int i = 0; i < 4; ++i) {
            saved_[i] = Images[6 + i];
        }
    }
    void TearDown() override
    {
        for (int i = 0; i < 4; ++i) {
            if (Images[6 + i] != saved_[i]) {
                DestroyPictureTexture(Images[6 + i]);
            }
            Images[6 + i] = saved_[i];
        }
    }
    SDL_Texture* saved_[4] = {};
};

TEST_F(DrawTest, LayersAndCreationOrderDecideWhatIsOnTop)
{
    SurfaceRenderer sr(64, 64);
    ASSERT_NE(sr.Get(), nullptr);
    Images[6] = sr.SolidTexture(10, 10, 0xFFFF0000);
    Images[7] = sr.SolidTexture(10, 10, 0xFF00FF00);
    Images[8] = sr.SolidTexture(10, 10, 0xFF0000FF);
    ASSERT_NE(Images[8], nullptr);

    auto square = [](int image, float x, int layer) {
        Object o;
        o.Image = image;
        o.X = x;
        o.Y = 0;
        o.W = 20.9f; // truncated to 20
        o.H = 20;
        o.FrameW = 10;
        o.FrameH = 10;
        o.Layer = layer;
        return o;
    };
    // Red on layer 2 created first, green on layer 1 after: red stays on top.
    Stack.Create(square(6, 0, 2));
    Stack.Create(square(7, 10, 1));
    // Blue and green on the same layer overlap at x 30..39: the later (green) wins.
    Stack.Create(square(8, 30, 4));
    Stack.Create(square(7, 30.5f, 4));
    // A layer outside 0..5 is never drawn; an empty image slot draws nothing.
    Stack.Create(square(8, 0, 6));
    Stack.Create(square(9, 50, 1));
    sr.Wipe();
    Stack.Rend(sr.Get());
    EXPECT_EQ(sr.Pixel(5, 5), 0xFFFF0000u);
    EXPECT_EQ(sr.Pixel(15, 5), 0xFFFF0000u);
    EXPECT_EQ(sr.Pixel(25, 5), 0xFF00FF00u);
    EXPECT_EQ(sr.Pixel(35, 5), 0xFF00FF00u);
    EXPECT_EQ(sr.Pixel(49, 5), 0xFF00FF00u);
    EXPECT_EQ(sr.Pixel(50, 5), 0xFF000000u);
    EXPECT_EQ(sr.Pixel(5, 25), 0xFF000000u);
}

// A texture of vertical (or horizontal) bands of equal size, one per colour.
SDL_Texture* Bands(SurfaceRenderer& sr, int w, int h, bool vertical,
                   std::initializer_list<uint32_t> colours)
{
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (s == nullptr) {
        return nullptr;
    }
    const int n = static_cast<int>(colours.size());
    int i = 0;
    for (uint32_t c : colours) {
        SDL_Rect band =
            vertical ? SDL_Rect{i * w / n, 0, w / n, h} : SDL_Rect{0, i * h / n, w, h / n};
        SDL_FillRect(s, &band, c);
        ++i;
    }
    SDL_Texture* t = SDL_CreateTextureFromSurface(sr.Get(), s);
    SDL_FreeSurface(s);
    return t;
}

TEST_F(DrawTest, FrameFlipAndAngleChooseWhatIsCopied)
{
    SurfaceRenderer sr(64, 64);
    ASSERT_NE(sr.Get(), nullptr);
    constexpr uint32_t Red = 0xFFFF0000u;
    constexpr uint32_t Green = 0xFF00FF00u;
    constexpr uint32_t Blue = 0xFF0000FFu;
    Images[6] = Bands(sr, 30, 10, true, {Red, Green, Blue}); // three frames
    Images[7] = Bands(sr, 20, 10, true, {Red, Blue});        // left, right
    Images[8] = Bands(sr, 20, 20, false, {Red, Blue});       // top, bottom
    ASSERT_NE(Images[8], nullptr);
    auto object = [](int image, float x, float y, int fw, int fh) {
        Object o;
        o.Image = image;
        o.X = x;
        o.Y = y;
        o.FrameW = fw;
        o.FrameH = fh;
        o.W = static_cast<float>(fw);
        o.H = static_cast<float>(fh);
        o.Layer = 1;
        return o;
    };
    // Frame 1 of three 10-pixel frames is the middle one.
    Object framed = object(6, 0, 0, 10, 10);
    framed.Frame = 1;
    Stack.Create(framed);
    Stack.Create(object(7, 0, 20, 20, 10));
    Object flipped = object(7, 30, 20, 20, 10);
    flipped.Flip = SDL_FLIP_HORIZONTAL;
    Stack.Create(flipped);
    // Turned 90 degrees clockwise about its centre: the top comes to the right.
    Object turned = object(8, 30, 40, 20, 20);
    turned.Angle = 90;
    Stack.Create(turned);
    sr.Wipe();
    Stack.Rend(sr.Get());
    EXPECT_EQ(sr.Pixel(0, 5), Green);
    EXPECT_EQ(sr.Pixel(9, 5), Green);
    EXPECT_EQ(sr.Pixel(2, 25), Red);
    EXPECT_EQ(sr.Pixel(17, 25), Blue);
    EXPECT_EQ(sr.Pixel(32, 25), Blue);
    EXPECT_EQ(sr.Pixel(47, 25), Red);
    EXPECT_EQ(sr.Pixel(33, 44), Blue);
    EXPECT_EQ(sr.Pixel(47, 55), Red);
}

TEST_F(DrawTest, TextIsDrawnUnscaledAtTheCarrierAndOnlyWithARenderer)
{
    SurfaceRenderer sr(32, 32);
    ASSERT_NE(sr.Get(), nullptr);
    constexpr uint32_t Green = 0xFF00FF00u;
    constexpr uint32_t Black = 0xFF000000u;
    // Box 3 holds a rendered 7 x 5 text that is up to date; box 4's text
    // cannot be rendered here (no font).
    TextBox mirror[Boxnumber];
    mirror[3].Texture = sr.SolidTexture(7, 5, Green);
    ASSERT_NE(mirror[3].Texture, nullptr);
    mirror[3].Text = mirror[3].DrawnText = "Start";
    mirror[3].DrawnFont = mirror[3].Font;
    mirror[3].DrawnColor = mirror[3].Color;
    mirror[4].Text = "Exit";
    Stack.Create(MakeCarrier(3.7f, 4.2f, 3)); // no size of its own
    Stack.Create(MakeCarrier(20, 10, 4));
    Stack.Create(MakeCarrier(20, 20, Boxnumber + 7)); // not a box: ignored
    sr.Wipe();
    Stack.Rend(sr.Get(), mirror);
    EXPECT_EQ(sr.Pixel(3, 4), Green);
    EXPECT_EQ(sr.Pixel(9, 8), Green);
    EXPECT_EQ(sr.Pixel(10, 4), Black);
    EXPECT_EQ(sr.Pixel(3, 9), Black);
    EXPECT_EQ(sr.Pixel(2, 4), Black);
    EXPECT_EQ(sr.Pixel(21, 11), Black);
    EXPECT_EQ(sr.Pixel(21, 21), Black);

    // Without a renderer nothing is drawn, and no text cache is touched.
    SDL_Texture* text = mirror[3].Texture;
    mirror[3].Text = "Options";
    Stack.Rend(nullptr, mirror);
    EXPECT_EQ(mirror[3].Texture, text);
    EXPECT_EQ(mirror[3].DrawnText, "Start");
}

TEST_F(DrawTest, HugeSquareIsShotAndDrawnSafely)
{
    SurfaceRenderer sr(32, 32);
    ASSERT_NE(sr.Get(), nullptr);
    Images[6] = sr.SolidTexture(100, 100, 0xFFFF0000);
    Difficulty = 1;
    Object huge = MakeSquare(960 - 5e12f, 525 - 5e12f, 1e13f, 4);
    huge.Grow = 0;
    huge.Angle = 30;
    Stack.Create(huge);
    Counter = 1;
    Stack.Slots[1].Image = 6;
    sr.Wipe();
    Stack.Rend(sr.Get());
    Stack.Slots[1].Image = 4;
    Stack.Shoot(960, 525);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].W, 5e12f);
    EXPECT_EQ(Score, 0);
    Stack.Slots[1].Image = 6;
    Stack.Rend(sr.Get());
    Stack.Slots[1].Image = 4;
    Stack.Man();
    // Still a valid pool whatever happened to the square.
    EXPECT_LE(Stack.Count, 1);
    EXPECT_EQ(Counter, Stack.Count);
}

} // namespace
