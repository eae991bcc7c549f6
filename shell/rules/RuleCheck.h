#pragma once
// Checking a rule base the way the expert system will use it: loaded into an
// engine process of its own (so a hostile file is checked safely), its
// templates compared with the facts the expert system asserts, then one pass
// for each of the 3^6 = 729 combinations of the six symbols, with the rules
// that fired and the conclusions read back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "policy/EngineProcess.h"
#include "policy/MessageGate.h"
#include "policy/PassJournal.h"

constexpr size_t kCombinationCount = 729;  // 3^6

struct CheckRow {
    // Indices into kSymbolWords, in the order of kSymbolSlots.
    uint8_t values[kSymbolCount] = {};
    PassResult result = PassResult::Listed;
    std::vector<Conclusion> conclusions;  // fact-list order
    std::vector<std::string> fired;       // firing order, at most kMaxFiredKept
    int32_t firings = 0;                  // all of them
    int64_t work = 0;                     // in units (policy/RuleEngine.h)
};

// How often one rule fired over all the passes.
struct RuleTally {
    size_t passes = 0;   // passes in which it fired
    size_t firings = 0;  // firings in all
};

struct RuleCheckReport {
    // Names kept per row for the table; the tallies count every firing.
    static constexpr size_t kMaxFiredKept = 100;
    // Engine failures in a row after which the remaining passes are not run.
    static constexpr int32_t kMaxFailuresInARow = 3;

    std::string source;  // the file checked, or the name of the built-in text
    LoadResult load = LoadResult::CannotRead;
    bool usable = false;  // the templates fit: passes ran
    std::string problem;  // why the load failed, one line
    std::vector<LoadDiagnostic> diagnostics;
    size_t diagnosticsDropped = 0;
    TemplateReport world;
    TemplateReport colony;
    std::vector<std::string> rules;   // defined, in definition order (escaped)
    std::vector<RuleTally> tallies;   // one per rule, over every pass
    std::vector<CheckRow> rows;       // in combination order; fewer when stopped
    bool stopped = false;            // engine failures (or a signal) ended the check early
    std::string stopReason;

    // Loaded cleanly and every one of the 729 passes ran to rest.
    bool Passed() const;
};

// The combination with number index (0 .. 728): food_supply varies slowest,
// num_gathering_ants fastest.
void CombinationValues(size_t index, uint8_t values[kSymbolCount]);

// Checks the rule base in the file at path. What the engine says on the way
// (its error text, refused facilities) goes to messages.
RuleCheckReport CheckRuleFile(const char* path, MessageGate& messages);
// Checks a rule base held in memory (the built-in text); name stands for it.
RuleCheckReport CheckRuleText(const char* name, const char* text, size_t length,
                              MessageGate& messages);
// The same, with what the engine says going to standard error, bounded.
RuleCheckReport CheckRuleFile(const char* path);
RuleCheckReport CheckRuleText(const char* name, const char* text, size_t length);
