// The entry point: the command line read once with the one option table
// (shell/OptionTable.h), then the mode's front end. Every mode that runs a
// colony starts through shell/StartUp.h.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "shell/ExitStatus.h"
#include "shell/CommandLine.h"
#include "shell/ParameterList.h"
#include "shell/experiments/CompareRules.h"
#include "shell/experiments/HistoryRecorder.h"
#include "shell/experiments/Merge.h"
#include "shell/experiments/Plots.h"
#include "shell/experiments/SummaryRun.h"
#include "shell/experiments/Sweep.h"
#include "shell/experiments/SweepWorker.h"
#include "shell/headless/Headless.h"
#include "shell/rules/CheckRulesCommand.h"
#include "shell/rules/ListRules.h"
#include "shell/terminal/TerminalView.h"
#include "shell/WindowProgram.h"
#include "shell/xscreensaver/HackListCommand.h"

namespace {


// A headless run with --plot: the history is recorded while it runs and
// drawn when it has ended well.
int RunHeadlessMode(const CommandLine& line) {
    const char* plot = line.Text(OptionId::Plot);
    // About 40 KB of samples: on the heap, like the simulation.
    std::unique_ptr<HistoryRecorder> history;
    if (plot != nullptr) history = std::make_unique<HistoryRecorder>();
    int status = RunHeadlessCommand(line, history.get());
    std::string error;
    if (status == kExitOk && history != nullptr && !WriteHistoryPlot(plot, *history, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        status = kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    std::string error;
    if (!ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW"), line, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitUsage;
    }
    if (line.help) {
        std::fputs(UsageText(line.mode).c_str(), stdout);
        return kExitOk;
    }
    if (line.version) {
        std::printf("%s %s\n", kProgramName, MARROWICK_VERSION);
        return kExitOk;
    }
    switch (line.mode) {
        case Mode::ListParameters:
            if (PrintParameterList(stdout)) return kExitOk;
            std::fprintf(stderr, "%s: cannot write the parameter list\n", kProgramName);
            return kExitFailure;
        case Mode::CheckRules:
            return RunCheckRules(line);
        case Mode::ListRules:
            return RunListRules(line);
        case Mode::CompareRules:
            return RunCompareRulesCommand(line, argv[0]);
        case Mode::AddToXscreensaver:
            return RunHackListEdit(HackListAction::Add);
        case Mode::RemoveFromXscreensaver:
            return RunHackListEdit(HackListAction::Remove);
        case Mode::Merge:
            return RunMergeCommand(line);
        case Mode::Sweep:
            return RunSweepCommand(line, argv[0]);
        case Mode::SummaryRun:
            return RunSummaryCommand(line);
        case Mode::SweepWorker:
            return RunSweepWorker();
        case Mode::Headless:
            return RunHeadlessMode(line);
        case Mode::Terminal:
            return RunTerminal(line);
        case Mode::ScreenSaver:
        case Mode::Window:
#if MARROWICK_HAS_WINDOW
            return ExecWindowProgram(argv);
#else
            std::fprintf(stderr, "%s: built without the window; try %s --headless\n", kProgramName,
                         kProgramName);
            return kExitUsage;
#endif
        case Mode::Count:
            break;
    }
    return kExitUsage;
}
