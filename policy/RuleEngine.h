#pragma once
// RuleEngine: owns one CLIPS 6.30 environment for its whole life (RAII), with
// the capture router on the logical name "proir" that collects the printed
// fact listing into a bounded buffer.
//
// No global state: the router reaches its engine through the context pointer
// of EnvAddRouterWithContext. Engine output on "stdout" (the rules' printouts)
// is dropped unless echo is on; errors ("werror") always go to standard error.
// Hazard: callbacks run inside CLIPS calls; they must never throw.
#include <cstddef>
#include <cstdint>

// Why a rule base did not load.
enum class LoadResult { Loaded, CannotRead, HasErrors, LacksTemplates };

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
    Listed,  // the rules ran to rest; factListing holds the facts
    CutOff,  // still firing after kMaxRuleFirings: the conclusions are not trusted
    Failed,  // the facts could not be made
};

class RuleEngine {
public:
    static constexpr size_t kListingCapacity = 10000;  // factListing, NUL included
    // A user-edited rule base that never settles must not hang the simulation.
    static constexpr long kMaxRuleFirings = 10000;

    RuleEngine();
    ~RuleEngine();
    RuleEngine(const RuleEngine&) = delete;
    RuleEngine& operator=(const RuleEngine&) = delete;

    void* Environment() const { return environment; }
    bool Usable() const { return environment != nullptr; }

    // Loads the rule base at path and checks the world and colony templates
    // with every slot a pass writes. The engine's own error text goes to
    // standard error as it is printed.
    LoadResult Load(const char* path);
    // Both templates exist with every slot a pass writes.
    bool Ready() const;
    // Resets the engine, asserts the world and colony facts, runs the rules
    // and prints the fact listing into factListing. Call only when Ready().
    PassResult Pass(const PassFacts& facts);

    // Rule-engine printouts to "t" reach standard output only while echo is on.
    void SetEcho(bool on) { echo = on; }
    bool Echo() const { return echo; }

    // Set once a pass has hit kMaxRuleFirings and said so on standard error,
    // so a looping rule base is reported once rather than every pass.
    bool runawayReported = false;

    // The listing router's buffer, always NUL-terminated. A piece of output
    // that does not fit is dropped with everything after it (listingOverflow
    // tells), so the buffer holds a clean prefix of what was printed.
    char factListing[kListingCapacity] = {};
    size_t listingLength = 0;
    bool listingOverflow = false;
    void ClearListing();
    void AppendListing(const char* text);

private:
    void* environment = nullptr;
    bool echo = false;
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
