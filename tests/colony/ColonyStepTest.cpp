// The colony step: role allocation, countdowns, births and deaths, placement.
// (Long runs with the expert system and the golden state hash are the
// simulation's tests.)
#include <cmath>
#include <vector>

#include "ColonyFixture.h"
#include "tests/colony/ColonyInvariants.h"
#include "tests/foundation/TestRandom.h"

TEST_F(ColonyTest, AllocationIsStrictAtTheMeanderingShare) {
    // 6 of 10 ants meandering = 60 %: not above the share, nobody is sent out.
    for (int i = 0; i < 6; ++i) PutAnt(10 + i, 10, Meandering);
    for (int i = 0; i < 4; ++i) PutAnt(10 + i, 20, ReturnToBase);
    colony->wanderingShare = 50.0f;
    colony->Step();
    EXPECT_EQ(colony->meanderers, 6);
    EXPECT_EQ(colony->wanderers, 0);
    EXPECT_EQ(colony->returners, 4);
}

TEST_F(ColonyTest, AllocationSendsAnIdleAntOutsideTheNestToWander) {
    Ant& ant = PutAnt(10, 10, Meandering);  // far from home (64, 64)
    colony->Step();
    EXPECT_EQ(ant.role, Wandering);
    EXPECT_EQ(colony->wanderers, 1);
    EXPECT_EQ(colony->meanderers, 0);
    // Its first leg step already ran this step, which counted the timer down.
    EXPECT_EQ(ant.returnTimer, colony->returnToBaseTime - 1);
}

TEST_F(ColonyTest, AllocationOnTrailPrefersWanderingWhenBothAreShort) {
    Ant& ant = PutAnt(10, 10, Meandering);
    colony->trails.Deposit(10, 10, 100, 0);
    colony->Step();
    EXPECT_EQ(ant.role, Wandering);
    EXPECT_EQ(colony->gatherers, 0);
    EXPECT_EQ(colony->wanderers, 1);
    EXPECT_EQ(colony->meanderers, 0);
}

TEST_F(ColonyTest, AllocationOnTrailMakesAGathererWhenWanderersAreEnough) {
    Ant& ant = PutAnt(10, 10, Meandering);
    colony->trails.Deposit(10, 10, 100, 0);
    colony->trails.Deposit(9, 10, 100, 0);  // trail leading on, so it keeps gathering
    colony->wanderingShare = 0.0f;
    colony->Step();
    EXPECT_EQ(ant.role, Gathering);
    EXPECT_EQ(colony->gatherers, 1);
}

TEST_F(ColonyTest, AllocationInsideTheNestMakesReproducersIncludingAtRadius) {
    // 3 meanderers: R = sqrt(4)/3.1415926535 ~ 0.64; an ant at home is inside.
    Ant& atHome = PutAnt(64, 64, Meandering);
    PutAnt(10, 10, Meandering);
    PutAnt(10, 12, Meandering);
    colony->wanderingShare = 0.0f;
    colony->reproducingShare = 50.0f;  // 1 of 3 reproducing stays below it after the move
    colony->Step();
    EXPECT_EQ(atHome.role, Reproducing);
    EXPECT_EQ(colony->reproducers, 1);
}

TEST_F(ColonyTest, ReproducerAboveItsShareTurnsBackAfterMoving) {
    Ant& ant = PutAnt(64, 64, Reproducing);
    for (int i = 0; i < 3; ++i) PutAnt(10 + i, 10, Meandering);
    colony->meanderingShare = 100.0f;  // no allocation this step
    colony->Step();
    EXPECT_EQ(ant.role, Meandering) << "25 % reproducing is above the 10 % share";
    EXPECT_EQ(colony->reproducers, 0);
}

TEST_F(ColonyTest, CountdownsFireOnTheirScheduledCalls) {
    for (int i = 0; i < 60; ++i) PutAnt(5 + i, 5, Meandering);
    colony->meanderingShare = 100.0f;  // keep the ants idle
    colony->foodPerAnt = 0.0f;
    colony->dieRatio = 0.0f;
    colony->reproduceRatio = 0.0f;
    for (int call = 1; call <= 208; ++call) {
        colony->returners = 99;  // a stale counter that only Recount repairs
        colony->Step();
        const bool recounted = colony->returners == 0;
        EXPECT_EQ(recounted, call % 12 == 0) << "call " << call;
        // The first expert pass is due on call 156, then every 52nd call.
        EXPECT_EQ(colony->policyPassDue, call >= 156 && (call - 156) % 52 == 0) << "call " << call;
    }
}

TEST_F(ColonyTest, BirthsArePaidFromReservesAndKeepTheFraction) {
    const struct {
        float foodPerBaby, reserves, minFood;
        int32_t born;
        float reservesAfter, creditAfter;
    } cases[] = {
        {3.0f, 10.0f, 0.0f, 2, 4.0f, 0.7f},    // cost 6 <= 10
        {6.0f, 10.0f, 0.0f, 0, 10.0f, 0.0f},   // cost 12 > 10: credit dropped
        {0.0f, 5.0f, 5.0f, 0, 5.0f, 0.0f},     // reserves at the minimum
    };
    for (const auto& c : cases) {
        colony->SetWorldSize(128, 128);
        colony->home = GridPoint{64, 64};
        colony->foodPerAnt = 0.0f;
        colony->dieRatio = 0.0f;
        colony->reproduceRatio = 0.0f;
        colony->birthCredit = 2.7f;
        colony->foodPerBaby = c.foodPerBaby;
        colony->foodReserves = c.reserves;
        colony->minFoodToReproduce = c.minFood;
        colony->BirthsAndDeaths();
        EXPECT_EQ(colony->population, c.born);
        EXPECT_EQ(colony->meanderers, c.born);
        EXPECT_NEAR(colony->foodReserves, c.reservesAfter, 1e-4);
        EXPECT_NEAR(colony->birthCredit, c.creditAfter, 1e-4);
    }
}

TEST_F(ColonyTest, StarvationKillsOnlyMeanderersAndEmptiesTheReserves) {
    for (int i = 0; i < 300; ++i) PutAnt(i % 100, i / 100, Meandering);
    for (int i = 0; i < 100; ++i) PutAnt(i, 10, Gathering);
    colony->foodReserves = 0.2f;  // feeding 400 x 0.001 leaves -0.2: up to 200 unfed
    colony->reproduceRatio = 0.0f;
    colony->dieRatio = 0.0f;
    colony->BirthsAndDeaths();
    EXPECT_FLOAT_EQ(colony->foodReserves, 0.0f);
    EXPECT_EQ(colony->gatherers, 100);
    EXPECT_GE(colony->population, 200);
    EXPECT_LE(colony->population, 400);
    EXPECT_EQ(BrokenInvariant(*colony), "");
}

TEST_F(ColonyTest, NaturalDeathsTakeTheYoungestMeanderersFirst) {
    Ant& oldest = PutAnt(1, 1, Meandering);
    PutAnt(2, 2, Gathering);
    Ant& youngest = PutAnt(3, 3, Meandering);
    const int32_t oldestSlot = oldest.slot;
    const int32_t youngestSlot = youngest.slot;
    colony->foodPerAnt = 0.0f;
    colony->dieRatio = 0.0f;
    colony->deathCredit = 1.5f;
    colony->BirthsAndDeaths();
    EXPECT_EQ(colony->population, 2);
    EXPECT_EQ(At(3, 3), -1) << "the youngest meandering ant died";
    EXPECT_EQ(At(1, 1), oldestSlot);
    EXPECT_NEAR(colony->deathCredit, 0.5f, 1e-6);
    (void)youngestSlot;

    colony->deathCredit = 5.0f;  // more deaths than meanderers: the excess is dropped
    colony->BirthsAndDeaths();
    EXPECT_EQ(colony->population, 1);
    EXPECT_EQ(colony->gatherers, 1);
    EXPECT_EQ(colony->meanderers, 0);
}

TEST_F(ColonyTest, CreateAntsSeatsTheFirstOnHomeAndTheNextNearby) {
    colony->CreateAnts(GridPoint{40, 50}, 2);
    EXPECT_EQ(colony->population, 2);
    EXPECT_EQ(colony->meanderers, 2);
    EXPECT_NE(At(40, 50), -1);
    const Ant& second = colony->ants.At(1);
    EXPECT_LE(std::abs(second.pos.x - 40) + std::abs(second.pos.y - 50), 6);
    EXPECT_LE(colony->DistanceHome(second.pos), 3.5f);
}

namespace {

// The placement rule as described: candidates at distance draw x r / 32767
// and angle draw x 360 / 32767 degrees (in double), the disk widening by 3
// after every run of `tries` misses. Returns the cells taken, oldest first.
std::vector<GridPoint> DescribedPlacement(RandomSource& random, int32_t side, GridPoint home,
                                          int32_t n, float r, int32_t tries) {
    std::vector<bool> taken(static_cast<size_t>(side * side), false);
    std::vector<GridPoint> cells;
    while (static_cast<int32_t>(cells.size()) < n) {
        int32_t misses = 0;
        while (misses < tries && static_cast<int32_t>(cells.size()) < n) {
            const float d = static_cast<float>(random.Next() * r / 32767.0);
            const float a = static_cast<float>(random.Next() * 360.0 / 32767.0);
            const double radians = static_cast<double>(a) * 3.1415927 / 180.0;
            const int32_t x = GeometryUtil::RoundDouble(std::cos(radians) * d + home.x);
            const int32_t y = GeometryUtil::RoundDouble(std::sin(radians) * d + home.y);
            const size_t cell = static_cast<size_t>(x * side + y);
            if (x >= 0 && y >= 0 && x < side && y < side && !taken[cell]) {
                taken[cell] = true;
                cells.push_back(GridPoint{x, y});
            } else {
                ++misses;
            }
        }
        r += 3.0f;
    }
    return cells;
}

}  // namespace

// Placement follows the described draws while free cells remain: the disk
// keeps widening past the world (it used to stop once it covered the world,
// so a 30 x 30 world with 400 ants already differed).
TEST_F(ColonyTest, PlacementFollowsTheDescribedDraws) {
    for (int32_t side : {30, 40, 128}) {
        colony->SetWorldSize(side, side);
        const GridPoint home{side / 2, side / 2};
        RandomSource copy = random;
        const std::vector<GridPoint> expected =
            DescribedPlacement(copy, side, home, 400, 0.0f, 30);
        colony->CreateAnts(home, 400);
        ASSERT_EQ(colony->population, 400) << side;
        EXPECT_EQ(random.State(), copy.State()) << side << ": the same draws";
        size_t i = expected.size();
        for (int32_t s = colony->ants.Newest(); s != -1; s = colony->ants.Older(s)) {
            ASSERT_EQ(colony->ants.At(s).pos, expected[--i]) << side;
        }
    }
}

// The stops: a full world ends placement at once. In a nearly full world the
// widening disk would practically never hit the last free cells; past 1024
// cells it shrinks back to cover just the world, and every ant finds a cell.
TEST_F(ColonyTest, PlacementStopsWhenTheWorldIsFullAndFindsTheLastFreeCells) {
    const struct {
        int32_t side, ants, expected;
    } cases[] = {{1, 400, 1}, {10, 400, 100}, {20, 400, 400}, {64, 4000, 4000}};
    for (const auto& c : cases) {
        colony->SetWorldSize(c.side, c.side);
        colony->CreateAnts(GridPoint{c.side / 2, c.side / 2}, c.ants);
        EXPECT_EQ(colony->population, c.expected) << c.side;
        EXPECT_EQ(BrokenInvariant(*colony), "") << c.side;
        for (int i = 0; i < 30; ++i) {
            food->Step();
            colony->Step();
        }
        EXPECT_EQ(BrokenInvariant(*colony), "") << c.side << " after steps";
    }
}

// The placement angle is a x 3.1415927 / 180.0 in double. In float
// arithmetic about one candidate in two million lands on a neighbouring cell;
// these draws (distance first, then angle, disk radius 20 around (64, 64))
// are such candidates, and each must land where the double arithmetic puts it.
TEST_F(ColonyTest, PlacementAngleInDoubleArithmetic) {
    const struct {
        int32_t distanceDraw, angleDraw;
        GridPoint cell;  // float arithmetic would give the cell next to it
    } cases[] = {{29908, 429, {82, 65}}, {25937, 827, {80, 66}}, {11702, 2229, {71, 67}}};
    for (const auto& c : cases) {
        colony->SetWorldSize(128, 128);
        colony->home = GridPoint{64, 64};
        ASSERT_TRUE(testrandom::SetNextDraws(random, c.distanceDraw, c.angleDraw, c.angleDraw));
        ASSERT_EQ(colony->PlaceAnts(1, 20.0f, 10), 1);
        EXPECT_EQ(colony->ants.At(colony->ants.Newest()).pos, c.cell)
            << "draws " << c.distanceDraw << ", " << c.angleDraw;
    }
}
