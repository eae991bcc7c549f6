// The simulation thread's life: start, pause, resume, stop and restart never
// leave two workers, a stop wakes a sleeping worker, and a rebuild never
// overlaps a step. These tests also run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "simulation/StatisticsText.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// Generous bounds for "it happened": a loaded CI machine under a sanitizer
// may be slow, but never this slow.
constexpr auto kPatience = std::chrono::seconds(20);

template <typename Predicate>
bool WaitUntil(Predicate done) {
    const auto deadline = Clock::now() + kPatience;
    while (!done()) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// A step that costs nothing and checks that no two workers ever step at once.
class CountingWork final : public SteppedWork {
public:
    void RunStep() override {
        const int32_t inside = concurrent.fetch_add(1) + 1;
        int32_t peak = peakConcurrent.load();
        while (inside > peak && !peakConcurrent.compare_exchange_weak(peak, inside)) {
        }
        steps.fetch_add(1);
        concurrent.fetch_sub(1);
    }
    std::atomic<int32_t> concurrent{0};
    std::atomic<int32_t> peakConcurrent{0};
    std::atomic<int64_t> steps{0};
};

// The steady clock, but every sleep asks for a minute: a worker that ends
// within the test's patience was woken by the stop, not by its timer.
class MinuteSleepClock final : public PacingClock {
public:
    int64_t Now() override { return steady.Now(); }
    int64_t Frequency() override { return steady.Frequency(); }
    void SleepMs(int32_t, std::condition_variable& wake, std::mutex& lock,
                 const std::atomic<int32_t>& stopRequested) override {
        sleeping.fetch_add(1);
        steady.SleepMs(60000, wake, lock, stopRequested);
    }
    SteadyPacingClock steady;
    std::atomic<int32_t> sleeping{0};
};

TEST(SimulationThread, StopWakesASleepingWorker) {
    CountingWork work;
    SimThreadControl control;
    MinuteSleepClock clock;
    SimulationThread thread(work, control, clock);

    ASSERT_TRUE(thread.Start());
    EXPECT_TRUE(thread.Running());
    ASSERT_TRUE(WaitUntil([&] { return clock.sleeping.load() > 0; }));

    const auto before = Clock::now();
    EXPECT_TRUE(thread.Stop(static_cast<int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kPatience).count())));
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(10));  // far below the minute
    EXPECT_FALSE(thread.Running());
    EXPECT_EQ(thread.LiveWorkers(), 0);
    EXPECT_EQ(control.stopRequested.load(), 1);
}

TEST(SimulationThread, PauseResumeAndRestartNeverLeaveTwoWorkers) {
    CountingWork work;
    SimThreadControl control;
    control.simsPerSecond.store(kMaxSimsPerSecond);
    SteadyPacingClock clock;
    SimulationThread thread(work, control, clock);

    ASSERT_TRUE(thread.Start());
    EXPECT_FALSE(thread.Start());  // already running: no second worker
    for (int round = 0; round < 100; ++round) {
        switch (round % 4) {
            case 0:  // pause and resume at once: the old worker may still be finishing
                thread.Toggle();
                EXPECT_FALSE(thread.Running());
                thread.Toggle();
                EXPECT_TRUE(thread.Running());
                break;
            case 1:  // a stop that does not wait, then a start
                thread.Stop(0);
                thread.Start();
                break;
            case 2:  // a stop that waits, then a start
                EXPECT_TRUE(thread.Stop(10000));
                EXPECT_EQ(thread.LiveWorkers(), 0);
                thread.Start();
                break;
            default:  // a start while running
                EXPECT_FALSE(thread.Start());
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                break;
        }
        EXPECT_LE(thread.LiveWorkers(), 1);
    }
    // The workers did run.
    ASSERT_TRUE(WaitUntil([&] { return work.steps.load() > 0; }));
    thread.Join();

    EXPECT_EQ(thread.PeakLiveWorkers(), 1);
    EXPECT_EQ(work.peakConcurrent.load(), 1);
    EXPECT_EQ(thread.LiveWorkers(), 0);
    EXPECT_FALSE(thread.Failed());
}

// A step that blocks until the test lets it finish.
class GatedWork final : public SteppedWork {
public:
    explicit GatedWork(Simulation& simulation) : simulation(simulation) {}
    void RunStep() override {
        std::unique_lock<std::mutex> guard(lock);
        entered = true;
        changed.notify_all();
        changed.wait(guard, [this] { return released; });
        guard.unlock();
        std::lock_guard<std::mutex> state(simulation.stateMutex);
        simulation.Step();
        if (stepsDone == 0) {
            firstStepDeaths = simulation.colonyDeaths;
        }
        ++stepsDone;
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return entered; });
    }
    void Release() {
        std::lock_guard<std::mutex> guard(lock);
        released = true;
        changed.notify_all();
    }
    Simulation& simulation;
    std::mutex lock;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    int32_t stepsDone = 0;        // guarded by simulation.stateMutex
    int32_t firstStepDeaths = -1; // as the gated step left them
};

int32_t DeathsUnderLock(Simulation& simulation) {
    std::lock_guard<std::mutex> guard(simulation.stateMutex);
    return simulation.colonyDeaths;
}

// The restart's bounded wait runs out while a step is still running: the
// rebuild must still wait for that step, and the restart must leave exactly
// one worker.
TEST(SimulationThread, RestartWaitsForARunningStepBeyondItsTimeout) {
    TempFolder folder;
    auto simulation = MakeSimulation(folder);
    GatedWork work(*simulation);
    SimThreadControl control;
    control.simsPerSecond.store(kMaxSimsPerSecond);
    SteadyPacingClock clock;
    SimulationThread thread(work, control, clock);

    ASSERT_TRUE(thread.Start());
    work.WaitEntered();
    std::thread restarter([&] { OnColonyRestart(thread, *simulation, 0); });

    // Longer than the restart's 1000 ms wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(DeathsUnderLock(*simulation), 0);  // not rebuilt under the running step
    work.Release();
    restarter.join();

    {
        // The gated step finished on the old colony; the rebuild came after.
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        EXPECT_EQ(work.firstStepDeaths, 0);
        EXPECT_EQ(simulation->colonyDeaths, 1);
        EXPECT_EQ(simulation->colony.home, (GridPoint{64, 64}));
    }
    EXPECT_TRUE(thread.Running());  // the restart starts the worker again
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        return work.stepsDone > 1;
    }));
    thread.Join();
    EXPECT_EQ(thread.PeakLiveWorkers(), 1);
}

// The real simulation on the real clock: steps arrive with their repaints,
// and a reader taking the state lock (as the renderer does) sees whole steps.
TEST(SimulationThread, StepsTheSimulationWhileAReaderTakesTheLock) {
    TempFolder folder;
    auto simulation = MakeSimulation(folder);
    CountingHost host;
    SimThreadControl control;
    control.simsPerSecond.store(kMaxSimsPerSecond);
    SimulationThread thread(*simulation, host, control);

    ASSERT_TRUE(thread.Start());
    std::atomic<bool> readerDone{false};
    std::thread reader([&] {
        auto lines = std::make_unique<StatisticsLines>();
        while (host.repaints.load() < 30) {
            std::lock_guard<std::mutex> guard(simulation->stateMutex);
            FormatStatistics(*simulation, *lines);
            // The role counters always add up to the population between steps.
            const Colony& c = simulation->colony;
            EXPECT_EQ(c.ants.Count(), c.population);
            EXPECT_EQ(c.foodSupply, simulation->totalSteps > 0 ? simulation->foodField.FoodCount()
                                                               : c.foodSupply);
        }
        readerDone.store(true);
    });
    ASSERT_TRUE(WaitUntil([&] { return readerDone.load(); }));
    reader.join();
    EXPECT_TRUE(thread.Stop(10000));

    std::lock_guard<std::mutex> guard(simulation->stateMutex);
    EXPECT_EQ(simulation->totalSteps, host.repaints.load());
    EXPECT_GE(simulation->totalSteps, 30);
}

// A restart that arrives while the simulation is paused rebuilds the colony
// and leaves the worker running.
TEST(SimulationThread, RestartWhilePausedStartsTheWorker) {
    TempFolder folder;
    auto simulation = MakeSimulation(folder);
    CountingHost host;
    SimThreadControl control;
    SimulationThread thread(*simulation, host, control);

    ASSERT_TRUE(thread.Start());
    thread.Toggle();  // pause
    EXPECT_FALSE(thread.Running());
    OnColonyRestart(thread, *simulation, 0);
    EXPECT_TRUE(thread.Running());
    EXPECT_EQ(DeathsUnderLock(*simulation), 1);
    EXPECT_TRUE(thread.Stop(10000));
    EXPECT_EQ(thread.PeakLiveWorkers(), 1);
}

}  // namespace
