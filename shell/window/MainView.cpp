#include "shell/window/MainView.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>

#include "presentation/RenderWindow.h"
#include "settings/SimulationBuild.h"
#include "settings/UserGallery.h"
#include "simulation/Simulation.h"
#include "shell/window/MessageBox.h"
#include "shell/window/Signals.h"
#include "shell/window/X11Window.h"

namespace {

constexpr const char* kScreenSaverTitle = "Screen Saver";
constexpr const char* kAboutCaption = "About Box";
constexpr const char* kAboutText = "Marrowick Version 0.99";
constexpr const char* kGlslVersion = "#version 330";
// While a menu or dialog is open, frames keep coming at this pace even when
// the simulation (which drives the paints) is paused.
constexpr uint32_t kUiFrameMs = 50;
constexpr int32_t kSettleFrames = 2;

// The window mode's key table.
struct KeyBinding {
    SDL_Keycode key;
    bool ctrl;
    bool alt;
    int32_t command;
};
constexpr KeyBinding kKeyTable[] = {
    {SDLK_s, true, false, ID_SIM_OPTIONS},    {SDLK_n, true, false, ID_NEW_SIM},
    {SDLK_s, false, true, ID_START_STOP},     {SDLK_t, true, false, ID_TOGGLE_TRAILS},
    {SDLK_p, true, false, ID_TOGGLE_TEXTURE}, {SDLK_f, true, false, ID_NO_ACTION},
    {SDLK_r, true, false, ID_RESET_CAMERA},   {SDLK_o, true, false, ID_EXPERT_ON},
    {SDLK_i, true, false, ID_EXPERT_OFF},     {SDLK_ESCAPE, false, false, ID_APP_EXIT},
    {SDLK_e, true, false, ID_RULES_PANEL},    {SDLK_F5, false, false, ID_RELOAD_RULES},
};

int64_t SteadyMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

RenderFiles FilesFor(const ViewSettings& settings) {
    RenderFiles files;
    const RunDescription& run = settings.run;
    files.settingsPath = run.settingsPath;
    files.settingsAccess = run.settingsPath.empty() ? SettingsAccess::DefaultsOnly
                           : run.settingsWritable   ? SettingsAccess::ReadWrite
                                                    : SettingsAccess::ReadOnly;
    // In a window someone else owns, a box would stand in front of that
    // window or keep us alive when we are told to end: standard error only.
    files.warnInBox = settings.kind != ViewKind::Foreign && !settings.root;
    // Our own boxes go when the program goes (shell/window/MessageBox.h).
    files.boxWarning = SettingsWarningBox();
    if (!run.dataFolder.empty()) files.mediaFolders.push_back(run.dataFolder);
    return files;
}

}  // namespace

MainView::MainView(const ViewSettings& viewSettings) : settings(viewSettings) {
    // The run's values are in place before the first world is built.
    const RunDescription& run = settings.run;
    simulation = BuildSimulation(run);
    renderWindow = std::make_unique<RenderWindow>(FilesFor(settings));
    thread = std::make_unique<SimulationThread>(*simulation, *this, control);
    reloader = std::make_unique<RuleBaseReloader>(*simulation);
    gallery = UserRuleGallery();
    ApplyPace(run, control);
    cadence.renderingMulti = static_cast<int32_t>(run.Number(ParameterId::RenderingMulti));
    cadence.paintCountdown = cadence.renderingMulti;
    {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        const ListWarning listWarning{
            [](void* context, const char*) { static_cast<MainView*>(context)->listFull.store(true); }, this};
        simulation->colony.ants.warning = listWarning;
        simulation->colony.trails.trailCells.warning = listWarning;
        simulation->foodField.foodCells.warning = listWarning;
        // The panel names the rules each pass fires; where it can be shown,
        // the engine names them from the start, so the strip is full at once.
        if (settings.kind == ViewKind::Windowed || run.rulesPanel) {
            simulation->expertSystem.engine.SetTraceRules(true);
        }
    }
    rulesPanel.visible = run.rulesPanel;
    if (run.texture) renderWindow->ToggleTexture();

    dialogTarget.simulation = simulation.get();
    dialogTarget.control = &control;
    dialogTarget.renderingMulti = &cadence.renderingMulti;
    dialogTarget.thread = thread.get();

    // SDL hands out user event numbers without being initialised.
    const uint32_t base = SDL_RegisterEvents(3);
    if (base != kNoEvents) {
        repaintEvent = base;
        restartEvent = base + 1;
        commandEvent = base + 2;
    }
}

MainView::~MainView() {
    // The worker first: it pushes events and steps the simulation.
    StopSimulationThread(kStopTimeoutMs);
    thread.reset();
    std::string traceError;
    if (trace.IsOpen() && !trace.Close(traceError)) {
        std::fprintf(stderr, "marrowick: %s\n", traceError.c_str());
    }
    reloader.reset();
    ShutDownImGui();
    renderWindow.reset();  // GL objects and the context, while the window exists
    if (window != nullptr) SDL_DestroyWindow(window);
}

void MainView::ShutDownImGui() {
    if (!imguiReady) return;
    ImGui_ImplOpenGL3_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext();
    imguiReady = false;
}

bool MainView::CreateWindow(std::string& error) {
    switch (settings.kind) {
        case ViewKind::FullScreen: {
            // Made at the screen's size from the start: without a window
            // manager nobody would enlarge it to full screen later.
            SDL_DisplayMode mode;
            int width = kScreenSaverSide;
            int height = kScreenSaverSide;
            if (SDL_GetDesktopDisplayMode(0, &mode) == 0) {
                width = mode.w;
                height = mode.h;
            }
            window = SDL_CreateWindow(kScreenSaverTitle, 0, 0, width, height,
                                      SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP |
                                          SDL_WINDOW_ALWAYS_ON_TOP);
            break;
        }
        case ViewKind::Windowed:
            window = SDL_CreateWindow(kApplicationTitle, SDL_WINDOWPOS_CENTERED,
                                      SDL_WINDOWPOS_CENTERED, kWindowWidth, kWindowHeight,
                                      SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
            break;
        case ViewKind::Foreign:
            if (!X11WindowExists(settings.foreignWindow)) {
                char text[128];
                std::snprintf(text, sizeof text, "X window 0x%llx does not exist",
                              static_cast<unsigned long long>(settings.foreignWindow));
                error = text;
                return false;
            }
            window = SDL_CreateWindowFrom(
                reinterpret_cast<const void*>(static_cast<uintptr_t>(settings.foreignWindow)));
            break;
    }
    if (window == nullptr) {
        error = std::string(settings.kind == ViewKind::Foreign ? "SDL_CreateWindowFrom"
                                                               : "SDL_CreateWindow") +
                " failed: " + SDL_GetError();
        return false;
    }
    if (settings.kind == ViewKind::Foreign) WatchForeignWindow(window);
    // A screen saver shows no pointer.
    if (settings.kind == ViewKind::FullScreen) SDL_ShowCursor(SDL_DISABLE);
    return true;
}

bool MainView::Create(std::string& error) {
    if (!RenderWindow::RequestContextAttributes(error)) return false;
    if (!CreateWindow(error)) return false;
    if (!renderWindow->Create(window, simulation.get(), error)) return false;

    // The dialogs and the menu; a window someone else owns gets no input,
    // but may show the rules panel.
    if ((settings.kind != ViewKind::Foreign || settings.run.rulesPanel) && !StartImGui(error)) {
        return false;
    }
    if (!settings.traceRulesPath.empty()) {
        if (!trace.Open(settings.traceRulesPath.c_str(), nullptr, error)) return false;
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        simulation->expertSystem.engine.SetTraceRules(true);  // the lines name the rules fired
    }

    if (!thread->Start()) {
        error = "the simulation thread could not be started";
        return false;
    }
    return true;
}

bool MainView::StartImGui(std::string& error) {
    IMGUI_CHECKVERSION();
    ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;  // no imgui.ini in the working directory
    // ImGui stops the program on a font file it cannot read: look first, and
    // keep its built-in face when the file is missing.
    if (std::FILE* font = std::fopen(kDialogFontFile, "rb")) {
        std::fclose(font);
        io.Fonts->AddFontFromFileTTF(kDialogFontFile, kDialogFontPixels);
    }
    ImGui::StyleColorsLight();
    ImGuiStyle& style = ImGui::GetStyle();
    style.FrameBorderSize = 1.0f;  // edit fields and boxes stand out on the light panel
    if (!ImGui_ImplSDL2_InitForOpenGL(window, renderWindow->Context()) ||
        !ImGui_ImplOpenGL3_Init(kGlslVersion)) {
        ImGui::DestroyContext();
        error = "Dear ImGui could not start on the OpenGL context";
        return false;
    }
    imguiReady = true;
    if (settings.kind == ViewKind::Windowed) {
        // The scene, the statistics and the caption go below the menu bar,
        // which is one frame high: the font and its padding above and below.
        const float bar = kDialogFontPixels + 2.0f * style.FramePadding.y;
        renderWindow->SetTopInset(static_cast<int32_t>(std::ceil(bar)));
    }
    return true;
}

void MainView::StopSimulationThread(int32_t timeoutMs) {
    if (!thread) return;
    thread->Stop(timeoutMs);
    thread->Join();
}

// ---- Worker requests ----

void MainView::RequestRepaint() {
    // Every step is seen here, so the trace misses no pass however seldom
    // frames are drawn.
    if (trace.IsOpen()) {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        trace.AfterStep(*simulation);
    }
    if (repaintEvent == kNoEvents || repaintQueued.exchange(true)) return;
    SDL_Event event{};
    event.type = repaintEvent;
    if (SDL_PushEvent(&event) <= 0) repaintQueued.store(false);
}

void MainView::RequestRestart() {
    if (restartEvent == kNoEvents) return;
    SDL_Event event{};
    event.type = restartEvent;
    SDL_PushEvent(&event);
}

bool MainView::PostCommand(int32_t id) {
    if (commandEvent == kNoEvents) return false;
    SDL_Event event{};
    event.type = commandEvent;
    event.user.code = id;
    return SDL_PushEvent(&event) > 0;
}

// ---- Commands ----

void MainView::OnCommand(int32_t id) { DispatchCommand(id, *simulation, *thread, *this); }

void MainView::OpenDialog(DialogId id) {
    // Without a window there is nobody to show it to; one dialog at a time
    // (a command arriving meanwhile must not throw away what is typed).
    if (!imguiReady || dialog.IsOpen()) return;
    dialog.Open(id, dialogTarget);
    settleFrames = kSettleFrames;
}

void MainView::ToggleTexture() { renderWindow->ToggleTexture(); }

void MainView::ResetCamera() { renderWindow->ResetCamera(); }

void MainView::ShowAbout() {
    // In a process of its own, so the view goes on drawing; one at a time.
    if (aboutBox.Open()) return;
    ShowMessageCaptioned(kAboutCaption, kAboutText, MessageKind::Information, window);
}

void MainView::Exit() { closeRequested = true; }

void MainView::ToggleRulesPanel() { rulesPanel.visible = !rulesPanel.visible; }

void MainView::ReloadRules(Simulation&) {
    reloader->Start();
    gallery = UserRuleGallery();
}

bool MainView::SwitchRules(const std::string& name) {
    const RuleBaseEntry* entry = gallery.Find(name);
    if (entry == nullptr) return false;
    reloader->Switch(*entry);
    return true;
}

// ---- Events ----

bool MainView::HandleKeyTable(const SDL_KeyboardEvent& key) {
    const bool ctrl = (key.keysym.mod & KMOD_CTRL) != 0;
    const bool alt = (key.keysym.mod & KMOD_ALT) != 0;
    for (const KeyBinding& binding : kKeyTable) {
        if (binding.key == key.keysym.sym && binding.ctrl == ctrl && binding.alt == alt) {
            PostCommand(binding.command);
            return true;
        }
    }
    return false;
}

void MainView::HandleInput(const SDL_Event& event, bool& draw) {
    switch (settings.kind) {
        case ViewKind::Foreign:
            return;  // xscreensaver watches the input and ends us with SIGTERM
        case ViewKind::FullScreen: {
            InputResult result;
            if (event.type == SDL_KEYDOWN) {
                result = input.OnKeyDown(event.key.keysym.sym, event.key.keysym.mod);
            } else if (event.type == SDL_MOUSEMOTION) {
                result = input.OnMouseMove(event.motion.x, event.motion.y);
            }
            if (result.repaint && cadence.OnPaint()) {
                stateDue = true;
                if (!SmoothFrames()) draw = true;
            }
            if (result.close) closeRequested = true;
            return;
        }
        case ViewKind::Windowed:
            break;
    }
    if (imguiReady) ImGui_ImplSDL2_ProcessEvent(&event);
    // The key table is for the view; a dialog or a menu keeps its keys.
    // (An open menu is a popup: Esc closes it, and must not end the program.)
    const bool uiHasKeys =
        dialog.IsOpen() ||
        (imguiReady && (ImGui::GetIO().WantCaptureKeyboard ||
                        ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)));
    if (event.type == SDL_KEYDOWN && event.key.repeat == 0 && !uiHasKeys) {
        HandleKeyTable(event.key);
    }
    // This ImGui closes menus on Esc only with keyboard navigation, which
    // would change the dialogs' keys: the menu bar closes them itself.
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE && !dialog.IsOpen() &&
        imguiReady && ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId)) {
        closeMenus = true;
    }
    // Input is drawn at once, so the menu and dialogs answer while paused.
    draw = true;
    settleFrames = kSettleFrames;
    // This ImGui sees a key or button only as its state at a frame: a press
    // and its release handled before the same frame would be lost. A frame
    // follows every press and release.
    switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            frameDue = true;
            break;
        default:
            break;
    }
}

void MainView::HandleEvent(const SDL_Event& event, bool& draw) {
    const uint32_t type = event.type;
    if (type == repaintEvent) {
        repaintQueued.store(false);
        // A step has happened: the picture follows on every
        // (renderingMulti + 1)-th, in a frame of its own in the step cadence
        // and in the next frame of the smooth one.
        if (cadence.OnPaint()) {
            stateDue = true;
            if (!SmoothFrames()) draw = true;
        }
        return;
    }
    if (type == restartEvent) {
        OnColonyRestart(*thread, *simulation, kRestartPauseMs);
        stateDue = true;
        return;
    }
    if (type == commandEvent) {
        OnCommand(event.user.code);
        stateDue = true;  // trails, texture, a new colony: seen at once
        if (settings.kind == ViewKind::Windowed) draw = true;
        return;
    }
    switch (type) {
        case SDL_QUIT:
            closeRequested = true;
            return;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) closeRequested = true;
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                draw = true;
            }
            if (settings.kind == ViewKind::Windowed && imguiReady) {
                ImGui_ImplSDL2_ProcessEvent(&event);
            }
            return;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
        case SDL_TEXTINPUT:
        case SDL_MOUSEMOTION:
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
        case SDL_MOUSEWHEEL:
            HandleInput(event, draw);
            return;
        default:
            return;
    }
}

bool MainView::UiNeedsFrames() const {
    if (settleFrames > 0 || dialog.IsOpen()) return true;
    return imguiReady && ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
}

bool MainView::SmoothFrames() const {
    if (settings.stepFrames || window == nullptr || !renderWindow->Ready()) return false;
    return (SDL_GetWindowFlags(window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

bool MainView::WaitForFrameOrEvent(SDL_Event& event) {
    if (!SmoothFrames()) return SDL_WaitEventTimeout(&event, kEventWaitMs) != 0;
    const int64_t wait = pacer.WaitMicros(SteadyMicros());
    // SDL waits in whole milliseconds: the rest of a frame's wait is slept
    // exactly, so frames keep an even pace.
    if (wait >= 1000) return SDL_WaitEventTimeout(&event, static_cast<int>(wait / 1000)) != 0;
    if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
    return SDL_PollEvent(&event) != 0;
}

int MainView::Run() {
    if (window != nullptr) {
        SDL_DisplayMode mode;
        const int display = SDL_GetWindowDisplayIndex(window);
        pacer.SetRefreshRate(display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0
                                 ? static_cast<double>(mode.refresh_rate)
                                 : 0.0);
    }
    while (!closeRequested) {
        bool draw = false;
        SDL_Event event;
        frameDue = false;
        if (WaitForFrameOrEvent(event)) {
            HandleEvent(event, draw);
            // Take what is queued, then draw at most one frame for it all.
            while (!closeRequested && !frameDue && SDL_PollEvent(&event) != 0) {
                HandleEvent(event, draw);
            }
        }
        if (TerminationRequested() || ForeignWindowLost()) closeRequested = true;
        if (closeRequested) break;
        if (listFull.exchange(false)) {
            ShowMessage(ListTemplate<Ant>::kFullWarning, MessageKind::Warning, window);
        }
        if (TakeScreenshotRequest() && !settings.screenshotPath.empty()) {
            pendingScreenshot = true;
            draw = true;
        }
        if (!draw && settings.kind == ViewKind::Windowed && UiNeedsFrames() &&
            SDL_GetTicks() - lastFrameTicks >= kUiFrameMs) {
            draw = true;
        }
        if (SmoothFrames() && pacer.WaitMicros(SteadyMicros()) == 0) draw = true;
        if (draw) Paint();
    }
    StopSimulationThread(kStopTimeoutMs);
    return 0;
}

// ---- Frames ----

void MainView::DrawMenuBar() {
    if (!ImGui::BeginMainMenuBar()) return;
    if (ImGui::BeginMenu("File")) {
        if (closeMenus) ImGui::CloseCurrentPopup();
        if (ImGui::MenuItem("New Colony")) PostCommand(ID_NEW_COLONY);
        if (ImGui::MenuItem("Exit", "Esc")) PostCommand(ID_APP_EXIT);
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Options")) {
        if (closeMenus) ImGui::CloseCurrentPopup();
        if (ImGui::MenuItem("Food Options")) PostCommand(ID_FOOD_OPTIONS);
        if (ImGui::MenuItem("Ant Options")) PostCommand(ID_ANT_OPTIONS);
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Rules")) {
        if (closeMenus) ImGui::CloseCurrentPopup();
        if (ImGui::MenuItem("Rules Panel", "Ctrl+E", rulesPanel.visible)) PostCommand(ID_RULES_PANEL);
        if (ImGui::MenuItem("Reload Rules", "F5")) PostCommand(ID_RELOAD_RULES);
        DrawRulesMenu();
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Help")) {
        if (closeMenus) ImGui::CloseCurrentPopup();
        if (ImGui::MenuItem("About Marrowick...")) PostCommand(ID_APP_ABOUT);
        ImGui::EndMenu();
    }
    ImGui::EndMainMenuBar();
    closeMenus = false;
}

// The gallery below the commands, the running rule base checked; choosing
// one switches to it at once (the load runs beside the colony, as F5's does).
void MainView::DrawRulesMenu() {
    char running[ExpertSystem::kNameCapacity];
    {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        std::snprintf(running, sizeof running, "%s", simulation->expertSystem.ruleBaseName);
    }
    ImGui::Separator();
    for (const RuleBaseEntry* entry : gallery.Selectable()) {
        if (ImGui::MenuItem(entry->name.c_str(), nullptr, entry->name == running)) {
            reloader->Switch(*entry);
        }
        if (!entry->about.empty() && ImGui::IsItemHovered()) {
            ImGui::SetTooltip("%s", entry->about.c_str());
        }
    }
}

void MainView::Paint() {
    if (SmoothFrames()) pacer.FrameStarted(SteadyMicros());
    if (pendingScreenshot) {
        renderWindow->SaveNextFrame(settings.screenshotPath + ".tmp");
    }
    // A dialog may write its values back in any frame while it is open.
    if (settings.stepFrames || dialog.IsOpen() || settleFrames > 0) stateDue = true;
    if (stateDue) {
        renderWindow->ReadSimulation();
        stateDue = false;
    }
    renderWindow->DrawFrame();
    // An ImGui frame asks the display for the pointer and draws nothing
    // unless there is a menu, a dialog or the panel to draw: a screen saver
    // without them skips it.
    if (imguiReady &&
        (settings.kind == ViewKind::Windowed || dialog.IsOpen() || rulesPanel.visible)) {
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        if (settings.kind == ViewKind::Windowed) DrawMenuBar();
        dialog.Draw(dialogTarget, window);
        rulesPanel.Draw(*simulation,
                        settings.kind == ViewKind::Windowed ? ImGui::GetFrameHeight() : 0.0f);
        ImGui::Render();
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
    }
    // The spread of the frame intervals up to this one: a screenshot's frame
    // is slow on purpose (the read back), so it closes one stretch and the
    // next starts after it.
    FrameIntervalSummary spread;
    if (pendingScreenshot) spread = intervals.Summary();
    renderWindow->Present();
    if (pendingScreenshot) {
        intervals.Restart();
        FinishScreenshot(spread);
    }
    intervals.Presented(SteadyMicros());
    lastFrameTicks = SDL_GetTicks();
    if (settleFrames > 0) --settleFrames;
    ++framesDrawn;
}

void MainView::FinishScreenshot(const FrameIntervalSummary& spread) {
    pendingScreenshot = false;
    const std::string temporary = settings.screenshotPath + ".tmp";
    // Renamed into place, so whoever waits for the file never reads half of it.
    if (!renderWindow->LastScreenshotSaved() ||
        std::rename(temporary.c_str(), settings.screenshotPath.c_str()) != 0) {
        std::fprintf(stderr, "marrowick: screenshot %s not written\n",
                     settings.screenshotPath.c_str());
        return;
    }
    int32_t steps = 0;
    {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        steps = simulation->totalSteps;
    }
    std::fprintf(stderr,
                 "marrowick: screenshot %s: total steps %d, sims per second %g, %s, frames %d, "
                 "%d since the last screenshot, interval p50 %.1f ms p95 %.1f ms max %.1f ms\n",
                 settings.screenshotPath.c_str(), steps,
                 static_cast<double>(control.simsPerSecond.load()),
                 thread->Running() ? "running" : "stopped", framesDrawn + 1, spread.frames,
                 spread.p50Ms, spread.p95Ms, spread.maxMs);
    std::fflush(stderr);
}
