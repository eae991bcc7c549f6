// The gatherers' food search: twenty random probes around an ant, and the
// test that lets a search with no food in reach skip them.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "environment/FoodField.h"

namespace {

constexpr int32_t kProbes = 20;

// The probe angle for an angle draw, in the probe's own float arithmetic.
float ProbeAngle(int32_t angleDraw) {
    return static_cast<float>(angleDraw) * 6.2831855f / 32767.0f;
}

}  // namespace

const FoodField::ProbeDirection* FoodField::ProbeDirections() {
    struct Table {
        ProbeDirection direction[RandomSource::kMax + 1];
        Table() {
            for (int32_t v = 0; v <= RandomSource::kMax; ++v) {
                const double angle = ProbeAngle(v);
                direction[v] = ProbeDirection{std::cos(angle), std::sin(angle)};
            }
        }
    };
    static const Table table;  // made once, by whichever thread comes first
    return table.direction;
}

GridPoint FoodField::ProbeOffset(int32_t angleDraw, int32_t distanceDraw, int32_t radius) const {
    // The product is an integer; 64 bits keep a huge radius from overflowing.
    const int64_t product = static_cast<int64_t>(radius) * distanceDraw;
    const float distance = static_cast<float>(product) / 32767.0f;
    const ProbeDirection& direction = probeDirections[angleDraw];
    return GridPoint{GeometryUtil::RoundDouble(direction.cosine * distance),
                     GeometryUtil::RoundDouble(direction.sine * distance)};
}

bool FoodField::AnyFoodIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width - 1);
    y1 = std::min(y1, height - 1);
    if (x0 > x1 || y0 > y1) return false;
    // Bits y0 .. y1 of the 128-bit row, then split into its two halves:
    // 2^(y1 + 1) - 2^y0, modulo 2^128 (so y1 = 127 needs no case of its own;
    // where the reach meets the halves' border varies from search to search,
    // and this has no branch on it).
    using RowBits = unsigned __int128;
    const RowBits reach = (RowBits{2} << y1) - (RowBits{1} << y0);
    const uint64_t low = static_cast<uint64_t>(reach);
    const uint64_t high = static_cast<uint64_t>(reach >> 64);
    // The rows x0 .. x1 as two overlapping runs of 2^k rows from one level
    // (k the largest with 2^k rows at most as many as asked, up to the top
    // level); only a reach wider than twice the top level's run walks the
    // runs in between.
    const int32_t rows = x1 - x0 + 1;
    const int32_t k = std::min(31 - __builtin_clz(static_cast<uint32_t>(rows)), kReachLevels);
    const int32_t span = 1 << k;
    const FoodRow* level = foodBits[k];
    const FoodRow& first = level[x0];
    const FoodRow& last = level[x1 - span + 1];
    uint64_t found = ((first.low | last.low) & low) | ((first.high | last.high) & high);
    for (int32_t x = x0 + span; x < x1 - span + 1; x += span) {
        found |= (level[x].low & low) | (level[x].high & high);
    }
    return found != 0;
}

bool FoodField::FindFoodNear(int32_t x, int32_t y, int32_t radius, GridPoint& point) {
    // Every probe lands within the radius in both axes. With no food there the
    // probes cannot succeed: skip their arithmetic but keep their draws. The
    // reach is clamped to just beyond the grid (in 64 bits, so no radius or
    // centre overflows), which keeps a far centre with a long reach in view.
    const int64_t reach = std::llabs(static_cast<int64_t>(radius));
    auto clampToGrid = [](int64_t v) {
        return static_cast<int32_t>(std::clamp<int64_t>(v, -1, kGridSide));
    };
    if (!AnyFoodIn(clampToGrid(x - reach), clampToGrid(y - reach), clampToGrid(x + reach),
                   clampToGrid(y + reach))) {
        random->Discard(2 * kProbes);
        return false;
    }
    // The probes' draws are read ahead rather than drawn one after another:
    // each draw would otherwise wait for the one before it, and the twenty
    // probes can be worked on side by side. Only the draws of the probes
    // made are then taken from the generator.
    static_assert(2 * kProbes <= RandomSource::kMaxAhead, "a search reads its draws ahead");
    for (int32_t probe = 0; probe < kProbes; ++probe) {
        // Angle first, then distance: the draw order is part of a run's identity.
        const int32_t angleDraw = random->Ahead(2 * probe + 1);
        const GridPoint offset = ProbeOffset(angleDraw, random->Ahead(2 * probe + 2), radius);
        const int32_t px = x + offset.x;
        const int32_t py = y + offset.y;
        if (HasFood(px, py)) {
            random->Discard(2 * probe + 2);
            point = GridPoint{px, py};
            return true;
        }
    }
    random->Discard(2 * kProbes);
    return false;
}
