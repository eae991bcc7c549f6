#pragma once
// Everything one terminal frame takes, from the simulation to the bytes to
// send: a picture of the world and the statistics taken under the state lock,
// the frame composed from them, and the differences from the frame on screen
// encoded. The view sends the bytes; the benchmark measures the rest.
//
// Sized by Resize (allocates); Build allocates nothing.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "shell/terminal/TerminalColour.h"
#include "shell/terminal/TerminalFrame.h"
#include "shell/terminal/TerminalLayout.h"
#include "simulation/StatisticsText.h"

class Simulation;
struct WorldPicture;

// What one frame shows, apart from the world and the statistics.
struct FrameState {
    bool paused = false;
    int32_t rate = 40;
};

class FrameBuilder {
public:
    FrameBuilder();
    ~FrameBuilder();
    FrameBuilder(const FrameBuilder&) = delete;
    FrameBuilder& operator=(const FrameBuilder&) = delete;

    // A terminal of cols x rows (and a world of the given size); the next
    // frame clears the screen and is sent whole.
    void Resize(int32_t cols, int32_t rows, int32_t worldWidth, int32_t worldHeight,
                bool halfBlocks, ColourDepth depth);
    // The next frame clears the screen and is sent whole (after something
    // else wrote to the terminal).
    void RedrawAll();

    // Builds the next frame and its bytes (Data, Length). The simulation's
    // state lock is taken inside, briefly; the simulation's renderSeconds
    // gets the previous frame's cost, which the statistics then show.
    void Build(Simulation& simulation, const FrameState& state);

    const char* Data() const { return sink.Data(); }
    size_t Length() const { return sink.Length(); }
    const TerminalLayout& Layout() const { return layout; }
    const TermFrame& Shown() const { return shown; }
    // The cost of the last Build, lock and all, in seconds.
    float FrameSeconds() const { return frameSeconds; }
    // Cells the last Build found changed.
    int32_t ChangedCells() const { return changedCells; }

private:
    void Relayout();

    int32_t cols = 0;
    int32_t rows = 0;
    int32_t worldWidth = 0;
    int32_t worldHeight = 0;
    bool halfBlocks = true;
    ColourDepth depth = ColourDepth::Colours8;
    TerminalLayout layout;
    std::unique_ptr<WorldPicture> picture;
    StatisticsLines statistics{};
    TermFrame shown;
    TermFrame next;
    FrameEncoder encoder;
    ByteSink sink;
    bool fullRedraw = true;
    float frameSeconds = 0.0f;
    int32_t changedCells = 0;
};

// Composes a whole frame (already sized to the layout) from a picture of the
// world and the statistics lines: map, statistics, key line; or, on a
// terminal below 40 x 12, one line saying so.
void ComposeFrame(const WorldPicture& picture, const StatisticsLines& statistics,
                  const TerminalLayout& layout, const FrameState& state, ColourDepth depth,
                  TermFrame& frame);

// The message a terminal below 40 x 12 shows.
extern const char kTooSmallMessage[];
