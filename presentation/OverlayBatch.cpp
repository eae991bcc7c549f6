#include "presentation/OverlayBatch.h"

OverlayVertex* OverlayBatch::Reserve(OverlayPrimitive primitive, int32_t n) {
    if (vertexCount + n > kVertexCapacity) {
        return nullptr;
    }
    if (runCount == 0 || runs[runCount - 1].primitive != primitive) {
        if (runCount == kRunCapacity) {
            return nullptr;
        }
        runs[runCount++] = {primitive, vertexCount, 0};
    }
    OverlayVertex* at = vertices + vertexCount;
    vertexCount += n;
    runs[runCount - 1].count += n;
    return at;
}

bool OverlayBatch::AddLine(float x0, float y0, float x1, float y1, uint32_t colour) {
    OverlayVertex* v = Reserve(OverlayPrimitive::Lines, 2);
    if (v == nullptr) {
        return false;
    }
    v[0] = {x0, y0, -1.0f, -1.0f, colour};
    v[1] = {x1, y1, -1.0f, -1.0f, colour};
    return true;
}

bool OverlayBatch::AddRect(float left, float top, float right, float bottom, uint32_t colour) {
    OverlayVertex* v = Reserve(OverlayPrimitive::Triangles, 6);
    if (v == nullptr) {
        return false;
    }
    // Triangles take pixel edges (the text's convention), lines pixel centres.
    v[0] = {left, top, -1.0f, -1.0f, colour};
    v[1] = {right, top, -1.0f, -1.0f, colour};
    v[2] = {right, bottom, -1.0f, -1.0f, colour};
    v[3] = {right, bottom, -1.0f, -1.0f, colour};
    v[4] = {left, bottom, -1.0f, -1.0f, colour};
    v[5] = {left, top, -1.0f, -1.0f, colour};
    return true;
}

void OverlayBatch::AddText(const TextFont& font, float x, float y, uint32_t colour,
                           const char* text) {
    float pen = x;
    for (const char* c = text; *c != '\0'; ++c) {
        const GlyphMetrics& g = font.Glyph(*c);
        if (g.width > 0 && g.height > 0) {
            OverlayVertex* v = Reserve(OverlayPrimitive::Triangles, 6);
            if (v == nullptr) {
                return;
            }
            const float x0 = pen + g.left;
            const float y0 = y + g.top;
            const float x1 = x0 + g.width;
            const float y1 = y0 + g.height;
            v[0] = {x0, y0, g.u0, g.v0, colour};
            v[1] = {x1, y0, g.u1, g.v0, colour};
            v[2] = {x1, y1, g.u1, g.v1, colour};
            v[3] = {x1, y1, g.u1, g.v1, colour};
            v[4] = {x0, y1, g.u0, g.v1, colour};
            v[5] = {x0, y0, g.u0, g.v0, colour};
        }
        pen += g.advance;
    }
}
