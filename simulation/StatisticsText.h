#pragma once
// The statistics lines, formatted once for both the on-screen overlay and the
// headless terminal output, so the two can never drift apart.
#include <cstddef>

class Simulation;

struct StatisticsLines {
    static constexpr int kLineCount = 15;
    static constexpr size_t kLineCapacity = 200;
    char line[kLineCount][kLineCapacity];
};

// Formats the fifteen overlay lines ("Render Time ..." to "Colony deaths ...").
// The expert line names the rule base while the expert system is on:
// "Expert System Actions is On (thrifty)".
// While the expert system is off it first empties the colony's two action
// lines, as the overlay does every frame. The caller holds the simulation's
// state lock.
void FormatStatistics(Simulation& simulation, StatisticsLines& out);
