#pragma once
// The few X11 calls SDL does not make for us. Kept apart so that Xlib's
// macros (None, Bool, Status, ...) stay out of every other file.
#include <cstdint>

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
