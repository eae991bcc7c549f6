#pragma once
// Modal message boxes with one OK button, captioned with the application
// title. Every text also goes to standard error, which is all there is where
// no display can show a box (and what a log of a screen-saver run keeps).
//
// A box never outlives the program: the process SDL forks to draw it is
// killed when we end, however we end; and a SIGTERM that arrives while a box
// is open ends the program at once (shell/window/Signals.h).
#include "presentation/SettingsFile.h"

struct SDL_Window;

constexpr const char* kApplicationTitle = "Marrowick";

enum class MessageKind { Information, Warning, Error };

// Blocks until OK is pressed. parent may be null.
void ShowMessage(const char* text, MessageKind kind = MessageKind::Warning,
                 SDL_Window* parent = nullptr);

// The same with a caption of its own (the About box).
void ShowMessageCaptioned(const char* caption, const char* text, MessageKind kind,
                          SDL_Window* parent);

// The settings file's warning, shown as one of these boxes.
SettingsWarning SettingsWarningBox();
