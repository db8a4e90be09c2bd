#include "analysis/glm.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <vector>

namespace simtrove::analysis {
namespace {

constexpr int kVolumes = 40;

// Two predictors: a block wave and a slow ramp.
std::vector<float> twoPredictors() {
    std::vector<float> x(2 * kVolumes);
    for (int t = 0; t < kVolumes; ++t) {
        x[t] = (t / 5) % 2 ? 1.0f : 0.0f;
        x[kVolumes + t] = float(t) / kVolumes;
    }
    return x;
}

// Deterministic noise-like values of mean about 0 and sd about 1.
double wobble(int t, int voxel) {
    return std::sin(1.7 * t + 0.3 * voxel) * 1.3 + std::cos(0.37 * t * t);
}

// Ordinary least squares in double by the normal equations (X^T X) b = X^T y,
// solved by Gauss-Jordan with partial pivoting; returns b, the diagonal of
// (X^T X)^-1 and RSS.
struct Reference {
    std::vector<double> b, c;
    double rss = 0.0;
};

Reference normalEquations(const std::vector<float>& x, int p, const float* y) {
    const int k = p + 1;
    auto col = [&](int j, int t) { return j < p ? double(x[std::size_t(j) * kVolumes + t]) : 1.0; };
    std::vector<std::vector<double>> a(std::size_t(k), std::vector<double>(std::size_t(2 * k + 1)));
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k; ++j)
            for (int t = 0; t < kVolumes; ++t) a[i][j] += col(i, t) * col(j, t);
        a[i][std::size_t(k + i)] = 1.0;
        for (int t = 0; t < kVolumes; ++t) a[i][std::size_t(2 * k)] += col(i, t) * y[t];
    }
    for (int c = 0; c < k; ++c) {
        int pivot = c;
        for (int r = c + 1; r < k; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        std::swap(a[c], a[pivot]);
        const double d = a[c][c];
        for (double& v : a[c]) v /= d;
        for (int r = 0; r < k; ++r) {
            if (r == c) continue;
            const double f = a[r][c];
            for (int j = 0; j <= 2 * k; ++j) a[r][j] -= f * a[c][j];
        }
    }
    Reference ref;
    for (int j = 0; j < k; ++j) {
        ref.b.push_back(a[j][std::size_t(2 * k)]);
        ref.c.push_back(a[j][std::size_t(k + j)]);
    }
    for (int t = 0; t < kVolumes; ++t) {
        double f = 0.0;
        for (int j = 0; j < k; ++j) f += col(j, t) * ref.b[j];
        ref.rss += (y[t] - f) * (y[t] - f);
    }
    return ref;
}

GlmModel model(const std::vector<float>& x, int p, int volumes = kVolumes) {
    std::string error;
    std::optional<GlmModel> m = GlmModel::create(x, p, volumes, &error);
    EXPECT_TRUE(m) << error;
    return *m;
}

// Coefficients, t values and residual sd of noisy voxels against the normal
// equations in double; tolerance 1e-4 relative (float decomposition).
TEST(GlmFit, MatchesNormalEquationsInDouble) {
    const std::vector<float> x = twoPredictors();
    const GlmModel m = model(x, 2);
    EXPECT_EQ(m.rank(), 3);
    EXPECT_EQ(m.degreesOfFreedom(), std::uint32_t(kVolumes - 3));
    const std::array<std::array<double, 3>, 3> truth = {
        {{3.0, -1.0, 100.0}, {0.0, 0.0, 50.0}, {-20.0, 7.5, 0.0}}};
    std::vector<float> samples;
    for (int v = 0; v < 3; ++v)
        for (int t = 0; t < kVolumes; ++t)
            samples.push_back(float(truth[v][0] * x[t] + truth[v][1] * x[kVolumes + t] +
                                    truth[v][2] + wobble(t, v)));
    const GlmMaps maps = fitVoxels(m, samples);
    ASSERT_EQ(maps.voxels, 3u);
    for (int v = 0; v < 3; ++v) {
        const Reference ref = normalEquations(x, 2, &samples[std::size_t(v) * kVolumes]);
        const double s2 = ref.rss / (kVolumes - 3);
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(maps.coefficient(j, v), ref.b[j], 1e-4 * (1.0 + std::fabs(ref.b[j])));
        for (int j = 0; j < 2; ++j) {
            const double t = ref.b[j] / std::sqrt(s2 * ref.c[j]);
            EXPECT_NEAR(maps.tValue(j, v), t, 1e-4 * (1.0 + std::fabs(t))) << v << " " << j;
        }
        EXPECT_NEAR(maps.residualSd[v], std::sqrt(s2), 1e-5);
        double sum = 0.0, sq = 0.0;
        for (int t = 0; t < kVolumes; ++t) sum += samples[std::size_t(v) * kVolumes + t];
        for (int t = 0; t < kVolumes; ++t)
            sq += std::pow(samples[std::size_t(v) * kVolumes + t] - sum / kVolumes, 2);
        EXPECT_NEAR(maps.mean[v], sum / kVolumes, 1e-4);
        EXPECT_NEAR(maps.sd[v], std::sqrt(sq / (kVolumes - 1)), 1e-5);
    }
}

// Two identical predictors: one direction is not estimable; the weight is
// split equally and the degrees of freedom count independent columns only.
TEST(GlmFit, DuplicatePredictorSharesTheWeight) {
    std::vector<float> x = twoPredictors();
    std::copy(x.begin(), x.begin() + kVolumes, x.begin() + kVolumes);
    const GlmModel m = model(x, 2);
    EXPECT_EQ(m.rank(), 2);
    EXPECT_EQ(m.degreesOfFreedom(), std::uint32_t(kVolumes - 2));
    std::vector<float> y(kVolumes);
    for (int t = 0; t < kVolumes; ++t) y[t] = float(4.0 * x[t] + 10.0 + wobble(t, 0));
    const GlmMaps maps = fitVoxels(m, y);
    EXPECT_NEAR(maps.coefficient(0, 0), maps.coefficient(1, 0), 1e-4);
    EXPECT_NEAR(double(maps.coefficient(0, 0)) + maps.coefficient(1, 0), 4.0, 0.5);
    EXPECT_NEAR(maps.tValue(0, 0), maps.tValue(1, 0), 1e-3);
}

TEST(GlmFit, UndefinedTValuesAreZeroAndExactFitsAreHuge) {
    std::vector<float> x = twoPredictors();
    std::fill(x.begin() + kVolumes, x.end(), 0.0f);  // second predictor never varies
    const GlmModel m = model(x, 2);
    std::vector<float> samples(3 * kVolumes, 7.0f);  // voxel 0: constant
    for (int t = 0; t < kVolumes; ++t) {
        samples[std::size_t(kVolumes + t)] = 100.0f + 2.0f * x[t];  // voxel 1: exact, up
        samples[std::size_t(2 * kVolumes + t)] = 100.0f - 2.0f * x[t] + float(wobble(t, 2));
    }
    const GlmMaps maps = fitVoxels(m, samples);
    EXPECT_EQ(maps.tValue(0, 0), 0.0f);
    EXPECT_EQ(maps.residualSd[0], 0.0f);
    EXPECT_EQ(maps.sd[0], 0.0f);
    EXPECT_GT(maps.tValue(0, 1), 1e4f);
    EXPECT_LT(maps.tValue(0, 2), -1.0f);
    for (int v = 0; v < 3; ++v) EXPECT_EQ(maps.tValue(1, v), 0.0f) << v;
}

// Centred, mutually orthogonal predictors do not inflate each other's
// variance (factor 1); complementary conditions that fill the run after the
// first volumes make each nearly the constant minus the other.
TEST(GlmFit, VarianceInflation) {
    std::vector<float> x(2 * kVolumes);
    for (int t = 0; t < kVolumes; ++t) {
        x[t] = float(t % 2);
        x[kVolumes + t] = float((t / 2) % 2);
    }
    const GlmModel orthogonal = model(x, 2);
    EXPECT_NEAR(orthogonal.varianceInflation(0), 1.0, 1e-5);
    EXPECT_NEAR(orthogonal.varianceInflation(1), 1.0, 1e-5);
    for (int t = 0; t < kVolumes; ++t) {
        x[t] = (t / 5) % 2 ? 1.0f : 0.0f;
        x[kVolumes + t] = t < 1 ? 0.0f : 1.0f - x[t];
    }
    const GlmModel complementary = model(x, 2);
    EXPECT_GT(complementary.varianceInflation(1), 10.0);
    std::fill(x.begin(), x.begin() + kVolumes, 0.5f);
    EXPECT_EQ(model(x, 2).varianceInflation(0), 0.0);  // never varies
}

// Contrast t values against the normal equations in long double, solved here
// independently: c'b / sqrt(s^2 c'(X'X)^-1 c).
TEST(GlmFit, ContrastsMatchNormalEquationsInLongDouble) {
    constexpr int p = 3, k = p + 1;
    std::vector<float> x = twoPredictors();
    for (int t = 0; t < kVolumes; ++t) x.push_back(float(std::sin(0.4 * t)));
    auto col = [&](int j, int t) -> long double {
        return j < p ? x[std::size_t(j) * kVolumes + t] : 1.0L;
    };
    // (X'X)^-1 by Gauss-Jordan on [X'X | I].
    long double a[k][2 * k] = {};
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k; ++j)
            for (int t = 0; t < kVolumes; ++t) a[i][j] += col(i, t) * col(j, t);
        a[i][k + i] = 1.0L;
    }
    for (int c = 0; c < k; ++c) {
        const long double d = a[c][c];  // X'X is positive definite: no pivoting needed
        for (long double& v : a[c]) v /= d;
        for (int r = 0; r < k; ++r)
            if (r != c)
                for (int j = 2 * k - 1; j >= 0; --j) a[r][j] -= a[r][c] * a[c][j];
    }
    const std::vector<std::vector<double>> weights = {{1, -1, 0, 0}, {0.5, 0.5, -1, 0}};
    std::vector<FittedContrast> contrasts;
    const GlmModel m = model(x, p);
    for (const auto& w : weights) {
        ASSERT_TRUE(m.estimable(w));
        contrasts.push_back({w, m.contrastVariance(w)});
    }
    std::vector<float> samples;
    for (int v = 0; v < 2; ++v)
        for (int t = 0; t < kVolumes; ++t)
            samples.push_back(float(100.0 + (v ? 4.0 : 0.5) * x[std::size_t(t)] -
                                    2.0 * x[std::size_t(2 * kVolumes + t)] + wobble(t, v)));
    const GlmMaps maps = fitVoxels(m, samples, contrasts);
    ASSERT_EQ(maps.statistics, p + 2);
    for (int v = 0; v < 2; ++v) {
        const float* y = &samples[std::size_t(v) * kVolumes];
        long double xty[k] = {}, b[k] = {}, rss = 0.0L;
        for (int j = 0; j < k; ++j)
            for (int t = 0; t < kVolumes; ++t) xty[j] += col(j, t) * y[t];
        for (int i = 0; i < k; ++i)
            for (int j = 0; j < k; ++j) b[i] += a[i][k + j] * xty[j];
        for (int t = 0; t < kVolumes; ++t) {
            long double f = 0.0L;
            for (int j = 0; j < k; ++j) f += col(j, t) * b[j];
            rss += (y[t] - f) * (y[t] - f);
        }
        const long double s2 = rss / (kVolumes - k);
        for (std::size_t c = 0; c < weights.size(); ++c) {
            long double effect = 0.0L, var = 0.0L;
            for (int i = 0; i < k; ++i) {
                effect += weights[c][std::size_t(i)] * b[i];
                for (int j = 0; j < k; ++j)
                    var += weights[c][std::size_t(i)] * a[i][k + j] * weights[c][std::size_t(j)];
            }
            const double t = double(effect / std::sqrt(s2 * var));
            EXPECT_NEAR(maps.tValue(p + int(c), std::size_t(v)), t, 1e-4 * (1.0 + std::fabs(t)))
                << v << " " << c;
            EXPECT_NEAR(maps.effect(p + int(c), std::size_t(v)), double(effect),
                        1e-4 * (1.0 + std::fabs(double(effect))));
        }
    }
}

// Conditions that fill the run exactly: the single conditions and their sum
// are not estimable, their difference is.
TEST(GlmFit, EstimabilityWhenConditionsFillTheRun) {
    std::vector<float> x(2 * kVolumes);
    for (int t = 0; t < kVolumes; ++t) {
        x[t] = (t / 5) % 2 ? 1.0f : 0.0f;
        x[kVolumes + t] = 1.0f - x[t];
    }
    const GlmModel m = model(x, 2);
    EXPECT_EQ(m.rank(), 2);
    EXPECT_DOUBLE_EQ(m.constantExplained(), 1.0);
    EXPECT_FALSE(m.estimable(std::vector<double>{1, 0, 0}));
    EXPECT_FALSE(m.estimable(std::vector<double>{1, 1, 0}));
    EXPECT_TRUE(m.estimable(std::vector<double>{1, -1, 0}));
    EXPECT_FALSE(m.estimable(std::vector<double>{1, 1, -1}));  // the dependence itself
    EXPECT_TRUE(m.estimable(std::vector<double>{1, 0, 1}));    // the level in one condition
    EXPECT_LT(model(twoPredictors(), 2).constantExplained(), 0.9);
}

TEST(GlmFit, RefusesDesignsWithoutDegreesOfFreedom) {
    const struct {
        int predictors, volumes;
        std::size_t values;
        const char* error;
    } cases[] = {
        {1, 2, 2, "no degrees of freedom"},
        {0, 1, 0, "no degrees of freedom"},
        {2, 10, 19, "does not match"},
        {0, 0, 0, "has no volumes"},
    };
    for (const auto& c : cases) {
        std::vector<float> x(c.values);
        for (std::size_t i = 0; i < x.size(); ++i) x[i] = float(i % 3);
        std::string error;
        EXPECT_FALSE(GlmModel::create(x, c.predictors, c.volumes, &error));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// Constant-only model: the coefficient is the mean, the residual sd the sd.
TEST(GlmFit, ConstantOnlyModelGivesTheMean) {
    const GlmModel m = model({}, 0, 5);
    const std::vector<float> y = {1, 2, 3, 4, 10};
    const GlmMaps maps = fitVoxels(m, y);
    EXPECT_NEAR(maps.coefficient(0, 0), 4.0f, 1e-5);
    EXPECT_NEAR(maps.residualSd[0], std::sqrt(50.0 / 4.0), 1e-5);
    EXPECT_TRUE(maps.t.empty());
}

}  // namespace
}  // namespace simtrove::analysis
