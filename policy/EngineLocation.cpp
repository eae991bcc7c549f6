#include "policy/EngineLocation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// Folders are kept without a final slash; the root folder is "".
std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool Absent(int error) { return error == ENOENT || error == ENOTDIR; }

// Why the entry at path (a link, or what it names) could have been put there
// by someone other than root and owner, or empty when it could not.
std::string Untrusted(const std::string& path, uid_t owner) {
    struct stat entry {};
    struct stat target {};
    if (lstat(path.c_str(), &entry) != 0 || stat(path.c_str(), &target) != 0) {
        return path + " cannot be examined: " + std::strerror(errno);
    }
    for (const struct stat* info : {&entry, &target}) {
        if (info->st_uid != 0 && info->st_uid != owner) {
            return path + " belongs to user " + std::to_string(info->st_uid) +
                   ", who is neither root nor this program's owner";
        }
    }
    if ((target.st_mode & S_IWOTH) != 0) return path + " can be written by everyone";
    return {};
}

// A folder we start from may be written by everyone only when it is sticky
// (as /tmp is): then nobody can move what belongs to someone else.
std::string Unsafe(const std::string& folder) {
    struct stat info {};
    const std::string shown = folder.empty() ? "/" : folder;
    if (stat(shown.c_str(), &info) != 0) return shown + " cannot be examined: " + std::strerror(errno);
    if ((info.st_mode & S_IWOTH) != 0 && (info.st_mode & S_ISVTX) == 0) {
        return shown + " can be written by everyone";
    }
    return {};
}

enum class Verdict { Usable, Missing, Unusable };

// Whether path names a program we can run; problem says why not when it
// names something we cannot.
Verdict Runnable(const std::string& path, std::string& problem) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (Absent(errno)) return Verdict::Missing;
        problem = path + " cannot be reached: " + std::strerror(errno);
        return Verdict::Unusable;
    }
    if (!S_ISREG(info.st_mode)) {
        problem = path + " is not a regular file";
        return Verdict::Unusable;
    }
    if (access(path.c_str(), X_OK) != 0) {
        problem = path + " is not executable";
        return Verdict::Unusable;
    }
    return Verdict::Usable;
}

// The program at base/parts[0]/.../parts[n-1], where base is the prefix or
// the executable's folder: runnable, and nothing below base that leads to
// it could have been put there by a third user.
Verdict Examine(const std::string& base, std::initializer_list<const char*> parts, uid_t owner,
                std::string& path, std::string& problem) {
    path = base;
    for (const char* part : parts) path += std::string("/") + part;
    const Verdict verdict = Runnable(path, problem);
    if (verdict != Verdict::Usable) return verdict;
    std::string reason = Unsafe(base);
    std::string step = base;
    for (const char* part : parts) {
        if (!reason.empty()) break;
        step += std::string("/") + part;
        reason = Untrusted(step, owner);
    }
    if (reason.empty()) return Verdict::Usable;
    problem = path + " is not used: " + reason;
    return Verdict::Unusable;
}

bool Named(const char* name, const char* variable, const char* named, std::string& path,
           std::string& error) {
    const std::string prefix = std::string(variable) + " names " + named + ", which ";
    if (named[0] != '/') {
        error = std::string(variable) + " must give the absolute path of " + name + ", not \"" +
                named + "\"";
        return false;
    }
    std::string problem;
    switch (Runnable(named, problem)) {
        case Verdict::Usable:
            path = named;
            return true;
        case Verdict::Missing:
            error = prefix + "does not exist";
            return false;
        case Verdict::Unusable:
            error = std::string(variable) + ": " + problem;
            return false;
    }
    return false;
}

}  // namespace

bool LocateHelper(const char* name, const char* variable, const std::string& executable,
                  const char* named, uid_t owner, std::string& path, std::string& error) {
    path.clear();
    error.clear();
    if (named != nullptr && named[0] != '\0') return Named(name, variable, named, path, error);
    if (executable.empty() || executable[0] != '/') {
        error = "cannot tell where this program is (\"" + executable + "\")";
        return false;
    }
    const std::string bin = FolderOf(executable);
    const std::string prefix = FolderOf(bin);
    std::string installed;
    std::string beside;
    std::string problem;
    std::string besideProblem;
    if (Examine(prefix, {"libexec", "marrowick", name}, owner, installed, problem) ==
        Verdict::Usable) {
        path = installed;
        return true;
    }
    if (Examine(bin, {name}, owner, beside, besideProblem) == Verdict::Usable) {
        path = beside;
        return true;
    }
    // Something that is there but cannot be run says more than a list of
    // the places that are empty.
    if (problem.empty()) problem = besideProblem;
    if (problem.empty()) {
        problem = std::string(name) + " is not installed: there is neither " + installed +
                  " nor " + beside;
    }
    error = problem;
    return false;
}

bool FindHelperProgram(const char* name, const char* variable, std::string& path,
                       std::string& error) {
    // The kernel's own record of this program: its real path (links
    // resolved) and its owner, even after the file was replaced.
    char executable[4096];
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    struct stat self {};
    if (length <= 0 || static_cast<size_t>(length) >= sizeof executable - 1 ||
        stat("/proc/self/exe", &self) != 0) {
        error = std::string("cannot tell where this program is: ") +
                (length <= 0 ? std::strerror(errno) : "its path is too long");
        return false;
    }
    executable[length] = '\0';
    const char* named = variable != nullptr ? std::getenv(variable) : nullptr;
    return LocateHelper(name, variable, executable, named, self.st_uid, path, error);
}
