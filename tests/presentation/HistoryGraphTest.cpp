// History graphs: layout, sampling with interpolation and the drawn geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "presentation/HistoryGraph.h"
#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"

namespace {

constexpr int32_t kScreenHeight = 480;

HistoryGraph PopulationGraph() {
    HistoryGraph g;
    g.SetLayout({5, kScreenHeight - 155, 155, kScreenHeight - 5}, "Time", "Population",
                "Time VS Population");
    return g;
}

const float kStep = 1000.0f / 130.0f;

}  // namespace

TEST(HistoryGraph, LayoutGivesColumnsPlotHeightAndLabelPositions) {
    HistoryGraph g = PopulationGraph();
    EXPECT_EQ(g.columns, 130);
    EXPECT_EQ(g.plotHeight, 130);
    EXPECT_EQ(g.rect.top, 325);
    EXPECT_EQ(g.rect.bottom, 475);
    EXPECT_EQ(g.PlotOrigin().x, 15);
    EXPECT_EQ(g.PlotOrigin().y, 335);
    EXPECT_STREQ(g.title, "Time VS Population");

    // "Population": 10 characters, 10 pixels each, centred in 150.
    EXPECT_EQ(g.YLabelStart().x, 5);
    EXPECT_EQ(g.YLabelStart().y, 325 + 25);
    EXPECT_EQ(g.XLabelPosition().x, 5 + 61);
    EXPECT_EQ(g.XLabelPosition().y, 475 - 8);
    EXPECT_EQ(g.TitlePosition().x, 5 + 12);
    EXPECT_EQ(g.TitlePosition().y, 325);

    struct Title {
        const char* text;
        int32_t offset;
    };
    for (const Title& t : {Title{"Time VS Food Reserves", 1}, Title{"Time VS Food Supply", 8}}) {
        HistoryGraph h;
        h.SetLayout({180, 0, 330, 150}, "Time", "Food", t.text);
        EXPECT_EQ(h.TitlePosition().x, 180 + t.offset) << t.text;
        EXPECT_EQ(h.YLabelStart().y, 55);
    }

    // Labels are cut to 199 characters; plot widths stay within 1 .. 400.
    const std::string longText(300, 'x');
    HistoryGraph tiny;
    tiny.SetLayout({0, 0, 10, 10}, longText.c_str(), "", nullptr);
    EXPECT_EQ(std::strlen(tiny.xLabel), 199u);
    EXPECT_EQ(tiny.columns, 1);
    tiny.AddSample(5000.0f, 3.0f);
    EXPECT_EQ(tiny.samples[0], 3.0f);
    HistoryGraph wide;
    wide.SetLayout({0, 0, 2000, 100}, "", "", "");
    EXPECT_EQ(wide.columns, 400);
}

TEST(HistoryGraph, SamplesWaitForOneColumnOfTime) {
    HistoryGraph g = PopulationGraph();
    g.AddSample(7.0f, 400.0f);  // below 7.69 steps: ignored
    EXPECT_EQ(g.lastSampleTime, 0.0f);
    EXPECT_EQ(g.samples[129], 0.0f);

    g.AddSample(8.0f, 400.0f);  // k = 1
    EXPECT_EQ(g.lastSampleTime, 8.0f);
    EXPECT_EQ(g.samples[129], 400.0f);
    EXPECT_EQ(g.samples[128], 0.0f);

    g.AddSample(8.0f + kStep * 0.9f, 500.0f);  // not yet a column later
    EXPECT_EQ(g.samples[129], 400.0f);
    g.AddSample(3.0f, 500.0f);  // time going backwards
    EXPECT_EQ(g.samples[129], 400.0f);
    EXPECT_EQ(g.lastSampleTime, 8.0f);
}

TEST(HistoryGraph, GapsAreFilledWithARampAndOlderColumnsShiftLeft) {
    HistoryGraph g = PopulationGraph();
    g.AddSample(8.0f, 100.0f);
    g.AddSample(8.0f + kStep * 1.5f, 200.0f);  // k = 1, the half column is dropped
    EXPECT_EQ(g.samples[128], 100.0f);
    EXPECT_EQ(g.samples[129], 200.0f);
    const float t = 8.0f + kStep * 1.5f;

    g.AddSample(t + kStep * 20.2f, 400.0f);  // k = 20
    EXPECT_EQ(g.samples[108], 100.0f);
    EXPECT_EQ(g.samples[109], 200.0f);
    for (int j = 0; j < 20; ++j) {
        EXPECT_FLOAT_EQ(g.samples[110 + j], 200.0f + 200.0f * static_cast<float>(j + 1) / 20.0f)
            << j;
    }
    EXPECT_EQ(g.samples[129], 400.0f);
    EXPECT_FLOAT_EQ(g.lastSampleTime, t + kStep * 20.2f);
}

TEST(HistoryGraph, JumpsBeyondThePlotKeepTheLastPartOfTheRamp) {
    HistoryGraph g = PopulationGraph();
    g.AddSample(8.0f, 100.0f);
    g.AddSample(8.0f + kStep * 260.0f, 360.0f);  // k = 260 = 2n
    for (int i = 0; i < 130; ++i) {
        const float expected = 100.0f + 260.0f * static_cast<float>(130 + i + 1) / 260.0f;
        EXPECT_FLOAT_EQ(g.samples[i], expected) << i;
    }
    g.AddSample(1.0e12f, 7.0f);  // absurd gap: no overflow, curve ends at the value
    EXPECT_EQ(g.samples[129], 7.0f);
    for (int i = 130; i < HistoryGraph::kMaxColumns; ++i) EXPECT_EQ(g.samples[i], 0.0f);
}

TEST(HistoryGraph, CurvePointsScaleTo800AndStayInsideThePlot) {
    HistoryGraph g = PopulationGraph();
    const int32_t axis = g.PlotOrigin().y + 130;
    EXPECT_EQ(g.CurvePoint(0).y, axis);  // a new graph lies on the x axis
    g.samples[0] = 800.0f;
    g.samples[1] = 900.0f;   // above the top value: on the top edge, not over the title
    g.samples[2] = -80.0f;   // below zero: on the axis
    g.samples[3] = 400.0f;
    g.samples[4] = 1.0e30f;
    EXPECT_EQ(g.CurvePoint(0).y, g.PlotOrigin().y);
    EXPECT_EQ(g.CurvePoint(1).y, g.PlotOrigin().y);
    EXPECT_EQ(g.CurvePoint(2).y, axis);
    EXPECT_EQ(g.CurvePoint(3).y, g.PlotOrigin().y + 65);
    EXPECT_EQ(g.CurvePoint(3).x, g.PlotOrigin().x + 3);
    EXPECT_EQ(g.CurvePoint(4).y, g.PlotOrigin().y);
}

TEST(HistoryGraph, ScaledLayoutScalesMarginsAndLabelsAndKeepsTheCurve) {
    HistoryGraph g = PopulationGraph();
    for (int i = 0; i < 130; ++i) g.samples[i] = static_cast<float>(i);
    g.lastSampleTime = 500.0f;
    // A 4K view: everything twice the size, the curve stretched over 260 columns.
    g.SetLayout({10, 2160 - 310, 310, 2160 - 10}, "Time", "Population", "Time VS Population", 2.0f);
    EXPECT_EQ(g.columns, 260);
    EXPECT_EQ(g.plotHeight, 260);
    EXPECT_EQ(g.PlotOrigin().x, 30);
    EXPECT_EQ(g.PlotOrigin().y, 1850 + 20);
    EXPECT_EQ(g.YLabelStart().y, 1850 + (300 - 20 * 10) / 2);
    EXPECT_EQ(g.XLabelPosition().x, 10 + (300 - 14 * 4) / 2);
    EXPECT_EQ(g.XLabelPosition().y, 2150 - 16);
    EXPECT_EQ(g.samples[0], 0.0f);
    EXPECT_EQ(g.samples[259], 129.0f);
    EXPECT_EQ(g.samples[130], 65.0f);  // 130 * 129 / 259 = 64.7: column 65
    for (int i = 1; i < 260; ++i) EXPECT_GE(g.samples[i], g.samples[i - 1]) << i;
    EXPECT_EQ(g.lastSampleTime, 500.0f);
    // And back: the same width again gives the same curve.
    g.SetLayout({5, 325, 155, 475}, "Time", "Population", "Time VS Population");
    EXPECT_EQ(g.columns, 130);
    for (int i = 0; i < 130; ++i) EXPECT_EQ(g.samples[i], static_cast<float>(i)) << i;
}

TEST(HistoryGraph, DrawsAxesLabelsAndCurveInOrder) {
    FontAtlas atlas;
    std::string error;
    const int32_t sizes[] = {kSmallFontPixels};
    ASSERT_TRUE(atlas.Build(kDefaultFontFile, sizes, 1, error)) << error;

    HistoryGraph g = PopulationGraph();
    g.samples[129] = 800.0f;
    auto batch = std::make_unique<OverlayBatch>();
    g.DrawGraph(*batch, atlas.Font(0));

    // Axes (lines), then the three labels (glyphs), then the curve (lines).
    ASSERT_EQ(batch->RunCount(), 3);
    const OverlayRun* runs = batch->Runs();
    EXPECT_EQ(runs[0].primitive, OverlayPrimitive::Lines);
    EXPECT_EQ(runs[0].count, 4);
    EXPECT_EQ(runs[1].primitive, OverlayPrimitive::Triangles);
    EXPECT_EQ(runs[2].primitive, OverlayPrimitive::Lines);
    EXPECT_EQ(runs[2].count, 2 * 129);

    const OverlayVertex* v = batch->Vertices();
    EXPECT_EQ(v[0].x, 15.0f);  // y axis
    EXPECT_EQ(v[0].y, 335.0f);
    EXPECT_EQ(v[1].y, 465.0f);
    EXPECT_EQ(v[3].x, 145.0f);  // x axis, n columns long
    EXPECT_EQ(v[0].colour, HistoryGraph::kAxisColour);
    const OverlayVertex* curve = v + runs[2].first;
    EXPECT_EQ(curve[0].colour, HistoryGraph::kCurveColour);
    // The last segment runs from column 129 (at the top) back to column 128.
    const OverlayVertex& end = curve[2 * 128];
    EXPECT_EQ(end.x, 144.0f);
    EXPECT_EQ(end.y, 335.0f);
    EXPECT_EQ(curve[2 * 128 + 1].y, 465.0f);
}
