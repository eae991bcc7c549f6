// Hostile rule bases (tests/policy/hostile/*.clp, and a generated one) through
// the expert system: each one loads or is refused with a clear message, its
// passes work or fail one by one, and the expert system ends in the right
// state; nothing a rule base does reaches the machine or the program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "colony/Colony.h"
#include "foundation/RandomSource.h"
#include "policy/ExpertSystem.h"
#include "tests/policy/PolicyTestSupport.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

const std::filesystem::path kCorpus =
    std::filesystem::path(MARROWICK_SOURCE_DIR) / "tests" / "policy" / "hostile";
const std::string kBlank(28, ' ');
constexpr int kPasses = ExpertSystem::kMaxFailedPasses;

// Runs the test inside a folder of its own, so whatever a rule base might
// write lands there (and is looked for there).
class InFolder {
public:
    explicit InFolder(const std::string& path) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~InFolder() { std::filesystem::current_path(previous); }

private:
    std::filesystem::path previous;
};

bool HasAny(const std::string& text, const std::string& alternatives) {
    size_t start = 0;
    for (;;) {
        const size_t bar = alternatives.find('|', start);
        if (text.find(alternatives.substr(start, bar - start)) != std::string::npos) return true;
        if (bar == std::string::npos) return false;
        start = bar + 1;
    }
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

struct HostileCase {
    const char* file;
    // Start-up: nullptr when the rule base loads; else what the message says
    // (alternatives split by '|': some faults may show either way first).
    const char* loadProblem;
    // Every pass: nullptr when passes work; else what each failed pass says.
    const char* passProblem;
    // After a working pass.
    const char* populationLine;
    const char* foodLine;
    // A facility the sandbox refused, named once; nullptr when none.
    const char* refused;
};

const HostileCase kCases[] = {
    {"rhs_endless_loop.clp", nullptr, "still at work after 100000 units of work", nullptr, nullptr,
     nullptr},
    {"defglobal_endless_loop.clp", "did more than 100000 units of work while loading", nullptr,
     nullptr, nullptr, nullptr},
    {"endless_recursion.clp", nullptr,
     "crashed during a pass (signal 11, Segmentation fault)|still at work after 100000 units",
     nullptr, nullptr, nullptr},
    {"recursion_while_loading.clp",
     "crashed the rule engine while loading (signal 11, Segmentation fault)|"
     "did more than 100000 units of work while loading",
     nullptr, nullptr, nullptr, nullptr},
    {"multislot_bridge_slot.clp",
     "declares slot \"population\" of template \"colony\" as a multislot", nullptr, nullptr,
     nullptr, nullptr},
    {"extra_multislot.clp", nullptr, nullptr, "", "Lower Food Intake", nullptr},
    {"huge_format_width.clp", nullptr, "crashed during a pass (signal 11, Segmentation fault)",
     nullptr, nullptr, nullptr},
    // The backstop: processor time, or on a machine too busy to give it that
    // much in time, the clock on the wall.
    {"nested_and.clp",
     "used more than 2000 ms of processor time on loading the rule base and was stopped; this "
     "run's results may not be reproducible|"
     "got too little processor time to finish loading the rule base within 10 s and was stopped; "
     "this run's results may not be reproducible",
     nullptr, nullptr, nullptr, nullptr},
    {"templates_in_module.clp", nullptr, nullptr, "Raise Population", "", nullptr},
    {"exit_in_rule.clp", nullptr, "ended during a pass (exit status 0)", nullptr, nullptr, nullptr},
    {"exit_while_loading.clp", "ended the rule engine while loading (exit status 3)", nullptr,
     nullptr, nullptr, nullptr},
    {"system_in_rule.clp", nullptr, nullptr, "", "Raise Food Intake", "system"},
    {"system_while_loading.clp", nullptr, nullptr, "", "Raise Food Intake", "system"},
    {"file_write.clp", nullptr, nullptr, "Lower Population", "", "open"},
    {"file_read.clp", nullptr, nullptr, "Raise Population", "", "open"},
    {"memory_bomb.clp", nullptr, "ran out of memory during a pass (limit 256 MiB)", nullptr,
     nullptr, nullptr},
    {"memory_bomb_while_loading.clp",
     "made the rule engine run out of memory while loading (limit 256 MiB)", nullptr, nullptr,
     nullptr, nullptr},
    {"printout_flood.clp", nullptr, nullptr, "Raise Population", "", nullptr},
    {"join_explosion.clp", nullptr,
     "used more than 500 ms of processor time on a pass and was stopped; this run's results may "
     "not be reproducible|"
     "got too little processor time to finish a pass within 5 s and was stopped; this run's "
     "results may not be reproducible",
     nullptr, nullptr, nullptr},
};

class HostileRuleBases : public ::testing::Test {
protected:
    // Init on the rule base at source (copied to Rules.clp), then kPasses
    // passes; what both said on standard error is kept.
    void Run(const std::string& source) {
        WriteText(scratch.File("Rules.clp"), ReadText(source));
        InFolder inside(scratch.path);
        CaptureStderr();
        expert = std::make_unique<ExpertSystem>();
        expert->Init("Rules.clp");
        initErr = GetCapturedStderr();
        loadedOn = expert->on;

        colony->gatheringShare = 20.0f;
        colony->meanderingShare = 50.0f;
        colony->wanderingShare = 10.0f;
        colony->reproducingShare = 20.0f;
        std::strcpy(expert->populationAction, "kept");
        std::strcpy(expert->foodAction, "kept too");
        CaptureStderr();
        for (int pass = 0; pass < kPasses; ++pass) {
            if (expert->on) expert->Run(*colony, 156 + 52 * pass);
        }
        expert->messages.Summarise();  // the repeat counts a run prints at its end
        passErr = GetCapturedStderr();
    }

    // Files the rule base left in its folder (Rules.clp aside).
    std::set<std::string> Leftovers() const {
        std::set<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(scratch.path)) {
            if (entry.path().filename() != "Rules.clp") files.insert(entry.path().filename());
        }
        return files;
    }

    TempFolder scratch;
    RandomSource random;
    std::unique_ptr<Colony> colony = std::make_unique<Colony>(random);
    std::unique_ptr<ExpertSystem> expert;
    std::string initErr;
    std::string passErr;
    bool loadedOn = false;
};

TEST_F(HostileRuleBases, EachEndsInTheRightStateWithAClearMessage) {
    std::set<std::string> covered;
    for (const HostileCase& c : kCases) {
        SCOPED_TRACE(c.file);
        covered.insert(c.file);
        Run((kCorpus / c.file).string());
        EXPECT_EQ(Leftovers(), std::set<std::string>{}) << "the rule base touched the machine";
        const std::string said = initErr + passErr;
        if (c.refused != nullptr) {
            EXPECT_EQ(Count(said, std::string("marrowick: the rule base called `") + c.refused +
                                      "`, which the sandbox does not allow\n"),
                      1u)
                << said;
        } else {
            EXPECT_EQ(said.find("the sandbox does not allow"), std::string::npos) << said;
        }
        if (c.loadProblem != nullptr) {
            EXPECT_FALSE(loadedOn);
            EXPECT_TRUE(HasAny(initErr, c.loadProblem)) << initErr;
            EXPECT_NE(initErr.find("the expert system is off"), std::string::npos) << initErr;
            EXPECT_EQ(passErr, "");
            continue;
        }
        EXPECT_TRUE(loadedOn) << initErr;
        if (c.refused == nullptr) {
            EXPECT_EQ(initErr, "");
        }
        if (c.passProblem != nullptr) {
            // Each failure is said once and its repeats counted; the third
            // failure switches the system off; nothing the failed passes
            // concluded reached the colony.
            EXPECT_EQ(Count(passErr, "unchanged\n"), 2u) << "said, then counted: " << passErr;
            EXPECT_EQ(Count(passErr, "marrowick: 2 more times: "), 1u) << passErr;
            EXPECT_TRUE(HasAny(passErr, c.passProblem)) << passErr;
            EXPECT_EQ(Count(passErr, "the rule base failed 3 of its last 10 passes; the expert "
                                     "system is off from step 260\n"),
                      1u)
                << passErr;
            EXPECT_EQ(expert->failedPasses, kPasses);
            EXPECT_EQ(expert->offStep, 260);
            EXPECT_EQ(colony->gatheringShare, 20.0f);
            EXPECT_EQ(colony->meanderingShare, 50.0f);
            EXPECT_EQ(colony->wanderingShare, 10.0f);
            EXPECT_EQ(colony->reproducingShare, 20.0f);
            EXPECT_STREQ(expert->populationAction, "kept");
            EXPECT_STREQ(expert->foodAction, "kept too");
            EXPECT_FALSE(expert->on);
            continue;
        }
        if (c.refused == nullptr) {
            EXPECT_EQ(passErr, "");
        }
        EXPECT_TRUE(expert->on);
        EXPECT_EQ(expert->failedPasses, 0);
        EXPECT_EQ(expert->populationAction, std::string(*c.populationLine ? c.populationLine : kBlank));
        EXPECT_EQ(expert->foodAction, std::string(*c.foodLine ? c.foodLine : kBlank));
    }
    // Every rule base of the corpus has its row.
    for (const auto& entry : std::filesystem::directory_iterator(kCorpus)) {
        EXPECT_EQ(covered.count(entry.path().filename().string()), 1u)
            << entry.path().filename() << " has no expectation";
    }
}

// The engine library reads a long symbol in time that grows with its square:
// a symbol of nearly a megabyte (the largest rule base) is refused by the
// backstop, which says that this is no reproducible outcome.
TEST_F(HostileRuleBases, AMegabyteSymbolIsRefusedInTime) {
    const std::string source = scratch.File("symbol.clp");
    WriteText(source, ReadText((kCorpus / "extra_multislot.clp").string()) +
                          "(defrule big (world) => (assert (" + std::string(1000000, 'a') +
                          ")))\n");
    Run(source);
    std::filesystem::remove(source);
    EXPECT_FALSE(loadedOn);
    EXPECT_TRUE(HasAny(initErr,
                       "used more than 2000 ms of processor time on loading the rule base and was "
                       "stopped; this run's results may not be reproducible; the expert system is "
                       "off|got too little processor time to finish loading the rule base within "
                       "10 s and was stopped; this run's results may not be reproducible; the "
                       "expert system is off"))
        << initErr;
}

// Failures count over the last ten passes, not in a row: failures that
// alternate with good passes switch the system off as surely, and only those
// that drop out of the window stop counting. Each distinct message once.
TEST_F(HostileRuleBases, ThreeFailuresAmongTheLastTenSwitchTheExpertSystemOff) {
    WriteText(scratch.File("Rules.clp"),
              "(deftemplate world (slot food_supply) (slot change_FS))\n"
              "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
              " (slot num_gathering_ants))\n"
              "(defrule leave (colony (population high)) => (exit 1))\n"
              "(defrule spin (colony (population stable)) => (while TRUE do (bind ?x 1)))\n"
              "(defrule stay (colony (population low)) => (assert (raise_population)))\n");
    InFolder inside(scratch.path);
    expert = std::make_unique<ExpertSystem>();
    CaptureStderr();
    expert->Init("Rules.clp");
    ASSERT_TRUE(expert->on);
    // population: "high" above 400 ants, "stable" above 300, "low" up to 300.
    const struct {
        int32_t population;
        bool onAfter;
    } passes[] = {
        {500, true},  {100, true},  {100, true},  {100, true},  {100, true},  {100, true},
        {100, true},  {100, true},  {100, true},  {100, true},  {350, true},  // the first left the window
        {100, true},  {500, true},  {100, true},  {350, false},               // every second fails
    };
    for (size_t i = 0; i < std::size(passes); ++i) {
        colony->population = passes[i].population;
        expert->Run(*colony, static_cast<int64_t>(i));
        EXPECT_EQ(expert->on, passes[i].onAfter) << "after pass " << i;
    }
    expert->messages.Summarise();
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(Count(err, "the rule engine ended during a pass (exit status 1); the role shares "
                         "are left unchanged\n"),
              2u)
        << "said, then counted: " << err;
    EXPECT_EQ(Count(err, "marrowick: 1 more time: the rule engine ended during a pass"), 1u) << err;
    EXPECT_EQ(Count(err, "still at work after"), 2u) << "once, and once in the repeat counts: " << err;
    EXPECT_EQ(Count(err, "the expert system is off from step 14\n"), 1u) << err;
    EXPECT_EQ(expert->failedPasses, 4);
    EXPECT_EQ(expert->cutOffPasses, 2);
    EXPECT_EQ(expert->offStep, 14);
    EXPECT_STREQ(expert->populationAction, "Raise Population") << "from the last good pass";

    // Switched on again by command: passes run again on a fresh engine.
    expert->on = true;
    colony->population = 100;
    expert->Run(*colony, 15);
    EXPECT_TRUE(expert->on);
    ASSERT_EQ(expert->engine.conclusionCount, 1u);
    EXPECT_EQ(expert->engine.conclusions[0], Conclusion::RaisePopulation);
}

}  // namespace
