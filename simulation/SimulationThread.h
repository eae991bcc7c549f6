#pragma once
// The simulation thread: steps the simulation at a target pace on a worker
// thread, asks its host to repaint after every step and to restart the colony
// when it leaves its viable range.
//
// Guarantees:
// - at most one worker runs at any time: Start waits for a previous worker
//   that is still finishing, and a stop request wakes the worker from its
//   sleep at once;
// - every Step runs under the simulation's stateMutex;
// - the host callbacks run on the worker thread and must be thread-safe and
//   non-blocking (the window shell pushes SDL events; the headless runner sets
//   flags).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

class Simulation;

// What the worker asks of the view.
class SimulationHost {
public:
    virtual ~SimulationHost() = default;
    virtual void RequestRestart() = 0;  // the colony left its viable range
    virtual void RequestRepaint() = 0;  // a step has finished
};

// Time for the pacing loop; injectable so that tests can run the pacing on a
// simulated clock.
class PacingClock {
public:
    virtual ~PacingClock() = default;
    virtual int64_t Now() = 0;          // ticks
    virtual int64_t Frequency() = 0;    // ticks per second
    // Sleeps up to ms milliseconds; returns early when wake() becomes true.
    virtual void SleepMs(int32_t ms, std::condition_variable& wake, std::mutex& lock,
                         const std::atomic<int32_t>& stopRequested) = 0;
};

// The steady clock in nanoseconds, sleeping on the condition variable.
class SteadyPacingClock final : public PacingClock {
public:
    int64_t Now() override;
    int64_t Frequency() override { return 1000000000; }
    void SleepMs(int32_t ms, std::condition_variable& wake, std::mutex& lock,
                 const std::atomic<int32_t>& stopRequested) override;
};

// The accepted pace ("Sims Per Second"). Below 2 per second the window
// arithmetic has no iteration left to sleep in and would step back to back,
// so the loop never works with less than the minimum.
constexpr float kMinSimsPerSecond = 5.0f;
constexpr float kMaxSimsPerSecond = 1000.0f;

// The block shared between the view and the worker.
struct SimThreadControl {
    std::atomic<int32_t> stopRequested{1};  // 0 while the worker is meant to run
    std::atomic<float> simsPerSecond{40.0f};
    std::atomic<float> lastOvershoot{0.0f};  // worker only; atomic for reading in tests
};

// What one paced iteration runs when a step is due.
class SteppedWork {
public:
    virtual ~SteppedWork() = default;
    virtual void RunStep() = 0;
};

// One simulation step under the state lock, then the host's requests: a
// restart while the colony is outside its viable range (after every step for
// as long as that holds), and a repaint. The callbacks run after the lock is
// released, so a host may take it.
class SimulationStepper final : public SteppedWork {
public:
    SimulationStepper(Simulation& simulation, SimulationHost& host)
        : simulation(simulation), host(host) {}
    void RunStep() override;

private:
    Simulation& simulation;
    SimulationHost& host;
};

// The pacing state of one worker run. About simsPerSecond iterations fall into
// each one-second window, one step per iteration except the first of every
// window (and one that follows an iteration of a second or more). Each sleep
// is the rest of the window shared out over the iterations still due, less
// their expected work and a share of the sleep overshoot the previous window
// suffered; sub-millisecond remainders carry into later sleeps. Once all the
// iterations due have run, the rest of the window is slept out instead of
// stepping on: a window never holds more steps than its target.
class PacingLoop {
public:
    PacingLoop(SimThreadControl& control, PacingClock& clock, SteppedWork& work)
        : control(control), clock(clock), work(work) {}

    // One iteration: maybe a step, then the paced sleep.
    void Iterate(std::condition_variable& wake, std::mutex& wakeLock);
    // Iterates until a stop is requested.
    void Run(std::condition_variable& wake, std::mutex& wakeLock) {
        while (control.stopRequested.load() == 0) {
            Iterate(wake, wakeLock);
        }
    }

    // Algorithm state; all durations in seconds.
    int64_t windowStart = 0;
    int64_t lastSample = 0;
    double elapsed = 1.0;   // seconds into the window as of lastSample; 1.0 opens the first window
    double previous = 0.0;  // elapsed as of the previous iteration
    int32_t iterations = 0; // in the current window
    double carryMs = 0.0;   // fraction of a millisecond not slept yet, in [0, 1)
    double overshoot = 0.0; // sleep overshoot accumulated in the current window

    // Observations (tests, statistics).
    int64_t windowsOpened = 0;
    int32_t stepsThisWindow = 0;
    int32_t stepsLastWindow = 0;  // steps of the window that closed last
    int32_t lastSleepMs = 0;      // the sleep requested by the last iteration

private:
    SimThreadControl& control;
    PacingClock& clock;
    SteppedWork& work;
};

// Owns the worker thread. All operations belong to one controlling thread
// (the interface thread); the worker only reads the control block and steps.
class SimulationThread {
public:
    // Steps simulation on the steady clock and reports to host.
    SimulationThread(Simulation& simulation, SimulationHost& host, SimThreadControl& control);
    // Runs work in place of the simulation step, on clock (tests, benchmarks).
    SimulationThread(SteppedWork& work, SimThreadControl& control, PacingClock& clock);
    // Stops the worker and waits for it without limit.
    ~SimulationThread();
    SimulationThread(const SimulationThread&) = delete;
    SimulationThread& operator=(const SimulationThread&) = delete;

    // Starts a worker unless one is meant to run already; a previous worker
    // still finishing its iteration is waited for first, so two never run.
    // False when no new worker was started (one runs, or the system refused).
    bool Start();
    // Pause and resume: a running worker is asked to end (without waiting),
    // otherwise a new one starts.
    void Toggle();
    // Asks the worker to end (waking it from its sleep) and waits at most
    // timeoutMs. True when no worker is left running.
    bool Stop(int32_t timeoutMs);
    // Asks the worker to end and waits for it without limit.
    void Join();
    // stopRequested is 0: a worker is meant to run.
    bool Running() const { return control.stopRequested.load() == 0; }

    // Workers alive right now and the most ever alive at once; both stay at
    // most 1 (checked by the tests).
    int32_t LiveWorkers() const { return liveWorkers.load(); }
    int32_t PeakLiveWorkers() const { return peakLiveWorkers.load(); }
    // Set when a step threw: the worker ended and stopRequested is 1.
    bool Failed() const { return failed.load(); }

private:
    void RequestStop();
    void WorkerMain();

    std::optional<SimulationStepper> stepper;  // with the first constructor
    SteadyPacingClock steadyClock;
    SteppedWork& work;
    SimThreadControl& control;
    PacingClock& clock;

    std::mutex wakeLock;             // guards the stop flag's change against the sleep's wait
    std::condition_variable wake;
    std::mutex doneLock;
    std::condition_variable doneSignal;
    bool workerDone = true;          // guarded by doneLock
    std::thread worker;              // controlling thread only

    std::atomic<int32_t> liveWorkers{0};
    std::atomic<int32_t> peakLiveWorkers{0};
    std::atomic<bool> failed{false};
};

// The colony restart as the view performs it on its own thread: stop the
// worker (waiting 1000 ms, then without limit, so the rebuild never overlaps a
// step), rebuild the colony under the state lock, pause pauseMs, and start the
// worker again, also when the simulation had been paused before.
void OnColonyRestart(SimulationThread& thread, Simulation& simulation, int32_t pauseMs);
