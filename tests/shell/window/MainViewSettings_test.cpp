// The view builds its simulation with the --set values in place, and the
// Options dialog's values reach its pacing and paint cadence (an explicit
// --set wins over --rate and --render-multi).
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>

#include "presentation/PaintCadence.h"
#include "shell/window/MainView.h"
#include "simulation/Simulation.h"
#include "tests/TempFolder.h"

namespace {

void Put(StartSettings& settings, const char* name, double value) {
    ParameterRef ref;
    ASSERT_TRUE(FindParameter(name, ref)) << name;
    settings.Put(ref, value);
}

}  // namespace

TEST(MainViewSettings, TheFirstWorldAndThePacingComeFromTheSettings) {
    TempFolder folder;
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    {
        ViewSettings settings;
        settings.kind = ViewKind::Windowed;
        settings.rulesPath = folder.File("Rules.clp");
        settings.settingsPath = folder.File("Marrowick.ini");
        settings.rate = 80;
        settings.renderMulti = 3;
        Put(settings.start, "initialAnts", 120);
        Put(settings.start, "colonyX", 64);
        Put(settings.start, "dieRatio", 0.002);
        Put(settings.start, "simsPerSecond", 200);
        MainView view(settings);
        const Colony& colony = view.GetSimulation().colony;
        EXPECT_EQ(colony.population, 120);
        EXPECT_EQ(colony.home.x, 64);
        EXPECT_EQ(colony.home.y, Simulation::kFirstColonyY);
        EXPECT_EQ(colony.dieRatio, 0.002f);
        EXPECT_EQ(view.Control().simsPerSecond.load(), 200.0f);
        EXPECT_EQ(view.Cadence().renderingMulti, 3);  // --render-multi, not set otherwise
    }
    SDL_Quit();
}
