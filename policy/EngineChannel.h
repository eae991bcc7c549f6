#pragma once
// EngineChannel: one engine process and the socket to it. Starts the process
// (policy/EngineLauncher.h), exchanges frames (policy/EngineProtocol.h) within
// a budget, and ends and reaps the process.
//
// Budgets count the engine process's own processor time, read from its CPU
// clock, so a merely slow or busy machine never looks like a runaway engine;
// a wall-clock limit still ends a wait for an engine that gets no processor
// time at all. An ordinary answer arrives within microseconds: the first read
// waits a moment (kQuickWaitMs) before the engine's clock is looked at.
//
// Invariants: at most one engine process per channel; every process started
// is reaped (none is left a zombie) before another starts or the channel goes.
// Threading: one thread at a time; AbandonWaits alone from anywhere, signal
// handlers included.
#include <sys/types.h>
#include <time.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "policy/EngineProtocol.h"

class EngineChannel {
public:
    enum class Outcome {
        Ok,
        TimedOut,   // the engine used up its processor time
        Stalled,    // the wall-clock limit ran out first: the engine got too little processor time
        Ended,      // the engine closed the socket: it ended by itself
        Garbled,    // an answer that breaks the protocol
        Abandoned,  // AbandonWaits: the program is ending
    };
    struct Budget {
        int64_t cpuNs;   // the engine's processor time
        int64_t wallNs;  // the clock on the wall
    };
    static constexpr int32_t kQuickWaitMs = 1;

    EngineChannel() = default;
    // Ends the engine as End(true) does.
    ~EngineChannel();
    EngineChannel(const EngineChannel&) = delete;
    EngineChannel& operator=(const EngineChannel&) = delete;

    // Starts program on a fresh socket (ending any engine first). False with
    // the reason in error.
    bool Start(const char* program, char* error, size_t capacity);
    bool Running() const { return pid >= 0; }
    // Trades engines (process and socket) with other.
    void Swap(EngineChannel& other) noexcept;
    pid_t Pid() const { return pid; }

    // Sends head and body as the bytes of one frame, then reads the answer,
    // which must be of kind expected (a wait for Ready also takes
    // StartFailed). On Ok, kind and payload describe it; the payload points
    // into this channel and stays valid until the next exchange.
    Outcome Exchange(const char* head, size_t headLength, const char* body, size_t bodyLength,
                     EngineMessage expected, const Budget& budget, uint32_t& kind,
                     FrameReader& payload);
    // Reads one frame without sending anything first.
    Outcome Receive(EngineMessage expected, const Budget& budget, uint32_t& kind,
                    FrameReader& payload);

    // Ends the engine: with quit, asks it to (and gives it a moment);
    // otherwise, or when it does not end, kills it. Reaped either way.
    void End(bool quit);
    // Reaps an engine that ended by itself (Outcome::Ended), killing it should
    // it still run after a grace period. Its wait status then, -1 if unknown.
    int Collect();

    // Every wait, running or to come, returns Abandoned at once. Async-signal-safe.
    static void AbandonWaits() noexcept;
    static void ResumeWaits() noexcept;
    static bool WaitsAbandoned() noexcept;
    // This channel's waits alone return Abandoned from now on (a reload that
    // is no longer wanted). The one call another thread may make.
    void Cancel() noexcept { cancelled.store(true); }
    bool Cancelled() const noexcept { return cancelled.load(); }

private:
    struct Watch {
        int64_t start = 0;
        bool measuring = false;
        int64_t cpuBase = 0;
    };
    Outcome Send(const char* head, size_t headLength, const char* body, size_t bodyLength,
                 const Budget& budget, Watch& watch);
    Outcome Read(EngineMessage expected, const Budget& budget, Watch& watch, uint32_t& kind,
                 FrameReader& payload);
    Outcome WaitFor(short events, const Budget& budget, Watch& watch);
    int64_t EngineCpuNs() const;
    bool Reap(int32_t withinMs, int& status);
    void CloseSocket();

    bool Abandoning() const noexcept { return WaitsAbandoned() || Cancelled(); }

    std::atomic<bool> cancelled{false};
    int fd = -1;
    pid_t pid = -1;
    clockid_t cpuClock = 0;
    bool hasCpuClock = false;
    // kUsualAnswerBytes from the first exchange on; grown, up to
    // kMaxAnswerBytes, only for an answer that needs it.
    std::vector<char> answer;
};
