#include "analysis/figures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/colormap.h"
#include "analysis/text_format.h"

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

constexpr int kText = 2;   // font scale of every label: 10 x 14 pixel glyphs
constexpr int kLine = 18;  // line height at that scale
constexpr Rgb kInk{30, 30, 30};
constexpr Rgb kFaint{200, 200, 200};
// Distinguishable for colour-blind readers.
constexpr Rgb kDataColour{110, 110, 110};
constexpr Rgb kModelColour{213, 94, 0};
constexpr Rgb kPredictorColour{0, 114, 178};
constexpr Rgb kTruthColour{0, 158, 115};

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

void drawArrow(RgbImage& img, int x0, int y0, int x1, int y1, Rgb c) {
    img.drawLine(x0, y0, x1, y1, c, 2);
    const double angle = std::atan2(double(y1 - y0), double(x1 - x0));
    for (const double side : {2.6, -2.6}) {
        const int hx = x1 + int(std::lround(8.0 * std::cos(angle + side)));
        const int hy = y1 + int(std::lround(8.0 * std::sin(angle + side)));
        img.drawLine(x1, y1, hx, hy, c, 2);
    }
}

// A vertical colour bar: `colour` over u from 0 (bottom) to 1 (top), labelled
// with `ticks` between lo and hi, and a title above.
void drawColourBar(RgbImage& img, int x, int y, int height, double lo, double hi,
                   const std::string& title, Rgb (*colour)(double), double u0, double u1) {
    constexpr int kWidth = 22;
    img.drawText(x, y - kLine - 14, title, kInk, kText);
    for (int r = 0; r < height; ++r) {
        const double f = 1.0 - (r + 0.5) / height;
        img.fillRect(x, y + r, kWidth, 1, colour(u0 + (u1 - u0) * f));
    }
    img.drawRect(x, y, kWidth, height, kInk);
    const std::vector<double> ticks = niceTicks(lo, hi, 5);
    const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : std::fabs(hi - lo);
    auto label = [&](double value, const std::string& text) {
        const int ty = y + int(std::lround((1.0 - unit(value, lo, hi)) * (height - 1)));
        img.fillRect(x + kWidth, ty, 5, 1, kInk);
        img.drawText(x + kWidth + 8, ty - textHeight(kText) / 2, text, kInk, kText);
    };
    for (const double t : ticks)
        if (t >= lo && t <= hi && unit(t, lo, hi) > 0.08 && unit(t, lo, hi) < 0.92)
            label(t, tickLabel(t, step));
    label(lo, formatNumber("%.1f", lo));
    label(hi, formatNumber("%.1f", hi));
}

// One orthogonal plane: axis h runs to the right, axis v upwards, `fixed` at `at`.
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

constexpr const char* kAxisNames[3] = {"X", "Y", "Z"};

// The border of the flagged voxels in one plane: an edge wherever a flagged
// voxel meets an unflagged one or the plane's border.
void drawOutline(RgbImage& img, const VolumeGrid& grid, const Plane& p, const std::uint8_t* flags,
                 int x0, int top, int scale) {
    const int w = grid.dims[std::size_t(p.h)], h = grid.dims[std::size_t(p.v)];
    auto flagged = [&](int hi, int vi) {
        return hi >= 0 && vi >= 0 && hi < w && vi < h && flags[voxelOf(grid, p, hi, vi)];
    };
    for (int vi = 0; vi < h; ++vi)
        for (int hi = 0; hi < w; ++hi) {
            if (!flagged(hi, vi)) continue;
            const int x = x0 + hi * scale, y = top + (h - 1 - vi) * scale;
            if (!flagged(hi - 1, vi)) img.fillRect(x, y, 1, scale, kTruthColour);
            if (!flagged(hi + 1, vi)) img.fillRect(x + scale - 1, y, 1, scale, kTruthColour);
            if (!flagged(hi, vi + 1)) img.fillRect(x, y, scale, 1, kTruthColour);
            if (!flagged(hi, vi - 1)) img.fillRect(x, y + scale - 1, scale, 1, kTruthColour);
        }
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

RgbImage drawDesignMatrix(const std::vector<std::string>& names, std::span<const float> predictors,
                          int volumes) {
    const int columns = int(names.size()) + 1;
    constexpr int kColumnWidth = 56, kGap = 6, kLeft = 90, kTop = 76;
    const int matrixHeight = std::clamp(volumes * 2, 240, 520);
    const int legendLines = columns;
    const int width = std::max(kLeft + columns * (kColumnWidth + kGap) + 40, 560);
    const int height = kTop + matrixHeight + 60 + legendLines * kLine + 20;
    RgbImage img(width, height);
    img.drawText(20, 16,
                 "DESIGN MATRIX: " + std::to_string(volumes) + " VOLUMES X " +
                     std::to_string(columns) + " COLUMNS",
                 kInk, kText);
    img.drawText(kLeft - 80, kTop - kLine - 12, "VOLUME", kInk, kText);

    for (int j = 0; j < columns; ++j) {
        const bool constant = j == columns - 1;
        double lo = 1.0, hi = 1.0;
        if (!constant && volumes > 0) {
            const auto column = predictors.subspan(std::size_t(j) * volumes, std::size_t(volumes));
            lo = *std::min_element(column.begin(), column.end());
            hi = *std::max_element(column.begin(), column.end());
        }
        const int x = kLeft + j * (kColumnWidth + kGap);
        for (int r = 0; r < matrixHeight; ++r) {
            const int t = std::min(volumes - 1, int(std::int64_t(r) * volumes / matrixHeight));
            const double value = constant || t < 0 ? 1.0 : predictors[std::size_t(j) * volumes + t];
            const double u = hi > lo ? unit(value, lo, hi) : (value > 0.0 ? 1.0 : 0.0);
            img.fillRect(x, kTop + r, kColumnWidth, 1, gray(u));
        }
        img.drawRect(x, kTop, kColumnWidth, matrixHeight, kInk);
        const std::string label = constant ? "C" : std::to_string(j + 1);
        img.drawText(x + (kColumnWidth - textWidth(label, kText)) / 2, kTop + matrixHeight + 8,
                     label, kInk, kText);
    }
    // Volume axis: tick t sits at the top of volume t's rows.
    const std::vector<double> ticks = niceTicks(0.0, std::max(volumes - 1, 0), 6);
    for (const double t : ticks) {
        const int y = kTop + int(std::lround(t * matrixHeight / std::max(volumes, 1)));
        img.fillRect(kLeft - 8, y, 6, 1, kInk);
        const std::string label = formatNumber("%.0f", t);
        img.drawText(kLeft - 12 - textWidth(label, kText), y - 6, label, kInk, kText);
    }
    int y = kTop + matrixHeight + 8 + kLine + 16;
    for (int j = 0; j < columns; ++j, y += kLine) {
        const std::string label =
            j == columns - 1 ? "C: CONSTANT" : std::to_string(j + 1) + ": " + names[std::size_t(j)];
        img.drawText(20, y, label, kInk, kText);
    }
    return img;
}

RgbImage drawSlices(const VolumeGrid& grid, std::span<const float> mean, std::span<const float> t,
                    const ReportSummary& summary, int statistic) {
    const PredictorSummary& s = summary.predictors[std::size_t(statistic)];
    const std::uint8_t* planted = s.truth ? s.truth->planted.data() : nullptr;
    const int maxDim = std::max({grid.dims[0], grid.dims[1], grid.dims[2], 1});
    const int scale = std::clamp(300 / maxDim, 1, 8);
    const std::array<int, 3> peak = s.peakGrid;
    const Plane planes[3] = {{0, 1, 2, peak[2]}, {0, 2, 1, peak[1]}, {1, 2, 0, peak[0]}};

    // Background: the mean image from 0 (or its low end) to its 99th percentile, kept
    // dark enough for the overlay to stand out.
    const double meanHi = percentile({mean.begin(), mean.end()}, 0.99);
    const double meanLo = std::min(0.0, percentile({mean.begin(), mean.end()}, 0.01));
    float tMax = summary.tThreshold + 1.0f, tMin = -(summary.tThreshold + 1.0f);
    for (std::size_t v = 0; v < t.size(); ++v) {
        if (!s.above[v]) continue;
        tMax = std::max(tMax, t[v]);
        tMin = std::min(tMin, t[v]);
    }
    const double thr = summary.tThreshold;

    constexpr int kLeft = 50, kTop = 96, kGap = 60;
    int panelsWidth = 0, panelsHeight = 0;
    for (const Plane& p : planes) {
        panelsWidth += grid.dims[std::size_t(p.h)] * scale + kGap;
        panelsHeight = std::max(panelsHeight, grid.dims[std::size_t(p.v)] * scale);
    }
    const int barHeight = std::max(panelsHeight, 200);
    const bool negatives = s.negativeAbove > 0;
    const int width = kLeft + panelsWidth + (negatives ? 260 : 140);
    const int height = kTop + std::max(panelsHeight, barHeight) + 70;
    RgbImage img(width, height);
    img.drawText(20, 12,
                 (s.contrast ? "CONTRAST " : "PREDICTOR ") + s.name + ": T OVER THE MEAN IMAGE",
                 kInk, kText);
    if (planted) {
        const int x = 20 + textWidth("PEAK T " + formatNumber("%.2f", s.peakT) + " AT VOXEL " +
                                         tripleText(s.peakGrid) + "    ",
                                     kText);
        img.drawRect(x, 12 + 2 * kLine + 1, 16, 12, kTruthColour);
        img.drawText(x + 24, 12 + 2 * kLine, "PLANTED VOXELS", kTruthColour, kText);
    }
    img.drawText(20, 12 + kLine,
                 "SHOWN: P < " + formatNumber("%.2g", summary.alpha) + " BONFERRONI (|T| > " +
                     formatNumber("%.2f", thr) + ", DF " +
                     std::to_string(summary.degreesOfFreedom) + ")",
                 kInk, kText);
    img.drawText(20, 12 + 2 * kLine,
                 "PEAK T " + formatNumber("%.2f", s.peakT) + " AT VOXEL " + tripleText(s.peakGrid),
                 kInk, kText);

    int x0 = kLeft;
    for (const Plane& p : planes) {
        const int w = grid.dims[std::size_t(p.h)], h = grid.dims[std::size_t(p.v)];
        const int top = kTop + panelsHeight - h * scale;
        for (int vi = 0; vi < h; ++vi)
            for (int hi = 0; hi < w; ++hi) {
                const std::size_t v = voxelOf(grid, p, hi, vi);
                Rgb c = gray(0.08 + 0.5 * unit(mean[v], meanLo, meanHi));
                if (s.above[v])
                    c = t[v] > 0.0f ? inferno(0.45 + 0.55 * unit(t[v], thr, tMax))
                                    : blues(0.3 + 0.7 * unit(-t[v], thr, -tMin));
                img.fillRect(x0 + hi * scale, top + (h - 1 - vi) * scale, scale, scale, c);
            }
        if (planted) drawOutline(img, grid, p, planted, x0, top, scale);
        // Cross-hair through the peak, open around it so the voxel stays visible.
        const int cx = x0 + peak[std::size_t(p.h)] * scale + scale / 2;
        const int cy = top + (h - 1 - peak[std::size_t(p.v)]) * scale + scale / 2;
        const int gapPx = 2 * scale;
        img.fillRect(x0, cy, std::max(0, cx - gapPx - x0), 1, kFaint);
        img.fillRect(cx + gapPx, cy, std::max(0, x0 + w * scale - cx - gapPx), 1, kFaint);
        img.fillRect(cx, top, 1, std::max(0, cy - gapPx - top), kFaint);
        img.fillRect(cx, cy + gapPx, 1, std::max(0, top + h * scale - cy - gapPx), kFaint);
        img.drawRect(x0 - 1, top - 1, w * scale + 2, h * scale + 2, kInk);
        // Orientation: axis h to the right, axis v upwards.
        const int ax = x0 - 40, ay = kTop + panelsHeight + 36;
        drawArrow(img, ax, ay, ax + 30, ay, kInk);
        img.drawText(ax + 34, ay - 6, kAxisNames[p.h], kInk, kText);
        drawArrow(img, ax, ay, ax, ay - 30, kInk);
        img.drawText(ax - 4, ay - 30 - kLine - 2, kAxisNames[p.v], kInk, kText);
        const std::string caption = std::string(kAxisNames[p.fixed]) + " = " + std::to_string(p.at);
        img.drawText(x0 + 20, kTop + panelsHeight + 14, caption, kInk, kText);
        x0 += w * scale + kGap;
    }
    drawColourBar(img, x0, kTop, barHeight, thr, tMax, "T", inferno, 0.45, 1.0);
    if (negatives) drawColourBar(img, x0 + 120, kTop, barHeight, -thr, tMin, "-T", blues, 0.3, 1.0);
    if (s.voxelsAbove == 0)
        img.drawText(kLeft, height - kLine - 4, "NO VOXEL ABOVE THE THRESHOLD", kModelColour,
                     kText);
    return img;
}

RgbImage drawTimeCourse(const VolumeGrid& grid, std::size_t voxel, const std::string& name,
                        bool contrast, float tValue, std::span<const double> series,
                        std::span<const double> fitted, std::span<const double> regressor) {
    const int T = int(series.size());
    if (T < 1 || fitted.size() != series.size() || regressor.size() != series.size())
        return RgbImage(0, 0);
    const double* y = series.data();
    constexpr int kLeft = 100, kRight = 30, kTop = 70, kMainHeight = 260, kPredTop = 380,
                  kPredHeight = 90;
    constexpr int kWidth = 860, kHeight = kPredTop + kPredHeight + 80;
    constexpr int plotWidth = kWidth - kLeft - kRight;
    RgbImage img(kWidth, kHeight);
    const std::array<int, 3> pos = grid.position(voxel);
    img.drawText(
        20, 12,
        "TIME COURSE OF VOXEL " + tripleText(pos) + ", VMR " + tripleText(grid.vmrPosition(pos)),
        kInk, kText);
    img.drawText(
        20, 12 + kLine,
        (contrast ? "CONTRAST " : "PREDICTOR ") + name + ": T = " + formatNumber("%.2f", tValue),
        kInk, kText);

    auto xOf = [&](double t) {
        return kLeft + int(std::lround(T > 1 ? t * (plotWidth - 1) / (T - 1) : plotWidth / 2.0));
    };
    double lo = *std::min_element(y, y + T), hi = *std::max_element(y, y + T);
    for (const double f : fitted) lo = std::min(lo, f), hi = std::max(hi, f);
    if (!(hi > lo)) lo -= 1.0, hi += 1.0;
    const double pad = (hi - lo) * 0.05;
    lo -= pad;
    hi += pad;
    auto yOf = [&](double value, int top, int height, double a, double b) {
        return top + int(std::lround((1.0 - unit(value, a, b)) * (height - 1)));
    };
    auto yAxis = [&](int top, int height, double a, double b, const std::string& label) {
        const std::vector<double> ticks = niceTicks(a, b, 5);
        const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1.0;
        for (const double v : ticks) {
            const int ty = yOf(v, top, height, a, b);
            img.fillRect(kLeft, ty, plotWidth, 1, {235, 235, 235});
            img.fillRect(kLeft - 6, ty, 6, 1, kInk);
            const std::string text = tickLabel(v, step);
            img.drawText(kLeft - 10 - textWidth(text, kText), ty - 6, text, kInk, kText);
        }
        img.drawText(kLeft - 90, top - kLine - 4, label, kInk, kText);
    };
    yAxis(kTop, kMainHeight, lo, hi, "SIGNAL");
    for (int t = 1; t < T; ++t) {
        img.drawLine(xOf(t - 1), yOf(y[t - 1], kTop, kMainHeight, lo, hi), xOf(t),
                     yOf(y[t], kTop, kMainHeight, lo, hi), kDataColour, 1);
    }
    for (int t = 1; t < T; ++t)
        img.drawLine(xOf(t - 1), yOf(fitted[std::size_t(t - 1)], kTop, kMainHeight, lo, hi), xOf(t),
                     yOf(fitted[std::size_t(t)], kTop, kMainHeight, lo, hi), kModelColour, 3);
    img.drawRect(kLeft, kTop, plotWidth, kMainHeight, kInk);
    // Legend, top right inside the plot.
    const int lx = kLeft + plotWidth - 240, ly = kTop + 8;
    img.fillRect(lx - 6, ly - 4, 236, 2 * kLine + 6, kWhite);
    img.fillRect(lx, ly + 6, 24, 2, kDataColour);
    img.drawText(lx + 32, ly, "DATA", kInk, kText);
    img.fillRect(lx, ly + kLine + 5, 24, 3, kModelColour);
    img.drawText(lx + 32, ly + kLine, "FITTED MODEL", kInk, kText);

    double plo = *std::min_element(regressor.begin(), regressor.end());
    double phi = *std::max_element(regressor.begin(), regressor.end());
    if (!(phi > plo)) plo -= 1.0, phi += 1.0;
    yAxis(kPredTop, kPredHeight, plo, phi, contrast ? "CONTRAST" : "PREDICTOR");
    for (int t = 1; t < T; ++t)
        img.drawLine(
            xOf(t - 1), yOf(regressor[std::size_t(t - 1)], kPredTop, kPredHeight, plo, phi), xOf(t),
            yOf(regressor[std::size_t(t)], kPredTop, kPredHeight, plo, phi), kPredictorColour, 2);
    img.drawRect(kLeft, kPredTop, plotWidth, kPredHeight, kInk);

    const std::vector<double> ticks = niceTicks(0.0, std::max(T - 1, 0), 8);
    for (const double t : ticks) {
        const int tx = xOf(t);
        img.fillRect(tx, kPredTop + kPredHeight, 1, 6, kInk);
        img.fillRect(tx, kTop + kMainHeight, 1, 6, kInk);
        const std::string text = formatNumber("%.0f", t);
        img.drawText(tx - textWidth(text, kText) / 2, kPredTop + kPredHeight + 10, text, kInk,
                     kText);
    }
    const std::string xLabel = "VOLUME";
    img.drawText(kLeft + (plotWidth - textWidth(xLabel, kText)) / 2, kHeight - kLine - 8, xLabel,
                 kInk, kText);
    return img;
}

RgbImage drawRoc(const PredictorSummary& statistic) {
    constexpr int kLeft = 110, kTop = 84, kSide = 420;
    constexpr int kWidth = kLeft + kSide + 240, kHeight = kTop + kSide + 90;
    RgbImage img(kWidth, kHeight);
    if (!statistic.truth) return img;
    const TruthEvaluation& e = *statistic.truth;
    img.drawText(20, 12, "ROC OVER |T|: " + statistic.name, kInk, kText);
    img.drawText(20, 12 + kLine,
                 "AREA UNDER THE CURVE " + formatNumber("%.4f", e.roc.area) + ", " +
                     std::to_string(e.roc.planted) + " PLANTED, " + std::to_string(e.roc.noise) +
                     " NOISE VOXELS",
                 kInk, kText);
    auto xOf = [&](double fpr) { return kLeft + int(std::lround(fpr * (kSide - 1))); };
    auto yOf = [&](double tpr) { return kTop + int(std::lround((1.0 - tpr) * (kSide - 1))); };
    for (const double tick : niceTicks(0.0, 1.0, 5)) {
        const std::string label = tickLabel(tick, 0.2);
        img.fillRect(xOf(tick), kTop, 1, kSide, {235, 235, 235});
        img.fillRect(kLeft, yOf(tick), kSide, 1, {235, 235, 235});
        img.fillRect(xOf(tick), kTop + kSide, 1, 6, kInk);
        img.fillRect(kLeft - 6, yOf(tick), 6, 1, kInk);
        img.drawText(xOf(tick) - textWidth(label, kText) / 2, kTop + kSide + 10, label, kInk,
                     kText);
        img.drawText(kLeft - 12 - textWidth(label, kText), yOf(tick) - 6, label, kInk, kText);
    }
    img.drawLine(xOf(0.0), yOf(0.0), xOf(1.0), yOf(1.0), kFaint, 1);
    for (std::size_t i = 1; i < e.roc.points.size(); ++i)
        img.drawLine(xOf(e.roc.points[i - 1][0]), yOf(e.roc.points[i - 1][1]),
                     xOf(e.roc.points[i][0]), yOf(e.roc.points[i][1]), kModelColour, 3);
    img.drawRect(kLeft, kTop, kSide, kSide, kInk);
    img.drawText(kLeft + (kSide - textWidth("FALSE-POSITIVE RATE", kText)) / 2,
                 kTop + kSide + 10 + kLine + 6, "FALSE-POSITIVE RATE", kInk, kText);
    img.drawText(20, kTop - kLine - 10, "TRUE-POSITIVE RATE", kInk, kText);
    // The thresholds as points of the curve, with a legend on the right.
    const Rgb marks[] = {kPredictorColour, kTruthColour, kDataColour};
    int ly = kTop + 10;
    for (std::size_t i = 0; i < statistic.thresholds.size() && i < 3; ++i, ly += kLine + 4) {
        const ThresholdCount& c = statistic.thresholds[i];
        if (!c.truth) continue;
        const double fpr =
            e.roc.noise ? double(c.truth->falsePositives) / double(e.roc.noise) : 0.0;
        img.fillRect(xOf(fpr) - 5, yOf(c.truth->sensitivity) - 5, 11, 11, marks[i]);
        img.fillRect(kLeft + kSide + 20, ly + 1, 11, 11, marks[i]);
        img.drawText(kLeft + kSide + 38, ly, thresholdName(c.kind), kInk, kText);
    }
    return img;
}

RgbImage drawTsnrSlice(const VolumeGrid& grid, const ReportSummary& summary, int z) {
    const int maxDim = std::max({grid.dims[0], grid.dims[1], 1});
    const int scale = std::clamp(420 / maxDim, 1, 10);
    std::vector<float> positive;
    for (const float v : summary.tsnrMap)
        if (v > 0.0f) positive.push_back(v);
    double hi = percentile(positive, 0.995);
    if (!(hi > 0.0)) hi = 1.0;
    const std::vector<double> ticks = niceTicks(0.0, hi, 5);
    if (ticks.size() > 1 && ticks.back() < hi) hi = ticks.back() + (ticks[1] - ticks[0]);

    constexpr int kLeft = 60, kTop = 84;
    const int w = grid.dims[0] * scale, h = grid.dims[1] * scale;
    const int width = kLeft + w + 150, height = kTop + std::max(h, 200) + 70;
    RgbImage img(width, height);
    img.drawText(20, 12, "TSNR = MEAN / SD OVER TIME, Z = " + std::to_string(z), kInk, kText);
    img.drawText(20, 12 + kLine, "MEDIAN TSNR OF THE VTC: " + formatNumber("%.1f", summary.tsnr),
                 kInk, kText);
    for (int y = 0; y < grid.dims[1]; ++y)
        for (int x = 0; x < grid.dims[0]; ++x) {
            const float v = summary.tsnrMap[grid.index(x, y, z)];
            img.fillRect(kLeft + x * scale, kTop + (grid.dims[1] - 1 - y) * scale, scale, scale,
                         viridis(v / hi));
        }
    img.drawRect(kLeft - 1, kTop - 1, w + 2, h + 2, kInk);
    const int ax = kLeft - 40, ay = kTop + h + 36;
    drawArrow(img, ax, ay, ax + 30, ay, kInk);
    img.drawText(ax + 34, ay - 6, "X", kInk, kText);
    drawArrow(img, ax, ay, ax, ay - 30, kInk);
    img.drawText(ax - 4, ay - 30 - kLine - 2, "Y", kInk, kText);
    drawColourBar(img, kLeft + w + 30, kTop, std::max(h, 200), 0.0, hi, "TSNR", viridis, 0.0, 1.0);
    return img;
}

}  // namespace simtrove::analysis
