#include "numerics/linalg/eigen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/numerics/linalg/offset_matrix.h"

namespace {

struct EigenResult {
    OffsetVector d;
    OffsetMatrix v;
    int rotations = -1;
};

// Runs jacobi on a copy of a whose lower triangle is overwritten with garbage,
// which must not matter.
EigenResult solve(const OffsetMatrix& a) {
    const int n = a.rows();
    OffsetMatrix work(a);
    for (int i = 2; i <= n; ++i)
        for (int j = 1; j < i; ++j) work[i][j] = float(1000 * i - 77 * j);
    EigenResult r{OffsetVector(n), OffsetMatrix(n, n)};
    jacobi(work.get(), n, r.d.get(), r.v.get(), &r.rotations);
    for (int i = 1; i <= n; ++i) {
        EXPECT_EQ(work[i][i], a[i][i]) << "diagonal changed";
        for (int j = 1; j < i; ++j) EXPECT_EQ(work[i][j], float(1000 * i - 77 * j));
    }
    return r;
}

// Largest ||A v_k - d_k v_k|| over k, with A the symmetric completion of the
// upper triangle of a.
double residual(const OffsetMatrix& a, const EigenResult& r) {
    const int n = a.rows();
    double worst = 0.0;
    for (int k = 1; k <= n; ++k) {
        double norm2 = 0.0;
        for (int i = 1; i <= n; ++i) {
            double s = -double(r.d[k]) * r.v[i][k];
            for (int j = 1; j <= n; ++j) s += double(i <= j ? a[i][j] : a[j][i]) * r.v[j][k];
            norm2 += s * s;
        }
        worst = std::fmax(worst, std::sqrt(norm2));
    }
    return worst;
}

double orthonormalityError(const OffsetMatrix& v) {
    double worst = 0.0;
    for (int p = 1; p <= v.cols(); ++p)
        for (int q = 1; q <= v.cols(); ++q) {
            double s = 0.0;
            for (int i = 1; i <= v.rows(); ++i) s += double(v[i][p]) * v[i][q];
            worst = std::fmax(worst, std::fabs(s - (p == q ? 1.0 : 0.0)));
        }
    return worst;
}

// Residual and orthonormality on symmetric matrices (upper triangle given;
// arbitrary test data), including repeated eigenvalues: J - I for the 4x4
// all-ones J has eigenvalues 3, -1, -1, -1, and I + 2 u u^T with u = (1,1,0)
// has 5, 1, 1.
TEST(Jacobi, ResidualAndOrthonormality) {
    struct Case {
        const char* name;
        OffsetMatrix a;
        double scale;
    };
    const Case cases[] = {
        {"2x2", {{2, 1}, {0, 2}}, 3},
        {"4x4", {{4, 1, -2, 2}, {0, 2, 0, 1}, {0, 0, 3, -2}, {0, 0, 0, -1}}, 7},
        {"5x5 graded",
         {{1e3, 1, 0.1, 0, 2},
          {0, 10, 1, 0.5, 0},
          {0, 0, 1, 0.1, 0.2},
          {0, 0, 0, 0.1, 0.01},
          {0, 0, 0, 0, -5}},
         1e3},
        {"ones minus identity", {{0, 1, 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 0}}, 3},
        {"repeated 1", {{3, 2, 0}, {0, 3, 0}, {0, 0, 1}}, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const EigenResult r = solve(c.a);
        EXPECT_LT(residual(c.a, r), 2e-6 * c.scale);
        EXPECT_LT(orthonormalityError(r.v), 2e-6);
        EXPECT_GT(r.rotations, 0);
    }
}

TEST(Jacobi, RepeatedEigenvaluesComeOutRepeated) {
    const OffsetMatrix a{{0, 1, 1, 1}, {0, 0, 1, 1}, {0, 0, 0, 1}, {0, 0, 0, 0}};
    EigenResult r = solve(a);
    sort_eigen_descending(r.d.get(), r.v.get(), 4);
    EXPECT_NEAR(r.d[1], 3.0f, 2e-6f);
    for (int k = 2; k <= 4; ++k) EXPECT_NEAR(r.d[k], -1.0f, 2e-6f);
}

TEST(Jacobi, DiagonalMatrixReturnsAtOnce) {
    const OffsetMatrix a{{5, 0, 0}, {0, -2, 0}, {0, 0, 7}};
    const EigenResult r = solve(a);
    EXPECT_EQ(r.rotations, 0);
    EXPECT_EQ(r.d[1], 5.0f);
    EXPECT_EQ(r.d[2], -2.0f);
    EXPECT_EQ(r.d[3], 7.0f);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(r.v[i][j], i == j ? 1.0f : 0.0f);

    const EigenResult one = solve(OffsetMatrix{{-4}});
    EXPECT_EQ(one.d[1], -4.0f);
    EXPECT_EQ(one.v[1][1], 1.0f);
    EXPECT_EQ(one.rotations, 0);
}

// [[2, 1], [1, 2]]: eigenvalues 1 and 3 with vectors (1, -1)/sqrt2 and
// (1, 1)/sqrt2 up to sign; sorting puts 3 first and moves its column along.
TEST(Jacobi, TwoByTwoClosedFormAndSort) {
    EigenResult r = solve(OffsetMatrix{{2, 1}, {1, 2}});
    const int k3 = r.d[1] > r.d[2] ? 1 : 2;
    const int k1 = 3 - k3;
    EXPECT_NEAR(r.d[k3], 3.0f, 1e-6f);
    EXPECT_NEAR(r.d[k1], 1.0f, 1e-6f);
    const float h = float(1 / std::sqrt(2.0));
    EXPECT_NEAR(std::fabs(r.v[1][k3]), h, 1e-6f);
    EXPECT_NEAR(r.v[1][k3], r.v[2][k3], 1e-6f);
    EXPECT_NEAR(r.v[1][k1], -r.v[2][k1], 1e-6f);
    const float column3[2] = {r.v[1][k3], r.v[2][k3]};
    sort_eigen_descending(r.d.get(), r.v.get(), 2);
    EXPECT_NEAR(r.d[1], 3.0f, 1e-6f);
    EXPECT_EQ(r.v[1][1], column3[0]);
    EXPECT_EQ(r.v[2][1], column3[1]);
}

// d = (1, 2, 2): the last of the equal maxima wins, so column 3 moves to the
// front, column 2 stays and column 1 goes last.
TEST(SortEigenDescending, TiesTakeTheLastOne) {
    OffsetVector d{1, 2, 2};
    OffsetMatrix v{{11, 12, 13}, {21, 22, 23}, {31, 32, 33}};
    sort_eigen_descending(d.get(), v.get(), 3);
    EXPECT_EQ(d[1], 2.0f);
    EXPECT_EQ(d[2], 2.0f);
    EXPECT_EQ(d[3], 1.0f);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(v[i][1], float(10 * i + 3));
        EXPECT_EQ(v[i][2], float(10 * i + 2));
        EXPECT_EQ(v[i][3], float(10 * i + 1));
    }
}

// A NaN off the diagonal is never rotated away nor found negligible.
TEST(JacobiDeathTest, NaNNeverConverges) {
    OffsetMatrix a{{1, 0}, {0, 2}};
    a[1][2] = std::numeric_limits<float>::quiet_NaN();
    OffsetVector d(2);
    OffsetMatrix v(2, 2);
    int rotations = 0;
    // No end anchor: a sanitizer build reports the work arrays that the fatal
    // exit leaves behind after these three lines.
    EXPECT_EXIT(jacobi(a.get(), 2, d.get(), v.get(), &rotations), ::testing::ExitedWithCode(1),
                "^Calvento run-time error\\.\\.\\.\nToo many iterations in routine jacobi\n"
                "\\.\\.\\.now exiting to system\\.\\.\\.\n");
}

}  // namespace
