// The colony's records, defaults and primitives: moves with swaps, the nest
// radius, the one-cell step toward a goal, slot reuse.
#include <cmath>
#include <cstring>

#include "ColonyFixture.h"

TEST_F(ColonyTest, NewColonyHasDefaultsAndAnEmptyGrid) {
    RandomSource fresh;
    auto c = std::make_unique<Colony>(fresh);
    EXPECT_FLOAT_EQ(c->gatheringShare, 25.0f);
    EXPECT_FLOAT_EQ(c->meanderingShare, 60.0f);
    EXPECT_FLOAT_EQ(c->reproducingShare, 10.0f);
    EXPECT_FLOAT_EQ(c->wanderingShare, 5.0f);
    EXPECT_FLOAT_EQ(c->foodReserves, 300.0f);
    EXPECT_EQ(c->population, 0);
    EXPECT_EQ(c->ants.Count(), 0);
    EXPECT_EQ(c->foodSupply, 1000);
    for (int32_t i = 0; i < kGridCells; ++i) ASSERT_EQ(c->occupancy[i].slot, -1);
    EXPECT_EQ(fresh.State(), 1u) << "building a colony draws no random number";
}

TEST_F(ColonyTest, MoveAntRefusesCellsOutsideTheWorld) {
    Ant& ant = PutAnt(0, 0, Meandering);
    const GridPoint outside[] = {{-1, 0}, {128, 0}, {0, 128}, {0, -1}};
    for (GridPoint p : outside) {
        EXPECT_FALSE(colony->MoveAnt(p.x, p.y, 1, ant)) << p.x << "," << p.y;
    }
    EXPECT_EQ(ant.pos, (GridPoint{0, 0}));
    EXPECT_EQ(ant.lastMoved, 0);
    EXPECT_EQ(At(0, 0), ant.slot);
}

TEST_F(ColonyTest, MoveAntIntoAnEmptyCellFreesTheOldOneAndStamps) {
    Ant& ant = PutAnt(5, 5, Gathering);
    ant.blockedSteps = 4;
    EXPECT_TRUE(colony->MoveAnt(5, 6, 7, ant));
    EXPECT_EQ(At(5, 5), -1);
    EXPECT_EQ(At(5, 6), ant.slot);
    EXPECT_EQ(ant.lastMoved, 7);
    EXPECT_EQ(ant.blockedSteps, 0);
}

TEST_F(ColonyTest, MoveAntSwapsOnlyWithAnAntThatHasNotMovedThisStep) {
    Ant& a = PutAnt(5, 5, Gathering);
    Ant& b = PutAnt(5, 6, Gathering);
    a.blockedSteps = 3;
    b.blockedSteps = 3;
    MarkMoved(b, 9);  // b already moved in step 9
    EXPECT_FALSE(colony->MoveAnt(5, 6, 9, a));
    EXPECT_EQ(a.pos, (GridPoint{5, 5}));
    EXPECT_EQ(a.lastMoved, 0);

    MarkMoved(b, 8);  // in step 10 b has not moved yet: the two trade places
    EXPECT_TRUE(colony->MoveAnt(5, 6, 10, a));
    EXPECT_EQ(a.pos, (GridPoint{5, 6}));
    EXPECT_EQ(b.pos, (GridPoint{5, 5}));
    EXPECT_EQ(At(5, 6), a.slot);
    EXPECT_EQ(At(5, 5), b.slot);
    EXPECT_EQ(a.lastMoved, 10);
    EXPECT_EQ(b.lastMoved, 10);
    EXPECT_EQ(a.blockedSteps, 0);
    EXPECT_EQ(b.blockedSteps, 3) << "the pushed ant keeps its count";
}

// A move writes the record of whatever the target cell holds, selected
// values included, so every outcome must leave the records it does not
// change exactly as they were: a free cell's write lands on the list's spare
// element, not on slot 0's ant, and a refused occupant gets its own place
// and stamp back.
TEST_F(ColonyTest, MoveAntChangesNoRecordButTheMoversAndTheDisplaced) {
    struct Case {
        const char* name;
        GridPoint target;
        int32_t occupantStamp;  // the stamp the ant on (6, 5) holds
        bool moves;
        bool displaces;
    };
    const Case cases[] = {
        {"onto a free cell", {4, 5}, 8, true, false},
        {"refused by an ant that moved", {6, 5}, 9, false, false},
        {"swapped with an ant that did not", {6, 5}, 8, true, true},
    };
    auto same = [](const Ant& a, const Ant& b) { return std::memcmp(&a, &b, sizeof(Ant)) == 0; };
    for (const Case& c : cases) {
        SetUp();
        Ant& bystander = PutAnt(20, 20, Meandering);  // slot 0
        Ant& mover = PutAnt(5, 5, Gathering);
        Ant& occupant = PutAnt(6, 5, Gathering);
        bystander.legLength = 11;
        mover.blockedSteps = 3;
        occupant.blockedSteps = 3;
        MarkMoved(occupant, c.occupantStamp);
        const Ant bystanderBefore = bystander;
        const Ant moverBefore = mover;
        const Ant occupantBefore = occupant;

        EXPECT_EQ(colony->MoveAnt(c.target.x, c.target.y, 9, mover), c.moves) << c.name;
        EXPECT_TRUE(same(bystander, bystanderBefore)) << c.name;
        EXPECT_EQ(At(20, 20), bystander.slot) << c.name;
        if (c.moves) {
            EXPECT_EQ(mover.pos, c.target) << c.name;
            EXPECT_EQ(mover.lastMoved, 9) << c.name;
            EXPECT_EQ(mover.blockedSteps, 0) << c.name;
        } else {
            EXPECT_TRUE(same(mover, moverBefore)) << c.name;
        }
        if (c.displaces) {
            EXPECT_EQ(occupant.pos, (GridPoint{5, 5})) << c.name;
            EXPECT_EQ(occupant.lastMoved, 9) << c.name;
            EXPECT_EQ(occupant.blockedSteps, 3) << c.name;
        } else {
            EXPECT_TRUE(same(occupant, occupantBefore)) << c.name;
        }
        EXPECT_EQ(At(mover.pos.x, mover.pos.y), mover.slot) << c.name;
        EXPECT_EQ(At(occupant.pos.x, occupant.pos.y), occupant.slot) << c.name;
    }
}

TEST_F(ColonyTest, MoveAntInPlaceStampsOnceAStep) {
    Ant& ant = PutAnt(3, 3, Meandering);
    EXPECT_TRUE(colony->MoveAnt(3, 3, 4, ant));
    EXPECT_EQ(ant.lastMoved, 4);
    EXPECT_FALSE(colony->MoveAnt(3, 3, 4, ant));
    EXPECT_EQ(At(3, 3), ant.slot);
}

TEST_F(ColonyTest, NestRadiusAndRolePercent) {
    for (int i = 0; i < 10; ++i) PutAnt(i, 0, Meandering);
    for (int i = 0; i < 4; ++i) PutAnt(i, 1, Reproducing);
    EXPECT_FLOAT_EQ(colony->NestRadius(), static_cast<float>(std::sqrt(15.0) / 3.1415926535));
    EXPECT_FLOAT_EQ(colony->RolePercent(colony->reproducers), static_cast<float>(100.0 * 4 / 14));
}

TEST_F(ColonyTest, StepTowardFollowsTheDrawAcrossAxes) {
    struct Case {
        float dx, dy, lo, hi;
        GridPoint expected;
    } cases[] = {
        {3, 0, 0.0f, 0.99f, {11, 10}},    // always +x ...
        {3, 0, 1.0f, 1.01f, {10, 9}},     // ... unless the draw is exactly 1.0
        {0, -2, 0.0f, 1.01f, {10, 9}},    // dx 0: always the y axis
        {-1, 1, 0.0f, 0.49f, {9, 10}},    // half the draws go along x
        {-1, 1, 0.5f, 1.01f, {10, 11}},
    };
    for (const Case& c : cases) {
        random.Seed(SeedForUnit(c.lo, c.hi));
        const GridPoint next = colony->StepToward(GridPoint{10, 10}, c.dx, c.dy);
        EXPECT_EQ(next, c.expected) << c.dx << "," << c.dy << " r in [" << c.lo << "," << c.hi << ")";
    }
}

TEST_F(ColonyTest, AReusedSlotKeepsThePreviousOccupantsValues) {
    Ant& old = PutAnt(2, 2, Wandering);
    old.legLeft = 7;
    old.legTarget = GridPoint{9, 9};
    old.returnTimer = 123;
    old.wandererCarrying = true;
    old.weakSteps = 3;
    const int32_t slot = old.slot;
    colony->Vacate(2, 2);
    colony->ants.Remove(slot);

    // A birth takes the freed slot back and sets only slot, pos, role, lastMoved.
    colony->home = GridPoint{40, 40};
    const int32_t placed = colony->PlaceAnts(1, 0.0f, 10);
    ASSERT_EQ(placed, 1);
    const Ant& born = colony->ants.At(slot);
    EXPECT_EQ(born.pos, (GridPoint{40, 40}));
    EXPECT_EQ(born.role, Meandering);
    EXPECT_EQ(born.legLeft, 7);
    EXPECT_EQ(born.legTarget, (GridPoint{9, 9}));
    EXPECT_EQ(born.returnTimer, 123);
    EXPECT_TRUE(born.wandererCarrying);
    EXPECT_EQ(born.weakSteps, 3);
}

TEST_F(ColonyTest, SetWorldSizeClampsToTheGrid) {
    const struct { int32_t w, h, ew, eh; } cases[] = {
        {64, 32, 64, 32}, {0, -5, 1, 1}, {256, 129, 128, 128}, {1, 128, 1, 128}};
    for (const auto& c : cases) {
        colony->SetWorldSize(c.w, c.h);
        EXPECT_EQ(colony->width, c.ew);
        EXPECT_EQ(colony->height, c.eh);
        EXPECT_EQ(colony->trails.width, c.ew);
        EXPECT_EQ(colony->trails.height, c.eh);
    }
}
