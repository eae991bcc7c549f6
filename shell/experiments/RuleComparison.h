#pragma once
// The report of a comparison of rule bases (marrowick --compare-rules): from
// every run's series, per rule base the mean and the spread over the seeds of
// six measures, their course against the steps, and a verdict.
//
// A run's value of each measure is taken over the whole run:
//   population, food reserves, food per ant: the mean over every step;
//   colony deaths: per 100,000 steps;
//   no conclusion: the share of its expert-system passes (in percent) that
//     came to rest without a conclusion (a run without passes has none);
//   failed passes: passes cut off or lost to an engine failure.
// The spread is the standard deviation over the seeds (n - 1 in the
// denominator; 0 for a single seed). Only runs that ended well count; a rule
// base that did not load at all is reported as broken, with its reason.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/experiments/RunSeries.h"

enum class ComparisonMeasure : int32_t {
    Population,
    FoodReserves,
    FoodPerAnt,
    ColonyDeaths,
    NoConclusion,
    FailedPasses,
};
constexpr int32_t kComparisonMeasureCount = 6;

struct ComparisonMeasureInfo {
    const char* key;     // CSV columns and plot file names
    const char* title;   // table headings and plot titles
    const char* unit;    // the table's second heading line, and after a value in the verdict
    const char* curve;   // the plot's value axis: what the curve shows at each step
    const char* best;    // "the largest colony": what the verdict says of the best
    bool higherIsBetter;
    int32_t decimals;    // in the table and the verdict
};
extern const ComparisonMeasureInfo kComparisonMeasures[kComparisonMeasureCount];

// The curves show, at each sample: the window's means for the amounts, and
// the run so far for the others (colony deaths and failed passes as totals,
// the passes without a conclusion as a share of all passes).

// One run of the comparison as it ended.
struct ComparedRun {
    std::string rules;  // the rule base's name
    uint32_t seed = 0;
    bool ok = false;    // ended well, with its series
    std::vector<SeriesSample> series;
};

// The value of every measure over one run; NaN where a run has none (no
// conclusion share without passes).
void RunMeasureValues(const std::vector<SeriesSample>& series, double values[kComparisonMeasureCount]);

struct CurvePoint {
    int64_t step = 0;
    double mean = 0.0;
    double spread = 0.0;
};

struct RuleBaseResult {
    std::string rules;
    std::string broken;      // not empty: the rule base did not load (why); no runs
    int32_t runs = 0;        // ended well
    int32_t failedRuns = 0;  // ended otherwise
    double mean[kComparisonMeasureCount] = {};
    double spread[kComparisonMeasureCount] = {};
    int32_t counted[kComparisonMeasureCount] = {};  // runs with a value of the measure
    std::vector<CurvePoint> curves[kComparisonMeasureCount];
};

struct Comparison {
    int64_t steps = 0;
    int32_t seeds = 0;
    std::vector<RuleBaseResult> results;  // in the order the rule bases were given
};

// One rule base that did not load: its name and why, in one line.
struct BrokenRuleBase {
    std::string rules;
    std::string reason;
};

// Gathers the runs by rule base, in the order of rules. Runs of a rule base
// not in rules are left out.
Comparison CompareRuns(const std::vector<std::string>& rules, const std::vector<ComparedRun>& runs,
                       const std::vector<BrokenRuleBase>& broken, int64_t steps, int32_t seeds);

// The table for a terminal: one line per rule base, "mean ± spread" per
// measure, the units on a second heading line.
std::string FormatComparisonTable(const Comparison& comparison);
// The same as CSV: rules, runs, failed_runs, status ("ok" or "broken: why"),
// then KEY_mean and KEY_sd for each measure (empty where there is no value).
std::string ComparisonCsv(const Comparison& comparison);
// One paragraph: the best rule base on each measure, with the runner-up, and
// which differences are within the spread over seeds (the difference of the
// two means is no larger than the larger of their spreads).
std::string ComparisonVerdict(const Comparison& comparison);
