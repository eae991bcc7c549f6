#include "shell/headless/Options.h"

#include <cstdio>
#include <cstring>

#include "shell/CommandLine.h"
#include "simulation/SimulationThread.h"

namespace {

constexpr const char* kProgram = "marrowick";

// Plain decimal digits only: no sign, blank or suffix slips through.
bool ParseNumber(const char* text, uint64_t min, uint64_t max, uint64_t& value) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    uint64_t result = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') {
            return false;
        }
        result = result * 10 + static_cast<uint64_t>(*c - '0');
        if (result > max) {
            return false;
        }
    }
    if (result < min) {
        return false;
    }
    value = result;
    return true;
}

struct NumberOption {
    const char* name;
    uint64_t min;
    uint64_t max;
};

constexpr NumberOption kSteps{"--steps", 0, 2147483647u};
constexpr NumberOption kRate{"--rate", static_cast<uint64_t>(kMinSimsPerSecond),
                             static_cast<uint64_t>(kMaxSimsPerSecond)};
constexpr NumberOption kSeed{"--seed", 0, 4294967295u};
constexpr NumberOption kEvery{"--every", 1, 2147483647u};

}  // namespace

const char kHeadlessUsage[] =
    "Usage: marrowick --headless [--steps N] [--rate R] [--seed N] [--csv FILE|-] [--every K] "
    "[--verbose]\n"
    "                          [--set NAME=VALUE]... [--plot FILE.svg] [--trace-rules FILE|-]\n";

const char kHeadlessHelp[] =
    "Usage: marrowick --headless [OPTION]...\n"
    "Run the ant colony simulation without a window.\n"
    "\n"
    "  --steps N      run N steps as fast as possible, then end; without it the\n"
    "                 simulation runs at the live pace until Ctrl+C, SIGTERM,\n"
    "                 SIGHUP or a closed pipe\n"
    "  --rate R       live pace in steps per second, 5 to 1000 (default 40)\n"
    "  --seed N       initial state of the random source, 0 to 4294967295\n"
    "                 (default 1: every unseeded run is the same)\n"
    "  --csv FILE     write a statistics row every K steps to FILE, with a header\n"
    "                 row; '-' writes to standard output\n"
    "  --every K      steps between CSV rows and terminal refreshes (default 1);\n"
    "                 a run of N steps also writes the row of step N\n"
    "  --verbose      let the rule engine's printouts through (to standard error\n"
    "                 when the CSV goes to standard output)\n"
    "  --trace-rules FILE  write one line per expert-system pass to FILE ('-':\n"
    "                 standard output): the step, the six symbols, the rules fired,\n"
    "                 the conclusions and the four shares before and after\n"
    "  --set NAME=VALUE  set a parameter before the first step (repeatable;\n"
    "                 marrowick --list-parameters lists them)\n"
    "  --plot FILE.svg   draw the population, food reserves and food supply\n"
    "                 against the steps when the run ends\n"
    "  --help         display this help and exit\n"
    "  --version      output version information and exit\n"
    "\n"
    "The statistics are printed at the end (to standard error when the CSV goes\n"
    "to standard output) and kept up to date while standard output is a terminal.\n"
    "The rule base is Rules.clp in the working directory when it is there,\n"
    "otherwise the user's copy in $XDG_CONFIG_HOME/marrowick (~/.config/marrowick),\n"
    "written there from the built-in rules when it is missing.\n"
    "\n"
    "Example: marrowick --headless --steps 100000 --seed 7 --csv run.csv --every 100\n"
    "\n"
    "The CSV holds whole rows only, however the run ends.\n"
    "\n"
    "Exit status: 0 success (a live run ended by a signal included), 1 an output\n"
    "could not be written, 2 bad usage, 128+N a --steps run stopped by signal N\n"
    "before its last step (standard error says after which step).\n";

HeadlessCommand ParseHeadlessOptions(int argc, char** argv, HeadlessOptions& options,
                                     char* error, size_t errorCapacity) {
    // format: "%s: ... '%s' ...": the program's name, then the argument.
    char printable[256];
    auto fail = [&](const char* format, const char* arg) {
        PrintableArgument(arg, printable, sizeof printable);
        std::snprintf(error, errorCapacity, format, kProgram, printable);
        return HeadlessCommand::Error;
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (IsHeadlessSwitch(arg)) {
            if (std::strchr(arg, '=') != nullptr) {
                return fail("%s: option '%s' doesn't allow an argument", arg);
            }
            continue;
        }
        if (std::strcmp(arg, "--help") == 0) {
            return HeadlessCommand::Help;
        }
        if (std::strcmp(arg, "--version") == 0) {
            return HeadlessCommand::Version;
        }
        if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
            continue;
        }
        if (std::strncmp(arg, "--", 2) != 0 || arg[2] == '\0') {
            return fail("%s: unexpected argument '%s'", arg);
        }

        // Options with a value: "--name value" or "--name=value".
        const char* equals = std::strchr(arg, '=');
        const size_t nameLength = equals != nullptr ? static_cast<size_t>(equals - arg)
                                                    : std::strlen(arg);
        auto named = [&](const char* name) {
            return std::strlen(name) == nameLength && std::strncmp(arg, name, nameLength) == 0;
        };
        const NumberOption* number = nullptr;
        for (const NumberOption* candidate : {&kSteps, &kRate, &kSeed, &kEvery}) {
            if (named(candidate->name)) {
                number = candidate;
            }
        }
        const bool isCsv = named("--csv");
        const bool isTrace = named("--trace-rules");
        if (number == nullptr && !isCsv && !isTrace) {
            if (equals != nullptr && (named("--verbose") || named("--help") ||
                                      named("--version") || named("--headless"))) {
                return fail("%s: option '%s' doesn't allow an argument", arg);
            }
            return fail("%s: unrecognized option '%s'", arg);
        }
        const char* value = nullptr;
        if (equals != nullptr) {
            value = equals + 1;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            return fail("%s: option '%s' requires an argument", arg);
        }

        if (isTrace) {
            if (*value == '\0') {
                std::snprintf(error, errorCapacity,
                              "%s: option '--trace-rules' needs a file name or '-'", kProgram);
                return HeadlessCommand::Error;
            }
            options.traceRulesPath = value;
            continue;
        }
        if (isCsv) {
            if (*value == '\0') {
                std::snprintf(error, errorCapacity, "%s: option '--csv' needs a file name or '-'",
                              kProgram);
                return HeadlessCommand::Error;
            }
            options.csvPath = value;
            continue;
        }
        uint64_t parsed = 0;
        if (!ParseNumber(value, number->min, number->max, parsed)) {
            PrintableArgument(value, printable, sizeof printable);
            std::snprintf(error, errorCapacity,
                          "%s: invalid value '%s' for %s (expected a whole number from %llu to %llu)",
                          kProgram, printable, number->name,
                          static_cast<unsigned long long>(number->min),
                          static_cast<unsigned long long>(number->max));
            return HeadlessCommand::Error;
        }
        if (number == &kSteps) {
            options.steps = static_cast<int64_t>(parsed);
        } else if (number == &kRate) {
            options.rate = static_cast<int32_t>(parsed);
        } else if (number == &kSeed) {
            options.seed = static_cast<uint32_t>(parsed);
        } else {
            options.every = static_cast<int32_t>(parsed);
        }
    }
    return HeadlessCommand::Run;
}
