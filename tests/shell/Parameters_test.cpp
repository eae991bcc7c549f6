// Parameters by name: the names come from the dialog tables, values are read
// and range-checked as the dialogs read them, the cross-checks refuse what the
// validating dialogs refuse, and start-up settings build the first world as if
// they had been the defaults.
#include "shell/StartSettings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "simulation/Simulation.h"
#include "simulation/StateHash.h"
#include "tests/shell/DialogFixture.h"

namespace {

constexpr size_t kCap = kParameterMessageCapacity;

ParameterRef Ref(const char* name) {
    ParameterRef ref;
    EXPECT_TRUE(FindParameter(name, ref)) << name;
    return ref;
}

StartSettings Settings(std::initializer_list<std::pair<const char*, double>> items) {
    StartSettings settings;
    for (const auto& item : items) settings.Put(Ref(item.first), item.second);
    return settings;
}

uint64_t HashAfter(Simulation& simulation, int32_t steps) {
    for (int32_t i = 0; i < steps; ++i) {
        simulation.Step();
        if (simulation.ColonyNeedsRestart()) simulation.RestartColony();
    }
    return StateHash(simulation);
}

}  // namespace

TEST(ParameterNames, EveryStoredFieldHasOneUniqueNameAndDroppedFieldsHaveNone) {
    std::set<std::string> names;
    int32_t named = 0;
    for (int32_t d = 0; d < kDialogCount; ++d) {
        const DialogTable& table = GetDialogTable(static_cast<DialogId>(d));
        for (int32_t f = 0; f < table.fieldCount; ++f) {
            const FieldRow& row = table.fields[f];
            SCOPED_TRACE(std::string(table.caption) + ": " + row.label);
            // New Colony writes back through its own flow, the rest field by field.
            const bool stores = row.set != nullptr || table.id == DialogId::NewColony;
            EXPECT_EQ(row.name != nullptr, stores);
            if (row.name == nullptr) continue;
            ++named;
            EXPECT_TRUE(names.insert(row.name).second) << "twice: " << row.name;
            EXPECT_TRUE(std::islower(static_cast<unsigned char>(row.name[0])));
            for (const char* c = row.name; *c != '\0'; ++c) {
                EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(*c))) << row.name;
            }
            ParameterRef ref;
            ASSERT_TRUE(FindParameter(row.name, ref));
            EXPECT_TRUE(ref == (ParameterRef{table.id, f}));
        }
    }
    EXPECT_EQ(named, ParameterCount());
    EXPECT_LE(named, StartSettings::kCapacity);
    for (const char* name : {"foodPerAnt", "meanderingShare", "worldWidth", "simsPerSecond",
                             "generatorType", "colonyX", "deadRule8", "aliveRule0"}) {
        ParameterRef ref;
        EXPECT_TRUE(FindParameter(name, ref)) << name;
    }
}

TEST(ParameterValues, SettingsAreReadAndRangeCheckedAsTheDialogsReadThem) {
    struct Case {
        const char* text;
        bool ok;
        double value;           // when ok
        const char* mentions;   // in the message when refused
    };
    const Case cases[] = {
        {"foodPerAnt=0", true, 0.0, nullptr},
        {"foodPerAnt=1", true, 1.0, nullptr},
        {"foodPerAnt=0.25", true, 0.25, nullptr},
        {"foodPerAnt=1.01", false, 0, "foodPerAnt (\"Food Per Ant\" in Ants Options) takes a number from 0 to 1, not \"1.01\""},
        {"foodPerAnt=-0.1", false, 0, "from 0 to 1"},
        {"foodPerAnt=nan", false, 0, "not \"nan\""},
        {"foodPerAnt=", false, 0, "not \"\""},
        {"simsPerSecond=5", true, 5, nullptr},
        {"simsPerSecond=1000", true, 1000, nullptr},
        {"simsPerSecond=4", false, 0, "simsPerSecond (\"Sims Per Second\" in Options) takes a whole number from 5 to 1000"},
        {"simsPerSecond=40.5", false, 0, "whole number"},
        {"maxFood=200", true, 200, nullptr},
        {"maxFood=3001", false, 0, "from 200 to 3000"},
        {"generatorType=2", true, 2, nullptr},
        {"generatorType=Constant Growth", true, 1, nullptr},
        {"generatorType=constant growth", false, 0, "0 (Minimum Food), 1 (Constant Growth) or 2 (Exponential Growth)"},
        {"generatorType=3", false, 0, "not \"3\""},
        {"deadRule3=1", true, 1, nullptr},
        {"deadRule3=2", false, 0, "takes 0 or 1"},
        {"colonyWorldWidth=63", false, 0, "from 64 to 128"},
        {"colonyWorldWidth=129", false, 0, "from 64 to 128"},
        {"worldWidth=1", true, 1, nullptr},
        {"nosuch=1", false, 0, "unknown parameter \"nosuch\" (try --list-parameters)"},
        {"FoodPerAnt=0.1", false, 0, "did you mean foodPerAnt?"},
        {"foodPerAnt", false, 0, "--set needs NAME=VALUE"},
        {"=3", false, 0, "--set needs NAME=VALUE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ParameterRef ref;
        double value = -99.0;
        char message[kCap] = {};
        ASSERT_EQ(ParseSetting(c.text, ref, value, message, sizeof message), c.ok) << message;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(value, static_cast<double>(c.value));
        } else {
            EXPECT_NE(std::strstr(message, c.mentions), nullptr) << message;
        }
    }
}

TEST(ParameterValues, EveryDefaultIsWrittenInOneSpellingThatReadsBackTheSameValue) {
    TempFolder folder;
    DefaultWorld world(folder.File("Rules.clp").c_str());
    for (int32_t i = 0; i < ParameterCount(); ++i) {
        const ParameterRef ref = ParameterAt(i);
        SCOPED_TRACE(ref.Name());
        const double value = CurrentParameterValue(ref, world.Target());
        char text[32];
        FormatParameterValue(ref, value, text, sizeof text);
        double back = -1.0;
        char message[kCap];
        ASSERT_TRUE(ParseParameterValue(ref, text, back, message, sizeof message)) << message;
        EXPECT_EQ(back, value);
        char again[32];
        FormatParameterValue(ref, back, again, sizeof again);
        EXPECT_STREQ(again, text);
    }
    // The first colony's own placement, not the centre the dialog offers.
    EXPECT_EQ(CurrentParameterValue(Ref("colonyX"), world.Target()), Simulation::kFirstColonyX);
    EXPECT_EQ(CurrentParameterValue(Ref("colonyY"), world.Target()), Simulation::kFirstColonyY);
}

class StartSettingsTest : public DialogFixture {
protected:
    std::string Refused(const StartSettings& settings) {
        char message[kCap] = {};
        EXPECT_FALSE(CheckStartSettings(target, settings, message, sizeof message));
        return message;
    }
    void Accepted(const StartSettings& settings) {
        char message[kCap] = {};
        EXPECT_TRUE(CheckStartSettings(target, settings, message, sizeof message)) << message;
    }
};

TEST_F(StartSettingsTest, TheSharesMustAddUpToAHundredAsTheDialogAddsThem) {
    Accepted(Settings({{"gatheringShare", 30}, {"meanderingShare", 55}}));
    Accepted(Settings({{"gatheringShare", 33.3}, {"meanderingShare", 33.3},
                       {"reproducingShare", 33.4}, {"wanderingShare", 0}}));
    EXPECT_EQ(Refused(Settings({{"wanderingShare", 6}})),
              "the four shares must add up to 100: gatheringShare 25 + meanderingShare 60 + "
              "reproducingShare 10 + wanderingShare 6 make 101");
    // Against the live shares, which the expert system may have moved.
    simulation->colony.gatheringShare = 30.0f;
    simulation->colony.meanderingShare = 55.0f;
    Accepted(Settings({{"wanderingShare", 5}}));
    Refused(Settings({{"gatheringShare", 25}}));
}

TEST_F(StartSettingsTest, ThePlacementKeepsItsDistanceFromTheBorderOfTheWorldItIsBuiltIn) {
    struct Case {
        std::initializer_list<std::pair<const char*, double>> settings;
        const char* refusal;  // null: accepted
    };
    const Case cases[] = {
        {{{"colonyX", 10}, {"colonyY", 118}}, nullptr},
        {{{"colonyX", 118}, {"colonyY", 10}}, nullptr},
        {{{"colonyX", 9}}, "colonyX 9 is too close to the border of a world 128 wide: it takes 10 to 118"},
        {{{"colonyX", 119}}, "colonyX 119 is too close"},
        {{{"colonyY", 119}}, "colonyY 119 is too close to the border of a world 128 high"},
        {{{"colonyY", 9}}, "colonyY 9"},
        // In range for its field, yet too close for the world it is built in.
        {{{"colonyWorldWidth", 64}, {"colonyX", 60}}, "colonyX 60 is too close to the border of a world 64 wide: it takes 10 to 54"},
        // The first colony stands at (40, 50): a narrower world must move it.
        {{{"worldWidth", 40}}, "colonyX 40 is too close to the border of a world 40 wide: it takes 10 to 30"},
        {{{"worldWidth", 40}, {"colonyX", 20}}, nullptr},
        {{{"worldHeight", 15}, {"colonyY", 10}}, "a world 15 high leaves no room for the colony"},
        {{{"worldWidth", 100}, {"colonyWorldWidth", 90}}, "worldWidth 100 and colonyWorldWidth 90 both set the world's size"},
        {{{"worldWidth", 90}, {"colonyWorldWidth", 90}}, nullptr},
    };
    for (const Case& c : cases) {
        const StartSettings settings = Settings(c.settings);
        SCOPED_TRACE(c.refusal != nullptr ? c.refusal : "accepted");
        if (c.refusal == nullptr) {
            Accepted(settings);
        } else {
            const std::string message = Refused(settings);
            EXPECT_NE(message.find(c.refusal), std::string::npos) << message;
        }
    }
}

TEST_F(StartSettingsTest, DefaultValuesChangeNothingBitForBit) {
    // Every parameter set to the value it has: the first world must come out
    // as it does without any setting, and so must the run.
    StartSettings all;
    for (int32_t i = 0; i < ParameterCount(); ++i) {
        all.Put(ParameterAt(i), CurrentParameterValue(ParameterAt(i), target));
    }
    const uint32_t seed = 7;
    auto plain = std::make_unique<Simulation>(seed, rulesPath.c_str());
    std::unique_ptr<Simulation> set;
    SimThreadControl pacing;
    char message[kCap] = {};
    ASSERT_TRUE(BuildSimulation(set, seed, rulesPath.c_str(), all, &pacing, nullptr, message,
                                sizeof message))
        << message;
    EXPECT_EQ(StateHash(*set), StateHash(*plain));
    EXPECT_EQ(HashAfter(*set, 600), HashAfter(*plain, 600));
    EXPECT_EQ(pacing.simsPerSecond.load(), 40.0f);
}

TEST_F(StartSettingsTest, SettingsReachTheFirstWorldAndItsColony) {
    const StartSettings settings =
        Settings({{"foodPerAnt", 0.004}, {"initialAnts", 150}, {"colonyX", 30}, {"colonyY", 20},
                  {"colonyWorldWidth", 96}, {"worldHeight", 70}, {"initialColonyFood", 900},
                  {"initialFood", 40}, {"clusterSize", 5}, {"trailRenderThreshold", 7},
                  {"simsPerSecond", 300}, {"renderingMulti", 9}, {"generatorType", 2}});
    std::unique_ptr<Simulation> built;
    SimThreadControl pacing;
    int32_t multi = 1;
    char message[kCap] = {};
    ASSERT_TRUE(BuildSimulation(built, 1u, rulesPath.c_str(), settings, &pacing, &multi, message,
                                sizeof message))
        << message;
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
    EXPECT_EQ(built->foodField.generatorType, 2);
    EXPECT_EQ(built->foodField.FoodCount(), 40);
    EXPECT_EQ(pacing.simsPerSecond.load(), 300.0f);
    EXPECT_EQ(multi, 9);
    for (int32_t s = colony.ants.Newest(); s != -1; s = colony.ants.Older(s)) {
        const GridPoint p = colony.ants.At(s).pos;
        ASSERT_TRUE(p.x >= 0 && p.x < 96 && p.y >= 0 && p.y < 70);
    }
    // Restarts rebuild in the same world.
    built->RestartColony();
    EXPECT_EQ(built->colony.home.x, 48);
    EXPECT_EQ(built->colony.home.y, 35);
}

TEST_F(StartSettingsTest, RefusedSettingsLeaveTheDefaultWorld) {
    const uint32_t seed = 3;
    auto plain = std::make_unique<Simulation>(seed, rulesPath.c_str());
    std::unique_ptr<Simulation> built;
    char message[kCap] = {};
    EXPECT_FALSE(BuildSimulation(built, seed, rulesPath.c_str(),
                                 Settings({{"foodPerAnt", 0.5}, {"wanderingShare", 9}}), nullptr,
                                 nullptr, message, sizeof message));
    EXPECT_NE(std::strstr(message, "the four shares must add up to 100"), nullptr) << message;
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->colony.foodPerAnt, plain->colony.foodPerAnt);
    EXPECT_EQ(StateHash(*built), StateHash(*plain));
}

TEST_F(StartSettingsTest, ANameGivenTwiceKeepsTheLastValue) {
    StartSettings settings;
    settings.Put(Ref("foodPerAnt"), 0.1);
    settings.Put(Ref("dieRatio"), 0.2);
    settings.Put(Ref("foodPerAnt"), 0.3);
    ASSERT_EQ(settings.count, 2);
    ASSERT_NE(settings.Find("foodPerAnt"), nullptr);
    EXPECT_EQ(settings.Find("foodPerAnt")->value, 0.3);
    EXPECT_EQ(settings.Find("meanderingShare"), nullptr);
}
