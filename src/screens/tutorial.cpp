#include "screens/tutorial.h"

#include "render/graphics.h"
#include "world/globals.h"

namespace {

const char* const StepTexts[5] = {
    "",
    "Welcome to Vorlune! Use your sticks to aim and the shoulder buttons to fire. Be advised that "
    "holding your fire may slightly increase the spawnrate of enemies.",
    "Please take notice of this red square. Fire at it to reduce its size. If a square drops "
    "under a certain size, it will disappear. You will be awarded points and your multiplier "
    "increases. But be careful: the more enemies you shoot, the more enemies appear! Stay on "
    "guard!",
    "If you leave a square unattended for too long, it might turn darker. Killing a dark square "
    "will provide you with more points and multiplier. But be careful: Every darkended square "
    "shifts the background color more towards red - a completely red background means game over!",
    "Darkened squares will eventually turn black. For every black square that appears, your "
    "multiplier will be reduced, but the number of points you aquire increases. This effect "
    "weakens every time. The black squares themselves are more valuable than darkended enemies, "
    "but also redden the background faster.",
};

} // namespace

void ShowTutorial(int step)
{
    if (!Tutorial) {
        return;
    }
    if (step < 0 || step >= 10) {
        return;
    }
    if (step >= 1 && step <= 4 && !TutShown[step]) {
        createScreen();
        // The game tick stands still while the message shows.
        Pause = step == 1 ? 1000 : 1300;
        Object& t = Objectlist[4];
        t.X = 100;
        t.Y = 150;
        t.Layer = step == 1 ? 4 : 3;
        t.Box = 2;
        t.LifeTimer = 2;
        Boxes[2].Text = StepTexts[step];
        Boxes[2].Color = SDL_Color{255, 255, 255, 0};
        Boxes[2].Wrap = 1700;
        if (step == 4) {
            // The last message ends the tutorial; the game's end saves that.
            Tutorial = false;
            TutorialMade = true;
        }
        Stack.Create(t);
    }
    TutShown[step] = true;
}
