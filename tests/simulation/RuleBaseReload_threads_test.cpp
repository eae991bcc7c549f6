// Reloading the rule base while the simulation thread runs passes: the load
// happens beside the running engine, only the exchange under the state lock,
// so passes go on throughout and a failed reload never stops them. Also run
// under ThreadSanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "policy/RuleBaseText.h"
#include "simulation/RuleBaseReload.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t Passes(const Simulation& simulation) {
    std::lock_guard<std::mutex> lock(simulation.stateMutex);
    return simulation.expertSystem.journal.passes;
}

TEST(RuleBaseReloadThreads, PassesGoOnWhileReloadsComeAndGo) {
    TempFolder folder;
    const std::string path = folder.File("Rules.clp");
    auto simulation = MakeSimulation(folder);
    CountingHost host;
    SimThreadControl control;
    control.simsPerSecond.store(1000.0f);
    SimulationThread thread(*simulation, host, control);
    ASSERT_TRUE(thread.Start());

    const std::string good(kRuleBaseText, kRuleBaseLength);
    const std::string broken = good + "\n(defrule oops (colony) => (no-such-function))\n";
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Passes(*simulation) < 2 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    int32_t taken = 0;
    for (int i = 0; i < 6; ++i) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << (i % 2 == 0 ? broken : good);
        taken += ReloadRuleBase(*simulation) ? 1 : 0;
        const int64_t before = Passes(*simulation);
        while (Passes(*simulation) == before && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_GT(Passes(*simulation), before) << "the passes stopped after reload " << i;
    }
    thread.Stop(1000);
    thread.Join();
    EXPECT_EQ(taken, 3);
    std::lock_guard<std::mutex> lock(simulation->stateMutex);
    const ExpertSystem& expert = simulation->expertSystem;
    EXPECT_EQ(expert.reloads, 3);
    EXPECT_FALSE(expert.reloadFailed);
    EXPECT_EQ(expert.State(), RuleBaseState::Loaded);
    EXPECT_EQ(expert.journal.Back(0).outcome, PassOutcome::Listed);
}

// F5 in the window: the reloader loads on a thread of its own, so the caller
// goes on at once; a request while one runs is carried out after it, and
// destroying the reloader cancels a load that would take long.
TEST(RuleBaseReloadThreads, TheReloaderLoadsBesideTheCallerAndCancelsWhenDestroyed) {
    TempFolder folder;
    const std::string path = folder.File("Rules.clp");
    auto simulation = MakeSimulation(folder);
    const auto reloads = [&] {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        return simulation->expertSystem.reloads;
    };
    {
        RuleBaseReloader reloader(*simulation);
        reloader.Start();
        reloader.Start();  // while the first runs: once more after it
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (reloader.Busy() && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_FALSE(reloader.Busy());
        EXPECT_GE(reloads(), 1);
        EXPECT_LE(reloads(), 2);

        // A switch asked while a reload runs comes after it, and the last
        // request decides the rules: boom, not thrifty.
        const RuleGallery gallery = RuleGallery::Load("", "");
        reloader.Start();
        reloader.Switch(*gallery.Find("thrifty"));
        reloader.Switch(*gallery.Find("boom"));
        while (reloader.Busy() && Clock::now() < deadline + std::chrono::seconds(20)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        EXPECT_STREQ(simulation->expertSystem.ruleBaseName, "boom");
    }
    const int32_t before = reloads();

    // A load that never ends by itself: only its limits or a cancel end it.
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        << "(defglobal ?*x* = (loop-for-count (?i 1 1000000000) do (bind ?y ?i)))\n";
    const auto started = Clock::now();
    {
        RuleBaseReloader reloader(*simulation);
        reloader.Start();
        EXPECT_TRUE(reloader.Busy()) << "the load finished before Start returned";
    }
    EXPECT_LT(Clock::now() - started, std::chrono::milliseconds(EngineProcess::kLoadWallLimitMs))
        << "destroying the reloader waited for the load";
    EXPECT_EQ(reloads(), before);
    std::lock_guard<std::mutex> lock(simulation->stateMutex);
    EXPECT_FALSE(simulation->expertSystem.reloadFailed) << "a cancelled reload is no failed one";
}

}  // namespace
