// The headless mode: parse, open the CSV, build the simulation, run it fast or
// live, report. The parts live in shell/headless/.
#include "shell/Headless.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "shell/StartSettings.h"
#include "shell/headless/Reporter.h"
#include "shell/headless/RunLoops.h"
#include "shell/UserFiles.h"
#include "shell/rules/RuleTrace.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

constexpr const char* kProgram = "marrowick";
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

}  // namespace

int RunHeadless(const HeadlessOptions& given) {
    // The rule trace sees every step first and hands it on to the given observer.
    HeadlessOptions options = given;
    RuleTraceWriter trace;
    if (given.traceRulesPath != nullptr) {
        std::string error;
        if (given.csvPath != nullptr && std::strcmp(given.csvPath, "-") == 0 &&
            std::strcmp(given.traceRulesPath, "-") == 0) {
            std::fprintf(stderr, "%s: --csv and --trace-rules cannot both write to standard output\n",
                         kProgram);
            return kExitUsage;
        }
        if (!trace.Open(given.traceRulesPath, given.observer, error)) {
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return kExitFailure;
        }
        options.observer = &trace;
    }
    std::FILE* csv = nullptr;
    const bool csvOnStdout = options.csvPath != nullptr && std::strcmp(options.csvPath, "-") == 0;
    if (csvOnStdout) {
        csv = stdout;
    } else if (options.csvPath != nullptr) {
        csv = std::fopen(options.csvPath, "w");
        if (csv == nullptr) {
            std::fprintf(stderr, "%s: cannot open '%s' for writing: %s\n", kProgram,
                         options.csvPath, std::strerror(errno));
            return kExitFailure;
        }
    }

    InterruptGuard interrupts;
    // Megabytes: on the heap. The --set values are in place before the
    // first world is built.
    std::unique_ptr<Simulation> simulation;
    SimThreadControl pacing;
    pacing.simsPerSecond.store(static_cast<float>(options.rate));
    const StartSettings none;
    char message[kParameterMessageCapacity];
    if (!BuildSimulation(simulation, options.seed, options.rulesPath,
                         options.settings != nullptr ? *options.settings : none, &pacing, nullptr,
                         message, sizeof message)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, message);
        return kExitUsage;
    }
    const int32_t rate = static_cast<int32_t>(pacing.simsPerSecond.load());
    simulation->expertSystem.engine.SetEcho(options.verbose);
    simulation->expertSystem.engine.SetTraceRules(trace.IsOpen());
    if (options.prepare != nullptr) {
        options.prepare(*simulation);
    }

    if (csv != nullptr) {
        std::fputs(kHeadlessCsvHeader, csv);
        std::fputc('\n', csv);
    }
    Reporter reporter(options, csv);
    bool ok = true;
    if (options.steps >= 0) {
        RunFast(*simulation, reporter, options.steps);
    } else {
        ok = RunLive(*simulation, reporter, rate);
    }
    {
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        reporter.Finish(*simulation);
    }

    if (csv != nullptr) {
        const bool written = std::fflush(csv) == 0 && std::ferror(csv) == 0;
        const int writeError = errno;
        if (!csvOnStdout && std::fclose(csv) != 0) {
            ok = false;
        }
        if (!written) {
            std::fprintf(stderr, "%s: error writing '%s': %s\n", kProgram, options.csvPath,
                         std::strerror(writeError));
            ok = false;
        }
    }
    std::string traceError;
    if (!trace.Close(traceError)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, traceError.c_str());
        ok = false;
    }
    return ok ? kExitOk : kExitFailure;
}

int RunHeadless(int argc, char** argv, const StartSettings* settings, RunObserver* observer) {
    HeadlessOptions options;
    options.settings = settings;
    options.observer = observer;
    char error[512];
    switch (ParseHeadlessOptions(argc, argv, options, error, sizeof error)) {
        case HeadlessCommand::Help:
            std::fputs(kHeadlessHelp, stdout);
            return kExitOk;
        case HeadlessCommand::Version:
            std::printf("%s %s\n", kProgram, MARROWICK_VERSION);
            return kExitOk;
        case HeadlessCommand::Error:
            std::fprintf(stderr, "%s\n%sTry 'marrowick --headless --help' for more information.\n",
                         error, kHeadlessUsage);
            return kExitUsage;
        case HeadlessCommand::Run:
            break;
    }
    // The user's rule base (shell/UserFiles.h); the settings file is not read.
    const std::string rulesPath = PlanRulesOnly();
    options.rulesPath = rulesPath.c_str();
    return RunHeadless(options);
}
