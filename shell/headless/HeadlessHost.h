#pragma once
// The live run's host: what the simulation thread reports to when no window
// is there to receive its messages.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "simulation/SimulationThread.h"

class Simulation;

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
