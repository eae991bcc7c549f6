#pragma once
// ExpertSystem: the colony's policy. Every pass it classifies the colony and
// its world into the six symbols of the rule base's two templates, has the
// rule engine run them, takes back the conclusions it found in its fact list
// and retunes the colony's four role shares.
//
// The colony knows nothing of it: the simulation asks for a pass when the
// colony's policy countdown says one is due (Colony::policyPassDue).
// The rules run in a process of their own (policy/EngineProcess.h); all the
// arithmetic (classification, baselines, acting on the conclusions, the
// shares) stays here. A rule base that fails kMaxFailedPasses of the last
// kFailureWindow passes (cut off at the work budget, too many conclusions,
// or an engine that failed) switches the expert system off: failures that
// alternate with good passes count as well as failures in a row. What the
// engine says reaches standard error through a MessageGate: each distinct
// line once, a few KB a minute at most, control characters escaped.
// Threading: like the colony, touched by other threads only under the
// simulation's state lock.
#include <cstddef>
#include <cstdint>

#include "policy/EngineProcess.h"
#include "policy/MessageGate.h"
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
    // Failed passes among the last kFailureWindow that switch the system off.
    static constexpr int32_t kMaxFailedPasses = 3;
    static constexpr int32_t kFailureWindow = 10;
    // Load messages a run shows (--check-rules shows them all).
    static constexpr size_t kShownLoadMessages = 3;

    ExpertSystem() = default;
    ExpertSystem(const ExpertSystem&) = delete;
    ExpertSystem& operator=(const ExpertSystem&) = delete;

    // What messages call the rules a run loads from memory.
    static constexpr const char* kBuiltInRulesName = "the built-in rules";

    // Loads the rule base (a file, a text, or the built-in rules); nothing is
    // ever written. A failure says why on standard error (the engine's
    // messages with their FILE:LINE) and leaves on false.
    void Init(const RuleBaseSource& source);

    // One pass over the colony. Does nothing while the rule base is unusable
    // (the switch may be turned on after a failed load). A pass that fails
    // leaves the shares and action lines as they were and says why on
    // standard error.
    // step is what the journal records the pass under, and offStep the
    // switch-off under.
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
    // Passes that did not come to rest since start-up: all of them
    // (failedPasses), and those among them cut off at the work budget.
    int32_t failedPasses = 0;
    int32_t cutOffPasses = 0;
    // The last kFailureWindow passes, newest in bit 0: 1 where one failed.
    uint32_t recentFailures = 0;
    // Off because the rule base failed (to load, or kMaxFailedPasses of the
    // last kFailureWindow passes), not because the user switched it off: a
    // good reload switches it on.
    bool offByFailure = false;
    // The step at which failing passes last switched the system off; -1
    // while they never have.
    int64_t offStep = -1;
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
    MessageGate messages;

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
    bool Failure(PassRecord& record, PassResult result, int64_t step);
    void ShowLoadProblem(const EngineProcess& loaded);
    PassRecord& StartRecord(const PassFacts& facts, const Colony& colony, int64_t step);
    void FinishLoad(LoadResult result);
    void SwitchOffAfterLoad();
    static void Rescale(Colony& colony);
};
