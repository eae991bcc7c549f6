#pragma once
// Where the map, the statistics and the key line go on a terminal of a given
// size.
//
// The map is the world seen from above with a one-pixel border, scaled to
// fit with square pixels: with half blocks a character cell holds two pixels
// stacked (character cells are about twice as tall as wide); without them a
// pixel is two blank columns on one row. The world is shown whole: a terminal
// smaller than the world puts several world cells into one pixel, a large one
// draws every world cell as a square of pixels.
//
// The key line is the last row. The statistics sit beside the map when that
// leaves the map as large as putting them below would, and below it
// otherwise; where neither leaves room for all fifteen lines the larger map
// wins and the statistics are cut. The bottom-right cell stays blank: writing
// it makes some terminals scroll.
#include <cstdint>

constexpr int32_t kMinTerminalCols = 40;
constexpr int32_t kMinTerminalRows = 12;
// The statistics block's width: its longest line with ordinary values.
constexpr int32_t kStatisticsWidth = 29;
constexpr int32_t kStatisticsGap = 2;   // columns between the map and the statistics beside it
constexpr int32_t kStatisticsLines = 15;

struct TerminalLayout {
    int32_t cols = 0;
    int32_t rows = 0;
    bool tooSmall = true;  // below 40 x 12: one line of message instead of the view

    // The map, border included, from (mapCol, mapRow).
    int32_t mapCol = 0;
    int32_t mapRow = 0;
    int32_t pixelCols = 1;     // terminal columns per pixel
    int32_t pixelsPerRow = 2;  // pixels per terminal row
    int32_t worldPixelsX = 0;  // pixels the world spans, border excluded
    int32_t worldPixelsY = 0;
    int32_t mapCols = 0;       // cells the map covers, border included
    int32_t mapRows = 0;

    bool statisticsBeside = true;
    int32_t statsCol = 0;
    int32_t statsRow = 0;
    int32_t statsWidth = 0;
    int32_t statsLines = 0;  // how many of the fifteen lines fit

    int32_t keyRow = 0;
    int32_t keyWidth = 0;  // the key line stops short of the last column
};

// halfBlocks: the terminal can show the half-block characters (a UTF-8
// locale). World sizes below 1 count as 1.
TerminalLayout ComputeLayout(int32_t cols, int32_t rows, int32_t worldWidth, int32_t worldHeight,
                             bool halfBlocks);
