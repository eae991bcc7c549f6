#pragma once
// A small SVG writer for the experiments' plots: lines, polylines, markers and
// text into one document, and chart panels with axes, ticks and labels.
// Plain text, built in memory and saved whole (a temporary file renamed into
// place, so a plot that cannot be written never leaves half a file).
#include <cstdint>
#include <string>
#include <vector>

struct SvgPoint {
    double x = 0.0;
    double y = 0.0;
};

class SvgDocument {
public:
    SvgDocument(int32_t width, int32_t height);

    void Line(SvgPoint from, SvgPoint to, const char* stroke, double width = 1.0,
              const char* dash = nullptr);
    void Polyline(const std::vector<SvgPoint>& points, const char* stroke, double width);
    // A closed shape, filled without an outline (a band around a curve);
    // nothing for fewer than three points.
    void Polygon(const std::vector<SvgPoint>& points, const char* fill, double opacity);
    void Circle(SvgPoint centre, double radius, const char* fill, double opacity = 1.0);
    void Rect(SvgPoint topLeft, double width, double height, const char* fill,
              const char* stroke = nullptr);
    // anchor: "start", "middle" or "end"; rotate in degrees about the anchor.
    void Text(SvgPoint at, const std::string& text, double size, const char* anchor,
              double rotate = 0.0, bool bold = false);

    // The document so far, closed.
    std::string Finish() const;
    // Writes it to path; false with a message.
    bool Save(const char* path, std::string& error) const;

private:
    std::string body;
    int32_t width;
    int32_t height;
};

// The colour of the index-th series of a plot (0 first): distinct on white,
// the same series always the same colour; ten from a palette, then colours
// of their own, so that no two series of a plot share one.
std::string SeriesColour(int32_t index);

// An axis: its ends and the step between ticks, all "nice" (1, 2 or 5 times a
// power of ten) and covering the data.
struct AxisScale {
    double low = 0.0;
    double high = 1.0;
    double step = 0.2;
};
// whole: the axis counts things (steps, ants, a whole-number parameter), so
// its step is at least 1 and no tick falls between two whole numbers.
AxisScale NiceScale(double min, double max, int32_t targetTicks, bool whole = false);
// A tick's label: as many decimals as the step needs, no more.
std::string TickLabel(double value, double step);
// About how wide a tick label of this many characters is drawn (digits are
// the widest of them in the fonts the plots name), for the margins.
double TickLabelWidth(const std::string& label);
// The room a panel needs right of its plot area for the last x tick label,
// which is centred on the area's right edge.
double RightOverhang(const AxisScale& x);

// One chart: a frame in the document, its scales, title and axis labels.
struct Panel {
    double left = 0.0;  // the plot area, inside the margins for labels
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
    AxisScale x;
    AxisScale y;

    SvgPoint Map(double vx, double vy) const;
};

// Draws the axes with ticks, light grid lines, the tick labels, the title above
// and the axis labels; the curves are drawn afterwards through Map.
void DrawPanel(SvgDocument& svg, const Panel& panel, const std::string& title,
               const std::string& xLabel, const std::string& yLabel);
