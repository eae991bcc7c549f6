#include "presentation/RenderWindow.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>

#include "presentation/MediaFile.h"
#include "simulation/Simulation.h"

namespace {

constexpr const char* kApplicationTitle = "Marrowick";

void ShowWarning(void*, const char* text) {
    std::fputs(text, stderr);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, kApplicationTitle, text, nullptr);
}

SettingsWarning WarningFor(const RenderFiles& files) {
    // Without a handler the settings file writes to standard error itself.
    if (!files.warnInBox) return SettingsWarning{};
    return files.boxWarning.handler != nullptr ? files.boxWarning
                                               : SettingsWarning{&ShowWarning, nullptr};
}

std::vector<std::string> AllMediaFolders(const RenderFiles& files) {
    std::vector<std::string> folders = files.mediaFolders;
    for (std::string& folder : MediaFolders()) folders.push_back(std::move(folder));
    return folders;
}

std::string SdlError(const char* call) { return std::string(call) + " failed: " + SDL_GetError(); }

}  // namespace

RenderWindow::ContextHolder::~ContextHolder() {
    if (handle != nullptr) SDL_GL_DeleteContext(handle);
}

float VerticalFieldOfView(float aspect) {
    if (!(aspect > 0.0f) || aspect >= RenderWindow::kFrameAspect) return RenderWindow::kFieldOfView;
    // Keep the frame's width: tan(vertical / 2) * aspect stays
    // tan(kFieldOfView / 2) * kFrameAspect.
    const float halfWidth = std::tan(RenderWindow::kFieldOfView / 2.0f) * RenderWindow::kFrameAspect;
    return 2.0f * std::atan(halfWidth / aspect);
}

namespace {

RenderFiles FilesAt(const char* settingsPath) {
    RenderFiles files;
    files.settingsPath = settingsPath;
    return files;
}

}  // namespace

RenderWindow::RenderWindow(const char* settingsPath) : RenderWindow(FilesAt(settingsPath)) {}

RenderWindow::RenderWindow(const RenderFiles& files)
    : settings(files.settingsPath.c_str(), WarningFor(files), files.settingsAccess),
      mediaFolders(AllMediaFolders(files)),
      camera(ticks) {}

RenderWindow::~RenderWindow() = default;

bool RenderWindow::RequestContextAttributes(std::string& error) {
    struct Attribute {
        SDL_GLattr attribute;
        int value;
        const char* name;
    };
    const Attribute attributes[] = {
        {SDL_GL_CONTEXT_MAJOR_VERSION, 3, "SDL_GL_CONTEXT_MAJOR_VERSION"},
        {SDL_GL_CONTEXT_MINOR_VERSION, 3, "SDL_GL_CONTEXT_MINOR_VERSION"},
        {SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE, "SDL_GL_CONTEXT_PROFILE_MASK"},
        {SDL_GL_DOUBLEBUFFER, 1, "SDL_GL_DOUBLEBUFFER"},
        {SDL_GL_DEPTH_SIZE, 0, "SDL_GL_DEPTH_SIZE"},
    };
    for (const Attribute& a : attributes) {
        if (SDL_GL_SetAttribute(a.attribute, a.value) != 0) {
            error = std::string("SDL_GL_SetAttribute(") + a.name + ") failed: " + SDL_GetError();
            return false;
        }
    }
    return true;
}

bool RenderWindow::Create(SDL_Window* targetWindow, Simulation* targetSimulation,
                          std::string& error) {
    ready = false;
    window = targetWindow;
    simulation = targetSimulation;
    if (window == nullptr || simulation == nullptr) {
        error = "RenderWindow::Create: no window or no simulation";
        return false;
    }

    context.handle = SDL_GL_CreateContext(window);
    if (context.handle == nullptr) {
        error = SdlError("SDL_GL_CreateContext (OpenGL 3.3 core)");
        return false;
    }
    if (SDL_GL_MakeCurrent(window, context.handle) != 0) {
        error = SdlError("SDL_GL_MakeCurrent");
        return false;
    }
    GLint major = 0;
    GLint minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    if (major < 3 || (major == 3 && minor < 3)) {
        const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
        error = std::string("OpenGL 3.3 is needed; the context offers ") +
                (version != nullptr ? version : "an unknown version");
        return false;
    }
    // Wait for the display's refresh when presenting; a driver that cannot
    // is no reason to stop.
    SDL_GL_SetSwapInterval(1);

    sceneVertices.reset(new SceneVertex[kSceneVertexCapacity]);
    overlay = std::make_unique<OverlayBatch>();
    if (!device.Create(kSceneVertexCapacity, OverlayBatch::kVertexCapacity, error)) {
        return false;
    }

    LoadTexture();

    if (!BuildFonts(kSmallFontPixels, kLargeFontPixels, error)) {
        return false;
    }
    ready = true;
    return true;
}

bool RenderWindow::BuildFonts(int32_t smallPixels, int32_t captionPixels, std::string& error) {
    const int32_t sizes[] = {smallPixels, captionPixels};
    return fonts.Build(kDefaultFontFile, sizes, 2, error) && device.CreateFontTexture(fonts, error);
}

void RenderWindow::LayOut(int32_t width, int32_t viewHeight) {
    layout = LayOutOverlay(width, viewHeight, AtlasMeasure(fonts));
    // New sizes get their glyphs; the widths measured at the real sizes may
    // differ a hair from the scaled estimate, so the layout is made again
    // with them (twice at most: sizes that keep changing settle for the last).
    for (int32_t attempt = 0; attempt < 2; ++attempt) {
        if (layout.smallPixels == fonts.Font(0).pixelSize &&
            layout.captionPixels == fonts.Font(1).pixelSize) {
            break;
        }
        std::string error;
        if (!BuildFonts(layout.smallPixels, layout.captionPixels, error)) {
            // The font file was read at start-up; a failure now leaves the
            // previous sizes, still drawn, and says why once.
            std::fprintf(stderr, "marrowick: the overlay keeps its text size: %s\n", error.c_str());
            BuildFonts(kSmallFontPixels, kLargeFontPixels, error);
            break;
        }
        layout = LayOutOverlay(width, viewHeight, AtlasMeasure(fonts));
    }
    graphs.Layout(layout);
    laidOutWidth = width;
    laidOutHeight = viewHeight;
    overlayDirty = true;
}

void RenderWindow::LoadTexture() {
    std::string path;
    if (!SceneTexturePath(settings, mediaFolders, path)) {
        return;  // no usable setting, no texture
    }
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    TextureImage image;
    std::string problem;
    // A texture that does not load is left out; the scene is drawn without.
    if (!LoadImageFile(path, maxSide, image, problem)) {
        std::fprintf(stderr, "marrowick: the texture '%s' %s; drawing without it\n", path.c_str(),
                     problem.c_str());
        return;
    }
    device.CreateSceneTexture(image.pixels.get(), image.width, image.height, image.channels);
}

void RenderWindow::ResetCamera() {
    eye = {0.0f, 0.0f, 0.0f};
    lookAt = {0.0f, 0.0f, 1.0f};
    up = {0.0f, 1.0f, 0.0f};
}

void RenderWindow::RenderFrame() {
    ReadSimulation();
    DrawFrame();
    Present();
}

void RenderWindow::ReadSimulation() {
    if (!ready) {
        return;  // nothing to draw with
    }
    const auto start = std::chrono::steady_clock::now();
    SceneWriter writer(sceneVertices.get(), kSceneVertexCapacity);
    FrameSample sample;
    {
        std::lock_guard<std::mutex> lock(simulation->stateMutex);
        BuildScene(*simulation, writer);
        FormatStatistics(*simulation, statistics);
        sample = SampleSimulation(*simulation);
    }
    graphs.AddSample(sample);
    device.UploadScene(writer.Vertices(), writer.Triangles());
    const std::chrono::duration<float> elapsed = std::chrono::steady_clock::now() - start;
    readSeconds = elapsed.count();
    stateFresh = true;
    overlayDirty = true;
}

void RenderWindow::DrawFrame() {
    drawnWidth = 0;
    drawnHeight = 0;
    if (!ready) {
        return;  // nothing to draw with
    }
    const auto start = std::chrono::steady_clock::now();
    int32_t width = 0;
    int32_t height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    // The view: the window less the band kept for a menu bar.
    const int32_t viewHeight = height - topInset;
    if (width <= 0 || viewHeight <= 0) {
        return;
    }
    if (width != laidOutWidth || viewHeight != laidOutHeight) {
        LayOut(width, viewHeight);
    }

    device.BeginFrame(width, height, kClearColour);
    device.SetViewport(width, viewHeight);  // GL counts rows from the bottom

    const glm::mat4 world = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, kWorldLift, 0.0f));
    camera.Update();
    eye = camera.eye;
    lookAt = camera.lookAt;
    const glm::mat4 view = glm::lookAtLH(eye, lookAt, up);
    const float aspect = static_cast<float>(width) / static_cast<float>(viewHeight);
    const glm::mat4 projection =
        glm::perspectiveLH_NO(VerticalFieldOfView(aspect), aspect, kNearPlane, kFarPlane);
    device.DrawScene(projection * view * world, textureEnabled != 0);

    // The overlay changes with a new state and a new layout only: frames
    // that merely move the camera draw what is on the device already.
    if (overlayDirty) {
        overlay->Clear();
        ComposeOverlay(*overlay, fonts.Font(0), fonts.Font(1), layout, frameTime, statistics,
                       graphs);
        device.UploadOverlay(*overlay);
        overlayDirty = false;
    }
    device.DrawOverlay(width, viewHeight);

    drawnWidth = width;
    drawnHeight = height;
    if (stateFresh) {
        // The time shown is that of a whole frame: the read and the drawing.
        const std::chrono::duration<float> elapsed = std::chrono::steady_clock::now() - start;
        frameTime = readSeconds + elapsed.count();
        stateFresh = false;
        overlayDirty = true;  // the next frame shows this frame's time
    }
}

void RenderWindow::Present() {
    if (!ready || drawnWidth <= 0 || drawnHeight <= 0) {
        return;
    }
    if (!pendingScreenshot.empty()) {
        std::vector<uint8_t> pixels(static_cast<size_t>(drawnWidth) * drawnHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, drawnWidth, drawnHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        // GL's rows run bottom-up; PNG's top-down.
        const size_t rowBytes = static_cast<size_t>(drawnWidth) * 4;
        std::vector<uint8_t> flipped(pixels.size());
        for (int32_t row = 0; row < drawnHeight; ++row) {
            std::copy_n(&pixels[static_cast<size_t>(drawnHeight - 1 - row) * rowBytes], rowBytes,
                        &flipped[static_cast<size_t>(row) * rowBytes]);
        }
        screenshotSaved = SavePng(pendingScreenshot, flipped.data(), drawnWidth, drawnHeight);
        if (!screenshotSaved) {
            std::fprintf(stderr, "marrowick: could not write the screenshot %s\n",
                         pendingScreenshot.c_str());
        }
        pendingScreenshot.clear();
    }
    SDL_GL_SwapWindow(window);
}
