// The overlay's layout at every size: the described positions at 1920 x 1080,
// the same picture scaled at 4K, readable text everywhere, only what fits in
// a preview, and nothing overlapping or outside the view.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "presentation/FrameOverlay.h"
#include "presentation/OverlayLayout.h"
#include "presentation/TextFont.h"

namespace {

class OverlayLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        const int32_t sizes[] = {kSmallFontPixels, kLargeFontPixels};
        ASSERT_TRUE(atlas.Build(kDefaultFontFile, sizes, 2, error)) << error;
    }
    OverlayLayout At(int32_t width, int32_t height) const {
        return LayOutOverlay(width, height, AtlasMeasure(atlas));
    }
    FontAtlas atlas;
};

// The rectangles the layout fills: the text block, the caption's panel and
// each graph's panel.
std::vector<PixelRect> Areas(const OverlayLayout& l) {
    std::vector<PixelRect> areas;
    if (l.showHeadline || l.lineCount > 0) {
        areas.push_back({l.textLeft, l.textTop, l.textRight, l.textBottom});
    }
    if (l.showCaption) areas.push_back(l.captionPanel);
    if (l.showGraphs) {
        for (const GraphRect& g : l.graphRects) {
            const int32_t pad = l.panelPadding;
            areas.push_back({g.left - pad, g.top - pad, g.right + pad, g.bottom + pad});
        }
    }
    return areas;
}

TEST_F(OverlayLayoutTest, At1920x1080EverythingStandsWhereItAlwaysStood) {
    const OverlayLayout l = At(1920, 1080);
    EXPECT_FALSE(l.compact);
    EXPECT_FLOAT_EQ(l.scale, 1.0f);
    EXPECT_EQ(l.smallPixels, 11);
    EXPECT_EQ(l.captionPixels, 32);
    EXPECT_TRUE(l.showHeadline);
    EXPECT_EQ(l.headlineX, 0);
    EXPECT_EQ(l.headlineY, 0);
    ASSERT_EQ(l.lineCount, 15);
    for (int32_t i = 0; i < 15; ++i) {
        EXPECT_EQ(l.lineIndex[i], i);
        EXPECT_EQ(l.lineY[i], 10 + 15 * i);
    }
    EXPECT_EQ(l.lineX, 0);
    EXPECT_EQ(l.captionX, 300);
    EXPECT_EQ(l.captionY, 0);
    ASSERT_TRUE(l.showGraphs);
    const GraphRect expected[3] = {
        {5, 925, 155, 1075}, {180, 925, 330, 1075}, {360, 925, 510, 1075}};
    for (int32_t g = 0; g < 3; ++g) {
        EXPECT_EQ(l.graphRects[g].left, expected[g].left) << g;
        EXPECT_EQ(l.graphRects[g].top, expected[g].top) << g;
        EXPECT_EQ(l.graphRects[g].right, expected[g].right) << g;
        EXPECT_EQ(l.graphRects[g].bottom, expected[g].bottom) << g;
    }
    // The graphs laid out from it are the described ones: 130 columns.
    FrameGraphs graphs;
    graphs.Layout(l);
    EXPECT_EQ(graphs.population.columns, 130);
    EXPECT_EQ(graphs.supply.XLabelPosition().x, 360 + 61);
}

TEST_F(OverlayLayoutTest, FourKIsTheSamePictureTwiceAsLarge) {
    const OverlayLayout l = At(3840, 2160);
    EXPECT_FALSE(l.compact);
    EXPECT_FLOAT_EQ(l.scale, 2.0f);
    EXPECT_EQ(l.smallPixels, 22);
    EXPECT_EQ(l.captionPixels, 64);
    EXPECT_EQ(l.captionX, 600);
    ASSERT_EQ(l.lineCount, 15);
    EXPECT_EQ(l.lineY[0], 20);
    EXPECT_EQ(l.lineY[14], 440);
    // The line step is about 1.4 % of the height, as at 1080 lines.
    EXPECT_NEAR((l.lineY[14] - l.lineY[0]) / 14.0 / 2160.0, 15.0 / 1080.0, 1e-4);
    EXPECT_EQ(l.graphRects[2].left, 720);
    EXPECT_EQ(l.graphRects[2].bottom, 2150);
    EXPECT_EQ(l.graphRects[2].right - l.graphRects[2].left, 300);
    FrameGraphs graphs;
    graphs.Layout(l);
    EXPECT_EQ(graphs.population.columns, 260);
    EXPECT_EQ(graphs.population.charHeight, 20);
}

TEST_F(OverlayLayoutTest, PreviewsShowTheCaptionAndWhatFitsOfTheMostTellingLines) {
    struct Case {
        int32_t width, height;
        int32_t minLines, maxLines;
    };
    for (const Case c : {Case{184, 134, 1, 1}, Case{320, 240, 2, 4}, Case{384, 216, 1, 3}}) {
        const OverlayLayout l = At(c.width, c.height);
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_TRUE(l.compact);
        EXPECT_FALSE(l.showGraphs);
        EXPECT_FALSE(l.showHeadline);
        EXPECT_TRUE(l.showCaption);
        EXPECT_GE(l.lineCount, c.minLines);
        EXPECT_LE(l.lineCount, c.maxLines);
        EXPECT_EQ(l.lineIndex[0], 8);  // "Total Ants": the population first
        EXPECT_EQ(l.smallPixels, OverlayLayout::kMinSmallPixels);
        EXPECT_GE(l.captionPixels, OverlayLayout::kMinSmallPixels);
        // Text takes at most about a third of the height: the colony shows.
        const int32_t text = (l.textBottom - l.textTop) + l.captionPanel.Height();
        EXPECT_LE(text, c.height * 0.36) << text;
        // Lines one below the other, a whole text height apart.
        for (int32_t i = 1; i < l.lineCount; ++i) {
            EXPECT_GE(l.lineY[i] - l.lineY[i - 1], l.smallPixels + 1);
        }
        // The caption fits across.
        EXPECT_LE(AtlasMeasure(atlas).Width(kCaption, l.captionPixels),
                  c.width - 2 * OverlayLayout::kCompactMargin);
    }
}

TEST_F(OverlayLayoutTest, NothingOverlapsOrLeavesTheViewAtAnySize) {
    const int32_t sizes[][2] = {{1920, 1080}, {3840, 2160}, {2560, 1440}, {1024, 768}, {768, 1024},
                                {800, 579},   {640, 480},   {480, 640},   {320, 240},  {184, 134},
                                {1366, 768},  {1920, 300},  {300, 1920},  {100, 60},   {7680, 4320},
                                {5000, 900},  {60, 2000}};
    for (const auto& size : sizes) {
        const int32_t w = size[0];
        const int32_t h = size[1];
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const OverlayLayout l = At(w, h);
        EXPECT_GE(l.smallPixels, OverlayLayout::kMinSmallPixels);
        const std::vector<PixelRect> areas = Areas(l);
        for (size_t i = 0; i < areas.size(); ++i) {
            const PixelRect& a = areas[i];
            EXPECT_GE(a.left, 0);
            EXPECT_GE(a.top, 0);
            EXPECT_LE(a.right, w);
            EXPECT_LE(a.bottom, h);
            for (size_t j = i + 1; j < areas.size(); ++j) {
                EXPECT_FALSE(a.Overlaps(areas[j])) << i << " and " << j;
            }
        }
        // Every line inside the text block, the caption inside its panel.
        for (int32_t i = 0; i < l.lineCount; ++i) {
            EXPECT_GE(l.lineY[i], l.textTop);
            EXPECT_LE(l.lineY[i] + l.smallPixels, l.textBottom);
        }
        if (l.showCaption) {
            EXPECT_GE(l.captionX, l.captionPanel.left);
            EXPECT_GE(l.captionY, l.captionPanel.top);
        }
    }
    // Nothing to lay out in an empty view.
    const OverlayLayout none = At(0, 0);
    EXPECT_TRUE(Areas(none).empty());
}

}  // namespace
