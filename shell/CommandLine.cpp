#include "shell/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// "--name" and "-name" are the same option (xscreensaver's hacks use one dash,
// GNU programs two); returns the bare name, or null when text is no option.
const char* OptionName(const char* text) {
    if (text[0] != '-' || text[1] == '\0') {
        return nullptr;
    }
    return text[1] == '-' ? text + 2 : text + 1;
}

bool ParseInt(const char* text, int32_t& value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT32_MIN || parsed > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(parsed);
    return true;
}

// The options this parser knows by their bare names; a single-dash word in
// first place that is none of them carries mode letters ("-s", "-c:1234").
constexpr const char* kOptionNames[] = {
    "headless", "help", "h", "version", "window", "root", "window-id", "rate",
    "render-multi", "no-trails", "no-expert-system", "texture", "screenshot",
};

// The bare name of an option word, up to a '=' if there is one.
bool NamesKnownOption(const char* name) {
    const char* equals = std::strchr(name, '=');
    const size_t length = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
    for (const char* known : kOptionNames) {
        if (std::strlen(known) == length && std::strncmp(known, name, length) == 0) return true;
    }
    return false;
}

// Whether the first argument is the screen saver's mode word rather than an
// option: anything that is no option at all ("/s", "sc"), and a single dash
// followed by a word that names no option ("-s", "-p", "-c:1234").
bool IsModeWord(const char* text) {
    const char* name = OptionName(text);
    if (name == nullptr) return true;
    return text[1] != '-' && !NamesKnownOption(name);
}

bool Fail(CommandLine& out, const char* format, const char* what) {
    out.launch = Launch::Error;
    char printable[CommandLine::kErrorCapacity];
    PrintableArgument(what, printable, sizeof printable);
    // A very long argument is cut so that the message fits; the cut shows.
    const int length = std::snprintf(out.error, sizeof out.error, format, printable);
    if (length >= static_cast<int>(sizeof out.error)) {
        std::memcpy(out.error + sizeof out.error - 4, "...", 4);
    }
    return false;
}

// Reads the value of an option that takes one: "--name VALUE" or "--name=VALUE".
// Advances index past what it consumed.
const char* OptionValue(int argc, const char* const* argv, int& index, const char* inlineValue) {
    if (inlineValue != nullptr) {
        return inlineValue;
    }
    if (index + 1 < argc) {
        ++index;
        return argv[index];
    }
    return nullptr;
}

bool ParseRanged(const char* value, const char* option, int32_t low, int32_t high, int32_t& target,
                 CommandLine& out) {
    int32_t parsed = 0;
    if (!ParseInt(value, parsed) || parsed < low || parsed > high) {
        out.launch = Launch::Error;
        std::snprintf(out.error, sizeof out.error, "--%s needs a whole number from %d to %d",
                      option, low, high);
        return false;
    }
    target = parsed;
    return true;
}

}  // namespace

void PrintableArgument(const char* argument, char* out, size_t capacity) {
    if (capacity == 0) return;
    size_t length = 0;
    for (const char* c = argument; *c != '\0' && length + 1 < capacity; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        out[length++] = byte < 0x20 || byte == 0x7f ? '?' : *c;
    }
    out[length] = '\0';
}

bool IsHeadlessSwitch(const char* argument) {
    const char* name = OptionName(argument);
    if (name == nullptr) return false;
    const size_t length = std::strlen("headless");
    return std::strncmp(name, "headless", length) == 0 &&
           (name[length] == '\0' || name[length] == '=');
}

RunMode ModeFromLetters(const char* argument) {
    RunMode mode = ModeRun;
    if (argument == nullptr) {
        return mode;
    }
    for (const char* c = argument; *c != '\0'; ++c) {
        if (*c == 'c') {
            mode = ModeConfigure;
        } else if (*c == 'p') {
            mode = ModePreview;
        } else if (*c == 's') {
            mode = ModeRun;
        }
    }
    return mode;
}

bool ParseWindowId(const char* text, uint64_t& id) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    // strtoull would accept a sign and leading blanks; a window id has neither.
    for (const char* c = digits; *c != '\0'; ++c) {
        bool ok = base == 16 ? std::strchr("0123456789abcdefABCDEF", *c) != nullptr
                             : (*c >= '0' && *c <= '9');
        if (!ok) {
            return false;
        }
    }
    if (*digits == '\0') {
        return false;
    }
    errno = 0;
    unsigned long long parsed = std::strtoull(digits, nullptr, base);
    if (errno != 0 || parsed == 0) {
        return false;  // 0 is X's "None": never a window
    }
    id = parsed;
    return true;
}

bool ParseCommandLine(int argc, const char* const* argv, const char* xscreensaverWindow,
                      CommandLine& out) {
    out = CommandLine{};
    int index = 1;

    // Only the first argument carries mode letters, and only when it is no
    // option. A preview started the Windows way names its window next.
    if (argc > 1 && IsModeWord(argv[1])) {
        out.mode = ModeFromLetters(argv[1]);
        index = 2;
        uint64_t id = 0;
        if (out.mode == ModePreview && argc > 2 && ParseWindowId(argv[2], id)) {
            out.hasForeignWindow = true;
            out.foreignWindow = id;
            index = 3;
        }
    }

    bool explicitWindow = out.hasForeignWindow;
    for (; index < argc; ++index) {
        const char* name = OptionName(argv[index]);
        if (name == nullptr) {
            continue;  // stray words are ignored, as the screen-saver start-up does
        }
        // Split "--name=value".
        char bare[64] = {};
        const char* inlineValue = nullptr;
        const char* equals = std::strchr(name, '=');
        size_t length = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
        if (length >= sizeof bare) {
            return Fail(out, "unknown option %s (try --help)", argv[index]);
        }
        std::memcpy(bare, name, length);
        if (equals != nullptr) {
            inlineValue = equals + 1;
        }

        // Switches take no value: "--headless=1" is refused, not read as on.
        static constexpr const char* kSwitches[] = {"headless", "help", "h", "version", "window",
                                                    "root", "no-trails", "no-expert-system",
                                                    "texture"};
        if (inlineValue != nullptr) {
            for (const char* flag : kSwitches) {
                if (std::strcmp(bare, flag) == 0) {
                    return Fail(out, "option %s takes no value (try --help)", argv[index]);
                }
            }
        }

        if (std::strcmp(bare, "headless") == 0) {
            out.launch = Launch::Headless;
            return true;  // the terminal runner reads the rest itself
        } else if (std::strcmp(bare, "help") == 0 || std::strcmp(bare, "h") == 0) {
            out.launch = Launch::Help;
            return true;
        } else if (std::strcmp(bare, "version") == 0) {
            out.launch = Launch::Version;
            return true;
        } else if (std::strcmp(bare, "window") == 0 || std::strcmp(bare, "terminal") == 0) {
            const Launch view = bare[0] == 'w' ? Launch::Window : Launch::Terminal;
            if (out.launch != Launch::ScreenSaver && out.launch != view) {
                return Fail(out, "--window and --terminal cannot be used together%s", "");
            }
            out.launch = view;
        } else if (std::strcmp(bare, "root") == 0) {
            out.root = true;
        } else if (std::strcmp(bare, "window-id") == 0) {
            const char* value = OptionValue(argc, argv, index, inlineValue);
            uint64_t id = 0;
            if (!ParseWindowId(value, id)) {
                return Fail(out, "--window-id needs an X window id (decimal or 0x hex), got \"%s\"",
                            value != nullptr ? value : "");
            }
            out.hasForeignWindow = true;
            out.foreignWindow = id;
            explicitWindow = true;
        } else if (std::strcmp(bare, "rate") == 0) {
            if (!ParseRanged(OptionValue(argc, argv, index, inlineValue), "rate",
                             CommandLine::kMinRate, CommandLine::kMaxRate, out.rate, out)) {
                return false;
            }
        } else if (std::strcmp(bare, "render-multi") == 0) {
            if (!ParseRanged(OptionValue(argc, argv, index, inlineValue), "render-multi",
                             CommandLine::kMinRenderMulti, CommandLine::kMaxRenderMulti,
                             out.renderMulti, out)) {
                return false;
            }
        } else if (std::strcmp(bare, "no-trails") == 0) {
            out.noTrails = true;
        } else if (std::strcmp(bare, "no-expert-system") == 0) {
            out.noExpert = true;
        } else if (std::strcmp(bare, "texture") == 0) {
            out.textureOn = true;
        } else if (std::strcmp(bare, "rules-panel") == 0) {
            out.rulesPanel = true;
        } else if (std::strcmp(bare, "screenshot") == 0) {
            const char* value = OptionValue(argc, argv, index, inlineValue);
            if (value == nullptr || *value == '\0' ||
                std::strlen(value) >= sizeof out.screenshotPath) {
                return Fail(out, "--screenshot needs a file name%s", "");
            }
            std::strcpy(out.screenshotPath, value);
        } else {
            return Fail(out, "unknown option %s (try --help)", argv[index]);
        }
    }

    if (out.launch == Launch::Terminal) {
        return true;  // no X window is drawn into: the screen-saver settings do not apply
    }
    if (out.launch == Launch::Window) {
        if (explicitWindow) {
            return Fail(out, "--window opens its own window; it cannot draw into --window-id%s",
                        "");
        }
        return true;
    }
    // xscreensaver names its window in the environment; an explicit id wins.
    if (!explicitWindow && xscreensaverWindow != nullptr && *xscreensaverWindow != '\0' &&
        out.mode != ModeConfigure) {
        uint64_t id = 0;
        if (!ParseWindowId(xscreensaverWindow, id)) {
            return Fail(out, "XSCREENSAVER_WINDOW is not an X window id: \"%s\"",
                        xscreensaverWindow);
        }
        out.hasForeignWindow = true;
        out.foreignWindow = id;
    }
    if (out.mode == ModeConfigure) {
        out.hasForeignWindow = false;  // the About box always has its own window
    }
    return true;
}

const char* UsageText() {
    return "Usage: marrowick [MODE] [OPTIONS]\n"
           "An ant colony simulation shown as a screen saver.\n"
           "\n"
           "Modes (the letters of the first argument; the last of c, p, s wins):\n"
           "  (none), /s, -s      run full screen; any key or mouse movement ends it\n"
           "  /c, -c              show the About box\n"
           "  /p [WINDOW]         preview inside WINDOW; without one, end at once\n"
           "  --window            a resizable window with the menu and the keys below\n"
           "  --headless [...]    run without a display, statistics on the terminal\n"
           "                      (see marrowick --headless --help)\n"
           "  --terminal          draw the colony in this terminal; keys q or Esc quit,\n"
           "                      Space pause, t trails, e expert system, + and - pace,\n"
           "                      n new colony\n"
           "\n"
           "xscreensaver:\n"
           "  --root, -root       draw into the window named by XSCREENSAVER_WINDOW\n"
           "  --window-id ID      draw into the X window ID (decimal or 0x hex)\n"
           "\n"
           "Options:\n"
           "  --rate N            simulation steps per second (5 to 1000, default 40)\n"
           "  --render-multi N    draw a frame on every (N+1)-th repaint (1 to 200)\n"
           "  --no-trails         hide the trails\n"
           "  --no-expert-system  start with the expert system off\n"
           "  --texture           start with the texture on\n"
           "  --rules-panel       show the expert system's panel from the start (also\n"
           "                      in the screen saver, where no key can open it)\n"
           "  --check-rules [FILE]  check a rule base (see marrowick --check-rules --help)\n"
           "  --screenshot FILE   write the next frame to FILE (PNG) on SIGUSR1\n"
           "  --set NAME=VALUE    set a parameter of the option dialogs before the first\n"
           "                      step, in every mode (repeatable)\n"
           "  --list-parameters   the parameters with their ranges and defaults\n"
           "  --sweep, --merge    experiments over settings and seeds\n"
           "                      (see marrowick --sweep --help)\n"
           "  --help, --version\n"
           "\n"
           "Window mode keys: Ctrl+S options, Ctrl+N new sim, Alt+S pause/resume,\n"
           "  Ctrl+T trails, Ctrl+P texture, Ctrl+R reset camera, Ctrl+O / Ctrl+I\n"
           "  expert system on / off, Ctrl+E rules panel, F5 reload the rules,\n"
           "  Ctrl+F nothing, Esc exit.\n";
}
