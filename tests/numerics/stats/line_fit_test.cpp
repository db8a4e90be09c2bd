#include "numerics/stats/line_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tests/numerics/numerics_testing.h"

using simtrove::testing::closedFormQ;
using simtrove::testing::fatalText;

namespace {

struct Fit {
    float a = 0, b = 0, sigma_a = 0, sigma_b = 0, chi_sq = 0, q = 0;
};

// x, y, sigma given 0-based; the routine sees them 1-based.
Fit fit(const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& sigma,
        int weighted) {
    std::vector<float> vx{0}, vy{0}, vs{0};
    vx.insert(vx.end(), x.begin(), x.end());
    vy.insert(vy.end(), y.begin(), y.end());
    vs.insert(vs.end(), sigma.begin(), sigma.end());
    Fit f;
    fit_line(vx.data(), vy.data(), int(x.size()), weighted ? vs.data() : nullptr, weighted, &f.a,
             &f.b, &f.sigma_a, &f.sigma_b, &f.chi_sq, &f.q);
    return f;
}

TEST(FitLine, ExactLineWithAndWithoutWeights) {
    const std::vector<float> x = {1, 2, 3}, y = {1, 3, 5}, ones = {1, 1, 1};
    Fit f = fit(x, y, ones, 0);
    EXPECT_EQ(f.a, -1.0f);
    EXPECT_EQ(f.b, 2.0f);
    EXPECT_EQ(f.chi_sq, 0.0f);
    EXPECT_EQ(f.q, 1.0f);
    EXPECT_EQ(f.sigma_a, 0.0f);
    EXPECT_EQ(f.sigma_b, 0.0f);
    f = fit(x, y, ones, 1);
    EXPECT_EQ(f.a, -1.0f);
    EXPECT_EQ(f.b, 2.0f);
    EXPECT_EQ(f.chi_sq, 0.0f);
    EXPECT_NEAR(f.sigma_a, std::sqrt(7.0 / 3.0), 2e-7);
    EXPECT_NEAR(f.sigma_b, std::sqrt(0.5), 2e-7);
    EXPECT_EQ(f.q, 1.0f);
}

// Reference: weighted least squares by the normal equations in double, with q from the
// closed form of Q(5, chi^2 / 2) for n = 12. Tolerance: relative 1e-5 (float sums).
TEST(FitLine, AgreesWithDoubleLeastSquares) {
    const int n = 12;
    std::mt19937 gen(5);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::uniform_real_distribution<float> spread(0.5f, 2.0f);
    std::vector<float> x(n), y(n), sigma(n);
    for (int i = 0; i < n; ++i) {
        x[i] = float(i) * 0.75f + 2.0f;
        sigma[i] = spread(gen);
        y[i] = 3.0f - 1.25f * x[i] + sigma[i] * noise(gen);
    }
    for (int weighted : {0, 1}) {
        double s = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
        for (int i = 0; i < n; ++i) {
            const double w = weighted ? 1.0 / (double(sigma[i]) * sigma[i]) : 1.0;
            s += w;
            sx += w * x[i];
            sy += w * y[i];
            sxx += w * x[i] * x[i];
            sxy += w * x[i] * y[i];
        }
        const double delta = s * sxx - sx * sx;
        const double a = (sxx * sy - sx * sxy) / delta, b = (s * sxy - sx * sy) / delta;
        double chi = 0;
        for (int i = 0; i < n; ++i) {
            const double r = (y[i] - a - b * x[i]) / (weighted ? sigma[i] : 1.0);
            chi += r * r;
        }
        const double scale = weighted ? 1.0 : std::sqrt(chi / (n - 2));
        const Fit f = fit(x, y, sigma, weighted);
        EXPECT_NEAR(f.a, a, 1e-5 * std::fabs(a)) << weighted;
        EXPECT_NEAR(f.b, b, 1e-5 * std::fabs(b)) << weighted;
        EXPECT_NEAR(f.sigma_a, std::sqrt(sxx / delta) * scale,
                    1e-5 * std::sqrt(sxx / delta) * scale);
        EXPECT_NEAR(f.sigma_b, std::sqrt(s / delta) * scale, 1e-5 * std::sqrt(s / delta) * scale);
        EXPECT_NEAR(f.chi_sq, chi, 1e-4 * chi);
        EXPECT_NEAR(f.q, weighted ? closedFormQ(5, chi / 2) : 1.0, 1e-5);
    }
}

TEST(FitLine, WeightedWithTwoPointsEndsInGammq) {
    EXPECT_EXIT(fit({1, 2}, {1, 3}, {1, 1}, 1), ::testing::ExitedWithCode(1),
                fatalText("Invalid arguments in routine gammq"));
}

struct Sums {
    float n = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
};

TEST(RunningCorrelation, ProportionalPairs) {
    Sums s;
    float r = -9;
    const float pairs[][2] = {{1, 2}, {2, 4}, {3, 6}};
    const float expected[] = {0, 1, 1};
    for (int i = 0; i < 3; ++i) {
        running_correlation_update(pairs[i][0], pairs[i][1], &s.n, &s.sx, &s.sy, &s.sxx, &s.syy,
                                   &s.sxy, &r);
        EXPECT_NEAR(r, expected[i], 1e-7) << i;
    }
    EXPECT_EQ(s.n, 3.0f);
}

// Expected values worked by hand from the update rule (deviations from the running
// means): after (1,1), (2,3), (3,5), (4,4) Sxx = 7/2 and Sxy = 29/8, so b = 29/28 and
// a = 13/4 - (29/28)(5/2) = 37/56; a two-pass fit would give b = 1.1. Relative 2e-7.
TEST(RunningRegression, HandWorkedSequences) {
    struct Row {
        std::vector<std::pair<float, float>> pairs;
        double a, b, mean_y;
    };
    const Row rows[] = {
        {{{1, 2}, {2, 4}, {3, 6}}, 0.0, 2.0, 4.0},
        {{{1, 1}, {2, 3}, {3, 5}, {4, 4}}, 37.0 / 56.0, 29.0 / 28.0, 3.25},
        {{{2.5f, -7}}, -7.0, 0.0, -7.0},
    };
    for (const Row& row : rows) {
        Sums s;
        float a = -9, b = -9, mean_y = -9;
        for (auto [x, y] : row.pairs)
            running_regression_update(x, y, &s.n, &s.sx, &s.sy, &s.sxx, &s.syy, &s.sxy, &a, &b,
                                      &mean_y);
        EXPECT_NEAR(a, row.a, 2e-7 * std::fabs(row.a) + 1e-7);
        EXPECT_NEAR(b, row.b, 2e-7 * std::fabs(row.b));
        EXPECT_NEAR(mean_y, row.mean_y, 2e-7 * std::fabs(row.mean_y));
    }
}

// One set of sums may be fed to either routine.
TEST(RunningSums, SharedBetweenBothUpdates) {
    Sums s;
    float r = 0, a = 0, b = 0, mean_y = 0;
    running_correlation_update(1, 1, &s.n, &s.sx, &s.sy, &s.sxx, &s.syy, &s.sxy, &r);
    running_regression_update(2, 3, &s.n, &s.sx, &s.sy, &s.sxx, &s.syy, &s.sxy, &a, &b, &mean_y);
    running_correlation_update(3, 5, &s.n, &s.sx, &s.sy, &s.sxx, &s.syy, &s.sxy, &r);
    running_regression_update(4, 4, &s.n, &s.sx, &s.sy, &s.sxx, &s.syy, &s.sxy, &a, &b, &mean_y);
    EXPECT_NEAR(b, 29.0 / 28.0, 2e-7);
    EXPECT_NEAR(a, 37.0 / 56.0, 2e-7);
}

}  // namespace
