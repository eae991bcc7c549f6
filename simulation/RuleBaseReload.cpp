#include "simulation/RuleBaseReload.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "simulation/Simulation.h"

bool ReloadRuleBase(Simulation& simulation) {
    std::string path;
    {
        std::lock_guard<std::mutex> lock(simulation.stateMutex);
        path = simulation.expertSystem.engine.RulesPath();
    }
    // About 150 KB, and made only on a reload: on the heap.
    auto candidate = std::make_unique<EngineProcess>();
    candidate->SetShowLoadErrors(false);
    const LoadResult result = candidate->Load(path.c_str());
    if (EngineProcess::WaitsAbandoned()) return false;  // the program is ending
    bool taken = false;
    char problem[EngineProcess::kProblemCapacity];
    {
        std::lock_guard<std::mutex> lock(simulation.stateMutex);
        taken = simulation.expertSystem.TakeReload(*candidate, result);
        if (!taken) std::snprintf(problem, sizeof problem, "%s", simulation.expertSystem.loadProblem);
    }
    if (!taken) {
        std::fprintf(stderr, "marrowick: the rule base was not reloaded, the rules loaded before keep running: %s\n", problem);
    }
    // The engine that is not used ends here, outside the lock.
    return taken;
}
