// Reloading the rule base of a running simulation: a file that does not load
// leaves the running rules in place and says why; one that loads takes over
// at the next pass, and the journal of passes carries on across it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "policy/RuleBaseText.h"
#include "simulation/RuleBaseReload.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

constexpr int32_t kPassEvery = 52;

const std::string kTemplates =
    "(deftemplate colony (slot population) (slot food_reserves) (slot change_FR)\n"
    "  (slot num_gathering_ants))\n"
    "(deftemplate world (slot food_supply) (slot change_FS))\n";
// Concludes over_using_food whatever the colony's state.
const std::string kAlwaysOverUsing =
    kTemplates + "(defrule always (colony) =>\n  (assert (over_using_food)))\n";
// Line 5 calls a function nobody defined.
const std::string kBroken = kTemplates + "(defrule broken (colony) =>\n  (no-such-function))\n";

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Steps until the journal holds one pass more.
const PassRecord& NextPass(Simulation& simulation) {
    const int64_t before = simulation.expertSystem.journal.passes;
    for (int32_t i = 0; i < 4 * kPassEvery && simulation.expertSystem.journal.passes == before; ++i) {
        simulation.Step();
    }
    EXPECT_EQ(simulation.expertSystem.journal.passes, before + 1);
    return simulation.expertSystem.journal.Back(0);
}

bool Concluded(const PassRecord& record, Conclusion conclusion) {
    for (int32_t i = 0; i < record.KeptConclusions(); ++i) {
        if (record.conclusions[i] == conclusion) return true;
    }
    return false;
}

TEST(RuleBaseReload, AFileThatDoesNotLoadKeepsTheRunningRulesAndSaysWhy) {
    TempFolder folder;
    const std::string path = folder.File("Rules.clp");
    auto simulation = MakeSimulation(folder);
    ExpertSystem& expert = simulation->expertSystem;
    ASSERT_EQ(expert.State(), RuleBaseState::Loaded);
    const PassRecord first = NextPass(*simulation);
    EXPECT_EQ(first.step, 156);

    for (const std::string& bad : {kBroken, std::string("(deftemplate colony (slot x))\n")}) {
        Write(path, bad);
        EXPECT_FALSE(ReloadRuleBase(*simulation));
        EXPECT_TRUE(expert.reloadFailed);
        EXPECT_TRUE(expert.on);
        EXPECT_EQ(expert.State(), RuleBaseState::Loaded) << "the old rules still run";
        EXPECT_EQ(expert.reloads, 0);
    }
    Write(path, kBroken);
    EXPECT_FALSE(ReloadRuleBase(*simulation));
    EXPECT_EQ(std::string(expert.loadProblem).rfind(path + ":5: [EXPRNPSR3] Missing function", 0), 0u)
        << expert.loadProblem;
    // The shipped rules go on: their own rule names, none of the broken file's.
    const PassRecord after = NextPass(*simulation);
    EXPECT_EQ(after.outcome, PassOutcome::Listed);
    EXPECT_EQ(std::string(after.fired.text).find("broken"), std::string::npos);

    std::remove(path.c_str());
    EXPECT_FALSE(ReloadRuleBase(*simulation));
    EXPECT_NE(std::string(expert.loadProblem).find("cannot be read"), std::string::npos);
    EXPECT_EQ(NextPass(*simulation).outcome, PassOutcome::Listed);
}

TEST(RuleBaseReload, AGoodFileTakesOverAtTheNextPass) {
    TempFolder folder;
    const std::string path = folder.File("Rules.clp");
    auto simulation = MakeSimulation(folder);
    ExpertSystem& expert = simulation->expertSystem;
    expert.engine.SetTraceRules(true);
    NextPass(*simulation);
    const int32_t baseline = expert.baselineFoodSupply;

    Write(path, kBroken);
    ASSERT_FALSE(ReloadRuleBase(*simulation));
    Write(path, kAlwaysOverUsing);
    ASSERT_TRUE(ReloadRuleBase(*simulation));
    EXPECT_FALSE(expert.reloadFailed);
    EXPECT_STREQ(expert.loadProblem, "");
    EXPECT_EQ(expert.reloads, 1);
    EXPECT_TRUE(expert.engine.TraceRules()) << "the new engine keeps the settings";

    const PassRecord pass = NextPass(*simulation);
    EXPECT_STREQ(pass.fired.text, "always");
    ASSERT_EQ(pass.conclusionCount, 1);
    EXPECT_TRUE(Concluded(pass, Conclusion::OverUsingFood));
    EXPECT_EQ(pass.after.gathering, 0.0f);
    EXPECT_EQ(pass.after.reproducing, 0.0f);
    EXPECT_STREQ(simulation->expertSystem.populationAction, "Over Using Food");
    EXPECT_EQ(expert.baselineFoodSupply, baseline) << "the baselines carry on";
    EXPECT_EQ(expert.journal.passes, 2);
}

TEST(RuleBaseReload, AGoodReloadSwitchesOnWhatAFailureSwitchedOffButNotTheUser) {
    TempFolder folder;
    const std::string path = folder.File("Rules.clp");
    Write(path, kBroken);
    auto simulation = MakeSimulation(folder);
    ExpertSystem& expert = simulation->expertSystem;
    EXPECT_FALSE(expert.on);
    EXPECT_EQ(expert.State(), RuleBaseState::Failed);
    EXPECT_NE(std::string(expert.loadProblem).find(":5: [EXPRNPSR3]"), std::string::npos);

    Write(path, std::string(kRuleBaseText, kRuleBaseLength));
    ASSERT_TRUE(ReloadRuleBase(*simulation));
    EXPECT_TRUE(expert.on);
    EXPECT_EQ(expert.State(), RuleBaseState::Loaded);
    EXPECT_EQ(NextPass(*simulation).outcome, PassOutcome::Listed);

    expert.on = false;  // the user's Ctrl+I
    ASSERT_TRUE(ReloadRuleBase(*simulation));
    EXPECT_FALSE(expert.on);
    EXPECT_EQ(expert.State(), RuleBaseState::Off);
}

// The rule names a pass fired, as the journal keeps them.
std::string Fired(const PassRecord& record) { return record.fired.text; }

TEST(RuleBaseReload, ASwitchToAGalleryRuleBaseNamesItAndItsRulesDrawTheNextPass) {
    TempFolder folder;
    auto simulation = MakeSimulation(folder);
    ExpertSystem& expert = simulation->expertSystem;
    expert.engine.SetTraceRules(true);
    EXPECT_STREQ(expert.ruleBaseName, "default") << "the built-in rules in a file";
    NextPass(*simulation);
    const int32_t baseline = expert.baselineFoodSupply;

    const RuleGallery gallery = RuleGallery::Load("", "");
    auto candidate = std::make_unique<EngineProcess>();
    ASSERT_TRUE(SwitchRuleBaseInto(*simulation, *candidate, *gallery.Find("thrifty")));
    EXPECT_STREQ(expert.ruleBaseName, "thrifty");
    EXPECT_NE(expert.ruleBaseText, nullptr) << "a shipped rule base is reloaded from memory";
    EXPECT_EQ(expert.reloads, 1);
    // The next passes draw thrifty's conclusions: one per action line, from
    // its own rules, never the default's emergency ones.
    for (int32_t i = 0; i < 6; ++i) {
        const PassRecord pass = NextPass(*simulation);
        EXPECT_EQ(Fired(pass).find("need_more_food_for_pop"), std::string::npos) << Fired(pass);
        EXPECT_TRUE(Fired(pass).find("enough_mouths") != std::string::npos ||
                    Fired(pass).find("few_and_fed") != std::string::npos ||
                    Fired(pass).find("fill_the_store") != std::string::npos ||
                    Fired(pass).find("store_is_full") != std::string::npos)
            << Fired(pass);
        EXPECT_FALSE(Concluded(pass, Conclusion::OverUsingFood));
        EXPECT_FALSE(Concluded(pass, Conclusion::UseEveryoneForFood));
    }
    EXPECT_EQ(expert.baselineFoodSupply, baseline) << "the colony carries on";

    // F5 on a shipped rule base loads the same text again.
    ASSERT_TRUE(ReloadRuleBase(*simulation));
    EXPECT_STREQ(expert.ruleBaseName, "thrifty");
    EXPECT_EQ(NextPass(*simulation).outcome, PassOutcome::Listed);

    // A file that does not load leaves thrifty running, and named.
    const std::string broken = folder.File("broken.clp");
    Write(broken, kBroken);
    RuleBaseEntry target;
    std::string error;
    ASSERT_TRUE(ChooseRuleBase(gallery, broken, target, error));
    candidate = std::make_unique<EngineProcess>();
    EXPECT_FALSE(SwitchRuleBaseInto(*simulation, *candidate, target));
    EXPECT_STREQ(expert.ruleBaseName, "thrifty");
    EXPECT_TRUE(expert.reloadFailed);
    EXPECT_NE(std::string(expert.loadProblem).find("broken.clp:5:"), std::string::npos);

    // Back to a file, whose name comes from its header; F5 reads the file again.
    const std::string own = folder.File("own.clp");
    Write(own, ";; name: mine\n" + kAlwaysOverUsing);
    ASSERT_TRUE(ChooseRuleBase(gallery, own, target, error));
    candidate = std::make_unique<EngineProcess>();
    ASSERT_TRUE(SwitchRuleBaseInto(*simulation, *candidate, target));
    EXPECT_STREQ(expert.ruleBaseName, "mine");
    EXPECT_EQ(expert.ruleBaseText, nullptr);
    EXPECT_TRUE(Concluded(NextPass(*simulation), Conclusion::OverUsingFood));
    Write(own, ";; name: renamed\n" + kAlwaysOverUsing);
    ASSERT_TRUE(ReloadRuleBase(*simulation));
    EXPECT_STREQ(expert.ruleBaseName, "renamed");
}

}  // namespace
