// The rule engine in its own process: the same answers as in-process, the
// checks of what a rule base offers, recovery after a failed pass, and the
// bounds the engine process lives in.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "policy/EngineLauncher.h"
#include "policy/EngineProcess.h"
#include "policy/RuleBaseText.h"
#include "policy/RuleEngine.h"
#include "tests/policy/PolicyTestSupport.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

const std::string kWorld = "(deftemplate world (slot food_supply) (slot change_FS))\n";
const std::string kColony =
    "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
    " (slot num_gathering_ants))\n";

// Few ants, full reserves, a rich world.
const PassFacts kPlenty{"high", "stable", "high", "low", "stable", "low"};
// Many ants on empty reserves in a poor world.
const PassFacts kCrowded{"low", "decreasing", "low", "high", "decreasing", "high"};

bool Exists(pid_t pid) { return pid > 0 && kill(pid, 0) == 0; }

bool Concluded(const EngineProcess& engine, Conclusion conclusion) {
    for (size_t i = 0; i < engine.conclusionCount; ++i) {
        if (engine.conclusions[i] == conclusion) return true;
    }
    return false;
}

// Work the budget does not see: one join that compares every pair of four
// thousand facts (sixteen million tests, no loop turn among them).
const std::string kJoinExplosion =
    "(defrule fill (world) => (loop-for-count (?i 1 4000) do (assert (item ?i))))\n"
    "(defrule pair (item ?a) (item ?b&:(= ?a -1)) =>)\n";

// True when pid is neither running nor waiting to be reaped by us.
bool GoneAndReaped(pid_t pid) {
    int status = 0;
    return !Exists(pid) && waitpid(pid, &status, WNOHANG) < 0 && errno == ECHILD;
}

std::string ProcFile(pid_t pid, const char* name) {
    return ReadText("/proc/" + std::to_string(pid) + "/" + name);
}

class EngineProcessTest : public ::testing::Test {
protected:
    // Loads text as the rule base, keeping what the load said on stderr.
    LoadResult LoadRules(const std::string& text) {
        WriteText(rules, text);
        CaptureStderr();
        const LoadResult result = engine.Load(rules.c_str());
        loadErr = GetCapturedStderr();
        return result;
    }

    TempFolder scratch;
    const std::string rules = scratch.File("Rules.clp");
    EngineProcess engine;
    std::string loadErr;
};

TEST_F(EngineProcessTest, ConcludesExactlyWhatTheEngineConcludesInProcess) {
    const std::string text(kRuleBaseText, kRuleBaseLength);
    ASSERT_EQ(LoadRules(text), LoadResult::Loaded) << engine.Problem();
    EXPECT_EQ(loadErr, "");
    RuleEngine local;
    ASSERT_EQ(local.LoadText("Rules.clp", text.data(), text.size()), LoadResult::Loaded);
    const char* const level[] = {"low", "stable", "high"};
    const char* const change[] = {"increasing", "stable", "decreasing"};
    for (const char* a : level) {
        for (const char* b : change) {
            const PassFacts facts{a, b, level[2], a, change[1], level[0]};
            SCOPED_TRACE(std::string(a) + " " + b);
            ASSERT_EQ(engine.Pass(facts), PassResult::Listed) << engine.Problem();
            ASSERT_EQ(local.Pass(facts), PassResult::Listed);
            ASSERT_EQ(engine.conclusionCount, local.conclusionCount);
            for (size_t i = 0; i < local.conclusionCount; ++i) {
                EXPECT_EQ(engine.conclusions[i], local.conclusions[i]);
            }
            EXPECT_EQ(engine.work, local.work) << "the same work in and out of process";
            EXPECT_EQ(engine.firings, local.firings);
        }
    }
}

TEST_F(EngineProcessTest, UnreadableRuleBasesFailWithTheirReasonAndNoEngine) {
    const std::string folder = scratch.File("folder");
    std::filesystem::create_directory(folder);
    const std::string fifo = scratch.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = scratch.File("large.clp");
    {
        std::FILE* out = std::fopen(large.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fseek(out, static_cast<long>(kMaxRuleBaseBytes), SEEK_SET);
        std::fputc(';', out);
        std::fclose(out);
    }
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {scratch.File("missing.clp"), "cannot be read: No such file or directory"},
        {folder, "is not a regular file"},
        {fifo, "is not a regular file"},  // no writer: opening it must not hang
        {large, "is larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(engine.Load(c.path.c_str()), LoadResult::CannotRead);
        EXPECT_NE(std::string(engine.Problem()).find(c.path + "\" " + c.reason), std::string::npos)
            << engine.Problem();
        EXPECT_EQ(engine.EnginePid(), -1);
        EXPECT_FALSE(engine.Ready());
        EXPECT_EQ(engine.Pass(kPlenty), PassResult::Failed);
    }
}

TEST_F(EngineProcessTest, TemplatesMustOfferEverySlotAPassWritesAsASingleValue) {
    const struct {
        std::string text;
        LoadResult result;
        const char* problem;
    } cases[] = {
        {kColony, LoadResult::LacksTemplates, "has no template \"world\""},
        {kWorld, LoadResult::LacksTemplates, "has no template \"colony\""},
        {"(deftemplate world (slot food_supply))\n" + kColony, LoadResult::LacksTemplates,
         "lacks slot \"change_FS\" in template \"world\""},
        {kWorld + "(deftemplate colony (slot food_reserves) (slot population) (multislot change_FR)"
                  " (slot num_gathering_ants))\n",
         LoadResult::LacksTemplates,
         "declares slot \"change_FR\" of template \"colony\" as a multislot"},
        // An ordered fact of the name makes an implied template: one multislot.
        {kColony + "(deffacts f (world))\n", LoadResult::LacksTemplates,
         "lacks slot \"food_supply\" in template \"world\""},
        {kWorld + kColony + "(defrule broken (world) => (assert (x))\n", LoadResult::HasErrors,
         "has errors"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(LoadRules(c.text), c.result);
        EXPECT_NE(std::string(engine.Problem()).find(c.problem), std::string::npos)
            << engine.Problem();
        EXPECT_NE(std::string(engine.Problem()).find(rules), std::string::npos);
    }
    // The engine's own words about the broken rule came with their line, and
    // nothing was printed: whoever loads shows them.
    ASSERT_GT(engine.diagnosticCount, 0u);
    EXPECT_EQ(engine.diagnostics[0].line, 4) << "the end of the file, where the rule is still open";
    EXPECT_NE(std::string(engine.diagnostics[0].text).find("ERROR"), std::string::npos);
    EXPECT_EQ(loadErr, "");
}

TEST_F(EngineProcessTest, ARuleBaseWithErrorsKeepsWhatLoadedBeforeThem) {
    ASSERT_EQ(LoadRules(kWorld + kColony + "(defrule early (world) => (assert (raise_population)))\n"
                                           "(defrule broken (world) => (assert (x))\n"),
              LoadResult::HasErrors);
    EXPECT_TRUE(engine.Ready());
    ASSERT_EQ(engine.Pass(kPlenty), PassResult::Listed);
    EXPECT_TRUE(Concluded(engine, Conclusion::RaisePopulation));
}

TEST_F(EngineProcessTest, ExtraSlotsAndTemplatesInAModuleWorkAtEveryPass) {
    const std::string bases[] = {
        // Slots of its own: a multislot, one with no default at all.
        "(deftemplate world (slot food_supply) (slot change_FS) (multislot notes)"
        " (slot mood (default ?NONE)))\n" +
            kColony + "(defrule r (world (notes)) => (assert (raise_population)))\n",
        // Everything in a module of its own: found there, and its rules run.
        "(defmodule MAIN (export ?ALL))\n(defmodule POLICY (import MAIN ?ALL))\n"
        "(deftemplate POLICY::world (slot food_supply) (slot change_FS))\n"
        "(deftemplate POLICY::colony (slot food_reserves) (slot population) (slot change_FR)"
        " (slot num_gathering_ants))\n"
        "(defrule POLICY::r (world) (colony) => (assert (raise_population)))\n",
        // MAIN's templates come first when another module has its own too.
        kWorld + kColony + "(defrule r (world) (colony) => (assert (raise_population)))\n" +
            "(defmodule OTHER)\n(deftemplate OTHER::world (multislot food_supply))\n",
    };
    for (const std::string& base : bases) {
        SCOPED_TRACE(base);
        ASSERT_EQ(LoadRules(base), LoadResult::Loaded) << engine.Problem();
        for (int pass = 0; pass < 3; ++pass) {
            ASSERT_EQ(engine.Pass(kPlenty), PassResult::Listed) << engine.Problem();
            EXPECT_TRUE(Concluded(engine, Conclusion::RaisePopulation)) << "pass " << pass;
        }
    }
}

// A pass the engine does not survive: said, the engine reaped, and the next
// pass runs on a fresh engine with the same rule base. A pass that runs past
// its work budget is no such failure: the engine halts it and goes on.
TEST_F(EngineProcessTest, AFailedPassIsReportedAndTheNextRunsOnAFreshEngine) {
    ASSERT_EQ(LoadRules(kWorld + kColony +
                        "(deffunction down (?n) (down (+ ?n 1)))\n"
                        "(defrule crash (colony (population high)) => (down 0))\n"
                        "(defrule leave (colony (population low) (food_reserves low)) =>"
                        " (exit 7))\n"
                        "(defrule memory (colony (population stable) (food_reserves low)) =>"
                        " (exit 86))\n"
                        "(defrule spin (colony (population stable) (food_reserves high)) =>"
                        " (while TRUE do (bind ?x 1)))\n" +
                        "(defrule fill (colony (population stable) (food_reserves stable)) =>"
                        " (loop-for-count (?i 1 4000) do (assert (item ?i))))\n"
                        "(defrule pair (item ?a) (item ?b&:(= ?a -1)) =>)\n"
                        "(defrule fine (colony (population low)) => (assert (raise_population)))\n"),
              LoadResult::Loaded);
    const PassFacts leaving{"high", "stable", "low", "low", "stable", "low"};
    const PassFacts exiting86{"high", "stable", "low", "stable", "stable", "low"};
    const PassFacts spinning{"high", "stable", "high", "stable", "stable", "low"};
    const PassFacts joining{"high", "stable", "stable", "stable", "stable", "low"};
    const struct {
        const PassFacts& facts;
        PassResult result;
        const char* problem;  // either of two: deep recursion may also run out of work first
        const char* orProblem;
        bool backstop;
    } failures[] = {
        {kCrowded, PassResult::EngineFailed, "crashed during a pass (signal 11, Segmentation fault)",
         nullptr, false},
        {leaving, PassResult::EngineFailed, "ended during a pass (exit status 7)", nullptr, false},
        {exiting86, PassResult::EngineFailed, "ended during a pass (exit status 86)", nullptr, false},
        {joining, PassResult::EngineFailed,
         "used more than 500 ms of processor time on a pass and was stopped; this run's results "
         "may not be reproducible",
         "got too little processor time", true},
        {spinning, PassResult::CutOff, nullptr, nullptr, false},
    };
    pid_t previous = engine.EnginePid();
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.problem != nullptr ? failure.problem : "cut off");
        const PassResult result = engine.Pass(failure.facts);
        if (failure.result == PassResult::CutOff) {
            EXPECT_EQ(result, PassResult::CutOff);
            EXPECT_EQ(engine.work, kPassWorkBudget + 1);
            EXPECT_EQ(engine.EnginePid(), previous) << "the engine halted the pass and lives on";
        } else {
            EXPECT_EQ(result, PassResult::EngineFailed);
            const std::string problem = engine.Problem();
            EXPECT_TRUE(problem.find(failure.problem) != std::string::npos ||
                        (failure.orProblem != nullptr &&
                         problem.find(failure.orProblem) != std::string::npos))
                << problem;
            EXPECT_EQ(engine.Backstop(), failure.backstop);
            EXPECT_TRUE(GoneAndReaped(previous)) << "engine " << previous;
            EXPECT_NE(engine.EnginePid(), previous) << "a fresh engine waits for the next pass";
            EXPECT_TRUE(Exists(engine.EnginePid()));
        }
        EXPECT_EQ(engine.conclusionCount, 0u);
        previous = engine.EnginePid();

        ASSERT_EQ(engine.Pass(kPlenty), PassResult::Listed) << engine.Problem();
        EXPECT_TRUE(Concluded(engine, Conclusion::RaisePopulation));
        EXPECT_EQ(engine.EnginePid(), previous);
    }
}

// A sweep's worker reuses its engine process from run to run: each load
// renews it, and the rules must then see an engine exactly as a new process
// has it. This rule base prints every piece of an engine's state that
// might outlive a pass: a global that counts the passes, generated names, the
// fact counter, the random sequence, the random conflict strategy (which
// orders the firings and so the conclusions), and a fact that follows the
// others.
TEST(EngineReuse, ARenewedEngineAnswersExactlyAsANewOne) {
    TempFolder scratch;
    const std::string rules = scratch.File("Rules.clp");
    WriteText(rules, kWorld + kColony +
                         "(defglobal ?*passes* = 0)\n"
                         "(deffacts kept (tally 0))\n"
                         "(defrule count (world) => (bind ?*passes* (+ ?*passes* 1))\n"
                         "  (bind ?name (gensym*)) (bind ?draw (random 1 1000000))\n"
                         "  (bind ?f (assert (note ?name ?draw ?*passes*)))\n"
                         "  (printout t \"note \" (fact-index ?f) \" \" ?name \" \" ?draw \" \" ?*passes*"
                         " crlf))\n"
                         "(defrule tally ?t <- (tally ?n) (note ? ? ?p&:(> ?p ?n)) => (retract ?t)\n"
                         "  (assert (tally ?p)) (printout t \"tally \" ?n crlf))\n"
                         "(defrule a (colony) => (assert (raise_population))"
                         " (printout t \"a \" (random 1 1000) crlf))\n"
                         "(defrule b (colony) => (assert (lower_food_intake))"
                         " (printout t \"b \" (random 1 1000) crlf))\n"
                         "(defrule c (colony) => (set-strategy random) (printout t \"c\" crlf))\n");
    const PassFacts passes[] = {kPlenty, kCrowded, kPlenty, kPlenty};
    // What each pass of a run (load, passes) shows: its printouts, the rules
    // it fired and its conclusions.
    auto run = [&](EngineProcess& engine, std::vector<std::string>& shown) {
        ASSERT_EQ(engine.Load(rules.c_str()), LoadResult::Loaded) << engine.Problem();
        engine.SetEcho(true);
        engine.SetTraceRules(true);
        for (const PassFacts& facts : passes) {
            CaptureStdout();
            const PassResult result = engine.Pass(facts);
            std::string pass = GetCapturedStdout();
            ASSERT_EQ(result, PassResult::Listed) << engine.Problem() << engine.engineErrors.text;
            for (uint32_t rule : engine.fired) pass += " fired " + engine.RuleName(rule);
            for (size_t i = 0; i < engine.conclusionCount; ++i) {
                pass += " concluded " + std::to_string(static_cast<int>(engine.conclusions[i]));
            }
            shown.push_back(pass);
        }
    };
    std::vector<std::string> fresh;
    for (int i = 0; i < 3; ++i) {
        EngineProcess engine;
        run(engine, fresh);
    }
    ASSERT_EQ(fresh.size(), 3 * std::size(passes));
    // Within a run the generated names go on from pass to pass: the state a
    // renewal must set back.
    ASSERT_NE(fresh[3].find(" gen4 "), std::string::npos) << fresh[3];

    EngineProcess::ReuseEngines(true);
    std::vector<std::string> reused;
    pid_t pid = -1;
    for (int i = 0; i < 3; ++i) {
        EngineProcess engine;
        run(engine, reused);
        if (i == 0) pid = engine.EnginePid();
        EXPECT_EQ(engine.EnginePid(), pid) << "run " << i << " started an engine of its own";
    }
    // One EngineProcess loading again renews its own engine too.
    {
        EngineProcess engine;
        run(engine, reused);
        run(engine, reused);
        EXPECT_EQ(engine.EnginePid(), pid);
    }
    EngineProcess::ReuseEngines(false);
    EXPECT_TRUE(GoneAndReaped(pid));
    ASSERT_EQ(reused.size(), fresh.size() + 2 * std::size(passes));
    for (size_t i = 0; i < reused.size(); ++i) {
        EXPECT_EQ(reused[i], fresh[i % fresh.size()]) << "pass " << i;
    }
}

TEST(EngineReuse, AnEngineThatFailedIsNeverReused) {
    TempFolder scratch;
    const std::string rules = scratch.File("Rules.clp");
    WriteText(rules, kWorld + kColony +
                         "(defrule leave (colony (population high)) => (exit 7))\n"
                         "(defrule fine (colony (population low)) => (assert (raise_population)))\n");
    EngineProcess::ReuseEngines(true);
    pid_t failed = -1;
    {
        EngineProcess engine;
        ASSERT_EQ(engine.Load(rules.c_str()), LoadResult::Loaded) << engine.Problem();
        failed = engine.EnginePid();
        CaptureStderr();
        EXPECT_EQ(engine.Pass(kCrowded), PassResult::EngineFailed);
        GetCapturedStderr();
        EXPECT_TRUE(GoneAndReaped(failed));
    }
    EngineProcess engine;
    ASSERT_EQ(engine.Load(rules.c_str()), LoadResult::Loaded) << engine.Problem();
    EXPECT_TRUE(Exists(engine.EnginePid()));
    ASSERT_EQ(engine.Pass(kPlenty), PassResult::Listed) << engine.Problem();
    EngineProcess::ReuseEngines(false);
}

TEST_F(EngineProcessTest, AbandonedWaitsEndAPassAtOnceAndQuietly) {
    ASSERT_EQ(LoadRules(kWorld + kColony + kJoinExplosion), LoadResult::Loaded);
    const pid_t running = engine.EnginePid();
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EngineProcess::AbandonWaits();
    });
    const auto start = std::chrono::steady_clock::now();
    const PassResult result = engine.Pass(kPlenty);
    const auto took = std::chrono::steady_clock::now() - start;
    stopper.join();
    // Abandoned; on a machine too busy to run the stopper in time, stopped by
    // the backstop.
    EXPECT_TRUE(result == PassResult::Abandoned || result == PassResult::EngineFailed);
    EXPECT_LT(took, std::chrono::seconds(1));
    EXPECT_TRUE(GoneAndReaped(running));
    EXPECT_EQ(engine.Pass(kPlenty), PassResult::Abandoned) << "no pass while ending";
    EngineProcess::ResumeWaits();
}

TEST_F(EngineProcessTest, PrintoutsFollowEchoErrorsAreKeptAndTheTraceNamesTheFiringRules) {
    ASSERT_EQ(LoadRules(kWorld + kColony +
                        "(defrule first (world) => (printout t \"said once\" crlf)"
                        " (assert (step)))\n"
                        "(defrule second (step) => (printout nowhere \"x\"))\n"),
              LoadResult::Loaded);
    CaptureStdout();
    CaptureStderr();
    EXPECT_EQ(engine.Pass(kPlenty), PassResult::Listed);
    engine.SetEcho(true);
    engine.SetTraceRules(true);
    EXPECT_EQ(engine.Pass(kPlenty), PassResult::Listed);
    const std::string out = GetCapturedStdout();
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(out, "said once\n");
    // A logical name nobody answers is the engine's error, kept with the pass
    // for whoever runs it to show.
    EXPECT_NE(std::string(engine.engineErrors.text).find("nowhere"), std::string::npos);
    EXPECT_EQ(err, "");
    ASSERT_EQ(engine.fired.size(), 2u);
    EXPECT_EQ(engine.RuleName(engine.fired[0]), "first");
    EXPECT_EQ(engine.RuleName(engine.fired[1]), "second");
    EXPECT_EQ(engine.firings, 2);
}

TEST_F(EngineProcessTest, TheEngineRunsAloneSandboxedAndLimitedAndEndsWithItsOwner) {
    pid_t pid = -1;
    {
        EngineProcess owner;
        WriteText(rules, std::string(kRuleBaseText, kRuleBaseLength));
        ASSERT_EQ(owner.Load(rules.c_str()), LoadResult::Loaded) << owner.Problem();
        pid = owner.EnginePid();
        ASSERT_TRUE(Exists(pid));

        const std::string status = ProcFile(pid, "status");
        EXPECT_NE(status.find("Seccomp:\t2"), std::string::npos) << status;
        EXPECT_NE(status.find("NoNewPrivs:\t1"), std::string::npos);
        const std::string limits = ProcFile(pid, "limits");
        EXPECT_NE(limits.find("Max address space         268435456"), std::string::npos) << limits;
        EXPECT_NE(limits.find("Max core file size        0"), std::string::npos);
        // Standard input, output and error, and the socket: nothing else.
        int descriptors = 0;
        for (const auto& entry :
             std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
            const int fd = std::stoi(entry.path().filename().string());
            EXPECT_LE(fd, 3) << "descriptor " << fd << " reached the engine";
            ++descriptors;
        }
        EXPECT_EQ(descriptors, 4);
        EXPECT_EQ(ProcFile(pid, "cmdline"), "marrowick-engine" + std::string(1, '\0') +
                                                 std::to_string(getpid()) + std::string(1, '\0'));
    }
    EXPECT_TRUE(GoneAndReaped(pid));
}

TEST(EngineProgram, StartedByHandItSaysWhatItIsAndEnds) {
    char program[4096];
    char error[512];
    ASSERT_TRUE(FindEngineProgram(program, sizeof program, error, sizeof error)) << error;
    const std::string command = std::string(program) + " 2>&1 </dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    const int status = pclose(pipe);
    ASSERT_TRUE(read);
    EXPECT_STREQ(line, "marrowick-engine: marrowick's rule engine; marrowick starts it itself\n");
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

}  // namespace
