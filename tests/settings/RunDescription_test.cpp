// The parameter table and the run description: every parameter's name, range
// and default from the table alone; values read in the command line's one
// grammar; the cross-checks refuse what the validating dialogs refuse; and a
// run with values given builds the first world as if they were the defaults.
#include "settings/RunDescription.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <set>
#include <string>

#include "settings/SimulationBuild.h"
#include "simulation/Simulation.h"
#include "simulation/SimulationThread.h"
#include "simulation/StateHash.h"

namespace {

ParameterId Id(const char* name) {
    ParameterId id = ParameterId::Count;
    EXPECT_TRUE(FindParameter(name, id)) << name;
    return id;
}

RunDescription Given(std::initializer_list<std::pair<const char*, const char*>> items) {
    RunDescription run;
    for (const auto& item : items) {
        ParameterValue value;
        std::string error;
        EXPECT_TRUE(ParseParameterValue(Id(item.first), item.second, value, error)) << error;
        run.Set(Id(item.first), value);
    }
    return run;
}

uint64_t HashAfter(Simulation& simulation, int32_t steps) {
    for (int32_t i = 0; i < steps; ++i) {
        simulation.Step();
        if (simulation.ColonyNeedsRestart()) simulation.RestartColony();
    }
    return StateHash(simulation);
}

}  // namespace

TEST(ParameterTable, NamesAreUniqueAndEveryDefaultIsWhatAFreshSimulationHolds) {
    std::set<std::string> names;
    auto simulation = std::make_unique<Simulation>();
    SimThreadControl pace;
    int32_t cadence = 1;
    ParameterTarget target{simulation.get(), &pace, &cadence, nullptr};
    for (int32_t i = 0; i < kParameterCount; ++i) {
        const ParameterRow& row = Parameter(i);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(static_cast<int32_t>(row.id), i);
        EXPECT_TRUE(names.insert(row.name).second);
        EXPECT_TRUE(std::islower(static_cast<unsigned char>(row.name[0])));
        for (const char* c = row.name; *c != '\0'; ++c) {
            EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(*c)));
        }
        EXPECT_NE(row.help[0], '\0');
        if (row.type == ParameterType::Text) continue;
        EXPECT_GE(row.defaultValue, row.low);
        EXPECT_LE(row.defaultValue, row.high);
        // The table repeats the constants of the fields it describes; a
        // drift between the two would show here.
        if (row.get != nullptr) {
            EXPECT_EQ(row.get(target), DefaultValue(row.id).number);
        }
    }
    EXPECT_EQ(Parameter(Id("colonyX")).defaultValue, Simulation::kFirstColonyX);
    EXPECT_EQ(Parameter(Id("colonyY")).defaultValue, Simulation::kFirstColonyY);
    // The ones no dialog shows are parameters all the same.
    for (const char* name : {"meanderPull", "foodSearchRadius", "policyPeriod", "rules"}) {
        ParameterId id;
        EXPECT_TRUE(FindParameter(name, id)) << name;
    }
    for (const char* name : {"startingSeeds", "deadRule0", "aliveRule8"}) {
        EXPECT_TRUE(Parameter(Id(name)).inert) << name;
    }
    EXPECT_FALSE(Parameter(Id("foodPerAnt")).inert);
}

TEST(ParameterValues, ValuesAreReadInOneGrammarAndRangeCheckedAsStored) {
    struct Case {
        const char* text;
        bool ok;
        double value;          // when ok
        const char* message;   // when refused
    };
    const Case cases[] = {
        {"foodPerAnt=0", true, 0.0, nullptr},
        {"foodPerAnt=1", true, 1.0, nullptr},
        {"foodPerAnt=0.25", true, 0.25, nullptr},
        {"foodPerAnt=.5", true, 0.5, nullptr},
        {"foodPerAnt=1e-3", true, double(0.001f), nullptr},
        {"foodPerAnt=1.01", false, 0, "foodPerAnt takes a number from 0 to 1, not \"1.01\""},
        {"foodPerAnt=-0.1", false, 0, "foodPerAnt takes a number from 0 to 1, not \"-0.1\""},
        {"foodPerAnt=+0.1", false, 0, "foodPerAnt takes a number from 0 to 1, not \"+0.1\""},
        {"foodPerAnt= 0.1", false, 0, "not \" 0.1\""},
        {"foodPerAnt=nan", false, 0, "not \"nan\""},
        {"foodPerAnt=0x1", false, 0, "not \"0x1\""},
        {"foodPerAnt=", false, 0, "not \"\""},
        {"simsPerSecond=5", true, 5, nullptr},
        {"simsPerSecond=1000", true, 1000, nullptr},
        {"simsPerSecond=4", false, 0, "simsPerSecond takes a whole number from 5 to 1000, not \"4\""},
        {"simsPerSecond=40.5", false, 0, "whole number"},
        {"simsPerSecond=+40", false, 0, "whole number"},
        {"maxFood=3001", false, 0, "from 200 to 3000"},
        {"generatorType=2", true, 2, nullptr},
        {"generatorType=Constant Growth", true, 1, nullptr},
        {"generatorType=constant growth", false, 0,
         "0 (Minimum Food), 1 (Constant Growth) or 2 (Exponential Growth)"},
        {"deadRule3=1", true, 1, nullptr},
        {"deadRule3=2", false, 0, "deadRule3 takes 0 or 1, not \"2\""},
        {"colonyWorldWidth=63", false, 0, "from 64 to 128"},
        {"meanderPull=0.9", true, double(0.9f), nullptr},
        {"policyPeriod=0", false, 0, "policyPeriod takes a whole number from 1 to 100000"},
        {"rules=my,rules.clp", false, 0, "no comma"},
        {"nosuch=1", false, 0, "unknown parameter \"nosuch\" (try --list-parameters)"},
        {"FoodPerAnt=0.1", false, 0, "unknown parameter \"FoodPerAnt\"; did you mean foodPerAnt?"},
        {"foodPerAnt", false, 0, "--set needs NAME=VALUE, not \"foodPerAnt\""},
        {"=3", false, 0, "--set needs NAME=VALUE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Setting> settings;
        std::string error;
        ASSERT_EQ(ParseSetting(c.text, settings, error), c.ok) << error;
        if (c.ok) {
            ASSERT_EQ(settings.size(), 1u);
            EXPECT_EQ(settings[0].value.number, c.value);
        } else {
            EXPECT_NE(error.find(c.message), std::string::npos) << error;
        }
    }
}

TEST(ParameterValues, TheSharesGoTogetherInTheStatisticsOrder) {
    std::vector<Setting> settings;
    std::string error;
    ASSERT_TRUE(ParseSetting("shares=50/5/35/10", settings, error)) << error;
    ASSERT_EQ(settings.size(), 4u);
    const char* names[] = {"meanderingShare", "wanderingShare", "gatheringShare", "reproducingShare"};
    const double values[] = {50, 5, 35, 10};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_STREQ(Parameter(settings[i].id).name, names[i]);
        EXPECT_EQ(settings[i].value.number, values[i]);
    }
    EXPECT_FALSE(ParseSetting("shares=50/5/35", settings, error));
    EXPECT_NE(error.find("shares takes four shares M/W/G/R"), std::string::npos) << error;
    EXPECT_FALSE(ParseSetting("shares=50/5/35/x", settings, error));
    EXPECT_NE(error.find("reproducingShare takes a number"), std::string::npos) << error;
}

TEST(ParameterValues, EveryDefaultHasOneSpellingThatReadsBackTheSameValue) {
    for (int32_t i = 0; i < kParameterCount; ++i) {
        const ParameterId id = static_cast<ParameterId>(i);
        if (Parameter(id).type == ParameterType::Text) continue;
        SCOPED_TRACE(Parameter(id).name);
        const std::string text = FormatParameterValue(id, DefaultValue(id));
        ParameterValue back;
        std::string error;
        ASSERT_TRUE(ParseParameterValue(id, text.c_str(), back, error)) << error;
        EXPECT_EQ(back, DefaultValue(id));
        EXPECT_EQ(FormatParameterValue(id, back), text);
    }
}

TEST(RunChecks, TheSharesMustAddUpToAHundredAsTheDialogAddsThem) {
    std::string error;
    EXPECT_TRUE(CheckRun(Given({{"gatheringShare", "30"}, {"meanderingShare", "55"}}), error)) << error;
    EXPECT_TRUE(CheckRun(Given({{"gatheringShare", "33.3"}, {"meanderingShare", "33.3"},
                              {"reproducingShare", "33.4"}, {"wanderingShare", "0"}}),
                         error))
        << error;
    EXPECT_FALSE(CheckRun(Given({{"wanderingShare", "6"}}), error));
    EXPECT_EQ(error,
              "the four shares must add up to 100: gatheringShare 25 + meanderingShare 60 + "
              "reproducingShare 10 + wanderingShare 6 make 101");
}

TEST(RunChecks, ThePlacementKeepsItsDistanceFromTheBorderOfTheWorldItIsBuiltIn) {
    struct Case {
        std::initializer_list<std::pair<const char*, const char*>> values;
        const char* refusal;  // null: accepted
    };
    const Case cases[] = {
        {{{"colonyX", "10"}, {"colonyY", "118"}}, nullptr},
        {{{"colonyX", "118"}, {"colonyY", "10"}}, nullptr},
        {{{"colonyX", "9"}}, "colonyX 9 is too close to the border of a world 128 wide: it takes 10 to 118"},
        {{{"colonyX", "119"}}, "colonyX 119 is too close"},
        {{{"colonyY", "119"}}, "colonyY 119 is too close to the border of a world 128 high"},
        {{{"colonyWorldWidth", "64"}, {"colonyX", "60"}},
         "colonyX 60 is too close to the border of a world 64 wide: it takes 10 to 54"},
        // The first colony stands at (40, 50): a narrower world must move it.
        {{{"worldWidth", "40"}}, "colonyX 40 is too close to the border of a world 40 wide: it takes 10 to 30"},
        {{{"worldWidth", "40"}, {"colonyX", "20"}}, nullptr},
        {{{"worldHeight", "15"}, {"colonyY", "10"}}, "a world 15 high leaves no room for the colony"},
        {{{"worldWidth", "100"}, {"colonyWorldWidth", "90"}},
         "worldWidth 100 and colonyWorldWidth 90 both set the world's size"},
        {{{"worldWidth", "90"}, {"colonyWorldWidth", "90"}}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal != nullptr ? c.refusal : "accepted");
        std::string error;
        const bool ok = CheckRun(Given(c.values), error);
        EXPECT_EQ(ok, c.refusal == nullptr) << error;
        if (c.refusal != nullptr) {
            EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        }
    }
}

TEST(SimulationBuild, DefaultValuesGivenChangeNothingBitForBit) {
    // Every parameter given the value it has: the first world must come out as
    // it does without any, and so must the run.
    RunDescription all;
    all.seed = 7;
    for (int32_t i = 0; i < kParameterCount; ++i) {
        if (Parameter(i).type != ParameterType::Text) all.Set(static_cast<ParameterId>(i), DefaultValue(static_cast<ParameterId>(i)));
    }
    RunDescription none;
    none.seed = 7;
    auto given = BuildSimulation(all);
    auto plain = BuildSimulation(none);
    auto bare = std::make_unique<Simulation>(7u);
    EXPECT_EQ(StateHash(*given), StateHash(*bare));
    EXPECT_EQ(StateHash(*plain), StateHash(*bare));
    EXPECT_EQ(HashAfter(*given, 600), HashAfter(*bare, 600));
}

TEST(SimulationBuild, ValuesReachTheFirstWorldAndItsColony) {
    RunDescription run = Given({{"foodPerAnt", "0.004"}, {"initialAnts", "150"}, {"colonyX", "30"},
                              {"colonyY", "20"}, {"colonyWorldWidth", "96"}, {"worldHeight", "70"},
                              {"initialColonyFood", "900"}, {"initialFood", "40"},
                              {"clusterSize", "5"}, {"trailRenderThreshold", "7"},
                              {"simsPerSecond", "300"}, {"generatorType", "2"},
                              {"meanderPull", "0.3"}, {"foodSearchRadius", "4"},
                              {"policyPeriod", "20"}});
    std::string error;
    ASSERT_TRUE(CheckRun(run, error)) << error;
    auto built = BuildSimulation(run);
    const Colony& colony = built->colony;
    EXPECT_EQ(colony.foodPerAnt, 0.004f);
    EXPECT_EQ(colony.population, 150);
    EXPECT_EQ(colony.home.x, 30);
    EXPECT_EQ(colony.home.y, 20);
    EXPECT_EQ(built->worldWidth, 96);
    EXPECT_EQ(built->worldHeight, 70);
    EXPECT_EQ(colony.width, 96);
    EXPECT_EQ(colony.height, 70);
    EXPECT_EQ(colony.foodReserves, 900.0f);
    EXPECT_EQ(colony.initialFoodReserves, 300.0f);  // as the dialog leaves it
    EXPECT_EQ(colony.trails.renderThreshold, 7);
    EXPECT_EQ(colony.meanderPull, 0.3f);
    EXPECT_EQ(colony.foodSearchRadius, 4);
    EXPECT_EQ(colony.policyPeriod, 20);
    EXPECT_EQ(colony.policyCountdown, 20);
    EXPECT_EQ(built->foodField.generatorType, 2);
    EXPECT_EQ(built->foodField.FoodCount(), 40);
    SimThreadControl pace;
    ApplyPace(run, pace);
    EXPECT_EQ(pace.simsPerSecond.load(), 300.0f);
    for (int32_t s = colony.ants.Newest(); s != -1; s = colony.ants.Older(s)) {
        const GridPoint p = colony.ants.At(s).pos;
        ASSERT_TRUE(p.x >= 0 && p.x < 96 && p.y >= 0 && p.y < 70);
    }
    // Restarts rebuild in the same world.
    built->RestartColony();
    EXPECT_EQ(built->colony.home.x, 48);
    EXPECT_EQ(built->colony.home.y, 35);
}

TEST(SimulationBuild, TheFlagsAndTheBuiltInRules) {
    RunDescription run;
    run.showTrails = false;
    run.expertSystem = false;
    auto built = BuildSimulation(run);
    EXPECT_FALSE(built->colony.showTrails);
    EXPECT_FALSE(built->expertSystem.on);
    // No rule base file: the built-in rules, loaded from memory.
    EXPECT_TRUE(built->expertSystem.engine.Ready());
    EXPECT_STREQ(built->expertSystem.engine.RulesPath(), ExpertSystem::kBuiltInRulesName);
}
