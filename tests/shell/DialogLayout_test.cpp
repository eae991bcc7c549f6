#include "shell/DialogLayout.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/shell/DialogFixture.h"

namespace {

struct Row {
    const char* label;
    int32_t id;
    FieldKind kind;
    double low;
    double high;
};

using K = FieldKind;

struct Expected {
    DialogId dialog;
    const char* caption;
    std::vector<Row> rows;  // exchange order
};

const std::vector<Expected>& ExpectedTables() {
    static const std::vector<Expected> tables = {
        {DialogId::Options,
         "Options",
         {{"Sims Per Second", 1000, K::Int, 5, 1000},
          {"Use RL", 1005, K::Check, 0, 0},
          {"Rendering Multi", 1001, K::Int, 1, 200},
          {"Use RL Table only", 1006, K::Check, 0, 0}}},
        {DialogId::NewSim,
         "New Sim",
         {{"Starting Seeds", 1003, K::Int, 0, 12000},
          {"XSize", 1001, K::Int, 1, 128},
          {"YSize", 1002, K::Int, 1, 128},
          {"0", 1004, K::Check, 0, 0}, {"1", 1005, K::Check, 0, 0}, {"2", 1006, K::Check, 0, 0},
          {"3", 1007, K::Check, 0, 0}, {"4", 1008, K::Check, 0, 0}, {"5", 1021, K::Check, 0, 0},
          {"6", 1010, K::Check, 0, 0}, {"7", 1011, K::Check, 0, 0}, {"8", 1022, K::Check, 0, 0},
          {"0", 1014, K::Check, 0, 0}, {"1", 1015, K::Check, 0, 0}, {"2", 1016, K::Check, 0, 0},
          {"3", 1017, K::Check, 0, 0}, {"4", 1018, K::Check, 0, 0}, {"5", 1009, K::Check, 0, 0},
          {"6", 1019, K::Check, 0, 0}, {"7", 1020, K::Check, 0, 0}, {"8", 1012, K::Check, 0, 0}}},
        {DialogId::FoodControl,
         "Food Control",
         {{"Constant Growth Amount", 1010, K::Real, 0, 100},
          {"Exponential Growth Percentage", 1007, K::Real, 0, 1},
          {"Food Decay Percentage", 1009, K::Real, 0, 1},
          {"Generator Type", 1008, K::Combo, 0, 0},
          {"InitialFood", 1011, K::Int, 0, 2000},
          {"Maximum Food", 1014, K::Int, 200, 3000},
          {"Minimum Food", 1013, K::Int, 0, 1500},
          {"Smallest Food Cluster Size", 1015, K::Int, 1, 200},
          {"Turns To Decay", 1012, K::Int, 100, 99999},
          {"Food Dithering At (Rendering Control)", 1016, K::Int, 1, 1000}}},
        {DialogId::AntsOptions,
         "Ants Options",
         {{"Gathering Percentage", 1013, K::Real, 0, 100},
          {"Meandering Percentage", 1010, K::Real, 0, 100},
          {"Reproducing Percentage", 1014, K::Real, 0, 100},
          {"Wandering Percentage", 1012, K::Real, 0, 100},
          {"Trail Dithering (for Rendering)", 1017, K::Int, 1, 1000},
          {"Wander Trail Intensity", 1015, K::Int, 100, 2000},
          {"Gatherer Trail Intensity", 1016, K::Int, 1, 500},
          {"MaxWanderDistance", 1018, K::Int, 5, 30},
          {"Potential Field Strength (Walls)", 1019, K::Int, 1, 50},
          {"Return to Base Time", 1011, K::Int, 100, 99999},
          {"Ants Die Ratio", 1023, K::Real, 0, 1},
          {"Ants Reproduce Ratio", 1022, K::Real, 0, 1},
          {"Food Per Ant", 1021, K::Real, 0, 1},
          {"Food Per Baby", 1020, K::Real, 0, 20},
          {"Min Food to Reproduce", 1024, K::Real, 0, 1000}}},
        {DialogId::NewColony,
         "New Colony Options",
         {{"Colony Y Placement", 1006, K::Int, 0, 255},
          {"Colony X Placement", 1005, K::Int, 0, 255},
          {"Initial Ants", 1003, K::Int, 25, 1000},
          {"Initial Colony Food Supply", 1004, K::Int, 0, 2000},
          {"X Size", 1001, K::Int, 64, 128},
          {"Y Size", 1002, K::Int, 64, 128}}},
    };
    return tables;
}

TEST(DialogTableTest, TablesListTheFieldsInExchangeOrder) {
    for (const Expected& expected : ExpectedTables()) {
        const DialogTable& table = GetDialogTable(expected.dialog);
        EXPECT_EQ(table.id, expected.dialog);
        EXPECT_STREQ(table.caption, expected.caption);
        ASSERT_EQ(table.fieldCount, static_cast<int32_t>(expected.rows.size())) << table.caption;
        std::vector<bool> drawn(table.fieldCount, false);
        for (int32_t i = 0; i < table.fieldCount; ++i) {
            const Row& row = expected.rows[i];
            const FieldRow& field = table.fields[i];
            SCOPED_TRACE(std::string(table.caption) + ": " + row.label);
            EXPECT_STREQ(field.label, row.label);
            EXPECT_EQ(field.controlId, row.id);
            EXPECT_EQ(field.kind, row.kind);
            if (row.kind == K::Int || row.kind == K::Real) {
                EXPECT_EQ(field.Low(), row.low);
                EXPECT_EQ(field.High(), row.high);
            }
            // The field stores the parameter it names, of the kind it shows.
            const ParameterRow* parameter = field.Param();
            if (field.parameter != nullptr) {
                ASSERT_NE(parameter, nullptr) << field.parameter;
                const FieldKind kinds[] = {K::Int, K::Real, K::Check, K::Combo};
                EXPECT_EQ(field.kind, kinds[static_cast<int32_t>(parameter->type)]);
            }
            // Every field is laid out exactly once.
            const int32_t at = table.drawOrder[i];
            ASSERT_GE(at, 0);
            ASSERT_LT(at, table.fieldCount);
            EXPECT_FALSE(drawn[at]);
            drawn[at] = true;
        }
    }
}

using DialogTablesTest = DialogFixture;

// Every numeric field of every dialog: both ends pass, one step beyond either
// end is refused with the message naming that field and its range, and the
// value read is the one typed.
TEST_F(DialogTablesTest, RangesIncludeBothEndsAndRefuseBeyondThem) {
    for (const Expected& expected : ExpectedTables()) {
        const DialogTable& table = GetDialogTable(expected.dialog);
        for (int32_t i = 0; i < table.fieldCount; ++i) {
            const FieldRow& field = table.fields[i];
            if (field.kind != K::Int && field.kind != K::Real) continue;
            SCOPED_TRACE(std::string(table.caption) + ": " + field.label);
            // A real field's step beyond its range is the smallest that still
            // shows after rounding to single precision.
            const double step = field.kind == K::Int ? 1.0 : (field.High() >= 100 ? 0.01 : 0.001);
            struct Probe {
                double value;
                bool accepted;
            } probes[] = {{field.Low(), true},
                          {field.High(), true},
                          {field.Low() - step, false},
                          {field.High() + step, false}};
            for (const Probe& probe : probes) {
                DialogState state = Open(expected.dialog);
                char text[32];
                std::snprintf(text, sizeof text, field.kind == K::Int ? "%.0f" : "%.3f",
                              probe.value);
                Type(state, i, text);
                DialogValues values;
                DialogCheck check;
                EXPECT_EQ(ReadDialog(state, values, check), probe.accepted) << text;
                if (probe.accepted) {
                    EXPECT_FLOAT_EQ(static_cast<float>(values.value[i]),
                                    static_cast<float>(probe.value));
                } else {
                    EXPECT_EQ(check.failingField, i) << text;
                    char expectedMessage[kMessageCapacity];
                    FormatRangeMessage(field, expectedMessage, kMessageCapacity);
                    EXPECT_STREQ(check.message, expectedMessage);
                }
            }
        }
    }
}

TEST_F(DialogTablesTest, RangeMessageNamesTheFieldAndItsRange) {
    const DialogTable& options = GetDialogTable(DialogId::Options);
    char message[kMessageCapacity];
    FormatRangeMessage(options.fields[0], message, kMessageCapacity);
    EXPECT_STREQ(message, "Please enter a whole number from 5 to 1000 for \"Sims Per Second\".");
    const DialogTable& ants = GetDialogTable(DialogId::AntsOptions);
    FormatRangeMessage(ants.fields[Field(DialogId::AntsOptions, "Food Per Baby")], message,
                       kMessageCapacity);
    EXPECT_STREQ(message, "Please enter a number from 0 to 20 for \"Food Per Baby\".");
}

TEST_F(DialogTablesTest, TextThatIsNoNumberIsRefused) {
    const int32_t sims = Field(DialogId::Options, "Sims Per Second");
    struct Case {
        const char* text;
        bool accepted;
    } intCases[] = {{"40", true},   {" 40 ", true}, {"+40", true}, {"", false},
                    {"   ", false}, {"4O", false},  {"40.0", false}, {"1e2", false},
                    {"0x20", false}, {"99999999999", false}, {"40 40", false}};
    for (const Case& c : intCases) {
        DialogState state = Open(DialogId::Options);
        Type(state, sims, c.text);
        DialogValues values;
        DialogCheck check;
        EXPECT_EQ(ReadDialog(state, values, check), c.accepted) << "'" << c.text << "'";
    }

    const int32_t decay = Field(DialogId::FoodControl, "Food Decay Percentage");
    Case realCases[] = {{"0.5", true},   {".5", true},    {"5e-1", true}, {" 1 ", true},
                        {"nan", false},  {"inf", false},  {"0x1p-1", false}, {"", false},
                        {"0.5.", false}, {"1e99", false}, {"-", false}};
    for (const Case& c : realCases) {
        DialogState state = Open(DialogId::FoodControl);
        Type(state, decay, c.text);
        DialogValues values;
        DialogCheck check;
        EXPECT_EQ(ReadDialog(state, values, check), c.accepted) << "'" << c.text << "'";
    }
}

TEST_F(DialogTablesTest, FirstFailingFieldInExchangeOrderWins) {
    // Drawn second and third, but exchanged fourth and first: Gathering is
    // read before Wandering and is reported.
    DialogState state = Open(DialogId::AntsOptions);
    Type(state, DialogId::AntsOptions, "Wandering Percentage", "101");
    Type(state, DialogId::AntsOptions, "Gathering Percentage", "-1");
    Type(state, DialogId::AntsOptions, "Min Food to Reproduce", "x");
    DialogCheck check = AcceptDialog(state, target);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.failingField, Field(DialogId::AntsOptions, "Gathering Percentage"));
    EXPECT_NE(std::strstr(check.message, "Gathering Percentage"), nullptr);

    // New Colony exchanges Y Placement before X Placement.
    DialogState colony = Open(DialogId::NewColony);
    Type(colony, DialogId::NewColony, "Colony X Placement", "256");
    Type(colony, DialogId::NewColony, "Colony Y Placement", "256");
    check = AcceptDialog(colony, target);
    EXPECT_EQ(check.failingField, Field(DialogId::NewColony, "Colony Y Placement"));
}

TEST_F(DialogTablesTest, OptionsOpenWithLiveValuesAndWriteBackOnlyWhenAllPass) {
    DialogState state = Open(DialogId::Options);
    EXPECT_STREQ(state.fields[0].text, "40");
    EXPECT_STREQ(state.fields[2].text, "1");
    EXPECT_FALSE(state.fields[1].checked);
    EXPECT_FALSE(state.fields[3].checked);

    // 4 is refused, nothing written.
    Type(state, 0, "4");
    DialogCheck check = AcceptDialog(state, target);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.failingField, 0);
    EXPECT_EQ(control.simsPerSecond.load(), 40.0f);

    // A later field failing keeps the earlier, valid one unwritten too.
    Type(state, 0, "100");
    Type(state, 2, "0");
    EXPECT_FALSE(AcceptDialog(state, target).ok);
    EXPECT_EQ(control.simsPerSecond.load(), 40.0f);
    EXPECT_EQ(renderingMulti, 1);

    Type(state, 2, "3");
    state.fields[1].checked = true;  // dropped when the dialog closes
    EXPECT_TRUE(AcceptDialog(state, target).ok);
    EXPECT_EQ(control.simsPerSecond.load(), 100.0f);
    EXPECT_EQ(renderingMulti, 3);
    DialogState reopened = Open(DialogId::Options);
    EXPECT_STREQ(reopened.fields[0].text, "100");
    EXPECT_FALSE(reopened.fields[1].checked);

    // A fractional pace opens truncated.
    control.simsPerSecond.store(77.9f);
    EXPECT_STREQ(Open(DialogId::Options).fields[0].text, "77");
}

TEST_F(DialogTablesTest, NewSimWritesSizesSeedsAndRuleBoxes) {
    DialogState state = Open(DialogId::NewSim);
    EXPECT_STREQ(state.fields[0].text, "2500");
    EXPECT_STREQ(state.fields[1].text, "128");
    EXPECT_STREQ(state.fields[2].text, "128");
    for (int32_t i = 3; i < 21; ++i) EXPECT_FALSE(state.fields[i].checked);

    Type(state, 0, "12000");  // more seeds than the 100 x 80 world has cells
    Type(state, 1, "100");
    Type(state, 2, "80");
    state.fields[3 + 5].checked = true;   // dead "5"
    state.fields[12 + 8].checked = true;  // alive "8"
    ASSERT_TRUE(AcceptDialog(state, target).ok);

    EXPECT_EQ(simulation->startingSeeds, 12000);
    EXPECT_EQ(simulation->worldWidth, 100);
    EXPECT_EQ(simulation->worldHeight, 80);
    for (int32_t i = 0; i < Simulation::kRuleCount; ++i) {
        EXPECT_EQ(simulation->deadRules[i], i == 5) << i;
        EXPECT_EQ(simulation->aliveRules[i], i == 8) << i;
    }
    int32_t seeds = 0;
    for (int32_t x = 0; x < 100; ++x) {
        for (int32_t y = 0; y < 80; ++y) seeds += simulation->seedGrid[x * 128 + y];
    }
    EXPECT_EQ(seeds, 100 * 80);
    // The running world keeps its size until the next colony placement.
    EXPECT_EQ(simulation->colony.width, 128);

    // Boxes open as they were left.
    DialogState reopened = Open(DialogId::NewSim);
    EXPECT_TRUE(reopened.fields[3 + 5].checked);
    EXPECT_TRUE(reopened.fields[12 + 8].checked);
    EXPECT_FALSE(reopened.fields[3].checked);
}

TEST_F(DialogTablesTest, GeneratorComboMatchesItsThreeTextsExactly) {
    EXPECT_STREQ(kGeneratorTexts[0], "Minimum Food");
    EXPECT_STREQ(kGeneratorTexts[1], "Constant Growth");
    EXPECT_STREQ(kGeneratorTexts[2], "Exponential Growth");

    const int32_t combo = Field(DialogId::FoodControl, "Generator Type");
    const int32_t growth = Field(DialogId::FoodControl, "Constant Growth Amount");
    for (int32_t type = 0; type < 3; ++type) {
        simulation->foodField.generatorType = type;
        EXPECT_STREQ(Open(DialogId::FoodControl).fields[combo].text, kGeneratorTexts[type]);
    }

    struct Case {
        const char* text;
        int32_t before;
        int32_t after;
    } cases[] = {
        {"Minimum Food", 2, 0},      {"Constant Growth", 0, 1}, {"Exponential Growth", 1, 2},
        {"Constant", 2, 2},          {"constant growth", 0, 0}, {"Constant Growth ", 2, 2},
        {"", 1, 1},
    };
    for (const Case& c : cases) {
        simulation->foodField.generatorType = c.before;
        DialogState state = Open(DialogId::FoodControl);
        Type(state, combo, c.text);
        Type(state, growth, "2.5");
        ASSERT_TRUE(AcceptDialog(state, target).ok) << c.text;
        EXPECT_EQ(simulation->foodField.generatorType, c.after) << "'" << c.text << "'";
        // The other values are written whatever the combo says.
        EXPECT_EQ(simulation->foodField.constantGrowthAmount, 2.5f) << c.text;
    }
}

TEST_F(DialogTablesTest, FoodControlRoundTripsEveryValue) {
    FoodField& food = simulation->foodField;
    DialogState state = Open(DialogId::FoodControl);
    EXPECT_STREQ(state.fields[0].text, "0.7");
    EXPECT_STREQ(state.fields[1].text, "0.01");
    EXPECT_STREQ(state.fields[2].text, "0.06");

    const char* typed[] = {"100", "1", "0", "Minimum Food", "2000", "3000", "1500", "200", "99999",
                           "1000"};
    for (int32_t i = 0; i < 10; ++i) Type(state, i, typed[i]);
    ASSERT_TRUE(AcceptDialog(state, target).ok);
    EXPECT_EQ(food.constantGrowthAmount, 100.0f);
    EXPECT_EQ(food.exponentialGrowthPercentage, 1.0f);
    EXPECT_EQ(food.decayPercentage, 0.0f);
    EXPECT_EQ(food.generatorType, 0);
    EXPECT_EQ(food.initialFood, 2000);
    EXPECT_EQ(food.maxFood, 3000);
    EXPECT_EQ(food.minFood, 1500);
    EXPECT_EQ(food.clusterSize, 200);
    EXPECT_EQ(food.turnsToDecay, 99999);
    EXPECT_EQ(food.renderThreshold, 1000);
}

TEST_F(DialogTablesTest, AntsOptionsSumMustBeExactlyOneHundred) {
    Colony& colony = simulation->colony;
    const DialogId ants = DialogId::AntsOptions;
    auto Shares = [&](DialogState& state, const char* g, const char* m, const char* r,
                      const char* w) {
        Type(state, ants, "Gathering Percentage", g);
        Type(state, ants, "Meandering Percentage", m);
        Type(state, ants, "Reproducing Percentage", r);
        Type(state, ants, "Wandering Percentage", w);
    };

    DialogState state = Open(ants);
    Shares(state, "25", "60", "10", "6");
    Type(state, ants, "Wander Trail Intensity", "700");
    DialogCheck check = AcceptDialog(state, target);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.failingField, -1);
    EXPECT_STREQ(check.message, "Warning sum of the ants ratio has to equal one\nTry Again");
    // Nothing written; the dialog runs again with what was typed.
    EXPECT_EQ(colony.wanderingShare, 5.0f);
    EXPECT_EQ(colony.wanderTrailIntensity, 600);
    EXPECT_STREQ(state.fields[Field(ants, "Wandering Percentage")].text, "6");

    Shares(state, "25", "60", "10", "5");
    ASSERT_TRUE(AcceptDialog(state, target).ok);
    EXPECT_EQ(colony.wanderTrailIntensity, 700);

    // Single-precision partial sums land exactly on 100.
    Shares(state, "33.3", "33.3", "33.4", "0");
    ASSERT_TRUE(AcceptDialog(state, target).ok);
    EXPECT_EQ(colony.gatheringShare, 33.3f);
    EXPECT_EQ(colony.meanderingShare, 33.3f);
    EXPECT_EQ(colony.reproducingShare, 33.4f);
    EXPECT_EQ(colony.wanderingShare, 0.0f);

    // One share alone at 100 is fine too.
    Shares(state, "0", "100", "0", "0");
    EXPECT_TRUE(AcceptDialog(state, target).ok);
}

TEST_F(DialogTablesTest, UnchangedDialogWritesBackExactlyWhatItShowed) {
    // Shares the expert system left with more digits than six: shown so that
    // they read back unchanged, their sum still passes.
    Colony& colony = simulation->colony;
    colony.gatheringShare = 58.900291f;
    colony.meanderingShare = 35.241299f;
    colony.reproducingShare = 2.9216499f;
    colony.wanderingShare = 100.0f - ((58.900291f + 35.241299f) + 2.9216499f);
    ASSERT_EQ(((colony.gatheringShare + colony.meanderingShare) + colony.reproducingShare) +
                  colony.wanderingShare,
              100.0f);
    const float before[] = {colony.gatheringShare, colony.meanderingShare,
                            colony.reproducingShare, colony.wanderingShare, colony.dieRatio};
    DialogState state = Open(DialogId::AntsOptions);
    ASSERT_TRUE(AcceptDialog(state, target).ok);
    const float after[] = {colony.gatheringShare, colony.meanderingShare,
                           colony.reproducingShare, colony.wanderingShare, colony.dieRatio};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(after[i], before[i]) << i;
}

TEST_F(DialogTablesTest, AntsOptionsExchangesEveryValue) {
    Colony& colony = simulation->colony;
    colony.potentialFieldStrength = 15.7f;
    DialogState state = Open(DialogId::AntsOptions);
    EXPECT_STREQ(state.fields[Field(DialogId::AntsOptions, "Potential Field Strength (Walls)")].text,
                 "15");
    EXPECT_STREQ(state.fields[Field(DialogId::AntsOptions, "Ants Die Ratio")].text, "0.0007");
    EXPECT_STREQ(state.fields[Field(DialogId::AntsOptions, "Food Per Ant")].text, "0.001");

    const char* typed[] = {"50", "30", "15", "5", "1", "2000", "500", "30", "50",
                           "100", "1", "0.5", "0.25", "20", "1000"};
    for (int32_t i = 0; i < 15; ++i) Type(state, i, typed[i]);
    ASSERT_TRUE(AcceptDialog(state, target).ok);
    EXPECT_EQ(colony.gatheringShare, 50.0f);
    EXPECT_EQ(colony.meanderingShare, 30.0f);
    EXPECT_EQ(colony.reproducingShare, 15.0f);
    EXPECT_EQ(colony.wanderingShare, 5.0f);
    EXPECT_EQ(colony.trails.renderThreshold, 1);
    EXPECT_EQ(colony.wanderTrailIntensity, 2000);
    EXPECT_EQ(colony.gathererTrailIntensity, 500);
    EXPECT_EQ(colony.maxWanderDistance, 30);
    EXPECT_EQ(colony.potentialFieldStrength, 50.0f);
    EXPECT_EQ(colony.returnToBaseTime, 100);
    EXPECT_EQ(colony.dieRatio, 1.0f);
    EXPECT_EQ(colony.reproduceRatio, 0.5f);
    EXPECT_EQ(colony.foodPerAnt, 0.25f);
    EXPECT_EQ(colony.foodPerBaby, 20.0f);
    EXPECT_EQ(colony.minFoodToReproduce, 1000.0f);
}

TEST_F(DialogTablesTest, TrailThresholdOutsideItsRangeMustBeCorrected) {
    simulation->colony.trails.renderThreshold = 1200;
    DialogState state = Open(DialogId::AntsOptions);
    const int32_t field = Field(DialogId::AntsOptions, "Trail Dithering (for Rendering)");
    EXPECT_STREQ(state.fields[field].text, "1200");
    DialogCheck check = AcceptDialog(state, target);
    EXPECT_EQ(check.failingField, field);
    Type(state, field, "1000");
    EXPECT_TRUE(AcceptDialog(state, target).ok);
    EXPECT_EQ(simulation->colony.trails.renderThreshold, 1000);
}

TEST_F(DialogTablesTest, NewColonyOpensFromTheWorldSize) {
    DialogState state = Open(DialogId::NewColony);
    const char* opened[] = {"64", "64", "400", "300", "128", "128"};
    for (int32_t i = 0; i < 6; ++i) EXPECT_STREQ(state.fields[i].text, opened[i]) << i;

    simulation->worldWidth = 100;
    simulation->worldHeight = 81;
    const char* resized[] = {"40", "50", "400", "300", "100", "81"};
    state = Open(DialogId::NewColony);
    for (int32_t i = 0; i < 6; ++i) EXPECT_STREQ(state.fields[i].text, resized[i]) << i;

    // A world New Sim made smaller than a colony may be: the size must be
    // corrected before the colony is placed.
    simulation->worldWidth = 50;
    simulation->worldHeight = 50;
    state = Open(DialogId::NewColony);
    EXPECT_STREQ(state.fields[4].text, "50");
    DialogCheck check = AcceptDialog(state, target);
    EXPECT_EQ(check.failingField, 4);
    EXPECT_EQ(simulation->colony.home.x, Simulation::kFirstColonyX);  // nothing rebuilt
}

TEST_F(DialogTablesTest, NewColonyPlacementChecksInOrder) {
    struct Case {
        const char* x;
        const char* y;
        const char* xSize;
        const char* ySize;
        const char* warning;  // null: accepted
    } cases[] = {
        {"10", "64", "128", "128", nullptr},
        {"118", "64", "128", "128", nullptr},
        {"9", "64", "128", "128", kXPlacementWarning},
        {"119", "64", "128", "128", kXPlacementWarning},
        {"64", "118", "128", "128", nullptr},
        {"64", "10", "128", "128", nullptr},
        {"64", "119", "128", "128", kYPlacementWarning},
        {"64", "9", "128", "128", kYPlacementWarning},
        {"60", "32", "64", "128", kXPlacementWarning},  // 60 > 64 - 10
        {"9", "9", "128", "128", kXPlacementWarning},   // X is checked first
        {"200", "200", "128", "128", kXPlacementWarning},
    };
    for (const Case& c : cases) {
        DialogValues values;
        values.value[0] = std::atoi(c.y);
        values.value[1] = std::atoi(c.x);
        values.value[2] = 400;
        values.value[3] = 300;
        values.value[4] = std::atoi(c.xSize);
        values.value[5] = std::atoi(c.ySize);
        DialogCheck check;
        const bool ok = CheckDialog(DialogId::NewColony, values, check);
        SCOPED_TRACE(std::string(c.x) + "," + c.y + " in " + c.xSize + "x" + c.ySize);
        EXPECT_EQ(ok, c.warning == nullptr);
        if (c.warning != nullptr) {
            EXPECT_STREQ(check.message, c.warning);
        }
    }
    EXPECT_STREQ(kXPlacementWarning, "Warning XPlacement is too close to border try again");
    EXPECT_STREQ(kYPlacementWarning, "Warning YPlacement is too close to border try again");
}

}  // namespace
