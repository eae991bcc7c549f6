#include "shell/window/MessageBox.h"

#include "shell/StopSignals.h"

#include <SDL.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace {

// SDL draws an X11 message box in a child process it forks, and waits for
// that child. Left to itself the child outlives us: a SIGTERM that ends the
// program leaves the box on the screen, held by an orphan. So every child
// forked while a box is being shown is tied to us: it gets SIGKILL when the
// thread that forked it (ours, blocked in the box) goes away.
std::atomic<bool> boxOpen{false};
std::atomic<pid_t> forkingProcess{0};
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

// Runs in the forking process just before fork().
void BeforeFork() { forkingProcess.store(getpid()); }

// Runs in the child just after fork(): async-signal-safe calls only.
void InChild() {
    if (!boxOpen.load()) return;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    // We may have gone between fork() and prctl(): then nobody would kill it.
    if (getppid() != forkingProcess.load()) _exit(1);
}

void TieBoxesToThisProcess() {
    static std::once_flag registered;
    std::call_once(registered, [] { pthread_atfork(BeforeFork, nullptr, InChild); });
}

// While a box is open nobody polls the stop flag: a stop signal then ends
// the process at once (shell/StopSignals.h), and one that came just before
// the box does too, instead of leaving the box waiting for a click.
class BoxOpenScope {
public:
    BoxOpenScope() {
        boxOpen.store(true);
        StopSignals::SetEndAtOnce(true);
        if (StopSignals::Requested()) _exit(0);
    }
    ~BoxOpenScope() {
        StopSignals::SetEndAtOnce(false);
        boxOpen.store(false);
    }
    BoxOpenScope(const BoxOpenScope&) = delete;
    BoxOpenScope& operator=(const BoxOpenScope&) = delete;
};

Uint32 Flags(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information:
            return SDL_MESSAGEBOX_INFORMATION;
        case MessageKind::Warning:
            return SDL_MESSAGEBOX_WARNING;
        case MessageKind::Error:
            return SDL_MESSAGEBOX_ERROR;
    }
    return SDL_MESSAGEBOX_WARNING;
}

void ShowSettingsWarning(void* parent, const char* text) {
    ShowMessage(text, MessageKind::Warning, static_cast<SDL_Window*>(parent));
}

}  // namespace

void ShowMessageCaptioned(const char* caption, const char* text, MessageKind kind,
                          SDL_Window* parent) {
    // The log names the program, as every message of ours does; the box
    // itself carries the caption.
    std::fprintf(stderr, "marrowick: %s\n", text);
    std::fflush(stderr);
    TieBoxesToThisProcess();
    {
        BoxOpenScope open;
        // SDL's box has its own connection to the display and works before and
        // without SDL_Init; it fails only when there is no display at all.
        if (SDL_ShowSimpleMessageBox(Flags(kind), caption, text, parent) != 0 &&
            parent != nullptr) {
            SDL_ShowSimpleMessageBox(Flags(kind), caption, text, nullptr);
        }
    }
    // The box had the keyboard; give it back to the window it came from.
    if (parent != nullptr) {
        SDL_RaiseWindow(parent);
        SDL_SetWindowInputFocus(parent);
    }
}

void ShowMessage(const char* text, MessageKind kind, SDL_Window* parent) {
    ShowMessageCaptioned(kApplicationTitle, text, kind, parent);
}

SettingsWarning SettingsWarningBox() { return SettingsWarning{&ShowSettingsWarning, nullptr}; }
