#include "settings/SimulationBuild.h"

#include <cassert>
#include <mutex>
#include <string>

#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

using P = ParameterId;

// Simulation's hook: the members are made, the first world is not.
void PrepareFirstWorld(Simulation& simulation, Simulation::FirstColony& first, void* context) {
    const RunDescription& run = *static_cast<const RunDescription*>(context);
    // The pace and the paint cadence are the front end's; here they land in
    // blocks nobody reads.
    SimThreadControl unusedPace;
    int32_t unusedCadence = 0;
    ParameterTarget target{&simulation, &unusedPace, &unusedCadence, nullptr};
    for (int32_t i = 0; i < kParameterCount; ++i) {
        const ParameterRow& row = Parameter(i);
        if (run.given[i] && row.set != nullptr) row.set(target, run.values[i].number);
    }
    simulation.worldWidth = run.WorldWidth();
    simulation.worldHeight = run.WorldHeight();
    first.x = static_cast<int32_t>(run.Number(P::ColonyX));
    first.y = static_cast<int32_t>(run.Number(P::ColonyY));
    first.ants = static_cast<int32_t>(run.Number(P::InitialAnts));
    if (run.Given(P::InitialColonyFood)) {
        simulation.colony.foodReserves = static_cast<float>(
            static_cast<int32_t>(run.Number(P::InitialColonyFood)));
    }
    // New Sim's seed grid is left alone: nothing reads it, and filling it
    // would draw from the random source and shift the whole run.
}

}  // namespace

std::unique_ptr<Simulation> BuildSimulation(const RunDescription& run) {
#ifndef NDEBUG
    std::string error;
    assert(CheckRun(run, error));
#endif
    RuleBaseSource rules =
        run.rulesText != nullptr
            ? RuleBaseSource(run.rulesName.c_str(), run.rulesText, run.rulesLength)
            : RuleBaseSource(run.rulesPath.c_str());
    if (!run.rulesName.empty()) rules.name = run.rulesName.c_str();  // what the views call it
    auto simulation = std::make_unique<Simulation>(run.seed, rules, PrepareFirstWorld,
                                                   const_cast<RunDescription*>(&run));
    std::lock_guard<std::mutex> lock(simulation->stateMutex);
    simulation->colony.showTrails = run.showTrails;
    if (!run.expertSystem) simulation->expertSystem.on = false;
    simulation->expertSystem.engine.SetEcho(run.verbose);
    return simulation;
}

void ApplyPace(const RunDescription& run, SimThreadControl& control) {
    control.simsPerSecond.store(static_cast<float>(run.Number(P::SimsPerSecond)));
}
