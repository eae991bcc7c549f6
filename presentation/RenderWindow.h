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
//   once a step has happened (as the cadence wants): renderWindow.ReadSimulation();
//   once per frame: renderWindow.DrawFrame(); renderWindow.Present();
//
// Create makes the GL context on the window itself and owns it; it stays
// current on the calling thread. Other users of the context (the dialogs'
// ImGui back end) get it from Context() and must shut down before this
// object is destroyed. To draw on top of a frame, call DrawFrame(), draw,
// then Present() instead of RenderFrame().
//
// The drawable size is read every frame, so resized and foreign windows are
// drawn whole, with the perspective of their real shape; the field of view
// widens on narrow views (VerticalFieldOfView), so a portrait screen shows the
// whole world as a landscape one does. A band at the top
// can be kept free for a menu bar (SetTopInset): the scene, the text and the
// graphs are then laid out in the rest as if it were the whole window.
// The simulation is read (and the expert system's action lines emptied while
// it is off) under Simulation::stateMutex, taken once per frame for the scene
// fill, the statistics and the graph samples.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// The vertical field of view (radians) for a view of this width / height:
// kFieldOfView on a view at least as wide as kFrameAspect, which then shows
// more at the sides; a narrower view (a portrait screen, a 4:3 one, a square
// window) keeps the width of that frame and shows more above and below
// instead, so the world fits the narrower side as it fits the height of a
// landscape screen.
float VerticalFieldOfView(float aspect);

// The files a render window reads (shell/UserFiles.h decides them).
struct RenderFiles {
    std::string settingsPath = SettingsFile::kDefaultPath;
    SettingsAccess settingsAccess = SettingsAccess::ReadWrite;
    // The settings file's warning goes to standard error, and also into a
    // message box when this is set. A box would block a screen saver that
    // draws into a window someone else owns (xscreensaver): no box there.
    bool warnInBox = true;
    // The box; without a handler, SDL's own message box.
    SettingsWarning boxWarning;
    // Searched for the texture before the program's own media folders.
    std::vector<std::string> mediaFolders;
};

class RenderWindow {
public:
    static constexpr uint32_t kClearColour = kGroundColour;  // opaque white
    static constexpr float kWorldLift = 75.0f;
    static constexpr float kFieldOfView = 3.1415927f / 4.0f;  // vertical, on a wide view
    // Every view shows at least what a 16:9 landscape screen shows at
    // kFieldOfView (VerticalFieldOfView). Seen from the orbit the world is
    // wider than deep (its depth is foreshortened by the camera's
    // elevation), so a narrower view must widen its angle to keep the world's
    // width in: that frame holds it at nearly every point of the orbit.
    static constexpr float kFrameAspect = 16.0f / 9.0f;
    static constexpr float kNearPlane = 0.1f;
    static constexpr float kFarPlane = 600.0f;

    // Opens the settings file (settingsPath, "Marrowick.ini" in the working
    // directory by default); its creation warning is shown in a message box
    // and written to standard error.
    explicit RenderWindow(const char* settingsPath = SettingsFile::kDefaultPath);
    explicit RenderWindow(const RenderFiles& files);
    ~RenderWindow();
    RenderWindow(const RenderWindow&) = delete;
    RenderWindow& operator=(const RenderWindow&) = delete;

    // After SDL_Init and before the window is created: a double-buffered
    // OpenGL 3.3 core context. No depth buffer: the scene is flat and drawn in
    // order. False with the failing call.
    static bool RequestContextAttributes(std::string& error);

    // Creates the context, the device objects, the texture (when the setting
    // names a loadable image), the fonts and the graph layout. False with the
    // failing call and its message in error; frames then draw nothing.
    // simulation must outlive this object.
    bool Create(SDL_Window* window, Simulation* simulation, std::string& error);
    bool Ready() const { return ready; }
    SDL_GLContext Context() const { return context.handle; }

    // Reads the simulation under its lock: rebuilds the scene and hands it to
    // the device, formats the statistics and gives the graphs their samples.
    // Frames show this state, seen by the moving camera, until the next read.
    void ReadSimulation();
    // ReadSimulation, DrawFrame and Present.
    void RenderFrame();
    void DrawFrame();  // everything of a frame but the buffer swap
    void Present();    // saves a requested screenshot, then swaps

    // Keeps the top `pixels` rows of the window out of the frame (a menu bar
    // is drawn there afterwards); 0 draws on the whole window.
    void SetTopInset(int32_t pixels) { topInset = pixels < 0 ? 0 : pixels; }
    int32_t TopInset() const { return topInset; }

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
    // frameTime: seconds the last frame that read the simulation spent
    // reading it and building and submitting its drawing (scene fill, upload,
    // text and graph vertices, draw calls); the buffer swap, which waits for
    // the display, is not part of it. Frames that only move the camera leave
    // it alone, so the figure does not flicker between the two kinds.
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
    bool BuildFonts(int32_t smallPixels, int32_t captionPixels, std::string& error);
    // The overlay's layout for a view of this size, with fonts of its sizes.
    void LayOut(int32_t width, int32_t viewHeight);

    // Destroyed in reverse order: the device objects, the fonts and buffers,
    // the context, the graphs' texts, the settings file.
    SettingsFile settings;
    std::vector<std::string> mediaFolders;
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
    OverlayLayout layout;
    int32_t laidOutWidth = -1;  // the view the layout is for
    int32_t laidOutHeight = -1;
    int32_t topInset = 0;
    bool ready = false;
    std::string pendingScreenshot;
    bool screenshotSaved = false;
    int32_t drawnWidth = 0;
    int32_t drawnHeight = 0;
    float readSeconds = 0.0f;  // the last ReadSimulation
    bool stateFresh = false;   // read since the last frame was drawn
    bool overlayDirty = true;  // the overlay on the device is out of date
};
