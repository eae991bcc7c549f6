#include "shell/Commands.h"

#include <mutex>

#include "simulation/RuleBaseReload.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"

void CommandView::ReloadRules(Simulation& simulation) { ReloadRuleBase(simulation); }

bool DispatchCommand(int32_t id, Simulation& simulation, SimulationThread& thread,
                     CommandView& view) {
    switch (id) {
        case ID_SIM_OPTIONS:
            view.OpenDialog(DialogId::Options);
            return true;
        case ID_NEW_SIM:
            view.OpenDialog(DialogId::NewSim);
            return true;
        case ID_START_STOP:
            thread.Toggle();
            return true;
        case ID_TOGGLE_TRAILS: {
            std::lock_guard<std::mutex> lock(simulation.stateMutex);
            simulation.colony.showTrails = !simulation.colony.showTrails;
            return true;
        }
        case ID_TOGGLE_TEXTURE:
            view.ToggleTexture();
            return true;
        case ID_FOOD_OPTIONS:
            view.OpenDialog(DialogId::FoodControl);
            return true;
        case ID_ANT_OPTIONS:
            view.OpenDialog(DialogId::AntsOptions);
            return true;
        case ID_NEW_COLONY:
            view.OpenDialog(DialogId::NewColony);
            return true;
        case ID_NO_ACTION:
            return true;
        case ID_RESET_CAMERA:
            view.ResetCamera();
            return true;
        case ID_EXPERT_ON:
        case ID_EXPERT_OFF: {
            // Switching on after a failed load is allowed: the expert-system
            // pass checks for its rule base itself and then does nothing.
            std::lock_guard<std::mutex> lock(simulation.stateMutex);
            simulation.expertSystem.on = id == ID_EXPERT_ON;
            return true;
        }
        case ID_RULES_PANEL:
            view.ToggleRulesPanel();
            return true;
        case ID_RELOAD_RULES:
            // The load runs beside the simulation; the result shows in the
            // panel (and on standard error when it fails).
            view.ReloadRules(simulation);
            return true;
        case ID_APP_ABOUT:
            view.ShowAbout();
            return true;
        case ID_APP_EXIT:
            view.Exit();
            return true;
        default:
            return false;
    }
}
