// Start-up settings: the cross-checks, and the simulation built with the
// settings in place before its first world.
#include "shell/StartSettings.h"

#include <cstring>
#include <mutex>

#include "presentation/PaintCadence.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

constexpr ParameterRef kGathering{DialogId::AntsOptions, AntsShareField::kGathering};
constexpr ParameterRef kMeandering{DialogId::AntsOptions, AntsShareField::kMeandering};
constexpr ParameterRef kReproducing{DialogId::AntsOptions, AntsShareField::kReproducing};
constexpr ParameterRef kWandering{DialogId::AntsOptions, AntsShareField::kWandering};
// New Sim's sizes (its fields 2 and 3) and New Colony's.
constexpr ParameterRef kWorldWidth{DialogId::NewSim, 1};
constexpr ParameterRef kWorldHeight{DialogId::NewSim, 2};
constexpr ParameterRef kColonyWidth{DialogId::NewColony, NewColonyField::kXSize};
constexpr ParameterRef kColonyHeight{DialogId::NewColony, NewColonyField::kYSize};
constexpr ParameterRef kColonyX{DialogId::NewColony, NewColonyField::kXPlacement};
constexpr ParameterRef kColonyY{DialogId::NewColony, NewColonyField::kYPlacement};
constexpr ParameterRef kInitialAnts{DialogId::NewColony, NewColonyField::kInitialAnts};
constexpr ParameterRef kInitialFood{DialogId::NewColony, NewColonyField::kInitialFood};

bool Fail(char* message, size_t capacity, const char* text) {
    std::snprintf(message, capacity, "%s", text);
    return false;
}

// The first colony before the first world is built, when there is none yet.
using FirstColony = Simulation::FirstColony;

// The value to check and build with: the setting when there is one, else the
// live value (the colony's founding, while it is still to come, from first).
double Effective(const DialogTarget& target, const StartSettings& settings, ParameterRef ref,
                 const FirstColony* first = nullptr) {
    for (int32_t i = 0; i < settings.count; ++i) {
        if (settings.items[i].ref == ref) return settings.items[i].value;
    }
    if (first != nullptr && ref == kColonyX) return first->x;
    if (first != nullptr && ref == kColonyY) return first->y;
    if (first != nullptr && ref == kInitialAnts) return first->ants;
    return CurrentParameterValue(ref, target);
}

bool IsSet(const StartSettings& settings, ParameterRef ref) {
    for (int32_t i = 0; i < settings.count; ++i) {
        if (settings.items[i].ref == ref) return true;
    }
    return false;
}

// One side of the world: New Colony's size and New Sim's size set the same
// value; given both, they must agree.
bool WorldSide(const DialogTarget& target, const StartSettings& settings, ParameterRef newSim,
               ParameterRef newColony, int32_t& side, char* message, size_t capacity) {
    const bool simSet = IsSet(settings, newSim);
    const bool colonySet = IsSet(settings, newColony);
    const int32_t simValue = static_cast<int32_t>(Effective(target, settings, newSim));
    const int32_t colonyValue = static_cast<int32_t>(Effective(target, settings, newColony));
    if (simSet && colonySet && simValue != colonyValue) {
        std::snprintf(message, capacity,
                      "%s %d and %s %d both set the world's size; give one of them",
                      newSim.Name(), simValue, newColony.Name(), colonyValue);
        return false;
    }
    side = colonySet ? colonyValue : simValue;
    return true;
}

bool CheckPlacement(int32_t position, int32_t side, ParameterRef ref, const char* extent,
                    char* message, size_t capacity) {
    const int32_t low = kPlacementMargin;
    const int32_t high = side - kPlacementMargin;
    if (position >= low && position <= high) return true;
    if (high < low) {
        std::snprintf(message, capacity,
                      "a world %d %s leaves no room for the colony: %s must be %d or more from "
                      "each border",
                      side, extent, ref.Name(), kPlacementMargin);
    } else {
        std::snprintf(message, capacity,
                      "%s %d is too close to the border of a world %d %s: it takes %d to %d",
                      ref.Name(), position, side, extent, low, high);
    }
    return false;
}



bool CheckSettings(const DialogTarget& target, const StartSettings& settings,
                   const FirstColony* first, char* message, size_t capacity) {
    // The share sum exactly as the dialog adds it.
    DialogValues shares;
    for (ParameterRef ref : {kGathering, kMeandering, kReproducing, kWandering}) {
        shares.value[ref.field] = Effective(target, settings, ref);
    }
    DialogCheck check;
    if (!CheckDialog(DialogId::AntsOptions, shares, check)) {
        char text[4][24];
        int32_t i = 0;
        for (ParameterRef ref : {kGathering, kMeandering, kReproducing, kWandering}) {
            FormatParameterValue(ref, shares.value[ref.field], text[i++], sizeof text[0]);
        }
        std::snprintf(message, capacity,
                      "the four shares must add up to 100: gatheringShare %s + meanderingShare %s "
                      "+ reproducingShare %s + wanderingShare %s make %g",
                      text[0], text[1], text[2], text[3],
                      static_cast<double>(static_cast<float>(shares.value[0]) +
                                          static_cast<float>(shares.value[1]) +
                                          static_cast<float>(shares.value[2]) +
                                          static_cast<float>(shares.value[3])));
        return false;
    }

    int32_t width = 0;
    int32_t height = 0;
    if (!WorldSide(target, settings, kWorldWidth, kColonyWidth, width, message, capacity) ||
        !WorldSide(target, settings, kWorldHeight, kColonyHeight, height, message, capacity)) {
        return false;
    }
    // New Colony's own check decides; the messages only say more than its
    // warnings can.
    DialogValues placement;
    placement.value[NewColonyField::kXPlacement] = Effective(target, settings, kColonyX, first);
    placement.value[NewColonyField::kYPlacement] = Effective(target, settings, kColonyY, first);
    placement.value[NewColonyField::kXSize] = width;
    placement.value[NewColonyField::kYSize] = height;
    if (!CheckDialog(DialogId::NewColony, placement, check)) {
        const int32_t x = static_cast<int32_t>(placement.value[NewColonyField::kXPlacement]);
        const int32_t y = static_cast<int32_t>(placement.value[NewColonyField::kYPlacement]);
        if (!CheckPlacement(x, width, kColonyX, "wide", message, capacity)) return false;
        if (!CheckPlacement(y, height, kColonyY, "high", message, capacity)) return false;
        return Fail(message, capacity, check.message);
    }
    return true;
}

struct BuildContext {
    const StartSettings* settings;
    SimThreadControl* control;
    int32_t* renderingMulti;
    bool refused = false;
    char* message;
    size_t capacity;
};

// Simulation's hook: the members are made, the first world is not.
void PrepareFirstWorld(Simulation& simulation, FirstColony& first, void* context) {
    BuildContext& build = *static_cast<BuildContext*>(context);
    const StartSettings& settings = *build.settings;
    // Targets a field may be written to; a dropped one goes here.
    SimThreadControl spareControl;
    int32_t spareMulti = PaintCadence::kDefaultRenderingMulti;
    DialogTarget target;
    target.simulation = &simulation;
    target.control = build.control != nullptr ? build.control : &spareControl;
    target.renderingMulti = build.renderingMulti != nullptr ? build.renderingMulti : &spareMulti;
    if (!CheckSettings(target, settings, &first, build.message, build.capacity)) {
        build.refused = true;
        return;
    }
    int32_t width = 0;
    int32_t height = 0;
    WorldSide(target, settings, kWorldWidth, kColonyWidth, width, build.message, build.capacity);
    WorldSide(target, settings, kWorldHeight, kColonyHeight, height, build.message, build.capacity);
    first.x = static_cast<int32_t>(Effective(target, settings, kColonyX, &first));
    first.y = static_cast<int32_t>(Effective(target, settings, kColonyY, &first));
    first.ants = static_cast<int32_t>(Effective(target, settings, kInitialAnts, &first));
    for (int32_t i = 0; i < settings.count; ++i) {
        const FieldRow& row = settings.items[i].ref.Row();
        if (row.set != nullptr) row.set(target, settings.items[i].value);
    }
    simulation.worldWidth = width;
    simulation.worldHeight = height;
    if (IsSet(settings, kInitialFood)) {
        simulation.colony.foodReserves =
            static_cast<float>(static_cast<int32_t>(Effective(target, settings, kInitialFood)));
    }
    // New Sim's seed grid is left alone: nothing reads it, and filling it
    // would draw from the random source and shift the whole run.
}

}  // namespace


void StartSettings::Put(ParameterRef ref, double value) {
    for (int32_t i = 0; i < count; ++i) {
        if (items[i].ref == ref) {
            items[i].value = value;
            return;
        }
    }
    if (count < kCapacity) items[count++] = Item{ref, value};
}

const StartSettings::Item* StartSettings::Find(const char* name) const {
    for (int32_t i = 0; i < count; ++i) {
        if (std::strcmp(items[i].ref.Name(), name) == 0) return &items[i];
    }
    return nullptr;
}

bool CheckStartSettings(const DialogTarget& target, const StartSettings& settings, char* message,
                        size_t capacity) {
    return CheckSettings(target, settings, nullptr, message, capacity);
}

bool BuildSimulation(std::unique_ptr<Simulation>& simulation, uint32_t seed,
                     const char* rulesPath, const StartSettings& settings,
                     SimThreadControl* control, int32_t* renderingMulti, char* message,
                     size_t capacity) {
    if (settings.Empty()) {
        simulation = std::make_unique<Simulation>(seed, rulesPath);
        return true;
    }
    BuildContext build{&settings, control, renderingMulti, false, message, capacity};
    simulation = std::make_unique<Simulation>(seed, rulesPath, PrepareFirstWorld, &build);
    // Refused before anything was written: the world was built without them.
    return !build.refused;
}

DefaultWorld::DefaultWorld(const char* rulesPath)
    : simulation(std::make_unique<Simulation>(1u, rulesPath)),
      control(std::make_unique<SimThreadControl>()),
      renderingMulti(PaintCadence::kDefaultRenderingMulti) {
    target.simulation = simulation.get();
    target.control = control.get();
    target.renderingMulti = &renderingMulti;
}

DefaultWorld::~DefaultWorld() = default;
