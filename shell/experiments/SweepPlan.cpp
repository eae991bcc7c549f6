#include "shell/experiments/SweepPlan.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "shell/StartSettings.h"
#include "shell/experiments/CommandArgs.h"

const char kSweepHelp[] =
    "Usage: marrowick --sweep [OPTION]...\n"
    "Run the simulation over a grid of settings and seeds, each run in a process of\n"
    "its own, and collect one summary row per run.\n"
    "\n"
    "  --set NAME=VALUE      hold a parameter at a value in every run (repeatable)\n"
    "  --vary NAME=A,B,C     run each of these values (repeatable: the grid is the\n"
    "  --vary NAME=FROM:TO:STEP   product of all --vary lists); both ends included\n"
    "  --seeds A-B           the seeds of every grid point (default 1-1); a single\n"
    "  --seeds N             number N means the seeds 1 to N\n"
    "  --steps N             steps per run (default 10000)\n"
    "  --jobs J              runs at a time (default: one per core)\n"
    "  --out FILE            the summary file (default results.csv); rows are\n"
    "                        appended as runs finish, and runs already in it are\n"
    "                        skipped, so the same command resumes a sweep; while\n"
    "                        the sweep runs, another sweep on FILE is refused.\n"
    "                        '-': the rows on standard output (nothing to resume)\n"
    "  --plot FILE.svg       plot every measure against the first --vary parameter\n"
    "  --runs A-B            run only the runs A to B of the list --list-runs prints\n"
    "  --list-runs           print one command line per run instead of running\n"
    "                        them (for GNU parallel, Slurm, ...); each prints its\n"
    "                        row on standard output, or appends it to --out FILE\n"
    "                        when one is added to it; marrowick --merge collects them\n"
    "  --chunk K             with --list-runs: one line per K runs instead, each a\n"
    "                        sweep of its runs (--runs A-B), for batch systems that\n"
    "                        limit the tasks of an array (Slurm: MaxArraySize)\n"
    "  --program PATH        the program the runs start (default: this one)\n"
    "\n"
    "Parameters and their ranges: marrowick --list-parameters.\n"
    "Columns: the parameters, seed, steps, status (ok, exit N or signal N),\n"
    "final_population, mean_population, colony_deaths, final_food_reserves,\n"
    "mean_food_reserves, final_food_supply, mean_food_supply, the four mean_*_share,\n"
    "cut_off_passes, seconds. Means are over every step of the run.\n"
    "\n"
    "Example: marrowick --sweep --vary foodPerAnt=0.001:0.005:0.001 --seeds 1-20 \\\n"
    "           --steps 20000 --out food.csv --plot food.svg\n"
    "\n"
    "Exit status: 0 every run finished, 1 a run failed or a file could not be\n"
    "written, 2 bad usage, 128+N ended by signal N (run it again to go on).\n";

namespace {

constexpr uint64_t kMaxSeed = 4294967295u;
constexpr int32_t kMaxJobs = 1024;

// A decimal number and nothing else.
bool ParseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    for (char c : text) {
        if (std::strchr("0123456789.+-eE", c) == nullptr) return false;
    }
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

bool ParseValue(ParameterRef ref, const std::string& text, double& value, std::string& error) {
    char message[kParameterMessageCapacity];
    if (!ParseParameterValue(ref, text.c_str(), value, message, sizeof message)) {
        error = message;
        return false;
    }
    return true;
}

void AddDistinct(std::vector<double>& values, double value) {
    for (double v : values) {
        if (v == value) return;
    }
    values.push_back(value);
}

bool Contains(const std::vector<ParameterRef>& refs, ParameterRef ref) {
    for (const ParameterRef& r : refs) {
        if (r == ref) return true;
    }
    return false;
}

}  // namespace

std::vector<ParameterRef> SweepPlan::Columns() const {
    std::vector<ParameterRef> columns = fixed;
    for (const VaryAxis& axis : vary) columns.push_back(axis.ref);
    return columns;
}

size_t SweepPlan::RunCount() const {
    size_t count = seeds.size();
    for (const VaryAxis& axis : vary) {
        count *= axis.values.size();
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
    char value[32];
    for (size_t i = 0; i < fixed.size(); ++i) {
        FormatParameterValue(fixed[i], fixedValues[i], value, sizeof value);
        words.push_back("--set");
        words.push_back(std::string(fixed[i].Name()) + "=" + value);
    }
    for (const VaryAxis& axis : vary) {
        std::string list = std::string(axis.ref.Name()) + "=";
        for (size_t i = 0; i < axis.values.size(); ++i) {
            FormatParameterValue(axis.ref, axis.values[i], value, sizeof value);
            list += (i > 0 ? "," : "") + std::string(value);
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
    const std::vector<ParameterRef> columns = Columns();
    size_t points = 1;
    for (const VaryAxis& axis : vary) points *= axis.values.size();
    runs.reserve(points * seeds.size());
    std::vector<size_t> digit(vary.size(), 0);
    for (size_t point = 0; point < points; ++point) {
        // Mixed radix, the last axis fastest.
        size_t rest = point;
        for (size_t a = vary.size(); a-- > 0;) {
            digit[a] = rest % vary[a].values.size();
            rest /= vary[a].values.size();
        }
        RunKey key;
        key.parameters = columns;
        key.values = fixedValues;
        for (size_t a = 0; a < vary.size(); ++a) key.values.push_back(vary[a].values[digit[a]]);
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
        error = std::string("--vary needs NAME=A,B,C or NAME=FROM:TO:STEP, not \"") + text + "\"";
        return false;
    }
    const std::string name(text, static_cast<size_t>(equals - text));
    const std::string values = equals + 1;
    if (!FindParameter(name.c_str(), axis.ref)) {
        // The --set reading says why, with a suggestion for a wrong case.
        double unused = 0.0;
        char message[kParameterMessageCapacity];
        ParseSetting((name + "=").c_str(), axis.ref, unused, message, sizeof message);
        error = message;
        return false;
    }
    const std::vector<std::string> range = SplitOn(values, ':');
    if (range.size() == 1) {
        for (const std::string& item : SplitOn(values, ',')) {
            double value = 0.0;
            if (!ParseValue(axis.ref, item, value, error)) return false;
            AddDistinct(axis.values, value);
            if (axis.values.size() > SweepPlan::kMaxValues) {
                error = "--vary " + name + ": more than 10000 values";
                return false;
            }
        }
        return true;
    }
    // The arithmetic runs on the numbers as written; each value is then read
    // as the parameter stores it (whole numbers for integer fields, single
    // precision for reals) and checked against its range.
    double from = 0.0;
    double to = 0.0;
    double step = 0.0;
    double unused = 0.0;
    if (range.size() != 3 || !ParseValue(axis.ref, range[0], unused, error) ||
        !ParseValue(axis.ref, range[1], unused, error) || !ParseNumber(range[0], from) ||
        !ParseNumber(range[1], to) || !ParseNumber(range[2], step) || !(step > 0.0) || from > to) {
        if (error.empty()) {
            error = "--vary " + name + "=FROM:TO:STEP needs FROM <= TO and a STEP above 0, not \"" +
                    values + "\"";
        }
        return false;
    }
    const double span = (to - from) / step;
    if (span >= static_cast<double>(SweepPlan::kMaxValues)) {
        error = "--vary " + name + ": more than 10000 values";
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
        double value = 0.0;
        if (!ParseValue(axis.ref, formatted, value, error)) {
            error = "--vary " + name + "=" + values + ": " + error;
            return false;
        }
        AddDistinct(axis.values, value);
    }
    return true;
}

bool ParseSeeds(const char* text, std::vector<uint32_t>& seeds, std::string& error) {
    seeds.clear();
    const std::vector<std::string> ends = SplitOn(text, '-');
    uint64_t first = 1;
    uint64_t last = 0;
    bool ok = false;
    if (ends.size() == 1) {
        ok = ParseWholeNumber(ends[0].c_str(), 1, SweepPlan::kMaxRuns, last);
    } else if (ends.size() == 2) {
        ok = ParseWholeNumber(ends[0].c_str(), 0, kMaxSeed, first) &&
             ParseWholeNumber(ends[1].c_str(), 0, kMaxSeed, last) && first <= last &&
             last - first < SweepPlan::kMaxRuns;
    }
    if (!ok) {
        error = std::string("--seeds takes A-B (A <= B, seeds 0 to 4294967295) or a count N, not \"") +
                text + "\"";
        return false;
    }
    for (uint64_t seed = first; seed <= last; ++seed) seeds.push_back(static_cast<uint32_t>(seed));
    return true;
}

bool ParseRunRange(const char* text, size_t& first, size_t& last, std::string& error) {
    const std::vector<std::string> ends = SplitOn(text, '-');
    uint64_t a = 0;
    uint64_t b = 0;
    if (ends.size() != 2 || !ParseWholeNumber(ends[0].c_str(), 1, SweepPlan::kMaxRuns, a) ||
        !ParseWholeNumber(ends[1].c_str(), 1, SweepPlan::kMaxRuns, b) || a > b) {
        error = std::string("--runs takes A-B, the runs A to B (from 1) of the sweep's list, not \"") +
                text + "\"";
        return false;
    }
    first = static_cast<size_t>(a);
    last = static_cast<size_t>(b);
    return true;
}

SweepCommand ParseSweepOptions(int argc, char** argv, SweepPlan& plan, std::string& error) {
    plan = SweepPlan{};
    CommandArgs args(argc, argv);
    while (args.Next()) {
        if (args.Is("--sweep")) continue;
        if (args.Is("--help")) return SweepCommand::Help;
        if (args.Is("--list-runs")) {
            plan.listRuns = true;
            continue;
        }
        if (!args.Is("--set") && !args.Is("--vary") && !args.Is("--seeds") &&
            !args.Is("--steps") && !args.Is("--jobs") && !args.Is("--out") &&
            !args.Is("--plot") && !args.Is("--program") && !args.Is("--runs") &&
            !args.Is("--chunk")) {
            error = args.Unknown();
            return SweepCommand::Error;
        }
        if (!args.Value(error)) return SweepCommand::Error;
        const std::string value = args.value;
        bool ok = true;
        if (args.Is("--set")) {
            ParameterRef ref;
            double v = 0.0;
            char message[kParameterMessageCapacity];
            ok = ParseSetting(args.value, ref, v, message, sizeof message);
            if (!ok) error = message;
            for (size_t i = 0; ok && i <= plan.fixed.size(); ++i) {
                if (i == plan.fixed.size()) {
                    plan.fixed.push_back(ref);
                    plan.fixedValues.push_back(v);
                    break;
                }
                if (plan.fixed[i] == ref) {
                    plan.fixedValues[i] = v;
                    break;
                }
            }
        } else if (args.Is("--vary")) {
            VaryAxis axis;
            ok = ParseVary(args.value, axis, error);
            for (const VaryAxis& other : plan.vary) {
                if (ok && other.ref == axis.ref) {
                    error = std::string(axis.ref.Name()) + " is given to --vary twice";
                    ok = false;
                }
            }
            if (ok) plan.vary.push_back(axis);
        } else if (args.Is("--seeds")) {
            ok = ParseSeeds(args.value, plan.seeds, error);
        } else if (args.Is("--steps")) {
            uint64_t steps = 0;
            ok = ParseWholeNumber(args.value, 0, 2147483647u, steps);
            if (!ok) error = "--steps takes a whole number from 0 to 2147483647, not \"" + value + "\"";
            plan.steps = static_cast<int64_t>(steps);
        } else if (args.Is("--runs")) {
            ok = ParseRunRange(args.value, plan.firstRun, plan.lastRun, error);
        } else if (args.Is("--chunk")) {
            uint64_t chunk = 0;
            ok = ParseWholeNumber(args.value, 1, SweepPlan::kMaxRuns, chunk);
            if (!ok) error = "--chunk takes a whole number of runs from 1 to 1000000, not \"" + value + "\"";
            plan.chunk = static_cast<size_t>(chunk);
        } else if (args.Is("--jobs")) {
            uint64_t jobs = 0;
            ok = ParseWholeNumber(args.value, 1, kMaxJobs, jobs);
            if (!ok) error = "--jobs takes a whole number from 1 to 1024, not \"" + value + "\"";
            plan.jobs = static_cast<int32_t>(jobs);
        } else if (value.empty()) {
            error = std::string("option '") + args.Current() + "' needs a file name";
            ok = false;
        } else if (args.Is("--out")) {
            plan.out = value;
        } else if (args.Is("--plot")) {
            plan.plot = value;
        } else {
            plan.program = value;
        }
        if (!ok) return SweepCommand::Error;
    }
    for (const VaryAxis& axis : plan.vary) {
        if (Contains(plan.fixed, axis.ref)) {
            error = std::string(axis.ref.Name()) + " is both held by --set and varied by --vary";
            return SweepCommand::Error;
        }
    }
    if (plan.RunCount() > SweepPlan::kMaxRuns) {
        error = "the sweep would make more than 1000000 runs";
        return SweepCommand::Error;
    }
    if (!plan.plot.empty() && plan.vary.empty()) {
        error = "--plot draws the measures against the first --vary parameter; give one";
        return SweepCommand::Error;
    }
    if (plan.lastRun > plan.RunCount()) {
        error = "--runs " + std::to_string(plan.firstRun) + "-" + std::to_string(plan.lastRun) +
                ": the sweep has " + std::to_string(plan.RunCount()) + " runs";
        return SweepCommand::Error;
    }
    if (plan.chunk > 0 && !plan.listRuns) {
        error = "--chunk divides the list of runs; give it with --list-runs";
        return SweepCommand::Error;
    }
    if (plan.out == "-" && plan.plot == "-") {
        error = "--out - and --plot - cannot both write to standard output";
        return SweepCommand::Error;
    }
    return SweepCommand::Run;
}

bool CheckSweepGrid(const SweepPlan& plan, const DialogTarget& defaults, std::string& error) {
    SweepPlan oneSeed = plan;
    oneSeed.seeds = {plan.seeds.front()};
    for (const RunKey& key : oneSeed.Runs()) {
        StartSettings settings;
        for (size_t i = 0; i < key.parameters.size(); ++i) {
            settings.Put(key.parameters[i], key.values[i]);
        }
        char message[kParameterMessageCapacity];
        if (!CheckStartSettings(defaults, settings, message, sizeof message)) {
            std::string where;
            for (size_t i = plan.fixed.size(); i < key.parameters.size(); ++i) {
                char value[32];
                FormatParameterValue(key.parameters[i], key.values[i], value, sizeof value);
                where += std::string(where.empty() ? "" : " ") + key.parameters[i].Name() + "=" + value;
            }
            error = where.empty() ? message : "the grid point " + where + " is refused: " + message;
            return false;
        }
    }
    return true;
}
