#pragma once
// The terminal as the view uses it, and everything that must be put back on
// the way out, whichever way that is.
//
// TerminalSignals: SIGINT, SIGTERM and SIGHUP ask the view to end (a second
// one of the same kind gets the default action, so a stuck view can still be
// ended); SIGWINCH asks for a new layout; SIGTSTP (Ctrl+Z) to give the
// terminal back and stop; SIGCONT for a full redraw. The handlers only set
// flags and write a byte to a pipe that the view's loop waits on, and the
// loop does the work on its own thread (ncurses' own handlers would run on
// whichever thread the signal lands on); the simulation thread wakes the loop
// the same way.
//
// TerminalScreen: ncurses sets the terminal up (the alternate screen, no
// echo, keys one by one with Ctrl+C still a signal, function keys decoded,
// Esc without the usual delay, the cursor hidden) and reads keys; the view
// writes its frames itself. Restore() undoes all of it; the destructor calls
// it, so an early return or an exception restores the terminal too.
//
// StderrCapture: while the view owns the screen, anything written to
// standard error (a rule base error during a pass) would tear the picture; it
// goes to a temporary file instead and is shown once the terminal is back.
//
// One of each at a time (the signal handlers reach them through a global).
#include <csignal>
#include <cstddef>
#include <cstdint>

#include "shell/StopSignals.h"

// The stop signals (shell/StopSignals.h: SIGINT, SIGTERM, SIGHUP; a closed
// terminal shows up as a failed write instead of SIGPIPE), and the terminal's
// own: a resize, a stop (Ctrl+Z) and a continue. All wake the view's loop
// through one pipe.
class TerminalSignals {
public:
    TerminalSignals();
    ~TerminalSignals();
    TerminalSignals(const TerminalSignals&) = delete;
    TerminalSignals& operator=(const TerminalSignals&) = delete;

    bool Ok() const { return stop.Ok(); }
    int WakeFd() const { return stop.WakeFd(); }
    // Wakes the loop; any thread, never blocks.
    void Wake() { StopSignals::Wake(); }
    // Empties the wake pipe (the loop, after it woke).
    void Drain() { stop.Drain(); }
    // The signal that asked the view to end, 0 when none did.
    int EndSignal() const { return StopSignals::Received(); }
    bool TakeResize();
    bool TakeContinue();
    bool TakeSuspend();
    // Stops the process as Ctrl+Z does; returns when it is continued.
    void StopHere();

private:
    StopSignals stop;
    struct sigaction previous[3] {};
};

class TerminalScreen {
public:
    TerminalScreen() = default;
    ~TerminalScreen() { Restore(); }
    TerminalScreen(const TerminalScreen&) = delete;
    TerminalScreen& operator=(const TerminalScreen&) = delete;

    // Sets the terminal up on standard input and output. False, with a
    // one-line message in error, when the terminal type is unknown, cannot
    // place its cursor or shows fewer than eight colours; the terminal is as
    // it was then.
    bool Open(char* error, size_t errorCapacity);
    // Puts the terminal back as it was found. Idempotent.
    void Restore();
    bool IsOpen() const { return open; }

    // The terminal type's colour count.
    int32_t Colours() const { return colours; }
    // Reads the size from the terminal and tells ncurses about it.
    void QuerySize(int32_t& cols, int32_t& rows);
    // Bytes waiting on standard input; -1 when it cannot be asked.
    int32_t PendingInput() const;
    // The next key, or -1 when none is waiting.
    int32_t ReadKey();
    // Writes all of it; false when the terminal is gone or an end signal
    // interrupted the write.
    bool Write(const char* data, size_t length, const TerminalSignals& signals);
    // Lets ncurses bring its idea of the screen in line after a resize or a
    // resume (it clears the screen).
    void Reset();
    // Gives the terminal back for a while (Ctrl+Z), and takes it again.
    void Suspend();
    void Resume();

private:
    void* screen = nullptr;  // ncurses' SCREEN
    bool open = false;
    int32_t colours = 0;
};

class StderrCapture {
public:
    // Captures only when standard error is a terminal: a redirected one
    // cannot tear the picture.
    StderrCapture();
    ~StderrCapture() { Release(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Puts standard error back and copies what was captured to it (its last
    // 64 KB at most). Idempotent.
    void Release();

private:
    int savedFd = -1;
    int captureFd = -1;
};
