// The parameter table's rows: name, type, range, default, unit, help and the
// live value's home for every parameter.
#include "settings/ParameterTable.h"

#include <cassert>
#include <cctype>
#include <cmath>
#include <cstring>

#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

const char* const kGeneratorTexts[kGeneratorTextCount] = {
    "Minimum Food",
    "Constant Growth",
    "Exponential Growth",
};

namespace {

using P = ParameterId;
using T = ParameterType;

Simulation& Sim(const ParameterTarget& t) { return *t.simulation; }
Colony& Col(const ParameterTarget& t) { return t.simulation->colony; }
FoodField& Food(const ParameterTarget& t) { return t.simulation->foodField; }

int32_t AsInt(double v) { return static_cast<int32_t>(v); }
float AsReal(double v) { return static_cast<float>(v); }

template <int32_t Index>
double GetDead(const ParameterTarget& t) {
    return Sim(t).deadRules[Index] ? 1.0 : 0.0;
}
template <int32_t Index>
void SetDead(ParameterTarget& t, double v) {
    Sim(t).deadRules[Index] = v != 0.0;
}
template <int32_t Index>
double GetAlive(const ParameterTarget& t) {
    return Sim(t).aliveRules[Index] ? 1.0 : 0.0;
}
template <int32_t Index>
void SetAlive(ParameterTarget& t, double v) {
    Sim(t).aliveRules[Index] = v != 0.0;
}

// The pace's range is the pacing loop's own.
constexpr double kMinRate = kMinSimsPerSecond;
constexpr double kMaxRate = kMaxSimsPerSecond;
constexpr double kDefaultRate = 40;
// New Colony: the grid's real capacity (sizes are refused above it rather
// than clamped); New Sim's sizes start at one cell.
constexpr double kMinColonySide = 64;
constexpr double kMaxSide = kGridSide;

constexpr const char* kDeadHelp = "New Sim's \"If Dead Rules\" box (stored, never read)";
constexpr const char* kAliveHelp = "New Sim's \"If Alive Rules\" box (stored, never read)";

#define DEAD_ROW(n)                                                                        \
    {P::DeadRule##n, "deadRule" #n, T::Flag, 0, 1, 0, "", kDeadHelp, true, GetDead<n>, \
     SetDead<n>}
#define ALIVE_ROW(n)                                                                          \
    {P::AliveRule##n, "aliveRule" #n, T::Flag, 0, 1, 0, "", kAliveHelp, true, GetAlive<n>, \
     SetAlive<n>}

const ParameterRow kRows[kParameterCount] = {
    // ---- pace and paint cadence (the Options dialog) ----
    {P::SimsPerSecond, "simsPerSecond", T::Whole, kMinRate, kMaxRate, kDefaultRate, "steps/s",
     "simulation steps per second at the live pace", false,
     [](const ParameterTarget& t) { return std::trunc(double(t.control->simsPerSecond.load())); },
     [](ParameterTarget& t, double v) { t.control->simsPerSecond.store(AsReal(v)); }},
    {P::RenderingMulti, "renderingMulti", T::Whole, 1, 200, 1, "paints",
     "the view draws a frame on every (N+1)-th repaint", false,
     [](const ParameterTarget& t) { return double(*t.renderingMulti); },
     [](ParameterTarget& t, double v) { *t.renderingMulti = AsInt(v); }},

    // ---- the world (New Sim) ----
    {P::StartingSeeds, "startingSeeds", T::Whole, 0, 12000, 2500, "cells",
     "New Sim's seed count (stored, never read by a run)", true,
     [](const ParameterTarget& t) { return double(Sim(t).startingSeeds); },
     [](ParameterTarget& t, double v) { Sim(t).startingSeeds = AsInt(v); }},
    {P::WorldWidth, "worldWidth", T::Whole, 1, kMaxSide, 128, "cells",
     "the world's width", false,
     [](const ParameterTarget& t) { return double(Sim(t).worldWidth); },
     [](ParameterTarget& t, double v) { Sim(t).worldWidth = AsInt(v); }},
    {P::WorldHeight, "worldHeight", T::Whole, 1, kMaxSide, 128, "cells",
     "the world's height", false,
     [](const ParameterTarget& t) { return double(Sim(t).worldHeight); },
     [](ParameterTarget& t, double v) { Sim(t).worldHeight = AsInt(v); }},
    DEAD_ROW(0), DEAD_ROW(1), DEAD_ROW(2), DEAD_ROW(3), DEAD_ROW(4), DEAD_ROW(5), DEAD_ROW(6),
    DEAD_ROW(7), DEAD_ROW(8),
    ALIVE_ROW(0), ALIVE_ROW(1), ALIVE_ROW(2), ALIVE_ROW(3), ALIVE_ROW(4), ALIVE_ROW(5),
    ALIVE_ROW(6), ALIVE_ROW(7), ALIVE_ROW(8),

    // ---- food (Food Control) ----
    {P::ConstantGrowthAmount, "constantGrowthAmount", T::Real, 0, 100, 0.7, "cells/step",
     "food cells the constant generator adds per step", false,
     [](const ParameterTarget& t) { return double(Food(t).constantGrowthAmount); },
     [](ParameterTarget& t, double v) { Food(t).constantGrowthAmount = AsReal(v); }},
    {P::ExponentialGrowthPercentage, "exponentialGrowthPercentage", T::Real, 0, 1, 0.01,
     "per step", "the exponential generator's growth, a fraction of the food present", false,
     [](const ParameterTarget& t) { return double(Food(t).exponentialGrowthPercentage); },
     [](ParameterTarget& t, double v) { Food(t).exponentialGrowthPercentage = AsReal(v); }},
    {P::DecayPercentage, "decayPercentage", T::Real, 0, 1, 0.06, "",
     "the scale of an overdue food cell's chance to decay", false,
     [](const ParameterTarget& t) { return double(Food(t).decayPercentage); },
     [](ParameterTarget& t, double v) { Food(t).decayPercentage = AsReal(v); }},
    {P::GeneratorType, "generatorType", T::Choice, 0, kGeneratorTextCount - 1,
     ConstantGrowth, "", "how food grows back", false,
     [](const ParameterTarget& t) { return double(Food(t).generatorType); },
     [](ParameterTarget& t, double v) {
         // The dialog's text that names no generator leaves the type as it was.
         if (v >= 0) Food(t).generatorType = AsInt(v);
     }},
    {P::InitialFood, "initialFood", T::Whole, 0, 2000, 500, "cells",
     "food cells placed when a world is made", false,
     [](const ParameterTarget& t) { return double(Food(t).initialFood); },
     [](ParameterTarget& t, double v) { Food(t).initialFood = AsInt(v); }},
    {P::MaxFood, "maxFood", T::Whole, 200, 3000, 1500, "cells",
     "growth places a cluster only while fewer food cells exist", false,
     [](const ParameterTarget& t) { return double(Food(t).maxFood); },
     [](ParameterTarget& t, double v) { Food(t).maxFood = AsInt(v); }},
    {P::MinFood, "minFood", T::Whole, 0, 1500, 100, "cells",
     "food is topped up whenever fewer cells exist", false,
     [](const ParameterTarget& t) { return double(Food(t).minFood); },
     [](ParameterTarget& t, double v) { Food(t).minFood = AsInt(v); }},
    {P::ClusterSize, "clusterSize", T::Whole, 1, 200, 50, "cells",
     "the smallest food cluster", false,
     [](const ParameterTarget& t) { return double(Food(t).clusterSize); },
     [](ParameterTarget& t, double v) { Food(t).clusterSize = AsInt(v); }},
    {P::TurnsToDecay, "turnsToDecay", T::Whole, 100, 99999, 800, "steps",
     "how long a new food cell stays fresh", false,
     [](const ParameterTarget& t) { return double(Food(t).turnsToDecay); },
     [](ParameterTarget& t, double v) { Food(t).turnsToDecay = AsInt(v); }},
    {P::FoodRenderThreshold, "foodRenderThreshold", T::Whole, 1, 1000, 200, "steps",
     "the view fades food with fewer fresh steps left than this", false,
     [](const ParameterTarget& t) { return double(Food(t).renderThreshold); },
     [](ParameterTarget& t, double v) { Food(t).renderThreshold = AsInt(v); }},

    // ---- the ants (Ants Options) ----
    {P::GatheringShare, "gatheringShare", T::Real, 0, 100, 25, "%",
     "target share of gathering ants (the four shares add up to 100)", false,
     [](const ParameterTarget& t) { return double(Col(t).gatheringShare); },
     [](ParameterTarget& t, double v) { Col(t).gatheringShare = AsReal(v); }},
    {P::MeanderingShare, "meanderingShare", T::Real, 0, 100, 60, "%",
     "target share of meandering ants, the idle reserve", false,
     [](const ParameterTarget& t) { return double(Col(t).meanderingShare); },
     [](ParameterTarget& t, double v) { Col(t).meanderingShare = AsReal(v); }},
    {P::ReproducingShare, "reproducingShare", T::Real, 0, 100, 10, "%",
     "target share of reproducing ants", false,
     [](const ParameterTarget& t) { return double(Col(t).reproducingShare); },
     [](ParameterTarget& t, double v) { Col(t).reproducingShare = AsReal(v); }},
    {P::WanderingShare, "wanderingShare", T::Real, 0, 100, 5, "%",
     "target share of wandering ants, the explorers", false,
     [](const ParameterTarget& t) { return double(Col(t).wanderingShare); },
     [](ParameterTarget& t, double v) { Col(t).wanderingShare = AsReal(v); }},
    {P::TrailRenderThreshold, "trailRenderThreshold", T::Whole, 1, 1000, 200, "",
     "the view fades trails weaker than this", false,
     [](const ParameterTarget& t) { return double(Col(t).trails.renderThreshold); },
     [](ParameterTarget& t, double v) { Col(t).trails.renderThreshold = AsInt(v); }},
    {P::WanderTrailIntensity, "wanderTrailIntensity", T::Whole, 100, 2000, 600, "",
     "the trail a wanderer lays on its way home with food", false,
     [](const ParameterTarget& t) { return double(Col(t).wanderTrailIntensity); },
     [](ParameterTarget& t, double v) { Col(t).wanderTrailIntensity = AsInt(v); }},
    {P::GathererTrailIntensity, "gathererTrailIntensity", T::Whole, 1, 500, 70, "",
     "the trail a gatherer lays on its way home with food", false,
     [](const ParameterTarget& t) { return double(Col(t).gathererTrailIntensity); },
     [](ParameterTarget& t, double v) { Col(t).gathererTrailIntensity = AsInt(v); }},
    {P::MaxWanderDistance, "maxWanderDistance", T::Whole, 5, 30, 10, "cells",
     "the longest straight leg of a wanderer", false,
     [](const ParameterTarget& t) { return double(Col(t).maxWanderDistance); },
     [](ParameterTarget& t, double v) { Col(t).maxWanderDistance = AsInt(v); }},
    // A real in the colony, exchanged as a whole number.
    {P::PotentialFieldStrength, "potentialFieldStrength", T::Whole, 1, 50, 15, "",
     "how hard the walls push wanderers away", false,
     [](const ParameterTarget& t) { return std::trunc(double(Col(t).potentialFieldStrength)); },
     [](ParameterTarget& t, double v) { Col(t).potentialFieldStrength = AsReal(v); }},
    {P::ReturnToBaseTime, "returnToBaseTime", T::Whole, 100, 99999, 1000, "steps",
     "steps out before a gatherer or wanderer turns home", false,
     [](const ParameterTarget& t) { return double(Col(t).returnToBaseTime); },
     [](ParameterTarget& t, double v) { Col(t).returnToBaseTime = AsInt(v); }},
    {P::DieRatio, "dieRatio", T::Real, 0, 1, 0.0007, "per ant-step",
     "the chance an ant dies in a step", false,
     [](const ParameterTarget& t) { return double(Col(t).dieRatio); },
     [](ParameterTarget& t, double v) { Col(t).dieRatio = AsReal(v); }},
    {P::ReproduceRatio, "reproduceRatio", T::Real, 0, 1, 0.008, "per ant-step",
     "births a reproducing ant earns per step", false,
     [](const ParameterTarget& t) { return double(Col(t).reproduceRatio); },
     [](ParameterTarget& t, double v) { Col(t).reproduceRatio = AsReal(v); }},
    {P::FoodPerAnt, "foodPerAnt", T::Real, 0, 1, 0.001, "units/step",
     "what an ant eats from the reserves per step", false,
     [](const ParameterTarget& t) { return double(Col(t).foodPerAnt); },
     [](ParameterTarget& t, double v) { Col(t).foodPerAnt = AsReal(v); }},
    {P::FoodPerBaby, "foodPerBaby", T::Real, 0, 20, 0, "units",
     "what a birth costs the reserves", false,
     [](const ParameterTarget& t) { return double(Col(t).foodPerBaby); },
     [](ParameterTarget& t, double v) { Col(t).foodPerBaby = AsReal(v); }},
    {P::MinFoodToReproduce, "minFoodToReproduce", T::Real, 0, 1000, 0, "units",
     "no births while the reserves are below this", false,
     [](const ParameterTarget& t) { return double(Col(t).minFoodToReproduce); },
     [](ParameterTarget& t, double v) { Col(t).minFoodToReproduce = AsReal(v); }},
    // Not in any dialog: the command line and the sweeps reach them here.
    {P::MeanderPull, "meanderPull", T::Real, 0, 1, 0.6, "",
     "how strongly an idle ant is pulled back towards the nest", false,
     [](const ParameterTarget& t) { return double(Col(t).meanderPull); },
     [](ParameterTarget& t, double v) { Col(t).meanderPull = AsReal(v); }},
    {P::FoodSearchRadius, "foodSearchRadius", T::Whole, 0, kMaxSide - 1, 10, "cells",
     "how far gatherers and wanderers look for food", false,
     [](const ParameterTarget& t) { return double(Col(t).foodSearchRadius); },
     [](ParameterTarget& t, double v) { Col(t).foodSearchRadius = AsInt(v); }},
    // The countdown is part of the colony's state; starting it at the new
    // period is what a run with this period as its default would do.
    {P::PolicyPeriod, "policyPeriod", T::Whole, 1, 100000, 50, "steps",
     "the expert system runs every policyPeriod + 2 steps (50: every 52)", false,
     [](const ParameterTarget& t) { return double(Col(t).policyPeriod); },
     [](ParameterTarget& t, double v) {
         Col(t).policyPeriod = AsInt(v);
         Col(t).policyCountdown = AsInt(v);
     }},

    // ---- the colony (New Colony): used when a colony is founded ----
    {P::ColonyY, "colonyY", T::Whole, 0, 255, Simulation::kFirstColonyY, "cells",
     "where the first colony's nest is, y", false,
     [](const ParameterTarget& t) { return double(Col(t).home.y); }, nullptr},
    {P::ColonyX, "colonyX", T::Whole, 0, 255, Simulation::kFirstColonyX, "cells",
     "where the first colony's nest is, x", false,
     [](const ParameterTarget& t) { return double(Col(t).home.x); }, nullptr},
    {P::InitialAnts, "initialAnts", T::Whole, 25, 1000, Simulation::kColonyAnts, "ants",
     "the first colony's ants", false,
     [](const ParameterTarget&) { return double(Simulation::kColonyAnts); }, nullptr},
    {P::InitialColonyFood, "initialColonyFood", T::Whole, 0, 2000, 300, "units",
     "the first colony's food reserves", false,
     [](const ParameterTarget& t) { return std::trunc(double(Col(t).initialFoodReserves)); },
     nullptr},
    {P::ColonyWorldWidth, "colonyWorldWidth", T::Whole, kMinColonySide, kMaxSide, 128, "cells",
     "New Colony's world width (the same value as worldWidth)", false,
     [](const ParameterTarget& t) { return double(Sim(t).worldWidth); }, nullptr},
    {P::ColonyWorldHeight, "colonyWorldHeight", T::Whole, kMinColonySide, kMaxSide, 128, "cells",
     "New Colony's world height (the same value as worldHeight)", false,
     [](const ParameterTarget& t) { return double(Sim(t).worldHeight); }, nullptr},

    // ---- the policy ----
    {P::Rules, "rules", T::Text, 0, 0, 0, "",
     "the rule base: a gallery name or a file (default: your Rules.clp)", false, nullptr,
     nullptr},
};

#undef DEAD_ROW
#undef ALIVE_ROW

bool SameIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b))) {
            return false;
        }
    }
    return *a == *b;
}

}  // namespace

const ParameterRow& Parameter(ParameterId id) {
    const int32_t index = static_cast<int32_t>(id);
    assert(index >= 0 && index < kParameterCount);
    assert(kRows[index].id == id);  // the rows stand in ParameterId order
    return kRows[index];
}

bool FindParameter(const char* name, ParameterId& id) {
    for (const ParameterRow& row : kRows) {
        if (std::strcmp(row.name, name) == 0) {
            id = row.id;
            return true;
        }
    }
    return false;
}

bool FindParameterIgnoringCase(const char* name, ParameterId& id) {
    for (const ParameterRow& row : kRows) {
        if (SameIgnoringCase(row.name, name)) {
            id = row.id;
            return true;
        }
    }
    return false;
}
