#include "persist/scores.h"
#include "support/persist_support.h"
#include "world/globals.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

namespace {

const char* const NameKeys[6] = {"ScoreL1Name",  "ScoreL2Name",  "ScoreL3Name",
                                 "ScoreL1BName", "ScoreL2BName", "ScoreL3BName"};
const char* const ScoreKeys[6] = {"ScoreL1Score",  "ScoreL2Score",  "ScoreL3Score",
                                  "ScoreL1BScore", "ScoreL2BScore", "ScoreL3BScore"};

// The file the program writes for the given tables, built independently of
// the writer.
std::string ExpectedFile()
{
    std::string out;
    for (int s = 0; s < 6; ++s) {
        const int row = s % 3 + 1;
        for (int c = 1; c <= 10; ++c) {
            const bool blue = s >= 3;
            out += std::string(NameKeys[s]) + "\n";
            out += (blue ? ScoreTableNamesB : ScoreTableNames)[row][c] + "\n";
            out += std::string(ScoreKeys[s]) + "\n";
            out += std::to_string((blue ? ScoreTableB : ScoreTable)[row][c]) + "\n";
        }
    }
    return AsWritten(out);
}

int CountLines(const std::string& text)
{
    int n = 0;
    for (char c : text) {
        n += c == '\n';
    }
    return n;
}

// One entry of a section in file form.
std::string Entry(int section, const std::string& name, const std::string& score)
{
    return std::string(NameKeys[section]) + "\n" + name + "\n" + ScoreKeys[section] + "\n" + score +
           "\n";
}

class ScoresTest : public PersistDirTest {
  protected:
    void Load(const std::string& bytes)
    {
        WriteFileBytes("Scores.txt", bytes);
        loadScore("Scores.txt");
    }

    // Every place of every table still at its start value, except row/column
    // pairs the caller names through `skip`.
    void ExpectUntouched(bool (*skip)(bool blue, int row, int col) = nullptr)
    {
        for (int blue = 0; blue < 2; ++blue) {
            for (int row = 0; row < 4; ++row) {
                for (int col = 0; col < 12; ++col) {
                    if (skip != nullptr && skip(blue != 0, row, col)) {
                        continue;
                    }
                    EXPECT_EQ((blue ? ScoreTableB : ScoreTable)[row][col], 0)
                        << blue << " " << row << " " << col;
                    EXPECT_EQ((blue ? ScoreTableNamesB : ScoreTableNames)[row][col], "")
                        << blue << " " << row << " " << col;
                }
            }
        }
    }
};

} // namespace

TEST_F(ScoresTest, NoFileGivesTheCompleteEmptyFile)
{
    loadScore("Scores.txt");
    EXPECT_EQ(DirEntries(), 0);
    ExpectUntouched();
    SaveScores();
    const std::string written = ReadFileBytes("Scores.txt");
    EXPECT_EQ(CountLines(written), 240);
    EXPECT_EQ(written, ExpectedFile());
    // The first entry of level 1: empty name, score 0.
    const std::string first = AsWritten("ScoreL1Name\n\nScoreL1Score\n0\n");
    EXPECT_EQ(written.substr(0, first.size()), first);
    EXPECT_EQ(DirEntries(), 1);
    loadScore(nullptr);
    ExpectUntouched();

    // An empty file reads as no file and is rewritten the same way.
    Load("");
    ExpectUntouched();
    SaveScores();
    EXPECT_EQ(ReadFileBytes("Scores.txt"), written);
}

TEST_F(ScoresTest, OwnFileReadsBackIdenticallyAndRewritesTheSameBytes)
{
    for (int row = 1; row <= 3; ++row) {
        for (int c = 1; c <= 10; ++c) {
            ScoreTableNames[row][c] = c % 4 == 0 ? "" : "Ann-" + std::to_string(row * c) + " x";
            ScoreTableNamesB[row][c] = "B  " + std::to_string(c);
            ScoreTable[row][c] = row * 100000 - c * 7;
            ScoreTableB[row][c] = c == 10 ? -2147483647 - 1 : 2147483647 - c;
        }
    }
    SaveScores();
    const std::string first = ReadFileBytes("Scores.txt");
    EXPECT_EQ(first, ExpectedFile());

    std::string names[4][12], namesB[4][12];
    int32_t scores[4][12], scoresB[4][12];
    for (int row = 0; row < 4; ++row) {
        for (int c = 0; c < 12; ++c) {
            names[row][c] = ScoreTableNames[row][c];
            namesB[row][c] = ScoreTableNamesB[row][c];
            scores[row][c] = ScoreTable[row][c];
            scoresB[row][c] = ScoreTableB[row][c];
        }
    }
    ResetGlobals();
    loadScore("Scores.txt");
    for (int row = 0; row < 4; ++row) {
        for (int c = 0; c < 12; ++c) {
            EXPECT_EQ(ScoreTableNames[row][c], names[row][c]);
            EXPECT_EQ(ScoreTableNamesB[row][c], namesB[row][c]);
            EXPECT_EQ(ScoreTable[row][c], scores[row][c]);
            EXPECT_EQ(ScoreTableB[row][c], scoresB[row][c]);
        }
    }
    SaveScores();
    EXPECT_EQ(ReadFileBytes("Scores.txt"), first);
}

TEST_F(ScoresTest, ScoresBeforeAnyNameLandInColumnZero)
{
    Load("ScoreL2Score\n77\n" + Entry(1, "Bob", "5") + "ScoreL3BScore\n-9\n");
    EXPECT_EQ(ScoreTable[2][0], 77);
    EXPECT_EQ(ScoreTable[2][1], 5);
    EXPECT_EQ(ScoreTableNames[2][1], "Bob");
    EXPECT_EQ(ScoreTableB[3][0], -9);
    SaveScores();
    const std::string written = ReadFileBytes("Scores.txt");
    EXPECT_EQ(written, ExpectedFile());
    EXPECT_EQ(written.find("77"), std::string::npos);
    EXPECT_EQ(written.find("-9"), std::string::npos);
}

TEST_F(ScoresTest, ShortSectionIsCompletedOnRewrite)
{
    std::string file;
    for (int c = 1; c <= 4; ++c) {
        file += Entry(2, "P" + std::to_string(c), std::to_string(50 - c));
    }
    Load(file);
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(ScoreTableNames[3][c], "P" + std::to_string(c));
        EXPECT_EQ(ScoreTable[3][c], 50 - c);
    }
    ExpectUntouched([](bool blue, int row, int col) { return !blue && row == 3 && col <= 4; });
    SaveScores();
    const std::string written = ReadFileBytes("Scores.txt");
    EXPECT_EQ(CountLines(written), 240);
    EXPECT_EQ(written, ExpectedFile());
}

TEST_F(ScoresTest, EleventhEntryGoesToTheSpillColumnOnly)
{
    std::string file;
    for (int c = 1; c <= 11; ++c) {
        file += Entry(3, "N" + std::to_string(c), std::to_string(c * 10));
    }
    Load(file);
    EXPECT_EQ(ScoreTableNamesB[1][11], "N11");
    EXPECT_EQ(ScoreTableB[1][11], 110);
    EXPECT_EQ(ScoreTableNamesB[1][10], "N10");
    SaveScores();
    const std::string written = ReadFileBytes("Scores.txt");
    EXPECT_EQ(written, ExpectedFile());
    EXPECT_EQ(written.find("N11"), std::string::npos);
    EXPECT_EQ(written.find("110"), std::string::npos);
}

TEST_F(ScoresTest, EntriesPastTheSpillColumnAreIgnored)
{
    // Level 2 normal play sits just before level 3 in memory: nothing of the
    // surplus entries may reach the next row or any other table.
    std::string file;
    for (int c = 1; c <= 15; ++c) {
        file += Entry(1, "M" + std::to_string(c), std::to_string(c));
    }
    for (int c = 0; c < 100000; ++c) {
        file += Entry(1, "more", "999");
    }
    Load(file);
    for (int c = 1; c <= 11; ++c) {
        EXPECT_EQ(ScoreTableNames[2][c], "M" + std::to_string(c));
        EXPECT_EQ(ScoreTable[2][c], c);
    }
    ExpectUntouched([](bool blue, int row, int col) { return !blue && row == 2 && col >= 1; });

    // Other sections still count on from their own first entry.
    Load(file + Entry(0, "First", "1") + Entry(1, "late", "2"));
    EXPECT_EQ(ScoreTableNames[1][1], "First");
    EXPECT_EQ(ScoreTableNames[2][11], "M11");
}

TEST_F(ScoresTest, ScoreLinesAreReadAsNumbers)
{
    // How a line reads as a number is ParseNumber's test; the saturated
    // value shows the score lines go through it.
    Load(Entry(0, "a", "99999999999") + Entry(0, "b", "-12 points"));
    EXPECT_EQ(ScoreTable[1][1], 2147483647);
    EXPECT_EQ(ScoreTable[1][2], -12);
}

TEST_F(ScoresTest, SectionsMayComeInAnyOrderAndInterleaved)
{
    Load("junk line\n" + Entry(5, "z1", "31") + "ScoreL1Name\nA1\n" + "ScoreL1BName\nX1\n" +
         "ScoreL1Score\n10\n" + "ScoreL1BScore\n20\n" + "ScoreL1Name\nA2\n" +
         "ScoreL1BScore\n21\n" + "ScoreL1Score\n11\n" + Entry(5, "z2", "32") +
         "ScoreL1Score\n12\n");
    EXPECT_EQ(ScoreTableNames[1][1], "A1");
    EXPECT_EQ(ScoreTable[1][1], 10);
    EXPECT_EQ(ScoreTableNames[1][2], "A2");
    EXPECT_EQ(ScoreTable[1][2], 12);
    EXPECT_EQ(ScoreTableNamesB[1][1], "X1");
    EXPECT_EQ(ScoreTableB[1][1], 21);
    EXPECT_EQ(ScoreTableNamesB[3][1], "z1");
    EXPECT_EQ(ScoreTableB[3][1], 31);
    EXPECT_EQ(ScoreTableNamesB[3][2], "z2");
    EXPECT_EQ(ScoreTableB[3][2], 32);

    // A name equal to a key acts as that key as well.
    ResetGlobals();
    Load("ScoreL1Name\nScoreL2Name\nShifted\nScoreL2Score\n4\n");
    EXPECT_EQ(ScoreTableNames[1][1], "ScoreL2Name");
    EXPECT_EQ(ScoreTableNames[2][1], "Shifted");
}

TEST_F(ScoresTest, WindowsLineEndsReadLikeLineFeeds)
{
    std::string unix = Entry(0, "Win", "300") + Entry(4, "Dos", "12") + Entry(0, "Two", "200");
    std::string windows;
    for (char c : unix) {
        if (c == '\n') {
            windows += '\r';
        }
        windows += c;
    }
    Load(windows);
    EXPECT_EQ(ScoreTableNames[1][1], "Win");
    EXPECT_EQ(ScoreTable[1][1], 300);
    EXPECT_EQ(ScoreTableNames[1][2], "Two");
    EXPECT_EQ(ScoreTableNamesB[2][1], "Dos");
    EXPECT_EQ(ScoreTableB[2][1], 12);
    SaveScores();
    const std::string written = ReadFileBytes("Scores.txt");
    // Written back with this platform's line ends only.
    EXPECT_EQ(written, ExpectedFile());
}

TEST_F(ScoresTest, BinaryJunkAndStreamsAreHarmless)
{
    std::string junk;
    uint32_t state = 7;
    for (int i = 0; i < 100000; ++i) {
        state = state * 1664525u + 1013904223u;
        junk.push_back(static_cast<char>(state >> 24));
    }
    for (char& c : junk) {
        if (c == 'S') {
            c = '#';
        }
    }
    Load(junk);
    ExpectUntouched();

    std::istringstream in(Entry(2, "Stream", "8"));
    loadScoreFrom(in);
    EXPECT_EQ(ScoreTableNames[3][1], "Stream");
    EXPECT_EQ(ScoreTable[3][1], 8);
}

TEST_F(ScoresTest, UnwritableFileKeepsTheOldOne)
{
    namespace fs = std::filesystem;
    ScoreTableNames[1][1] = "Kept";
    SaveScores();
    const std::string before = ReadFileBytes("Scores.txt");
    ScoreTableNames[1][1] = "Lost";
#ifndef _WIN32
    // A read-only file in a writable folder, written as an ordinary user.
    fs::permissions(dir_, fs::perms::all);
    fs::permissions("Scores.txt", fs::perms::owner_read | fs::perms::others_read);
    ASSERT_EQ(AsUnprivileged([] {
                  SaveScores();
                  return 0;
              }),
              0)
        << "the write as an ordinary user did not run";
    EXPECT_EQ(ReadFileBytes("Scores.txt"), before);
    EXPECT_EQ(DirEntries(), 1);
    fs::permissions("Scores.txt", fs::perms::owner_read | fs::perms::owner_write);
#endif
    // A folder in the file's place stays as it is, with no temporary beside
    // it; the old file elsewhere is untouched.
    fs::rename("Scores.txt", "Old.txt");
    fs::create_directory("Scores.txt");
    WriteFileBytes("Scores.txt/inside", "keep");
    SaveScores();
    EXPECT_TRUE(fs::is_directory("Scores.txt"));
    EXPECT_EQ(ReadFileBytes("Scores.txt/inside"), "keep");
    EXPECT_EQ(ReadFileBytes("Old.txt"), before);
    EXPECT_EQ(DirEntries(), 2);

    // The lists live on: once the folder is gone, the next write has them.
    fs::remove_all("Scores.txt");
    SaveScores();
    EXPECT_EQ(ReadFileBytes("Scores.txt"), ExpectedFile());
    EXPECT_NE(ReadFileBytes("Scores.txt").find(AsWritten("\nLost\n")), std::string::npos);
}
