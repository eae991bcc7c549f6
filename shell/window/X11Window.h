#pragma once
// The few X11 calls SDL does not make for us. Kept apart so that Xlib's
// macros (None, Bool, Status, ...) stay out of every other file.
#include <cstdint>
#include <string>
#include <thread>

struct SDL_Window;

// The root window of the default display (xscreensaver's --root without a
// window named in the environment). False when no display can be opened.
bool FindRootWindow(uint64_t& id);

// SDL selects no events on a window it did not create, so it would never
// learn that xscreensaver resized it. Selecting structure events for our own
// connection (every X client has its own event mask on a window, so the
// owner's is untouched) lets SDL track the size as for its own windows.
// False when the window is no X11 window.
bool WatchForeignWindow(SDL_Window* window);

// Whether the X window exists on the default display (asked before SDL
// touches it, since X reports a missing window as a fatal protocol error).
bool X11WindowExists(uint64_t id);

// The same with the reason when it does not: no display, or no such window.
bool CheckX11Window(uint64_t id, std::string& problem);

// A window someone else made (xscreensaver's, a preview's) may be destroyed
// under us at any moment, and Xlib's default answer to the errors that follow
// is to end the process with status 1. A guard ends it with status 0 and
// "X window 0x... was destroyed; stopping" instead, at once:
//  - a sentinel thread on a connection of its own sees the window's
//    DestroyNotify, whatever the interface thread is doing (the GL driver
//    may be busy with the vanished window, on answers that reported no
//    error);
//  - an error while the window is gone (asked of the server) ends it before
//    the failed request returns, since whoever made it (SDL, the GL driver)
//    would go on with what it did not fill in.
// Other errors are fatal while the program starts (until Started()), as
// without the guard; from then on they are noted, and Lost() says the first
// one once and tells whether the window has gone since.
//
// Create it before SDL_Init and destroy it after SDL_Quit. SDL puts a handler
// of its own in front and passes every error on to the one that was there
// before (ours), and puts ours back when it quits: so errors on every
// connection SDL has (its wake-up messages go through a second one, which is
// only read when it is closed, at SDL_Quit) reach the guard, to the end.
class ForeignWindowGuard {
public:
    explicit ForeignWindowGuard(uint64_t window);
    ~ForeignWindowGuard();
    ForeignWindowGuard(const ForeignWindowGuard&) = delete;
    ForeignWindowGuard& operator=(const ForeignWindowGuard&) = delete;

    // The view is created and draws: errors are noted from now on.
    void Started();
    // Interface thread only.
    bool Lost();

private:
    bool errorReported = false;
    int wakeFds[2] = {-1, -1};  // wakes the sentinel when the guard goes
    std::thread sentinel;
};

// True once the living guard's window is gone (there is at most one guard at
// a time); false without a guard.
bool ForeignWindowLost();
