#pragma once
// RunDescription: everything a run of the colony is made from, as one plain
// value: every parameter, the seed, the flags, and the files. It is built in
// layers (the defaults, then the settings file, then the command line: a
// later layer wins) and checked once, before anything is built, opened or
// written; a simulation is then built from it (settings/SimulationBuild.h).
//
// The pace and the paint cadence are parameters like the others
// (simsPerSecond, renderingMulti); the front end applies them to its thread
// and its view.
#include <cstdint>
#include <string>

#include "settings/ParameterValue.h"

struct RunDescription {
    // The random source of a run nobody seeded: every unseeded run is alike.
    static constexpr uint32_t kUnseeded = 1;

    ParameterValue values[kParameterCount];
    // Set by a layer above the defaults: only these are written into the new
    // simulation, so a run with nothing given is the default run bit for bit.
    bool given[kParameterCount] = {};

    uint32_t seed = kUnseeded;
    bool showTrails = true;    // --no-trails
    bool expertSystem = true;  // --no-expert-system
    bool texture = false;      // --texture
    bool rulesPanel = false;   // --rules-panel
    bool verbose = false;      // the rule engine's printouts reach the user

    // The rule base to load: a file (rulesPath), or a shipped rule base of the
    // gallery held in memory (rulesText); neither: the built-in rules.
    // rulesName is what the views call it ("default", "thrifty").
    std::string rulesPath;
    const char* rulesText = nullptr;
    size_t rulesLength = 0;
    std::string rulesName;
    // The settings file (Marrowick.ini); empty: the built-in defaults.
    std::string settingsPath;
    bool settingsWritable = false;
    // The installed data folder (the built-in rule base, the texture), or
    // empty for a program run from its build tree.
    std::string dataFolder;

    RunDescription();

    void Set(ParameterId id, const ParameterValue& value);
    void Set(const Setting& setting) { Set(setting.id, setting.value); }
    void SetNumber(ParameterId id, double number) {
        ParameterValue value;
        value.number = number;
        Set(id, value);
    }
    double Number(ParameterId id) const { return values[static_cast<int32_t>(id)].number; }
    const std::string& Text(ParameterId id) const { return values[static_cast<int32_t>(id)].text; }
    bool Given(ParameterId id) const { return given[static_cast<int32_t>(id)]; }

    // The world the first colony is founded in: colonyWorldWidth when given,
    // else worldWidth (the two name the same value; CheckRun refuses both
    // given and different).
    int32_t WorldWidth() const;
    int32_t WorldHeight() const;
};

// The checks beyond each value's range, as the dialogs make them: the four
// shares add up to 100 (added as Ants Options adds them), New Sim's and New
// Colony's world sizes agree, and the first colony keeps its distance from
// the border of its world. False with a message that names the parameters.
bool CheckRun(const RunDescription& run, std::string& error);

// How close to the border New Colony may place a colony.
constexpr int32_t kPlacementMargin = 10;
