// Where the map, the statistics and the key line go, over the sizes a
// terminal can have.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "shell/terminal/TerminalLayout.h"

namespace {

std::string Size(int32_t cols, int32_t rows) {
    return std::to_string(cols) + " x " + std::to_string(rows);
}

TEST(TerminalLayout, BelowFortyByTwelveOnlyTheMessage) {
    EXPECT_TRUE(ComputeLayout(39, 12, 128, 128, true).tooSmall);
    EXPECT_TRUE(ComputeLayout(40, 11, 128, 128, true).tooSmall);
    EXPECT_TRUE(ComputeLayout(0, 0, 128, 128, true).tooSmall);
    EXPECT_TRUE(ComputeLayout(-3, 50, 128, 128, true).tooSmall);
    EXPECT_FALSE(ComputeLayout(40, 12, 128, 128, true).tooSmall);
}

TEST(TerminalLayout, TypicalTerminals) {
    struct Case {
        int32_t cols;
        int32_t rows;
        bool beside;
        int32_t pixelsX;  // the world's pixels, border excluded
        int32_t pixelsY;
        int32_t statsLines;
    };
    const Case cases[] = {
        {80, 24, true, 44, 44, 15},     // the classic terminal: map 46 x 23 cells
        {200, 60, true, 116, 116, 15},  // the benchmark's terminal
        {300, 80, true, 128, 128, 15},  // one pixel per world cell
        {400, 140, true, 256, 256, 15}, // every world cell a square of 2 x 2 pixels
        {60, 50, false, 58, 58, 15},    // narrow and tall: statistics below
        {80, 50, false, 66, 66, 15},    // below leaves the larger map
        {40, 12, true, 7, 7, 11},       // the smallest: map first, statistics cut
        {200, 14, true, 24, 24, 13},    // wide and short
    };
    for (const Case& c : cases) {
        const TerminalLayout l = ComputeLayout(c.cols, c.rows, 128, 128, true);
        const std::string size = Size(c.cols, c.rows);
        EXPECT_EQ(l.statisticsBeside, c.beside) << size;
        EXPECT_EQ(l.worldPixelsX, c.pixelsX) << size;
        EXPECT_EQ(l.worldPixelsY, c.pixelsY) << size;
        EXPECT_EQ(l.statsLines, c.statsLines) << size;
    }
}

TEST(TerminalLayout, EverySizeKeepsItsPartsApartAndInside) {
    for (bool halfBlocks : {true, false}) {
        for (int32_t worldHeight : {128, 64, 20}) {
            for (int32_t cols = kMinTerminalCols; cols <= 260; cols += 7) {
                for (int32_t rows = kMinTerminalRows; rows <= 90; rows += 5) {
                    const TerminalLayout l = ComputeLayout(cols, rows, 128, worldHeight, halfBlocks);
                    const std::string size = Size(cols, rows) + (halfBlocks ? "" : " (blocks)") +
                                             " world 128 x " + std::to_string(worldHeight);
                    ASSERT_FALSE(l.tooSmall) << size;
                    // The map: inside, above the key line, pixels of whole cells.
                    EXPECT_GE(l.worldPixelsX, 1) << size;
                    EXPECT_GE(l.worldPixelsY, 1) << size;
                    EXPECT_LE(l.mapCol + l.mapCols, cols) << size;
                    EXPECT_LE(l.mapRow + l.mapRows, rows - 1) << size;
                    EXPECT_EQ(l.mapCols, (l.worldPixelsX + 2) * l.pixelCols) << size;
                    EXPECT_EQ(l.mapRows * l.pixelsPerRow >= l.worldPixelsY + 2, true) << size;
                    // Square pixels: the world's shape within a pixel's rounding.
                    const double shape = static_cast<double>(l.worldPixelsX) * worldHeight -
                                         static_cast<double>(l.worldPixelsY) * 128;
                    EXPECT_LE(std::abs(shape), 128.0) << size;
                    // The statistics: beside or below, never on the map or the key line.
                    if (l.statisticsBeside) {
                        EXPECT_GE(l.statsCol, l.mapCol + l.mapCols + 1) << size;
                    } else {
                        EXPECT_GE(l.statsRow, l.mapRow + l.mapRows) << size;
                    }
                    EXPECT_LE(l.statsRow + l.statsLines, rows - 1) << size;
                    EXPECT_GE(l.statsLines, 1) << size;
                    EXPECT_LE(l.statsCol + l.statsWidth, cols) << size;
                    // The key line: the last row, short of the last column.
                    EXPECT_EQ(l.keyRow, rows - 1) << size;
                    EXPECT_EQ(l.keyWidth, cols - 1) << size;
                }
            }
        }
    }
}

TEST(TerminalLayout, WithoutHalfBlocksAPixelIsTwoColumnsOnOneRow) {
    const TerminalLayout l = ComputeLayout(200, 60, 128, 128, false);
    EXPECT_EQ(l.pixelCols, 2);
    EXPECT_EQ(l.pixelsPerRow, 1);
    EXPECT_EQ(l.worldPixelsY, 57);  // 59 rows less the border
    EXPECT_EQ(l.mapCols, 2 * 59);
    EXPECT_EQ(l.mapRows, 59);
}

TEST(TerminalLayout, SmallWorldsAreMagnifiedWhole) {
    // A 40 x 30 world on 200 x 60: 3 pixels per world cell (90 of 116 rows).
    const TerminalLayout l = ComputeLayout(200, 60, 40, 30, true);
    EXPECT_EQ(l.worldPixelsX, 120);
    EXPECT_EQ(l.worldPixelsY, 90);
    // A world of nothing is drawn as one cell.
    EXPECT_EQ(ComputeLayout(80, 24, 0, -4, true).worldPixelsX, 44);
}

}  // namespace
