#include "shell/terminal/TerminalColour.h"

#include <cstring>

namespace {

// The channel levels of xterm's 6 x 6 x 6 colour cube.
constexpr int32_t kCubeLevels[6] = {0, 95, 135, 175, 215, 255};
constexpr int32_t kCubeFirst = 16;
constexpr int32_t kGreyFirst = 232;  // grey i is 8 + 10 i, i = 0 .. 23
constexpr int32_t kGreyCount = 24;

int32_t Red(uint32_t rgb) { return static_cast<int32_t>((rgb >> 16) & 0xFFu); }
int32_t Green(uint32_t rgb) { return static_cast<int32_t>((rgb >> 8) & 0xFFu); }
int32_t Blue(uint32_t rgb) { return static_cast<int32_t>(rgb & 0xFFu); }

int32_t Distance(int32_t r, int32_t g, int32_t b, int32_t r2, int32_t g2, int32_t b2) {
    return (r - r2) * (r - r2) + (g - g2) * (g - g2) + (b - b2) * (b - b2);
}

// The cube level nearest to a channel value.
int32_t NearestLevel(int32_t value) {
    int32_t best = 0;
    for (int32_t i = 1; i < 6; ++i) {
        const int32_t d = value - kCubeLevels[i];
        const int32_t bestD = value - kCubeLevels[best];
        if (d * d < bestD * bestD) {
            best = i;
        }
    }
    return best;
}

}  // namespace

ColourDepth ChooseColourDepth(const char* colorterm, int32_t colours) {
    if (colorterm != nullptr &&
        (std::strcmp(colorterm, "truecolor") == 0 || std::strcmp(colorterm, "24bit") == 0)) {
        return ColourDepth::TrueColour;
    }
    return colours >= 256 ? ColourDepth::Colours256 : ColourDepth::Colours8;
}

int32_t Nearest256(uint32_t rgb) {
    const int32_t r = Red(rgb);
    const int32_t g = Green(rgb);
    const int32_t b = Blue(rgb);
    // The cube's nearest is found per channel; the grey ramp's from the mean.
    const int32_t ri = NearestLevel(r);
    const int32_t gi = NearestLevel(g);
    const int32_t bi = NearestLevel(b);
    const int32_t cubeDistance =
        Distance(r, g, b, kCubeLevels[ri], kCubeLevels[gi], kCubeLevels[bi]);
    const int32_t mean = (r + g + b) / 3;
    int32_t grey = (mean - 8 + 5) / 10;
    grey = grey < 0 ? 0 : (grey >= kGreyCount ? kGreyCount - 1 : grey);
    const int32_t level = 8 + 10 * grey;
    const int32_t greyDistance = Distance(r, g, b, level, level, level);
    if (greyDistance < cubeDistance) {
        return kGreyFirst + grey;
    }
    return kCubeFirst + 36 * ri + 6 * gi + bi;
}

int32_t Nearest8(uint32_t rgb) {
    const int32_t r = Red(rgb);
    const int32_t g = Green(rgb);
    const int32_t b = Blue(rgb);
    int32_t best = 0;
    int32_t bestDistance = 0;
    for (int32_t i = 0; i < 8; ++i) {
        // ANSI order: bit 0 red, bit 1 green, bit 2 blue.
        const int32_t d = Distance(r, g, b, (i & 1) ? 255 : 0, (i & 2) ? 255 : 0, (i & 4) ? 255 : 0);
        if (i == 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

TermColour ToTermColour(uint32_t rgb, ColourDepth depth) {
    switch (depth) {
        case ColourDepth::TrueColour:
            return rgb & 0xFFFFFFu;
        case ColourDepth::Colours256:
            return static_cast<TermColour>(Nearest256(rgb));
        case ColourDepth::Colours8:
        default:
            return static_cast<TermColour>(Nearest8(rgb));
    }
}
