#include "presentation/FrameOverlay.h"

#include <algorithm>
#include <cstdio>

#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"
#include "simulation/Simulation.h"

void FrameGraphs::Layout(const OverlayLayout& layout) {
    const float t = layout.graphScale;
    population.SetLayout(layout.graphRects[0], "Time", "Population", "Time VS Population", t);
    reserves.SetLayout(layout.graphRects[1], "Time", "Food", "Time VS Food Reserves", t);
    supply.SetLayout(layout.graphRects[2], "Time", "Food", "Time VS Food Supply", t);
}

FrameSample SampleSimulation(const Simulation& simulation) {
    FrameSample sample;
    sample.time = static_cast<float>(simulation.totalSteps);
    sample.population = static_cast<float>(simulation.colony.population);
    sample.reserves = simulation.colony.foodReserves;
    sample.supply = static_cast<float>(simulation.foodField.FoodCount());
    return sample;
}

void ComposeOverlay(OverlayBatch& batch, const TextFont& small, const TextFont& caption,
                    const OverlayLayout& layout, float frameTime,
                    const StatisticsLines& statistics, const FrameGraphs& graphs) {
    char headline[StatisticsLines::kLineCapacity];
    std::snprintf(headline, sizeof headline, "Total Render Time %7.4f  ",
                  static_cast<double>(frameTime));
    const int32_t pad = layout.panelPadding;
    const auto f = [](int32_t v) { return static_cast<float>(v); };

    // The panels: behind the text block (wide enough for its widest line),
    // the caption and each graph. They never overlap (OverlayLayout).
    if (layout.showHeadline || layout.lineCount > 0) {
        int32_t right = layout.textRight;
        if (layout.showHeadline) {
            right = std::max(right, layout.headlineX + small.TextWidth(headline) + pad);
        }
        for (int32_t i = 0; i < layout.lineCount; ++i) {
            const char* text = statistics.line[layout.lineIndex[i]];
            right = std::max(right, layout.lineX + small.TextWidth(text) + pad);
        }
        batch.AddRect(f(layout.textLeft), f(layout.textTop), f(right), f(layout.textBottom),
                      kPanelColour);
    }
    if (layout.showCaption) {
        const PixelRect& c = layout.captionPanel;
        batch.AddRect(f(c.left), f(c.top), f(c.right), f(c.bottom), kPanelColour);
    }
    if (layout.showGraphs) {
        for (const GraphRect& g : layout.graphRects) {
            batch.AddRect(f(g.left - pad), f(g.top - pad), f(g.right + pad), f(g.bottom + pad),
                          kPanelColour);
        }
    }

    if (layout.showHeadline) {
        batch.AddText(small, f(layout.headlineX), f(layout.headlineY), kHeadlineColour, headline);
    }
    for (int32_t i = 0; i < layout.lineCount; ++i) {
        batch.AddText(small, f(layout.lineX), f(layout.lineY[i]), kStatisticsColour,
                      statistics.line[layout.lineIndex[i]]);
    }
    if (layout.showCaption) {
        batch.AddText(caption, f(layout.captionX), f(layout.captionY), kHeadlineColour, kCaption);
    }
    if (layout.showGraphs) {
        graphs.population.DrawGraph(batch, small);
        graphs.reserves.DrawGraph(batch, small);
        graphs.supply.DrawGraph(batch, small);
    }
}

void FrameGraphs::AddSample(const FrameSample& sample) {
    population.AddSample(sample.time, sample.population);
    reserves.AddSample(sample.time, sample.reserves);
    supply.AddSample(sample.time, sample.supply);
}
