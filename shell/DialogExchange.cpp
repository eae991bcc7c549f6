// The dialogs' data exchange: filling a dialog from the live values, reading
// and range-checking what the user typed, the two validating checks and the
// write-back (the New Colony rebuild among them).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "settings/RunDescription.h"
#include "shell/DialogLayout.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

namespace {

// The Stop wait of the New Colony command; the rebuild then waits for the
// worker to be gone so that it never overlaps a step.
constexpr int32_t kNewColonyStopMs = 200;

int32_t AsInt(double v) { return static_cast<int32_t>(v); }
float AsReal(double v) { return static_cast<float>(v); }

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

// Stops the worker and waits until it is gone: the rebuild must never
// overlap a step. The first wait is the command's bounded one; a worker that
// outlives it is still finishing its iteration (a stop request wakes it from
// its sleep), so the second wait is short.
void StopForRebuild(SimulationThread* thread) {
    if (thread == nullptr) return;
    thread->Stop(kNewColonyStopMs);
    thread->Join();
}

void ApplyNewColony(const DialogValues& values, ParameterTarget& target) {
    StopForRebuild(target.thread);
    Simulation& sim = *target.simulation;
    std::lock_guard<std::mutex> lock(sim.stateMutex);
    const int32_t width = AsInt(values.value[NewColonyField::kXSize]);
    const int32_t height = AsInt(values.value[NewColonyField::kYSize]);
    sim.colony.foodReserves = float(AsInt(values.value[NewColonyField::kInitialFood]));
    // The colony and the food field always share one world size; the sizes
    // entered here become the world's, so the food lies where the ants can go.
    sim.worldWidth = width;
    sim.worldHeight = height;
    sim.colony.SetWorldSize(width, height);
    sim.NewColony(AsInt(values.value[NewColonyField::kXPlacement]), AsInt(values.value[NewColonyField::kYPlacement]),
                  AsInt(values.value[NewColonyField::kInitialAnts]));
    // The simulation stays stopped until the user starts it again.
}

}  // namespace

// Formats a value for its field: integers plainly, reals with the fewest
// significant digits (six at least, as the data exchange shows them) that
// read back as the same single-precision value, so that OK on an unchanged
// dialog writes back exactly what was there (the ants' shares must keep their
// sum).
void FormatFieldValue(FieldKind kind, double v, char* out, size_t capacity) {
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

bool ParseFieldText(const FieldRow& field, const char* text, double& value) {
    switch (field.kind) {
        case FieldKind::Int: {
            int32_t v = 0;
            if (!ParseIntField(text, v)) return false;
            value = v;
            return true;
        }
        case FieldKind::Real: {
            float v = 0;
            if (!ParseRealField(text, v)) return false;
            value = v;
            return true;
        }
        case FieldKind::Check:
            // The dialog's box has no text; elsewhere it is written 0 or 1.
            if (std::strcmp(text, "0") != 0 && std::strcmp(text, "1") != 0) return false;
            value = text[0] == '1' ? 1.0 : 0.0;
            return true;
        case FieldKind::Combo:
            value = GeneratorTypeFromText(text);
            return true;
    }
    return false;
}

bool FieldInRange(const FieldRow& field, double value) {
    switch (field.kind) {
        case FieldKind::Int:
            return value >= AsInt(field.Low()) && value <= AsInt(field.High());
        case FieldKind::Real: {
            // Checked on the single-precision value that is stored.
            const float v = AsReal(value);
            return v >= AsReal(field.Low()) && v <= AsReal(field.High());
        }
        case FieldKind::Check:
        case FieldKind::Combo:
            return true;
    }
    return false;
}

void FillDialog(const DialogTable& table, const ParameterTarget& target, DialogState& state) {
    state = DialogState{};
    state.table = &table;
    std::lock_guard<std::mutex> lock(target.simulation->stateMutex);
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        const FieldRow& field = table.fields[i];
        FieldState& out = state.fields[i];
        const ParameterRow* parameter = field.Param();
        const double v = field.opensWith != nullptr ? field.opensWith(target)
                         : parameter != nullptr     ? parameter->get(target)
                                                    : 0.0;
        switch (field.kind) {
            case FieldKind::Int:
            case FieldKind::Real:
                FormatFieldValue(field.kind, v, out.text, sizeof out.text);
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
                      AsInt(field.Low()), AsInt(field.High()), field.label);
    } else {
        std::snprintf(out, size_t(capacity), "Please enter a number from %g to %g for \"%s\".",
                      field.Low(), field.High(), field.label);
    }
}

bool ReadDialog(const DialogState& state, DialogValues& values, DialogCheck& check) {
    check = DialogCheck{};
    values = DialogValues{};
    const DialogTable& table = *state.table;
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        const FieldRow& field = table.fields[i];
        const FieldState& in = state.fields[i];
        double v = 0.0;
        const bool ok = field.kind == FieldKind::Check
                            ? (v = in.checked ? 1.0 : 0.0, true)
                            : ParseFieldText(field, in.text, v) && FieldInRange(field, v);
        values.value[i] = v;
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
        float sum = AsReal(values.value[AntsShareField::kGathering]);
        sum = sum + AsReal(values.value[AntsShareField::kMeandering]);
        sum = sum + AsReal(values.value[AntsShareField::kReproducing]);
        sum = sum + AsReal(values.value[AntsShareField::kWandering]);
        if (sum != 100.0f) warning = kAntsRatioWarning;
    } else if (id == DialogId::NewColony) {
        const int32_t x = AsInt(values.value[NewColonyField::kXPlacement]);
        const int32_t y = AsInt(values.value[NewColonyField::kYPlacement]);
        const int32_t width = AsInt(values.value[NewColonyField::kXSize]);
        const int32_t height = AsInt(values.value[NewColonyField::kYSize]);
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

void ApplyDialog(DialogId id, const DialogValues& values, ParameterTarget& target) {
    if (id == DialogId::NewColony) {
        ApplyNewColony(values, target);
        return;
    }
    const DialogTable& table = GetDialogTable(id);
    std::lock_guard<std::mutex> lock(target.simulation->stateMutex);
    for (int32_t i = 0; i < table.fieldCount; ++i) {
        const ParameterRow* parameter = table.fields[i].Param();
        if (parameter != nullptr && parameter->set != nullptr) {
            parameter->set(target, values.value[i]);
        }
    }
    if (id == DialogId::NewSim) {
        target.simulation->FillSeedGrid();
    }
}

DialogCheck AcceptDialog(const DialogState& state, ParameterTarget& target) {
    DialogValues values;
    DialogCheck check;
    if (!ReadDialog(state, values, check)) return check;
    if (!CheckDialog(state.table->id, values, check)) return check;
    ApplyDialog(state.table->id, values, target);
    return check;
}
