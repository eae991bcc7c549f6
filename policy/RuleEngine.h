#pragma once
// RuleEngine: owns one CLIPS 6.30 environment for its whole life (RAII), runs
// a pass over it and picks the conclusions out of its fact list.
//
// The program runs it inside the engine process (policy/EngineServer.h),
// never in its own address space: a rule base is a program, and this is where
// it runs. Tests and benchmarks use it directly.
//
// Work: a load and a pass are bounded by the work the engine does, counted in
// units that are the same on every machine and under any load, so that
// whether a pass completes never depends on how busy the machine is. A rule
// firing counts kFiringWork units; the engine's periodic call while it
// evaluates an expression (each turn of a loop: while, loop-for-count,
// progn$, foreach, a fact query's; each call of a deffunction, generic
// function or message handler) counts one. A pass or load that runs past its
// budget is halted where it stands (the engine's halt, as (halt) does), and
// the pass is cut off. Processor and wall-clock limits stay in the expert
// system's hands as a backstop (policy/EngineProcess.h).
//
// Conclusions: every fact whose relation name is one of the six conclusion
// names (policy/Conclusions.h), in the order of the fact list (the order of
// assertion), however many other facts there are. A word inside another fact
// is no conclusion.
//
// No global state: the routers and callbacks reach their engine through the
// environment's context pointers. Engine output on "stdout" (the rules'
// printouts) is dropped unless echo is on; errors ("werror") go to standard
// error, or into errorText while capture is on.
// Hazard: callbacks run inside CLIPS calls; they must never throw.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "policy/Conclusions.h"

// Why a rule base did not load.
enum class LoadResult {
    Loaded,
    CannotRead,      // the file cannot be read (or is no regular file, or too large)
    HasErrors,       // the engine reported errors while loading it
    LacksTemplates,  // the world or colony template, or one of the slots a pass writes, does not fit
    EngineFailed,    // the engine process could not start, or timed out or died while loading
    BadText,         // not UTF-8 text: a NUL byte, invalid UTF-8, UTF-16
    OverBudget,      // loading it (its defglobals' values) ran past kLoadWorkBudget
};

// The six classified symbols of one pass, in the order the bridge asserts them:
// the world fact (food_supply, change_FS), then the colony fact
// (food_reserves, population, change_FR, num_gathering_ants).
struct PassFacts {
    const char* foodSupply;
    const char* foodSupplyChange;
    const char* foodReserves;
    const char* population;
    const char* foodReservesChange;
    const char* gatherers;
};

// The first four travel from the engine process as they are.
enum class PassResult {
    Listed,              // the rules ran to rest; conclusions holds what they concluded
    CutOff,              // its work ran past kPassWorkBudget: the conclusions are not trusted
    Failed,              // the facts could not be made (no usable templates)
    TooManyConclusions,  // more than kMaxConclusions conclusion facts: none is acted on
    EngineFailed,        // the engine process overran its limits, died or garbled its answer
    Abandoned,           // the program is ending: every engine wait was abandoned
};

// The templates a pass asserts into and the slots it writes, in that order.
constexpr const char* kWorldTemplate = "world";
constexpr const char* kColonyTemplate = "colony";
constexpr size_t kWorldSlotCount = 2;
constexpr size_t kColonySlotCount = 4;
constexpr size_t kMaxTemplateSlots = 4;
constexpr const char* kWorldSlots[kWorldSlotCount] = {"food_supply", "change_FS"};
constexpr const char* kColonySlots[kColonySlotCount] = {"food_reserves", "population",
                                                        "change_FR", "num_gathering_ants"};

// What a loaded rule base declares for one slot a pass writes.
enum class SlotKind : uint32_t { Missing = 0, Single = 1, Multi = 2 };

// Where a template was found and what its bridge slots are. A pass writes one
// symbol into each slot, so every one of them must be a single-value slot.
struct TemplateReport {
    static constexpr size_t kModuleCapacity = 64;  // longer module names are cut
    bool found = false;
    char module[kModuleCapacity] = {};
    SlotKind slots[kMaxTemplateSlots] = {};
};

// Appends text up to a fixed capacity; what does not fit is cut off and
// overflow says so. Always NUL-terminated.
template <size_t Capacity>
struct BoundedText {
    char text[Capacity] = {};
    size_t length = 0;
    bool overflow = false;
    void Clear() {
        text[0] = '\0';
        length = 0;
        overflow = false;
    }
    void Append(const char* piece, size_t pieceLength) {
        const size_t room = Capacity - 1 - length;
        if (pieceLength > room) {
            overflow = true;
            pieceLength = room;
        }
        for (size_t i = 0; i < pieceLength; ++i) text[length + i] = piece[i];
        length += pieceLength;
        text[length] = '\0';
    }
    // Back to the first length characters (length at most the current one).
    void Truncate(size_t to) {
        if (to >= length) return;
        length = to;
        text[length] = '\0';
    }
};

// One message the engine gave while loading a rule base, with the line of
// the source it stood at (counted the way an editor counts: CR LF, CR and LF
// each end one line).
struct LoadDiagnostic {
    static constexpr size_t kTextCapacity = 768;  // longer messages are cut
    int32_t line = 0;
    bool warning = false;
    char text[kTextCapacity] = {};
};

// Work units, the same on every machine: see the header comment.
constexpr int64_t kFiringWork = 10;
// What a pass may do: the built-in rules' passes use a few dozen units. About
// 10,000 firings, or 100,000 turns of a loop, or a mix; a few tens of
// milliseconds of processor time for ordinary rules.
constexpr int64_t kPassWorkBudget = 100000;
// What a load may do (defglobal values; parsing is bounded by the size of
// the text instead).
constexpr int64_t kLoadWorkBudget = 100000;

class RuleEngine {
public:
    // Conclusion facts read back per pass; more fail the pass (a rule base
    // that asserts conclusions by the thousand has lost its way).
    static constexpr size_t kMaxConclusions = 4096;
    // Console and error text kept per load or pass while capture is on.
    static constexpr size_t kCaptureCapacity = 4096;
    // Load messages kept with their lines; the rest are only counted.
    static constexpr size_t kMaxDiagnostics = 24;
    // Rule firings named per pass while the trace is on: all of them, as
    // the work budget allows.
    static constexpr size_t kMaxFirings = static_cast<size_t>(kPassWorkBudget / kFiringWork) + 1;

    RuleEngine();
    ~RuleEngine();
    RuleEngine(const RuleEngine&) = delete;
    RuleEngine& operator=(const RuleEngine&) = delete;

    void* Environment() const { return environment; }
    bool Usable() const { return environment != nullptr; }

    // Loads the rule base file at path (read whole, then LoadText).
    LoadResult Load(const char* path);
    // Loads constructs from text; name is what the engine's messages call the
    // source. Then looks for the world and colony templates in every module
    // (MAIN first) and records them in WorldReport() and ColonyReport().
    // The text is taken as it is: the expert system checks its encoding
    // first (policy/RuleBaseCheck.h); a NUL inside it ends it here.
    LoadResult LoadText(const char* name, const char* text, size_t length);
    // Both templates exist with every slot a pass writes as a single-value slot.
    bool Ready() const;
    const TemplateReport& WorldReport() const { return worldReport; }
    const TemplateReport& ColonyReport() const { return colonyReport; }

    // Resets the engine, asserts the world and colony facts (every slot at its
    // default first, so extra slots are harmless), runs the rules within the
    // work budget and reads the conclusions. Rules in the templates' own
    // module run: a reset leaves only MAIN in focus, so that module is
    // focused too.
    PassResult Pass(const PassFacts& facts);
    // The conclusions of the fact list as it stands (Pass ends with it);
    // false, with none kept, when there are more than kMaxConclusions.
    bool ReadConclusions();

    // Rule-engine printouts to "t" are kept only while echo is on.
    void SetEcho(bool on) { echo = on; }
    bool Echo() const { return echo; }
    // Capture on: printouts (with echo) and errors collect in consoleText and
    // errorText instead of going to the standard streams. Pass and LoadText
    // empty both first.
    void SetCapture(bool on) { capture = on; }
    bool Capture() const { return capture; }
    // Trace on: each pass records the rules it fires, in order (fired).
    void SetTraceRules(bool on) { traceRules = on; }
    bool TraceRules() const { return traceRules; }

    // The last pass's conclusions, in fact-list order.
    Conclusion conclusions[kMaxConclusions] = {};
    size_t conclusionCount = 0;
    // The work the last load or pass did, in units; overBudget: it ran past
    // its budget and was halted.
    int64_t work = 0;
    bool overBudget = false;
    int32_t firings = 0;
    // With the trace on: the index (into ruleNames' order) of every rule the
    // last pass fired, in firing order.
    std::vector<uint32_t> fired;

    BoundedText<kCaptureCapacity> consoleText;
    BoundedText<kCaptureCapacity> errorText;
    // The facilities a rule base called that the engine's host refuses
    // (policy/EngineServer.cpp), "name\n" each, once each, since the last
    // load or pass began.
    std::string refusedCalls;
    void NoteRefused(const char* name) noexcept;

    // Filled by LoadText: each error or warning with its line, in the order
    // the engine gave them (diagnosticsDropped counts those that did not fit),
    // and the names of every rule defined, module by module, "name\n" each.
    LoadDiagnostic diagnostics[kMaxDiagnostics];
    size_t diagnosticCount = 0;
    size_t diagnosticsDropped = 0;
    std::string ruleNames;
    size_t ruleCount = 0;
    // The engine's parser reports here (a C callback, never throws).
    void AddDiagnostic(long engineLine, const char* text, bool warning) noexcept;

    // The engine's own callbacks (C linkage expectations, never throw).
    void CountWork(int64_t units) noexcept;
    void Fired(const void* rule) noexcept;

private:
    void FindTemplates();
    void ListRules();
    PassResult RunPass(const PassFacts& facts);
    void StartCounting(int64_t units);
    void StopCounting();

    // The source being loaded, for turning the engine's line count into lines.
    const char* loadingText = nullptr;
    size_t loadingLength = 0;

    void* environment = nullptr;
    void* worldTemplate = nullptr;
    void* colonyTemplate = nullptr;
    void* worldModule = nullptr;
    void* colonyModule = nullptr;
    TemplateReport worldReport;
    TemplateReport colonyReport;
    bool echo = false;
    bool capture = false;
    bool traceRules = false;
    // Work counting: the budget of what runs now (0: nothing counted), and
    // how much error text there was when it ran out (what follows is the
    // engine's own account of the halt).
    int64_t budget = 0;
    size_t errorsAtHalt = 0;
    std::unordered_map<const void*, uint32_t> ruleIndex;
};
