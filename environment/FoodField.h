#pragma once
// FoodField: the world's food layer. Single-unit food cells scattered in
// clusters, renewed by one of three generators and aged away by decay.
//
// Invariants:
// - indexGrid at a cell is -1 exactly when no FoodCell names that cell;
// - every FoodCell lies inside width x height;
// - foodCount equals the number of records in foodCells.
// All mutation runs on the simulation thread under the simulation's state
// lock. Large object (about 1.7 MB): create it on the heap.
#include <cstdint>

#include "foundation/ListTemplate.h"
#include "foundation/GeometryUtil.h"
#include "foundation/GridPoint.h"
#include "foundation/RandomSource.h"

enum GeneratorType : int32_t {
    MinimumFood = 0,
    ConstantGrowth = 1,
    ExponentialGrowth = 2,
};

// 20 bytes.
struct FoodCell {
    int32_t units = 0;
    int32_t slot = 0;
    int32_t turnsLeft = 0;  // freshness countdown; negative once overdue
    int32_t x = 0;
    int32_t y = 0;
};

class FoodField {
public:
    static constexpr int32_t kMaxExclusions = 100;

    // Draws from random (the simulation's shared generator), which must
    // outlive the field. Construction already places the initial food.
    explicit FoodField(RandomSource& random);
    virtual ~FoodField() = default;
    FoodField(const FoodField&) = delete;
    FoodField& operator=(const FoodField&) = delete;

    void SetSize(int32_t newWidth, int32_t newHeight);  // clamped to 1..128, then Reset
    void Reset();
    bool HasFood(int32_t x, int32_t y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return false;
        return indexGrid[GridIndex(x, y)] != -1;
    }
    bool TakeFood(int32_t x, int32_t y);
    bool FindFoodNear(int32_t x, int32_t y, int32_t radius, GridPoint& point);
    // Where one search probe lands, relative to the search's centre, for its
    // angle draw and distance draw (each 0 .. 32767).
    GridPoint ProbeOffset(int32_t angleDraw, int32_t distanceDraw, int32_t radius) const;
    void ClearExclusions() { exclusionCount = 0; }
    void AddExclusion(int32_t x, int32_t y);
    int32_t FoodCount() const { return foodCount; }
    void Step();
    // Adds n cells (n <= 0: none, no draws) as clusters around drawn centres.
    // When the world has fewer free cells than n, every free cell gets food
    // instead, without a draw.
    void PlaceFood(int32_t n);
    // Adds one fresh single-unit cell at an in-world cell without food; no
    // random draw. Returns the new record, or nullptr if the cell is refused.
    FoodCell* AddFoodCell(int32_t x, int32_t y);
    // True when some cell of [x0, x1] x [y0, y1] (clipped to the world)
    // holds food.
    bool AnyFoodIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1) const;

    // Fields in declaration order. Plain data: the Food Control dialog reads
    // and writes the parameters (under the simulation's state lock); foodCount,
    // the list and the grid are kept consistent by the operations above only.
    int32_t renderThreshold = 200;          // "Food Dithering At": fade below this turnsLeft
    float decayPercentage = 0.06f;          // scale of an overdue cell's decay chance
    int32_t decayInterval = 10;             // turnsLeft lost per decay pass; countdown reload
    int32_t decayCountdown = 10;            // steps to the next decay pass
    int32_t turnsToDecay = 800;             // turnsLeft of a new cell
    GeometryUtil geometry;
    int32_t maxFood = 1500;                 // growth places a cluster only below this
    int32_t minFood = 100;                  // top-up whenever fewer cells exist
    int32_t foodCount = 0;                  // cells holding food
    int32_t generatorType = ConstantGrowth; // GeneratorType
    float growthAccumulator = 0.0f;         // fractional growth credit, in cells
    float constantGrowthAmount = 0.7f;
    int32_t clusterSize = 50;               // base cluster size S
    float exponentialGrowthPercentage = 0.01f;  // a fraction, not a percent
    int32_t initialFood = 500;              // cells placed by Reset
    int32_t width = 128;
    int32_t height = 128;
    float exclusionDistance = 40.0f;        // cluster centres keep this far from exclusions
    GridPoint exclusionPoints[kMaxExclusions];
    int32_t exclusionCount = 0;
    ListTemplate<FoodCell> foodCells;
    int32_t indexGrid[kGridCells];          // -1 or the slot of the cell's FoodCell

    // The food cells as bits, kept by AddFoodCell, TakeFood and Reset: bit y
    // of foodBits[0][x] is set while cell (x, y) holds food. A search whose
    // whole reach holds no food skips its probes (most searches find none).
    //
    // foodBits[k][x] is the union of the 2^k rows x .. x + 2^k - 1, for
    // x + 2^k <= kGridSide (the entries past that are never read and stay
    // empty). Any run of rows up to 2^(kReachLevels + 1) long is the union of
    // two entries of one level, so testing a search's reach (21 rows at the
    // default radius) is two reads and a few masks, where it was a loop over
    // the rows whose varying length the branch predictor kept missing. A
    // changed row refreshes the entries that hold it, level by level: about
    // thirty entries, for the one or two cells that come or go per step.
    struct FoodRow {
        uint64_t low;   // y 0 .. 63
        uint64_t high;  // y 64 .. 127
    };
    static constexpr int32_t kReachLevels = 4;
    FoodRow foodBits[kReachLevels + 1][kGridSide];

private:
    void RefreshReach(int32_t x);  // the levels above row x, after it changed
    void FillWorld();              // food on every free cell of the world; no draws
    // cos and sin of a search probe's angle for each of the 32768 values of
    // the draw that picks it, with the probe's own arithmetic (FoodSearch.cpp):
    // gatherers search every step, and the trigonometry dominated the step.
    // One table for the whole program, filled the first time a field is
    // made: a sweep's worker makes a field for every run.
    struct ProbeDirection {
        double cosine;
        double sine;
    };
    static const ProbeDirection* ProbeDirections();
    const ProbeDirection* probeDirections;
    // The same for the angle draw of a placement candidate (in degrees, with
    // its own arithmetic). Most runs place a few thousand candidates; a
    // crowded world's wide rings, millions.
    static const ProbeDirection* RingDirections();
    const ProbeDirection* ringDirections;
    RandomSource* random;  // not owned
};

// The "New Sim" seed grid (kGridCells entries): clears the world region, then
// marks min(seeds, width * height) distinct random cells with 1. Stored only.
void FillSeedGrid(int32_t* seedGrid, int32_t width, int32_t height, int32_t seeds,
                  RandomSource& random);
