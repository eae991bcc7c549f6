#include "shell/window/X11Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <unistd.h>

#include <atomic>
#include <cstdio>

namespace {

// Collects the error of one request instead of letting Xlib end the process.
int failedRequests = 0;
int CountError(Display*, XErrorEvent*) {
    ++failedRequests;
    return 0;
}

// The foreign window being watched (0: none), our own connection to the
// server, and what the error handler has seen. The handler runs inside Xlib
// calls on the interface thread.
std::atomic<uint64_t> watchedWindow{0};
Display* watcher = nullptr;
int watcherFailures = 0;
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

int NoteError(Display* display, XErrorEvent* event) {
    if (display == watcher) {
        ++watcherFailures;  // our own question about the window
        return 0;
    }
    lastErrorCode.store(event->error_code);
    if (started.load()) {
        // Drawing: the loop asks whether the window is still there and stops.
        errorsSeen.fetch_add(1);
        return 0;
    }
    // Starting: SDL would go on with whatever the failed request did not fill
    // in (and crash). If the window has gone, the error follows from that
    // (about the window, or about what was made for it, such as the GL
    // driver's graphics context); nothing has been drawn yet and nothing is
    // lost: end here, as a SIGTERM would.
    if (!WatchedWindowExists()) {
        std::fprintf(stderr, "marrowick: X window 0x%llx was destroyed; stopping\n",
                     static_cast<unsigned long long>(watchedWindow.load()));
        std::fflush(stderr);
        _exit(0);
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
}  // namespace

ForeignWindowGuard::ForeignWindowGuard(uint64_t window) {
    activeGuard = this;
    watchedWindow.store(window);
    errorsSeen.store(0);
    started.store(false);
    windowLost.store(false);
    // A connection of our own tells when the window is destroyed, even while
    // nothing is drawn (no error would come then).
    watcher = XOpenDisplay(nullptr);
    replacedHandler = XSetErrorHandler(NoteError);
    if (watcher != nullptr) {
        XSelectInput(watcher, static_cast<Window>(window), StructureNotifyMask);
        XSync(watcher, False);
    }
}

ForeignWindowGuard::~ForeignWindowGuard() {
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
    if (watcher != nullptr) {
        while (XPending(watcher) > 0) {
            XEvent event;
            XNextEvent(watcher, &event);
            if (event.type == DestroyNotify &&
                event.xdestroywindow.window == static_cast<Window>(id)) {
                windowLost.store(true);
            }
        }
    }
    if (!windowLost.load() && errorsSeen.exchange(0) > 0) {
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
