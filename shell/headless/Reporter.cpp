#include "shell/headless/Reporter.h"

#include <cstring>

#include <unistd.h>

#include <cerrno>

#include "shell/headless/CsvRow.h"
#include "simulation/Simulation.h"

namespace {

// Terminal refreshes: a display, not a log, so fast runs are not slowed by it.
constexpr auto kRefreshInterval = std::chrono::milliseconds(20);
// The progress bar appears only in runs that last longer than this.
constexpr auto kProgressDelay = std::chrono::milliseconds(500);
constexpr auto kProgressInterval = std::chrono::milliseconds(100);
constexpr int kProgressWidth = 40;
// The terminal block: the overlay's lines 2 to 15 (the render time belongs to
// the window).
constexpr int kFirstBlockLine = 1;
constexpr int kBlockLines = StatisticsLines::kLineCount - kFirstBlockLine;
constexpr size_t kCsvRowCapacity = 1024;  // two quoted 99-character texts at worst fit

}  // namespace

Reporter::Reporter(const HeadlessOptions& options, CsvWriter* csv, bool liveRows)
    : csv(csv),
      liveRows(liveRows),
      observer(options.observer),
      every(options.every),
      lastStep(options.steps) {
    // The CSV or the rule trace may have standard output to itself.
    const bool csvOnStdout =
        (csv != nullptr && csv->OnStandardOutput()) ||
        (options.traceRulesPath != nullptr && std::strcmp(options.traceRulesPath, "-") == 0);
    statsOut = csvOnStdout ? stderr : stdout;
    // Only this run's write errors count (stdio keeps an error flag for good).
    std::clearerr(statsOut);
    statsTerminal = isatty(fileno(statsOut)) != 0;
    // The rule engine's printouts would tear a block drawn in place.
    liveBlock = statsTerminal && !csvOnStdout && !options.run.verbose;
    barTerminal = isatty(fileno(stderr)) != 0;
}

void Reporter::AfterStep(Simulation& simulation) {
    if (observer != nullptr) {
        observer->AfterStep(simulation);
    }
    if (simulation.totalSteps % every != 0 && simulation.totalSteps != lastStep) {
        return;
    }
    if (stopped.load()) {
        return;
    }
    if (csv != nullptr) {
        char row[kCsvRowCapacity];
        const size_t length = FormatCsvRow(simulation, row, sizeof row);
        if (!csv->WriteRow(row, length) || (liveRows && !csv->Flush())) {
            stopped.store(true);
            return;
        }
    }
    if (liveBlock) {
        const auto now = std::chrono::steady_clock::now();
        if (blockOnScreen == 0 || now - lastRefresh >= kRefreshInterval) {
            lastRefresh = now;
            DrawBlock(simulation);
        }
    }
}

void Reporter::Progress(int64_t done, int64_t total, std::chrono::steady_clock::time_point start) {
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

void Reporter::Finish(Simulation& simulation) {
    if (barShown) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        barShown = false;
    }
    DrawBlock(simulation);
    // Below the block, what the run's record needs beyond the overlay: the
    // expert-system passes that did not come to rest, and when their
    // failures switched it off.
    const ExpertSystem& expert = simulation.expertSystem;
    std::fprintf(statsOut, "Expert system passes failed %d  \n", expert.failedPasses);
    if (expert.offStep >= 0) {
        std::fprintf(statsOut, "Expert system off by failures from step %lld  \n",
                     static_cast<long long>(expert.offStep));
    }
    CheckStatisticsOutput();
}

void Reporter::DrawBlock(Simulation& simulation) {
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
    CheckStatisticsOutput();
    blockOnScreen = inPlace ? kBlockLines : 0;
    if (barShown) {
        std::fprintf(stderr, "%s", barText);
        std::fflush(stderr);
    }
}

void Reporter::CheckStatisticsOutput() {
    // stdio keeps an error once it has one; the first errno is the one to tell.
    const bool flushed = std::fflush(statsOut) == 0;
    const int flushError = errno;
    if ((!flushed || std::ferror(statsOut) != 0) && statisticsError == 0) {
        statisticsError = flushed ? EIO : flushError;
        stopped.store(true);
    }
}
