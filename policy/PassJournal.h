#pragma once
// PassJournal: what the expert system's recent passes saw and did, kept for
// the people watching it (the window's rules panel, the headless rule trace).
// A fixed ring of the last kPasses passes: recording a pass copies a few
// words and allocates nothing.
// Threading: part of the ExpertSystem, so read and written only under the
// simulation's state lock.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "policy/Conclusions.h"
#include "policy/RuleEngine.h"


// The slots of the six symbols a pass asserts, in the order it asserts them.
constexpr size_t kSymbolCount = 6;
constexpr const char* kSymbolSlots[kSymbolCount] = {
    "food_supply", "change_FS", "food_reserves", "population", "change_FR", "num_gathering_ants"};

// The three words each slot can hold, from the bottom of its scale to the
// top, in the order of kSymbolSlots.
constexpr size_t kSymbolWordCount = 3;
constexpr const char* kSymbolWords[kSymbolCount][kSymbolWordCount] = {
    {"low", "normal", "high"},             {"decreasing", "stable", "increasing"},
    {"low", "stable", "high"},             {"low", "stable", "high"},
    {"decreasing", "stable", "increasing"}, {"low", "normal", "high"}};

enum class PassOutcome : uint8_t {
    Listed,              // the rules ran to rest and the conclusions acted
    CutOff,              // still at work at the work budget: nothing acted
    EngineFailed,        // the engine overran, died or garbled its answer: nothing acted
    TooManyConclusions,  // more conclusion facts than are read: nothing acted
};

// The colony's four target shares, in percent.
struct ShareSet {
    float gathering = 0.0f;
    float meandering = 0.0f;
    float wandering = 0.0f;
    float reproducing = 0.0f;
};

struct PassRecord {
    static constexpr size_t kMaxConclusions = 16;  // a rule base may assert more; counted
    static constexpr size_t kFiredCapacity = 512;  // rule names, blank-separated

    int64_t step = 0;  // the simulation step the pass ran in
    PassOutcome outcome = PassOutcome::Listed;
    // Static words ("low", "stable", ...), never freed.
    const char* symbols[kSymbolCount] = {};
    // Conclusions as they were read back and acted on, in fact-list order.
    Conclusion conclusions[kMaxConclusions] = {};
    int32_t conclusionCount = 0;  // all read back, also those past kMaxConclusions
    // The work it did in units (policy/RuleEngine.h) and its rule firings;
    // the rules fired, in order, only while the engine traces (traced), as
    // many as fit.
    int64_t work = 0;
    int32_t firings = 0;
    bool traced = false;
    BoundedText<kFiredCapacity> fired;
    ShareSet before;
    ShareSet after;

    int32_t KeptConclusions() const {
        return conclusionCount < static_cast<int32_t>(kMaxConclusions)
                   ? conclusionCount
                   : static_cast<int32_t>(kMaxConclusions);
    }
};

struct PassJournal {
    static constexpr size_t kPasses = 12;  // the panel's strip: the last dozen

    PassRecord records[kPasses];
    int64_t passes = 0;  // recorded since start-up

    // The slot for the next pass, counted at once.
    PassRecord& Next() {
        PassRecord& record = records[static_cast<size_t>(passes) % kPasses];
        ++passes;
        return record;
    }
    // How many passes the ring holds now.
    size_t Kept() const {
        return passes < static_cast<int64_t>(kPasses) ? static_cast<size_t>(passes) : kPasses;
    }
    // age 0 is the latest pass; age must be below Kept().
    const PassRecord& Back(size_t age) const {
        return records[static_cast<size_t>(passes - 1 - static_cast<int64_t>(age)) % kPasses];
    }
};
