#pragma once
// What a headless run shows while it runs and when it ends: the CSV rows, the
// statistics block and the progress bar. Where standard output is a terminal
// the block is redrawn in place; the bar lives on its own line of standard
// error below it and is cleared before the block moves.
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "shell/headless/Options.h"
#include "simulation/StatisticsText.h"

class Simulation;

class Reporter {
public:
    // csv: the open CSV stream (stdout for "-"), or nullptr for none.
    Reporter(const HeadlessOptions& options, std::FILE* csv);

    // After every step; the caller holds the state lock.
    void AfterStep(Simulation& simulation);
    // Fast runs: done of total steps, since start.
    void Progress(int64_t done, int64_t total, std::chrono::steady_clock::time_point start);
    // The final block; the caller holds the state lock.
    void Finish(Simulation& simulation);

private:
    void DrawBlock(Simulation& simulation);

    std::FILE* csv;
    RunObserver* observer;
    int32_t every;
    std::FILE* statsOut = stdout;
    bool statsTerminal = false;
    bool liveBlock = false;
    bool barTerminal = false;
    bool barShown = false;
    int blockOnScreen = 0;  // lines of the block above the cursor
    std::chrono::steady_clock::time_point lastRefresh{};
    std::chrono::steady_clock::time_point lastBar{};
    StatisticsLines lines{};
    char barText[128] = {};
};
