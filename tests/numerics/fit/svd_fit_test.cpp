#include "numerics/fit/svd_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/linalg/svd.h"
#include "tests/numerics/linalg/offset_matrix.h"

namespace {

struct LinearFit {
    OffsetVector a;
    OffsetMatrix u;
    OffsetMatrix v;
    OffsetVector w;
    float chi_square = -1.0f;
    LinearFit(const OffsetVector& x, const OffsetVector& y, const OffsetVector& sigma, int n_coeffs,
              basis_function basis)
        : a(n_coeffs), u(x.size(), n_coeffs), v(n_coeffs, n_coeffs), w(n_coeffs) {
        svd_least_squares_fit(x.get(), y.get(), sigma.get(), x.size(), a.get(), n_coeffs, u.get(),
                              v.get(), w.get(), &chi_square, basis);
    }
};

OffsetVector ones(int n) {
    OffsetVector s(n);
    for (int i = 1; i <= n; ++i) s[i] = 1.0f;
    return s;
}

TEST(SvdLeastSquaresFit, StraightLineThroughThreePoints) {
    const OffsetVector x{0, 1, 2};
    const OffsetVector y{1, 3, 5};
    const LinearFit fit(x, y, ones(3), 2, polynomial_basis);
    EXPECT_NEAR(fit.a[1], 1.0f, 1e-6f);
    EXPECT_NEAR(fit.a[2], 2.0f, 1e-6f);
    EXPECT_LT(fit.chi_square, 1e-10f);
}

// A cubic sampled at dyadic abscissae is exactly representable; its
// coefficients come back to float accuracy and chi^2 is essentially 0.
TEST(SvdLeastSquaresFit, RecoversCubicExactly) {
    const double c[4] = {1.0, -2.0, 0.5, 3.0};
    OffsetVector x(17), y(17), sigma(17);
    for (int i = 1; i <= 17; ++i) {
        const double xi = -1.0 + (i - 1) / 8.0;
        x[i] = float(xi);
        y[i] = float(c[0] + xi * (c[1] + xi * (c[2] + xi * c[3])));
        sigma[i] = i % 2 ? 0.5f : 2.0f;
    }
    const LinearFit fit(x, y, sigma, 4, polynomial_basis);
    for (int j = 1; j <= 4; ++j) EXPECT_NEAR(fit.a[j], c[j - 1], 2e-6) << j;
    EXPECT_LT(fit.chi_square, 1e-9f);
    for (int j = 1; j <= 4; ++j) EXPECT_GT(fit.w[j], 0.0f);
}

// Weighted straight line on scattered data against the closed-form normal
// equations in double (S, Sx, Sxx, Sy, Sxy; covariance Sxx/D, -Sx/D, S/D).
TEST(SvdLeastSquaresFit, WeightedLineMatchesNormalEquationsAndCovariance) {
    const OffsetVector x{0.5, 1.0, 2.0, 3.5, 4.0, 6.0, 7.5};
    const OffsetVector y{1.9, 3.2, 4.8, 8.4, 8.9, 13.5, 15.8};
    const OffsetVector sigma{0.1, 0.3, 0.2, 0.5, 0.1, 0.4, 0.25};
    double s = 0, sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (int i = 1; i <= 7; ++i) {
        const double wt = 1.0 / (double(sigma[i]) * sigma[i]);
        s += wt;
        sx += wt * x[i];
        sxx += wt * x[i] * x[i];
        sy += wt * y[i];
        sxy += wt * x[i] * y[i];
    }
    const double det = s * sxx - sx * sx;
    const double intercept = (sxx * sy - sx * sxy) / det;
    const double slope = (s * sxy - sx * sy) / det;
    double chi2 = 0.0;
    for (int i = 1; i <= 7; ++i) chi2 += std::pow((y[i] - intercept - slope * x[i]) / sigma[i], 2);

    const LinearFit fit(x, y, sigma, 2, polynomial_basis);
    EXPECT_NEAR(fit.a[1], intercept, 1e-5 * std::fabs(intercept) + 1e-5);
    EXPECT_NEAR(fit.a[2], slope, 1e-5 * std::fabs(slope));
    EXPECT_NEAR(fit.chi_square, chi2, 1e-4 * chi2);

    OffsetMatrix cov(2, 2);
    svd_covariance(fit.v.get(), 2, fit.w.get(), cov.get());
    EXPECT_NEAR(cov[1][1], sxx / det, 1e-5 * sxx / det);
    EXPECT_NEAR(cov[2][2], s / det, 1e-5 * s / det);
    EXPECT_NEAR(cov[1][2], -sx / det, 1e-5 * sx / det);
    EXPECT_EQ(cov[1][2], cov[2][1]);
}

void twinBasis(float, float p[], int) {
    p[1] = p[2] = 1.0f;
}
void nullBasis(float, float p[], int np) {
    for (int j = 1; j <= np; ++j) p[j] = 0.0f;
}

// Two identical basis functions: the design [1 1] has the singular values
// sqrt(2n) and 0; the second is dropped, each coefficient carries half of the
// mean, and the covariance is v1 v1^T / (2n) = 1/(4n) everywhere.
TEST(SvdLeastSquaresFit, DependentBasisFunctionsShareTheWeight) {
    const OffsetVector x{0, 1, 2, 3};
    const OffsetVector y{1, 2, 4, 5};
    const LinearFit fit(x, y, ones(4), 2, twinBasis);
    EXPECT_EQ(std::fmin(fit.w[1], fit.w[2]), 0.0f);
    EXPECT_NEAR(fit.a[1], 1.5f, 1e-6f);
    EXPECT_NEAR(fit.a[2], 1.5f, 1e-6f);
    EXPECT_NEAR(fit.chi_square, 10.0f, 1e-5f);  // sum of (y - 3)^2
    OffsetMatrix cov(2, 2);
    svd_covariance(fit.v.get(), 2, fit.w.get(), cov.get());
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j) EXPECT_NEAR(cov[i][j], 1.0f / 16.0f, 1e-7f);
}

TEST(SvdLeastSquaresFit, AllBasisValuesZeroGiveZeroCoefficients) {
    const OffsetVector x{0, 1, 2};
    const OffsetVector y{1, 2, 3};
    const LinearFit fit(x, y, ones(3), 3, nullBasis);
    for (int j = 1; j <= 3; ++j) {
        EXPECT_EQ(fit.w[j], 0.0f);
        EXPECT_EQ(fit.a[j], 0.0f);
    }
    EXPECT_NEAR(fit.chi_square, 14.0f, 1e-6f);
}

// One decomposition, many right-hand sides: the inputs stay as they were, and
// each solution matches the one of an exactly consistent system A x = b.
TEST(SvdBackSubstitute, ReusesOneDecomposition) {
    const OffsetMatrix design{{1, 0, 2}, {1, 1, 0}, {1, 2, -1}, {1, 3, 1}, {1, 4, 0.5}};
    OffsetMatrix u(design);
    OffsetVector w(3);
    OffsetMatrix v(3, 3);
    svd_decompose(u.get(), 5, 3, w.get(), v.get());
    const OffsetMatrix u_before(u);
    const OffsetMatrix v_before(v);
    const float w_before[3] = {w[1], w[2], w[3]};

    const double solutions[3][3] = {{1, 2, 3}, {-0.5, 0, 4}, {100, -7, 0.25}};
    for (const auto& expected : solutions) {
        OffsetVector b(5);
        for (int i = 1; i <= 5; ++i)
            b[i] = float(design[i][1] * expected[0] + design[i][2] * expected[1] +
                         design[i][3] * expected[2]);
        OffsetVector b_before(5);
        for (int i = 1; i <= 5; ++i) b_before[i] = b[i];
        OffsetVector x(3);
        svd_back_substitute(u.get(), w.get(), v.get(), 5, 3, b.get(), x.get());
        for (int j = 1; j <= 3; ++j)
            EXPECT_NEAR(x[j], expected[j - 1], 2e-5 * (std::fabs(expected[j - 1]) + 10));
        for (int i = 1; i <= 5; ++i) EXPECT_EQ(b[i], b_before[i]);
    }
    for (int i = 1; i <= 5; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(u[i][j], u_before[i][j]);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(w[i], w_before[i - 1]);
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(v[i][j], v_before[i][j]);
    }
}

TEST(PolynomialBasis, Powers) {
    OffsetVector p(4);
    polynomial_basis(0.0f, p.get(), 4);
    EXPECT_EQ(std::vector<float>({p[1], p[2], p[3], p[4]}), std::vector<float>({1, 0, 0, 0}));
    polynomial_basis(-1.5f, p.get(), 4);
    EXPECT_EQ(std::vector<float>({p[1], p[2], p[3], p[4]}),
              std::vector<float>({1, -1.5f, 2.25f, -3.375f}));
    OffsetVector q(1);
    polynomial_basis(7.0f, q.get(), 1);
    EXPECT_EQ(q[1], 1.0f);
}

}  // namespace
