#include "shell/window/Application.h"

#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>

#include "shell/StartUp.h"
#include "shell/window/MainView.h"
#include "shell/window/MessageBox.h"
#include "shell/window/Signals.h"
#include "shell/window/X11Window.h"

namespace {

constexpr const char* kNoDisplay =
    "no display found (set DISPLAY, or run the simulation without a window: marrowick --headless)";

// The video driver SDL is to start, or null where there is no display at all.
// Left to itself SDL tries every driver it knows until one starts, and some
// print their failure on the way (Wayland's client library writes
// "error: XDG_RUNTIME_DIR is invalid or not set" where there is no session)
// before it settles for an invisible one, where the screen saver would run for
// ever with nobody to see or end it. So the program names the driver: X11
// where DISPLAY is set, Wayland where only WAYLAND_DISPLAY is. A user who
// names one in SDL_VIDEODRIVER (an invisible one too) gets that one ("").
const char* DisplayDriver() {
    const char* chosen = SDL_getenv("SDL_VIDEODRIVER");
    if (chosen != nullptr && *chosen != '\0') return "";
    const char* x11 = SDL_getenv("DISPLAY");
    if (x11 != nullptr && *x11 != '\0') return "x11";
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    if (wayland != nullptr && *wayland != '\0') return "wayland";
    return nullptr;
}

// Owns SDL's video subsystem for the view's lifetime; driver as DisplayDriver
// chose it.
class SdlVideo {
public:
    explicit SdlVideo(const char* driver) {
        if (*driver != '\0') SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        ok = SDL_Init(SDL_INIT_VIDEO) == 0;
    }
    ~SdlVideo() {
        if (ok) SDL_Quit();
    }
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;
    bool ok = false;
};

// The view's settings: the kind of window, and the run prepared by the
// start-up (nothing is written yet). kExitOk, or the exit status with a
// message.
int SettingsFrom(const CommandLine& line, ViewSettings& settings, std::string& error) {
    if (line.mode == Mode::Window) {
        settings.kind = ViewKind::Windowed;
    } else if (line.hasForeignWindow) {
        settings.kind = ViewKind::Foreign;
        settings.foreignWindow = line.foreignWindow;
    } else {
        settings.kind = ViewKind::FullScreen;
    }
    settings.screenshotPath = line.Text(OptionId::Screenshot, "");
    settings.traceRulesPath = line.Text(OptionId::TraceRules, "");
    settings.stepFrames = line.Has(OptionId::StepFrames);
    settings.root = line.root;
    StartRequest request;
    request.readsSettingsFile = true;
    if (!settings.screenshotPath.empty()) {
        request.outputs.push_back({settings.screenshotPath, "--screenshot"});
    }
    if (!settings.traceRulesPath.empty()) {
        request.outputs.push_back({settings.traceRulesPath, "--trace-rules"});
    }
    return PrepareRun(line, request, settings.run, error);
}

int RunView(ViewSettings& settings) {
    // A window named on the command line is checked before anything else:
    // a preview for a window that is not there must not leave a rule base
    // and a settings file behind.
    if (settings.kind == ViewKind::Foreign) {
        std::string problem;
        if (!CheckX11Window(settings.foreignWindow, problem)) {
            std::fprintf(stderr, "marrowick: %s\n", problem.c_str());
            return 1;
        }
    }
    // We are the screen saver: the desktop's own blanking may go on.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    // SDL's handlers would turn SIGINT/SIGTERM into SDL_QUIT from inside the
    // handler; ours only set a flag that the event loop polls.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (settings.kind == ViewKind::Foreign) {
        SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    }
    // Before SDL_Init: see ForeignWindowGuard. It outlives SDL.
    std::unique_ptr<ForeignWindowGuard> foreignGuard;
    if (settings.kind == ViewKind::Foreign) {
        foreignGuard = std::make_unique<ForeignWindowGuard>(settings.foreignWindow);
    }
    const char* driver = DisplayDriver();
    if (driver == nullptr) {
        std::fprintf(stderr, "marrowick: %s\n", kNoDisplay);
        return 1;
    }
    SdlVideo video(driver);
    if (!video.ok) {
        // No box: it would need the display that just failed.
        std::fprintf(stderr, "marrowick: cannot open the display (%s): %s\n",
                     *driver != '\0' ? driver : SDL_getenv("SDL_VIDEODRIVER"), SDL_GetError());
        return 1;
    }
    // Only now, with a display to draw on, is the user's folder made (the view
    // then makes the files in it); a run that ends earlier writes nothing.
    ProvideRunFiles(settings.run, true);
    auto view = std::make_unique<MainView>(settings);
    std::string error;
    if (!view->Create(error)) {
        if (foreignGuard && !X11WindowExists(settings.foreignWindow)) {
            // It went while we were starting (SDL noticed, not Xlib).
            std::fprintf(stderr, "marrowick: X window 0x%llx was destroyed; stopping\n",
                         static_cast<unsigned long long>(settings.foreignWindow));
            return 0;
        }
        if (settings.kind == ViewKind::Foreign) {
            // Nobody would see a box there, and it would keep the process
            // alive: xscreensaver keeps standard error.
            std::fprintf(stderr, "marrowick: %s\n", error.c_str());
        } else {
            ShowMessage(error.c_str(), MessageKind::Error);
        }
        return 1;
    }
    if (foreignGuard) foreignGuard->Started();
    const int status = view->Run();
    if (foreignGuard && foreignGuard->Lost()) {
        std::fprintf(stderr, "marrowick: X window 0x%llx was destroyed; stopping\n",
                     static_cast<unsigned long long>(settings.foreignWindow));
    }
    return status;
}

}  // namespace

void ShowAboutBox() {
    ShowMessageCaptioned("About Box", "Marrowick Version 0.99", MessageKind::Information, nullptr);
}

int RunApplication(const CommandLine& line) {
    // From the start: a SIGTERM during start-up is seen by the view's first
    // loop, and one that arrives while a box is open (the About box, a
    // warning during start-up) ends the program and the box at once.
    WindowSignals signals;
    if (line.mode == Mode::ScreenSaver && line.saverMode == ModeConfigure) {
        // The box needs a display as much as the view does.
        if (DisplayDriver() == nullptr) {
            std::fprintf(stderr, "marrowick: %s\n", kNoDisplay);
            return 1;
        }
        ShowAboutBox();
        return 0;
    }
    CommandLine resolved = line;
    if (line.mode == Mode::ScreenSaver && line.root && !line.hasForeignWindow) {
        // xscreensaver's --root without its window in the environment: the
        // root window itself, as the classic hacks do.
        uint64_t root = 0;
        if (FindRootWindow(root)) {
            resolved.hasForeignWindow = true;
            resolved.foreignWindow = root;
        }
    }
    if (line.mode == Mode::ScreenSaver && line.saverMode == ModePreview &&
        !resolved.hasForeignWindow) {
        return 0;  // nothing to draw into
    }
    ViewSettings settings;
    std::string error;
    if (const int refused = SettingsFrom(resolved, settings, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgramName, error.c_str());
        return refused;
    }
    const int status = RunView(settings);
    // A hack ended by xscreensaver (or by its settings' preview) goes the way
    // the daemon expects of it: stopped cleanly above, then by the signal.
    if (resolved.hasForeignWindow && TerminationSignal() != 0) {
        EndBySignal(TerminationSignal());
    }
    return status;
}
