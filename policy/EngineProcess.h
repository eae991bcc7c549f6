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
// Time: what decides whether a load or a pass completes is the work the
// engine does, counted in units that are the same on every machine
// (policy/RuleEngine.h: kLoadWorkBudget, kPassWorkBudget), so a seeded run
// comes out the same on a busy machine as on an idle one. The engine's
// processor time (kLoadCpuLimitMs, kPassCpuLimitMs) and the clock on the
// wall (kLoadWallLimitMs, kPassWallLimitMs, for an engine that gets no
// processor time at all) are only a backstop, far above what the work budget
// allows ordinary rules; an engine stopped by them is a failed pass whose
// message says that the run may not be reproducible. Start-up (exec, dynamic
// loading) is not part of a load: the engine says Ready first.
//
// Failure: an engine that overruns, dies or garbles its answer is killed
// (SIGKILL) and reaped, Problem() says what happened, nothing it concluded
// is kept, and a fresh engine is started at once for the next pass, which
// loads the same rule base text within a pass's limits (a restart costs no
// more than a pass). No engine process outlives this object, none is left a
// zombie, and each dies with the program (parent-death signal).
//
// Threading: used by one thread at a time (the simulation's, under its state
// lock). AbandonWaits alone may be called from anywhere, signal handlers
// included.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "policy/EngineChannel.h"
#include "policy/EngineProtocol.h"
#include "policy/RuleEngine.h"

class EngineProcess {
public:
    // The backstop. The largest rule base (kMaxRuleBaseBytes) takes about
    // 130 ms to load, a pass at its work budget a few tens of milliseconds.
    static constexpr int32_t kLoadCpuLimitMs = 2000;
    static constexpr int32_t kLoadWallLimitMs = 10000;
    static constexpr int32_t kPassCpuLimitMs = 500;
    static constexpr int32_t kPassWallLimitMs = 5000;
    static constexpr int32_t kStartLimitMs = 10000;
    static constexpr size_t kProblemCapacity = 640;

    EngineProcess() = default;
    // The engine is asked to quit; one that does not at once is killed. Reaped.
    // (With ReuseEngines on, it is kept for the next load instead.)
    ~EngineProcess();
    EngineProcess(const EngineProcess&) = delete;
    EngineProcess& operator=(const EngineProcess&) = delete;

    // Reads the rule base at path (a regular file of at most
    // kMaxRuleBaseBytes), checks that it is UTF-8 text (policy/RuleBaseCheck.h;
    // a fault is reported as a load message with its line), starts an engine
    // and has it load the text, then checks the world and colony templates it
    // reports. Anything but Loaded leaves a one-line reason in Problem(); the
    // load messages (diagnostics) say where. Nothing is printed: whoever
    // loads shows them (WriteLoadMessages). A rule base with errors whose
    // templates still fit stays usable, as the engine keeps what loaded
    // before the error.
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
    // One pass: the six symbols in, the conclusions back (conclusions), with
    // the work it did and the engine's messages (passErrors, refusedCalls).
    // EngineFailed leaves the reason in Problem() (and Backstop() says
    // whether a processor or wall-clock limit stopped it); Abandoned says
    // nothing.
    PassResult Pass(const PassFacts& facts);

    // The rules' printouts reach standard output only while echo is on.
    void SetEcho(bool on) { echo = on; }
    bool Echo() const { return echo; }
    // With the trace on, fired holds the rules each pass fires, in order.
    void SetTraceRules(bool on) { traceRules = on; }
    bool TraceRules() const { return traceRules; }

    const char* Problem() const { return problem; }
    // The last failure was the backstop's (processor or wall-clock time),
    // not the work budget's: the run may not be reproducible.
    bool Backstop() const { return backstop; }
    // One line for a person: the engine's first message on the last load
    // with its file and line ("Rules.clp:12: [PRNTUTIL2] Syntax Error..."),
    // or Problem() when the engine gave none. Control characters escaped.
    void FirstLoadError(char* text, size_t capacity) const;
    // A rule's name (escaped) by its index in the rule base, as fired names it.
    const std::string& RuleName(uint32_t index) const;
    // The engine process, -1 while none runs (tests).
    pid_t EnginePid() const { return channel.Pid(); }

    // Reading the payload of an engine's Loaded or Listed answer
    // (policy/EngineProtocol.h) into this object, as the loads and Pass do.
    // False when it breaks the protocol: an engine that a rule base has
    // taken over may send anything (the fuzz target sends it all).
    // first: the first load of a rule base, whose report is kept.
    bool TakeLoadAnswer(FrameReader& reader, bool first, uint32_t& status);
    bool TakePassAnswer(FrameReader& reader, PassResult& result);

    // A sweep's worker builds one simulation after another, each with an
    // expert system of its own, and starting an engine process costs more
    // than the rest of a run's start together. With reuse on, an engine that
    // loaded cleanly and is done with (its EngineProcess goes, or loads
    // another rule base) is kept, and the next load renews it (a new rule
    // engine in the same sandboxed process, exactly as a newly started
    // engine has it: policy/EngineProtocol.h) instead of starting one. Off
    // by default: for one thread, set before any engine starts.
    static void ReuseEngines(bool on);

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

    // The last pass: its conclusions in fact-list order (none after a pass
    // that did not list), its work in units, its firings, and with the trace
    // on the index of every rule it fired, in order.
    Conclusion conclusions[RuleEngine::kMaxConclusions] = {};
    size_t conclusionCount = 0;
    int64_t work = 0;
    int32_t firings = 0;
    std::vector<uint32_t> fired;
    // What the engine said during the last load or pass: its error text (as
    // the engine wrote it: show it escaped), and the facilities the rule base
    // called that the sandbox refuses, "name\n" each.
    BoundedText<RuleEngine::kCaptureCapacity> engineErrors;
    std::string refusedCalls;

    // What the last load reported: the engine's messages with their lines
    // (escaped), the templates found (module names escaped), the rules
    // defined (escaped), the work the load did.
    LoadDiagnostic diagnostics[RuleEngine::kMaxDiagnostics];
    size_t diagnosticCount = 0;
    size_t diagnosticsDropped = 0;
    TemplateReport worldReport;
    TemplateReport colonyReport;
    std::vector<std::string> rules;
    int64_t loadWork = 0;

private:
    using Outcome = EngineChannel::Outcome;
    enum class Stage { Start, Load, Pass, Restart };

    bool ReadRuleBase(const char* path);
    LoadResult LoadReadText();
    void ClearLoadReport();
    bool Start();
    bool TakeKeptEngine();
    void LetEngineGo();
    LoadResult LoadInEngine(bool first);
    LoadResult SendRuleBase(bool first);
    bool CheckTemplates(const TemplateReport& world, const TemplateReport& colony);
    void Failed(Outcome outcome, Stage stage);
    void ClearPass();

    EngineChannel channel;
    std::string rulesPath;
    std::string ruleBaseText;  // kept for restarts: the same rule base, not a newer file
    size_t textStart = 0;      // after a byte-order mark
    char program[4096] = {};
    bool engineLoaded = false;  // the running engine holds the rule base
    bool ready = false;
    bool echo = false;
    bool traceRules = false;
    bool backstop = false;
    char problem[kProblemCapacity] = {};
    char request[256] = {};
};
