// The engine process across threads: a restart asked for by a thread that
// then ends (the simulation thread comes and goes) leaves an engine that lives
// on, and waits are abandoned from another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "policy/EngineProcess.h"
#include "tests/policy/PolicyTestSupport.h"

namespace {

const std::string kRules =
    "(deftemplate world (slot food_supply) (slot change_FS))\n"
    "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
    " (slot num_gathering_ants))\n"
    "(defrule leave (colony (population high)) => (exit 1))\n"
    // Long work the work budget does not see (one join over every pair of
    // four thousand facts): only its processor time limit, or an abandoned
    // wait, ends it.
    "(defrule spin (colony (population stable)) =>"
    " (loop-for-count (?i 1 4000) do (assert (item ?i))))\n"
    "(defrule pair (item ?a) (item ?b&:(= ?a -1)) =>)\n"
    "(defrule stay (colony (population low)) => (assert (raise_population)))\n";
const PassFacts kLeave{"high", "stable", "high", "high", "stable", "low"};
const PassFacts kSpin{"high", "stable", "high", "stable", "stable", "low"};
const PassFacts kStay{"high", "stable", "high", "low", "stable", "low"};

TEST(EngineThreads, AnEngineRestartedByAThreadThatEndedLivesOn) {
    TempFolder scratch;
    WriteText(scratch.File("Rules.clp"), kRules);
    EngineProcess engine;
    ASSERT_EQ(engine.Load(scratch.File("Rules.clp").c_str()), LoadResult::Loaded);

    // The worker fails a pass, which restarts the engine, and runs the next
    // pass on the fresh engine (so the engine is fully up while the worker
    // lives); then the worker ends.
    PassResult failed = PassResult::Listed;
    PassResult listed = PassResult::Failed;
    std::thread worker([&] {
        failed = engine.Pass(kLeave);
        listed = engine.Pass(kStay);
    });
    worker.join();
    ASSERT_EQ(failed, PassResult::EngineFailed);
    ASSERT_EQ(listed, PassResult::Listed) << engine.Problem();
    const pid_t restarted = engine.EnginePid();
    ASSERT_GT(restarted, 0);

    // A parent-death signal tied to the worker would have killed it by now
    // (leaving a zombie until the next pass reaps it).
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string stat = ReadText("/proc/" + std::to_string(restarted) + "/stat");
    const size_t state = stat.rfind(')');
    ASSERT_NE(state, std::string::npos);
    EXPECT_NE(stat.substr(state + 2, 1), "Z") << stat;
    EXPECT_EQ(engine.Pass(kStay), PassResult::Listed) << engine.Problem();
    EXPECT_EQ(engine.EnginePid(), restarted);
}

TEST(EngineThreads, WaitsAreAbandonedFromAnotherThread) {
    TempFolder scratch;
    WriteText(scratch.File("Rules.clp"), kRules);
    EngineProcess engine;
    ASSERT_EQ(engine.Load(scratch.File("Rules.clp").c_str()), LoadResult::Loaded);

    PassResult result = PassResult::Listed;
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] { result = engine.Pass(kSpin); });
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EngineProcess::AbandonWaits();
    worker.join();
    const auto took = std::chrono::steady_clock::now() - start;
    EngineProcess::ResumeWaits();
    // Abandoned or, on a slow machine, already over its time limit: never listed.
    EXPECT_TRUE(result == PassResult::Abandoned || result == PassResult::EngineFailed);
    EXPECT_LT(took, std::chrono::seconds(1));
}

}  // namespace
