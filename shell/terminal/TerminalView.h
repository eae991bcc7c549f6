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

#include "shell/terminal/TerminalColour.h"
#include "shell/terminal/TerminalLayout.h"

struct CommandLine;
struct StatisticsLines;
struct WorldPicture;
class TermFrame;

// Frames never come faster than this, whatever the pace: the eye gains
// nothing more and a remote terminal would pay for every one.
constexpr int32_t kMaxFramesPerSecond = 20;

// What one frame shows, apart from the picture and the statistics.
struct FrameState {
    bool paused = false;
    int32_t rate = 40;
};

// Composes a whole frame (already sized to the layout) from a picture of the
// world and the statistics lines: map, statistics, key line; or, on a
// terminal below 40 x 12, one line saying so.
void ComposeFrame(const WorldPicture& picture, const StatisticsLines& statistics,
                  const TerminalLayout& layout, const FrameState& state, ColourDepth depth,
                  TermFrame& frame);

// The message a terminal below 40 x 12 shows.
extern const char kTooSmallMessage[];

// Runs the view until q, Esc, Ctrl+C, SIGTERM or SIGHUP; the terminal is
// restored on every way out. Uses the command line's --rate, --no-trails and
// --no-expert-system. 0 on success, 1 when the view cannot start (with a
// message on standard error).
int RunTerminal(const CommandLine& line);
