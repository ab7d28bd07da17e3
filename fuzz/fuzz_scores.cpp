// Fuzzes the score reader: no access outside the tables whatever the file
// holds, and the canonical file it writes reads back to the same lists.
#include "fuzz_support.h"
#include "persist/scores.h"
#include "persist/textfile.h"
#include "world/globals.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const Keys[] = {"ScoreL1Name",  "ScoreL1Score",  "ScoreL2Name",  "ScoreL2Score",
                            "ScoreL3Name",  "ScoreL3Score",  "ScoreL1BName", "ScoreL1BScore",
                            "ScoreL2BName", "ScoreL2BScore", "ScoreL3BName", "ScoreL3BScore"};

struct Lists {
    int32_t score[4][12];
    int32_t scoreB[4][12];
    std::string name[4][12];
    std::string nameB[4][12];

    void Take()
    {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 12; ++c) {
                score[r][c] = ScoreTable[r][c];
                scoreB[r][c] = ScoreTableB[r][c];
                name[r][c] = ScoreTableNames[r][c];
                nameB[r][c] = ScoreTableNamesB[r][c];
            }
        }
    }
    // The places a file keeps: rows 1 to 3, columns 1 to 10.
    bool SameSaved(const Lists& o) const
    {
        for (int r = 1; r <= 3; ++r) {
            for (int c = 1; c <= 10; ++c) {
                if (score[r][c] != o.score[r][c] || scoreB[r][c] != o.scoreB[r][c] ||
                    name[r][c] != o.name[r][c] || nameB[r][c] != o.nameB[r][c]) {
                    return false;
                }
            }
        }
        return true;
    }
    bool NamesSurviveFile() const
    {
        for (int r = 1; r <= 3; ++r) {
            for (int c = 1; c <= 10; ++c) {
                for (const std::string* n : {&name[r][c], &nameB[r][c]}) {
                    if (!n->empty() && n->back() == '\r') {
                        return false;
                    }
                    for (const char* key : Keys) {
                        if (*n == key) {
                            return false;
                        }
                    }
                }
            }
        }
        return true;
    }
};

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "score property broken: %s\n", what);
        std::abort();
    }
}

Lists first;
Lists second;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    ReaderMemoryCheck memory(size);
    EnterScratchDirectory();
    ResetGlobals();
    {
        ByteStream in(data, size);
        loadScoreFrom(in);
    }
    first.Take();
    for (int c = 0; c < 12; ++c) {
        Check(first.score[0][c] == 0 && first.scoreB[0][c] == 0 && first.name[0][c].empty() &&
                  first.nameB[0][c].empty(),
              "row 0 written");
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 12; ++c) {
            Check(first.name[r][c].size() <= MaxLineLength &&
                      first.nameB[r][c].size() <= MaxLineLength,
                  "name longer than a line");
        }
    }

    std::remove("Scores.txt");
    SaveScores();
    ResetGlobals();
    loadScore("Scores.txt");
    second.Take();
    if (first.NamesSurviveFile()) {
        Check(first.SameSaved(second), "written scores read back differently");
    }
    return 0;
}
