#include "analysis/calibration.h"

#include <algorithm>
#include <cmath>

#include "analysis/text_format.h"
#include "numerics/stats/significance.h"

namespace simtrove::analysis {
namespace {

constexpr int kQqPoints = 200;

// P(T < t) with df degrees of freedom, through the library's two-tailed p.
double tCdf(double t, std::uint32_t df) {
    const double both = t_prob(float(t), df);
    return t >= 0.0 ? 1.0 - both / 2.0 : both / 2.0;
}

// The t value with lower-tail probability u, by bisection on tCdf.
double tQuantile(double u, std::uint32_t df) {
    double lo = -60.0, hi = 60.0;
    for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        (tCdf(mid, df) < u ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

double percentText(double rate) {
    return rate * 100.0;
}

}  // namespace

std::array<double, 2> wilsonInterval(std::size_t k, std::size_t n) {
    if (n == 0) return {0.0, 1.0};
    constexpr double z = 1.959963984540054;
    const double nn = double(n), phat = double(k) / nn;
    const double centre = (phat + z * z / (2.0 * nn)) / (1.0 + z * z / nn);
    const double half =
        z * std::sqrt(phat * (1.0 - phat) / nn + z * z / (4.0 * nn * nn)) / (1.0 + z * z / nn);
    return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

// Acklam's rational approximation, then one Halley step on erfc.
double normalQuantile(double u) {
    if (!(u > 0.0)) return -INFINITY;
    if (!(u < 1.0)) return INFINITY;
    static constexpr double a[] = {-3.969683028665376e+01, 2.209460984245205e+02,
                                   -2.759285104469687e+02, 1.383577518672690e+02,
                                   -3.066479806614716e+01, 2.506628277459239e+00};
    static constexpr double b[] = {-5.447609879822406e+01, 1.615858368580409e+02,
                                   -1.556989798598866e+02, 6.680131188771972e+01,
                                   -1.328068155288572e+01};
    static constexpr double c[] = {-7.784894002430293e-03, -3.223964580411365e-01,
                                   -2.400758277161838e+00, -2.549732539343734e+00,
                                   4.374664141464968e+00,  2.938163982698783e+00};
    static constexpr double d[] = {7.784695709041462e-03, 3.224671290700398e-01,
                                   2.445134137142996e+00, 3.754408661907416e+00};
    constexpr double low = 0.02425;
    double x;
    if (u < low) {
        const double q = std::sqrt(-2.0 * std::log(u));
        x = (((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
            ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    } else if (u <= 1.0 - low) {
        const double q = u - 0.5, r = q * q;
        x = (((((a[0] * r + a[1]) * r + a[2]) * r + a[3]) * r + a[4]) * r + a[5]) * q /
            (((((b[0] * r + b[1]) * r + b[2]) * r + b[3]) * r + b[4]) * r + 1.0);
    } else {
        const double q = std::sqrt(-2.0 * std::log(1.0 - u));
        x = -(((((c[0] * q + c[1]) * q + c[2]) * q + c[3]) * q + c[4]) * q + c[5]) /
            ((((d[0] * q + d[1]) * q + d[2]) * q + d[3]) * q + 1.0);
    }
    const double e = 0.5 * std::erfc(-x / std::sqrt(2.0)) - u;
    const double step = e * std::sqrt(2.0 * M_PI) * std::exp(x * x / 2.0);
    return x - step / (1.0 + x * step / 2.0);
}

float zFromP(float t, float p, Tail tail) {
    // The z of an upper-tail probability q, from whichever side keeps q's digits.
    auto upperZ = [](double q) {
        if (!(q > 0.0)) return kMaxZ;
        if (!(q < 1.0)) return -kMaxZ;
        return q < 0.5 ? -normalQuantile(q) : normalQuantile(1.0 - q);
    };
    double z = 0.0;
    if (tail == Tail::Positive) z = upperZ(p);
    if (tail == Tail::Negative) z = -upperZ(p);
    if (tail == Tail::Both) z = (t < 0.0f ? -1.0 : 1.0) * upperZ(double(p) / 2.0);
    return float(std::clamp(z, -kMaxZ, kMaxZ));
}

NullCalibration calibrate(std::span<const float> t, std::span<const float> p,
                          std::span<const std::uint8_t> noise, std::uint32_t df,
                          const PCut& bonferroni, const PCut& fdr) {
    NullCalibration c;
    std::vector<float> noiseT;
    for (std::size_t v = 0; v < t.size(); ++v)
        if (noise[v]) noiseT.push_back(t[v]);
    c.noiseVoxels = noiseT.size();
    c.signalFree = c.noiseVoxels == t.size();
    for (const double nominal : kCalibrationLevels) {
        CalibrationLevel level;
        level.nominal = nominal;
        for (std::size_t v = 0; v < p.size(); ++v)
            if (noise[v] && double(p[v]) < nominal) ++level.above;
        if (c.noiseVoxels) level.rate = double(level.above) / double(c.noiseVoxels);
        const std::array<double, 2> interval = wilsonInterval(level.above, c.noiseVoxels);
        level.low = interval[0];
        level.high = interval[1];
        level.asExpected = c.noiseVoxels == 0 || (nominal >= level.low && nominal <= level.high);
        c.levels.push_back(level);
    }
    const double width = 2.0 * kHistogramRange / kHistogramBins;
    for (int i = 0; i <= kHistogramBins; ++i)
        c.histogramEdges.push_back(-kHistogramRange + i * width);
    c.histogramCounts.assign(kHistogramBins, 0);
    for (const float v : noiseT) {
        const int bin = int(std::floor((double(v) + kHistogramRange) / width));
        if (bin >= 0 && bin < kHistogramBins) ++c.histogramCounts[std::size_t(bin)];
    }
    for (int i = 0; i < kHistogramBins; ++i)
        c.histogramExpected.push_back(double(c.noiseVoxels) *
                                      (tCdf(c.histogramEdges[std::size_t(i + 1)], df) -
                                       tCdf(c.histogramEdges[std::size_t(i)], df)));
    if (!noiseT.empty()) {
        std::sort(noiseT.begin(), noiseT.end());
        const std::size_t n = noiseT.size();
        const int points = int(std::min<std::size_t>(n, kQqPoints));
        for (int i = 0; i < points; ++i) {
            // Evenly in probability, with both extremes included.
            const std::size_t k =
                points > 1 ? std::size_t(double(i) * double(n - 1) / double(points - 1)) : 0;
            const double u = (double(k) + 0.5) / double(n);
            c.qq.push_back({tQuantile(u, df), double(noiseT[k])});
        }
    }
    if (c.signalFree) {
        bool any = false;
        std::size_t detected = 0;
        for (const float v : p) {
            any = any || bonferroni.passes(v);
            detected += fdr.passes(v);
        }
        c.familyWiseError = any;
        if (detected) c.falseDiscoveryProportion = 1.0;
    }
    return c;
}

std::string calibrationSentence(const std::string& model, const CalibrationLevel& level) {
    const std::string rate =
        formatNumber(level.nominal < 0.01 ? "%.2f" : "%.1f", percentText(level.rate));
    const std::string nominal = formatNumber("%.3g", percentText(level.nominal));
    const std::string head = model + " on this run's data: " + rate +
                             " % of the noise voxels above p < " +
                             formatNumber("%.3g", level.nominal);
    if (!level.asExpected) return head + " where " + nominal + " % is expected";
    return head + ", as expected (" + nominal + " %; 95 % interval " +
           formatNumber("%.2f", percentText(level.low)) + " to " +
           formatNumber("%.2f", percentText(level.high)) + " %)";
}

}  // namespace simtrove::analysis
