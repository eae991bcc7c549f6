#include "shell/window/Signals.h"

#include <signal.h>

#include <atomic>
#include <cstring>

#include "policy/EngineProcess.h"

namespace {

std::atomic<bool> terminationRequested{false};
std::atomic<bool> screenshotRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free flags");

// A rule engine pass under way is abandoned too, so the step ends at once.
void OnTerminate(int) {
    terminationRequested.store(true);
    EngineProcess::AbandonWaits();
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

bool TerminationRequested() { return terminationRequested.load(); }

bool TakeScreenshotRequest() { return screenshotRequested.exchange(false); }
