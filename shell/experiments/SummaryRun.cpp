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

#include "settings/SimulationBuild.h"
#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/StartUp.h"
#include "simulation/Simulation.h"

const char kSweepChildVariable[] = "MARROWICK_SWEEP_CHILD";

namespace {


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

int SummaryRunOptionsFrom(const CommandLine& line, SummaryRunOptions& options, std::string& error) {
    options = SummaryRunOptions{};
    if (!line.Has(OptionId::Seed) || !line.Has(OptionId::Steps)) {
        error = "--summary-run needs --seed and --steps";
        return kExitUsage;
    }
    options.key.seed = static_cast<uint32_t>(line.Number(OptionId::Seed, 1));
    options.key.steps = line.Number(OptionId::Steps, 0);
    // The row's parameter columns are the --set names in the order given
    // (a name given twice keeps its first place and its last value).
    for (const OptionValue& given : line.options) {
        if (given.id != OptionId::Set) continue;
        std::vector<Setting> settings;
        if (!ParseSetting(given.text, settings, error)) return kExitUsage;
        for (const Setting& setting : settings) {
            size_t i = 0;
            while (i < options.key.parameters.size() && options.key.parameters[i] != setting.id) ++i;
            if (i == options.key.parameters.size()) {
                options.key.parameters.push_back(setting.id);
                options.key.values.push_back(setting.value);
            } else {
                options.key.values[i] = setting.value;
            }
        }
    }
    options.out = line.Text(OptionId::Out);
    options.seriesFolder = line.Text(OptionId::SeriesFolder);
    StartRequest request;
    if (options.out != nullptr) request.outputs.push_back({options.out, "--out"});
    const int status = PrepareRun(line, request, options.run, error);
    if (status != kExitOk || options.seriesFolder == nullptr) return status;
    // The run's course is filed under its rule base's name, so the rule base
    // must be named; that file is an output like the others.
    if (!options.run.Given(ParameterId::Rules)) {
        error = "--series-folder needs the rule base named (--rules or --set rules=)";
        return kExitUsage;
    }
    request.outputs.push_back({SeriesFilePath(options.seriesFolder, options.run.rulesName,
                                              options.key.seed),
                               "--series-folder"});
    return CheckOutputs(request.outputs, {}, error, &options.run);
}

void SimulateSummary(const SummaryRunOptions& options, RunSummary& summary,
                     SeriesRecorder* series) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Simulation> simulation = BuildSimulation(options.run);
    Simulation& s = *simulation;
    Accumulator sums;
    // The headless fast run's order: step, look, then rebuild a colony that
    // left its viable range.
    for (int64_t done = 0; done < options.key.steps; ++done) {
        StepFast(s, [&sums, series](const Simulation& stepped) {
            sums.Add(stepped);
            if (series != nullptr) series->Record(stepped);
        });
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
    summary.failedPasses = s.expertSystem.failedPasses;
    summary.expertOffStep = s.expertSystem.offStep;
    summary.status = s.expertSystem.loadFailed ? kStatusRulesNotLoaded
                     : s.expertSystem.offStep >= 0 ? kStatusExpertOff
                                                   : kStatusOk;
    summary.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool BindToSweep() {
    const char* sweep = std::getenv(kSweepChildVariable);
    if (sweep == nullptr) return true;
    // A sweep that is killed outright cannot stop its runs itself. The sweep
    // may already be gone before the signal is armed: then the parent is no
    // longer the sweep.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    return std::strtol(sweep, nullptr, 10) == static_cast<long>(getppid());
}

int RunSummaryCommand(const CommandLine& line) {
    if (!BindToSweep()) return kExitFailure;  // no row for a sweep that is gone
    return MakeSummaryRun(line, nullptr);
}

int MakeSummaryRun(const CommandLine& line, std::string* printed) {
    SummaryRunOptions options;
    std::string error;
    if (const int status = SummaryRunOptionsFrom(line, options, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return status;
    }
    // The file is checked before the run, so a wrong file costs no time.
    const bool toStdout = options.out == nullptr || std::strcmp(options.out, "-") == 0;
    const std::string header = SummaryHeader(options.key.parameters);
    int fd = STDOUT_FILENO;
    if (!toStdout) {
        fd = OpenSummaryForAppend(options.out, header, SummaryAccess::Shared, error);
        if (fd < 0) {
            std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
            return kExitFailure;
        }
    }
    // The rule base the run reads: the user's, made on first use.
    ProvideRunFiles(options.run, false);
    RunSummary summary;
    std::unique_ptr<SeriesRecorder> series;
    if (options.seriesFolder != nullptr) series = std::make_unique<SeriesRecorder>(options.key.steps);
    SimulateSummary(options, summary, series.get());
    if (series != nullptr) {
        // Whole before the row: a run with a row always has its course.
        const std::string path =
            SeriesFilePath(options.seriesFolder, options.run.rulesName, options.key.seed);
        if (!SaveSeriesFile(path, series->Samples(), error)) {
            std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
            if (!toStdout) close(fd);
            return kExitFailure;
        }
    }
    std::string text = SummaryLine(options.key, summary);
    if (toStdout && printed != nullptr) {
        *printed = text;
        return kExitOk;
    }
    if (toStdout) {
        text = header + "\n" + text;
        // A reader that went away is a write error to report, not a signal.
        std::signal(SIGPIPE, SIG_IGN);
    }
    const bool written = AppendWhole(fd, text);
    const int writeError = errno;
    const bool closed = toStdout || close(fd) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "%s: cannot write the summary row to %s: %s\n", kProgramName,
                     toStdout ? "standard output" : options.out,
                     std::strerror(written ? errno : writeError));
        return kExitFailure;
    }
    return kExitOk;
}
