#include "presentation/HistoryGraph.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "presentation/OverlayBatch.h"

namespace {

void CopyLabel(char* target, const char* text) {
    std::snprintf(target, HistoryGraph::kLabelCapacity, "%s", text != nullptr ? text : "");
}

// Truncation toward zero, kept inside the int range for values far off the plot.
int32_t Truncate(float value) {
    constexpr float kLimit = 1.0e9f;
    if (!(value > -kLimit)) return -static_cast<int32_t>(kLimit);
    if (value > kLimit) return static_cast<int32_t>(kLimit);
    return static_cast<int32_t>(value);
}

}  // namespace

void HistoryGraph::SetLayout(const GraphRect& area, const char* xText, const char* yText,
                             const char* titleText, float scale) {
    const auto scaled = [scale](int32_t reference) {
        return static_cast<int32_t>(static_cast<float>(reference) * scale + 0.5f);
    };
    marginX = scaled(kMargin);
    marginY = scaled(kMargin);
    charWidth = scaled(kCharWidth);
    charHeight = scaled(kCharHeight);
    xLabelRise = scaled(kXLabelRise);
    rect = area;
    int32_t n = (rect.right - rect.left) - 2 * marginX;
    if (n < 1) n = 1;
    if (n > kMaxColumns) n = kMaxColumns;
    if (n != columns) {
        // Column i of the new width shows what stood at the same share of the
        // old one (the nearest old column), so a resize keeps the history.
        float old[kMaxColumns];
        std::memcpy(old, samples, sizeof old);
        for (int32_t i = 0; i < n; ++i) {
            const int32_t from = n == 1 ? columns - 1
                                        : static_cast<int32_t>(static_cast<int64_t>(i) *
                                                                   (columns - 1) * 2 / (n - 1) +
                                                               1) / 2;
            samples[i] = old[from];
        }
        for (int32_t i = n; i < kMaxColumns; ++i) samples[i] = 0.0f;
        columns = n;
    }
    plotHeight = (rect.bottom - rect.top) - 2 * marginY;
    CopyLabel(xLabel, xText);
    CopyLabel(yLabel, yText);
    CopyLabel(title, titleText);
}

void HistoryGraph::AddSample(float time, float value) {
    const int32_t n = columns;
    const float step = timeSpan / static_cast<float>(n);
    if (!(lastSampleTime + step <= time)) {
        return;
    }
    // At least one column; a jump beyond the whole plot is cut to the plot.
    const float columnsPassed = (time - lastSampleTime) / step;
    int64_t k = columnsPassed >= static_cast<float>(INT32_MAX)
                    ? INT32_MAX
                    : static_cast<int64_t>(columnsPassed);
    if (k < 1) k = 1;  // rounding can leave a hair under one column
    const float newest = samples[n - 1];
    const int32_t kept = k < n ? n - static_cast<int32_t>(k) : 0;
    if (kept > 0) {
        std::memmove(samples, samples + (n - kept), static_cast<size_t>(kept) * sizeof(float));
    }
    // Column n - k + j gets newest + (value - newest) (j + 1) / k; for jumps
    // over more than n columns only the last n of the ramp are kept.
    const float kf = static_cast<float>(k);
    for (int32_t i = kept; i < n; ++i) {
        const int64_t j = k - (n - i);  // position of column i in the ramp
        samples[i] = newest + (value - newest) * static_cast<float>(j + 1) / kf;
    }
    samples[n - 1] = value;
    lastSampleTime = time;
}

GraphPoint HistoryGraph::CurvePoint(int32_t column) const {
    const GraphPoint o = PlotOrigin();
    const float h = static_cast<float>(plotHeight);
    int32_t y = Truncate(h - samples[column] / valueMax * h);
    if (y < 0) y = 0;  // above the top value: on the top edge
    if (y > plotHeight) y = plotHeight;
    return {o.x + column, o.y + y};
}

GraphPoint HistoryGraph::YLabelStart() const {
    const int32_t length = static_cast<int32_t>(std::strlen(yLabel));
    return {rect.left, rect.top + ((rect.bottom - rect.top) - charHeight * length) / 2};
}

GraphPoint HistoryGraph::XLabelPosition() const {
    const int32_t length = static_cast<int32_t>(std::strlen(xLabel));
    return {rect.left + ((rect.right - rect.left) - charWidth * length) / 2,
            rect.bottom - xLabelRise};
}

GraphPoint HistoryGraph::TitlePosition() const {
    const int32_t length = static_cast<int32_t>(std::strlen(title));
    return {rect.left + ((rect.right - rect.left) - charWidth * length) / 2, rect.top};
}

void HistoryGraph::DrawGraph(OverlayBatch& batch, const TextFont& font) const {
    const GraphPoint o = PlotOrigin();
    const float ox = static_cast<float>(o.x);
    const float oy = static_cast<float>(o.y);
    const float bottom = static_cast<float>(o.y + plotHeight);
    batch.AddLine(ox, oy, ox, bottom, kAxisColour);
    batch.AddLine(ox, bottom, static_cast<float>(o.x + columns), bottom, kAxisColour);

    GraphPoint at = YLabelStart();
    for (const char* c = yLabel; *c != '\0'; ++c) {
        const char letter[2] = {*c, '\0'};
        batch.AddText(font, static_cast<float>(at.x), static_cast<float>(at.y), kAxisColour,
                      letter);
        at.y += charHeight;
    }
    at = XLabelPosition();
    batch.AddText(font, static_cast<float>(at.x), static_cast<float>(at.y), kAxisColour, xLabel);
    at = TitlePosition();
    batch.AddText(font, static_cast<float>(at.x), static_cast<float>(at.y), kAxisColour, title);

    GraphPoint previous = CurvePoint(0);
    for (int32_t i = 1; i < columns; ++i) {
        const GraphPoint p = CurvePoint(i);
        batch.AddLine(static_cast<float>(p.x), static_cast<float>(p.y),
                      static_cast<float>(previous.x), static_cast<float>(previous.y),
                      kCurveColour);
        previous = p;
    }
}
