#include "environment/FoodField.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

namespace {

// Misses at one ring radius before the ring widens, and by how much.
constexpr int32_t kMissesPerRing = 30;
constexpr float kRingStep = 3.0f;
// A later (not first-fill) request arrives as one cluster of at most this size.
constexpr int32_t kSingleClusterLimit = 2000;
// Attempts at a cluster centre clear of every exclusion point; after that the
// last centre drawn is used anyway.
constexpr int32_t kCentreAttempts = 100;
// In a nearly full world the few free cells may lie far from the cluster
// centre, and the chance that a ring hits one shrinks with its radius: the
// search would go on for practically ever (the float radius even stops growing
// near 2^26). Past this radius (far beyond the world's 182-cell diagonal) the
// cluster ends and placement moves on to a new centre. Ordinary fills never
// get near it; it costs at most about 10000 candidates per cluster.
constexpr float kMaxRingRadius = 1024.0f;
static_assert(2 * kMissesPerRing <= RandomSource::kMaxAhead, "a ring's misses are read ahead");

// Cluster size drawn from u: S with 60 %, 3 S with 30 %, 5 S with 10 %.
int32_t ScaledClusterSize(float u, int32_t base) {
    if (u < 0.1) return 5 * base;
    if (u < 0.4) return 3 * base;
    return base;
}

// The bits y of a food row that lie inside a world of this height.
FoodField::FoodRow WorldColumn(int32_t height) {
    auto ones = [](int32_t bits) {
        return bits >= 64 ? ~uint64_t{0} : bits <= 0 ? uint64_t{0} : (uint64_t{1} << bits) - 1;
    };
    return FoodField::FoodRow{ones(height), ones(height - 64)};
}

// The distance of a placement candidate from its cluster's centre, for its
// distance draw, in the placement's own arithmetic. Never falls as the draw
// rises.
float RingDistance(int32_t draw, float radius) {
    return static_cast<float>(draw * radius / 32767.0);
}

// The box around the world's free cells.
struct FreeBox {
    int32_t x0 = kGridSide;
    int32_t y0 = kGridSide;
    int32_t x1 = -1;
    int32_t y1 = -1;

    bool Empty() const { return x0 > x1; }
};

FreeBox FreeCellBox(const FoodField& field) {
    const FoodField::FoodRow inWorld = WorldColumn(field.height);
    FreeBox box;
    uint64_t low = 0;
    uint64_t high = 0;
    for (int32_t x = 0; x < field.width; ++x) {
        const uint64_t freeLow = inWorld.low & ~field.foodBits[0][x].low;
        const uint64_t freeHigh = inWorld.high & ~field.foodBits[0][x].high;
        if ((freeLow | freeHigh) == 0) continue;
        if (box.Empty()) box.x0 = x;
        box.x1 = x;
        low |= freeLow;
        high |= freeHigh;
    }
    if (box.Empty()) return box;
    box.y0 = low != 0 ? __builtin_ctzll(low) : 64 + __builtin_ctzll(high);
    box.y1 = high != 0 ? 127 - __builtin_clzll(high) : 63 - __builtin_clzll(low);
    return box;
}

// The distance draws of one ring whose candidates may still land on a free
// cell: low .. high (none when low > high).
struct DrawWindow {
    int32_t low = 0;
    int32_t high = -1;

    bool Holds(int32_t draw) const {
        return static_cast<uint32_t>(draw - low) <= static_cast<uint32_t>(high - low);
    }
};

// A candidate's cell lies less than 1 from its point on each axis
// (RoundDouble truncates negative values), so less than sqrt(2) from it: one
// whose distance from the centre is not within that of the free cells' box
// cannot hit a free cell. The margin covers that and the rounding.
DrawWindow FreeCellDraws(const FreeBox& box, int32_t cx, int32_t cy, float radius) {
    constexpr double kMargin = 2.0;
    if (box.Empty()) return DrawWindow{};
    auto gap = [](int32_t c, int32_t lo, int32_t hi) {
        return static_cast<double>(c < lo ? lo - c : c > hi ? c - hi : 0);
    };
    auto span = [](int32_t c, int32_t lo, int32_t hi) {
        return static_cast<double>(std::max(std::abs(c - lo), std::abs(c - hi)));
    };
    const double nearest = std::hypot(gap(cx, box.x0, box.x1), gap(cy, box.y0, box.y1)) - kMargin;
    const double farthest = std::hypot(span(cx, box.x0, box.x1), span(cy, box.y0, box.y1)) + kMargin;
    constexpr int32_t kTop = RandomSource::kMax;
    if (radius <= 0.0f) {
        // Every candidate is the centre itself.
        return nearest <= 0.0 ? DrawWindow{0, kTop} : DrawWindow{};
    }
    // The distance rises with the draw: start from the quotient, then settle
    // on the exact ends by the distance's own arithmetic.
    auto estimate = [&](double distance) {
        return static_cast<int32_t>(std::clamp(distance * kTop / radius, -1.0, kTop + 1.0));
    };
    DrawWindow window;
    window.low = std::max(estimate(nearest), 0);
    while (window.low > 0 && RingDistance(window.low - 1, radius) >= nearest) --window.low;
    while (window.low <= kTop && RingDistance(window.low, radius) < nearest) ++window.low;
    window.high = std::min(estimate(farthest), kTop);
    while (window.high < kTop && RingDistance(window.high + 1, radius) <= farthest) ++window.high;
    while (window.high >= 0 && RingDistance(window.high, radius) > farthest) --window.high;
    return window;
}

}  // namespace

FoodField::FoodField(RandomSource& randomSource)
    : probeDirections(ProbeDirections()), ringDirections(RingDirections()), random(&randomSource) {
    Reset();  // also sets every grid entry to -1
}

void FoodField::SetSize(int32_t newWidth, int32_t newHeight) {
    width = ClampWorldSide(newWidth);
    height = ClampWorldSide(newHeight);
    Reset();
}

void FoodField::Reset() {
    foodCount = 0;
    // The whole grid, not only the current region: a later, larger size then
    // finds no stale slots outside the old one.
    std::fill(std::begin(indexGrid), std::end(indexGrid), -1);
    for (FoodRow(&level)[kGridSide] : foodBits) {
        std::fill(std::begin(level), std::end(level), FoodRow{0u, 0u});
    }
    foodCells.Clear();
    PlaceFood(initialFood);
}

bool FoodField::TakeFood(int32_t x, int32_t y) {
    if (!HasFood(x, y)) return false;
    const int32_t index = GridIndex(x, y);
    FoodCell& cell = foodCells.At(indexGrid[index]);
    cell.units -= 1;
    if (cell.units <= 0) {
        indexGrid[index] = -1;
        foodCells.Remove(cell.slot);
        foodCount -= 1;
        (y < 64 ? foodBits[0][x].low : foodBits[0][x].high) &= ~(uint64_t{1} << (y & 63));
        RefreshReach(x);
    }
    return true;
}

FoodCell* FoodField::AddFoodCell(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= width || y >= height || indexGrid[GridIndex(x, y)] != -1) return nullptr;
    int32_t slot = 0;
    FoodCell* cell = foodCells.Add(slot);
    if (cell == nullptr) return nullptr;
    cell->units = 1;
    cell->slot = slot;
    cell->turnsLeft = turnsToDecay;
    cell->x = x;
    cell->y = y;
    indexGrid[GridIndex(x, y)] = slot;
    foodCount += 1;
    (y < 64 ? foodBits[0][x].low : foodBits[0][x].high) |= uint64_t{1} << (y & 63);
    RefreshReach(x);
    return cell;
}

void FoodField::RefreshReach(int32_t x) {
    // Level k's entry i joins level k - 1's entries i and i + 2^(k-1); those
    // that hold row x were refreshed just before.
    for (int32_t k = 1; k <= kReachLevels; ++k) {
        const int32_t span = 1 << k;
        const int32_t half = span / 2;
        const int32_t last = std::min(x, kGridSide - span);
        for (int32_t i = std::max(x - span + 1, 0); i <= last; ++i) {
            foodBits[k][i].low = foodBits[k - 1][i].low | foodBits[k - 1][i + half].low;
            foodBits[k][i].high = foodBits[k - 1][i].high | foodBits[k - 1][i + half].high;
        }
    }
}

void FoodField::AddExclusion(int32_t x, int32_t y) {
    if (exclusionCount >= kMaxExclusions) return;
    exclusionPoints[exclusionCount] = GridPoint{x, y};
    exclusionCount += 1;
}

void FoodField::Step() {
    // 1. Decay, on every (decayInterval + 2)-th step: the countdown runs to -1.
    if (decayCountdown < 0) {
        // A walk with its own cursor: the next older slot is read before this
        // cell may be removed.
        for (int32_t s = foodCells.Newest(); s != -1;) {
            FoodCell* cell = &foodCells.At(s);
            s = foodCells.Older(s);
            cell->turnsLeft -= decayInterval;
            if (cell->turnsLeft < 0) {
                // Safe until the overdue amount times the percentage passes 1;
                // then each pass removes the cell with chance 1 - 1 / chance.
                const float overdue = static_cast<float>(-cell->turnsLeft);
                const float chance = overdue * decayPercentage;
                const float r = random->RandomUnit() * chance;
                if (r > 1.0) TakeFood(cell->x, cell->y);
            }
        }
        decayCountdown = decayInterval;
    } else {
        decayCountdown -= 1;
    }

    // 2. Cluster size, drawn on every step whatever the generator.
    const int32_t s = ScaledClusterSize(random->RandomUnit(), clusterSize);

    // 3. Growth.
    if (generatorType == ConstantGrowth || generatorType == ExponentialGrowth) {
        if (generatorType == ConstantGrowth) {
            growthAccumulator += constantGrowthAmount;
        } else {
            growthAccumulator += static_cast<float>(foodCount) * exponentialGrowthPercentage;
        }
        if (static_cast<float>(s) <= growthAccumulator) {
            // Near the maximum the credit is spent on the room left without
            // placing anything; above it, room is negative and the credit rises.
            const int32_t room = maxFood - foodCount;
            if (room >= s) PlaceFood(s);
            growthAccumulator -= static_cast<float>(std::min(s, room));
        }
    }

    // 4. Minimum top-up: the shortfall plus one drawn cluster, in one call.
    if (foodCount < minFood) PlaceFood(minFood - foodCount + s);
}

void FoodField::PlaceFood(int32_t n) {
    // A request for more cells than the world has free fills every free cell
    // at once, drawing nothing. The clusters below could not finish it: they
    // would hunt for the last free cells with ever wider rings of random
    // candidates, thousands per step in a small world whose minimum or
    // maximum food exceeds its size, while the colony eats a few cells a step
    // (about a millisecond a step, where a whole step takes a tenth of that).
    // A request that fits is placed exactly as before.
    const int32_t worldCells = width * height;
    if (n > worldCells - foodCount) {
        FillWorld();
        return;
    }
    const int32_t target = foodCount + n;
    int32_t remaining = n;
    const bool firstFill = (foodCount == 0);
    // Cells placed below only shrink the free cells' box, so it stays a bound.
    const FreeBox free = FreeCellBox(*this);

    while (foodCount < target) {
        // Centre: -1 .. size - 1 on each axis.
        int32_t cx = static_cast<int32_t>(random->Next() * width / 32767.0) - 1;
        int32_t cy = static_cast<int32_t>(random->Next() * height / 32767.0) - 1;

        for (int32_t attempt = 0; attempt < kCentreAttempts; ++attempt) {
            bool clear = true;
            for (int32_t i = 0; i < exclusionCount; ++i) {
                const int64_t dx = static_cast<int64_t>(exclusionPoints[i].x) - cx;
                const int64_t dy = static_cast<int64_t>(exclusionPoints[i].y) - cy;
                const float distance =
                    static_cast<float>(std::sqrt(static_cast<double>(dx * dx + dy * dy)));
                if (distance < exclusionDistance) {
                    clear = false;
                    break;
                }
            }
            if (clear) break;
            cx = (width - 1) * random->Next() / 32767;
            cy = (height - 1) * random->Next() / 32767;
        }

        // The initial fill of an empty field comes as several clusters of
        // drawn sizes; any later request as one big cluster.
        int32_t limit = kSingleClusterLimit;
        if (firstFill) limit = ScaledClusterSize(random->RandomUnit(), clusterSize);

        int32_t placed = 0;
        float radius = 0.0f;
        while (placed < limit && remaining > 0 && foodCount < target && radius <= kMaxRingRadius) {
            // Candidates that cannot reach a free cell by their distance are
            // misses whatever their angle: their draws are passed over
            // without the arithmetic. In a crowded world most candidates of
            // the wide rings fall far outside it.
            const DrawWindow reach = FreeCellDraws(free, cx, cy, radius);
            // Misses count every failed candidate at this radius, including
            // those after successes.
            int32_t misses = 0;
            while (misses < kMissesPerRing && placed < limit && foodCount < target) {
                const int32_t left = kMissesPerRing - misses;
                int32_t passed = 0;
                while (passed < left && !reach.Holds(random->Ahead(2 * passed + 1))) ++passed;
                random->Discard(2 * passed);
                misses += passed;
                if (passed == left) break;

                const float d = RingDistance(random->Next(), radius);
                const ProbeDirection& direction = ringDirections[random->Next()];
                const int32_t x = GeometryUtil::RoundDouble(direction.cosine * d + cx);
                const int32_t y = GeometryUtil::RoundDouble(direction.sine * d + cy);
                if (x < 0 || y < 0 || x >= width || y >= height ||
                    indexGrid[GridIndex(x, y)] != -1) {
                    misses += 1;
                    continue;
                }
                if (AddFoodCell(x, y) == nullptr) return;  // cannot happen: the list outsizes any world
                remaining -= 1;
                placed += 1;
            }
            radius += kRingStep;
        }
        // A cluster that widened past the cap moves on to a new centre, which
        // may lie nearer the free cells; one that placed nothing at all (or a
        // cluster size below 1) would repeat for ever: stop with what fits.
        if (placed == 0) return;
    }
}

const FoodField::ProbeDirection* FoodField::RingDirections() {
    struct Table {
        ProbeDirection direction[RandomSource::kMax + 1];
        Table() {
            for (int32_t v = 0; v <= RandomSource::kMax; ++v) {
                const float degrees = static_cast<float>(v * 360.0 / 32767.0);
                const double radians = degrees * 3.1415927 / 180.0;
                direction[v] = ProbeDirection{std::cos(radians), std::sin(radians)};
            }
        }
    };
    static const Table table;  // made once, by whichever thread comes first
    return table.direction;
}

void FoodField::FillWorld() {
    // Row by row, each free cell in order of y, with the row's bits and their
    // unions refreshed once per row rather than once per cell.
    const FoodField::FoodRow column = WorldColumn(height);
    const uint64_t inWorld[2] = {column.low, column.high};
    for (int32_t x = 0; x < width; ++x) {
        FoodRow& row = foodBits[0][x];
        uint64_t* const halves[2] = {&row.low, &row.high};
        bool changed = false;
        for (int32_t half = 0; half < 2; ++half) {
            for (uint64_t free = inWorld[half] & ~*halves[half]; free != 0; free &= free - 1) {
                const int32_t y = 64 * half + __builtin_ctzll(free);
                int32_t slot = 0;
                FoodCell* cell = foodCells.Add(slot);
                if (cell == nullptr) return;  // cannot happen: the list outsizes any world
                *cell = FoodCell{1, slot, turnsToDecay, x, y};
                indexGrid[GridIndex(x, y)] = slot;
                foodCount += 1;
                changed = true;
            }
            *halves[half] |= inWorld[half];
        }
        if (changed) RefreshReach(x);
    }
}

void FillSeedGrid(int32_t* seedGrid, int32_t width, int32_t height, int32_t seeds,
                  RandomSource& random) {
    width = ClampWorldSide(width);
    height = ClampWorldSide(height);
    for (int32_t x = 0; x < width; ++x) {
        for (int32_t y = 0; y < height; ++y) seedGrid[GridIndex(x, y)] = 0;
    }
    const int32_t cells = width * height;
    seeds = std::clamp(seeds, 0, cells);

    // The last column and row come up only when a draw is 32767, so a grid
    // asked to seed nearly every cell could keep drawing for practically
    // ever. After this many draws the remaining seeds go to the first unset
    // cells in grid order.
    constexpr int32_t kDrawBudget = 1 << 22;
    int32_t draws = 0;
    int32_t set = 0;
    while (set < seeds && draws < kDrawBudget) {
        const int32_t x = (width - 1) * random.Next() / 32767;
        const int32_t y = (height - 1) * random.Next() / 32767;
        draws += 1;
        int32_t& entry = seedGrid[GridIndex(x, y)];
        if (entry == 1) continue;
        entry = 1;
        set += 1;
    }
    for (int32_t x = 0; x < width && set < seeds; ++x) {
        for (int32_t y = 0; y < height && set < seeds; ++y) {
            int32_t& entry = seedGrid[GridIndex(x, y)];
            if (entry == 1) continue;
            entry = 1;
            set += 1;
        }
    }
}
