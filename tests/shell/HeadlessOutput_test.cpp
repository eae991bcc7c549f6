// How a headless run ends when its output or its user stops it: stop
// signals, closed pipes, full disks and write errors. Whatever happens, the
// CSV holds the header and whole rows only, the exit status tells a complete
// run from a cut one, and standard error says what happened.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "policy/RuleBaseFile.h"
#include "shell/headless/Headless.h"
#include "simulation/Simulation.h"
#include "tests/TempFolder.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Points a descriptor (1 or 2) at a file or a pipe for the life of the
// object, then puts it back.
class Redirect {
public:
    Redirect(int fd, int target) : fd(fd) {
        std::fflush(stdout);
        std::fflush(stderr);
        saved = dup(fd);
        dup2(target, fd);
    }
    ~Redirect() {
        std::fflush(stdout);
        std::fflush(stderr);
        dup2(saved, fd);
        close(saved);
        std::clearerr(stdout);  // what failed on the redirected output is over
        std::clearerr(stderr);
    }
    Redirect(const Redirect&) = delete;
    Redirect& operator=(const Redirect&) = delete;

private:
    int fd;
    int saved;
};

// Every line of a CSV: the header, then rows of 17 fields with rising
// steps; the text ends with a line break (no partial row).
void ExpectWholeRows(const std::string& csv, const char* what) {
    ASSERT_FALSE(csv.empty()) << what;
    EXPECT_EQ(csv.back(), '\n') << what << ": the last row is cut";
    std::stringstream in(csv);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, kHeadlessCsvHeader) << what;
    long previous = 0;
    while (std::getline(in, line)) {
        size_t commas = 0;
        bool quoted = false;
        for (char c : line) {
            if (c == '"') quoted = !quoted;
            if (c == ',' && !quoted) ++commas;
        }
        EXPECT_EQ(commas, 16u) << what << ": " << line;
        const long step = std::strtol(line.c_str(), nullptr, 10);
        EXPECT_EQ(step, previous + 1) << what << ": " << line;
        previous = step;
    }
}

long LastStep(const std::string& csv) {
    const size_t end = csv.find_last_of('\n', csv.size() - 2);
    return std::strtol(csv.c_str() + (end == std::string::npos ? 0 : end + 1), nullptr, 10);
}

// A fixed run that only a signal ends: the signal comes from a timer armed
// once the run's handlers are in place (the prepare hook runs after them).
int timerSignal = 0;
timer_t timer{};
void ArmTimer(Simulation&) {
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = timerSignal;
    ASSERT_EQ(timer_create(CLOCK_MONOTONIC, &event, &timer), 0);
    itimerspec when{};
    when.it_value.tv_nsec = 300 * 1000 * 1000;
    ASSERT_EQ(timer_settime(timer, 0, &when, nullptr), 0);
}

class HeadlessOutput : public ::testing::Test {
protected:
    HeadlessOptions Options(int64_t steps) {
        HeadlessOptions options;
        options.steps = steps;
        return options;
    }
    // Runs with standard error captured; returns the exit status.
    int Run(const HeadlessOptions& options, std::string& errorText) {
        const std::string path = folder.File("stderr.txt");
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        int status = 0;
        {
            Redirect redirect(STDERR_FILENO, fd);
            status = RunHeadless(options);
        }
        close(fd);
        errorText = ReadFile(path);
        return status;
    }

    TempFolder folder;
    std::string rules = folder.File("Rules.clp");
};

TEST_F(HeadlessOutput, AFixedRunStoppedBySignalSaysWhereAndExitsWith128PlusTheSignal) {
    for (int signalNumber : {SIGHUP, SIGTERM, SIGINT, SIGPIPE}) {
        const std::string csv = folder.File("stopped.csv");
        HeadlessOptions options = Options(2000000000);
        options.csvPath = csv.c_str();
        timerSignal = signalNumber;
        options.prepare = ArmTimer;
        std::string errorText;
        const int status = Run(options, errorText);
        timer_delete(timer);
        const char* name = strsignal(signalNumber);
        EXPECT_EQ(status, 128 + signalNumber) << name;

        const std::string text = ReadFile(csv);
        ExpectWholeRows(text, name);
        const long last = LastStep(text);
        EXPECT_GT(last, 0) << name;
        // It names the signal and the last step, which is the CSV's last row.
        const std::string expected = "stopped by SIG";
        EXPECT_NE(errorText.find(expected), std::string::npos) << errorText;
        EXPECT_NE(errorText.find("after " + std::to_string(last) + " of 2000000000 steps"),
                  std::string::npos)
            << errorText;
    }
}

TEST_F(HeadlessOutput, ACsvThatCannotBeWrittenStopsTheRunAtOnce) {
    // /dev/full refuses the very first write: the run never starts.
    HeadlessOptions options = Options(2000000000);
    options.csvPath = "/dev/full";
    std::string errorText;
    EXPECT_EQ(Run(options, errorText), 1);
    EXPECT_NE(errorText.find("error writing '/dev/full': No space left on device; stopped after 0 "
                             "of 2000000000 steps"),
              std::string::npos)
        << errorText;
}

TEST_F(HeadlessOutput, ADiskThatFillsUpLeavesWholeRowsAndStopsThere) {
    // A file size limit stands in for a full disk: the write that crosses
    // it is cut short, as on a full disk.
    constexpr rlim_t kLimit = 150000;  // bytes: a few thousand rows
    const std::string csv = folder.File("full.csv");
    HeadlessOptions options = Options(2000000000);
    options.csvPath = csv.c_str();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previousSignal {};
    sigaction(SIGXFSZ, &ignore, &previousSignal);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit limited = previous;
    limited.rlim_cur = kLimit;
    setrlimit(RLIMIT_FSIZE, &limited);
    std::string errorText;
    const int status = Run(options, errorText);
    setrlimit(RLIMIT_FSIZE, &previous);
    sigaction(SIGXFSZ, &previousSignal, nullptr);

    EXPECT_EQ(status, 1);
    const std::string text = ReadFile(csv);
    EXPECT_LE(text.size(), kLimit);
    ExpectWholeRows(text, "full disk");
    EXPECT_NE(errorText.find("error writing '" + csv + "': File too large; stopped after"),
              std::string::npos)
        << errorText;
}

TEST_F(HeadlessOutput, StatisticsThatCannotBeWrittenGiveStatusOne) {
    HeadlessOptions options = Options(5);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    std::string errorText;
    int status = 0;
    {
        Redirect toFull(STDOUT_FILENO, full);
        status = Run(options, errorText);
    }
    close(full);
    EXPECT_EQ(status, 1);
    EXPECT_NE(errorText.find("error writing standard output: No space left on device"),
              std::string::npos)
        << errorText;
}

// The reader of standard output has gone (its end of the pipe is closed).
class ClosedPipe {
public:
    ClosedPipe() {
        int ends[2];
        if (pipe(ends) == 0) {
            close(ends[0]);
            writeEnd = ends[1];
        }
    }
    ~ClosedPipe() {
        if (writeEnd >= 0) close(writeEnd);
    }
    int writeEnd = -1;
};

TEST_F(HeadlessOutput, AReaderThatQuitsStopsACsvOnStandardOutputLikeASignal) {
    HeadlessOptions options = Options(2000000000);
    options.csvPath = "-";
    ClosedPipe reader;
    ASSERT_GE(reader.writeEnd, 0);
    std::string errorText;
    int status = 0;
    {
        Redirect toPipe(STDOUT_FILENO, reader.writeEnd);
        status = Run(options, errorText);
    }
    EXPECT_EQ(status, 128 + SIGPIPE);
    EXPECT_NE(errorText.find("stopped by SIGPIPE after 0 of 2000000000 steps"), std::string::npos)
        << errorText;
}

TEST_F(HeadlessOutput, AReaderThatQuitsBeforeTheStatisticsLeavesACompleteCsv) {
    // marrowick --headless --steps 300 --csv run.csv | true
    const std::string csv = folder.File("run.csv");
    HeadlessOptions options = Options(300);
    options.csvPath = csv.c_str();
    ClosedPipe reader;
    std::string errorText;
    int status = 0;
    {
        Redirect toPipe(STDOUT_FILENO, reader.writeEnd);
        status = Run(options, errorText);
    }
    EXPECT_EQ(status, 0);  // every step ran and the CSV is complete
    const std::string text = ReadFile(csv);
    ExpectWholeRows(text, "closed pipe");
    EXPECT_EQ(LastStep(text), 300);
    EXPECT_NE(errorText.find("standard output was closed; the final statistics were not written"),
              std::string::npos)
        << errorText;
}

TEST_F(HeadlessOutput, WithTheCsvOnStandardOutputTheEnginePrintoutsGoToStandardError) {
    // The built-in rule base plus a rule that prints at every pass.
    ProvideRuleBase(rules.c_str());
    {
        std::ofstream extra(rules, std::ios::app | std::ios::binary);
        extra << "\r\n(defrule say-hello (initial-fact) => (printout t \"engine says hello\" crlf))\r\n";
    }
    HeadlessOptions options = Options(200);  // the first pass is at step 156
    options.run.rulesPath = rules;
    options.csvPath = "-";
    options.run.verbose = true;
    const std::string out = folder.File("stdout.txt");
    const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    std::string errorText;
    int status = 0;
    {
        Redirect toFile(STDOUT_FILENO, fd);
        status = Run(options, errorText);
    }
    close(fd);
    EXPECT_EQ(status, 0);
    const std::string csv = ReadFile(out);
    ExpectWholeRows(csv, "CSV on standard output");
    EXPECT_EQ(csv.find("hello"), std::string::npos);
    EXPECT_NE(errorText.find("engine says hello"), std::string::npos) << errorText;
}

}  // namespace
