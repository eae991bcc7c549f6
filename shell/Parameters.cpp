#include "shell/Parameters.h"

#include <cctype>
#include <cstring>
#include <mutex>

#include "simulation/Simulation.h"

namespace {

constexpr ParameterRef kColonyX{DialogId::NewColony, NewColonyField::kXPlacement};
constexpr ParameterRef kColonyY{DialogId::NewColony, NewColonyField::kYPlacement};

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

double CurrentParameterValue(ParameterRef ref, const DialogTarget& target) {
    if (ref == kColonyX) return target.simulation->colony.home.x;
    if (ref == kColonyY) return target.simulation->colony.home.y;
    return ref.Row().get(target);
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
