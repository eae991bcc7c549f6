#include "shell/terminal/FrameBuilder.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <utility>

#include "shell/terminal/TerminalKeys.h"
#include "shell/terminal/WorldMap.h"
#include "simulation/Simulation.h"

const char kTooSmallMessage[] = "Terminal too small: 40 x 12 needed";

namespace {

// Room for the clearing sequence on top of the frame's own worst case.
constexpr size_t kSinkSlack = 64;

// How many cells of a statistics line to show in width cells. A line that
// ends in a parenthesised word (the expert line's rule-base name, "... is On
// (forager)") and does not fit loses that word whole rather than being cut
// inside it: "Expert System Actions is On (fo" reads as a fault, while the
// line without its name is the line as it always was.
int32_t ShownLength(const char* line, int32_t width) {
    const int32_t length = static_cast<int32_t>(std::strlen(line));
    if (length <= width) return length;
    const char* open = std::strrchr(line, '(');
    if (open == nullptr || open == line || open[-1] != ' ' || line[length - 1] != ')') return length;
    return static_cast<int32_t>(open - line) - 1;
}

}  // namespace

FrameBuilder::FrameBuilder() : picture(std::make_unique<WorldPicture>()) {}

FrameBuilder::~FrameBuilder() = default;

void FrameBuilder::Resize(int32_t newCols, int32_t newRows, int32_t newWorldWidth,
                          int32_t newWorldHeight, bool newHalfBlocks, ColourDepth newDepth) {
    cols = newCols;
    rows = newRows;
    worldWidth = newWorldWidth;
    worldHeight = newWorldHeight;
    halfBlocks = newHalfBlocks;
    depth = newDepth;
    Relayout();
}

void FrameBuilder::Relayout() {
    layout = ComputeLayout(cols, rows, worldWidth, worldHeight, halfBlocks);
    shown.Resize(cols, rows);
    next.Resize(cols, rows);
    const size_t cells = static_cast<size_t>(shown.Cols()) * static_cast<size_t>(shown.Rows());
    sink.Reserve(cells * kMaxBytesPerCell + kSinkSlack);
    sink.Reset();
    RedrawAll();
}

void FrameBuilder::RedrawAll() {
    encoder.Forget();
    fullRedraw = true;
}

void FrameBuilder::Build(Simulation& simulation, const FrameState& state) {
    const auto start = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> guard(simulation.stateMutex);
        // The overlay's "Render Time" is the scene's cost; here, the frame's.
        simulation.renderSeconds = frameSeconds;
        PaintWorld(simulation, *picture);
        FormatStatistics(simulation, statistics);
    }
    if (picture->width != worldWidth || picture->height != worldHeight) {
        worldWidth = picture->width;
        worldHeight = picture->height;
        Relayout();
    }
    ComposeFrame(*picture, statistics, layout, state, depth, next);

    sink.Reset();
    if (fullRedraw) {
        encoder.ClearScreen(sink);
        shown.Clear();
        fullRedraw = false;
    }
    changedCells = encoder.Encode(shown, next, depth, sink);
    std::swap(shown, next);
    frameSeconds = std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
}

void ComposeFrame(const WorldPicture& picture, const StatisticsLines& statistics,
                  const TerminalLayout& layout, const FrameState& state, ColourDepth depth,
                  TermFrame& frame) {
    frame.Clear();
    if (layout.tooSmall) {
        // The bottom-right cell stays blank, also on a one-row terminal.
        const int32_t width = layout.rows > 1 ? layout.cols : layout.cols - 1;
        frame.Text(0, 0, kTooSmallMessage, width);
        return;
    }
    DrawMap(picture, layout, depth, frame);
    for (int32_t i = 0; i < layout.statsLines && i < StatisticsLines::kLineCount; ++i) {
        const char* line = statistics.line[i];
        frame.Text(layout.statsCol, layout.statsRow + i, line,
                   std::min(layout.statsWidth, ShownLength(line, layout.statsWidth)));
    }
    DrawKeyLine(frame, layout.keyRow, layout.keyWidth, state.paused, state.rate);
}
