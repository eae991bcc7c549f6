// The New Colony dialog against a live simulation thread: the rebuild waits
// for the worker to be gone and leaves the simulation stopped.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "shell/DialogLayout.h"
#include "tests/shell/DialogFixture.h"

namespace {

using NewColonyThreadTest = DialogFixture;

TEST_F(NewColonyThreadTest, StopsTheThreadRebuildsAndStaysStopped) {
    ASSERT_TRUE(thread->Start());
    ASSERT_TRUE(thread->Running());
    // Let it take a few steps so that the stop meets a live worker.
    auto Steps = [this] {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        return simulation->totalSteps;
    };
    for (int i = 0; i < 200 && Steps() < 3; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // A refused placement rebuilds nothing and leaves the thread running.
    DialogState state = Open(DialogId::NewColony);
    Type(state, DialogId::NewColony, "Colony X Placement", "5");
    DialogCheck refused = AcceptDialog(state, target);
    EXPECT_STREQ(refused.message, kXPlacementWarning);
    EXPECT_TRUE(thread->Running());

    Type(state, DialogId::NewColony, "Colony X Placement", "30");
    Type(state, DialogId::NewColony, "Colony Y Placement", "40");
    Type(state, DialogId::NewColony, "Initial Ants", "250");
    Type(state, DialogId::NewColony, "Initial Colony Food Supply", "777");
    Type(state, DialogId::NewColony, "X Size", "96");
    Type(state, DialogId::NewColony, "Y Size", "64");
    ASSERT_TRUE(AcceptDialog(state, target).ok);

    EXPECT_FALSE(thread->Running());
    EXPECT_EQ(thread->LiveWorkers(), 0);
    int32_t steps = 0;
    {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        const Colony& colony = simulation->colony;
        EXPECT_EQ(colony.home.x, 30);
        EXPECT_EQ(colony.home.y, 40);
        EXPECT_EQ(colony.population, 250);
        EXPECT_EQ(colony.foodReserves, 777.0f);
        EXPECT_EQ(colony.initialFoodReserves, 300.0f);  // not changed
        EXPECT_EQ(colony.width, 96);
        EXPECT_EQ(colony.height, 64);
        // The food lies in the same world as the ants.
        EXPECT_EQ(simulation->foodField.width, 96);
        EXPECT_EQ(simulation->foodField.height, 64);
        EXPECT_EQ(simulation->worldWidth, 96);
        EXPECT_EQ(simulation->worldHeight, 64);
        steps = simulation->totalSteps;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(simulation->totalSteps, steps);  // stays stopped
    EXPECT_EQ(simulation->colony.population, 250);

    // Until the user starts it again.
    thread->Toggle();
    EXPECT_TRUE(thread->Running());
    EXPECT_EQ(thread->PeakLiveWorkers(), 1);
}

}  // namespace
