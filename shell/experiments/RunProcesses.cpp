#include "shell/experiments/RunProcesses.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "shell/experiments/SummaryRow.h"

extern char** environ;

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// posix_spawn's attribute and file-action objects, released whatever happens.
class SpawnSetup {
public:
    SpawnSetup() {
        attrOk = posix_spawnattr_init(&attr) == 0;
        actionsOk = posix_spawn_file_actions_init(&actions) == 0;
    }
    ~SpawnSetup() {
        if (actionsOk) posix_spawn_file_actions_destroy(&actions);
        if (attrOk) posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool attrOk = false;
    bool actionsOk = false;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
};

}  // namespace

bool ResolveThisProgram(const char* argv0, std::string& path) {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) {
        buffer[length] = '\0';
        path = buffer;
        return true;
    }
    if (argv0 == nullptr || *argv0 == '\0') return false;
    if (std::strchr(argv0, '/') != nullptr) {
        if (realpath(argv0, buffer) == nullptr) return false;
        path = buffer;
        return IsExecutableFile(path);
    }
    const char* search = std::getenv("PATH");
    std::string dirs = search != nullptr ? search : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + argv0;
        if (IsExecutableFile(candidate) && realpath(candidate.c_str(), buffer) != nullptr) {
            path = buffer;
            return true;
        }
        start = end + 1;
    }
    return false;
}

int32_t AvailableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return CPU_COUNT(&set);
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int32_t>(online) : 1;
}

std::string ShellQuoted(const std::string& word) {
    bool plain = !word.empty();
    for (char c : word) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || std::strchr("_./=:,+-@%", c) != nullptr;
        plain = plain && safe;
    }
    if (plain) return word;
    std::string quoted = "'";
    for (char c : word) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string ShellCommand(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        line += ShellQuoted(word);
    }
    return line;
}

bool SpawnProcess(const std::vector<std::string>& argv, int stdinFd, int stdoutFd, int stderrFd,
                  const std::vector<std::string>& extraEnvironment, pid_t& pid,
                  std::string& error) {
    SpawnSetup setup;
    if (!setup.attrOk || !setup.actionsOk) {
        error = "cannot prepare a process";
        return false;
    }
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGPIPE, SIGQUIT}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&setup.attr, 0);
    posix_spawnattr_setsigmask(&setup.attr, &none);
    posix_spawnattr_setsigdefault(&setup.attr, &defaults);
    if (stdinFd >= 0) {
        posix_spawn_file_actions_adddup2(&setup.actions, stdinFd, STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&setup.actions, stdoutFd, STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&setup.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&setup.actions, stderrFd, STDERR_FILENO);

    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> environment;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) environment.push_back(*e);
    for (const std::string& entry : extraEnvironment) {
        environment.push_back(const_cast<char*>(entry.c_str()));
    }
    environment.push_back(nullptr);

    // A name without a slash is looked up on PATH, as a shell would.
    const int result = posix_spawnp(&pid, argv[0].c_str(), &setup.actions, &setup.attr,
                                    args.data(), environment.data());
    if (result != 0) {
        error = "cannot start '" + argv[0] + "': " + std::strerror(result);
        return false;
    }
    return true;
}

std::string EndStatus(int waitStatus) {
    if (WIFEXITED(waitStatus)) {
        const int code = WEXITSTATUS(waitStatus);
        return code == 0 ? kStatusOk : "exit " + std::to_string(code);
    }
    if (WIFSIGNALED(waitStatus)) return "signal " + std::to_string(WTERMSIG(waitStatus));
    return "exit ?";
}
