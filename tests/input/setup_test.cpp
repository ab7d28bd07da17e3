#include "support/input_support.h"

using namespace inputtest;

namespace {

class SetupTest : public PadFixture {
  protected:
    void SetUp() override
    {
        PadFixture::SetUp();
        joy_ = AddJoystick(0, 6, 10);
        for (int32_t& entry : Players[1].PadMap) {
            entry = 0;
        }
        Mode = 3;
        Events(); // the device's arrival and first rest report
        ASSERT_EQ(DefPad, 1);
    }

    void Axis(int axis, int value)
    {
        Stick(joy_, axis, value);
        Events();
    }

    void Button(int button)
    {
        Press(joy_, button, true);
        Events();
        Press(joy_, button, false);
        Events();
    }

    // What the logic thread's ticks do to the answer pause meanwhile.
    static void PauseRunsOut()
    {
        std::lock_guard<std::mutex> lock(StateMutex);
        Locker = 0;
    }

    SDL_Joystick* joy_ = nullptr;
};

} // namespace

TEST_F(SetupTest, SevenAnswersFillTheMapInOrder)
{
    Axis(1, -32768);
    EXPECT_EQ(DefPad, 2);
    EXPECT_EQ(Players[1].PadMap[1], 1);
    EXPECT_EQ(Locker, 30);
    EXPECT_TRUE(GoDef);
    EXPECT_TRUE(LockAxis);
    EXPECT_EQ(LastAxis, -32768);

    // A second answer within the pause is not taken.
    Axis(1, 0);
    Axis(0, -30000);
    EXPECT_EQ(DefPad, 2);
    EXPECT_TRUE(LockAxis);

    // After the pause the sticks must report rest before an answer counts.
    PauseRunsOut();
    Axis(0, -31000);
    EXPECT_EQ(DefPad, 2);
    Axis(0, 0);
    EXPECT_FALSE(LockAxis);
    Button(4); // a button does not answer an axis step
    EXPECT_EQ(DefPad, 2);
    EXPECT_EQ(Locker, 0);
    Axis(0, -32768); // the value of the previous answer is not taken again
    EXPECT_EQ(DefPad, 2);
    Axis(0, -32767);
    EXPECT_EQ(DefPad, 3);
    EXPECT_EQ(Players[1].PadMap[2], 0);

    PauseRunsOut();
    Axis(0, 0);
    Axis(3, -20000);
    PauseRunsOut();
    Axis(3, 0);
    Axis(2, -25000);
    EXPECT_EQ(DefPad, 5);
    EXPECT_EQ(Players[1].PadMap[3], 3);
    EXPECT_EQ(Players[1].PadMap[4], 2);

    // An axis does not answer a button step.
    PauseRunsOut();
    Axis(2, 0);
    Axis(5, 12345);
    EXPECT_EQ(DefPad, 5);

    Button(7);
    EXPECT_EQ(DefPad, 6);
    Button(8); // within the pause
    EXPECT_EQ(DefPad, 6);
    PauseRunsOut();
    Button(8);
    PauseRunsOut();
    Button(9);
    EXPECT_EQ(DefPad, 8);
    EXPECT_EQ(Players[1].PadMap[11], 7);
    EXPECT_EQ(Players[1].PadMap[12], 8);
    EXPECT_EQ(Players[1].PadMap[13], 9);
}
