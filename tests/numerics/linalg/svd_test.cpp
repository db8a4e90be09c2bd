#include "numerics/linalg/svd.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/numerics/linalg/offset_matrix.h"

namespace {

struct Decomposition {
    OffsetMatrix u;
    OffsetVector w;
    OffsetMatrix v;
    explicit Decomposition(const OffsetMatrix& a) : u(a), w(a.cols()), v(a.cols(), a.cols()) {
        svd_decompose(u.get(), a.rows(), a.cols(), w.get(), v.get());
    }
};

double largestMagnitude(const OffsetMatrix& a) {
    double big = 0.0;
    for (int i = 1; i <= a.rows(); ++i)
        for (int j = 1; j <= a.cols(); ++j) big = std::fmax(big, std::fabs(a[i][j]));
    return big;
}

// Largest |(U diag(w) V^T - A)[i][j]|, in double.
double reconstructionError(const OffsetMatrix& a, const Decomposition& d) {
    double worst = 0.0;
    for (int i = 1; i <= a.rows(); ++i)
        for (int j = 1; j <= a.cols(); ++j) {
            double s = 0.0;
            for (int k = 1; k <= a.cols(); ++k) s += double(d.u[i][k]) * d.w[k] * d.v[j][k];
            worst = std::fmax(worst, std::fabs(s - a[i][j]));
        }
    return worst;
}

// Largest deviation of the Gram matrix of the chosen columns of x from I.
// Columns with use[k] false are skipped.
template <typename Use>
double orthonormalityError(const OffsetMatrix& x, Use use) {
    double worst = 0.0;
    for (int p = 1; p <= x.cols(); ++p)
        for (int q = 1; q <= x.cols(); ++q) {
            if (!use(p) || !use(q)) continue;
            double s = 0.0;
            for (int i = 1; i <= x.rows(); ++i) s += double(x[i][p]) * x[i][q];
            worst = std::fmax(worst, std::fabs(s - (p == q ? 1.0 : 0.0)));
        }
    return worst;
}

double orthonormalityError(const OffsetMatrix& x) {
    return orthonormalityError(x, [](int) { return true; });
}

// Invariants on well-scaled matrices: the factors reproduce A to a few float
// ulps of its largest element, V is orthogonal, the columns of U that carry a
// non-zero singular value are orthonormal (all of them when m >= n), and every
// singular value is non-negative. Matrices are arbitrary test data.
TEST(SvdDecompose, FactorsReproduceTheMatrix) {
    struct Case {
        const char* name;
        OffsetMatrix a;
    };
    const Case cases[] = {
        {"square 4x4", {{2, -1, 0, 3}, {4, 5, -2, 1}, {-3, 0.5, 7, 2}, {1, 1, 1, -6}}},
        {"tall 5x3", {{1, 2, 3}, {-4, 5, 6}, {7, -8, 9}, {0.5, 0.25, -1}, {3, 3, 1}}},
        {"wide 3x5", {{1, -2, 3, 0, 5}, {4, 5, -6, 2, 1}, {-7, 8, 9, 3, -2}}},
        {"rank one 3x3", {{1, 2, 3}, {2, 4, 6}, {-1, -2, -3}}},
        {"tall zero column", {{1, 0}, {2, 0}, {3, 0}}},
        {"large scale", {{3e6, 1e6}, {-2e6, 5e6}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decomposition d(c.a);
        EXPECT_FALSE(svd_not_converged);
        EXPECT_LT(reconstructionError(c.a, d), 1e-5 * largestMagnitude(c.a));
        EXPECT_LT(orthonormalityError(d.v), 1e-5);
        float wmax = 0.0f;
        for (int k = 1; k <= c.a.cols(); ++k) wmax = std::fmax(wmax, d.w[k]);
        EXPECT_LT(orthonormalityError(d.u, [&](int k) { return d.w[k] > 1e-5f * wmax; }), 1e-5);
        if (c.a.rows() >= c.a.cols()) {
            // Columns of U that belong to zero singular values are still unit
            // and orthogonal to the others.
            EXPECT_LT(orthonormalityError(d.u), 1e-5);
        }
        for (int k = 1; k <= c.a.cols(); ++k) EXPECT_GE(d.w[k], 0.0f);
    }
}

// Wide matrices: at least n - m singular values vanish.
TEST(SvdDecompose, WideMatrixHasNullSingularValues) {
    const OffsetMatrix a{{1, -2, 3, 0, 5}, {4, 5, -6, 2, 1}, {-7, 8, 9, 3, -2}};
    const Decomposition d(a);
    int vanishing = 0;
    for (int k = 1; k <= 5; ++k) vanishing += d.w[k] < 1e-6f;
    EXPECT_GE(vanishing, 2);
}

// diag(3, -2): the first singular value leaves the reduction as -3 and is made
// positive by negating column 1 of V; everything is exact.
TEST(SvdDecompose, DiagonalWithNegativeEntry) {
    const OffsetMatrix a{{3, 0}, {0, -2}};
    const Decomposition d(a);
    EXPECT_EQ(d.w[1], 3.0f);
    EXPECT_EQ(d.w[2], 2.0f);
    const float u[2][2] = {{-1, 0}, {0, -1}};
    const float v[2][2] = {{-1, 0}, {0, 1}};
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j) {
            EXPECT_EQ(d.u[i][j], u[i - 1][j - 1]);
            EXPECT_EQ(d.v[i][j], v[i - 1][j - 1]);
        }
    EXPECT_EQ(reconstructionError(a, d), 0.0);
}

TEST(SvdDecompose, ZeroMatrixGivesZeroValuesAndOrthogonalFactors) {
    for (const auto& shape : {std::pair{3, 3}, std::pair{4, 2}}) {
        const OffsetMatrix a(shape.first, shape.second);
        const Decomposition d(a);
        for (int k = 1; k <= shape.second; ++k) EXPECT_EQ(d.w[k], 0.0f);
        EXPECT_LT(orthonormalityError(d.u), 1e-6);
        EXPECT_LT(orthonormalityError(d.v), 1e-6);
    }
}

// [[1, 2], [2, 4]] has the singular values 5 and 0 (closed form: ||(1,2)||^2).
TEST(SvdDecompose, RankOne) {
    const OffsetMatrix a{{1, 2}, {2, 4}};
    const Decomposition d(a);
    const float big = std::fmax(d.w[1], d.w[2]);
    const float small = std::fmin(d.w[1], d.w[2]);
    EXPECT_NEAR(big, 5.0f, 5e-6f);
    EXPECT_LT(small, 1e-6f);
    EXPECT_LT(reconstructionError(a, d), 1e-5);
}

// The zero tests are absolute: for 1e-7 [[1, 1], [0, 1]] the superdiagonal of
// the bidiagonal form (1e-7) counts as zero at once, so both singular values
// come out as 1e-7 instead of 1.618e-7 and 0.618e-7, and the factors miss A by
// about 1e-7.
TEST(SvdDecompose, ZeroTestsAreAbsolute) {
    const OffsetMatrix a{{1e-7, 1e-7}, {0, 1e-7}};
    const Decomposition d(a);
    EXPECT_NEAR(d.w[1], 1e-7f, 1e-13f);
    EXPECT_NEAR(d.w[2], 1e-7f, 1e-13f);
    EXPECT_GT(reconstructionError(a, d), 0.5e-7);
    EXPECT_LT(orthonormalityError(d.u), 1e-6);
    EXPECT_LT(orthonormalityError(d.v), 1e-6);
}

// NaN never converges: every singular value runs into the iteration limit, the
// flag is raised, and the next ordinary call clears it again.
TEST(SvdDecompose, NonConvergenceFlagIsSetAndCleared) {
    OffsetMatrix bad{{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
    bad[2][2] = std::numeric_limits<float>::quiet_NaN();
    const Decomposition failed(bad);
    EXPECT_TRUE(svd_not_converged);
    const Decomposition fine(OffsetMatrix{{2, 1}, {1, 3}});
    EXPECT_FALSE(svd_not_converged);
}

// Closed forms; the last case would overflow if squared directly.
TEST(Hypotenuse, ClosedForms) {
    struct Case {
        float p, q, expected;
    };
    const Case cases[] = {{3, 4, 5}, {4, 3, 5}, {0, 0, 0}, {-3, 0, 3}, {0, -7, 7}, {-5, -12, 13}};
    for (const Case& c : cases) EXPECT_EQ(hypotenuse(c.p, c.q), c.expected) << c.p << "," << c.q;
    EXPECT_NEAR(hypotenuse(1e30f, 1e30f), 1.41421356e30f, 1e24f);
    EXPECT_NEAR(hypotenuse(1e-30f, 1e-30f), 1.41421356e-30f, 1e-36f);
}

}  // namespace
