#include "world/globals.h"

void ObjectStack::Shoot(int x, int y)
{
    // Hit margin and the size above which a hit only halves a square.
    int m = 0;
    if (Difficulty == 1) {
        m = 4;
    } else if (Difficulty == 2) {
        m = 2;
    }
    const float limit = static_cast<float>(100 - 25 * (Difficulty - 1));
    const float fx = static_cast<float>(x);
    const float fy = static_cast<float>(y);
    const float fm = static_cast<float>(m);

    for (int i = 0; i <= Count; ++i) {
        Object& o = Slots[i];
        if (!o.Shootable) {
            continue;
        }
        if (!(fx > o.X - fm && fx < o.X + o.W + fm && fy > o.Y - fm && fy < o.Y + o.H + fm)) {
            continue;
        }
        if (o.W > limit) {
            const int oldW = TruncToInt(o.W);
            const int oldH = TruncToInt(o.H);
            o.W = o.W / 2;
            o.H = o.H / 2;
            o.X += (static_cast<float>(oldW) - o.W) / 2;
            o.Y += (static_cast<float>(oldH) - o.H) / 2;
            continue;
        }
        if (o.Image == 3) {
            g += 15;
            b += 15;
        } else if (o.Image == 4) {
            g += 45;
            b += 45;
            --Counter;
        }
        High += (KCodeOn ? 0.06 : 0.02) * o.Image;
        Score = TruncToInt(static_cast<float>(Score) +
                           (1 + High) * static_cast<float>(10 * o.Image) / Divi);
        // The record that moves down into slot i is not tested by this shot.
        Delete(i);
    }
}
