#pragma once
// EngineProcess: the expert system's rule engine, run in a process of its own
// (marrowick-engine, policy/EngineServer.h) and reached over a socket
// (policy/EngineProtocol.h).
//
// A rule base is a program written by whoever edited Rules.clp. Whatever it
// does (endless loops, endless recursion, crashes inside the engine library,
// exit, system) happens in the engine process, which the kernel bounds in
// memory and in what it may touch (policy/EngineSandbox.h) and this object
// bounds in time; the simulation goes on either way.
//
// Time: a load may use kLoadBudgetMs and a pass kPassBudgetMs of the engine
// process's own processor time. Counting the engine's processor time rather
// than the clock on the wall keeps a merely slow or loaded machine (the CI's
// two cores under sanitizers) from ever looking like a runaway rule base; a
// wall-clock limit (kLoadLimitMs, kPassLimitMs) still ends a wait for an
// engine that gets no processor time at all. Start-up (exec, dynamic
// loading) is not part of the load budget: the engine says Ready first.
//
// Failure: an engine that overruns, dies or garbles its answer is killed
// (SIGKILL) and reaped, Problem() says what happened, the listing stays empty,
// and a fresh engine with the same rule base text is started at once for the
// next pass. No engine process outlives this object, none is left a zombie,
// and each dies with the program (parent-death signal).
//
// Threading: used by one thread at a time (the simulation's, under its state
// lock). AbandonWaits alone may be called from anywhere, signal handlers
// included.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "policy/EngineChannel.h"
#include "policy/EngineProtocol.h"
#include "policy/RuleEngine.h"

class EngineProcess {
public:
    static constexpr size_t kListingCapacity = RuleEngine::kListingCapacity;
    static constexpr int32_t kLoadBudgetMs = 200;
    static constexpr int32_t kPassBudgetMs = 50;
    static constexpr int32_t kStartLimitMs = 10000;
    static constexpr int32_t kLoadLimitMs = 5000;
    static constexpr int32_t kPassLimitMs = 2000;
    static constexpr size_t kProblemCapacity = 640;

    EngineProcess() = default;
    // The engine is asked to quit; one that does not at once is killed. Reaped.
    ~EngineProcess() = default;
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    // Reads the rule base at path (a regular file of at most
    // kMaxRuleBaseBytes), starts an engine and has it load the text, then
    // checks the world and colony templates it reports. Anything but Loaded
    // leaves a one-line reason in Problem(). The engine's own error text goes
    // to standard error. A rule base with errors whose templates still fit
    // stays usable, as the engine keeps what loaded before the error.
    LoadResult Load(const char* path);
    // The same for a rule base held in memory; name stands for its file in
    // messages.
    LoadResult LoadText(const char* name, const char* text, size_t length);
    // Trades engines with other, rule base and state included, so that a
    // rule base loaded beside a running one takes its place in one step
    // (policy/ExpertSystem.h reloads so). Settings (echo, trace, quiet) stay.
    void Swap(EngineProcess& other) noexcept;
    // The file the rule base came from.
    const char* RulesPath() const { return rulesPath.c_str(); }
    // Passes can run: the templates fit.
    bool Ready() const { return ready; }
    // One pass: the six symbols in, the fact listing back into factListing.
    // EngineFailed leaves the reason in Problem(); Abandoned says nothing.
    PassResult Pass(const PassFacts& facts);

    // The rules' printouts reach standard output only while echo is on.
    void SetEcho(bool on) { echo = on; }
    bool Echo() const { return echo; }
    // With the trace on, firedRules names the rules each pass fires, in order.
    void SetTraceRules(bool on) { traceRules = on; }
    bool TraceRules() const { return traceRules; }

    // Off: a load's errors stay in loadErrors instead of reaching standard
    // error (whoever loads shows them in its own way).
    void SetShowLoadErrors(bool on) { showLoadErrors = on; }

    const char* Problem() const { return problem; }
    // One line for a person: the engine's first message on the last load
    // with its file and line ("Rules.clp:12: [PRNTUTIL2] Syntax Error..."),
    // or Problem() when the engine gave none.
    void FirstLoadError(char* text, size_t capacity) const;
    // The engine process, -1 while none runs (tests).
    pid_t EnginePid() const { return channel.Pid(); }

    // Every engine wait, running or to come, returns at once (the pass is
    // abandoned, its engine killed without a word): the program is ending.
    // Async-signal-safe.
    static void AbandonWaits() noexcept { EngineChannel::AbandonWaits(); }
    static void ResumeWaits() noexcept { EngineChannel::ResumeWaits(); }
    static bool WaitsAbandoned() noexcept { return EngineChannel::WaitsAbandoned(); }
    // This engine's waits alone are abandoned (a reload no longer wanted);
    // the one call another thread may make while it loads or runs.
    void Cancel() noexcept { channel.Cancel(); }
    bool Cancelled() const noexcept { return channel.Cancelled(); }

    // The last listing, always NUL-terminated; empty after a failed pass.
    char factListing[kListingCapacity] = {};
    size_t listingLength = 0;
    bool listingOverflow = false;
    BoundedText<RuleEngine::kTraceCapacity> firedRules;

    // What the last load reported: the engine's messages with their lines,
    // its error text as a whole, the templates found, the rules defined.
    LoadDiagnostic diagnostics[RuleEngine::kMaxDiagnostics];
    size_t diagnosticCount = 0;
    size_t diagnosticsDropped = 0;
    BoundedText<RuleEngine::kCaptureCapacity> loadErrors;
    TemplateReport worldReport;
    TemplateReport colonyReport;
    BoundedText<RuleEngine::kRuleNamesCapacity> ruleNames;

private:
    using Outcome = EngineChannel::Outcome;
    enum class Stage { Start, Load, Pass };

    bool ReadRuleBase(const char* path);
    LoadResult LoadReadText();
    void ClearLoadReport();
    bool Start();
    LoadResult LoadInEngine(bool first);
    bool CheckTemplates(const TemplateReport& world, const TemplateReport& colony);
    bool TakeListing(FrameReader& reader);
    void Failed(Outcome outcome, Stage stage);
    void ClearListing();

    EngineChannel channel;
    std::string rulesPath;
    std::string ruleBaseText;  // kept for restarts: the same rule base, not a newer file
    char program[4096] = {};
    bool engineLoaded = false;  // the running engine holds the rule base
    bool ready = false;
    bool echo = false;
    bool traceRules = false;
    bool showLoadErrors = true;
    char problem[kProblemCapacity] = {};
    char request[256] = {};
};
