#pragma once
// The one option table, in the manner of the X toolkit's option tables: every
// option of every mode, with its argument, the modes that take it and one help
// line. The parser (shell/CommandLine.h), --help, the man page's test and the
// xscreensaver settings file's test all read it.
//
// A new option is one row here (and one OptionId); the mode that uses it reads
// its value from the parsed command line. A new mode is one row in the mode
// table, a Mode, and its entry in main.cpp.
#include <cstddef>
#include <cstdint>

// What the program does. The screen saver's own modes (run, configure,
// preview) are its mode letters (CommandLine::saverMode).
enum class Mode : int32_t {
    ScreenSaver,
    Window,
    Terminal,
    Headless,
    Sweep,
    SummaryRun,
    SweepWorker,
    Merge,
    CheckRules,
    ListParameters,
    ListRules,
    CompareRules,
    AddToXscreensaver,
    RemoveFromXscreensaver,
    Count,
};
constexpr int32_t kModeCount = static_cast<int32_t>(Mode::Count);

using ModeSet = uint32_t;
constexpr ModeSet In(Mode mode) { return ModeSet{1} << static_cast<int32_t>(mode); }
template <typename... Modes>
constexpr ModeSet In(Mode first, Modes... rest) {
    return In(first) | In(rest...);
}
constexpr ModeSet kAllModes = (ModeSet{1} << kModeCount) - 1;
// The modes that run a colony and so read the rule base and the parameters.
constexpr ModeSet kColonyModes =
    In(Mode::ScreenSaver, Mode::Window, Mode::Terminal, Mode::Headless, Mode::SummaryRun);

enum class OptionId : int32_t {
    // Modes.
    Window,
    Terminal,
    Headless,
    Sweep,
    SummaryRun,
    SweepWorker,
    Merge,
    CheckRules,
    ListParameters,
    ListRules,
    CompareRules,
    AddToXscreensaver,
    RemoveFromXscreensaver,
    Help,
    Version,
    // xscreensaver.
    Root,
    WindowId,
    // The colony and its view.
    Rate,
    RenderMulti,
    StepFrames,
    NoTrails,
    NoExpertSystem,
    Texture,
    RulesPanel,
    Rules,
    Set,
    Screenshot,
    // Headless runs.
    Steps,
    Seed,
    Csv,
    Every,
    Verbose,
    TraceRules,
    Plot,
    // Sweeps and merges.
    Vary,
    Seeds,
    Jobs,
    Out,
    ListRuns,
    Runs,
    Chunk,
    Program,
    FilesFrom,
    SeriesFolder,
    // Rule checks.
    Format,
    Count,
};
constexpr int32_t kOptionCount = static_cast<int32_t>(OptionId::Count);

enum class ArgKind : int32_t {
    None,       // a switch: "--name" (a value is refused)
    Whole,      // a whole number from low to high
    Text,       // any text the mode reads further (NAME=VALUE, A-B, an X id, ...)
    Input,      // the name of a file the command reads
    Output,     // the name of a file the command writes ("-": standard output
                // where stdoutOk)
    Choice,     // one of the words in choices, '|' between them
    Optional,   // no value, or one after '=' ("--check-rules=FILE")
};

struct OptionRow {
    OptionId id;
    const char* name;      // without dashes
    ArgKind arg;
    const char* argName;   // what --help calls the value: "N", "FILE"
    int64_t low;           // Whole: both ends included
    int64_t high;
    const char* choices;   // Choice: "text|csv"
    ModeSet modes;         // the modes that take it
    Mode selects;          // a mode option: the mode it starts; Mode::Count otherwise
    bool stdoutOk;         // Output: "-" writes to standard output
    bool repeatable;       // may be given more than once, each counts (--set)
    bool hidden;           // an internal option: not in --help or the man page
    const char* help;      // one line for --help
};

// The row of an option; rows stand in OptionId order.
const OptionRow& Option(OptionId id);
inline const OptionRow& Option(int32_t index) { return Option(static_cast<OptionId>(index)); }

// What --help says of a mode.
struct ModeRow {
    Mode mode;
    const char* name;       // "headless": the word after "marrowick --help" refers to it
    const char* synopsis;   // the usage line's arguments after the program name
    const char* about;      // one or two lines
    const char* epilogue;   // further lines (examples, exit status); may be empty
    bool hidden;            // internal (a sweep's single run)
    // Words that are no option: how many the mode takes (-1: any number; the
    // screen saver's start-up looks at its first argument only and passes
    // over the others, as a desktop may hand it more than it reads).
    int32_t positionals;
};
const ModeRow& ModeInfo(Mode mode);

// The option with that name (a short alias "h" included); null for none.
const OptionRow* FindOption(const char* name, size_t length);

// The program's name in every message.
constexpr const char* kProgramName = "marrowick";
