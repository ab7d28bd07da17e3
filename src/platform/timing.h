// Pacing of the game's loops, and (in builds made with VORLUNE_TIMING) the
// measurement of their periods. Without VORLUNE_TIMING the measuring calls do
// nothing and the program prints nothing extra.
#pragma once

#include <cstdint>

// Keeps a loop to at least one period per pass. The period is measured on a
// fine clock rather than in whole milliseconds, and the remainder is slept in
// one precise wait, so a 6 ms pass really lasts 6 ms and not up to 7.
class LoopPacer {
  public:
    // Sleeps for about `ns` nanoseconds; it may return early (Windows' sleeps
    // do, by up to a millisecond) or late.
    using SleepFn = void (*)(int64_t ns);

    explicit LoopPacer(double periodMs, SleepFn sleep = SleepNs);
    // Sleeps until `periodMs` have passed since the last stamp (if they have
    // not already), then takes a new stamp. A sleep that returns early does
    // not end the wait. A pass that ran over its period is not made up: the
    // next one again gets a whole period.
    void Wait();
    // Takes a new stamp now, e.g. after a long hold.
    void Restart();
    // What Wait would sleep at the time `nowNs` (MonotonicNs): the rest of
    // the period, or 0 once the period has passed.
    int64_t RemainingNs(int64_t nowNs) const;

    static void SleepNs(int64_t ns);

  private:
    int64_t periodNs;
    int64_t stampNs;
    SleepFn sleep;
};

// Nanoseconds on a monotonic clock.
int64_t MonotonicNs();

enum class TimingLoop { Logic = 0, Frame = 1 };

// Records the period since the previous mark of the same loop. Call once per
// pass, on that loop's own thread. The first Frame mark also prints the time
// from program start to the first presented frame.
void TimingMark(TimingLoop loop);

// Summary of the recorded periods (count, median, 99th percentile, maximum)
// and of text renderings per frame; printed at exit in timing builds.
void TimingReport();

// True in builds made with VORLUNE_TIMING.
bool TimingEnabled();
