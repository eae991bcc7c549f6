#include "shell/Commands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/shell/DialogFixture.h"

namespace {

// Records what the window was asked to do.
class RecordingView final : public CommandView {
public:
    void OpenDialog(DialogId id) override { calls.push_back(100 + static_cast<int32_t>(id)); }
    void ToggleTexture() override { calls.push_back(1); }
    void ResetCamera() override { calls.push_back(2); }
    void ShowAbout() override { calls.push_back(3); }
    void Exit() override { calls.push_back(4); }
    void ToggleRulesPanel() override { calls.push_back(5); }
    std::vector<int32_t> calls;
};

class CommandsTest : public DialogFixture {
protected:
    void TearDown() override {
        thread->Stop(1000);
        DialogFixture::TearDown();
    }
    bool Run(int32_t id) { return DispatchCommand(id, *simulation, *thread, view); }
    RecordingView view;
};

TEST_F(CommandsTest, EveryCommandReachesItsHandler) {
    struct Case {
        int32_t id;
        int32_t call;
    } cases[] = {
        {ID_SIM_OPTIONS, 100 + int32_t(DialogId::Options)},
        {ID_NEW_SIM, 100 + int32_t(DialogId::NewSim)},
        {ID_FOOD_OPTIONS, 100 + int32_t(DialogId::FoodControl)},
        {ID_ANT_OPTIONS, 100 + int32_t(DialogId::AntsOptions)},
        {ID_NEW_COLONY, 100 + int32_t(DialogId::NewColony)},
        {ID_TOGGLE_TEXTURE, 1},
        {ID_RESET_CAMERA, 2},
        {ID_APP_ABOUT, 3},
        {ID_APP_EXIT, 4},
        {ID_RULES_PANEL, 5},
    };
    for (const Case& c : cases) {
        view.calls.clear();
        EXPECT_TRUE(Run(c.id)) << c.id;
        EXPECT_EQ(view.calls, std::vector<int32_t>{c.call}) << c.id;
    }
    EXPECT_EQ(ID_SIM_OPTIONS, 32771);
    EXPECT_EQ(ID_EXPERT_OFF, 32782);
    EXPECT_EQ(ID_APP_ABOUT, 57664);
    EXPECT_EQ(ID_APP_EXIT, 57665);
}

TEST_F(CommandsTest, NoActionAndUnknownIdsChangeNothing) {
    Colony& colony = simulation->colony;
    ExpertSystem& expert = simulation->expertSystem;
    const bool trails = colony.showTrails;
    const bool expertOn = expert.on;
    const int32_t population = colony.population;
    const int32_t steps = simulation->totalSteps;
    EXPECT_TRUE(Run(ID_NO_ACTION));
    EXPECT_FALSE(Run(32770));
    EXPECT_FALSE(Run(32785));
    EXPECT_FALSE(Run(0));
    EXPECT_TRUE(view.calls.empty());
    EXPECT_FALSE(thread->Running());
    EXPECT_EQ(colony.showTrails, trails);
    EXPECT_EQ(expert.on, expertOn);
    EXPECT_EQ(colony.population, population);
    EXPECT_EQ(simulation->totalSteps, steps);
}

TEST_F(CommandsTest, FlagsToggleAndSet) {
    Colony& colony = simulation->colony;
    ExpertSystem& expert = simulation->expertSystem;
    EXPECT_TRUE(colony.showTrails);
    Run(ID_TOGGLE_TRAILS);
    EXPECT_FALSE(colony.showTrails);
    Run(ID_TOGGLE_TRAILS);
    EXPECT_TRUE(colony.showTrails);

    EXPECT_TRUE(expert.on);
    Run(ID_EXPERT_OFF);
    EXPECT_FALSE(expert.on);
    Run(ID_EXPERT_OFF);
    EXPECT_FALSE(expert.on);
    Run(ID_EXPERT_ON);
    EXPECT_TRUE(expert.on);
}

TEST_F(CommandsTest, StartStopPausesAndResumes) {
    Run(ID_START_STOP);
    EXPECT_TRUE(thread->Running());
    Run(ID_START_STOP);  // asks the worker to stop and returns at once
    EXPECT_FALSE(thread->Running());
    Run(ID_START_STOP);  // a new worker, never two at once
    EXPECT_TRUE(thread->Running());
    EXPECT_TRUE(thread->Stop(1000));
    EXPECT_EQ(thread->PeakLiveWorkers(), 1);
}

// The rule base in the scratch folder has a syntax error, so the colony
// starts with the expert system off.
class BrokenRulesTest : public CommandsTest {
protected:
    void PrepareRules() override {
        std::FILE* file = std::fopen(rulesPath.c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fputs("(deftemplate world (slot food_supply)\n(defrule broken =>\n", file);
        std::fclose(file);
    }
};

TEST_F(BrokenRulesTest, ExpertOnWithAFailedRuleBaseSetsTheSwitchButDoesNothing) {
    Colony& colony = simulation->colony;
    ExpertSystem& expert = simulation->expertSystem;
    ASSERT_FALSE(expert.on);
    Run(ID_EXPERT_ON);
    EXPECT_TRUE(expert.on);

    const float shares[] = {colony.gatheringShare, colony.meanderingShare,
                            colony.reproducingShare, colony.wanderingShare};
    expert.Run(colony);
    // Enough steps to pass the expert system's cadence several times.
    for (int i = 0; i < 400; ++i) simulation->Step();
    EXPECT_TRUE(expert.on);
    EXPECT_EQ(colony.gatheringShare, shares[0]);
    EXPECT_EQ(colony.meanderingShare, shares[1]);
    EXPECT_EQ(colony.reproducingShare, shares[2]);
    EXPECT_EQ(colony.wanderingShare, shares[3]);
    EXPECT_TRUE(expert.firstPass);
}

}  // namespace
