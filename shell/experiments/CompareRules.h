#pragma once
// marrowick --compare-rules A,B,... [--seeds A-B] [--steps N] [--jobs J]
//                           [--set NAME=VALUE]... --out DIR
//
// Which rule base keeps the colony best: every rule base (a gallery name or
// a file) over the same seeds, as a sweep that varies the parameter "rules"
// (shell/experiments/Sweep.h: one process per run, every core, resumable),
// each run also saving its course. Then the report (RuleComparison.h,
// ComparisonPlots.h):
//   DIR/results.csv      the runs' summary rows (the sweep's file)
//   DIR/series/          each run's course, RULES-seedS.csv
//   DIR/comparison.csv   the table: per rule base, mean and spread over seeds
//   DIR/KEY.svg          per measure, the mean curves with their spread
//   DIR/report.txt       the table and the verdict, as standard output has them
// A rule base that does not load is left out of the runs and reported as
// broken; the others still run. Runs already in DIR are not run again.
#include <string>
#include <vector>

#include "policy/RuleGallery.h"
#include "shell/CommandLine.h"

struct CompareRulesPlan {
    static constexpr uint32_t kDefaultLastSeed = 20;  // --seeds 1-20

    std::vector<RuleBaseEntry> rules;  // in the order given, names distinct
    std::vector<std::string> values;   // each as given: what the runs' --set rules= takes
    std::string out;                   // the report's folder
};

// The rule bases of "A,B,...", resolved through the gallery: names known,
// files named, no name twice. False with a one-line message.
bool ParseRuleList(const char* text, const RuleGallery& gallery, CompareRulesPlan& plan,
                   std::string& error);

// The mode: usage errors (status 2), the sweep, the report. argv0: this
// program's name, for finding its file to start the runs.
int RunCompareRulesCommand(const CommandLine& line, const char* argv0);
