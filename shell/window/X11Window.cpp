#include "shell/window/X11Window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

namespace {

// Collects the error of one request instead of letting Xlib end the process.
int failedRequests = 0;
int CountError(Display*, XErrorEvent*) {
    ++failedRequests;
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

bool WatchForeignWindow(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
    XSelectInput(info.info.x11.display, info.info.x11.window, StructureNotifyMask | ExposureMask);
    XFlush(info.info.x11.display);
    return true;
}
