#include "numerics/fit/marquardt.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/numerics/linalg/offset_matrix.h"

namespace {

// Owns the arrays of one fit and drives the calling protocol.
struct Fit {
    OffsetVector x, y, sigma, a;
    std::vector<int> flags;  // flags[0] unused
    OffsetMatrix covariance, curvature;
    model_function model;
    float chi_square = -1.0f;
    float damping = -1.0f;

    Fit(const std::vector<double>& xs, const std::vector<double>& ys,
        const std::vector<double>& start, model_function m, std::vector<int> fit_flags = {})
        : x(int(xs.size())),
          y(int(xs.size())),
          sigma(int(xs.size())),
          a(int(start.size())),
          flags(start.size() + 1, 1),
          covariance(int(start.size()), int(start.size())),
          curvature(int(start.size()), int(start.size())),
          model(m) {
        for (int i = 1; i <= x.size(); ++i) {
            x[i] = float(xs[i - 1]);
            y[i] = float(ys[i - 1]);
            sigma[i] = 1.0f;
        }
        for (int l = 1; l <= a.size(); ++l) a[l] = float(start[l - 1]);
        for (size_t l = 0; l < fit_flags.size(); ++l) flags[l + 1] = fit_flags[l];
    }
    void step() {
        marquardt_step(x.get(), y.get(), sigma.get(), x.size(), a.get(), flags.data(), a.size(),
                       covariance.get(), curvature.get(), &chi_square, model, &damping);
    }
    void start() {
        damping = -1.0f;
        step();
    }
    void finish() {
        damping = 0.0f;
        step();
    }
    // Steps until the damping shows that no step lowers chi^2 any more.
    void converge() {
        start();
        for (int it = 0; it < 1000 && damping < 1e8f; ++it) step();
        finish();
    }
};

// y = a1 + a2 x + a3 x^2, linear in its parameters.
void quadraticModel(float x, float a[], float* y, float derivs[], int) {
    *y = float(a[1] + double(a[2]) * x + double(a[3]) * x * x);
    derivs[1] = 1.0f;
    derivs[2] = x;
    derivs[3] = float(double(x) * x);
}

// y = a1 (1 - exp(-a2 x))
void saturationModel(float x, float a[], float* y, float derivs[], int) {
    const double e = std::exp(-double(a[2]) * x);
    *y = float(a[1] * (1.0 - e));
    derivs[1] = float(1.0 - e);
    derivs[2] = float(double(a[1]) * x * e);
}

// y = a1 + a2 x; a3 has no influence at all.
void idleParameterModel(float x, float a[], float* y, float derivs[], int) {
    *y = float(a[1] + double(a[2]) * x);
    derivs[1] = 1.0f;
    derivs[2] = x;
    derivs[3] = 0.0f;
}

TEST(MarquardtStep, InitialisingCallMakesOneStep) {
    Fit fit({0, 1, 2, 3}, {1, 2.5, 5, 9}, {0, 0, 0}, quadraticModel);
    fit.start();
    // 0.001 as a float, times 0.1 in double: a linear model's first step is accepted.
    EXPECT_EQ(fit.damping, float(0.001f * 0.1));
    fit.finish();
}

// At an exact solution chi^2 is 0 and the step is 0: the trial's chi^2 equals
// the best one exactly, which counts as a rejection.
TEST(MarquardtStep, EqualChiSquareIsRejected) {
    Fit fit({0, 1, 2, 3}, {1, 3, 7, 13}, {1, 1, 1}, quadraticModel);
    fit.start();
    EXPECT_EQ(fit.chi_square, 0.0f);
    EXPECT_EQ(fit.damping, float(0.001f * 10.0));
    fit.step();
    EXPECT_EQ(fit.damping, float(float(0.001f * 10.0) * 10.0));
    fit.finish();
}

// With a2 held fixed the fit is linear in (a1, a3); its covariance is the
// inverse of the 2x2 normal matrix sum (1, x^2)^T (1, x^2) (closed form in
// double), spread to positions (1,1), (1,3), (3,1), (3,3); row and column 2 are 0.
TEST(MarquardtStep, FixedParameterGetsZeroCovariance) {
    const std::vector<double> xs{-2, -1, 0, 1, 2, 3};
    std::vector<double> ys;
    for (double x : xs) ys.push_back(0.5 + 0.25 * x + 2 * x * x + (x == 1 ? 0.1 : 0));
    Fit fit(xs, ys, {0, 0.25, 1}, quadraticModel, {1, 0, 1});
    fit.converge();
    EXPECT_EQ(fit.a[2], 0.25f);
    double s0 = 0, s2 = 0, s4 = 0;
    for (double x : xs) {
        s0 += 1;
        s2 += x * x;
        s4 += x * x * x * x;
    }
    const double det = s0 * s4 - s2 * s2;
    EXPECT_NEAR(fit.covariance[1][1], s4 / det, 1e-5 * s4 / det);
    EXPECT_NEAR(fit.covariance[3][3], s0 / det, 1e-5 * s0 / det);
    EXPECT_NEAR(fit.covariance[1][3], -s2 / det, 1e-5 * s2 / det);
    EXPECT_NEAR(fit.covariance[3][1], -s2 / det, 1e-5 * s2 / det);
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(fit.covariance[2][k], 0.0f);
        EXPECT_EQ(fit.covariance[k][2], 0.0f);
    }
}

TEST(MarquardtStep, GaussianFromNearbyStart) {
    std::vector<double> xs, ys;
    for (int i = 0; i <= 20; ++i) {
        xs.push_back(i * 0.125);
        ys.push_back(2.0 * std::exp(-std::pow((xs.back() - 1.0) / 0.5, 2)));
    }
    Fit fit(xs, ys, {1.7, 1.15, 0.6}, gaussian_sum_model);
    fit.converge();
    EXPECT_NEAR(fit.a[1], 2.0f, 2e-6f);
    EXPECT_NEAR(fit.a[2], 1.0f, 2e-6f);
    EXPECT_NEAR(fit.a[3], 0.5f, 2e-6f);
    EXPECT_LT(fit.chi_square, 1e-10f);
}

TEST(MarquardtStep, FinalCallLeavesParametersAndChiSquare) {
    Fit fit({0, 1, 2, 3, 4}, {0.1, 1.2, 3.8, 9.1, 16.3}, {0, 1, 0.5}, quadraticModel);
    fit.start();
    fit.step();
    const std::vector<float> a{fit.a[1], fit.a[2], fit.a[3]};
    const float chi = fit.chi_square;
    fit.finish();
    EXPECT_EQ(std::vector<float>({fit.a[1], fit.a[2], fit.a[3]}), a);
    EXPECT_EQ(fit.chi_square, chi);
}

// A second initialising call abandons the fit in progress and starts afresh.
TEST(MarquardtStep, RestartAbandonsTheFitInProgress) {
    Fit first({0, 1, 2, 3}, {1, 2.5, 5, 9}, {0, 0, 0}, quadraticModel);
    first.start();
    Fit second({0, 1, 2, 3}, {1, 3, 7, 13}, {0, 0, 0}, quadraticModel, {1, 1, 0});
    second.converge();
    EXPECT_EQ(second.covariance[3][3], 0.0f);
}

// Misra1a (NIST Statistical Reference Datasets, nonlinear regression, lower
// difficulty): y = b1 (1 - exp(-b2 x)), 14 observations. Certified values:
// b1 = 2.3894212918E+02 (sd 2.7070075241E+00), b2 = 5.5015643181E-04
// (sd 7.2668688436E-06), residual sum of squares 1.2455138894E-01, 12 degrees
// of freedom. Both certified starting points; the tolerances allow for float.
TEST(MarquardtStep, CertifiedMisra1a) {
    const std::vector<double> xs{77.6,  114.9, 141.1, 190.8, 239.9, 289.0, 332.8,
                                 378.4, 434.8, 477.3, 536.8, 593.1, 689.1, 760.0};
    const std::vector<double> ys{10.07, 14.73, 17.94, 23.93, 29.61, 35.18, 40.02,
                                 44.82, 50.76, 55.05, 61.01, 66.40, 75.47, 81.78};
    const double b1 = 2.3894212918E+02, b2 = 5.5015643181E-04, rss = 1.2455138894E-01;
    const double sd1 = 2.7070075241E+00, sd2 = 7.2668688436E-06;
    for (const auto& start : {std::vector<double>{500, 1e-4}, std::vector<double>{250, 5e-4}}) {
        SCOPED_TRACE(start[0]);
        Fit fit(xs, ys, start, saturationModel);
        fit.converge();
        EXPECT_NEAR(fit.a[1], b1, 1e-4 * b1);
        EXPECT_NEAR(fit.a[2], b2, 1e-4 * b2);
        EXPECT_NEAR(fit.chi_square, rss, 1e-3 * rss);
        const double scale = fit.chi_square / 12.0;
        EXPECT_NEAR(std::sqrt(fit.covariance[1][1] * scale), sd1, 1e-3 * sd1);
        EXPECT_NEAR(std::sqrt(fit.covariance[2][2] * scale), sd2, 1e-3 * sd2);
    }
}

// The curvature block against the Jacobian of the linear model (closed form).
TEST(MarquardtCurvature, MatchesJacobianProducts) {
    OffsetVector x{0, 1, 2};
    OffsetVector y{1, 2, 6};
    OffsetVector sigma{1, 0.5, 2};
    OffsetVector a{1, 1, 1};
    int flags[4] = {0, 1, 0, 1};
    OffsetMatrix alpha(3, 3);
    OffsetVector beta(3);
    float chi = -1.0f;
    marquardt_curvature(x.get(), y.get(), sigma.get(), 3, a.get(), flags, 3, alpha.get(),
                        beta.get(), &chi, quadraticModel);
    // Residuals (y - (1 + x + x^2)) = (0, -1, -1); weights 1, 4, 1/4.
    EXPECT_EQ(chi, 0.0f + 4.0f + 0.25f);
    EXPECT_EQ(alpha[1][1], 1 + 4 + 0.25f);
    EXPECT_EQ(alpha[1][2], 0 + 4 + 0.25f * 4);
    EXPECT_EQ(alpha[2][1], alpha[1][2]);
    EXPECT_EQ(alpha[2][2], 0 + 4 + 0.25f * 16);
    EXPECT_EQ(beta[1], 0 - 4 - 0.25f);
    EXPECT_EQ(beta[2], 0 - 4 - 0.25f * 4);
}

TEST(ExpandCovariance, SpreadsTheBlockByTheFlags) {
    OffsetMatrix c{{1, 2, 9, 9}, {2, 3, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}};
    int flags[5] = {0, 0, 1, 0, 1};
    expand_covariance(c.get(), 4, flags, 2);
    const float expected[4][4] = {{0, 0, 0, 0}, {0, 1, 0, 2}, {0, 0, 0, 0}, {0, 2, 0, 3}};
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 4; ++j) EXPECT_EQ(c[i][j], expected[i - 1][j - 1]) << i << "," << j;
}

// At its centre a term is its amplitude with derivatives (1, 0, 0); elsewhere
// the derivatives match central differences of the model in double.
TEST(GaussianSumModel, ValuesAndDerivatives) {
    OffsetVector a{2, 1, 0.5, -0.5, 2, 1.5};
    OffsetVector d(6);
    float y = 0;
    OffsetVector single{2, 1, 0.5};
    gaussian_sum_model(1.0f, single.get(), &y, d.get(), 3);
    EXPECT_EQ(y, 2.0f);
    EXPECT_EQ(d[1], 1.0f);
    EXPECT_EQ(d[2], 0.0f);
    EXPECT_EQ(d[3], 0.0f);

    auto model = [&](int l, double shift) {
        double s = 0;
        for (int i = 1; i <= 6; i += 3) {
            double p[3] = {a[i], a[i + 1], a[i + 2]};
            if (l >= i && l < i + 3) p[l - i] += shift;
            s += p[0] * std::exp(-std::pow((1.3 - p[1]) / p[2], 2));
        }
        return s;
    };
    gaussian_sum_model(1.3f, a.get(), &y, d.get(), 6);
    EXPECT_NEAR(y, model(1, 0), 1e-6);
    for (int l = 1; l <= 6; ++l)
        EXPECT_NEAR(d[l], (model(l, 1e-6) - model(l, -1e-6)) / 2e-6, 1e-5) << l;
}

using MarquardtDeathTest = ::testing::Test;

TEST_F(MarquardtDeathTest, StepWithoutFitInProgress) {
    Fit fit({0, 1, 2}, {1, 2, 3}, {0, 0, 0}, quadraticModel);
    fit.damping = 0.001f;
    // No end anchor: a sanitizer build reports the work arrays that the fatal
    // exit leaves behind after these three lines.
    EXPECT_EXIT(fit.step(), ::testing::ExitedWithCode(1),
                "^Calvento run-time error\\.\\.\\.\nmarquardt_step: no fit in progress \\(start "
                "with damping < 0\\)\n\\.\\.\\.now exiting to system\\.\\.\\.\n");
    EXPECT_EXIT(fit.finish(), ::testing::ExitedWithCode(1), "no fit in progress");
}

TEST_F(MarquardtDeathTest, FlagsChangedDuringTheFit) {
    EXPECT_EXIT(
        {
            Fit fit({0, 1, 2, 3}, {1, 2.5, 5, 9}, {0, 0, 0}, quadraticModel);
            fit.start();
            fit.flags[2] = 0;
            fit.step();
        },
        ::testing::ExitedWithCode(1), "marquardt_step: parameters changed during the fit\n");
}

TEST_F(MarquardtDeathTest, ParameterWithoutInfluenceIsSingular) {
    Fit fit({0, 1, 2, 3}, {1, 2, 3, 4}, {0, 0, 0}, idleParameterModel);
    EXPECT_EXIT(fit.start(), ::testing::ExitedWithCode(1), "gaussj: Singular Matrix-2\n");
}

TEST_F(MarquardtDeathTest, GaussianSumNeedsWholeTerms) {
    OffsetVector a{1, 0, 1, 1, 0};
    OffsetVector d(5);
    float y = 0;
    EXPECT_EXIT(gaussian_sum_model(0.5f, a.get(), &y, d.get(), 5), ::testing::ExitedWithCode(1),
                "gaussian_sum_model: n_params must be a multiple of 3\n");
}

}  // namespace
