#include "shell/UserFiles.h"

#include <cstdio>

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr mode_t kPrivateFolderMode = 0700;  // what XDG asks for folders it makes

bool Exists(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Writable(const std::string& path) { return access(path.c_str(), W_OK) == 0; }

std::string Join(const std::string& folder, const char* name) {
    return folder.empty() ? std::string(name) : folder + "/" + name;
}

std::string ParentOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

// Makes one folder; true when it exists afterwards (made now or by a second
// instance at the same moment).
bool MakeFolder(const std::string& path, std::string& problem) {
    if (mkdir(path.c_str(), kPrivateFolderMode) == 0 || (errno == EEXIST && IsFolder(path))) {
        return true;
    }
    problem = "cannot make " + path + ": " + std::strerror(errno);
    return false;
}

// The user's folder, made when missing: the configuration folder above it
// too, but never the home folder or anything higher.
bool PrepareUserFolder(const std::string& folder, std::string& problem) {
    if (!IsFolder(folder)) {
        if (Exists(folder)) {
            problem = folder + " is not a folder";
            return false;
        }
        const std::string configFolder = ParentOf(folder);
        if (!IsFolder(configFolder)) {
            const std::string above = ParentOf(configFolder);
            if (!IsFolder(above)) {
                problem = "cannot make " + folder + ": " + above + " does not exist";
                return false;
            }
            if (!MakeFolder(configFolder, problem)) return false;
        }
        if (!MakeFolder(folder, problem)) return false;
    }
    if (!Writable(folder)) {
        problem = "cannot write in " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

std::string UserFolderPath(const UserFileInputs& inputs) {
    // XDG: a relative XDG_CONFIG_HOME is invalid and ignored.
    if (!inputs.xdgConfigHome.empty() && inputs.xdgConfigHome[0] == '/') {
        return Join(inputs.xdgConfigHome, UserFiles::kFolderName);
    }
    if (!inputs.home.empty() && inputs.home[0] == '/') {
        return Join(Join(inputs.home, ".config"), UserFiles::kFolderName);
    }
    return {};
}

std::string InstalledDataFolder() {
    char executable[PATH_MAX];
    if (realpath("/proc/self/exe", executable) == nullptr) return {};
    // <prefix>/bin/marrowick -> <prefix>/share/marrowick
    std::string prefix = ParentOf(ParentOf(executable));
    if (prefix == "/") prefix.clear();
    const std::string folder = prefix + "/share/marrowick";
    // A build tree has no such folder beside it; an install always has the
    // rule base in it.
    if (!Exists(Join(folder, UserFiles::kRulesName))) return {};
    return folder;
}

UserFileInputs UserFileInputsFromEnvironment() {
    UserFileInputs inputs;
    if (const char* value = std::getenv("XDG_CONFIG_HOME")) inputs.xdgConfigHome = value;
    if (const char* value = std::getenv("HOME")) inputs.home = value;
    inputs.dataFolder = InstalledDataFolder();
    return inputs;
}

UserFiles PlanUserFiles(const UserFileInputs& inputs) {
    UserFiles plan;
    plan.userFolder = UserFolderPath(inputs);
    plan.dataFolder = inputs.dataFolder;

    // 1 and 2: a file that exists already.
    auto existing = [&](const char* name, FileChoice& choice) {
        const std::string local = Join(inputs.workingFolder, name);
        if (Exists(local)) {
            choice = {local, FileOrigin::WorkingDirectory, Writable(local)};
            return true;
        }
        if (!plan.userFolder.empty()) {
            const std::string mine = Join(plan.userFolder, name);
            if (Exists(mine)) {
                choice = {mine, FileOrigin::UserFolder, Writable(mine)};
                return true;
            }
        }
        return false;
    };
    const bool haveRules = existing(UserFiles::kRulesName, plan.rules);
    if (!inputs.wantSettings) plan.settings.origin = FileOrigin::Unused;
    const bool haveSettings =
        !inputs.wantSettings || existing(UserFiles::kSettingsName, plan.settings);
    if (haveRules && haveSettings) return plan;

    // 3: made in the user's folder.
    if (plan.userFolder.empty()) {
        plan.problem = "no home folder (HOME and XDG_CONFIG_HOME are unset or relative)";
    } else {
        plan.userFolderReady = PrepareUserFolder(plan.userFolder, plan.problem);
    }
    if (plan.userFolderReady) {
        if (!haveRules) {
            plan.rules = {Join(plan.userFolder, UserFiles::kRulesName), FileOrigin::UserFolder, true};
        }
        if (!haveSettings) {
            plan.settings = {Join(plan.userFolder, UserFiles::kSettingsName),
                             FileOrigin::UserFolder, true};
        }
        return plan;
    }

    // 4: nothing can be written.
    if (!haveRules) {
        const std::string installed =
            plan.dataFolder.empty() ? std::string() : Join(plan.dataFolder, UserFiles::kRulesName);
        if (!installed.empty() && Exists(installed)) {
            plan.rules = {installed, FileOrigin::DataFolder, false};
        } else {
            plan.rules = {Join(inputs.workingFolder, UserFiles::kRulesName), FileOrigin::Fallback,
                          true};
        }
    }
    if (!haveSettings) plan.settings = {};  // the built-in defaults
    return plan;
}

std::string DescribeFallback(const UserFiles& files) {
    if (files.problem.empty()) return {};
    std::string text = files.problem;
    if (files.rules.origin == FileOrigin::DataFolder || files.rules.origin == FileOrigin::Fallback) {
        text += "; the rule base is read from " + files.rules.path;
    }
    if (files.settings.origin == FileOrigin::BuiltIn) {
        text += "; the settings are the built-in ones";
    }
    return text;
}

std::string PlanRulesOnly() {
    UserFileInputs inputs = UserFileInputsFromEnvironment();
    inputs.wantSettings = false;
    const UserFiles files = PlanUserFiles(inputs);
    const std::string fallback = DescribeFallback(files);
    if (!fallback.empty()) std::fprintf(stderr, "marrowick: %s\n", fallback.c_str());
    return files.rules.path;
}
