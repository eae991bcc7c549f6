#include "shell/terminal/WorldMap.h"

#include <algorithm>

#include "colony/Colony.h"
#include "shell/terminal/TerminalFrame.h"
#include "simulation/SceneColours.h"
#include "simulation/Simulation.h"

namespace {

constexpr uint32_t kRgbMask = 0xFFFFFFu;

bool Inside(const WorldPicture& picture, int32_t x, int32_t y) {
    return x >= 0 && y >= 0 && x < picture.width && y < picture.height;
}

void Set(WorldPicture& picture, int32_t x, int32_t y, uint32_t colour, uint16_t weight) {
    if (!Inside(picture, x, y)) {
        return;
    }
    const int32_t i = x * kGridSide + y;
    picture.colour[i] = colour & kRgbMask;
    picture.weight[i] = weight;
}

// Stronger trails and fresher food are less pale: a smaller red channel.
uint16_t Strength(uint32_t colour) {
    return static_cast<uint16_t>(255u - ((colour >> 16) & 0xFFu));
}

// A one-entry memo: most pixels in a row share their colour.
class ColourConverter {
public:
    explicit ColourConverter(ColourDepth depth) : depth(depth) {}
    TermColour operator()(uint32_t rgb) {
        if (!known || rgb != lastRgb) {
            lastRgb = rgb;
            last = ToTermColour(rgb, depth);
            known = true;
        }
        return last;
    }

private:
    ColourDepth depth;
    bool known = false;
    uint32_t lastRgb = 0;
    TermColour last = kDefaultColour;
};

}  // namespace

uint32_t CoarseFade(uint32_t colour) {
    uint32_t result = 0;
    for (int32_t shift = 0; shift <= 16; shift += 8) {
        uint32_t c = (colour >> shift) & 0xFFu;
        if (c <= static_cast<uint32_t>(kFadeMaxBrightness)) {
            const uint32_t top = static_cast<uint32_t>(kFadeMaxBrightness);
            const uint32_t steps = static_cast<uint32_t>(kFadeSteps - 1);
            c = (c * steps + top / 2) / top * top / steps;
        }
        result |= c << shift;
    }
    return result;
}

void PaintWorld(int32_t width, int32_t height, const TrailMap* trails,
                const ListTemplate<Ant>& ants, const ListTemplate<FoodCell>& food,
                int32_t foodThreshold, WorldPicture& picture) {
    picture.width = std::clamp(width, 0, kGridSide);
    picture.height = std::clamp(height, 0, kGridSide);
    for (int32_t x = 0; x < picture.width; ++x) {
        uint32_t* colour = picture.colour + x * kGridSide;
        uint16_t* weight = picture.weight + x * kGridSide;
        std::fill(colour, colour + picture.height, kGroundColour & kRgbMask);
        std::fill(weight, weight + picture.height, kGroundWeight);
    }
    // The scene's order: later layers cover earlier ones, and within a layer
    // the record walked last covers the others, as in the 3D view.
    if (trails != nullptr) {
        const ListTemplate<TrailCell>& cells = trails->trailCells;
        for (int32_t slot = cells.Newest(); slot != -1; slot = cells.Older(slot)) {
            const TrailCell& cell = cells.At(slot);
            const uint32_t colour = CoarseFade(TrailColour(trails->IntensityOf(cell)));
            Set(picture, cell.x, cell.y, colour,
                static_cast<uint16_t>(kTrailWeight + Strength(colour)));
        }
    }
    for (int32_t slot = ants.Newest(); slot != -1; slot = ants.Older(slot)) {
        const Ant& ant = ants.At(slot);
        Set(picture, ant.pos.x, ant.pos.y, AntColours(ant.role, ant.wandererCarrying).first,
            kAntWeight);
    }
    for (int32_t slot = food.Newest(); slot != -1; slot = food.Older(slot)) {
        const FoodCell& cell = food.At(slot);
        const uint32_t colour = CoarseFade(FoodColour(cell.turnsLeft, foodThreshold));
        Set(picture, cell.x, cell.y, colour, static_cast<uint16_t>(kFoodWeight + Strength(colour)));
    }
}

void PaintWorld(const Simulation& simulation, WorldPicture& picture) {
    const Colony& colony = simulation.colony;
    PaintWorld(simulation.worldWidth, simulation.worldHeight,
               colony.showTrails ? &colony.trails : nullptr, colony.ants,
               simulation.foodField.foodCells, simulation.foodField.renderThreshold, picture);
}

uint32_t MapPixel(const WorldPicture& picture, const TerminalLayout& layout, int32_t i, int32_t j) {
    const int32_t pw = layout.worldPixelsX;
    const int32_t ph = layout.worldPixelsY;
    if (i <= 0 || j <= 0 || i > pw || j > ph || picture.width <= 0 || picture.height <= 0) {
        return kBorderColour & kRgbMask;
    }
    // The world cells this pixel stands for: [x0, x1) x [y0, y1), at least one.
    const int32_t px = i - 1;
    const int32_t py = j - 1;
    const int32_t w = picture.width;
    const int32_t h = picture.height;
    const int32_t x0 = px * w / pw;
    const int32_t x1 = std::max(x0 + 1, (px + 1) * w / pw);
    const int32_t y0 = py * h / ph;
    const int32_t y1 = std::max(y0 + 1, (py + 1) * h / ph);
    int32_t bestX = x0;
    int32_t bestY = y0;
    uint16_t best = picture.WeightAt(x0, y0);
    for (int32_t x = x0; x < x1; ++x) {
        for (int32_t y = y0; y < y1; ++y) {
            const uint16_t weight = picture.WeightAt(x, y);
            if (weight > best) {
                best = weight;
                bestX = x;
                bestY = y;
            }
        }
    }
    return picture.ColourAt(bestX, bestY);
}

void DrawMap(const WorldPicture& picture, const TerminalLayout& layout, ColourDepth depth,
             TermFrame& frame) {
    if (layout.tooSmall || layout.worldPixelsX <= 0 || layout.worldPixelsY <= 0) {
        return;
    }
    ColourConverter convert(depth);
    const TermColour ground = ToTermColour(kGroundColour & kRgbMask, depth);
    const int32_t pixelsX = layout.worldPixelsX + 2;
    const int32_t pixelsY = layout.worldPixelsY + 2;
    for (int32_t row = 0; row < layout.mapRows; ++row) {
        const int32_t top = row * layout.pixelsPerRow;
        for (int32_t i = 0; i < pixelsX; ++i) {
            TermCell cell;
            const TermColour upper = convert(MapPixel(picture, layout, i, top));
            if (layout.pixelsPerRow == 1) {
                // Two blank columns in the pixel's colour.
                cell.bg = upper;
                frame.Put(layout.mapCol + 2 * i, layout.mapRow + row, cell);
                frame.Put(layout.mapCol + 2 * i + 1, layout.mapRow + row, cell);
                continue;
            }
            if (top + 1 >= pixelsY) {
                cell.glyph = kUpperHalfBlock;  // the picture's last, unpaired row
                cell.fg = upper;
            } else {
                const TermColour lower = convert(MapPixel(picture, layout, i, top + 1));
                if (upper == lower) {
                    cell.bg = upper;
                } else if (upper == ground) {
                    // Ground in the background wherever a half shows it keeps
                    // the background colour steady across the map: fewer
                    // colour changes to send.
                    cell.glyph = kLowerHalfBlock;
                    cell.fg = lower;
                    cell.bg = upper;
                } else {
                    cell.glyph = kUpperHalfBlock;
                    cell.fg = upper;
                    cell.bg = lower;
                }
            }
            frame.Put(layout.mapCol + i, layout.mapRow + row, cell);
        }
    }
}
