#pragma once
// RuleEngine: owns one CLIPS 6.30 environment for its whole life (RAII), with
// the capture router on the logical name "proir" that collects the printed
// fact listing into a bounded buffer.
//
// The program runs it inside the engine process (policy/EngineServer.h),
// never in its own address space: a rule base is a program, and this is where
// it runs. Tests and benchmarks use it directly.
//
// No global state: the routers reach their engine through the context pointer
// of EnvAddRouterWithContext. Engine output on "stdout" (the rules' printouts)
// is dropped unless echo is on; errors ("werror") go to standard error, or
// into errorText while capture is on.
// Hazard: callbacks run inside CLIPS calls; they must never throw.
#include <cstddef>
#include <cstdint>

// Why a rule base did not load.
enum class LoadResult {
    Loaded,
    CannotRead,      // the file cannot be read (or is no regular file, or too large)
    HasErrors,       // the engine reported errors while loading it
    LacksTemplates,  // the world or colony template, or one of the slots a pass writes, does not fit
    EngineFailed,    // the engine process could not start, or timed out or died while loading
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

enum class PassResult {
    Listed,        // the rules ran to rest; factListing holds the facts
    CutOff,        // still firing after kMaxRuleFirings: the conclusions are not trusted
    Failed,        // the facts could not be made (no usable templates)
    EngineFailed,  // the engine process overran its budget, died or garbled its answer
    Abandoned,     // the program is ending: every engine wait was abandoned
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

class RuleEngine {
public:
    static constexpr size_t kListingCapacity = 10000;  // factListing, NUL included
    // A user-edited rule base that never settles must not hang the simulation.
    static constexpr long kMaxRuleFirings = 10000;
    // Console and error text kept per load or pass while capture is on.
    static constexpr size_t kCaptureCapacity = 4096;
    // Names of fired rules kept per pass while the trace is on, one a line.
    static constexpr size_t kTraceCapacity = 32768;
    // Load messages kept with their lines; the rest are only counted.
    static constexpr size_t kMaxDiagnostics = 24;
    // Names of the rules a rule base defines, one a line.
    static constexpr size_t kRuleNamesCapacity = 8192;

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
    LoadResult LoadText(const char* name, const char* text, size_t length);
    // Both templates exist with every slot a pass writes as a single-value slot.
    bool Ready() const;
    const TemplateReport& WorldReport() const { return worldReport; }
    const TemplateReport& ColonyReport() const { return colonyReport; }

    // Resets the engine, asserts the world and colony facts (every slot at its
    // default first, so extra slots are harmless), runs the rules and prints
    // the fact listing into factListing. Rules in the templates' own module
    // run: a reset leaves only MAIN in focus, so that module is focused too.
    PassResult Pass(const PassFacts& facts);

    // Rule-engine printouts to "t" are kept only while echo is on.
    void SetEcho(bool on) { echo = on; }
    bool Echo() const { return echo; }
    // Capture on: printouts (with echo) and errors collect in consoleText and
    // errorText instead of going to the standard streams. Pass and LoadText
    // empty both first.
    void SetCapture(bool on) { capture = on; }
    bool Capture() const { return capture; }
    // Trace on: each pass records the names of the rules it fires, in order.
    void SetTraceRules(bool on) { traceRules = on; }
    bool TraceRules() const { return traceRules; }

    // The listing router's buffer, always NUL-terminated. A piece of output
    // that does not fit is dropped with everything after it (listingOverflow
    // tells), so the buffer holds a clean prefix of what was printed.
    char factListing[kListingCapacity] = {};
    size_t listingLength = 0;
    bool listingOverflow = false;
    void ClearListing();
    void AppendListing(const char* text);

    BoundedText<kCaptureCapacity> consoleText;
    BoundedText<kCaptureCapacity> errorText;
    BoundedText<kTraceCapacity> firedRules;  // "name\n" per firing

    // Filled by LoadText: each error or warning with its line, in the order
    // the engine gave them (diagnosticsDropped counts those that did not fit),
    // and the names of every rule defined, module by module.
    LoadDiagnostic diagnostics[kMaxDiagnostics];
    size_t diagnosticCount = 0;
    size_t diagnosticsDropped = 0;
    BoundedText<kRuleNamesCapacity> ruleNames;
    // The engine's parser reports here (a C callback, never throws).
    void AddDiagnostic(long engineLine, const char* text, bool warning) noexcept;

private:
    void FindTemplates();
    void ListRules();

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
};

// Token kinds of the fact-listing scanner.
enum TokenKind : int32_t {
    TokenInteger = 0,
    TokenReal = 1,
    TokenComma = 2,
    TokenSemicolon = 3,
    TokenWord = 4,
    TokenEnd = 7,
};

constexpr size_t kTokenTextCapacity = 100;  // tokenText, NUL included

// Reads the next token at cursor (advanced past it) into tokenText
// (kTokenTextCapacity bytes; longer tokens are cut) and returns its kind.
TokenKind NextToken(const char*& cursor, char* tokenText);
