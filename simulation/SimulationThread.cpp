#include "simulation/SimulationThread.h"

#include <cmath>
#include <system_error>

#include "simulation/Simulation.h"

namespace {

// A stop that is not seen within this long after the request is a fault
// elsewhere (a step that never returns); the restart then waits without limit.
constexpr int32_t kRestartStopWaitMs = 1000;

}  // namespace

int64_t SteadyPacingClock::Now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SteadyPacingClock::SleepMs(int32_t ms, std::condition_variable& wake, std::mutex& lock,
                                const std::atomic<int32_t>& stopRequested) {
    std::unique_lock<std::mutex> guard(lock);
    wake.wait_for(guard, std::chrono::milliseconds(ms),
                  [&stopRequested] { return stopRequested.load() != 0; });
}

void SimulationStepper::RunStep() {
    bool restart = false;
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        simulation.Step();
        restart = simulation.ColonyNeedsRestart();
    }
    if (restart) {
        host.RequestRestart();
    }
    host.RequestRepaint();
}

void PacingLoop::Iterate(std::condition_variable& wake, std::mutex& wakeLock) {
    const double frequency = static_cast<double>(clock.Frequency());

    // Window rollover. previous becomes the duration of the iteration that
    // crossed the boundary, so the first delta of the new window is negative
    // (or 0) and that iteration runs no step.
    if (elapsed >= 1.0) {
        previous = static_cast<double>(lastSample - windowStart) / frequency - previous;
        windowStart = lastSample = clock.Now();
        control.lastOvershoot.store(static_cast<float>(overshoot));
        overshoot = 0.0;
        iterations = 0;
        stepsLastWindow = stepsThisWindow;
        stepsThisWindow = 0;
        ++windowsOpened;
    }

    const int64_t iterationStart = clock.Now();
    elapsed = static_cast<double>(lastSample - windowStart) / frequency;
    const double delta = elapsed - previous;
    previous = elapsed;

    // No step right after a rollover, nor after an iteration of a second or
    // more (the machine was suspended or starved: do not try to catch up).
    if (delta > 0.0 && delta < 1.0) {
        work.RunStep();
        ++stepsThisWindow;
    }
    ++iterations;

    const int64_t workEnd = clock.Now();
    lastSample = clock.Now();
    elapsed = static_cast<double>(lastSample - windowStart) / frequency;

    float rate = control.simsPerSecond.load();
    if (!(rate >= kMinSimsPerSecond)) {  // also NaN
        rate = kMinSimsPerSecond;
    } else if (rate > kMaxSimsPerSecond) {
        rate = kMaxSimsPerSecond;
    }
    const double remaining = std::trunc(static_cast<double>(rate) - iterations);
    double sleep = 0.0;
    if (remaining != 0.0) {
        const double workSeconds = static_cast<double>(workEnd - iterationStart) / frequency;
        sleep = ((1.0 - elapsed) - remaining * workSeconds) / remaining -
                static_cast<double>(control.lastOvershoot.load()) / rate;
        if (sleep < 0.0) {
            sleep = 0.0;
        }
    }

    int32_t sleepMs = 0;
    const bool windowDone = remaining <= 0.0 && elapsed < 1.0;
    if (windowDone) {
        // Every iteration due in this window has run. Stepping on back to
        // back until the window ends would add a burst of extra steps (the
        // truncated sleeps leave up to a millisecond: dozens of fast steps),
        // so the rest of the window is slept, rounded up to whole
        // milliseconds, and the clock sampled again after it, so that the
        // next iteration opens the new window.
        sleepMs = static_cast<int32_t>(std::ceil((1.0 - elapsed) * 1000.0));
    } else {
        const double ms = sleep * 1000.0 + carryMs;
        sleepMs = static_cast<int32_t>(ms);  // ms < ~1000 + 1
        carryMs = ms - sleepMs;
    }
    lastSleepMs = sleepMs;

    if (sleepMs > 0) {
        const int64_t before = clock.Now();
        clock.SleepMs(sleepMs, wake, wakeLock, control.stopRequested);
        overshoot += static_cast<double>(clock.Now() - before) / frequency - sleepMs / 1000.0;
        if (windowDone) {
            lastSample = clock.Now();
            elapsed = static_cast<double>(lastSample - windowStart) / frequency;
        }
    }
}

SimulationThread::SimulationThread(Simulation& simulation, SimulationHost& host,
                                   SimThreadControl& control)
    : stepper(std::in_place, simulation, host), work(*stepper), control(control),
      clock(steadyClock) {}

SimulationThread::SimulationThread(SteppedWork& work, SimThreadControl& control,
                                   PacingClock& clock)
    : work(work), control(control), clock(clock) {}

SimulationThread::~SimulationThread() { Join(); }

void SimulationThread::RequestStop() {
    {
        // Under the sleep's lock, so the worker either sees the flag before it
        // waits or is woken by the notification.
        std::lock_guard<std::mutex> guard(wakeLock);
        control.stopRequested.store(1);
    }
    wake.notify_all();
}

bool SimulationThread::Start() {
    if (control.stopRequested.load() == 0 && worker.joinable()) {
        return false;  // one is meant to run already
    }
    if (worker.joinable()) {
        // The previous worker was asked to end; it finishes at most one step.
        worker.join();
    }
    {
        std::lock_guard<std::mutex> guard(doneLock);
        workerDone = false;
    }
    control.stopRequested.store(0);
    try {
        worker = std::thread(&SimulationThread::WorkerMain, this);
    } catch (const std::system_error&) {
        control.stopRequested.store(1);
        std::lock_guard<std::mutex> guard(doneLock);
        workerDone = true;
        return false;
    }
    return true;
}

void SimulationThread::Toggle() {
    if (control.stopRequested.load() != 0) {
        Start();
    } else {
        RequestStop();
    }
}

bool SimulationThread::Stop(int32_t timeoutMs) {
    RequestStop();
    if (!worker.joinable()) {
        return true;
    }
    bool ended = false;
    {
        std::unique_lock<std::mutex> guard(doneLock);
        ended = doneSignal.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                    [this] { return workerDone; });
    }
    if (ended) {
        worker.join();  // it has left its loop; only the thread's exit remains
    }
    return ended;
}

void SimulationThread::Join() {
    RequestStop();
    if (worker.joinable()) {
        worker.join();
    }
}

void SimulationThread::WorkerMain() {
    const int32_t alive = liveWorkers.fetch_add(1) + 1;
    int32_t peak = peakLiveWorkers.load();
    while (alive > peak && !peakLiveWorkers.compare_exchange_weak(peak, alive)) {
    }

    // The loop state lives on this worker's stack: a few dozen bytes.
    PacingLoop loop(control, clock, work);
    try {
        loop.Run(wake, wakeLock);
    } catch (...) {
        // Nothing may leave the worker; the view sees a stopped simulation.
        failed.store(true);
        control.stopRequested.store(1);
    }

    liveWorkers.fetch_sub(1);
    {
        std::lock_guard<std::mutex> guard(doneLock);
        workerDone = true;
    }
    doneSignal.notify_all();
}

void OnColonyRestart(SimulationThread& thread, Simulation& simulation, int32_t pauseMs) {
    if (!thread.Stop(kRestartStopWaitMs)) {
        thread.Join();
    }
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        simulation.RestartColony();
    }
    if (pauseMs > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    thread.Start();
}
