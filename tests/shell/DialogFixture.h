#pragma once
// A simulation in a private scratch folder (its rule base lives there), with
// the pieces the dialogs and commands reach: the thread control block, the
// view's rendering multiple and a simulation thread that is not started.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "policy/RuleBaseFile.h"
#include "shell/DialogLayout.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "tests/TempFolder.h"

class DialogTestHost final : public SimulationHost {
public:
    void RequestRestart() override {}
    void RequestRepaint() override {}
};

class DialogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(folder.path.empty());
        rulesPath = folder.File("Rules.clp");
        PrepareRules();
        ProvideRuleBase(rulesPath.c_str());  // the built-in rules unless a test wrote its own
        simulation = std::make_unique<Simulation>(1u, rulesPath.c_str());
        thread = std::make_unique<SimulationThread>(*simulation, host, control);
        target.simulation = simulation.get();
        target.control = &control;
        target.renderingMulti = &renderingMulti;
        target.thread = thread.get();
    }

    void TearDown() override {
        thread.reset();
        simulation.reset();
    }

    // Before the simulation exists: a test may write its own rule base.
    virtual void PrepareRules() {}

    // Opens the dialog on the live values.
    DialogState Open(DialogId id) {
        DialogState state;
        FillDialog(GetDialogTable(id), target, state);
        return state;
    }

    // The index in exchange order of the field with this label.
    static int32_t Field(DialogId id, const char* label) {
        const DialogTable& table = GetDialogTable(id);
        for (int32_t i = 0; i < table.fieldCount; ++i) {
            if (std::strcmp(table.fields[i].label, label) == 0) return i;
        }
        ADD_FAILURE() << "no field " << label;
        return 0;
    }

    static void Type(DialogState& state, int32_t field, const char* text) {
        std::snprintf(state.fields[field].text, sizeof state.fields[field].text, "%s", text);
    }
    static void Type(DialogState& state, DialogId id, const char* label, const char* text) {
        Type(state, Field(id, label), text);
    }

    TempFolder folder;
    std::string rulesPath;
    DialogTestHost host;
    SimThreadControl control;
    int32_t renderingMulti = 1;
    std::unique_ptr<Simulation> simulation;
    std::unique_ptr<SimulationThread> thread;
    ParameterTarget target;
};
