// The AR(1) model and the drift regressors against independent references:
// a direct generalised-least-squares fit with the covariance written out, the
// false-positive rate on null AR(1) noise, and a planted drift.
#include "analysis/prewhitening.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis/drift.h"
#include "analysis/report_analysis.h"

namespace simtrove::analysis {
namespace {

// Rest and task alternating every 10 volumes.
std::vector<float> blockDesign(int volumes) {
    std::vector<float> x(static_cast<std::size_t>(volumes));
    for (int t = 0; t < volumes; ++t) x[std::size_t(t)] = (t / 10) % 2 ? 1.0f : 0.0f;
    return x;
}

// Stationary AR(1) noise of unit innovation sd, `voxels` time courses of `volumes`.
std::vector<float> ar1Noise(std::size_t voxels, int volumes, double phi, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> w(0.0, 1.0);
    std::vector<float> y;
    y.reserve(voxels * std::size_t(volumes));
    for (std::size_t v = 0; v < voxels; ++v) {
        double e = w(rng) / std::sqrt(1.0 - phi * phi);
        for (int t = 0; t < volumes; ++t) {
            if (t > 0) e = phi * e + w(rng);
            y.push_back(float(100.0 + e));
        }
    }
    return y;
}

// Solves A x = b (n x n, row after row) by Gauss-Jordan elimination with
// partial pivoting; A and b are overwritten.
std::vector<double> solve(std::vector<double> a, std::vector<double> b, int n) {
    const int m = int(b.size()) / n;  // right-hand sides, row after row
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[std::size_t(r * n + c)]) > std::fabs(a[std::size_t(pivot * n + c)]))
                pivot = r;
        for (int k = 0; k < n; ++k)
            std::swap(a[std::size_t(c * n + k)], a[std::size_t(pivot * n + k)]);
        for (int k = 0; k < m; ++k)
            std::swap(b[std::size_t(c * m + k)], b[std::size_t(pivot * m + k)]);
        for (int r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = a[std::size_t(r * n + c)] / a[std::size_t(c * n + c)];
            for (int k = 0; k < n; ++k) a[std::size_t(r * n + k)] -= f * a[std::size_t(c * n + k)];
            for (int k = 0; k < m; ++k) b[std::size_t(r * m + k)] -= f * b[std::size_t(c * m + k)];
        }
    }
    for (int r = 0; r < n; ++r)
        for (int k = 0; k < m; ++k) b[std::size_t(r * m + k)] /= a[std::size_t(r * n + r)];
    return b;
}

// t of the task coefficient by b = (X'V^-1 X)^-1 X'V^-1 y with V_ij = rho^|i-j|
// (the scale of V cancels in t), s^2 = r'V^-1 r / (T - 2).
double directGlsT(const std::vector<float>& x, const float* y, int T, double rho) {
    std::vector<double> v(std::size_t(T) * std::size_t(T)), rhs(std::size_t(T) * 3);
    for (int i = 0; i < T; ++i) {
        for (int j = 0; j < T; ++j) v[std::size_t(i * T + j)] = std::pow(rho, std::abs(i - j));
        rhs[std::size_t(i * 3)] = x[std::size_t(i)];
        rhs[std::size_t(i * 3 + 1)] = 1.0;
        rhs[std::size_t(i * 3 + 2)] = y[i];
    }
    const std::vector<double> vi = solve(v, rhs, T);  // V^-1 [x 1 y]
    auto dot = [&](int a, int b) {                    // columns of [x 1 y]' V^-1 [x 1 y]
        double s = 0.0;
        for (int i = 0; i < T; ++i) {
            const double left = a == 0 ? x[std::size_t(i)] : a == 1 ? 1.0 : y[i];
            s += left * vi[std::size_t(i * 3 + b)];
        }
        return s;
    };
    const double xx = dot(0, 0), x1 = dot(0, 1), o = dot(1, 1), xy = dot(0, 2), oy = dot(1, 2),
                 yy = dot(2, 2);
    const double det = xx * o - x1 * x1;
    const double b0 = (o * xy - x1 * oy) / det, b1 = (xx * oy - x1 * xy) / det;
    const double rss = yy - b0 * xy - b1 * oy;  // r'V^-1 r at the GLS solution
    return b0 / std::sqrt(rss / (T - 2) * o / det);
}

TEST(Prewhitening, TMatchesADirectGlsFit) {
    constexpr int T = 120;
    const std::vector<float> x = blockDesign(T);
    std::string error;
    const auto model = GlmModel::create(x, 1, T, &error);
    ASSERT_TRUE(model) << error;
    for (const double rho : {0.0, 0.4, -0.3, 0.8}) {
        std::vector<float> y = ar1Noise(1, T, rho, 11);
        for (int t = 0; t < T; ++t) y[std::size_t(t)] += 0.8f * x[std::size_t(t)];
        const std::vector<float> rhoMap = {float(rho)};
        const auto maps = fitVoxelsAr1(*model, y, rhoMap, {}, 1);
        ASSERT_TRUE(maps) << maps.error();
        const double expected = directGlsT(x, y.data(), T, rho);
        // 1e-3 relative: the decomposition is in single precision and the data sit on
        // a baseline of 100, so a coefficient keeps about four digits.
        EXPECT_NEAR(maps.value().tValue(0, 0), expected, 1e-3 * std::fabs(expected)) << rho;
        EXPECT_EQ(maps.value().degreesOfFreedom, std::uint32_t(T - 2));
    }
}

TEST(Prewhitening, CorrectedAutocorrelationIsUnbiased) {
    // 2000 voxels of 200 volumes: the mean of rho has a standard error of about
    // 0.07 / sqrt(2000) = 0.0016; the raw white-noise estimate sits near -0.01
    // to -0.02 below 0 for this design, the corrected one within 0.006 (about
    // four standard errors) of the truth.
    constexpr int T = 200;
    std::string error;
    const auto model = GlmModel::create(blockDesign(T), 1, T, &error);
    ASSERT_TRUE(model) << error;
    const AutocorrelationBias bias = autocorrelationBias(*model);
    EXPECT_LT(bias.whiteNoise(), -0.004);
    for (const double phi : {0.0, 0.4}) {
        const std::vector<float> y = ar1Noise(2000, T, phi, 5);
        const std::vector<float> rho = estimateAutocorrelation(*model, y, bias);
        double mean = 0.0;
        for (const float r : rho) mean += r;
        mean /= double(rho.size());
        EXPECT_NEAR(mean, phi, 0.006) << phi;
    }
}

// Null AR(1) data (phi 0.4) on a 14 x 14 x 14 grid of independent voxels: the
// report's calibration at p < 0.05 (one-sided), for both noise models and
// three seeds. Ordinary least squares ignores the positive autocorrelation of
// a slow block design's noise and runs far above 5 % (about 12 %); AR(1)
// prewhitening keeps the rate inside its 95 % binomial interval.
TEST(Prewhitening, NullFalsePositiveRateIsNominalOnlyWithAr1) {
    constexpr int T = 160;
    ReportInput in;
    in.grid = {{14, 14, 14}, {0, 0, 0}, 3};
    in.volumes = T;
    in.design.names = {"Task"};
    in.design.volumes = T;
    in.design.values = blockDesign(T);
    in.truth.assign(in.grid.voxels(), 0);
    in.date = "fixed";
    for (const unsigned seed : {1u, 2u, 3u}) {
        in.samples = ar1Noise(in.grid.voxels(), T, 0.4, seed);
        for (const NoiseModel m : {NoiseModel::Ols, NoiseModel::Ar1}) {
            in.noiseModel = m;
            const auto r = analyseReport(in);
            ASSERT_TRUE(r) << r.error();
            ASSERT_TRUE(r.value().statistics[0].calibration);
            const NullCalibration& c = *r.value().statistics[0].calibration;
            EXPECT_TRUE(c.signalFree);
            const CalibrationLevel& at05 = c.levels[0];
            ASSERT_EQ(at05.nominal, 0.05);
            if (m == NoiseModel::Ols) {
                EXPECT_GT(at05.rate, 0.09) << seed;
                EXPECT_FALSE(at05.asExpected) << seed;
            } else {
                EXPECT_TRUE(at05.asExpected) << seed << ": " << at05.rate;
            }
        }
    }
}

TEST(Drift, HighPassRemovesAPlantedDrift) {
    // Periods down to 100 s on 200 volumes of 2 s: k <= floor(2 * 400 / 100) = 8.
    EXPECT_EQ(driftRegressors(200, 2.0, 100.0).size(), 8u);
    EXPECT_EQ(driftRegressors(200, 2.0, 1000.0).size(), 0u);
    constexpr int T = 200;
    const std::vector<float> x = blockDesign(T);
    // White noise of sd 1 plus a slow ramp and a half cosine, 20 units in all.
    std::vector<float> y = ar1Noise(50, T, 0.0, 9);
    for (std::size_t v = 0; v < 50; ++v)
        for (int t = 0; t < T; ++t)
            y[v * T + std::size_t(t)] += float(10.0 * t / T + 10.0 * std::cos(3.14159 * t / T));
    std::vector<float> withDrift = x;
    for (const std::vector<double>& d : driftRegressors(T, 2.0, 100.0))
        for (const double value : d) withDrift.push_back(float(value));
    std::string error;
    const auto plain = GlmModel::create(x, 1, T, &error);
    const auto filtered = GlmModel::create(withDrift, 9, T, &error);
    ASSERT_TRUE(plain && filtered) << error;
    const GlmMaps a = fitVoxels(*plain, y), b = fitVoxels(*filtered, y, {}, 1);
    double sdPlain = 0.0, sdFiltered = 0.0;
    for (std::size_t v = 0; v < 50; ++v) sdPlain += a.residualSd[v], sdFiltered += b.residualSd[v];
    EXPECT_GT(sdPlain / 50, 3.0);             // the drift stays in the residuals
    EXPECT_NEAR(sdFiltered / 50, 1.0, 0.05);  // only the noise is left
    EXPECT_EQ(b.statistics, 1);               // the drift regressors are not tested
}

}  // namespace
}  // namespace simtrove::analysis
