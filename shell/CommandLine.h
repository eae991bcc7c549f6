#pragma once
// The command line, read with the one option table (shell/OptionTable.h):
// one parser and one number grammar for every mode.
//
//   - "--name VALUE", "--name=VALUE", and the X toolkit's single dash
//     ("-root", "-window-id 0x1a") alike; a switch refuses a value.
//   - The first argument carries the screen saver's mode letters when it is no
//     option: "/s", "s", "sc", "/c:1234", and also "-s", "-p", "-c:1234" (a
//     single dash before a word that names no option). A word that names an
//     option ("-terminal") is always that option.
//   - The mode is the one its mode option names (--window, --headless, ...),
//     else the screen saver. Two modes, or mode letters with a mode option,
//     are refused.
//   - An option the mode does not take is refused with one line, and so is a
//     word that is no option where the mode takes none.
// Pure parsing: no window, no simulation, no file is touched.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "shell/OptionTable.h"

// The screen saver's modes (its mode letters).
enum RunMode : int32_t {
    ModePreview = 0,
    ModeRun = 1,
    ModeConfigure = 2,
};

struct OptionValue {
    OptionId id;
    const char* text;    // the value as given; null for a switch
    int64_t number = 0;  // Whole: the value
};

struct CommandLine {
    Mode mode = Mode::ScreenSaver;
    RunMode saverMode = ModeRun;
    const char* modeWord = nullptr;  // the first argument, when it carried mode letters
    bool help = false;
    bool version = false;

    // A window made by someone else to draw into (xscreensaver, a preview):
    // "/p WINDOW", --window-id, or XSCREENSAVER_WINDOW in run and preview mode.
    bool hasForeignWindow = false;
    uint64_t foreignWindow = 0;
    bool root = false;  // --root: xscreensaver asks for its window

    std::vector<OptionValue> options;       // in command-line order
    std::vector<const char*> positionals;   // the words that are no option

    bool Has(OptionId id) const { return Last(id) != nullptr; }
    // The last value given for the option, or null.
    const OptionValue* Last(OptionId id) const;
    const char* Text(OptionId id, const char* fallback = nullptr) const;
    int64_t Number(OptionId id, int64_t fallback) const;
};

// The mode selected by the letters of one argument: "c" configure, "p"
// preview, "s" run; the last of these letters wins, everything else (upper
// case included) is ignored, and no letter at all means run.
RunMode ModeFromLetters(const char* argument);

// An argument as it may appear in a one-line message: control characters
// become '?', cut (with "...") to at most capacity - 1 bytes.
void PrintableArgument(const char* argument, char* out, size_t capacity);
std::string Printable(const char* argument);

// Parses an X window id: decimal or 0x-prefixed hexadecimal, nothing else.
bool ParseWindowId(const char* text, uint64_t& id);

// Parses the whole command line. xscreensaverWindow is the value of the
// XSCREENSAVER_WINDOW environment variable, or null when it is not set. False
// with a one-line message (no program name, no newline) for anything the
// table refuses; out is then undefined.
bool ParseCommandLine(int argc, const char* const* argv, const char* xscreensaverWindow,
                      CommandLine& out, std::string& error);

// The --help text of a mode: its usage line, what it does, its options from
// the table, and the mode's epilogue. The screen saver's help also lists the
// other modes.
std::string UsageText(Mode mode);
