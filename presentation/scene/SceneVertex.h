#pragma once
// SceneVertex: one corner of the world scene's coloured, optionally textured
// triangles. The layout is shared with the GPU vertex buffer (position at 0,
// colour at 12, texture coordinates at 16), so it must stay exactly 24 bytes.
#include <cstddef>
#include <cstdint>

struct SceneVertex {
    float x;          // world X
    float y;          // world Y (up); the scene lies in the plane y = 0.5
    float z;          // world Z
    uint32_t colour;  // ARGB 0xAARRGGBB; alpha is the texture's weight
    float u;
    float v;
};

static_assert(sizeof(SceneVertex) == 24, "SceneVertex is the GPU vertex layout");
static_assert(offsetof(SceneVertex, colour) == 12, "colour follows the position");
static_assert(offsetof(SceneVertex, u) == 16, "texture coordinates follow the colour");
