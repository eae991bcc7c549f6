#include "simulation/Simulation.h"

#include <chrono>

namespace {

// The viable range of a colony; outside it the view rebuilds the colony.
constexpr int32_t kMinViablePopulation = 50;
constexpr int32_t kMaxViablePopulation = 900;
constexpr float kMaxViableReserves = 1500.0f;

}  // namespace

// The colony and the food field both draw from random, so it is constructed
// first (declaration order); the first colony sits off centre at (40, 50).
Simulation::Simulation(uint32_t seed, const RuleBaseSource& rules, PrepareFirstWorld prepare,
                       void* context)
    : random(seed), colony(random), foodField(random) {
    expertSystem.Init(rules);  // may switch the expert system off
    // Counters, seeds and sizes start at their member defaults.
    colony.foodField = &foodField;
    FirstColony first;
    if (prepare != nullptr) prepare(*this, first, context);
    NewWorld(worldWidth, worldHeight);
    NewColony(first.x, first.y, first.ants);
}

void Simulation::Step() {
    const auto start = std::chrono::steady_clock::now();
    ++totalSteps;
    foodField.Step();
    colony.Step();
    if (colony.policyPassDue && expertSystem.on) expertSystem.Run(colony, totalSteps);
    colony.foodSupply = foodField.FoodCount();
    stepSeconds = std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
}

void Simulation::NewWorld(int32_t w, int32_t h) {
    worldWidth = w;
    worldHeight = h;
    colony.SetWorldSize(w, h);
    foodField.SetSize(w, h);
}

void Simulation::NewColony(int32_t x, int32_t y, int32_t n) {
    colony.CreateAnts(GridPoint{x, y}, n);
    foodField.ClearExclusions();
    foodField.AddExclusion(x, y);
    foodField.SetSize(worldWidth, worldHeight);  // refills the food around the new nest
}

void Simulation::RestartColony() {
    ++colonyDeaths;
    colony.foodReserves = colony.initialFoodReserves;
    colony.SetWorldSize(worldWidth, worldHeight);
    NewColony(worldWidth / 2, worldHeight / 2, kColonyAnts);
    colony.ResetShares();
}

bool Simulation::ColonyNeedsRestart() const {
    return colony.population < kMinViablePopulation || colony.population > kMaxViablePopulation ||
           colony.foodReserves > kMaxViableReserves;
}

void Simulation::FillSeedGrid() {
    ::FillSeedGrid(seedGrid, worldWidth, worldHeight, startingSeeds, random);
}
