#include "shell/experiments/CompareRules.h"

#include <sys/stat.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "policy/EngineProcess.h"
#include "settings/CommandFiles.h"
#include "settings/UserGallery.h"
#include "shell/ExitStatus.h"
#include "shell/StartUp.h"
#include "shell/experiments/ComparisonPlots.h"
#include "shell/experiments/RuleComparison.h"
#include "shell/experiments/Sweep.h"
#include "shell/experiments/WholeFile.h"

namespace {

constexpr const char* kResultsName = "results.csv";
constexpr const char* kSeriesName = "series";
constexpr const char* kTableName = "comparison.csv";
constexpr const char* kReportName = "report.txt";
constexpr mode_t kFolderMode = 0777;  // as mkdir(1) makes it: the umask decides

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeFolder(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), kFolderMode) == 0 || (errno == EEXIST && IsFolder(path))) return true;
    error = "cannot make the folder " + path + ": " +
            (errno == EEXIST ? std::string("something else is there") : std::strerror(errno));
    return false;
}

// Why the rule base does not load, in one line; empty when it loads cleanly.
// In an engine process of its own, as a run would load it.
std::string LoadProblem(const RuleBaseEntry& entry) {
    auto engine = std::make_unique<EngineProcess>();  // about 150 KB
    const LoadResult result = entry.origin == RuleBaseOrigin::Shipped
                                  ? engine->LoadText(entry.name.c_str(), entry.text, entry.length)
                                  : engine->Load(entry.path.c_str());
    if (result == LoadResult::Loaded && engine->Ready()) return std::string();
    char problem[EngineProcess::kProblemCapacity];
    engine->FirstLoadError(problem, sizeof problem);
    return problem[0] != '\0' ? std::string(problem) : std::string(engine->Problem());
}

std::vector<std::string> SplitList(const char* text) {
    std::vector<std::string> items;
    std::string item;
    for (const char* c = text;; ++c) {
        if (*c == ',' || *c == '\0') {
            items.push_back(item);
            item.clear();
            if (*c == '\0') break;
        } else {
            item += *c;
        }
    }
    return items;
}

}  // namespace

bool ParseRuleList(const char* text, const RuleGallery& gallery, CompareRulesPlan& plan,
                   std::string& error) {
    plan.rules.clear();
    plan.values.clear();
    for (const std::string& item : SplitList(text)) {
        if (item.empty()) {
            error = "--compare-rules takes rule bases separated by commas, with none empty";
            return false;
        }
        RuleBaseEntry entry;
        if (!ChooseRuleBase(gallery, item, entry, error)) return false;
        // Files and rows know a run's rule base by its name.
        if (!IsRuleBaseName(entry.name)) {
            error = Printable(item.c_str()) + " has no usable name (\"" + Printable(entry.name.c_str()) +
                    "\"); give it a \";; name: WORD\" line of letters, digits, '-' and '_'";
            return false;
        }
        for (const RuleBaseEntry& other : plan.rules) {
            if (other.name == entry.name) {
                error = "two of the rule bases are named \"" + entry.name +
                        "\"; each needs a name of its own";
                return false;
            }
        }
        plan.rules.push_back(entry);
        plan.values.push_back(item);
    }
    return true;
}

int RunCompareRulesCommand(const CommandLine& line, const char* argv0) {
    std::string error;
    auto usage = [&error]() {
        std::fprintf(stderr, "%s: %s (try '%s --compare-rules --help')\n", kProgramName,
                     error.c_str(), kProgramName);
        return kExitUsage;
    };
    // The list after --compare-rules, or after "=".
    const char* list = line.Text(OptionId::CompareRules);
    if (list == nullptr && !line.positionals.empty()) list = line.positionals[0];
    if (list == nullptr) {
        error = "--compare-rules needs the rule bases to compare: A,B,...";
        return usage();
    }
    CompareRulesPlan compare;
    if (!ParseRuleList(list, UserRuleGallery(), compare, error)) return usage();
    compare.out = line.Text(OptionId::Out, "");
    if (compare.out.empty() || compare.out == "-") {
        error = "--compare-rules needs --out DIR, the folder for its runs and its report";
        return usage();
    }
    // The grid: the fixed settings, the seeds, the steps and the jobs as a
    // sweep reads them, then the rule bases as the one varied parameter.
    SweepPlan plan;
    if (!SweepPlanFrom(line, plan, error)) return usage();
    for (ParameterId id : plan.fixed) {
        if (id == ParameterId::Rules) {
            error = "the rule bases to compare are the list after --compare-rules, not --set rules=";
            return usage();
        }
    }
    if (!line.Has(OptionId::Seeds)) {
        plan.seeds.clear();
        for (uint32_t seed = 1; seed <= CompareRulesPlan::kDefaultLastSeed; ++seed) {
            plan.seeds.push_back(seed);
        }
    }
    const std::string seriesFolder = compare.out + "/" + kSeriesName;
    plan.out = compare.out + "/" + kResultsName;
    plan.seriesFolder = seriesFolder;
    plan.plot.clear();

    // Nothing is written before the files are checked: the folder, then (once
    // it exists) every file of the report against the rule bases it reads.
    std::vector<RunOutput> inputs;
    for (const RuleBaseEntry& entry : compare.rules) {
        if (entry.origin != RuleBaseOrigin::Shipped) inputs.push_back({entry.path, "a rule base"});
    }
    {
        CommandFiles folder;
        for (const RunOutput& input : inputs) folder.Input(input.path, input.role);
        folder.OutputFolder(compare.out, "--out");
        switch (folder.Check(error)) {
            case CommandFiles::Verdict::Ok: break;
            case CommandFiles::Verdict::Conflict: return usage();
            case CommandFiles::Verdict::Unwritable:
                std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
                return kExitFailure;
        }
    }
    if (!MakeFolder(compare.out, error) || !MakeFolder(seriesFolder, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitFailure;
    }
    std::vector<RunOutput> outputs = {{plan.out, "--out"},
                                      {compare.out + "/" + kTableName, "--out"},
                                      {compare.out + "/" + kReportName, "--out"}};
    for (const ComparisonMeasureInfo& info : kComparisonMeasures) {
        outputs.push_back({compare.out + "/" + info.key + ".svg", "--out"});
    }
    for (const RuleBaseEntry& entry : compare.rules) {
        for (uint32_t seed : plan.seeds) {
            outputs.push_back({SeriesFilePath(seriesFolder, entry.name, seed), "--out"});
        }
    }
    if (const int status = CheckOutputs(outputs, inputs, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return status;
    }

    // A rule base that does not load makes no runs: it is reported instead.
    std::vector<BrokenRuleBase> broken;
    VaryAxis axis;
    axis.name = Parameter(ParameterId::Rules).name;
    axis.ids = {ParameterId::Rules};
    std::vector<std::string> names;
    std::map<std::string, std::string> nameOfValue;
    for (size_t i = 0; i < compare.rules.size(); ++i) {
        const RuleBaseEntry& entry = compare.rules[i];
        names.push_back(entry.name);
        const std::string problem = LoadProblem(entry);
        if (!problem.empty()) {
            std::fprintf(stderr, "%s: %s does not load, and makes no runs: %s\n", kProgramName,
                         entry.name.c_str(), problem.c_str());
            broken.push_back({entry.name, problem});
            continue;
        }
        ParameterValue value;
        if (!ParseParameterValue(ParameterId::Rules, compare.values[i].c_str(), value, error)) {
            return usage();
        }
        axis.points.push_back({value});
        nameOfValue[FormatParameterValue(ParameterId::Rules, value)] = entry.name;
    }
    int status = kExitOk;
    if (!axis.points.empty()) {
        plan.vary = {axis};
        status = RunSweep(plan, argv0);
        // Stopped: no report of half the runs; the same command goes on.
        if (status >= kExitSignalBase || status == kExitUsage) return status;
    }

    // The runs as the summary file has them, with their courses.
    SummaryTable table;
    if (!axis.points.empty() && !ReadSummaryFile(plan.out.c_str(), true, table, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitFailure;
    }
    std::map<std::string, const std::vector<std::string>*> rows;
    for (const auto& row : table.rows) rows[table.KeyOf(row)] = &row;
    std::vector<ComparedRun> runs;
    size_t rulesColumn = 0;
    for (const ParameterId id : plan.Columns()) {
        if (id == ParameterId::Rules) break;
        ++rulesColumn;
    }
    for (const RunKey& key : axis.points.empty() ? std::vector<RunKey>() : plan.Runs()) {
        ComparedRun run;
        run.rules = nameOfValue[FormatParameterValue(ParameterId::Rules, key.values[rulesColumn])];
        run.seed = key.seed;
        const auto found = rows.find(key.Text());
        if (found != rows.end() && table.StatusOf(*found->second) == kStatusOk) {
            const std::string path = SeriesFilePath(seriesFolder, run.rules, key.seed);
            run.ok = ReadSeriesFile(path, run.series, error);
            if (!run.ok) {
                std::fprintf(stderr, "%s: %s; that run is left out (delete its row in %s to run "
                                     "it again)\n",
                             kProgramName, error.c_str(), plan.out.c_str());
                status = kExitFailure;
            }
        }
        runs.push_back(run);
    }

    const Comparison comparison =
        CompareRuns(names, runs, broken, plan.steps, static_cast<int32_t>(plan.seeds.size()));
    const std::string report = FormatComparisonTable(comparison) + "\n" + ComparisonVerdict(comparison);
    std::vector<std::string> plots;
    if (!SaveWholeFile(compare.out + "/" + kTableName, ComparisonCsv(comparison), error) ||
        !SaveWholeFile(compare.out + "/" + kReportName, report, error) ||
        !WriteComparisonPlots(comparison, compare.out, plots, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitFailure;
    }
    std::signal(SIGPIPE, SIG_IGN);  // a reader that went away is a write error
    if (std::fputs(report.c_str(), stdout) == EOF || std::fflush(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the report to standard output\n", kProgramName);
        return kExitFailure;
    }
    return broken.empty() ? status : kExitFailure;
}
