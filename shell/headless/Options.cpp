#include "shell/headless/Options.h"

#include <cstring>

#include "shell/StartUp.h"

int HeadlessOptionsFrom(const CommandLine& line, HeadlessOptions& options, std::string& error) {
    options = HeadlessOptions{};
    options.steps = line.Number(OptionId::Steps, -1);
    options.every = static_cast<int32_t>(line.Number(OptionId::Every, 1));
    options.csvPath = line.Text(OptionId::Csv);
    options.traceRulesPath = line.Text(OptionId::TraceRules);
    options.plotPath = line.Text(OptionId::Plot);
    if (options.plotPath != nullptr && options.steps < 0) {
        error = "--plot draws a run of a fixed length: give --steps N";
        return kExitUsage;
    }
    if (options.csvPath != nullptr && options.traceRulesPath != nullptr &&
        std::strcmp(options.csvPath, "-") == 0 && std::strcmp(options.traceRulesPath, "-") == 0) {
        error = "--csv and --trace-rules cannot both write to standard output";
        return kExitUsage;
    }
    StartRequest request;
    for (const auto& output : {std::make_pair(options.csvPath, "--csv"),
                               std::make_pair(options.traceRulesPath, "--trace-rules"),
                               std::make_pair(options.plotPath, "--plot")}) {
        if (output.first != nullptr) request.outputs.push_back({output.first, output.second});
    }
    return PrepareRun(line, request, options.run, error);
}
