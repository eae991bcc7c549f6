#include "shell/window/Signals.h"

#include <atomic>

namespace {

std::atomic<bool> screenshotRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "signal handlers need lock-free flags");

void OnScreenshot(int) { screenshotRequested.store(true); }

}  // namespace

WindowSignals::WindowSignals() {
    struct sigaction action {};
    action.sa_handler = OnScreenshot;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGUSR1, &action, &previousScreenshot);
}

WindowSignals::~WindowSignals() { sigaction(SIGUSR1, &previousScreenshot, nullptr); }

bool TakeScreenshotRequest() { return screenshotRequested.exchange(false); }
