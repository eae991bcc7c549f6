#pragma once
// ExpertSystem: the colony's policy. Every pass it classifies the colony and
// its world into the six symbols of the rule base's two templates, has the
// rule engine run them, reads the conclusions back from the printed fact
// listing and retunes the colony's four role shares.
//
// The colony knows nothing of it: the simulation asks for a pass when the
// colony's policy countdown says one is due (Colony::policyPassDue).
// The rules run in a process of their own (policy/EngineProcess.h); all the
// arithmetic (classification, baselines, reading the conclusions, the shares)
// stays here. An engine that fails three passes in a row switches the expert
// system off.
// Threading: like the colony, touched by other threads only under the
// simulation's state lock.
#include <cstddef>
#include <cstdint>

#include "policy/EngineProcess.h"
#include "policy/PassJournal.h"

class Colony;

// Where a rule base comes from: a file, or a text held in memory (a shipped
// rule base of the gallery). Neither: the built-in rules.
struct RuleBaseSource {
    RuleBaseSource() = default;
    // A file (null or empty: the built-in rules).
    RuleBaseSource(const char* path) : path(path) {}  // NOLINT: a path is a source
    RuleBaseSource(const char* name, const char* text, size_t length)
        : name(name), text(text), length(length) {}

    const char* path = nullptr;
    // What the views and messages call it ("thrifty"); null: a file is named
    // by its header or file name (policy/RuleGallery.h), the built-in rules
    // "default".
    const char* name = nullptr;
    const char* text = nullptr;
    size_t length = 0;
};

// What the rule base is doing, as the rules panel shows it.
enum class RuleBaseState {
    Loaded,  // passes run on it
    Failed,  // it never loaded (loadProblem says why): nothing runs
    CutOff,  // loaded, but its last pass was still firing at the limit
    Off,     // loaded, and the expert system is switched off
};

class ExpertSystem {
public:
    static constexpr size_t kActionCapacity = 100;  // populationAction, foodAction
    // Failed passes in a row (time-outs, crashes) that switch the system off.
    static constexpr int32_t kMaxFailedPasses = 3;

    ExpertSystem() = default;
    ExpertSystem(const ExpertSystem&) = delete;
    ExpertSystem& operator=(const ExpertSystem&) = delete;

    // What messages call the rules a run loads from memory.
    static constexpr const char* kBuiltInRulesName = "the built-in rules";

    // Loads the rule base (a file, a text, or the built-in rules); nothing is
    // ever written. A failure says why on standard error and leaves on false.
    void Init(const RuleBaseSource& source);

    // One pass over the colony. Does nothing while the rule base is unusable
    // (the switch may be turned on after a failed load). A pass the engine
    // fails leaves the shares and action lines as they were and says why on
    // standard error.
    // step is what the journal records the pass under.
    void Run(Colony& colony, int64_t step = 0);

    // Puts a rule base loaded beside this one (candidate, with the result of
    // its Load) in place of the running one when it loaded cleanly and fits;
    // otherwise the running rules stay and loadProblem says why. Either way
    // candidate is left holding the engine that is not used, to be destroyed
    // outside the state lock. Baselines and the journal carry on; an expert
    // system that a failure had switched off is switched on again.
    bool TakeReload(EngineProcess& candidate, LoadResult result);

    RuleBaseState State() const;

    // ---- Fields ----
    bool on = true;  // "Expert System Actions is On"
    EngineProcess engine;
    bool firstPass = true;  // the first pass takes the baselines
    int32_t baselineFoodReserves = 0;
    int32_t baselineFoodSupply = 0;
    char populationAction[kActionCapacity] = {};
    char foodAction[kActionCapacity] = {};
    // Passes abandoned because the rules were still firing after
    // RuleEngine::kMaxRuleFirings.
    int32_t cutOffPasses = 0;
    int32_t failedPasses = 0;      // in a row; a listed pass starts the count again
    bool runawayReported = false;  // the 10,000-firing cut-off is reported once
    // Off because the rule base failed (to load, or three passes in a row),
    // not because the user switched it off: a good reload switches it on.
    bool offByFailure = false;
    // The first error of the last load that failed (start-up or reload),
    // empty while none did; reloadFailed: that was a reload, and the rules
    // loaded before it still run.
    char loadProblem[EngineProcess::kProblemCapacity] = {};
    bool reloadFailed = false;
    // The rules in place came from a load that failed (at start-up): the
    // panel says Failed even when the engine kept enough to run passes.
    bool loadFailed = false;
    int32_t reloads = 0;  // reloads taken since start-up
    PassJournal journal;

    // The rule base running now: its name, as the overlay and the panel show
    // it, and where a reload (F5) finds it again: the text it was loaded from
    // when that was held in memory (the shipped rule bases, which never
    // change), else the file engine.RulesPath() names.
    static constexpr size_t kNameCapacity = 64;
    char ruleBaseName[kNameCapacity] = {};
    const char* ruleBaseText = nullptr;
    size_t ruleBaseLength = 0;
    // Records source as the rule base running now (after it was loaded, at
    // start-up or by a reload that was taken).
    void SetRunning(const RuleBaseSource& source);

private:
    PassRecord& StartRecord(const PassFacts& facts, const Colony& colony, int64_t step);
    void SwitchOffAfterLoad();
    static void Rescale(Colony& colony);
};
