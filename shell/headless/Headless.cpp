// The headless mode: parse, open the CSV, build the simulation, run it fast or
// live, report. The parts live in shell/headless/.
#include "shell/headless/Headless.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "settings/SimulationBuild.h"
#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/StartUp.h"
#include "shell/StopSignals.h"
#include "shell/headless/CsvWriter.h"
#include "shell/headless/Reporter.h"
#include "shell/RuleTrace.h"
#include "shell/headless/RunLoops.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {


// While the CSV goes to standard output it owns it: everything else the
// process prints there (the rule engine's printouts with --verbose, anything
// a library writes) goes to standard error instead, so the CSV stays clean.
// The CSV writer has its own descriptor for the real standard output.
class StandardOutputToError {
public:
    StandardOutputToError() {
        std::fflush(stdout);
        saved = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
        if (saved >= 0 && dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
            close(saved);
            saved = -1;
        }
    }
    ~StandardOutputToError() {
        if (saved < 0) return;
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    StandardOutputToError(const StandardOutputToError&) = delete;
    StandardOutputToError& operator=(const StandardOutputToError&) = delete;

private:
    int saved = -1;
};

// How far the run came, for the messages: "1234 of 100000 steps" or
// "1234 steps" for a live run.
void DescribeProgress(const HeadlessOptions& options, int64_t done, char* out, size_t capacity) {
    if (options.steps >= 0) {
        std::snprintf(out, capacity, "%lld of %lld steps", static_cast<long long>(done),
                      static_cast<long long>(options.steps));
    } else {
        std::snprintf(out, capacity, "%lld steps", static_cast<long long>(done));
    }
}

}  // namespace

// The outcome, in order of precedence:
//   a CSV that could not be written            -> 1, says where it stopped
//   a fixed run cut short by a stop signal     -> 128 + signal, says where
//   statistics that could not be written       -> 1 (a closed pipe: 0, a note)
//   otherwise (a live run ended by a signal too) -> 0
int RunHeadless(const HeadlessOptions& given) {
    // The rule trace sees every step first and hands it on to the given observer.
    HeadlessOptions options = given;
    RuleTraceWriter trace;
    if (given.traceRulesPath != nullptr) {
        std::string error;
        if (!trace.Open(given.traceRulesPath, given.observer, error)) {
            std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
            return kExitFailure;
        }
        options.observer = &trace;
    }
    CsvWriter csv;
    char csvName[600] = "";
    if (options.csvPath != nullptr) {
        if (!csv.Open(options.csvPath)) {
            csv.Describe(csvName, sizeof csvName);
            std::fprintf(stderr, "%s: cannot open %s for writing: %s\n", kProgramName, csvName,
                         std::strerror(csv.Error()));
            return kExitFailure;
        }
        csv.Describe(csvName, sizeof csvName);
    }
    std::unique_ptr<StandardOutputToError> redirect;
    if (csv.IsOpen() && csv.OnStandardOutput()) {
        redirect = std::make_unique<StandardOutputToError>();
    }

    // A closed pipe stops the run between two steps like the stop signals.
    StopSignals signals(StopSignals::BrokenPipe::Stop);
    // Megabytes: on the heap, with the run's values in place before the
    // first world is built.
    std::unique_ptr<Simulation> simulation = BuildSimulation(options.run);
    const int32_t rate = static_cast<int32_t>(options.run.Number(ParameterId::SimsPerSecond));
    simulation->expertSystem.engine.SetTraceRules(trace.IsOpen());
    if (options.prepare != nullptr) {
        options.prepare(*simulation);
    }

    const bool live = options.steps < 0;
    Reporter reporter(options, csv.IsOpen() ? &csv : nullptr, live);
    if (csv.IsOpen()) {
        csv.WriteRow(kHeadlessCsvHeader, std::strlen(kHeadlessCsvHeader));
        csv.Flush();  // a file that cannot be written is found before the first step
    }
    bool ok = true;
    int64_t done = 0;
    if (!csv.Failed()) {
        if (!live) {
            done = RunFast(*simulation, reporter, options.steps);
        } else {
            ok = RunLive(*simulation, reporter, rate);
        }
    }
    {
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        done = simulation->totalSteps;
    }

    // The CSV is complete and closed before anything else is printed: a
    // reader that quits on the statistics cannot cut it short any more.
    if (csv.IsOpen()) csv.Close();
    const bool csvBroken = csv.Failed() && csv.Error() == EPIPE;
    if (csvBroken) StopSignals::Note(SIGPIPE);

    {
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        reporter.Finish(*simulation);
    }
    std::string traceError;
    if (!trace.Close(traceError)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, traceError.c_str());
        ok = false;
    }
    const int statisticsError = reporter.StatisticsError();
    if (statisticsError == EPIPE) StopSignals::Note(SIGPIPE);
    redirect.reset();

    char progress[96];
    DescribeProgress(options, done, progress, sizeof progress);
    if (csv.Failed() && !csvBroken) {
        std::fprintf(stderr, "%s: error writing %s: %s; stopped after %s\n", kProgramName, csvName,
                     std::strerror(csv.Error()), progress);
        return kExitFailure;
    }
    const int signalNumber = StopSignals::Received();
    if (!live && done < options.steps && signalNumber != 0) {
        std::fprintf(stderr, "%s: stopped by %s after %s\n", kProgramName,
                     StopSignalName(signalNumber), progress);
        return kExitSignalBase + signalNumber;
    }
    if (statisticsError == EPIPE) {
        // The reader has gone: the run itself is complete (and so is its CSV).
        std::fprintf(stderr, "%s: standard output was closed; the final statistics were not written\n",
                     kProgramName);
    } else if (statisticsError != 0) {
        std::fprintf(stderr, "%s: error writing %s: %s\n", kProgramName,
                     reporter.StatisticsOnStandardOutput() ? "standard output" : "standard error",
                     std::strerror(statisticsError));
        ok = false;
    }
    return ok ? kExitOk : kExitFailure;
}

int RunHeadlessCommand(const CommandLine& line, RunObserver* observer) {
    HeadlessOptions options;
    std::string error;
    if (const int status = HeadlessOptionsFrom(line, options, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return status;
    }
    options.observer = observer;
    // The user's rule base; the settings file is not read.
    ProvideRunFiles(options.run, false);
    return RunHeadless(options);
}
