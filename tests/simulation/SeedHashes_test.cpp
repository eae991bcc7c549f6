// State hashes of several seeded runs at a few checkpoints. The simulation's
// results are meant to be bit-reproducible: a speed-up must leave every one of
// these figures as it is, and a change that alters behaviour on purpose has to
// say so by updating them. The scenarios reach the paths a plain start-up run
// rarely takes: other seeds, crowded and small worlds, a rebuilt colony, the
// other food generators, starvation with paid births, strong trails and a
// changed meander pull.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "simulation/Simulation.h"
#include "simulation/StateHash.h"
#include "tests/TempFolder.h"
#include "tests/colony/ColonyInvariants.h"

namespace {

struct Checkpoint {
    int32_t step;   // steps taken since construction (and the setup)
    uint64_t hash;  // StateHash after that step
};

struct Scenario {
    const char* name;
    uint32_t seed;
    void (*setup)(Simulation& s);            // after construction, before the first step
    int32_t changeAt;                        // change runs right after this step; 0: never
    void (*change)(Simulation& s);
    Checkpoint checkpoints[3];               // step 0 ends the list early
};

void StartUp(Simulation&) {}

void SmallCrowdedWorld(Simulation& s) {
    s.NewWorld(30, 30);
    s.NewColony(15, 15, 400);
}

void PackedWorld(Simulation& s) {
    s.NewWorld(64, 64);
    s.NewColony(32, 32, 3000);
    s.colony.reproduceRatio = 0.05f;  // births into a nearly full world
}

void Rebuild(Simulation& s) { s.RestartColony(); }

void StrongTrailsNoExpert(Simulation& s) {
    s.colony.wanderTrailIntensity = 2000;
    s.colony.gathererTrailIntensity = 500;
    s.colony.foodSearchRadius = 25;
    s.expertSystem.on = false;
}

void StarvingWithPaidBirths(Simulation& s) {
    s.foodField.generatorType = ExponentialGrowth;
    s.foodField.exponentialGrowthPercentage = 0.02f;
    s.colony.foodPerAnt = 0.004f;
    s.colony.foodPerBaby = 0.5f;
    s.colony.minFoodToReproduce = 5.0f;
    s.colony.reproduceRatio = 0.03f;
}

void MinimumFoodFastDecay(Simulation& s) {
    s.foodField.generatorType = MinimumFood;
    s.foodField.minFood = 300;
    s.foodField.clusterSize = 20;
    s.foodField.decayPercentage = 0.5f;
    s.foodField.turnsToDecay = 150;
    s.colony.maxWanderDistance = 30;
    s.colony.potentialFieldStrength = 40.0f;
}

void StrongPull(Simulation& s) { s.colony.meanderPull = 0.95f; }
void WeakPull(Simulation& s) { s.colony.meanderPull = 0.1f; }

// clang-format off
const Scenario kScenarios[] = {
    {"StartUpSeed1", 1u, StartUp, 0, nullptr,
     {{1, 16939698587929405787ull},
      {157, 961727443296201972ull},
      {3000, 527997213027226416ull}}},
    {"StartUpSeed7", 7u, StartUp, 0, nullptr,
     {{1, 1450352061319430333ull},
      {157, 12282611417020512420ull},
      {1200, 4570172051112767321ull}}},
    {"StartUpSeed42", 42u, StartUp, 0, nullptr,
     {{1, 7737491007008542480ull},
      {157, 7477490683705972549ull},
      {1200, 10073304719263706672ull}}},
    {"StartUpSeed12345", 12345u, StartUp, 0, nullptr,
     {{1, 13073766359312775195ull},
      {157, 7254937037678983468ull},
      {1200, 14374702953926516864ull}}},
    {"StartUpSeed4000000000", 4000000000u, StartUp, 0, nullptr,
     {{1, 7448054809437591573ull},
      {157, 6379143586709767373ull},
      {1200, 10048004747954083713ull}}},
    {"SmallCrowdedWorld", 3u, SmallCrowdedWorld, 0, nullptr,
     {{0, 4412855421483433757ull},
      {1, 3997697331347239869ull},
      {400, 10444178974365200937ull}}},
    {"PackedWorld", 9u, PackedWorld, 0, nullptr,
     {{0, 13559486402110653408ull},
      {1, 15049458419923602153ull},
      {150, 10644112337671232806ull}}},
    {"RebuiltColony", 5u, StartUp, 300, Rebuild,
     {{300, 9591691209844317505ull},
      {301, 5269757096327192591ull},
      {900, 1986864937568364444ull}}},
    {"StrongTrailsNoExpert", 11u, StrongTrailsNoExpert, 0, nullptr,
     {{500, 562778205519724419ull},
      {1500, 12932297837704349840ull}}},
    {"StarvingWithPaidBirths", 13u, StarvingWithPaidBirths, 0, nullptr,
     {{300, 13354965440495985346ull},
      {1000, 18298410754809508425ull}}},
    {"MinimumFoodFastDecay", 17u, MinimumFoodFastDecay, 0, nullptr,
     {{500, 11787756692377958147ull},
      {1200, 1867093817705402616ull}}},
    {"PullChangedMidRun", 19u, StrongPull, 400, WeakPull,
     {{400, 14064758060687880873ull},
      {800, 1362917086039958387ull}}},
};
// clang-format on

// Names the scenario in gtest's messages instead of dumping its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class SeedHashes : public ::testing::TestWithParam<Scenario> {};

TEST_P(SeedHashes, MatchAtEveryCheckpoint) {
    const Scenario& scenario = GetParam();
    auto simulation =
        std::make_unique<Simulation>(scenario.seed);
    ASSERT_TRUE(simulation->expertSystem.on);
    scenario.setup(*simulation);

    int32_t step = 0;
    for (const Checkpoint& checkpoint : scenario.checkpoints) {
        if (checkpoint.step == 0 && step > 0) break;  // the rest of the list is empty
        while (step < checkpoint.step) {
            simulation->Step();
            ++step;
            if (step == scenario.changeAt) scenario.change(*simulation);
        }
        EXPECT_EQ(StateHash(*simulation), checkpoint.hash) << "after step " << step;
        ASSERT_EQ(BrokenInvariant(simulation->colony), "") << "after step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SeedHashes, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
