// The engine's noise is what was asked for: every estimate here is computed
// from the generated arrays with estimators written from the definitions (not
// from the generator's code), with fixed seeds and tolerances of 4 standard
// errors unless stated. Small grids, so that the whole file runs in seconds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>

#include "scenario/generator.h"
#include "scenario/scenario_reader.h"

namespace simtrove::scenario {
namespace {

using nlohmann::json;

Scenario scenarioOf(const std::string& text) {
    formats::Result<Scenario> s = readScenario(json::parse(text), ".");
    EXPECT_TRUE(s.ok()) << s.error();
    return s.ok() ? s.value() : Scenario{};
}

const std::vector<float>& component(const SimulatedRun& run, const std::string& name) {
    for (const ComponentArray& c : run.components)
        if (c.name == name) return c.values;
    ADD_FAILURE() << "no component " << name;
    static const std::vector<float> none;
    return none;
}

double meanSquare(const std::vector<float>& x) {
    double sum = 0;
    for (float v : x) sum += double(v) * v;
    return sum / double(x.size());
}

double correlation(const std::vector<float>& a, const std::vector<float>& b) {
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        ab += double(a[i]) * b[i], aa += double(a[i]) * a[i], bb += double(b[i]) * b[i];
    return ab / std::sqrt(aa * bb);
}

// All components at once on 16 x 16 x 8 voxels x 200 volumes.
constexpr const char* kAllComponents = R"({"grid": {"shape": [16, 16, 8], "voxel_mm": 3},
    "time_points": 200, "tr": 2, "baseline": 100,
    "regions": [{"name": "A", "condition": "Task", "percent": 2,
                 "sphere": {"center_voxel": [8, 8, 4], "radius_voxels": 2}}],
    "noise": {"system": {"sd": 2}, "temporal": {"sd": 3, "ar": [0.6]}, "drift": {"sd": 1.5},
              "physiological": {"sd": 1}, "spatial": {"sd": 2, "fwhm_mm": 6}},
    "seed": 11})";

const SimulatedRun& allComponentsRun() {
    static const SimulatedRun run = generate(scenarioOf(kAllComponents), {2, true});
    return run;
}

TEST(Calibration, EachComponentHasTheRequestedSd) {
    const SimulatedRun& run = allComponentsRun();
    const double N = double(run.data.size()), V = 16 * 16 * 8;
    const std::size_t K = 6;  // cosines with period 2 * 200 * 2 / k > 128 s: k = 1 .. 6
    const double sigma = 6.0 / 3.0 / std::sqrt(8 * std::log(2.0));  // spatial kernel, voxels
    // Standard error of the variance estimate (mean square, the mean being 0):
    // sd^2 sqrt(2 / N_eff) with N_eff = N over the sum of squared correlations.
    struct Expected {
        const char* name;
        double sd, varianceError;
    } expected[] = {
        {"system", 2, 4 * std::sqrt(2 / N)},
        {"temporal", 3, 9 * std::sqrt(2 / N * (1 + 0.36) / (1 - 0.36))},
        {"drift", 1.5, 2.25 * std::sqrt(2.0 / (double(K) * V))},
        {"spatial", 2,
         4 * std::sqrt(2 / N * std::pow(2 * std::numbers::pi, 1.5) * std::pow(sigma, 3))},
    };
    for (const Expected& e : expected)
        EXPECT_NEAR(meanSquare(component(run, e.name)), e.sd * e.sd, 4 * e.varianceError) << e.name;
    // Sinusoids with random phases: the variance is A^2 / 2 but for ripples of
    // order 1 / T; 2 % of it.
    EXPECT_NEAR(meanSquare(component(run, "physiological")), 1.0, 0.02);
}

TEST(Calibration, ComponentsAreUncorrelatedAndTheDataAreTheirSum) {
    const SimulatedRun& run = allComponentsRun();
    const double N = double(run.data.size());
    const std::vector<float>& white = component(run, "system");
    for (const char* other : {"temporal", "drift", "physiological", "spatial"})
        EXPECT_NEAR(correlation(white, component(run, other)), 0.0, 4 / std::sqrt(N)) << other;
    // Sum in double of the stored floats in the stated order, rounded once.
    const char* order[] = {"signal", "system", "temporal", "drift", "physiological", "spatial"};
    for (std::size_t i = 0; i < run.data.size(); ++i) {
        double sum = 0;
        for (const char* name : order) sum += double(component(run, name)[i]);
        ASSERT_EQ(run.data[i], float(sum)) << i;
    }
}

TEST(Calibration, TheBytesDoNotDependOnTheThreads) {
    const SimulatedRun& two = allComponentsRun();
    for (int threads : {1, 3}) {
        const SimulatedRun run = generate(scenarioOf(kAllComponents), {threads, true});
        ASSERT_EQ(run.data.size(), two.data.size());
        EXPECT_EQ(std::memcmp(run.data.data(), two.data.data(), run.data.size() * 4), 0) << threads;
        for (std::size_t c = 0; c < run.components.size(); ++c)
            EXPECT_EQ(run.components[c].values, two.components[c].values) << run.components[c].name;
        EXPECT_EQ(run.realised, two.realised);
    }
}

// Mean over voxels of the lag-k sample autocorrelation, and its standard error.
std::pair<double, double> meanAutocorrelation(const std::vector<float>& x, std::size_t V,
                                              std::size_t T, std::size_t k) {
    double sum = 0, squares = 0;
    for (std::size_t v = 0; v < V; ++v) {
        double mean = 0;
        for (std::size_t t = 0; t < T; ++t) mean += x[t * V + v];
        mean /= double(T);
        double num = 0, den = 0;
        for (std::size_t t = 0; t < T; ++t) {
            const double d = x[t * V + v] - mean;
            den += d * d;
            if (t + k < T) num += d * (x[(t + k) * V + v] - mean);
        }
        sum += num / den, squares += (num / den) * (num / den);
    }
    const double mean = sum / double(V);
    return {mean, std::sqrt((squares / double(V) - mean * mean) / double(V))};
}

TEST(Calibration, AutoregressiveNoiseHasItsAutocorrelationFromTheFirstVolume) {
    const std::size_t V = 32 * 32, T = 300;
    const SimulatedRun ar1 = generate(scenarioOf(R"({"grid": {"shape": [32, 32, 1]},
        "time_points": 300, "noise": {"temporal": {"sd": 2, "ar": [0.5]}}, "seed": 5})"),
                                      {2, true});
    const std::vector<float>& x = component(ar1, "temporal");
    // Lag 1: phi biased by about -(1 + 3 phi) / T.
    const auto [r1, se1] = meanAutocorrelation(x, V, T, 1);
    EXPECT_NEAR(r1, 0.5 - 2.5 / double(T), 4 * se1);
    // Stationary from the start: the first volume's variance over voxels is sd^2.
    double first = 0;
    for (std::size_t v = 0; v < V; ++v) first += double(x[v]) * x[v];
    EXPECT_NEAR(first / double(V), 4.0, 4 * 4 * std::sqrt(2.0 / double(V)));

    // AR(2) (0.5, 0.2): rho1 = phi1 / (1 - phi2), rho2 = phi1 rho1 + phi2. Its
    // estimates are biased by about -((1 - rho) S + 1 + 3 rho) / T, S = 6.5 the
    // sum of all its autocorrelations: a long run, and 8 / T added to 4 SE.
    const std::size_t V2 = 16 * 16, T2 = 2000;
    const SimulatedRun ar2 = generate(scenarioOf(R"({"grid": {"shape": [16, 16, 1]},
        "time_points": 2000, "noise": {"temporal": {"sd": 1, "ar": [0.5, 0.2]}}, "seed": 6})"),
                                      {2, true});
    const double rho1 = 0.5 / 0.8, rho2 = 0.5 * rho1 + 0.2;
    const auto [a1, s1] = meanAutocorrelation(component(ar2, "temporal"), V2, T2, 1);
    const auto [a2, s2] = meanAutocorrelation(component(ar2, "temporal"), V2, T2, 2);
    EXPECT_NEAR(a1, rho1, 4 * s1 + 8.0 / double(T2));
    EXPECT_NEAR(a2, rho2, 4 * s2 + 8.0 / double(T2));
    EXPECT_NEAR(meanSquare(component(ar2, "temporal")), 1.0, 0.05);
}

TEST(Calibration, SpatialNoiseHasTheRequestedFwhmUpToTheEdgesWithoutWrapping) {
    // FWHM of 2, 3 and 2 voxels along x, y, z.
    const SimulatedRun run =
        generate(scenarioOf(R"({"grid": {"shape": [24, 20, 16], "voxel_mm": [2, 3, 4]},
        "time_points": 60, "noise": {"spatial": {"sd": 1, "fwhm_mm": [4, 9, 8]}}, "seed": 8})"),
                 {2, true});
    const std::vector<float>& x = component(run, "spatial");
    const std::int64_t X = 24, Y = 20, Z = 16, V = X * Y * Z, T = 60;
    const double fwhmVoxels[3] = {2, 3, 2};
    const std::int64_t step[3] = {1, X, X * Y};
    for (int a = 0; a < 3; ++a) {
        // Lag-1 correlation along the axis; a Gaussian kernel of sd s gives
        // rho1 = exp(-1 / (4 s^2)), so FWHM = sqrt(8 ln 2) s = sqrt(-2 ln 2 / ln rho1).
        double products = 0, squares = 0;
        for (std::int64_t t = 0; t < T; ++t)
            for (std::int64_t z = 0; z < Z; ++z)
                for (std::int64_t y = 0; y < Y; ++y)
                    for (std::int64_t xx = 0; xx < X; ++xx) {
                        const std::int64_t p[3] = {xx, y, z}, dims[3] = {X, Y, Z};
                        if (p[a] + 1 >= dims[a]) continue;
                        const std::int64_t i = t * V + (z * Y + y) * X + xx;
                        products += double(x[std::size_t(i)]) * x[std::size_t(i + step[a])];
                        squares += 0.5 * (double(x[std::size_t(i)]) * x[std::size_t(i)] +
                                          double(x[std::size_t(i + step[a])]) *
                                              x[std::size_t(i + step[a])]);
                    }
        const double fwhm = std::sqrt(-2 * std::log(2.0) / std::log(products / squares));
        EXPECT_NEAR(fwhm, fwhmVoxels[a], 0.03 * fwhmVoxels[a]) << "axis " << a;
    }
    // The variance on the faces x = 0 and x = X - 1 is that of the whole
    // grid (10 %: the face holds a few hundred effectively independent values
    // per volume), and the opposite faces are not correlated (no wrapping).
    double face = 0, opposite = 0, cross = 0;
    for (std::int64_t t = 0; t < T; ++t)
        for (std::int64_t z = 0; z < Z; ++z)
            for (std::int64_t y = 0; y < Y; ++y) {
                const double a = x[std::size_t(t * V + (z * Y + y) * X)],
                             b = x[std::size_t(t * V + (z * Y + y) * X + X - 1)];
                face += a * a, opposite += b * b, cross += a * b;
            }
    const double n = double(T * Y * Z);
    EXPECT_NEAR(face / n, 1.0, 0.1);
    EXPECT_NEAR(opposite / n, 1.0, 0.1);
    EXPECT_NEAR(cross / std::sqrt(face * opposite), 0.0, 0.1);
}

TEST(Calibration, DriftHasNoPowerAboveTheCutOff) {
    const SimulatedRun& run = allComponentsRun();
    const std::vector<float>& x = component(run, "drift");
    const std::size_t V = 16 * 16 * 8, T = 200, K = 6;
    double above = 0, total = 0;
    for (std::size_t v = 0; v < V; v += 7)
        for (std::size_t k = 1; k < T; ++k) {
            // Power at the cosine of period 2 T tr / k.
            double c = 0;
            for (std::size_t t = 0; t < T; ++t)
                c += x[t * V + v] * std::cos(std::numbers::pi * double(k) * (t + 0.5) / double(T));
            (k > K ? above : total) += c * c;
        }
    EXPECT_LT(above, 1e-9 * total);
}

TEST(Calibration, PhysiologicalNoiseIsRecoveredAtItsAliasedFrequencies) {
    const SimulatedRun& run = allComponentsRun();
    const std::vector<float>& x = component(run, "physiological");
    const std::size_t V = 16 * 16 * 8, T = 200;
    // Sampled every 2 s: 1.17 Hz appears at 0.17 Hz, 0.3 Hz at 0.2 Hz.
    const double frequencies[2] = {0.17, 0.2};
    const double amplitudes[2] = {std::sqrt(2 * 0.5), std::sqrt(2 * 0.5)};
    for (std::size_t v = 0; v < V; v += 97) {
        // Least squares on sin and cos of both frequencies (normal equations, 4 x 4).
        double basis[4][200], a[4][5] = {};
        for (std::size_t t = 0; t < T; ++t)
            for (int f = 0; f < 2; ++f) {
                basis[2 * f][t] = std::sin(2 * std::numbers::pi * frequencies[f] * 2.0 * double(t));
                basis[2 * f + 1][t] =
                    std::cos(2 * std::numbers::pi * frequencies[f] * 2.0 * double(t));
            }
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j)
                for (std::size_t t = 0; t < T; ++t) a[i][j] += basis[i][t] * basis[j][t];
            for (std::size_t t = 0; t < T; ++t) a[i][4] += basis[i][t] * x[t * V + v];
        }
        for (int i = 0; i < 4; ++i)
            for (int r = 0; r < 4; ++r)
                if (r != i) {
                    const double f = a[r][i] / a[i][i];
                    for (int c = 0; c < 5; ++c) a[r][c] -= f * a[i][c];
                }
        for (int f = 0; f < 2; ++f) {
            const double s = a[2 * f][4] / a[2 * f][2 * f],
                         c = a[2 * f + 1][4] / a[2 * f + 1][2 * f + 1];
            EXPECT_NEAR(std::hypot(s, c), amplitudes[f], 1e-4)
                << "voxel " << v << " frequency " << f;
        }
    }
}

TEST(Calibration, RicianBackgroundHasTheRayleighMeanAndSd) {
    const SimulatedRun run = generate(scenarioOf(R"({"grid": {"shape": [32, 32, 4]}, "baseline": 0,
        "time_points": 100, "noise": {"system": {"sd": 2, "distribution": "rician"}}, "seed": 4})"),
                                      {2, false});
    const double n = double(run.data.size());
    double sum = 0, squares = 0;
    for (float v : run.data) sum += v, squares += double(v) * v;
    const double mean = sum / n, sd = std::sqrt(squares / n - mean * mean);
    // Rayleigh: mean sd sqrt(pi / 2), sd sd sqrt(2 - pi / 2); standard errors
    // 0.6551 sd / sqrt(n) and about 0.75 * 0.6551 sd / sqrt(n).
    EXPECT_NEAR(mean, 1.2533 * 2, 4 * 0.6551 * 2 / std::sqrt(n));
    EXPECT_NEAR(sd, 0.6551 * 2, 4 * 0.75 * 0.6551 * 2 / std::sqrt(n));
}

TEST(Calibration, PlantedPercentIsRecoveredAndLateEventsDoNotWrap) {
    const SimulatedRun run =
        generate(scenarioOf(R"({"grid": {"shape": [12, 12, 6]}, "time_points": 300,
        "regions": [{"name": "A", "condition": "Task", "percent": 2,
                     "sphere": {"center_voxel": [6, 6, 3], "radius_voxels": 2}}],
        "noise": {"system": {"sd": 3}}, "seed": 2})"),
                 {2, true});
    const std::size_t V = 12 * 12 * 6, T = 300;
    const std::vector<float>& task = run.design[1].values;
    std::vector<double> mean(T, 0.0);
    std::size_t count = 0;
    for (std::size_t v = 0; v < V; ++v)
        if (run.labels[v] == 2) {
            ++count;
            for (std::size_t t = 0; t < T; ++t) mean[t] += run.data[t * V + v];
        }
    ASSERT_EQ(count, 33u);
    double mx = 0, my = 0;
    for (std::size_t t = 0; t < T; ++t) mean[t] /= double(count), mx += task[t], my += mean[t];
    mx /= double(T), my /= double(T);
    double sxy = 0, sxx = 0;
    for (std::size_t t = 0; t < T; ++t)
        sxy += (task[t] - mx) * (mean[t] - my), sxx += (task[t] - mx) * (task[t] - mx);
    // Slope in percent of the baseline 100; standard error (3 / sqrt(33)) / sqrt(Sxx).
    EXPECT_NEAR(sxy / sxx, 2.0, 4 * 3 / std::sqrt(33.0) / std::sqrt(sxx));

    // An event in the last volumes: the signal at the run's start is the
    // baseline exactly (the convolution does not wrap the end onto the start).
    Scenario lateScenario = scenarioOf(R"({"grid": {"shape": [4, 4, 4]}, "time_points": 60,
        "regions": [{"name": "A", "condition": 1, "voxels": [[1, 1, 1]]}], "noise": {}})");
    lateScenario.design.protocol = {{{"Late", {{58, 60}}}}};
    const SimulatedRun late = generate(lateScenario, {1, true});
    const std::vector<float>& signal = component(late, "signal");
    const std::size_t voxel = (1 * 4 + 1) * 4 + 1;
    for (std::size_t t = 0; t < 57; ++t) EXPECT_EQ(signal[t * 64 + voxel], 100.0f) << t;
    EXPECT_GT(signal[59 * 64 + voxel], 100.0f);
}

}  // namespace
}  // namespace simtrove::scenario
