#include "shell/window/Application.h"

#include <SDL.h>

#include <cstdio>
#include <memory>
#include <string>

#include "shell/UserFiles.h"
#include "shell/window/MainView.h"
#include "shell/window/MessageBox.h"
#include "shell/window/Signals.h"
#include "shell/window/X11Window.h"

namespace {

// Owns SDL's video subsystem for the view's lifetime.
class SdlVideo {
public:
    SdlVideo() { ok = SDL_Init(SDL_INIT_VIDEO) == 0; }
    ~SdlVideo() {
        if (ok) SDL_Quit();
    }
    SdlVideo(const SdlVideo&) = delete;
    SdlVideo& operator=(const SdlVideo&) = delete;
    bool ok = false;
};

ViewSettings SettingsFrom(const CommandLine& line) {
    ViewSettings settings;
    if (line.launch == Launch::Window) {
        settings.kind = ViewKind::Windowed;
    } else if (line.hasForeignWindow) {
        settings.kind = ViewKind::Foreign;
        settings.foreignWindow = line.foreignWindow;
    } else {
        settings.kind = ViewKind::FullScreen;
    }
    settings.rate = line.rate;
    settings.renderMulti = line.renderMulti;
    settings.noTrails = line.noTrails;
    settings.noExpert = line.noExpert;
    settings.textureOn = line.textureOn;
    settings.rulesPanel = line.rulesPanel;
    settings.screenshotPath = line.screenshotPath;
    settings.root = line.root;
    settings.start = line.settings;
    return settings;
}

// The rule base and the settings file of this user (shell/UserFiles.h).
void ChooseFiles(ViewSettings& settings) {
    const UserFiles files = PlanUserFiles(UserFileInputsFromEnvironment());
    const std::string fallback = DescribeFallback(files);
    if (!fallback.empty()) std::fprintf(stderr, "marrowick: %s\n", fallback.c_str());
    settings.rulesPath = files.rules.path;
    settings.dataFolder = files.dataFolder;
    if (files.settings.origin == FileOrigin::BuiltIn) {
        settings.settingsAccess = SettingsAccess::DefaultsOnly;
    } else {
        settings.settingsPath = files.settings.path;
        settings.settingsAccess =
            files.settings.writable ? SettingsAccess::ReadWrite : SettingsAccess::ReadOnly;
    }
}

int RunView(ViewSettings settings) {
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
    SdlVideo video;
    if (!video.ok) {
        std::string text = std::string("SDL_Init(SDL_INIT_VIDEO) failed: ") + SDL_GetError();
        ShowMessage(text.c_str(), MessageKind::Error);
        return 1;
    }
    // Without a display SDL falls back to its invisible drivers, and the
    // screen saver would run for ever with nobody to see or end it. A user
    // who asks for such a driver by name (SDL_VIDEODRIVER) gets it.
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && SDL_getenv("SDL_VIDEODRIVER") == nullptr &&
        (SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0)) {
        std::fprintf(stderr,
                     "%s: no display found (set DISPLAY, or run the simulation without a window: "
                     "marrowick --headless)\n",
                     kApplicationTitle);
        return 1;
    }
    // Only now, with a display to draw on, is the user's folder made (the view
    // then makes the files in it); a run that ends earlier writes nothing.
    ChooseFiles(settings);
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
            std::fprintf(stderr, "%s: %s\n", kApplicationTitle, error.c_str());
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
    InstallSignalHandlers();
    switch (line.launch) {
        case Launch::Help:
        case Launch::Version:
        case Launch::Error:
        case Launch::Headless:
        case Launch::Terminal:
            return 2;  // answered by main before any window exists
        case Launch::Window:
            return RunView(SettingsFrom(line));
        case Launch::ScreenSaver:
            break;
    }

    if (line.mode == ModeConfigure) {
        ShowAboutBox();
        return 0;
    }
    CommandLine resolved = line;
    if (line.root && !line.hasForeignWindow) {
        // xscreensaver's --root without its window in the environment: the
        // root window itself, as the classic hacks do.
        uint64_t root = 0;
        if (FindRootWindow(root)) {
            resolved.hasForeignWindow = true;
            resolved.foreignWindow = root;
        }
    }
    if (line.mode == ModePreview && !resolved.hasForeignWindow) {
        return 0;  // nothing to draw into
    }
    return RunView(SettingsFrom(resolved));
}
