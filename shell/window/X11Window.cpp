#include "shell/window/X11Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>

namespace {

// Collects the error of one request instead of letting Xlib end the process.
int failedRequests = 0;
int CountError(Display*, XErrorEvent*) {
    ++failedRequests;
    return 0;
}

// The foreign window being watched (0: none), our own connection to the
// server for questions about it, and what the error handler has seen. The
// handler runs inside Xlib calls on the thread that made the request: the
// interface thread, or the sentinel on its own connection.
std::atomic<uint64_t> watchedWindow{0};
Display* watcher = nullptr;  // interface thread only
int watcherFailures = 0;
std::atomic<Display*> sentinelDisplay{nullptr};
std::atomic<bool> sentinelRefused{false};
std::atomic<bool> started{false};
std::atomic<int> errorsSeen{0};
std::atomic<int> lastErrorCode{0};
std::atomic<bool> windowLost{false};
XErrorHandler replacedHandler = nullptr;

// Asked on our own connection: a handler may make requests on any display but
// the one whose error it handles.
bool WatchedWindowExists() {
    if (watcher == nullptr) return true;
    watcherFailures = 0;
    XWindowAttributes attributes;
    const Status status =
        XGetWindowAttributes(watcher, static_cast<Window>(watchedWindow.load()), &attributes);
    XSync(watcher, False);
    return status != 0 && watcherFailures == 0;
}

[[noreturn]] void EndForLostWindow() {
    std::fprintf(stderr, "marrowick: X window 0x%llx was destroyed; stopping\n",
                 static_cast<unsigned long long>(watchedWindow.load()));
    std::fflush(stderr);
    _exit(0);
}

int NoteError(Display* display, XErrorEvent* event) {
    if (display == sentinelDisplay.load()) {
        sentinelRefused.store(true);  // its request about the window failed
        return 0;
    }
    if (display == watcher) {
        ++watcherFailures;  // our own question about the window
        return 0;
    }
    lastErrorCode.store(event->error_code);
    // If the window has gone, the error follows from that (about the window,
    // or about what was made for it, such as the GL driver's graphics
    // context), and whoever made the request would go on with what it did
    // not fill in: SDL while starting, the GL driver while drawing (see the
    // sentinel below for what the driver does then). So end here, as a
    // SIGTERM would, before the request returns: the handler runs on the
    // interface thread inside an Xlib call, so no file of ours is half
    // written, and nothing shown in a window that has gone is lost.
    if (!WatchedWindowExists()) EndForLostWindow();
    if (started.load()) {
        // Drawing, and not about the window: the loop says so once and goes on.
        errorsSeen.fetch_add(1);
        return 0;
    }
    return replacedHandler != nullptr ? replacedHandler(display, event) : 0;
}

}  // namespace

bool FindRootWindow(uint64_t& id) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    id = static_cast<uint64_t>(DefaultRootWindow(display));
    XCloseDisplay(display);
    return id != 0;
}

bool X11WindowExists(uint64_t id) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    failedRequests = 0;
    XErrorHandler previous = XSetErrorHandler(CountError);
    XWindowAttributes attributes;
    const Status status = XGetWindowAttributes(display, static_cast<Window>(id), &attributes);
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
    return status != 0 && failedRequests == 0;
}

bool CheckX11Window(uint64_t id, std::string& problem) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* name = XDisplayName(nullptr);
        problem = std::string("cannot open the X display \"") + (name != nullptr ? name : "") + "\"";
        return false;
    }
    XCloseDisplay(display);
    if (!X11WindowExists(id)) {
        char text[64];
        std::snprintf(text, sizeof text, "X window 0x%llx does not exist",
                      static_cast<unsigned long long>(id));
        problem = text;
        return false;
    }
    return true;
}

bool WatchForeignWindow(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    XSelectInput(info.info.x11.display, info.info.x11.window, StructureNotifyMask | ExposureMask);
    XFlush(info.info.x11.display);
    return true;
}

namespace {
ForeignWindowGuard* activeGuard = nullptr;

// The sentinel: waits on a connection of its own for the window's
// DestroyNotify, and ends the process the moment it comes, whatever the
// interface thread is doing. Waiting for the interface thread to notice was
// not safe: the GL driver, still starting or drawing, queries the vanished
// window through a connection of its own that reports no error to anyone,
// and goes on with the garbage answer. Seen here: a buffer sized from it,
// cleared for seconds before the program could stop, and the software
// rasteriser's threads reading past a buffer freed under them (a crash).
// Ending at once loses nothing: a window someone else owns has no dialogs,
// the settings file is only appended to, a whole record per write, and a
// screenshot goes to its name only when complete. Returns when woken
// through wakeFd.
void WatchUntilWoken(Window window, int wakeFd) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return;  // errors while drawing still tell
    sentinelDisplay.store(display);
    XSelectInput(display, window, StructureNotifyMask);
    XSync(display, False);
    // Refused: the window went before it could be watched.
    if (sentinelRefused.load()) EndForLostWindow();
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == DestroyNotify && event.xdestroywindow.window == window) {
                EndForLostWindow();
            }
        }
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents != 0 || (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) break;
    }
    sentinelDisplay.store(nullptr);
    XCloseDisplay(display);
}
}  // namespace

ForeignWindowGuard::ForeignWindowGuard(uint64_t window) {
    activeGuard = this;
    watchedWindow.store(window);
    errorsSeen.store(0);
    started.store(false);
    windowLost.store(false);
    sentinelRefused.store(false);
    watcher = XOpenDisplay(nullptr);
    replacedHandler = XSetErrorHandler(NoteError);
    // Without a pipe to wake it there is no sentinel: errors while drawing
    // still tell that the window is gone.
    if (pipe2(wakeFds, O_CLOEXEC) == 0) {
        sentinel = std::thread(WatchUntilWoken, static_cast<Window>(window), wakeFds[0]);
    } else {
        wakeFds[0] = wakeFds[1] = -1;
    }
}

ForeignWindowGuard::~ForeignWindowGuard() {
    if (sentinel.joinable()) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t ignored = write(wakeFds[1], &byte, 1);
        sentinel.join();
    }
    for (int fd : wakeFds) {
        if (fd >= 0) close(fd);
    }
    XSetErrorHandler(replacedHandler);
    replacedHandler = nullptr;
    if (watcher != nullptr) XCloseDisplay(watcher);
    watcher = nullptr;
    watchedWindow.store(0);
    activeGuard = nullptr;
}

void ForeignWindowGuard::Started() { started.store(true); }

bool ForeignWindowGuard::Lost() {
    const uint64_t id = watchedWindow.load();
    if (id == 0) return false;
    if (windowLost.load()) return true;
    if (errorsSeen.exchange(0) > 0) {
        if (!WatchedWindowExists()) {
            windowLost.store(true);
        } else if (!errorReported) {
            // Not about the window: say it once and carry on.
            errorReported = true;
            std::fprintf(stderr, "marrowick: X error %d ignored\n", lastErrorCode.load());
        }
    }
    return windowLost.load();
}

bool ForeignWindowLost() { return activeGuard != nullptr && activeGuard->Lost(); }
