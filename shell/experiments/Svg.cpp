#include "shell/experiments/Svg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "shell/experiments/WholeFile.h"

namespace {

constexpr const char* kFont = "DejaVu Sans, Liberation Sans, Arial, sans-serif";
constexpr const char* kAxisColour = "#000000";
constexpr const char* kGridColour = "#e0e0e0";
constexpr double kTickLength = 5.0;
constexpr double kTickFont = 11.0;
constexpr double kLabelFont = 12.0;
constexpr double kTitleFont = 14.0;

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    // Trim "12.50" to "12.5" and "12.00" to "12": smaller files, same picture.
    std::string s = text;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s == "-0" ? "0" : s;
}

// "x,y x,y ...": the points of a polyline or a polygon.
std::string PointList(const std::vector<SvgPoint>& points) {
    std::string list;
    for (size_t i = 0; i < points.size(); ++i) {
        if (i > 0) list += ' ';
        list += Number(points[i].x) + "," + Number(points[i].y);
    }
    return list;
}

std::string Escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

int32_t DecimalsFor(double step) {
    if (!(step > 0.0)) return 0;
    const int32_t decimals = static_cast<int32_t>(std::ceil(-std::log10(step) - 1e-9));
    return decimals < 0 ? 0 : (decimals > 9 ? 9 : decimals);
}

}  // namespace

SvgDocument::SvgDocument(int32_t width, int32_t height) : width(width), height(height) {
    Rect(SvgPoint{0, 0}, width, height, "#ffffff");
}

void SvgDocument::Line(SvgPoint from, SvgPoint to, const char* stroke, double lineWidth,
                       const char* dash) {
    body += "<line x1=\"" + Number(from.x) + "\" y1=\"" + Number(from.y) + "\" x2=\"" +
            Number(to.x) + "\" y2=\"" + Number(to.y) + "\" stroke=\"" + stroke +
            "\" stroke-width=\"" + Number(lineWidth) + "\"";
    if (dash != nullptr) body += std::string(" stroke-dasharray=\"") + dash + "\"";
    body += "/>\n";
}

void SvgDocument::Polyline(const std::vector<SvgPoint>& points, const char* stroke,
                           double lineWidth) {
    if (points.size() < 2) return;
    body += "<polyline fill=\"none\" stroke=\"";
    body += stroke;
    body += "\" stroke-width=\"" + Number(lineWidth) + "\" stroke-linejoin=\"round\" points=\"" +
            PointList(points) + "\"/>\n";
}

void SvgDocument::Polygon(const std::vector<SvgPoint>& points, const char* fill, double opacity) {
    if (points.size() < 3) return;
    body += std::string("<polygon stroke=\"none\" fill=\"") + fill + "\" fill-opacity=\"" +
            Number(opacity) + "\" points=\"" + PointList(points) + "\"/>\n";
}

void SvgDocument::Circle(SvgPoint centre, double radius, const char* fill, double opacity) {
    body += "<circle cx=\"" + Number(centre.x) + "\" cy=\"" + Number(centre.y) + "\" r=\"" +
            Number(radius) + "\" fill=\"" + fill + "\"";
    if (opacity < 1.0) body += " fill-opacity=\"" + Number(opacity) + "\"";
    body += "/>\n";
}

void SvgDocument::Rect(SvgPoint topLeft, double rectWidth, double rectHeight, const char* fill,
                       const char* stroke) {
    body += "<rect x=\"" + Number(topLeft.x) + "\" y=\"" + Number(topLeft.y) + "\" width=\"" +
            Number(rectWidth) + "\" height=\"" + Number(rectHeight) + "\" fill=\"" + fill + "\"";
    if (stroke != nullptr) body += std::string(" stroke=\"") + stroke + "\"";
    body += "/>\n";
}

void SvgDocument::Text(SvgPoint at, const std::string& text, double size, const char* anchor,
                       double rotate, bool bold) {
    body += "<text x=\"" + Number(at.x) + "\" y=\"" + Number(at.y) + "\" font-size=\"" +
            Number(size) + "\" text-anchor=\"" + anchor + "\"";
    if (bold) body += " font-weight=\"bold\"";
    if (rotate != 0.0) {
        body += " transform=\"rotate(" + Number(rotate) + " " + Number(at.x) + " " +
                Number(at.y) + ")\"";
    }
    body += ">" + Escaped(text) + "</text>\n";
}

std::string SvgDocument::Finish() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           std::to_string(width) + "\" height=\"" + std::to_string(height) + "\" viewBox=\"0 0 " +
           std::to_string(width) + " " + std::to_string(height) + "\" font-family=\"" + kFont +
           "\">\n" + body + "</svg>\n";
}

bool SvgDocument::Save(const char* path, std::string& error) const {
    return SaveWholeFile(path, Finish(), error);
}

std::string SeriesColour(int32_t index) {
    static const char* const kPalette[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd",
                                           "#8c564b", "#e377c2", "#7f7f7f", "#bcbd22", "#17becf"};
    constexpr int32_t kPaletteSize = sizeof kPalette / sizeof kPalette[0];
    index = std::max(index, 0);
    if (index < kPaletteSize) return kPalette[index];
    // Beyond the palette: hues a golden angle apart, in three shades, so that
    // no two series of a plot share a colour however many there are.
    constexpr double kGoldenAngle = 137.50776405;
    constexpr double kLightness[] = {0.42, 0.58, 0.30};
    constexpr double kSaturation = 0.75;
    const int32_t n = index - kPaletteSize;
    const double hue = std::fmod(15.0 + n * kGoldenAngle, 360.0) / 60.0;
    const double lightness = kLightness[n % 3];
    // HSL to RGB: the largest component, the middle one, and what all share.
    const double chroma = (1.0 - std::fabs(2.0 * lightness - 1.0)) * kSaturation;
    const double middle = chroma * (1.0 - std::fabs(std::fmod(hue, 2.0) - 1.0));
    const double base = lightness - chroma / 2.0;
    const int32_t sector = static_cast<int32_t>(hue) % 6;
    constexpr int32_t kLargest[6] = {0, 1, 1, 2, 2, 0};
    constexpr int32_t kMiddle[6] = {1, 0, 2, 1, 0, 2};
    double rgb[3] = {base, base, base};
    rgb[kLargest[sector]] += chroma;
    rgb[kMiddle[sector]] += middle;
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", static_cast<unsigned>(std::lround(rgb[0] * 255.0)),
                  static_cast<unsigned>(std::lround(rgb[1] * 255.0)),
                  static_cast<unsigned>(std::lround(rgb[2] * 255.0)));
    return text;
}

AxisScale NiceScale(double min, double max, int32_t targetTicks, bool whole) {
    if (!std::isfinite(min) || !std::isfinite(max)) {
        min = 0.0;
        max = 1.0;
    }
    if (max < min) std::swap(min, max);
    if (max - min < 1e-12 * (std::fabs(max) + 1.0)) {
        // One value: a range around it.
        const double pad = std::fabs(min) > 0.0 ? std::fabs(min) * 0.1 : 1.0;
        min -= pad;
        max += pad;
    }
    const double rough = (max - min) / (targetTicks > 1 ? targetTicks - 1 : 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    const double residual = rough / magnitude;
    const double factor = residual <= 1.0 ? 1.0 : residual <= 2.0 ? 2.0 : residual <= 5.0 ? 5.0 : 10.0;
    AxisScale scale;
    scale.step = whole ? std::max(1.0, factor * magnitude) : factor * magnitude;
    scale.low = std::floor(min / scale.step + 1e-9) * scale.step;
    scale.high = std::ceil(max / scale.step - 1e-9) * scale.step;
    if (scale.high <= scale.low) scale.high = scale.low + scale.step;
    return scale;
}

double TickLabelWidth(const std::string& label) {
    // DejaVu Sans draws a digit 0.636 em wide, Liberation Sans 0.556 em.
    constexpr double kDigitEm = 0.64;
    return static_cast<double>(label.size()) * kDigitEm * kTickFont;
}

double RightOverhang(const AxisScale& x) {
    constexpr double kPadding = 4.0;
    return TickLabelWidth(TickLabel(x.high, x.step)) / 2 + kPadding;
}

std::string TickLabel(double value, double step) {
    char text[48];
    const double rounded = std::fabs(value) < step * 1e-6 ? 0.0 : value;
    std::snprintf(text, sizeof text, "%.*f", DecimalsFor(step), rounded);
    return text;
}

SvgPoint Panel::Map(double vx, double vy) const {
    return SvgPoint{left + (vx - x.low) / (x.high - x.low) * width,
                    top + height - (vy - y.low) / (y.high - y.low) * height};
}

void DrawPanel(SvgDocument& svg, const Panel& p, const std::string& title,
               const std::string& xLabel, const std::string& yLabel) {
    const double bottom = p.top + p.height;
    const double right = p.left + p.width;
    // Grid lines and ticks; the count is bounded by the scale's construction.
    const int32_t xTicks = static_cast<int32_t>(std::lround((p.x.high - p.x.low) / p.x.step));
    for (int32_t i = 0; i <= xTicks; ++i) {
        const double v = p.x.low + i * p.x.step;
        const double px = p.Map(v, p.y.low).x;
        if (i > 0 && i < xTicks) svg.Line({px, p.top}, {px, bottom}, kGridColour);
        svg.Line({px, bottom}, {px, bottom + kTickLength}, kAxisColour);
        svg.Text({px, bottom + kTickLength + kTickFont + 1}, TickLabel(v, p.x.step), kTickFont,
                 "middle");
    }
    const int32_t yTicks = static_cast<int32_t>(std::lround((p.y.high - p.y.low) / p.y.step));
    for (int32_t i = 0; i <= yTicks; ++i) {
        const double v = p.y.low + i * p.y.step;
        const double py = p.Map(p.x.low, v).y;
        if (i > 0 && i < yTicks) svg.Line({p.left, py}, {right, py}, kGridColour);
        svg.Line({p.left - kTickLength, py}, {p.left, py}, kAxisColour);
        svg.Text({p.left - kTickLength - 2, py + kTickFont / 3}, TickLabel(v, p.y.step), kTickFont,
                 "end");
    }
    svg.Line({p.left, p.top}, {p.left, bottom}, kAxisColour, 1.5);
    svg.Line({p.left, bottom}, {right, bottom}, kAxisColour, 1.5);
    svg.Text({p.left + p.width / 2, p.top - 10}, title, kTitleFont, "middle", 0.0, true);
    svg.Text({p.left + p.width / 2, bottom + kTickLength + kTickFont + kLabelFont + 8}, xLabel,
             kLabelFont, "middle");
    const double yLabelX = p.left - 52;
    svg.Text({yLabelX, p.top + p.height / 2}, yLabel, kLabelFont, "middle", -90.0);
}
