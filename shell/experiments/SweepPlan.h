#pragma once
// What a sweep runs: the settings held fixed (--set), the parameters varied
// (--vary; the grid is the product of their values), the seeds, the steps per
// run, and where the rows go. Parsing and the grid only; Sweep.h runs it.
//
//   marrowick --sweep [--set NAME=VALUE]... [--vary NAME=A,B,C | NAME=FROM:TO:STEP]...
//                     [--seeds A-B | --seeds N] [--steps N] [--jobs J] [--out FILE]
//                     [--plot FILE.svg] [--runs A-B] [--list-runs [--chunk K]]
//                     [--program PATH]
#include <cstdint>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/experiments/SummaryRow.h"

// One --vary: one parameter, or the four shares together ("shares=..."):
// each point gives every parameter of the axis its value.
struct VaryAxis {
    std::string name;  // as given: a parameter's name or "shares"
    std::vector<ParameterId> ids;
    std::vector<std::vector<ParameterValue>> points;  // distinct, in the order given
};

struct SweepPlan {
    static constexpr int64_t kDefaultSteps = 10000;
    static constexpr size_t kMaxValues = 10000;   // per varied parameter
    static constexpr size_t kMaxRuns = 1000000;   // the whole grid times the seeds

    std::vector<ParameterId> fixed;  // in the order given
    std::vector<ParameterValue> fixedValues;
    std::vector<VaryAxis> vary;
    std::vector<uint32_t> seeds{1};
    int64_t steps = kDefaultSteps;
    int32_t jobs = 0;  // 0: one per core
    std::string out = "results.csv";  // "-": the rows on standard output
    std::string plot;
    bool listRuns = false;
    std::string program;  // empty: this program
    // --runs A-B: only the runs A to B (from 1) of the list Runs() makes;
    // 0 and 0 for all of them.
    size_t firstRun = 0;
    size_t lastRun = 0;
    // --list-runs --chunk K: one line per K runs, each a sweep of its runs
    // (--runs A-B), for batch systems that limit the number of tasks.
    size_t chunk = 0;
    // Not empty: every run also writes its course into this folder
    // (--series-folder; the comparison of rule bases reads them).
    std::string seriesFolder;

    // The parameter columns: the fixed ones, then the varied ones.
    std::vector<ParameterId> Columns() const;
    // Grid points times seeds.
    size_t RunCount() const;
    // Every run: the first varied parameter changes slowest, the seed fastest.
    std::vector<RunKey> Runs() const;
    // The runs this sweep makes: Runs(), or the part --runs selects.
    std::vector<RunKey> SelectedRuns() const;
    // The options that make this grid (--set, --vary, --seeds, --steps), as
    // words that give the same runs when parsed again.
    std::vector<std::string> GridArguments() const;
};

// The plan of a parsed command line (sweep mode). False with a one-line
// message for a usage error.
bool SweepPlanFrom(const CommandLine& line, SweepPlan& plan, std::string& error);

// "NAME=A,B,C" or "NAME=FROM:TO:STEP" (both ends included); every value is
// checked against the parameter's range. "shares=M/W/G/R,M/W/G/R,..." varies
// the four shares together (a list only). An inert parameter is refused: it
// would make runs that differ in nothing.
bool ParseVary(const char* text, VaryAxis& axis, std::string& error);
// "A-B": the runs A to B, counted from 1.
bool ParseRunRange(const char* text, size_t& first, size_t& last, std::string& error);
// "A-B" (seeds A to B) or "N" (seeds 1 to N).
bool ParseSeeds(const char* text, std::vector<uint32_t>& seeds, std::string& error);

// Every grid point through the run's cross-checks (CheckRun), against the
// defaults; the first one refused is named in the message.
bool CheckSweepGrid(const SweepPlan& plan, std::string& error);
