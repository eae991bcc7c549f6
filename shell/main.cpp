// Start-up: the terminal runner for --headless, otherwise the screen saver's
// modes and our window mode (shell/window/Application.h).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/Headless.h"
#include "shell/rules/CheckRulesCommand.h"
#include "shell/terminal/TerminalView.h"
#include "shell/experiments/Experiments.h"
#if MARROWICK_HAS_GUI
#include "shell/window/Application.h"
#endif

int main(int argc, char** argv) {
    // Checking a rule base needs no simulation at all.
    if (WantsRuleCheck(argc, argv)) {
        return RunCheckRules(argc, argv);
    }
    // Sweeps, merges, a sweep's single run and the parameter list.
    int status = 0;
    if (RunExperimentCommand(argc, argv, status)) {
        return status;
    }
    // --set and --plot hold in every mode: taken out here, applied by each
    // front end right after it has built its simulation.
    StartOptions start;
    std::vector<char*> rest;
    std::string error;
    if (!TakeStartOptions(argc, argv, start, rest, error)) {
        std::fprintf(stderr, "marrowick: %s\n", error.c_str());
        return 2;
    }
    argc = static_cast<int>(rest.size()) - 1;
    argv = rest.data();
    // The terminal runner reads its own options, wherever --headless stands
    // (and says what is wrong with "-headless=1" and the like itself).
    for (int i = 1; i < argc; ++i) {
        if (IsHeadlessSwitch(argv[i])) {
            return RunHeadlessWithOptions(argc, argv, start);
        }
    }
    CommandLine line;
    ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), line);
    // What needs no window is answered here, with or without the GUI.
    switch (line.launch) {
        case Launch::Help:
            std::fputs(UsageText(), stdout);
            return 0;
        case Launch::Version:
            std::printf("marrowick %s\n", MARROWICK_VERSION);
            return 0;
        case Launch::Error:
            std::fprintf(stderr, "marrowick: %s\n", line.error);
            return 2;
        default:
            break;
    }
    if (start.plotPath != nullptr) {
        std::fprintf(stderr, "marrowick: --plot draws a headless run (--headless --steps N) "
                             "or a sweep (--sweep)\n");
        return 2;
    }
    if (!CheckStartOptions(start, error)) {
        std::fprintf(stderr, "marrowick: %s\n", error.c_str());
        return 2;
    }
    line.settings = start.settings;
    if (line.launch == Launch::Terminal) {
        return RunTerminal(line);
    }
#if MARROWICK_HAS_GUI
    return RunApplication(line);
#else
    std::fprintf(stderr, "marrowick: built without the window; try marrowick --headless\n");
    return 2;
#endif
}
