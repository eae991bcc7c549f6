#include "shell/headless/RunLoops.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

#include "shell/OptionTable.h"
#include "shell/StartUp.h"
#include "shell/StopSignals.h"
#include "shell/headless/HeadlessHost.h"
#include "shell/headless/Reporter.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

// The view pauses this long after rebuilding a colony; fast runs do not.
constexpr int32_t kLiveRestartPauseMs = 100;
// How often the live run's main thread looks at the interrupt flag.
constexpr int32_t kInterruptPollMs = 20;
constexpr int64_t kProgressCheckSteps = 64;  // steps between clock reads

class LiveObserver final : public HeadlessHost::StepObserver {
public:
    LiveObserver(Simulation& simulation, Reporter& reporter)
        : simulation(simulation), reporter(reporter) {}
    // The only place that sees every step of a live run; the main thread
    // writes nothing while the worker runs.
    void AfterStep() override {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        reporter.AfterStep(simulation);
    }

private:
    Simulation& simulation;
    Reporter& reporter;
};

}  // namespace

int64_t RunFast(Simulation& simulation, Reporter& reporter, int64_t steps) {
    const auto start = std::chrono::steady_clock::now();
    int64_t done = 0;
    for (; done < steps && !StopSignals::Requested() && !reporter.Stopped(); ++done) {
        {
            std::lock_guard<std::mutex> guard(simulation.stateMutex);
            StepFast(simulation, [&reporter](Simulation& s) { reporter.AfterStep(s); });
        }
        if ((done + 1) % kProgressCheckSteps == 0) {
            reporter.Progress(done + 1, steps, start);
        }
    }
    return done;
}

bool RunLive(Simulation& simulation, Reporter& reporter, int32_t rate) {
    LiveObserver observer(simulation, reporter);
    HeadlessHost host(&observer);
    SimThreadControl control;
    control.simsPerSecond.store(static_cast<float>(rate));
    SimulationThread thread(simulation, host, control);
    if (!thread.Start()) {
        std::fprintf(stderr, "%s: cannot start the simulation thread\n", kProgramName);
        return false;
    }
    while (!StopSignals::Requested() && !reporter.Stopped()) {
        if (host.WaitForRestart(kInterruptPollMs)) {
            HandleQueuedRestarts(host, thread, simulation, kLiveRestartPauseMs);
        }
    }
    if (!thread.Stop(1000)) {
        thread.Join();
    }
    return true;
}
