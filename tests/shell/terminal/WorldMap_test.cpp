// The world as the terminal draws it: the picture's layers, what a pixel
// shows when it stands for several world cells, and the half blocks.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "shell/terminal/TerminalFrame.h"
#include "shell/terminal/WorldMap.h"
#include "simulation/SceneColours.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;

struct World {
    World()
        : trails(std::make_unique<TrailMap>(random)),
          ants(std::make_unique<ListTemplate<Ant>>()),
          food(std::make_unique<ListTemplate<FoodCell>>()),
          picture(std::make_unique<WorldPicture>()) {}

    void Trail(int32_t x, int32_t y, int32_t intensity) { trails->Deposit(x, y, intensity, 0); }
    void AddAnt(int32_t x, int32_t y, int32_t role, bool carrying = false) {
        int32_t slot = 0;
        Ant* ant = ants->Add(slot);
        ant->pos = {x, y};
        ant->role = role;
        ant->wandererCarrying = carrying;
        ant->slot = slot;
    }
    void Food(int32_t x, int32_t y, int32_t turnsLeft) {
        int32_t slot = 0;
        FoodCell* cell = food->Add(slot);
        cell->x = x;
        cell->y = y;
        cell->turnsLeft = turnsLeft;
        cell->units = 1;
        cell->slot = slot;
    }
    void Paint(int32_t width, int32_t height, bool showTrails = true) {
        PaintWorld(width, height, showTrails ? trails.get() : nullptr, *ants, *food, 200, *picture);
    }

    RandomSource random;
    std::unique_ptr<TrailMap> trails;
    std::unique_ptr<ListTemplate<Ant>> ants;
    std::unique_ptr<ListTemplate<FoodCell>> food;
    std::unique_ptr<WorldPicture> picture;
};

// A layout of just a map at the top left.
TerminalLayout MapOnly(int32_t pixelsX, int32_t pixelsY, bool halfBlocks = true) {
    TerminalLayout l;
    l.tooSmall = false;
    l.pixelCols = halfBlocks ? 1 : 2;
    l.pixelsPerRow = halfBlocks ? 2 : 1;
    l.worldPixelsX = pixelsX;
    l.worldPixelsY = pixelsY;
    l.mapCols = (pixelsX + 2) * l.pixelCols;
    l.mapRows = (pixelsY + 2 + l.pixelsPerRow - 1) / l.pixelsPerRow;
    return l;
}

TermCell Cell(char32_t glyph, TermColour fg, TermColour bg) {
    TermCell cell;
    cell.glyph = glyph;
    cell.fg = glyph == U' ' ? kDefaultColour : fg;
    cell.bg = bg;
    return cell;
}

TEST(WorldPicture, LayersCoverEachOtherAsInTheScene) {
    World w;
    w.Trail(1, 1, 600);          // under an ant
    w.AddAnt(1, 1, Meandering);
    w.AddAnt(2, 2, Gathering);   // under food
    w.Food(2, 2, 500);
    w.Trail(3, 3, 5000);
    w.AddAnt(4, 4, Wandering, true);
    w.Food(5, 1, 100);           // fading
    w.Food(9, 1, 500);           // outside the 8 x 6 world: left out
    w.AddAnt(-1, 0, Meandering);
    w.Paint(8, 6);
    const WorldPicture& p = *w.picture;
    EXPECT_EQ(p.width, 8);
    EXPECT_EQ(p.height, 6);
    EXPECT_EQ(p.ColourAt(0, 0), kWhite);
    EXPECT_EQ(p.WeightAt(0, 0), kGroundWeight);
    EXPECT_EQ(p.ColourAt(1, 1), kRed);
    EXPECT_EQ(p.WeightAt(1, 1), kAntWeight);
    EXPECT_EQ(p.ColourAt(2, 2), kGreen);
    EXPECT_EQ(p.WeightAt(2, 2), kFoodWeight + 255);
    EXPECT_EQ(p.ColourAt(3, 3), kBlue);
    EXPECT_EQ(p.WeightAt(3, 3), kTrailWeight + 255);
    EXPECT_EQ(p.ColourAt(4, 4), kGreen) << "a wanderer with food shows its load";
    EXPECT_EQ(p.WeightAt(4, 4), kAntWeight);
    EXPECT_EQ(p.ColourAt(5, 1), 0x58FF58u) << "fading food, in the terminal's coarse steps";
    EXPECT_LT(p.WeightAt(5, 1), kFoodWeight + 255);

    w.Paint(8, 6, false);
    EXPECT_EQ(w.picture->ColourAt(3, 3), kWhite) << "hidden trails leave the ground";
    EXPECT_EQ(w.picture->ColourAt(1, 1), kRed);
}

TEST(WorldPicture, FadesInEightSteps) {
    struct Case {
        uint32_t colour;
        uint32_t coarse;
    };
    const Case cases[] = {
        {kTrailStrongColour, 0x0000FF},
        {TrailColour(0), 0xCFCFFF},     // the palest stays the palest
        {TrailColour(600), 0x5858FF},   // 103 to 88, the fourth of eight levels
        {0x0101FF, 0x0000FF},
        {0x0F0FFF, 0x1D1DFF},
        {FoodColour(100, 200), 0x58FF58},
        {kFoodFreshColour, 0x00FF00},
        {0x50CFCFFF, 0xCFCFFF},         // alpha dropped
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CoarseFade(c.colour), c.coarse) << std::hex << c.colour;
    }
    std::set<uint32_t> levels;
    for (int32_t intensity = -5; intensity <= 1300; ++intensity) {
        levels.insert(CoarseFade(TrailColour(intensity)));
    }
    EXPECT_EQ(levels.size(), static_cast<size_t>(kFadeSteps));
}

TEST(WorldMap, ASharedPixelShowsTheCellThatMattersMost) {
    World w;
    w.Trail(0, 0, 100);   // pale
    w.Trail(1, 1, 1500);  // strong: wins over the pale one
    w.AddAnt(2, 0, Meandering);
    w.Food(3, 1, 0);      // fully faded food still beats the ant
    w.Trail(4, 0, 5000);
    w.AddAnt(5, 1, ReturnToBase);  // an ant beats the strongest trail
    w.Paint(6, 2);
    const TerminalLayout l = MapOnly(3, 1);  // 2 x 2 world cells per pixel
    EXPECT_EQ(MapPixel(*w.picture, l, 1, 1), kBlue);
    EXPECT_EQ(MapPixel(*w.picture, l, 2, 1), FoodColour(0, 200) & 0xFFFFFF);  // palest: unchanged
    EXPECT_EQ(MapPixel(*w.picture, l, 3, 1), kAntYellow & 0xFFFFFF);
    // The border all round.
    for (int32_t i = 0; i <= 4; ++i) {
        EXPECT_EQ(MapPixel(*w.picture, l, i, 0), kBlue);
        EXPECT_EQ(MapPixel(*w.picture, l, i, 2), kBlue);
    }
    EXPECT_EQ(MapPixel(*w.picture, l, 0, 1), kBlue);
    EXPECT_EQ(MapPixel(*w.picture, l, 4, 1), kBlue);
}

TEST(WorldMap, MagnifiedCellsRepeatTheirColour) {
    World w;
    w.AddAnt(1, 0, Meandering);
    w.Paint(2, 2);
    const TerminalLayout l = MapOnly(6, 6);  // 3 x 3 pixels per world cell
    for (int32_t i = 1; i <= 6; ++i) {
        for (int32_t j = 1; j <= 6; ++j) {
            const uint32_t expected = i >= 4 && j <= 3 ? kRed : kWhite;
            EXPECT_EQ(MapPixel(*w.picture, l, i, j), expected) << i << "," << j;
        }
    }
}

TEST(WorldMap, HalfBlocksStackTwoPixelsWithTheGroundBehind) {
    World w;
    w.AddAnt(1, 0, Meandering);
    w.Food(0, 1, 500);
    w.Paint(2, 2);
    const TerminalLayout l = MapOnly(2, 2);
    TermFrame frame;
    frame.Resize(6, 3);
    DrawMap(*w.picture, l, ColourDepth::TrueColour, frame);
    // Pixel rows: border; border ground red border; border green ground border; border.
    const TermCell expected[2][4] = {
        {Cell(U' ', 0, kBlue), Cell(kUpperHalfBlock, kBlue, kWhite),
         Cell(kUpperHalfBlock, kBlue, kRed), Cell(U' ', 0, kBlue)},
        {Cell(U' ', 0, kBlue), Cell(kUpperHalfBlock, kGreen, kBlue),
         Cell(kLowerHalfBlock, kBlue, kWhite), Cell(U' ', 0, kBlue)},
    };
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(frame.At(x, y), expected[y][x]) << x << "," << y;
        }
    }
    EXPECT_EQ(frame.At(4, 0), TermCell{}) << "nothing beside the map";
    EXPECT_EQ(frame.At(0, 2), TermCell{}) << "nothing below the map";

    // At 8 colours the same cells in palette indices (blue 4, white 7).
    DrawMap(*w.picture, l, ColourDepth::Colours8, frame);
    EXPECT_EQ(frame.At(1, 0), Cell(kUpperHalfBlock, 4, 7));
    EXPECT_EQ(frame.At(2, 1), Cell(kLowerHalfBlock, 4, 7));
}

TEST(WorldMap, AnOddPixelRowEndsInUpperHalves) {
    World w;
    w.Paint(2, 1);
    const TerminalLayout l = MapOnly(2, 1);  // 3 pixel rows: the last stands alone
    TermFrame frame;
    frame.Resize(4, 2);
    DrawMap(*w.picture, l, ColourDepth::TrueColour, frame);
    EXPECT_EQ(frame.At(1, 0), Cell(kUpperHalfBlock, kBlue, kWhite));
    EXPECT_EQ(frame.At(1, 1), Cell(kUpperHalfBlock, kBlue, kDefaultColour));
}

TEST(WorldMap, WithoutHalfBlocksEachPixelIsTwoBlanks) {
    World w;
    w.AddAnt(0, 0, Meandering);
    w.Paint(1, 1);
    const TerminalLayout l = MapOnly(1, 1, false);
    TermFrame frame;
    frame.Resize(6, 3);
    DrawMap(*w.picture, l, ColourDepth::Colours256, frame);
    for (int32_t x = 0; x < 6; ++x) {
        for (int32_t y = 0; y < 3; ++y) {
            const bool ant = y == 1 && (x == 2 || x == 3);
            EXPECT_EQ(frame.At(x, y), Cell(U' ', 0, ant ? 196u : 21u)) << x << "," << y;
        }
    }
}

}  // namespace
