#include "shell/ParameterList.h"

#include <cstring>
#include <string>

#include "settings/ParameterValue.h"
#include "settings/RunDescription.h"
#include "shell/DialogLayout.h"

namespace {

const char* KindWord(ParameterType type) {
    switch (type) {
        case ParameterType::Whole: return "whole";
        case ParameterType::Real: return "real";
        case ParameterType::Flag: return "flag";
        case ParameterType::Choice: return "choice";
        case ParameterType::Text: return "text";
    }
    return "?";
}

std::string RangeText(const ParameterRow& row) {
    char text[48];
    switch (row.type) {
        case ParameterType::Whole:
        case ParameterType::Real:
            std::snprintf(text, sizeof text, "%g to %g", row.low, row.high);
            return text;
        case ParameterType::Flag: return "0 or 1";
        case ParameterType::Choice:
            std::snprintf(text, sizeof text, "0 to %d", kGeneratorTextCount - 1);
            return text;
        case ParameterType::Text: return "name or file";
    }
    return "";
}

// "Ants Options: "Food Per Ant"" for a parameter a dialog shows.
std::string DialogField(const char* name) {
    for (int32_t d = 0; d < kDialogCount; ++d) {
        const DialogTable& table = GetDialogTable(static_cast<DialogId>(d));
        for (int32_t f = 0; f < table.fieldCount; ++f) {
            const FieldRow& field = table.fields[f];
            if (field.parameter == nullptr || std::strcmp(field.parameter, name) != 0) continue;
            std::string text = std::string(table.caption) + ": \"" + field.label + "\"";
            if (field.group != nullptr) text += std::string(" in \"") + field.group + "\"";
            return text;
        }
    }
    return {};
}

}  // namespace

bool PrintParameterList(std::FILE* out) {
    std::fprintf(out, "%-28s %-6s %-14s %-10s %s\n", "NAME", "KIND", "RANGE", "DEFAULT",
                 "WHAT IT DOES");
    for (int32_t i = 0; i < kParameterCount; ++i) {
        const ParameterRow& row = Parameter(i);
        const std::string value =
            row.type == ParameterType::Text ? "-" : FormatParameterValue(row.id, DefaultValue(row.id));
        std::string about = row.help;
        if (row.unit[0] != '\0') about += std::string(" [") + row.unit + "]";
        if (row.inert) about += " (does nothing in a run; --vary refuses it)";
        const std::string dialog = DialogField(row.name);
        if (!dialog.empty()) about += "; " + dialog;
        if (row.type == ParameterType::Choice) {
            for (int32_t type = 0; type < kGeneratorTextCount; ++type) {
                about += (type == 0 ? " (" : ", ") + std::to_string(type) + " " + kGeneratorTexts[type];
            }
            about += ")";
        }
        std::fprintf(out, "%-28s %-6s %-14s %-10s %s\n", row.name, KindWord(row.type),
                     RangeText(row).c_str(), value.c_str(), about.c_str());
    }
    std::string shares;
    for (ParameterId id : kShareOrder) {
        shares += (shares.empty() ? "" : "/") + FormatParameterValue(id, DefaultValue(id));
    }
    std::fprintf(out, "%-28s %-6s %-14s %-10s %s\n", kSharesName, "linked", "M/W/G/R",
                 shares.c_str(),
                 "the meandering, wandering, gathering and reproducing shares together");
    std::fprintf(out,
                 "\nChecked together, as the dialogs check them: the four shares add up to 100\n"
                 "(shares=M/W/G/R sets or varies all four at once); colonyX and colonyY stay %d\n"
                 "cells from the border of the world, whose size worldWidth/worldHeight or\n"
                 "colonyWorldWidth/colonyWorldHeight set.\n",
                 kPlacementMargin);
    return std::fflush(out) == 0 && std::ferror(out) == 0;
}
