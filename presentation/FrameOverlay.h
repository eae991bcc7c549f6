#pragma once
// The 2D part of a frame, composed on the CPU in drawing order: the dark
// panels, the red frame-time line, the statistics lines, the red caption,
// then the three history graphs, placed by OverlayLayout. The graphs take
// their samples when the frame reads the simulation, which need not be every
// frame.
#include <cstdint>

#include "presentation/HistoryGraph.h"
#include "presentation/OverlayLayout.h"
#include "simulation/StatisticsText.h"

class OverlayBatch;
class Simulation;
class TextFont;

constexpr uint32_t kHeadlineColour = 0xFFFF0000;    // frame time and caption
// Light text on the dark translucent panels that keep the scene out of it.
constexpr uint32_t kStatisticsColour = 0xFFD8D8D8;
constexpr uint32_t kPanelColour = 0xD0000000;
constexpr const char* kCaption = "Marrowick ScreenSaver";

// What the graphs sample from the simulation in one frame.
struct FrameSample {
    float time = 0.0f;        // totalSteps
    float population = 0.0f;  // colony population
    float reserves = 0.0f;    // colony foodReserves
    float supply = 0.0f;      // food cells in the world
};

// The population, reserves and supply graphs, laid out by OverlayLayout (in
// the bottom-left corner, 150 pixels square at scale 1).
struct FrameGraphs {
    void Layout(const OverlayLayout& layout);
    // Each graph takes its value (HistoryGraph::AddSample).
    void AddSample(const FrameSample& sample);

    HistoryGraph population;
    HistoryGraph reserves;
    HistoryGraph supply;
};

// Reads the sample; the caller holds the simulation's state lock.
FrameSample SampleSimulation(const Simulation& simulation);

// Panels first, then the frame time, the statistics lines and the caption
// where the layout puts them, then the graphs when it shows them. small draws
// the statistics and the graphs' labels, caption the caption.
void ComposeOverlay(OverlayBatch& batch, const TextFont& small, const TextFont& caption,
                    const OverlayLayout& layout, float frameTime,
                    const StatisticsLines& statistics, const FrameGraphs& graphs);
