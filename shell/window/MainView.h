#pragma once
// MainView: the program's one window and the owner of everything that runs:
// the simulation, the render window and the simulation thread. It turns the
// worker's requests into SDL user events (a repaint, a colony restart), runs
// the event loop on the UI thread, applies the screen-saver input rules in
// run mode and the key table and menu in window mode, and carries out every
// command through OnCommand.
//
// Frames: by default one per refresh of the display (FramePacer), the camera
// moving in each, while the repaints after the steps only mark a new picture
// of the colony as due (every (renderingMulti + 1)-th, PaintCadence): it is
// read at the next frame. With stepFrames a frame is drawn only for a new
// picture, as the classic screen saver did.
//
// Lifetime: construct (builds the simulation and opens the settings file; no
// window yet), Create (window, GL context, dialogs, starts the thread), Run
// (until closed), destroy (the thread is stopped first, then the GL objects
// while the context lives, then the window). SDL must be initialised before
// Create and shut down after destruction.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <SDL.h>

#include "presentation/FrameIntervals.h"
#include "presentation/FramePacer.h"
#include "presentation/PaintCadence.h"
#include "presentation/ScreenSaverInput.h"
#include "shell/Commands.h"
#include "shell/RuleTrace.h"
#include "shell/DialogLayout.h"
#include "settings/RunDescription.h"
#include "policy/RuleGallery.h"
#include "presentation/SettingsFile.h"
#include "simulation/RuleBaseReload.h"
#include "simulation/SimulationThread.h"
#include "shell/window/AboutBox.h"
#include "shell/window/DialogWindow.h"
#include "shell/window/RulesPanel.h"

class RenderWindow;
class Simulation;

enum class ViewKind {
    FullScreen,  // the screen saver: the whole screen, any input ends it
    Windowed,    // --window: resizable, with the menu bar and the key table
    Foreign,     // a window someone else made (xscreensaver); ends on SIGTERM
};

struct ViewSettings {
    ViewKind kind = ViewKind::FullScreen;
    uint64_t foreignWindow = 0;  // X window id for ViewKind::Foreign
    // Frames only after steps, every (renderingMulti + 1)-th: the classic
    // cadence, cheaper but with a camera that moves in steps. Otherwise frames
    // come at the display's refresh rate and the steps only change the scene.
    bool stepFrames = false;
    std::string screenshotPath;  // written on SIGUSR1; empty: no screenshots
    std::string traceRulesPath;  // --trace-rules: a line per pass ("-": stdout); empty: none
    bool root = false;           // --root: xscreensaver's window, whatever it is
    // The colony, its pace and paint cadence, the flags (trails, expert
    // system, texture, rules panel) and the files, prepared by the start-up
    // (shell/StartUp.h). An empty settingsPath: the built-in settings only.
    RunDescription run;
};

class MainView final : public SimulationHost, public CommandView {
public:
    static constexpr int32_t kStopTimeoutMs = 200;     // New Colony, closing
    static constexpr int32_t kRestartPauseMs = 100;    // between rebuild and restart
    static constexpr int32_t kEventWaitMs = 50;        // how often signals are polled
    static constexpr int32_t kWindowWidth = 800;       // window mode's first size
    static constexpr int32_t kWindowHeight = 600;
    static constexpr int32_t kScreenSaverSide = 600;   // before full-screen takes over
    // The dialogs' and the menu's typeface: the overlay's, in its regular cut.
    static constexpr const char* kDialogFontFile =
        "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf";
    static constexpr float kDialogFontPixels = 15.0f;

    explicit MainView(const ViewSettings& settings);
    ~MainView() override;
    MainView(const MainView&) = delete;
    MainView& operator=(const MainView&) = delete;

    // The window, its GL context and renderer, the dialogs' ImGui; then the
    // simulation starts. False with the failing call in error.
    bool Create(std::string& error);
    // The event loop; returns the exit status once the view is closed.
    int Run();

    // Every command of the view (shell/Commands.h); on the UI thread.
    void OnCommand(int32_t id);
    // Queues a command as a message to the view (from the key table, the menu
    // or anyone else on any thread). False when SDL's queue refused it.
    bool PostCommand(int32_t id);

    // SimulationHost: called on the worker thread.
    void RequestRestart() override;
    void RequestRepaint() override;

    // CommandView.
    void OpenDialog(DialogId id) override;
    void ToggleTexture() override;
    void ResetCamera() override;
    void ShowAbout() override;
    void Exit() override;
    void ToggleRulesPanel() override;
    // F5: the load runs on the reloader's thread, so frames keep coming; the
    // gallery the Rules menu lists is read again too.
    void ReloadRules(Simulation& simulation) override;
    // The Rules menu's choice: the rule base of the gallery named name takes
    // the running one's place, through the same reload (false: no such name).
    bool SwitchRules(const std::string& name);

    // Stops the thread: a bounded wait as the commands describe it, then
    // until it is gone, so nothing it does overlaps what follows.
    void StopSimulationThread(int32_t timeoutMs);

    // ---- Observers (tests) ----
    Simulation& GetSimulation() { return *simulation; }
    SimulationThread& Thread() { return *thread; }
    SimThreadControl& Control() { return control; }
    PaintCadence& Cadence() { return cadence; }
    RenderWindow& Renderer() { return *renderWindow; }
    const DialogWindow& Dialog() const { return dialog; }
    const RulesPanel& Panel() const { return rulesPanel; }
    bool CloseRequested() const { return closeRequested; }
    int32_t FramesDrawn() const { return framesDrawn; }
    bool AboutBoxOpen() { return aboutBox.IsOpen(); }

private:
    void HandleEvent(const SDL_Event& event, bool& draw);
    void HandleInput(const SDL_Event& event, bool& draw);
    bool HandleKeyTable(const SDL_KeyboardEvent& key);
    void Paint();
    // Frames at the refresh rate (a window to draw in, not --step-frames, not
    // minimised).
    bool SmoothFrames() const;
    // Waits for the first event until the next smooth frame is due; true with
    // an event.
    bool WaitForFrameOrEvent(SDL_Event& event);
    void DrawMenuBar();
    void DrawRulesMenu();
    void FinishScreenshot(const FrameIntervalSummary& spread);
    bool ImGuiActive() const { return imguiReady; }
    bool UiNeedsFrames() const;
    bool CreateWindow(std::string& error);
    bool StartImGui(std::string& error);
    void ShutDownImGui();

    ViewSettings settings;
    // Declaration order is destruction order reversed: the thread goes first
    // (it steps the simulation), the simulation last.
    std::unique_ptr<Simulation> simulation;
    SimThreadControl control;
    std::unique_ptr<RenderWindow> renderWindow;
    std::unique_ptr<SimulationThread> thread;
    // Before the simulation goes: a load still running is cancelled.
    std::unique_ptr<RuleBaseReloader> reloader;
    // --trace-rules: written by the worker after each step (RequestRepaint),
    // under the state lock; closed once the thread has stopped.
    RuleTraceWriter trace;

    PaintCadence cadence;
    FramePacer pacer;
    FrameIntervals intervals;
    // The next frame reads the simulation first (a step it has not shown, a
    // command that changed what is drawn).
    bool stateDue = true;
    AboutBoxProcess aboutBox;
    ScreenSaverInput input;
    DialogWindow dialog;
    ParameterTarget dialogTarget;
    RulesPanel rulesPanel;
    // The rule bases the Rules menu offers (policy/RuleGallery.h).
    RuleGallery gallery;

    SDL_Window* window = nullptr;
    bool imguiReady = false;
    bool closeRequested = false;
    bool pendingScreenshot = false;
    int32_t settleFrames = 0;  // frames still due after UI input (ImGui lays out in two)
    bool frameDue = false;     // a key or button changed: draw before the next event
    bool closeMenus = false;   // Esc in an open menu: the next frame closes it
    uint32_t lastFrameTicks = 0;
    int32_t framesDrawn = 0;

    // User events: SDL numbers them at run time.
    static constexpr uint32_t kNoEvents = 0xFFFFFFFFu;
    uint32_t repaintEvent = kNoEvents;
    uint32_t restartEvent = kNoEvents;
    uint32_t commandEvent = kNoEvents;
    // Repaint requests that pile up merge into one queued event.
    std::atomic<bool> repaintQueued{false};
    // Raised by a full slot list on the simulation thread; the box is shown
    // by the interface thread, never from inside a step.
    std::atomic<bool> listFull{false};
};
