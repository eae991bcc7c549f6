// The one command-line parser, and the mode's own reading of what it took
// (the run description, the sweep's plan), on any argument list: the input's
// NUL-separated words are the arguments; a first word starting with '=' is
// instead the value of XSCREENSAVER_WINDOW. Nothing is run, opened or written.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/ParameterValue.h"
#include "settings/RunDescription.h"
#include "shell/CommandLine.h"
#include "shell/experiments/SweepPlan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words;
    words.emplace_back("marrowick");
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word.push_back(static_cast<char>(data[i]));
        }
    }
    words.push_back(word);
    std::string environment;
    const bool hasEnvironment = words.size() > 1 && !words[1].empty() && words[1][0] == '=';
    if (hasEnvironment) {
        environment = words[1].substr(1);
        words.erase(words.begin() + 1);
    }
    std::vector<const char*> argv;
    for (std::string& w : words) argv.push_back(w.c_str());
    const int argc = static_cast<int>(words.size());

    CommandLine line;
    std::string error;
    const bool ok = ParseCommandLine(argc, argv.data(), hasEnvironment ? environment.c_str() : nullptr,
                                     line, error);
    // A refusal always says why, on one line.
    if (!ok) {
        if (error.empty() || error.find('\n') != std::string::npos) __builtin_trap();
        return 0;
    }
    // Every option taken belongs to the mode, and a number lies in its range.
    for (const OptionValue& given : line.options) {
        const OptionRow& row = Option(given.id);
        if ((row.modes & In(line.mode)) == 0) __builtin_trap();
        if (row.arg == ArgKind::Whole && (given.number < row.low || given.number > row.high)) {
            __builtin_trap();
        }
    }
    if (line.hasForeignWindow && line.foreignWindow == 0) __builtin_trap();
    // The values the modes read further: --set, --vary, --seeds.
    for (const OptionValue& given : line.options) {
        if (given.id == OptionId::Set) {
            std::vector<Setting> settings;
            std::string message;
            if (!ParseSetting(given.text, settings, message) &&
                (message.empty() || message.find('\n') != std::string::npos)) {
                __builtin_trap();
            }
            RunDescription run;
            for (const Setting& setting : settings) run.Set(setting);
            CheckRun(run, message);
        }
    }
    if (line.mode == Mode::Sweep) {
        SweepPlan plan;
        std::string message;
        if (SweepPlanFrom(line, plan, message)) {
            if (plan.RunCount() > SweepPlan::kMaxRuns || plan.seeds.empty()) __builtin_trap();
        } else if (message.empty() || message.find('\n') != std::string::npos) {
            __builtin_trap();
        }
    }
    return 0;
}
