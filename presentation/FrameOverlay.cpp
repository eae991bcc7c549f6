#include "presentation/FrameOverlay.h"

#include <cstdio>

#include "presentation/OverlayBatch.h"
#include "presentation/TextFont.h"
#include "simulation/Simulation.h"

void FrameGraphs::Layout(int32_t backBufferHeight) {
    const int32_t bottom = backBufferHeight - kBottomGap;
    const int32_t top = bottom - kSize;
    population.SetLayout({kPopulationLeft, top, kPopulationLeft + kSize, bottom}, "Time",
                         "Population", "Time VS Population");
    reserves.SetLayout({kReservesLeft, top, kReservesLeft + kSize, bottom}, "Time", "Food",
                       "Time VS Food Reserves");
    supply.SetLayout({kSupplyLeft, top, kSupplyLeft + kSize, bottom}, "Time", "Food",
                     "Time VS Food Supply");
}

FrameSample SampleSimulation(const Simulation& simulation) {
    FrameSample sample;
    sample.time = static_cast<float>(simulation.totalSteps);
    sample.population = static_cast<float>(simulation.colony.population);
    sample.reserves = simulation.colony.foodReserves;
    sample.supply = static_cast<float>(simulation.foodField.FoodCount());
    return sample;
}

void ComposeOverlay(OverlayBatch& batch, const TextFont& small, const TextFont& large,
                    float frameTime, const StatisticsLines& statistics, FrameGraphs& graphs,
                    const FrameSample& sample) {
    char line[StatisticsLines::kLineCapacity];
    std::snprintf(line, sizeof line, "Total Render Time %7.4f  ", static_cast<double>(frameTime));
    batch.AddText(small, 0.0f, 0.0f, kHeadlineColour, line);
    for (int32_t i = 0; i < StatisticsLines::kLineCount; ++i) {
        batch.AddText(small, 0.0f, kStatisticsTop + kStatisticsLineStep * static_cast<float>(i),
                      kStatisticsColour, statistics.line[i]);
    }
    batch.AddText(large, kCaptionX, 0.0f, kHeadlineColour, kCaption);

    graphs.population.AddSample(sample.time, sample.population);
    graphs.population.DrawGraph(batch, small);
    graphs.reserves.AddSample(sample.time, sample.reserves);
    graphs.reserves.DrawGraph(batch, small);
    graphs.supply.AddSample(sample.time, sample.supply);
    graphs.supply.DrawGraph(batch, small);
}
