// Colony step costs: the default colony (400 ants at start-up, food field
// included) and a world packed with 16,000 ants.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "colony/Colony.h"
#include "environment/FoodField.h"
#include "policy/ExpertSystem.h"

namespace {
struct World {
    RandomSource random;
    std::unique_ptr<Colony> colony;
    std::unique_ptr<FoodField> food;
    std::unique_ptr<ExpertSystem> expert = std::make_unique<ExpertSystem>();

    World(int32_t ants, GridPoint home) {
        expert->Init("");  // the built-in rules, from memory: no file is touched
        colony = std::make_unique<Colony>(random);
        food = std::make_unique<FoodField>(random);
        colony->foodField = food.get();
        colony->SetWorldSize(128, 128);
        food->SetSize(128, 128);
        colony->CreateAnts(home, ants);
        food->ClearExclusions();
        food->AddExclusion(home.x, home.y);
        food->SetSize(128, 128);
    }
    void Step() {
        food->Step();
        colony->Step();
        if (colony->policyPassDue && expert->on) expert->Run(*colony);
        colony->foodSupply = food->FoodCount();
    }
};
}  // namespace

// A default colony as the simulation builds it, warmed up past the first
// expert-system passes; restarts are not part of the colony step, so a colony
// leaving its viable range is simply rebuilt outside the timing.
static void BM_DefaultColonyStep(benchmark::State& state) {
    World world(400, GridPoint{40, 50});
    for (int i = 0; i < 500; ++i) world.Step();
    for (auto _ : state) {
        world.Step();
        const Colony& c = *world.colony;
        if (c.population < 50 || c.population > 900 || c.foodReserves > 1500.0f) {
            state.PauseTiming();
            world.colony->SetWorldSize(128, 128);
            world.colony->CreateAnts(GridPoint{64, 64}, 400);
            world.colony->foodReserves = 300.0f;
            state.ResumeTiming();
        }
    }
    state.counters["ants"] = world.colony->population;
}
BENCHMARK(BM_DefaultColonyStep);
// The same with a fixed number of steps: every run then does exactly the same
// work (the runs above stop when their timing settles, after a varying number
// of steps, so each ends with a different colony), which makes the minimum of
// a few runs a fair figure to compare two builds by on a busy machine.
BENCHMARK(BM_DefaultColonyStep)->Iterations(20000);

// 16,000 ants in a 128 x 128 world: nearly every move is a refused move or a
// swap. Births and deaths are off so the count stays put.
static void BM_PackedColonyStep(benchmark::State& state) {
    World world(16000, GridPoint{64, 64});
    world.colony->foodPerAnt = 0.0f;
    world.colony->dieRatio = 0.0f;
    world.colony->reproduceRatio = 0.0f;
    for (auto _ : state) world.colony->Step();
    state.counters["ants"] = world.colony->population;
    state.counters["ns_per_ant"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * world.colony->population,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PackedColonyStep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PackedColonyStep)->Unit(benchmark::kMicrosecond)->Iterations(300);
