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

// The block shared between the view and the worker.
struct SimThreadControl {
    std::atomic<int32_t> stopRequested{1};  // 0 while the worker is meant to run
    std::atomic<float> simsPerSecond{40.0f};
    std::atomic<float> lastOvershoot{0.0f};  // worker only; atomic for reading in tests
};
