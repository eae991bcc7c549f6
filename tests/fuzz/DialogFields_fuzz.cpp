// The dialog field reader on any form: the first byte picks the dialog, the
// next bytes the check boxes, the rest are the NUL-separated texts of the
// edit fields and the combo, in exchange order. OK's reading and checks run
// on it; nothing may be accepted outside a field's range.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "shell/DialogLayout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const DialogId id = static_cast<DialogId>(data[0] % kDialogCount);
    DialogState state;
    state.table = &GetDialogTable(id);
    size_t at = 1;
    const int32_t count = state.table->fieldCount;
    for (int32_t i = 0; i < count; ++i) {
        FieldState& field = state.fields[i];
        const FieldRow& row = state.table->fields[i];
        if (row.kind == FieldKind::Check) {
            field.checked = at < size && (data[at++] & 1) != 0;
            continue;
        }
        size_t length = 0;
        while (at < size && data[at] != 0) {
            if (length + 1 < sizeof field.text) field.text[length++] = static_cast<char>(data[at]);
            ++at;
        }
        field.text[length] = '\0';
        if (at < size) ++at;  // the separator
    }

    DialogValues values;
    DialogCheck check;
    if (ReadDialog(state, values, check)) {
        for (int32_t i = 0; i < count; ++i) {
            const FieldRow& row = state.table->fields[i];
            const double v = values.value[i];
            const bool outside =
                row.kind == FieldKind::Int
                    ? (v < row.Low() || v > row.High())
                    // Real fields are checked in single precision, as stored.
                    : row.kind == FieldKind::Real &&
                          (static_cast<float>(v) < static_cast<float>(row.Low()) ||
                           static_cast<float>(v) > static_cast<float>(row.High()));
            if (!std::isfinite(v) || outside) __builtin_trap();
        }
        DialogCheck more;
        CheckDialog(id, values, more);
        if (!more.ok && more.message[0] == '\0') __builtin_trap();
    } else {
        if (check.message[0] == '\0' || check.failingField >= count) __builtin_trap();
        if (check.failingField >= 0) {
            char message[kMessageCapacity];
            FormatRangeMessage(state.table->fields[check.failingField], message, sizeof message);
        }
    }
    return 0;
}
