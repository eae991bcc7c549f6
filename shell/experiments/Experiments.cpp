#include "shell/experiments/Experiments.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "shell/Headless.h"
#include "shell/experiments/HistoryRecorder.h"
#include "shell/experiments/Merge.h"
#include "shell/experiments/Plots.h"
#include "shell/experiments/SummaryRun.h"
#include "shell/experiments/Sweep.h"

namespace {

constexpr const char* kProgram = "marrowick";
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

bool Has(int argc, char** argv, const char* option) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) return true;
    }
    return false;
}

int ListParameters() {
    DefaultWorld defaults;
    PrintParameterList(stdout, defaults.Target());
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the parameter list\n", kProgram);
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace

bool RunExperimentCommand(int argc, char** argv, int& status) {
    // The first of these words decides; each mode refuses options it does
    // not know, so mixing them is reported there.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sweep") == 0) {
            status = RunSweepCommand(argc, argv);
            return true;
        }
        if (std::strcmp(argv[i], "--merge") == 0) {
            status = RunMergeCommand(argc, argv);
            return true;
        }
        if (std::strcmp(argv[i], "--summary-run") == 0) {
            status = RunSummaryCommand(argc, argv);
            return true;
        }
    }
    if (Has(argc, argv, "--list-parameters")) {
        status = ListParameters();
        return true;
    }
    return false;
}

bool TakeStartOptions(int argc, char** argv, StartOptions& start, std::vector<char*>& rest,
                      std::string& error) {
    start = StartOptions{};
    rest.assign(argv, argv + 1);
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const bool isSet = std::strncmp(arg, "--set", 5) == 0 && (arg[5] == '\0' || arg[5] == '=');
        const bool isPlot = std::strncmp(arg, "--plot", 6) == 0 && (arg[6] == '\0' || arg[6] == '=');
        if (!isSet && !isPlot) {
            rest.push_back(argv[i]);
            continue;
        }
        const char* equals = std::strchr(arg, '=');
        const char* value = equals != nullptr ? equals + 1 : (i + 1 < argc ? argv[++i] : nullptr);
        if (value == nullptr) {
            error = std::string("option '") + arg + "' requires an argument";
            return false;
        }
        if (isPlot) {
            if (*value == '\0') {
                error = "--plot needs a file name";
                return false;
            }
            start.plotPath = value;
            continue;
        }
        ParameterRef ref;
        double parsed = 0.0;
        char message[kParameterMessageCapacity];
        if (!ParseSetting(value, ref, parsed, message, sizeof message)) {
            error = message;
            return false;
        }
        start.settings.Put(ref, parsed);
    }
    rest.push_back(nullptr);
    return true;
}

bool CheckStartOptions(const StartOptions& start, std::string& error) {
    if (start.settings.Empty()) return true;
    DefaultWorld defaults;
    char message[kParameterMessageCapacity];
    if (!CheckStartSettings(defaults.Target(), start.settings, message, sizeof message)) {
        error = message;
        return false;
    }
    return true;
}

int RunHeadlessWithOptions(int argc, char** argv, const StartOptions& start) {
    std::string error;
    if (!CheckStartOptions(start, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return kExitUsage;
    }
    // About 40 KB of samples: on the heap, like the simulation.
    std::unique_ptr<HistoryRecorder> history;
    if (start.plotPath != nullptr) history = std::make_unique<HistoryRecorder>();
    int status = RunHeadless(argc, argv, &start.settings, history.get());
    const bool ran = !Has(argc, argv, "--help") && !Has(argc, argv, "--version");
    if (status == kExitOk && history != nullptr && ran &&
        !WriteHistoryPlot(start.plotPath, *history, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        status = kExitFailure;
    }
    return status;
}
