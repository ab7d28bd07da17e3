// Ranking a score, the name entry and the high-score lists.
#include "input/keyboard.h"
#include "screens/highscore.h"
#include "screens/menu.h"
#include "support/screens_support.h"
#include "support/sdl_support.h"
#include "world/globals.h"
#include "world/prompts.h"

#include <string>

namespace {

class HighScoreTest : public ScreensTest {};

// Level `level` of a table: place i holds score 1100 - 100 i and name "Pi".
void FillRow(int32_t (&scores)[4][12], std::string (&names)[4][12], int level)
{
    for (int i = 1; i <= 10; ++i) {
        scores[level][i] = 1100 - 100 * i;
        names[level][i] = "P" + std::to_string(i);
    }
}

void StartNameEntry(int place)
{
    FreshStart = 0;
    IniEnterHighScore(place);
}

} // namespace

TEST_F(HighScoreTest, RankingPutsTiesBelowAndSpillsPlaceTen)
{
    FillRow(ScoreTable, ScoreTableNames, 2);
    EXPECT_EQ(CheckHighScore(100), 11) << "equal to place 10 is not placed";
    EXPECT_EQ(ScoreTable[2][10], 100);
    EXPECT_EQ(ScoreTable[2][11], 0);

    EXPECT_EQ(CheckHighScore(101), 10);
    EXPECT_EQ(ScoreTable[2][10], 101);
    EXPECT_EQ(ScoreTable[2][11], 100);
    EXPECT_EQ(ScoreTableNames[2][11], "P10");
    EXPECT_EQ(ScoreTableNames[2][10], "P10") << "the name waits for the name entry";

    FillRow(ScoreTable, ScoreTableNames, 2);
    EXPECT_EQ(CheckHighScore(600), 6) << "ties go below the equal entry";
    EXPECT_EQ(ScoreTable[2][5], 600);
    EXPECT_EQ(ScoreTable[2][6], 600);
    EXPECT_EQ(ScoreTable[2][7], 500);

    FillRow(ScoreTable, ScoreTableNames, 2);
    EXPECT_EQ(CheckHighScore(5000), 1);
    EXPECT_EQ(ScoreTable[2][1], 5000);
    for (int i = 2; i <= 11; ++i) {
        EXPECT_EQ(ScoreTable[2][i], 1100 - 100 * (i - 1)) << i;
        EXPECT_EQ(ScoreTableNames[2][i], "P" + std::to_string(i - 1)) << i;
    }
    // Other levels are untouched.
    for (int i = 1; i <= 11; ++i) {
        EXPECT_EQ(ScoreTable[1][i], 0);
        EXPECT_EQ(ScoreTable[3][i], 0);
    }
}

TEST_F(HighScoreTest, EmptyListsAndBlueModeTables)
{
    EXPECT_EQ(CheckHighScore(0), 11);
    EXPECT_EQ(CheckHighScore(1), 1);
    EXPECT_EQ(ScoreTable[2][1], 1);

    KCodeOn = true;
    Difficulty = 3;
    EXPECT_EQ(CheckHighScore(40), 1);
    EXPECT_EQ(ScoreTableB[3][1], 40);
    EXPECT_EQ(ScoreTable[3][1], 0);
    EXPECT_EQ(ScoreTable[2][1], 1);

    // A level outside the tables places nothing.
    Difficulty = 9;
    EXPECT_EQ(CheckHighScore(99999), 11);
    Difficulty = 0;
    EXPECT_EQ(CheckHighScore(99999), 11);
}

TEST_F(HighScoreTest, NameEntryScreen)
{
    Stack.Create(Object());
    interface.Create(Object());
    EnteredName = "old";
    Zeiger = 9;
    StartNameEntry(4);
    EXPECT_EQ(Mode, 5);
    EXPECT_EQ(Placed, 4);
    EXPECT_EQ(Zeiger, 0);
    EXPECT_EQ(EnteredName, "");
    EXPECT_EQ(interface.Count, 0);
    ASSERT_EQ(Stack.Count, 3);
    const float xs[] = {300, 300, 300};
    const float ys[] = {100, 400, 700};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(Stack.Slots[i].X, xs[i - 1]);
        EXPECT_EQ(Stack.Slots[i].Y, ys[i - 1]);
        EXPECT_EQ(Stack.Slots[i].Box, i);
        EXPECT_EQ(Stack.Slots[i].Layer, 5);
        EXPECT_EQ(Boxes[i].Color.r + Boxes[i].Color.g + Boxes[i].Color.b, 0);
    }
    EXPECT_EQ(Boxes[1].Text, "Enter Highscore");
    EXPECT_EQ(Boxes[1].Wrap, 900);
    EXPECT_EQ(Boxes[3].Wrap, 1400);
    EXPECT_EQ(Boxes[3].Text,
              "Navigate with left Stick. Left Fire Button to choose. Right Fire Button to erase. "
              "Start to Confirm. You can open the list by using Left/Right in the main menu.");
    Passes(1);
    EXPECT_EQ(Boxes[2].Text, "A");

    Keyboard = true;
    StartNameEntry(4);
    EXPECT_EQ(Boxes[3].Text,
              "Navigate with WASD. Left Fire Button to choose. Right Fire Button to erase. Return "
              "to Confirm. You can open the list by using Left/Right in the main menu.");
}

TEST_F(HighScoreTest, ConfirmingAtOnceStoresTheLetterUnderTheCursor)
{
    sdltest::TempWorkDir dir;
    FillRow(ScoreTable, ScoreTableNames, 2);
    Score = 750;
    ASSERT_EQ(CheckHighScore(Score), 4);
    StartNameEntry(4);
    MenuS2 = true;
    Passes(1);
    EXPECT_EQ(ScoreTableNames[2][4], "A");
    EXPECT_EQ(ScoreTable[2][4], 750);
    EXPECT_EQ(ScoreTableNames[2][5], "P4");
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(MenuMode, 1);
    EXPECT_FALSE(MenuS2);

    // The file holds the name and score at level 2, place 4.
    const std::vector<std::string> lines = ReadLines("Scores.txt");
    ASSERT_EQ(lines.size(), 240u);
    const size_t entry = 40 * 1 + 4 * 3; // section 2, place 4
    EXPECT_EQ(lines[entry], "ScoreL2Name");
    EXPECT_EQ(lines[entry + 1], "A");
    EXPECT_EQ(lines[entry + 3], "750");
}

TEST_F(HighScoreTest, KeyboardNameEntryChoosesErasesAndConfirms)
{
    sdltest::TempWorkDir dir;
    Keyboard = true;
    KCodeOn = true;
    Difficulty = 1;
    ASSERT_EQ(CheckHighScore(10), 1);
    StartNameEntry(1);
    TapKey(5); // choose A
    TapKey(5); // choose A
    EXPECT_EQ(EnteredName, "AA");
    EXPECT_EQ(Boxes[2].Text, "AAA");
    TapKey(11); // confirm with the cursor on A
    EXPECT_EQ(ScoreTableNamesB[1][1], "AAA");
    EXPECT_EQ(ScoreTableNames[1][1], "");
    EXPECT_EQ(Mode, 2);
    const std::vector<std::string> lines = ReadLines("Scores.txt");
    ASSERT_EQ(lines.size(), 240u);
    EXPECT_EQ(lines[120], "ScoreL1BName");
    EXPECT_EQ(lines[121], "AAA");
    EXPECT_EQ(lines[123], "10");

    // Erasing an empty name changes nothing, and the request is dropped.
    ASSERT_EQ(CheckHighScore(20), 1);
    StartNameEntry(1);
    TapKey(10);
    EXPECT_EQ(EnteredName, "");
    EXPECT_EQ(Boxes[2].Text, "A");
    EXPECT_FALSE(MenuS1);
    TapKey(4); // D: B on offer
    TapKey(5);
    EXPECT_EQ(EnteredName, "B");
    TapKey(10);
    EXPECT_EQ(EnteredName, "");
    EXPECT_EQ(Boxes[2].Text, "B");
}

TEST_F(HighScoreTest, KeyboardCursorMoves)
{
    Keyboard = true;
    StartNameEntry(2);
    TapKey(1); // W: capital A -> small a
    EXPECT_EQ(Zeiger, 27);
    EXPECT_EQ(Boxes[2].Text, "a");
    TapKey(2); // S: back to capital A
    EXPECT_EQ(Zeiger, 0);
    TapKey(3); // A: from 0 to the blank
    EXPECT_EQ(Zeiger, 53);
    EXPECT_EQ(Boxes[2].Text, " ");
    TapKey(1); // blank <-> hyphen
    EXPECT_EQ(Zeiger, 26);
    EXPECT_EQ(Boxes[2].Text, "-");
    TapKey(2);
    EXPECT_EQ(Zeiger, 53);
    TapKey(4); // D: from 53 to 0
    EXPECT_EQ(Zeiger, 0);
    EXPECT_EQ(Menu, 1) << "no menu movement in the name entry";
    EXPECT_EQ(Mode, 5);

    // A cursor outside the letters is brought back into range.
    Zeiger = 60;
    Passes(1);
    EXPECT_EQ(Zeiger, 6);
    EXPECT_EQ(Boxes[2].Text, "G");
}

TEST_F(HighScoreTest, RequestsFromAnotherScreenDoNotActInTheNameEntry)
{
    sdltest::TempWorkDir dir;
    Keyboard = true;
    FreshStart = 0;
    IniMenu(false);
    // Return and right Ctrl do nothing in the menus...
    TapKey(11);
    TapKey(10);
    EXPECT_EQ(Mode, 2);
    // ...and do not carry over into the name entry.
    StartNameEntry(3);
    Passes(5);
    EXPECT_EQ(Mode, 5);
    EXPECT_EQ(EnteredName, "");
    EXPECT_TRUE(ReadLines("Scores.txt").empty());
}

TEST_F(HighScoreTest, ListScreenAndItsRefresh)
{
    FillRow(ScoreTable, ScoreTableNames, 2);
    FillRow(ScoreTableB, ScoreTableNamesB, 2);
    ScoreTableNamesB[2][1] = "Blue";
    FreshStart = 0;
    IniMenu(false);
    IniHighScoreList();
    EXPECT_EQ(Mode, 4);
    EXPECT_EQ(Table, 0);
    ASSERT_EQ(Stack.Count, 21);
    EXPECT_EQ(Boxes[1].Text, "Score");
    EXPECT_EQ(Boxes[22].Text, "Highscores");
    // Name i at (300, 100 i), its score beside it at (1300, 100 i).
    EXPECT_EQ(Stack.Slots[1].Box, 1);
    EXPECT_EQ(Stack.Slots[1].X, 300);
    EXPECT_EQ(Stack.Slots[1].Y, 100);
    EXPECT_EQ(Stack.Slots[2].Box, 11);
    EXPECT_EQ(Stack.Slots[2].X, 1300);
    EXPECT_EQ(Stack.Slots[20].Box, 20);
    EXPECT_EQ(Stack.Slots[20].Y, 1000);
    EXPECT_EQ(Stack.Slots[21].Box, 22);
    EXPECT_EQ(Stack.Slots[21].X, 50);
    EXPECT_EQ(Stack.Slots[21].Y, 5);
    EXPECT_EQ(Stack.Slots[21].Layer, 5);

    Table = 2;
    Passes(1);
    EXPECT_EQ(Boxes[1].Text, "P1");
    EXPECT_EQ(Boxes[10].Text, "P10");
    EXPECT_EQ(Boxes[11].Text, "1000");
    EXPECT_EQ(Boxes[20].Text, "100");
    EXPECT_EQ(Boxes[22].Text, "Highscores Level 2");

    KCodeOn = true;
    Passes(1);
    EXPECT_EQ(Boxes[1].Text, "Blue");
    EXPECT_EQ(Boxes[22].Text, "Highscores Level 2 Blue Mode");
}

TEST_F(HighScoreTest, KeyboardStepsThroughTheListsAndBack)
{
    Keyboard = true;
    FreshStart = 0;
    IniMenu(false);
    for (int level = 1; level <= 3; ++level) {
        TapKey(4);
        EXPECT_EQ(Mode, 4);
        EXPECT_EQ(Table, level);
        EXPECT_EQ(Boxes[22].Text, "Highscores Level " + std::to_string(level));
    }
    TapKey(4);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(Table, 0);
    EXPECT_EQ(BoxOf(1).Text, "Start Game");

    for (int level = 3; level >= 1; --level) {
        TapKey(3);
        EXPECT_EQ(Mode, 4);
        EXPECT_EQ(Table, level);
    }
    // Select on the list does nothing, and does not act on the menu later.
    TapKey(5);
    EXPECT_EQ(Mode, 4);
    TapKey(3);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(Table, 0);
    Passes(3);
    EXPECT_EQ(Mode, 2) << "no game started by the select made on the list";

    // Left then right from the main menu returns to it.
    TapKey(3);
    TapKey(4);
    EXPECT_EQ(Mode, 2);
    EXPECT_EQ(Table, 0);
}
