#include "shell/StopSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "policy/EngineProcess.h"

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr int kHandledCount = sizeof kStopSignals / sizeof kStopSignals[0];
// The exit status of a program ended by a signal it was asked to end by.
constexpr int kEndedAtOnceStatus = 0;

std::atomic<int> received{0};
std::atomic<int> wakeFd{-1};
std::atomic<bool> endAtOnce{false};
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free flags");
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free flags");

struct sigaction previous[kHandledCount];

void OnStop(int signalNumber) {
    const int savedErrno = errno;
    int none = 0;
    received.compare_exchange_strong(none, signalNumber);
    EngineProcess::AbandonWaits();
    // Nothing is left half-written by ending here: the settings file is
    // flushed record by record, files are written aside and renamed into
    // place, and a box's own process dies with us.
    if (endAtOnce.load()) _exit(kEndedAtOnceStatus);
    StopSignals::Wake();
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(BrokenPipe brokenPipe, bool restartCalls) {
    received.store(0);
    endAtOnce.store(false);
    EngineProcess::ResumeWaits();
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        readFd = fds[0];
        writeFd = fds[1];
        wakeFd.store(writeFd);
    }
    for (int i = 0; i < kHandledCount; ++i) {
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        const bool pipe = kStopSignals[i] == SIGPIPE;
        if (pipe && brokenPipe == BrokenPipe::Ignore) {
            action.sa_handler = SIG_IGN;
        } else {
            action.sa_handler = OnStop;
            // A second SIGPIPE is recorded again (the final statistics may
            // still hit the closed pipe); a second stop signal ends us.
            action.sa_flags = (pipe ? 0 : SA_RESETHAND) | (restartCalls ? SA_RESTART : 0);
        }
        sigaction(kStopSignals[i], &action, &previous[i]);
    }
}

StopSignals::~StopSignals() {
    for (int i = 0; i < kHandledCount; ++i) sigaction(kStopSignals[i], &previous[i], nullptr);
    EngineProcess::ResumeWaits();  // the run's engine is gone by now
    endAtOnce.store(false);
    wakeFd.store(-1);
    if (readFd >= 0) {
        close(readFd);
        close(writeFd);
    }
}

void StopSignals::Drain() {
    char bytes[64];
    while (readFd >= 0 && read(readFd, bytes, sizeof bytes) > 0) {
    }
}

void StopSignals::Wake() {
    const int fd = wakeFd.load();
    if (fd < 0) return;
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t ignored = write(fd, &byte, 1);
}

int StopSignals::Received() { return received.load(); }

void StopSignals::Note(int signalNumber) {
    int none = 0;
    received.compare_exchange_strong(none, signalNumber);
    Wake();
}

void StopSignals::SetEndAtOnce(bool on) { endAtOnce.store(on); }

const char* StopSignalName(int signalNumber) {
    switch (signalNumber) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
        case SIGHUP: return "SIGHUP";
        case SIGPIPE: return "SIGPIPE";
        default: return "a signal";
    }
}

void EndBySignal(int signalNumber) {
    std::fflush(nullptr);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);  // a signal that does not end a process by default
}
