#pragma once
// A 64-bit fingerprint of the simulation: the colony (every ant in list order,
// the counters, reserves, credits, shares and countdowns, the trail cells),
// the expert system's baselines, switch and action lines, and the food field.
// Two runs that hash alike took the same path; the golden tests and the
// headless determinism checks compare it. The caller holds the state lock.
#include <cstdint>

class Simulation;

uint64_t StateHash(const Simulation& simulation);
