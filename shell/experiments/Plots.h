#pragma once
// The experiments' two plots, as SVG files.
//
// A headless run: the three history graphs of the window (population, food
// reserves, food supply) against steps, one panel each, with the colony
// restarts marked.
//
// A sweep: every summary measure against the first varied parameter, one
// panel per measure: a point per run (that is, per seed) and a line through
// the means. With more varied parameters each combination of the others is a
// series of its own colour, named in a legend.
#include <string>
#include <unordered_set>
#include <vector>

#include "shell/experiments/HistoryRecorder.h"
#include "shell/experiments/SummaryRow.h"

bool WriteHistoryPlot(const char* path, const HistoryRecorder& history, std::string& error);

// Plots the rows of table whose status is ok and whose key is in keys (all
// rows when keys is null). xParameter and seriesParameters name parameter
// columns of the table.
bool WriteSweepPlot(const char* path, const SummaryTable& table,
                    const std::unordered_set<std::string>* keys, const std::string& xParameter,
                    const std::vector<std::string>& seriesParameters, std::string& error);
