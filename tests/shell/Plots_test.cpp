// The plots' parts: the history that keeps a run of any length in a fixed
// number of samples, nice axis scales and tick labels, and plot files that
// are written whole or not at all. (The pictures themselves are rendered by
// the end-to-end test tests/e2e/experiment_plots.sh.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>

#include "shell/experiments/HistoryRecorder.h"
#include "shell/experiments/Plots.h"
#include "shell/experiments/Svg.h"
#include "tests/TempFolder.h"

namespace {

std::unique_ptr<HistoryRecorder> Recorded(int32_t steps) {
    auto history = std::make_unique<HistoryRecorder>();
    for (int32_t step = 1; step <= steps; ++step) {
        HistorySample sample;
        sample.step = step;
        sample.population = static_cast<float>(step % 500);
        sample.colonyDeaths = step / 3000;
        history->Add(sample);
    }
    return history;
}

std::string Read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(HistoryRecorder, KeepsAnEvenSpreadOfAtMostItsCapacityAndTheLastStep) {
    const int32_t cap = HistoryRecorder::kCapacity;
    struct Case {
        int32_t steps;
        int64_t stride;
    };
    // The stride is the smallest power of two that fits the steps in.
    const Case cases[] = {{1, 1},          {cap, 1},          {cap + 1, 2}, {2 * cap, 2},
                          {2 * cap + 1, 2}, {2 * cap + 2, 4}, {100000, 64}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.steps);
        const auto history = Recorded(c.steps);
        EXPECT_EQ(history->Stride(), c.stride);
        ASSERT_LE(history->Count(), cap + 1);
        ASSERT_GT(history->Count(), 0);
        EXPECT_EQ(history->At(history->Count() - 1).step, c.steps);
        EXPECT_EQ(history->At(0).step, c.stride);
        // Every kept step but the last is a multiple of the stride, a stride apart.
        for (int32_t i = 1; i + 1 < history->Count(); ++i) {
            ASSERT_EQ(history->At(i).step - history->At(i - 1).step, c.stride) << i;
        }
    }
}

TEST(PlotScales, NiceStepsCoverTheData) {
    struct Case {
        double min, max;
        double low, high, step;
    };
    const Case cases[] = {
        {0, 20000, 0, 20000, 5000},
        {0, 437, 0, 500, 100},
        {0.001, 0.003, 0.001, 0.003, 0.0005},
        {-3, 7, -4, 8, 2},
        {5, 5, 4.4, 5.6, 0.2},  // one value: a range around it
        {0, 0, -1, 1, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.min) + " .. " + std::to_string(c.max));
        const AxisScale scale = NiceScale(c.min, c.max, 6);
        EXPECT_NEAR(scale.low, c.low, 1e-12);
        EXPECT_NEAR(scale.high, c.high, 1e-12);
        EXPECT_NEAR(scale.step, c.step, 1e-12);
        EXPECT_LE(scale.low, c.min);
        EXPECT_GE(scale.high, c.max);
    }
    // Axes that count (steps, ants) never get ticks between whole numbers.
    const Case whole[] = {
        {0, 1, 0, 1, 1},     // a run of one step
        {1, 1, 0, 2, 1},     // one value
        {0, 3, 0, 3, 1},
        {0, 20000, 0, 20000, 5000},
    };
    for (const Case& c : whole) {
        SCOPED_TRACE("whole " + std::to_string(c.min) + " .. " + std::to_string(c.max));
        const AxisScale scale = NiceScale(c.min, c.max, 6, true);
        EXPECT_EQ(scale.low, c.low);
        EXPECT_EQ(scale.high, c.high);
        EXPECT_EQ(scale.step, c.step);
    }
    EXPECT_EQ(TickLabel(5000, 5000), "5000");
    EXPECT_EQ(TickLabel(0.0015, 0.0005), "0.0015");
    EXPECT_EQ(TickLabel(2.5, 0.5), "2.5");
    EXPECT_EQ(TickLabel(-1e-17, 0.5), "0.0");
}

TEST(PlotFiles, TheHistoryPlotHasThreePanelsAndItsRestarts) {
    TempFolder folder;
    const std::string path = folder.File("h.svg");
    std::string error;
    ASSERT_TRUE(WriteHistoryPlot(path.c_str(), *Recorded(10000), error)) << error;
    const std::string svg = Read(path);
    for (const char* text : {"Time VS Population", "Time VS Food Reserves", "Time VS Food Supply",
                             "Time (steps)", ">Population<", ">Food<",
                             "dashed: colony restarts (3)", "</svg>"}) {
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    }
}

TEST(PlotFiles, APlotThatCannotBeWrittenLeavesNothingBehind) {
    TempFolder folder;
    const std::string dir = folder.File("sub");
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    std::string error;
    // A directory where the file should go: the rename fails.
    EXPECT_FALSE(WriteHistoryPlot(dir.c_str(), *Recorded(10), error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    EXPECT_FALSE(WriteHistoryPlot(folder.File("missing/h.svg").c_str(), *Recorded(10), error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    // No temporary file is left behind.
    int32_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path)) {
        EXPECT_EQ(entry.path().filename(), "sub");
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(PlotFiles, TheSweepPlotDrawsFinishedRunsOfItsGridOnly) {
    TempFolder folder;
    SummaryTable table;
    std::string error;
    ParameterId food = ParameterId::Count;
    ParameterId distance = ParameterId::Count;
    ASSERT_TRUE(FindParameter("foodPerAnt", food));
    ASSERT_TRUE(FindParameter("maxWanderDistance", distance));
    const std::string header = SummaryHeader({food, distance});
    std::string text = header + "\n";
    const char* rows[] = {"0.001,10,1,500,ok,0,,100,1,0,1,1,1,1,1,1,1,1,0,0.1",
                          "0.001,10,2,500,ok,0,,300,1,0,1,1,1,1,1,1,1,1,0,0.1",
                          "0.002,10,1,500,ok,0,,200,1,0,1,1,1,1,1,1,1,1,0,0.1",
                          "0.002,20,1,500,ok,0,,250,1,0,1,1,1,1,1,1,1,1,0,0.1",
                          "0.002,20,2,500,exit 1,,,,,,,,,,,,,,,",
                          "0.002,20,3,500,expert-off,3,364,1,1,0,1,1,1,1,1,1,1,1,0,0.1",
                          "0.009,20,1,500,ok,0,,999,1,0,1,1,1,1,1,1,1,1,0,0.1"};
    for (const char* row : rows) text += std::string(row) + "\n";
    ASSERT_TRUE(ParseSummaryText(text, table, error)) << error;
    std::unordered_set<std::string> keys;
    for (const auto& row : table.rows) {
        if (row[0] != "0.009") keys.insert(table.KeyOf(row));
    }
    const std::string path = folder.File("s.svg");
    ASSERT_TRUE(WriteSweepPlot(path.c_str(), table, &keys, "foodPerAnt", {"maxWanderDistance"},
                               error))
        << error;
    const std::string svg = Read(path);
    EXPECT_NE(svg.find("maxWanderDistance=10"), std::string::npos);
    EXPECT_NE(svg.find("maxWanderDistance=20"), std::string::npos);
    EXPECT_NE(svg.find("Final population"), std::string::npos);
    EXPECT_EQ(svg.find("Seconds"), std::string::npos);  // the machine's speed is no measure
    // The run outside the grid would have stretched the x axis to 0.009.
    EXPECT_EQ(svg.find(">0.009<"), std::string::npos);
    // Rows in another order (runs finish in any order) draw the same file.
    SummaryTable reversed = table;
    std::reverse(reversed.rows.begin(), reversed.rows.end());
    const std::string again = folder.File("again.svg");
    ASSERT_TRUE(WriteSweepPlot(again.c_str(), reversed, &keys, "foodPerAnt", {"maxWanderDistance"},
                               error))
        << error;
    EXPECT_EQ(Read(again), svg);
    EXPECT_FALSE(WriteSweepPlot(path.c_str(), table, &keys, "dieRatio", {}, error));
    EXPECT_NE(error.find("no column dieRatio"), std::string::npos);
    keys.clear();
    EXPECT_FALSE(WriteSweepPlot(path.c_str(), table, &keys, "foodPerAnt", {}, error));
    EXPECT_EQ(error, "no finished runs to plot");
}

namespace {

// The number after name=" in the first tag that has it.
double Attribute(const std::string& svg, const std::string& name, size_t from = 0) {
    const size_t at = svg.find(name + "=\"", from);
    return at == std::string::npos ? -1.0 : std::strtod(svg.c_str() + at + name.size() + 2, nullptr);
}

}  // namespace

TEST(PlotFiles, HistoryTicksAreWholeStepsAndTheLastOneFitsThePicture) {
    TempFolder folder;
    const std::string path = folder.File("h.svg");
    std::string error;
    struct Case {
        int32_t steps;
        const char* lastTick;
    };
    for (const Case& c : {Case{1, ">1<"}, Case{3, ">3<"}, Case{1000000, ">1000000<"},
                          Case{2147483, ">2500000<"}}) {
        SCOPED_TRACE(c.steps);
        ASSERT_TRUE(WriteHistoryPlot(path.c_str(), *Recorded(c.steps), error)) << error;
        const std::string svg = Read(path);
        // The x tick labels (the only small text centred on its point) are
        // whole numbers.
        const std::string tick = "font-size=\"11\" text-anchor=\"middle\">";
        int32_t ticks = 0;
        for (size_t at = svg.find(tick); at != std::string::npos; at = svg.find(tick, at + 1)) {
            const size_t start = at + tick.size();
            const std::string value = svg.substr(start, svg.find('<', start) - start);
            EXPECT_EQ(value.find_first_not_of("0123456789"), std::string::npos) << value;
            ++ticks;
        }
        EXPECT_GE(ticks, 3 * 2);
        // The last step's label, centred on the right edge of the plot, ends
        // inside the picture.
        const size_t label = svg.find(c.lastTick);
        ASSERT_NE(label, std::string::npos);
        const size_t tag = svg.rfind("<text", label);
        const double centre = Attribute(svg, "x", tag);
        const double width = Attribute(svg, "width");
        const std::string text = std::string(c.lastTick).substr(1, std::strlen(c.lastTick) - 2);
        EXPECT_LE(centre + TickLabelWidth(text) / 2, width);
    }
}

TEST(PlotFiles, TheSweepLegendFollowsTheValuesAndNoTwoSeriesShareAColour) {
    TempFolder folder;
    ParameterId food = ParameterId::Count;
    ParameterId distance = ParameterId::Count;
    ASSERT_TRUE(FindParameter("foodPerAnt", food));
    ASSERT_TRUE(FindParameter("initialAnts", distance));
    std::string text = SummaryHeader({food, distance}) + "\n";
    // 40 series, written in an order that sorts differently as text.
    for (int32_t ants : {30, 5, 100, 25, 26, 27, 28, 29, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40,
                         41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58,
                         59, 60, 61, 62}) {
        text += "0.001," + std::to_string(ants) + ",1,500,ok,0,,100,1,0,1,1,1,1,1,1,1,1,0,0.1\n";
    }
    SummaryTable table;
    std::string error;
    ASSERT_TRUE(ParseSummaryText(text, table, error)) << error;
    const std::string path = folder.File("s.svg");
    ASSERT_TRUE(WriteSweepPlot(path.c_str(), table, nullptr, "foodPerAnt", {"initialAnts"}, error))
        << error;
    const std::string svg = Read(path);
    const size_t five = svg.find(">initialAnts=5<");
    const size_t thirty = svg.find(">initialAnts=30<");
    const size_t hundred = svg.find(">initialAnts=100<");
    ASSERT_NE(five, std::string::npos);
    EXPECT_LT(five, thirty);
    EXPECT_LT(thirty, hundred);
    // The legend's markers: one circle per series, before the first panel.
    std::set<std::string> colours;
    for (size_t at = svg.find("<circle"); at < svg.find("Final population");
         at = svg.find("<circle", at + 1)) {
        const size_t fill = svg.find("fill=\"", at) + 6;
        colours.insert(svg.substr(fill, svg.find('"', fill) - fill));
    }
    EXPECT_EQ(colours.size(), 40u);
}
