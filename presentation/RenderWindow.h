#pragma once
// RenderWindow: draws complete frames of the live simulation into an SDL
// window through OpenGL 3.3 core: the world scene seen by the orbit camera,
// the red frame-time line, the fifteen statistics lines, the caption and the
// three history graphs, in that order (later drawing covers earlier).
//
// Use (UI thread only):
//   SDL_Init(SDL_INIT_VIDEO);
//   RenderWindow::RequestContextAttributes(error);  // before the window exists
//   window = SDL_CreateWindow(..., SDL_WINDOW_OPENGL | ...);  // or a foreign window
//     (create a full-screen window at the screen's size: with
//     SDL_WINDOW_FULLSCREEN_DESKTOP, X11 reports the screen's size at once but
//     only a window manager resizes the window itself; without one, as under
//     Xvfb, the window keeps its created size and frames are cut off)
//   renderWindow.Create(window, &simulation, error);  // false: show error, exit non-zero
//   on a paint request: if (cadence.OnPaint()) renderWindow.RenderFrame();
//
// Create makes the GL context on the window itself and owns it; it stays
// current on the calling thread. Other users of the context (the dialogs'
// ImGui back end) get it from Context() and must shut down before this
// object is destroyed. To draw on top of a frame, call DrawFrame(), draw,
// then Present() instead of RenderFrame().
//
// The drawable size is read every frame, so resized and foreign windows are
// drawn whole, with the perspective of their real shape.
// The simulation is read (and the expert system's action lines emptied while
// it is off) under Simulation::stateMutex, taken once per frame for the scene
// fill, the statistics and the graph samples.
#include <cstdint>
#include <memory>
#include <string>

#include <SDL.h>
#include <glm/vec3.hpp>

#include "presentation/FrameOverlay.h"
#include "presentation/GlDevice.h"
#include "presentation/OrbitCamera.h"
#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"
#include "presentation/scene/SceneBuilder.h"
#include "presentation/SettingsFile.h"
#include "simulation/StatisticsText.h"

class Simulation;

class RenderWindow {
public:
    static constexpr uint32_t kClearColour = 0xFFFFFFFF;  // opaque white
    static constexpr float kWorldLift = 75.0f;
    static constexpr float kFieldOfView = 3.1415927f / 4.0f;
    static constexpr float kNearPlane = 0.1f;
    static constexpr float kFarPlane = 600.0f;

    // Opens the settings file (settingsPath, normally "Marrowick.ini" in the
    // working directory); its warning goes to warning, by default a message
    // box and standard error.
    explicit RenderWindow(const char* settingsPath = SettingsFile::kDefaultPath,
                          SettingsWarning warning = DefaultSettingsWarning());
    static SettingsWarning DefaultSettingsWarning();
    ~RenderWindow();
    RenderWindow(const RenderWindow&) = delete;
    RenderWindow& operator=(const RenderWindow&) = delete;

    // After SDL_Init and before the window is created: a double-buffered
    // OpenGL 3.3 core context with a depth buffer. False with the failing call.
    static bool RequestContextAttributes(std::string& error);

    // Creates the context, the device objects, the texture (when the setting
    // names a loadable image), the fonts and the graph layout. False with the
    // failing call and its message in error; frames then draw nothing.
    // simulation must outlive this object.
    bool Create(SDL_Window* window, Simulation* simulation, std::string& error);
    bool Ready() const { return ready; }
    SDL_GLContext Context() const { return context.handle; }

    void RenderFrame();
    void DrawFrame();  // everything of a frame but the buffer swap
    void Present();    // saves a requested screenshot, then swaps

    // textureEnabled := 1 - textureEnabled (without a loaded texture the
    // scene simply stays plain).
    void ToggleTexture() { textureEnabled = textureEnabled == 0 ? 1 : 0; }
    // Resets eye, look-at point and up vector; the orbit camera sets them
    // again before the next frame, so nothing changes on screen.
    void ResetCamera();
    // Test hook: the next presented frame's back buffer is written as PNG.
    void SaveNextFrame(const std::string& pngPath) { pendingScreenshot = pngPath; }
    bool LastScreenshotSaved() const { return screenshotSaved; }

    // ---- State ----
    // frameTime: seconds the previous frame spent building and submitting
    // its drawing (scene fill, text and graph vertices, uploads, draw calls);
    // the buffer swap, which waits for the display, is not part of it.
    float frameTime = 0.0f;
    int32_t textureEnabled = 0;
    FrameGraphs graphs;  // population, reserves, supply
    glm::vec3 eye{0.0f, 0.0f, 0.0f};
    glm::vec3 lookAt{0.0f, 0.0f, 1.0f};
    glm::vec3 up{0.0f, 1.0f, 0.0f};

private:
    struct ContextHolder {
        SDL_GLContext handle = nullptr;
        ~ContextHolder();
    };

    void LoadTexture();

    // Destroyed in reverse order: the device objects, the fonts and buffers,
    // the context, the graphs' texts, the settings file.
    SettingsFile settings;
    SteadyTickSource ticks;
    OrbitCamera camera;
    Simulation* simulation = nullptr;
    SDL_Window* window = nullptr;
    ContextHolder context;
    FontAtlas fonts;
    std::unique_ptr<SceneVertex[]> sceneVertices;
    std::unique_ptr<OverlayBatch> overlay;
    StatisticsLines statistics{};
    GlDevice device;
    int32_t graphHeight = -1;  // back-buffer height the graphs are laid out for
    bool ready = false;
    std::string pendingScreenshot;
    bool screenshotSaved = false;
    int32_t drawnWidth = 0;
    int32_t drawnHeight = 0;
};
