#include "persist/scores.h"

#include "persist/textfile.h"
#include "world/globals.h"

#include <fstream>
#include <string>

namespace {

// One list of the file: the key lines of its entries and the tables and row
// that hold it. The order is the order of the file.
struct ScoreSection {
    const char* NameKey;
    const char* ScoreKey;
    std::string (*Names)[12];
    int32_t (*Scores)[12];
    int Row;
};

const ScoreSection Sections[6] = {
    {"ScoreL1Name", "ScoreL1Score", ScoreTableNames, ScoreTable, 1},
    {"ScoreL2Name", "ScoreL2Score", ScoreTableNames, ScoreTable, 2},
    {"ScoreL3Name", "ScoreL3Score", ScoreTableNames, ScoreTable, 3},
    {"ScoreL1BName", "ScoreL1BScore", ScoreTableNamesB, ScoreTableB, 1},
    {"ScoreL2BName", "ScoreL2BScore", ScoreTableNamesB, ScoreTableB, 2},
    {"ScoreL3BName", "ScoreL3BScore", ScoreTableNamesB, ScoreTableB, 3},
};

// Places 1 to 10 are kept in the file, 11 is the spill place of the ranking.
constexpr int SavedPlaces = 10;
constexpr int LastColumn = 11;

} // namespace

void loadScore(const char* path)
{
    if (path == nullptr) {
        return;
    }
    std::ifstream in(path);
    if (!in) {
        return;
    }
    loadScoreFrom(in);
}

void loadScoreFrom(std::istream& in)
{
    // Entries per section read so far: the n-th name of a section goes to
    // column n, and a score goes beside the last name of its section (column
    // 0 before any name). Entries past the spill column are dropped; the
    // counter stops just past it so it cannot overflow on a huge file.
    int count[6] = {};
    std::string previous;
    std::string line;
    while (ReadLine(in, line)) {
        for (int s = 0; s < 6; ++s) {
            const ScoreSection& sec = Sections[s];
            if (previous == sec.NameKey) {
                if (count[s] <= LastColumn) {
                    ++count[s];
                }
                if (count[s] <= LastColumn) {
                    sec.Names[sec.Row][count[s]] = line;
                }
                break;
            }
            if (previous == sec.ScoreKey) {
                if (count[s] <= LastColumn) {
                    sec.Scores[sec.Row][count[s]] = ParseNumber(line);
                }
                break;
            }
        }
        previous.swap(line);
    }
}

int SaveScores()
{
    std::string out;
    for (const ScoreSection& sec : Sections) {
        for (int c = 1; c <= SavedPlaces; ++c) {
            out += sec.NameKey;
            out += '\n';
            out += sec.Names[sec.Row][c];
            out += '\n';
            out += sec.ScoreKey;
            out += '\n';
            out += std::to_string(sec.Scores[sec.Row][c]);
            out += '\n';
        }
    }
    // A failed write keeps the previous file; the lists then live only until
    // the program ends.
    WriteFileAtomically("Scores.txt", out);
    return 0;
}
