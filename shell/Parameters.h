#pragma once
// Parameters: every dialog field that stores a value, reached by its short
// stable name. The dialog tables (shell/DialogTables.h) are the one place a
// parameter's name, range and home are kept; the command line's --set and
// --list-parameters and the experiments all read them through this module, so
// a value the command line accepts is exactly one the dialog would accept.
// Start-up settings (shell/StartSettings.h) put them to use.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "shell/DialogTables.h"

// One parameter: a dialog and the index of its field in exchange order.
struct ParameterRef {
    DialogId dialog = DialogId::Options;
    int32_t field = -1;

    const FieldRow& Row() const;
    const char* Name() const { return Row().name; }
    bool operator==(const ParameterRef& other) const {
        return dialog == other.dialog && field == other.field;
    }
};

constexpr size_t kParameterMessageCapacity = 320;

// Every named field, in dialog and exchange order.
int32_t ParameterCount();
ParameterRef ParameterAt(int32_t index);

// The parameter with that exact name; false when there is none.
bool FindParameter(const char* name, ParameterRef& ref);

// A value for one parameter as the dialog would read it, range included. The
// generator type also takes its combo text. On failure the message names the
// parameter, its dialog and its range.
bool ParseParameterValue(ParameterRef ref, const char* text, double& value, char* message,
                         size_t capacity);

// "NAME=VALUE" (the argument of --set).
bool ParseSetting(const char* text, ParameterRef& ref, double& value, char* message,
                  size_t capacity);

// The value's one spelling: the same text for the same stored value, so that
// rows and command lines compare as text (the generator type as its number).
void FormatParameterValue(ParameterRef ref, double value, char* out, size_t capacity);

// The range as a phrase: "a whole number from 5 to 1000", "0 or 1", ...
void FormatParameterRange(ParameterRef ref, char* out, size_t capacity);

// The value a parameter holds now: what its dialog would open with, except the
// colony placement, which is the colony's home (the first colony sits off
// centre, where the New Colony dialog would not put it). Caller holds the
// state lock or runs no thread.
double CurrentParameterValue(ParameterRef ref, const DialogTarget& target);

// The parameter list: name, range, default (from target) and dialog.
void PrintParameterList(std::FILE* out, const DialogTarget& defaults);
