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

class Colony;

class ExpertSystem {
public:
    static constexpr size_t kActionCapacity = 100;  // populationAction, foodAction
    // Failed passes in a row (time-outs, crashes) that switch the system off.
    static constexpr int32_t kMaxFailedPasses = 3;

    ExpertSystem() = default;
    ExpertSystem(const ExpertSystem&) = delete;
    ExpertSystem& operator=(const ExpertSystem&) = delete;

    // Provides the rule base at rulesPath (written from the built-in text when
    // missing) and loads it; a failure says why on standard error and leaves
    // on false.
    void Init(const char* rulesPath);

    // One pass over the colony. Does nothing while the rule base is unusable
    // (the switch may be turned on after a failed load). A pass the engine
    // fails leaves the shares and action lines as they were and says why on
    // standard error.
    void Run(Colony& colony);

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
};
