#pragma once
// One run of a sweep, in a process of its own (so the rule engine's state is
// the process's alone):
//
//   marrowick --summary-run --seed S --steps N [--set NAME=VALUE]... [--out FILE|-]
//
// It builds the simulation, applies the settings, steps N times as fast as the
// machine allows (rebuilding the colony whenever it leaves its viable range,
// as a headless run does) and appends one summary row to FILE, or prints the
// header and the row on standard output. The parameter columns are the --set
// names in the order given.
//
// It installs no signal handlers: a run that is ended early writes nothing,
// so no row ever describes a run cut short. Started by a sweep (the
// environment says so), it also ends when the sweep process does.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/RunDescription.h"
#include "shell/CommandLine.h"
#include "shell/experiments/RunSeries.h"
#include "shell/experiments/SummaryRow.h"

struct SummaryRunOptions {
    RunKey key;                 // parameters with their values, seed, steps
    const char* out = nullptr;  // null or "-": standard output
    RunDescription run;         // the same run, prepared by the start-up
    // --series-folder: the run's course is saved there too, before its row
    // (SeriesFilePath names the file), so a run with a row has its course.
    const char* seriesFolder = nullptr;
};

// Marks the environment of a sweep's runs.
extern const char kSweepChildVariable[];

// The run of a parsed command line (summary-run mode), prepared by the
// start-up. kExitOk, or the exit status with a one-line message.
int SummaryRunOptionsFrom(const CommandLine& line, SummaryRunOptions& options, std::string& error);

// Runs the simulation options.run describes and fills the summary (seconds
// included); series, when given, records the run's course.
void SimulateSummary(const SummaryRunOptions& options, RunSummary& summary,
                     SeriesRecorder* series = nullptr);

// The whole mode: 0 with the row written, 1 when it cannot be written, 2 for
// bad usage.
int RunSummaryCommand(const CommandLine& line);

// The run of a summary-run command line, as RunSummaryCommand makes it, with
// its exit status; a row that would go to standard output goes to printed
// instead (a sweep's worker answers with it), when printed is not null.
int MakeSummaryRun(const CommandLine& line, std::string* printed);

// A process started by a sweep (the environment says so) ends when the sweep
// does; false when the sweep is gone already (nothing may be written then).
bool BindToSweep();
