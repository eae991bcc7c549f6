#pragma once
// The window's signals: the stop signals every front end shares
// (shell/StopSignals.h; while a message box is open they end the process at
// once, with status 0, and take the box with them), and SIGUSR1, which asks
// for a screenshot of the next frame (tests). A handler only touches
// lock-free atomics; the event loop waits for events with a short time-out,
// so a flag is seen within that time.
#include <signal.h>

#include "shell/StopSignals.h"

class WindowSignals {
public:
    WindowSignals();
    ~WindowSignals();
    WindowSignals(const WindowSignals&) = delete;
    WindowSignals& operator=(const WindowSignals&) = delete;

private:
    // Xlib and SDL wait in system calls that do not expect EINTR.
    StopSignals stop{StopSignals::BrokenPipe::Ignore, true};
    struct sigaction previousScreenshot {};
};

inline bool TerminationRequested() { return StopSignals::Requested(); }
// The first of SIGTERM, SIGINT and SIGHUP received; 0 before any.
inline int TerminationSignal() { return StopSignals::Received(); }
// True once per SIGUSR1 received (several before a check count as one).
bool TakeScreenshotRequest();
