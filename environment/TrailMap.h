#pragma once
// TrailMap: the colony's pheromone layer. A sparse set of trail cells with an
// integer intensity that ants raise (or lower) and that evaporates by one unit
// per colony step.
//
// Invariants: indexGrid at a cell is -1 exactly when no TrailCell names it; at
// most one TrailCell per cell. Intensity may be 0 or negative between a
// negative deposit and the next Evaporate, which then removes the cell.
// Mutation runs on the simulation thread under the simulation's state lock.
// Large object (about 1.7 MB): it lives inside the colony, on the heap.
#include <cstdint>

#include "foundation/ListTemplate.h"
#include "foundation/GridPoint.h"
#include "foundation/RandomSource.h"

// 20 bytes.
struct TrailCell {
    int32_t intensity = 0;
    int32_t tag = 0;  // set by the deposit that created the cell, never changed
    int32_t x = 0;
    int32_t y = 0;
    int32_t slot = 0;
};

class TrailMap {
public:
    // ChooseStep draws from random, which must outlive the map.
    explicit TrailMap(RandomSource& random);
    TrailMap(const TrailMap&) = delete;
    TrailMap& operator=(const TrailMap&) = delete;

    void SetSize(int32_t newWidth, int32_t newHeight);  // clamped to 1..128; empties the map
    // (x, y) must lie inside the world. Returns the tag stored in the cell.
    // The intensity saturates at INT32_MAX and at INT32_MIN + 1.
    int32_t Deposit(int32_t x, int32_t y, int32_t amount, int32_t tag);
    // (x, y) must lie inside the world. 0 when the cell has no trail.
    int32_t IntensityAt(int32_t x, int32_t y) const;
    void Evaporate();
    // Picks the next cell of an ant at (x, y) following trail away from
    // (referenceX, referenceY). False when no in-world neighbour has trail.
    bool ChooseStep(int32_t x, int32_t y, int32_t referenceX, int32_t referenceY,
                    GridPoint& next, bool& weak);

    // Fields in declaration order.
    int32_t renderThreshold = 200;  // "Trail Dithering (for Rendering)"; read by the scene
    int32_t height = 128;
    int32_t width = 128;
    ListTemplate<TrailCell> trailCells;
    int32_t indexGrid[kGridCells];  // -1 or the slot of the cell's TrailCell

private:
    RandomSource* random;  // not owned

    // The live cells in the list's order, oldest first: the list's own
    // chain, kept as a compact array of the records' byte offsets in the
    // list's storage (a slot times sizeof(TrailCell)). Evaporation runs over
    // every live cell each step; reading this array instead of following the
    // list's links lets that pass stream. The order is the list's exactly:
    // evaporation frees slots in walking order, and that order decides which
    // slot the next new cell takes.
    // The live part is liveCells[liveBegin, liveEnd). Evaporation packs the
    // survivors against liveEnd, so liveBegin moves up; new cells go at
    // liveEnd, and only when that reaches the end is the live part moved
    // back to the front. At most one cell per grid cell is alive, so the
    // array is never more than half full.
    static constexpr int32_t kLiveCapacity = 2 * kGridCells;
    uint32_t liveCells[kLiveCapacity];
    int32_t liveBegin = 0;
    int32_t liveEnd = 0;
};
