#pragma once
// Building the simulation a run describes.
//
// The given values are written once the simulation's members are made and
// before its first world is built, so the food, the world's size and the first
// colony come out as if those values had been the defaults: a value equal to
// its default changes nothing, bit for bit, and a run with nothing given is
// the default run.
#include <memory>

#include "settings/RunDescription.h"

class Simulation;
struct SimThreadControl;

// Builds the simulation (on the heap: megabytes) for a run that has passed
// CheckRun, with its rule base loaded, its seed, its given values, and its
// flags (trails, expert system, verbosity) in place.
std::unique_ptr<Simulation> BuildSimulation(const RunDescription& run);

// The run's pace, into the block the simulation thread reads.
void ApplyPace(const RunDescription& run, SimThreadControl& control);
