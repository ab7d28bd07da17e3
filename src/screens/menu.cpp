#include "screens/menu.h"

#include "input/keyboard.h"
#include "platform/audio.h"
#include "screens/game.h"
#include "world/globals.h"

namespace {

constexpr SDL_Color Black{0, 0, 0, 0};
constexpr SDL_Color Blue{0, 0, 255, 0};

const char* const WarningText =
    "EPILEPSY WARNING! This game contains rapidly changing colors and flashes, thus it might be "
    "dangerous to people with photosensitive epilepsy, even if they did not experience problems "
    "in the past. If you experience problems such as dizziness, disorientation, muscle- or "
    "eye-twitching, or any other symptoms while playing, stop playing the game immediately. Use "
    "the left stick and the left shoulder button to navigate the main menu.";

// Plain ASCII: the boxes render their text one byte per character.
const char* const CreditsText =
    "Vorlune - made by the Vorlune team, 2026. The text font is Yanone Kaffeesatz by Jan Gerner, "
    "under the SIL Open Font License 1.1. Vorlune is built with SDL2, SDL2_image, SDL2_ttf "
    "and "
    "SDL2_mixer, "
    "all under the zlib licence; the C++ runtime (libstdc++) is under the GPL with the GCC Runtime "
    "Library Exception. For details see the \"licenses\" folder in the program folder.";

// Writes the position into the menu template and adds a carrier for `box`.
void AddMenuCarrier(float x, float y, int box)
{
    Object& t = Objectlist[4];
    t.X = x;
    t.Y = y;
    t.Layer = 3;
    t.Box = box;
    Stack.Create(t);
}

void SetEntry(int box, const char* text, float y)
{
    Boxes[box].Text = text;
    Boxes[box].Color = Black;
    AddMenuCarrier(700, y, box);
}

void BuildWarning()
{
    Boxes[2].Text = WarningText;
    Boxes[2].Font = 1;
    Boxes[2].Color = Black;
    Boxes[2].Wrap = 1800;
    AddMenuCarrier(100, 100, 2);
}

void BuildTitle()
{
    Boxes[3].Text = "Vorlune";
    Boxes[3].Font = 3;
    Boxes[3].Color = Black;
    Boxes[3].Wrap = 1800;
    AddMenuCarrier(400, 100, 3);
    Boxes[2].Text = CreditsText;
    Boxes[2].Font = 2;
    Boxes[2].Color = Blue;
    Boxes[2].Wrap = 1800;
    AddMenuCarrier(100, 800, 2);
}

void BuildMainMenu()
{
    Boxes[2].Font = 1;
    Boxes[3].Font = 1;
    SetEntry(2, "Start Game", 300);
    SetEntry(3, "Options", 400);
    SetEntry(4, "Exit", 500);
}

void BuildOptions()
{
    // The labels are rewritten with their values on every tick.
    SetEntry(2, "Difficulty", 300);
    SetEntry(3, "Fullscreen", 400);
    SetEntry(4, "Show Tutorial", 500);
    SetEntry(5, "Sounds", 600);
    SetEntry(6, "Volume ", 700);
    SetEntry(7, "Back", 800);
}

} // namespace

void IniMenu(bool options)
{
    // The set-up prompts own the screen until they are done.
    if (Mode == 3) {
        return;
    }
    Stack.Clear();
    interface.Clear();
    ResetGameCounters();
    Table = 0;
    // A request or a key left over from the previous screen must not act on
    // this one (a fire key held when a game ends would start the next game).
    ForgetScreenInput();
    HaltAllChannels();

    if (options) {
        MenuMode = 2;
        Menu = 1;
        BuildOptions();
    } else if (FreshStart > 3000) {
        BuildWarning();
    } else if (FreshStart >= 1) {
        BuildTitle();
    } else {
        MenuMode = 1;
        BuildMainMenu();
    }
    Mode = 2;
}
