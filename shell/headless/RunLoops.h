#pragma once
// The two ways a headless run steps: fast (on the calling thread, as fast as
// the machine allows) and live (the simulation thread at its pace).
#include <cstdint>

class Reporter;
class Simulation;

// Both loops stop between two steps once a stop signal has arrived
// (shell/StopSignals.h, installed by the caller) or the reporter cannot write.

// Steps on the calling thread, rebuilding the colony right after the step
// that left the viable range, as the view's restart does (without its pause).
// Stops early on a stop signal or when the reporter cannot write. Returns
// the number of steps run.
int64_t RunFast(Simulation& simulation, Reporter& reporter, int64_t steps);
// Runs the simulation thread at rate steps per second until a stop signal or
// a failed write; false when the thread cannot start.
bool RunLive(Simulation& simulation, Reporter& reporter, int32_t rate);
