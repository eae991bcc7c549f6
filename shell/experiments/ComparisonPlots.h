#pragma once
// The plots of a comparison of rule bases: one SVG per measure, KEY.svg in a
// folder, with each rule base's mean curve against the steps over a band of
// one spread (standard deviation over the seeds) either side, one colour per
// rule base in the order given, named in a legend.
#include <string>
#include <vector>

#include "shell/experiments/RuleComparison.h"

// Writes every measure's plot into folder (which exists); written receives
// the paths. False with a message at the first that cannot be written.
bool WriteComparisonPlots(const Comparison& comparison, const std::string& folder,
                          std::vector<std::string>& written, std::string& error);

// One measure's plot as SVG text.
std::string ComparisonPlotText(const Comparison& comparison, ComparisonMeasure measure);
