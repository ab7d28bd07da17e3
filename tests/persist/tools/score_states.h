// Two distinct complete high-score states, shared by the crash-safety writer
// and the test that checks what it leaves behind.
#pragma once

#include "world/globals.h"

#include <string>

inline void FillScoreState(int which)
{
    for (int row = 1; row <= 3; ++row) {
        for (int c = 1; c <= 10; ++c) {
            const std::string tag = std::to_string(row) + "-" + std::to_string(c);
            if (which == 0) {
                ScoreTableNames[row][c] = "Ann " + tag;
                ScoreTableNamesB[row][c] = "Bo " + tag;
                ScoreTable[row][c] = 1000 * row + c;
                ScoreTableB[row][c] = 2000 * row + c;
            } else {
                // Longer names and other scores, so any mix of the two
                // states or a cut-off file differs from both.
                ScoreTableNames[row][c] = "Bartholomew Quince " + tag;
                ScoreTableNamesB[row][c] = "Cordelia Westmacott " + tag;
                ScoreTable[row][c] = -(70000 * row + c);
                ScoreTableB[row][c] = 123456789 + row * 100 + c;
            }
        }
    }
}
