#include "presentation/OverlayLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "presentation/FrameOverlay.h"

namespace {

// The widest each line of the column gets in practice (the numbers at their
// widest); the panel behind the column is sized for them, so its edge stays
// put while the numbers change.
constexpr const char* kWidestLines[] = {
    "Total Render Time  0.0000  ",  "Op Time  0.000000  ",        "Total Sims 9999999 ",
    "Meandoring Ants  100.00 9999  ", "Reproducing Ants 100.00 9999  ",
    "Return to Base Ants 9999  ",   "Colony Food Surplus 9999.99  ", "Food Left 99999  ",
    "Expert System Actions is Off", "Use Everyone for food",      "Colony deaths 9999  ",
};
// The same for the lines a small view shows (kCompactLines, in that order).
constexpr const char* kWidestCompactLines[] = {
    "Total Ants 9999  ",
    "Colony Food Surplus 9999.99  ",
    "Food Left 99999  ",
    "Total Sims 9999999 ",
};
static_assert(sizeof kWidestCompactLines / sizeof kWidestCompactLines[0] ==
                  sizeof OverlayLayout::kCompactLines / sizeof OverlayLayout::kCompactLines[0],
              "one widest text per compact line");

// Text of a pixel size takes about this many rows from its top to the
// bottom of its descenders (Liberation Sans: ascender 0.905, descender 0.212).
int32_t TextHeight(int32_t pixelSize) {
    return static_cast<int32_t>(std::ceil(static_cast<float>(pixelSize) * 1.12f));
}

int32_t WidestOf(const char* const* texts, int32_t count, int32_t pixelSize,
                 const TextMeasure& measure) {
    int32_t widest = 0;
    for (int32_t i = 0; i < count; ++i) {
        widest = std::max(widest, measure.Width(texts[i], pixelSize));
    }
    return widest;
}

// The described layout, scaled; false when it does not fit the view.
bool FullLayout(int32_t width, int32_t height, float t, const TextMeasure& measure,
                OverlayLayout& out) {
    out.compact = false;
    out.scale = t;
    out.graphScale = t;
    out.smallPixels = std::max(OverlayLayout::kMinSmallPixels,
                               ScaledPixels(OverlayLayout::kReferenceSmallPixels, t));
    out.captionPixels = ScaledPixels(OverlayLayout::kReferenceLargePixels, t);
    out.panelPadding = std::max(2, ScaledPixels(OverlayLayout::kPanelPadding, t));
    const int32_t pad = out.panelPadding;

    out.showHeadline = true;
    out.headlineX = 0;
    out.headlineY = 0;
    out.lineX = 0;
    out.lineCount = StatisticsLines::kLineCount;
    for (int32_t i = 0; i < out.lineCount; ++i) {
        out.lineIndex[i] = i;
        const float y = OverlayLayout::kStatisticsTop + OverlayLayout::kLineStep * i;
        out.lineY[i] = ScaledPixels(y, t);
    }
    out.textTop = 0;
    out.textBottom = out.lineY[out.lineCount - 1] + TextHeight(out.smallPixels) + pad;
    out.textRight =
        WidestOf(kWidestLines, static_cast<int32_t>(sizeof kWidestLines / sizeof kWidestLines[0]),
                 out.smallPixels, measure) + pad;

    out.showCaption = true;
    out.captionX = ScaledPixels(OverlayLayout::kCaptionX, t);
    out.captionY = 0;
    const int32_t captionWidth = measure.Width(kCaption, out.captionPixels);
    out.captionPanel = {out.captionX - pad, 0, out.captionX + captionWidth + pad,
                        TextHeight(out.captionPixels) + pad};

    out.showGraphs = true;
    const int32_t size = ScaledPixels(OverlayLayout::kGraphSize, t);
    const int32_t bottom = height - ScaledPixels(OverlayLayout::kGraphBottomGap, t);
    for (int32_t g = 0; g < 3; ++g) {
        const int32_t left = ScaledPixels(OverlayLayout::kGraphLefts[g], t);
        out.graphRects[g] = {left, bottom - size, left + size, bottom};
    }
    const GraphRect& last = out.graphRects[2];
    const int32_t graphsTop = last.top - pad;

    return out.textBottom + pad <= graphsTop &&                       // column above the graphs
           out.textBottom <= OverlayLayout::kColumnShare * height &&   // the colony keeps room
           out.textRight + pad <= out.captionPanel.left &&             // column left of the caption
           out.captionPanel.right <= width && last.right + pad <= width;
}

// What fits a small view: the caption across its top, a few lines at its
// bottom left, at the smallest readable size.
void CompactLayout(int32_t width, int32_t height, float t, const TextMeasure& measure,
                   OverlayLayout& out) {
    out = OverlayLayout{};
    out.compact = true;
    out.scale = t;
    out.graphScale = t;
    out.showHeadline = false;
    out.showGraphs = false;
    out.smallPixels = std::max(OverlayLayout::kMinSmallPixels,
                               ScaledPixels(OverlayLayout::kReferenceSmallPixels, t));
    out.panelPadding = std::max(2, ScaledPixels(OverlayLayout::kPanelPadding, t));
    const int32_t pad = out.panelPadding;
    const int32_t margin = OverlayLayout::kCompactMargin;
    int32_t budget = static_cast<int32_t>(OverlayLayout::kCompactShare * height);

    // The caption: as large as in the full layout, smaller where the width
    // asks for it, never below the smallest text.
    const int32_t room = width - 2 * margin - 2 * pad;
    int32_t caption = ScaledPixels(OverlayLayout::kReferenceLargePixels, t);
    while (caption >= OverlayLayout::kMinSmallPixels && measure.Width(kCaption, caption) > room) {
        --caption;
    }
    const int32_t captionBlock = TextHeight(caption) + 2 * pad;
    out.showCaption = caption >= OverlayLayout::kMinSmallPixels && captionBlock <= budget;
    if (out.showCaption) {
        out.captionPixels = caption;
        const int32_t captionWidth = measure.Width(kCaption, caption);
        out.captionX = (width - captionWidth) / 2;
        out.captionY = margin + pad;
        out.captionPanel = {out.captionX - pad, margin, out.captionX + captionWidth + pad,
                            margin + captionBlock};
        budget -= captionBlock;
    } else {
        out.captionPixels = out.smallPixels;
    }

    // The lines: as many of the list as the rest of the budget holds, each
    // only where it fits across.
    const int32_t step = std::max(TextHeight(out.smallPixels),
                                  ScaledPixels(OverlayLayout::kLineStep, t));
    const int32_t lineRoom = width - 2 * margin - 2 * pad;
    int32_t shown = 0;
    int32_t widest = 0;
    constexpr int32_t candidates = static_cast<int32_t>(sizeof OverlayLayout::kCompactLines /
                                                        sizeof OverlayLayout::kCompactLines[0]);
    for (int32_t k = 0; k < candidates; ++k) {
        if ((shown + 1) * step + 2 * pad > budget) break;
        const int32_t lineWidth = measure.Width(kWidestCompactLines[k], out.smallPixels);
        if (lineWidth > lineRoom) continue;
        widest = std::max(widest, lineWidth);
        out.lineIndex[shown++] = OverlayLayout::kCompactLines[k];
    }
    out.lineCount = shown;
    out.lineX = margin + pad;
    out.textLeft = margin;
    out.textBottom = height - margin;
    out.textTop = out.textBottom - shown * step - 2 * pad;
    for (int32_t i = 0; i < shown; ++i) out.lineY[i] = out.textTop + pad + i * step;
    out.textRight = out.lineX + widest + pad;
}

}  // namespace

int32_t AtlasMeasure::Width(const char* text, int32_t pixelSize) const {
    const TextFont* nearest = nullptr;
    for (int32_t i = 0; i < atlas.FontCount(); ++i) {
        const TextFont& font = atlas.Font(i);
        if (font.pixelSize == pixelSize) return font.TextWidth(text);
        if (nearest == nullptr ||
            std::abs(font.pixelSize - pixelSize) < std::abs(nearest->pixelSize - pixelSize)) {
            nearest = &font;
        }
    }
    if (nearest == nullptr || nearest->pixelSize <= 0) return 0;
    const float scaled = static_cast<float>(nearest->TextWidth(text)) *
                         static_cast<float>(pixelSize) / static_cast<float>(nearest->pixelSize);
    return static_cast<int32_t>(std::ceil(scaled * 1.03f));
}

OverlayLayout LayOutOverlay(int32_t width, int32_t height, const TextMeasure& measure) {
    OverlayLayout layout;
    if (width < 1 || height < 1) {
        layout.showHeadline = false;
        layout.showCaption = false;
        layout.showGraphs = false;
        layout.lineCount = 0;
        return layout;
    }
    const float t = std::clamp(static_cast<float>(height) / OverlayLayout::kReferenceHeight,
                               OverlayLayout::kMinScale, OverlayLayout::kMaxScale);
    if (!FullLayout(width, height, t, measure, layout)) {
        CompactLayout(width, height, t, measure, layout);
    }
    return layout;
}
