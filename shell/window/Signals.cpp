#include "shell/window/Signals.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "policy/EngineProcess.h"
#include "shell/window/MessageBox.h"

namespace {

std::atomic<int> terminationSignal{0};
std::atomic<bool> screenshotRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free flags");
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free flags");

// The exit status of a program ended by a signal it was asked to end by.
constexpr int kTerminatedStatus = 0;

// A rule engine pass under way is abandoned too, so the step ends at once.
void OnTerminate(int signal) {
    int none = 0;
    terminationSignal.compare_exchange_strong(none, signal);  // the first one counts
    EngineProcess::AbandonWaits();
    // A message box blocks the thread that would see the flag until someone
    // presses OK, and a screen saver that is told to go must go now. Nothing
    // is left half-written (the settings file is flushed record by record,
    // the rule base is written aside and linked into place), and the box's
    // own process dies with us.
    if (MessageBoxOpen()) _exit(kTerminatedStatus);
}

void OnScreenshot(int) { screenshotRequested.store(true); }

void Install(int signal, void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallSignalHandlers() {
    Install(SIGTERM, OnTerminate);
    Install(SIGINT, OnTerminate);
    Install(SIGHUP, OnTerminate);
    Install(SIGUSR1, OnScreenshot);
}

bool TerminationRequested() { return terminationSignal.load() != 0; }

int TerminationSignal() { return terminationSignal.load(); }

void EndBySignal(int signal) {
    std::fflush(nullptr);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    _exit(128 + signal);  // a signal that does not end a process by default
}

bool TakeScreenshotRequest() { return screenshotRequested.exchange(false); }
