// Food placement in crowded and overfull worlds. PlaceFood passes over the
// candidates that cannot reach a free cell without their arithmetic, and
// fills a world that has fewer free cells than asked at once; both are
// checked here against the plain placement written out below.
#include <algorithm>
#include <string>

#include "tests/environment/FoodFieldFixture.h"

namespace {

using foodtest::Candidate;
using foodtest::Cells;
using foodtest::ExpectConsistent;

// The plain placement of a request that fits the world's free cells, draw by
// draw: the reference the field's own must match exactly.
void PlainPlaceFood(FoodField& f, RandomSource& r, int32_t n) {
    const int32_t target = f.foodCount + n;
    int32_t remaining = n;
    const bool firstFill = f.foodCount == 0;
    while (f.foodCount < target) {
        int32_t cx = static_cast<int32_t>(r.Next() * f.width / 32767.0) - 1;
        int32_t cy = static_cast<int32_t>(r.Next() * f.height / 32767.0) - 1;
        for (int32_t attempt = 0; attempt < 100; ++attempt) {
            bool clear = true;
            for (int32_t i = 0; i < f.exclusionCount && clear; ++i) {
                const double dx = f.exclusionPoints[i].x - cx;
                const double dy = f.exclusionPoints[i].y - cy;
                clear = static_cast<float>(std::sqrt(dx * dx + dy * dy)) >= f.exclusionDistance;
            }
            if (clear) break;
            cx = (f.width - 1) * r.Next() / 32767;
            cy = (f.height - 1) * r.Next() / 32767;
        }
        int32_t limit = 2000;
        if (firstFill) {
            const float u = r.RandomUnit();
            limit = u < 0.1 ? 5 * f.clusterSize : u < 0.4 ? 3 * f.clusterSize : f.clusterSize;
        }
        int32_t placed = 0;
        float radius = 0.0f;
        while (placed < limit && remaining > 0 && f.foodCount < target && radius <= 1024.0f) {
            int32_t misses = 0;
            while (misses < 30 && placed < limit && f.foodCount < target) {
                const GridPoint p = Candidate(r, radius, cx, cy);
                if (p.x < 0 || p.y < 0 || p.x >= f.width || p.y >= f.height || f.HasFood(p.x, p.y)) {
                    ++misses;
                    continue;
                }
                ASSERT_NE(f.AddFoodCell(p.x, p.y), nullptr);
                --remaining;
                ++placed;
            }
            radius += 3.0f;
        }
        if (placed == 0) return;
    }
}

// A field with a generator of its own. Fields are large and slow to build
// (their search table): a test builds each twin once and lays it out again
// for every case.
struct Twin {
    RandomSource random;
    std::unique_ptr<FoodField> field = std::make_unique<FoodField>(random);

    // width x height with `filled` cells already holding food, spread by a
    // generator of its own; growth, top-up, exclusions and the initial fill
    // off; then the field's generator seeded with seed.
    void Lay(int32_t width, int32_t height, int32_t filled, uint32_t layout, uint32_t seed) {
        field->initialFood = 0;
        field->minFood = 0;
        field->generatorType = MinimumFood;
        field->ClearExclusions();
        field->SetSize(width, height);
        RandomSource spread(layout);
        while (field->foodCount < filled) {
            field->AddFoodCell(spread.Next() % width, spread.Next() % height);
        }
        random.Seed(seed);
    }
};

// The two fields hold the same cells in the same slots, and their generators
// stand at the same draw.
void ExpectSame(const Twin& a, const Twin& b, const std::string& name) {
    ASSERT_EQ(a.random.State(), b.random.State()) << name;
    const std::vector<FoodCell> got = Cells(*a.field);
    const std::vector<FoodCell> want = Cells(*b.field);
    ASSERT_EQ(got.size(), want.size()) << name;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].slot, want[i].slot) << name;
        ASSERT_EQ(got[i].x, want[i].x) << name;
        ASSERT_EQ(got[i].y, want[i].y) << name;
    }
}

}  // namespace

TEST(FoodPlacement, CrowdedWorldsPlaceExactlyAsThePlainPlacement) {
    struct World {
        int32_t width, height;
    };
    const World worlds[] = {{1, 1}, {1, 9}, {7, 1}, {5, 5}, {24, 24}, {30, 17}, {40, 40}, {64, 3}};
    const double fills[] = {0.0, 0.5, 0.9, 0.97, 1.0};
    Twin fast;
    Twin plain;
    int32_t compared = 0;
    for (const World& w : worlds) {
        const int32_t cells = w.width * w.height;
        for (double fill : fills) {
            // All but one cell when "full": a request of 1 is then the
            // hardest, the one free cell hit only by chance.
            const int32_t filled = std::min(static_cast<int32_t>(cells * fill), cells - 1);
            const int32_t free = cells - filled;
            for (int32_t n : {1, std::max(free / 2, 1), free}) {
                for (uint32_t seed : {1u, 77u}) {
                    for (int32_t cluster : {1, 50}) {
                        for (Twin* t : {&fast, &plain}) {
                            t->Lay(w.width, w.height, filled, seed, seed * 7919u);
                            t->field->clusterSize = cluster;
                        }
                        fast.field->PlaceFood(n);
                        PlainPlaceFood(*plain.field, plain.random, n);
                        const std::string name = std::to_string(w.width) + "x" +
                                                 std::to_string(w.height) + " filled " +
                                                 std::to_string(filled) + " n " + std::to_string(n) +
                                                 " seed " + std::to_string(seed) + " S " +
                                                 std::to_string(cluster);
                        ExpectSame(fast, plain, name);
                        ExpectConsistent(*fast.field);
                        if (::testing::Test::HasFatalFailure()) return;
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 300);
}

TEST(FoodPlacement, ExclusionsAndFarCentresPlaceExactlyAsThePlainPlacement) {
    // Centres pushed about by exclusion points, and centres far from the only
    // free cells (a full left half), where the first rings cannot reach them.
    struct Case {
        const char* name;
        int32_t width, height;
        GridPoint exclusion;
        bool leftHalfFull;
    };
    const Case cases[] = {
        {"exclusion in the middle", 60, 60, {30, 30}, false},
        {"exclusion everywhere", 30, 30, {15, 15}, false},
        {"left half full", 64, 32, {1000, 1000}, true},
    };
    Twin fast;
    Twin plain;
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed <= 6; ++seed) {
            for (Twin* t : {&fast, &plain}) {
                t->Lay(c.width, c.height, c.width * c.height / 4, seed, seed);
                t->field->AddExclusion(c.exclusion.x, c.exclusion.y);
                for (int32_t x = 0; c.leftHalfFull && x < c.width / 2; ++x) {
                    for (int32_t y = 0; y < c.height; ++y) t->field->AddFoodCell(x, y);
                }
            }
            const int32_t n = (c.width * c.height - fast.field->foodCount) / 3;
            fast.field->PlaceFood(n);
            PlainPlaceFood(*plain.field, plain.random, n);
            ExpectSame(fast, plain, std::string(c.name) + " seed " + std::to_string(seed));
            if (::testing::Test::HasFatalFailure()) return;
        }
    }
}

TEST(FoodPlacement, ARequestBeyondTheFreeCellsFillsTheWorldWithoutDrawing) {
    struct Case {
        int32_t width, height, filled, n;
    };
    const Case cases[] = {
        {1, 1, 0, 2},       {1, 1, 0, 2000},  {2, 3, 5, 2},      {30, 30, 0, 901},
        {30, 30, 850, 51},  {30, 30, 899, 2}, {64, 65, 4000, 200}, {128, 1, 0, 129},
        {1, 128, 100, 29},  {128, 128, 16300, 85},
    };
    Twin t;
    for (const Case& c : cases) {
        t.Lay(c.width, c.height, c.filled, 5u, 1u);
        t.field->turnsToDecay = 321;
        const std::vector<FoodCell> before = Cells(*t.field);
        const uint32_t state = t.random.State();
        t.field->PlaceFood(c.n);
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 " filled " + std::to_string(c.filled) + " n " + std::to_string(c.n);
        EXPECT_EQ(t.random.State(), state) << name;
        EXPECT_EQ(t.field->FoodCount(), c.width * c.height) << name;
        for (int32_t x = 0; x < c.width; ++x) {
            for (int32_t y = 0; y < c.height; ++y) ASSERT_TRUE(t.field->HasFood(x, y)) << name;
        }
        // The cells there before are untouched and older than the new ones,
        // which are fresh single units.
        const std::vector<FoodCell> after = Cells(*t.field);
        ASSERT_EQ(after.size() - before.size(), static_cast<size_t>(c.width * c.height - c.filled));
        for (size_t i = 0; i < after.size(); ++i) {
            if (i >= after.size() - before.size()) {
                const FoodCell& old = before[i - (after.size() - before.size())];
                EXPECT_EQ(after[i].x, old.x) << name;
                EXPECT_EQ(after[i].y, old.y) << name;
            } else {
                EXPECT_EQ(after[i].units, 1) << name;
                EXPECT_EQ(after[i].turnsLeft, 321) << name;
            }
        }
        ExpectConsistent(*t.field);
    }
}

TEST(FoodPlacement, StepsInAnOverfullWorldKeepTheFieldWhole) {
    // A 30 x 30 world below a minimum of 1000 cells, or growing 100 cells a
    // step below a maximum it cannot hold, while a few cells a step are eaten
    // and the oldest decay: every step asks for more than is free.
    Twin t;
    for (int32_t mode = 0; mode < 2; ++mode) {
        t.Lay(30, 30, 0, 1u, 1u);
        t.field->generatorType = ConstantGrowth;
        t.field->minFood = mode == 0 ? 1000 : 100;
        t.field->constantGrowthAmount = mode == 0 ? 0.7f : 100.0f;
        t.field->turnsToDecay = 100;
        t.field->Reset();
        RandomSource eaters(3);
        for (int32_t step = 0; step < 2000; ++step) {
            for (int32_t i = 0; i < 5; ++i) t.field->TakeFood(eaters.Next() % 30, eaters.Next() % 30);
            t.field->Step();
            if (mode == 0) {
                ASSERT_EQ(t.field->FoodCount(), 900) << "step " << step;
            }
            if (step % 250 == 0) {
                ExpectConsistent(*t.field);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
        ExpectConsistent(*t.field);
        EXPECT_GE(t.field->FoodCount(), 850) << "mode " << mode;
    }
}
