#include "screens/game.h"

#include "platform/audio.h"
#include "screens/tutorial.h"
#include "world/globals.h"
#include "world/spawn.h"

#include <SDL_mixer.h>

void IniGame()
{
    r = 255;
    g = 255;
    b = 255;
    Stack.Clear();
    interface.Clear();
    ResetGameCounters();
    // Silence the guns and the warning; the music keeps playing.
    HaltAllChannels();

    Object crosshair;
    crosshair.Image = 1;
    crosshair.X = 0.0f;
    crosshair.Y = 0.0f;
    crosshair.FrameW = 100;
    crosshair.FrameH = 100;
    crosshair.W = 100.0f;
    crosshair.H = 100.0f;
    interface.Create(crosshair);
    interface.Create(crosshair);
    if (Keyboard) {
        interface.Slots[1].X = 430.0f;
        interface.Slots[1].Y = 490.0f;
        interface.Slots[2].X = 1390.0f;
        interface.Slots[2].Y = 490.0f;
    }
    ShowTutorial(1);
    Mode = 1;
}

void CreateLevel()
{
    SpawnEnemy(TruncToInt(15 + 5 * High));
}

void ResetGameCounters()
{
    Score = 0;
    High = 0.0f;
    Divi = 3.0f;
    CreateScoreShow = false;
    EndGame = false;
    Counter = 0;
    Sound1 = false;
    Sound2 = false;
}
