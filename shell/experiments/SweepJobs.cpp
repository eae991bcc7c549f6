#include "shell/experiments/SweepJobs.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "shell/experiments/RunProcesses.h"
#include "shell/experiments/Sweep.h"
#include "shell/experiments/SweepWorker.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often the sweep wakes without news, to redraw the time left.
constexpr int kWaitMs = 250;
// Processes get this long to end after SIGTERM before SIGKILL.
constexpr auto kTermGrace = std::chrono::seconds(2);
constexpr size_t kErrorExcerpt = 300;  // characters of a failed run's message
// A worker that ends before answering this many times in a row cannot run.
constexpr int kMaxStartFailures = 3;

// Blocks the signals the sweep waits for (and SIGPIPE, which a worker that
// went away would raise), reads them from a descriptor, and unblocks them at
// the end.
class BlockedSignals {
public:
    BlockedSignals() {
        sigemptyset(&set);
        for (int signal : {SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &previous);
        fd = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    }
    ~BlockedSignals() {
        if (fd >= 0) close(fd);
        // A stop request that came with the last run is consumed, not left
        // to kill us on the way out.
        timespec none{0, 0};
        while (sigtimedwait(&set, nullptr, &none) > 0) {
        }
        sigprocmask(SIG_SETMASK, &previous, nullptr);
    }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

    // The next stop signal received, or 0 (SIGCHLD and SIGPIPE only wake).
    int TakeStop() {
        signalfd_siginfo info{};
        int stop = 0;
        while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            const int signal = static_cast<int>(info.ssi_signo);
            if (stop == 0 && (signal == SIGINT || signal == SIGTERM || signal == SIGHUP)) {
                stop = signal;
            }
        }
        return stop;
    }

    sigset_t set;
    int fd = -1;

private:
    sigset_t previous;
};

// Up to limit characters of what a job's file holds, then empties it for the
// next run.
std::string TakeText(std::FILE* file, size_t limit) {
    std::string text(limit, '\0');
    std::rewind(file);
    text.resize(std::fread(&text[0], 1, text.size(), file));
    if (ftruncate(fileno(file), 0) != 0) {
        // The next run's text lands after this one's; only the excerpt suffers.
    }
    std::rewind(file);
    return text;
}

std::string FirstLines(std::FILE* file) {
    std::string text = TakeText(file, kErrorExcerpt);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    for (char& c : text) {
        if (c == '\n') c = ' ';
    }
    return text;
}

// The row a run printed (its header first), newline included; empty when
// there is none.
std::string PrintedRow(std::FILE* file) {
    constexpr size_t kOutputLimit = 64 * 1024;  // a header and a row are far shorter
    std::string text = TakeText(file, kOutputLimit);
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const size_t start = text.rfind('\n');
    return start == std::string::npos ? std::string() : text.substr(start + 1) + "\n";
}

void CloseDescriptor(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

bool SweepJobs::Prepare(const JobSetup& given, std::string& error) {
    setup = given;
    jobs.clear();
    jobs.resize(static_cast<size_t>(setup.jobs));
    for (Job& job : jobs) {
        job.errors.reset(std::tmpfile());
        const bool rowsBack = setup.out == nullptr && !setup.workers;
        if (rowsBack) job.rows.reset(std::tmpfile());
        if (!job.errors || (rowsBack && !job.rows)) {
            error = std::string("cannot make a temporary file: ") + std::strerror(errno);
            return false;
        }
    }
    return true;
}

bool SweepJobs::StartWorker(Job& job, std::string& error) {
    int requests[2];
    int answers[2];
    if (pipe2(requests, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(answers, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        close(requests[0]);
        close(requests[1]);
        return false;
    }
    const bool started = SpawnProcess({setup.program, "--sweep-worker"}, requests[0], answers[1],
                                      fileno(job.errors.get()), setup.environment, job.pid, error);
    close(requests[0]);
    close(answers[1]);
    if (!started) {
        close(requests[1]);
        close(answers[0]);
        job.pid = -1;
        return false;
    }
    job.requests = requests[1];
    job.answers = answers[0];
    fcntl(job.answers, F_SETFL, O_NONBLOCK);
    job.answer.clear();
    job.answered = false;
    return true;
}

void SweepJobs::CloseWorker(Job& job) {
    CloseDescriptor(job.requests);
    CloseDescriptor(job.answers);
}

bool SweepJobs::Start(Job& job, const std::vector<RunKey>& runs, size_t run, std::string& error) {
    const std::vector<std::string> words =
        RunCommand(setup.program, runs[run], setup.out, setup.seriesFolder);
    job.run = run;
    if (!setup.workers) {
        const int rowsFd = job.rows ? fileno(job.rows.get()) : -1;
        if (!SpawnProcess(words, -1, rowsFd, fileno(job.errors.get()), setup.environment, job.pid,
                          error)) {
            job.pid = -1;
            return false;
        }
        job.busy = true;
        return true;
    }
    // One request at a time: it fits the pipe, so the write never waits.
    const std::string request = WorkerRequest(words);
    for (;;) {
        if (job.pid < 0 && !StartWorker(job, error)) return false;
        if (write(job.requests, request.data(), request.size()) ==
            static_cast<ssize_t>(request.size())) {
            job.busy = true;
            return true;
        }
        // The worker went between two runs: another takes the run.
        kill(-job.pid, SIGKILL);
        waitpid(job.pid, nullptr, 0);
        job.pid = -1;
        CloseWorker(job);
        if (++job.startFailures >= kMaxStartFailures) {
            error = WorkerFailure();
            return false;
        }
    }
}

bool SweepJobs::ReadAnswer(Job& job, RunEnd& end) {
    char block[4096];
    for (;;) {
        const ssize_t n = read(job.answers, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        job.answer.append(block, static_cast<size_t>(n));
    }
    const size_t newline = job.answer.find('\n');
    if (!job.busy || newline == std::string::npos) return false;
    int status = 0;
    std::string row;
    const bool parsed = ParseWorkerAnswer(job.answer.substr(0, newline), status, row);
    job.answer.erase(0, newline + 1);
    job.busy = false;
    job.startFailures = 0;
    end = RunEnd{};
    end.run = job.run;
    end.status = !parsed ? "exit ?" : status == 0 ? kStatusOk : "exit " + std::to_string(status);
    end.row = row;
    job.answered = true;
    if (end.status == kStatusOk && setup.out == nullptr &&
        end.row.rfind((*runs)[job.run].Text() + ",", 0) != 0) {
        end.status = "exit ?";  // it said it finished but gave no row of its own
    }
    end.said = FirstLines(job.errors.get());
    if (end.status == kStatusOk) end.said.clear();
    return true;
}

bool SweepJobs::Ended(Job& job, int waitStatus, RunEnd& end) {
    job.pid = -1;
    if (setup.workers) {
        // An answer it gave before it went still counts.
        const bool answered = job.answers >= 0 && ReadAnswer(job, end);
        CloseWorker(job);
        if (answered) return true;
        if (!job.busy) return false;
        job.startFailures = job.answered ? 0 : job.startFailures + 1;
    }
    job.busy = false;
    end = RunEnd{};
    end.run = job.run;
    end.status = EndStatus(waitStatus);
    // A worker that went without an answer did not finish its run, whatever
    // its status.
    if (setup.workers && end.status == kStatusOk) end.status = "exit ?";
    if (end.status == kStatusOk && job.rows) {
        end.row = PrintedRow(job.rows.get());
        if (end.row.rfind((*runs)[job.run].Text() + ",", 0) != 0) {
            end.status = "exit ?";  // it said it finished but printed no row of its own
        }
    } else if (job.rows) {
        TakeText(job.rows.get(), 0);
    }
    end.said = FirstLines(job.errors.get());
    if (end.status == kStatusOk) end.said.clear();
    return true;
}

std::string SweepJobs::WorkerFailure() const {
    return "the sweep's worker (" + setup.program + " --sweep-worker) ended before its first run, " +
           std::to_string(kMaxStartFailures) + " times";
}

void SweepJobs::EndAll(int signal) {
    for (const Job& job : jobs) {
        if (job.pid > 0) kill(-job.pid, signal);  // its whole group: engines, wrappers and all
    }
}

int SweepJobs::Run(const std::vector<RunKey>& allRuns, const std::vector<size_t>& pending,
                   const std::function<void(const RunEnd&)>& ended,
                   const std::function<void()>& tick, bool& cannotStart, std::string& error) {
    runs = &allRuns;
    cannotStart = false;
    size_t next = 0;
    int stopSignal = 0;
    bool inputsClosed = false;
    Clock::time_point killAt{};
    BlockedSignals signals;
    for (;;) {
        for (Job& job : jobs) {
            if (job.busy || stopSignal != 0 || cannotStart || next == pending.size()) continue;
            if (!Start(job, allRuns, pending[next], error)) {
                cannotStart = true;
                continue;
            }
            ++next;
        }
        bool busy = false;
        bool alive = false;
        for (const Job& job : jobs) {
            busy = busy || job.busy;
            alive = alive || job.pid > 0;
        }
        // Every run handed out has ended: the workers end at the end of
        // their input.
        const bool more = next < pending.size() && stopSignal == 0 && !cannotStart;
        if (!more && !busy && !inputsClosed) {
            for (Job& job : jobs) CloseDescriptor(job.requests);
            inputsClosed = true;
        }
        if (!alive) break;

        std::vector<pollfd> waits{{signals.fd, POLLIN, 0}};
        for (const Job& job : jobs) {
            if (job.answers >= 0) waits.push_back({job.answers, POLLIN, 0});
        }
        poll(waits.data(), waits.size(), kWaitMs);
        const int stop = signals.TakeStop();
        if (stop != 0 && stopSignal == 0) {
            stopSignal = stop;
            EndAll(SIGTERM);
            killAt = Clock::now() + kTermGrace;
        }
        if (stopSignal != 0 && Clock::now() >= killAt) EndAll(SIGKILL);

        // A run ended by our stop is not a failed run: it has no row and
        // runs again next time.
        RunEnd end;
        for (Job& job : jobs) {
            if (job.answers >= 0 && ReadAnswer(job, end) && stopSignal == 0) ended(end);
        }
        for (;;) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, WNOHANG);
            if (pid <= 0) break;
            for (Job& job : jobs) {
                if (job.pid != pid) continue;
                if (Ended(job, status, end) && stopSignal == 0) ended(end);
                if (job.startFailures >= kMaxStartFailures && !cannotStart) {
                    error = WorkerFailure();
                    cannotStart = true;
                }
                break;
            }
        }
        tick();
    }
    for (Job& job : jobs) CloseWorker(job);
    return stopSignal;
}
