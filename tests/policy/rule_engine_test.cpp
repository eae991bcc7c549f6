// The rule engine wrapper: its routers (console, errors), the conclusions it
// reads from the fact list and the work budget that bounds a pass.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "policy/RuleEngine.h"
#include "tests/policy/PolicyTestSupport.h"

extern "C" {
#include <clips/clips.h>
}

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

TEST(RuleEngine, ConsoleOutputIsDroppedUnlessEchoedAndErrorsGoToStandardError) {
    RuleEngine engine;
    void* env = engine.Environment();
    DATA_OBJECT result;

    CaptureStdout();
    CaptureStderr();
    EnvEval(env, "(printout t \"quiet line\" crlf)", &result);
    EnvPrintRouter(env, "werror", "an error\n");
    EnvPrintRouter(env, "wwarning", "a warning\n");
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    const std::string err = GetCapturedStderr();
    EXPECT_NE(err.find("an error"), std::string::npos);
    EXPECT_NE(err.find("a warning"), std::string::npos);
    EXPECT_EQ(err.find("quiet line"), std::string::npos);

    engine.SetEcho(true);
    CaptureStdout();
    CaptureStderr();
    EnvEval(env, "(printout t \"echoed line\" crlf)", &result);
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "echoed line\n");
    EXPECT_EQ(GetCapturedStderr(), "");
}

// The engine process runs with capture on: nothing reaches its standard
// streams, and a flood of output is cut at the buffers' capacity.
TEST(RuleEngine, CaptureKeepsPrintoutsAndErrorsInBoundedBuffers) {
    RuleEngine engine;
    engine.SetCapture(true);
    const std::string text =
        "(deftemplate world (slot food_supply) (slot change_FS))\n"
        "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
        " (slot num_gathering_ants))\n"
        "(defrule talk (world) => (loop-for-count (?i 1 1000) do (printout t \"0123456789\" crlf))"
        " (printout nowhere x))\n";
    CaptureStdout();
    CaptureStderr();
    ASSERT_EQ(engine.LoadText("talk.clp", text.data(), text.size()), LoadResult::Loaded);
    const PassFacts facts{"high", "stable", "high", "low", "stable", "low"};
    EXPECT_EQ(engine.Pass(facts), PassResult::Listed);
    EXPECT_EQ(engine.consoleText.length, 0u) << "printouts are dropped without echo";
    engine.SetEcho(true);
    EXPECT_EQ(engine.Pass(facts), PassResult::Listed);
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_EQ(GetCapturedStderr(), "");
    EXPECT_TRUE(engine.consoleText.overflow);
    EXPECT_EQ(engine.consoleText.length, RuleEngine::kCaptureCapacity - 1);
    EXPECT_EQ(std::string(engine.consoleText.text).substr(0, 11), "0123456789\n");
    EXPECT_NE(std::string(engine.errorText.text).find("nowhere"), std::string::npos);
    EXPECT_FALSE(engine.errorText.overflow);
}

TEST(RuleEngine, LoadErrorsGoToStandardErrorNotStandardOutput) {
    TempFolder scratch;
    const std::string file = scratch.File("Broken.clp");
    WriteText(file, "(defrule broken\r\n\t(a)\r\n\t=>\r\n\t(undefined-function))\r\n");
    RuleEngine engine;
    CaptureStdout();
    CaptureStderr();
    EXPECT_NE(EnvLoad(engine.Environment(), file.c_str()), 1);
    std::fflush(nullptr);
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_NE(GetCapturedStderr().find("undefined-function"), std::string::npos);
}

const std::string kTemplates =
    "(deftemplate world (slot food_supply) (slot change_FS))\n"
    "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
    " (slot num_gathering_ants))\n";
const PassFacts kFacts{"high", "stable", "high", "low", "stable", "low"};

std::vector<std::string> Names(const RuleEngine& engine) {
    std::vector<std::string> names;
    for (size_t i = 0; i < engine.conclusionCount; ++i) names.push_back(ConclusionName(engine.conclusions[i]));
    return names;
}

// A conclusion is a fact whose relation is its name, wherever it stands in
// however long a fact list; the word elsewhere (another relation's field, a
// string, a slot's default, a printout) is none.
TEST(RuleEngine, ConclusionsAreTheFactsNamedAfterThemInFactListOrder) {
    const struct {
        const char* name;
        const char* rules;
        std::vector<std::string> conclusions;
    } cases[] = {
        {"plain facts in assertion order",
         "(defrule r (world) => (assert (lower_population)) (assert (raise_food_intake)))",
         {"lower_population", "raise_food_intake"}},
        {"the word in another relation, a string, a printout",
         "(defrule r (world) => (assert (avoid lower_population)) (assert (note \"raise_population\"))"
         " (printout t raise_food_intake crlf) (printout werror over_using_food crlf))",
         {}},
        {"a slot's default and a template named after a conclusion",
         "(deftemplate advice (slot say (default raise_population)))\n"
         "(deftemplate use_everyone_for_food (slot why))\n"
         "(defrule r (world) => (assert (advice)) (assert (use_everyone_for_food (why hunger))))",
         {"use_everyone_for_food"}},
        {"a conclusion with fields of its own",
         "(defrule r (world) => (assert (lower_food_intake soon)) (assert (lower_food_intake later)))",
         {"lower_food_intake", "lower_food_intake"}},
        {"the internal listing name printed to",
         "(defrule r (world) => (printout proir \"f-9 (raise_population)\" crlf))", {}},
        {"behind three thousand other facts",
         "(defrule r (world) => (assert (raise_population))"
         " (loop-for-count (?i 1 3000) do (assert (filler ?i \"a longer piece of text\")))"
         " (assert (lower_population)))",
         {"raise_population", "lower_population"}},
        {"a retracted one is gone",
         "(defrule r (world) => (bind ?f (assert (raise_population))) (retract ?f)"
         " (assert (over_using_food)))",
         {"over_using_food"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RuleEngine engine;
        engine.SetCapture(true);
        const std::string text = kTemplates + c.rules + "\n";
        ASSERT_EQ(engine.LoadText("r.clp", text.data(), text.size()), LoadResult::Loaded)
            << engine.errorText.text;
        EXPECT_EQ(engine.Pass(kFacts), PassResult::Listed) << engine.errorText.text;
        EXPECT_EQ(Names(engine), c.conclusions);
    }
}

// Work: the same pass does the same work every time, a loop's turns and the
// firings count as documented, a pass that would run past its budget is
// halted there (deterministically, without a word from the engine about the
// halt) and the next pass runs on the same engine as if nothing had happened.
TEST(RuleEngine, APassIsBoundedByItsWorkAndTheSameWorkEveryTime) {
    const auto run = [](int64_t turns, RuleEngine& engine) {
        const std::string text = kTemplates +
                                 "(defrule r (world) => (loop-for-count (?i 1 " + std::to_string(turns) +
                                 ") do (bind ?x ?i)) (assert (raise_population)))\n"
                                 "(defrule s (raise_population) => (printout werror \"said\" crlf))\n";
        engine.SetCapture(true);
        EXPECT_EQ(engine.LoadText("w.clp", text.data(), text.size()), LoadResult::Loaded);
    };
    RuleEngine small;
    run(1000, small);
    ASSERT_EQ(small.Pass(kFacts), PassResult::Listed);
    const int64_t base = small.work - 1000;
    EXPECT_EQ(small.firings, 2);
    EXPECT_GE(base, 2 * kFiringWork) << "each firing counts " << kFiringWork;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(small.Pass(kFacts), PassResult::Listed);
        EXPECT_EQ(small.work, base + 1000) << "the same pass, other work";
    }

    const struct {
        int64_t turns;
        PassResult result;
    } budgetCases[] = {
        {kPassWorkBudget - base, PassResult::Listed},
        {kPassWorkBudget - base + 1, PassResult::CutOff},
        {10 * kPassWorkBudget, PassResult::CutOff},
    };
    for (const auto& c : budgetCases) {
        SCOPED_TRACE(c.turns);
        RuleEngine engine;
        run(c.turns, engine);
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(engine.Pass(kFacts), c.result);
            if (c.result == PassResult::CutOff) {
                EXPECT_EQ(engine.conclusionCount, 0u);
                EXPECT_EQ(engine.work, kPassWorkBudget + 1);
                EXPECT_STREQ(engine.errorText.text, "") << "the halt is no message of the rule base's";
            } else {
                EXPECT_EQ(engine.work, kPassWorkBudget);
                EXPECT_STREQ(engine.errorText.text, "said\n");
            }
        }
    }

    // Firings count too: an endless chain of them is cut off at the budget.
    RuleEngine chain;
    chain.SetCapture(true);
    const std::string text = kTemplates +
                             "(defrule start (world) => (assert (n 0)))\n"
                             "(defrule next ?f <- (n ?i) => (retract ?f) (assert (n (+ ?i 1))))\n";
    ASSERT_EQ(chain.LoadText("c.clp", text.data(), text.size()), LoadResult::Loaded);
    EXPECT_EQ(chain.Pass(kFacts), PassResult::CutOff);
    EXPECT_LE(chain.firings, kPassWorkBudget / kFiringWork + 1);
}

TEST(RuleEngine, TooManyConclusionsFailThePassAndTooMuchWorkFailsALoad) {
    RuleEngine engine;
    engine.SetCapture(true);
    const std::string many = kTemplates + "(defrule r (world) => (loop-for-count (?i 1 " +
                             std::to_string(RuleEngine::kMaxConclusions + 1) +
                             ") do (assert (raise_population ?i))))\n";
    ASSERT_EQ(engine.LoadText("m.clp", many.data(), many.size()), LoadResult::Loaded);
    EXPECT_EQ(engine.Pass(kFacts), PassResult::TooManyConclusions);
    EXPECT_EQ(engine.conclusionCount, 0u);

    RuleEngine loading;
    loading.SetCapture(true);
    const std::string slow = kTemplates + "(defglobal ?*x* = (loop-for-count (?i 1 " +
                             std::to_string(2 * kLoadWorkBudget) + ") do (bind ?y ?i)))\n";
    EXPECT_EQ(loading.LoadText("s.clp", slow.data(), slow.size()), LoadResult::OverBudget);
    EXPECT_GT(loading.work, kLoadWorkBudget);
}

}  // namespace
