// The main view's event handling without a display: SDL's event queue works
// on its own, so commands, worker requests and input events are pushed as the
// window system and the worker would push them, and Run handles them. No
// window is created, so no frame is drawn and no dialog opens.
#include "shell/window/MainView.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "policy/RuleBaseText.h"
#include "presentation/RenderWindow.h"
#include "simulation/Simulation.h"
#include "simulation/StatisticsText.h"

namespace {

// Ends a Run that a test failed to end, so a fault shows as a failure rather
// than a hang.
constexpr Uint32 kSafetyMs = 10000;

Uint32 PushQuit(Uint32, void*) {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    return 0;
}

class MainViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "main_view_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS | SDL_INIT_TIMER), 0) << SDL_GetError();
        safety = SDL_AddTimer(kSafetyMs, PushQuit, nullptr);
    }

    void TearDown() override {
        view.reset();
        SDL_RemoveTimer(safety);
        SDL_Quit();
        for (const char* name : {"/Rules.clp", "/Marrowick.ini"}) {
            std::remove((folder + name).c_str());
        }
        rmdir(folder.c_str());
    }

    void Make(ViewKind kind, const std::string& rulesPath = std::string()) {
        ViewSettings settings;
        settings.kind = kind;
        settings.run.settingsPath = folder + "/Marrowick.ini";
        settings.run.settingsWritable = true;
        settings.run.rulesPath = rulesPath;
        view = std::make_unique<MainView>(settings);
    }

    void WriteRules(const std::string& text) {
        std::FILE* rules = std::fopen((folder + "/Rules.clp").c_str(), "wb");
        ASSERT_NE(rules, nullptr);
        std::fputs(text.c_str(), rules);
        std::fclose(rules);
    }

    static void PushKey(SDL_Keycode key, Uint16 modifiers) {
        SDL_Event event{};
        event.type = SDL_KEYDOWN;
        event.key.state = SDL_PRESSED;
        event.key.keysym.sym = key;
        event.key.keysym.mod = modifiers;
        SDL_PushEvent(&event);
    }

    static void PushMotion(int32_t x, int32_t y) {
        SDL_Event event{};
        event.type = SDL_MOUSEMOTION;
        event.motion.x = x;
        event.motion.y = y;
        SDL_PushEvent(&event);
    }

    // Runs the loop until the view closes; false when only the safety timer
    // ended it.
    bool RunToClose() {
        const Uint32 start = SDL_GetTicks();
        view->Run();
        return SDL_GetTicks() - start < kSafetyMs;
    }

    std::string folder;
    SDL_TimerID safety = 0;
    std::unique_ptr<MainView> view;
};

TEST_F(MainViewTest, CommandsArriveAsMessagesAndExitEndsTheLoop) {
    Make(ViewKind::Windowed);
    Simulation& simulation = view->GetSimulation();
    ASSERT_TRUE(simulation.colony.showTrails);
    ASSERT_EQ(view->Renderer().textureEnabled, 0);

    EXPECT_TRUE(view->PostCommand(ID_TOGGLE_TRAILS));
    EXPECT_TRUE(view->PostCommand(ID_TOGGLE_TEXTURE));
    EXPECT_TRUE(view->PostCommand(ID_EXPERT_OFF));
    EXPECT_TRUE(view->PostCommand(ID_START_STOP));  // the thread was not running: starts it
    EXPECT_TRUE(view->PostCommand(ID_NO_ACTION));
    EXPECT_TRUE(view->PostCommand(ID_SIM_OPTIONS));  // no window: nothing to show it in
    EXPECT_TRUE(view->PostCommand(ID_APP_EXIT));
    ASSERT_TRUE(RunToClose());

    EXPECT_FALSE(simulation.colony.showTrails);
    EXPECT_EQ(view->Renderer().textureEnabled, 1);
    EXPECT_FALSE(simulation.expertSystem.on);
    EXPECT_FALSE(view->Dialog().IsOpen());
    // Closing stopped the thread it had started.
    EXPECT_FALSE(view->Thread().Running());
    EXPECT_EQ(view->Thread().LiveWorkers(), 0);
    EXPECT_EQ(view->Thread().PeakLiveWorkers(), 1);
}

// F5 never holds up the interface thread: the file loads on the reloader's
// thread, so the command returns while a slow load is still running, and
// closing the view cancels that load instead of waiting for its limits.
TEST_F(MainViewTest, ReloadRulesReturnsAtOnceAndClosingCancelsTheLoad) {
    // The view runs the file's rules; F5 reads the file again.
    WriteRules(std::string(kRuleBaseText, kRuleBaseLength));
    Make(ViewKind::Windowed, folder + "/Rules.clp");
    Simulation& simulation = view->GetSimulation();
    WriteRules("(defglobal ?*x* = (loop-for-count (?i 1 1000000000) do (bind ?y ?i)))\n");
    const Uint32 start = SDL_GetTicks();
    view->OnCommand(ID_RELOAD_RULES);
    {
        std::lock_guard<std::mutex> lock(simulation.stateMutex);
        EXPECT_FALSE(simulation.expertSystem.reloadFailed) << "the load ran on the interface thread";
    }
    view->PostCommand(ID_APP_EXIT);
    ASSERT_TRUE(RunToClose());
    view.reset();
    EXPECT_LT(SDL_GetTicks() - start, static_cast<Uint32>(EngineProcess::kLoadWallLimitMs));
}

// The Rules menu's choice: the gallery's rule base takes over through the
// reload, and the overlay's expert line names it.
TEST_F(MainViewTest, SwitchingRulesNamesTheNewRuleBaseInTheExpertLine) {
    Make(ViewKind::Windowed);
    Simulation& simulation = view->GetSimulation();
    StatisticsLines lines;
    {
        std::lock_guard<std::mutex> lock(simulation.stateMutex);
        FormatStatistics(simulation, lines);
    }
    EXPECT_STREQ(lines.line[11], "Expert System Actions is On (default)");
    EXPECT_FALSE(view->SwitchRules("no-such-rule-base"));
    ASSERT_TRUE(view->SwitchRules("forager"));
    const Uint32 start = SDL_GetTicks();
    for (;;) {
        std::lock_guard<std::mutex> lock(simulation.stateMutex);
        if (simulation.expertSystem.reloads > 0 || SDL_GetTicks() - start > kSafetyMs) break;
        SDL_Delay(5);
    }
    std::lock_guard<std::mutex> lock(simulation.stateMutex);
    FormatStatistics(simulation, lines);
    EXPECT_STREQ(lines.line[11], "Expert System Actions is On (forager)");
    simulation.expertSystem.on = false;
    FormatStatistics(simulation, lines);
    EXPECT_STREQ(lines.line[11], "Expert System Actions is Off");
}

TEST_F(MainViewTest, RepaintRequestsThatPileUpMergeIntoOneEvent) {
    Make(ViewKind::Windowed);
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([this] {
            for (int i = 0; i < 100; ++i) view->RequestRepaint();
        });
    }
    for (std::thread& worker : workers) worker.join();
    SDL_PumpEvents();
    SDL_Event events[8];
    const int queued = SDL_PeepEvents(events, 8, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT);
    EXPECT_EQ(queued, 1);

    // Once handled, the next request queues again; each handled request
    // counts one paint (every second one draws with Rendering Multi 1).
    view->PostCommand(ID_APP_EXIT);
    ASSERT_TRUE(RunToClose());
    EXPECT_EQ(view->Cadence().paintCountdown, 0);
    view->RequestRepaint();
    SDL_PumpEvents();
    EXPECT_EQ(SDL_PeepEvents(events, 8, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1);
}

TEST_F(MainViewTest, EveryRestartRequestRebuildsAndRestartsTheThread) {
    Make(ViewKind::Windowed);
    Simulation& simulation = view->GetSimulation();
    view->RequestRestart();
    view->RequestRestart();
    view->PostCommand(ID_APP_EXIT);
    ASSERT_TRUE(RunToClose());
    std::lock_guard<std::mutex> lock(simulation.stateMutex);
    EXPECT_EQ(simulation.colonyDeaths, 2);
    EXPECT_EQ(simulation.colony.home.x, 64);
    EXPECT_EQ(simulation.colony.home.y, 64);
    EXPECT_FALSE(view->Thread().Running());  // closing stopped it again
}

TEST_F(MainViewTest, WindowModeKeyTable) {
    Make(ViewKind::Windowed);
    Simulation& simulation = view->GetSimulation();
    PushKey(SDLK_a, KMOD_NONE);           // not in the table: nothing, no close
    PushKey(SDLK_t, KMOD_LCTRL);          // Ctrl+T: trails
    PushKey(SDLK_p, KMOD_RCTRL);          // Ctrl+P: texture
    PushKey(SDLK_i, KMOD_LCTRL);          // Ctrl+I: expert system off
    PushKey(SDLK_s, KMOD_LALT);           // Alt+S: start (it was stopped)
    PushKey(SDLK_t, KMOD_LCTRL | KMOD_LALT);  // not in the table
    PushMotion(10, 10);
    PushMotion(200, 300);                 // the mouse never closes a window
    PushKey(SDLK_ESCAPE, KMOD_NONE);      // Esc: exit
    ASSERT_TRUE(RunToClose());
    EXPECT_FALSE(simulation.colony.showTrails);
    EXPECT_EQ(view->Renderer().textureEnabled, 1);
    EXPECT_FALSE(simulation.expertSystem.on);
    EXPECT_EQ(view->Thread().PeakLiveWorkers(), 1);
}

TEST_F(MainViewTest, ScreenSaverEndsOnAKeyPress) {
    for (SDL_Keycode key : {SDLK_a, SDLK_LSHIFT, SDLK_LCTRL}) {
        Make(ViewKind::FullScreen);
        PushKey(key, KMOD_NONE);
        EXPECT_TRUE(RunToClose()) << key;
    }
    // Alt and F10 are system keys; they alone do not end it.
    Make(ViewKind::FullScreen);
    PushKey(SDLK_LALT, KMOD_LALT);
    PushKey(SDLK_F10, KMOD_NONE);
    PushKey(SDLK_x, KMOD_NONE);
    ASSERT_TRUE(RunToClose());
}

TEST_F(MainViewTest, ScreenSaverEndsOnASecondMousePosition) {
    Make(ViewKind::FullScreen);
    PushMotion(100, 100);  // recorded
    PushMotion(100, 100);  // the same place: nothing
    // Neither closed: the command ends the loop instead of the input rules.
    view->PostCommand(ID_NO_ACTION);
    SDL_Event event{};
    event.type = SDL_MOUSEBUTTONDOWN;  // clicks never close
    SDL_PushEvent(&event);
    view->PostCommand(ID_APP_EXIT);
    ASSERT_TRUE(RunToClose());
    EXPECT_EQ(view->Cadence().paintCountdown, 1);  // two movements: two paints counted

    Make(ViewKind::FullScreen);
    PushMotion(100, 100);
    PushMotion(101, 100);  // one pixel away
    ASSERT_TRUE(RunToClose());
}

TEST_F(MainViewTest, ForeignWindowIgnoresInput) {
    Make(ViewKind::Foreign);
    Simulation& simulation = view->GetSimulation();
    PushKey(SDLK_a, KMOD_NONE);
    PushKey(SDLK_t, KMOD_LCTRL);
    PushMotion(1, 1);
    PushMotion(500, 500);
    view->PostCommand(ID_APP_EXIT);
    ASSERT_TRUE(RunToClose());
    EXPECT_TRUE(simulation.colony.showTrails);
}

TEST_F(MainViewTest, StartUpSettingsReachTheSimulation) {
    ViewSettings settings;
    settings.kind = ViewKind::Windowed;
    settings.run.settingsPath = folder + "/Marrowick.ini";
    settings.run.settingsWritable = true;
    settings.run.SetNumber(ParameterId::SimsPerSecond, 250);
    settings.run.SetNumber(ParameterId::RenderingMulti, 7);
    settings.run.showTrails = false;
    settings.run.expertSystem = false;
    settings.run.texture = true;
    view = std::make_unique<MainView>(settings);
    EXPECT_EQ(view->Control().simsPerSecond.load(), 250.0f);
    EXPECT_EQ(view->Cadence().renderingMulti, 7);
    EXPECT_EQ(view->Cadence().paintCountdown, 7);
    EXPECT_FALSE(view->GetSimulation().colony.showTrails);
    EXPECT_FALSE(view->GetSimulation().expertSystem.on);
    EXPECT_EQ(view->Renderer().textureEnabled, 1);
    EXPECT_FALSE(view->Thread().Running());  // only Create starts it
}

}  // namespace
