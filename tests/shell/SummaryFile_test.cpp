// The summary file: rows and their keys, reading back what many runs wrote
// (repeated headers, a torn last line), appending under a header check, and
// merging rows made elsewhere without doubling a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "shell/experiments/Merge.h"
#include "shell/experiments/SummaryRow.h"
#include "tests/TempFolder.h"

namespace {

ParameterRef Ref(const char* name) {
    ParameterRef ref;
    EXPECT_TRUE(FindParameter(name, ref)) << name;
    return ref;
}

RunKey Key(double foodPerAnt, uint32_t seed) {
    RunKey key;
    key.parameters = {Ref("foodPerAnt"), Ref("generatorType")};
    key.values = {foodPerAnt, 2};
    key.seed = seed;
    key.steps = 500;
    return key;
}

RunSummary Summary(int32_t population) {
    RunSummary s;
    s.finalPopulation = population;
    s.meanPopulation = 401.25;
    s.colonyDeaths = 1;
    s.finalFoodReserves = 12.5;
    s.seconds = 0.25;
    return s;
}

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

const std::string kHeader = SummaryHeader({Ref("foodPerAnt"), Ref("generatorType")});

}  // namespace

TEST(SummaryRows, ARowStartsWithItsKeyAndReadsBackWhole) {
    EXPECT_EQ(kHeader,
              "foodPerAnt,generatorType,seed,steps,status,final_population,mean_population,"
              "colony_deaths,final_food_reserves,mean_food_reserves,final_food_supply,"
              "mean_food_supply,mean_meandering_share,mean_wandering_share,mean_gathering_share,"
              "mean_reproducing_share,cut_off_passes,seconds");
    const std::string ok = SummaryLine(Key(0.002, 4), Summary(333));
    EXPECT_EQ(ok.rfind("0.002,2,4,500,ok,333,401.250,1,12.500,", 0), 0u) << ok;
    const std::string failed = FailedLine(Key(0.002, 5), "signal 9");
    EXPECT_EQ(failed, "0.002,2,5,500,signal 9,,,,,,,,,,,,,\n");

    // Collected from many runs' standard output: headers repeat, a run that
    // was cut off mid-line leaves a torn line, blank lines creep in.
    const std::string text = kHeader + "\n" + ok + "\n" + kHeader + "\r\n" + failed +
                             "0.003,2,6,500,ok,12\n";
    SummaryTable table;
    std::string error;
    ASSERT_TRUE(ParseSummaryText(text, table, error)) << error;
    EXPECT_EQ(table.parameterCount, 2);
    EXPECT_EQ(table.ParameterNames(), (std::vector<std::string>{"foodPerAnt", "generatorType"}));
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.malformed, 1);
    EXPECT_EQ(table.KeyOf(table.rows[0]), Key(0.002, 4).Text());
    EXPECT_EQ(table.StatusOf(table.rows[0]), "ok");
    EXPECT_EQ(table.StatusOf(table.rows[1]), "signal 9");

    EXPECT_FALSE(ParseSummaryText("step,population\n1,2\n", table, error));
    EXPECT_FALSE(ParseSummaryText("a,seed,steps,status\n", table, error));
}

TEST(SummaryFile, AppendingWritesTheHeaderOnceAndRefusesAnotherSweepsFile) {
    TempFolder folder;
    const std::string path = folder.File("r.csv");
    std::string error;
    int fd = OpenSummaryForAppend(path.c_str(), kHeader, error);
    ASSERT_GE(fd, 0) << error;
    ASSERT_TRUE(AppendWhole(fd, SummaryLine(Key(0.001, 1), Summary(1))));
    close(fd);
    fd = OpenSummaryForAppend(path.c_str(), kHeader, error);
    ASSERT_GE(fd, 0) << error;
    ASSERT_TRUE(AppendWhole(fd, SummaryLine(Key(0.001, 2), Summary(2))));
    close(fd);
    SummaryTable table;
    ASSERT_TRUE(ReadSummaryFile(path.c_str(), false, table, error)) << error;
    EXPECT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(Read(path).find(kHeader), 0u);
    EXPECT_EQ(Read(path).rfind(kHeader), 0u);

    // Another sweep's columns: refused, and the file is left as it was.
    const std::string before = Read(path);
    EXPECT_LT(OpenSummaryForAppend(path.c_str(), SummaryHeader({Ref("dieRatio")}), error), 0);
    EXPECT_NE(error.find("holds rows of other columns"), std::string::npos) << error;
    EXPECT_EQ(Read(path), before);
    // Not a file at all: nothing to read back, so no sweep could go on.
    EXPECT_LT(OpenSummaryForAppend("/dev/null", kHeader, error), 0);
    EXPECT_NE(error.find("'/dev/null' is no regular file"), std::string::npos) << error;
    EXPECT_LT(OpenSummaryForAppend(folder.path.c_str(), kHeader, error), 0);
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
}

TEST(SummaryFile, ATornLastLineIsClosedBeforeTheNextRow) {
    TempFolder folder;
    const std::string path = folder.File("r.csv");
    Write(path, kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1)) + "0.001,2,2,500,o");
    std::string error;
    const int fd = OpenSummaryForAppend(path.c_str(), kHeader, error);
    ASSERT_GE(fd, 0) << error;
    ASSERT_TRUE(AppendWhole(fd, SummaryLine(Key(0.001, 3), Summary(3))));
    close(fd);
    SummaryTable table;
    ASSERT_TRUE(ReadSummaryFile(path.c_str(), false, table, error)) << error;
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_EQ(table.KeyOf(table.rows[1]), Key(0.001, 3).Text());
    EXPECT_EQ(table.malformed, 1);
}

TEST(SummaryFile, AMissingOrEmptyFileIsAnEmptySummaryOnlyWhereThatIsAllowed) {
    TempFolder folder;
    SummaryTable table;
    std::string error;
    EXPECT_TRUE(ReadSummaryFile(folder.File("none.csv").c_str(), true, table, error));
    EXPECT_TRUE(table.header.empty());
    EXPECT_FALSE(ReadSummaryFile(folder.File("none.csv").c_str(), false, table, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    Write(folder.File("empty.csv"), "\n");
    EXPECT_TRUE(ReadSummaryFile(folder.File("empty.csv").c_str(), true, table, error));
}

TEST(SummaryMerge, RowsJoinTheSummaryOncePerRunAndAFinishedRunBeatsAFailedOne) {
    TempFolder folder;
    const std::string a = folder.File("a.csv");
    const std::string b = folder.File("b.csv");
    const std::string out = folder.File("out.csv");
    Write(a, kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1)) +
                 FailedLine(Key(0.001, 2), "exit 1") + kHeader + "\n" +
                 FailedLine(Key(0.001, 3), "exit 1"));
    Write(b, kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1)) +  // again
                 SummaryLine(Key(0.001, 2), Summary(2)) +                // finished this time
                 SummaryLine(Key(0.001, 3), Summary(3)) +
                 FailedLine(Key(0.001, 1), "signal 9") +                 // late failure
                 "garbage\n");
    MergeCounts counts;
    std::string error;
    ASSERT_TRUE(MergeSummaries({a, b}, out, counts, error)) << error;
    EXPECT_EQ(counts.added, 5u);  // 1, 2 failed, 3 failed, 2 ok, 3 ok
    EXPECT_EQ(counts.skipped, 2u);
    EXPECT_EQ(counts.malformed, 1u);
    // Merging again adds nothing.
    ASSERT_TRUE(MergeSummaries({a, b, out}, out, counts, error)) << error;
    EXPECT_EQ(counts.added, 0u);
    SummaryTable table;
    ASSERT_TRUE(ReadSummaryFile(out.c_str(), false, table, error));
    EXPECT_EQ(table.rows.size(), 5u);
    EXPECT_EQ(table.header, kHeader);
}

TEST(SummaryMerge, FilesOfOtherColumnsAreRefusedBeforeAnythingIsWritten) {
    TempFolder folder;
    const std::string a = folder.File("a.csv");
    const std::string b = folder.File("b.csv");
    const std::string out = folder.File("out.csv");
    Write(a, kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1)));
    Write(b, SummaryHeader({Ref("dieRatio")}) + "\n");
    MergeCounts counts;
    std::string error;
    EXPECT_FALSE(MergeSummaries({a, b}, out, counts, error));
    EXPECT_NE(error.find("has other columns"), std::string::npos) << error;
    EXPECT_NE(access(out.c_str(), F_OK), 0);
    // A name mistyped is an error, an empty file (a run list that made no
    // rows) is not.
    EXPECT_FALSE(MergeSummaries({folder.File("missing.csv")}, out, counts, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
    Write(folder.File("empty.csv"), "");
    EXPECT_TRUE(MergeSummaries({folder.File("empty.csv")}, out, counts, error)) << error;
    EXPECT_EQ(counts.added, 0u);
}
