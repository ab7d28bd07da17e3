// Shooting: hit areas per level, halving, destroying, scoring.
#include "support/world_support.h"
#include "world/globals.h"

#include <gtest/gtest.h>

namespace {

using ShootTest = WorldTest;

TEST_F(ShootTest, LargeSquareHalvesTwiceThenDies)
{
    Difficulty = 1;
    Stack.Create(MakeSquare(300, 300, 400));
    Stack.Shoot(500, 500);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].W, 200.0f);
    EXPECT_EQ(Stack.Slots[1].H, 200.0f);
    EXPECT_EQ(Stack.Slots[1].X, 400.0f); // centre kept
    EXPECT_EQ(Stack.Slots[1].Y, 400.0f);
    EXPECT_EQ(Score, 0);
    EXPECT_EQ(High, 0.0f);
    Stack.Shoot(500, 500);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].W, 100.0f);
    EXPECT_EQ(Stack.Slots[1].X, 450.0f);
    Stack.Shoot(500, 500);
    EXPECT_EQ(Stack.Count, 0);
    EXPECT_EQ(Score, 6);

    // A size with a fraction: the square moves by half of the truncated old
    // size less the new one, so its centre drifts by a quarter pixel.
    Stack.Create(MakeSquare(300, 200, 240.5f));
    Stack.Shoot(400, 300);
    ASSERT_EQ(Stack.Count, 1);
    EXPECT_EQ(Stack.Slots[1].W, 120.25f);
    EXPECT_EQ(Stack.Slots[1].H, 120.25f);
    EXPECT_EQ(Stack.Slots[1].X, 359.875f); // 300 + (240 - 120.25) / 2
    EXPECT_EQ(Stack.Slots[1].Y, 259.875f);
}

TEST_F(ShootTest, SizeLimitPerLevel)
{
    const float limits[4] = {0, 100, 75, 50};
    for (int level = 1; level <= 3; ++level) {
        ResetGlobals();
        Difficulty = level;
        const float t = limits[level];
        Stack.Create(MakeSquare(100, 100, t + 0.5f));
        Stack.Shoot(110, 110);
        ASSERT_EQ(Stack.Count, 1) << level;
        EXPECT_EQ(Stack.Slots[1].W, (t + 0.5f) / 2) << level;
        Stack.Clear();
        Stack.Create(MakeSquare(100, 100, t));
        Stack.Shoot(110, 110);
        EXPECT_EQ(Stack.Count, 0) << level;
    }
}

TEST_F(ShootTest, MarginsAndStrictEdges)
{
    // Square spanning 100..110 on both axes.
    struct Case {
        int level;
        int lowHit, lowMiss, highHit, highMiss;
    };
    const Case cases[] = {{1, 97, 96, 113, 114}, {2, 99, 98, 111, 112}, {3, 101, 100, 109, 110}};
    for (const Case& c : cases) {
        Difficulty = c.level;
        auto hits = [](int x, int y) {
            Stack.Clear();
            Stack.Create(MakeSquare(100, 100, 10));
            Stack.Shoot(x, y);
            return Stack.Count == 0;
        };
        EXPECT_TRUE(hits(c.lowHit, 105)) << c.level;
        EXPECT_FALSE(hits(c.lowMiss, 105)) << c.level;
        EXPECT_TRUE(hits(c.highHit, 105)) << c.level;
        EXPECT_FALSE(hits(c.highMiss, 105)) << c.level;
        EXPECT_TRUE(hits(105, c.lowHit)) << c.level;
        EXPECT_FALSE(hits(105, c.lowMiss)) << c.level;
        EXPECT_TRUE(hits(105, c.highHit)) << c.level;
        EXPECT_FALSE(hits(105, c.highMiss)) << c.level;
    }
    // A square a fraction of a pixel wide is hit from a few pixels away on
    // level 1, and only strictly inside on level 3 (never, at whole pixels).
    Difficulty = 1;
    for (int x = 97; x <= 103; ++x) {
        Stack.Clear();
        Stack.Create(MakeSquare(100, 100, 0.01f));
        Stack.Shoot(x, 100);
        EXPECT_EQ(Stack.Count, 0) << x;
    }
    Difficulty = 3;
    Stack.Clear();
    Stack.Create(MakeSquare(100, 100, 0.01f));
    Stack.Shoot(100, 100);
    EXPECT_EQ(Stack.Count, 1);
}

TEST_F(ShootTest, PointsPerStageAtGameStart)
{
    const int points[5] = {0, 0, 6, 10, 14};
    const int colour[5] = {0, 0, 0, 15, 45};
    for (int stage = 2; stage <= 4; ++stage) {
        ResetGlobals();
        g = b = 100;
        Counter = stage == 4 ? 1 : 0;
        Stack.Create(MakeSquare(100, 100, 10, stage));
        Stack.Shoot(105, 105);
        EXPECT_EQ(Score, points[stage]) << stage;
        EXPECT_FLOAT_EQ(High, 0.02f * stage) << stage;
        EXPECT_EQ(g, 100 + colour[stage]) << stage;
        EXPECT_EQ(b, 100 + colour[stage]) << stage;
        EXPECT_EQ(r, 255);
        EXPECT_EQ(Counter, 0) << stage;
    }
    // Points build on the score and on the raised multiplier.
    ResetGlobals();
    Score = 100;
    High = 1;
    Divi = 2;
    Stack.Create(MakeSquare(100, 100, 10, 3));
    Stack.Shoot(105, 105);
    EXPECT_FLOAT_EQ(High, 1.06f);
    EXPECT_EQ(Score, 100 + static_cast<int>(2.06f * 30 / 2));
}

TEST_F(ShootTest, BlueModeMultiplierStepIsThreefold)
{
    KCodeOn = true;
    Stack.Create(MakeSquare(100, 100, 10, 2));
    Stack.Create(MakeSquare(100, 100, 10, 4));
    Counter = 1;
    Stack.Shoot(105, 105); // destroys slot 1; slot 2 moves down and waits
    EXPECT_FLOAT_EQ(High, 0.12f);
    EXPECT_EQ(Score, 7); // trunc(1.12 * 20 / 3)
    Stack.Shoot(105, 105);
    EXPECT_FLOAT_EQ(High, 0.36f);
    EXPECT_EQ(Score, 7 + 18); // trunc(7 + 1.36 * 40 / 3)
}

TEST_F(ShootTest, OneShotThroughSeveralSquares)
{
    Difficulty = 1;
    // Slot 1: large, halved. Slot 2: small, destroyed; slot 3 moves down
    // into slot 2 and is not tested. Slot 4 (then 3): destroyed.
    // Slot 5: elsewhere, untouched.
    Stack.Create(MakeSquare(0, 0, 400));
    Stack.Create(MakeSquare(195, 195, 10, 3));
    Stack.Create(MakeSquare(195, 195, 10, 2));
    Stack.Create(MakeSquare(190, 190, 20, 4));
    Stack.Create(MakeSquare(800, 800, 10, 2));
    g = b = 100;
    Counter = 3;
    Stack.Shoot(200, 200);
    ASSERT_EQ(Stack.Count, 3);
    EXPECT_EQ(Stack.Slots[1].W, 200.0f);
    EXPECT_EQ(Stack.Slots[2].Image, 2);
    EXPECT_EQ(Stack.Slots[2].X, 195.0f);
    EXPECT_EQ(Stack.Slots[3].X, 800.0f);
    // Darkened and black gone: +15 and +45.
    EXPECT_EQ(g, 160);
    EXPECT_EQ(b, 160);
    EXPECT_EQ(Counter, 2);
    EXPECT_FLOAT_EQ(High, 0.06f + 0.08f);
    // trunc(1.06 * 30 / 3) = 10, then trunc(10 + 1.14 * 40 / 3) = 25
    EXPECT_EQ(Score, 25);
}

TEST_F(ShootTest, CarriersAndCrosshairsAreNeverHit)
{
    Object carrier = MakeCarrier(100, 100, 2);
    carrier.W = 500;
    carrier.H = 500;
    Object crosshair;
    crosshair.Image = 1;
    crosshair.X = 100;
    crosshair.Y = 100;
    crosshair.W = 100;
    crosshair.H = 100;
    Stack.Create(carrier);
    Stack.Create(crosshair);
    interface.Create(crosshair);
    Stack.Shoot(150, 150);
    interface.Shoot(150, 150);
    EXPECT_EQ(Stack.Count, 2);
    EXPECT_EQ(interface.Count, 1);
    EXPECT_EQ(Stack.Slots[1].W, 500.0f);
    EXPECT_EQ(Score, 0);
}

TEST_F(ShootTest, BlackSquareWithThreeOnTheField)
{
    Counter = 3;
    g = b = 255 - 3 * 45;
    Stack.Create(MakeSquare(100, 100, 10, 4));
    Stack.Create(MakeSquare(300, 100, 10, 4));
    Stack.Create(MakeSquare(500, 100, 10, 4));
    Stack.Shoot(305, 105);
    EXPECT_EQ(Counter, 2);
    EXPECT_EQ(g, 255 - 2 * 45);
    EXPECT_EQ(b, 255 - 2 * 45);
    EXPECT_EQ(Stack.Count, 2);
    EXPECT_EQ(Stack.Slots[2].X, 500.0f);
}

} // namespace
