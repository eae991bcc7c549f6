#include "simulation/RuleBaseReload.h"

#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include "simulation/Simulation.h"

namespace {

// Loads target into candidate, outside the lock, and has the expert system
// take it under the lock. The engine that is not used ends with candidate,
// outside the lock.
bool LoadAndTake(Simulation& simulation, EngineProcess& candidate, const RuleBaseEntry& target,
                 const char* failure) {
    const LoadResult result = target.text != nullptr
                                  ? candidate.LoadText(target.name.c_str(), target.text, target.length)
                                  : candidate.Load(target.path.c_str());
    // The program is ending, or the load was cancelled: nothing to say.
    if (EngineProcess::WaitsAbandoned() || candidate.Cancelled()) return false;
    bool taken = false;
    char problem[EngineProcess::kProblemCapacity];
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        ExpertSystem& expert = simulation.expertSystem;
        taken = expert.TakeReload(candidate, result);
        if (taken) {
            RuleBaseSource source;
            source.name = target.name.c_str();
            if (target.text != nullptr) {
                source.text = target.text;
                source.length = target.length;
            } else {
                source.path = target.path.c_str();
            }
            expert.SetRunning(source);
        } else {
            std::snprintf(problem, sizeof problem, "%s", expert.loadProblem);
        }
    }
    if (!taken) std::fprintf(stderr, "marrowick: %s: %s\n", failure, problem);
    return taken;
}

}  // namespace

bool ReloadRuleBaseInto(Simulation& simulation, EngineProcess& candidate) {
    // The running rule base, from where it came.
    RuleBaseEntry running;
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        const ExpertSystem& expert = simulation.expertSystem;
        running.name = expert.ruleBaseName;
        running.text = expert.ruleBaseText;
        running.length = expert.ruleBaseLength;
        if (running.text == nullptr) running.path = expert.engine.RulesPath();
    }
    // A file's header may have renamed it meanwhile.
    if (running.text == nullptr) running.name = RuleBaseNameOfFile(running.path);
    return LoadAndTake(simulation, candidate, running,
                       "the rule base was not reloaded, the rules loaded before keep running");
}

bool SwitchRuleBaseInto(Simulation& simulation, EngineProcess& candidate,
                        const RuleBaseEntry& target) {
    const std::string failure = "the rules did not change to " + target.name +
                                ", the rules loaded before keep running";
    return LoadAndTake(simulation, candidate, target, failure.c_str());
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

void RuleBaseReloader::Start() { Queue(Request{}); }

void RuleBaseReloader::Switch(const RuleBaseEntry& target) { Queue(Request{true, target}); }

bool RuleBaseReloader::Carry(Simulation& simulation, EngineProcess& engine, const Request& request) {
    return request.switchTo ? SwitchRuleBaseInto(simulation, engine, request.target)
                            : ReloadRuleBaseInto(simulation, engine);
}

void RuleBaseReloader::Queue(const Request& request) {
    {
        std::lock_guard<std::mutex> guard(lock);
        if (running) {
            next = request;
            again = true;
            return;
        }
        // A thread that finished its work is about to return: joined at once.
        if (worker.joinable()) worker.join();
        running = true;
        current = request;
        try {
            worker = std::thread(&RuleBaseReloader::Work, this);
            return;
        } catch (const std::system_error&) {
            running = false;
        }
    }
    auto engine = std::make_unique<EngineProcess>();
    Carry(simulation, *engine, request);
}

bool RuleBaseReloader::Busy() {
    std::lock_guard<std::mutex> guard(lock);
    return running;
}

void RuleBaseReloader::Work() {
    for (;;) {
        auto engine = std::make_unique<EngineProcess>();
        Request request;
        {
            std::lock_guard<std::mutex> guard(lock);
            if (ending) break;
            candidate = engine.get();
            request = current;
        }
        Carry(simulation, *engine, request);
        std::lock_guard<std::mutex> guard(lock);
        candidate = nullptr;
        if (!again || ending) break;
        again = false;
        current = next;
    }
    std::lock_guard<std::mutex> guard(lock);
    running = false;
    again = false;
}
