#pragma once
// Draws one option dialog with Dear ImGui as a modal window over the running
// view, from its table (shell/DialogLayout.h): the fields on the left, OK (the
// default button: Enter presses it) and Cancel at the top right. OK reads,
// checks and writes the values through the table; a refused value shows its
// message box, the field gets the focus and the dialog stays open with what
// was typed. Cancel (or Esc) closes without writing. The generator combo's
// list opens inside the dialog, under its field, so it can never fall off
// the window. UI thread only.
#include "shell/DialogLayout.h"

struct SDL_Window;

class DialogWindow {
public:
    // Fills the dialog from the live values; it appears in the next frame.
    void Open(DialogId id, const ParameterTarget& target);
    bool IsOpen() const { return open; }
    // Between ImGui::NewFrame and ImGui::Render. parent owns the message boxes.
    void Draw(ParameterTarget& target, SDL_Window* parent);

private:
    void DrawField(int32_t index, bool& submitted);
    void DrawComboList(FieldState& value);
    // OK and Cancel, one above the other; sets submitted or cancelled.
    void DrawButtons(bool& submitted, bool& cancelled);
    void Accept(ParameterTarget& target, SDL_Window* parent);

    DialogState state;
    bool open = false;
    bool appearing = false;     // OpenPopup is due in the next frame
    int32_t focusField = -1;    // gets the keyboard focus in the next frame
    float fieldColumn = 0.0f;   // x of the edit fields, from the longest label
    bool comboListOpen = false; // the generator list is shown under its field
};
