// The report of a comparison of rule bases: the runs' series, the table with
// its means and spreads, the CSV, the verdict, and the plots (rendered by
// rsvg-convert, as a reader's viewer would).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "policy/PassJournal.h"
#include "shell/experiments/ComparisonPlots.h"
#include "shell/experiments/RuleComparison.h"
#include "shell/experiments/RunSeries.h"
#include "tests/TempFolder.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Adds a pass to the journal: its outcome and how many conclusions it drew.
void Pass(PassJournal& journal, PassOutcome outcome, int32_t conclusions) {
    PassRecord& record = journal.Next();
    record.outcome = outcome;
    record.conclusionCount = conclusions;
}

int32_t Measure(ComparisonMeasure m) { return static_cast<int32_t>(m); }

TEST(RunSeriesTest, WindowsAddUpToTheMeansOverEveryStepAndCountThePasses) {
    struct Case {
        int64_t steps;
        size_t samples;
        int64_t window;
    };
    for (const Case& c : {Case{1000, 200, 5}, Case{7, 7, 1}, Case{399, 200, 2},
                          Case{100000, 200, 500}, Case{2001, 182, 11}}) {
        SeriesRecorder recorder(c.steps);
        PassJournal journal;
        double population = 0.0;
        double reserves = 0.0;
        double perAnt = 0.0;
        int32_t silent = 0;
        int32_t failed = 0;
        for (int64_t step = 1; step <= c.steps; ++step) {
            const int32_t ants = 300 + static_cast<int32_t>(step % 97);
            const float store = static_cast<float>(step % 413) * 0.75f;
            if (step % 52 == 0) {
                // Every third pass silent, every fifth failed.
                const int64_t pass = step / 52;
                if (pass % 5 == 0) {
                    Pass(journal, pass % 2 == 0 ? PassOutcome::CutOff : PassOutcome::EngineFailed, 0);
                    ++failed;
                } else if (pass % 3 == 0) {
                    Pass(journal, PassOutcome::Listed, 0);
                    ++silent;
                } else {
                    Pass(journal, PassOutcome::Listed, 2);
                }
            }
            population += ants;
            reserves += store;
            perAnt += store / ants;
            recorder.Add(ants, store, static_cast<int32_t>(step / 1000), journal);
        }
        const std::vector<SeriesSample>& samples = recorder.Samples();
        ASSERT_EQ(samples.size(), c.samples) << c.steps;
        EXPECT_EQ(samples[0].step, c.window);
        EXPECT_EQ(samples.back().step, c.steps) << "the last step closes a window";
        EXPECT_EQ(samples.back().passes, static_cast<int32_t>(c.steps / 52));
        EXPECT_EQ(samples.back().silentPasses, silent);
        EXPECT_EQ(samples.back().failedPasses, failed);
        EXPECT_EQ(samples.back().colonyDeaths, static_cast<int32_t>(c.steps / 1000));

        double values[kComparisonMeasureCount];
        RunMeasureValues(samples, values);
        const double n = static_cast<double>(c.steps);
        EXPECT_NEAR(values[Measure(ComparisonMeasure::Population)], population / n, 1e-9);
        EXPECT_NEAR(values[Measure(ComparisonMeasure::FoodReserves)], reserves / n, 1e-9);
        EXPECT_NEAR(values[Measure(ComparisonMeasure::FoodPerAnt)], perAnt / n, 1e-9);
        EXPECT_DOUBLE_EQ(values[Measure(ComparisonMeasure::ColonyDeaths)],
                         (c.steps / 1000) * 100000.0 / n);
        if (c.steps >= 52) {
            EXPECT_DOUBLE_EQ(values[Measure(ComparisonMeasure::NoConclusion)],
                             100.0 * silent / static_cast<double>(c.steps / 52));
        } else {
            EXPECT_TRUE(std::isnan(values[Measure(ComparisonMeasure::NoConclusion)]))
                << "no passes: no share";
        }
        EXPECT_EQ(values[Measure(ComparisonMeasure::FailedPasses)], failed);

        // Saved and read back, the series gives the same measures.
        std::vector<SeriesSample> back;
        std::string error;
        ASSERT_TRUE(ParseSeriesText(SeriesText(samples), back, error)) << error;
        double again[kComparisonMeasureCount];
        RunMeasureValues(back, again);
        for (int32_t m = 0; m < kComparisonMeasureCount; ++m) {
            if (std::isnan(values[m])) continue;
            EXPECT_NEAR(again[m], values[m], 1e-6 * (1.0 + std::fabs(values[m])));
        }
    }
}

TEST(RunSeriesTest, ATextThatIsNoSeriesIsRefusedWithTheLine) {
    const std::string header =
        "step,population,food_reserves,food_per_ant,colony_deaths,passes,silent_passes,"
        "failed_passes\n";
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"", "empty"},
        {"step,population\n", "no series header"},
        {header + "10,1,2,3,0,1,0,0\n10,1,2,3,0,1,0,0\n", "line 3"},   // step not rising
        {header + "10,1,2,3,0,1,2,0\n", "line 2"},                     // more silent than passes
        {header + "10,1,2,nan,0,1,0,0\n", "line 2"},
        {header + "10,1,2,3,0,1,0\n", "line 2"},
        {header + "10,1,2,3,-1,1,0,0\n", "line 2"},
    };
    for (const Case& c : cases) {
        std::vector<SeriesSample> samples;
        std::string error;
        EXPECT_FALSE(ParseSeriesText(c.text, samples, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    TempFolder folder;
    std::vector<SeriesSample> samples;
    std::string error;
    EXPECT_FALSE(ReadSeriesFile(folder.File("missing.csv"), samples, error));
    EXPECT_NE(error.find("missing.csv"), std::string::npos);
    EXPECT_FALSE(ReadSeriesFile(folder.path, samples, error));
    EXPECT_NE(error.find("is a directory"), std::string::npos) << error;
}

// A series of two windows of 50 steps with these values.
std::vector<SeriesSample> Series(double population, double reserves, int32_t deaths,
                                 int32_t passes, int32_t silent, int32_t failed) {
    SeriesSample first;
    first.step = 50;
    first.population = population - 10.0;
    first.foodReserves = reserves;
    first.foodPerAnt = reserves / population;
    SeriesSample second = first;
    second.step = 100;
    second.population = population + 10.0;
    second.colonyDeaths = deaths;
    second.passes = passes;
    second.silentPasses = silent;
    second.failedPasses = failed;
    return {first, second};
}

Comparison Example() {
    std::vector<ComparedRun> runs;
    // steady: population 300, 310, 320; nothing silent.
    for (int32_t seed = 1; seed <= 3; ++seed) {
        runs.push_back({"steady", static_cast<uint32_t>(seed), true,
                        Series(290.0 + 10.0 * seed, 200.0, 0, 4, 0, 0)});
    }
    // bold: larger colony, fewer reserves, one death per run, one silent pass.
    for (int32_t seed = 1; seed <= 3; ++seed) {
        runs.push_back({"bold", static_cast<uint32_t>(seed), true,
                        Series(400.0 + seed, 197.0 + seed, 1, 4, 1, 0)});
    }
    runs.push_back({"bold", 4, false, {}});      // a run that failed
    runs.push_back({"stranger", 1, true, Series(1, 1, 0, 1, 0, 0)});  // not compared
    return CompareRuns({"steady", "bold", "broken"}, runs,
                       {{"broken", "broken.clp:3: error: [PRNTUTIL2] Syntax Error"}}, 100, 3);
}

TEST(RuleComparisonTest, TheTableHoldsTheMeanAndSpreadOverSeedsOfEveryMeasure) {
    const Comparison comparison = Example();
    ASSERT_EQ(comparison.results.size(), 3u);
    const RuleBaseResult& steady = comparison.results[0];
    const RuleBaseResult& bold = comparison.results[1];
    const RuleBaseResult& broken = comparison.results[2];
    EXPECT_EQ(steady.runs, 3);
    EXPECT_EQ(bold.runs, 3);
    EXPECT_EQ(bold.failedRuns, 1);
    EXPECT_EQ(broken.runs, 0);
    EXPECT_FALSE(broken.broken.empty());

    const int32_t pop = Measure(ComparisonMeasure::Population);
    EXPECT_DOUBLE_EQ(steady.mean[pop], 310.0);
    EXPECT_DOUBLE_EQ(steady.spread[pop], 10.0);  // 300, 310, 320
    EXPECT_DOUBLE_EQ(bold.mean[pop], 402.0);
    EXPECT_DOUBLE_EQ(bold.spread[pop], 1.0);
    const int32_t deaths = Measure(ComparisonMeasure::ColonyDeaths);
    EXPECT_DOUBLE_EQ(bold.mean[deaths], 1000.0);  // one in 100 steps
    EXPECT_DOUBLE_EQ(bold.spread[deaths], 0.0);
    EXPECT_DOUBLE_EQ(bold.mean[Measure(ComparisonMeasure::NoConclusion)], 25.0);
    EXPECT_EQ(broken.counted[pop], 0);

    // The curves: one point per sample step, the mean and spread over seeds.
    ASSERT_EQ(steady.curves[pop].size(), 2u);
    EXPECT_EQ(steady.curves[pop][0].step, 50);
    EXPECT_DOUBLE_EQ(steady.curves[pop][0].mean, 300.0);
    EXPECT_DOUBLE_EQ(steady.curves[pop][1].mean, 320.0);
    EXPECT_DOUBLE_EQ(steady.curves[pop][1].spread, 10.0);
    // The share of passes without a conclusion is of the passes so far: none
    // had run by the first sample.
    ASSERT_EQ(bold.curves[Measure(ComparisonMeasure::NoConclusion)].size(), 1u);
    EXPECT_DOUBLE_EQ(bold.curves[Measure(ComparisonMeasure::NoConclusion)][0].mean, 25.0);
    EXPECT_EQ(bold.curves[deaths].back().mean, 1.0) << "deaths so far";

    const std::string table = FormatComparisonTable(comparison);
    for (const char* expected : {"310.0 \u00b1 10.0", "402.0 \u00b1 1.0", "3 (1 failed)",
                                 "25.0 \u00b1 0.0", "broken: broken.clp:3: error"}) {
        EXPECT_NE(table.find(expected), std::string::npos) << expected << "\n" << table;
    }

    const std::string csv = ComparisonCsv(comparison);
    std::istringstream lines(csv);
    std::string header;
    std::string line;
    std::getline(lines, header);
    EXPECT_EQ(header.rfind("rules,runs,failed_runs,status,population_mean,population_sd,", 0), 0u);
    EXPECT_NE(header.find("failed_passes_sd"), std::string::npos);
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("steady,3,0,ok,310.000000,10.000000,200.000000,0.000000,", 0), 0u) << line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("bold,3,1,ok,402.000000,1.000000,", 0), 0u) << line;
    std::getline(lines, line);
    EXPECT_EQ(line, "broken,0,0,broken: broken.clp:3: error: [PRNTUTIL2] Syntax Error,,,,,,,,,,,,");
}

TEST(RuleComparisonTest, TheVerdictNamesTheBestOnEachMeasureAndWhatIsWithinTheSpread) {
    const std::string verdict = ComparisonVerdict(Example());
    for (const char* expected : {
             "Over 3 seeds of 100 steps:",
             "bold has the largest colony (402.0 \u00b1 1.0 ants; steady 310.0 \u00b1 10.0).",
             // 200 against 200 +- 1: within the spread.
             "steady has the most food in store (200.0 \u00b1 0.0 units; bold 199.0 \u00b1 1.0), but "
             "the difference to bold is within the spread over seeds.",
             "steady has the fewest colony deaths",
             "Both tie on failed passes (0.0 per run).",
             "broken did not load (broken.clp:3: error: [PRNTUTIL2] Syntax Error) and has no results.",
             "1 run of bold failed and is left out."}) {
        EXPECT_NE(verdict.find(expected), std::string::npos) << expected << "\n" << verdict;
    }
    EXPECT_EQ(verdict.find('\n'), verdict.size() - 1) << "one paragraph";

    // Several tied at the top are named together, ahead of the next.
    std::vector<ComparedRun> runs;
    for (const char* name : {"a", "b", "c"}) {
        runs.push_back({name, 1, true, Series(300, 100, 0, 4, name[0] == 'c' ? 2 : 0, 0)});
    }
    const std::string tied = ComparisonVerdict(CompareRuns({"a", "b", "c"}, runs, {}, 100, 1));
    EXPECT_NE(tied.find("a and b have the fewest passes without a conclusion (0.0 \u00b1 0.0 % of "
                        "passes; c 50.0 \u00b1 0.0)."),
              std::string::npos)
        << tied;
    EXPECT_NE(ComparisonVerdict(CompareRuns({"a"}, runs, {}, 100, 1)).find("Too few"),
              std::string::npos);
}

TEST(RuleComparisonTest, EveryMeasureIsPlottedAsAnSvgThatRsvgConvertRenders) {
    const Comparison comparison = Example();
    TempFolder folder;
    std::vector<std::string> written;
    std::string error;
    ASSERT_TRUE(WriteComparisonPlots(comparison, folder.path, written, error)) << error;
    ASSERT_EQ(written.size(), static_cast<size_t>(kComparisonMeasureCount));
    for (const std::string& path : written) {
        const std::string svg = ReadText(path);
        // A band and a curve for each rule base with runs, and every name.
        size_t polygons = 0;
        for (size_t at = svg.find("<polygon"); at != std::string::npos; at = svg.find("<polygon", at + 1)) {
            ++polygons;
        }
        EXPECT_EQ(polygons, path.find("no_conclusion") != std::string::npos ? 0u : 2u) << path;
        for (const char* name : {">steady<", ">bold<", ">broken (did not load)<"}) {
            EXPECT_NE(svg.find(name), std::string::npos) << name << " in " << path;
        }
        const std::string png = path + ".png";
        const std::string command =
            "rsvg-convert -o '" + png + "' '" + path + "' 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_GT(ReadText(png).size(), 1000u) << png;
    }
    // A folder that cannot be written is named.
    written.clear();
    EXPECT_FALSE(WriteComparisonPlots(comparison, folder.File("no-such-folder"), written, error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
    EXPECT_TRUE(written.empty());
}

}  // namespace
