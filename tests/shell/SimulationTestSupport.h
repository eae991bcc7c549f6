#pragma once
// Shared by the simulation, thread and headless tests: a private folder for
// the rule base each simulation writes, and a host that counts requests.
#include <atomic>
#include <cstdlib>
#include <memory>
#include <string>

#include "shell/Simulation.h"
#include "shell/SimulationThread.h"

// A temporary folder removed with its contents at the end of the test (tests
// run in parallel from one working directory).
class SimulationTempFolder {
public:
    SimulationTempFolder() {
        char pattern[] = "/tmp/marrowick-sim-XXXXXX";
        const char* made = mkdtemp(pattern);
        path = made != nullptr ? made : "/tmp";
    }
    ~SimulationTempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    SimulationTempFolder(const SimulationTempFolder&) = delete;
    SimulationTempFolder& operator=(const SimulationTempFolder&) = delete;
    std::string File(const char* name) const { return path + "/" + name; }
    std::string path;
};

inline std::unique_ptr<Simulation> MakeSimulation(const SimulationTempFolder& folder,
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
