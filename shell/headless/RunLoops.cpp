#include "shell/headless/RunLoops.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>

#include "policy/EngineProcess.h"
#include "shell/headless/HeadlessHost.h"
#include "shell/headless/Reporter.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

constexpr const char* kProgram = "marrowick";
// The view pauses this long after rebuilding a colony; fast runs do not.
constexpr int32_t kLiveRestartPauseMs = 100;
// How often the live run's main thread looks at the interrupt flag.
constexpr int32_t kInterruptPollMs = 20;
constexpr int64_t kProgressCheckSteps = 64;  // steps between clock reads

// The handler only records the signal (the first one is the reason the run
// stopped); the run loops poll it.
std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal flag must be lock-free");

void Record(int signalNumber) {
    int none = 0;
    interruptSignal.compare_exchange_strong(none, signalNumber);
}

// A rule engine pass under way is abandoned too, so the step ends at once.
void OnInterrupt(int signalNumber) {
    Record(signalNumber);
    EngineProcess::AbandonWaits();
}

struct Handled {
    int signalNumber;
    unsigned long flags;  // sa_flags (SA_RESETHAND does not fit an int)
    struct sigaction previous;
};
Handled handled[] = {
    {SIGINT, SA_RESETHAND, {}},
    {SIGTERM, SA_RESETHAND, {}},
    {SIGHUP, SA_RESETHAND, {}},
    {SIGPIPE, 0, {}},
};

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

bool Interrupted() { return interruptSignal.load(std::memory_order_relaxed) != 0; }

int InterruptSignal() { return interruptSignal.load(); }

void NoteBrokenPipe() { Record(SIGPIPE); }

const char* StopSignalName(int signalNumber) {
    switch (signalNumber) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGPIPE: return "SIGPIPE";
        default: return "a signal";
    }
}

InterruptGuard::InterruptGuard() {
    interruptSignal.store(0);
    EngineProcess::ResumeWaits();
    for (Handled& h : handled) {
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = static_cast<int>(h.flags);
        sigaction(h.signalNumber, &action, &h.previous);
    }
}

InterruptGuard::~InterruptGuard() {
    EngineProcess::ResumeWaits();  // the run's engine is gone by now
    for (Handled& h : handled) {
        sigaction(h.signalNumber, &h.previous, nullptr);
    }
}

int64_t RunFast(Simulation& simulation, Reporter& reporter, int64_t steps) {
    const auto start = std::chrono::steady_clock::now();
    int64_t done = 0;
    for (; done < steps && !Interrupted() && !reporter.Stopped(); ++done) {
        {
            std::lock_guard<std::mutex> guard(simulation.stateMutex);
            simulation.Step();
            reporter.AfterStep(simulation);
            if (simulation.ColonyNeedsRestart()) {
                simulation.RestartColony();
            }
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
        std::fprintf(stderr, "%s: cannot start the simulation thread\n", kProgram);
        return false;
    }
    while (!Interrupted() && !reporter.Stopped()) {
        if (host.WaitForRestart(kInterruptPollMs)) {
            HandleQueuedRestarts(host, thread, simulation, kLiveRestartPauseMs);
        }
    }
    if (!thread.Stop(1000)) {
        thread.Join();
    }
    return true;
}
