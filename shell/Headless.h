#pragma once
// The headless mode: the same simulation without a window, for machines
// without a display and for experiments.
//
//   marrowick --headless [--steps N] [--rate R] [--seed N] [--csv FILE|-]
//                        [--every K] [--verbose]
//
// With --steps the run is as fast as the machine allows and single-threaded
// (so a seed fully determines its output); without it the simulation thread
// runs at the live pace until SIGINT or SIGTERM. Colony restarts rebuild the
// colony exactly as the view does.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

#include "simulation/SimulationThread.h"

class Simulation;

struct HeadlessOptions {
    int64_t steps = -1;           // -1: live pace until interrupted
    int32_t rate = 40;            // live steps per second
    uint32_t seed = 1;            // the random source's initial state (1: never seeded)
    const char* csvPath = nullptr;  // nullptr: no CSV; "-": standard output
    int32_t every = 1;            // CSV rows and terminal refreshes, in steps
    bool verbose = false;         // rule-engine printouts reach standard output
    // Not options: the working directory's rule base (tests point it
    // elsewhere), and a hook that sets the simulation up before the first
    // step (tests drive a colony out of its viable range with it).
    const char* rulesPath = "Rules.clp";
    void (*prepare)(Simulation& simulation) = nullptr;
};

enum class HeadlessCommand { Run, Help, Version, Error };

// Reads the arguments after argv[0]; "--headless" itself is skipped wherever
// it stands. Both "--steps N" and "--steps=N" are accepted. On Error, error
// holds a one-line message (no newline).
HeadlessCommand ParseHeadlessOptions(int argc, char** argv, HeadlessOptions& options,
                                     char* error, size_t errorCapacity);

// Runs with parsed options. 0 on success, 1 when the CSV file cannot be
// written or the simulation thread cannot start.
int RunHeadless(const HeadlessOptions& options);

// The whole command: parse, then help, version, usage error (exit status 2)
// or the run.
int RunHeadless(int argc, char** argv);

// The CSV header row and one data row (no newline). Text fields are always
// quoted, with inner quotes doubled. The caller holds the state lock.
extern const char kHeadlessCsvHeader[];
size_t FormatCsvRow(const Simulation& simulation, char* buffer, size_t capacity);

// The live run's host. Restart requests queue up (each one is handled, as the
// view handles every restart message); after every step the observer, if any,
// runs on the worker thread.
class HeadlessHost final : public SimulationHost {
public:
    class StepObserver {
    public:
        virtual ~StepObserver() = default;
        virtual void AfterStep() = 0;  // on the worker, outside the state lock
    };

    explicit HeadlessHost(StepObserver* observer = nullptr) : observer(observer) {}

    void RequestRestart() override;
    void RequestRepaint() override;

    // Waits up to ms until a restart is queued; true when one is.
    bool WaitForRestart(int32_t ms);
    // Takes one queued restart without waiting; false when none is queued.
    bool TakeRestart();
    int32_t QueuedRestarts() const { return queuedRestarts.load(); }

private:
    StepObserver* observer;
    std::atomic<int32_t> queuedRestarts{0};
    std::mutex lock;
    std::condition_variable queued;
};

// Handles the restarts queued on entry, one full OnColonyRestart each (those
// queued meanwhile wait for the next call). Returns how many.
int32_t HandleQueuedRestarts(HeadlessHost& host, SimulationThread& thread,
                             Simulation& simulation, int32_t pauseMs);
