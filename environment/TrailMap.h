#pragma once
// TrailMap: the colony's pheromone layer. A sparse set of trail cells with an
// integer intensity that ants raise (or lower) and that evaporates by one unit
// per colony step.
//
// Intensities are kept implicitly: `clock` counts evaporations since the last
// SetSize, and a cell's intensity is the expiry kept for its place in
// `expiryGrid` minus the clock. Evaporation then changes no cell at all; it
// advances the clock and removes the cells whose intensity has reached 0 or
// below, found through a timing wheel, so its cost follows the cells that
// expire rather than the cells alive. The expiry sits in a grid beside
// indexGrid rather than in the cell so that the trail-following step reads
// both for a place at once, instead of the grid and then the cell.
//
// Invariants:
// - indexGrid at a cell is -1 exactly when no TrailCell names it; at most one
//   TrailCell per cell. expiryGrid means something only where indexGrid
//   names a cell.
// - A live cell's intensity lies in INT32_MIN + 1 .. INT32_MAX. It may be 0 or
//   negative between a negative deposit and the next Evaporate, which then
//   removes the cell.
// - Every live cell is in exactly one bucket chain, and the bucket comes round
//   (bucket b is visited by the Evaporate that sets clock to a value = b
//   modulo kBuckets) no later than the Evaporate that must remove the cell:
//   the first visit after the current clock is at most max(expiry, clock + 1).
//   Deposits that raise a cell leave it where it is (it is met early and moved
//   on); only one that brings the expiry forward files the cell again.
// - The list's order is creation order, and so is `sequence`.
// - Overflow: clock grows by one per Evaporate, sequence by at most one per
//   Deposit, and expiry is clock plus an int32; none of these int64 values can
//   come near its limit in any run.
// Mutation runs on the simulation thread under the simulation's state lock.
// Large object (about 2.7 MB): it lives inside the colony, on the heap.
#include <cstdint>

#include "foundation/ListTemplate.h"
#include "foundation/GridPoint.h"
#include "foundation/RandomSource.h"

// 32 bytes. The intensity is TrailMap::IntensityOf(cell).
struct TrailCell {
    int64_t sequence = 0;  // creation number: orders cells as the list does
    int32_t tag = 0;       // set by the deposit that created the cell, never changed
    int32_t x = 0;
    int32_t y = 0;
    int32_t slot = 0;
    // The cell's bucket chain, as slots. The first cell of bucket b has
    // previousInBucket = -1 - b; the last has nextInBucket = -1.
    int32_t previousInBucket = -1;
    int32_t nextInBucket = -1;
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
    // The intensity of a live cell of trailCells (a freed slot's is meaningless).
    int32_t IntensityOf(const TrailCell& cell) const {
        return static_cast<int32_t>(expiryGrid[GridIndex(cell.x, cell.y)] - clock);
    }
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
    // A power of two, well above the usual deposits (600 and 70 units by
    // default) so that most cells are met once, when they expire; a cell that
    // lives longer is met once per turn of the wheel and moved on.
    static constexpr int32_t kBuckets = 1024;
    static constexpr int64_t kBucketMask = kBuckets - 1;

    struct Expiring {
        int64_t sequence;
        int32_t slot;
        int32_t place;  // GridIndex of the cell
    };

    // File puts the cell at the head of the bucket that comes round at
    // max(expiry, clock + 1); FileIn at the head of the bucket given. Unfile
    // takes it out of its chain.
    void File(TrailCell& cell, int64_t expiry);
    void FileIn(TrailCell& cell, int32_t bucket);
    void Unfile(const TrailCell& cell);
    // Frees every cell whose expiry has come, walking the list newest
    // first. Evaporate uses it instead of sorting a batch out of order that
    // holds at least 1 / kWalkInsteadOfSort of the live cells: a sort costs
    // some log2(n) comparisons per cell, the walk a few reads per live cell.
    void RemoveExpiredInListOrder();
    static constexpr int64_t kWalkInsteadOfSort = 8;

    RandomSource* random;  // not owned
    int64_t clock = 0;         // evaporations since SetSize
    int64_t nextSequence = 0;  // the next new cell's sequence
    // The clock reading at which the cell at a place reaches intensity 0.
    int64_t expiryGrid[kGridCells];
    int32_t bucketHead[kBuckets];  // first slot of each bucket's chain, or -1
    // The cells removed by one Evaporate, collected from their bucket and
    // put in the list's order (newest first) before they are freed: the
    // order in which slots are freed decides which slot the next new cell
    // takes. At most one cell per grid cell is alive, so it never overflows.
    Expiring expiring[kGridCells];
};
