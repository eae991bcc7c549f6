#pragma once
// Shared by the simulation, thread and headless tests: a simulation on a rule
// base file of its own (the built-in rules, which a test may then edit and
// reload), and a host that counts requests.
#include <atomic>
#include <memory>
#include <string>

#include "policy/RuleBaseFile.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "tests/TempFolder.h"

inline std::unique_ptr<Simulation> MakeSimulation(const TempFolder& folder, uint32_t seed = 1) {
    const std::string rules = folder.File("Rules.clp");
    ProvideRuleBase(rules.c_str());
    return std::make_unique<Simulation>(seed, rules.c_str());
}

class CountingHost final : public SimulationHost {
public:
    void RequestRestart() override { restarts.fetch_add(1); }
    void RequestRepaint() override { repaints.fetch_add(1); }
    std::atomic<int32_t> restarts{0};
    std::atomic<int32_t> repaints{0};
};
