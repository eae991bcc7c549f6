#include "settings/CommandFiles.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool IsStandardOutput(const std::string& path) { return path == "-"; }

std::string FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    if (cut == std::string::npos) return ".";
    return cut == 0 ? "/" : path.substr(0, cut);
}

std::string NameOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Two names for one file: the same inode when both exist, else the same
// resolved path.
bool SameFile(const std::string& a, const std::string& b) {
    struct stat infoA {};
    struct stat infoB {};
    const bool hasA = stat(a.c_str(), &infoA) == 0;
    const bool hasB = stat(b.c_str(), &infoB) == 0;
    // /dev/null and the terminal take any number of writers.
    if (hasA && S_ISCHR(infoA.st_mode)) return false;
    if (hasA && hasB) return infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino;
    if (hasA != hasB) return false;
    const std::string resolvedA = ResolvedPath(a);
    return !resolvedA.empty() && resolvedA == ResolvedPath(b);
}

// Why path cannot be written as a file, or empty.
std::string WriteProblem(const std::string& path, bool folder) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        if (folder) {
            if (!S_ISDIR(info.st_mode)) return "is not a folder";
            return access(path.c_str(), W_OK) == 0 ? "" : std::strerror(errno);
        }
        if (S_ISDIR(info.st_mode)) return "is a folder";
        return access(path.c_str(), W_OK) == 0 ? "" : std::strerror(errno);
    }
    if (errno != ENOENT) return std::strerror(errno);
    const std::string parent = FolderOf(path);
    if (stat(parent.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return "its folder " + parent + " does not exist";
    }
    return access(parent.c_str(), W_OK) == 0 ? "" : std::string(std::strerror(errno)) +
                                                       " (in " + parent + ")";
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
    char folder[PATH_MAX];
    if (realpath(FolderOf(path).c_str(), folder) == nullptr) return {};
    const std::string name = NameOf(path);
    return std::string(folder) + (std::strcmp(folder, "/") == 0 ? "" : "/") + name;
}

void CommandFiles::Input(const std::string& path, const std::string& role) {
    if (!path.empty() && !IsStandardOutput(path)) entries.push_back({path, role, Entry::Kind::Input});
}

void CommandFiles::Output(const std::string& path, const std::string& role) {
    if (!path.empty() && !IsStandardOutput(path)) {
        entries.push_back({path, role, Entry::Kind::Output});
    }
}

void CommandFiles::OutputFolder(const std::string& path, const std::string& role) {
    if (!path.empty()) entries.push_back({path, role, Entry::Kind::Folder});
}

CommandFiles::Verdict CommandFiles::Check(std::string& error) const {
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& output = entries[i];
        if (output.kind == Entry::Kind::Input) continue;
        for (size_t j = 0; j < entries.size(); ++j) {
            const Entry& other = entries[j];
            if (j == i || (other.kind != Entry::Kind::Input && j > i)) continue;
            if (!SameFile(output.path, other.path)) continue;
            error = output.role + " " + output.path + " is " + other.role +
                    (other.kind == Entry::Kind::Input ? "; it would be overwritten"
                                                      : "; give each output a file of its own");
            return Verdict::Conflict;
        }
        const std::string problem = WriteProblem(output.path, output.kind == Entry::Kind::Folder);
        if (!problem.empty()) {
            error = "cannot write " + output.role + " " + output.path + ": " + problem;
            return Verdict::Unwritable;
        }
    }
    return Verdict::Ok;
}
