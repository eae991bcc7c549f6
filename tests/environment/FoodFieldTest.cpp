#include <algorithm>
#include <chrono>
#include <iterator>
#include <string>
#include <cmath>
#include <set>
#include <utility>

#include "tests/environment/FoodFieldFixture.h"

TEST_F(FoodFieldTest, NewFieldHoldsTheInitialFood) {
    EXPECT_EQ(field->width, 128);
    EXPECT_EQ(field->height, 128);
    EXPECT_EQ(field->FoodCount(), 500);
    for (const FoodCell& cell : Cells()) {
        EXPECT_EQ(cell.units, 1);
        EXPECT_EQ(cell.turnsLeft, 800);
    }
    ExpectConsistent();
}

TEST_F(FoodFieldTest, OutsideTheWorldHoldsNoFoodAndIsNeverTouched) {
    MakeEmpty(64, 32);
    // Food on the cells whose grid index an unchecked out-of-world
    // coordinate would alias.
    Put(1, 0);    // (0, 128) reads x * 128 + y = 128
    Put(0, 31);
    Put(63, 0);
    const GridPoint outside[] = {{-1, 0}, {0, -1}, {64, 0}, {0, 32}, {0, 128},
                                 {-1, 129}, {64, 31}, {1000, 1000}};
    for (GridPoint p : outside) {
        EXPECT_FALSE(field->HasFood(p.x, p.y)) << p.x << "," << p.y;
        EXPECT_FALSE(field->TakeFood(p.x, p.y)) << p.x << "," << p.y;
    }
    EXPECT_EQ(field->FoodCount(), 3);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, TakeFoodEmptiesAOneUnitCellAndFreesItsSlot) {
    MakeEmpty();
    Put(10, 10);
    Put(20, 20);
    const int32_t slot = field->indexGrid[GridIndex(10, 10)];

    EXPECT_TRUE(field->TakeFood(10, 10));
    EXPECT_FALSE(field->HasFood(10, 10));
    EXPECT_EQ(field->FoodCount(), 1);
    EXPECT_FALSE(field->TakeFood(10, 10));
    EXPECT_EQ(field->FoodCount(), 1);
    ExpectConsistent();

    // The freed slot is the next one handed out.
    field->PlaceFood(1);
    ASSERT_EQ(field->FoodCount(), 2);
    const FoodCell& reused = field->foodCells.At(slot);
    EXPECT_EQ(reused.slot, slot);
    EXPECT_EQ(field->indexGrid[GridIndex(reused.x, reused.y)], slot);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, TakeFoodFromARicherCellKeepsTheCell) {
    MakeEmpty();
    Put(5, 6, 2);
    EXPECT_TRUE(field->TakeFood(5, 6));
    EXPECT_TRUE(field->HasFood(5, 6));
    EXPECT_EQ(field->FoodCount(), 1);
    EXPECT_TRUE(field->TakeFood(5, 6));
    EXPECT_FALSE(field->HasFood(5, 6));
    EXPECT_EQ(field->FoodCount(), 0);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, FindFoodNearWithRadiusZeroProbesOnlyTheCell) {
    struct Case {
        bool foodOnCell;
        int32_t draws;
    };
    for (const Case& c : {Case{true, 2}, Case{false, 40}}) {
        MakeEmpty();
        Put(31, 40);  // next to the probed cell: never found with radius 0
        if (c.foodOnCell) Put(30, 40);
        const uint32_t before = random.State();
        GridPoint point{-7, -7};
        EXPECT_EQ(field->FindFoodNear(30, 40, 0, point), c.foodOnCell);
        EXPECT_EQ(DrawsSince(before), c.draws);
        if (c.foodOnCell) {
            EXPECT_EQ(point, (GridPoint{30, 40}));
        } else {
            EXPECT_EQ(point, (GridPoint{-7, -7}));  // untouched
        }
    }
}

namespace {

// One probe of the food search, from an independent copy of the generator:
// angle draw first (float), then the distance draw.
GridPoint Probe(RandomSource& r, int32_t x, int32_t y, int32_t radius) {
    const float angle = static_cast<float>(r.Next()) * 6.2831855f / 32767.0f;
    const float distance = static_cast<float>(radius * r.Next()) / 32767.0f;
    return GridPoint{x + GeometryUtil::RoundDouble(std::cos(static_cast<double>(angle)) * distance),
                     y + GeometryUtil::RoundDouble(std::sin(static_cast<double>(angle)) * distance)};
}

}  // namespace

TEST_F(FoodFieldTest, FindFoodNearProbesInDrawOrderAndStopsAtTheFirstHit) {
    MakeEmpty();
    random.Seed(2024u);
    RandomSource copy = random;
    GridPoint probes[20];
    for (GridPoint& p : probes) p = Probe(copy, 60, 60, 6);
    // The first probe whose cell differs from the two before it.
    int32_t hit = 2;
    while (probes[hit] == probes[0] || probes[hit] == probes[1]) ++hit;
    ASSERT_LT(hit, 20);
    Put(probes[hit].x, probes[hit].y);

    const uint32_t before = random.State();
    GridPoint point;
    EXPECT_TRUE(field->FindFoodNear(60, 60, 6, point));
    EXPECT_EQ(point, probes[hit]);
    EXPECT_EQ(DrawsSince(before), 2 * (hit + 1));
}

// The search reads its draws ahead, tabulates the trigonometry and skips the
// probes of a reach without food; its finds and draws must still be those of
// the plain probe arithmetic (Probe) over many searches: radii from 0 to far
// beyond the world, a negative one, centres off the world (whose reach still
// covers part of it), and food on about one cell in seven.
TEST_F(FoodFieldTest, FindFoodNearLandsEveryProbeWhereTheArithmeticDoes) {
    MakeEmpty();
    RandomSource layout(321u);
    for (int32_t x = 0; x < 128; ++x) {
        for (int32_t y = 0; y < 128; ++y) {
            if (layout.Next() % 7 == 0) Put(x, y);
        }
    }
    struct Centre {
        int32_t x, y, radius;
    };
    const Centre centres[] = {{60, 60, 10}, {3, 120, 10},  {64, 64, 0},   {20, 30, 1},
                              {90, 10, 25}, {64, 64, 100}, {50, 70, -7},  {-300, 64, 400},
                              {64, -40, 60}, {0, 0, 3000}};
    for (const Centre& c : centres) {
        for (uint32_t seed = 1; seed <= 300; ++seed) {
            random.Seed(seed * 2654435761u);
            RandomSource copy = random;
            GridPoint expected{-1, -1};
            int32_t draws = 40;
            for (int32_t probe = 0; probe < 20; ++probe) {
                const GridPoint p = Probe(copy, c.x, c.y, c.radius);
                if (field->HasFood(p.x, p.y)) {
                    expected = p;
                    draws = 2 * (probe + 1);
                    break;
                }
            }
            const uint32_t before = random.State();
            GridPoint point{-1, -1};
            const bool found = field->FindFoodNear(c.x, c.y, c.radius, point);
            ASSERT_EQ(found, expected.x != -1) << c.x << "," << c.y << " r " << c.radius;
            ASSERT_EQ(point, expected) << c.x << "," << c.y << " r " << c.radius;
            ASSERT_EQ(DrawsSince(before), draws);
        }
    }
}

// A probe at angle 0 whose distance is exactly half a cell past a whole one
// (548.5) sits on the rounding boundary: it rounds up, to the farther cell.
// Its centre lies far off the world, 549 cells from the food it finds.
TEST_F(FoodFieldTest, FindFoodNearRoundsAProbeOnTheHalfUp) {
    MakeEmpty();
    ASSERT_EQ(static_cast<float>(556 * 32325) / 32767.0f, 548.5f);
    Put(49, 60);
    ASSERT_TRUE(testrandom::SetNextDraws(random, 0, 32325, 32325));
    GridPoint point;
    EXPECT_TRUE(field->FindFoodNear(-500, 60, 556, point));
    EXPECT_EQ(point, (GridPoint{49, 60}));
}

TEST_F(FoodFieldTest, FindFoodNearIgnoresProbesOutsideTheWorld) {
    MakeEmpty(8, 8);
    // Every in-world cell but the corner holds food; probes from the corner
    // with a large radius mostly leave the world and must not alias into it.
    for (int32_t x = 0; x < 8; ++x) {
        for (int32_t y = 0; y < 8; ++y) {
            if (x + y > 0) Put(x, y);
        }
    }
    for (int32_t i = 0; i < 200; ++i) {
        GridPoint point{-1, -1};
        if (field->FindFoodNear(0, 0, 100, point)) {
            EXPECT_TRUE(field->HasFood(point.x, point.y));
        }
    }
}

// The food search skips its probes when AnyFoodIn says no. Checked against a
// scan of the grid while cells come and go (also in both halves of a row's
// bits and across them), for boxes that stick out of the world, lie wholly
// outside it, or are empty, and for reaches of every width: two runs of one
// level of the row unions, or (wider than the top level's runs allow) the
// runs in between too.
TEST_F(FoodFieldTest, AnyFoodInAgreesWithTheGrid) {
    MakeEmpty(100, 90);
    RandomSource draws(99u);
    auto anyFood = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        for (int32_t x = std::max(x0, 0); x <= std::min(x1, field->width - 1); ++x) {
            for (int32_t y = std::max(y0, 0); y <= std::min(y1, field->height - 1); ++y) {
                if (field->HasFood(x, y)) return true;
            }
        }
        return false;
    };
    for (int32_t round = 0; round < 300; ++round) {
        for (int32_t i = 0; i < 6; ++i) {
            const int32_t x = draws.Next() % 100;
            const int32_t y = draws.Next() % 90;
            if (field->HasFood(x, y)) {
                field->TakeFood(x, y);
            } else {
                Put(x, y);
            }
        }
        for (int32_t i = 0; i < 20; ++i) {
            const int32_t x = draws.Next() % 130 - 15;
            const int32_t y = draws.Next() % 120 - 15;
            const int32_t reach = i % 4 == 0 ? draws.Next() % 70 : draws.Next() % 12;
            ASSERT_EQ(field->AnyFoodIn(x - reach, y - reach, x + reach, y + reach),
                      anyFood(x - reach, y - reach, x + reach, y + reach))
                << x << "," << y << " reach " << reach;
        }
        if (round % 50 == 0) ExpectConsistent();
    }
    const struct {
        int32_t x0, y0, x1, y1;
    } boxes[] = {{-20, -20, -1, -1}, {10, 10, 9, 40}, {0, 0, 99, 89}, {0, 60, 99, 70},
                 {5, 0, 5, 89},      {0, 63, 99, 64}, {50, 64, 60, 89}, {0, 0, 99, 63}};
    for (const auto& b : boxes) {
        EXPECT_EQ(field->AnyFoodIn(b.x0, b.y0, b.x1, b.y1), anyFood(b.x0, b.y0, b.x1, b.y1))
            << b.x0 << "," << b.y0 << " .. " << b.x1 << "," << b.y1;
    }
    // A lone cell, seen from every run of rows: also from the middle of a
    // reach too wide for two runs of the top level.
    MakeEmpty();
    Put(77, 30);
    for (int32_t x0 = 0; x0 < kGridSide; ++x0) {
        for (int32_t x1 = x0; x1 < kGridSide; ++x1) {
            ASSERT_EQ(field->AnyFoodIn(x0, 25, x1, 35), x0 <= 77 && 77 <= x1) << x0 << " .. " << x1;
        }
    }
    // One cell on each side of the row halves' border.
    MakeEmpty();
    Put(7, 63);
    Put(9, 64);
    EXPECT_TRUE(field->AnyFoodIn(7, 63, 7, 63));
    EXPECT_FALSE(field->AnyFoodIn(7, 64, 7, 127));
    EXPECT_TRUE(field->AnyFoodIn(9, 64, 9, 64));
    EXPECT_FALSE(field->AnyFoodIn(9, 0, 9, 63));
    EXPECT_TRUE(field->AnyFoodIn(0, 0, 127, 127));
    field->TakeFood(7, 63);
    field->TakeFood(9, 64);
    EXPECT_FALSE(field->AnyFoodIn(0, 0, 127, 127));
    ExpectConsistent();
}

TEST_F(FoodFieldTest, SetSizeKeepsFoodInsideAndClampsTheSize) {
    field->SetSize(64, 64);
    EXPECT_EQ(field->FoodCount(), 500);
    ExpectConsistent();
    for (int32_t x = 0; x < 128; ++x) {
        for (int32_t y = 0; y < 128; ++y) {
            if (x >= 64 || y >= 64) {
                EXPECT_EQ(field->indexGrid[GridIndex(x, y)], -1);
            }
        }
    }

    struct Case {
        int32_t width, height, expectWidth, expectHeight;
    };
    const Case cases[] = {{0, 0, 1, 1}, {300, -5, 128, 1}, {256, 256, 128, 128}, {7, 9, 7, 9}};
    for (const Case& c : cases) {
        field->initialFood = 30;
        field->SetSize(c.width, c.height);
        EXPECT_EQ(field->width, c.expectWidth);
        EXPECT_EQ(field->height, c.expectHeight);
        EXPECT_EQ(field->FoodCount(), std::min(30, c.expectWidth * c.expectHeight));
        ExpectConsistent();
    }
}

TEST_F(FoodFieldTest, ResetKeepsExclusionsAndGrowthState) {
    field->AddExclusion(3, 4);
    field->growthAccumulator = 12.5f;
    field->decayCountdown = 3;
    field->SetSize(100, 90);
    EXPECT_EQ(field->exclusionCount, 1);
    EXPECT_EQ(field->exclusionPoints[0], (GridPoint{3, 4}));
    EXPECT_EQ(field->growthAccumulator, 12.5f);
    EXPECT_EQ(field->decayCountdown, 3);
}

TEST_F(FoodFieldTest, OvercrowdedWorldsFillUpAndReturnPromptly) {
    // Requests larger than the world fill every cell of it; those nearly as
    // large are placed in clusters, whose rings may leave the last few free
    // cells of a crowded world empty.
    struct Case {
        int32_t width, height, initialFood, clusterSize, minCount;
    };
    const Case cases[] = {
        {1, 1, 2000, 50, 1},       {2, 3, 2000, 50, 6},       {1, 128, 2000, 1, 128},
        {128, 1, 2000, 200, 128},  {40, 40, 2000, 50, 1600},  {45, 45, 2000, 50, 1900},
        {45, 45, 2000, 1, 1900},   {10, 10, 99, 1, 95},       {128, 128, 2000, 200, 2000},
    };
    for (const Case& c : cases) {
        const auto start = std::chrono::steady_clock::now();
        field->initialFood = c.initialFood;
        field->clusterSize = c.clusterSize;
        field->SetSize(c.width, c.height);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 " S=" + std::to_string(c.clusterSize);
        EXPECT_LT(seconds, 5.0) << name;
        EXPECT_GE(field->FoodCount(), c.minCount) << name;
        EXPECT_LE(field->FoodCount(), std::min(c.initialFood, c.width * c.height)) << name;
        ExpectConsistent();

        // A full world: later requests draw nothing and change nothing.
        if (field->FoodCount() == c.width * c.height) {
            const uint32_t before = random.State();
            field->PlaceFood(500);
            EXPECT_EQ(DrawsSince(before), 0) << name;
            EXPECT_EQ(field->FoodCount(), c.width * c.height) << name;
        }
    }
}

TEST_F(FoodFieldTest, PlaceFoodOfNothingDrawsNothing) {
    for (int32_t n : {0, -1, -500}) {
        const int32_t count = field->FoodCount();
        const uint32_t before = random.State();
        field->PlaceFood(n);
        EXPECT_EQ(random.State(), before) << n;
        EXPECT_EQ(field->FoodCount(), count) << n;
    }
}

TEST_F(FoodFieldTest, ClusterSizeBelowOneEndsTheInitialFill) {
    // The dialog keeps the size at 1 or more; a field set up otherwise must
    // still return rather than draw centres for ever.
    field->clusterSize = 0;
    field->initialFood = 100;
    field->Reset();
    EXPECT_EQ(field->FoodCount(), 0);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, AtMostOneHundredExclusions) {
    for (int32_t i = 0; i < 150; ++i) field->AddExclusion(i, i + 1);
    EXPECT_EQ(field->exclusionCount, 100);
    EXPECT_EQ(field->exclusionPoints[99], (GridPoint{99, 100}));
    field->ClearExclusions();
    EXPECT_EQ(field->exclusionCount, 0);
    field->AddExclusion(5, 6);
    EXPECT_EQ(field->exclusionPoints[0], (GridPoint{5, 6}));
}

namespace {

struct SeedGrid {
    int32_t cells[kGridCells];
};

int32_t CountSeeds(const SeedGrid& grid, int32_t width, int32_t height) {
    int32_t seeds = 0;
    for (int32_t x = 0; x < width; ++x) {
        for (int32_t y = 0; y < height; ++y) seeds += grid.cells[GridIndex(x, y)];
    }
    return seeds;
}

}  // namespace

TEST(SeedGrid, SetsDistinctCellsClampedToTheWorld) {
    struct Case {
        int32_t width, height, seeds, expected;
    };
    const Case cases[] = {
        {128, 128, 2500, 2500}, {128, 128, 12000, 12000}, {1, 1, 5, 1}, {3, 3, 9, 9},
        {2, 1, 2, 2},           {100, 100, 12000, 10000}, {50, 40, 0, 0}, {50, 40, -3, 0},
    };
    for (const Case& c : cases) {
        auto grid = std::make_unique<SeedGrid>();
        std::fill(std::begin(grid->cells), std::end(grid->cells), 7);
        RandomSource random;
        const auto start = std::chrono::steady_clock::now();
        FillSeedGrid(grid->cells, c.width, c.height, c.seeds, random);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 5.0);
        EXPECT_EQ(CountSeeds(*grid, c.width, c.height), c.expected)
            << c.width << "x" << c.height << " seeds " << c.seeds;
        for (int32_t x = 0; x < kGridSide; ++x) {
            for (int32_t y = 0; y < kGridSide; ++y) {
                const int32_t entry = grid->cells[GridIndex(x, y)];
                if (x < c.width && y < c.height) {
                    ASSERT_TRUE(entry == 0 || entry == 1);
                } else {
                    ASSERT_EQ(entry, 7);  // outside the world: untouched
                }
            }
        }
    }
}

TEST(SeedGrid, DrawsXThenYAndRedrawsTakenCells) {
    auto grid = std::make_unique<SeedGrid>();
    RandomSource random(99u);
    RandomSource copy = random;
    std::set<std::pair<int32_t, int32_t>> expected;
    while (expected.size() < 40) {
        const int32_t x = 19 * copy.Next() / 32767;
        const int32_t y = 9 * copy.Next() / 32767;
        expected.insert({x, y});
    }
    FillSeedGrid(grid->cells, 20, 10, 40, random);
    EXPECT_EQ(random.State(), copy.State());
    for (auto [x, y] : expected) EXPECT_EQ(grid->cells[GridIndex(x, y)], 1);
    EXPECT_EQ(CountSeeds(*grid, 20, 10), 40);
}
