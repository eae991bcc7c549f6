#pragma once
// The colony in a terminal (marrowick --terminal): the world from above in
// coloured half blocks, the statistics beside or below it, a line of keys.
//
// The simulation runs on the same simulation thread, with the same pacing
// and the same colony restarts, as in the window. The view's own thread
// waits for keys, signals and finished steps, and draws a frame (at most
// kMaxFramesPerSecond) by sending only the cells that changed since the last
// one.
#include <cstdint>

struct CommandLine;

// Frames never come faster than this, whatever the pace: the eye gains
// nothing more and a remote terminal would pay for every one.
constexpr int32_t kMaxFramesPerSecond = 20;

// Runs the view until q, Esc, Ctrl+C, SIGTERM or SIGHUP; the terminal is
// restored on every way out. The colony starts as every mode's does
// (shell/StartUp.h). 0 on success, 1 when the view cannot start (with a
// message on standard error), 2 for a refused command line.
int RunTerminal(const CommandLine& line);
