#include <gtest/gtest.h>

#include <memory>

#include "environment/TrailMap.h"
#include "tests/foundation/TestRandom.h"

using testrandom::SetNextDraw;

namespace {

// Draws for r = 0, r just above 0, r = 0.5, r just below 1, and r = 1.
constexpr int32_t kDrawsBelowOne[] = {0, 1, 16384, 32766};
constexpr int32_t kDrawOne = 32767;

struct Choice {
    bool result;
    GridPoint next;
    bool weak;
};

class ChooseStepTest : public ::testing::Test {
protected:
    RandomSource random;
    std::unique_ptr<TrailMap> map = std::make_unique<TrailMap>(random);

    // One choice with a known draw; checks that exactly one number is drawn.
    Choice Choose(int32_t x, int32_t y, int32_t refX, int32_t refY, int32_t draw) {
        SetNextDraw(random, draw);
        const uint32_t before = random.State();
        Choice choice{false, GridPoint{-99, -99}, true};
        choice.result = map->ChooseStep(x, y, refX, refY, choice.next, choice.weak);
        EXPECT_EQ(testrandom::DrawsBetween(before, random.State()), 1);
        return choice;
    }

    void ExpectChoice(const Choice& got, const Choice& want, int32_t draw) {
        EXPECT_EQ(got.result, want.result) << "draw " << draw;
        EXPECT_EQ(got.next, want.next) << "draw " << draw << ": " << got.next.x << "," << got.next.y;
        EXPECT_EQ(got.weak, want.weak) << "draw " << draw;
    }
};

}  // namespace

TEST_F(ChooseStepTest, NoTrailAwayFromTheWallsFallsToTheFourthNeighbour) {
    for (int32_t draw : {0, 16384, 32766, 32767}) {
        ExpectChoice(Choose(50, 50, 10, 10, draw), {false, {50, 51}, false}, draw);
    }
}

TEST_F(ChooseStepTest, WallSideKeepsTheSentinelAndIsAWeakStep) {
    struct Case {
        int32_t x, y;
        GridPoint wallSide;
    };
    // Each wall alone; only the first wall neighbour in the fixed order
    // (x - 1, x + 1, y - 1, y + 1) takes every r below 1.
    const Case cases[] = {
        {0, 50, {-1, 50}},
        {127, 50, {128, 50}},
        {50, 0, {50, -1}},
    };
    for (const Case& c : cases) {
        for (int32_t draw : kDrawsBelowOne) {
            ExpectChoice(Choose(c.x, c.y, 64, 64, draw), {false, c.wallSide, true}, draw);
        }
        ExpectChoice(Choose(c.x, c.y, 64, 64, kDrawOne), {false, {c.x, c.y + 1}, false}, kDrawOne);
    }
    // The y + 1 wall is the fallback neighbour itself: weak for every r.
    for (int32_t draw : {0, 32767}) {
        ExpectChoice(Choose(50, 127, 64, 64, draw), {false, {50, 128}, true}, draw);
    }
}

TEST_F(ChooseStepTest, OutwardTrailIsFollowed) {
    map->Deposit(13, 10, 100, 0);  // farther from (10, 10) than the ant at (12, 10)
    for (int32_t draw : kDrawsBelowOne) {
        ExpectChoice(Choose(12, 10, 10, 10, draw), {true, {13, 10}, false}, draw);
    }
    ExpectChoice(Choose(12, 10, 10, 10, kDrawOne), {true, {12, 11}, false}, kDrawOne);
}

TEST_F(ChooseStepTest, InwardTrailKeepsTheSentinelAndIsAWeakStep) {
    map->Deposit(11, 10, 100, 0);  // closer to (10, 10) than the ant
    for (int32_t draw : kDrawsBelowOne) {
        ExpectChoice(Choose(12, 10, 10, 10, draw), {true, {11, 10}, true}, draw);
    }
}

TEST_F(ChooseStepTest, ChoiceIsProportionalToIntensityTimesDistanceGained) {
    // Ant (12, 10), reference (10, 10): d0 = 2.
    //   N1 (11, 10): inward trail, sentinel 0.001
    //   N2 (13, 10): intensity 100, gain 1        -> 100
    //   N3 (12, 9):  no trail                     -> 0
    //   N4 (12, 11): intensity 100, gain 0.2361   -> 23.61
    map->Deposit(11, 10, 100, 0);
    map->Deposit(13, 10, 100, 0);
    map->Deposit(12, 11, 100, 0);
    struct Case {
        int32_t draw;
        GridPoint next;
        bool weak;
    };
    const Case cases[] = {
        {0, {11, 10}, true},      // r = 0 < 0.001 / 123.6
        {1, {13, 10}, false},     // r = 3.05e-5 > 8.1e-6
        {26000, {13, 10}, false}, // r = 0.793 < 100.001 / 123.6 = 0.809
        {27000, {12, 11}, false}, // r = 0.824
        {32767, {12, 11}, false},
    };
    for (const Case& c : cases) {
        ExpectChoice(Choose(12, 10, 10, 10, c.draw), {true, c.next, c.weak}, c.draw);
    }
}

TEST_F(ChooseStepTest, SentinelWeightsAreDistinctFromZero) {
    // In a 1-wide world both x sides are walls (sentinels), y sides hold no
    // trail (0): the draw splits evenly between x - 1 and x + 1.
    map->SetSize(1, 128);
    ExpectChoice(Choose(0, 50, 0, 0, 16000), {false, {-1, 50}, true}, 16000);
    ExpectChoice(Choose(0, 50, 0, 0, 16500), {false, {1, 50}, true}, 16500);
    // A 1 x 1 world: four sentinels, a quarter each.
    map->SetSize(1, 1);
    ExpectChoice(Choose(0, 0, 5, 5, 10000), {false, {1, 0}, true}, 10000);
    ExpectChoice(Choose(0, 0, 5, 5, 20000), {false, {0, -1}, true}, 20000);
    ExpectChoice(Choose(0, 0, 5, 5, 30000), {false, {0, 1}, true}, 30000);
}

TEST_F(ChooseStepTest, SpentTrailStillCountsAsTrail) {
    // A cell brought to 0 by a negative deposit lives until the next
    // evaporation: it is trail, but weighs nothing.
    map->Deposit(21, 20, 70, 1);
    map->Deposit(21, 20, -70, 0);
    ExpectChoice(Choose(20, 20, 0, 20, 100), {true, {20, 21}, false}, 100);
}
