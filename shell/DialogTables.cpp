// The five dialogs' tables: every field in exchange order with its name,
// label, range and the live value it opens with and writes back. Filling,
// reading and writing back are in DialogExchange.cpp.
#include "shell/DialogTables.h"

#include <cmath>
#include <cstring>

#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

const char* const kGeneratorTexts[kGeneratorTextCount] = {
    "Minimum Food",
    "Constant Growth",
    "Exponential Growth",
};

const char* const kAntsRatioWarning = "Warning sum of the ants ratio has to equal one\nTry Again";
const char* const kXPlacementWarning = "Warning XPlacement is too close to border try again";
const char* const kYPlacementWarning = "Warning YPlacement is too close to border try again";

namespace {

// New Colony: the grid's real capacity (the sizes are refused above it rather
// than clamped).
constexpr double kMinColonySide = 64;
constexpr double kMaxColonySide = 128;

Simulation& Sim(const DialogTarget& t) { return *t.simulation; }
Colony& Col(const DialogTarget& t) { return t.simulation->colony; }
FoodField& Food(const DialogTarget& t) { return t.simulation->foodField; }

double Unchecked(const DialogTarget&) { return 0.0; }

template <int32_t Index>
double GetDead(const DialogTarget& t) {
    return Sim(t).deadRules[Index] ? 1.0 : 0.0;
}
template <int32_t Index>
void SetDead(DialogTarget& t, double v) {
    Sim(t).deadRules[Index] = v != 0.0;
}
template <int32_t Index>
double GetAlive(const DialogTarget& t) {
    return Sim(t).aliveRules[Index] ? 1.0 : 0.0;
}
template <int32_t Index>
void SetAlive(DialogTarget& t, double v) {
    Sim(t).aliveRules[Index] = v != 0.0;
}

int32_t AsInt(double v) { return static_cast<int32_t>(v); }
float AsReal(double v) { return static_cast<float>(v); }

// ---- Options ----
const FieldRow kOptionsFields[] = {
    {"simsPerSecond", "Sims Per Second", 1000, FieldKind::Int, 5, 1000, nullptr,
     [](const DialogTarget& t) { return std::trunc(double(t.control->simsPerSecond.load())); },
     [](DialogTarget& t, double v) { t.control->simsPerSecond.store(AsReal(v)); }},
    {nullptr, "Use RL", 1005, FieldKind::Check, 0, 0, nullptr, Unchecked, nullptr},
    {"renderingMulti", "Rendering Multi", 1001, FieldKind::Int, 1, 200, nullptr,
     [](const DialogTarget& t) { return double(*t.renderingMulti); },
     [](DialogTarget& t, double v) { *t.renderingMulti = AsInt(v); }},
    {nullptr, "Use RL Table only", 1006, FieldKind::Check, 0, 0, nullptr, Unchecked, nullptr},
};
const int32_t kOptionsOrder[] = {0, 1, 2, 3};

// ---- New Sim ----
constexpr const char* kDead = "If Dead Rules";
constexpr const char* kAlive = "If Alive Rules";
const FieldRow kNewSimFields[] = {
    {"startingSeeds", "Starting Seeds", 1003, FieldKind::Int, 0, 12000, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).startingSeeds); },
     [](DialogTarget& t, double v) { Sim(t).startingSeeds = AsInt(v); }},
    {"worldWidth", "XSize", 1001, FieldKind::Int, 1, 128, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldWidth); },
     [](DialogTarget& t, double v) { Sim(t).worldWidth = AsInt(v); }},
    {"worldHeight", "YSize", 1002, FieldKind::Int, 1, 128, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldHeight); },
     [](DialogTarget& t, double v) { Sim(t).worldHeight = AsInt(v); }},
    {"deadRule0", "0", 1004, FieldKind::Check, 0, 0, kDead, GetDead<0>, SetDead<0>},
    {"deadRule1", "1", 1005, FieldKind::Check, 0, 0, kDead, GetDead<1>, SetDead<1>},
    {"deadRule2", "2", 1006, FieldKind::Check, 0, 0, kDead, GetDead<2>, SetDead<2>},
    {"deadRule3", "3", 1007, FieldKind::Check, 0, 0, kDead, GetDead<3>, SetDead<3>},
    {"deadRule4", "4", 1008, FieldKind::Check, 0, 0, kDead, GetDead<4>, SetDead<4>},
    {"deadRule5", "5", 1021, FieldKind::Check, 0, 0, kDead, GetDead<5>, SetDead<5>},
    {"deadRule6", "6", 1010, FieldKind::Check, 0, 0, kDead, GetDead<6>, SetDead<6>},
    {"deadRule7", "7", 1011, FieldKind::Check, 0, 0, kDead, GetDead<7>, SetDead<7>},
    {"deadRule8", "8", 1022, FieldKind::Check, 0, 0, kDead, GetDead<8>, SetDead<8>},
    {"aliveRule0", "0", 1014, FieldKind::Check, 0, 0, kAlive, GetAlive<0>, SetAlive<0>},
    {"aliveRule1", "1", 1015, FieldKind::Check, 0, 0, kAlive, GetAlive<1>, SetAlive<1>},
    {"aliveRule2", "2", 1016, FieldKind::Check, 0, 0, kAlive, GetAlive<2>, SetAlive<2>},
    {"aliveRule3", "3", 1017, FieldKind::Check, 0, 0, kAlive, GetAlive<3>, SetAlive<3>},
    {"aliveRule4", "4", 1018, FieldKind::Check, 0, 0, kAlive, GetAlive<4>, SetAlive<4>},
    {"aliveRule5", "5", 1009, FieldKind::Check, 0, 0, kAlive, GetAlive<5>, SetAlive<5>},
    {"aliveRule6", "6", 1019, FieldKind::Check, 0, 0, kAlive, GetAlive<6>, SetAlive<6>},
    {"aliveRule7", "7", 1020, FieldKind::Check, 0, 0, kAlive, GetAlive<7>, SetAlive<7>},
    {"aliveRule8", "8", 1012, FieldKind::Check, 0, 0, kAlive, GetAlive<8>, SetAlive<8>},
};
const int32_t kNewSimOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                12, 13, 14, 15, 16, 17, 18, 19, 20};

// ---- Food Control ----
const FieldRow kFoodFields[] = {
    {"constantGrowthAmount", "Constant Growth Amount", 1010, FieldKind::Real, 0, 100, nullptr,
     [](const DialogTarget& t) { return double(Food(t).constantGrowthAmount); },
     [](DialogTarget& t, double v) { Food(t).constantGrowthAmount = AsReal(v); }},
    {"exponentialGrowthPercentage", "Exponential Growth Percentage", 1007, FieldKind::Real, 0, 1, nullptr,
     [](const DialogTarget& t) { return double(Food(t).exponentialGrowthPercentage); },
     [](DialogTarget& t, double v) { Food(t).exponentialGrowthPercentage = AsReal(v); }},
    {"decayPercentage", "Food Decay Percentage", 1009, FieldKind::Real, 0, 1, nullptr,
     [](const DialogTarget& t) { return double(Food(t).decayPercentage); },
     [](DialogTarget& t, double v) { Food(t).decayPercentage = AsReal(v); }},
    {"generatorType", "Generator Type", 1008, FieldKind::Combo, 0, 0, nullptr,
     [](const DialogTarget& t) { return double(Food(t).generatorType); },
     [](DialogTarget& t, double v) {
         // Text that names no generator leaves the type as it was.
         if (v >= 0) Food(t).generatorType = AsInt(v);
     }},
    {"initialFood", "InitialFood", 1011, FieldKind::Int, 0, 2000, nullptr,
     [](const DialogTarget& t) { return double(Food(t).initialFood); },
     [](DialogTarget& t, double v) { Food(t).initialFood = AsInt(v); }},
    {"maxFood", "Maximum Food", 1014, FieldKind::Int, 200, 3000, nullptr,
     [](const DialogTarget& t) { return double(Food(t).maxFood); },
     [](DialogTarget& t, double v) { Food(t).maxFood = AsInt(v); }},
    {"minFood", "Minimum Food", 1013, FieldKind::Int, 0, 1500, nullptr,
     [](const DialogTarget& t) { return double(Food(t).minFood); },
     [](DialogTarget& t, double v) { Food(t).minFood = AsInt(v); }},
    {"clusterSize", "Smallest Food Cluster Size", 1015, FieldKind::Int, 1, 200, nullptr,
     [](const DialogTarget& t) { return double(Food(t).clusterSize); },
     [](DialogTarget& t, double v) { Food(t).clusterSize = AsInt(v); }},
    {"turnsToDecay", "Turns To Decay", 1012, FieldKind::Int, 100, 99999, nullptr,
     [](const DialogTarget& t) { return double(Food(t).turnsToDecay); },
     [](DialogTarget& t, double v) { Food(t).turnsToDecay = AsInt(v); }},
    {"foodRenderThreshold", "Food Dithering At (Rendering Control)", 1016, FieldKind::Int, 1, 1000, nullptr,
     [](const DialogTarget& t) { return double(Food(t).renderThreshold); },
     [](DialogTarget& t, double v) { Food(t).renderThreshold = AsInt(v); }},
};
const int32_t kFoodOrder[] = {3, 0, 1, 2, 4, 5, 6, 7, 8, 9};

// ---- Ants Options ----
constexpr const char* kRatios = "Ants Ratios (should add up to one)";
constexpr const char* kTrail = "Trail Options";
constexpr const char* kWanderer = "Wanderer Options";
constexpr const char* kBirth = "Birth and Death Options";
const FieldRow kAntsFields[] = {
    {"gatheringShare", "Gathering Percentage", 1013, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).gatheringShare); },
     [](DialogTarget& t, double v) { Col(t).gatheringShare = AsReal(v); }},
    {"meanderingShare", "Meandering Percentage", 1010, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).meanderingShare); },
     [](DialogTarget& t, double v) { Col(t).meanderingShare = AsReal(v); }},
    {"reproducingShare", "Reproducing Percentage", 1014, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).reproducingShare); },
     [](DialogTarget& t, double v) { Col(t).reproducingShare = AsReal(v); }},
    {"wanderingShare", "Wandering Percentage", 1012, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).wanderingShare); },
     [](DialogTarget& t, double v) { Col(t).wanderingShare = AsReal(v); }},
    {"trailRenderThreshold", "Trail Dithering (for Rendering)", 1017, FieldKind::Int, 1, 1000, kTrail,
     [](const DialogTarget& t) { return double(Col(t).trails.renderThreshold); },
     [](DialogTarget& t, double v) { Col(t).trails.renderThreshold = AsInt(v); }},
    {"wanderTrailIntensity", "Wander Trail Intensity", 1015, FieldKind::Int, 100, 2000, kTrail,
     [](const DialogTarget& t) { return double(Col(t).wanderTrailIntensity); },
     [](DialogTarget& t, double v) { Col(t).wanderTrailIntensity = AsInt(v); }},
    {"gathererTrailIntensity", "Gatherer Trail Intensity", 1016, FieldKind::Int, 1, 500, kTrail,
     [](const DialogTarget& t) { return double(Col(t).gathererTrailIntensity); },
     [](DialogTarget& t, double v) { Col(t).gathererTrailIntensity = AsInt(v); }},
    {"maxWanderDistance", "MaxWanderDistance", 1018, FieldKind::Int, 5, 30, kWanderer,
     [](const DialogTarget& t) { return double(Col(t).maxWanderDistance); },
     [](DialogTarget& t, double v) { Col(t).maxWanderDistance = AsInt(v); }},
    // A real in the colony, exchanged as a whole number.
    {"potentialFieldStrength", "Potential Field Strength (Walls)", 1019, FieldKind::Int, 1, 50, kWanderer,
     [](const DialogTarget& t) { return std::trunc(double(Col(t).potentialFieldStrength)); },
     [](DialogTarget& t, double v) { Col(t).potentialFieldStrength = AsReal(v); }},
    {"returnToBaseTime", "Return to Base Time", 1011, FieldKind::Int, 100, 99999, kWanderer,
     [](const DialogTarget& t) { return double(Col(t).returnToBaseTime); },
     [](DialogTarget& t, double v) { Col(t).returnToBaseTime = AsInt(v); }},
    {"dieRatio", "Ants Die Ratio", 1023, FieldKind::Real, 0, 1, kBirth,
     [](const DialogTarget& t) { return double(Col(t).dieRatio); },
     [](DialogTarget& t, double v) { Col(t).dieRatio = AsReal(v); }},
    {"reproduceRatio", "Ants Reproduce Ratio", 1022, FieldKind::Real, 0, 1, kBirth,
     [](const DialogTarget& t) { return double(Col(t).reproduceRatio); },
     [](DialogTarget& t, double v) { Col(t).reproduceRatio = AsReal(v); }},
    {"foodPerAnt", "Food Per Ant", 1021, FieldKind::Real, 0, 1, kBirth,
     [](const DialogTarget& t) { return double(Col(t).foodPerAnt); },
     [](DialogTarget& t, double v) { Col(t).foodPerAnt = AsReal(v); }},
    {"foodPerBaby", "Food Per Baby", 1020, FieldKind::Real, 0, 20, kBirth,
     [](const DialogTarget& t) { return double(Col(t).foodPerBaby); },
     [](DialogTarget& t, double v) { Col(t).foodPerBaby = AsReal(v); }},
    {"minFoodToReproduce", "Min Food to Reproduce", 1024, FieldKind::Real, 0, 1000, kBirth,
     [](const DialogTarget& t) { return double(Col(t).minFoodToReproduce); },
     [](DialogTarget& t, double v) { Col(t).minFoodToReproduce = AsReal(v); }},
};
// The ratios group shows Meandering, Wandering, Gathering, Reproducing.
const int32_t kAntsOrder[] = {1, 3, 0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

// ---- New Colony ----
// Written back by its own flow (ApplyNewColony), not field by field.
const FieldRow kNewColonyFields[] = {
    {"colonyY", "Colony Y Placement", 1006, FieldKind::Int, 0, 255, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldHeight / 2); }, nullptr},
    {"colonyX", "Colony X Placement", 1005, FieldKind::Int, 0, 255, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldWidth / 2); }, nullptr},
    {"initialAnts", "Initial Ants", 1003, FieldKind::Int, 25, 1000, nullptr,
     [](const DialogTarget&) { return double(Simulation::kColonyAnts); }, nullptr},
    {"initialColonyFood", "Initial Colony Food Supply", 1004, FieldKind::Int, 0, 2000, nullptr,
     [](const DialogTarget& t) { return std::trunc(double(Col(t).initialFoodReserves)); }, nullptr},
    {"colonyWorldWidth", "X Size", 1001, FieldKind::Int, kMinColonySide, kMaxColonySide, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldWidth); }, nullptr},
    {"colonyWorldHeight", "Y Size", 1002, FieldKind::Int, kMinColonySide, kMaxColonySide, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldHeight); }, nullptr},
};
const int32_t kNewColonyOrder[] = {NewColonyField::kXPlacement, NewColonyField::kYPlacement,
                                   NewColonyField::kXSize,      NewColonyField::kYSize,
                                   NewColonyField::kInitialAnts, NewColonyField::kInitialFood};

template <typename T, size_t N>
constexpr int32_t Count(const T (&)[N]) {
    return static_cast<int32_t>(N);
}

const DialogTable kSpecs[kDialogCount] = {
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

const DialogTable& GetDialogTable(DialogId id) { return kSpecs[static_cast<int32_t>(id)]; }

int32_t GeneratorTypeFromText(const char* text) {
    for (int32_t i = 0; i < kGeneratorTextCount; ++i) {
        if (std::strcmp(text, kGeneratorTexts[i]) == 0) return i;
    }
    return -1;
}
