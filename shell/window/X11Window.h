#pragma once
// The few X11 calls SDL does not make for us. Kept apart so that Xlib's
// macros (None, Bool, Status, ...) stay out of every other file.
#include <cstdint>
#include <string>

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
// is to end the process with status 1. While a guard lives, X errors are
// noted instead of fatal, and Lost() tells (from a DestroyNotify seen on a
// connection of the guard's own, or after an error, by asking the server)
// when the window is gone, so the program can stop cleanly.
//
// Create it after SDL_Init (SDL installs its own handler there) and destroy
// it before SDL_Quit, after everything that drew into the window is gone.
class ForeignWindowGuard {
public:
    explicit ForeignWindowGuard(uint64_t window);
    ~ForeignWindowGuard();
    ForeignWindowGuard(const ForeignWindowGuard&) = delete;
    ForeignWindowGuard& operator=(const ForeignWindowGuard&) = delete;

    // The SDL window drawing into it: its connection is synchronised before
    // the guard goes, so no late error reaches Xlib's fatal handler.
    void Attach(SDL_Window* window);
    // Interface thread only.
    bool Lost();

private:
    void* watcher = nullptr;     // our own Display*
    void* sdlDisplay = nullptr;  // SDL's Display*
    bool errorReported = false;
};

// True once the living guard's window is gone (there is at most one guard at
// a time); false without a guard.
bool ForeignWindowLost();
