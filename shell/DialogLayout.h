#pragma once
// The five option dialogs' layout: per dialog its caption and its fields in
// exchange order, each with its label, control id, kind, group box and the
// parameter it shows and stores, by name (settings/ParameterTable.h holds
// the parameter's range, its live value and where it is written). Filling,
// reading and writing back are in shell/DialogExchange.h, so the window code
// only draws the fields and reports OK or Cancel.
#include <cstddef>
#include <cstdint>

#include "settings/ParameterTable.h"

enum class DialogId : int32_t {
    Options = 0,
    NewSim,
    FoodControl,
    AntsOptions,
    NewColony,
};
constexpr int32_t kDialogCount = 5;

enum class FieldKind : int32_t {
    Int,    // edit field exchanging a 32-bit integer
    Real,   // edit field exchanging a single-precision real
    Check,  // check box
    Combo,  // editable drop-down list exchanging its text
};

struct FieldRow {
    // The parameter the field shows and stores, by name; null for a field
    // that stores nothing (dropped on close). The kind agrees with the
    // parameter's type (Whole: Int, Real: Real, Flag: Check, Choice: Combo).
    const char* parameter;
    const char* label;
    int32_t controlId;
    FieldKind kind;
    const char* group;  // the group box or row the field is drawn in; null for none
    // What the field opens with when it is not the parameter's live value
    // (New Colony offers the centre of the world); null: the live value, or
    // 0 for a field without a parameter.
    double (*opensWith)(const ParameterTarget&);

    // The parameter's row; null when the field stores nothing.
    const ParameterRow* Param() const;
    // The range of Int and Real fields, both ends included (the parameter's).
    double Low() const;
    double High() const;
};

struct DialogTable {
    DialogId id;
    const char* caption;
    const FieldRow* fields;  // exchange order
    int32_t fieldCount;
    const int32_t* drawOrder;  // indices into fields, in the order they are laid out
};

constexpr int32_t kMaxDialogFields = 21;  // New Sim: three edits and eighteen boxes
constexpr int32_t kFieldTextCapacity = 64;
constexpr int32_t kMessageCapacity = 256;

// The rows of the two validating dialogs, by exchange order: the Ants Options
// shares (the sum check) and the New Colony fields (placement and sizes).
struct AntsShareField {
    static constexpr int32_t kGathering = 0;
    static constexpr int32_t kMeandering = 1;
    static constexpr int32_t kReproducing = 2;
    static constexpr int32_t kWandering = 3;
};
struct NewColonyField {
    static constexpr int32_t kYPlacement = 0;
    static constexpr int32_t kXPlacement = 1;
    static constexpr int32_t kInitialAnts = 2;
    static constexpr int32_t kInitialFood = 3;
    static constexpr int32_t kXSize = 4;
    static constexpr int32_t kYSize = 5;
};

// The two warnings of the validating dialogs.
extern const char* const kAntsRatioWarning;
extern const char* const kXPlacementWarning;
extern const char* const kYPlacementWarning;

// What the open dialog holds: the text of every edit and combo, the state of
// every check box.
struct FieldState {
    char text[kFieldTextCapacity] = {};
    bool checked = false;
};

struct DialogState {
    const DialogTable* table = nullptr;
    FieldState fields[kMaxDialogFields];
};

// The values read from an open dialog, in exchange order. Check boxes hold 0
// or 1; the combo holds the matching generator type, or -1 when its text
// names none.
struct DialogValues {
    double value[kMaxDialogFields] = {};
};

struct DialogCheck {
    bool ok = true;
    int32_t failingField = -1;  // index in exchange order; -1 when the whole form failed
    char message[kMessageCapacity] = {};
};

const DialogTable& GetDialogTable(DialogId id);

// Every opening starts from the live values (no dialog keeps its own).
void FillDialog(const DialogTable& table, const ParameterTarget& target, DialogState& state);

// Reads the fields in exchange order with their range checks. On failure the
// check names the first failing field and holds the standard message.
bool ReadDialog(const DialogState& state, DialogValues& values, DialogCheck& check);

// The standard message for a field that is not a number or is out of range:
// it names the field and its range.
void FormatRangeMessage(const FieldRow& field, char* out, int32_t capacity);

// The checks beyond the ranges: the Ants Options sum, the New Colony
// placement. On failure the message is the warning to show before the dialog
// runs again with the values just entered; failingField is -1.
bool CheckDialog(DialogId id, const DialogValues& values, DialogCheck& check);

// OK: ReadDialog, then CheckDialog, then the write-back. Returns the check;
// nothing is written unless it is ok. New Colony stops the simulation thread
// first and leaves it stopped.
DialogCheck AcceptDialog(const DialogState& state, ParameterTarget& target);

// The write-back alone (values already read and checked).
void ApplyDialog(DialogId id, const DialogValues& values, ParameterTarget& target);

// The generator combo: the type whose text equals text exactly (case
// matters), or -1.
int32_t GeneratorTypeFromText(const char* text);

// One field's text as the dialog reads it, without the range check: a whole
// number for Int, a plain decimal for Real (single precision), the state for
// Check, the generator type (or -1) for Combo. False when it is no number.
bool ParseFieldText(const FieldRow& field, const char* text, double& value);
// Both ends of an Int or Real field's range included, compared as the value is
// stored (Real in single precision); other kinds have no range.
bool FieldInRange(const FieldRow& field, double value);
// A value as its field shows it: integers plainly, reals with the fewest
// digits that read back as the same single-precision value.
void FormatFieldValue(FieldKind kind, double value, char* out, size_t capacity);
