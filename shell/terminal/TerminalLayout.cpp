#include "shell/terminal/TerminalLayout.h"

#include <algorithm>

namespace {

// The smallest map worth placing the statistics beside, in columns, and the
// fewest map rows left when they go below.
constexpr int32_t kMinBesideMapCols = 8;
constexpr int32_t kMinBelowMapRows = 3;

struct MapFit {
    int32_t pixelsX = 0;  // world pixels, border excluded; 0: does not fit
    int32_t pixelsY = 0;
    bool Fits() const { return pixelsX > 0 && pixelsY > 0; }
    int64_t Area() const { return static_cast<int64_t>(pixelsX) * pixelsY; }
};

// The largest world picture with square pixels that fits, with its border,
// into cols x rows cells. Whole multiples of the world's size where there is
// room for them, so that every world cell gets the same square.
MapFit FitWorld(int32_t cols, int32_t rows, int32_t w, int32_t h, int32_t pixelCols,
                int32_t pixelsPerRow) {
    const int32_t maxX = cols / pixelCols - 2;
    const int32_t maxY = rows * pixelsPerRow - 2;
    MapFit fit;
    if (maxX < 1 || maxY < 1) {
        return fit;
    }
    const int32_t zoom = std::min(maxX / w, maxY / h);
    if (zoom >= 1) {
        fit.pixelsX = w * zoom;
        fit.pixelsY = h * zoom;
    } else if (static_cast<int64_t>(w) * maxY <= static_cast<int64_t>(h) * maxX) {
        fit.pixelsY = maxY;  // the height decides
        fit.pixelsX = std::clamp((w * maxY + h / 2) / h, 1, maxX);
    } else {
        fit.pixelsX = maxX;
        fit.pixelsY = std::clamp((h * maxX + w / 2) / w, 1, maxY);
    }
    return fit;
}

void PlaceMap(TerminalLayout& layout, const MapFit& fit) {
    layout.worldPixelsX = fit.pixelsX;
    layout.worldPixelsY = fit.pixelsY;
    layout.mapCols = (fit.pixelsX + 2) * layout.pixelCols;
    layout.mapRows = (fit.pixelsY + 2 + layout.pixelsPerRow - 1) / layout.pixelsPerRow;
}

}  // namespace

TerminalLayout ComputeLayout(int32_t cols, int32_t rows, int32_t worldWidth, int32_t worldHeight,
                             bool halfBlocks) {
    TerminalLayout layout;
    layout.cols = cols;
    layout.rows = rows;
    layout.tooSmall = cols < kMinTerminalCols || rows < kMinTerminalRows;
    if (layout.tooSmall) {
        return layout;
    }
    const int32_t w = std::max(worldWidth, 1);
    const int32_t h = std::max(worldHeight, 1);
    layout.pixelCols = halfBlocks ? 1 : 2;
    layout.pixelsPerRow = halfBlocks ? 2 : 1;
    layout.keyRow = rows - 1;
    layout.keyWidth = cols - 1;
    const int32_t available = rows - 1;

    // Beside: the map keeps the full height.
    const int32_t besideCols = cols - kStatisticsGap - kStatisticsWidth;
    MapFit beside;
    if (besideCols >= kMinBesideMapCols) {
        beside = FitWorld(besideCols, available, w, h, layout.pixelCols, layout.pixelsPerRow);
    }
    const bool besideWhole = beside.Fits() && available >= kStatisticsLines;
    // Below: the map keeps the full width.
    const int32_t belowLines =
        std::max(0, std::min(kStatisticsLines, available - kMinBelowMapRows));
    const MapFit below =
        FitWorld(cols, available - belowLines, w, h, layout.pixelCols, layout.pixelsPerRow);
    const bool belowWhole = below.Fits() && belowLines == kStatisticsLines;

    bool useBeside = false;
    if (besideWhole && (!belowWhole || beside.Area() >= below.Area())) {
        useBeside = true;
    } else if (belowWhole) {
        useBeside = false;
    } else {
        useBeside = beside.Fits() && beside.Area() >= below.Area();
    }

    layout.statisticsBeside = useBeside;
    if (useBeside) {
        PlaceMap(layout, beside);
        layout.statsCol = layout.mapCols + kStatisticsGap;
        layout.statsRow = 0;
        layout.statsWidth = cols - layout.statsCol;
        layout.statsLines = std::min(kStatisticsLines, available);
    } else {
        PlaceMap(layout, below);
        layout.statsCol = 0;
        layout.statsRow = layout.mapRows;
        layout.statsWidth = cols;
        layout.statsLines = std::max(0, std::min(kStatisticsLines, available - layout.mapRows));
    }
    return layout;
}
