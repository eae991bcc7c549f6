#pragma once
// Parameters: every dialog field that stores a value, reached by its short
// stable name. The dialog tables (shell/DialogTables.h) are the one place a
// parameter's name, range and home are kept; the command line's --set and
// --list-parameters and the experiments all read them through this module, so
// a value the command line accepts is exactly one the dialog would accept.
//
// Start-up settings describe the first world: they are written while the
// simulation is built, before its first world is, so a run with settings is
// the run the program would have made had they been its defaults.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "shell/DialogTables.h"

class Simulation;
struct SimThreadControl;

// One parameter: a dialog and the index of its field in exchange order.
struct ParameterRef {
    DialogId dialog = DialogId::Options;
    int32_t field = -1;

    const FieldRow& Row() const;
    const char* Name() const { return Row().name; }
    bool operator==(const ParameterRef& other) const {
        return dialog == other.dialog && field == other.field;
    }
};

constexpr size_t kParameterMessageCapacity = 320;

// Every named field, in dialog and exchange order.
int32_t ParameterCount();
ParameterRef ParameterAt(int32_t index);

// The parameter with that exact name; false when there is none.
bool FindParameter(const char* name, ParameterRef& ref);

// A value for one parameter as the dialog would read it, range included. The
// generator type also takes its combo text. On failure the message names the
// parameter, its dialog and its range.
bool ParseParameterValue(ParameterRef ref, const char* text, double& value, char* message,
                         size_t capacity);

// "NAME=VALUE" (the argument of --set).
bool ParseSetting(const char* text, ParameterRef& ref, double& value, char* message,
                  size_t capacity);

// The value's one spelling: the same text for the same stored value, so that
// rows and command lines compare as text (the generator type as its number).
void FormatParameterValue(ParameterRef ref, double value, char* out, size_t capacity);

// The range as a phrase: "a whole number from 5 to 1000", "0 or 1", ...
void FormatParameterRange(ParameterRef ref, char* out, size_t capacity);

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

// The value a parameter holds now: what its dialog would open with, except the
// colony placement, which is the colony's home (the first colony sits off
// centre, where the New Colony dialog would not put it). Caller holds the
// state lock or runs no thread.
double CurrentParameterValue(ParameterRef ref, const DialogTarget& target);

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

// The parameter list: name, range, default (from target) and dialog.
void PrintParameterList(std::FILE* out, const DialogTarget& defaults);

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
