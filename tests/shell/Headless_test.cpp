// The headless runner: its command line, its CSV and the reproducibility of
// fast runs.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "shell/Headless.h"
#include "simulation/Simulation.h"
#include "tests/simulation/SimulationTestSupport.h"

namespace {

// argv as the program receives it.
struct Args {
    explicit Args(std::vector<std::string> words) : storage(std::move(words)) {
        storage.insert(storage.begin(), "marrowick");
        for (std::string& w : storage) pointers.push_back(w.data());
        pointers.push_back(nullptr);
    }
    int argc() const { return static_cast<int>(storage.size()); }
    char** argv() { return pointers.data(); }
    std::vector<std::string> storage;
    std::vector<char*> pointers;
};

// The options point into args (as into the program's argv): keep it alive.
HeadlessCommand Parse(Args& args, HeadlessOptions& options, std::string& error) {
    char message[256] = {};
    const HeadlessCommand command =
        ParseHeadlessOptions(args.argc(), args.argv(), options, message, sizeof message);
    error = message;
    return command;
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
    Args full({"--headless", "--steps", "100000", "--seed=4294967295", "--csv", "-",
               "--every=25", "--rate", "1000", "--verbose"});
    ASSERT_EQ(Parse(full, o, error), HeadlessCommand::Run)
        << error;
    EXPECT_EQ(o.steps, 100000);
    EXPECT_EQ(o.seed, 4294967295u);
    EXPECT_STREQ(o.csvPath, "-");
    EXPECT_EQ(o.every, 25);
    EXPECT_EQ(o.rate, 1000);
    EXPECT_TRUE(o.verbose);

    HeadlessOptions defaults;
    Args none({"--headless"});
    ASSERT_EQ(Parse(none, defaults, error), HeadlessCommand::Run);
    EXPECT_EQ(defaults.steps, -1);  // live pace
    EXPECT_EQ(defaults.rate, 40);
    EXPECT_EQ(defaults.seed, 1u);
    EXPECT_EQ(defaults.csvPath, nullptr);
    EXPECT_EQ(defaults.every, 1);
    EXPECT_FALSE(defaults.verbose);

    // -headless is the same switch.
    HeadlessOptions single;
    Args singleDash({"-headless", "--steps", "3"});
    ASSERT_EQ(Parse(singleDash, single, error), HeadlessCommand::Run) << error;
    EXPECT_EQ(single.steps, 3);

    // --headless may stand anywhere; --steps 0 is a run of no steps.
    HeadlessOptions zero;
    Args zeroArgs({"--steps=0", "--headless"});
    ASSERT_EQ(Parse(zeroArgs, zero, error), HeadlessCommand::Run);
    EXPECT_EQ(zero.steps, 0);

    HeadlessOptions h;
    Args help({"--headless", "--steps", "5", "--help"});
    EXPECT_EQ(Parse(help, h, error), HeadlessCommand::Help);
    Args version({"--headless", "--version"});
    EXPECT_EQ(Parse(version, h, error), HeadlessCommand::Version);
}

TEST(HeadlessOptions, RejectedWithAOneLineMessage) {
    struct Case {
        std::vector<std::string> words;
        const char* mentions;
    };
    const Case cases[] = {
        {{"--headless", "--bogus"}, "unrecognized option '--bogus'"},
        {{"--headless", "--stepsx=4"}, "unrecognized option"},
        {{"--headless", "extra"}, "unexpected argument 'extra'"},
        {{"--headless", "-s"}, "unexpected argument '-s'"},
        {{"--headless", "--steps"}, "requires an argument"},
        {{"--headless", "--steps", "ten"}, "invalid value 'ten' for --steps"},
        {{"--headless", "--steps", "-5"}, "--steps"},
        {{"--headless", "--steps", "2147483648"}, "--steps"},
        {{"--headless", "--steps", " 5"}, "--steps"},
        {{"--headless", "--steps="}, "--steps"},
        {{"--headless", "--rate", "4"}, "5 to 1000"},
        {{"--headless", "--rate", "1001"}, "--rate"},
        {{"--headless", "--seed", "4294967296"}, "--seed"},
        {{"--headless", "--seed", "0x10"}, "--seed"},
        {{"--headless", "--every", "0"}, "--every"},
        {{"--headless", "--csv="}, "--csv"},
        {{"--headless", "--verbose=yes"}, "doesn't allow an argument"},
        {{"--headless=1"}, "option '--headless=1' doesn't allow an argument"},
        {{"-headless=yes", "--steps", "5"}, "option '-headless=yes' doesn't allow an argument"},
        // An argument is quoted on one line, whatever it holds.
        {{"--headless", "two\nlines"}, "unexpected argument 'two?lines'"},
        {{"--headless", "--steps", "1\n2"}, "invalid value '1?2'"},
    };
    for (const Case& c : cases) {
        HeadlessOptions o;
        std::string error;
        Args args(c.words);
        EXPECT_EQ(Parse(args, o, error), HeadlessCommand::Error) << c.words.back();
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(error.rfind("marrowick: ", 0), 0u) << error;
    }
}

TEST(HeadlessOptions, ExitStatus) {
    struct Case {
        std::vector<std::string> words;
        int status;
    };
    const Case cases[] = {
        {{"--headless", "--help"}, 0},
        {{"--headless", "--version"}, 0},
        {{"--headless", "--bogus"}, 2},
        {{"--headless", "--every", "x"}, 2},
    };
    for (const Case& c : cases) {
        Args args(c.words);
        EXPECT_EQ(RunHeadless(args.argc(), args.argv()), c.status) << c.words.back();
    }
}

class HeadlessRun : public ::testing::Test {
protected:
    // A fast run writing its CSV into the test's folder; returns the CSV.
    std::string Run(uint32_t seed, int64_t steps, int32_t every, const char* name) {
        HeadlessOptions options;
        options.steps = steps;
        options.seed = seed;
        options.every = every;
        const std::string csv = folder.File(name);
        options.csvPath = csv.c_str();
        const std::string rules = folder.File("Rules.clp");
        options.rulesPath = rules.c_str();
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
    const std::string rules = folder.File("Rules.clp");
    options.rulesPath = rules.c_str();
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
