#include "world/logic.h"

#include "world/globals.h"

int EndGameHoldMs = 5000;

int ObjectLogic(void*) { return 0; }
void LogicPass() {}
void GameTick(std::unique_lock<std::mutex>&) {}
