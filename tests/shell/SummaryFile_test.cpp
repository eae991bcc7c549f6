// The summary file: rows and their keys, reading back what many runs wrote
// (repeated headers, a torn last line), appending under a header check, and
// merging rows made elsewhere without doubling a run.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "shell/experiments/Merge.h"
#include "shell/experiments/SummaryRow.h"
#include "tests/TempFolder.h"

namespace {

ParameterId Ref(const char* name) {
    ParameterId id = ParameterId::Count;
    EXPECT_TRUE(FindParameter(name, id)) << name;
    return id;
}

ParameterValue Number(double value) {
    ParameterValue v;
    v.number = value;
    return v;
}

RunKey Key(double foodPerAnt, uint32_t seed) {
    RunKey key;
    key.parameters = {Ref("foodPerAnt"), Ref("generatorType")};
    key.values = {Number(static_cast<float>(foodPerAnt)), Number(2)};
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
              "foodPerAnt,generatorType,seed,steps,status,failed_passes,expert_off_step,"
              "final_population,mean_population,"
              "colony_deaths,final_food_reserves,mean_food_reserves,final_food_supply,"
              "mean_food_supply,mean_meandering_share,mean_wandering_share,mean_gathering_share,"
              "mean_reproducing_share,cut_off_passes,seconds");
    const std::string ok = SummaryLine(Key(0.002, 4), Summary(333));
    EXPECT_EQ(ok.rfind("0.002,2,4,500,ok,0,,333,401.250,1,12.500,", 0), 0u) << ok;
    const std::string failed = FailedLine(Key(0.002, 5), "signal 9");
    EXPECT_EQ(failed, "0.002,2,5,500,signal 9,,,,,,,,,,,,,,,\n");
    // An expert system that failing passes switched off: its measures, and
    // a status that says the run is not what was asked for.
    RunSummary off = Summary(200);
    off.status = kStatusExpertOff;
    off.failedPasses = 3;
    off.expertOffStep = 364;
    const std::string offLine = SummaryLine(Key(0.002, 6), off);
    EXPECT_EQ(offLine.rfind("0.002,2,6,500,expert-off,3,364,200,", 0), 0u) << offLine;

    // Collected from many runs' standard output: headers repeat, a run that
    // was cut off mid-line leaves a torn line, blank lines creep in.
    const std::string text = kHeader + "\n" + ok + "\n" + kHeader + "\r\n" + failed + offLine +
                             "0.003,2,6,500,ok,12\n";
    SummaryTable table;
    std::string error;
    ASSERT_TRUE(ParseSummaryText(text, table, error)) << error;
    EXPECT_EQ(table.parameterCount, 2);
    EXPECT_EQ(table.ParameterNames(), (std::vector<std::string>{"foodPerAnt", "generatorType"}));
    ASSERT_EQ(table.rows.size(), 3u);
    EXPECT_EQ(table.malformed, 1);
    EXPECT_EQ(table.KeyOf(table.rows[0]), Key(0.002, 4).Text());
    EXPECT_EQ(table.StatusOf(table.rows[0]), "ok");
    EXPECT_EQ(table.StatusOf(table.rows[1]), "signal 9");
    EXPECT_EQ(table.StatusOf(table.rows[2]), "expert-off");

    EXPECT_FALSE(ParseSummaryText("step,population\n1,2\n", table, error));
    EXPECT_FALSE(ParseSummaryText("a,seed,steps,status\n", table, error));
}

TEST(SummaryFile, AppendingWritesTheHeaderOnceAndRefusesAnotherSweepsFile) {
    TempFolder folder;
    const std::string path = folder.File("r.csv");
    std::string error;
    int fd = OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Shared, error);
    ASSERT_GE(fd, 0) << error;
    ASSERT_TRUE(AppendWhole(fd, SummaryLine(Key(0.001, 1), Summary(1))));
    close(fd);
    fd = OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Shared, error);
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
    EXPECT_LT(OpenSummaryForAppend(path.c_str(), SummaryHeader({Ref("dieRatio")}), SummaryAccess::Exclusive, error), 0);
    EXPECT_NE(error.find("holds rows of other columns"), std::string::npos) << error;
    EXPECT_EQ(Read(path), before);
    // Not a file at all: nothing to read back, so no sweep could go on.
    EXPECT_LT(OpenSummaryForAppend("/dev/null", kHeader, SummaryAccess::Exclusive, error), 0);
    EXPECT_NE(error.find("'/dev/null' is no regular file"), std::string::npos) << error;
    EXPECT_LT(OpenSummaryForAppend(folder.path.c_str(), kHeader, SummaryAccess::Shared, error), 0);
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
}

TEST(SummaryFile, ATornLastLineIsDroppedByASweepAndClosedByARun) {
    // A disk that filled up mid-row leaves a line cut short. A sweep (or a
    // merge), which alone writes the file, drops it: its run has no row and
    // runs again, and no reader finds a half row. Runs appending side by side
    // cannot take a line back from under the others: theirs starts anew.
    TempFolder folder;
    const std::string path = folder.File("r.csv");
    const std::string whole = kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1));
    const std::string next = SummaryLine(Key(0.001, 3), Summary(3));
    struct Case {
        SummaryAccess access;
        std::string expected;
    };
    const Case cases[] = {
        {SummaryAccess::Exclusive, whole + next},
        {SummaryAccess::Shared, whole + "0.001,2,2,500,o\n" + next},
    };
    for (const Case& c : cases) {
        Write(path, whole + "0.001,2,2,500,o");
        std::string error;
        const int fd = OpenSummaryForAppend(path.c_str(), kHeader, c.access, error);
        ASSERT_GE(fd, 0) << error;
        ASSERT_TRUE(AppendWhole(fd, next));
        close(fd);
        EXPECT_EQ(Read(path), c.expected);
    }
    // A file of nothing but a cut header is no summary of ours: untouched.
    Write(path, "foodPerAnt,gener");
    std::string error;
    EXPECT_LT(OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Exclusive, error), 0);
    EXPECT_EQ(Read(path), "foodPerAnt,gener");
}

TEST(SummaryFile, ASecondSweepOnTheSameFileIsRefusedWhileTheFirstHoldsIt) {
    TempFolder folder;
    const std::string path = folder.File("r.csv");
    std::string error;
    const int first = OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Exclusive, error);
    ASSERT_GE(first, 0) << error;
    EXPECT_LT(OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Exclusive, error), 0);
    EXPECT_EQ(error, "'" + path +
                         "' is being written by another sweep or merge; wait for it to end or "
                         "choose another file");
    // Its runs append all the same, and the lock outlives their descriptors.
    const int run = OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Shared, error);
    ASSERT_GE(run, 0) << error;
    ASSERT_TRUE(AppendWhole(run, SummaryLine(Key(0.001, 1), Summary(1))));
    close(run);
    SummaryTable table;
    ASSERT_TRUE(ReadSummaryFile(path.c_str(), false, table, error)) << error;
    EXPECT_LT(OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Exclusive, error), 0);
    // Once the first has finished, the file is free.
    close(first);
    const int again = OpenSummaryForAppend(path.c_str(), kHeader, SummaryAccess::Exclusive, error);
    EXPECT_GE(again, 0) << error;
    ASSERT_TRUE(ReadSummaryDescriptor(again, path.c_str(), table, error)) << error;
    EXPECT_EQ(table.rows.size(), 1u);
    close(again);
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

namespace {

// Standard output into a file for the life of the object.
class CapturedOutput {
public:
    explicit CapturedOutput(const std::string& path) {
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, STDOUT_FILENO);
        close(fd);
    }
    ~CapturedOutput() {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    CapturedOutput(const CapturedOutput&) = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

private:
    int saved;
};

}  // namespace

TEST(SummaryMerge, WithoutAFileTheSummaryGoesToStandardOutputEachRunOnce) {
    TempFolder folder;
    const std::string a = folder.File("a.csv");
    const std::string b = folder.File("b.csv");
    Write(a, kHeader + "\n" + FailedLine(Key(0.001, 2), "exit 1") +
                 SummaryLine(Key(0.001, 1), Summary(1)));
    Write(b, kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1)) +
                 SummaryLine(Key(0.001, 2), Summary(2)));
    for (const char* out : {"", "-"}) {
        const std::string printed = folder.File("printed.csv");
        MergeCounts counts;
        std::string error;
        {
            CapturedOutput capture(printed);
            ASSERT_TRUE(MergeSummaries({a, b}, out, counts, error)) << error;
        }
        EXPECT_EQ(Read(printed), kHeader + "\n" + FailedLine(Key(0.001, 2), "exit 1") +
                                     SummaryLine(Key(0.001, 1), Summary(1)) +
                                     SummaryLine(Key(0.001, 2), Summary(2)));
        EXPECT_EQ(access(folder.File("-").c_str(), F_OK), -1) << "a file named '-'";
    }
}

TEST(SummaryMerge, AFolderGivesItsCsvFilesAndAListGivesMoreInputs) {
    TempFolder folder;
    const std::string rows = folder.File("rows");
    ASSERT_EQ(mkdir(rows.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((rows + "/older.csv").c_str(), 0755), 0);  // a folder: not an input
    Write(rows + "/task-2.csv", kHeader + "\n" + SummaryLine(Key(0.001, 2), Summary(2)));
    Write(rows + "/task-1.csv", kHeader + "\n" + SummaryLine(Key(0.001, 1), Summary(1)));
    Write(rows + "/task-1.log", "slurmstepd: task log\n");
    Write(rows + "/.hidden.csv", "not ours\n");
    const std::string extra = folder.File("extra.csv");
    Write(extra, kHeader + "\n" + SummaryLine(Key(0.001, 3), Summary(3)));
    const std::string list = folder.File("list.txt");
    Write(list, extra + "\n\n" + rows + "/\n");

    std::vector<std::string> inputs;
    std::string error;
    ASSERT_TRUE(ExpandMergeInputs({rows}, nullptr, inputs, error)) << error;
    EXPECT_EQ(inputs, (std::vector<std::string>{rows + "/task-1.csv", rows + "/task-2.csv"}));
    ASSERT_TRUE(ExpandMergeInputs({}, list.c_str(), inputs, error)) << error;
    EXPECT_EQ(inputs, (std::vector<std::string>{extra, rows + "/task-1.csv", rows + "/task-2.csv"}));
    const std::string out = folder.File("out.csv");
    MergeCounts counts;
    ASSERT_TRUE(MergeSummaries(inputs, out, counts, error)) << error;
    EXPECT_EQ(counts.added, 3u);

    // What cannot be an input is said before anything is merged.
    const std::string empty = folder.File("empty");
    ASSERT_EQ(mkdir(empty.c_str(), 0755), 0);
    EXPECT_FALSE(ExpandMergeInputs({empty}, nullptr, inputs, error));
    EXPECT_EQ(error, "the folder '" + empty + "' holds no .csv files");
    EXPECT_FALSE(ExpandMergeInputs({"-"}, "-", inputs, error));
    EXPECT_EQ(error, "standard input cannot hold both the list of files and rows");
    EXPECT_FALSE(ExpandMergeInputs({}, folder.File("no-list").c_str(), inputs, error));
    EXPECT_NE(error.find("cannot read '"), std::string::npos) << error;
}
