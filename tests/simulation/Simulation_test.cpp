// The simulation object: its first colony, its step, the automatic rebuild
// and the viable range that triggers it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

// The mean position of the colony's ants; a colony seated around (x, y) has
// its mean there (up to rounding and the world's walls).
void MeanAntPosition(const Colony& colony, double& x, double& y) {
    double sumX = 0.0;
    double sumY = 0.0;
    int32_t n = 0;
    for (int32_t slot = colony.ants.Newest(); slot != -1; slot = colony.ants.Older(slot)) {
        sumX += colony.ants.At(slot).pos.x;
        sumY += colony.ants.At(slot).pos.y;
        ++n;
    }
    x = n > 0 ? sumX / n : -1.0;
    y = n > 0 ? sumY / n : -1.0;
}

void ExpectDefaultShares(const Colony& colony) {
    EXPECT_FLOAT_EQ(colony.gatheringShare, 25.0f);
    EXPECT_FLOAT_EQ(colony.meanderingShare, 60.0f);
    EXPECT_FLOAT_EQ(colony.reproducingShare, 10.0f);
    EXPECT_FLOAT_EQ(colony.wanderingShare, 5.0f);
}

class SimulationTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::unique_ptr<Simulation> simulation = MakeSimulation(folder);
};

TEST_F(SimulationTest, FirstColonySitsOffCentreWithFourHundredAnts) {
    Simulation& s = *simulation;
    EXPECT_EQ(s.colony.population, 400);
    EXPECT_EQ(s.colony.ants.Count(), 400);
    EXPECT_EQ(s.colony.home, (GridPoint{40, 50}));
    double x = 0.0;
    double y = 0.0;
    MeanAntPosition(s.colony, x, y);
    EXPECT_NEAR(x, 40.0, 2.0);
    EXPECT_NEAR(y, 50.0, 2.0);

    EXPECT_EQ(s.worldWidth, 128);
    EXPECT_EQ(s.worldHeight, 128);
    EXPECT_EQ(s.colony.width, 128);
    EXPECT_EQ(s.colony.height, 128);
    EXPECT_EQ(s.foodField.width, 128);
    EXPECT_EQ(s.foodField.height, 128);
    EXPECT_EQ(s.colony.foodField, &s.foodField);
    EXPECT_EQ(s.startingSeeds, 2500);
    EXPECT_EQ(s.totalSteps, 0);
    EXPECT_EQ(s.colonyDeaths, 0);
    EXPECT_EQ(s.stepSeconds, 0.0f);
    EXPECT_GT(s.foodField.FoodCount(), 0);
    // The nest is kept clear of the food placed around it.
    EXPECT_EQ(s.foodField.exclusionCount, 1);
    EXPECT_EQ(s.foodField.exclusionPoints[0], (GridPoint{40, 50}));
    ExpectDefaultShares(s.colony);
}

TEST_F(SimulationTest, StepCountsTimesAndCopiesTheFoodSupply) {
    Simulation& s = *simulation;
    for (int i = 1; i <= 3; ++i) {
        s.Step();
        EXPECT_EQ(s.totalSteps, i);
        EXPECT_EQ(s.colony.foodSupply, s.foodField.FoodCount());
    }
    EXPECT_GT(s.stepSeconds, 0.0f);
    EXPECT_LT(s.stepSeconds, 1.0f);
}

TEST_F(SimulationTest, RestartRebuildsFourHundredAntsInTheCentre) {
    Simulation& s = *simulation;
    for (int i = 0; i < 60; ++i) {
        s.Step();
    }
    s.colony.foodReserves = 1234.0f;
    s.colony.gatheringShare = 70.0f;
    s.colony.meanderingShare = 10.0f;
    const int32_t stepsBefore = s.totalSteps;

    s.RestartColony();

    EXPECT_EQ(s.colonyDeaths, 1);
    EXPECT_EQ(s.colony.population, 400);
    EXPECT_EQ(s.colony.ants.Count(), 400);
    EXPECT_EQ(s.colony.home, (GridPoint{64, 64}));
    double x = 0.0;
    double y = 0.0;
    MeanAntPosition(s.colony, x, y);
    EXPECT_NEAR(x, 64.0, 2.0);
    EXPECT_NEAR(y, 64.0, 2.0);
    EXPECT_FLOAT_EQ(s.colony.foodReserves, 300.0f);
    ExpectDefaultShares(s.colony);
    EXPECT_EQ(s.totalSteps, stepsBefore);  // the run's step count goes on
    EXPECT_EQ(s.foodField.exclusionPoints[0], (GridPoint{64, 64}));

    s.RestartColony();
    EXPECT_EQ(s.colonyDeaths, 2);
    EXPECT_EQ(s.colony.population, 400);
}

TEST_F(SimulationTest, RestartUsesTheCurrentWorldSize) {
    Simulation& s = *simulation;
    s.NewWorld(101, 60);
    s.NewColony(10, 10, 400);
    EXPECT_EQ(s.colony.width, 101);
    EXPECT_EQ(s.foodField.height, 60);

    s.RestartColony();
    EXPECT_EQ(s.colony.home, (GridPoint{50, 30}));  // halves truncated
    EXPECT_EQ(s.colony.width, 101);
    EXPECT_EQ(s.colony.height, 60);
    EXPECT_EQ(s.foodField.width, 101);
    EXPECT_EQ(s.foodField.height, 60);
    EXPECT_EQ(s.colony.population, 400);
}

TEST_F(SimulationTest, ViableRangeBoundaries) {
    struct Case {
        int32_t population;
        float reserves;
        bool restart;
    };
    const Case cases[] = {
        {49, 300.0f, true},    {50, 300.0f, false},    {400, 300.0f, false},
        {900, 300.0f, false},  {901, 300.0f, true},    {0, 300.0f, true},
        {400, 1500.0f, false}, {400, 1500.001f, true}, {400, 0.0f, false},
    };
    Simulation& s = *simulation;
    for (const Case& c : cases) {
        s.colony.population = c.population;
        s.colony.foodReserves = c.reserves;
        EXPECT_EQ(s.ColonyNeedsRestart(), c.restart)
            << c.population << " ants, reserves " << c.reserves;
    }
}

TEST_F(SimulationTest, StepperAsksForARestartAfterEveryStepOutsideTheRange) {
    Simulation& s = *simulation;
    CountingHost host;
    SimulationStepper stepper(s, host);

    stepper.RunStep();
    EXPECT_EQ(host.restarts.load(), 0);
    EXPECT_EQ(host.repaints.load(), 1);

    s.colony.foodReserves = 5000.0f;  // hoarding: a step eats far less than this
    stepper.RunStep();
    stepper.RunStep();
    EXPECT_EQ(host.restarts.load(), 2);
    EXPECT_EQ(host.repaints.load(), 3);
    EXPECT_EQ(s.totalSteps, 3);
}

TEST_F(SimulationTest, SeedGridMarksTheStartingSeedsInsideTheWorld) {
    Simulation& s = *simulation;
    struct Case {
        int32_t w;
        int32_t h;
        int32_t seeds;
        int32_t marked;
    };
    const Case cases[] = {{128, 128, 2500, 2500}, {10, 12, 2500, 120}, {50, 50, 0, 0}};
    for (const Case& c : cases) {
        std::fill(std::begin(s.seedGrid), std::end(s.seedGrid), 0);
        s.NewWorld(c.w, c.h);
        s.startingSeeds = c.seeds;
        s.FillSeedGrid();
        int32_t inside = 0;
        int32_t outside = 0;
        for (int32_t x = 0; x < kGridSide; ++x) {
            for (int32_t y = 0; y < kGridSide; ++y) {
                const int32_t v = s.seedGrid[GridIndex(x, y)];
                EXPECT_TRUE(v == 0 || v == 1);
                (x < c.w && y < c.h ? inside : outside) += v;
            }
        }
        EXPECT_EQ(inside, c.marked) << c.w << "x" << c.h;
        EXPECT_EQ(outside, 0) << c.w << "x" << c.h;
    }
}

TEST(SimulationSeed, SameSeedSameRunOtherSeedOtherRun) {
    TempFolder folder;
    auto a = MakeSimulation(folder, 7);
    auto b = MakeSimulation(folder, 7);
    auto c = MakeSimulation(folder, 8);
    for (int i = 0; i < 200; ++i) {
        a->Step();
        b->Step();
        c->Step();
    }
    EXPECT_EQ(a->random.State(), b->random.State());
    EXPECT_EQ(a->colony.population, b->colony.population);
    EXPECT_EQ(a->colony.foodReserves, b->colony.foodReserves);
    EXPECT_EQ(a->foodField.FoodCount(), b->foodField.FoodCount());
    EXPECT_NE(a->random.State(), c->random.State());
}

}  // namespace
