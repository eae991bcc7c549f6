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
};

const HostileCase kCases[] = {
    {"rhs_endless_loop.clp", nullptr, "took longer than 50 ms over a pass", nullptr, nullptr},
    {"defglobal_endless_loop.clp", "took longer than 200 ms to load", nullptr, nullptr, nullptr},
    {"endless_recursion.clp", nullptr,
     "crashed during a pass (signal 11, Segmentation fault)|took longer than 50 ms", nullptr,
     nullptr},
    {"recursion_while_loading.clp",
     "crashed the rule engine while loading (signal 11, Segmentation fault)|"
     "took longer than 200 ms to load",
     nullptr, nullptr, nullptr},
    {"multislot_bridge_slot.clp",
     "declares slot \"population\" of template \"colony\" as a multislot", nullptr, nullptr,
     nullptr},
    {"extra_multislot.clp", nullptr, nullptr, "", "Lower Food Intake"},
    {"huge_format_width.clp", nullptr, "crashed during a pass (signal 11, Segmentation fault)",
     nullptr, nullptr},
    {"nested_and.clp", "took longer than 200 ms to load", nullptr, nullptr, nullptr},
    {"templates_in_module.clp", nullptr, nullptr, "Raise Population", ""},
    {"exit_in_rule.clp", nullptr, "ended during a pass (exit status 0)", nullptr, nullptr},
    {"exit_while_loading.clp", "ended the rule engine while loading (exit status 3)", nullptr,
     nullptr, nullptr},
    {"system_in_rule.clp", nullptr, nullptr, "", "Raise Food Intake"},
    {"system_while_loading.clp", nullptr, nullptr, "", "Raise Food Intake"},
    {"file_write.clp", nullptr, nullptr, "Lower Population", ""},
    {"file_read.clp", nullptr, nullptr, "Raise Population", ""},
    {"memory_bomb.clp", nullptr,
     "ran out of memory during a pass (limit 256 MiB)|took longer than 50 ms", nullptr, nullptr},
    {"memory_bomb_while_loading.clp",
     "made the rule engine run out of memory while loading (limit 256 MiB)|"
     "took longer than 200 ms to load",
     nullptr, nullptr, nullptr},
    {"printout_flood.clp", nullptr, nullptr, "Raise Population", ""},
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
            if (expert->on) expert->Run(*colony);
        }
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
        if (c.loadProblem != nullptr) {
            EXPECT_FALSE(loadedOn);
            EXPECT_TRUE(HasAny(initErr, c.loadProblem)) << initErr;
            EXPECT_NE(initErr.find("the expert system is off"), std::string::npos) << initErr;
            EXPECT_EQ(passErr, "");
            continue;
        }
        EXPECT_TRUE(loadedOn) << initErr;
        EXPECT_EQ(initErr, "");
        if (c.passProblem != nullptr) {
            // One line per failed pass, then off after the third in a row;
            // nothing the failed passes concluded reached the colony.
            EXPECT_EQ(Count(passErr, "the role shares are left unchanged"), size_t{kPasses})
                << passErr;
            EXPECT_TRUE(HasAny(passErr, c.passProblem)) << passErr;
            EXPECT_NE(passErr.find("failed 3 passes in a row; the expert system is off"),
                      std::string::npos)
                << passErr;
            EXPECT_EQ(colony->gatheringShare, 20.0f);
            EXPECT_EQ(colony->meanderingShare, 50.0f);
            EXPECT_EQ(colony->wanderingShare, 10.0f);
            EXPECT_EQ(colony->reproducingShare, 20.0f);
            EXPECT_STREQ(expert->populationAction, "kept");
            EXPECT_STREQ(expert->foodAction, "kept too");
            EXPECT_FALSE(expert->on);
            continue;
        }
        EXPECT_EQ(passErr, "");
        EXPECT_TRUE(expert->on);
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
// a megabyte of one symbol is refused by the load budget.
TEST_F(HostileRuleBases, AMegabyteSymbolIsRefusedInTime) {
    const std::string source = scratch.File("symbol.clp");
    WriteText(source, ReadText((kCorpus / "extra_multislot.clp").string()) +
                          "(defrule big (world) => (assert (" + std::string(1u << 20, 'a') +
                          ")))\n");
    Run(source);
    std::filesystem::remove(source);
    EXPECT_FALSE(loadedOn);
    EXPECT_NE(initErr.find("took longer than 200 ms to load; the expert system is off"),
              std::string::npos)
        << initErr;
}

// Only failures in a row count: a pass that lists its facts starts the count
// again, and the expert system goes off at the third failure in a row.
TEST_F(HostileRuleBases, ThreeFailedPassesInARowSwitchTheExpertSystemOff) {
    WriteText(scratch.File("Rules.clp"),
              "(deftemplate world (slot food_supply) (slot change_FS))\n"
              "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
              " (slot num_gathering_ants))\n"
              "(defrule leave (colony (population high)) => (exit 1))\n"
              "(defrule stay (colony (population low)) => (assert (raise_population)))\n");
    InFolder inside(scratch.path);
    expert = std::make_unique<ExpertSystem>();
    CaptureStderr();
    expert->Init("Rules.clp");
    ASSERT_TRUE(expert->on);
    // population: "high" above 400 ants, "low" up to 300.
    const int32_t populations[] = {500, 500, 100, 500, 500, 100, 500, 500, 500};
    const bool onAfter[] = {true, true, true, true, true, true, true, true, false};
    for (size_t i = 0; i < std::size(populations); ++i) {
        colony->population = populations[i];
        expert->Run(*colony);
        EXPECT_EQ(expert->on, onAfter[i]) << "after pass " << i;
    }
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(Count(err, "the rule engine ended during a pass (exit status 1); the role shares "
                         "are left unchanged\n"),
              7u)
        << err;
    EXPECT_EQ(Count(err, "the expert system is off"), 1u) << err;
    EXPECT_STREQ(expert->populationAction, "Raise Population") << "from the last good pass";

    // Switched on again by command: passes run again on a fresh engine.
    expert->on = true;
    colony->population = 100;
    expert->Run(*colony);
    EXPECT_TRUE(expert->on);
    EXPECT_NE(std::string(expert->engine.factListing).find("(raise_population)"), std::string::npos);
}

}  // namespace
