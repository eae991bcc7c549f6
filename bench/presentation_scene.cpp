// Scene fill for a packed world: 16,000 ants, 3,000 food cells and a trail on
// every one of the 16,384 cells, walked and written as the frame does it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "presentation/scene/SceneBuilder.h"
#include "simulation/Simulation.h"

namespace {

constexpr int32_t kAnts = 16000;
constexpr int32_t kFoodCells = 3000;

struct PackedWorld {
    PackedWorld() {
        // The built-in rules, loaded from memory: no file is read or written.
        simulation = std::make_unique<Simulation>(1u);
        Colony& colony = simulation->colony;
        colony.SetWorldSize(128, 128);  // empties ants and trails
        const AntRole roles[] = {Wandering, Gathering, Reproducing, Meandering, ReturnToBase,
                                 ReturnClearingTrail};
        for (int32_t i = 0; i < kAnts; ++i) {
            int32_t slot = 0;
            Ant* ant = colony.ants.Add(slot);
            ant->slot = slot;
            ant->pos = {i / 128, i % 128};
            ant->role = roles[i % 6];
            ant->wandererCarrying = (i % 12) == 0;
            colony.Seat(*ant);
        }
        colony.population = kAnts;
        for (int32_t x = 0; x < 128; ++x) {
            for (int32_t y = 0; y < 128; ++y) colony.trails.Deposit(x, y, (x * 128 + y) % 1500, 1);
        }
        FoodField& food = simulation->foodField;
        food.initialFood = 0;
        food.Reset();
        for (int32_t i = 0; i < kFoodCells; ++i) {
            int32_t slot = 0;
            FoodCell* cell = food.foodCells.Add(slot);
            cell->slot = slot;
            cell->x = (i * 7) % 128;
            cell->y = (i * 13) / 128 % 128;
            cell->units = 1;
            cell->turnsLeft = i % 400;
            food.indexGrid[GridIndex(cell->x, cell->y)] = slot;
        }
        food.foodCount = kFoodCells;
        vertices.reset(new SceneVertex[kSceneVertexCapacity]);
    }
    std::unique_ptr<Simulation> simulation;
    std::unique_ptr<SceneVertex[]> vertices;
};

void BM_BuildScenePackedWorld(benchmark::State& state) {
    PackedWorld world;
    SceneWriter writer(world.vertices.get(), kSceneVertexCapacity);
    for (auto _ : state) {
        writer.Reset();
        BuildScene(*world.simulation, writer);
        benchmark::DoNotOptimize(world.vertices.get());
        benchmark::ClobberMemory();
    }
    state.counters["triangles"] = static_cast<double>(writer.Triangles());
    state.counters["renderSeconds"] = static_cast<double>(world.simulation->renderSeconds);
}
BENCHMARK(BM_BuildScenePackedWorld)->Unit(benchmark::kMillisecond);

// The scene of the default world after its first 500 steps.
void BM_BuildSceneDefaultWorld(benchmark::State& state) {
    auto simulation = std::make_unique<Simulation>(1u);
    for (int i = 0; i < 500; ++i) simulation->Step();
    std::unique_ptr<SceneVertex[]> vertices(new SceneVertex[kSceneVertexCapacity]);
    SceneWriter writer(vertices.get(), kSceneVertexCapacity);
    for (auto _ : state) {
        writer.Reset();
        BuildScene(*simulation, writer);
        benchmark::DoNotOptimize(vertices.get());
        benchmark::ClobberMemory();
    }
    state.counters["triangles"] = static_cast<double>(writer.Triangles());
}
BENCHMARK(BM_BuildSceneDefaultWorld)->Unit(benchmark::kMicrosecond);

}  // namespace
