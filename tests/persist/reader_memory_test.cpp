// Every reader of a text file holds its memory bounded, whatever the file:
// the settings and score readers and the image, sound and music list loaders
// are given a 100 MB line and a million lines, and the peak resident memory of
// the process may grow by only a few line buffers meanwhile.
#include "persist/scores.h"
#include "persist/settings.h"
#include "persist/textfile.h"
#include "platform/audio.h"
#include "render/images.h"
#include "support/persist_support.h"
#include "support/reliability_support.h"
#include "world/globals.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <istream>
#include <string>

namespace {

using reliability::PatternInput;

// The huge line: 100 MB. ThreadSanitizer makes each byte read some fifty
// times slower and checks races, not memory, so there it is 32 MB, still
// more than the allowed growth below.
#if defined(__SANITIZE_THREAD__)
constexpr uint64_t kHugeLine = 32ull * 1024 * 1024;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr uint64_t kHugeLine = 32ull * 1024 * 1024;
#else
constexpr uint64_t kHugeLine = 100ull * 1024 * 1024;
#endif
#else
constexpr uint64_t kHugeLine = 100ull * 1024 * 1024;
#endif
// Allowed growth of the peak resident memory while one reader works: a few
// line buffers of MaxLineLength and the loaders' own bookkeeping, far below
// what holding the input (100 MB, or a million strings) would take.
constexpr long kAllowedGrowthKb = 24 * 1024;

class ReaderMemoryTest : public PersistDirTest {
  protected:
    void SetUp() override
    {
        PersistDirTest::SetUp();
        measured_ = reliability::StartPeakWindow();
    }

    // Checks the growth since SetUp or the previous call, then starts anew.
    void ExpectBounded(const char* what)
    {
        if (measured_) {
            const long grown = reliability::PeakGrowthKb();
            EXPECT_LT(grown, kAllowedGrowthKb)
                << what << ": peak memory grew by " << grown << " KiB";
        }
        measured_ = reliability::StartPeakWindow();
    }

    bool measured_ = false;
};

TEST_F(ReaderMemoryTest, SettingsReaderKeepsOneCappedLineOfAHugeValue)
{
    PatternInput source({{"Vsync\n0\nPadName\n", 1},
                         {"p", kHugeLine},
                         {"\nDifficulty\n3\n", 1},
                         {"Tutorial\n0\nMuVolume\n40\n", 250000}});
    std::istream in(&source);
    loadSettingsFrom(in);
    ExpectBounded("settings");
    EXPECT_EQ(source.Produced(), 16 + kHugeLine + 14 + 250000ull * 23);
    EXPECT_EQ(PadName, std::string(MaxLineLength, 'p'));
    // The keys after the huge line still count.
    EXPECT_EQ(Vsync, 0);
    EXPECT_EQ(Difficulty, 3);
    EXPECT_FALSE(Tutorial);
    EXPECT_EQ(MuVolume, 40);
}

TEST_F(ReaderMemoryTest, ScoreReaderDropsEntriesPastItsTablesAndCapsNames)
{
    // A million lines: 250000 entries of one section, then one huge name.
    PatternInput source({{"ScoreL1Name\nA name\nScoreL1Score\n12345\n", 250000},
                         {"ScoreL2BName\n", 1},
                         {"n", kHugeLine},
                         {"\nScoreL2BScore\n77\n", 1}});
    std::istream in(&source);
    loadScoreFrom(in);
    ExpectBounded("scores");
    for (int c = 1; c <= 11; ++c) {
        EXPECT_EQ(ScoreTableNames[1][c], "A name") << c;
        EXPECT_EQ(ScoreTable[1][c], 12345) << c;
    }
    EXPECT_EQ(ScoreTableNamesB[2][1], std::string(MaxLineLength, 'n'));
    EXPECT_EQ(ScoreTableB[2][1], 77);
    EXPECT_TRUE(ScoreTableNames[2][1].empty());

    // The rewrite holds ten entries a section and the capped name.
    SaveScores();
    ExpectBounded("score rewrite");
    const std::string written = ReadFileBytes("Scores.txt");
    EXPECT_LT(written.size(), 2 * MaxLineLength);
}

TEST_F(ReaderMemoryTest, ListLoadersStayBoundedOnAMillionLines)
{
    // No renderer and no audio device here: every load fails, which is all
    // the better, as each line then also costs a diagnostic. (Which lines
    // fill which slots: AudioTest.ListLinesPastTheLastSlotAreIgnored.)
    ASSERT_TRUE(reliability::WritePatternFile("many.txt", {{"missing.png\n", 1000000}}));
    ASSERT_TRUE(reliability::WritePatternFile("Liste.txt", {{"missing.png\n", 1000000}}));
    ASSERT_TRUE(reliability::WritePatternFile("Sounds.txt", {{"missing.wav\n", 1000000}}));
    ASSERT_TRUE(reliability::WritePatternFile("Music.txt", {{"missing.ogg\n", 1000000}}));
    measured_ = reliability::StartPeakWindow();

    testing::internal::CaptureStdout();
    loadImages("Liste.txt");
    testing::internal::GetCapturedStdout();
    ExpectBounded("image list");
    LoadSounds();
    ExpectBounded("sound list");
    LoadMusic();
    ExpectBounded("music list");
    EXPECT_EQ(ForEachListLine("many.txt", 1000000, [](int, const std::string&) {}), 1000000);
    ExpectBounded("list walker");
}

TEST_F(ReaderMemoryTest, ListLoadersSurviveAHugeFirstLine)
{
    ASSERT_TRUE(reliability::WritePatternFile("Liste.txt", {{"q", kHugeLine}, {"\nsecond\n", 1}}));
    std::error_code ec;
    for (const char* name : {"Sounds.txt", "Music.txt"}) {
        std::filesystem::create_hard_link("Liste.txt", name, ec);
        ASSERT_FALSE(ec) << name << ": " << ec.message();
    }
    measured_ = reliability::StartPeakWindow();

    testing::internal::CaptureStdout();
    loadImages("Liste.txt");
    const std::string diagnostics = testing::internal::GetCapturedStdout();
    ExpectBounded("image list");
    EXPECT_EQ(texturesUsed, 3);
    // The path in the message is the capped line, not the whole 100 MB.
    EXPECT_LT(diagnostics.size(), 3 * MaxLineLength);
    EXPECT_NE(diagnostics.find("Unable to load image second!"), std::string::npos);

    LoadSounds();
    ExpectBounded("sound list");
    EXPECT_EQ(LoadMusic(), 2);
    ExpectBounded("music list");
}

} // namespace
