#pragma once
// Colours on a terminal: how many it can show, and the nearest one it has to
// a colour of the world.
//
// A terminal colour (TermColour) is either the terminal's own default or a
// value for the depth in use: 0xRRGGBB at 24 bits, an xterm palette index
// (0 .. 255) at 256 colours, an ANSI index (0 .. 7) at 8.
#include <cstdint>

enum class ColourDepth : int32_t {
    Colours8,
    Colours256,
    TrueColour,
};

using TermColour = uint32_t;
constexpr TermColour kDefaultColour = 0xFFFFFFFFu;

// The depth to draw with. colorterm is the COLORTERM variable (null when
// unset): "truecolor" or "24bit" promise 24-bit colour whatever the terminal
// type says. Otherwise colours is the terminal type's colour count: 256 or
// more gives the palette, anything below gives the eight ANSI colours (the
// caller refuses terminals with fewer than eight).
ColourDepth ChooseColourDepth(const char* colorterm, int32_t colours);

// The nearest palette entry to an RGB colour (0xRRGGBB; higher bits are
// ignored), by squared distance. The 256-colour palette is searched in its
// 6 x 6 x 6 cube (16 .. 231) and its grey ramp (232 .. 255); its first sixteen
// entries are left out because terminals change them with their themes.
int32_t Nearest256(uint32_t rgb);
// The eight ANSI colours as the standard defines them (each channel 0 or 255).
int32_t Nearest8(uint32_t rgb);

// An RGB colour (0xRRGGBB, higher bits ignored) at the given depth.
TermColour ToTermColour(uint32_t rgb, ColourDepth depth);
