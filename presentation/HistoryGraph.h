#pragma once
// HistoryGraph: a small line graph of one value over roughly the last 1000
// simulation steps, drawn into the frame's overlay. One column per pixel of
// plot width; a sample arriving k columns after the previous one shifts the
// curve left by k and fills the freed columns with a straight ramp.
//
// Layout inside rect: the plot's top-left is (left + margin x, top + margin
// y), it is n columns wide and H pixels high; the y label runs down the left
// edge, the x label sits under the plot, the title on top. Label positions
// assume 7 pixels per character across and 10 down at scale 1, whatever the
// font. The curve stays inside the plot: a value above the top (or below
// zero) is drawn on the plot's edge. UI thread only.
#include <cstdint>

class OverlayBatch;
class TextFont;

struct GraphRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct GraphPoint {
    int32_t x = 0;
    int32_t y = 0;
};

class HistoryGraph {
public:
    static constexpr int32_t kMaxColumns = 400;
    static constexpr int32_t kLabelCapacity = 200;
    // At scale 1 (a 1080-line view); SetLayout scales them with the view.
    static constexpr int32_t kCharWidth = 7;     // assumed label advance across
    static constexpr int32_t kCharHeight = 10;   // assumed label advance down
    static constexpr int32_t kXLabelRise = 8;    // x label's top above the rect's bottom
    static constexpr int32_t kMargin = 10;       // between the rect and the plot
    // Light on the dark panel behind the graph.
    static constexpr uint32_t kAxisColour = 0xFFE0E0E0;
    static constexpr uint32_t kCurveColour = 0xFF5AA0FF;

    // Stores rect; margins and label metrics are the scale-1 ones times
    // scale; n = width - 2 margin x (kept within 1 .. kMaxColumns), H = height
    // - 2 margin y; copies the texts (at most 199 characters each). A layout
    // with another n keeps the curve: its samples are stretched to the new
    // width.
    void SetLayout(const GraphRect& area, const char* xText, const char* yText,
                   const char* titleText, float scale = 1.0f);
    // Ignored until a column's worth of time (time span / n) has passed since
    // the last accepted sample, which also ignores time going backwards.
    void AddSample(float time, float value);
    void DrawGraph(OverlayBatch& batch, const TextFont& font) const;

    // Positions DrawGraph uses.
    GraphPoint PlotOrigin() const { return {rect.left + marginX, rect.top + marginY}; }
    GraphPoint CurvePoint(int32_t column) const;
    GraphPoint YLabelStart() const;
    GraphPoint XLabelPosition() const;
    GraphPoint TitlePosition() const;

    // ---- Fields, in order ----
    char xLabel[kLabelCapacity] = {};
    char yLabel[kLabelCapacity] = {};
    char title[kLabelCapacity] = {};
    GraphRect rect;
    int32_t columns = 200;      // n
    int32_t plotHeight = 200;   // H
    float timeSpan = 1000.0f;   // simulation steps across n columns
    float valueMax = 800.0f;    // value drawn at the plot's top (larger values rise above it)
    float samples[kMaxColumns] = {};  // oldest first; 0 .. n-1 in use
    float lastSampleTime = 0.0f;
    int32_t marginX = kMargin;
    int32_t marginY = kMargin;
    int32_t charWidth = kCharWidth;
    int32_t charHeight = kCharHeight;
    int32_t xLabelRise = kXLabelRise;
};
