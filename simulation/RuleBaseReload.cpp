#include "simulation/RuleBaseReload.h"

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "simulation/Simulation.h"

bool ReloadRuleBaseInto(Simulation& simulation, EngineProcess& candidate) {
    std::string path;
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        path = simulation.expertSystem.engine.RulesPath();
    }
    candidate.SetShowLoadErrors(false);
    const LoadResult result = candidate.Load(path.c_str());
    // The program is ending, or the reload was cancelled: nothing to say.
    if (EngineProcess::WaitsAbandoned() || candidate.Cancelled()) return false;
    bool taken = false;
    char problem[EngineProcess::kProblemCapacity];
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        taken = simulation.expertSystem.TakeReload(candidate, result);
        if (!taken) std::snprintf(problem, sizeof problem, "%s", simulation.expertSystem.loadProblem);
    }
    if (!taken) {
        std::fprintf(stderr, "marrowick: the rule base was not reloaded, the rules loaded before keep running: %s\n", problem);
    }
    // The engine that is not used ends with candidate, outside the lock.
    return taken;
}

bool ReloadRuleBase(Simulation& simulation) {
    // About 150 KB, and made only on a reload: on the heap.
    auto candidate = std::make_unique<EngineProcess>();
    return ReloadRuleBaseInto(simulation, *candidate);
}

RuleBaseReloader::~RuleBaseReloader() {
    {
        std::lock_guard<std::mutex> guard(lock);
        ending = true;
        if (candidate != nullptr) candidate->Cancel();
    }
    if (worker.joinable()) worker.join();
}

void RuleBaseReloader::Start() {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (running) {
            again = true;
            return;
        }
        // A thread that finished its work is about to return: joined at once.
        if (worker.joinable()) worker.join();
        running = true;
        try {
            worker = std::thread(&RuleBaseReloader::Work, this);
            return;
        } catch (const std::system_error&) {
            running = false;
        }
    }
    ReloadRuleBase(simulation);
}

bool RuleBaseReloader::Busy() {
    std::lock_guard<std::mutex> guard(lock);
    return running;
}

void RuleBaseReloader::Work() {
    for (;;) {
        auto engine = std::make_unique<EngineProcess>();
        {
            std::lock_guard<std::mutex> guard(lock);
            if (ending) break;
            candidate = engine.get();
        }
        ReloadRuleBaseInto(simulation, *engine);
        std::lock_guard<std::mutex> guard(lock);
        candidate = nullptr;
        if (!again || ending) break;
        again = false;
    }
    std::lock_guard<std::mutex> guard(lock);
    running = false;
    again = false;
}
