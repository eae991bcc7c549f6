// The sweep's plan: --vary lists and ranges read through the parameters' own
// ranges, --seeds, the grid as the product of the varied values with the
// seeds innermost, and the checks of every grid point.
#include "shell/experiments/SweepPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "shell/experiments/Sweep.h"

namespace {

std::vector<double> Values(const char* text) {
    VaryAxis axis;
    std::string error;
    EXPECT_TRUE(ParseVary(text, axis, error)) << text << ": " << error;
    std::vector<double> values;
    for (const auto& point : axis.points) values.push_back(point[0].number);
    return values;
}

std::string VaryError(const char* text) {
    VaryAxis axis;
    std::string error;
    EXPECT_FALSE(ParseVary(text, axis, error)) << text;
    return error;
}

// Through the one parser, as main does: false with its message or the plan's.
bool Parse(std::vector<const char*> args, SweepPlan& plan, std::string& error) {
    args.insert(args.begin(), {"marrowick", "--sweep"});
    CommandLine line;
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), nullptr, line, error) &&
           SweepPlanFrom(line, plan, error);
}

}  // namespace

TEST(SweepVary, ListsAndRangesGiveTheValuesAsTheParameterStoresThem) {
    EXPECT_EQ(Values("maxWanderDistance=10,20,5"), (std::vector<double>{10, 20, 5}));
    EXPECT_EQ(Values("maxWanderDistance=5:30:5"), (std::vector<double>{5, 10, 15, 20, 25, 30}));
    EXPECT_EQ(Values("maxWanderDistance=5:29:5"), (std::vector<double>{5, 10, 15, 20, 25}));
    EXPECT_EQ(Values("maxWanderDistance=7:7:1"), (std::vector<double>{7}));
    // Both ends included although 0.1 + 2 x 0.1 is not 0.3 in binary.
    EXPECT_EQ(Values("foodPerAnt=0.1:0.3:0.1"),
              (std::vector<double>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(Values("foodPerAnt=0.001:0.003:0.001").size(), 3u);
    // Repeats run once.
    EXPECT_EQ(Values("dieRatio=0.5,0.5,0.25"), (std::vector<double>{0.5, 0.25}));
    EXPECT_EQ(Values("generatorType=0,Exponential Growth"), (std::vector<double>{0, 2}));
    // Parameters no dialog shows are swept like the others.
    EXPECT_EQ(Values("policyPeriod=25,50"), (std::vector<double>{25, 50}));
}

// The four shares vary together, each point keeping their sum.
TEST(SweepVary, TheSharesVaryTogether) {
    VaryAxis axis;
    std::string error;
    ASSERT_TRUE(ParseVary("shares=60/5/25/10,50/5/35/10,50/5/35/10", axis, error)) << error;
    ASSERT_EQ(axis.ids.size(), 4u);
    ASSERT_EQ(axis.points.size(), 2u);
    EXPECT_EQ(axis.points[1][2].number, 35.0);  // the gathering share
    SweepPlan plan;
    ASSERT_TRUE(Parse({"--vary", "shares=60/5/25/10,50/5/35/10", "--seeds", "2", "--steps", "9"},
                      plan, error))
        << error;
    EXPECT_EQ(SummaryHeader(plan.Columns()).substr(0, 70),
              "meanderingShare,wanderingShare,gatheringShare,reproducingShare,seed,st");
    const std::vector<RunKey> runs = plan.Runs();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[2].Text(), "50,5,35,10,1,9");
    EXPECT_TRUE(CheckSweepGrid(plan, error)) << error;
    EXPECT_FALSE(ParseVary("shares=60:70:5", axis, error));
    EXPECT_EQ(error, "--vary shares takes a list of values (A,B,C), not a range");
}

TEST(SweepVary, RefusedValuesNameTheParameterAndItsRange) {
    struct Case {
        const char* text;
        const char* mentions;
    };
    const Case cases[] = {
        {"maxWanderDistance=4,10", "maxWanderDistance takes a whole number from 5 to 30, not \"4\""},
        {"maxWanderDistance=10:40:10", "from 5 to 30, not \"40\""},
        {"maxWanderDistance=5:10:2.5", "whole number"},
        {"foodPerAnt=0.5:0.1:0.1", "FROM <= TO and a STEP above 0"},
        {"foodPerAnt=0.1:0.5:0", "STEP above 0"},
        {"foodPerAnt=0.1:0.5", "FROM <= TO"},
        {"foodPerAnt=0:1:0.00001", "more than 10000 values"},
        {"foodPerAnt", "--vary needs NAME=A,B,C or NAME=FROM:TO:STEP"},
        {"foodPerAnt=", "--vary needs"},
        {"nosuch=1,2", "unknown parameter \"nosuch\""},
        {"foodperant=1", "did you mean foodPerAnt?"},
        {"foodPerAnt=0.1,,0.2", "not \"\""},
        // Stored but never read: a sweep over it would make identical runs.
        {"startingSeeds=1,2", "startingSeeds is stored but never read by a run"},
        {"deadRule0=0,1", "deadRule0 is stored but never read by a run"},
    };
    for (const Case& c : cases) {
        const std::string error = VaryError(c.text);
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.text << ": " << error;
    }
}

TEST(SweepSeeds, ARangeOrACount) {
    std::vector<uint32_t> seeds;
    std::string error;
    ASSERT_TRUE(ParseSeeds("3-6", seeds, error));
    EXPECT_EQ(seeds, (std::vector<uint32_t>{3, 4, 5, 6}));
    ASSERT_TRUE(ParseSeeds("4", seeds, error));
    EXPECT_EQ(seeds, (std::vector<uint32_t>{1, 2, 3, 4}));
    ASSERT_TRUE(ParseSeeds("4294967295-4294967295", seeds, error));
    EXPECT_EQ(seeds, (std::vector<uint32_t>{4294967295u}));
    for (const char* bad : {"0", "6-3", "-3", "3-", "a-b", "1-2-3", "", "1,2", "4294967296-4294967296"}) {
        EXPECT_FALSE(ParseSeeds(bad, seeds, error)) << bad;
        EXPECT_NE(error.find("--seeds takes A-B"), std::string::npos) << error;
    }
}

TEST(SweepGrid, TheProductOfTheVariedValuesWithTheSeedsInnermost) {
    SweepPlan plan;
    std::string error;
    ASSERT_TRUE(Parse({"--set", "dieRatio=0.001", "--vary", "foodPerAnt=0.001,0.002", "--vary",
                       "maxWanderDistance=5:15:5", "--seeds", "7-8", "--steps", "300"},
                      plan, error))
        << error;
    EXPECT_EQ(plan.RunCount(), 12u);
    const std::vector<RunKey> runs = plan.Runs();
    ASSERT_EQ(runs.size(), 12u);
    std::vector<std::string> keys;
    for (const RunKey& run : runs) keys.push_back(run.Text());
    // Columns: the fixed setting, then the varied ones in the order given.
    EXPECT_EQ(SummaryHeader(plan.Columns()).substr(0, 40),
              "dieRatio,foodPerAnt,maxWanderDistance,se");
    const std::vector<std::string> expected = {
        "0.001,0.001,5,7,300",  "0.001,0.001,5,8,300",  "0.001,0.001,10,7,300",
        "0.001,0.001,10,8,300", "0.001,0.001,15,7,300", "0.001,0.001,15,8,300",
        "0.001,0.002,5,7,300",  "0.001,0.002,5,8,300",  "0.001,0.002,10,7,300",
        "0.001,0.002,10,8,300", "0.001,0.002,15,7,300", "0.001,0.002,15,8,300",
    };
    EXPECT_EQ(keys, expected);
    // A run's command line carries its key whole.
    const std::vector<std::string> words = RunCommand("/bin/m", runs[3], "r.csv");
    const std::vector<std::string> expectedWords = {
        "/bin/m", "--summary-run", "--seed", "8", "--steps", "300", "--set", "dieRatio=0.001",
        "--set", "foodPerAnt=0.001", "--set", "maxWanderDistance=10", "--out", "r.csv"};
    EXPECT_EQ(words, expectedWords);
}

TEST(SweepGrid, WithoutVaryOneRunPerSeed) {
    SweepPlan plan;
    std::string error;
    ASSERT_TRUE(Parse({"--seeds", "3"}, plan, error)) << error;
    const std::vector<RunKey> runs = plan.Runs();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[2].Text(), "3,10000");
}

TEST(SweepOptions, UsageErrors) {
    struct Case {
        std::vector<const char*> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{"--set", "foodPerAnt=0.1", "--vary", "foodPerAnt=0.1,0.2"}, "foodPerAnt is both held by --set and varied by --vary"},
        {{"--vary", "foodPerAnt=0.1", "--vary", "foodPerAnt=0.2"}, "given to --vary twice"},
        {{"--plot", "p.svg"}, "--plot draws the measures against the first --vary parameter"},
        {{"--jobs", "0"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--steps", "-1"}, "--steps takes a whole number"},
        {{"--steps"}, "option --steps needs N"},
        {{"--out="}, "needs a file name"},
        {{"--headless"}, "--sweep and --headless cannot be used together"},
        {{"--csv", "x"}, "--csv is not an option of --sweep"},
        {{"extra"}, "unexpected argument 'extra'"},
        {{"--vary", "foodPerAnt=0:1:0.001", "--vary", "dieRatio=0:1:0.001", "--seeds", "2"}, "more than 1000000 runs"},
        {{"--runs", "0-3"}, "--runs takes A-B"},
        {{"--runs", "5-2"}, "--runs takes A-B"},
        {{"--runs", "7"}, "--runs takes A-B"},
        {{"--seeds", "4", "--runs", "2-5"}, "--runs 2-5: the sweep has 4 runs"},
        {{"--list-runs", "--chunk", "0"}, "--chunk takes a whole number from 1 to 1000000"},
        {{"--chunk", "10"}, "give it with --list-runs"},
        {{"--out", "-", "--plot", "-", "--vary", "foodPerAnt=0.1"}, "cannot both write to standard output"},
    };
    for (const Case& c : cases) {
        SweepPlan plan;
        std::string error;
        EXPECT_FALSE(Parse(c.args, plan, error)) << c.mentions;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << error;
    }
}

TEST(SweepGrid, EveryGridPointPassesTheCrossChecksOrTheFirstRefusedIsNamed) {
    SweepPlan plan;
    std::string error;
    ASSERT_TRUE(Parse({"--set", "meanderingShare=55", "--vary", "gatheringShare=30,35", "--vary",
                       "wanderingShare=5,0"},
                      plan, error));
    EXPECT_FALSE(CheckSweepGrid(plan, error));
    EXPECT_EQ(error,
              "the grid point gatheringShare=30 wanderingShare=0 is refused: the four shares must "
              "add up to 100: gatheringShare 30 + meanderingShare 55 + reproducingShare 10 + "
              "wanderingShare 0 make 95");
    ASSERT_TRUE(Parse({"--vary", "colonyX=10,118", "--vary", "colonyY=10,118"}, plan, error));
    EXPECT_TRUE(CheckSweepGrid(plan, error)) << error;
}

TEST(SweepGrid, ThePartsOfAChunkedListMakeTheWholeGridAgain) {
    // A batch system's task runs "--sweep <grid> --runs A-B": the grid's
    // options as words must give exactly the same list of runs.
    SweepPlan plan;
    std::string error;
    ASSERT_TRUE(Parse({"--set", "dieRatio=0.0009", "--vary", "foodPerAnt=0.001:0.003:0.001",
                       "--vary", "generatorType=Exponential Growth,0", "--seeds", "3-5", "--steps",
                       "50"},
                      plan, error))
        << error;
    const std::vector<RunKey> runs = plan.Runs();
    ASSERT_EQ(runs.size(), 18u);
    const std::vector<std::string> words = plan.GridArguments();
    EXPECT_EQ(words, (std::vector<std::string>{"--set", "dieRatio=0.0009", "--vary",
                                               "foodPerAnt=0.001,0.002,0.003", "--vary",
                                               "generatorType=2,0", "--seeds", "3-5", "--steps",
                                               "50"}));
    std::vector<std::string> parts;
    for (size_t first = 1; first <= runs.size(); first += 7) {
        std::vector<const char*> args;
        for (const std::string& word : words) args.push_back(word.c_str());
        const std::string range =
            std::to_string(first) + "-" + std::to_string(std::min(first + 6, runs.size()));
        args.push_back("--runs");
        args.push_back(range.c_str());
        SweepPlan part;
        ASSERT_TRUE(Parse(args, part, error)) << error;
        for (const RunKey& key : part.SelectedRuns()) parts.push_back(key.Text());
    }
    ASSERT_EQ(parts.size(), runs.size());
    for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(parts[i], runs[i].Text()) << i;
}
