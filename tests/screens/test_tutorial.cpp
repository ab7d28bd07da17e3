// The four tutorial messages: when they show, what they add and what they
// switch off.
#include "screens/game.h"
#include "screens/menu.h"
#include "screens/tutorial.h"
#include "support/screens_support.h"
#include "world/globals.h"

#include <string>

namespace {

class TutorialTest : public ScreensTest {};

// The four messages, whole.
const char* const Welcome =
    "Welcome to Vorlune! Use your sticks to aim and the shoulder buttons to fire. Be advised that "
    "holding your fire may slightly increase the spawnrate of enemies.";
const char* const RedSquare =
    "Please take notice of this red square. Fire at it to reduce its size. If a square drops under "
    "a certain size, it will disappear. You will be awarded points and your multiplier increases. "
    "But be careful: the more enemies you shoot, the more enemies appear! Stay on guard!";
const char* const Darker =
    "If you leave a square unattended for too long, it might turn darker. Killing a dark square "
    "will provide you with more points and multiplier. But be careful: Every darkended square "
    "shifts the background color more towards red - a completely red background means game over!";
const char* const Black =
    "Darkened squares will eventually turn black. For every black square that appears, your "
    "multiplier will be reduced, but the number of points you aquire increases. This effect "
    "weakens every time. The black squares themselves are more valuable than darkended enemies, "
    "but also redden the background faster.";

// The message is the last object added; the backdrop comes right before it.
void ExpectMessage(int layer, const char* text)
{
    ASSERT_GE(Stack.Count, 2);
    const Object& backdrop = Stack.Slots[Stack.Count - 1];
    EXPECT_EQ(backdrop.Image, 5);
    EXPECT_EQ(backdrop.W, 1920);
    EXPECT_EQ(backdrop.H, 1080);
    EXPECT_EQ(backdrop.LifeTimer, 2);
    const Object& message = Stack.Slots[Stack.Count];
    EXPECT_EQ(message.X, 100);
    EXPECT_EQ(message.Y, 150);
    EXPECT_EQ(message.Layer, layer);
    EXPECT_EQ(message.Box, 2);
    EXPECT_EQ(message.LifeTimer, 2);
    EXPECT_EQ(message.Image, 0);
    EXPECT_EQ(Boxes[2].Text, text);
    EXPECT_EQ(Boxes[2].Wrap, 1700);
    EXPECT_EQ(Boxes[2].Color.r, 255);
    EXPECT_EQ(Boxes[2].Color.g, 255);
    EXPECT_EQ(Boxes[2].Color.b, 255);
    EXPECT_EQ(Boxes[2].Color.a, 0);
}

} // namespace

TEST_F(TutorialTest, FirstGameOpensWithTheWelcomeAndPausesOnlyOnce)
{
    FreshStart = 0;
    IniGame();
    EXPECT_EQ(Mode, 1);
    EXPECT_EQ(Pause, 1000);
    ExpectMessage(4, Welcome);
    EXPECT_TRUE(TutShown[1]);
    EXPECT_FALSE(TutorialMade);

    // The pause runs out after 1000 passes.
    Passes(999);
    EXPECT_EQ(Pause, 1);
    Passes(1);
    EXPECT_EQ(Pause, 0);

    // The next game of the run starts at once.
    IniMenu(false);
    IniGame();
    EXPECT_EQ(Pause, 0);
    EXPECT_EQ(Stack.Count, 0);
}

TEST_F(TutorialTest, LaterStepsPauseLongerAndTheLastSwitchesTheTutorialOff)
{
    ShowTutorial(2);
    EXPECT_EQ(Pause, 1300);
    ExpectMessage(3, RedSquare);
    ShowTutorial(3);
    EXPECT_EQ(Pause, 1300);
    ExpectMessage(3, Darker);
    EXPECT_TRUE(Tutorial);
    ShowTutorial(4);
    ExpectMessage(3, Black);
    EXPECT_FALSE(Tutorial);
    EXPECT_TRUE(TutorialMade);

    // Off now: step 1 never comes, and nothing changes.
    const int count = Stack.Count;
    Pause = 5;
    ShowTutorial(1);
    EXPECT_EQ(Stack.Count, count);
    EXPECT_EQ(Pause, 5);
    EXPECT_FALSE(TutShown[1]);

    // The options show the tutorial as off.
    FreshStart = 0;
    IniMenu(true);
    Passes(1);
    EXPECT_EQ(Boxes[4].Text, "Tutorial  Off");
}

TEST_F(TutorialTest, EachStepShowsOncePerRunAndWaitsWhileSwitchedOff)
{
    Tutorial = false;
    ShowTutorial(3);
    EXPECT_EQ(Stack.Count, 0);
    EXPECT_EQ(Pause, 0);
    EXPECT_FALSE(TutShown[3]);
    EXPECT_EQ(Boxes[2].Text, "Textbox");

    // Switched on again, the step that was due is still to come.
    Tutorial = true;
    ShowTutorial(3);
    EXPECT_EQ(Stack.Count, 2);
    EXPECT_TRUE(TutShown[3]);
    Pause = 0;
    ShowTutorial(3);
    EXPECT_EQ(Stack.Count, 2);
    EXPECT_EQ(Pause, 0);

    // Steps outside 1..4 show nothing.
    ShowTutorial(0);
    ShowTutorial(9);
    ShowTutorial(-3);
    ShowTutorial(12);
    EXPECT_EQ(Stack.Count, 2);
    EXPECT_EQ(Pause, 0);
}

TEST_F(TutorialTest, GameStartedDuringARunningPauseStaysFrozenWithoutAMessage)
{
    FreshStart = 0;
    IniGame();
    Passes(200);
    EXPECT_EQ(Pause, 800);
    // Left to the menus: the pause goes on counting there.
    IniMenu(false);
    Passes(100);
    EXPECT_EQ(Pause, 700);
    IniGame();
    EXPECT_EQ(Pause, 700);
    EXPECT_EQ(Stack.Count, 0);
    EXPECT_EQ(Mode, 1);
}
