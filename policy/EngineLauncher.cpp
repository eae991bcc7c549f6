#include "policy/EngineLauncher.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include "policy/EngineLocation.h"
#include "policy/EngineServer.h"

extern char** environ;

namespace {

pid_t Spawn(const char* program, int socketFd, int& error) {
    char parent[24];
    std::snprintf(parent, sizeof parent, "%ld", static_cast<long>(getpid()));
    char name[] = "marrowick-engine";
    char* const argv[] = {name, parent, nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    error = posix_spawn_file_actions_init(&actions);
    if (error != 0) return -1;
    error = posix_spawnattr_init(&attributes);
    if (error != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    // The socket becomes descriptor 3 (dup2 clears its close-on-exec flag);
    // the engine reads no terminal and writes nothing but its socket.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    int failed = posix_spawn_file_actions_adddup2(&actions, socketFd, kEngineSocketFd);
    if (failed == 0) {
        failed = posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    if (failed == 0) {
        failed = posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (failed == 0) failed = posix_spawn_file_actions_addclosefrom_np(&actions, kEngineSocketFd + 1);
#endif
    if (failed == 0) failed = posix_spawnattr_setsigmask(&attributes, &none);
    if (failed == 0) failed = posix_spawnattr_setsigdefault(&attributes, &all);
    if (failed == 0) {
        failed = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    pid_t child = -1;
    if (failed == 0) failed = posix_spawn(&child, program, &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    error = failed;
    return failed == 0 ? child : -1;
}

// Carries out one spawn at a time for whichever thread asks.
struct Launcher {
    std::mutex callers;  // one request at a time
    std::mutex lock;     // guards the request below
    std::condition_variable wake;
    std::condition_variable done;
    bool pending = false;
    bool finished = false;
    const char* program = nullptr;
    int socketFd = -1;
    pid_t child = -1;
    int error = 0;

    [[noreturn]] void Main() {
        std::unique_lock<std::mutex> guard(lock);
        for (;;) {
            wake.wait(guard, [this] { return pending; });
            pending = false;
            child = Spawn(program, socketFd, error);
            finished = true;
            done.notify_all();
        }
    }
};

// Never destroyed: the thread waits on it until the process ends.
Launcher* StartLauncher() {
    Launcher* launcher = new (std::nothrow) Launcher;
    if (launcher == nullptr) return nullptr;
    // Signals go to the threads that poll for them, never to this one.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    bool started = true;
    try {
        std::thread(&Launcher::Main, launcher).detach();
    } catch (...) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!started) {
        delete launcher;
        return nullptr;
    }
    return launcher;
}

}  // namespace

bool FindEngineProgram(char* path, size_t capacity, char* error, size_t errorCapacity) {
    std::string found;
    std::string problem;
    if (!FindHelperProgram(kEngineProgram, kEngineVariable, found, problem)) {
        std::snprintf(error, errorCapacity, "%s", problem.c_str());
        return false;
    }
    if (found.size() >= capacity) {
        std::snprintf(error, errorCapacity, "the path of %s is too long", kEngineProgram);
        return false;
    }
    std::snprintf(path, capacity, "%s", found.c_str());
    return true;
}

pid_t LaunchEngineProgram(const char* program, int socketFd, int& error) {
    static Launcher* const launcher = StartLauncher();
    // Without a launcher thread the caller's own thread starts it.
    if (launcher == nullptr) return Spawn(program, socketFd, error);
    std::lock_guard<std::mutex> caller(launcher->callers);
    std::unique_lock<std::mutex> guard(launcher->lock);
    launcher->program = program;
    launcher->socketFd = socketFd;
    launcher->finished = false;
    launcher->pending = true;
    launcher->wake.notify_one();
    launcher->done.wait(guard, [] { return launcher->finished; });
    error = launcher->error;
    return launcher->child;
}
