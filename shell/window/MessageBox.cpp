#include "shell/window/MessageBox.h"

#include <SDL.h>

#include <cstdio>

namespace {

Uint32 Flags(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information:
            return SDL_MESSAGEBOX_INFORMATION;
        case MessageKind::Warning:
            return SDL_MESSAGEBOX_WARNING;
        case MessageKind::Error:
            return SDL_MESSAGEBOX_ERROR;
    }
    return SDL_MESSAGEBOX_WARNING;
}

}  // namespace

void ShowMessageCaptioned(const char* caption, const char* text, MessageKind kind,
                          SDL_Window* parent) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    // SDL's box has its own connection to the display and works before and
    // without SDL_Init; it fails only when there is no display at all.
    if (SDL_ShowSimpleMessageBox(Flags(kind), caption, text, parent) != 0 && parent != nullptr) {
        SDL_ShowSimpleMessageBox(Flags(kind), caption, text, nullptr);
    }
    // The box had the keyboard; give it back to the window it came from.
    if (parent != nullptr) {
        SDL_RaiseWindow(parent);
        SDL_SetWindowInputFocus(parent);
    }
}

void ShowMessage(const char* text, MessageKind kind, SDL_Window* parent) {
    ShowMessageCaptioned(kApplicationTitle, text, kind, parent);
}
