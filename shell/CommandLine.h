#pragma once
// Start-up options: the screen-saver mode letters of the first argument, the
// xscreensaver conventions (--root, --window-id, XSCREENSAVER_WINDOW) and our
// own long options. Pure parsing: no window, no simulation.
#include <cstddef>
#include <cstdint>

#include "shell/StartSettings.h"

// The screen-saver modes.
enum RunMode : int32_t {
    ModePreview = 0,
    ModeRun = 1,
    ModeConfigure = 2,
};

// What the program does after parsing.
enum class Launch : int32_t {
    ScreenSaver,  // one of the RunMode modes (see CommandLine::mode)
    Window,       // --window: an ordinary window the user steers
    Headless,     // --headless: handed to the terminal runner untouched
    Terminal,     // --terminal: the colony drawn in this terminal
    Help,
    Version,
    Error,        // CommandLine::error says why
};

struct CommandLine {
    static constexpr int32_t kMinRate = 5;  // the Options dialog's pacing range
    static constexpr int32_t kMaxRate = 1000;
    static constexpr int32_t kMinRenderMulti = 1;
    static constexpr int32_t kMaxRenderMulti = 200;
    static constexpr int32_t kPathCapacity = 512;
    static constexpr int32_t kErrorCapacity = 256;

    Launch launch = Launch::ScreenSaver;
    RunMode mode = ModeRun;

    // A window made by someone else to draw into (xscreensaver, a preview).
    bool hasForeignWindow = false;
    uint64_t foreignWindow = 0;
    bool root = false;  // --root: xscreensaver asks for its window

    // Start-up settings; negative means "keep the program's default".
    int32_t rate = -1;         // --rate N: steps per second
    int32_t renderMulti = -1;  // --render-multi N: draw every (N+1)-th paint
    bool noTrails = false;     // --no-trails
    bool noExpert = false;     // --no-expert-system
    bool textureOn = false;    // --texture
    bool rulesPanel = false;   // --rules-panel: the expert system's panel from the start

    // Test hook: where a frame is written as PNG on request.
    char screenshotPath[kPathCapacity] = {};

    char error[kErrorCapacity] = {};

    // The --set values: main takes them out of the command line before it is
    // parsed (shell/experiments/Experiments.h), so that every mode has them.
    StartSettings settings;
};

// The mode selected by the letters of one argument: "c" configure, "p"
// preview, "s" run; the last of these letters wins, everything else
// (upper case included) is ignored, and no letter at all means run.
RunMode ModeFromLetters(const char* argument);

// An argument as it may appear in a one-line message: control characters
// (a newline, an escape sequence) become '?'. Cut to fit capacity.
void PrintableArgument(const char* argument, char* out, size_t capacity);

// Whether an argument asks for the terminal runner: "--headless" or
// "-headless", also with a value ("--headless=1"), which that runner refuses.
bool IsHeadlessSwitch(const char* argument);

// Parses an X window id: decimal or 0x-prefixed hexadecimal, nothing else.
bool ParseWindowId(const char* text, uint64_t& id);

// Parses the whole command line. The first argument carries the mode letters
// when it is no option: "/s", "sc", and also "-s", "-c:1234", "-p" (a single
// dash before a word that names none of our options). xscreensaverWindow is
// the value of the XSCREENSAVER_WINDOW environment variable, or null when it
// is not set; it is honoured in run and preview mode. Returns false (launch Error, error set)
// for an unknown option or a bad value.
bool ParseCommandLine(int argc, const char* const* argv, const char* xscreensaverWindow,
                      CommandLine& out);

// The --help text: modes and options in one screen.
const char* UsageText();
