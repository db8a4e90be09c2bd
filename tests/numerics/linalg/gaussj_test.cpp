#include "numerics/linalg/gaussj.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/numerics/linalg/offset_matrix.h"

namespace {

// Largest |(A X)[i][j] - I[i][j]| with A and X 1-based n x n, in double.
double distanceFromIdentity(const OffsetMatrix& a, const OffsetMatrix& x) {
    double worst = 0.0;
    for (int i = 1; i <= a.rows(); ++i)
        for (int j = 1; j <= a.rows(); ++j)
            worst = std::fmax(worst, std::fabs(productElement(a.get(), x.get(), i, j, a.rows()) -
                                               (i == j ? 1.0 : 0.0)));
    return worst;
}

OffsetMatrix hilbert(int n) {
    OffsetMatrix h(n, n);
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) h[i][j] = float(1.0 / (i + j - 1));
    return h;
}

TEST(Gaussj, OneByOne) {
    OffsetMatrix a{{4}};
    OffsetMatrix b{{2}};
    gaussj(a.get(), 1, b.get(), 1);
    EXPECT_EQ(a[1][1], 0.25f);
    EXPECT_EQ(b[1][1], 0.5f);
}

TEST(Gaussj, WellConditionedInverseAndSolutions) {
    const OffsetMatrix original{{4, -2, 1, 0.5}, {3, 6, -4, 2}, {2, 1, 8, -3}, {-1, 2, 0.5, 5}};
    const OffsetMatrix rhs{{1, 0, 2}, {-2, 1, 0}, {3, 1, -1}, {0.5, -4, 2}};
    OffsetMatrix a(original);
    OffsetMatrix b(rhs);
    gaussj(a.get(), 4, b.get(), 3);

    EXPECT_LT(distanceFromIdentity(original, a), 1e-6);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 3; ++j)
            EXPECT_NEAR(productElement(original.get(), b.get(), i, j, 4), rhs[i][j], 1e-5);
}

// Exact inverses of the Hilbert matrices (integer closed form). The input is
// rounded to float, so the tolerance follows the condition number (about 5e2
// for order 3, 1.6e4 for order 4) times float epsilon.
TEST(Gaussj, HilbertMatrices) {
    const double inverse3[3][3] = {{9, -36, 30}, {-36, 192, -180}, {30, -180, 180}};
    const double inverse4[4][4] = {{16, -120, 240, -140},
                                   {-120, 1200, -2700, 1680},
                                   {240, -2700, 6480, -4200},
                                   {-140, 1680, -4200, 2800}};
    struct Case {
        int n;
        const double* exact;
        double relative_tolerance;
        double identity_tolerance;
    };
    const Case cases[] = {{3, &inverse3[0][0], 1e-4, 1e-4}, {4, &inverse4[0][0], 5e-3, 5e-3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        const OffsetMatrix h = hilbert(c.n);
        OffsetMatrix a(h);
        gaussj(a.get(), c.n, nullptr, 0);
        EXPECT_LT(distanceFromIdentity(h, a), c.identity_tolerance);
        for (int i = 1; i <= c.n; ++i)
            for (int j = 1; j <= c.n; ++j) {
                const double exact = c.exact[(i - 1) * c.n + (j - 1)];
                EXPECT_NEAR(a[i][j], exact, c.relative_tolerance * std::fabs(exact));
            }
    }
}

// Pivots fall on (2,1) then (2,2): a row exchange during elimination and a
// column exchange when unscrambling, and the matrix comes back as its own inverse.
TEST(Gaussj, PermutationInvertsToItself) {
    OffsetMatrix a{{0, 1}, {1, 0}};
    OffsetMatrix b{{3}, {5}};
    gaussj(a.get(), 2, b.get(), 1);
    EXPECT_EQ(a[1][1], 0.0f);
    EXPECT_EQ(a[1][2], 1.0f);
    EXPECT_EQ(a[2][1], 1.0f);
    EXPECT_EQ(a[2][2], 0.0f);
    EXPECT_EQ(b[1][1], 5.0f);
    EXPECT_EQ(b[2][1], 3.0f);
}

// Among equal magnitudes the last candidate in row-major order is the pivot.
// For [[3, 7], [5, 7]] that is (2,2) first, then (1,1), with no exchanges; the
// expected values are that elimination written out step by step, each step
// rounded to float. Taking the first candidate, (1,2), instead rounds
// differently (a[1][1] would be -0.50000006), so the test tells the two apart.
TEST(Gaussj, TiesTakeTheLastCandidateInRowMajorOrder) {
    float m[3][3] = {{0, 0, 0}, {0, 3, 7}, {0, 5, 7}};
    auto pivotOn = [&m](int p) {
        const float r = float(1.0 / m[p][p]);
        m[p][p] = 1.0f;
        for (int l = 1; l <= 2; ++l) m[p][l] = float(double(m[p][l]) * r);
        const int q = 3 - p;
        const float f = m[q][p];
        m[q][p] = 0.0f;
        for (int l = 1; l <= 2; ++l) m[q][l] = float(double(m[q][l]) - double(m[p][l]) * f);
    };
    pivotOn(2);
    pivotOn(1);

    OffsetMatrix a{{3, 7}, {5, 7}};
    gaussj(a.get(), 2, nullptr, 0);
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j) EXPECT_EQ(a[i][j], m[i][j]) << i << "," << j;
    EXPECT_EQ(a[1][1], -0.5f);
}

TEST(Gaussj, ZeroRightHandSidesLeaveBUntouched) {
    OffsetMatrix a{{2, 1}, {1, 3}};
    OffsetMatrix b{{7}, {9}};
    gaussj(a.get(), 2, b.get(), 0);
    EXPECT_EQ(b[1][1], 7.0f);
    EXPECT_EQ(b[2][1], 9.0f);
    EXPECT_NEAR(a[1][1], 0.6f, 1e-7);
    EXPECT_NEAR(a[1][2], -0.2f, 1e-7);
}

using GaussjDeathTest = ::testing::Test;

TEST_F(GaussjDeathTest, ZeroRowIsSingular) {
    OffsetMatrix a{{1, 2, 3}, {0, 0, 0}, {4, 5, 6}};
    // No end anchor: a sanitizer build reports the work arrays that the fatal
    // exit leaves behind after these three lines.
    EXPECT_EXIT(gaussj(a.get(), 3, nullptr, 0), ::testing::ExitedWithCode(1),
                "^Calvento run-time error\\.\\.\\.\ngaussj: Singular Matrix-2\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n");
}

TEST_F(GaussjDeathTest, AllZeroAndDependentRowsAreSingular) {
    OffsetMatrix zero(2, 2);
    EXPECT_EXIT(gaussj(zero.get(), 2, nullptr, 0), ::testing::ExitedWithCode(1),
                "gaussj: Singular Matrix-2\n");
    OffsetMatrix dependent{{1, 2}, {2, 4}};
    EXPECT_EXIT(gaussj(dependent.get(), 2, nullptr, 0), ::testing::ExitedWithCode(1),
                "gaussj: Singular Matrix-2\n");
}

// NaN elements fail every pivot comparison; a pass that meets only NaN ends
// with its own message instead of pivoting on a position it never found.
TEST_F(GaussjDeathTest, NaNWithoutAnyPivotCandidate) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    OffsetMatrix a(2, 2);
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 2; ++j) a[i][j] = nan;
    EXPECT_EXIT(gaussj(a.get(), 2, nullptr, 0), ::testing::ExitedWithCode(1),
                "gaussj: no pivot found, matrix holds NaN\n");
    // Finite first pivot, NaN everywhere that remains.
    OffsetMatrix b{{1, 0}, {0, 0}};
    b[1][2] = nan;
    b[2][1] = nan;
    b[2][2] = nan;
    EXPECT_EXIT(gaussj(b.get(), 2, nullptr, 0), ::testing::ExitedWithCode(1),
                "gaussj: no pivot found, matrix holds NaN\n");
}

}  // namespace
