// Food field costs: the per-step update in its steady state at the default
// parameters, and a decay-pass step over 3000 food cells.
#include <benchmark/benchmark.h>

#include <memory>

#include "environment/FoodField.h"

namespace {

// Default parameters, run long enough for growth and decay to balance.
void BM_FoodStepDefaults(benchmark::State& state) {
    RandomSource random;
    auto field = std::make_unique<FoodField>(random);
    for (int i = 0; i < 20000; ++i) field->Step();
    for (auto _ : state) {
        field->Step();
    }
    state.counters["food"] = field->FoodCount();
}
BENCHMARK(BM_FoodStepDefaults);

// A world smaller than the food asked of it: 30 x 30 cells (900) with the
// minimum food at 1000, so every step asks for more cells than are free. Each
// step first takes away a few cells, as the ants eat, so the world is never
// quite full. arg 1 instead asks for growth of 100 cells a step below a
// maximum the world cannot hold. Compare with BM_FoodStepDefaults: placing
// what cannot fit must cost no more than a normal step.
void BM_FoodStepOverfullWorld(benchmark::State& state) {
    RandomSource random;
    auto field = std::make_unique<FoodField>(random);
    field->SetSize(30, 30);
    if (state.range(0) == 0) {
        field->minFood = 1000;
    } else {
        field->constantGrowthAmount = 100.0f;
    }
    RandomSource eaters(7);  // where the ants take food; the field's draws stay its own
    for (auto _ : state) {
        for (int i = 0; i < 4; ++i) field->TakeFood(eaters.Next() % 30, eaters.Next() % 30);
        field->Step();
    }
    state.counters["food"] = field->FoodCount();
}
BENCHMARK(BM_FoodStepOverfullWorld)->Arg(0)->Arg(1);

// A step that runs the decay pass over 3000 cells. fresh: no cell is overdue
// (no draws); overdue: every cell is overdue and draws, but none decays.
void DecayPassStep(benchmark::State& state, bool overdue) {
    RandomSource random;
    auto field = std::make_unique<FoodField>(random);
    field->generatorType = MinimumFood;
    field->minFood = 0;
    field->initialFood = 3000;
    field->turnsToDecay = overdue ? -1 : 2000000000;
    field->decayPercentage = 0.0f;  // overdue cells draw but never go
    field->Reset();
    for (auto _ : state) {
        field->decayCountdown = -1;  // every step is a decay pass
        field->Step();
    }
    if (field->FoodCount() != 3000) state.SkipWithError("food count changed");
    state.SetItemsProcessed(state.iterations() * field->FoodCount());
}
void BM_FoodDecayPassFresh(benchmark::State& state) { DecayPassStep(state, false); }
void BM_FoodDecayPassOverdue(benchmark::State& state) { DecayPassStep(state, true); }
BENCHMARK(BM_FoodDecayPassFresh);
BENCHMARK(BM_FoodDecayPassOverdue);

// Placement of one growth cluster of 50 cells into a world holding 1500.
void BM_FoodPlaceCluster(benchmark::State& state) {
    RandomSource random;
    auto field = std::make_unique<FoodField>(random);
    field->initialFood = 1500;
    field->Reset();
    int32_t removed[50][2];
    for (auto _ : state) {
        field->PlaceFood(50);
        state.PauseTiming();
        // Take the newest 50 cells away again so every round starts alike.
        for (int i = 0; i < 50; ++i) {
            const FoodCell& cell = field->foodCells.At(field->foodCells.Newest());
            removed[i][0] = cell.x;
            removed[i][1] = cell.y;
            field->TakeFood(cell.x, cell.y);
        }
        state.ResumeTiming();
    }
    benchmark::DoNotOptimize(removed);
}
BENCHMARK(BM_FoodPlaceCluster);

// A gatherer's search where food lies in reach but the probes miss: food on
// every fourth cell of a band next to the searching ant. Items are probes.
void BM_FoodSearchMisses(benchmark::State& state) {
    RandomSource random;
    auto field = std::make_unique<FoodField>(random);
    field->initialFood = 0;
    field->minFood = 0;
    field->Reset();
    for (int32_t x = 70; x < 74; ++x) {
        for (int32_t y = 40; y < 88; y += 4) field->AddFoodCell(x, y);
    }
    int64_t probes = 0;
    int32_t found = 0;
    for (auto _ : state) {
        GridPoint point;
        const uint32_t before = random.State();
        found += field->FindFoodNear(60, 64, 10, point);
        probes += before == random.State() ? 0 : 20;
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(probes);
}
BENCHMARK(BM_FoodSearchMisses);

}  // namespace
