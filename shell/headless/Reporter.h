#pragma once
// What a headless run shows while it runs and when it ends: the CSV rows, the
// statistics block and the progress bar. Where standard output is a terminal
// the block is redrawn in place; the bar lives on its own line of standard
// error below it and is cleared before the block moves.
//
// Output that cannot be written stops the run: Stopped() turns true at the
// first failed write of a row or of the statistics (a closed pipe included),
// and the run loops poll it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>

#include "shell/headless/CsvWriter.h"
#include "shell/headless/Options.h"
#include "simulation/StatisticsText.h"

class Simulation;

class Reporter {
public:
    // csv: the open CSV, or nullptr for none. liveRows: every row is written
    // at once (a live run's CSV is read while it grows); otherwise rows go out
    // in whole buffers.
    Reporter(const HeadlessOptions& options, CsvWriter* csv, bool liveRows);

    // After every step; the caller holds the state lock. A row goes out every
    // K steps (--every) and for a fixed run's last step, so its CSV always
    // ends with the state the run ended in.
    void AfterStep(Simulation& simulation);
    // A write failed (CSV or statistics): the run must stop. Any thread.
    bool Stopped() const { return stopped.load(); }
    // The errno of the first failed write of the statistics, or 0.
    int StatisticsError() const { return statisticsError; }
    bool StatisticsOnStandardOutput() const { return statsOut == stdout; }
    // Fast runs: done of total steps, since start.
    void Progress(int64_t done, int64_t total, std::chrono::steady_clock::time_point start);
    // The final block; the caller holds the state lock.
    void Finish(Simulation& simulation);

private:
    void DrawBlock(Simulation& simulation);
    void CheckStatisticsOutput();

    CsvWriter* csv;
    bool liveRows;
    RunObserver* observer;
    int32_t every;
    int64_t lastStep;  // a fixed run's --steps; -1 live
    std::atomic<bool> stopped{false};
    int statisticsError = 0;
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
