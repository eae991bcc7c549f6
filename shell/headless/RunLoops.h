#pragma once
// The two ways a headless run steps: fast (on the calling thread, as fast as
// the machine allows) and live (the simulation thread at its pace).
#include <cstdint>

class Reporter;
class Simulation;

// Signals: SIGINT and SIGTERM only record themselves; the run loops poll.
// Installs the handlers for one run and puts the previous ones back.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool Interrupted();

// Steps on the calling thread, rebuilding the colony right after the step
// that left the viable range, as the view's restart does (without its pause).
void RunFast(Simulation& simulation, Reporter& reporter, int64_t steps);
// Runs the simulation thread at rate steps per second until interrupted;
// false when the thread cannot start.
bool RunLive(Simulation& simulation, Reporter& reporter, int32_t rate);
