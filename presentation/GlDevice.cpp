#include "presentation/GlDevice.h"

#include <GL/glext.h>

#include <algorithm>

#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"

namespace {

const char* const kSceneVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 colourBgra;
layout(location = 2) in vec2 texCoord;
uniform mat4 transform;
out vec4 colour;
out vec2 uv;
// Quads of one cell share their corners: the same corner lands on the same
// pixel edge in every quad, so a later quad covers an earlier one exactly.
invariant gl_Position;
void main() {
    gl_Position = transform * vec4(position, 1.0);
    colour = colourBgra.bgra;
    uv = texCoord;
}
)";

const char* const kSceneFragmentShader = R"(#version 330 core
in vec4 colour;
in vec2 uv;
uniform sampler2D sceneTexture;
uniform int textured;
out vec4 fragment;
void main() {
    vec3 c = colour.rgb;
    if (textured != 0) {
        // texture x a + colour x (1 - a), a the vertex alpha.
        c = mix(c, texture(sceneTexture, uv).rgb, colour.a);
    }
    fragment = vec4(c, 1.0);
}
)";

const char* const kOverlayVertexShader = R"(#version 330 core
layout(location = 0) in vec2 position;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 colourBgra;
uniform vec2 screenSize;
uniform float pixelOffset;
out vec4 colour;
out vec2 uv;
void main() {
    vec2 p = (position + pixelOffset) / screenSize * 2.0 - 1.0;
    gl_Position = vec4(p.x, -p.y, 0.0, 1.0);
    colour = colourBgra.bgra;
    uv = texCoord;
}
)";

const char* const kOverlayFragmentShader = R"(#version 330 core
in vec4 colour;
in vec2 uv;
uniform sampler2D glyphs;
out vec4 fragment;
void main() {
    float coverage = uv.x < 0.0 ? 1.0 : texture(glyphs, uv).r;
    fragment = vec4(colour.rgb, colour.a * coverage);
}
)";

std::string CheckGl(const char* call) {
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR) return {};
    std::string text = std::string(call) + " failed: " + GlErrorName(code);
    while (glGetError() != GL_NO_ERROR) {
    }
    return text;
}

GLuint CompileShader(GLenum kind, const char* source, const char* what, std::string& error) {
    const GLuint shader = glCreateShader(kind);
    if (shader == 0) {
        error = std::string("glCreateShader(") + what + ") failed: " + GlErrorName(glGetError());
        return 0;
    }
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[1024] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        error = std::string("glCompileShader(") + what + ") failed: " + log;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

GLuint LinkProgram(const char* vertexSource, const char* fragmentSource, const char* what,
                   std::string& error) {
    const std::string name(what);
    const GLuint vertex = CompileShader(GL_VERTEX_SHADER, vertexSource, (name + " vertex").c_str(), error);
    if (vertex == 0) return 0;
    const GLuint fragment =
        CompileShader(GL_FRAGMENT_SHADER, fragmentSource, (name + " fragment").c_str(), error);
    if (fragment == 0) {
        glDeleteShader(vertex);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        char log[1024] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        error = "glLinkProgram(" + name + ") failed: " + log;
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

void UnpackArgb(uint32_t argb, float rgba[4]) {
    rgba[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    rgba[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    rgba[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    rgba[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

const void* Offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

}  // namespace

const char* GlErrorName(GLenum code) {
    switch (code) {
        case GL_NO_ERROR: return "GL_NO_ERROR";
        case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
        case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
        case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
        case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
        case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
        default: return "unknown GL error";
    }
}

GlDevice::~GlDevice() {
    if (fontTexture != 0) glDeleteTextures(1, &fontTexture);
    if (sceneTexture != 0) glDeleteTextures(1, &sceneTexture);
    if (overlayBuffer != 0) glDeleteBuffers(1, &overlayBuffer);
    if (overlayArray != 0) glDeleteVertexArrays(1, &overlayArray);
    if (sceneBuffer != 0) glDeleteBuffers(1, &sceneBuffer);
    if (sceneArray != 0) glDeleteVertexArrays(1, &sceneArray);
    if (overlayProgram != 0) glDeleteProgram(overlayProgram);
    if (sceneProgram != 0) glDeleteProgram(sceneProgram);
}

bool GlDevice::Create(int32_t sceneVertexCapacity, int32_t overlayVertexCapacity,
                      std::string& error) {
    while (glGetError() != GL_NO_ERROR) {
    }
    sceneProgram = LinkProgram(kSceneVertexShader, kSceneFragmentShader, "scene", error);
    if (sceneProgram == 0) return false;
    sceneTransformAt = glGetUniformLocation(sceneProgram, "transform");
    sceneTexturedAt = glGetUniformLocation(sceneProgram, "textured");
    glUseProgram(sceneProgram);
    glUniform1i(glGetUniformLocation(sceneProgram, "sceneTexture"), 0);

    overlayProgram = LinkProgram(kOverlayVertexShader, kOverlayFragmentShader, "overlay", error);
    if (overlayProgram == 0) return false;
    overlaySizeAt = glGetUniformLocation(overlayProgram, "screenSize");
    overlayOffsetAt = glGetUniformLocation(overlayProgram, "pixelOffset");
    glUseProgram(overlayProgram);
    glUniform1i(glGetUniformLocation(overlayProgram, "glyphs"), 0);
    glUseProgram(0);
    if (!(error = CheckGl("glUseProgram")).empty()) return false;

    // The scene: one dynamic buffer sized once for the largest scene.
    glGenVertexArrays(1, &sceneArray);
    glGenBuffers(1, &sceneBuffer);
    glBindVertexArray(sceneArray);
    glBindBuffer(GL_ARRAY_BUFFER, sceneBuffer);
    const GLsizeiptr sceneBytes =
        static_cast<GLsizeiptr>(sceneVertexCapacity) * static_cast<GLsizeiptr>(sizeof(SceneVertex));
    glBufferData(GL_ARRAY_BUFFER, sceneBytes, nullptr, GL_DYNAMIC_DRAW);
    if (!(error = CheckGl("glBufferData (scene vertex buffer)")).empty()) {
        error = "Failed Vertex Buffer: " + error;
        return false;
    }
    sceneCapacity = sceneVertexCapacity;
    const GLsizei sceneStride = sizeof(SceneVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, sceneStride, Offset(offsetof(SceneVertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, sceneStride,
                          Offset(offsetof(SceneVertex, colour)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, sceneStride, Offset(offsetof(SceneVertex, u)));
    if (!(error = CheckGl("glVertexAttribPointer (scene)")).empty()) return false;

    glGenVertexArrays(1, &overlayArray);
    glGenBuffers(1, &overlayBuffer);
    glBindVertexArray(overlayArray);
    glBindBuffer(GL_ARRAY_BUFFER, overlayBuffer);
    glBufferData(GL_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(overlayVertexCapacity) *
                     static_cast<GLsizeiptr>(sizeof(OverlayVertex)),
                 nullptr, GL_STREAM_DRAW);
    if (!(error = CheckGl("glBufferData (overlay vertex buffer)")).empty()) return false;
    overlayCapacity = overlayVertexCapacity;
    const GLsizei overlayStride = sizeof(OverlayVertex);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, overlayStride, Offset(offsetof(OverlayVertex, x)));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, overlayStride, Offset(offsetof(OverlayVertex, u)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, overlayStride,
                          Offset(offsetof(OverlayVertex, colour)));
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (!(error = CheckGl("glVertexAttribPointer (overlay)")).empty()) return false;
    return true;
}

bool GlDevice::CreateFontTexture(const FontAtlas& atlas, std::string& error) {
    if (fontTexture != 0) glDeleteTextures(1, &fontTexture);  // a new atlas for a new size
    fontTexture = 0;
    glGenTextures(1, &fontTexture);
    glBindTexture(GL_TEXTURE_2D, fontTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, atlas.width, atlas.height, 0, GL_RED, GL_UNSIGNED_BYTE,
                 atlas.pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    error = CheckGl("glTexImage2D (glyph atlas)");
    return error.empty();
}

bool GlDevice::CreateSceneTexture(const uint8_t* pixels, int32_t width, int32_t height,
                                  int32_t channels) {
    if (pixels == nullptr || width <= 0 || height <= 0 || (channels != 1 && channels != 3)) {
        return false;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (channels == 1) {
        // Grey stays one channel in the driver too, read back as grey.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, width, height, 0, GL_RED, GL_UNSIGNED_BYTE, pixels);
        const GLint grey[] = {GL_RED, GL_RED, GL_RED, GL_ONE};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, grey);
    } else {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, width, height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    // Point sampling of the full-size image, wrapping: what a fixed-function
    // stage does by default.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return false;
    }
    if (sceneTexture != 0) glDeleteTextures(1, &sceneTexture);
    sceneTexture = texture;
    return true;
}

void GlDevice::BeginFrame(int32_t width, int32_t height, uint32_t clearColour) {
    float c[4];
    UnpackArgb(clearColour, c);
    glViewport(0, 0, width, height);
    glClearColor(c[0], c[1], c[2], c[3]);
    glClear(GL_COLOR_BUFFER_BIT);
}

void GlDevice::SetViewport(int32_t width, int32_t height) { glViewport(0, 0, width, height); }

void GlDevice::UploadScene(const SceneVertex* vertices, int32_t triangles) {
    sceneVertexCount = 0;
    if (sceneBuffer == 0 || triangles <= 0) return;
    int32_t count = triangles * 3;
    if (count > sceneCapacity) count = sceneCapacity - sceneCapacity % 3;
    glBindBuffer(GL_ARRAY_BUFFER, sceneBuffer);
    // Only the part in use travels; the storage was sized once at creation.
    glBufferSubData(GL_ARRAY_BUFFER, 0,
                    static_cast<GLsizeiptr>(count) * static_cast<GLsizeiptr>(sizeof(SceneVertex)),
                    vertices);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    sceneVertexCount = count;
}

void GlDevice::DrawScene(const glm::mat4& transform, bool textured) {
    if (sceneBuffer == 0 || sceneVertexCount <= 0) return;
    const int32_t count = sceneVertexCount;
    glBindVertexArray(sceneArray);
    glUseProgram(sceneProgram);
    glUniformMatrix4fv(sceneTransformAt, 1, GL_FALSE, &transform[0][0]);
    const bool useTexture = textured && sceneTexture != 0;
    glUniform1i(sceneTexturedAt, useTexture ? 1 : 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, useTexture ? sceneTexture : 0);

    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DITHER);
    // Every quad lies in the world's plane: the order of drawing alone
    // decides what covers what, as a depth test of equal depths would.
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDrawArrays(GL_TRIANGLES, 0, count);

    glBindTexture(GL_TEXTURE_2D, 0);
    glBindVertexArray(0);
    glUseProgram(0);
}

void GlDevice::UploadOverlay(const OverlayBatch& batch) {
    overlayVertexCount = 0;
    overlayRunCount = 0;
    if (overlayBuffer == 0 || batch.VertexCount() == 0) return;
    const int32_t count =
        batch.VertexCount() < overlayCapacity ? batch.VertexCount() : overlayCapacity;
    glBindBuffer(GL_ARRAY_BUFFER, overlayBuffer);
    glBufferSubData(GL_ARRAY_BUFFER, 0,
                    static_cast<GLsizeiptr>(count) * static_cast<GLsizeiptr>(sizeof(OverlayVertex)),
                    batch.Vertices());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    // The runs are a few hundred bytes: kept here, so a frame that draws the
    // same overlay again needs nothing of the batch.
    overlayRunCount = batch.RunCount();
    std::copy_n(batch.Runs(), overlayRunCount, overlayRuns);
    overlayVertexCount = count;
}

void GlDevice::DrawOverlay(int32_t width, int32_t height) {
    if (overlayBuffer == 0 || overlayVertexCount == 0 || width <= 0 || height <= 0) return;
    const int32_t count = overlayVertexCount;
    glBindVertexArray(overlayArray);
    glUseProgram(overlayProgram);
    glUniform2f(overlaySizeAt, static_cast<float>(width), static_cast<float>(height));
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, fontTexture);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    for (int32_t r = 0; r < overlayRunCount; ++r) {
        const OverlayRun& run = overlayRuns[r];
        if (run.first >= count) break;
        const int32_t n = run.first + run.count <= count ? run.count : count - run.first;
        if (run.primitive == OverlayPrimitive::Lines) {
            // Integer positions are pixel centres for lines.
            glUniform1f(overlayOffsetAt, 0.5f);
            glDrawArrays(GL_LINES, run.first, n);
        } else {
            glUniform1f(overlayOffsetAt, 0.0f);
            glDrawArrays(GL_TRIANGLES, run.first, n);
        }
    }

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindVertexArray(0);
    glUseProgram(0);
}
