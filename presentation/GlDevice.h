#pragma once
// The graphics device over OpenGL 3.3 core: the scene's dynamic vertex buffer
// with one shader pair that does what the scene needs of a fixed-function
// pipeline (world, view and projection transforms, vertex colours, and the
// texture blended in by the vertex alpha when it is on), and a second pair for
// the pre-transformed overlay (coloured lines and text in pixels).
//
// Every call needs the GL context current on this thread. Create checks each
// step and names the failing call; the destructor deletes what was created
// (the context must still exist then).
#include <cstdint>
#include <string>

#include <GL/gl.h>
#include <glm/mat4x4.hpp>

#include "presentation/OverlayBatch.h"
#include "presentation/scene/SceneVertex.h"

class FontAtlas;

class GlDevice {
public:
    GlDevice() = default;
    ~GlDevice();
    GlDevice(const GlDevice&) = delete;
    GlDevice& operator=(const GlDevice&) = delete;

    // Shaders, the scene buffer of sceneVertexCapacity vertices and the
    // overlay buffer. False with the failing call and its message in error.
    bool Create(int32_t sceneVertexCapacity, int32_t overlayVertexCapacity, std::string& error);
    bool CreateFontTexture(const FontAtlas& atlas, std::string& error);
    // The scene texture from grey (channels 1) or RGB (3) pixels, rows
    // tightly packed; false (and no texture) on failure.
    bool CreateSceneTexture(const uint8_t* pixels, int32_t width, int32_t height,
                            int32_t channels);
    bool HasSceneTexture() const { return sceneTexture != 0; }

    // Viewport over the drawable; clears it to the colour (ARGB).
    void BeginFrame(int32_t width, int32_t height, uint32_t clearColour);
    // Narrows the viewport to the bottom `height` rows of the drawable; the
    // scene and the overlay then treat that part as the whole target.
    void SetViewport(int32_t width, int32_t height);
    // Replaces the scene with the first 3 x triangles vertices (as many as
    // the buffer holds). The scene stays on the device until the next upload,
    // so frames that only move the camera send nothing.
    void UploadScene(const SceneVertex* vertices, int32_t triangles);
    // One triangle-list draw of the uploaded scene in its order (later
    // triangles cover earlier ones), the texture blended by vertex alpha when
    // textured.
    void DrawScene(const glm::mat4& transform, bool textured);
    // Replaces the overlay with this batch (as much as the buffer holds); it
    // stays on the device until the next upload.
    void UploadOverlay(const OverlayBatch& batch);
    // The uploaded overlay's runs in order, over everything, text
    // alpha-blended, on a target of width x height pixels.
    void DrawOverlay(int32_t width, int32_t height);

private:
    GLuint sceneProgram = 0;
    GLint sceneTransformAt = -1;
    GLint sceneTexturedAt = -1;
    GLuint sceneArray = 0;
    GLuint sceneBuffer = 0;
    int32_t sceneCapacity = 0;
    int32_t sceneVertexCount = 0;  // uploaded
    GLuint sceneTexture = 0;

    GLuint overlayProgram = 0;
    GLint overlaySizeAt = -1;
    GLint overlayOffsetAt = -1;
    GLuint overlayArray = 0;
    GLuint overlayBuffer = 0;
    int32_t overlayCapacity = 0;
    int32_t overlayVertexCount = 0;  // uploaded
    int32_t overlayRunCount = 0;
    OverlayRun overlayRuns[OverlayBatch::kRunCapacity] = {};
    GLuint fontTexture = 0;
};

// Name of a GL error code ("GL_OUT_OF_MEMORY").
const char* GlErrorName(GLenum code);
