#include "shell/experiments/Plots.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "shell/experiments/Svg.h"

namespace {

// Layout, in SVG pixels: every panel's plot area and the margins around it
// for the title, the tick labels and the axis labels.
constexpr double kMarginLeft = 80.0;
constexpr double kMarginTop = 40.0;
constexpr double kMarginRight = 20.0;
constexpr double kMarginBottom = 56.0;
constexpr int32_t kTicks = 6;

constexpr double kHistoryWidth = 720.0;
constexpr double kHistoryHeight = 180.0;
constexpr const char* kCurveColour = "#0000ff";  // the window's graphs are blue too
constexpr const char* kRestartColour = "#a0a0a0";

constexpr int32_t kSweepColumns = 3;
constexpr double kSweepWidth = 240.0;
constexpr double kSweepHeight = 170.0;
constexpr double kLegendLine = 18.0;
constexpr double kPointRadius = 3.0;
constexpr double kPointOpacity = 0.55;
// seconds says how fast the machine was, not how the colony did.
constexpr int32_t kPlottedMeasures = kMeasureCount - 1;

double BlockWidth(double plotWidth) { return kMarginLeft + plotWidth + kMarginRight; }
double BlockHeight(double plotHeight) { return kMarginTop + plotHeight + kMarginBottom; }

Panel PanelAt(double x, double y, double width, double height) {
    Panel panel;
    panel.left = x + kMarginLeft;
    panel.top = y + kMarginTop;
    panel.width = width;
    panel.height = height;
    return panel;
}

// Whole-number parameters get whole ticks.
bool IsWholeParameter(const std::string& name) {
    ParameterId id = ParameterId::Count;
    return FindParameter(name.c_str(), id) && Parameter(id).type != ParameterType::Real &&
           Parameter(id).type != ParameterType::Text;
}

// The value axis starts at zero for counts and amounts that cannot go below
// it, so that panels compare at a glance.
AxisScale ValueScale(double low, double high, bool whole) {
    low = std::min(0.0, low);
    if (high <= low) high = low + 1.0;  // all zero: 0 to 1, not -1 to 1
    return NiceScale(low, high, kTicks, whole);
}

struct HistoryCurve {
    const char* title;
    const char* yLabel;
    float HistorySample::*value;
    bool whole;  // a count
};

}  // namespace

bool WriteHistoryPlot(const char* path, const HistoryRecorder& history, std::string& error) {
    const HistoryCurve curves[] = {
        {"Time VS Population", "Population", &HistorySample::population, true},
        {"Time VS Food Reserves", "Food", &HistorySample::foodReserves, false},
        {"Time VS Food Supply", "Food", &HistorySample::foodSupply, true},
    };
    const int32_t count = history.Count();
    const double firstStep = count > 0 ? history.At(0).step : 0.0;
    const double lastStep = count > 0 ? history.At(count - 1).step : 1.0;
    const AxisScale steps = NiceScale(std::min(0.0, firstStep), lastStep, kTicks, true);
    // The last step's label ("1000000") is centred on the right edge.
    const double overhang = std::max(0.0, RightOverhang(steps) - kMarginRight);
    SvgDocument svg(static_cast<int32_t>(std::ceil(BlockWidth(kHistoryWidth) + overhang)),
                    static_cast<int32_t>(3 * BlockHeight(kHistoryHeight)));
    double y = 0.0;
    for (const HistoryCurve& curve : curves) {
        double low = 0.0;
        double high = 1.0;
        for (int32_t i = 0; i < count; ++i) {
            low = std::min(low, static_cast<double>(history.At(i).*curve.value));
            high = std::max(high, static_cast<double>(history.At(i).*curve.value));
        }
        Panel panel = PanelAt(0.0, y, kHistoryWidth, kHistoryHeight);
        panel.x = steps;
        panel.y = ValueScale(low, high, curve.whole);
        DrawPanel(svg, panel, curve.title, "Time (steps)", curve.yLabel);
        // Restarts first, so the curve stays on top.
        int32_t restarts = 0;
        for (int32_t i = 1; i < count; ++i) {
            if (history.At(i).colonyDeaths == history.At(i - 1).colonyDeaths) continue;
            const double px = panel.Map(history.At(i).step, 0.0).x;
            svg.Line({px, panel.top}, {px, panel.top + panel.height}, kRestartColour, 1.0, "4 3");
            ++restarts;
        }
        if (restarts > 0) {
            svg.Text({panel.left + panel.width, panel.top - 10},
                     "dashed: colony restarts (" + std::to_string(restarts) + ")", 11.0, "end");
        }
        std::vector<SvgPoint> points;
        points.reserve(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i) {
            points.push_back(panel.Map(history.At(i).step, history.At(i).*curve.value));
        }
        if (points.size() == 1) {
            svg.Circle(points[0], 2.0, kCurveColour);
        }
        svg.Polyline(points, kCurveColour, 1.2);
        y += BlockHeight(kHistoryHeight);
    }
    return svg.Save(path, error);
}

bool WriteSweepPlot(const char* path, const SummaryTable& table,
                    const std::unordered_set<std::string>* keys, const std::string& xParameter,
                    const std::vector<std::string>& seriesParameters, std::string& error) {
    const std::vector<std::string> names = table.ParameterNames();
    auto column = [&](const std::string& name) {
        return static_cast<int32_t>(std::find(names.begin(), names.end(), name) - names.begin());
    };
    const int32_t xColumn = column(xParameter);
    if (xColumn >= table.parameterCount) {
        error = "the summary has no column " + xParameter;
        return false;
    }
    std::vector<int32_t> seriesColumns;
    for (const std::string& name : seriesParameters) {
        if (column(name) >= table.parameterCount) {
            error = "the summary has no column " + name;
            return false;
        }
        seriesColumns.push_back(column(name));
    }

    // The runs to draw, by series: in the numeric order of the series
    // parameters' values (5 before 30), which also keeps colours stable.
    struct Point {
        double x;
        double measures[kPlottedMeasures];
    };
    struct Series {
        std::string name;
        std::vector<Point> points;
    };
    std::map<std::vector<double>, Series> series;
    const int32_t firstMeasure = table.parameterCount + kKeyTailColumns + kStatusColumns;
    for (const std::vector<std::string>& row : table.rows) {
        if (table.StatusOf(row) != kStatusOk) continue;
        if (keys != nullptr && keys->count(table.KeyOf(row)) == 0) continue;
        Point point{};
        point.x = std::strtod(row[static_cast<size_t>(xColumn)].c_str(), nullptr);
        for (int32_t m = 0; m < kPlottedMeasures; ++m) {
            point.measures[m] = std::strtod(row[static_cast<size_t>(firstMeasure + m)].c_str(), nullptr);
        }
        std::vector<double> values;
        std::string name;
        for (int32_t c : seriesColumns) {
            const std::string& value = row[static_cast<size_t>(c)];
            values.push_back(std::strtod(value.c_str(), nullptr));
            if (!name.empty()) name += ", ";
            name += names[static_cast<size_t>(c)] + "=" + value;
        }
        Series& entry = series[values];
        entry.name = name;
        entry.points.push_back(point);
    }
    if (series.empty()) {
        error = "no finished runs to plot";
        return false;
    }
    // The rows come in the order the runs finished (or were merged): in an
    // order of their own, the same rows always draw the same picture, down
    // to the last bit of each mean.
    for (auto& entry : series) {
        std::vector<Point>& points = entry.second.points;
        std::sort(points.begin(), points.end(), [](const Point& a, const Point& b) {
            if (a.x != b.x) return a.x < b.x;
            return std::lexicographical_compare(a.measures, a.measures + kPlottedMeasures,
                                                b.measures, b.measures + kPlottedMeasures);
        });
    }

    double xLow = 0.0;
    double xHigh = 0.0;
    bool first = true;
    for (const auto& entry : series) {
        for (const Point& p : entry.second.points) {
            xLow = first ? p.x : std::min(xLow, p.x);
            xHigh = first ? p.x : std::max(xHigh, p.x);
            first = false;
        }
    }
    const AxisScale xScale = NiceScale(xLow, xHigh, kTicks - 1, IsWholeParameter(xParameter));
    // Only the last column's last label can reach past the picture's edge.
    const double overhang = std::max(0.0, RightOverhang(xScale) - kMarginRight);

    const double legendHeight = series.size() > 1 ? kLegendLine * (series.size() + 1) : 0.0;
    const int32_t rows = (kPlottedMeasures + kSweepColumns - 1) / kSweepColumns;
    SvgDocument svg(static_cast<int32_t>(std::ceil(kSweepColumns * BlockWidth(kSweepWidth) + overhang)),
                    static_cast<int32_t>(legendHeight + rows * BlockHeight(kSweepHeight)));
    std::vector<std::string> colours;
    for (int32_t index = 0; index < static_cast<int32_t>(series.size()); ++index) {
        colours.push_back(SeriesColour(index));
    }
    if (legendHeight > 0) {
        int32_t index = 0;
        for (const auto& entry : series) {
            const double ly = kLegendLine * (index + 1);
            const char* colour = colours[static_cast<size_t>(index)].c_str();
            svg.Line({kMarginLeft, ly - 4}, {kMarginLeft + 24, ly - 4}, colour, 2.0);
            svg.Circle({kMarginLeft + 12, ly - 4}, kPointRadius, colour);
            svg.Text({kMarginLeft + 32, ly}, entry.second.name, 12.0, "start");
            ++index;
        }
    }

    for (int32_t m = 0; m < kPlottedMeasures; ++m) {
        double low = 0.0;
        double high = 0.0;
        bool any = false;
        for (const auto& entry : series) {
            for (const Point& p : entry.second.points) {
                low = any ? std::min(low, p.measures[m]) : p.measures[m];
                high = any ? std::max(high, p.measures[m]) : p.measures[m];
                any = true;
            }
        }
        Panel panel = PanelAt((m % kSweepColumns) * BlockWidth(kSweepWidth),
                              legendHeight + (m / kSweepColumns) * BlockHeight(kSweepHeight),
                              kSweepWidth, kSweepHeight);
        panel.x = xScale;
        panel.y = ValueScale(low, high, kMeasureColumns[m].whole);
        DrawPanel(svg, panel, kMeasureColumns[m].title, xParameter, kMeasureColumns[m].column);
        size_t index = 0;
        for (const auto& entry : series) {
            const char* colour = colours[index++].c_str();
            std::map<double, std::pair<double, int32_t>> sums;  // x -> (sum, runs)
            for (const Point& p : entry.second.points) {
                svg.Circle(panel.Map(p.x, p.measures[m]), kPointRadius, colour, kPointOpacity);
                sums[p.x].first += p.measures[m];
                sums[p.x].second += 1;
            }
            std::vector<SvgPoint> means;
            for (const auto& sum : sums) {
                means.push_back(panel.Map(sum.first, sum.second.first / sum.second.second));
            }
            svg.Polyline(means, colour, 2.0);
        }
    }
    return svg.Save(path, error);
}
