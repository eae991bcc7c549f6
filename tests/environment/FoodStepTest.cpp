#include <algorithm>
#include <cmath>

#include "tests/environment/FoodFieldFixture.h"

using testrandom::SetNextDraw;
using foodtest::Candidate;

namespace {

// Draw values on either side of the cluster-size thresholds (S = 50).
struct SizeDraw {
    int32_t draw;
    int32_t size;
};
constexpr SizeDraw kSizeDraws[] = {
    {0, 250}, {3276, 250}, {3277, 150}, {13106, 150}, {13107, 50}, {32767, 50},
};

}  // namespace

TEST_F(FoodFieldTest, DecayPassRunsOnEveryTwelfthStep) {
    field->generatorType = MinimumFood;
    field->minFood = 0;
    for (int32_t step = 1; step <= 24; ++step) {
        field->Step();
        const int32_t expected = step < 12 ? 800 : (step < 24 ? 790 : 780);
        ASSERT_EQ(Cells().front().turnsLeft, expected) << "step " << step;
    }
    EXPECT_EQ(field->decayCountdown, 10);
}

TEST_F(FoodFieldTest, OverdueCellDecaysOnlyWhenTheScaledDrawPassesOne) {
    struct Case {
        int32_t turnsLeft;  // before the pass, which lowers it by 10
        int32_t draw;
        bool decays;
        int32_t draws;  // in the whole step
    };
    const Case cases[] = {
        {20, 32767, false, 1},  // still fresh: no decay draw at all
        {10, 32767, false, 1},  // 0 is not overdue
        {5, 32767, false, 2},   // -5: chance 0.3
        {0, 32767, false, 2},   // -10: chance 0.6, never decays
        {-10, 0, false, 2},     // -20: chance 1.2
        {-10, 27305, false, 2},
        {-10, 27306, true, 2},
        {-10, 32767, true, 2},
    };
    for (const Case& c : cases) {
        MakeEmpty();
        Put(40, 40, 1, c.turnsLeft);
        field->decayCountdown = -1;
        SetNextDraw(random, c.draw);
        const uint32_t before = random.State();
        field->Step();
        EXPECT_EQ(field->HasFood(40, 40), !c.decays) << c.turnsLeft << " / " << c.draw;
        EXPECT_EQ(DrawsSince(before), c.draws) << c.turnsLeft << " / " << c.draw;
        if (!c.decays) {
            EXPECT_EQ(field->foodCells.At(field->indexGrid[GridIndex(40, 40)]).turnsLeft,
                      c.turnsLeft - 10);
        }
        EXPECT_EQ(field->decayCountdown, 10);
        ExpectConsistent();
    }
}

TEST_F(FoodFieldTest, DecayPassRemovesCellsWhileWalkingThem) {
    MakeEmpty();
    field->decayPercentage = 1.0f;
    // Overdue by 990 after the pass: every draw of 33 or more removes a cell.
    for (int32_t i = 0; i < 20; ++i) Put(i, 2 * i, 1, -980);
    Put(100, 100, 1, 500);  // fresh: no draw
    field->decayCountdown = -1;
    random.Seed(7u);
    const uint32_t before = random.State();
    field->Step();
    EXPECT_EQ(DrawsSince(before), 20 + 1);  // one per overdue cell, one cluster size
    EXPECT_LE(field->FoodCount(), 3);
    EXPECT_TRUE(field->HasFood(100, 100));
    ExpectConsistent();
}

TEST_F(FoodFieldTest, ZeroDecayPercentageNeverDecays) {
    field->generatorType = MinimumFood;
    field->minFood = 0;
    field->decayPercentage = 0.0f;
    field->initialFood = 100;
    field->turnsToDecay = 100;
    field->Reset();
    for (int32_t step = 0; step < 12 * 400; ++step) field->Step();
    EXPECT_EQ(field->FoodCount(), 100);
    EXPECT_LT(Cells().front().turnsLeft, -3000);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, DefaultDecayKeepsEveryCellThroughItsEightyFirstPass) {
    field->generatorType = MinimumFood;
    field->minFood = 0;
    for (int32_t step = 0; step < 12 * 81; ++step) field->Step();
    EXPECT_EQ(field->FoodCount(), 500);
    EXPECT_EQ(Cells().front().turnsLeft, -10);
    for (int32_t step = 0; step < 12; ++step) field->Step();
    // On the 82nd pass each cell goes with probability 1/6.
    EXPECT_LT(field->FoodCount(), 500);
    EXPECT_GT(field->FoodCount(), 300);
    for (const FoodCell& cell : Cells()) EXPECT_EQ(cell.turnsLeft, -20);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, ClusterSizeIsDrawnOnEveryStepWhateverTheGenerator) {
    for (int32_t type : {MinimumFood, ConstantGrowth, ExponentialGrowth}) {
        MakeEmpty();
        field->generatorType = type;
        field->constantGrowthAmount = 0.0f;
        const uint32_t before = random.State();
        for (int32_t step = 0; step < 30; ++step) field->Step();  // passes over no cells
        EXPECT_EQ(DrawsSince(before), 30) << "generator " << type;
        EXPECT_EQ(field->FoodCount(), 0);
    }
}

TEST_F(FoodFieldTest, TopUpPlacesTheShortfallPlusOneDrawnCluster) {
    for (const SizeDraw& size : kSizeDraws) {
        MakeEmpty();
        for (int32_t i = 0; i < 90; ++i) Put(i, 0);
        field->minFood = 100;
        field->decayCountdown = 5;
        SetNextDraw(random, size.draw);
        field->Step();
        EXPECT_EQ(field->FoodCount(), 100 + size.size) << "draw " << size.draw;
        ExpectConsistent();
    }
}

TEST_F(FoodFieldTest, TopUpOfAnEmptyFieldAndMinimumZero) {
    MakeEmpty();
    field->decayCountdown = 5;
    for (int32_t step = 0; step < 100; ++step) field->Step();
    EXPECT_EQ(field->FoodCount(), 0);  // minimum 0: no top-up

    field->minFood = 100;
    SetNextDraw(random, 32767);
    field->Step();
    EXPECT_EQ(field->FoodCount(), 150);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, ConstantGrowthPlacesItsFirstClusterNoEarlierThanStep72) {
    struct Case {
        int32_t draw;  // cluster size drawn on step 72
        int32_t count;
        float credit;
    };
    for (const Case& c : {Case{32767, 50, 0.4f}, Case{5000, 0, 50.4f}}) {
        MakeEmpty();
        field->generatorType = ConstantGrowth;
        field->growthAccumulator = 0.0f;
        random.Seed(3u);
        for (int32_t step = 1; step <= 71; ++step) {
            field->Step();
            ASSERT_EQ(field->FoodCount(), 0) << "step " << step;
        }
        SetNextDraw(random, c.draw);
        field->Step();
        EXPECT_EQ(field->FoodCount(), c.count);
        EXPECT_NEAR(field->growthAccumulator, c.credit, 1e-3);
        ExpectConsistent();
    }
}

TEST_F(FoodFieldTest, GrowthSpendsCreditOnlyOnWhatFitsBelowTheMaximum) {
    struct Case {
        const char* name;
        int32_t generator;
        int32_t count;
        int32_t maxFood;
        float creditBefore;
        int32_t countAfter;
        float creditAfter;
    };
    // Constant amount 0.7; exponential 1 % of the food count; S = 50.
    const Case cases[] = {
        {"room for the cluster", ConstantGrowth, 1400, 1500, 59.3f, 1450, 10.0f},
        {"room below the cluster", ConstantGrowth, 1480, 1500, 59.3f, 1480, 40.0f},
        {"not enough credit", ConstantGrowth, 1400, 1500, 48.0f, 1400, 48.7f},
        {"above the maximum", ConstantGrowth, 1500, 1400, 59.3f, 1500, 160.0f},
        {"exponential, short", ExponentialGrowth, 1000, 1500, 30.0f, 1000, 40.0f},
        {"exponential, enough", ExponentialGrowth, 1000, 1500, 45.0f, 1050, 5.0f},
        {"minimum food only", MinimumFood, 1000, 1500, 80.0f, 1000, 80.0f},
    };
    for (const Case& c : cases) {
        MakeEmpty();
        field->initialFood = c.count;
        field->Reset();
        field->initialFood = 0;
        field->generatorType = c.generator;
        field->maxFood = c.maxFood;
        field->growthAccumulator = c.creditBefore;
        field->decayCountdown = 5;
        SetNextDraw(random, 32767);  // S
        field->Step();
        EXPECT_EQ(field->FoodCount(), c.countAfter) << c.name;
        EXPECT_NEAR(field->growthAccumulator, c.creditAfter, 1e-3) << c.name;
        ExpectConsistent();
    }
}

TEST_F(FoodFieldTest, SingleCellRequestLandsOnTheDrawnCentre) {
    MakeEmpty(100, 60);
    Put(0, 0);  // not a first fill: one cluster
    ASSERT_TRUE(testrandom::SetNextDraws(random, 20000, 16000, 17000));
    RandomSource copy = random;
    const int32_t cx = static_cast<int32_t>(copy.Next() * 100 / 32767.0) - 1;
    const int32_t cy = static_cast<int32_t>(copy.Next() * 60 / 32767.0) - 1;
    ASSERT_GE(cy, 1);  // inside, and not the pre-placed cell
    const uint32_t before = random.State();
    field->PlaceFood(1);
    EXPECT_TRUE(field->HasFood(cx, cy));
    EXPECT_EQ(DrawsSince(before), 4);  // centre x, y, then d and a of one candidate
    ExpectConsistent();
}

TEST_F(FoodFieldTest, BlockedCentreCostsThirtyMissesBeforeTheRingWidens) {
    struct Case {
        const char* name;
        int32_t firstDraw;   // x of the centre
        bool occupyCentre;
    };
    const Case cases[] = {
        {"centre at -1", 0, false},
        {"centre holds food", 20000, true},
    };
    for (const Case& c : cases) {
        MakeEmpty(64, 64);
        Put(63, 63);
        ASSERT_TRUE(testrandom::SetNextDraws(random, c.firstDraw, 15000, 17000));
        RandomSource copy = random;
        const int32_t cx = static_cast<int32_t>(copy.Next() * 64 / 32767.0) - 1;
        const int32_t cy = static_cast<int32_t>(copy.Next() * 64 / 32767.0) - 1;
        ASSERT_GE(cy, 4);
        ASSERT_LE(cy, 58);
        if (c.occupyCentre) Put(cx, cy);
        // Thirty candidates on the centre itself, then the ring of radius 3.
        for (int32_t miss = 0; miss < 30; ++miss) {
            ASSERT_EQ(Candidate(copy, 0.0f, cx, cy), (GridPoint{cx, cy}));
        }
        GridPoint expected{};
        int32_t draws = 2 + 60;
        for (;;) {
            expected = Candidate(copy, 3.0f, cx, cy);
            draws += 2;
            if (expected.x >= 0 && expected.y >= 0 && !field->HasFood(expected.x, expected.y)) break;
        }
        const int32_t count = field->FoodCount();
        const uint32_t before = random.State();
        field->PlaceFood(1);
        EXPECT_EQ(field->FoodCount(), count + 1) << c.name;
        EXPECT_TRUE(field->HasFood(expected.x, expected.y)) << c.name;
        EXPECT_EQ(DrawsSince(before), draws) << c.name;
        ExpectConsistent();
    }
}

TEST_F(FoodFieldTest, ExclusionEverywhereAcceptsTheHundredthRedrawnCentre) {
    MakeEmpty(50, 50);
    field->AddExclusion(25, 25);  // every cell lies closer than 40
    Put(49, 49);
    random.Seed(17u);
    RandomSource copy = random;
    copy.Next();
    copy.Next();
    int32_t cx = 0;
    int32_t cy = 0;
    for (int32_t attempt = 0; attempt < 100; ++attempt) {
        cx = 49 * copy.Next() / 32767;
        cy = 49 * copy.Next() / 32767;
    }
    ASSERT_FALSE(cx == 49 && cy == 49);
    const uint32_t before = random.State();
    field->PlaceFood(1);
    EXPECT_TRUE(field->HasFood(cx, cy));
    EXPECT_EQ(DrawsSince(before), 2 + 200 + 2);
    ExpectConsistent();

    // A whole initial fill still completes.
    field->initialFood = 500;
    field->Reset();
    EXPECT_EQ(field->FoodCount(), 500);
    ExpectConsistent();
}

TEST_F(FoodFieldTest, FarExclusionKeepsTheFirstCentre) {
    MakeEmpty(50, 50);
    field->AddExclusion(1000, 1000);
    field->AddExclusion(-900, 5);
    Put(49, 49);
    ASSERT_TRUE(testrandom::SetNextDraws(random, 20000, 10000, 12000));
    RandomSource copy = random;
    const int32_t cx = static_cast<int32_t>(copy.Next() * 50 / 32767.0) - 1;
    const int32_t cy = static_cast<int32_t>(copy.Next() * 50 / 32767.0) - 1;
    ASSERT_TRUE(cy >= 0 && cy < 49);
    const uint32_t before = random.State();
    field->PlaceFood(1);
    EXPECT_TRUE(field->HasFood(cx, cy));
    EXPECT_EQ(DrawsSince(before), 4);
}

TEST_F(FoodFieldTest, InitialFillScattersClustersLaterRequestsComeAsOne) {
    // S = 1: an initial fill of 30 needs many clusters of 1, 3 or 5 cells
    // around separate centres; a later request of 30 crowds around one.
    field->clusterSize = 1;
    field->initialFood = 30;
    field->Reset();
    ASSERT_EQ(field->FoodCount(), 30);
    double spread = 0.0;
    for (const FoodCell& a : Cells()) {
        for (const FoodCell& b : Cells()) spread = std::max(spread, std::hypot(a.x - b.x, a.y - b.y));
    }
    EXPECT_GT(spread, 40.0);

    MakeEmpty();
    field->clusterSize = 1;
    Put(0, 0);
    ASSERT_TRUE(testrandom::SetNextDraws(random, 16000, 15000, 17000));
    RandomSource copy = random;
    const int32_t cx = static_cast<int32_t>(copy.Next() * 128 / 32767.0) - 1;
    const int32_t cy = static_cast<int32_t>(copy.Next() * 128 / 32767.0) - 1;
    ASSERT_TRUE(cy > 10 && cy < 117);
    field->PlaceFood(30);
    EXPECT_EQ(field->FoodCount(), 31);
    for (const FoodCell& cell : Cells()) {
        if (cell.x == 0 && cell.y == 0) continue;
        EXPECT_LE(std::hypot(cell.x - cx, cell.y - cy), 10.0) << cell.x << "," << cell.y;
    }
    ExpectConsistent();
}
