#pragma once
// Shared by the simulation, thread and headless tests: a private folder for
// the rule base each simulation writes, and a host that counts requests.
#include <atomic>
#include <memory>
#include <string>

#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "tests/TempFolder.h"

inline std::unique_ptr<Simulation> MakeSimulation(const TempFolder& folder,
                                                  uint32_t seed = 1) {
    return std::make_unique<Simulation>(seed, folder.File("Rules.clp").c_str());
}

class CountingHost final : public SimulationHost {
public:
    void RequestRestart() override { restarts.fetch_add(1); }
    void RequestRepaint() override { repaints.fetch_add(1); }
    std::atomic<int32_t> restarts{0};
    std::atomic<int32_t> repaints{0};
};
