#include "shell/experiments/Sweep.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <memory>
#include <unordered_set>

#include "shell/ExitStatus.h"
#include "shell/OptionTable.h"
#include "shell/StartUp.h"
#include "shell/experiments/Plots.h"
#include "shell/experiments/RunProcesses.h"
#include "shell/experiments/SummaryRun.h"
#include "shell/experiments/SweepJobs.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kProgressInterval = std::chrono::milliseconds(500);
constexpr const char* kHugePagesTunable = "GLIBC_TUNABLES=glibc.malloc.hugetlb=1";

// Where the sweep's rows go: appended to the summary file (the runs append
// their own) or, with --out -, written to standard output by the sweep.
// Either way the table holds every row the summary has, for the plot and
// the count of failed runs.
struct Summary {
    int fd = -1;
    bool toStandard = false;
    SummaryTable table;

    // A row the sweep writes itself (a failed run's, or a run's printed one).
    bool Append(const std::string& line) {
        if (!AppendWhole(toStandard ? STDOUT_FILENO : fd, line)) return false;
        if (toStandard) {
            SummaryTable parsed;
            std::string ignored;
            if (ParseSummaryText(table.header + "\n" + line, parsed, ignored)) {
                for (auto& row : parsed.rows) table.rows.push_back(std::move(row));
            }
        }
        return true;
    }
    ~Summary() {
        if (fd >= 0) close(fd);
    }
};

std::string Describe(const RunKey& key) {
    std::string text = "seed " + std::to_string(key.seed);
    for (size_t i = 0; i < key.parameters.size(); ++i) {
        text += std::string(" ") + Parameter(key.parameters[i]).name + "=" +
                FormatParameterValue(key.parameters[i], key.values[i]);
    }
    return text;
}

std::string Duration(double seconds) {
    const long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%ldh%02ldm", s / 3600, s / 60 % 60);
    } else if (s >= 60) {
        std::snprintf(text, sizeof text, "%ldm%02lds", s / 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lds", s);
    }
    return text;
}

// The progress line on a terminal's standard error; nothing elsewhere.
class Progress {
public:
    Progress(size_t total, size_t before) : total(total), before(before), start(Clock::now()) {
        on = isatty(STDERR_FILENO) != 0;
    }
    void Show(size_t done, size_t failed) {
        if (!on) return;
        const auto now = Clock::now();
        // A line cleared for a message above it is drawn again at once: the
        // progress must not vanish for half a second after every failure.
        if (shown && now - lastShown < kProgressInterval) return;
        lastShown = now;
        std::string line = "sweep: " + std::to_string(before + done + failed) + "/" +
                           std::to_string(total) + " runs";
        if (failed > 0) line += ", " + std::to_string(failed) + " failed";
        const size_t finished = done + failed;
        if (finished > 0 && before + finished < total) {
            const double elapsed = std::chrono::duration<double>(now - start).count();
            line += ", about " + Duration(elapsed / finished * (total - before - finished)) + " left";
        }
        std::fprintf(stderr, "\r\033[K%s", line.c_str());
        std::fflush(stderr);
        shown = true;
    }
    void Clear() {
        if (!shown) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown = false;
    }

private:
    size_t total;
    size_t before;
    Clock::time_point start;
    Clock::time_point lastShown{};
    bool on = false;
    bool shown = false;
};

bool ListRuns(const std::string& program, const SweepPlan& plan, const std::vector<RunKey>& runs) {
    if (plan.chunk > 0) {
        // One sweep of K runs a line, numbered as in the whole list.
        std::vector<std::string> words = {program, "--sweep"};
        for (const std::string& word : plan.GridArguments()) words.push_back(word);
        const size_t offset = plan.firstRun > 0 ? plan.firstRun - 1 : 0;
        for (size_t first = 0; first < runs.size(); first += plan.chunk) {
            const size_t last = std::min(first + plan.chunk, runs.size());
            std::vector<std::string> line = words;
            line.push_back("--runs");
            line.push_back(std::to_string(offset + first + 1) + "-" + std::to_string(offset + last));
            if (std::fputs((ShellCommand(line) + "\n").c_str(), stdout) == EOF) break;
        }
    }
    for (size_t i = 0; plan.chunk == 0 && i < runs.size(); ++i) {
        const std::string line = ShellCommand(RunCommand(program, runs[i], nullptr)) + "\n";
        if (std::fputs(line.c_str(), stdout) == EOF) break;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "%s: cannot write the run list: %s\n", kProgramName,
                     std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> RunCommand(const std::string& program, const RunKey& key,
                                    const char* out, const std::string& seriesFolder) {
    std::vector<std::string> words = {program, "--summary-run", "--seed", std::to_string(key.seed),
                                      "--steps", std::to_string(key.steps)};
    for (size_t i = 0; i < key.parameters.size(); ++i) {
        words.push_back("--set");
        words.push_back(std::string(Parameter(key.parameters[i]).name) + "=" +
                        FormatParameterValue(key.parameters[i], key.values[i]));
    }
    if (out != nullptr) {
        words.push_back("--out");
        words.push_back(out);
    }
    if (!seriesFolder.empty()) {
        words.push_back("--series-folder");
        words.push_back(seriesFolder);
    }
    return words;
}

int RunSweep(const SweepPlan& plan, const char* argv0) {
    std::string program = plan.program;
    if (program.empty() && !ResolveThisProgram(argv0, program)) {
        std::fprintf(stderr, "%s: cannot find this program's file to start the runs; name it "
                             "with --program\n", kProgramName);
        return kExitFailure;
    }
    std::string error;
    if (!CheckSweepGrid(plan, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitUsage;
    }
    const std::vector<RunKey> runs = plan.SelectedRuns();
    if (plan.listRuns) return ListRuns(program, plan, runs) ? kExitOk : kExitFailure;
    // The runs read the user's rule base: its first-use copy is made once,
    // here, rather than by every run at the same moment.
    RunDescription userFiles;
    ProvideRunFiles(userFiles, false);

    // The summary stays open, and locked, until the sweep has read it back.
    const std::string header = SummaryHeader(plan.Columns());
    Summary summary;
    summary.toStandard = plan.out == "-";
    if (summary.toStandard) {
        summary.table.header = header;
        summary.table.parameterCount = static_cast<int32_t>(plan.Columns().size());
        std::signal(SIGPIPE, SIG_IGN);  // a reader that went away is a write error
        if (!AppendWhole(STDOUT_FILENO, header + "\n")) {
            std::fprintf(stderr, "%s: cannot write standard output: %s\n", kProgramName,
                         std::strerror(errno));
            return kExitFailure;
        }
    } else {
        summary.fd = OpenSummaryForAppend(plan.out.c_str(), header, SummaryAccess::Exclusive, error);
        if (summary.fd < 0 || !ReadSummaryDescriptor(summary.fd, plan.out.c_str(), summary.table, error)) {
            std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
            return kExitFailure;
        }
    }
    const SummaryTable& table = summary.table;
    std::unordered_set<std::string> recorded;
    for (const auto& row : table.rows) recorded.insert(table.KeyOf(row));
    std::vector<size_t> pending;
    for (size_t i = 0; i < runs.size(); ++i) {
        if (recorded.count(runs[i].Text()) == 0) pending.push_back(i);
    }

    int32_t jobCount = plan.jobs > 0 ? plan.jobs : AvailableCores();
    if (static_cast<size_t>(jobCount) > pending.size()) jobCount = static_cast<int32_t>(pending.size());
    JobSetup setup;
    setup.program = program;
    // The sweep's own program makes its runs in workers; another program
    // (--program) is only known to make one run per process.
    setup.workers = plan.program.empty();
    setup.out = summary.toStandard ? nullptr : plan.out.c_str();
    setup.jobs = jobCount;
    setup.seriesFolder = plan.seriesFolder;
    // The sweep's own pid: a run checks it is still its parent (see SummaryRun).
    setup.environment = {std::string(kSweepChildVariable) + "=" + std::to_string(getpid())};
    if (std::getenv("GLIBC_TUNABLES") == nullptr) {
        // A process's first simulation is built in fresh memory; in 2 MB pages
        // that is a few page faults instead of hundreds. Only where
        // transparent huge pages are on "madvise"; harmless elsewhere.
        setup.environment.push_back(kHugePagesTunable);
    }
    SweepJobs jobs;
    if (!jobs.Prepare(setup, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitFailure;
    }
    Progress progress(runs.size(), runs.size() - pending.size());
    size_t done = 0;
    size_t failed = 0;
    bool rowsLost = false;
    bool cannotStart = false;
    const auto ended = [&](const RunEnd& end) {
        const RunKey& key = runs[end.run];
        if (end.status == kStatusOk) {
            ++done;
            if (summary.toStandard && !summary.Append(end.row)) rowsLost = true;
            return;
        }
        ++failed;
        if (!summary.Append(FailedLine(key, end.status.c_str()))) rowsLost = true;
        progress.Clear();
        std::fprintf(stderr, "%s: run %s ended with %s%s%s\n", kProgramName, Describe(key).c_str(),
                     end.status.c_str(), end.said.empty() ? "" : ": ", end.said.c_str());
    };
    const int stopSignal = jobs.Run(runs, pending, ended, [&] { progress.Show(done, failed); },
                                    cannotStart, error);
    if (cannotStart) {
        progress.Clear();
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
    }
    progress.Clear();

    const std::string where = summary.toStandard ? "standard output" : "'" + plan.out + "'";
    if (rowsLost) {
        std::fprintf(stderr, "%s: cannot write to %s; rows are missing\n", kProgramName,
                     where.c_str());
    }
    if (stopSignal != 0) {
        const size_t finished = runs.size() - pending.size() + done + failed;
        if (summary.toStandard) {
            std::fprintf(stderr, "%s: sweep stopped: %zu of %zu runs finished\n", kProgramName,
                         finished, runs.size());
        } else {
            std::fprintf(stderr,
                         "%s: sweep stopped: %zu of %zu runs are in %s; the same command goes on "
                         "from there\n",
                         kProgramName, finished, runs.size(), plan.out.c_str());
        }
        return kExitSignalBase + stopSignal;
    }
    if (cannotStart) return kExitFailure;

    // The whole grid as the file now has it: failures of earlier sweeps count.
    if (!summary.toStandard &&
        !ReadSummaryDescriptor(summary.fd, plan.out.c_str(), summary.table, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitFailure;
    }
    std::unordered_set<std::string> keys;
    for (const RunKey& key : runs) keys.insert(key.Text());
    std::unordered_set<std::string> okKeys;
    std::unordered_set<std::string> failedKeys;
    for (const auto& row : table.rows) {
        const std::string key = table.KeyOf(row);
        if (keys.count(key) == 0) continue;
        (table.StatusOf(row) == kStatusOk ? okKeys : failedKeys).insert(key);
    }
    size_t failedRuns = 0;
    for (const std::string& key : failedKeys) failedRuns += okKeys.count(key) == 0 ? 1 : 0;
    int status = rowsLost ? kExitFailure : kExitOk;
    if (failedRuns > 0) {
        std::fprintf(stderr, "%s: %zu of %zu runs failed; their rows in %s say how\n", kProgramName,
                     failedRuns, runs.size(), summary.toStandard ? "the summary" : plan.out.c_str());
        status = kExitFailure;
    }
    if (!plan.plot.empty()) {
        std::vector<std::string> series;
        for (size_t a = 1; a < plan.vary.size(); ++a) {
            for (ParameterId id : plan.vary[a].ids) series.push_back(Parameter(id).name);
        }
        // The shares vary together: the first is the axis, the others follow it.
        if (!WriteSweepPlot(plan.plot.c_str(), table, &keys, Parameter(plan.vary[0].ids[0]).name,
                            series,
                            error)) {
            std::fprintf(stderr, "%s: no plot: %s\n", kProgramName, error.c_str());
            status = kExitFailure;
        }
    }
    return status;
}

int RunSweepCommand(const CommandLine& line, const char* argv0) {
    SweepPlan plan;
    std::string error;
    if (!SweepPlanFrom(line, plan, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return kExitUsage;
    }
    // A run list writes no summary, only the run lines.
    const int status = CheckOutputs(
        {{plan.listRuns ? std::string() : plan.out, "--out"}, {plan.plot, "--plot"}}, {}, error);
    if (status != kExitOk) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return status;
    }
    return RunSweep(plan, argv0);
}
