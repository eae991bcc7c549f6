#pragma once
// The 2D part of a frame, composed on the CPU in drawing order: the red
// frame-time line, the fifteen grey statistics lines, the red caption, then
// the three history graphs (each sampled, then drawn).
#include <cstdint>

#include "presentation/HistoryGraph.h"
#include "simulation/StatisticsText.h"

class OverlayBatch;
class Simulation;
class TextFont;

constexpr uint32_t kHeadlineColour = 0xFFFF0000;    // frame time and caption
constexpr uint32_t kStatisticsColour = 0xFF707070;  // opaque grey
constexpr const char* kCaption = "Marrowick ScreenSaver";
constexpr float kCaptionX = 300.0f;
// Statistics column: origin (0, 10), one line every 15 pixels.
constexpr float kStatisticsTop = 10.0f;
constexpr float kStatisticsLineStep = 15.0f;

// The population, reserves and supply graphs in the bottom-left corner:
// 150 pixels square, 5 pixels above the bottom edge.
struct FrameGraphs {
    static constexpr int32_t kSize = 150;
    static constexpr int32_t kBottomGap = 5;
    static constexpr int32_t kPopulationLeft = 5;
    static constexpr int32_t kReservesLeft = 180;
    static constexpr int32_t kSupplyLeft = 360;

    void Layout(int32_t backBufferHeight);

    HistoryGraph population;
    HistoryGraph reserves;
    HistoryGraph supply;
};

// What the graphs sample from the simulation in one frame.
struct FrameSample {
    float time = 0.0f;        // totalSteps
    float population = 0.0f;  // colony population
    float reserves = 0.0f;    // colony foodReserves
    float supply = 0.0f;      // food cells in the world
};

// Reads the sample; the caller holds the simulation's state lock.
FrameSample SampleSimulation(const Simulation& simulation);

void ComposeOverlay(OverlayBatch& batch, const TextFont& small, const TextFont& large,
                    float frameTime, const StatisticsLines& statistics, FrameGraphs& graphs,
                    const FrameSample& sample);
