#pragma once
// The terminal view's keys, its pace ladder and the key line that lists them.
#include <cstdint>

class TermFrame;

enum class KeyAction : int32_t {
    None,
    Quit,          // q, Esc
    Pause,         // Space: pause and resume
    Trails,        // t
    ExpertSystem,  // e
    Faster,        // + (and =, its unshifted key)
    Slower,        // - (and _)
    NewColony,     // n
    Rules,         // r: the next rule base of the gallery
    Redraw,        // Ctrl+L: send the whole screen again
};

// key: a byte read from the terminal (27 is Esc; ncurses' function-key codes
// are above 255 and do nothing). Letters work in either case.
KeyAction ActionForKey(int32_t key);

// The paces + and - step through, in steps per second (5 .. 1000).
constexpr int32_t kPaceLadder[] = {5,   10,  15,  20,  25,  30,  40,  50,  60,  80,  100,
                                   125, 150, 200, 250, 300, 400, 500, 600, 800, 1000};

// The next pace up (direction > 0) or down from rate; a rate between two
// entries moves to the neighbouring entry, and the ends stay put.
int32_t StepPace(int32_t rate, int32_t direction);

// The key line, in width cells of row: the keys (in bold) with what they do,
// and on the right whether the colony is paused and its pace. Narrow
// terminals get the keys without their words.
void DrawKeyLine(TermFrame& frame, int32_t row, int32_t width, bool paused, int32_t rate);
