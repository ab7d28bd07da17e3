#include "world/spawn.h"

#include "world/globals.h"

#include <cstdlib>

void SpawnEnemy(int chance)
{
    const int n = rand() % 200;
    // Draws are below 200, so any chance above 200 acts alike; bounding it
    // keeps the doubling below from overflowing.
    if (chance > 1000) {
        chance = 1000;
    }
    bool boosted = false;
    // Fill an almost empty field faster, thin out spawns on a crowded one.
    if (Stack.Count <= 4 && ReduceSpawnHoles) {
        chance *= 2;
        boosted = true;
    }
    if (Stack.Count >= 16 && ReduceSpawnHoles && (Difficulty == 1 || Difficulty == 2)) {
        chance /= 2;
    }
    if (n >= chance) {
        return;
    }
    Object& t = Objectlist[2];
    t = Object();
    t.Image = 2;
    t.X = static_cast<float>(rand() % 1520 + 200);
    t.Y = static_cast<float>(rand() % 860 + 100);
    t.FrameW = 100;
    t.FrameH = 100;
    float size = 0.01f;
    if (boosted) {
        size = static_cast<float>(0.01 + (rand() % 200) / 100);
    }
    t.W = size;
    t.H = size;
    t.Shootable = true;
    t.Grow = 1.005f;
    t.Layer = 1;
    t.LifeTimer = 0;
    t.AgeTimer = rand() % 3000 + 2000;
    if (High > 0) {
        t.AgeTimer = TruncToInt(static_cast<float>(t.AgeTimer) / (1 + High));
    }
    Stack.Create(t);
}
