// The simulation as the headless runner drives it, and the simulation
// thread's stop latency.
//
//   BM_FastRunStep   one step of a fast run (step, restart check, rebuild when
//                    due): items_per_second is steps per second on one core;
//                    goal >= 40,000 with the expert system on.
//   BM_StopLatency   Stop on a worker pacing the real simulation at 40 steps
//                    per second, caught at a random point of its iteration;
//                    goal < 5 ms (the counter max_ms is the worst case seen).
//
// The whole program (peak memory included): bench/headless_run.sh.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "foundation/RandomSource.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

void BM_FastRunStep(benchmark::State& state) {
    // The built-in rules, loaded from memory: no file is read or written.
    auto simulation = std::make_unique<Simulation>(1);
    int64_t restarts = 0;
    for (auto _ : state) {
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        simulation->Step();
        if (simulation->ColonyNeedsRestart()) {
            simulation->RestartColony();
            ++restarts;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["restarts"] = static_cast<double>(restarts);
    state.counters["population"] = simulation->colony.population;
    state.counters["expert_on"] = simulation->expertSystem.on ? 1 : 0;
}
BENCHMARK(BM_FastRunStep)->Unit(benchmark::kMicrosecond)->MinTime(3.0);

class NullHost final : public SimulationHost {
public:
    void RequestRestart() override {}
    void RequestRepaint() override {}
};

void BM_StopLatency(benchmark::State& state) {
    // The built-in rules, loaded from memory: no file is read or written.
    auto simulation = std::make_unique<Simulation>(1);
    NullHost host;
    SimThreadControl control;
    SimulationThread thread(*simulation, host, control);
    RandomSource random(12345);
    double worstMs = 0.0;
    for (auto _ : state) {
        thread.Start();
        // Somewhere inside a 25 ms iteration, after the first window opened.
        std::this_thread::sleep_for(std::chrono::microseconds(60000 + random.Next() % 25000));
        const auto before = std::chrono::steady_clock::now();
        const bool ended = thread.Stop(1000);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - before).count();
        if (!ended) {
            state.SkipWithError("the worker did not end within 1000 ms");
            break;
        }
        state.SetIterationTime(seconds);
        worstMs = std::max(worstMs, seconds * 1000.0);
    }
    state.counters["max_ms"] = worstMs;
}
BENCHMARK(BM_StopLatency)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(100);

}  // namespace
