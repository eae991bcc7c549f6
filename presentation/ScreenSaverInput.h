#pragma once
// The screen-saver input rules: a key press or a real mouse movement ends the
// screen saver. The main view feeds its SDL events in and acts on the result.
//
// - Any key press closes, modifiers alone included (Shift, Ctrl), except the
//   system keys: Alt, F10 and keys pressed with Alt held, which only the
//   system's own shortcut Alt+F4 turns into a close.
// - Every mouse movement asks for a repaint. The first position is stored
//   once; a later movement closes only at a different position (the window
//   system reports a movement when the window appears under a still cursor).
// - Mouse clicks and key releases do nothing.
// UI thread only.
#include <cstdint>

#include <SDL_keycode.h>

#include "foundation/GridPoint.h"

struct InputResult {
    bool close = false;
    bool repaint = false;
};

class ScreenSaverInput {
public:
    InputResult OnKeyDown(SDL_Keycode key, uint16_t modifiers);
    InputResult OnKeyUp() { return {}; }
    InputResult OnMouseButton() { return {}; }
    InputResult OnMouseMove(int32_t x, int32_t y);

    bool HasMousePoint() const { return hasMousePoint; }
    GridPoint MousePoint() const { return mousePoint; }

private:
    bool hasMousePoint = false;
    GridPoint mousePoint{-1, -1};
};
