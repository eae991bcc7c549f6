#pragma once
// The five option dialogs as data: one table per dialog lists its fields in
// exchange order (label, control id, kind, range, where the value lives). The
// same table fills the dialog, validates what the user typed and writes it
// back, so the window code only draws the fields and reports OK or Cancel.
//
// Validation follows the dialog-data-exchange rules: on OK the fields are read
// in exchange order, each range is checked right after its field is read
// (both ends included), and the first field that is not a number or lies
// outside its range is reported and gets the focus; nothing is written then.
//
// Threading: FillDialog and ApplyDialog take the simulation's state lock while
// they read or write simulation state; call them on the user-interface thread
// without holding it.
#include <cstddef>
#include <cstdint>

class Simulation;
class SimulationThread;
struct SimThreadControl;

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

// Everything a dialog reads or writes.
struct DialogTarget {
    Simulation* simulation = nullptr;
    SimThreadControl* control = nullptr;  // simsPerSecond
    int32_t* renderingMulti = nullptr;    // the view's paint cadence
    SimulationThread* thread = nullptr;   // New Colony stops it before rebuilding
};

struct FieldRow {
    // The parameter's short stable name (the command line's --set NAME and the
    // experiments' columns); null for a field that stores nothing.
    const char* name;
    const char* label;
    int32_t controlId;
    FieldKind kind;
    double low;   // range of Int and Real fields, both ends included
    double high;
    const char* group;  // the group box or row the field is drawn in; null for none
    // The live value the field opens with (check boxes 0 or 1, the combo the
    // generator type).
    double (*get)(const DialogTarget&);
    // Stores an accepted value; null where the field is dropped on close.
    void (*set)(DialogTarget&, double);
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

// The combo box's items, in generator-type order.
constexpr int32_t kGeneratorTextCount = 3;
extern const char* const kGeneratorTexts[kGeneratorTextCount];

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
// New Colony: how close to the border a colony may be placed.
constexpr int32_t kPlacementMargin = 10;

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
void FillDialog(const DialogTable& table, const DialogTarget& target, DialogState& state);

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
DialogCheck AcceptDialog(const DialogState& state, DialogTarget& target);

// The write-back alone (values already read and checked).
void ApplyDialog(DialogId id, const DialogValues& values, DialogTarget& target);

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
