#include "shell/experiments/SweepPlan.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "settings/RunDescription.h"

namespace {

constexpr int64_t kMaxSeed = 4294967295;

void AddDistinct(VaryAxis& axis, const std::vector<ParameterValue>& point) {
    for (const auto& other : axis.points) {
        if (other == point) return;
    }
    axis.points.push_back(point);
}

bool Contains(const std::vector<ParameterId>& ids, ParameterId id) {
    for (ParameterId other : ids) {
        if (other == id) return true;
    }
    return false;
}

std::string TooMany(const std::string& name) {
    return "--vary " + name + ": more than " + std::to_string(SweepPlan::kMaxValues) + " values";
}

// FROM:TO:STEP of one numeric parameter. The arithmetic runs on the numbers
// as written; each value is then read as the parameter stores it (whole
// numbers for integer fields, single precision for reals) and checked
// against its range.
bool ParseRange(const std::string& name, ParameterId id, const std::string& values,
                const std::vector<std::string>& range, VaryAxis& axis, std::string& error) {
    double from = 0.0;
    double to = 0.0;
    double step = 0.0;
    ParameterValue unused;
    if (range.size() != 3 || !ParseParameterValue(id, range[0].c_str(), unused, error) ||
        !ParseParameterValue(id, range[1].c_str(), unused, error) ||
        !ParseDecimalNumber(range[0].c_str(), from) || !ParseDecimalNumber(range[1].c_str(), to) ||
        !ParseDecimalNumber(range[2].c_str(), step) || !(step > 0.0) || from > to) {
        if (error.empty()) {
            error = "--vary " + name + "=FROM:TO:STEP needs FROM <= TO and a STEP above 0, not \"" +
                    values + "\"";
        }
        return false;
    }
    const double span = (to - from) / step;
    if (span >= static_cast<double>(SweepPlan::kMaxValues)) {
        error = TooMany(name);
        return false;
    }
    // Both ends are included; the tolerance keeps 0.1:0.3:0.1 from losing 0.3
    // to rounding.
    constexpr double kTolerance = 1e-6;
    const int64_t count = static_cast<int64_t>(std::floor(span + kTolerance)) + 1;
    for (int64_t i = 0; i < count; ++i) {
        double raw = from + static_cast<double>(i) * step;
        if (std::fabs(raw - to) < step * kTolerance) raw = to;
        char formatted[48];
        std::snprintf(formatted, sizeof formatted, "%.15g", raw);
        std::vector<ParameterValue> point(1);
        if (!ParseParameterValue(id, formatted, point[0], error)) {
            error = "--vary " + name + "=" + values + ": " + error;
            return false;
        }
        AddDistinct(axis, point);
    }
    return true;
}

}  // namespace

std::vector<ParameterId> SweepPlan::Columns() const {
    std::vector<ParameterId> columns = fixed;
    for (const VaryAxis& axis : vary) {
        columns.insert(columns.end(), axis.ids.begin(), axis.ids.end());
    }
    return columns;
}

size_t SweepPlan::RunCount() const {
    size_t count = seeds.size();
    for (const VaryAxis& axis : vary) {
        count *= axis.points.size();
        if (count > kMaxRuns) return kMaxRuns + 1;
    }
    return count;
}

std::vector<RunKey> SweepPlan::SelectedRuns() const {
    std::vector<RunKey> runs = Runs();
    if (firstRun == 0) return runs;
    return std::vector<RunKey>(runs.begin() + static_cast<ptrdiff_t>(firstRun - 1),
                               runs.begin() + static_cast<ptrdiff_t>(lastRun));
}

std::vector<std::string> SweepPlan::GridArguments() const {
    std::vector<std::string> words;
    for (size_t i = 0; i < fixed.size(); ++i) {
        words.push_back("--set");
        words.push_back(std::string(Parameter(fixed[i]).name) + "=" +
                        FormatParameterValue(fixed[i], fixedValues[i]));
    }
    for (const VaryAxis& axis : vary) {
        std::string list = axis.name + "=";
        for (size_t p = 0; p < axis.points.size(); ++p) {
            if (p > 0) list += ",";
            // The shares are given together, M/W/G/R.
            for (size_t i = 0; i < axis.ids.size(); ++i) {
                list += (i > 0 ? "/" : "") + FormatParameterValue(axis.ids[i], axis.points[p][i]);
            }
        }
        words.push_back("--vary");
        words.push_back(list);
    }
    // The seeds are always one run of consecutive numbers.
    words.push_back("--seeds");
    words.push_back(std::to_string(seeds.front()) + "-" + std::to_string(seeds.back()));
    words.push_back("--steps");
    words.push_back(std::to_string(steps));
    return words;
}

std::vector<RunKey> SweepPlan::Runs() const {
    std::vector<RunKey> runs;
    const std::vector<ParameterId> columns = Columns();
    size_t points = 1;
    for (const VaryAxis& axis : vary) points *= axis.points.size();
    runs.reserve(points * seeds.size());
    std::vector<size_t> digit(vary.size(), 0);
    for (size_t point = 0; point < points; ++point) {
        // Mixed radix, the last axis fastest.
        size_t rest = point;
        for (size_t a = vary.size(); a-- > 0;) {
            digit[a] = rest % vary[a].points.size();
            rest /= vary[a].points.size();
        }
        RunKey key;
        key.parameters = columns;
        key.values = fixedValues;
        for (size_t a = 0; a < vary.size(); ++a) {
            const std::vector<ParameterValue>& values = vary[a].points[digit[a]];
            key.values.insert(key.values.end(), values.begin(), values.end());
        }
        key.steps = steps;
        for (uint32_t seed : seeds) {
            key.seed = seed;
            runs.push_back(key);
        }
    }
    return runs;
}

bool ParseVary(const char* text, VaryAxis& axis, std::string& error) {
    axis = VaryAxis{};
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr || equals == text || equals[1] == '\0') {
        error = "--vary needs NAME=A,B,C or NAME=FROM:TO:STEP, not \"" + Printable(text) + "\"";
        return false;
    }
    axis.name.assign(text, static_cast<size_t>(equals - text));
    const std::string values = equals + 1;
    if (!FindParameters(axis.name, axis.ids, error)) return false;
    for (ParameterId id : axis.ids) {
        if (Parameter(id).inert) {
            error = "--vary " + axis.name + ": " + Parameter(id).name +
                    " is stored but never read by a run; varying it would change nothing";
            return false;
        }
    }
    const std::vector<std::string> range = SplitOn(values, ':');
    if (range.size() > 1) {
        if (axis.ids.size() != 1 || Parameter(axis.ids[0]).type == ParameterType::Text) {
            error = "--vary " + axis.name + " takes a list of values (A,B,C), not a range";
            return false;
        }
        return ParseRange(axis.name, axis.ids[0], values, range, axis, error);
    }
    for (const std::string& item : SplitOn(values, ',')) {
        std::vector<ParameterValue> point;
        if (!ParseLinkedValue(axis.ids, axis.name, item, point, error)) return false;
        AddDistinct(axis, point);
        if (axis.points.size() > SweepPlan::kMaxValues) {
            error = TooMany(axis.name);
            return false;
        }
    }
    return true;
}

bool ParseSeeds(const char* text, std::vector<uint32_t>& seeds, std::string& error) {
    seeds.clear();
    const std::vector<std::string> ends = SplitOn(text, '-');
    int64_t first = 1;
    int64_t last = 0;
    bool ok = false;
    if (ends.size() == 1) {
        ok = ParseWholeNumber(ends[0].c_str(), 1, SweepPlan::kMaxRuns, last);
    } else if (ends.size() == 2) {
        ok = ParseWholeNumber(ends[0].c_str(), 0, kMaxSeed, first) &&
             ParseWholeNumber(ends[1].c_str(), 0, kMaxSeed, last) && first <= last &&
             last - first < static_cast<int64_t>(SweepPlan::kMaxRuns);
    }
    if (!ok) {
        error = "--seeds takes A-B (A <= B, seeds 0 to 4294967295) or a count N, not \"" +
                Printable(text) + "\"";
        return false;
    }
    for (int64_t seed = first; seed <= last; ++seed) seeds.push_back(static_cast<uint32_t>(seed));
    return true;
}

bool ParseRunRange(const char* text, size_t& first, size_t& last, std::string& error) {
    const std::vector<std::string> ends = SplitOn(text, '-');
    int64_t a = 0;
    int64_t b = 0;
    if (ends.size() != 2 || !ParseWholeNumber(ends[0].c_str(), 1, SweepPlan::kMaxRuns, a) ||
        !ParseWholeNumber(ends[1].c_str(), 1, SweepPlan::kMaxRuns, b) || a > b) {
        error = "--runs takes A-B, the runs A to B (from 1) of the sweep's list, not \"" +
                Printable(text) + "\"";
        return false;
    }
    first = static_cast<size_t>(a);
    last = static_cast<size_t>(b);
    return true;
}

bool SweepPlanFrom(const CommandLine& line, SweepPlan& plan, std::string& error) {
    plan = SweepPlan{};
    for (const OptionValue& given : line.options) {
        if (given.id == OptionId::Set) {
            std::vector<Setting> settings;
            if (!ParseSetting(given.text, settings, error)) return false;
            for (const Setting& setting : settings) {
                size_t i = 0;
                while (i < plan.fixed.size() && plan.fixed[i] != setting.id) ++i;
                if (i == plan.fixed.size()) {
                    plan.fixed.push_back(setting.id);
                    plan.fixedValues.push_back(setting.value);
                } else {
                    plan.fixedValues[i] = setting.value;  // a name given twice keeps the last
                }
            }
        } else if (given.id == OptionId::Vary) {
            VaryAxis axis;
            if (!ParseVary(given.text, axis, error)) return false;
            for (const VaryAxis& other : plan.vary) {
                for (ParameterId id : axis.ids) {
                    if (Contains(other.ids, id)) {
                        error = std::string(Parameter(id).name) + " is given to --vary twice";
                        return false;
                    }
                }
            }
            plan.vary.push_back(axis);
        }
    }
    if (const char* seeds = line.Text(OptionId::Seeds)) {
        if (!ParseSeeds(seeds, plan.seeds, error)) return false;
    }
    plan.steps = line.Number(OptionId::Steps, SweepPlan::kDefaultSteps);
    plan.jobs = static_cast<int32_t>(line.Number(OptionId::Jobs, 0));
    plan.out = line.Text(OptionId::Out, plan.out.c_str());
    plan.plot = line.Text(OptionId::Plot, "");
    plan.listRuns = line.Has(OptionId::ListRuns);
    plan.chunk = static_cast<size_t>(line.Number(OptionId::Chunk, 0));
    if (const char* runs = line.Text(OptionId::Runs)) {
        if (!ParseRunRange(runs, plan.firstRun, plan.lastRun, error)) return false;
    }
    plan.program = line.Text(OptionId::Program, "");

    for (const VaryAxis& axis : plan.vary) {
        for (ParameterId id : axis.ids) {
            if (Contains(plan.fixed, id)) {
                error = std::string(Parameter(id).name) + " is both held by --set and varied by --vary";
                return false;
            }
        }
    }
    if (plan.RunCount() > SweepPlan::kMaxRuns) {
        error = "the sweep would make more than " + std::to_string(SweepPlan::kMaxRuns) + " runs";
        return false;
    }
    if (!plan.plot.empty() && plan.vary.empty()) {
        error = "--plot draws the measures against the first --vary parameter; give one";
        return false;
    }
    if (plan.lastRun > plan.RunCount()) {
        error = "--runs " + std::to_string(plan.firstRun) + "-" + std::to_string(plan.lastRun) +
                ": the sweep has " + std::to_string(plan.RunCount()) + " runs";
        return false;
    }
    if (plan.chunk > 0 && !plan.listRuns) {
        error = "--chunk divides the list of runs; give it with --list-runs";
        return false;
    }
    if (plan.out == "-" && plan.plot == "-") {
        error = "--out - and --plot - cannot both write to standard output";
        return false;
    }
    return true;
}

bool CheckSweepGrid(const SweepPlan& plan, std::string& error) {
    SweepPlan oneSeed = plan;
    oneSeed.seeds = {plan.seeds.front()};
    for (const RunKey& key : oneSeed.Runs()) {
        RunDescription run;
        for (size_t i = 0; i < key.parameters.size(); ++i) run.Set(key.parameters[i], key.values[i]);
        std::string message;
        if (!CheckRun(run, message)) {
            std::string where;
            for (size_t i = plan.fixed.size(); i < key.parameters.size(); ++i) {
                where += std::string(where.empty() ? "" : " ") + Parameter(key.parameters[i]).name +
                         "=" + FormatParameterValue(key.parameters[i], key.values[i]);
            }
            error = where.empty() ? message : "the grid point " + where + " is refused: " + message;
            return false;
        }
    }
    return true;
}
