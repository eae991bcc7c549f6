#pragma once
// The headless mode: the same simulation without a window, for machines
// without a display and for experiments.
//
// With --steps the run is as fast as the machine allows and single-threaded
// (so a seed fully determines its output); without it the simulation thread
// runs at the live pace until SIGINT or SIGTERM. Colony restarts rebuild the
// colony exactly as the view does.
//
// Its parts: shell/headless/Options (command line), RunLoops (fast and live
// runs, signals), Reporter (statistics block, progress bar, CSV rows), CsvRow
// (the CSV format), HeadlessHost (the live run's host).
#include "shell/headless/CsvRow.h"
#include "shell/headless/HeadlessHost.h"
#include "shell/headless/Options.h"

// Runs with parsed options. 0 on success, 1 when the CSV file cannot be
// written or the simulation thread cannot start.
int RunHeadless(const HeadlessOptions& options);

// The whole command: parse, then help, version, usage error (exit status 2)
// or the run, with the --set values and a step observer that main took out of
// the command line (either may be null).
int RunHeadless(int argc, char** argv, const StartSettings* settings = nullptr,
                RunObserver* observer = nullptr);
