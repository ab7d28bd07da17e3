#include "input/kcode.h"

#include "render/graphics.h"
#include "world/globals.h"

namespace {
constexpr int kSteps = 8;
}

void EnterKCode(int direction)
{
    // The direction (1 up, 2 down, 3 left, 4 right) each step expects.
    constexpr int expected[kSteps] = {4, 1, 3, 2, 4, 4, 2, 1};

    bool advanced = false;
    if (KCodeCount >= 0 && KCodeCount < kSteps && direction == expected[KCodeCount]) {
        ++KCodeCount;
        advanced = true;
    }
    if (KCodeCount == kSteps && !KCodeOn) {
        KCode();
    }
    // A wrong input starts over from nothing; it is not itself a first step.
    if (!advanced) {
        KCodeCount = 0;
    }
}

void KCode()
{
    // The graphics thread owns the renderer; it swaps in the blue squares
    // before its next frame.
    RequestBlueTextures();
    KCodeOn = true;
}
