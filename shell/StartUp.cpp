#include "shell/StartUp.h"

#include <sys/stat.h>

#include <cstdio>

#include "policy/RuleGallery.h"
#include "settings/CommandFiles.h"
#include "settings/SettingsRecords.h"
#include "settings/UserFiles.h"
#include "settings/UserGallery.h"
#include "simulation/Simulation.h"

namespace {

using P = ParameterId;

std::string Join(const std::string& folder, const char* name) {
    return folder.empty() ? std::string(name) : folder + "/" + name;
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The command line's layer: the options first, then every --set in order.
bool ApplyOptions(const CommandLine& line, RunDescription& run, std::string& error) {
    auto number = [](int64_t value) {
        ParameterValue v;
        v.number = static_cast<double>(value);
        return v;
    };
    if (line.Has(OptionId::Rate)) run.Set(P::SimsPerSecond, number(line.Number(OptionId::Rate, 0)));
    if (line.Has(OptionId::RenderMulti)) {
        run.Set(P::RenderingMulti, number(line.Number(OptionId::RenderMulti, 0)));
    }
    if (line.Has(OptionId::Seed)) run.seed = static_cast<uint32_t>(line.Number(OptionId::Seed, 1));
    run.showTrails = run.showTrails && !line.Has(OptionId::NoTrails);
    run.expertSystem = run.expertSystem && !line.Has(OptionId::NoExpertSystem);
    run.texture = run.texture || line.Has(OptionId::Texture);
    run.rulesPanel = run.rulesPanel || line.Has(OptionId::RulesPanel);
    run.verbose = run.verbose || line.Has(OptionId::Verbose);
    if (const char* rules = line.Text(OptionId::Rules)) {
        ParameterValue value;
        if (!ParseParameterValue(P::Rules, rules, value, error)) return false;
        run.Set(P::Rules, value);
    }
    for (const OptionValue& given : line.options) {
        if (given.id != OptionId::Set) continue;
        std::vector<Setting> settings;
        if (!ParseSetting(given.text, settings, error)) return false;
        for (const Setting& setting : settings) run.Set(setting);
    }
    return true;
}

// The rule base a --rules (or --set rules=) value names: a file, or a name
// of the gallery (shipped, or in the user's rules folder).
bool ResolveRules(const std::string& value, const UserFiles& looked, RunDescription& run,
                  std::string& error) {
    const RuleGallery gallery = UserRuleGallery(looked);
    RuleBaseEntry choice;
    if (!ChooseRuleBase(gallery, value, choice, error)) return false;
    run.rulesName = choice.name;
    if (choice.origin == RuleBaseOrigin::Shipped) {
        run.rulesText = choice.text;
        run.rulesLength = choice.length;
        return true;
    }
    if (!IsRegularFile(choice.path)) {
        error = "--rules " + Printable(value.c_str()) + ": no such rule base file";
        return false;
    }
    run.rulesPath = choice.path;
    return true;
}

}  // namespace

int PrepareRun(const CommandLine& line, const StartRequest& request, RunDescription& run,
               std::string& error) {
    run = RunDescription{};
    UserFileInputs inputs = UserFileInputsFromEnvironment();
    inputs.wantSettings = request.readsSettingsFile;
    const UserFiles looked = LookUpUserFiles(inputs);
    run.dataFolder = looked.dataFolder;

    std::string textureName;
    if (request.readsSettingsFile) {
        std::vector<std::string> warnings;
        ReadSettingsRecords(looked.settings.path, run, warnings, &textureName);
        for (const std::string& warning : warnings) {
            std::fprintf(stderr, "%s: %s\n", kProgramName, warning.c_str());
        }
    }
    if (!ApplyOptions(line, run, error) || !CheckRun(run, error)) return kExitUsage;

    if (run.Given(P::Rules)) {
        if (!ResolveRules(run.Text(P::Rules), looked, run, error)) return kExitUsage;
    } else {
        run.rulesPath = looked.rules.path;
    }
    if (request.readsSettingsFile) run.settingsPath = looked.settings.path;

    return CheckOutputs(request.outputs, {}, error, &run, textureName);
}

int CheckOutputs(const std::vector<RunOutput>& outputs, const std::vector<RunOutput>& inputs,
                 std::string& error, const RunDescription* run, const std::string& textureName) {
    const UserFileInputs where = UserFileInputsFromEnvironment();
    const std::string userFolder = UserFolderPath(where);
    CommandFiles files;
    if (run != nullptr) files.Input(run->rulesPath, "the rule base");
    for (const char* name : {UserFiles::kRulesName, UserFiles::kSettingsName}) {
        const char* role = name == UserFiles::kRulesName ? "where a rule base is read from"
                                                          : "where the settings are read from";
        files.Input(Join(where.workingFolder, name), role);
        if (!userFolder.empty()) files.Input(Join(userFolder, name), role);
    }
    if (!where.dataFolder.empty()) files.Input(Join(where.dataFolder, "texture.bmp"), "the texture");
    // The texture as the view finds it: the name as given, else its file name
    // in the data folder (a Windows path names it by its last part).
    if (!textureName.empty()) {
        files.Input(textureName, "the texture");
        const size_t cut = textureName.find_last_of("/\\");
        const std::string fileName = cut == std::string::npos ? textureName : textureName.substr(cut + 1);
        if (!where.dataFolder.empty() && !fileName.empty()) {
            files.Input(Join(where.dataFolder, fileName.c_str()), "the texture");
        }
    }
    for (const RunOutput& input : inputs) files.Input(input.path, input.role);
    for (const RunOutput& output : outputs) files.Output(output.path, output.role);
    switch (files.Check(error)) {
        case CommandFiles::Verdict::Ok: return kExitOk;
        case CommandFiles::Verdict::Conflict: return kExitUsage;
        case CommandFiles::Verdict::Unwritable: return kExitFailure;
    }
    return kExitUsage;
}

void ProvideRunFiles(RunDescription& run, bool readsSettingsFile) {
    UserFileInputs inputs = UserFileInputsFromEnvironment();
    inputs.wantSettings = readsSettingsFile;
    UserFiles files = PlanUserFiles(inputs);
    ProvideUserRuleBase(files);
    const std::string fallback = DescribeFallback(files);
    if (!fallback.empty()) std::fprintf(stderr, "%s: %s\n", kProgramName, fallback.c_str());
    if (!run.Given(P::Rules)) {
        run.rulesPath = files.rules.path;
        run.rulesName = run.rulesPath.empty() ? std::string(RuleGallery::kDefaultName)
                                              : RuleBaseNameOfFile(run.rulesPath);
    }
    run.dataFolder = files.dataFolder;
    if (readsSettingsFile) {
        run.settingsPath = files.settings.path;
        run.settingsWritable = files.settings.writable;
    }
}
