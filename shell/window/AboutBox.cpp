#include "shell/window/AboutBox.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

bool AboutBoxProcess::Open() {
    if (IsOpen()) return true;
    const pid_t parent = getpid();
    const pid_t forked = fork();
    if (forked < 0) return false;
    if (forked == 0) {
        // Between fork and exec only async-signal-safe calls.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(1);  // we went before the tie was made
        char name[] = "marrowick";
        char mode[] = "/c";
        char* const argv[] = {name, mode, nullptr};
        execv("/proc/self/exe", argv);
        _exit(127);
    }
    child = forked;
    return true;
}

bool AboutBoxProcess::IsOpen() {
    if (child <= 0) return false;
    int status = 0;
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == 0) return true;
    if (done < 0 && errno == EINTR) return true;
    child = -1;  // closed (or no longer ours to wait for)
    return false;
}

void AboutBoxProcess::Close() {
    if (!IsOpen()) return;
    // The box's own process goes with it (shell/window/MessageBox.h).
    kill(child, SIGTERM);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    child = -1;
}
