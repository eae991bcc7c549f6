#pragma once
// The world seen from above as the terminal draws it: first a picture of the
// world with one entry per cell, taken under the state lock (cheap, so the
// step waits briefly), then the map drawn from it into a frame outside the
// lock.
//
// The picture holds what the 3D scene shows on top of each cell: the ground,
// a trail (when trails are shown), an ant, food, in the scene's order, so
// that food covers ants and ants cover trails. An ant's cell takes the colour
// of its first triangle, the one that shows its role and load. Where one
// pixel stands for several world cells it shows the one that matters most:
// food, then ants, then trails (the strongest first), then ground.
#include <cstdint>

#include "colony/Ant.h"
#include "environment/FoodField.h"
#include "environment/TrailMap.h"
#include "foundation/GridPoint.h"
#include "foundation/ListTemplate.h"
#include "shell/terminal/TerminalColour.h"
#include "shell/terminal/TerminalLayout.h"

class Simulation;
class TermFrame;

// Large (192 KB): keep it inside a heap-allocated owner.
struct WorldPicture {
    int32_t width = 0;
    int32_t height = 0;
    uint32_t colour[kGridCells];  // 0xRRGGBB, indexed x * kGridSide + y
    uint16_t weight[kGridCells];  // what a shared pixel shows: the heaviest cell

    uint32_t ColourAt(int32_t x, int32_t y) const { return colour[x * kGridSide + y]; }
    uint16_t WeightAt(int32_t x, int32_t y) const { return weight[x * kGridSide + y]; }
};

// The terminal shows the scene's fade of trails and food in this many steps,
// from the full colour to the palest.
constexpr int32_t kFadeSteps = 8;

// A fading colour of the scene (trail or food) with each faded channel
// (0 .. 207) moved to the nearest of kFadeSteps evenly spaced levels; the
// channel at 255 that carries the hue stays. A weakening trail (or ageing
// food) then changes its colour every hundred-odd steps rather than every
// few, which spares a remote terminal most of the colour changes while the
// fade still reads the same.
uint32_t CoarseFade(uint32_t colour);

// Weights by layer. Within trails and food the stronger colour weighs more.
constexpr uint16_t kGroundWeight = 0;
constexpr uint16_t kTrailWeight = 1;    // + 0 .. 255 by strength
constexpr uint16_t kAntWeight = 512;
constexpr uint16_t kFoodWeight = 768;   // + 0 .. 255 by freshness

// Paints the picture from the trail map and the lists (trails null: trails
// hidden). Cells outside width x height are left out. Walks are read-only.
void PaintWorld(int32_t width, int32_t height, const TrailMap* trails,
                const ListTemplate<Ant>& ants, const ListTemplate<FoodCell>& food,
                int32_t foodThreshold, WorldPicture& picture);
// The simulation's world; the caller holds its stateMutex.
void PaintWorld(const Simulation& simulation, WorldPicture& picture);

// The colour of map pixel (i, j), border included: i in 0 .. worldPixelsX + 1,
// j in 0 .. worldPixelsY + 1 (0xRRGGBB).
uint32_t MapPixel(const WorldPicture& picture, const TerminalLayout& layout, int32_t i, int32_t j);

// Draws the map into the frame at the layout's place.
void DrawMap(const WorldPicture& picture, const TerminalLayout& layout, ColourDepth depth,
             TermFrame& frame);

// The half blocks: upper half in the foreground over the lower half in the
// background, and the reverse.
constexpr char32_t kUpperHalfBlock = U'\u2580';
constexpr char32_t kLowerHalfBlock = U'\u2584';
