// The terminal view's frame: from the simulation to the bytes to send.
//
//   BM_TerminalFrame/D   one frame of a 200 x 60 terminal in the steady state
//                        of a live run at the default pace (40 steps per
//                        second, 20 frames per second: two steps between
//                        frames), D = 0 8 colours, 1 256 colours, 2 24-bit.
//                        Goal: under 1 ms of CPU. Counters: bytes and changed
//                        cells per frame, and the bytes per second that makes
//                        at 20 frames per second.
//   BM_TerminalWholeFrame/D   the first frame after a resize: every cell sent.
//
// The bytes a real terminal receives (the frames' pacing included):
// bench/terminal_bytes.sh.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "shell/terminal/FrameBuilder.h"
#include "shell/terminal/TerminalView.h"
#include "simulation/Simulation.h"

namespace {

constexpr int32_t kCols = 200;
constexpr int32_t kRows = 60;
// A colony some way into its life: trails laid, food being carried home.
constexpr int32_t kWarmUpSteps = 1200;
constexpr int32_t kStepsPerFrame = 40 / kMaxFramesPerSecond;

void StepSimulation(Simulation& simulation, int32_t steps) {
    std::lock_guard<std::mutex> guard(simulation.stateMutex);
    for (int32_t i = 0; i < steps; ++i) {
        simulation.Step();
        if (simulation.ColonyNeedsRestart()) {
            simulation.RestartColony();
        }
    }
}

void BM_TerminalFrame(benchmark::State& state) {
    // The built-in rules, loaded from memory: no file is read or written.
    auto simulation = std::make_unique<Simulation>(1);
    StepSimulation(*simulation, kWarmUpSteps);
    FrameBuilder frames;
    frames.Resize(kCols, kRows, simulation->worldWidth, simulation->worldHeight, true,
                  static_cast<ColourDepth>(state.range(0)));
    const FrameState view;
    frames.Build(*simulation, view);  // the whole first frame is not the steady state
    int64_t bytes = 0;
    int64_t cells = 0;
    for (auto _ : state) {
        state.PauseTiming();
        StepSimulation(*simulation, kStepsPerFrame);
        state.ResumeTiming();
        frames.Build(*simulation, view);
        bytes += static_cast<int64_t>(frames.Length());
        cells += frames.ChangedCells();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["bytes_per_frame"] = static_cast<double>(bytes) / n;
    state.counters["cells_per_frame"] = static_cast<double>(cells) / n;
    state.counters["bytes_per_second"] = static_cast<double>(bytes) / n * kMaxFramesPerSecond;
}
BENCHMARK(BM_TerminalFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

void BM_TerminalWholeFrame(benchmark::State& state) {
    // The built-in rules, loaded from memory: no file is read or written.
    auto simulation = std::make_unique<Simulation>(1);
    StepSimulation(*simulation, kWarmUpSteps);
    FrameBuilder frames;
    frames.Resize(kCols, kRows, simulation->worldWidth, simulation->worldHeight, true,
                  static_cast<ColourDepth>(state.range(0)));
    const FrameState view;
    int64_t bytes = 0;
    for (auto _ : state) {
        frames.RedrawAll();
        frames.Build(*simulation, view);
        bytes += static_cast<int64_t>(frames.Length());
    }
    state.counters["bytes_per_frame"] =
        static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TerminalWholeFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
