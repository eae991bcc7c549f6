#pragma once
// The frame's 2D overlay (text and graph lines) in back-buffer pixels from
// the top-left corner, collected on the CPU in drawing order and drawn in a
// few calls: consecutive lines or consecutive glyphs share one run. Fixed
// capacity; what does not fit is dropped. UI thread only.
#include <cstdint>

#include "presentation/TextFont.h"

// Coordinates in the device's convention for pre-transformed vertices:
// integer positions are pixel centres. u < 0 marks an untextured vertex.
struct OverlayVertex {
    float x;
    float y;
    float u;
    float v;
    uint32_t colour;  // ARGB
};
static_assert(sizeof(OverlayVertex) == 20, "OverlayVertex is the GPU vertex layout");

enum class OverlayPrimitive : int32_t { Lines, Triangles };

struct OverlayRun {
    OverlayPrimitive primitive;
    int32_t first;  // first vertex
    int32_t count;  // vertices
};

class OverlayBatch {
public:
    static constexpr int32_t kVertexCapacity = 32768;
    static constexpr int32_t kRunCapacity = 256;

    void Clear() {
        vertexCount = 0;
        runCount = 0;
    }
    bool AddLine(float x0, float y0, float x1, float y1, uint32_t colour);
    // A filled rectangle covering pixels left .. right-1 by top .. bottom-1.
    bool AddRect(float left, float top, float right, float bottom, uint32_t colour);
    // Draws text with its top-left corner at (x, y).
    void AddText(const TextFont& font, float x, float y, uint32_t colour, const char* text);

    int32_t VertexCount() const { return vertexCount; }
    int32_t RunCount() const { return runCount; }
    const OverlayVertex* Vertices() const { return vertices; }
    const OverlayRun* Runs() const { return runs; }

private:
    // Room for n more vertices of this primitive, in a run of their own kind.
    OverlayVertex* Reserve(OverlayPrimitive primitive, int32_t n);

    OverlayVertex vertices[kVertexCapacity];
    OverlayRun runs[kRunCapacity];
    int32_t vertexCount = 0;
    int32_t runCount = 0;
};
