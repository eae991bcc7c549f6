// Both command-line parsers on any argument list: the input's NUL-separated
// words are the arguments; a first word starting with '=' is instead the
// value of XSCREENSAVER_WINDOW.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "shell/CommandLine.h"
#include "shell/Headless.h"

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
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(words.size());

    CommandLine line;
    const bool ok = ParseCommandLine(argc, argv.data(), hasEnvironment ? environment.c_str() : nullptr,
                                     line);
    // A refusal always says why, on one line.
    if (!ok && (line.launch != Launch::Error || line.error[0] == '\0' ||
                std::strchr(line.error, '\n') != nullptr)) {
        __builtin_trap();
    }

    HeadlessOptions options;
    char error[512] = {};
    if (ParseHeadlessOptions(argc, argv.data(), options, error, sizeof error) ==
        HeadlessCommand::Error) {
        if (error[0] == '\0' || std::strchr(error, '\n') != nullptr) __builtin_trap();
    } else if (options.every < 1 || options.steps < -1 || options.rate < 5 || options.rate > 1000) {
        __builtin_trap();
    }
    for (int i = 1; i < argc; ++i) {
        IsHeadlessSwitch(argv[i]);
        uint64_t id = 0;
        if (ParseWindowId(argv[i], id) && id == 0) __builtin_trap();
    }
    return 0;
}
