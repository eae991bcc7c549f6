#pragma once
// The view's command set: the identifiers that menus, keys and command
// messages carry, and what each does. The simulation side of every command is
// here, windowless and testable; the window's part (dialogs, texture, camera,
// About, exit) goes through CommandView.
#include <cstdint>

#include "shell/DialogLayout.h"

class Simulation;
class SimulationThread;

enum CommandId : int32_t {
    ID_SIM_OPTIONS = 32771,
    ID_NEW_SIM = 32772,
    ID_START_STOP = 32773,
    ID_TOGGLE_TRAILS = 32774,
    ID_TOGGLE_TEXTURE = 32775,
    ID_FOOD_OPTIONS = 32776,
    ID_ANT_OPTIONS = 32777,
    ID_NEW_COLONY = 32778,
    ID_NO_ACTION = 32779,
    ID_RESET_CAMERA = 32780,
    ID_EXPERT_ON = 32781,
    ID_EXPERT_OFF = 32782,
    ID_RULES_PANEL = 32783,   // show or hide the expert system's panel
    ID_RELOAD_RULES = 32784,  // load the rule base file again, keeping the old rules on failure
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
};

// What the window does for a command.
class CommandView {
public:
    virtual ~CommandView() = default;
    virtual void OpenDialog(DialogId id) = 0;  // modal; runs its own OK flow
    virtual void ToggleTexture() = 0;
    virtual void ResetCamera() = 0;
    virtual void ShowAbout() = 0;
    virtual void Exit() = 0;
    virtual void ToggleRulesPanel() {}
    // Loads the rule base file again (simulation/RuleBaseReload.h). Here on
    // the caller's thread; a view that must keep drawing loads on another.
    virtual void ReloadRules(Simulation& simulation);
};

// Carries out one command on the user-interface thread. Flags in the
// simulation are changed under its state lock. Returns false for an
// identifier that is no command (nothing happens then).
bool DispatchCommand(int32_t id, Simulation& simulation, SimulationThread& thread,
                     CommandView& view);
