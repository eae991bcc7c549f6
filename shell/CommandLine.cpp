#include "shell/CommandLine.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings/ParameterValue.h"

namespace {

// The name of an option word without its dashes and value, or null when the
// word is no option ("-" alone is standard input or output: no option).
const char* OptionName(const char* text, size_t& length) {
    if (text[0] != '-' || text[1] == '\0') return nullptr;
    const char* name = text[1] == '-' ? text + 2 : text + 1;
    const char* equals = std::strchr(name, '=');
    length = equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name);
    return name;
}

// Whether the first argument carries the screen saver's mode letters: any
// word that is no option ("/s", "sc"), and a single dash before a word that
// names no option ("-s", "-p", "-c:1234").
bool IsModeWord(const char* text) {
    size_t length = 0;
    const char* name = OptionName(text, length);
    if (name == nullptr) return text[0] != '-';
    return text[1] != '-' && FindOption(name, length) == nullptr;
}

std::string Dashed(const OptionRow& row) { return std::string("--") + row.name; }

// "the screen saver", "--window and --terminal" ...: the modes that take an
// option, for the refusal.
std::string ModesTaking(const OptionRow& row) {
    std::string text;
    int32_t count = 0;
    for (int32_t m = 0; m < kModeCount; ++m) {
        if ((row.modes & In(static_cast<Mode>(m))) == 0 || ModeInfo(static_cast<Mode>(m)).hidden) {
            continue;
        }
        const Mode mode = static_cast<Mode>(m);
        const std::string name = mode == Mode::ScreenSaver
                                     ? std::string("the screen saver")
                                     : std::string("--") + ModeInfo(mode).name;
        text += (count == 0 ? "" : ", ") + name;
        ++count;
    }
    return text;
}

std::string ModeName(Mode mode) {
    return mode == Mode::ScreenSaver ? std::string("the screen saver")
                                     : std::string("--") + ModeInfo(mode).name;
}

// Checks one value against its option's argument kind.
bool CheckValue(const OptionRow& row, const char* value, OptionValue& out, std::string& error) {
    out.text = value;
    switch (row.arg) {
        case ArgKind::None:
            return true;
        case ArgKind::Whole:
            if (!ParseWholeNumber(value, row.low, row.high, out.number)) {
                char range[96];
                std::snprintf(range, sizeof range, "a whole number from %lld to %lld",
                              static_cast<long long>(row.low), static_cast<long long>(row.high));
                error = Dashed(row) + " takes " + range + ", not \"" + Printable(value) + "\"";
                return false;
            }
            return true;
        case ArgKind::Choice: {
            const size_t length = std::strlen(value);
            for (const char* choice = row.choices; *choice != '\0';) {
                const char* bar = std::strchr(choice, '|');
                const size_t size = bar != nullptr ? static_cast<size_t>(bar - choice)
                                                   : std::strlen(choice);
                if (size == length && std::strncmp(choice, value, length) == 0) return true;
                choice += size + (bar != nullptr ? 1 : 0);
            }
            std::string choices = row.choices;
            for (char& c : choices) c = c == '|' ? '/' : c;
            error = Dashed(row) + " takes " + choices + ", not \"" + Printable(value) + "\"";
            return false;
        }
        case ArgKind::Output:
            if (std::strcmp(value, "-") == 0 && !row.stdoutOk) {
                error = Dashed(row) + " needs a file name ('-' is not taken here)";
                return false;
            }
            [[fallthrough]];
        case ArgKind::Input:
        case ArgKind::Optional:
            if (*value == '\0') {
                error = Dashed(row) + " needs a file name";
                return false;
            }
            return true;
        case ArgKind::Text:
            if (*value == '\0') {
                error = Dashed(row) + " needs " + row.argName;
                return false;
            }
            return true;
    }
    return false;
}

bool Fail(std::string& error, const std::string& text) {
    error = text;
    return false;
}

}  // namespace

const OptionValue* CommandLine::Last(OptionId id) const {
    for (size_t i = options.size(); i-- > 0;) {
        if (options[i].id == id) return &options[i];
    }
    return nullptr;
}

const char* CommandLine::Text(OptionId id, const char* fallback) const {
    const OptionValue* value = Last(id);
    return value != nullptr && value->text != nullptr ? value->text : fallback;
}

int64_t CommandLine::Number(OptionId id, int64_t fallback) const {
    const OptionValue* value = Last(id);
    return value != nullptr ? value->number : fallback;
}

void PrintableArgument(const char* argument, char* out, size_t capacity) {
    if (capacity == 0) return;
    size_t length = 0;
    const char* c = argument;
    for (; *c != '\0' && length + 1 < capacity; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        out[length++] = byte < 0x20 || byte == 0x7f ? '?' : *c;
    }
    out[length] = '\0';
    // A cut shows.
    if (*c != '\0' && capacity >= 4) std::memcpy(out + capacity - 4, "...", 4);
}

std::string Printable(const char* argument) {
    char text[200];
    PrintableArgument(argument, text, sizeof text);
    return text;
}

RunMode ModeFromLetters(const char* argument) {
    RunMode mode = ModeRun;
    if (argument == nullptr) return mode;
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
    if (text == nullptr || *text == '\0') return false;
    int base = 10;
    const char* digits = text;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        digits = text + 2;
    }
    // strtoull would accept a sign and leading blanks; a window id has neither.
    for (const char* c = digits; *c != '\0'; ++c) {
        const bool ok = base == 16 ? std::strchr("0123456789abcdefABCDEF", *c) != nullptr
                                   : (*c >= '0' && *c <= '9');
        if (!ok) return false;
    }
    if (*digits == '\0') return false;
    errno = 0;
    const unsigned long long parsed = std::strtoull(digits, nullptr, base);
    if (errno != 0 || parsed == 0) return false;  // 0 is X's "None": never a window
    id = parsed;
    return true;
}

bool ParseCommandLine(int argc, const char* const* argv, const char* xscreensaverWindow,
                      CommandLine& out, std::string& error) {
    out = CommandLine{};
    int index = 1;

    // Only the first argument carries mode letters. A preview started the
    // Windows way names its window next.
    if (argc > 1 && IsModeWord(argv[1])) {
        out.modeWord = argv[1];
        out.saverMode = ModeFromLetters(argv[1]);
        index = 2;
        uint64_t id = 0;
        if (out.saverMode == ModePreview && argc > 2 && ParseWindowId(argv[2], id)) {
            out.hasForeignWindow = true;
            out.foreignWindow = id;
            index = 3;
        }
    }

    const OptionRow* modeOption = nullptr;
    bool optionsEnded = false;
    for (; index < argc; ++index) {
        const char* word = argv[index];
        size_t length = 0;
        const char* name = optionsEnded ? nullptr : OptionName(word, length);
        if (name == nullptr) {
            out.positionals.push_back(word);
            continue;
        }
        if (length == 0 && word[1] == '-' && word[2] == '\0') {
            optionsEnded = true;  // "--": the words after it are no options
            continue;
        }
        const OptionRow* row = FindOption(name, length);
        if (row == nullptr) {
            return Fail(error, "unknown option '" + Printable(word) + "' (try --help)");
        }
        const char* equals = std::strchr(name, '=');
        const char* value = equals != nullptr ? equals + 1 : nullptr;
        if (row->arg == ArgKind::None && value != nullptr) {
            return Fail(error, "option " + Dashed(*row) + " takes no value");
        }
        if (row->arg != ArgKind::None && row->arg != ArgKind::Optional && value == nullptr) {
            if (index + 1 >= argc) {
                return Fail(error, "option " + Dashed(*row) + " needs " + row->argName);
            }
            value = argv[++index];
        }
        OptionValue parsed{row->id, nullptr, 0};
        if (value != nullptr && !CheckValue(*row, value, parsed, error)) return false;

        if (row->selects != Mode::Count) {
            if (modeOption != nullptr && modeOption->selects != row->selects) {
                return Fail(error, Dashed(*modeOption) + " and " + Dashed(*row) +
                                       " cannot be used together");
            }
            modeOption = row;
            out.mode = row->selects;
        }
        if (row->id == OptionId::Help) out.help = true;
        if (row->id == OptionId::Version) out.version = true;
        out.options.push_back(parsed);
    }

    if (modeOption != nullptr && out.modeWord != nullptr) {
        return Fail(error, "the screen saver's mode letters \"" + Printable(out.modeWord) +
                               "\" cannot be used with " + Dashed(*modeOption));
    }
    for (const OptionValue& given : out.options) {
        const OptionRow& row = Option(given.id);
        if ((row.modes & In(out.mode)) == 0) {
            return Fail(error, Dashed(row) + " is not an option of " + ModeName(out.mode) +
                                   " (it is one of " + ModesTaking(row) + ")");
        }
    }
    const int32_t allowed = ModeInfo(out.mode).positionals;
    if (allowed >= 0 && out.positionals.size() > static_cast<size_t>(allowed)) {
        return Fail(error, "unexpected argument '" + Printable(out.positionals[allowed]) +
                               "' (try " +
                               (out.mode == Mode::ScreenSaver ? std::string("--help")
                                                              : ModeName(out.mode) + " --help") +
                               ")");
    }
    if (out.mode != Mode::ScreenSaver) return true;

    // The screen saver's windows: an explicit id wins over xscreensaver's
    // variable, and the About box always has its own window.
    out.root = out.Has(OptionId::Root);
    if (const char* id = out.Text(OptionId::WindowId)) {
        if (!ParseWindowId(id, out.foreignWindow)) {
            return Fail(error, "--window-id needs an X window id (decimal or 0x hex), not \"" +
                                   Printable(id) + "\"");
        }
        out.hasForeignWindow = true;
    }
    if (!out.hasForeignWindow && xscreensaverWindow != nullptr && *xscreensaverWindow != '\0' &&
        out.saverMode != ModeConfigure) {
        if (!ParseWindowId(xscreensaverWindow, out.foreignWindow)) {
            return Fail(error, "XSCREENSAVER_WINDOW is not an X window id: \"" +
                                   Printable(xscreensaverWindow) + "\"");
        }
        out.hasForeignWindow = true;
    }
    if (out.saverMode == ModeConfigure) out.hasForeignWindow = false;
    return true;
}

std::string UsageText(Mode mode) {
    const ModeRow& info = ModeInfo(mode);
    std::string text = std::string("Usage: ") + kProgramName + " " + info.synopsis + "\n" +
                       info.about + "\n";
    // "  --name ARG" then the help from column 24, wrapped before column 80;
    // a name too long for the column has its help after it when that fits.
    auto line = [&text](const std::string& left, const std::string& help) {
        constexpr size_t kColumn = 24;
        constexpr size_t kWidth = 79;
        std::string row = "  " + left;
        if (row.size() + 2 > kColumn && row.size() + 2 + help.size() <= kWidth) {
            text += row + "  " + help + "\n";
            return;
        }
        row += row.size() + 2 <= kColumn ? std::string(kColumn - row.size(), ' ')
                                         : "\n" + std::string(kColumn, ' ');
        size_t start = 0;
        while (start < help.size()) {
            size_t end = help.size();
            if (end - start > kWidth - kColumn) {
                end = help.rfind(' ', start + kWidth - kColumn);
                if (end == std::string::npos || end <= start) end = help.size();
            }
            row += help.substr(start, end - start) + "\n";
            start = end + 1;
            if (start < help.size()) row += std::string(kColumn, ' ');
        }
        text += row;
    };
    auto optionLine = [&line](const OptionRow& row) {
        std::string left = Dashed(row);
        if (row.arg == ArgKind::Optional) {
            left += std::string(" [") + row.argName + "]";
        } else if (row.arg != ArgKind::None && row.selects == Mode::Count) {
            left += std::string(" ") + row.argName;
        }
        line(left, row.help);
    };
    if (mode == Mode::ScreenSaver) {
        text += "\n";
        text += info.epilogue;
        text += "\nOther modes (marrowick --MODE --help lists a mode's options):\n";
        for (int32_t i = 0; i < kOptionCount; ++i) {
            const OptionRow& row = Option(i);
            if (row.selects != Mode::Count && !row.hidden) optionLine(row);
        }
    }
    text += "\nOptions:\n";
    // The mode's own options, then --help and --version, which every mode takes.
    for (int32_t i = 0; i < kOptionCount; ++i) {
        const OptionRow& row = Option(i);
        if (row.hidden || row.selects != Mode::Count || (row.modes & In(mode)) == 0 ||
            row.modes == kAllModes) {
            continue;
        }
        optionLine(row);
    }
    optionLine(Option(OptionId::Help));
    optionLine(Option(OptionId::Version));
    if (mode != Mode::ScreenSaver && info.epilogue[0] != '\0') {
        text += "\n";
        text += info.epilogue;
    }
    return text;
}
