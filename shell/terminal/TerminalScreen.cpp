#include "shell/terminal/TerminalScreen.h"

#include <curses.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <term.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>


namespace {

// Esc alone quits; the escape sequences of function keys arrive together, so
// a short wait tells the two apart.
constexpr int kEscapeDelayMs = 25;
// What standard error collected while the view ran is shown up to this much
// (its end, where the latest messages are).
constexpr off_t kMaxReplayBytes = 64 * 1024;

constexpr int kHandledSignals[] = {SIGWINCH, SIGCONT, SIGTSTP};

std::atomic<int> resizeSignal{0};
std::atomic<int> continueSignal{0};
std::atomic<int> suspendSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal flags must be lock-free");

void OnSignal(int signalNumber) {
    const int savedErrno = errno;
    if (signalNumber == SIGWINCH) {
        resizeSignal.store(1);
    } else if (signalNumber == SIGCONT) {
        continueSignal.store(1);
    } else if (signalNumber == SIGTSTP) {
        suspendSignal.store(1);
    }
    StopSignals::Wake();
    errno = savedErrno;
}

}  // namespace

// ---------------------------------------------------------------------------
// TerminalSignals
// ---------------------------------------------------------------------------

TerminalSignals::TerminalSignals() {
    resizeSignal.store(0);
    continueSignal.store(0);
    suspendSignal.store(0);
    for (size_t i = 0; i < sizeof kHandledSignals / sizeof kHandledSignals[0]; ++i) {
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        action.sa_handler = OnSignal;
        action.sa_flags = SA_RESTART;
        sigaction(kHandledSignals[i], &action, &previous[i]);
    }
}

TerminalSignals::~TerminalSignals() {
    for (size_t i = 0; i < sizeof kHandledSignals / sizeof kHandledSignals[0]; ++i) {
        sigaction(kHandledSignals[i], &previous[i], nullptr);
    }
}

bool TerminalSignals::TakeResize() { return resizeSignal.exchange(0) != 0; }

bool TerminalSignals::TakeContinue() { return continueSignal.exchange(0) != 0; }

bool TerminalSignals::TakeSuspend() { return suspendSignal.exchange(0) != 0; }

void TerminalSignals::StopHere() {
    // The default action of SIGTSTP stops the whole process (the simulation
    // thread too); raise returns once it is continued.
    struct sigaction ours {};
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(SIGTSTP, &standard, &ours);
    raise(SIGTSTP);
    sigaction(SIGTSTP, &ours, nullptr);
}

// ---------------------------------------------------------------------------
// TerminalScreen
// ---------------------------------------------------------------------------

bool TerminalScreen::Open(char* error, size_t errorCapacity) {
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0') {
        std::snprintf(error, errorCapacity,
                      "TERM is not set, so the terminal's type is unknown (try --headless)");
        return false;
    }
    // The terminal type is checked before anything is set up, so that a
    // refusal writes nothing to the terminal.
    int setupError = 0;
    if (setupterm(type, STDOUT_FILENO, &setupError) != OK) {
        std::snprintf(error, errorCapacity, "unknown terminal type '%s' (try --headless)", type);
        return false;
    }
    const char* moveCursor = tigetstr(const_cast<char*>("cup"));
    const bool placesCursor = moveCursor != nullptr && moveCursor != reinterpret_cast<char*>(-1);
    colours = tigetnum(const_cast<char*>("colors"));
    del_curterm(cur_term);
    if (!placesCursor) {
        std::snprintf(error, errorCapacity,
                      "the terminal type '%s' cannot place its cursor (try --headless)", type);
        return false;
    }
    if (colours < 8) {
        std::snprintf(error, errorCapacity,
                      "the terminal type '%s' shows no colours (try --headless, or a colour "
                      "terminal type such as xterm-256color)",
                      type);
        return false;
    }
    SCREEN* made = newterm(nullptr, stdout, stdin);
    if (made == nullptr) {
        std::snprintf(error, errorCapacity, "cannot set up the terminal of type '%s'", type);
        return false;
    }
    screen = made;
    open = true;
    cbreak();
    noecho();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(kEscapeDelayMs);
    curs_set(0);
    refresh();
    return true;
}

void TerminalScreen::Restore() {
    if (!open) {
        return;
    }
    open = false;
    // ncurses does not know the colours the frames set: reset them, or the
    // shell's screen would inherit the last one.
    static const char kResetColours[] = "\033[0m";
    [[maybe_unused]] const ssize_t ignored = write(STDOUT_FILENO, kResetColours, sizeof kResetColours - 1);
    curs_set(1);
    endwin();
    delscreen(static_cast<SCREEN*>(screen));
    screen = nullptr;
}

void TerminalScreen::QuerySize(int32_t& cols, int32_t& rows) {
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        cols = size.ws_col;
        rows = size.ws_row;
    } else {
        cols = COLS;
        rows = LINES;
    }
    if (open && (cols != COLS || rows != LINES)) {
        resizeterm(rows, cols);
    }
}

int32_t TerminalScreen::PendingInput() const {
    int waiting = 0;
    if (ioctl(STDIN_FILENO, FIONREAD, &waiting) != 0) {
        return -1;
    }
    return waiting;
}

int32_t TerminalScreen::ReadKey() {
    if (!open) {
        return -1;
    }
    const int key = getch();
    return key == ERR ? -1 : key;
}

bool TerminalScreen::Write(const char* data, size_t length, const TerminalSignals& signals) {
    while (length > 0) {
        const ssize_t written = write(STDOUT_FILENO, data, length);
        if (written < 0) {
            if (errno == EINTR && signals.EndSignal() == 0) {
                continue;
            }
            return false;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
    return true;
}

void TerminalScreen::Suspend() {
    if (!open) {
        return;
    }
    static const char kResetColours[] = "\033[0m";
    [[maybe_unused]] const ssize_t ignored = write(STDOUT_FILENO, kResetColours, sizeof kResetColours - 1);
    curs_set(1);
    endwin();
}

void TerminalScreen::Resume() {
    if (!open) {
        return;
    }
    // The first refresh after endwin puts the terminal back in the view's modes.
    refresh();
    curs_set(0);
}

void TerminalScreen::Reset() {
    if (!open) {
        return;
    }
    clearok(curscr, TRUE);
    refresh();
}

// ---------------------------------------------------------------------------
// StderrCapture
// ---------------------------------------------------------------------------

StderrCapture::StderrCapture() {
    if (isatty(STDERR_FILENO) == 0) {
        return;
    }
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        return;
    }
    captureFd = dup(fileno(file));
    std::fclose(file);  // the descriptor keeps the unnamed file
    if (captureFd < 0) {
        return;
    }
    std::fflush(stderr);
    savedFd = dup(STDERR_FILENO);
    if (savedFd < 0 || dup2(captureFd, STDERR_FILENO) < 0) {
        if (savedFd >= 0) {
            close(savedFd);
            savedFd = -1;
        }
        close(captureFd);
        captureFd = -1;
    }
}

void StderrCapture::Release() {
    if (savedFd < 0) {
        return;
    }
    std::fflush(stderr);
    dup2(savedFd, STDERR_FILENO);
    close(savedFd);
    savedFd = -1;

    const off_t size = lseek(captureFd, 0, SEEK_END);
    if (size > 0) {
        lseek(captureFd, size > kMaxReplayBytes ? size - kMaxReplayBytes : 0, SEEK_SET);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(captureFd, buffer, sizeof buffer)) > 0) {
            if (write(STDERR_FILENO, buffer, static_cast<size_t>(got)) < 0) {
                break;
            }
        }
    }
    close(captureFd);
    captureFd = -1;
}
