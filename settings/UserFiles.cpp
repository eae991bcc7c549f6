#include "settings/UserFiles.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "foundation/RegularFile.h"
#include "policy/RuleBaseFile.h"
#include "policy/RuleBaseText.h"

namespace {

constexpr mode_t kPrivateFolderMode = 0700;  // what XDG asks for folders it makes
// A rule base larger than this is not one the program wrote: never compared.
constexpr int64_t kMaxComparedBytes = 1 << 20;

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

// A file that already exists in the working directory or the user's folder.
bool Existing(const UserFileInputs& inputs, const std::string& userFolder, const char* name,
              FileChoice& choice) {
    const std::string local = Join(inputs.workingFolder, name);
    if (Exists(local)) {
        // Never written here: a copy in the working directory is the user's.
        choice = {local, FileOrigin::WorkingDirectory, false};
        return true;
    }
    if (!userFolder.empty()) {
        const std::string mine = Join(userFolder, name);
        if (Exists(mine)) {
            choice = {mine, FileOrigin::UserFolder, Writable(mine)};
            return true;
        }
    }
    return false;
}

// Nothing of the user's: the installed rule base, else the built-in text.
FileChoice InstalledRules(const std::string& dataFolder) {
    const std::string installed =
        dataFolder.empty() ? std::string() : Join(dataFolder, UserFiles::kRulesName);
    if (!installed.empty() && Exists(installed)) {
        return {installed, FileOrigin::DataFolder, false};
    }
    return {};
}

// ---- the first-use copy's stamp ----

// FNV-1a, 64 bits: enough to tell the texts one program version wrote apart.
uint64_t TextHash(const char* text, size_t length) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < length; ++i) {
        hash ^= static_cast<unsigned char>(text[i]);
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string StampText(const char* text, size_t length) {
    char line[64];
    std::snprintf(line, sizeof line, "fnv1a64 %016" PRIx64 " %zu\n", TextHash(text, length),
                  length);
    return line;
}

// The whole of a small regular file; false for anything else.
bool ReadSmallFile(const std::string& path, std::string& text) {
    const OpenedFile opened = OpenRegularFile(path.c_str(), O_RDONLY);
    if (!opened.Ok()) return false;
    bool ok = opened.size <= kMaxComparedBytes;
    text.clear();
    char buffer[8192];
    while (ok) {
        const ssize_t n = read(opened.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        ok = text.size() <= static_cast<size_t>(kMaxComparedBytes);
    }
    close(opened.fd);
    return ok;
}

// Writes text under a temporary name beside path and renames it into place:
// a reader sees the old file or the new one, never half of one.
bool ReplaceFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + "." + std::to_string(getpid()) + ".new";
    std::FILE* file = std::fopen(temporary.c_str(), "wbx");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
    std::remove(temporary.c_str());
    return false;
}

// Brings an unedited first-use copy up to date with the built-in rules.
void FollowBuiltInRules(const std::string& rulesPath, const std::string& stampPath) {
    const std::string builtInStamp = StampText(kRuleBaseText, kRuleBaseLength);
    std::string copy;
    if (!ReadSmallFile(rulesPath, copy)) return;
    const std::string copyStamp = StampText(copy.data(), copy.size());
    std::string stamp;
    if (!ReadSmallFile(stampPath, stamp)) {
        // Made by a version without stamps: only a copy that is the built-in
        // text is known to be unedited.
        if (copyStamp == builtInStamp) ReplaceFile(stampPath, builtInStamp);
        return;
    }
    // Edited since it was written, or already current: the user's, or done.
    if (copyStamp != stamp || copyStamp == builtInStamp) return;
    // A copy the user made read-only is not to be touched either.
    if (!Writable(rulesPath)) return;
    const std::string builtIn(kRuleBaseText, kRuleBaseLength);
    if (ReplaceFile(rulesPath, builtIn)) ReplaceFile(stampPath, builtInStamp);
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

UserFiles LookUpUserFiles(const UserFileInputs& inputs) {
    UserFiles plan;
    plan.userFolder = UserFolderPath(inputs);
    plan.dataFolder = inputs.dataFolder;
    if (!Existing(inputs, plan.userFolder, UserFiles::kRulesName, plan.rules)) {
        plan.rules = InstalledRules(plan.dataFolder);
    }
    if (!inputs.wantSettings) {
        plan.settings.origin = FileOrigin::Unused;
    } else if (!Existing(inputs, plan.userFolder, UserFiles::kSettingsName, plan.settings)) {
        plan.settings = {};
    }
    return plan;
}

UserFiles PlanUserFiles(const UserFileInputs& inputs) {
    UserFiles plan;
    plan.userFolder = UserFolderPath(inputs);
    plan.dataFolder = inputs.dataFolder;

    // 1 and 2: a file that exists already.
    const bool haveRules = Existing(inputs, plan.userFolder, UserFiles::kRulesName, plan.rules);
    if (!inputs.wantSettings) plan.settings.origin = FileOrigin::Unused;
    const bool haveSettings =
        !inputs.wantSettings ||
        Existing(inputs, plan.userFolder, UserFiles::kSettingsName, plan.settings);
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
    if (!haveRules) plan.rules = InstalledRules(plan.dataFolder);
    if (!haveSettings) plan.settings = {};  // the built-in defaults
    return plan;
}

void ProvideUserRuleBase(UserFiles& files) {
    if (files.rules.origin != FileOrigin::UserFolder) return;
    const std::string stampPath = Join(files.userFolder, UserFiles::kStampName);
    if (Exists(files.rules.path)) {
        FollowBuiltInRules(files.rules.path, stampPath);
        return;
    }
    int error = 0;
    if (ProvideRuleBaseAt(files.rules.path.c_str(), error)) {
        ReplaceFile(stampPath, StampText(kRuleBaseText, kRuleBaseLength));
        return;
    }
    files.problem = "cannot write " + files.rules.path + ": " + std::strerror(error);
    files.rules = InstalledRules(files.dataFolder);
}

std::string DescribeFallback(const UserFiles& files) {
    if (files.problem.empty()) return {};
    std::string text = files.problem;
    if (files.rules.origin == FileOrigin::DataFolder) {
        text += "; the rule base is read from " + files.rules.path;
    } else if (files.rules.origin == FileOrigin::BuiltIn) {
        text += "; the built-in rules are used";
    }
    if (files.settings.origin == FileOrigin::BuiltIn) {
        text += "; the settings are the built-in ones";
    }
    return text;
}
