#pragma once
// The headless mode: the same simulation without a window, for machines
// without a display and for experiments.
//
// With --steps the run is as fast as the machine allows and single-threaded
// (so a seed fully determines its output); without it the simulation thread
// runs at the live pace until SIGINT or SIGTERM. Colony restarts rebuild the
// colony exactly as the view does.
//
// Its parts: Options (what the command line asks), RunLoops (fast and live
// runs), Reporter (statistics block, progress bar, CSV rows), CsvRow (the CSV
// format), HeadlessHost (the live run's host), RuleTrace (--trace-rules).
#include "shell/headless/CsvRow.h"
#include "shell/headless/HeadlessHost.h"
#include "shell/headless/Options.h"

// Runs with the options' run prepared and its files provided (the start-up's
// steps 1 and 2). 0 on success, 1 when an output cannot be written or the
// simulation thread cannot start.
int RunHeadless(const HeadlessOptions& options);

// The whole mode from a parsed command line: the start-up, then the run.
// observer (may be null) sees every step (the --plot history). Exit status
// as the help says.
int RunHeadlessCommand(const CommandLine& line, RunObserver* observer = nullptr);
