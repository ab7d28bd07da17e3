#include "persist/scores.h"

#include "world/globals.h"

void loadScore(const char*) {}
void loadScoreFrom(std::istream&) {}
int SaveScores() { return 0; }
