#pragma once
// The sweep: every run of the plan that the summary file does not hold yet,
// each a process of the program (marrowick --summary-run ...), as many at a
// time as there are jobs. Each run appends its own row as it finishes; a run
// that fails gets a row with its status from the sweep, and the sweep goes on.
// On a terminal a progress line shows the runs done and the time left.
//
// SIGINT, SIGTERM and SIGHUP end the sweep: its runs are ended too, and only
// finished runs ever have a row, so the same command later goes on from there.
// A sweep that is killed outright takes its runs with it.
#include "shell/experiments/SweepPlan.h"

// Runs (or, with --list-runs, prints) the plan. argv0: this program's name,
// for finding its file when /proc is not there. Exit status as kSweepHelp says.
int RunSweep(const SweepPlan& plan, const char* argv0);

// The whole mode from a parsed command line: usage errors (status 2), then
// the sweep. argv0 as for RunSweep.
int RunSweepCommand(const CommandLine& line, const char* argv0);

// The command line of one run (program first); seriesFolder as the plan's.
std::vector<std::string> RunCommand(const std::string& program, const RunKey& key,
                                    const char* out, const std::string& seriesFolder = std::string());
