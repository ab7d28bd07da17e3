#include "platform/timing.h"

#include <chrono>
#include <cmath>
#include <thread>

#ifdef VORLUNE_TIMING
#include "render/textbox.h"

#include <algorithm>
#include <cstdio>
#include <vector>
#endif

int64_t MonotonicNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

LoopPacer::LoopPacer(double periodMs, SleepFn sleepFn)
    : periodNs(static_cast<int64_t>(std::llround(periodMs * 1e6))), stampNs(MonotonicNs()),
      sleep(sleepFn)
{
}

void LoopPacer::SleepNs(int64_t ns)
{
    std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

int64_t LoopPacer::RemainingNs(int64_t nowNs) const
{
    const int64_t elapsed = nowNs - stampNs;
    return elapsed < periodNs ? periodNs - elapsed : 0;
}

void LoopPacer::Wait()
{
    // Sleep for the exact remainder: sleeping whole milliseconds against a
    // millisecond clock stretched a 6 ms period to nearly 7. A sleep that
    // wakes early (5.1 ms of 6 on Windows) is followed by one for the rest.
    for (int64_t remaining = RemainingNs(MonotonicNs()); remaining > 0;
         remaining = RemainingNs(MonotonicNs())) {
        sleep(remaining);
    }
    stampNs = MonotonicNs();
}

void LoopPacer::Restart()
{
    stampNs = MonotonicNs();
}

#ifdef VORLUNE_TIMING

namespace {

const int64_t ProgramStartNs = MonotonicNs();

// A window's figures are printed every few seconds, so a probe can tell the
// menu from play by the time stamp of each line.
constexpr int64_t WindowNs = 5'000'000'000;

struct PeriodStats {
    size_t count = 0;
    double min = 0.0;
    double p1 = 0.0;
    double median = 0.0;
    double p99 = 0.0;
    double max = 0.0;
};

PeriodStats Summarise(std::vector<float> samples)
{
    PeriodStats s;
    s.count = samples.size();
    if (samples.empty()) {
        return s;
    }
    std::sort(samples.begin(), samples.end());
    s.min = samples.front();
    s.p1 = samples[samples.size() / 100];
    s.median = samples[samples.size() / 2];
    s.p99 = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
    s.max = samples.back();
    return s;
}

// One loop's record. Each is written only by its own thread; the report at
// exit reads them after the threads have been joined.
struct Series {
    explicit Series(const char* loopName) : name(loopName) {}

    const char* name;
    int64_t lastNs = 0;
    int64_t windowStartNs = 0;
    std::vector<float> all;
    std::vector<float> window;
    long lastTextRenders = 0;
    long textRenders = 0;
    long framesWithText = 0;
    long windowTextRenders = 0;
};

Series Loops[2] = {Series("logic"), Series("frame")};

void PrintWindow(Series& s, int64_t nowNs)
{
    const PeriodStats w = Summarise(s.window);
    std::printf("timing: %s t=%.1f s n=%zu median=%.3f ms p99=%.3f ms max=%.3f ms min=%.3f ms "
                "p1=%.3f ms",
                s.name, (nowNs - ProgramStartNs) / 1e9, w.count, w.median, w.p99, w.max, w.min,
                w.p1);
    if (&s == &Loops[1]) {
        std::printf(" text_renders=%ld", s.windowTextRenders);
    }
    std::printf("\n");
    s.window.clear();
    s.windowTextRenders = 0;
    s.windowStartNs = nowNs;
}

struct ReportAtExit {
    ~ReportAtExit() { TimingReport(); }
} Reporter;

} // namespace

void TimingMark(TimingLoop loop)
{
    Series& s = Loops[static_cast<int>(loop)];
    const int64_t now = MonotonicNs();
    if (loop == TimingLoop::Frame) {
        const long renders = TextRenderCount.load();
        if (s.lastNs == 0) {
            std::printf("timing: first frame presented %.1f ms after start\n",
                        (now - ProgramStartNs) / 1e6);
        } else if (renders != s.lastTextRenders) {
            s.textRenders += renders - s.lastTextRenders;
            s.windowTextRenders += renders - s.lastTextRenders;
            s.framesWithText++;
        }
        s.lastTextRenders = renders;
    }
    if (s.lastNs == 0) {
        s.all.reserve(1 << 16);
        s.window.reserve(1 << 12);
        s.windowStartNs = now;
    } else {
        const float ms = static_cast<float>((now - s.lastNs) / 1e6);
        s.all.push_back(ms);
        s.window.push_back(ms);
        if (now - s.windowStartNs >= WindowNs) {
            PrintWindow(s, now);
        }
    }
    s.lastNs = now;
}

void TimingReport()
{
    for (Series& s : Loops) {
        const PeriodStats a = Summarise(s.all);
        std::printf("timing: %s total n=%zu median=%.3f ms p99=%.3f ms max=%.3f ms min=%.3f ms "
                    "p1=%.3f ms\n",
                    s.name, a.count, a.median, a.p99, a.max, a.min, a.p1);
    }
    std::printf("timing: text renderings after the first frame %ld, in %ld frames\n",
                Loops[1].textRenders, Loops[1].framesWithText);
    std::fflush(stdout);
}

bool TimingEnabled()
{
    return true;
}

#else

void TimingMark(TimingLoop) {}
void TimingReport() {}
bool TimingEnabled()
{
    return false;
}

#endif
