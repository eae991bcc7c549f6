#pragma once
// The signals that ask a run to stop, handled alike by every front end:
// SIGINT, SIGTERM (how xscreensaver ends a hack) and SIGHUP.
//
// A handler only touches lock-free atomics and write(2): it records the first
// stop signal, abandons any rule-engine wait under way (so a step ends at
// once), and writes a byte into the wake pipe, so that a loop waiting in
// poll() wakes up. The loops poll Received(). A second stop signal gets the
// default action, so a run that cannot end can still be ended. While a modal
// box is open (SetEndAtOnce), the thread that would see the flag is blocked:
// a stop signal then ends the process at once, with status 0, and takes the
// box with it.
//
// SIGPIPE: a reader that went away either counts as a stop signal (a
// headless run stops between two steps) or is ignored (a failed write says
// so instead).
//
// One object installs the handlers for its lifetime and puts the previous
// ones back; there is one set per process.
#include <atomic>

class StopSignals {
public:
    enum class BrokenPipe { Ignore, Stop };
    // restartCalls: interrupted system calls restart (SA_RESTART), for a loop
    // in a library that does not expect EINTR; otherwise a stop signal
    // interrupts a blocked write or wait.
    explicit StopSignals(BrokenPipe brokenPipe = BrokenPipe::Ignore, bool restartCalls = false);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The wake pipe could be made (the handlers are installed either way).
    bool Ok() const { return readFd >= 0; }
    // Readable after every stop signal and every Wake().
    int WakeFd() const { return readFd; }
    // Empties the wake pipe (the loop, after it woke).
    void Drain();
    // Wakes the loop; any thread or signal handler, never blocks.
    static void Wake();

    // The first stop signal received since the handlers were installed, or 0.
    static int Received();
    static bool Requested() { return Received() != 0; }
    // Records a signal as if it had arrived (a write that failed with EPIPE
    // stops the run as SIGPIPE does, whoever ignored or blocked the signal).
    static void Note(int signalNumber);
    // While on, a stop signal ends the process at once (a modal box is open).
    static void SetEndAtOnce(bool on);

private:
    int readFd = -1;
    int writeFd = -1;
};

// "SIGTERM" and so on, for the stop signals.
const char* StopSignalName(int signalNumber);

// Ends the process by this signal, as if no handler had been installed for
// it: xscreensaver takes a hack that ends with a status of its own after its
// SIGTERM for one that crashed ("exited abnormally with status 0"); only the
// death by that signal is the answer it expects. Call once everything is
// cleaned up.
[[noreturn]] void EndBySignal(int signalNumber);
