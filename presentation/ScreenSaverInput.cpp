#include "presentation/ScreenSaverInput.h"

InputResult ScreenSaverInput::OnKeyDown(SDL_Keycode key, uint16_t modifiers) {
    InputResult result;
    const bool altHeld = (modifiers & KMOD_ALT) != 0;
    const bool altKey = key == SDLK_LALT || key == SDLK_RALT;
    if (altKey || key == SDLK_F10 || altHeld) {
        // System keys: only the system's close shortcut closes the window.
        result.close = altHeld && key == SDLK_F4;
        return result;
    }
    result.close = true;
    return result;
}

InputResult ScreenSaverInput::OnMouseMove(int32_t x, int32_t y) {
    InputResult result;
    result.repaint = true;
    const GridPoint point{x, y};
    if (!hasMousePoint) {
        hasMousePoint = true;
        mousePoint = point;
    } else if (point != mousePoint) {
        result.close = true;
    }
    return result;
}
