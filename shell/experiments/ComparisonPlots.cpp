#include "shell/experiments/ComparisonPlots.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "shell/experiments/Svg.h"
#include "shell/experiments/WholeFile.h"

namespace {

// Layout, in SVG pixels: one panel with room for the legend on its right.
constexpr double kPlotWidth = 640.0;
constexpr double kPlotHeight = 320.0;
constexpr double kMarginLeft = 80.0;
constexpr double kMarginTop = 40.0;
constexpr double kMarginBottom = 56.0;
constexpr double kLegendWidth = 190.0;
constexpr double kLegendLine = 18.0;
constexpr int32_t kTicks = 6;
constexpr double kBandOpacity = 0.18;
constexpr double kCurveWidth = 2.0;
constexpr double kPercentCeiling = 100.0;

}  // namespace

std::string ComparisonPlotText(const Comparison& comparison, ComparisonMeasure measure) {
    const int32_t m = static_cast<int32_t>(measure);
    const ComparisonMeasureInfo& info = kComparisonMeasures[m];
    // The value range covers every band; the measures cannot go below zero.
    double high = 0.0;
    for (const RuleBaseResult& r : comparison.results) {
        for (const CurvePoint& p : r.curves[m]) high = std::max(high, p.mean + p.spread);
    }
    if (measure == ComparisonMeasure::NoConclusion) high = std::min(high, kPercentCeiling);
    Panel panel;
    panel.left = kMarginLeft;
    panel.top = kMarginTop;
    panel.width = kPlotWidth;
    panel.height = kPlotHeight;
    panel.x = NiceScale(0.0, static_cast<double>(std::max<int64_t>(comparison.steps, 1)), kTicks);
    panel.y = NiceScale(0.0, high > 0.0 ? high : 1.0, kTicks);
    SvgDocument svg(static_cast<int32_t>(kMarginLeft + kPlotWidth + kLegendWidth),
                    static_cast<int32_t>(kMarginTop + kPlotHeight + kMarginBottom));
    std::string title = info.title;
    title[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])));
    DrawPanel(svg, panel,
              title + ": mean over " + std::to_string(comparison.seeds) +
                  " seeds, band one spread either side",
              "Time (steps)", info.curve);

    // Bands first, so that every curve stays visible on top of them; a band
    // stays within what the measure can be.
    const double ceiling = measure == ComparisonMeasure::NoConclusion ? kPercentCeiling : INFINITY;
    for (size_t i = 0; i < comparison.results.size(); ++i) {
        const std::vector<CurvePoint>& curve = comparison.results[i].curves[m];
        std::vector<SvgPoint> band;
        for (const CurvePoint& p : curve) {
            band.push_back(panel.Map(p.step, std::min(ceiling, p.mean + p.spread)));
        }
        for (auto p = curve.rbegin(); p != curve.rend(); ++p) {
            band.push_back(panel.Map(p->step, std::max(0.0, p->mean - p->spread)));
        }
        svg.Polygon(band, SeriesColour(static_cast<int32_t>(i)).c_str(), kBandOpacity);
    }
    const double legendX = kMarginLeft + kPlotWidth + 16.0;
    for (size_t i = 0; i < comparison.results.size(); ++i) {
        const RuleBaseResult& r = comparison.results[i];
        const std::string colourName = SeriesColour(static_cast<int32_t>(i));
        const char* colour = colourName.c_str();
        std::vector<SvgPoint> means;
        for (const CurvePoint& p : r.curves[m]) means.push_back(panel.Map(p.step, p.mean));
        if (means.size() == 1) svg.Circle(means[0], 2.5, colour);
        svg.Polyline(means, colour, kCurveWidth);
        const double y = kMarginTop + kLegendLine * (static_cast<double>(i) + 0.5);
        svg.Line({legendX, y - 4}, {legendX + 24, y - 4}, colour, kCurveWidth);
        std::string label = r.rules;
        if (!r.broken.empty()) {
            label += " (did not load)";
        } else if (r.runs == 0) {
            label += " (no runs)";
        }
        svg.Text({legendX + 30, y}, label, 12.0, "start");
    }
    return svg.Finish();
}

bool WriteComparisonPlots(const Comparison& comparison, const std::string& folder,
                          std::vector<std::string>& written, std::string& error) {
    for (int32_t m = 0; m < kComparisonMeasureCount; ++m) {
        const std::string path = folder + "/" + kComparisonMeasures[m].key + ".svg";
        if (!SaveWholeFile(path, ComparisonPlotText(comparison, static_cast<ComparisonMeasure>(m)),
                           error)) {
            return false;
        }
        written.push_back(path);
    }
    return true;
}
