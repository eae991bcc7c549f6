#include "environment/TrailMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

// Weight of a wall side or of a trail neighbour that leads no farther out:
// a small chance against real trail. Choosing a neighbour whose weight still
// equals it exactly is reported as a weak step.
constexpr float kSentinelWeight = 0.001f;

// Distance from (cx, cy) to the reference point: integer differences as
// floats, the root taken in double and firstKept as a float.
float DistanceTo(int32_t referenceX, int32_t referenceY, int32_t cx, int32_t cy) {
    const float dx = static_cast<float>(referenceX - cx);
    const float dy = static_cast<float>(referenceY - cy);
    return static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
}

}  // namespace

TrailMap::TrailMap(RandomSource& randomSource) : random(&randomSource) {
    renderThreshold = 200;
    SetSize(kGridSide, kGridSide);
}

void TrailMap::SetSize(int32_t newWidth, int32_t newHeight) {
    width = ClampWorldSide(newWidth);
    height = ClampWorldSide(newHeight);
    // The whole grid, not only the new region: a later, larger size then
    // finds no stale slots.
    std::fill(std::begin(indexGrid), std::end(indexGrid), -1);
    trailCells.Clear();
    liveCount = 0;
}

int32_t TrailMap::Deposit(int32_t x, int32_t y, int32_t amount, int32_t tag) {
    int32_t& entry = indexGrid[GridIndex(x, y)];
    if (entry == -1) {
        int32_t slot = 0;
        TrailCell* cell = trailCells.Add(slot);
        // Cannot happen: the list holds more cells than the largest world.
        if (cell == nullptr) return tag;
        cell->intensity = amount;
        cell->tag = tag;
        cell->x = x;
        cell->y = y;
        cell->slot = slot;
        entry = slot;
        liveSlots[liveCount++] = slot;  // the newest cell, as in the list
        return tag;
    }
    TrailCell& cell = trailCells.At(entry);
    cell.intensity += amount;
    return cell.tag;
}

int32_t TrailMap::IntensityAt(int32_t x, int32_t y) const {
    const int32_t slot = indexGrid[GridIndex(x, y)];
    return slot == -1 ? 0 : trailCells.At(slot).intensity;
}

void TrailMap::Evaporate() {
    // Newest first, as the list walks: removals must free their slots in
    // that order. Survivors are packed toward the end of the array as the
    // walk goes (the write position never passes the read position), then
    // moved down in one block.
    int32_t firstKept = liveCount;
    for (int32_t i = liveCount - 1; i >= 0; --i) {
        const int32_t slot = liveSlots[i];
        TrailCell& cell = trailCells.At(slot);
        const int32_t left = cell.intensity - 1;
        cell.intensity = left;
        liveSlots[firstKept - 1] = slot;  // harmless if the cell goes: that entry is rewritten or dropped
        if (left > 0) {
            --firstKept;
            continue;
        }
        indexGrid[GridIndex(cell.x, cell.y)] = -1;
        trailCells.Remove(slot);
    }
    const int32_t survivors = liveCount - firstKept;
    if (firstKept > 0) std::memmove(liveSlots, liveSlots + firstKept, sizeof(int32_t) * survivors);
    liveCount = survivors;
}

bool TrailMap::ChooseStep(int32_t x, int32_t y, int32_t referenceX, int32_t referenceY,
                          GridPoint& next, bool& weak) {
    weak = false;
    bool anyTrail = false;

    // Fixed order, which is also the order of the cumulative draw.
    const GridPoint neighbours[4] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    const bool outside[4] = {x - 1 < 0, x + 1 >= width, y - 1 < 0, y + 1 >= height};

    const float d0 = DistanceTo(referenceX, referenceY, x, y);
    float weights[4];
    for (int32_t i = 0; i < 4; ++i) {
        const GridPoint n = neighbours[i];
        const float distance = DistanceTo(referenceX, referenceY, n.x, n.y);
        weights[i] = kSentinelWeight;
        if (outside[i]) continue;
        const int32_t slot = indexGrid[GridIndex(n.x, n.y)];
        if (slot == -1) {
            weights[i] = 0.0f;
            continue;
        }
        anyTrail = true;
        // Only trail leading farther out counts; a step changes the distance
        // by at most one cell, so this weighs between 0 and the intensity.
        if (distance > d0) {
            weights[i] = static_cast<float>(trailCells.At(slot).intensity) * (distance - d0);
        }
    }

    const float total = weights[0] + weights[1] + weights[2] + weights[3];
    const float r = random->RandomUnit();

    // A total of 0 (no trail, no wall) fails every comparison and falls to N4
    // without raising weak; IEEE division keeps that well defined.
    int32_t chosen = 3;
    float cumulative = 0.0f;
    for (int32_t i = 0; i < 3; ++i) {
        cumulative += weights[i];
        if (cumulative / total > r) {
            chosen = i;
            break;
        }
    }
    next = neighbours[chosen];
    weak = (weights[chosen] == kSentinelWeight);
    return anyTrail;
}
