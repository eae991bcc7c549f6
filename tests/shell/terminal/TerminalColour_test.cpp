// Colour depth and the nearest terminal colour to a colour of the world.
#include <gtest/gtest.h>

#include "shell/terminal/TerminalColour.h"
#include "simulation/SceneColours.h"

namespace {

TEST(TerminalColour, DepthFollowsColortermThenTheColourCount) {
    struct Case {
        const char* colorterm;
        int32_t colours;
        ColourDepth depth;
    };
    const Case cases[] = {
        {"truecolor", 8, ColourDepth::TrueColour},
        {"24bit", 256, ColourDepth::TrueColour},
        {"TRUECOLOR", 256, ColourDepth::Colours256},  // the variable's values are lower case
        {"yes", 256, ColourDepth::Colours256},
        {"", 256, ColourDepth::Colours256},
        {nullptr, 256, ColourDepth::Colours256},
        {nullptr, 16777216, ColourDepth::Colours256},
        {nullptr, 88, ColourDepth::Colours8},
        {nullptr, 16, ColourDepth::Colours8},
        {nullptr, 8, ColourDepth::Colours8},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChooseColourDepth(c.colorterm, c.colours), c.depth)
            << (c.colorterm ? c.colorterm : "(unset)") << " " << c.colours;
    }
}

TEST(TerminalColour, TheWorldsColoursInThePalettes) {
    struct Case {
        const char* what;
        uint32_t rgb;
        int32_t palette256;
        int32_t ansi8;
    };
    const Case cases[] = {
        {"ground", kGroundColour, 231, 7},        // alpha ignored
        {"border, strong trail", kBorderColour, 21, 4},
        {"fresh food", kFoodFreshColour, 46, 2},
        {"red ant", kAntRed, 196, 1},
        {"gathering ant", kAntYellow, 227, 3},
        {"wandering ant", kAntPurple, 96, 1},     // (128, 50, 125): red is nearest of eight
        {"returning ant's dark half", kAntBlack, 16, 0},
        {"palest trail", TrailColour(0), 189, 7}, // (207, 207, 255)
        {"half-faded trail", TrailColour(600), 63, 4},  // (103, 103, 255) to (95, 95, 255)
        {"overlay grey", 0x707070, 242, 0},
        {"near black", 0x040404, 16, 0},
        {"near white grey", 0xEEEEEE, 255, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Nearest256(c.rgb), c.palette256) << c.what;
        EXPECT_EQ(Nearest8(c.rgb), c.ansi8) << c.what;
    }
}

TEST(TerminalColour, EveryPaletteColourMapsToItself) {
    const int32_t levels[6] = {0, 95, 135, 175, 215, 255};
    for (int32_t r = 0; r < 6; ++r) {
        for (int32_t g = 0; g < 6; ++g) {
            for (int32_t b = 0; b < 6; ++b) {
                const uint32_t rgb = (static_cast<uint32_t>(levels[r]) << 16) |
                                     (static_cast<uint32_t>(levels[g]) << 8) |
                                     static_cast<uint32_t>(levels[b]);
                EXPECT_EQ(Nearest256(rgb), 16 + 36 * r + 6 * g + b) << std::hex << rgb;
            }
        }
    }
    for (int32_t i = 0; i < 24; ++i) {
        const uint32_t v = static_cast<uint32_t>(8 + 10 * i);
        EXPECT_EQ(Nearest256((v << 16) | (v << 8) | v), 232 + i) << v;
    }
    for (int32_t i = 0; i < 8; ++i) {
        const uint32_t rgb = ((i & 1) ? 0xFF0000u : 0) | ((i & 2) ? 0xFF00u : 0) | ((i & 4) ? 0xFFu : 0);
        EXPECT_EQ(Nearest8(rgb), i);
    }
}

TEST(TerminalColour, ConversionByDepth) {
    EXPECT_EQ(ToTermColour(0x50F4F16C, ColourDepth::TrueColour), 0xF4F16Cu);
    EXPECT_EQ(ToTermColour(0x50F4F16C, ColourDepth::Colours256), 227u);
    EXPECT_EQ(ToTermColour(0x50F4F16C, ColourDepth::Colours8), 3u);
}

}  // namespace
