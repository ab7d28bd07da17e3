#pragma once

#include <istream>

void loadScore(const char* path);
void loadScoreFrom(std::istream& in);
int SaveScores();
