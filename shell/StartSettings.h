#pragma once
// Start-up settings: parameter values given on the command line (--set, a
// sweep's run). They describe the first world: they are written while the
// simulation is built, before its first world is, so a run with settings is
// the run the program would have made had they been its defaults.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "shell/Parameters.h"

class Simulation;
struct SimThreadControl;

// Values to set at start-up; a name given twice keeps the last value.
struct StartSettings {
    static constexpr int32_t kCapacity = 64;  // more than there are parameters
    struct Item {
        ParameterRef ref;
        double value = 0.0;
    };
    Item items[kCapacity];
    int32_t count = 0;

    void Put(ParameterRef ref, double value);
    const Item* Find(const char* name) const;
    bool Empty() const { return count == 0; }
};

// The checks beyond the ranges, against the live values for whatever is not
// set: the four shares add up to 100 (as the Ants Options dialog adds them),
// New Sim's and New Colony's world sizes agree, and the colony's placement
// keeps its distance from the border of that world.
bool CheckStartSettings(const DialogTarget& target, const StartSettings& settings, char* message,
                        size_t capacity);

// Builds the simulation with the settings in place: they are written once its
// members are made and before its first world is built, so the food, the
// world's size and the first colony come out as if the settings had been the
// defaults (a setting equal to its default changes nothing, bit for bit). The
// Options dialog's values go to control and renderingMulti (either may be
// null: dropped). False, with the simulation built without any setting, when
// the cross-checks refuse them.
bool BuildSimulation(std::unique_ptr<Simulation>& simulation, uint32_t seed,
                     const char* rulesPath, const StartSettings& settings,
                     SimThreadControl* control, int32_t* renderingMulti, char* message,
                     size_t capacity);

// A simulation at its defaults, for the parameter list and for checking
// settings before anything runs (main, the sweep). Heavy: about 8 MB, and it
// loads the rule base at rulesPath (writing it first when missing), as every
// run does.
class DefaultWorld {
public:
    explicit DefaultWorld(const char* rulesPath = "Rules.clp");
    ~DefaultWorld();
    DefaultWorld(const DefaultWorld&) = delete;
    DefaultWorld& operator=(const DefaultWorld&) = delete;

    const DialogTarget& Target() const { return target; }

private:
    std::unique_ptr<Simulation> simulation;
    std::unique_ptr<SimThreadControl> control;
    int32_t renderingMulti;
    DialogTarget target;
};
