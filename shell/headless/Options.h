#pragma once
// What a headless run is asked to do, from the command line:
//
//   marrowick --headless [--steps N] [--rate R] [--seed N] [--csv FILE|-]
//                        [--every K] [--verbose] [--trace-rules FILE|-]
//                        [--plot FILE.svg] [--set NAME=VALUE]... [--rules FILE]
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/RunDescription.h"
#include "shell/CommandLine.h"
#include "shell/RunObserver.h"

class Simulation;

struct HeadlessOptions {
    RunDescription run;           // the colony: parameters, pace, seed, flags, rule base
    int64_t steps = -1;           // -1: live pace until interrupted
    const char* csvPath = nullptr;  // nullptr: no CSV; "-": standard output
    int32_t every = 1;            // CSV rows and terminal refreshes, in steps
    const char* traceRulesPath = nullptr;  // --trace-rules: one line per pass ("-": stdout)
    const char* plotPath = nullptr;        // --plot: drawn by whoever observes the run
    // Not options: a hook that sets the simulation up before the first step
    // (tests drive a colony out of its viable range with it), and an observer
    // of every step (the plot's history).
    void (*prepare)(Simulation& simulation) = nullptr;
    RunObserver* observer = nullptr;
};

// The headless options of a parsed command line, with the run prepared by the
// start-up (shell/StartUp.h: the description checked, the outputs checked
// against the inputs). kExitOk, or the exit status with a one-line message.
int HeadlessOptionsFrom(const CommandLine& line, HeadlessOptions& options, std::string& error);
