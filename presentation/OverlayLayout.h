#pragma once
// Where the overlay's parts go in a view of a given size: the red frame-time
// line and the statistics column at the top left, the caption, the three
// history graphs at the bottom left, and the dark panels behind them.
//
// The positions the program has always used are those of a 1920 x 1080 view;
// every other view scales them with its height, so 4K reads like 1080p: the
// line step stays about 1.4 % of the height. The scale never goes below what
// gives 9-pixel text, so a small view keeps readable text and shows only what
// fits (kCompact): the caption, sized to the view's width, and the first lines
// of a short list of the most telling statistics, at the bottom left, as many
// as fit without taking more than kCompactShare of the height; no graphs.
// Nothing in either layout overlaps.
//
// Pure arithmetic: text widths come from a measure the caller provides (the
// built fonts, scaled), so the layout is the same wherever it is computed.
#include <cstdint>

#include "presentation/HistoryGraph.h"
#include "presentation/TextFont.h"
#include "simulation/StatisticsText.h"

// Width in pixels of text drawn at this pixel size.
class TextMeasure {
public:
    virtual ~TextMeasure() = default;
    virtual int32_t Width(const char* text, int32_t pixelSize) const = 0;
};

// Text widths from the fonts of an atlas: exact at their own sizes, scaled
// from the nearest one (with a little to spare) at others.
class AtlasMeasure final : public TextMeasure {
public:
    explicit AtlasMeasure(const FontAtlas& atlas) : atlas(atlas) {}
    int32_t Width(const char* text, int32_t pixelSize) const override;

private:
    const FontAtlas& atlas;
};

struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool Overlaps(const PixelRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
};

struct OverlayLayout {
    // The view the described positions are for, and its text sizes.
    static constexpr int32_t kReferenceHeight = 1080;
    static constexpr int32_t kReferenceSmallPixels = 11;  // 8 points at 96 pixels per inch
    static constexpr int32_t kReferenceLargePixels = 32;  // 24 points
    static constexpr int32_t kMinSmallPixels = 9;         // the smallest text drawn
    static constexpr float kMinScale =
        static_cast<float>(kMinSmallPixels) / static_cast<float>(kReferenceSmallPixels);
    static constexpr float kMaxScale = 4.0f;  // 8K; the glyph atlas holds that much
    // Reference positions (scaled by `scale`).
    static constexpr float kStatisticsTop = 10.0f;  // first statistics line; the frame time at 0
    static constexpr float kLineStep = 15.0f;
    static constexpr float kCaptionX = 300.0f;
    static constexpr float kGraphSize = 150.0f;
    static constexpr float kGraphBottomGap = 5.0f;
    static constexpr float kGraphLefts[3] = {5.0f, 180.0f, 360.0f};
    // The panels reach this far beyond what they hold (reference pixels).
    static constexpr float kPanelPadding = 4.0f;
    // The full layout leaves the colony at least this share of the height
    // beside the statistics column; a preview's text takes at most kCompactShare.
    static constexpr float kColumnShare = 0.5f;
    static constexpr float kCompactShare = 0.34f;
    static constexpr int32_t kCompactMargin = 3;  // pixels from the view's edges
    // The statistics a small view shows, most telling first (indices into
    // StatisticsLines: total ants, colony food, food left, total sims).
    static constexpr int32_t kCompactLines[4] = {8, 9, 10, 2};

    static constexpr int32_t kMaxLines = StatisticsLines::kLineCount;

    float scale = 1.0f;
    int32_t smallPixels = kReferenceSmallPixels;
    int32_t captionPixels = kReferenceLargePixels;
    bool compact = false;

    // The red frame-time line ("Total Render Time"), full layout only.
    bool showHeadline = true;
    int32_t headlineX = 0;
    int32_t headlineY = 0;
    // The statistics lines shown, in drawing order: which line and where.
    int32_t lineCount = 0;
    int32_t lineIndex[kMaxLines] = {};
    int32_t lineX = 0;
    int32_t lineY[kMaxLines] = {};

    bool showCaption = true;
    int32_t captionX = 0;
    int32_t captionY = 0;

    bool showGraphs = true;
    GraphRect graphRects[3];
    float graphScale = 1.0f;  // label metrics and margins of the graphs

    // The panel behind the text block reaches from the view's left edge and
    // from its first line's top to below its last line; its right edge
    // follows the widest line (the composer knows the texts).
    int32_t textLeft = 0;
    int32_t textTop = 0;
    int32_t textRight = 0;
    int32_t textBottom = 0;
    int32_t panelPadding = 4;
    // Behind the caption.
    PixelRect captionPanel;
};

// The layout for a view of width x height pixels (the window less a menu
// bar). Sizes below 1 x 1 give an empty layout (nothing shown).
OverlayLayout LayOutOverlay(int32_t width, int32_t height, const TextMeasure& measure);

// Rounds a reference position scaled to whole pixels.
inline int32_t ScaledPixels(float reference, float scale) {
    return static_cast<int32_t>(reference * scale + 0.5f);
}
