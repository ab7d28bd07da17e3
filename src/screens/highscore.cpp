#include "screens/highscore.h"

#include "input/keyboard.h"
#include "persist/scores.h"
#include "screens/menu.h"
#include "world/globals.h"

#include <string>

namespace {

constexpr SDL_Color Black{0, 0, 0, 0};
constexpr int Places = 10;
constexpr int SpillSlot = 11;

const char* const PadHelp =
    "Navigate with left Stick. Left Fire Button to choose. Right Fire Button to erase. Start to "
    "Confirm. You can open the list by using Left/Right in the main menu.";
const char* const KeyboardHelp =
    "Navigate with WASD. Left Fire Button to choose. Right Fire Button to erase. Return to "
    "Confirm. You can open the list by using Left/Right in the main menu.";

// The tables of the mode being played: Blue Mode keeps lists of its own.
int32_t (&ScoreRows())[4][12]
{
    return KCodeOn ? ScoreTableB : ScoreTable;
}
std::string (&NameRows())[4][12]
{
    return KCodeOn ? ScoreTableNamesB : ScoreTableNames;
}

bool IsLevel(int level)
{
    return level >= 1 && level <= 3;
}

// Writes the position into the template of the high-score screens and adds
// a carrier for `box`.
void AddCarrier(float x, float y, int box)
{
    Object& t = Objectlist[3];
    t.X = x;
    t.Y = y;
    t.Layer = 5;
    t.Box = box;
    Stack.Create(t);
}

} // namespace

int CheckHighScore(int score)
{
    const int level = Difficulty;
    if (!IsLevel(level)) {
        return SpillSlot;
    }
    int32_t* scores = ScoreRows()[level];
    std::string* names = NameRows()[level];
    // The lowest slot the score beats; equal scores stay above the new one.
    int place = SpillSlot;
    for (int i = SpillSlot; i >= 1; --i) {
        if (scores[i] < score) {
            place = i;
        }
    }
    if (place > Places) {
        return place;
    }
    for (int j = SpillSlot; j > place; --j) {
        scores[j] = scores[j - 1];
        names[j] = names[j - 1];
    }
    // The name beside it is the one that moved down until the new one is
    // confirmed.
    scores[place] = score;
    return place;
}

void IniEnterHighScore(int place)
{
    Stack.Clear();
    interface.Clear();
    EnteredName.clear();
    Placed = place;
    Zeiger = 0;
    // Requests and keys from the previous screen must not type or confirm here.
    ForgetScreenInput();

    Boxes[1].Text = "Enter Highscore";
    Boxes[1].Color = Black;
    Boxes[1].Wrap = 900;
    AddCarrier(300, 100, 1);
    Boxes[2].Text = EnteredName;
    Boxes[2].Color = Black;
    AddCarrier(300, 400, 2);
    Boxes[3].Text = Keyboard ? KeyboardHelp : PadHelp;
    Boxes[3].Color = Black;
    Boxes[3].Wrap = 1400;
    AddCarrier(300, 700, 3);
    Mode = 5;
}

void IniHighScoreList()
{
    Stack.Clear();
    ForgetScreenInput();
    for (int i = 1; i <= Places; ++i) {
        Boxes[i].Text = "Score";
        Boxes[i].Color = Black;
        AddCarrier(300, static_cast<float>(i * 100), i);
        Boxes[i + 10].Text = "Score";
        Boxes[i + 10].Color = Black;
        AddCarrier(1300, static_cast<float>(i * 100), i + 10);
    }
    Boxes[22].Text = "Highscores";
    Boxes[22].Color = Black;
    AddCarrier(50, 5, 22);
    Mode = 4;
}

void HighScoreListRefresh()
{
    if (!IsLevel(Table)) {
        return;
    }
    const int32_t* scores = ScoreRows()[Table];
    const std::string* names = NameRows()[Table];
    for (int i = 1; i <= Places; ++i) {
        Boxes[i].Text = names[i];
        Boxes[i + 10].Text = std::to_string(scores[i]);
    }
    Boxes[22].Text = "Highscores Level " + std::to_string(Table) + (KCodeOn ? " Blue Mode" : "");
}

void NameEntryRules()
{
    const int letters = static_cast<int>(ABC.size());
    if (letters == 0) {
        return;
    }
    if (Zeiger < 0 || Zeiger >= letters) {
        Zeiger = ((Zeiger % letters) + letters) % letters;
    }
    // The last character shown is always the letter on offer.
    const std::string preview = EnteredName + ABC[static_cast<std::size_t>(Zeiger)];
    Boxes[2].Text = preview;
    if (MenuS) {
        EnteredName = preview;
        MenuS = false;
    }
    if (MenuS1) {
        // With nothing to erase the request is dropped, so it cannot take
        // away a letter chosen later.
        if (!EnteredName.empty()) {
            EnteredName.pop_back();
        }
        MenuS1 = false;
    }
    if (MenuS2) {
        EnteredName = preview;
        if (IsLevel(Difficulty) && Placed >= 1 && Placed <= Places) {
            NameRows()[Difficulty][Placed] = EnteredName;
        }
        SaveScores();
        MenuS2 = false;
        IniMenu(false);
    }
}
