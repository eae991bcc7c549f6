#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <iterator>
#include <memory>
#include <vector>

#include "environment/TrailMap.h"
#include "tests/foundation/TestRandom.h"

namespace {

class TrailMapTest : public ::testing::Test {
protected:
    RandomSource random;
    std::unique_ptr<TrailMap> map = std::make_unique<TrailMap>(random);

    // The records, newest first, without moving the list's traversal cursor.
    std::vector<TrailCell> Cells() const {
        std::vector<TrailCell> cells;
        for (int32_t s = map->trailCells.Newest(); s != -1; s = map->trailCells.Older(s)) {
            cells.push_back(map->trailCells.At(s));
        }
        return cells;
    }

    void ExpectConsistent() const {
        const std::vector<TrailCell> cells = Cells();
        EXPECT_EQ(map->trailCells.Count(), static_cast<int32_t>(cells.size()));
        for (const TrailCell& cell : cells) {
            ASSERT_LT(cell.x, map->width);
            ASSERT_LT(cell.y, map->height);
            EXPECT_EQ(map->indexGrid[GridIndex(cell.x, cell.y)], cell.slot);
        }
        int32_t marked = 0;
        for (int32_t entry : map->indexGrid) {
            if (entry != -1) ++marked;
        }
        EXPECT_EQ(marked, static_cast<int32_t>(cells.size()));
    }
};

}  // namespace

TEST_F(TrailMapTest, NewMapIsEmptyAtFullSize) {
    EXPECT_EQ(map->renderThreshold, 200);
    EXPECT_EQ(map->width, 128);
    EXPECT_EQ(map->height, 128);
    EXPECT_EQ(map->trailCells.Count(), 0);
    EXPECT_EQ(map->IntensityAt(0, 0), 0);
    EXPECT_EQ(map->IntensityAt(127, 127), 0);
    ExpectConsistent();
}

TEST_F(TrailMapTest, FirstDepositSetsTheTagLaterDepositsAddAndAnswerIt) {
    EXPECT_EQ(map->Deposit(5, 5, 600, 7), 7);
    EXPECT_EQ(map->IntensityAt(5, 5), 600);
    EXPECT_EQ(map->Deposit(5, 5, 70, 9), 7);
    EXPECT_EQ(map->IntensityAt(5, 5), 670);
    EXPECT_EQ(map->Deposit(5, 5, -70, 0), 7);
    EXPECT_EQ(map->IntensityAt(5, 5), 600);
    ASSERT_EQ(Cells().size(), 1u);
    EXPECT_EQ(Cells()[0].tag, 7);
    EXPECT_EQ(map->IntensityAt(5, 6), 0);
    EXPECT_EQ(map->IntensityAt(6, 5), 0);
    ExpectConsistent();
}

TEST_F(TrailMapTest, EvaporateLowersEveryCellAndRemovesSpentOnes) {
    struct Case {
        int32_t x, y, amount, after;  // after one Evaporate; 0 means removed
    };
    const Case cases[] = {
        {1, 1, 1, 0},  {2, 2, 2, 1},   {3, 4, -70, 0}, {0, 0, 600, 599},
        {127, 127, 0, 0}, {127, 0, 5, 4}, {9, 9, 1, 0},  {0, 127, 3, 2},
    };
    for (const Case& c : cases) map->Deposit(c.x, c.y, c.amount, 1);
    EXPECT_EQ(map->IntensityAt(3, 4), -70);  // a negative cell stays until evaporation
    map->Evaporate();
    for (const Case& c : cases) {
        EXPECT_EQ(map->IntensityAt(c.x, c.y), c.after) << c.x << "," << c.y;
        EXPECT_EQ(map->indexGrid[GridIndex(c.x, c.y)] != -1, c.after != 0) << c.x << "," << c.y;
    }
    EXPECT_EQ(map->trailCells.Count(), 4);
    ExpectConsistent();
}

TEST_F(TrailMapTest, NegativeDepositOnALiveCellWaitsForEvaporation) {
    map->Deposit(8, 8, 70, 3);
    map->Deposit(8, 8, -70, 0);
    EXPECT_EQ(map->IntensityAt(8, 8), 0);
    EXPECT_NE(map->indexGrid[GridIndex(8, 8)], -1);  // still a cell
    map->Evaporate();
    EXPECT_EQ(map->indexGrid[GridIndex(8, 8)], -1);
    EXPECT_EQ(map->trailCells.Count(), 0);
}

TEST_F(TrailMapTest, RemovedCellReadsZeroAndItsSlotIsReused) {
    map->Deposit(10, 10, 5, 1);
    map->Deposit(11, 10, 1, 1);
    const int32_t slot = map->indexGrid[GridIndex(11, 10)];
    map->Evaporate();
    EXPECT_EQ(map->IntensityAt(11, 10), 0);
    EXPECT_EQ(map->Deposit(40, 41, 9, 4), 4);
    EXPECT_EQ(map->indexGrid[GridIndex(40, 41)], slot);
    const TrailCell& cell = map->trailCells.At(slot);
    EXPECT_EQ(map->IntensityOf(cell), 9);
    EXPECT_EQ(cell.tag, 4);
    EXPECT_EQ(cell.x, 40);
    EXPECT_EQ(cell.y, 41);
    EXPECT_EQ(cell.slot, slot);
    ExpectConsistent();
}

TEST_F(TrailMapTest, EvaporationRunsDownEveryCellExactly) {
    // Intensity n lasts n evaporations; the walk removes cells as it goes.
    for (int32_t i = 0; i < 100; ++i) map->Deposit(i, (i * 7) % 128, i + 1, i);
    for (int32_t round = 1; round <= 100; ++round) {
        map->Evaporate();
        ASSERT_EQ(map->trailCells.Count(), 100 - round) << "round " << round;
    }
    ExpectConsistent();
}

TEST_F(TrailMapTest, SetSizeEmptiesAndClamps) {
    for (int32_t i = 0; i < 128; ++i) map->Deposit(i, i, 50, 0);
    map->SetSize(64, 64);
    EXPECT_EQ(map->width, 64);
    EXPECT_EQ(map->height, 64);
    EXPECT_EQ(map->trailCells.Count(), 0);
    for (int32_t x = 0; x < 64; ++x) {
        for (int32_t y = 0; y < 64; ++y) ASSERT_EQ(map->IntensityAt(x, y), 0);
    }
    ExpectConsistent();

    struct Case {
        int32_t width, height, expectWidth, expectHeight;
    };
    const Case cases[] = {{0, 0, 1, 1}, {256, -3, 128, 1}, {129, 200, 128, 128}, {3, 7, 3, 7}};
    for (const Case& c : cases) {
        map->SetSize(c.width, c.height);
        EXPECT_EQ(map->width, c.expectWidth);
        EXPECT_EQ(map->height, c.expectHeight);
    }
    // Growing back finds no stale cells.
    map->SetSize(128, 128);
    EXPECT_EQ(map->IntensityAt(100, 100), 0);
    ExpectConsistent();
}

// A cell that only ever grows (the one next to the nest) would pass the int32
// range in a long run; deposits saturate at the limits instead, and
// evaporation still lowers a saturated cell by one. Below the limits, sums
// are exact. (Under the sanitizer build an overflow would stop the test.)
TEST_F(TrailMapTest, DepositSaturatesAtTheIntensityLimits) {
    struct Case {
        int32_t first, second, expected;
    };
    const Case cases[] = {
        {INT32_MAX - 100, 70, INT32_MAX - 30},     // still exact
        {INT32_MAX - 100, 2000, INT32_MAX},        // saturates
        {INT32_MAX, INT32_MAX, INT32_MAX},
        {INT32_MAX, -500, INT32_MAX - 500},        // a weakening deposit still counts
        {-70, INT32_MIN, INT32_MIN + 1},           // the lowest keeps one unit of room
        {INT32_MIN, 0, INT32_MIN + 1},             // a new cell saturates too
    };
    int32_t x = 0;
    for (const Case& c : cases) {
        map->Deposit(x, 7, c.first, 3);
        EXPECT_EQ(map->Deposit(x, 7, c.second, 9), 3);
        EXPECT_EQ(map->IntensityAt(x, 7), c.expected) << c.first << " + " << c.second;
        ++x;
    }
    // A long run at the strongest deposit stays at the top, and evaporation
    // still takes its unit from a saturated cell.
    map->Deposit(20, 20, INT32_MAX - 10, 1);
    for (int32_t i = 0; i < 100; ++i) map->Deposit(20, 20, 2000, 1);
    EXPECT_EQ(map->IntensityAt(20, 20), INT32_MAX);
    map->Evaporate();
    EXPECT_EQ(map->IntensityAt(20, 20), INT32_MAX - 1);
    EXPECT_EQ(map->IntensityAt(0, 7), INT32_MAX - 31);
    EXPECT_EQ(map->IntensityAt(4, 7), 0);  // negative cells are gone
    ExpectConsistent();
}
