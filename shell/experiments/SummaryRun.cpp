#include "shell/experiments/SummaryRun.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "shell/StartSettings.h"
#include "shell/experiments/CommandArgs.h"
#include "simulation/Simulation.h"

const char kSweepChildVariable[] = "MARROWICK_SWEEP_CHILD";

const char kSummaryRunUsage[] =
    "marrowick --summary-run --seed S --steps N [--set NAME=VALUE]... [--out FILE|-]";

namespace {

constexpr const char* kProgram = "marrowick";
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int64_t kMaxSteps = 2147483647;

// Sums over the steps of a run for its means.
struct Accumulator {
    int64_t steps = 0;
    double population = 0.0;
    double foodReserves = 0.0;
    double foodSupply = 0.0;
    double meandering = 0.0;
    double wandering = 0.0;
    double gathering = 0.0;
    double reproducing = 0.0;

    void Add(const Simulation& s) {
        ++steps;
        population += s.colony.population;
        foodReserves += s.colony.foodReserves;
        foodSupply += s.foodField.FoodCount();
        meandering += s.colony.meanderingShare;
        wandering += s.colony.wanderingShare;
        gathering += s.colony.gatheringShare;
        reproducing += s.colony.reproducingShare;
    }
};

}  // namespace

bool ParseSummaryRunOptions(int argc, char** argv, SummaryRunOptions& options, std::string& error) {
    options = SummaryRunOptions{};
    bool haveSeed = false;
    bool haveSteps = false;
    CommandArgs args(argc, argv);
    while (args.Next()) {
        if (args.Is("--summary-run")) continue;
        if (args.Is("--seed")) {
            uint64_t seed = 0;
            if (!args.Value(error) || !ParseWholeNumber(args.value, 0, 4294967295u, seed)) {
                error = error.empty() ? "--seed takes a whole number from 0 to 4294967295" : error;
                return false;
            }
            options.key.seed = static_cast<uint32_t>(seed);
            haveSeed = true;
        } else if (args.Is("--steps")) {
            uint64_t steps = 0;
            if (!args.Value(error) || !ParseWholeNumber(args.value, 0, kMaxSteps, steps)) {
                error = error.empty() ? "--steps takes a whole number from 0 to 2147483647" : error;
                return false;
            }
            options.key.steps = static_cast<int64_t>(steps);
            haveSteps = true;
        } else if (args.Is("--set")) {
            if (!args.Value(error)) return false;
            ParameterRef ref;
            double value = 0.0;
            char message[kParameterMessageCapacity];
            if (!ParseSetting(args.value, ref, value, message, sizeof message)) {
                error = message;
                return false;
            }
            bool replaced = false;
            for (size_t i = 0; i < options.key.parameters.size(); ++i) {
                if (options.key.parameters[i] == ref) {
                    options.key.values[i] = value;
                    replaced = true;
                }
            }
            if (!replaced) {
                options.key.parameters.push_back(ref);
                options.key.values.push_back(value);
            }
        } else if (args.Is("--out")) {
            if (!args.Value(error)) return false;
            if (*args.value == '\0') {
                error = "--out needs a file name or '-'";
                return false;
            }
            options.out = args.value;
        } else {
            error = args.Unknown();
            return false;
        }
    }
    if (!haveSeed || !haveSteps) {
        error = "--summary-run needs --seed and --steps";
        return false;
    }
    return true;
}

bool SimulateSummary(const SummaryRunOptions& options, RunSummary& summary, std::string& error) {
    const auto start = std::chrono::steady_clock::now();
    StartSettings settings;
    for (size_t i = 0; i < options.key.parameters.size(); ++i) {
        settings.Put(options.key.parameters[i], options.key.values[i]);
    }
    std::unique_ptr<Simulation> simulation;
    char message[kParameterMessageCapacity];
    if (!BuildSimulation(simulation, options.key.seed, options.rulesPath, settings, nullptr,
                         nullptr, message, sizeof message)) {
        error = message;
        return false;
    }
    Simulation& s = *simulation;
    Accumulator sums;
    // The headless fast run's order: step, look, then rebuild a colony that
    // left its viable range.
    for (int64_t done = 0; done < options.key.steps; ++done) {
        s.Step();
        sums.Add(s);
        if (s.ColonyNeedsRestart()) s.RestartColony();
    }
    if (sums.steps == 0) sums.Add(s);  // no step: the means are the start
    const double n = static_cast<double>(sums.steps);
    summary.finalPopulation = s.colony.population;
    summary.meanPopulation = sums.population / n;
    summary.colonyDeaths = s.colonyDeaths;
    summary.finalFoodReserves = s.colony.foodReserves;
    summary.meanFoodReserves = sums.foodReserves / n;
    summary.finalFoodSupply = s.foodField.FoodCount();
    summary.meanFoodSupply = sums.foodSupply / n;
    summary.meanMeanderingShare = sums.meandering / n;
    summary.meanWanderingShare = sums.wandering / n;
    summary.meanGatheringShare = sums.gathering / n;
    summary.meanReproducingShare = sums.reproducing / n;
    summary.cutOffPasses = s.expertSystem.cutOffPasses;
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return true;
}

int RunSummaryCommand(int argc, char** argv) {
    SummaryRunOptions options;
    std::string error;
    if (!ParseSummaryRunOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "%s: %s (usage: %s)\n", kProgram, error.c_str(), kSummaryRunUsage);
        return kExitUsage;
    }
    if (const char* sweep = std::getenv(kSweepChildVariable)) {
        // A sweep that is killed outright cannot stop its runs itself. The
        // sweep may already be gone before the signal is armed: then the
        // parent is no longer the sweep, and the run must not add a row.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (std::strtol(sweep, nullptr, 10) != static_cast<long>(getppid())) {
            return kExitFailure;
        }
    }
    // The file is checked before the run, so a wrong file costs no time.
    const bool toStdout = options.out == nullptr || std::strcmp(options.out, "-") == 0;
    const std::string header = SummaryHeader(options.key.parameters);
    int fd = STDOUT_FILENO;
    if (!toStdout) {
        fd = OpenSummaryForAppend(options.out, header, SummaryAccess::Shared, error);
        if (fd < 0) {
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return kExitFailure;
        }
    }
    RunSummary summary;
    if (!SimulateSummary(options, summary, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        if (!toStdout) close(fd);
        return kExitUsage;
    }
    std::string text = SummaryLine(options.key, summary);
    if (toStdout) {
        text = header + "\n" + text;
        // A reader that went away is a write error to report, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
    }
    const bool written = AppendWhole(fd, text);
    const int writeError = errno;
    const bool closed = toStdout || close(fd) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "%s: cannot write the summary row to %s: %s\n", kProgram,
                     toStdout ? "standard output" : options.out,
                     std::strerror(written ? errno : writeError));
        return kExitFailure;
    }
    return kExitOk;
}
