#include "world/prompts.h"

#include "world/globals.h"

void HighScoreListSection() {}
void SetupSection() {}
void KeyboardMenuSection() {}
void MenuSection() {}
void NameEntrySection() {}
void EndOfGameSequence(std::unique_lock<std::mutex>&) {}
