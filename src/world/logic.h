// The logic thread: one pass per tick of at least 6 ms.
#pragma once

#include <mutex>

int ObjectLogic(void* data);

// One pass (all sections) without its pacing; takes StateMutex itself.
void LogicPass();

// The game tick (Mode 1, no pause). `lock` is held on entry and on return;
// the end-of-game hold releases it while it waits.
void GameTick(std::unique_lock<std::mutex>& lock);

// How long the end-of-game banner holds the logic thread, in milliseconds.
extern int EndGameHoldMs;
