#include "analysis/figures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "analysis/text_format.h"

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

constexpr double kText = 13.0;   // labels
constexpr double kTitle = 15.0;  // figure titles
constexpr double kSmall = 11.0;  // tick labels
constexpr Rgb kInk{30, 30, 30};
constexpr Rgb kGrid{228, 228, 228};
constexpr Rgb kFaint{200, 200, 200};
// Distinguishable for colour-blind readers.
constexpr Rgb kDataColour{110, 110, 110};
constexpr Rgb kModelColour{213, 94, 0};
constexpr Rgb kPredictorColour{0, 114, 178};
constexpr Rgb kTruthColour{0, 200, 120};
constexpr Rgb kBlockColours[] = {{230, 159, 0}, {86, 180, 233}, {204, 121, 167}, {240, 228, 66}};
constexpr const char* kMinus = "\u2212";

// Maps [lo, hi] to [0, 1]; a degenerate range maps everything to 0.5.
double unit(double value, double lo, double hi) {
    if (!(hi > lo)) return 0.5;
    return (value - lo) / (hi - lo);
}

double percentile(std::vector<float> values, double fraction) {
    if (values.empty()) return 0.0;
    const std::size_t k =
        std::min(values.size() - 1, std::size_t(fraction * double(values.size())));
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
}

// A number with a real minus sign.
std::string signedText(const std::string& text) {
    return !text.empty() && text[0] == '-' ? kMinus + text.substr(1) : text;
}

std::string number(const char* pattern, double value) {
    std::string text = formatNumber(pattern, value);
    // No sign on a value that rounds to zero.
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return signedText(text);
}

std::string mmText(const std::array<double, 3>& mm) {
    std::string text = "(";
    for (std::size_t i = 0; i < 3; ++i) {
        text += number("%.0f", mm[i]);
        text += i < 2 ? ", " : ") mm";
    }
    return text;
}

// How the overlay of one statistic is coloured.
struct Overlay {
    const std::vector<float>* t = nullptr;
    const std::vector<std::uint8_t>* above = nullptr;
    const std::vector<std::uint8_t>* planted = nullptr;  // or null
    double threshold = 0.0;                              // |t| of the Bonferroni cut
    double positiveMax = 0.0, negativeMin = 0.0;         // extremes above it
    bool positive = false, negative = false;             // voxels above in that tail
    double meanLo = 0.0, meanHi = 1.0;
};

Overlay overlayOf(const ReportResults& r, int statistic) {
    const PredictorSummary& s = r.summary.predictors[std::size_t(statistic)];
    const StatisticResult& st = r.statistics[std::size_t(statistic)];
    Overlay o;
    o.t = &st.t;
    o.above = &s.above;
    o.planted = s.truth ? &s.truth->planted : nullptr;
    o.threshold = std::fabs(r.summary.tThreshold);
    o.positiveMax = o.threshold;
    o.negativeMin = -o.threshold;
    for (std::size_t v = 0; v < st.t.size(); ++v) {
        if (!s.above[v]) continue;
        if (st.t[v] > 0.0f)
            o.positive = true, o.positiveMax = std::max(o.positiveMax, double(st.t[v]));
        if (st.t[v] < 0.0f)
            o.negative = true, o.negativeMin = std::min(o.negativeMin, double(st.t[v]));
    }
    o.meanHi = percentile(r.mean, 0.99);
    o.meanLo = std::min(0.0, percentile(r.mean, 0.01));
    return o;
}

Rgb positiveColour(double u) {
    return inferno(0.4 + 0.6 * std::clamp(u, 0.0, 1.0));
}
Rgb negativeColour(double u) {
    return blues(0.3 + 0.7 * std::clamp(u, 0.0, 1.0));
}

Rgb voxelColour(const Overlay& o, double mean, std::size_t v) {
    if ((*o.above)[v]) {
        const double t = (*o.t)[v];
        if (t > 0.0) return positiveColour(unit(t, o.threshold, o.positiveMax));
        return negativeColour(unit(-t, o.threshold, -o.negativeMin));
    }
    return gray(0.1 + 0.55 * std::clamp(unit(mean, o.meanLo, o.meanHi), 0.0, 1.0));
}

// One plane of the grid: axis h runs to the right, axis v upwards, `fixed` at `at`.
struct Plane {
    int h, v, fixed, at;
};

std::size_t voxelOf(const VolumeGrid& grid, const Plane& p, int hi, int vi) {
    std::array<int, 3> pos{};
    pos[std::size_t(p.h)] = hi;
    pos[std::size_t(p.v)] = vi;
    pos[std::size_t(p.fixed)] = p.at;
    return grid.index(pos[0], pos[1], pos[2]);
}

// The outline of the flagged voxels of a plane (or of a projection when
// `flagged` answers for the whole column) as vector lines.
template <typename Flagged>
void drawOutline(Canvas& c, int w, int h, Flagged flagged, double x0, double y0, double scale) {
    auto on = [&](int a, int b) { return a >= 0 && b >= 0 && a < w && b < h && flagged(a, b); };
    for (int vi = 0; vi < h; ++vi)
        for (int hi = 0; hi < w; ++hi) {
            if (!on(hi, vi)) continue;
            const double x = x0 + hi * scale, y = y0 + (h - 1 - vi) * scale;
            if (!on(hi - 1, vi)) c.line(x, y, x, y + scale, kTruthColour, 2.0);
            if (!on(hi + 1, vi)) c.line(x + scale, y, x + scale, y + scale, kTruthColour, 2.0);
            if (!on(hi, vi + 1)) c.line(x, y, x + scale, y, kTruthColour, 2.0);
            if (!on(hi, vi - 1)) c.line(x, y + scale, x + scale, y + scale, kTruthColour, 2.0);
        }
}

// Draws the plane with its overlay at (x, y); returns its size in pixels.
std::array<double, 2> drawPlane(Canvas& c, const ReportResults& r, const Overlay& o, const Plane& p,
                                double x, double y, double scale) {
    const VolumeGrid& g = r.source.grid;
    const int w = g.dims[std::size_t(p.h)], h = g.dims[std::size_t(p.v)];
    Raster raster(w, h);
    for (int vi = 0; vi < h; ++vi)
        for (int hi = 0; hi < w; ++hi) {
            const std::size_t v = voxelOf(g, p, hi, vi);
            raster.at(hi, h - 1 - vi) = voxelColour(o, r.mean[v], v);
        }
    c.raster(raster, x, y, scale);
    if (o.planted)
        drawOutline(
            c, w, h, [&](int a, int b) { return (*o.planted)[voxelOf(g, p, a, b)] != 0; }, x, y,
            scale);
    c.strokeRect(x, y, w * scale, h * scale, kInk, 1.0);
    return {w * scale, h * scale};
}

constexpr const char* kNegativeEnd[3] = {"L", "P", "I"};
constexpr const char* kPositiveEnd[3] = {"R", "A", "S"};

void orientationLabels(Canvas& c, const Plane& p, double x, double y, double w, double h) {
    c.text(x - 4, y + h / 2, kNegativeEnd[p.h], kText, kInk, Align::Right, true);
    c.text(x + w + 4, y + h / 2, kPositiveEnd[p.h], kText, kInk, Align::Left, true);
    c.text(x + w / 2, y - 9, kPositiveEnd[p.v], kText, kInk, Align::Centre, true);
    c.text(x + w / 2, y + h + 9, kNegativeEnd[p.v], kText, kInk, Align::Centre, true);
}

// Places a label unless it would overlap one already placed in `placed`.
bool placeLabel(Canvas& c, std::vector<TextBox>* placed, double x, double y,
                const std::string& text) {
    TextBox probe;
    probe.width = c.textWidth(text, kSmall);
    probe.height = kSmall * 1.25;
    probe.x = x;
    probe.y = y - probe.height / 2;
    for (const TextBox& b : *placed)
        if (b.overlaps(probe)) return false;
    placed->push_back(c.text(x, y, text, kSmall, kInk));
    return true;
}

// One segment of a vertical colour bar: values lo (bottom) to hi (top), the
// ends labelled first and the 1-2-5 ticks between them where they fit.
void colourBarSegment(Canvas& c, std::vector<TextBox>* placed, double x, double top, double height,
                      double lo, double hi, Rgb (*colour)(double), bool flip) {
    constexpr double kWidth = 16;
    Raster ramp(int(kWidth), int(std::max(height, 1.0)));
    for (int row = 0; row < ramp.height; ++row) {
        const double f = 1.0 - (row + 0.5) / ramp.height;  // 0 at the bottom
        for (int col = 0; col < ramp.width; ++col) ramp.at(col, row) = colour(flip ? 1.0 - f : f);
    }
    c.raster(ramp, x, top, 1.0);
    c.strokeRect(x, top, kWidth, height, kInk, 1.0);
    auto yOf = [&](double v) { return top + (1.0 - unit(v, lo, hi)) * height; };
    auto tick = [&](double v, const std::string& text) {
        if (placeLabel(c, placed, x + kWidth + 6, yOf(v), text))
            c.line(x + kWidth, yOf(v), x + kWidth + 4, yOf(v), kInk, 1.0);
    };
    const std::vector<double> ticks = niceTicks(lo, hi, 4);
    const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : std::fabs(hi - lo);
    tick(lo, number("%.1f", lo));
    tick(hi, number("%.1f", hi));
    for (const double t : ticks)
        if (t > lo && t < hi) tick(t, signedText(tickLabel(t, step)));
}

// The colour bar of an overlay at (x, top): a segment per tail with voxels.
void drawColourBar(Canvas& c, const Overlay& o, double x, double top, double height) {
    c.setGroup(kColourBarGroup);
    std::vector<TextBox> placed;
    placed.push_back(c.text(x, top - 14, "t", kText, kInk, Align::Left, true));
    if (!o.positive && !o.negative) {
        c.text(x, top + 10, "no voxel above", kSmall, kInk);
        c.text(x, top + 26, "the threshold", kSmall, kInk);
        c.setGroup("");
        return;
    }
    const double gap = 14;
    const double part = o.positive && o.negative ? (height - gap) / 2 : height;
    if (o.positive)
        colourBarSegment(
            c, &placed, x, top, part, o.threshold, o.positiveMax,
            [](double u) { return positiveColour(u); }, false);
    if (o.negative)
        colourBarSegment(
            c, &placed, x, o.positive ? top + part + gap : top, part, o.negativeMin, -o.threshold,
            [](double u) { return negativeColour(u); }, true);
    c.setGroup("");
}

// Axes of a plot area: x and y values mapped linearly (or log10 for x).
struct Plot {
    double left, top, width, height;
    double x0, x1, y0, y1;
    bool logX = false;
    double x(double v) const {
        const double u =
            logX ? unit(std::log10(v), std::log10(x0), std::log10(x1)) : unit(v, x0, x1);
        return left + u * width;
    }
    double y(double v) const { return top + (1.0 - unit(v, y0, y1)) * height; }
};

void drawAxes(Canvas& c, const Plot& p, const std::string& xLabel, const std::string& yLabel) {
    const std::vector<double> yTicks = niceTicks(p.y0, p.y1, 5);
    const double yStep = yTicks.size() > 1 ? yTicks[1] - yTicks[0] : 1.0;
    for (const double v : yTicks) {
        c.line(p.left, p.y(v), p.left + p.width, p.y(v), kGrid, 1.0);
        c.text(p.left - 6, p.y(v), signedText(tickLabel(v, yStep)), kSmall, kInk, Align::Right);
    }
    if (p.logX) {
        for (double v = std::pow(10.0, std::ceil(std::log10(p.x0))); v <= p.x1 * 1.0001;
             v *= 10.0) {
            c.line(p.x(v), p.top, p.x(v), p.top + p.height, kGrid, 1.0);
            const int e = int(std::lround(std::log10(v)));
            c.text(p.x(v), p.top + p.height + 12,
                   e == 0 ? "1"
                          : "10" + std::string(e < 0 ? kMinus : "") + std::to_string(std::abs(e)),
                   kSmall, kInk, Align::Centre);
        }
    } else {
        const std::vector<double> xTicks = niceTicks(p.x0, p.x1, 7);
        const double xStep = xTicks.size() > 1 ? xTicks[1] - xTicks[0] : 1.0;
        for (const double v : xTicks) {
            c.line(p.x(v), p.top, p.x(v), p.top + p.height, kGrid, 1.0);
            c.text(p.x(v), p.top + p.height + 12, signedText(tickLabel(v, xStep)), kSmall, kInk,
                   Align::Centre);
        }
    }
    c.strokeRect(p.left, p.top, p.width, p.height, kInk, 1.0);
    c.text(p.left + p.width / 2, p.top + p.height + 32, xLabel, kText, kInk, Align::Centre);
    c.text(p.left - 52, p.top + p.height / 2, yLabel, kText, kInk, Align::Centre, false, true);
}

std::string kindOf(const PredictorSummary& s) {
    return s.contrast ? "contrast " : "predictor ";
}

int slicesScale(const VolumeGrid& g, int target) {
    const int maxDim = std::max({g.dims[0], g.dims[1], g.dims[2], 1});
    return std::clamp(target / maxDim, 1, 10);
}

}  // namespace

std::vector<double> niceTicks(double lo, double hi, int target) {
    if (!std::isfinite(lo) || !std::isfinite(hi) || target < 1) return {};
    if (hi < lo) std::swap(lo, hi);
    if (hi == lo) return {lo};
    const double raw = (hi - lo) / target;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power * 10.0;
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (power * m >= raw) {
            step = power * m;
            break;
        }
    std::vector<double> ticks;
    for (double t = std::ceil(lo / step) * step; t <= hi + step * 1e-9; t += step)
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

std::string tickLabel(double value, double step) {
    int decimals = 0;
    if (step > 0.0 && step < 1.0) decimals = std::min(6, int(std::ceil(-std::log10(step) - 1e-9)));
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

Canvas drawDesignMatrix(const ReportResults& r) {
    const ModelResult& m = r.model;
    const int k = int(m.columns.size()), T = r.source.volumes;
    constexpr double kColumn = 34, kGap = 4, kLeft = 70, kTop = 60;
    const double matrixHeight = std::clamp(T * 2.0, 240.0, 480.0);
    const double matrixWidth = k * (kColumn + kGap);
    const double cell = std::clamp(320.0 / std::max(k, 1), 14.0, 40.0);
    const double corrLeft = kLeft + matrixWidth + 90;
    const int width = int(corrLeft + k * cell + 90);
    const int legendLines = k;
    const int height = int(kTop + std::max(matrixHeight, k * cell) + 50 + legendLines * 17 + 10);
    Canvas c(width, height);
    c.text(16, 18,
           "Design matrix: " + std::to_string(T) + " volumes \u00d7 " + std::to_string(k) +
               " columns, and the columns' correlations",
           kTitle, kInk, Align::Left, true);
    Raster raster(k, int(matrixHeight));
    for (int j = 0; j < k; ++j) {
        const double* col = m.design.data() + std::size_t(j) * std::size_t(T);
        const double lo = *std::min_element(col, col + T), hi = *std::max_element(col, col + T);
        for (int row = 0; row < raster.height; ++row) {
            const int t = std::min(T - 1, int(double(row) * T / raster.height));
            raster.at(j, row) = gray(hi > lo ? unit(col[t], lo, hi) : 0.85);
        }
    }
    for (int j = 0; j < k; ++j) {
        Raster column(int(kColumn), raster.height);
        for (int row = 0; row < raster.height; ++row)
            for (int px = 0; px < column.width; ++px) column.at(px, row) = raster.at(j, row);
        const double x = kLeft + j * (kColumn + kGap);
        c.raster(column, x, kTop, 1.0);
        c.strokeRect(x, kTop, kColumn, matrixHeight, kInk, 1.0);
        c.text(x + kColumn / 2, kTop - 10, j == k - 1 ? "C" : std::to_string(j + 1), kSmall, kInk,
               Align::Centre);
    }
    const std::vector<double> ticks = niceTicks(0.0, std::max(T - 1, 0), 6);
    for (const double t : ticks) {
        const double y = kTop + t * matrixHeight / std::max(T, 1);
        c.line(kLeft - 6, y, kLeft - 1, y, kInk, 1.0);
        c.text(kLeft - 9, y, formatNumber("%.0f", t), kSmall, kInk, Align::Right);
    }
    c.text(kLeft - 50, kTop + matrixHeight / 2, "volume", kText, kInk, Align::Centre, false, true);
    // Correlations: blue -1, white 0, red +1; the constant's row is undefined.
    for (int a = 0; a < k; ++a) {
        c.text(corrLeft - 6, kTop + (a + 0.5) * cell, a == k - 1 ? "C" : std::to_string(a + 1),
               kSmall, kInk, Align::Right);
        c.text(corrLeft + (a + 0.5) * cell, kTop - 10, a == k - 1 ? "C" : std::to_string(a + 1),
               kSmall, kInk, Align::Centre);
        for (int b = 0; b < k; ++b) {
            const double v = m.correlations[std::size_t(a) * std::size_t(k) + std::size_t(b)];
            Rgb colour = kFaint;
            if (std::isfinite(v)) {
                const double u = std::clamp(std::fabs(v), 0.0, 1.0);
                const Rgb end = v > 0 ? Rgb{202, 0, 32} : Rgb{5, 113, 176};
                colour = {std::uint8_t(255 + (end.r - 255) * u),
                          std::uint8_t(255 + (end.g - 255) * u),
                          std::uint8_t(255 + (end.b - 255) * u)};
            }
            const double x = corrLeft + b * cell, y = kTop + a * cell;
            c.fillRect(x, y, cell, cell, colour);
            if (std::isfinite(v) && cell >= 26)
                c.text(x + cell / 2, y + cell / 2, number("%.1f", v), 9.5,
                       std::fabs(v) > 0.6 ? kWhite : kInk, Align::Centre);
        }
    }
    c.strokeRect(corrLeft, kTop, k * cell, k * cell, kInk, 1.0);
    double y = kTop + std::max(matrixHeight, k * cell) + 36;
    for (int j = 0; j < k; ++j, y += 17)
        c.text(16, y,
               (j == k - 1 ? std::string("C") : std::to_string(j + 1)) + ": " +
                   m.columns[std::size_t(j)] +
                   (m.columnKinds[std::size_t(j)] == "drift" ? " (drift, in no contrast)" : ""),
               kText, kInk);
    return c;
}

Canvas drawMontage(const ReportResults& r, int statistic) {
    const PredictorSummary& s = r.summary.predictors[std::size_t(statistic)];
    const VolumeGrid& g = r.source.grid;
    const Overlay o = overlayOf(r, statistic);
    const int nz = g.dims[2];
    // Up to 12 slices evenly across z, the peak's slice among them.
    const int count = std::min(nz, 12);
    std::vector<int> zs;
    for (int i = 0; i < count; ++i) zs.push_back(int((i + 0.5) * nz / count));
    auto nearest = std::min_element(zs.begin(), zs.end(), [&](int a, int b) {
        return std::abs(a - s.peakGrid[2]) < std::abs(b - s.peakGrid[2]);
    });
    if (nearest != zs.end()) *nearest = s.peakGrid[2];
    const int columns = std::min(count, 4), rows = (count + columns - 1) / columns;
    const double scale = std::clamp(200.0 / std::max(g.dims[0], g.dims[1]), 1.0, 8.0);
    const double w = g.dims[0] * scale, h = g.dims[1] * scale;
    constexpr double kLeft = 24, kTop = 70, kGap = 30;
    const double barX = kLeft + columns * (w + kGap) + 10;
    const int width = int(barX + 90);
    const int height = int(kTop + rows * (h + kGap) + 20);
    Canvas c(width, height);
    c.text(16, 18, "Axial slices: " + kindOf(s) + s.name, kTitle, kInk, Align::Left, true);
    c.text(16, 40,
           "t above the Bonferroni threshold (p < " + formatNumber("%.2g", r.summary.alpha) +
               ", |t| > " + formatNumber("%.2f", o.threshold) + ", " + tailName(r.summary.tail) +
               " tail) over the mean image" + (o.planted ? "; planted voxels outlined" : ""),
           kText, kInk);
    for (int i = 0; i < count; ++i) {
        const double x = kLeft + (i % columns) * (w + kGap), y = kTop + (i / columns) * (h + kGap);
        drawPlane(c, r, o, {0, 1, 2, zs[std::size_t(i)]}, x, y, scale);
        const double zmm = g.start[2] + zs[std::size_t(i)] * g.resolution;
        c.text(x + w / 2, y + h + 10, "z = " + number("%.0f", zmm) + " mm", kSmall, kInk,
               Align::Centre);
    }
    drawColourBar(c, o, barX, kTop + 16, std::max(h * std::min(rows, 2), 160.0));
    return c;
}

Canvas drawOrthogonal(const ReportResults& r, int statistic) {
    const PredictorSummary& s = r.summary.predictors[std::size_t(statistic)];
    const VolumeGrid& g = r.source.grid;
    const Overlay o = overlayOf(r, statistic);
    struct Row {
        std::string label;
        std::array<int, 3> at;
    };
    std::vector<Row> rows;
    if (s.truth && s.truth->plantedVoxels > 0) {
        std::array<double, 3> sum{};
        for (std::size_t v = 0; v < s.truth->planted.size(); ++v)
            if (s.truth->planted[v]) {
                const std::array<int, 3> p = g.position(v);
                for (std::size_t i = 0; i < 3; ++i) sum[i] += p[i];
            }
        std::array<int, 3> centre{};
        for (std::size_t i = 0; i < 3; ++i)
            centre[i] = int(std::lround(sum[i] / double(s.truth->plantedVoxels)));
        rows.push_back({"through the planted centre", centre});
    }
    rows.push_back({"through the peak (t = " + number("%.2f", s.peakT) + ")", s.peakGrid});
    const double scale = slicesScale(g, 290);
    const Plane shapes[3] = {{0, 1, 2, 0}, {0, 2, 1, 0}, {1, 2, 0, 0}};
    double rowWidth = 0, rowHeight = 0;
    for (const Plane& p : shapes) {
        rowWidth += g.dims[std::size_t(p.h)] * scale + 50;
        rowHeight = std::max(rowHeight, g.dims[std::size_t(p.v)] * scale);
    }
    constexpr double kLeft = 40, kTop = 52;
    const double barX = kLeft + rowWidth + 10;
    const int width = int(barX + 90);
    const int height = int(kTop + rows.size() * (rowHeight + 70) + 10);
    Canvas c(width, height);
    c.text(16, 18, "Orthogonal planes: " + kindOf(s) + s.name, kTitle, kInk, Align::Left, true);
    double y = kTop;
    for (const Row& row : rows) {
        std::array<double, 3> mm{};
        for (std::size_t i = 0; i < 3; ++i) mm[i] = g.start[i] + row.at[i] * g.resolution;
        c.text(16, y + 6, row.label + ", " + mmText(mm), kText, kInk);
        double x = kLeft;
        const double top = y + 32;
        for (const Plane& shape : shapes) {
            Plane p = shape;
            p.at = row.at[std::size_t(p.fixed)];
            const std::array<double, 2> size = drawPlane(c, r, o, p, x, top, scale);
            // Cross-hair through the point, open around it.
            const double cx = x + (row.at[std::size_t(p.h)] + 0.5) * scale;
            const double cy =
                top + (g.dims[std::size_t(p.v)] - row.at[std::size_t(p.v)] - 0.5) * scale;
            const double gap = 2.5 * scale;
            c.line(x, cy, cx - gap, cy, kFaint, 1.0);
            c.line(cx + gap, cy, x + size[0], cy, kFaint, 1.0);
            c.line(cx, top, cx, cy - gap, kFaint, 1.0);
            c.line(cx, cy + gap, cx, top + size[1], kFaint, 1.0);
            orientationLabels(c, p, x, top, size[0], size[1]);
            x += size[0] + 50;
        }
        y += rowHeight + 70;
    }
    drawColourBar(c, o, barX, kTop + 48, std::max(rowHeight, 160.0));
    return c;
}

Canvas drawProjections(const ReportResults& r, int statistic) {
    const PredictorSummary& s = r.summary.predictors[std::size_t(statistic)];
    const VolumeGrid& g = r.source.grid;
    const Overlay o = overlayOf(r, statistic);
    const Tail tail = r.summary.tail;
    const double scale = slicesScale(g, 290);
    // Projection along `fixed`: the strongest above-threshold t in the tail.
    const Plane planes[3] = {{0, 1, 2, 0}, {0, 2, 1, 0}, {1, 2, 0, 0}};
    constexpr double kLeft = 40, kTop = 70;
    double width = kLeft;
    double tallest = 0;
    for (const Plane& p : planes) {
        width += g.dims[std::size_t(p.h)] * scale + 50;
        tallest = std::max(tallest, g.dims[std::size_t(p.v)] * scale);
    }
    const double barX = width + 10;
    Canvas c(int(barX + 90), int(kTop + tallest + 40));
    c.text(16, 18, "Maximum-intensity projections: " + kindOf(s) + s.name, kTitle, kInk,
           Align::Left, true);
    c.text(16, 40,
           "the strongest t above the threshold along each axis" +
               std::string(o.planted ? "; planted voxels outlined" : ""),
           kText, kInk);
    double x = kLeft;
    for (const Plane& p : planes) {
        const int w = g.dims[std::size_t(p.h)], h = g.dims[std::size_t(p.v)],
                  d = g.dims[std::size_t(p.fixed)];
        Raster raster(w, h);
        std::vector<std::uint8_t> planted(std::size_t(w) * std::size_t(h), 0);
        for (int vi = 0; vi < h; ++vi)
            for (int hi = 0; hi < w; ++hi) {
                double best = 0.0, bestT = 0.0, meanMax = o.meanLo;
                bool any = false;
                for (int k = 0; k < d; ++k) {
                    Plane q = p;
                    q.at = k;
                    const std::size_t v = voxelOf(g, q, hi, vi);
                    meanMax = std::max(meanMax, double(r.mean[v]));
                    if (o.planted && (*o.planted)[v])
                        planted[std::size_t(vi) * std::size_t(w) + std::size_t(hi)] = 1;
                    if (!(*o.above)[v]) continue;
                    const double t = (*o.t)[v];
                    const double e = tail == Tail::Both       ? std::fabs(t)
                                     : tail == Tail::Positive ? t
                                                              : -t;
                    if (!any || e > best) best = e, bestT = t, any = true;
                }
                Rgb colour =
                    gray(0.1 + 0.55 * std::clamp(unit(meanMax, o.meanLo, o.meanHi), 0.0, 1.0));
                if (any)
                    colour = bestT > 0 ? positiveColour(unit(bestT, o.threshold, o.positiveMax))
                                       : negativeColour(unit(-bestT, o.threshold, -o.negativeMin));
                raster.at(hi, h - 1 - vi) = colour;
            }
        c.raster(raster, x, kTop, scale);
        if (o.planted)
            drawOutline(
                c, w, h,
                [&](int a, int b) {
                    return planted[std::size_t(b) * std::size_t(w) + std::size_t(a)] != 0;
                },
                x, kTop, scale);
        c.strokeRect(x, kTop, w * scale, h * scale, kInk, 1.0);
        orientationLabels(c, p, x, kTop, w * scale, h * scale);
        x += w * scale + 50;
    }
    drawColourBar(c, o, barX, kTop + 16, std::max(tallest, 160.0));
    return c;
}

Canvas drawTimeCourse(const ReportResults& r, int statistic) {
    const PredictorSummary& s = r.summary.predictors[std::size_t(statistic)];
    const StatisticResult& st = r.statistics[std::size_t(statistic)];
    const int T = int(st.peakSeries.size());
    const double tr = r.source.repetitionTime > 0 ? r.source.repetitionTime : 1.0;
    constexpr int kWidth = 900, kHeight = 520;
    Plot main{90, 70, kWidth - 120.0, 270, 0, std::max(T - 1, 1) * tr, 0, 1};
    Plot lower{90, 400, kWidth - 120.0, 70, main.x0, main.x1, 0, 1};
    Canvas c(kWidth, kHeight);
    std::array<double, 3> mm{};
    for (std::size_t i = 0; i < 3; ++i)
        mm[i] = r.source.grid.start[i] + s.peakGrid[i] * r.source.grid.resolution;
    c.text(16, 18, "Time course of the peak voxel " + mmText(mm), kTitle, kInk, Align::Left, true);
    c.text(16, 40, kindOf(s) + s.name + ": t = " + number("%.2f", s.peakT), kText, kInk);
    if (T < 1) return c;
    double lo = *std::min_element(st.peakSeries.begin(), st.peakSeries.end());
    double hi = *std::max_element(st.peakSeries.begin(), st.peakSeries.end());
    for (const double f : st.peakFitted) lo = std::min(lo, f), hi = std::max(hi, f);
    if (!(hi > lo)) lo -= 1, hi += 1;
    main.y0 = lo - (hi - lo) * 0.05;
    main.y1 = hi + (hi - lo) * 0.05;
    // Condition blocks: the tested predictors above half their maximum.
    const ModelResult& m = r.model;
    int shaded = 0;
    std::vector<std::pair<std::string, Rgb>> legend;
    for (int j = 0; j < m.predictors && j < int(st.weights.size()); ++j) {
        if (st.weights[std::size_t(j)] == 0.0) continue;
        const double* col = m.design.data() + std::size_t(j) * std::size_t(T);
        const double peak = *std::max_element(col, col + T);
        const Rgb colour = kBlockColours[shaded++ % 4];
        legend.push_back({m.columns[std::size_t(j)], colour});
        for (int t = 0; t < T;) {
            if (!(col[t] > 0.5 * peak)) {
                ++t;
                continue;
            }
            int end = t;
            while (end < T && col[end] > 0.5 * peak) ++end;
            const double x0 = main.x((t - 0.5) * tr), x1 = main.x((end - 0.5) * tr);
            const double a = std::max(x0, main.left), b = std::min(x1, main.left + main.width);
            c.fillRect(a, main.top, b - a, main.height, colour, 0.22);
            c.fillRect(a, lower.top, b - a, lower.height, colour, 0.22);
            t = end;
        }
    }
    drawAxes(c, main, "", "signal (a.u.)");
    std::vector<double> data, fit, reg;
    for (int t = 0; t < T; ++t) {
        data.insert(data.end(), {main.x(t * tr), main.y(st.peakSeries[std::size_t(t)])});
        fit.insert(fit.end(), {main.x(t * tr), main.y(st.peakFitted[std::size_t(t)])});
    }
    c.polyline(data, kDataColour, 1.0);
    c.polyline(fit, kModelColour, 2.5);
    double plo = *std::min_element(st.peakRegressor.begin(), st.peakRegressor.end());
    double phi = *std::max_element(st.peakRegressor.begin(), st.peakRegressor.end());
    if (!(phi > plo)) plo -= 1, phi += 1;
    lower.y0 = plo;
    lower.y1 = phi;
    drawAxes(c, lower, "time (s)", s.contrast ? "contrast" : "predictor");
    for (int t = 0; t < T; ++t)
        reg.insert(reg.end(), {lower.x(t * tr), lower.y(st.peakRegressor[std::size_t(t)])});
    c.polyline(reg, kPredictorColour, 2.0);
    // Legend above the plot, right-aligned.
    double lx = main.left + main.width;
    auto entry = [&](const std::string& label, Rgb colour, bool block) {
        const double w = c.textWidth(label, kSmall);
        lx -= w + 30;
        if (block)
            c.fillRect(lx, 56, 20, 10, colour, 0.35);
        else
            c.fillRect(lx, 60, 20, 3, colour);
        c.text(lx + 24, 61, label, kSmall, kInk);
        lx -= 10;
    };
    entry("fitted model", kModelColour, false);
    entry("data", kDataColour, false);
    for (const auto& [name, colour] : legend) entry(name, colour, true);
    return c;
}

Canvas drawRoc(const PredictorSummary& s) {
    constexpr int kWidth = 700, kHeight = 520;
    Canvas c(kWidth, kHeight);
    if (!s.truth) return c;
    const TruthEvaluation& e = *s.truth;
    const double floorRate = e.roc.noise ? 1.0 / double(e.roc.noise) : 1e-5;
    Plot p{90, 70, 420, 380, floorRate, 1.0, 0.0, 1.0};
    p.logX = true;
    c.text(16, 18, "ROC: " + kindOf(s) + s.name, kTitle, kInk, Align::Left, true);
    c.text(16, 40,
           "area " + formatNumber("%.4f", e.roc.area) + "; " + std::to_string(e.roc.planted) +
               " planted, " + std::to_string(e.roc.noise) + " noise voxels",
           kText, kInk);
    drawAxes(c, p, "false-positive rate (log scale)", "true-positive rate");
    // Chance: tpr = fpr.
    std::vector<double> chance;
    for (int i = 0; i <= 60; ++i) {
        const double f = std::pow(10.0, std::log10(floorRate) * (1.0 - i / 60.0));
        chance.insert(chance.end(), {p.x(f), p.y(f)});
    }
    c.polyline(chance, kFaint, 1.0);
    std::vector<double> curve;
    for (const auto& pt : e.roc.points)
        curve.insert(curve.end(), {p.x(std::max(pt[0], floorRate)), p.y(pt[1])});
    c.polyline(curve, kModelColour, 2.5);
    const Rgb marks[] = {kPredictorColour, kTruthColour, kDataColour};
    double ly = p.top + 10;
    for (std::size_t i = 0; i < s.thresholds.size() && i < 3; ++i) {
        const ThresholdCount& t = s.thresholds[i];
        if (!t.truth) continue;
        const double fpr =
            e.roc.noise ? double(t.truth->falsePositives) / double(e.roc.noise) : 0.0;
        c.circle(p.x(std::max(fpr, floorRate)), p.y(t.truth->sensitivity), 5, marks[i]);
        c.circle(p.left + p.width + 24, ly, 5, marks[i]);
        c.text(p.left + p.width + 34, ly, thresholdName(t.kind), kText, kInk);
        ly += 22;
    }
    return c;
}

Canvas drawCalibration(const NullCalibration& cal, const std::string& name) {
    constexpr int kWidth = 900, kHeight = 440;
    Canvas c(kWidth, kHeight);
    c.text(16, 18, "Null calibration: " + name, kTitle, kInk, Align::Left, true);
    c.text(16, 40,
           "t of the " + std::to_string(cal.noiseVoxels) +
               " noise-only voxels against the model's t distribution",
           kText, kInk);
    if (cal.histogramCounts.empty()) return c;
    double top = 1.0;
    for (std::size_t i = 0; i < cal.histogramCounts.size(); ++i)
        top = std::max({top, double(cal.histogramCounts[i]), cal.histogramExpected[i]});
    Plot h{90, 70, 330, 290, cal.histogramEdges.front(), cal.histogramEdges.back(), 0, top * 1.05};
    drawAxes(c, h, "t", "voxels");
    for (std::size_t i = 0; i < cal.histogramCounts.size(); ++i) {
        const double x0 = h.x(cal.histogramEdges[i]), x1 = h.x(cal.histogramEdges[i + 1]);
        const double y = h.y(double(cal.histogramCounts[i]));
        c.fillRect(x0, y, x1 - x0 - 0.5, h.top + h.height - y, kPredictorColour, 0.6);
    }
    std::vector<double> expected;
    for (std::size_t i = 0; i < cal.histogramExpected.size(); ++i)
        expected.insert(expected.end(),
                        {h.x(0.5 * (cal.histogramEdges[i] + cal.histogramEdges[i + 1])),
                         h.y(cal.histogramExpected[i])});
    c.polyline(expected, kModelColour, 2.0);
    c.fillRect(h.left + 10, h.top + 10, 18, 8, kPredictorColour, 0.6);
    c.text(h.left + 32, h.top + 14, "observed", kSmall, kInk);
    c.fillRect(h.left + 10, h.top + 30, 18, 3, kModelColour);
    c.text(h.left + 32, h.top + 32, "expected", kSmall, kInk);
    double lo = -4, hi = 4;
    for (const auto& q : cal.qq) lo = std::min({lo, q[0], q[1]}), hi = std::max({hi, q[0], q[1]});
    Plot qq{540, 70, 290, 290, lo, hi, lo, hi};
    drawAxes(c, qq, "t quantile of the model", "observed t");
    c.line(qq.x(lo), qq.y(lo), qq.x(hi), qq.y(hi), kFaint, 1.0, true);
    for (const auto& q : cal.qq) c.circle(qq.x(q[0]), qq.y(q[1]), 2.2, kPredictorColour);
    return c;
}

Canvas drawTsnrSlice(const ReportResults& r, int z) {
    const VolumeGrid& g = r.source.grid;
    const std::vector<float>& tsnr = r.summary.tsnrMap;
    const double scale = std::clamp(420.0 / std::max({g.dims[0], g.dims[1], 1}), 1.0, 10.0);
    std::vector<float> positive;
    for (const float v : tsnr)
        if (v > 0.0f) positive.push_back(v);
    double hi = percentile(positive, 0.995);
    if (!(hi > 0.0)) hi = 1.0;
    const double w = g.dims[0] * scale, h = g.dims[1] * scale;
    constexpr double kLeft = 40, kTop = 70;
    Canvas c(int(kLeft + w + 130), int(kTop + std::max(h, 200.0) + 40));
    const double zmm = g.start[2] + z * g.resolution;
    c.text(16, 18, "tSNR = mean / sd over time, z = " + number("%.0f", zmm) + " mm", kTitle, kInk,
           Align::Left, true);
    c.text(16, 40, "median tSNR of the volume " + formatNumber("%.1f", r.summary.tsnr), kText,
           kInk);
    Raster raster(g.dims[0], g.dims[1]);
    for (int y = 0; y < g.dims[1]; ++y)
        for (int x = 0; x < g.dims[0]; ++x)
            raster.at(x, g.dims[1] - 1 - y) = viridis(tsnr[g.index(x, y, z)] / hi);
    c.raster(raster, kLeft, kTop, scale);
    c.strokeRect(kLeft, kTop, w, h, kInk, 1.0);
    orientationLabels(c, {0, 1, 2, z}, kLeft, kTop, w, h);
    c.setGroup(kColourBarGroup);
    std::vector<TextBox> placed;
    placed.push_back(c.text(kLeft + w + 30, kTop - 14, "tSNR", kText, kInk, Align::Left, true));
    colourBarSegment(
        c, &placed, kLeft + w + 30, kTop, std::max(h, 200.0), 0.0, hi,
        [](double u) { return viridis(u); }, false);
    c.setGroup("");
    return c;
}

}  // namespace simtrove::analysis
