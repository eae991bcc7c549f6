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

    // Rule-engine printouts to "t" reach standard output only while echo is on.
    void SetEcho(bool on) { echo = on; }
    bool Echo() const { return echo; }

    // The listing router's buffer; appends beyond capacity are dropped.
    char factListing[kListingCapacity] = {};
    size_t listingLength = 0;
    void ClearListing() { factListing[0] = '\0'; listingLength = 0; }
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
