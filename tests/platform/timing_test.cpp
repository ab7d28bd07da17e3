// The loop pacer: at least one period per pass, measured finely, a slow pass
// not made up for.
#include "platform/timing.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace {

constexpr int64_t Ms = 1'000'000;

TEST(LoopPacer, RemainingIsTheRestOfThePeriodAndNeverNegative)
{
    const int64_t before = MonotonicNs();
    LoopPacer pacer(6.0);
    const int64_t after = MonotonicNs();
    // The stamp lies between `before` and `after`.
    EXPECT_GE(pacer.RemainingNs(before), 6 * Ms);
    EXPECT_LE(pacer.RemainingNs(after), 6 * Ms);
    // Fractions of a millisecond count: 2.5 ms into the period, 3.5 remain.
    EXPECT_GE(pacer.RemainingNs(before + 2'500'000), 3'500'000);
    EXPECT_LE(pacer.RemainingNs(after + 2'500'000), 3'500'000);
    // At and past the end of the period nothing is left, however long it ran.
    EXPECT_EQ(pacer.RemainingNs(after + 6 * Ms), 0);
    EXPECT_EQ(pacer.RemainingNs(after + 500 * Ms), 0);
}

TEST(LoopPacer, FractionalPeriodsAreKept)
{
    const int64_t before = MonotonicNs();
    LoopPacer pacer(16.5);
    EXPECT_GE(pacer.RemainingNs(before), 16'500'000);
    EXPECT_LT(pacer.RemainingNs(before + 16 * Ms), 16 * Ms);
    EXPECT_GT(pacer.RemainingNs(before), pacer.RemainingNs(before + 1));
}

// Sleeps only part of what is asked, as Windows' sleeps can.
void SleepTooShort(int64_t ns)
{
    LoopPacer::SleepNs(ns * 3 / 4);
}

TEST(LoopPacer, EveryPassLastsAtLeastThePeriod)
{
    // With this platform's sleep, and with one that wakes early.
    for (LoopPacer::SleepFn sleep : {&LoopPacer::SleepNs, &SleepTooShort}) {
        const int64_t start = MonotonicNs();
        LoopPacer pacer(6.0, sleep);
        for (int i = 1; i <= 5; ++i) {
            pacer.Wait();
            EXPECT_GE(MonotonicNs() - start, i * 6 * Ms)
                << "pass " << i << (sleep == &SleepTooShort ? " (early sleep)" : "");
        }
    }
}

TEST(LoopPacer, ASlowPassIsNotMadeUp)
{
    LoopPacer pacer(6.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // The period has run out: no sleep is due...
    EXPECT_EQ(pacer.RemainingNs(MonotonicNs()), 0);
    // ...and the next pass gets a whole period from a stamp taken after the
    // wait, not what is left of a 6 ms grid.
    const int64_t beforeWait = MonotonicNs();
    pacer.Wait();
    EXPECT_GE(pacer.RemainingNs(beforeWait), 6 * Ms);
    pacer.Wait();
    EXPECT_GE(MonotonicNs() - beforeWait, 6 * Ms);
}

TEST(LoopPacer, RestartTakesANewStamp)
{
    LoopPacer pacer(6.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(pacer.RemainingNs(MonotonicNs()), 0);
    const int64_t beforeRestart = MonotonicNs();
    pacer.Restart();
    EXPECT_GE(pacer.RemainingNs(beforeRestart), 6 * Ms);
}

TEST(Timing, MarksAreHarmlessInEveryBuild)
{
    // Without VORLUNE_TIMING marks and report print nothing at all; with it
    // the report counts the periods between the marks.
    testing::internal::CaptureStdout();
    for (int i = 0; i < 3; ++i) {
        TimingMark(TimingLoop::Logic);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    TimingReport();
    const std::string out = testing::internal::GetCapturedStdout();
    if (TimingEnabled()) {
        EXPECT_NE(out.find("timing: logic total n=2 "), std::string::npos) << out;
        EXPECT_NE(out.find("timing: frame total n=0 "), std::string::npos) << out;
    } else {
        EXPECT_EQ(out, "");
    }
#ifdef VORLUNE_TIMING
    EXPECT_TRUE(TimingEnabled());
#else
    EXPECT_FALSE(TimingEnabled());
#endif
}

} // namespace
