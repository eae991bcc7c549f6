// Trail map costs: evaporation and one trail-following step choice.
// Evaporation costs what expires, not what lives: with about 3000 live cells
// and none expiring it should take a few nanoseconds a call (a turn of the
// wheel meets each long-lived cell once per 1024 calls), and with every cell
// expiring at once it pays per cell freed.
#include <benchmark/benchmark.h>

#include <memory>

#include "environment/TrailMap.h"

namespace {

constexpr int32_t kTrailCells = 3000;

// Cells laid along ant-like paths (neighbouring cells, deposited in walking
// order; path p stays within rows 5p .. 5p + 3, so no two share a cell) with
// intensities too high to run out during the run.
void LayTrails(TrailMap& map) {
    int32_t laid = 0;
    for (int32_t path = 0; laid < kTrailCells; ++path) {
        for (int32_t x = 0; x < 128 && laid < kTrailCells; ++x, ++laid) {
            map.Deposit(x, 5 * path + x / 32, 1000000000, path);
        }
    }
}

void BM_TrailEvaporate(benchmark::State& state) {
    RandomSource random;
    auto map = std::make_unique<TrailMap>(random);
    LayTrails(*map);
    for (auto _ : state) {
        map->Evaporate();
    }
    if (map->trailCells.Count() != kTrailCells) state.SkipWithError("cells expired");
    state.SetItemsProcessed(state.iterations() * map->trailCells.Count());
}
BENCHMARK(BM_TrailEvaporate);

// Evaporation where every cell expires each round and is laid again.
void BM_TrailEvaporateAndRelay(benchmark::State& state) {
    RandomSource random;
    auto map = std::make_unique<TrailMap>(random);
    for (auto _ : state) {
        state.PauseTiming();
        for (int32_t i = 0; i < kTrailCells; ++i) map->Deposit(i % 128, i / 128, 1, 0);
        state.ResumeTiming();
        map->Evaporate();
    }
    state.SetItemsProcessed(state.iterations() * kTrailCells);
}
BENCHMARK(BM_TrailEvaporateAndRelay);

// A colony's churn: every round, evaporation, then a few new cells at
// scattered places, so that live slots and the list's order are shuffled as
// in a long run. About 2000 cells stay alive (the default colony keeps about
// as many) and a few expire per round; items are the live cells, so that the
// rate reads as the cost spread over what lives.
void BM_TrailEvaporateChurn(benchmark::State& state) {
    RandomSource random;
    RandomSource places(7u);
    auto map = std::make_unique<TrailMap>(random);
    auto layNewCells = [&]() {
        for (int32_t i = 0; i < 4; ++i) {
            const int32_t x = places.Next() % 128;
            const int32_t y = places.Next() % 128;
            map->Deposit(x, y, 1 + places.Next() % 1000, 0);
        }
    };
    for (int32_t round = 0; round < 2000; ++round) {
        map->Evaporate();
        layNewCells();
    }
    int64_t cells = 0;
    for (auto _ : state) {
        cells += map->trailCells.Count();
        map->Evaporate();
        layNewCells();
    }
    state.counters["cells"] = static_cast<double>(map->trailCells.Count());
    state.SetItemsProcessed(cells);
}
BENCHMARK(BM_TrailEvaporateChurn);

void BM_TrailChooseStep(benchmark::State& state) {
    RandomSource random;
    auto map = std::make_unique<TrailMap>(random);
    LayTrails(*map);
    map->Deposit(61, 60, 500, 0);
    map->Deposit(60, 61, 300, 0);
    int32_t position = 0;
    for (auto _ : state) {
        // Walk the ant over a few cells so the branches vary.
        const int32_t x = 40 + (position & 31);
        const int32_t y = 40 + ((position >> 5) & 31);
        ++position;
        GridPoint next;
        bool weak = false;
        const bool trail = map->ChooseStep(x, y, 64, 64, next, weak);
        benchmark::DoNotOptimize(trail);
        benchmark::DoNotOptimize(next);
        benchmark::DoNotOptimize(weak);
    }
}
BENCHMARK(BM_TrailChooseStep);

}  // namespace
