#include "shell/DialogTables.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

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

// New Colony: how close to the border a colony may be placed, and the grid's
// real capacity (the sizes are refused above it rather than clamped).
constexpr int32_t kPlacementMargin = 10;
constexpr double kMinColonySide = 64;
constexpr double kMaxColonySide = 128;
// The Stop wait of the New Colony command; the rebuild then waits for the
// worker to be gone so that it never overlaps a step.
constexpr int32_t kNewColonyStopMs = 200;

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
    {"Sims Per Second", 1000, FieldKind::Int, 5, 1000, nullptr,
     [](const DialogTarget& t) { return std::trunc(double(t.control->simsPerSecond.load())); },
     [](DialogTarget& t, double v) { t.control->simsPerSecond.store(AsReal(v)); }},
    {"Use RL", 1005, FieldKind::Check, 0, 0, nullptr, Unchecked, nullptr},
    {"Rendering Multi", 1001, FieldKind::Int, 1, 200, nullptr,
     [](const DialogTarget& t) { return double(*t.renderingMulti); },
     [](DialogTarget& t, double v) { *t.renderingMulti = AsInt(v); }},
    {"Use RL Table only", 1006, FieldKind::Check, 0, 0, nullptr, Unchecked, nullptr},
};
const int32_t kOptionsOrder[] = {0, 1, 2, 3};

// ---- New Sim ----
constexpr const char* kDead = "If Dead Rules";
constexpr const char* kAlive = "If Alive Rules";
const FieldRow kNewSimFields[] = {
    {"Starting Seeds", 1003, FieldKind::Int, 0, 12000, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).startingSeeds); },
     [](DialogTarget& t, double v) { Sim(t).startingSeeds = AsInt(v); }},
    {"XSize", 1001, FieldKind::Int, 1, 128, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldWidth); },
     [](DialogTarget& t, double v) { Sim(t).worldWidth = AsInt(v); }},
    {"YSize", 1002, FieldKind::Int, 1, 128, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldHeight); },
     [](DialogTarget& t, double v) { Sim(t).worldHeight = AsInt(v); }},
    {"0", 1004, FieldKind::Check, 0, 0, kDead, GetDead<0>, SetDead<0>},
    {"1", 1005, FieldKind::Check, 0, 0, kDead, GetDead<1>, SetDead<1>},
    {"2", 1006, FieldKind::Check, 0, 0, kDead, GetDead<2>, SetDead<2>},
    {"3", 1007, FieldKind::Check, 0, 0, kDead, GetDead<3>, SetDead<3>},
    {"4", 1008, FieldKind::Check, 0, 0, kDead, GetDead<4>, SetDead<4>},
    {"5", 1021, FieldKind::Check, 0, 0, kDead, GetDead<5>, SetDead<5>},
    {"6", 1010, FieldKind::Check, 0, 0, kDead, GetDead<6>, SetDead<6>},
    {"7", 1011, FieldKind::Check, 0, 0, kDead, GetDead<7>, SetDead<7>},
    {"8", 1022, FieldKind::Check, 0, 0, kDead, GetDead<8>, SetDead<8>},
    {"0", 1014, FieldKind::Check, 0, 0, kAlive, GetAlive<0>, SetAlive<0>},
    {"1", 1015, FieldKind::Check, 0, 0, kAlive, GetAlive<1>, SetAlive<1>},
    {"2", 1016, FieldKind::Check, 0, 0, kAlive, GetAlive<2>, SetAlive<2>},
    {"3", 1017, FieldKind::Check, 0, 0, kAlive, GetAlive<3>, SetAlive<3>},
    {"4", 1018, FieldKind::Check, 0, 0, kAlive, GetAlive<4>, SetAlive<4>},
    {"5", 1009, FieldKind::Check, 0, 0, kAlive, GetAlive<5>, SetAlive<5>},
    {"6", 1019, FieldKind::Check, 0, 0, kAlive, GetAlive<6>, SetAlive<6>},
    {"7", 1020, FieldKind::Check, 0, 0, kAlive, GetAlive<7>, SetAlive<7>},
    {"8", 1012, FieldKind::Check, 0, 0, kAlive, GetAlive<8>, SetAlive<8>},
};
const int32_t kNewSimOrder[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                12, 13, 14, 15, 16, 17, 18, 19, 20};

// ---- Food Control ----
const FieldRow kFoodFields[] = {
    {"Constant Growth Amount", 1010, FieldKind::Real, 0, 100, nullptr,
     [](const DialogTarget& t) { return double(Food(t).constantGrowthAmount); },
     [](DialogTarget& t, double v) { Food(t).constantGrowthAmount = AsReal(v); }},
    {"Exponential Growth Percentage", 1007, FieldKind::Real, 0, 1, nullptr,
     [](const DialogTarget& t) { return double(Food(t).exponentialGrowthPercentage); },
     [](DialogTarget& t, double v) { Food(t).exponentialGrowthPercentage = AsReal(v); }},
    {"Food Decay Percentage", 1009, FieldKind::Real, 0, 1, nullptr,
     [](const DialogTarget& t) { return double(Food(t).decayPercentage); },
     [](DialogTarget& t, double v) { Food(t).decayPercentage = AsReal(v); }},
    {"Generator Type", 1008, FieldKind::Combo, 0, 0, nullptr,
     [](const DialogTarget& t) { return double(Food(t).generatorType); },
     [](DialogTarget& t, double v) {
         // Text that names no generator leaves the type as it was.
         if (v >= 0) Food(t).generatorType = AsInt(v);
     }},
    {"InitialFood", 1011, FieldKind::Int, 0, 2000, nullptr,
     [](const DialogTarget& t) { return double(Food(t).initialFood); },
     [](DialogTarget& t, double v) { Food(t).initialFood = AsInt(v); }},
    {"Maximum Food", 1014, FieldKind::Int, 200, 3000, nullptr,
     [](const DialogTarget& t) { return double(Food(t).maxFood); },
     [](DialogTarget& t, double v) { Food(t).maxFood = AsInt(v); }},
    {"Minimum Food", 1013, FieldKind::Int, 0, 1500, nullptr,
     [](const DialogTarget& t) { return double(Food(t).minFood); },
     [](DialogTarget& t, double v) { Food(t).minFood = AsInt(v); }},
    {"Smallest Food Cluster Size", 1015, FieldKind::Int, 1, 200, nullptr,
     [](const DialogTarget& t) { return double(Food(t).clusterSize); },
     [](DialogTarget& t, double v) { Food(t).clusterSize = AsInt(v); }},
    {"Turns To Decay", 1012, FieldKind::Int, 100, 99999, nullptr,
     [](const DialogTarget& t) { return double(Food(t).turnsToDecay); },
     [](DialogTarget& t, double v) { Food(t).turnsToDecay = AsInt(v); }},
    {"Food Dithering At (Rendering Control)", 1016, FieldKind::Int, 1, 1000, nullptr,
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
    {"Gathering Percentage", 1013, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).gatheringShare); },
     [](DialogTarget& t, double v) { Col(t).gatheringShare = AsReal(v); }},
    {"Meandering Percentage", 1010, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).meanderingShare); },
     [](DialogTarget& t, double v) { Col(t).meanderingShare = AsReal(v); }},
    {"Reproducing Percentage", 1014, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).reproducingShare); },
     [](DialogTarget& t, double v) { Col(t).reproducingShare = AsReal(v); }},
    {"Wandering Percentage", 1012, FieldKind::Real, 0, 100, kRatios,
     [](const DialogTarget& t) { return double(Col(t).wanderingShare); },
     [](DialogTarget& t, double v) { Col(t).wanderingShare = AsReal(v); }},
    {"Trail Dithering (for Rendering)", 1017, FieldKind::Int, 1, 1000, kTrail,
     [](const DialogTarget& t) { return double(Col(t).trails.renderThreshold); },
     [](DialogTarget& t, double v) { Col(t).trails.renderThreshold = AsInt(v); }},
    {"Wander Trail Intensity", 1015, FieldKind::Int, 100, 2000, kTrail,
     [](const DialogTarget& t) { return double(Col(t).wanderTrailIntensity); },
     [](DialogTarget& t, double v) { Col(t).wanderTrailIntensity = AsInt(v); }},
    {"Gatherer Trail Intensity", 1016, FieldKind::Int, 1, 500, kTrail,
     [](const DialogTarget& t) { return double(Col(t).gathererTrailIntensity); },
     [](DialogTarget& t, double v) { Col(t).gathererTrailIntensity = AsInt(v); }},
    {"MaxWanderDistance", 1018, FieldKind::Int, 5, 30, kWanderer,
     [](const DialogTarget& t) { return double(Col(t).maxWanderDistance); },
     [](DialogTarget& t, double v) { Col(t).maxWanderDistance = AsInt(v); }},
    // A real in the colony, exchanged as a whole number.
    {"Potential Field Strength (Walls)", 1019, FieldKind::Int, 1, 50, kWanderer,
     [](const DialogTarget& t) { return std::trunc(double(Col(t).potentialFieldStrength)); },
     [](DialogTarget& t, double v) { Col(t).potentialFieldStrength = AsReal(v); }},
    {"Return to Base Time", 1011, FieldKind::Int, 100, 99999, kWanderer,
     [](const DialogTarget& t) { return double(Col(t).returnToBaseTime); },
     [](DialogTarget& t, double v) { Col(t).returnToBaseTime = AsInt(v); }},
    {"Ants Die Ratio", 1023, FieldKind::Real, 0, 1, kBirth,
     [](const DialogTarget& t) { return double(Col(t).dieRatio); },
     [](DialogTarget& t, double v) { Col(t).dieRatio = AsReal(v); }},
    {"Ants Reproduce Ratio", 1022, FieldKind::Real, 0, 1, kBirth,
     [](const DialogTarget& t) { return double(Col(t).reproduceRatio); },
     [](DialogTarget& t, double v) { Col(t).reproduceRatio = AsReal(v); }},
    {"Food Per Ant", 1021, FieldKind::Real, 0, 1, kBirth,
     [](const DialogTarget& t) { return double(Col(t).foodPerAnt); },
     [](DialogTarget& t, double v) { Col(t).foodPerAnt = AsReal(v); }},
    {"Food Per Baby", 1020, FieldKind::Real, 0, 20, kBirth,
     [](const DialogTarget& t) { return double(Col(t).foodPerBaby); },
     [](DialogTarget& t, double v) { Col(t).foodPerBaby = AsReal(v); }},
    {"Min Food to Reproduce", 1024, FieldKind::Real, 0, 1000, kBirth,
     [](const DialogTarget& t) { return double(Col(t).minFoodToReproduce); },
     [](DialogTarget& t, double v) { Col(t).minFoodToReproduce = AsReal(v); }},
};
// The ratios group shows Meandering, Wandering, Gathering, Reproducing.
const int32_t kAntsOrder[] = {1, 3, 0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

// ---- New Colony ----
// Written back by its own flow (ApplyNewColony), not field by field.
enum NewColonyField : int32_t { kYPlacement, kXPlacement, kInitialAnts, kInitialFood, kXSize, kYSize };
const FieldRow kNewColonyFields[] = {
    {"Colony Y Placement", 1006, FieldKind::Int, 0, 255, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldHeight / 2); }, nullptr},
    {"Colony X Placement", 1005, FieldKind::Int, 0, 255, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldWidth / 2); }, nullptr},
    {"Initial Ants", 1003, FieldKind::Int, 25, 1000, nullptr,
     [](const DialogTarget&) { return double(Simulation::kColonyAnts); }, nullptr},
    {"Initial Colony Food Supply", 1004, FieldKind::Int, 0, 2000, nullptr,
     [](const DialogTarget& t) { return std::trunc(double(Col(t).initialFoodReserves)); }, nullptr},
    {"X Size", 1001, FieldKind::Int, kMinColonySide, kMaxColonySide, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldWidth); }, nullptr},
    {"Y Size", 1002, FieldKind::Int, kMinColonySide, kMaxColonySide, nullptr,
     [](const DialogTarget& t) { return double(Sim(t).worldHeight); }, nullptr},
};
const int32_t kNewColonyOrder[] = {kXPlacement, kYPlacement, kXSize, kYSize, kInitialAnts,
                                   kInitialFood};

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

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The text between leading and trailing blanks, copied into out; false when
// it does not fit.
bool Trimmed(const char* text, char* out, size_t capacity) {
    while (IsBlank(*text)) ++text;
    size_t length = std::strlen(text);
    while (length > 0 && IsBlank(text[length - 1])) --length;
    if (length == 0 || length >= capacity) return false;
    std::memcpy(out, text, length);
    out[length] = '\0';
    return true;
}

bool ParseIntField(const char* text, int32_t& value) {
    char buffer[kFieldTextCapacity];
    if (!Trimmed(text, buffer, sizeof buffer)) return false;
    const char* c = buffer;
    if (*c == '+' || *c == '-') ++c;
    if (*c == '\0') return false;
    for (; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
    }
    errno = 0;
    long long parsed = std::strtoll(buffer, nullptr, 10);
    if (errno != 0 || parsed < INT32_MIN || parsed > INT32_MAX) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

// Plain decimal notation only: strtod would also take "inf", "nan" and hex.
bool ParseRealField(const char* text, float& value) {
    char buffer[kFieldTextCapacity];
    if (!Trimmed(text, buffer, sizeof buffer)) return false;
    for (const char* c = buffer; *c != '\0'; ++c) {
        if (std::strchr("0123456789.+-eE", *c) == nullptr) return false;
    }
    char* end = nullptr;
    double parsed = std::strtod(buffer, &end);
    if (end == buffer || *end != '\0') return false;
    float narrowed = static_cast<float>(parsed);
    if (!std::isfinite(narrowed)) return false;
    value = narrowed;
    return true;
}

// Formats a value for its field: integers plainly, reals with the fewest
// significant digits (six at least, as the data exchange shows them) that
// read back as the same single-precision value, so that OK on an unchanged
// dialog writes back exactly what was there (the ants' shares must keep their
// sum).
void FormatField(FieldKind kind, double v, char* out, size_t capacity) {
    if (kind == FieldKind::Int) {
        std::snprintf(out, capacity, "%d", AsInt(v));
        return;
    }
    const float value = AsReal(v);
    for (int digits = 6; digits <= 9; ++digits) {
        std::snprintf(out, capacity, "%.*g", digits, double(value));
        if (std::strtof(out, nullptr) == value) return;
    }
}

// Stops the worker and waits until it is gone: the rebuild must never
// overlap a step. The first wait is the command's bounded one; a worker that
// outlives it is still finishing its iteration (a stop request wakes it from
// its sleep), so the second wait is short.
void StopForRebuild(SimulationThread* thread) {
    if (thread == nullptr) return;
    thread->Stop(kNewColonyStopMs);
    thread->Join();
}

void ApplyNewColony(const DialogValues& values, DialogTarget& target) {
    StopForRebuild(target.thread);
    Simulation& sim = *target.simulation;
    std::lock_guard<std::mutex> lock(sim.stateMutex);
    const int32_t width = AsInt(values.value[kXSize]);
    const int32_t height = AsInt(values.value[kYSize]);
    sim.colony.foodReserves = float(AsInt(values.value[kInitialFood]));
    // The colony and the food field always share one world size; the sizes
    // entered here become the world's, so the food lies where the ants can go.
    sim.worldWidth = width;
    sim.worldHeight = height;
    sim.colony.SetWorldSize(width, height);
    sim.NewColony(AsInt(values.value[kXPlacement]), AsInt(values.value[kYPlacement]),
                  AsInt(values.value[kInitialAnts]));
    // The simulation stays stopped until the user starts it again.
}

}  // namespace

const DialogTable& GetDialogTable(DialogId id) { return kSpecs[static_cast<int32_t>(id)]; }

int32_t GeneratorTypeFromText(const char* text) {
    for (int32_t i = 0; i < kGeneratorTextCount; ++i) {
        if (std::strcmp(text, kGeneratorTexts[i]) == 0) return i;
    }
    return -1;
}

void FillDialog(const DialogTable& table, const DialogTarget& target, DialogState& state) {
    state = DialogState{};
    state.table = &table;
    std::lock_guard<std::mutex> lock(target.simulation->stateMutex);
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        const FieldRow& field = table.fields[i];
        FieldState& out = state.fields[i];
        const double v = field.get(target);
        switch (field.kind) {
            case FieldKind::Int:
            case FieldKind::Real:
                FormatField(field.kind, v, out.text, sizeof out.text);
                break;
            case FieldKind::Check:
                out.checked = v != 0.0;
                break;
            case FieldKind::Combo: {
                const int32_t type = AsInt(v);
                const char* text =
                    type >= 0 && type < kGeneratorTextCount ? kGeneratorTexts[type] : "";
                std::snprintf(out.text, sizeof out.text, "%s", text);
                break;
            }
        }
    }
}

void FormatRangeMessage(const FieldRow& field, char* out, int32_t capacity) {
    if (field.kind == FieldKind::Int) {
        std::snprintf(out, size_t(capacity), "Please enter a whole number from %d to %d for \"%s\".",
                      AsInt(field.low), AsInt(field.high), field.label);
    } else {
        std::snprintf(out, size_t(capacity), "Please enter a number from %g to %g for \"%s\".",
                      field.low, field.high, field.label);
    }
}

bool ReadDialog(const DialogState& state, DialogValues& values, DialogCheck& check) {
    check = DialogCheck{};
    values = DialogValues{};
    const DialogTable& table = *state.table;
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        const FieldRow& field = table.fields[i];
        const FieldState& in = state.fields[i];
        bool ok = true;
        switch (field.kind) {
            case FieldKind::Int: {
                int32_t v = 0;
                ok = ParseIntField(in.text, v) && v >= AsInt(field.low) && v <= AsInt(field.high);
                values.value[i] = v;
                break;
            }
            case FieldKind::Real: {
                // The range is checked on the single-precision value that is stored.
                float v = 0;
                ok = ParseRealField(in.text, v) && v >= AsReal(field.low) && v <= AsReal(field.high);
                values.value[i] = v;
                break;
            }
            case FieldKind::Check:
                values.value[i] = in.checked ? 1.0 : 0.0;
                break;
            case FieldKind::Combo:
                values.value[i] = GeneratorTypeFromText(in.text);
                break;
        }
        if (!ok) {
            check.ok = false;
            check.failingField = i;
            FormatRangeMessage(field, check.message, kMessageCapacity);
            return false;
        }
    }
    return true;
}

bool CheckDialog(DialogId id, const DialogValues& values, DialogCheck& check) {
    check = DialogCheck{};
    const char* warning = nullptr;
    if (id == DialogId::AntsOptions) {
        // Added in this order, each partial sum rounded to single precision.
        float sum = AsReal(values.value[0]);  // Gathering
        sum = sum + AsReal(values.value[1]);  // Meandering
        sum = sum + AsReal(values.value[2]);  // Reproducing
        sum = sum + AsReal(values.value[3]);  // Wandering
        if (sum != 100.0f) warning = kAntsRatioWarning;
    } else if (id == DialogId::NewColony) {
        const int32_t x = AsInt(values.value[kXPlacement]);
        const int32_t y = AsInt(values.value[kYPlacement]);
        const int32_t width = AsInt(values.value[kXSize]);
        const int32_t height = AsInt(values.value[kYSize]);
        if (x < kPlacementMargin || x > width - kPlacementMargin) {
            warning = kXPlacementWarning;
        } else if (y > height - kPlacementMargin || y < kPlacementMargin) {
            warning = kYPlacementWarning;
        }
    }
    if (warning != nullptr) {
        check.ok = false;
        std::snprintf(check.message, sizeof check.message, "%s", warning);
    }
    return check.ok;
}

void ApplyDialog(DialogId id, const DialogValues& values, DialogTarget& target) {
    if (id == DialogId::NewColony) {
        ApplyNewColony(values, target);
        return;
    }
    const DialogTable& table = GetDialogTable(id);
    std::lock_guard<std::mutex> lock(target.simulation->stateMutex);
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        if (table.fields[i].set != nullptr) table.fields[i].set(target, values.value[i]);
    }
    if (id == DialogId::NewSim) {
        target.simulation->FillSeedGrid();
    }
}

DialogCheck AcceptDialog(const DialogState& state, DialogTarget& target) {
    DialogValues values;
    DialogCheck check;
    if (!ReadDialog(state, values, check)) return check;
    if (!CheckDialog(state.table->id, values, check)) return check;
    ApplyDialog(state.table->id, values, target);
    return check;
}
