#include "shell/Headless.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "policy/EngineProcess.h"
#include "simulation/Simulation.h"
#include "simulation/StatisticsText.h"

namespace {

constexpr const char* kProgram = "marrowick";
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The view pauses this long after rebuilding a colony; fast runs do not.
constexpr int32_t kLiveRestartPauseMs = 100;
// How often the live run's main thread looks at the interrupt flag.
constexpr int32_t kInterruptPollMs = 20;
// Terminal refreshes: a display, not a log, so fast runs are not slowed by it.
constexpr auto kRefreshInterval = std::chrono::milliseconds(20);
// The progress bar appears only in runs that last longer than this.
constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int64_t kProgressCheckSteps = 64;  // steps between clock reads
constexpr int kProgressWidth = 40;
// The terminal block: the overlay's lines 2 to 15 (the render time belongs to
// the window).
constexpr int kFirstBlockLine = 1;
constexpr int kBlockLines = StatisticsLines::kLineCount - kFirstBlockLine;
constexpr size_t kCsvRowCapacity = 1024;  // two quoted 99-character texts at worst fit

constexpr const char* kUsage =
    "Usage: marrowick --headless [--steps N] [--rate R] [--seed N] [--csv FILE|-] [--every K] "
    "[--verbose]\n";

constexpr const char* kHelp =
    "Usage: marrowick --headless [OPTION]...\n"
    "Run the ant colony simulation without a window.\n"
    "\n"
    "  --steps N      run N steps as fast as possible, then end; without it the\n"
    "                 simulation runs at the live pace until Ctrl+C or SIGTERM\n"
    "  --rate R       live pace in steps per second, 5 to 1000 (default 40)\n"
    "  --seed N       initial state of the random source, 0 to 4294967295\n"
    "                 (default 1: every unseeded run is the same)\n"
    "  --csv FILE     write a statistics row every K steps to FILE, with a header\n"
    "                 row; '-' writes to standard output\n"
    "  --every K      steps between CSV rows and terminal refreshes (default 1)\n"
    "  --verbose      let the rule engine's printouts through\n"
    "  --help         display this help and exit\n"
    "  --version      output version information and exit\n"
    "\n"
    "The statistics are printed at the end (to standard error when the CSV goes\n"
    "to standard output) and kept up to date while standard output is a terminal.\n"
    "The rule base Rules.clp is read from the working directory, and written\n"
    "there first when it is missing.\n"
    "\n"
    "Example: marrowick --headless --steps 100000 --seed 7 --csv run.csv --every 100\n"
    "\n"
    "Exit status: 0 success, 1 a file could not be written, 2 bad usage.\n";

// ---------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------

// Plain decimal digits only: no sign, blank or suffix slips through.
bool ParseNumber(const char* text, uint64_t min, uint64_t max, uint64_t& value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    uint64_t result = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
        result = result * 10 + static_cast<uint64_t>(*c - '0');
        if (result > max) {
            return false;
        }
    }
    if (result < min) {
        return false;
    }
    value = result;
    return true;
}

struct NumberOption {
    const char* name;
    uint64_t min;
    uint64_t max;
};

constexpr NumberOption kSteps{"--steps", 0, 2147483647u};
constexpr NumberOption kRate{"--rate", static_cast<uint64_t>(kMinSimsPerSecond),
                             static_cast<uint64_t>(kMaxSimsPerSecond)};
constexpr NumberOption kSeed{"--seed", 0, 4294967295u};
constexpr NumberOption kEvery{"--every", 1, 2147483647u};

// ---------------------------------------------------------------------------
// Signals: the handler only records the signal; the run loops poll it.
// ---------------------------------------------------------------------------

std::atomic<int> interruptSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal flag must be lock-free");

// A rule engine pass under way is abandoned too, so the step ends at once.
void OnInterrupt(int signalNumber) {
    interruptSignal.store(signalNumber);
    EngineProcess::AbandonWaits();
}

bool Interrupted() { return interruptSignal.load(std::memory_order_relaxed) != 0; }

// Installs the handlers for one run and puts the previous ones back. A second
// Ctrl+C gets the default action, so a run that cannot end still can be ended.
class InterruptGuard {
public:
    InterruptGuard() {
        interruptSignal.store(0);
        EngineProcess::ResumeWaits();
        struct sigaction action {};
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
        sigaction(SIGHUP, &action, &previousHup);
    }
    ~InterruptGuard() {
        EngineProcess::ResumeWaits();  // the run's engine is gone by now
        sigaction(SIGINT, &previousInt, nullptr);
        sigaction(SIGTERM, &previousTerm, nullptr);
        sigaction(SIGHUP, &previousHup, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction previousInt {};
    struct sigaction previousTerm {};
    struct sigaction previousHup {};
};

// ---------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------

class Appender {
public:
    Appender(char* buffer, size_t capacity) : buffer(buffer), capacity(capacity) {
        if (capacity > 0) {
            buffer[0] = '\0';
        }
    }
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        if (length + 1 >= capacity) {
            return;
        }
        va_list args;
        va_start(args, format);
        const int written = std::vsnprintf(buffer + length, capacity - length, format, args);
        va_end(args);
        if (written > 0) {
            length += static_cast<size_t>(written);
            if (length >= capacity) {
                length = capacity - 1;
            }
        }
    }
    void Put(char c) {
        if (length + 1 < capacity) {
            buffer[length++] = c;
            buffer[length] = '\0';
        }
    }
    // RFC 4180: always quoted, inner quotes doubled.
    void Quoted(const char* text) {
        Put('"');
        for (const char* c = text; *c != '\0'; ++c) {
            if (*c == '"') {
                Put('"');
            }
            Put(*c);
        }
        Put('"');
    }
    size_t Length() const { return length; }

private:
    char* buffer;
    size_t capacity;
    size_t length = 0;
};

// The statistics block and the progress bar. Where standard output is a
// terminal the block is redrawn in place; the bar lives on its own line of
// standard error below it and is cleared before the block moves.
class Reporter {
public:
    Reporter(const HeadlessOptions& options, std::FILE* csv)
        : csv(csv), every(options.every) {
        const bool csvOnStdout = csv == stdout;
        statsOut = csvOnStdout ? stderr : stdout;
        statsTerminal = isatty(fileno(statsOut)) != 0;
        // The rule engine's printouts would tear a block drawn in place.
        liveBlock = statsTerminal && !csvOnStdout && !options.verbose;
        barTerminal = isatty(fileno(stderr)) != 0;
    }

    // After every step; the caller holds the state lock.
    void AfterStep(Simulation& simulation) {
        if (simulation.totalSteps % every != 0) {
            return;
        }
        if (csv != nullptr) {
            char row[kCsvRowCapacity];
            FormatCsvRow(simulation, row, sizeof row);
            std::fputs(row, csv);
            std::fputc('\n', csv);
        }
        if (liveBlock) {
            const auto now = std::chrono::steady_clock::now();
            if (blockOnScreen == 0 || now - lastRefresh >= kRefreshInterval) {
                lastRefresh = now;
                DrawBlock(simulation);
            }
        }
    }

    // Fast runs: done of total steps.
    void Progress(int64_t done, int64_t total, std::chrono::steady_clock::time_point start) {
        if (!barTerminal || total <= 0) {
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - start < kProgressDelay || now - lastBar < kProgressInterval) {
            return;
        }
        lastBar = now;
        const int filled = static_cast<int>(done * kProgressWidth / total);
        const int percent = static_cast<int>(done * 100 / total);
        char bar[kProgressWidth + 1];
        for (int i = 0; i < kProgressWidth; ++i) {
            bar[i] = i < filled ? '#' : '.';
        }
        bar[kProgressWidth] = '\0';
        std::snprintf(barText, sizeof barText, "[%s] %3d%%  %lld/%lld steps", bar, percent,
                      static_cast<long long>(done), static_cast<long long>(total));
        std::fflush(stdout);
        std::fprintf(stderr, "\r\033[K%s", barText);
        std::fflush(stderr);
        barShown = true;
    }

    // The final block; the caller holds the state lock.
    void Finish(Simulation& simulation) {
        if (barShown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
            barShown = false;
        }
        DrawBlock(simulation);
    }

private:
    void DrawBlock(Simulation& simulation) {
        FormatStatistics(simulation, lines);
        if (barShown) {
            std::fputs("\r\033[K", stderr);
            std::fflush(stderr);
        }
        const bool inPlace = liveBlock;
        if (inPlace && blockOnScreen > 0) {
            std::fprintf(statsOut, "\033[%dA", blockOnScreen);
        }
        for (int i = kFirstBlockLine; i < StatisticsLines::kLineCount; ++i) {
            if (inPlace) {
                std::fputs("\033[K", statsOut);
            }
            std::fputs(lines.line[i], statsOut);
            std::fputc('\n', statsOut);
        }
        std::fflush(statsOut);
        blockOnScreen = inPlace ? kBlockLines : 0;
        if (barShown) {
            std::fprintf(stderr, "%s", barText);
            std::fflush(stderr);
        }
    }

    std::FILE* csv;
    int32_t every;
    std::FILE* statsOut = stdout;
    bool statsTerminal = false;
    bool liveBlock = false;
    bool barTerminal = false;
    bool barShown = false;
    int blockOnScreen = 0;  // lines of the block above the cursor
    std::chrono::steady_clock::time_point lastRefresh{};
    std::chrono::steady_clock::time_point lastBar{};
    StatisticsLines lines{};
    char barText[128] = {};
};

// Steps on the calling thread, rebuilding the colony right after the step
// that left the viable range, as the view's restart does (without its pause).
void RunFast(Simulation& simulation, Reporter& reporter, int64_t steps) {
    const auto start = std::chrono::steady_clock::now();
    for (int64_t done = 0; done < steps && !Interrupted(); ++done) {
        {
            std::lock_guard<std::mutex> guard(simulation.stateMutex);
            simulation.Step();
            reporter.AfterStep(simulation);
            if (simulation.ColonyNeedsRestart()) {
                simulation.RestartColony();
            }
        }
        if ((done + 1) % kProgressCheckSteps == 0) {
            reporter.Progress(done + 1, steps, start);
        }
    }
}

class LiveObserver final : public HeadlessHost::StepObserver {
public:
    LiveObserver(Simulation& simulation, Reporter& reporter)
        : simulation(simulation), reporter(reporter) {}
    // The only place that sees every step of a live run; the main thread
    // writes nothing while the worker runs.
    void AfterStep() override {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        reporter.AfterStep(simulation);
    }

private:
    Simulation& simulation;
    Reporter& reporter;
};

bool RunLive(Simulation& simulation, Reporter& reporter, int32_t rate) {
    LiveObserver observer(simulation, reporter);
    HeadlessHost host(&observer);
    SimThreadControl control;
    control.simsPerSecond.store(static_cast<float>(rate));
    SimulationThread thread(simulation, host, control);
    if (!thread.Start()) {
        std::fprintf(stderr, "%s: cannot start the simulation thread\n", kProgram);
        return false;
    }
    while (!Interrupted()) {
        if (host.WaitForRestart(kInterruptPollMs)) {
            HandleQueuedRestarts(host, thread, simulation, kLiveRestartPauseMs);
        }
    }
    if (!thread.Stop(1000)) {
        thread.Join();
    }
    return true;
}

}  // namespace

const char kHeadlessCsvHeader[] =
    "step,population,meandering,wandering,gathering,reproducing,returning,"
    "meandering_share,wandering_share,gathering_share,reproducing_share,"
    "food_reserves,food_supply,colony_deaths,expert_system,population_action,food_action";

size_t FormatCsvRow(const Simulation& simulation, char* buffer, size_t capacity) {
    const Colony& colony = simulation.colony;
    const ExpertSystem& expert = simulation.expertSystem;
    Appender row(buffer, capacity);
    row.Format("%d,%d,%d,%d,%d,%d,%d,%.2f,%.2f,%.2f,%.2f,%.3f,%d,%d,%s,", simulation.totalSteps,
               colony.population, colony.meanderers, colony.wanderers, colony.gatherers,
               colony.reproducers, colony.returners, static_cast<double>(colony.meanderingShare),
               static_cast<double>(colony.wanderingShare),
               static_cast<double>(colony.gatheringShare),
               static_cast<double>(colony.reproducingShare),
               static_cast<double>(colony.foodReserves), simulation.foodField.FoodCount(),
               simulation.colonyDeaths, expert.on ? "on" : "off");
    // While the expert system is off its old conclusions are not current: the
    // overlay shows them empty, and so does the row.
    row.Quoted(expert.on ? expert.populationAction : "");
    row.Put(',');
    row.Quoted(expert.on ? expert.foodAction : "");
    return row.Length();
}

void HeadlessHost::RequestRestart() {
    {
        std::lock_guard<std::mutex> guard(lock);
        queuedRestarts.fetch_add(1);
    }
    queued.notify_all();
}

void HeadlessHost::RequestRepaint() {
    if (observer != nullptr) {
        observer->AfterStep();
    }
}

bool HeadlessHost::WaitForRestart(int32_t ms) {
    std::unique_lock<std::mutex> guard(lock);
    return queued.wait_for(guard, std::chrono::milliseconds(ms),
                           [this] { return queuedRestarts.load() > 0; });
}

bool HeadlessHost::TakeRestart() {
    int32_t queuedNow = queuedRestarts.load();
    while (queuedNow > 0) {
        if (queuedRestarts.compare_exchange_weak(queuedNow, queuedNow - 1)) {
            return true;
        }
    }
    return false;
}

int32_t HandleQueuedRestarts(HeadlessHost& host, SimulationThread& thread,
                             Simulation& simulation, int32_t pauseMs) {
    const int32_t due = host.QueuedRestarts();
    int32_t handled = 0;
    while (handled < due && host.TakeRestart()) {
        OnColonyRestart(thread, simulation, pauseMs);
        ++handled;
    }
    return handled;
}

HeadlessCommand ParseHeadlessOptions(int argc, char** argv, HeadlessOptions& options,
                                     char* error, size_t errorCapacity) {
    // format: "%s: ... '%s' ...": the program's name, then the argument.
    auto fail = [&](const char* format, const char* arg) {
        std::snprintf(error, errorCapacity, format, kProgram, arg);
        return HeadlessCommand::Error;
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--headless") == 0) {
            continue;
        }
        if (std::strcmp(arg, "--help") == 0) {
            return HeadlessCommand::Help;
        }
        if (std::strcmp(arg, "--version") == 0) {
            return HeadlessCommand::Version;
        }
        if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
            continue;
        }
        if (std::strncmp(arg, "--", 2) != 0 || arg[2] == '\0') {
            return fail("%s: unexpected argument '%s'", arg);
        }

        // Options with a value: "--name value" or "--name=value".
        const char* equals = std::strchr(arg, '=');
        const size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - arg)
                                                    : std::strlen(arg);
        auto named = [&](const char* name) {
            return std::strlen(name) == nameLength && std::strncmp(arg, name, nameLength) == 0;
        };
        const NumberOption* number = nullptr;
        for (const NumberOption* candidate : {&kSteps, &kRate, &kSeed, &kEvery}) {
            if (named(candidate->name)) {
                number = candidate;
            }
        }
        const bool isCsv = named("--csv");
        if (number == nullptr && !isCsv) {
            if (equals != nullptr && (named("--verbose") || named("--help") ||
                                      named("--version") || named("--headless"))) {
                return fail("%s: option '%s' doesn't allow an argument", arg);
            }
            return fail("%s: unrecognized option '%s'", arg);
        }
        const char* value = nullptr;
        if (equals != nullptr) {
            value = equals + 1;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return fail("%s: option '%s' requires an argument", arg);
        }

        if (isCsv) {
            if (*value == '\0') {
                std::snprintf(error, errorCapacity, "%s: option '--csv' needs a file name or '-'",
                              kProgram);
                return HeadlessCommand::Error;
            }
            options.csvPath = value;
            continue;
        }
        uint64_t parsed = 0;
        if (!ParseNumber(value, number->min, number->max, parsed)) {
            std::snprintf(error, errorCapacity,
                          "%s: invalid value '%s' for %s (expected a whole number from %llu to %llu)",
                          kProgram, value, number->name,
                          static_cast<unsigned long long>(number->min),
                          static_cast<unsigned long long>(number->max));
            return HeadlessCommand::Error;
        }
        if (number == &kSteps) {
            options.steps = static_cast<int64_t>(parsed);
        } else if (number == &kRate) {
            options.rate = static_cast<int32_t>(parsed);
        } else if (number == &kSeed) {
            options.seed = static_cast<uint32_t>(parsed);
        } else {
            options.every = static_cast<int32_t>(parsed);
        }
    }
    return HeadlessCommand::Run;
}

int RunHeadless(const HeadlessOptions& options) {
    std::FILE* csv = nullptr;
    const bool csvOnStdout = options.csvPath != nullptr && std::strcmp(options.csvPath, "-") == 0;
    if (csvOnStdout) {
        csv = stdout;
    } else if (options.csvPath != nullptr) {
        csv = std::fopen(options.csvPath, "w");
        if (csv == nullptr) {
            std::fprintf(stderr, "%s: cannot open '%s' for writing: %s\n", kProgram,
                         options.csvPath, std::strerror(errno));
            return kExitFailure;
        }
    }

    InterruptGuard interrupts;
    // Megabytes: on the heap.
    auto simulation = std::make_unique<Simulation>(options.seed, options.rulesPath);
    simulation->expertSystem.engine.SetEcho(options.verbose);
    if (options.prepare != nullptr) {
        options.prepare(*simulation);
    }

    if (csv != nullptr) {
        std::fputs(kHeadlessCsvHeader, csv);
        std::fputc('\n', csv);
    }
    Reporter reporter(options, csv);
    bool ok = true;
    if (options.steps >= 0) {
        RunFast(*simulation, reporter, options.steps);
    } else {
        ok = RunLive(*simulation, reporter, options.rate);
    }
    {
        std::lock_guard<std::mutex> guard(simulation->stateMutex);
        reporter.Finish(*simulation);
    }

    if (csv != nullptr) {
        const bool written = std::fflush(csv) == 0 && std::ferror(csv) == 0;
        const int writeError = errno;
        if (!csvOnStdout && std::fclose(csv) != 0) {
            ok = false;
        }
        if (!written) {
            std::fprintf(stderr, "%s: error writing '%s': %s\n", kProgram, options.csvPath,
                         std::strerror(writeError));
            ok = false;
        }
    }
    return ok ? kExitOk : kExitFailure;
}

int RunHeadless(int argc, char** argv) {
    HeadlessOptions options;
    char error[512];
    switch (ParseHeadlessOptions(argc, argv, options, error, sizeof error)) {
        case HeadlessCommand::Help:
            std::fputs(kHelp, stdout);
            return kExitOk;
        case HeadlessCommand::Version:
            std::printf("%s %s\n", kProgram, MARROWICK_VERSION);
            return kExitOk;
        case HeadlessCommand::Error:
            std::fprintf(stderr, "%s\n%sTry 'marrowick --headless --help' for more information.\n",
                         error, kUsage);
            return kExitUsage;
        case HeadlessCommand::Run:
            break;
    }
    return RunHeadless(options);
}
