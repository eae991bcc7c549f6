#pragma once
// RulesPanel: the expert system in plain sight. A Dear ImGui window at the
// top right of the view with the rule base's name and where it comes from,
// its state (loaded, failed with the first error, cut off, switched off, a
// reload that failed), the last pass
// (the six symbols, the rules fired, the conclusions, the shares before and
// after) and a strip of the last dozen passes.
//
// Everything shown comes from the expert system's journal
// (policy/PassJournal.h), copied once per frame under the state lock into
// this object, so drawing never holds the lock and allocates nothing.
// On the interface thread only, between ImGui::NewFrame and ImGui::Render.
#include <cstdint>

#include "policy/EngineProcess.h"
#include "policy/ExpertSystem.h"
#include "policy/PassJournal.h"

class Simulation;

class RulesPanel {
public:
    static constexpr float kWidth = 480.0f;
    static constexpr float kMargin = 8.0f;
    static constexpr const char* kTitle = "Expert System";

    bool visible = false;

    // top: the first pixel row below the menu bar (0 without one).
    void Draw(const Simulation& simulation, float top);

private:
    void TakeSnapshot(const Simulation& simulation);
    void DrawState() const;
    void DrawLastPass() const;
    void DrawStrip() const;

    // The copy drawn this frame.
    PassJournal journal;
    RuleBaseState state = RuleBaseState::Failed;
    bool reloadFailed = false;
    int32_t reloads = 0;
    char loadProblem[EngineProcess::kProblemCapacity] = {};
    char rulesName[ExpertSystem::kNameCapacity] = {};
    char rulesPath[512] = {};  // or "built in"
};
