#include "shell/window/X11Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>

namespace {

// Collects the error of one request instead of letting Xlib end the process.
int failedRequests = 0;
int CountError(Display*, XErrorEvent*) {
    ++failedRequests;
    return 0;
}

// The foreign window being watched (0: none), and what the error handler has
// seen. The handler runs inside Xlib calls on the interface thread; it may not
// make requests itself, so it only counts.
std::atomic<uint64_t> watchedWindow{0};
std::atomic<int> errorsSeen{0};
std::atomic<int> lastErrorCode{0};
std::atomic<bool> windowLost{false};
XErrorHandler replacedHandler = nullptr;

int NoteError(Display*, XErrorEvent* event) {
    lastErrorCode.store(event->error_code);
    errorsSeen.fetch_add(1);
    return 0;
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
    windowLost.store(false);
    replacedHandler = XSetErrorHandler(NoteError);
    // A connection of our own tells when the window is destroyed, even while
    // nothing is drawn (no error would come then).
    Display* display = XOpenDisplay(nullptr);
    watcher = display;
    if (display != nullptr) {
        XSelectInput(display, static_cast<Window>(window), StructureNotifyMask);
        XSync(display, False);
    }
}

ForeignWindowGuard::~ForeignWindowGuard() {
    // Requests still on their way (the window's and the GL context's
    // teardown) are answered now, while errors are still only noted: SDL
    // restores Xlib's fatal handler before it closes its connection.
    if (sdlDisplay != nullptr) XSync(static_cast<Display*>(sdlDisplay), False);
    if (watcher != nullptr) XCloseDisplay(static_cast<Display*>(watcher));
    XSetErrorHandler(replacedHandler);
    replacedHandler = nullptr;
    watchedWindow.store(0);
    activeGuard = nullptr;
}

void ForeignWindowGuard::Attach(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (window != nullptr && SDL_GetWindowWMInfo(window, &info) &&
        info.subsystem == SDL_SYSWM_X11) {
        sdlDisplay = info.info.x11.display;
    }
}

bool ForeignWindowGuard::Lost() {
    const uint64_t id = watchedWindow.load();
    if (id == 0) return false;
    if (windowLost.load()) return true;
    if (watcher != nullptr) {
        Display* display = static_cast<Display*>(watcher);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == DestroyNotify && event.xdestroywindow.window == static_cast<Window>(id)) {
                windowLost.store(true);
            }
        }
    }
    if (!windowLost.load() && errorsSeen.exchange(0) > 0) {
        if (!X11WindowExists(id)) {
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
