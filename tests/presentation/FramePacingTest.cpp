// The smooth cadence's pacing on a simulated clock, and the frame-interval
// report.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "presentation/FrameIntervals.h"
#include "presentation/FramePacer.h"

namespace {

constexpr int64_t kInterval = 16667;  // 60 Hz in microseconds

// Runs frames as a loop would: wait what the pacer says, draw for drawMicros,
// and (with vsync) let the swap wait for the next refresh. Returns the start
// times of the frames.
std::vector<int64_t> RunFrames(FramePacer& pacer, int frames, int64_t drawMicros, bool vsync) {
    std::vector<int64_t> starts;
    int64_t now = 1000000;
    for (int i = 0; i < frames; ++i) {
        now += pacer.WaitMicros(now);
        pacer.FrameStarted(now);
        starts.push_back(now);
        now += drawMicros;
        if (vsync) now = (now / kInterval + 1) * kInterval;  // the swap returns at a refresh
    }
    return starts;
}

TEST(FramePacer, TrustsASwapThatWaitsForTheDisplay) {
    FramePacer pacer;
    pacer.SetRefreshRate(60.0);
    const std::vector<int64_t> starts = RunFrames(pacer, 200, 3000, true);
    EXPECT_EQ(pacer.CurrentMode(), FramePacer::Mode::SwapPaced);
    // One frame per refresh, none missed: the loop never waited on its own
    // (the first frame starts between two refreshes).
    for (size_t i = 2; i < starts.size(); ++i) EXPECT_EQ(starts[i] - starts[i - 1], kInterval) << i;
}

TEST(FramePacer, PacesByTimerWhereTheSwapDoesNotWait) {
    FramePacer pacer;
    pacer.SetRefreshRate(60.0);
    const std::vector<int64_t> starts = RunFrames(pacer, 300, 2000, false);
    EXPECT_EQ(pacer.CurrentMode(), FramePacer::Mode::TimerPaced);
    // After the first block of frames drawn back to back, one per interval.
    for (size_t i = 2 * FramePacer::kWatchFrames; i < starts.size(); ++i) {
        EXPECT_EQ(starts[i] - starts[i - 1], pacer.IntervalMicros()) << i;
    }
}

TEST(FramePacer, SlowFramesAreNotMistakenForAFastSwapAndAStallIsNotMadeUp) {
    // Frames slower than a refresh: the swap is trusted (there is nothing to
    // wait for), and frames follow one another.
    FramePacer slow;
    slow.SetRefreshRate(60.0);
    RunFrames(slow, 100, 30000, false);
    EXPECT_EQ(slow.CurrentMode(), FramePacer::Mode::SwapPaced);

    // On the timer, a frame that comes 100 ms late is followed an interval
    // later, not by a burst of frames catching up.
    FramePacer pacer;
    pacer.SetRefreshRate(60.0);
    RunFrames(pacer, 100, 1000, false);
    ASSERT_EQ(pacer.CurrentMode(), FramePacer::Mode::TimerPaced);
    int64_t now = 50000000;
    pacer.FrameStarted(now);
    EXPECT_EQ(pacer.WaitMicros(now + 1000), pacer.IntervalMicros() - 1000);
}

TEST(FramePacer, UnknownOrAbsurdRatesFallBackToThirtyFramesASecond) {
    for (double hz : {0.0, -5.0, 1.0, 10000.0}) {
        FramePacer pacer;
        pacer.SetRefreshRate(hz);
        EXPECT_EQ(pacer.IntervalMicros(), 33333) << hz;
    }
    FramePacer fast;
    fast.SetRefreshRate(144.0);
    EXPECT_EQ(fast.IntervalMicros(), 6944);
}

TEST(FrameIntervals, ReportsMedianNinetyFifthPercentileAndLongest) {
    auto intervals = std::make_unique<FrameIntervals>();
    EXPECT_EQ(intervals->Summary().frames, 0);
    int64_t now = 0;
    intervals->Presented(now);
    // 100 intervals: 1 ms to 100 ms in a shuffled order.
    for (int i = 0; i < 100; ++i) {
        now += 1000 * ((i * 37) % 100 + 1);
        intervals->Presented(now);
    }
    FrameIntervalSummary s = intervals->Summary();
    EXPECT_EQ(s.frames, 101);
    EXPECT_DOUBLE_EQ(s.p50Ms, 50.0);
    EXPECT_DOUBLE_EQ(s.p95Ms, 95.0);
    EXPECT_DOUBLE_EQ(s.maxMs, 100.0);

    // A restart forgets; only what follows counts.
    intervals->Restart();
    intervals->Presented(now);
    intervals->Presented(now + 16000);
    s = intervals->Summary();
    EXPECT_EQ(s.frames, 2);
    EXPECT_DOUBLE_EQ(s.maxMs, 16.0);

    // The ring keeps the latest kCapacity intervals.
    intervals->Restart();
    for (int i = 0; i <= FrameIntervals::kCapacity + 10; ++i) {
        now += i < 10 ? 500000 : 10000;
        intervals->Presented(now);
    }
    EXPECT_DOUBLE_EQ(intervals->Summary().maxMs, 10.0);
}

}  // namespace
