// The option table's rows and the modes' help texts.
#include "shell/OptionTable.h"

#include <cassert>
#include <cstring>

#include "simulation/SimulationThread.h"

namespace {

using O = OptionId;
using A = ArgKind;
using M = Mode;
constexpr M kNoMode = Mode::Count;

// The views and the runs that take the colony's own options.
constexpr ModeSet kViews = In(M::ScreenSaver, M::Window);
constexpr ModeSet kShown = In(M::ScreenSaver, M::Window, M::Terminal);
constexpr ModeSet kPaced = In(M::ScreenSaver, M::Window, M::Terminal, M::Headless);
constexpr ModeSet kStepped = In(M::Headless, M::Sweep, M::SummaryRun, M::CompareRules);
// The commands that run many colonies (the sweep, the comparison of rule bases).
constexpr ModeSet kGrids = In(M::Sweep, M::CompareRules);

constexpr int64_t kMaxSteps = 2147483647;
constexpr int64_t kMaxSeed = 4294967295;
constexpr int64_t kMaxJobs = 1024;
constexpr int64_t kMinRate = static_cast<int64_t>(kMinSimsPerSecond);
constexpr int64_t kMaxRate = static_cast<int64_t>(kMaxSimsPerSecond);

// {id, name, arg, argName, low, high, choices, modes, selects, stdoutOk, repeatable, hidden, help}
const OptionRow kOptions[kOptionCount] = {
    {O::Window, "window", A::None, "", 0, 0, "", In(M::Window), M::Window, false, false, false,
     "a resizable window with the menu, keys and dialogs"},
    {O::Terminal, "terminal", A::None, "", 0, 0, "", In(M::Terminal), M::Terminal, false, false,
     false, "draw the colony in this terminal"},
    {O::Headless, "headless", A::None, "", 0, 0, "", In(M::Headless), M::Headless, false, false,
     false, "run without a display, statistics on the terminal"},
    {O::Sweep, "sweep", A::None, "", 0, 0, "", In(M::Sweep), M::Sweep, false, false, false,
     "a grid of settings over seeds, one summary row per run"},
    {O::SummaryRun, "summary-run", A::None, "", 0, 0, "", In(M::SummaryRun), M::SummaryRun, false,
     false, true, "one run of a sweep: its summary row"},
    {O::SweepWorker, "sweep-worker", A::None, "", 0, 0, "", In(M::SweepWorker), M::SweepWorker,
     false, false, true, "a sweep's worker: its runs one after another"},
    {O::Merge, "merge", A::None, "", 0, 0, "", In(M::Merge), M::Merge, false, false, false,
     "collect summary files (of runs made elsewhere) into one"},
    {O::CheckRules, "check-rules", A::Optional, "FILE", 0, 0, "", In(M::CheckRules),
     M::CheckRules, false, false, false,
     "test a rule base in all 729 situations (default: yours)"},
    {O::ListParameters, "list-parameters", A::None, "", 0, 0, "", In(M::ListParameters),
     M::ListParameters, false, false, false,
     "list every parameter with its range and default"},
    {O::ListRules, "list-rules", A::None, "", 0, 0, "", In(M::ListRules), M::ListRules, false,
     false, false, "list the gallery of rule bases and what each does"},
    {O::CompareRules, "compare-rules", A::Optional, "A,B,...", 0, 0, "", In(M::CompareRules),
     M::CompareRules, false, false, false,
     "run rule bases over seeds; report which does best"},
    {O::AddToXscreensaver, "add-to-xscreensaver", A::None, "", 0, 0, "",
     In(M::AddToXscreensaver), M::AddToXscreensaver, false, false, false,
     "add marrowick to your ~/.xscreensaver list"},
    {O::RemoveFromXscreensaver, "remove-from-xscreensaver", A::None, "", 0, 0, "",
     In(M::RemoveFromXscreensaver), M::RemoveFromXscreensaver, false, false, false,
     "take marrowick out of your ~/.xscreensaver list"},
    {O::Help, "help", A::None, "", 0, 0, "", kAllModes, kNoMode, false, false, false,
     "display this help and exit (with a mode: that mode's options)"},
    {O::Version, "version", A::None, "", 0, 0, "", kAllModes, kNoMode, false, false, false,
     "output version information and exit"},

    {O::Root, "root", A::None, "", 0, 0, "", In(M::ScreenSaver), kNoMode, false, false, false,
     "draw into the window named by XSCREENSAVER_WINDOW (or the root window)"},
    {O::WindowId, "window-id", A::Text, "ID", 0, 0, "", In(M::ScreenSaver), kNoMode, false,
     false, false, "draw into the X window ID (decimal or 0x hex)"},

    {O::Rate, "rate", A::Whole, "N", kMinRate, kMaxRate, "", kPaced, kNoMode, false, false,
     false, "simulation steps per second (5 to 1000, default 40)"},
    {O::RenderMulti, "render-multi", A::Whole, "N", 1, 200, "", kViews, kNoMode, false, false,
     false, "steps skipped between pictures (1 to 200, default 1)"},
    {O::StepFrames, "step-frames", A::None, "", 0, 0, "", kViews, kNoMode, false, false, false,
     "draw only with a new picture (less processor time)"},
    {O::NoTrails, "no-trails", A::None, "", 0, 0, "", kShown, kNoMode, false, false, false,
     "hide the trails"},
    {O::NoExpertSystem, "no-expert-system", A::None, "", 0, 0, "", kPaced, kNoMode, false, false,
     false, "start with the expert system off"},
    {O::Texture, "texture", A::None, "", 0, 0, "", kViews, kNoMode, false, false, false,
     "texture the ants (Ctrl+P in a window)"},
    {O::RulesPanel, "rules-panel", A::None, "", 0, 0, "", kViews, kNoMode, false, false, false,
     "show the expert system's panel from the start"},
    {O::Rules, "rules", A::Text, "NAME|FILE", 0, 0, "", kColonyModes, kNoMode, false, false,
     false, "run a rule base of the gallery, or a file, instead of yours"},
    {O::Set, "set", A::Text, "NAME=VALUE", 0, 0, "", kColonyModes | kGrids, kNoMode, false,
     true, false, "set a parameter before the first step (repeatable; see --list-parameters)"},
    {O::Screenshot, "screenshot", A::Output, "FILE", 0, 0, "", kViews, kNoMode, false, false,
     false, "on SIGUSR1, write the next frame to FILE (PNG)"},

    {O::Steps, "steps", A::Whole, "N", 0, kMaxSteps, "", kStepped, kNoMode, false, false, false,
     "steps to run (headless: as fast as possible, then end)"},
    {O::Seed, "seed", A::Whole, "N", 0, kMaxSeed, "", In(M::Headless, M::SummaryRun), kNoMode,
     false, false, false, "initial state of the random source (default 1, as unseeded)"},
    {O::Csv, "csv", A::Output, "FILE", 0, 0, "", In(M::Headless), kNoMode, true, false, false,
     "write a statistics row every K steps to FILE ('-': standard output)"},
    {O::Every, "every", A::Whole, "K", 1, kMaxSteps, "", In(M::Headless), kNoMode, false, false,
     false, "steps between CSV rows and terminal refreshes (default 1; the last step's row is always written)"},
    {O::Verbose, "verbose", A::None, "", 0, 0, "", In(M::Headless), kNoMode, false, false, false,
     "let the rule engine's printouts through"},
    {O::TraceRules, "trace-rules", A::Output, "FILE", 0, 0, "", In(M::Headless, M::Window), kNoMode, true,
     false, false, "one line per expert-system pass to FILE ('-': standard output)"},
    {O::Plot, "plot", A::Output, "FILE.svg", 0, 0, "", In(M::Headless, M::Sweep), kNoMode, true,
     false, false, "draw the run (headless) or the sweep's measures as an SVG ('-': standard output)"},

    {O::Vary, "vary", A::Text, "NAME=VALUES", 0, 0, "", In(M::Sweep), kNoMode, false, true, false,
     "run each value: A,B,C or FROM:TO:STEP (repeatable: the grid is the product)"},
    {O::Seeds, "seeds", A::Text, "A-B|N", 0, 0, "", kGrids, kNoMode, false, false, false,
     "the seeds of every grid point: A to B, or 1 to N (default 1; compare-rules: 1-20)"},
    {O::Jobs, "jobs", A::Whole, "J", 1, kMaxJobs, "", kGrids, kNoMode, false, false, false,
     "runs at a time (default: one per core)"},
    {O::Out, "out", A::Output, "FILE", 0, 0, "", In(M::Sweep, M::SummaryRun, M::Merge, M::CompareRules),
     kNoMode, true, false, false,
     "the summary file (sweep: results.csv; merge: standard output; '-': standard output), "
     "or the report's folder (compare-rules)"},
    {O::ListRuns, "list-runs", A::None, "", 0, 0, "", In(M::Sweep), kNoMode, false, false, false,
     "print one command line per run instead of running them"},
    {O::Runs, "runs", A::Text, "A-B", 0, 0, "", In(M::Sweep), kNoMode, false, false, false,
     "run only the runs A to B (from 1) of the list --list-runs prints"},
    {O::Chunk, "chunk", A::Whole, "K", 1, 1000000, "", In(M::Sweep), kNoMode, false, false, false,
     "with --list-runs: one line per K runs, each a sweep of its runs (--runs A-B)"},
    {O::Program, "program", A::Input, "PATH", 0, 0, "", In(M::Sweep), kNoMode, false, false,
     false, "the program the runs start (default: this one)"},
    {O::FilesFrom, "files-from", A::Input, "LIST", 0, 0, "", In(M::Merge), kNoMode, false, false,
     false, "more inputs, one name a line, from LIST ('-': standard input)"},
    {O::SeriesFolder, "series-folder", A::Text, "DIR", 0, 0, "", In(M::SummaryRun), kNoMode,
     false, false, true, "also write the run's course into DIR (for --compare-rules)"},

    {O::Format, "format", A::Choice, "text|csv", 0, 0, "text|csv", In(M::CheckRules), kNoMode,
     false, false, false, "a summary (text, default) or one CSV row per situation"},
};

const ModeRow kModes[kModeCount] = {
    {M::ScreenSaver, "screensaver", "[/s | /c | /p [WINDOW]] [OPTION]...",
     "An ant colony simulation shown as a screen saver.",
     "Modes (the letters of the first argument; the last of c, p, s wins):\n"
     "  (none), /s, -s, s   run full screen; any key or mouse movement ends it\n"
     "  /c, -c              show the About box\n"
     "  /p [WINDOW]         preview inside WINDOW; without one, end at once\n",
     false, -1},
    {M::Window, "window", "--window [OPTION]...",
     "Run the colony in an ordinary window with the menu, the keys and the dialogs.",
     "Keys: Ctrl+S options, Ctrl+N new sim, Alt+S pause/resume, Ctrl+T trails,\n"
     "  Ctrl+P texture, Ctrl+R reset camera, Ctrl+O / Ctrl+I expert system on / off,\n"
     "  Ctrl+E rules panel, F5 reload the rules, Ctrl+F nothing, Esc exit.\n"
     "The Rules menu also switches to any rule base of the gallery (--list-rules).\n",
     false, 0},
    {M::Terminal, "terminal", "--terminal [OPTION]...", "Draw the colony in this terminal.",
     "Keys: q or Esc quit, Space pause, t trails, e expert system, + and - pace,\n"
     "  n new colony, r the next rule base of the gallery (--list-rules).\n",
     false, 0},
    {M::Headless, "headless", "--headless [OPTION]...", "Run the ant colony simulation without a window.",
     "Without --steps the simulation runs at the live pace until Ctrl+C, SIGTERM,\n"
     "SIGHUP or a closed pipe. The statistics are printed at the end (to standard\n"
     "error when the CSV goes to standard output) and kept up to date while\n"
     "standard output is a terminal. The CSV holds whole rows only, however the\n"
     "run ends.\n"
     "\n"
     "Example: marrowick --headless --steps 100000 --seed 7 --csv run.csv --every 100\n"
     "\n"
     "Exit status: 0 success (a live run ended by a signal included), 1 an output\n"
     "could not be written, 2 bad usage, 128+N a --steps run stopped by signal N\n"
     "before its last step (standard error says after which step).\n",
     false, 0},
    {M::Sweep, "sweep", "--sweep [OPTION]...",
     "Run the simulation over a grid of settings and seeds, each run in a process of\n"
     "its own, and collect one summary row per run.",
     "Rows are appended to the summary file as runs finish, and runs already in it\n"
     "are skipped, so the same command resumes a sweep; while it runs, another\n"
     "sweep on the file is refused (--out - writes the rows on standard output,\n"
     "with nothing to resume). With --list-runs each line is a command that prints\n"
     "its row on standard output (or appends it to --out FILE when one is added);\n"
     "marrowick --merge collects them. --set shares=M/W/G/R\n"
     "and --vary shares=M/W/G/R,... give the meandering, wandering, gathering and\n"
     "reproducing shares together, so that they keep their sum of 100.\n"
     "\n"
     "Columns: the parameters, seed, steps, status (ok; expert-off or\n"
     "rules-not-loaded when the expert system failed; exit N or signal N),\n"
     "failed_passes, expert_off_step, final_population, mean_population,\n"
     "colony_deaths, final_food_reserves, mean_food_reserves, final_food_supply,\n"
     "mean_food_supply, the four mean_*_share, cut_off_passes, seconds. Means are\n"
     "over every step of the run.\n"
     "\n"
     "Example: marrowick --sweep --vary foodPerAnt=0.001:0.005:0.001 --seeds 1-20 \\\n"
     "           --steps 20000 --out food.csv --plot food.svg\n"
     "\n"
     "Exit status: 0 every run finished with status ok, 1 a run failed (or its\n"
     "expert system did) or a file could not be written, 2 bad usage, 128+N ended\n"
     "by signal N (run it again to go on).\n",
     false, 0},
    {M::SummaryRun, "summary-run", "--summary-run --seed S --steps N [OPTION]...",
     "One run of a sweep: build, step N times, append the summary row.", "", true, 0},
    {M::SweepWorker, "sweep-worker", "--sweep-worker",
     "A sweep's worker: the runs the sweep hands it on standard input, one after\n"
     "another in this process.",
     "", true, 0},
    {M::Merge, "merge", "--merge [FILE|FOLDER|-]... [--files-from LIST] [--out FILE]",
     "Collect summary rows made by the runs of marrowick --sweep --list-runs (started\n"
     "by GNU parallel, a batch system, ...) into one summary, each run once.",
     "An input is a file of rows ('-': rows on standard input) or a folder (every\n"
     "*.csv file in it, in name order). The summary goes to standard output unless\n"
     "--out names a file: rows are then appended to it, skipping the runs it holds\n"
     "already. A run's finished row wins over a failed one. Every input must have\n"
     "the same columns. The summary's lock keeps a sweep from writing FILE at the\n"
     "same time.\n"
     "\n"
     "Example: marrowick --merge rows --out results.csv\n"
     "\n"
     "Exit status: 0 merged, 1 a file could not be read or written, 2 bad usage.\n",
     false, -1},
    {M::CheckRules, "check-rules", "--check-rules [FILE] [--format text|csv]",
     "Check a rule base: load it, compare its templates with the facts the expert\n"
     "system asserts, and run one pass for each of the 729 combinations of the\n"
     "six symbols.",
     "FILE may also be a name of the gallery (--list-rules) where no such file is.\n"
     "Without FILE the rule base the program would use is checked: Rules.clp in the\n"
     "working directory, else yours in ~/.config/marrowick, else the built-in rules;\n"
     "nothing is written. Load errors go to standard error as FILE:LINE: lines.\n"
     "Exit status: 0 the file loads cleanly and every pass comes to rest,\n"
     "1 otherwise, 2 bad usage.\n",
     false, 1},
    {M::ListParameters, "list-parameters", "--list-parameters",
     "List every parameter --set, --vary and the dialogs take, with its range and\n"
     "default.",
     "", false, 0},
    {M::ListRules, "list-rules", "--list-rules",
     "List the gallery of rule bases that --rules NAME picks from: the shipped ones,\n"
     "then yours (~/.config/marrowick/rules/*.clp), each with its one-line\n"
     "description and where it comes from.",
     "A rule base names itself in the ;; lines it opens with:\n"
     "  ;; name: thrifty\n"
     "  ;; about: a small colony on a full store\n"
     "A file of yours without a name is known by its file name; one of the same\n"
     "name as a shipped rule base is used instead of it. Nothing is written.\n",
     false, 0},
    {M::CompareRules, "compare-rules",
     "--compare-rules A,B,... [--seeds A-B] [--steps N] --out DIR",
     "Run each rule base (a name of --list-rules, or a file) over the same seeds, as\n"
     "a sweep does, and report which keeps the colony best.",
     "The runs go to workers as a sweep's do, as many at a time as there are cores;\n"
     "their rows go to DIR/results.csv and their courses to DIR/series/, and runs\n"
     "already there are skipped, so the same command resumes a comparison. The\n"
     "report: a table on standard output and in DIR/comparison.csv (per rule base\n"
     "the mean and spread over the seeds of the population, the food reserves, the\n"
     "food per ant, colony deaths per 100,000 steps, the share of passes without a\n"
     "conclusion and the failed passes), DIR/KEY.svg with each rule base's mean\n"
     "curve against the steps and a band of one spread either side, and a verdict\n"
     "(also in DIR/report.txt). A rule base that does not load is reported as\n"
     "such; the others still run. Defaults: --seeds 1-20, --steps 10000.\n"
     "\n"
     "Example: marrowick --compare-rules default,thrifty,boom,forager --seeds 1-20 \\\n"
     "           --steps 100000 --out compare\n"
     "\n"
     "Exit status: 0 every rule base loaded and every run finished, 1 one did not\n"
     "(the report covers the rest) or a file could not be written, 2 bad usage,\n"
     "128+N ended by signal N (run it again to go on).\n",
     false, 1},
    {M::AddToXscreensaver, "add-to-xscreensaver", "--add-to-xscreensaver",
     "Add \"GL: marrowick --root\" to your list of screen savers in ~/.xscreensaver.",
     "The line goes after the list's last entry; every other line stays as it was,\n"
     "and the file as it was is kept in ~/.xscreensaver.marrowick.bak. Without the\n"
     "file, one is made that holds only the list; xscreensaver adds its own screen\n"
     "savers after it. Nothing changes when marrowick is listed already.\n"
     "Exit status: 0 done or nothing to do, 1 the file could not be read or\n"
     "written, 2 bad usage.\n",
     false, 0},
    {M::RemoveFromXscreensaver, "remove-from-xscreensaver", "--remove-from-xscreensaver",
     "Take marrowick out of your list of screen savers in ~/.xscreensaver.",
     "Every other line stays as it was, and the file as it was is kept in\n"
     "~/.xscreensaver.marrowick.bak.\n"
     "Exit status: 0 done or nothing to do, 1 the file could not be read or\n"
     "written, 2 bad usage.\n",
     false, 0},
};

struct Alias {
    const char* name;
    OptionId id;
};
constexpr Alias kAliases[] = {{"h", OptionId::Help}};

}  // namespace

const OptionRow& Option(OptionId id) {
    const int32_t index = static_cast<int32_t>(id);
    assert(index >= 0 && index < kOptionCount);
    assert(kOptions[index].id == id);
    return kOptions[index];
}

const ModeRow& ModeInfo(Mode mode) {
    const int32_t index = static_cast<int32_t>(mode);
    assert(index >= 0 && index < kModeCount);
    assert(kModes[index].mode == mode);
    return kModes[index];
}

const OptionRow* FindOption(const char* name, size_t length) {
    for (const OptionRow& row : kOptions) {
        if (std::strlen(row.name) == length && std::strncmp(row.name, name, length) == 0) {
            return &row;
        }
    }
    for (const Alias& alias : kAliases) {
        if (std::strlen(alias.name) == length && std::strncmp(alias.name, name, length) == 0) {
            return &Option(alias.id);
        }
    }
    return nullptr;
}
