#include "shell/Parameters.h"

#include <cctype>
#include <cmath>
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

const char* DialogCaption(DialogId id) { return GetDialogTable(id).caption; }

bool SameName(const char* a, const char* b, bool ignoreCase) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        const bool equal = ignoreCase ? std::tolower(static_cast<unsigned char>(*a)) ==
                                            std::tolower(static_cast<unsigned char>(*b))
                                      : *a == *b;
        if (!equal) return false;
    }
    return *a == *b;
}

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

}  // namespace

const FieldRow& ParameterRef::Row() const { return GetDialogTable(dialog).fields[field]; }

int32_t ParameterCount() {
    int32_t count = 0;
    for (int32_t d = 0; d < kDialogCount; ++d) {
        const DialogTable& table = GetDialogTable(static_cast<DialogId>(d));
        for (int32_t f = 0; f < table.fieldCount; ++f) {
            if (table.fields[f].name != nullptr) ++count;
        }
    }
    return count;
}

ParameterRef ParameterAt(int32_t index) {
    for (int32_t d = 0; d < kDialogCount; ++d) {
        const DialogTable& table = GetDialogTable(static_cast<DialogId>(d));
        for (int32_t f = 0; f < table.fieldCount; ++f) {
            if (table.fields[f].name == nullptr) continue;
            if (index-- == 0) return ParameterRef{table.id, f};
        }
    }
    return ParameterRef{};
}

bool FindParameter(const char* name, ParameterRef& ref) {
    const int32_t count = ParameterCount();
    for (int32_t i = 0; i < count; ++i) {
        const ParameterRef candidate = ParameterAt(i);
        if (std::strcmp(candidate.Name(), name) == 0) {
            ref = candidate;
            return true;
        }
    }
    return false;
}

void FormatParameterRange(ParameterRef ref, char* out, size_t capacity) {
    const FieldRow& row = ref.Row();
    switch (row.kind) {
        case FieldKind::Int:
            std::snprintf(out, capacity, "a whole number from %d to %d",
                          static_cast<int32_t>(row.low), static_cast<int32_t>(row.high));
            return;
        case FieldKind::Real:
            std::snprintf(out, capacity, "a number from %g to %g", row.low, row.high);
            return;
        case FieldKind::Check:
            std::snprintf(out, capacity, "0 or 1");
            return;
        case FieldKind::Combo:
            std::snprintf(out, capacity, "0 (%s), 1 (%s) or 2 (%s)", kGeneratorTexts[0],
                          kGeneratorTexts[1], kGeneratorTexts[2]);
            return;
    }
}

bool ParseParameterValue(ParameterRef ref, const char* text, double& value, char* message,
                         size_t capacity) {
    const FieldRow& row = ref.Row();
    double parsed = 0.0;
    bool ok = false;
    if (row.kind == FieldKind::Combo) {
        // The number or the combo's own text; text naming no generator, which
        // the dialog quietly ignores, is an error on a command line.
        for (int32_t type = 0; type < kGeneratorTextCount && !ok; ++type) {
            char digit[2] = {static_cast<char>('0' + type), '\0'};
            if (std::strcmp(text, digit) == 0 || std::strcmp(text, kGeneratorTexts[type]) == 0) {
                parsed = type;
                ok = true;
            }
        }
    } else {
        ok = ParseFieldText(row, text, parsed) && FieldInRange(row, parsed);
    }
    if (!ok) {
        char range[160];
        FormatParameterRange(ref, range, sizeof range);
        std::snprintf(message, capacity, "%s (\"%s\" in %s) takes %s, not \"%s\"", row.name,
                      row.label, DialogCaption(ref.dialog), range, text);
        return false;
    }
    value = parsed;
    return true;
}

bool ParseSetting(const char* text, ParameterRef& ref, double& value, char* message,
                  size_t capacity) {
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr || equals == text) {
        std::snprintf(message, capacity, "--set needs NAME=VALUE, not \"%s\"", text);
        return false;
    }
    char name[64];
    const size_t length = static_cast<size_t>(equals - text);
    if (length >= sizeof name) {
        std::snprintf(message, capacity, "unknown parameter \"%.*s\" (try --list-parameters)",
                      static_cast<int>(length), text);
        return false;
    }
    std::memcpy(name, text, length);
    name[length] = '\0';
    if (!FindParameter(name, ref)) {
        // A wrong case is the likeliest slip: name the parameter that was meant.
        for (int32_t i = 0; i < ParameterCount(); ++i) {
            if (SameName(ParameterAt(i).Name(), name, true)) {
                std::snprintf(message, capacity, "unknown parameter \"%s\"; did you mean %s?",
                              name, ParameterAt(i).Name());
                return false;
            }
        }
        std::snprintf(message, capacity, "unknown parameter \"%s\" (try --list-parameters)", name);
        return false;
    }
    return ParseParameterValue(ref, equals + 1, value, message, capacity);
}

void FormatParameterValue(ParameterRef ref, double value, char* out, size_t capacity) {
    const FieldRow& row = ref.Row();
    if (row.kind == FieldKind::Check || row.kind == FieldKind::Combo) {
        std::snprintf(out, capacity, "%d", static_cast<int32_t>(value));
        return;
    }
    FormatFieldValue(row.kind, value, out, capacity);
}

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

double CurrentParameterValue(ParameterRef ref, const DialogTarget& target) {
    if (ref == kColonyX) return target.simulation->colony.home.x;
    if (ref == kColonyY) return target.simulation->colony.home.y;
    return ref.Row().get(target);
}

namespace {

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

void PrintParameterList(std::FILE* out, const DialogTarget& defaults) {
    std::fprintf(out, "%-28s %-6s %-14s %-9s %s\n", "NAME", "KIND", "RANGE", "DEFAULT",
                 "DIALOG: FIELD");
    std::lock_guard<std::mutex> lock(defaults.simulation->stateMutex);
    for (int32_t i = 0; i < ParameterCount(); ++i) {
        const ParameterRef ref = ParameterAt(i);
        const FieldRow& row = ref.Row();
        const char* kind = "whole";
        char range[48];
        std::snprintf(range, sizeof range, "%g to %g", row.low, row.high);
        if (row.kind == FieldKind::Real) {
            kind = "real";
        } else if (row.kind == FieldKind::Check) {
            kind = "check";
            std::snprintf(range, sizeof range, "0 or 1");
        } else if (row.kind == FieldKind::Combo) {
            kind = "choice";
            std::snprintf(range, sizeof range, "0 to %d", kGeneratorTextCount - 1);
        }
        char value[32];
        FormatParameterValue(ref, CurrentParameterValue(ref, defaults), value, sizeof value);
        std::fprintf(out, "%-28s %-6s %-14s %-9s %s: \"%s\"", row.name, kind, range, value,
                     DialogCaption(ref.dialog), row.label);
        if (row.group != nullptr) std::fprintf(out, " in \"%s\"", row.group);
        if (row.kind == FieldKind::Combo) {
            for (int32_t type = 0; type < kGeneratorTextCount; ++type) {
                std::fprintf(out, "%s%d %s", type == 0 ? " (" : ", ", type, kGeneratorTexts[type]);
            }
            std::fputc(')', out);
        }
        std::fputc('\n', out);
    }
    std::fprintf(out,
                 "\nChecked together, as the dialogs check them: the four shares add up to 100;\n"
                 "colonyX and colonyY stay %d cells from the border of the world, whose size\n"
                 "worldWidth/worldHeight or colonyWorldWidth/colonyWorldHeight set.\n",
                 kPlacementMargin);
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

