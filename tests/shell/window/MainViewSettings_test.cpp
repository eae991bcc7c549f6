// The view builds its simulation from the run description: the values given
// are in place before the first world, and the pace and paint cadence reach
// its thread and its paints.
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "presentation/PaintCadence.h"
#include "shell/window/MainView.h"
#include "simulation/Simulation.h"
#include "tests/TempFolder.h"

TEST(MainViewSettings, TheFirstWorldAndThePacingComeFromTheRun) {
    TempFolder folder;
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    {
        ViewSettings settings;
        settings.kind = ViewKind::Windowed;
        settings.run.settingsPath = folder.File("Marrowick.ini");
        settings.run.settingsWritable = true;
        settings.run.SetNumber(ParameterId::InitialAnts, 120);
        settings.run.SetNumber(ParameterId::ColonyX, 64);
        settings.run.SetNumber(ParameterId::DieRatio, static_cast<float>(0.002));
        settings.run.SetNumber(ParameterId::SimsPerSecond, 200);
        settings.run.SetNumber(ParameterId::RenderingMulti, 3);
        MainView view(settings);
        const Colony& colony = view.GetSimulation().colony;
        EXPECT_EQ(colony.population, 120);
        EXPECT_EQ(colony.home.x, 64);
        EXPECT_EQ(colony.home.y, Simulation::kFirstColonyY);
        EXPECT_EQ(colony.dieRatio, 0.002f);
        EXPECT_EQ(view.Control().simsPerSecond.load(), 200.0f);
        EXPECT_EQ(view.Cadence().renderingMulti, 3);
    }
    SDL_Quit();
}
