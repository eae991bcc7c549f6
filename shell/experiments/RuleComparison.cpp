#include "shell/experiments/RuleComparison.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>

const ComparisonMeasureInfo kComparisonMeasures[kComparisonMeasureCount] = {
    {"population", "population", "ants", "ants", "the largest colony", true, 1},
    {"food_reserves", "food reserves", "units", "units of food in store",
     "the most food in store", true, 1},
    {"food_per_ant", "food per ant", "units", "units of food per ant", "the most food per ant",
     true, 2},
    {"colony_deaths", "colony deaths", "per 100,000 steps", "colony deaths so far",
     "the fewest colony deaths", false, 2},
    {"no_conclusion", "no conclusion", "% of passes", "% of passes so far without a conclusion",
     "the fewest passes without a conclusion", false, 1},
    {"failed_passes", "failed passes", "per run", "failed passes so far",
     "the fewest failed passes", false, 1},
};

namespace {

constexpr double kDeathsPer = 100000.0;
constexpr double kPercent = 100.0;
const double kNone = std::numeric_limits<double>::quiet_NaN();

int32_t Index(ComparisonMeasure m) { return static_cast<int32_t>(m); }

// Mean and spread of the values that are there (NaN: none).
struct Moments {
    double sum = 0.0;
    double squares = 0.0;
    int32_t count = 0;

    void Add(double v) {
        if (std::isnan(v)) return;
        sum += v;
        squares += v * v;
        ++count;
    }
    double Mean() const { return count > 0 ? sum / count : kNone; }
    // The sample standard deviation, from the deviations (not sum and squares,
    // which lose the digits of a small spread around a large mean).
    static double Spread(const std::vector<double>& values, double mean) {
        double deviations = 0.0;
        int32_t n = 0;
        for (double v : values) {
            if (std::isnan(v)) continue;
            deviations += (v - mean) * (v - mean);
            ++n;
        }
        return n > 1 ? std::sqrt(deviations / (n - 1)) : (n == 1 ? 0.0 : kNone);
    }
};

// The values each sample of a series shows on the curves.
void SampleValues(const std::vector<SeriesSample>& series, size_t i,
                  double values[kComparisonMeasureCount]) {
    const SeriesSample& s = series[i];
    values[Index(ComparisonMeasure::Population)] = s.population;
    values[Index(ComparisonMeasure::FoodReserves)] = s.foodReserves;
    values[Index(ComparisonMeasure::FoodPerAnt)] = s.foodPerAnt;
    values[Index(ComparisonMeasure::ColonyDeaths)] = s.colonyDeaths;
    // So far rather than per window: a window holds only a few passes.
    values[Index(ComparisonMeasure::NoConclusion)] =
        s.passes > 0 ? kPercent * s.silentPasses / s.passes : kNone;
    values[Index(ComparisonMeasure::FailedPasses)] = s.failedPasses;
}

std::string Fixed(double value, int32_t decimals) {
    if (std::isnan(value)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string shown = text;
    // A tiny negative rounds to "-0.0", which is 0.
    if (shown[0] == '-' && shown.find_first_not_of("0.", 1) == std::string::npos) shown.erase(0, 1);
    return shown;
}

std::string MeanAndSpread(const RuleBaseResult& r, int32_t m) {
    const int32_t decimals = kComparisonMeasures[m].decimals;
    if (r.counted[m] == 0) return "-";
    return Fixed(r.mean[m], decimals) + " \u00b1 " + Fixed(r.spread[m], decimals);
}

// Columns on a terminal: "±" is two bytes and one column.
size_t Columns(const std::string& text) {
    size_t columns = 0;
    for (unsigned char c : text) columns += (c & 0xC0) != 0x80 ? 1 : 0;
    return columns;
}

std::string Padded(const std::string& text, size_t width) {
    const size_t columns = Columns(text);
    return text + std::string(width > columns ? width - columns : 0, ' ');
}

std::string CsvField(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string RunsText(const RuleBaseResult& r) {
    std::string text = std::to_string(r.runs);
    if (r.failedRuns > 0) text += " (" + std::to_string(r.failedRuns) + " failed)";
    return text;
}

// "a", "a and b", "a, b and c".
std::string Listed(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
        text += names[i];
    }
    return text;
}

std::string WithSteps(int64_t steps) {
    // 100000 -> "100,000"
    std::string digits = std::to_string(steps);
    for (int64_t at = static_cast<int64_t>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<size_t>(at), ",");
    }
    return digits;
}

}  // namespace

void RunMeasureValues(const std::vector<SeriesSample>& series,
                      double values[kComparisonMeasureCount]) {
    for (int32_t m = 0; m < kComparisonMeasureCount; ++m) values[m] = kNone;
    if (series.empty() || series.back().step <= 0) return;
    // The windows weighted by their steps: the means over every step.
    double sums[3] = {};
    int64_t previous = 0;
    for (const SeriesSample& s : series) {
        const double length = static_cast<double>(s.step - previous);
        sums[0] += s.population * length;
        sums[1] += s.foodReserves * length;
        sums[2] += s.foodPerAnt * length;
        previous = s.step;
    }
    const SeriesSample& last = series.back();
    const double steps = static_cast<double>(last.step);
    values[Index(ComparisonMeasure::Population)] = sums[0] / steps;
    values[Index(ComparisonMeasure::FoodReserves)] = sums[1] / steps;
    values[Index(ComparisonMeasure::FoodPerAnt)] = sums[2] / steps;
    values[Index(ComparisonMeasure::ColonyDeaths)] = last.colonyDeaths * kDeathsPer / steps;
    values[Index(ComparisonMeasure::NoConclusion)] =
        last.passes > 0 ? kPercent * last.silentPasses / last.passes : kNone;
    values[Index(ComparisonMeasure::FailedPasses)] = last.failedPasses;
}

Comparison CompareRuns(const std::vector<std::string>& rules, const std::vector<ComparedRun>& runs,
                       const std::vector<BrokenRuleBase>& broken, int64_t steps, int32_t seeds) {
    Comparison comparison;
    comparison.steps = steps;
    comparison.seeds = seeds;
    for (const std::string& name : rules) {
        RuleBaseResult result;
        result.rules = name;
        for (const BrokenRuleBase& b : broken) {
            if (b.rules == name) result.broken = b.reason;
        }
        std::vector<double> perRun[kComparisonMeasureCount];
        // Curves: the values of every run at each sample's step.
        std::map<int64_t, std::vector<double>> atStep[kComparisonMeasureCount];
        for (const ComparedRun& run : runs) {
            if (run.rules != name) continue;
            if (!run.ok || run.series.empty()) {
                ++result.failedRuns;
                continue;
            }
            ++result.runs;
            double values[kComparisonMeasureCount];
            RunMeasureValues(run.series, values);
            for (int32_t m = 0; m < kComparisonMeasureCount; ++m) perRun[m].push_back(values[m]);
            for (size_t i = 0; i < run.series.size(); ++i) {
                double sample[kComparisonMeasureCount];
                SampleValues(run.series, i, sample);
                for (int32_t m = 0; m < kComparisonMeasureCount; ++m) {
                    atStep[m][run.series[i].step].push_back(sample[m]);
                }
            }
        }
        for (int32_t m = 0; m < kComparisonMeasureCount; ++m) {
            Moments moments;
            for (double v : perRun[m]) moments.Add(v);
            result.counted[m] = moments.count;
            result.mean[m] = moments.Mean();
            result.spread[m] = Moments::Spread(perRun[m], result.mean[m]);
            for (const auto& entry : atStep[m]) {
                Moments point;
                for (double v : entry.second) point.Add(v);
                if (point.count == 0) continue;  // no passes in that window, in any run
                result.curves[m].push_back(
                    {entry.first, point.Mean(), Moments::Spread(entry.second, point.Mean())});
            }
        }
        comparison.results.push_back(result);
    }
    return comparison;
}

std::string FormatComparisonTable(const Comparison& comparison) {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> titles{"rule base", "runs"};
    std::vector<std::string> units{"", ""};
    for (const ComparisonMeasureInfo& info : kComparisonMeasures) {
        titles.push_back(info.title);
        units.push_back(info.unit);
    }
    lines.push_back(titles);
    lines.push_back(units);
    std::vector<std::string> brokenLines;
    for (const RuleBaseResult& r : comparison.results) {
        if (!r.broken.empty()) {
            brokenLines.push_back(r.rules + ": broken: " + r.broken);
            std::vector<std::string> line{r.rules, "0", "broken (below)"};
            lines.push_back(line);
            continue;
        }
        std::vector<std::string> line{r.rules, RunsText(r)};
        for (int32_t m = 0; m < kComparisonMeasureCount; ++m) line.push_back(MeanAndSpread(r, m));
        lines.push_back(line);
    }
    std::vector<size_t> widths(titles.size(), 0);
    for (const auto& line : lines) {
        for (size_t c = 0; c < line.size(); ++c) widths[c] = std::max(widths[c], Columns(line[c]));
    }
    std::string text;
    for (const auto& line : lines) {
        std::string row;
        for (size_t c = 0; c < line.size(); ++c) {
            row += c + 1 < line.size() ? Padded(line[c], widths[c] + 2) : line[c];
        }
        while (!row.empty() && row.back() == ' ') row.pop_back();
        text += row + "\n";
    }
    for (const std::string& line : brokenLines) text += line + "\n";
    return text;
}

std::string ComparisonCsv(const Comparison& comparison) {
    std::string text = "rules,runs,failed_runs,status";
    for (const ComparisonMeasureInfo& info : kComparisonMeasures) {
        text += std::string(",") + info.key + "_mean," + info.key + "_sd";
    }
    text += "\n";
    for (const RuleBaseResult& r : comparison.results) {
        text += CsvField(r.rules) + "," + std::to_string(r.runs) + "," +
                std::to_string(r.failedRuns) + "," +
                CsvField(r.broken.empty() ? "ok" : "broken: " + r.broken);
        for (int32_t m = 0; m < kComparisonMeasureCount; ++m) {
            char cell[80] = "";
            if (r.counted[m] > 0) {
                std::snprintf(cell, sizeof cell, ",%.6f,%.6f", r.mean[m], r.spread[m]);
            } else {
                std::snprintf(cell, sizeof cell, ",,");
            }
            text += cell;
        }
        text += "\n";
    }
    return text;
}

std::string ComparisonVerdict(const Comparison& comparison) {
    std::string text = "Over " + std::to_string(comparison.seeds) + " seed" +
                       (comparison.seeds == 1 ? "" : "s") + " of " +
                       WithSteps(comparison.steps) + " steps:";
    std::vector<const RuleBaseResult*> ran;
    for (const RuleBaseResult& r : comparison.results) {
        if (r.runs > 0) ran.push_back(&r);
    }
    for (int32_t m = 0; m < kComparisonMeasureCount && ran.size() > 1; ++m) {
        const ComparisonMeasureInfo& info = kComparisonMeasures[m];
        std::vector<const RuleBaseResult*> order;
        for (const RuleBaseResult* r : ran) {
            if (r->counted[m] > 0) order.push_back(r);
        }
        if (order.size() < 2) continue;
        std::stable_sort(order.begin(), order.end(),
                         [&](const RuleBaseResult* a, const RuleBaseResult* b) {
                             return info.higherIsBetter ? a->mean[m] > b->mean[m]
                                                        : a->mean[m] < b->mean[m];
                         });
        // Equal as the reader sees them: at the decimals shown.
        const std::string bestShown = Fixed(order[0]->mean[m], info.decimals);
        std::vector<std::string> top;
        size_t next = 0;
        while (next < order.size() && Fixed(order[next]->mean[m], info.decimals) == bestShown) {
            top.push_back(order[next]->rules);
            ++next;
        }
        const std::string value = bestShown + " " + info.unit;
        if (next == order.size()) {
            text += (order.size() == 2 ? std::string(" Both") : " All " + std::to_string(order.size())) +
                    " tie on " + info.title + " (" + value + ").";
            continue;
        }
        const RuleBaseResult& best = *order[0];
        const RuleBaseResult& runnerUp = *order[next];
        text += " " + Listed(top) + (top.size() == 1 ? " has " : " have ") + info.best + " (" +
                MeanAndSpread(best, m) + " " + info.unit + "; " + runnerUp.rules + " " +
                MeanAndSpread(runnerUp, m) + ")";
        std::vector<std::string> close;
        for (size_t i = next; i < order.size(); ++i) {
            const double difference = std::fabs(order[i]->mean[m] - best.mean[m]);
            if (difference <= std::max(best.spread[m], order[i]->spread[m])) {
                close.push_back(order[i]->rules);
            }
        }
        if (!close.empty()) {
            text += ", but the difference to " + Listed(close) + " is within the spread over seeds";
        }
        text += ".";
    }
    for (const RuleBaseResult& r : comparison.results) {
        if (!r.broken.empty()) {
            text += " " + r.rules + " did not load (" + r.broken + ") and has no results.";
        } else if (r.failedRuns > 0) {
            text += " " + std::to_string(r.failedRuns) + (r.failedRuns == 1 ? " run" : " runs") +
                    " of " + r.rules + (r.failedRuns == 1 ? " failed and is" : " failed and are") +
                    " left out.";
        }
    }
    if (ran.size() < 2) text += " Too few rule bases have results to compare.";
    return text + "\n";
}
