#pragma once
#include <cstdint>

// A cell of the world: x runs over the width, y over the height.
struct GridPoint {
    int32_t x = 0;
    int32_t y = 0;
};

inline bool operator==(GridPoint a, GridPoint b) { return a.x == b.x && a.y == b.y; }
inline bool operator!=(GridPoint a, GridPoint b) { return !(a == b); }

// Every per-cell grid has room for the largest world whatever the current
// size, and is indexed x * kGridSide + y.
constexpr int32_t kGridSide = 128;
constexpr int32_t kGridCells = kGridSide * kGridSide;
inline int32_t GridIndex(int32_t x, int32_t y) { return x * kGridSide + y; }

// World sizes are kept within 1 .. kGridSide so no grid is indexed outside
// its capacity, whatever a caller (dialog, command line) asks for.
inline int32_t ClampWorldSide(int32_t side) {
    return side < 1 ? 1 : (side > kGridSide ? kGridSide : side);
}
