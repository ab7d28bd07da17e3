// Enemy spawning: chance, boost on an almost empty field, damping on a
// crowded one, and the shape of a new square.
#include "screens/game.h"
#include "support/world_support.h"
#include "world/globals.h"
#include "world/spawn.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

class SpawnTest : public WorldTest {
  protected:
    // Puts `count` text carriers into Stack (they count like squares).
    void Fill(int count)
    {
        for (int i = 0; i < count; ++i) {
            Stack.Create(MakeCarrier(0, 0, 1));
        }
    }
    // Tries `tries` spawns, removing each new square again so that the pool
    // size stays as it was. Returns the number of squares made.
    int Tries(int chance, int tries)
    {
        const int before = Stack.Count;
        int made = 0;
        for (int i = 0; i < tries; ++i) {
            SpawnEnemy(chance);
            if (Stack.Count > before) {
                ++made;
                last_ = Stack.Slots[Stack.Count];
                Stack.Delete(Stack.Count);
            }
        }
        return made;
    }
    Object last_;
};

TEST_F(SpawnTest, ZeroNeverAndTwoHundredAlways)
{
    for (int count : {0, 4, 5, 10, 15, 16, 40}) {
        Stack.Clear();
        Fill(count);
        EXPECT_EQ(Tries(0, 2000), 0) << count;
        EXPECT_EQ(Tries(-5, 200), 0) << count;
    }
    for (int level : {1, 2, 3}) {
        Difficulty = level;
        for (int count : {0, 4, 5, 10, 15}) {
            Stack.Clear();
            Fill(count);
            EXPECT_EQ(Tries(200, 1000), 1000) << count;
        }
        // Above any bound, without overflow on doubling.
        Stack.Clear();
        EXPECT_EQ(Tries(2147483647, 200), 200);
        Fill(20);
        EXPECT_EQ(Tries(400, 200), 200);
    }
}

TEST_F(SpawnTest, BoostOnAnAlmostEmptyField)
{
    // 15 in 200 doubled to 30 in 200 with at most 4 objects.
    Fill(4);
    const int boosted = Tries(15, 20000);
    EXPECT_GT(boosted, 2700);
    EXPECT_LT(boosted, 3300);
    Stack.Clear();
    Fill(5);
    const int plain = Tries(15, 20000);
    EXPECT_GT(plain, 1300);
    EXPECT_LT(plain, 1700);

    // Boosted squares start at 0.01 or 1.01 pixels, both about equally often.
    Stack.Clear();
    int small = 0;
    int large = 0;
    for (int i = 0; i < 2000; ++i) {
        if (Tries(200, 1) == 1) {
            if (last_.W == 0.01f) {
                ++small;
            } else if (last_.W == 1.01f) {
                ++large;
            }
            EXPECT_EQ(last_.W, last_.H);
        }
    }
    EXPECT_EQ(small + large, 2000);
    EXPECT_GT(small, 850);
    EXPECT_GT(large, 850);

    // Unboosted squares always start at 0.01.
    Fill(5);
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(Tries(200, 1), 1);
        EXPECT_EQ(last_.W, 0.01f);
        EXPECT_EQ(last_.H, 0.01f);
    }
}

TEST_F(SpawnTest, DampingOnACrowdedFieldOnLevelsOneAndTwo)
{
    Fill(16);
    for (int level : {1, 2}) {
        Difficulty = level;
        EXPECT_EQ(Tries(1, 20000), 0) << level;
        // 15 halves to 7 in 200.
        const int damped = Tries(15, 20000);
        EXPECT_GT(damped, 550) << level;
        EXPECT_LT(damped, 850) << level;
    }
    Difficulty = 3;
    const int free = Tries(1, 20000);
    EXPECT_GT(free, 50);
    EXPECT_LT(free, 160);

    // 5 to 15 objects: unchanged on every level.
    Stack.Clear();
    Fill(15);
    for (int level : {1, 2, 3}) {
        Difficulty = level;
        const int n = Tries(1, 20000);
        EXPECT_GT(n, 50) << level;
        EXPECT_LT(n, 160) << level;
    }
}

TEST_F(SpawnTest, NewSquareShapeAndAgeing)
{
    Fill(5);
    // The fixed fields of every new square.
    ASSERT_EQ(Tries(200, 1), 1);
    EXPECT_EQ(last_.Image, 2);
    EXPECT_EQ(last_.FrameW, 100);
    EXPECT_EQ(last_.FrameH, 100);
    EXPECT_TRUE(last_.Shootable);
    EXPECT_EQ(last_.Grow, 1.005f);
    EXPECT_EQ(last_.Layer, 1);
    EXPECT_EQ(last_.LifeTimer, 0);
    EXPECT_EQ(last_.Box, 0);
    EXPECT_EQ(last_.Speed, 0.0f);

    // Place and ageing timer are drawn: whole pixels inside the field.
    int minAge = 100000;
    int maxAge = 0;
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(Tries(200, 1), 1);
        const Object& o = last_;
        EXPECT_EQ(o.X, std::floor(o.X));
        EXPECT_EQ(o.Y, std::floor(o.Y));
        minAge = std::min(minAge, o.AgeTimer);
        maxAge = std::max(maxAge, o.AgeTimer);
        minX = std::min(minX, o.X);
        maxX = std::max(maxX, o.X);
        minY = std::min(minY, o.Y);
        maxY = std::max(maxY, o.Y);
    }
    EXPECT_GE(minAge, 2000);
    EXPECT_LT(minAge, 2050);
    EXPECT_LE(maxAge, 4999);
    EXPECT_GT(maxAge, 4950);
    EXPECT_EQ(minX, 200.0f);
    EXPECT_EQ(maxX, 1719.0f);
    EXPECT_EQ(minY, 100.0f);
    EXPECT_EQ(maxY, 959.0f);

    // The ageing timer is divided by 1 + High.
    High = 1;
    minAge = 100000;
    maxAge = 0;
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(Tries(200, 1), 1);
        minAge = std::min(minAge, last_.AgeTimer);
        maxAge = std::max(maxAge, last_.AgeTimer);
    }
    EXPECT_GE(minAge, 1000);
    EXPECT_LE(maxAge, 2499);
    EXPECT_GT(maxAge, 2400);
}

} // namespace
