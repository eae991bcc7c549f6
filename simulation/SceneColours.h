#pragma once
// The colours of the world as every view shows it: white ground, blue border
// and trails, ants in their role colours, green food, and the fade rule that
// pales trails and food as they weaken. The 3D scene and the terminal view
// both take their colours from here, so the two always agree.
//
// Colours are ARGB 0xAARRGGBB. In the 3D scene the alpha byte is the
// texture's weight on that cell; views without a texture use the RGB part.
#include <cstdint>

// The ground the world lies on (the 3D view's clear colour).
constexpr uint32_t kGroundColour = 0xFFFFFFFF;

// Trails fade below this intensity. It is the views' own constant: the trail
// map's renderThreshold belongs to the user's settings and is left alone.
constexpr int32_t kTrailFadeThreshold = 1200;

// Fading cells get this brightness at most (a pale tint, never white).
constexpr int32_t kFadeMaxBrightness = 207;

constexpr uint32_t kFoodFreshColour = 0x0000FF00;
constexpr uint32_t kTrailStrongColour = 0x000000FF;
constexpr uint32_t kBorderColour = 0x000000FF;

// Ant colours: alpha 0x50 lets 80/255 of the texture through when it is on.
constexpr uint32_t kAntRed = 0x50FF0000;         // meandering, reproducing, unknown roles
constexpr uint32_t kAntPurple = 0x5080327D;      // wandering
constexpr uint32_t kAntGreen = 0x5000FF00;       // wandering and carrying food
constexpr uint32_t kAntYellow = 0x50F4F16C;      // gathering; returning (first half)
constexpr uint32_t kAntBlack = 0x50000000;       // returning (second half)

// An ant's cell is split along its diagonal into two triangles; first is the
// one that carries the role's main colour (and a wanderer's load).
struct QuadColours {
    uint32_t first;
    uint32_t second;
};

// The colour pair of an ant by its role (AntRole) and load.
QuadColours AntColours(int32_t role, bool wandererCarrying);
// Brightness of a fading cell: (1 - max(value, 0) / threshold) x 207,
// truncated; 0 .. 207. Only meaningful for value < threshold.
int32_t FadeBrightness(int32_t value, int32_t threshold);
// Fresh food is plain green; below the threshold it fades toward pale green.
uint32_t FoodColour(int32_t turnsLeft, int32_t threshold);
// Strong trail is plain blue; below kTrailFadeThreshold it fades toward pale blue.
uint32_t TrailColour(int32_t intensity);
