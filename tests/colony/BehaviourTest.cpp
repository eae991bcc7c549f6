// One ant at a time: meandering, wandering, gathering and walking home.
#include <memory>
#include <vector>

#include "ColonyFixture.h"
#include "tests/foundation/TestRandom.h"

TEST_F(ColonyTest, MeanderEastOfTheNestFollowsTheThresholds) {
    // theta = 0 with pull 0.6: thresholds 0.3, 0.5, 0.7.
    const struct { float lo, hi; GridPoint expected; } cases[] = {
        {0.0f, 0.29f, {69, 64}},   // x - 1 (toward the nest)
        {0.31f, 0.49f, {71, 64}},  // x + 1
        {0.51f, 0.69f, {70, 65}},  // y + 1
        {0.71f, 1.01f, {70, 63}},  // y - 1
    };
    for (const auto& c : cases) {
        colony->SetWorldSize(128, 128);
        colony->home = GridPoint{64, 64};
        Ant& ant = PutAnt(70, 64, Meandering);
        colony->stepCount = 1;
        random.Seed(SeedForUnit(c.lo, c.hi));
        colony->Meander(ant);
        EXPECT_EQ(ant.pos, c.expected) << "draw in [" << c.lo << "," << c.hi << ")";
    }
}

TEST_F(ColonyTest, MeanderSkipsAnAntAlreadyMovedAndTreatsHomeAsEast) {
    Ant& moved = PutAnt(70, 64, Meandering);
    colony->stepCount = 5;
    MarkMoved(moved, 5);
    const uint32_t before = random.State();
    colony->Meander(moved);
    EXPECT_EQ(moved.pos, (GridPoint{70, 64}));
    EXPECT_EQ(random.State(), before) << "no draw for an ant that already moved";

    Ant& atHome = PutAnt(64, 64, Meandering);
    random.Seed(SeedForUnit(0.0f, 0.29f));
    colony->Meander(atHome);
    EXPECT_EQ(atHome.pos, (GridPoint{63, 64})) << "theta 0 at home: a low draw steps to x - 1";
}

TEST_F(ColonyTest, WandererPicksUpFoodAndMarksTheCellWithoutMoving) {
    Ant& ant = PutAnt(20, 20, Wandering);
    PutFood(20, 20);
    colony->stepCount = 1;
    colony->Wander(ant);
    EXPECT_TRUE(ant.wandererCarrying);
    EXPECT_EQ(ant.pos, (GridPoint{20, 20}));
    EXPECT_FALSE(food->HasFood(20, 20));
    EXPECT_EQ(colony->trails.IntensityAt(20, 20), 600);
    EXPECT_EQ(ant.wanderTrailTag, 0);
}

TEST_F(ColonyTest, CarryingWandererDeliversInsideTheNest) {
    for (int i = 0; i < 19; ++i) PutAnt(i, 0, Meandering);
    Ant& ant = PutAnt(64, 64, Wandering);  // 1 of 20 ants = 5 %: at its share
    ant.wandererCarrying = true;
    ant.returnTimer = -3;
    colony->Wander(ant);
    EXPECT_FLOAT_EQ(colony->foodReserves, 301.0f);
    EXPECT_FALSE(ant.wandererCarrying);
    EXPECT_EQ(ant.role, Wandering);
    EXPECT_EQ(ant.returnTimer, colony->returnToBaseTime);

    ant.wandererCarrying = true;  // now above its share: it retires
    colony->wanderingShare = 4.0f;
    colony->Wander(ant);
    EXPECT_EQ(ant.role, Meandering);
    EXPECT_EQ(colony->wanderers, 0);
    EXPECT_EQ(colony->meanderers, 20);
}

TEST_F(ColonyTest, CarryingWandererLaysTrailOnlyWhenItMoves) {
    Ant& ant = PutAnt(80, 64, Wandering);
    ant.wandererCarrying = true;
    ant.wanderTrailTag = 4;
    MarkMoved(PutAnt(79, 64, Meandering), 1);  // blocks the only way home
    colony->stepCount = 1;
    colony->Wander(ant);
    EXPECT_EQ(ant.pos, (GridPoint{80, 64}));
    EXPECT_EQ(colony->trails.trailCells.Count(), 0);

    colony->stepCount = 2;  // the blocker has not moved in step 2: they swap
    colony->Wander(ant);
    EXPECT_EQ(ant.pos, (GridPoint{79, 64}));
    EXPECT_EQ(colony->trails.IntensityAt(79, 64), 600);
    EXPECT_EQ(ant.wanderTrailTag, 5);
}

TEST_F(ColonyTest, WandererReturnTimerCountsLegSteps) {
    Ant& ant = PutAnt(30, 30, Wandering);
    ant.returnTimer = -1;
    colony->Wander(ant);
    EXPECT_EQ(ant.role, ReturnToBase);
    EXPECT_EQ(ant.pos, (GridPoint{30, 30}));
    EXPECT_EQ(colony->returners, 1);
    EXPECT_EQ(colony->wanderers, 0);

    Ant& other = PutAnt(40, 40, Wandering);
    other.returnTimer = 0;
    other.legOrigin = GridPoint{40, 40};
    other.legTarget = GridPoint{43, 40};
    other.legLength = 3;
    other.legLeft = 3;
    colony->stepCount = 1;
    colony->Wander(other);
    EXPECT_EQ(other.role, Wandering) << "timer 0 still allows a leg step";
    EXPECT_EQ(other.returnTimer, -1);
}

TEST_F(ColonyTest, WandererWalksALegOfThreeThenPlansAgain) {
    Ant& ant = PutAnt(40, 40, Wandering);
    ant.returnTimer = 100;
    ant.legOrigin = GridPoint{40, 40};
    ant.legTarget = GridPoint{43, 40};
    ant.legLength = 3;
    ant.legLeft = 3;
    const int32_t expectedX[] = {40, 41, 42};  // e = 1, 2/3, 1/3
    for (int i = 0; i < 3; ++i) {
        colony->stepCount = i + 1;
        colony->Wander(ant);
        EXPECT_EQ(ant.pos.x, expectedX[i]) << "leg step " << i;
        EXPECT_EQ(ant.legLeft, 2 - i);
    }
    colony->stepCount = 4;
    colony->Wander(ant);
    EXPECT_EQ(ant.legOrigin, (GridPoint{42, 40})) << "a new leg starts where the ant stands";
    EXPECT_GE(ant.legLength, 1);
    EXPECT_EQ(ant.legLeft, ant.legLength - 1) << "and its first step is taken at once";
}

TEST_F(ColonyTest, WallPushesALegTargetAwayFromTheWall) {
    Ant& ant = PutAnt(0, 64, Wandering);
    ant.returnTimer = 100;
    colony->maxWanderDistance = 0;  // only the wall push remains
    colony->Wander(ant);
    // fx = 15 - 15/128 rounds to 15; fy is close to 0 in the middle.
    EXPECT_EQ(ant.legTarget, (GridPoint{15, 64}));
    EXPECT_EQ(ant.legLength, 15);
}

TEST_F(ColonyTest, DegenerateLegPlanningCannotHang) {
    colony->SetWorldSize(1, 1);
    colony->home = GridPoint{5, 5};
    Ant& ant = PutAnt(0, 0, Wandering);
    ant.returnTimer = 100;
    colony->maxWanderDistance = 0;  // every leg has length 0 in a 1 x 1 world
    colony->Wander(ant);
    EXPECT_EQ(ant.legLength, 0);
    EXPECT_EQ(ant.pos, (GridPoint{0, 0}));
}

TEST_F(ColonyTest, GathererPicksUpThenCarriesHomeAndDelivers) {
    for (int i = 0; i < 10; ++i) PutAnt(i, 0, Meandering);
    Ant& ant = PutAnt(66, 64, Gathering);
    PutFood(66, 64);
    colony->stepCount = 1;
    colony->Gather(ant);
    EXPECT_TRUE(ant.gathererCarrying);
    EXPECT_EQ(ant.pos, (GridPoint{66, 64}));
    EXPECT_EQ(colony->trails.trailCells.Count(), 0) << "no trail on pick-up";

    colony->stepCount = 2;
    colony->Gather(ant);  // radius sqrt(11)/pi ~ 1.06: still outside, steps home
    EXPECT_EQ(ant.pos, (GridPoint{65, 64}));
    EXPECT_EQ(colony->trails.IntensityAt(65, 64), 70);

    colony->stepCount = 3;
    colony->Gather(ant);  // distance 1 < 1.06: delivers on its own cell
    EXPECT_FLOAT_EQ(colony->foodReserves, 301.0f);
    EXPECT_FALSE(ant.gathererCarrying);
    EXPECT_EQ(colony->trails.IntensityAt(65, 64), 140);
    EXPECT_EQ(ant.role, Gathering) << "1 of 11 ants gathering is below 25 %";
}

TEST_F(ColonyTest, GathererGivesUpAfterFiveBlockedCallsUnlessOnFood) {
    Ant& ant = PutAnt(30, 30, Gathering);
    ant.blockedSteps = 4;
    colony->Gather(ant);
    EXPECT_EQ(ant.role, ReturnClearingTrail);
    EXPECT_EQ(colony->returners, 1);
    EXPECT_EQ(colony->gatherers, 0);

    Ant& onFood = PutAnt(31, 31, Gathering);
    onFood.blockedSteps = 4;
    PutFood(31, 31);
    colony->Gather(onFood);
    EXPECT_EQ(onFood.role, Gathering);
    EXPECT_TRUE(onFood.gathererCarrying);
}

TEST_F(ColonyTest, GathererWithNothingAroundBecomesAShortWanderer) {
    Ant& ant = PutAnt(30, 30, Gathering);
    colony->Gather(ant);
    EXPECT_EQ(ant.role, Wandering);
    EXPECT_EQ(ant.returnTimer, 50);
    EXPECT_EQ(colony->gatherers, 0);
    EXPECT_EQ(colony->wanderers, 1);
}

TEST_F(ColonyTest, GathererOnAVanishedTargetTurnsWandererOnce) {
    Ant& ant = PutAnt(30, 30, Gathering);
    ant.hasFoodTarget = true;
    ant.foodTarget = GridPoint{30, 30};
    colony->Gather(ant);
    EXPECT_EQ(ant.role, Wandering);
    EXPECT_EQ(colony->wanderers, 1);
    EXPECT_EQ(colony->gatherers, 0);
    EXPECT_EQ(ant.returnTimer, 50);
}

TEST_F(ColonyTest, ReturningAntsWalkHomeAndOnlyClearersWeakenTrail) {
    Ant& clearer = PutAnt(80, 64, ReturnClearingTrail);
    MarkMoved(PutAnt(79, 64, Meandering), 1);  // blocks the way home
    colony->stepCount = 1;
    colony->ReturnHome(clearer);
    EXPECT_EQ(clearer.pos, (GridPoint{80, 64})) << "the move is refused";
    EXPECT_EQ(colony->trails.IntensityAt(79, 64), -70) << "but the trail ahead is weakened";

    Ant& walker = PutAnt(64, 80, ReturnToBase);
    colony->ReturnHome(walker);
    EXPECT_EQ(walker.pos, (GridPoint{64, 79}));
    EXPECT_EQ(colony->trails.IntensityAt(64, 79), 0);
}

TEST_F(ColonyTest, ReturningAntArrivesStrictlyInsideRadiusPlusTwo) {
    // No meanderers or reproducers: R = 1/3.1415926535 ~ 0.318, so R + 2 ~ 2.318.
    Ant& far = PutAnt(67, 64, ReturnToBase);  // distance 3: keeps walking
    colony->stepCount = 1;
    colony->ReturnHome(far);
    EXPECT_EQ(far.role, ReturnToBase);
    EXPECT_EQ(far.pos, (GridPoint{66, 64}));
    colony->stepCount = 2;
    colony->ReturnHome(far);  // distance 2 < 2.318: arrives
    EXPECT_EQ(far.role, Meandering);
    EXPECT_EQ(far.pos, (GridPoint{66, 64}));
}

// The walk takes a returning ant's axis from the meander table's homeward
// count instead of StepToward's division. For a nest in the middle, in a
// corner and on an edge, and offsets on each axis, diagonal and quadrant,
// the draws on either side of the count and a spread of others must move
// the ant in the walk exactly as ReturnHome moves it.
TEST_F(ColonyTest, TheWalkStepsReturningAntsAsReturnHomeDoes) {
    const GridPoint homes[] = {{64, 64}, {0, 0}, {127, 40}};
    const GridPoint offsets[] = {{5, 0},  {-5, 0},  {0, 7},   {0, -7},  {6, 6},
                                 {-6, 6}, {-9, -3}, {4, -11}, {120, 3}, {-2, 127}};
    auto colonyAt = [this](GridPoint home) {
        auto c = std::make_unique<Colony>(random);
        c->foodField = food.get();
        c->SetWorldSize(128, 128);
        c->home = home;
        c->reproduceRatio = 0.0f;
        c->dieRatio = 0.0f;
        c->foodPerAnt = 0.0f;
        int32_t slot = 0;
        Ant& ant = *c->ants.Add(slot);
        ant.slot = slot;
        ant.lastMoved = 0;
        c->population = 1;
        c->returners = 1;
        return c;
    };
    auto place = [](Colony& c, GridPoint at, int32_t role) -> Ant& {
        Ant& ant = c.ants.At(c.ants.Newest());
        c.Vacate(ant.pos.x, ant.pos.y);
        ant.pos = at;
        ant.role = role;
        c.Seat(ant);
        return ant;
    };
    int32_t cases = 0;
    for (GridPoint home : homes) {
        auto walked = colonyAt(home);
        auto alone = colonyAt(home);
        for (GridPoint offset : offsets) {
            const GridPoint at{home.x + offset.x, home.y + offset.y};
            if (!walked->InWorld(at.x, at.y)) continue;
            const int32_t count = walked->MeanderCutsAt(offset.x, offset.y).homeward;
            std::vector<int32_t> draws = {count - 1, count, count + 1, 0, RandomSource::kMax};
            for (int32_t v = 0; v <= RandomSource::kMax; v += 1009) draws.push_back(v);
            for (int32_t v : draws) {
                if (v < 0 || v > RandomSource::kMax) continue;
                for (int32_t role : {ReturnToBase, ReturnClearingTrail}) {
                    place(*walked, at, role);
                    testrandom::SetNextDraw(random, v);
                    walked->Step();
                    Ant& ant = place(*alone, at, role);
                    alone->stepCount = walked->stepCount;
                    testrandom::SetNextDraw(random, v);
                    alone->ReturnHome(ant);
                    const Ant& moved = walked->ants.At(walked->ants.Newest());
                    ASSERT_EQ(moved.pos, ant.pos) << "nest (" << home.x << ", " << home.y << "), offset ("
                                                  << offset.x << ", " << offset.y << "), draw " << v;
                    ASSERT_EQ(moved.role, ant.role);
                    ++cases;
                }
            }
        }
    }
    EXPECT_GT(cases, 300);
}

TEST_F(ColonyTest, MeanderFollowsAChangedPull) {
    const uint32_t seed = SeedForUnit(0.31f, 0.49f);
    Ant& ant = PutAnt(70, 64, Meandering);
    colony->stepCount = 1;
    random.Seed(seed);
    colony->Meander(ant);
    EXPECT_EQ(ant.pos, (GridPoint{71, 64})) << "pull 0.6: this draw steps away (x + 1)";

    // Full pull: no step leads away; east of the nest half the draws go west.
    colony->meanderPull = 1.0f;
    colony->stepCount = 2;
    ant.pos = GridPoint{70, 64};
    colony->Vacate(71, 64);
    colony->Seat(ant);
    random.Seed(seed);
    colony->Meander(ant);
    EXPECT_EQ(ant.pos, (GridPoint{69, 64}));
}

// The step compares raw draws with tabulated counts instead of unit draws
// with float thresholds. For every kind of offset (each quadrant, the axes
// where the formulas jump, the nest itself, the far corners) and pulls that
// make the thresholds coincide, fall out of order or leave [0, 1], each
// draw near a threshold and a spread of others must pick the direction the
// float comparisons pick.
TEST_F(ColonyTest, MeanderStepMatchesTheFloatThresholdsForEveryDraw) {
    const GridPoint offsets[] = {{0, 0},  {6, 0},   {5, 3},     {0, 7},    {-4, 9},
                                 {-8, 0}, {-3, -3}, {0, -5},    {7, -2},   {1, 1},
                                 {63, 63}, {-64, -64}, {126, 0}, {0, -126}, {-126, 126},
                                 {140, -3}, {-5, -150}};  // the last two: a nest off the grid
    const float pulls[] = {0.6f, 0.0f, 1.0f, 0.37f, 1.8f, -0.5f};
    const GridPoint steps[4] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
    colony->home = GridPoint{0, 0};
    Ant& ant = PutAnt(0, 0, Meandering);
    int32_t stamp = 0;
    for (float pull : pulls) {
        colony->meanderPull = pull;
        for (GridPoint offset : offsets) {
            // The ant stands one cell in from a wall, so each step stays in the
            // world; home lies at the offset from it.
            const GridPoint at{offset.x >= 0 ? 126 : 1, offset.y >= 0 ? 126 : 1};
            colony->home = GridPoint{at.x - offset.x, at.y - offset.y};
            const Colony::MeanderThresholds t = colony->MeanderThresholdsAt(offset.x, offset.y);
            std::vector<int32_t> draws;
            for (float threshold : {t.t1, t.t2, t.t3}) {
                const int32_t near = static_cast<int32_t>(threshold * 32767.0f);
                for (int32_t v = near - 3; v <= near + 3; ++v) draws.push_back(v);
            }
            for (int32_t v = 0; v <= RandomSource::kMax; v += 97) draws.push_back(v);
            draws.push_back(RandomSource::kMax);
            for (int32_t v : draws) {
                if (v < 0 || v > RandomSource::kMax) continue;
                const float r = static_cast<float>(v / 32767.0);
                const int32_t expected = r < t.t1 ? 0 : (r < t.t2 ? 1 : (r < t.t3 ? 2 : 3));
                colony->Vacate(ant.pos.x, ant.pos.y);
                ant.pos = at;
                colony->Seat(ant);
                colony->stepCount = ++stamp;
                testrandom::SetNextDraw(random, v);
                colony->Meander(ant);
                const GridPoint want{at.x + steps[expected].x, at.y + steps[expected].y};
                ASSERT_EQ(ant.pos, want) << "pull " << pull << ", offset (" << offset.x << ", "
                                         << offset.y << "), draw " << v;
            }
        }
    }
}

// The meander table is filled once per pull. A pull of -1.0 is a value like
// any other (it once doubled as the "not filled" mark, so a colony starting
// with it read an empty table), and a NaN pull, which equals nothing, must not
// refill the table on every step. With NaN thresholds no comparison holds:
// every draw steps to y - 1.
TEST_F(ColonyTest, MeanderTableFilledOncePerPullWhateverThePull) {
    struct Case {
        float pull;
        GridPoint offset;
    };
    const Case cases[] = {{-1.0f, {6, 0}}, {-1.0f, {-3, 5}}, {std::nanf(""), {6, 0}}};
    for (const Case& c : cases) {
        auto fresh = std::make_unique<Colony>(random);
        fresh->foodField = food.get();
        fresh->SetWorldSize(128, 128);
        fresh->meanderPull = c.pull;
        fresh->home = GridPoint{64, 64};
        int32_t slot = 0;
        Ant& ant = *fresh->ants.Add(slot);
        ant.slot = slot;
        ant.role = Meandering;
        ant.lastMoved = 0;
        fresh->population = 1;
        fresh->meanderers = 1;
        const GridPoint at{64 + c.offset.x, 64 + c.offset.y};
        const Colony::MeanderThresholds t = fresh->MeanderThresholdsAt(c.offset.x, c.offset.y);
        const GridPoint steps[4] = {{-1, 0}, {1, 0}, {0, 1}, {0, -1}};
        for (int32_t v = 0; v <= RandomSource::kMax; v += 1021) {
            const float r = static_cast<float>(v / 32767.0);
            const int32_t expected = r < t.t1 ? 0 : (r < t.t2 ? 1 : (r < t.t3 ? 2 : 3));
            if (std::isnan(c.pull)) {
                ASSERT_EQ(expected, 3);
            }
            fresh->Vacate(ant.pos.x, ant.pos.y);
            ant.pos = at;
            fresh->Seat(ant);
            ++fresh->stepCount;
            testrandom::SetNextDraw(random, v);
            fresh->Meander(ant);
            ASSERT_EQ(ant.pos, (GridPoint{at.x + steps[expected].x, at.y + steps[expected].y}))
                << "pull " << c.pull << ", draw " << v;
        }
        EXPECT_EQ(fresh->MeanderTableFills(), 1) << "pull " << c.pull;
    }
}
