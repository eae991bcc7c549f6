// The colony's expert system on the real engine: providing and loading the
// rule base, classifying the colony into facts, and retuning the shares.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "colony/Colony.h"
#include "policy/ExpertSystem.h"
#include "policy/RuleBaseFile.h"
#include "foundation/RandomSource.h"
#include "policy/RuleBaseText.h"
#include "tests/policy/PolicyTestSupport.h"

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

const std::string kBlank(28, ' ');

// The two templates with every slot the pass fills in, for hand-made rule bases.
const std::string kTemplates =
    "(deftemplate world (slot food_supply) (slot change_FS))\r\n"
    "(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)"
    " (slot num_gathering_ants))\r\n";

class ExpertSystemTest : public ::testing::Test {
protected:
    std::string RulesPath() const { return scratch.File("Rules.clp"); }

    // Builds a colony on RulesPath() (the built-in rules written there when
    // the test wrote none), capturing what construction prints.
    void Build() {
        ProvideRuleBase(RulesPath().c_str());
        BuildOn(RulesPath());
    }
    void BuildOn(const std::string& path) {
        CaptureStdout();
        CaptureStderr();
        colony = std::make_unique<Colony>(random);
        expert = std::make_unique<ExpertSystem>();
        expert->Init(path.c_str());
        std::fflush(nullptr);
        constructionOut = GetCapturedStdout();
        constructionErr = GetCapturedStderr();
    }

    void SetShares(float gathering, float meandering, float wandering, float reproducing) {
        colony->gatheringShare = gathering;
        colony->meanderingShare = meandering;
        colony->wanderingShare = wandering;
        colony->reproducingShare = reproducing;
    }

    // The value the last pass gave a slot, as its journal records it.
    std::string Slot(const char* name) const {
        if (expert->journal.passes == 0) return "<no pass>";
        const PassRecord& record = expert->journal.Back(0);
        for (size_t i = 0; i < kSymbolCount; ++i) {
            if (std::strcmp(kSymbolSlots[i], name) == 0) return record.symbols[i];
        }
        return "<missing>";
    }

    TempFolder scratch;
    RandomSource random;
    std::unique_ptr<Colony> colony;
    std::unique_ptr<ExpertSystem> expert;
    std::string constructionOut;
    std::string constructionErr;
};

// ---------------------------------------------------------------------------
// Providing and loading the rule base.

// Loading only reads: no file name means the built-in rules, from memory,
// and a missing file is refused without a file being made.
TEST_F(ExpertSystemTest, WithoutAFileTheBuiltInRulesLoadFromMemoryAndNothingIsWritten) {
    BuildOn("");
    EXPECT_TRUE(expert->on);
    EXPECT_TRUE(expert->engine.Ready());
    EXPECT_STREQ(expert->engine.RulesPath(), ExpertSystem::kBuiltInRulesName);
    EXPECT_TRUE(expert->firstPass);
    EXPECT_STREQ(expert->populationAction, "");
    EXPECT_STREQ(expert->foodAction, "");
    EXPECT_EQ(constructionOut, "");
    EXPECT_EQ(constructionErr, "");
    EXPECT_TRUE(std::filesystem::is_empty(scratch.path)) << "nothing is left behind";

    BuildOn(RulesPath());
    EXPECT_FALSE(expert->on);
    EXPECT_FALSE(std::filesystem::exists(RulesPath()));
    EXPECT_NE(constructionErr.find("is missing; the expert system is off"), std::string::npos)
        << constructionErr;
}

TEST_F(ExpertSystemTest, TheFirstUseCopyIsWrittenInPlaceWhenTheTemporaryNameIsTaken) {
    const std::string stale = RulesPath() + "." + std::to_string(getpid()) + ".new";
    WriteText(stale, "left over");
    int error = 0;
    ASSERT_TRUE(ProvideRuleBaseAt(RulesPath().c_str(), error));
    EXPECT_EQ(ReadText(RulesPath()), std::string(kRuleBaseText, kRuleBaseLength));
    EXPECT_EQ(ReadText(stale), "left over") << "a file that is not ours stays";
    BuildOn(RulesPath());
    EXPECT_TRUE(expert->on);
}

TEST_F(ExpertSystemTest, UsesAnExistingRuleBaseAndNeverWritesOverIt) {
    const std::string custom = kTemplates +
                               "(defrule always (world) => (assert (lower_food_intake)))\r\n";
    WriteText(RulesPath(), custom);
    Build();
    EXPECT_EQ(ReadText(RulesPath()), custom);
    ASSERT_TRUE(expert->on);
    expert->Run(*colony);
    EXPECT_STREQ(expert->foodAction, "Lower Food Intake");
    EXPECT_EQ(expert->populationAction, kBlank);
    EXPECT_EQ(ReadText(RulesPath()), custom);
}

TEST_F(ExpertSystemTest, SyntaxErrorTurnsTheSystemOffWithAMessageOnStandardError) {
    const std::string broken = kTemplates + "(defrule broken (world) => (assert (x)\r\n";
    WriteText(RulesPath(), broken);
    Build();
    EXPECT_FALSE(expert->on);
    EXPECT_EQ(ReadText(RulesPath()), broken) << "a broken file is not replaced";
    EXPECT_EQ(constructionOut, "");
    EXPECT_NE(constructionErr.find(RulesPath()), std::string::npos) << constructionErr;
    EXPECT_NE(constructionErr.find("expert system is off"), std::string::npos);
}

TEST_F(ExpertSystemTest, RuleBaseWithoutTheTemplatesTurnsTheSystemOffAndPassesDoNothing) {
    const char* const bases[] = {
        "(defrule lonely (a) => (assert (b)))\r\n",
        // Templates of the right names but without the slots the pass fills.
        "(deftemplate world (slot food_supply))\r\n"
        "(deftemplate colony (slot population))\r\n",
    };
    for (const char* base : bases) {
        SCOPED_TRACE(base);
        WriteText(RulesPath(), base);
        Build();
        EXPECT_FALSE(expert->on);
        EXPECT_NE(constructionErr.find(RulesPath()), std::string::npos) << constructionErr;

        // Switched on by command anyway: the pass changes nothing.
        expert->on = true;
        SetShares(1.0f, 2.0f, 3.0f, 4.0f);
        std::strcpy(expert->populationAction, "before");
        expert->Run(*colony);
        EXPECT_EQ(colony->gatheringShare, 1.0f);
        EXPECT_EQ(colony->meanderingShare, 2.0f);
        EXPECT_EQ(colony->wanderingShare, 3.0f);
        EXPECT_EQ(colony->reproducingShare, 4.0f);
        EXPECT_STREQ(expert->populationAction, "before");
        EXPECT_STREQ(expert->foodAction, "");
        EXPECT_TRUE(expert->firstPass);
    }
}

TEST_F(ExpertSystemTest, RuleBaseThatCannotBeReadTurnsTheSystemOff) {
    const std::string missingFolder = scratch.File("no-such-folder/Rules.clp");
    CaptureStderr();
    expert = std::make_unique<ExpertSystem>();
    expert->Init(missingFolder.c_str());
    const std::string err = GetCapturedStderr();
    EXPECT_FALSE(expert->on);
    EXPECT_NE(err.find(missingFolder), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(missingFolder));
}

TEST_F(ExpertSystemTest, RunawayRuleBaseIsCutOffAndLeavesSharesAndLinesAlone) {
    WriteText(RulesPath(), kTemplates +
                               "(defrule start (world) => (assert (counter 0))"
                               " (assert (raise_population)))\r\n"
                               "(defrule spin ?f <- (counter ?n) => (retract ?f)"
                               " (assert (counter (+ ?n 1))))\r\n");
    Build();
    ASSERT_TRUE(expert->on);
    SetShares(20.0f, 50.0f, 10.0f, 20.0f);
    std::strcpy(expert->populationAction, "kept");
    std::strcpy(expert->foodAction, "kept too");
    CaptureStderr();
    expert->Run(*colony);
    expert->Run(*colony);
    expert->messages.Summarise();
    const std::string err = GetCapturedStderr();
    EXPECT_EQ(colony->gatheringShare, 20.0f);
    EXPECT_EQ(colony->meanderingShare, 50.0f);
    EXPECT_EQ(colony->wanderingShare, 10.0f);
    EXPECT_EQ(colony->reproducingShare, 20.0f);
    EXPECT_STREQ(expert->populationAction, "kept");
    EXPECT_STREQ(expert->foodAction, "kept too");
    EXPECT_EQ(expert->cutOffPasses, 2);
    EXPECT_EQ(expert->failedPasses, 2);
    EXPECT_TRUE(expert->on) << "two failures of the last ten are not yet three";
    // Said once, not at every pass: then counted.
    EXPECT_EQ(err,
              "marrowick: the rules were still at work after 100000 units of work; the pass was "
              "abandoned and the role shares left unchanged\n"
              "marrowick: 1 more time: the rules were still at work after 100000 units of work; "
              "the pass was abandoned and the role shares left unchanged\n");
}

TEST_F(ExpertSystemTest, ALongFactListLosesNoConclusion) {
    // 1500 filler facts between an early and a late conclusion: both act.
    WriteText(RulesPath(), kTemplates +
                               "(defrule start (world) => (assert (raise_population))"
                               " (assert (fill 0)))\r\n"
                               "(defrule fill ?f <- (fill ?n&:(< ?n 1500)) => (retract ?f)"
                               " (assert (filler ?n \"with some text beside it\")) (assert (fill (+ ?n 1))))\r\n"
                               "(defrule done (fill 1500) => (assert (lower_population)))\r\n");
    Build();
    ASSERT_TRUE(expert->on);
    CaptureStderr();
    expert->Run(*colony);
    EXPECT_EQ(GetCapturedStderr(), "");
    const PassRecord& record = expert->journal.Back(0);
    EXPECT_EQ(record.outcome, PassOutcome::Listed);
    ASSERT_EQ(record.conclusionCount, 2);
    EXPECT_EQ(record.conclusions[0], Conclusion::RaisePopulation);
    EXPECT_EQ(record.conclusions[1], Conclusion::LowerPopulation);
    EXPECT_STREQ(expert->populationAction, "Lower Population") << "the later one wins the line";
    EXPECT_FLOAT_EQ(colony->reproducingShare, 10.0f);
}

// ---------------------------------------------------------------------------
// Classification.

TEST_F(ExpertSystemTest, ClassifiesAgainstTheThresholds) {
    Build();
    ASSERT_TRUE(expert->on);
    struct Case {
        int32_t foodSupply;
        float foodReserves;
        int32_t population;
        int32_t gatherers;
        const char* supplyWord;
        const char* reservesWord;
        const char* populationWord;
        const char* gatherersWord;
    } const cases[] = {
        {800, 200.0f, 300, 60, "normal", "low", "low", "low"},
        {801, 200.5f, 301, 61, "high", "stable", "stable", "normal"},
        {400, 400.0f, 400, 100, "low", "stable", "stable", "normal"},
        {401, 400.5f, 401, 101, "normal", "high", "high", "high"},
        {0, 0.0f, 0, 0, "low", "low", "low", "low"},
        {16384, -3.0f, 16384, 16384, "high", "low", "high", "high"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.foodSupply << " " << c.foodReserves << " "
                                        << c.population << " " << c.gatherers);
        expert->firstPass = true;  // keeps both changes stable
        colony->foodSupply = c.foodSupply;
        colony->foodReserves = c.foodReserves;
        colony->population = c.population;
        colony->gatherers = c.gatherers;
        expert->Run(*colony);
        EXPECT_EQ(Slot("food_supply"), c.supplyWord);
        EXPECT_EQ(Slot("food_reserves"), c.reservesWord);
        EXPECT_EQ(Slot("population"), c.populationWord);
        EXPECT_EQ(Slot("num_gathering_ants"), c.gatherersWord);
        EXPECT_EQ(Slot("change_FS"), "stable");
        EXPECT_EQ(Slot("change_FR"), "stable");
    }
}

TEST_F(ExpertSystemTest, ChangesAgainstTheFirstPassHaveADeadBandOfFour) {
    Build();
    colony->foodSupply = 500;
    colony->foodReserves = 300.7f;
    expert->Run(*colony);
    EXPECT_FALSE(expert->firstPass);
    EXPECT_EQ(expert->baselineFoodSupply, 500);
    EXPECT_EQ(expert->baselineFoodReserves, 300) << "truncated toward zero";
    EXPECT_EQ(Slot("change_FS"), "stable");
    EXPECT_EQ(Slot("change_FR"), "stable");

    struct Case {
        int32_t foodSupply;
        float foodReserves;
        const char* supplyChange;
        const char* reservesChange;
    } const cases[] = {
        {504, 304.9f, "stable", "stable"},          {505, 305.0f, "increasing", "increasing"},
        {496, 295.1f, "stable", "stable"},          {495, 295.0f, "decreasing", "decreasing"},
        {500, 300.0f, "stable", "stable"},          {16000, 1e30f, "increasing", "increasing"},
        {0, -1e30f, "decreasing", "decreasing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.foodSupply << " " << c.foodReserves);
        colony->foodSupply = c.foodSupply;
        colony->foodReserves = c.foodReserves;
        expert->Run(*colony);
        EXPECT_EQ(Slot("change_FS"), c.supplyChange);
        EXPECT_EQ(Slot("change_FR"), c.reservesChange);
        EXPECT_EQ(expert->baselineFoodSupply, 500) << "baselines are taken once";
        EXPECT_EQ(expert->baselineFoodReserves, 300);
    }
}

TEST_F(ExpertSystemTest, BaselineOfReservesBeyondTheIntegerRangeIsClamped) {
    Build();
    colony->foodReserves = 1e20f;
    expert->Run(*colony);
    EXPECT_EQ(expert->baselineFoodReserves, INT32_MAX);
    expert->firstPass = true;
    colony->foodReserves = std::nanf("");
    expert->Run(*colony);
    EXPECT_EQ(expert->baselineFoodReserves, 0);
    EXPECT_EQ(Slot("change_FR"), "stable");
}

// ---------------------------------------------------------------------------
// Conclusions and shares.

struct ShareCase {
    const char* name;
    // The colony at the first pass and, when secondPass is set, at a second.
    int32_t population, gatherers, foodSupply;
    float foodReserves;
    bool secondPass;
    float laterReserves;
    float before[4];  // gathering, meandering, wandering, reproducing
    float changed[4]; // the same after the conclusions, before rescaling
    const char* populationLine;
    const char* foodLine;
};

TEST_F(ExpertSystemTest, ConclusionsAdjustTheSharesWithinBoundsThenRescaleTo100) {
    const std::string blank = kBlank;
    const ShareCase cases[] = {
        {"raise_population alone", 0, 0, 1000, 450.0f, false, 0.0f,
         {25, 60, 5, 10}, {25, 60, 5, 13}, "Raise Population", blank.c_str()},
        {"over_using_food alone", 401, 0, 100, 450.0f, false, 0.0f,
         {25, 60, 5, 10}, {0, 60, 5, 0}, "Over Using Food", blank.c_str()},
        // lower_population takes 6 to 3, raised to 5; raise_food_intake takes
        // 60 to 65, lowered to 50.
        {"bounds 5 and 50", 350, 0, 100, 150.0f, false, 0.0f,
         {60, 30, 4, 6}, {50, 30, 4, 5}, "Lower Population", "Raise Food Intake"},
        {"raise_food_intake upper part", 350, 0, 1000, 250.0f, false, 0.0f,
         {25, 60, 5, 10}, {30, 60, 5, 10}, blank.c_str(), "Raise Food Intake"},
        // Full and rising reserves: lower_food_intake (14 to 9, raised to 12);
        // the high population also lowers the births (30 to 27).
        {"lower_food_intake bound 12", 401, 0, 1000, 300.0f, true, 450.0f,
         {14, 50, 6, 30}, {12, 50, 6, 27}, "Lower Population", "Lower Food Intake"},
        {"reproducing bound 30", 0, 0, 1000, 450.0f, false, 0.0f,
         {20, 42, 10, 28}, {20, 42, 10, 30}, "Raise Population", blank.c_str()},
        // Many gatherers while the reserves fall and run short.
        {"use_everyone_for_food", 0, 101, 600, 300.0f, true, 150.0f,
         {25, 60, 5, 10}, {70, 60, 5, 10}, "Use Everyone for food", blank.c_str()},
        {"no conclusion", 350, 80, 600, 300.0f, false, 0.0f,
         {20, 20, 20, 20}, {20, 20, 20, 20}, blank.c_str(), blank.c_str()},
    };
    for (const ShareCase& c : cases) {
        SCOPED_TRACE(c.name);
        Build();
        colony->population = c.population;
        colony->gatherers = c.gatherers;
        colony->foodSupply = c.foodSupply;
        colony->foodReserves = c.foodReserves;
        if (c.secondPass) {
            expert->Run(*colony);
            colony->foodReserves = c.laterReserves;
        }
        SetShares(c.before[0], c.before[1], c.before[2], c.before[3]);
        expert->Run(*colony);

        const float total = c.changed[0] + c.changed[1] + c.changed[2] + c.changed[3];
        const float factor = 100.0f / total;
        EXPECT_FLOAT_EQ(colony->gatheringShare, c.changed[0] * factor);
        EXPECT_FLOAT_EQ(colony->meanderingShare, c.changed[1] * factor);
        EXPECT_FLOAT_EQ(colony->wanderingShare, c.changed[2] * factor);
        EXPECT_FLOAT_EQ(colony->reproducingShare, c.changed[3] * factor);
        EXPECT_NEAR(colony->gatheringShare + colony->meanderingShare + colony->wanderingShare +
                        colony->reproducingShare,
                    100.0f, 1e-3f);
        EXPECT_STREQ(expert->populationAction, c.populationLine);
        EXPECT_STREQ(expert->foodAction, c.foodLine);
    }
}

TEST_F(ExpertSystemTest, RaisePopulationFromTheDefaultsGivesThe103Rescale) {
    Build();
    colony->foodReserves = 450.0f;  // high; population 0 is low
    expert->Run(*colony);
    EXPECT_EQ(colony->gatheringShare, 25.0f * (100.0f / 103.0f));
    EXPECT_EQ(colony->meanderingShare, 60.0f * (100.0f / 103.0f));
    EXPECT_EQ(colony->wanderingShare, 5.0f * (100.0f / 103.0f));
    EXPECT_EQ(colony->reproducingShare, 13.0f * (100.0f / 103.0f));
}

TEST_F(ExpertSystemTest, ConclusionsActInListingOrderAndTheLaterOneWinsAShareLine) {
    WriteText(RulesPath(), kTemplates +
                               "(defrule first (world) => (assert (raise_population))"
                               " (assert (lower_population)) (assert (raise_food_intake))"
                               " (assert (raise_food_intake)) (assert (lower_food_intake)))\r\n");
    Build();
    ASSERT_TRUE(expert->on);
    SetShares(48.0f, 40.0f, 2.0f, 10.0f);
    expert->Run(*colony);
    EXPECT_STREQ(expert->populationAction, "Lower Population");
    EXPECT_STREQ(expert->foodAction, "Lower Food Intake");
    // 10 + 3 - 3; 48 + 5 = 53 -> 50, then - 5 (the repeated assert adds no fact).
    EXPECT_FLOAT_EQ(colony->reproducingShare, 10.0f * 100.0f / 97.0f);
    EXPECT_FLOAT_EQ(colony->gatheringShare, 45.0f * 100.0f / 97.0f);
}

TEST_F(ExpertSystemTest, SharesWithNothingToRescaleStayFinite) {
    Build();
    colony->population = 350;  // a situation without conclusions
    colony->gatherers = 80;
    colony->foodSupply = 600;
    struct Case {
        const char* name;
        float shares[4];
    } const cases[] = {
        {"all zero", {0.0f, 0.0f, 0.0f, 0.0f}},
        {"total too small to invert", {0.0f, 0.0f, 1e-44f, 0.0f}},
        {"infinite share", {0.0f, INFINITY, 5.0f, 0.0f}},
        {"not a number", {NAN, 10.0f, 5.0f, 0.0f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetShares(c.shares[0], c.shares[1], c.shares[2], c.shares[3]);
        expert->Run(*colony);
        const float after[] = {colony->gatheringShare, colony->meanderingShare,
                               colony->wanderingShare, colony->reproducingShare};
        for (int i = 0; i < 4; ++i) {
            if (std::isfinite(c.shares[i])) {
                EXPECT_EQ(after[i], c.shares[i]) << "share " << i;
            } else {
                EXPECT_TRUE(std::isnan(after[i]) == std::isnan(c.shares[i])) << "share " << i;
            }
        }
    }
}

}  // namespace
