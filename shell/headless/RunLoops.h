#pragma once
// The two ways a headless run steps: fast (on the calling thread, as fast as
// the machine allows) and live (the simulation thread at its pace).
#include <cstdint>

class Reporter;
class Simulation;

// Signals: SIGINT, SIGTERM, SIGHUP and SIGPIPE only record themselves; the
// run loops poll. A closed pipe is a request to stop like the others (the
// reader has gone), not a reason to die half-way through a row. A second
// SIGINT, SIGTERM or SIGHUP gets the default action, so a run that cannot end
// still can be ended; a second SIGPIPE is recorded again (the final
// statistics may still hit the closed pipe). Installs the handlers for one
// run and puts the previous ones back.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
};

bool Interrupted();
// The first stop signal received since the guard was installed, or 0.
int InterruptSignal();
// A write that failed with EPIPE stops the run as SIGPIPE does (the signal
// may be ignored or blocked by whoever started us).
void NoteBrokenPipe();
// "SIGTERM" and so on, for the four stop signals.
const char* StopSignalName(int signalNumber);

// Steps on the calling thread, rebuilding the colony right after the step
// that left the viable range, as the view's restart does (without its pause).
// Stops early on a stop signal or when the reporter cannot write. Returns
// the number of steps run.
int64_t RunFast(Simulation& simulation, Reporter& reporter, int64_t steps);
// Runs the simulation thread at rate steps per second until a stop signal or
// a failed write; false when the thread cannot start.
bool RunLive(Simulation& simulation, Reporter& reporter, int32_t rate);
