#include "environment/TrailMap.h"

#include <algorithm>
#include <climits>
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
    // The float root equals the double root rounded to float: a double holds
    // more than twice a float's precision, so rounding twice cannot differ.
    return std::sqrt(dx * dx + dy * dy);
}

// The cell next to the nest only ever grows: at the dialogs' strongest trails
// it gains some 26 units a step and would pass the int32 range within a long
// run (undefined behaviour, and a wrapped cell would turn negative and
// vanish). Deposits saturate at the type's limits instead; one unit short of
// the lowest, so that evaporation can always subtract its unit. Everything
// within the range adds exactly as before.
constexpr int64_t kLowestIntensity = static_cast<int64_t>(INT32_MIN) + 1;
constexpr int64_t kHighestIntensity = INT32_MAX;
int32_t SaturatedIntensity(int64_t value) {
    return static_cast<int32_t>(std::clamp(value, kLowestIntensity, kHighestIntensity));
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
    liveBegin = 0;
    liveEnd = 0;
}

int32_t TrailMap::Deposit(int32_t x, int32_t y, int32_t amount, int32_t tag) {
    int32_t& entry = indexGrid[GridIndex(x, y)];
    if (entry == -1) {
        int32_t slot = 0;
        TrailCell* cell = trailCells.Add(slot);
        // Cannot happen: the list holds more cells than the largest world.
        if (cell == nullptr) return tag;
        cell->intensity = SaturatedIntensity(amount);
        cell->tag = tag;
        cell->x = x;
        cell->y = y;
        cell->slot = slot;
        entry = slot;
        if (liveEnd == kLiveCapacity) {
            const int32_t live = liveEnd - liveBegin;
            std::memmove(liveCells, liveCells + liveBegin, sizeof(uint32_t) * live);
            liveEnd = live;
            liveBegin = 0;
        }
        // The newest cell, as in the list.
        liveCells[liveEnd++] = static_cast<uint32_t>(slot) * sizeof(TrailCell);
        return tag;
    }
    TrailCell& cell = trailCells.At(entry);
    cell.intensity = SaturatedIntensity(static_cast<int64_t>(cell.intensity) + amount);
    return cell.tag;
}

int32_t TrailMap::IntensityAt(int32_t x, int32_t y) const {
    const int32_t slot = indexGrid[GridIndex(x, y)];
    return slot == -1 ? 0 : trailCells.At(slot).intensity;
}

void TrailMap::Evaporate() {
    // Newest first, as the list walks: removals must free their slots in
    // that order. Survivors are packed against the end of the live part as
    // the walk goes; the write position never passes the read position, and
    // a removed cell's entry is overwritten by the next survivor or left
    // below the new beginning.
    // Byte offsets make each record's address a single addition, and the
    // rare removal is marked unlikely so that the common path runs straight.
    char* const storage = reinterpret_cast<char*>(&trailCells.At(0));
    uint32_t* const first = liveCells + liveBegin;
    uint32_t* read = liveCells + liveEnd;
    uint32_t* write = read;
    while (read != first) {
        const uint32_t offset = *--read;
        TrailCell& cell = *reinterpret_cast<TrailCell*>(storage + offset);
        const int32_t left = cell.intensity - 1;
        cell.intensity = left;
        *--write = offset;
        write += left <= 0;  // a spent cell's entry is overwritten or left below
        if (__builtin_expect(left <= 0, 0)) {
            indexGrid[GridIndex(cell.x, cell.y)] = -1;
            trailCells.Remove(cell.slot);
        }
    }
    liveBegin = static_cast<int32_t>(write - liveCells);
}

bool TrailMap::ChooseStep(int32_t x, int32_t y, int32_t referenceX, int32_t referenceY,
                          GridPoint& next, bool& weak) {
    weak = false;
    bool anyTrail = false;

    // Fixed order, which is also the order of the cumulative draw.
    const GridPoint neighbours[4] = {{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}};
    const bool outside[4] = {x - 1 < 0, x + 1 >= width, y - 1 < 0, y + 1 >= height};

    // Which neighbours carry trail, and how far out they lead, is what the
    // ant is looking for: each varies from call to call, so the weights and
    // the draw are computed with selects rather than branches.
    const float d0 = DistanceTo(referenceX, referenceY, x, y);
    float weights[4];
    for (int32_t i = 0; i < 4; ++i) {
        const GridPoint n = neighbours[i];
        const float distance = DistanceTo(referenceX, referenceY, n.x, n.y);
        // An outside neighbour reads the grid at (x, y) instead, never beyond it.
        const int32_t slot = indexGrid[outside[i] ? GridIndex(x, y) : GridIndex(n.x, n.y)];
        const int32_t wall = outside[i];
        const int32_t trail = (1 - wall) & (slot != -1);
        anyTrail |= trail != 0;
        const int32_t intensity = trailCells.At(trail * slot).intensity;
        // Only trail leading farther out counts; a step changes the distance
        // by at most one cell, so this weighs between 0 and the intensity.
        // The weight is picked by index (a plain select compiles back into
        // branches): 0 no trail, 1 the sentinel (a wall, or trail that leads
        // no farther out), 2 the outward trail's weight.
        const float candidates[3] = {0.0f, kSentinelWeight,
                                     static_cast<float>(intensity) * (distance - d0)};
        const int32_t pick = wall + trail * (1 + (distance > d0));
        weights[i] = candidates[pick];
    }

    const float total = weights[0] + weights[1] + weights[2] + weights[3];
    const float r = random->RandomUnit();

    // The first neighbour whose cumulative share exceeds r. A total of 0 (no
    // trail, no wall) fails every comparison and falls to N4 without raising
    // weak; IEEE division keeps that well defined.
    const float cumulative0 = 0.0f + weights[0];
    const float cumulative1 = cumulative0 + weights[1];
    const float cumulative2 = cumulative1 + weights[2];
    int32_t chosen = 3;
    chosen = cumulative2 / total > r ? 2 : chosen;
    chosen = cumulative1 / total > r ? 1 : chosen;
    chosen = cumulative0 / total > r ? 0 : chosen;
    next = neighbours[chosen];
    weak = (weights[chosen] == kSentinelWeight);
    return anyTrail;
}
