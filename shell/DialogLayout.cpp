// The five dialogs' layout: every field in exchange order with the parameter
// it shows, its label, control id, kind and group box. Filling, reading and
// writing back are in DialogExchange.cpp.
#include "shell/DialogLayout.h"

#include <cstring>

#include "simulation/Simulation.h"

const char* const kAntsRatioWarning = "Warning sum of the ants ratio has to equal one\nTry Again";
const char* const kXPlacementWarning = "Warning XPlacement is too close to border try again";
const char* const kYPlacementWarning = "Warning YPlacement is too close to border try again";

namespace {

using K = FieldKind;

// New Colony offers the centre of the world it will build.
double CentreX(const ParameterTarget& t) { return double(t.simulation->worldWidth / 2); }
double CentreY(const ParameterTarget& t) { return double(t.simulation->worldHeight / 2); }

// ---- Options ----
const FieldRow kOptionsFields[] = {
    {"simsPerSecond", "Sims Per Second", 1000, K::Int, nullptr, nullptr},
    {nullptr, "Use RL", 1005, K::Check, nullptr, nullptr},
    {"renderingMulti", "Rendering Multi", 1001, K::Int, nullptr, nullptr},
    {nullptr, "Use RL Table only", 1006, K::Check, nullptr, nullptr},
};
const int32_t kOptionsOrder[] = {0, 1, 2, 3};

// ---- New Sim ----
constexpr const char* kDead = "If Dead Rules";
constexpr const char* kAlive = "If Alive Rules";
const FieldRow kNewSimFields[] = {
    {"startingSeeds", "Starting Seeds", 1003, K::Int, nullptr, nullptr},
    {"worldWidth", "XSize", 1001, K::Int, nullptr, nullptr},
    {"worldHeight", "YSize", 1002, K::Int, nullptr, nullptr},
    {"deadRule0", "0", 1004, K::Check, kDead, nullptr},
    {"deadRule1", "1", 1005, K::Check, kDead, nullptr},
    {"deadRule2", "2", 1006, K::Check, kDead, nullptr},
    {"deadRule3", "3", 1007, K::Check, kDead, nullptr},
    {"deadRule4", "4", 1008, K::Check, kDead, nullptr},
    {"deadRule5", "5", 1021, K::Check, kDead, nullptr},
    {"deadRule6", "6", 1010, K::Check, kDead, nullptr},
    {"deadRule7", "7", 1011, K::Check, kDead, nullptr},
    {"deadRule8", "8", 1022, K::Check, kDead, nullptr},
    {"aliveRule0", "0", 1014, K::Check, kAlive, nullptr},
    {"aliveRule1", "1", 1015, K::Check, kAlive, nullptr},
    {"aliveRule2", "2", 1016, K::Check, kAlive, nullptr},
    {"aliveRule3", "3", 1017, K::Check, kAlive, nullptr},
    {"aliveRule4", "4", 1018, K::Check, kAlive, nullptr},
    {"aliveRule5", "5", 1009, K::Check, kAlive, nullptr},
    {"aliveRule6", "6", 1019, K::Check, kAlive, nullptr},
    {"aliveRule7", "7", 1020, K::Check, kAlive, nullptr},
    {"aliveRule8", "8", 1012, K::Check, kAlive, nullptr},
};
const int32_t kNewSimOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                12, 13, 14, 15, 16, 17, 18, 19, 20};

// ---- Food Control ----
const FieldRow kFoodFields[] = {
    {"constantGrowthAmount", "Constant Growth Amount", 1010, K::Real, nullptr, nullptr},
    {"exponentialGrowthPercentage", "Exponential Growth Percentage", 1007, K::Real, nullptr,
     nullptr},
    {"decayPercentage", "Food Decay Percentage", 1009, K::Real, nullptr, nullptr},
    {"generatorType", "Generator Type", 1008, K::Combo, nullptr, nullptr},
    {"initialFood", "InitialFood", 1011, K::Int, nullptr, nullptr},
    {"maxFood", "Maximum Food", 1014, K::Int, nullptr, nullptr},
    {"minFood", "Minimum Food", 1013, K::Int, nullptr, nullptr},
    {"clusterSize", "Smallest Food Cluster Size", 1015, K::Int, nullptr, nullptr},
    {"turnsToDecay", "Turns To Decay", 1012, K::Int, nullptr, nullptr},
    {"foodRenderThreshold", "Food Dithering At (Rendering Control)", 1016, K::Int, nullptr,
     nullptr},
};
const int32_t kFoodOrder[] = {3, 0, 1, 2, 4, 5, 6, 7, 8, 9};

// ---- Ants Options ----
constexpr const char* kRatios = "Ants Ratios (should add up to one)";
constexpr const char* kTrail = "Trail Options";
constexpr const char* kWanderer = "Wanderer Options";
constexpr const char* kBirth = "Birth and Death Options";
const FieldRow kAntsFields[] = {
    {"gatheringShare", "Gathering Percentage", 1013, K::Real, kRatios, nullptr},
    {"meanderingShare", "Meandering Percentage", 1010, K::Real, kRatios, nullptr},
    {"reproducingShare", "Reproducing Percentage", 1014, K::Real, kRatios, nullptr},
    {"wanderingShare", "Wandering Percentage", 1012, K::Real, kRatios, nullptr},
    {"trailRenderThreshold", "Trail Dithering (for Rendering)", 1017, K::Int, kTrail, nullptr},
    {"wanderTrailIntensity", "Wander Trail Intensity", 1015, K::Int, kTrail, nullptr},
    {"gathererTrailIntensity", "Gatherer Trail Intensity", 1016, K::Int, kTrail, nullptr},
    {"maxWanderDistance", "MaxWanderDistance", 1018, K::Int, kWanderer, nullptr},
    {"potentialFieldStrength", "Potential Field Strength (Walls)", 1019, K::Int, kWanderer,
     nullptr},
    {"returnToBaseTime", "Return to Base Time", 1011, K::Int, kWanderer, nullptr},
    {"dieRatio", "Ants Die Ratio", 1023, K::Real, kBirth, nullptr},
    {"reproduceRatio", "Ants Reproduce Ratio", 1022, K::Real, kBirth, nullptr},
    {"foodPerAnt", "Food Per Ant", 1021, K::Real, kBirth, nullptr},
    {"foodPerBaby", "Food Per Baby", 1020, K::Real, kBirth, nullptr},
    {"minFoodToReproduce", "Min Food to Reproduce", 1024, K::Real, kBirth, nullptr},
};
// The ratios group shows Meandering, Wandering, Gathering, Reproducing.
const int32_t kAntsOrder[] = {1, 3, 0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

// ---- New Colony ----
// Written back by its own flow (ApplyNewColony), not field by field.
const FieldRow kNewColonyFields[] = {
    {"colonyY", "Colony Y Placement", 1006, K::Int, nullptr, CentreY},
    {"colonyX", "Colony X Placement", 1005, K::Int, nullptr, CentreX},
    {"initialAnts", "Initial Ants", 1003, K::Int, nullptr, nullptr},
    {"initialColonyFood", "Initial Colony Food Supply", 1004, K::Int, nullptr, nullptr},
    {"colonyWorldWidth", "X Size", 1001, K::Int, nullptr, nullptr},
    {"colonyWorldHeight", "Y Size", 1002, K::Int, nullptr, nullptr},
};
const int32_t kNewColonyOrder[] = {NewColonyField::kXPlacement, NewColonyField::kYPlacement,
                                   NewColonyField::kXSize,      NewColonyField::kYSize,
                                   NewColonyField::kInitialAnts, NewColonyField::kInitialFood};

template <typename T, size_t N>
constexpr int32_t Count(const T (&)[N]) {
    return static_cast<int32_t>(N);
}

const DialogTable kDialogLayouts[kDialogCount] = {
    {DialogId::Options, "Options", kOptionsFields, Count(kOptionsFields), kOptionsOrder},
    {DialogId::NewSim, "New Sim", kNewSimFields, Count(kNewSimFields), kNewSimOrder},
    {DialogId::FoodControl, "Food Control", kFoodFields, Count(kFoodFields), kFoodOrder},
    {DialogId::AntsOptions, "Ants Options", kAntsFields, Count(kAntsFields), kAntsOrder},
    {DialogId::NewColony, "New Colony Options", kNewColonyFields, Count(kNewColonyFields),
     kNewColonyOrder},
};
static_assert(sizeof kNewSimFields / sizeof kNewSimFields[0] == kMaxDialogFields,
              "New Sim is the largest dialog");

}  // namespace

const ParameterRow* FieldRow::Param() const {
    ParameterId id = ParameterId::Count;
    if (parameter == nullptr || !FindParameter(parameter, id)) return nullptr;
    return &Parameter(id);
}

double FieldRow::Low() const {
    const ParameterRow* row = Param();
    return row != nullptr ? row->low : 0.0;
}

double FieldRow::High() const {
    const ParameterRow* row = Param();
    return row != nullptr ? row->high : 0.0;
}

const DialogTable& GetDialogTable(DialogId id) { return kDialogLayouts[static_cast<int32_t>(id)]; }

int32_t GeneratorTypeFromText(const char* text) {
    for (int32_t i = 0; i < kGeneratorTextCount; ++i) {
        if (std::strcmp(text, kGeneratorTexts[i]) == 0) return i;
    }
    return -1;
}
