#pragma once
// The experiments as main sees them: the commands of their own (a sweep, a
// merge, one summary run, the parameter list) and the start-up options that
// every other mode takes (--set NAME=VALUE, and --plot FILE.svg for a
// headless run).
#include <string>
#include <vector>

#include "shell/StartSettings.h"

// True when the command line is one of the experiments' commands, which has
// then run; status is its exit status.
bool RunExperimentCommand(int argc, char** argv, int& status);

struct StartOptions {
    StartSettings settings;
    const char* plotPath = nullptr;
};

// Takes --set and --plot out of the command line; rest receives the other
// arguments (argv[0] first, then a null), for the mode's own parser. False
// with a message for a refused value.
bool TakeStartOptions(int argc, char** argv, StartOptions& start, std::vector<char*>& rest,
                      std::string& error);

// The cross-checks of the settings against the defaults, before anything is
// opened, written or shown.
bool CheckStartOptions(const StartOptions& start, std::string& error);

// The headless mode with the start options: the settings applied after the
// simulation is built, the history plotted when the run ends.
int RunHeadlessWithOptions(int argc, char** argv, const StartOptions& start);
