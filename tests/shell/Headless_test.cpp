// The headless runner: its command line, its CSV and the reproducibility of
// fast runs.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/ExitStatus.h"
#include "shell/headless/Headless.h"
#include "simulation/Simulation.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

// Through the one parser and the headless options, as main does.
bool Parse(std::vector<const char*> words, HeadlessOptions& options, std::string& error) {
    words.insert(words.begin(), "marrowick");
    CommandLine line;
    return ParseCommandLine(static_cast<int>(words.size()), words.data(), nullptr, line, error) &&
           HeadlessOptionsFrom(line, options, error) == kExitOk;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(HeadlessOptions, AcceptedForms) {
    HeadlessOptions o;
    std::string error;
    ASSERT_TRUE(Parse({"--headless", "--steps", "100000", "--seed=4294967295", "--csv", "-",
                       "--every=25", "--rate", "1000", "--verbose", "--no-expert-system"},
                      o, error))
        << error;
    EXPECT_EQ(o.steps, 100000);
    EXPECT_EQ(o.run.seed, 4294967295u);
    EXPECT_STREQ(o.csvPath, "-");
    EXPECT_EQ(o.every, 25);
    EXPECT_EQ(o.run.Number(ParameterId::SimsPerSecond), 1000);
    EXPECT_TRUE(o.run.verbose);
    EXPECT_FALSE(o.run.expertSystem);

    HeadlessOptions defaults;
    ASSERT_TRUE(Parse({"--headless"}, defaults, error)) << error;
    EXPECT_EQ(defaults.steps, -1);  // live pace
    EXPECT_EQ(defaults.run.Number(ParameterId::SimsPerSecond), 40);
    EXPECT_EQ(defaults.run.seed, 1u);
    EXPECT_EQ(defaults.csvPath, nullptr);
    EXPECT_EQ(defaults.every, 1);
    EXPECT_FALSE(defaults.run.verbose);
    EXPECT_TRUE(defaults.run.expertSystem);

    // --headless may stand anywhere; --steps 0 is a run of no steps.
    HeadlessOptions zero;
    ASSERT_TRUE(Parse({"--steps=0", "-headless"}, zero, error)) << error;
    EXPECT_EQ(zero.steps, 0);

    // --set simsPerSecond beats --rate, wherever each stands.
    HeadlessOptions both;
    ASSERT_TRUE(Parse({"--headless", "--set", "simsPerSecond=300", "--rate", "20"}, both, error));
    EXPECT_EQ(both.run.Number(ParameterId::SimsPerSecond), 300);
}

TEST(HeadlessOptions, WhatOnlyAHeadlessRunRefuses) {
    struct Case {
        std::vector<const char*> words;
        const char* message;
    };
    const Case cases[] = {
        {{"--headless", "--plot", "p.svg"}, "--plot draws a run of a fixed length: give --steps N"},
        {{"--headless", "--csv", "-", "--trace-rules", "-"},
         "--csv and --trace-rules cannot both write to standard output"},
        {{"--headless", "--set", "wanderingShare=9"}, "the four shares must add up to 100"},
    };
    for (const Case& c : cases) {
        HeadlessOptions o;
        std::string error;
        EXPECT_FALSE(Parse(c.words, o, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

class HeadlessRun : public ::testing::Test {
protected:
    // A fast run writing its CSV into the test's folder; returns the CSV.
    std::string Run(uint32_t seed, int64_t steps, int32_t every, const char* name) {
        HeadlessOptions options;
        options.steps = steps;
        options.run.seed = seed;
        options.every = every;
        const std::string csv = folder.File(name);
        options.csvPath = csv.c_str();
        EXPECT_EQ(RunHeadless(options), 0);
        return ReadFile(csv);
    }
    TempFolder folder;
};

TEST_F(HeadlessRun, FixedSeedRepeatsAndAnotherSeedDiffers) {
    const std::string first = Run(11, 400, 1, "a.csv");
    const std::string again = Run(11, 400, 1, "b.csv");
    const std::string other = Run(12, 400, 1, "c.csv");
    EXPECT_EQ(first, again);
    EXPECT_NE(first, other);

    const std::vector<std::string> rows = Lines(first);
    ASSERT_EQ(rows.size(), 401u);
    EXPECT_EQ(rows[0], kHeadlessCsvHeader);
    EXPECT_EQ(rows[1].rfind("1,", 0), 0u);
    EXPECT_EQ(rows[400].rfind("400,", 0), 0u);
    // Every row has the header's 17 fields (the action texts hold no commas
    // of their own in the built-in rule base).
    for (const std::string& row : rows) {
        size_t commas = 0;
        bool quoted = false;
        for (char ch : row) {
            if (ch == '"') quoted = !quoted;
            if (ch == ',' && !quoted) ++commas;
        }
        EXPECT_EQ(commas, 16u) << row;
    }
}

TEST_F(HeadlessRun, EveryKStepsOneRow) {
    const std::vector<std::string> rows = Lines(Run(1, 250, 50, "every.csv"));
    ASSERT_EQ(rows.size(), 6u);
    const char* steps[] = {"50,", "100,", "150,", "200,", "250,"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(rows[i + 1].rfind(steps[i], 0), 0u) << rows[i + 1];
    }
    // The default seed is the unseeded state: the same run as seed 1.
    EXPECT_EQ(Lines(Run(1, 250, 50, "again.csv")), rows);

    // A K that does not divide the steps: the last step gets its row too,
    // the same row a run of every step writes for it.
    const std::vector<std::string> uneven = Lines(Run(1, 250, 60, "uneven.csv"));
    ASSERT_EQ(uneven.size(), 6u);
    const char* unevenSteps[] = {"60,", "120,", "180,", "240,", "250,"};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(uneven[i + 1].rfind(unevenSteps[i], 0), 0u) << uneven[i + 1];
    }
    EXPECT_EQ(uneven[5], rows[5]);
    // More than the run: its last step alone.
    const std::vector<std::string> one = Lines(Run(1, 250, 1000, "long.csv"));
    ASSERT_EQ(one.size(), 2u);
    EXPECT_EQ(one[1], rows[5]);
}

std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields;
    std::stringstream in(row);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

// A hoarding colony is rebuilt right after the step that found it, before the
// next step: the row of that step still shows it, the next one the new colony.
TEST_F(HeadlessRun, FastRunRebuildsRightAfterTheStepThatLeftTheRange) {
    HeadlessOptions options;
    options.steps = 3;
    const std::string csv = folder.File("restart.csv");
    options.csvPath = csv.c_str();
    options.prepare = [](Simulation& s) { s.colony.foodReserves = 5000.0f; };
    ASSERT_EQ(RunHeadless(options), 0);

    const std::vector<std::string> rows = Lines(ReadFile(csv));
    ASSERT_EQ(rows.size(), 4u);
    const size_t kReserves = 11;
    const size_t kDeaths = 13;
    const std::vector<std::string> first = Fields(rows[1]);
    const std::vector<std::string> second = Fields(rows[2]);
    const std::vector<std::string> third = Fields(rows[3]);
    EXPECT_EQ(first[kDeaths], "0");
    EXPECT_GT(std::stod(first[kReserves]), 1500.0);
    EXPECT_EQ(second[0], "2");
    EXPECT_EQ(second[kDeaths], "1");
    EXPECT_LT(std::stod(second[kReserves]), 300.0);
    EXPECT_GT(std::stod(second[kReserves]), 290.0);
    EXPECT_EQ(third[kDeaths], "1");  // one rebuild, not one per step
}

TEST_F(HeadlessRun, UnwritableCsvFailsBeforeRunning) {
    HeadlessOptions options;
    options.steps = 10;
    const std::string csv = folder.File("no-such-folder/out.csv");
    options.csvPath = csv.c_str();
    EXPECT_EQ(RunHeadless(options), 1);
}

TEST(HeadlessCsv, RowFieldsAndQuoting) {
    TempFolder folder;
    auto simulation = MakeSimulation(folder);
    Simulation& s = *simulation;
    s.totalSteps = 12;
    s.colonyDeaths = 3;
    Colony& c = s.colony;
    c.population = 7;
    c.meanderers = 1;
    c.wanderers = 2;
    c.gatherers = 3;
    c.reproducers = 0;
    c.returners = 1;
    c.foodReserves = 12.3456f;
    ExpertSystem& e = s.expertSystem;
    e.on = true;
    std::strcpy(e.populationAction, "Say \"more\", then");
    std::strcpy(e.foodAction, "Plain");

    char row[1024];
    const size_t length = FormatCsvRow(s, row, sizeof row);
    EXPECT_EQ(length, std::strlen(row));
    const std::string expected = "12,7,1,2,3,0,1,60.00,5.00,25.00,10.00,12.346," +
                                 std::to_string(s.foodField.FoodCount()) +
                                 ",3,on,\"Say \"\"more\"\", then\",\"Plain\"";
    EXPECT_EQ(std::string(row), expected);

    // While the expert system is off its old conclusions are not reported
    // (and the colony keeps them: formatting a row changes nothing).
    e.on = false;
    FormatCsvRow(s, row, sizeof row);
    EXPECT_NE(std::string(row).find(",off,\"\",\"\""), std::string::npos) << row;
    EXPECT_STREQ(e.foodAction, "Plain");

    // The overlay pads its action lines to 28 characters; the CSV does not.
    e.on = true;
    std::strcpy(e.populationAction, "                            ");
    std::strcpy(e.foodAction, "Raise Food Intake           ");
    FormatCsvRow(s, row, sizeof row);
    EXPECT_NE(std::string(row).find(",on,\"\",\"Raise Food Intake\""), std::string::npos) << row;

    // A buffer too small is cut, never overrun.
    char tiny[16];
    std::memset(tiny, 'x', sizeof tiny);
    EXPECT_EQ(FormatCsvRow(s, tiny, 10), 9u);
    EXPECT_EQ(tiny[9], '\0');
    EXPECT_EQ(tiny[10], 'x');
}

}  // namespace
