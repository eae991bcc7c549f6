#pragma once
// The parameter table: every value a run reads, by its short stable name.
//
// One row per parameter says what it is (name, type, range, default, unit, one
// help line) and where the value lives (a getter and a setter on the live
// simulation, the pace block or the view's paint cadence). The option dialogs,
// --set, --list-parameters, the sweeps and the summary rows all read this one
// table, so a value the command line accepts is exactly one the dialog would
// accept, and a parameter added here is at once settable, sweepable and listed.
//
// Invariants (checked by tests):
// - names are unique, lower camelCase, and ParameterId order is table order;
// - every default lies in its range, and a freshly built simulation holds
//   every default (the constants live beside the fields they govern; this
//   table repeats them so that nothing has to be built to know them);
// - an inert parameter is stored and shown but read by no run.
#include <cstdint>

class Simulation;
class SimulationThread;
struct SimThreadControl;

enum class ParameterType : int32_t {
    Whole,   // a 32-bit integer
    Real,    // stored in single precision
    Flag,    // 0 or 1 (a check box)
    Choice,  // a small integer with a text per value (the generator type)
    Text,    // a name or a path (the rule base)
};

// Every parameter, in table order.
enum class ParameterId : int32_t {
    SimsPerSecond,
    RenderingMulti,
    StartingSeeds,
    WorldWidth,
    WorldHeight,
    DeadRule0, DeadRule1, DeadRule2, DeadRule3, DeadRule4, DeadRule5, DeadRule6, DeadRule7,
    DeadRule8,
    AliveRule0, AliveRule1, AliveRule2, AliveRule3, AliveRule4, AliveRule5, AliveRule6,
    AliveRule7, AliveRule8,
    ConstantGrowthAmount,
    ExponentialGrowthPercentage,
    DecayPercentage,
    GeneratorType,
    InitialFood,
    MaxFood,
    MinFood,
    ClusterSize,
    TurnsToDecay,
    FoodRenderThreshold,
    GatheringShare,
    MeanderingShare,
    ReproducingShare,
    WanderingShare,
    TrailRenderThreshold,
    WanderTrailIntensity,
    GathererTrailIntensity,
    MaxWanderDistance,
    PotentialFieldStrength,
    ReturnToBaseTime,
    DieRatio,
    ReproduceRatio,
    FoodPerAnt,
    FoodPerBaby,
    MinFoodToReproduce,
    MeanderPull,
    FoodSearchRadius,
    PolicyPeriod,
    ColonyY,
    ColonyX,
    InitialAnts,
    InitialColonyFood,
    ColonyWorldWidth,
    ColonyWorldHeight,
    Rules,
    Count,
};
constexpr int32_t kParameterCount = static_cast<int32_t>(ParameterId::Count);

// Where the values live while a colony runs. The dialogs, the commands and
// the start-up reach them through it.
struct ParameterTarget {
    Simulation* simulation = nullptr;
    SimThreadControl* control = nullptr;  // simsPerSecond
    int32_t* renderingMulti = nullptr;    // the view's paint cadence
    SimulationThread* thread = nullptr;   // New Colony stops it before rebuilding
};

struct ParameterRow {
    ParameterId id;
    const char* name;
    ParameterType type;
    double low;   // both ends included (Whole, Real; Choice: 0 .. texts - 1)
    double high;
    double defaultValue;  // Text: none (see RunDescription::rules)
    const char* unit;     // "" when the value has none
    const char* help;     // one line, no final full stop
    // Stored and shown, but no run reads it (New Sim's seed count and rule
    // boxes): --list-parameters says so and --vary refuses it.
    bool inert;
    // The live value (caller holds the state lock or runs no thread); null
    // for a value that lives nowhere once the run has started (the first
    // colony's placement, the rule base).
    double (*get)(const ParameterTarget&);
    // Writes a value; null where it is written only when a world or colony is
    // built (the New Colony fields) or not at all (Text).
    void (*set)(ParameterTarget&, double);
};

const ParameterRow& Parameter(ParameterId id);
inline const ParameterRow& Parameter(int32_t index) {
    return Parameter(static_cast<ParameterId>(index));
}

// The parameter with exactly that name; false when there is none.
bool FindParameter(const char* name, ParameterId& id);
// The parameter whose name differs from name only in letter case, for a
// "did you mean" hint; false when there is none.
bool FindParameterIgnoringCase(const char* name, ParameterId& id);

// The generator type's texts, in type order (the Food Control combo's items).
constexpr int32_t kGeneratorTextCount = 3;
extern const char* const kGeneratorTexts[kGeneratorTextCount];

// The four shares in the order the statistics and the CSV show them; the
// linked form "shares=M/W/G/R" (settings/ParameterValue.h) follows it.
constexpr ParameterId kShareOrder[4] = {ParameterId::MeanderingShare, ParameterId::WanderingShare,
                                        ParameterId::GatheringShare, ParameterId::ReproducingShare};
