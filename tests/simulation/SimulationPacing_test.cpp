// The pacing loop on a simulated clock: iterations are driven one at a time on
// the test thread, a step costs a fixed simulated time and a sleep advances
// the clock by what was asked (plus an optional overshoot). Nothing here
// depends on the real time.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "simulation/SimulationThread.h"

namespace {

constexpr int64_t kTicksPerSecond = 1000000;  // microseconds

class FakeClock final : public PacingClock {
public:
    int64_t now = 5 * kTicksPerSecond;  // not 0: nothing may rely on a zero start
    int64_t overshootTicks = 0;         // added to every sleep
    int32_t sleeps = 0;

    // Reading the clock costs a microsecond, as the loop's own work would.
    int64_t Now() override { return now++; }
    int64_t Frequency() override { return kTicksPerSecond; }
    void SleepMs(int32_t ms, std::condition_variable&, std::mutex&,
                 const std::atomic<int32_t>&) override {
        now += static_cast<int64_t>(ms) * 1000 + overshootTicks;
        ++sleeps;
    }
};

class FakeStep final : public SteppedWork {
public:
    explicit FakeStep(FakeClock& clock, int64_t costTicks) : clock(clock), cost(costTicks) {}
    void RunStep() override {
        clock.now += cost;
        ++steps;
    }
    FakeClock& clock;
    int64_t cost;
    int64_t steps = 0;
};

// One loop with its clock, work and control block.
struct PacedRun {
    PacedRun(float rate, int64_t stepCostTicks) : step(clock, stepCostTicks), loop(control, clock, step) {
        control.stopRequested.store(0);
        control.simsPerSecond.store(rate);
    }

    void Iterate() { loop.Iterate(wake, wakeLock); }

    // Iterates until the given number of windows has been opened; records the
    // clock at each opening and whether the opening iteration stepped.
    void RunWindows(int64_t windows) {
        while (loop.windowsOpened < windows) {
            const int64_t openedBefore = loop.windowsOpened;
            const int64_t stepsBefore = step.steps;
            Iterate();
            if (loop.windowsOpened != openedBefore) {
                windowStarts.push_back(loop.windowStart);
                openingStepped.push_back(step.steps != stepsBefore);
                stepsPerWindow.push_back(loop.stepsLastWindow);
            }
        }
    }

    FakeClock clock;
    FakeStep step;
    SimThreadControl control;
    std::condition_variable wake;
    std::mutex wakeLock;
    PacingLoop loop;
    std::vector<int64_t> windowStarts;
    std::vector<bool> openingStepped;
    std::vector<int32_t> stepsPerWindow;  // [k]: steps of window k-1 (k >= 1)
};

TEST(SimulationPacing, FortyPerSecondHoldsThirtyNineStepsPerWindow) {
    PacedRun run(40.0f, 100);  // a 0.1 ms step
    run.RunWindows(21);

    for (size_t k = 0; k < run.openingStepped.size(); ++k) {
        EXPECT_FALSE(run.openingStepped[k]) << "window " << k << " stepped in its first iteration";
    }
    for (size_t k = 1; k < run.stepsPerWindow.size(); ++k) {
        EXPECT_EQ(run.stepsPerWindow[k], 39) << "window " << k - 1;
    }
    // The sleeps spread the window over one second, not more, not less.
    for (size_t k = 1; k < run.windowStarts.size(); ++k) {
        const double seconds =
            static_cast<double>(run.windowStarts[k] - run.windowStarts[k - 1]) / kTicksPerSecond;
        EXPECT_NEAR(seconds, 1.0, 0.003) << "window " << k - 1;
    }
}

// Truncated sleeps end a window up to a millisecond early; the window must
// not fill that gap with a burst of extra steps.
TEST(SimulationPacing, EveryRateHoldsOneStepFewerThanItsIterations) {
    struct Case {
        float rate;
        int64_t stepCostTicks;
    };
    // 1000 per second leaves sleeps below a millisecond: only the carried
    // fractions make them add up to the window.
    const Case cases[] = {{5.0f, 100}, {40.0f, 2000}, {120.0f, 300}, {1000.0f, 100}};
    for (const Case& c : cases) {
        PacedRun run(c.rate, c.stepCostTicks);
        run.RunWindows(6);
        for (size_t k = 1; k < run.stepsPerWindow.size(); ++k) {
            EXPECT_EQ(run.stepsPerWindow[k], static_cast<int32_t>(c.rate) - 1)
                << "rate " << c.rate << " window " << k - 1;
        }
        for (size_t k = 1; k < run.windowStarts.size(); ++k) {
            EXPECT_NEAR(static_cast<double>(run.windowStarts[k] - run.windowStarts[k - 1]) /
                            kTicksPerSecond,
                        1.0, 0.005)
                << "rate " << c.rate;
        }
        EXPECT_GE(run.loop.carryMs, 0.0);
        EXPECT_LT(run.loop.carryMs, 1.0);
    }
}

TEST(SimulationPacing, SlowStepsRunBackToBack) {
    PacedRun run(40.0f, 50000);  // 50 ms: only about 20 fit into a second
    run.RunWindows(5);
    // Only the stepless first iteration of a window finds time to sleep.
    EXPECT_LE(run.clock.sleeps, 5);
    for (size_t k = 1; k < run.stepsPerWindow.size(); ++k) {
        EXPECT_NEAR(run.stepsPerWindow[k], 19, 1);
    }
}

TEST(SimulationPacing, RaisingTheRateTakesEffectInTheNextSleep) {
    PacedRun run(40.0f, 100);
    run.RunWindows(2);
    for (int i = 0; i < 5; ++i) {
        run.Iterate();
    }
    EXPECT_GE(run.loop.lastSleepMs, 20);  // about a fortieth of a second

    run.control.simsPerSecond.store(1000.0f);
    run.Iterate();
    EXPECT_LE(run.loop.lastSleepMs, 1);
}

TEST(SimulationPacing, RatesOutsideTheAcceptedRangeAreHeldInside) {
    // A pace of 0 or NaN must neither divide by zero nor step flat out.
    for (float rate : {0.0f, -3.0f, std::nanf("")}) {
        PacedRun run(rate, 100);
        run.RunWindows(4);
        EXPECT_EQ(run.stepsPerWindow.back(), static_cast<int32_t>(kMinSimsPerSecond) - 1)
            << "rate " << rate;
    }
    PacedRun fast(1.0e6f, 100);
    fast.RunWindows(3);
    EXPECT_EQ(fast.stepsPerWindow.back(), static_cast<int32_t>(kMaxSimsPerSecond) - 1);
}

TEST(SimulationPacing, OvershootOfOneWindowIsPaidBackInTheNext) {
    // Every sleep lasts 2 ms longer than asked. The window records the sum,
    // and the next window shortens each of its sleeps by its share of it.
    PacedRun late(40.0f, 100);
    late.clock.overshootTicks = 2000;
    PacedRun exact(40.0f, 100);

    late.RunWindows(3);
    exact.RunWindows(3);
    const int32_t sleepsPerWindow = 39;  // every iteration but the last of the window
    EXPECT_NEAR(late.control.lastOvershoot.load(), sleepsPerWindow * 0.002, 0.0005);
    EXPECT_NEAR(exact.control.lastOvershoot.load(), 0.0f, 0.0001f);

    // The first sleep of the window: its share of the overshoot (78 ms / 40,
    // about 2 ms) comes off.
    late.Iterate();
    exact.Iterate();
    EXPECT_NEAR(exact.loop.lastSleepMs - late.loop.lastSleepMs, 2, 1);

    // And the colony still gets its 39 steps in about a second.
    late.RunWindows(8);
    for (size_t k = 3; k < late.stepsPerWindow.size(); ++k) {
        EXPECT_EQ(late.stepsPerWindow[k], 39) << "window " << k - 1;
    }
}

TEST(SimulationPacing, AnIterationOfASecondOrMoreIsNotFollowedByAStep) {
    // A step that takes 1.5 s (a suspended machine): the window rolls over
    // and the loop does not try to catch up with a burst of steps.
    PacedRun run(40.0f, 100);
    run.RunWindows(2);
    run.step.cost = 1500000;
    run.Iterate();  // the slow step
    run.step.cost = 100;
    const int64_t before = run.step.steps;
    run.Iterate();
    EXPECT_EQ(run.step.steps, before);
}

}  // namespace
