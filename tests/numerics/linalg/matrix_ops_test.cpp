#include "numerics/linalg/matrix_ops.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "numerics/arrays/arrays.h"
#include "tests/numerics/linalg/offset_matrix.h"

namespace {

// A 0-based float matrix, released on scope exit.
class ZeroBased {
  public:
    ZeroBased(int rows, int cols, float fill = 0.0f)
        : rows_(rows), cols_(cols), m_(matrix(0, rows - 1, 0, cols - 1)) {
        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) m_[i][j] = fill;
    }
    ZeroBased(std::initializer_list<std::initializer_list<double>> rows)
        : ZeroBased(int(rows.size()), int(rows.begin()->size())) {
        int i = 0;
        for (const auto& row : rows) {
            int j = 0;
            for (double x : row) m_[i][j++] = float(x);
            ++i;
        }
    }
    ZeroBased(const ZeroBased&) = delete;
    ZeroBased& operator=(const ZeroBased&) = delete;
    ~ZeroBased() { release_matrix(m_, 0, rows_ - 1, 0, cols_ - 1); }
    float** get() const { return m_; }
    float* operator[](int i) const { return m_[i]; }
    int rows() const { return rows_; }
    int cols() const { return cols_; }

  private:
    int rows_;
    int cols_;
    float** m_;
};

// (x y)[i][j] in double for 0-based square matrices.
double product(const ZeroBased& x, const ZeroBased& y, int i, int j) {
    double s = 0.0;
    for (int k = 0; k < x.cols(); ++k) s += double(x[i][k]) * y[k][j];
    return s;
}

// Largest |x y z - target| over all elements (square matrices of one order).
double tripleProductError(const ZeroBased& x, const ZeroBased& y, const ZeroBased& z,
                          const ZeroBased& target) {
    const int n = x.rows();
    double worst = 0.0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = 0; k < n; ++k) s += product(x, y, i, k) * z[k][j];
            worst = std::fmax(worst, std::fabs(s - target[i][j]));
        }
    return worst;
}

void expectMatrixNear(const ZeroBased& got,
                      std::initializer_list<std::initializer_list<double>> want, double tolerance) {
    int i = 0;
    for (const auto& row : want) {
        int j = 0;
        for (double x : row) {
            EXPECT_NEAR(got[i][j], x, tolerance) << i << "," << j;
            ++j;
        }
        ++i;
    }
}

// Inverses by closed form (2x2: adjugate over determinant).
TEST(PseudoInverse, InvertsNonsingularMatrices) {
    ZeroBased identity{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    ZeroBased r(3, 3, 99.0f);
    EXPECT_TRUE(pseudo_inverse(identity.get(), r.get(), 3));
    expectMatrixNear(r, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1e-6);

    ZeroBased a{{4, 7}, {2, 6}};
    ZeroBased r2(2, 2);
    pseudo_inverse(a.get(), r2.get(), 2);
    expectMatrixNear(r2, {{0.6, -0.7}, {-0.2, 0.4}}, 1e-6);
    expectMatrixNear(a, {{4, 7}, {2, 6}}, 0.0);  // input unchanged
}

TEST(PseudoInverse, WellConditionedProductIsIdentity) {
    ZeroBased a{{4, -2, 1, 0.5}, {3, 6, -4, 2}, {2, 1, 8, -3}, {-1, 2, 0.5, 5}};
    ZeroBased r(4, 4);
    pseudo_inverse(a.get(), r.get(), 4);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(product(a, r, i, j), i == j ? 1.0 : 0.0, 2e-6);
}

// Singular inputs: closed forms where simple (diag(2, 0) -> diag(0.5, 0);
// [[1, 2], [2, 4]] = 5 u u^T with u = (1, 2)/sqrt5 -> u u^T / 5), and the
// Moore-Penrose conditions A A+ A = A, A+ A A+ = A+ for all of them.
TEST(PseudoInverse, SingularMatricesMeetMoorePenrose) {
    struct Case {
        const char* name;
        ZeroBased a;
    };
    Case cases[] = {
        {"diag(2, 0)", {{2, 0}, {0, 0}}},
        {"rank one", {{1, 2}, {2, 4}}},
        {"rank two 3x3", {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}},
        {"zero column 3x3", {{1, 0, 2}, {3, 0, -1}, {0.5, 0, 4}}},
        {"rank one 4x4", {{1, -1, 2, 0.5}, {2, -2, 4, 1}, {-3, 3, -6, -1.5}, {0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int n = c.a.rows();
        ZeroBased r(n, n);
        pseudo_inverse(c.a.get(), r.get(), n);
        double scale_a = 0.0, scale_r = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                scale_a = std::fmax(scale_a, std::fabs(c.a[i][j]));
                scale_r = std::fmax(scale_r, std::fabs(r[i][j]));
            }
        EXPECT_LT(tripleProductError(c.a, r, c.a, c.a), 1e-5 * scale_a);
        EXPECT_LT(tripleProductError(r, c.a, r, r), 1e-5 * scale_r);
    }
    ZeroBased d{{2, 0}, {0, 0}};
    ZeroBased rd(2, 2);
    pseudo_inverse(d.get(), rd.get(), 2);
    expectMatrixNear(rd, {{0.5, 0}, {0, 0}}, 1e-7);
    ZeroBased one{{1, 2}, {2, 4}};
    ZeroBased r1(2, 2);
    pseudo_inverse(one.get(), r1.get(), 2);
    expectMatrixNear(r1, {{0.04, 0.08}, {0.08, 0.16}}, 1e-7);
}

// The largest singular value is 0, so is the threshold: no value may be
// inverted, and the result is the all-zero matrix.
TEST(PseudoInverse, AllZeroMatrixGivesAllZero) {
    ZeroBased zero(3, 3);
    ZeroBased r(3, 3, 99.0f);
    EXPECT_TRUE(pseudo_inverse(zero.get(), r.get(), 3));
    expectMatrixNear(r, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 0.0);
}

TEST(MatrixOps, MultiplyTransposeVectorAndScale) {
    ZeroBased a{{1, 2, 3}, {4, 5, 6}};
    ZeroBased b{{1, 0}, {-1, 2}, {0.5, 1}};
    ZeroBased c(2, 2);
    matrix_multiply(a.get(), b.get(), c.get(), 2, 3, 2);
    expectMatrixNear(c, {{0.5, 7}, {2, 16}}, 0.0);

    ZeroBased t(3, 2);
    matrix_transpose(a.get(), t.get(), 2, 3);
    expectMatrixNear(t, {{1, 4}, {2, 5}, {3, 6}}, 0.0);

    float x[3] = {1, -1, 2};
    float y[2] = {99, 99};
    matrix_vector_multiply(a.get(), x, y, 2, 3);
    EXPECT_EQ(y[0], 5.0f);
    EXPECT_EQ(y[1], 11.0f);

    float s[2] = {2, -0.5f};
    matrix_scale_rows(s, a.get(), 2, 3);
    expectMatrixNear(a, {{2, 4, 6}, {-2, -2.5, -3}}, 0.0);

    ZeroBased z(2, 2, 99.0f);
    matrix_multiply(a.get(), b.get(), z.get(), 2, 0, 2);
    expectMatrixNear(z, {{0, 0}, {0, 0}}, 0.0);
}

TEST(MatrixOps, GramIsSymmetricAndGramProductIgnoresB) {
    ZeroBased a{{1, 2, 3}, {-1, 0.5, 2}};
    ZeroBased g(2, 2);
    matrix_gram(a.get(), g.get(), 2, 3);
    expectMatrixNear(g, {{14, 6}, {6, 5.25}}, 0.0);
    EXPECT_EQ(g[0][1], g[1][0]);
    ZeroBased c(2, 2);
    matrix_gram_product(a.get(), nullptr, c.get(), 2, 7, 3);
    expectMatrixNear(c, {{14, 6}, {6, 5.25}}, 0.0);
}

TEST(MatrixOps, CopyModes) {
    ZeroBased a{{1, 2, 3}, {4, 5, 6}};
    OffsetMatrix one_based(2, 3);
    matrix_copy(a.get(), one_based.get(), 2, 3, 2);
    EXPECT_EQ(one_based[1][1], 1.0f);
    EXPECT_EQ(one_based[2][3], 6.0f);
    OffsetMatrix other(2, 3);
    matrix_copy(one_based.get(), other.get(), 2, 3, 1);
    EXPECT_EQ(other[2][1], 4.0f);
    ZeroBased back(2, 3);
    matrix_copy(other.get(), back.get(), 2, 3, 3);
    expectMatrixNear(back, {{1, 2, 3}, {4, 5, 6}}, 0.0);
    ZeroBased same(2, 3);
    matrix_copy(a.get(), same.get(), 2, 3, 0);
    expectMatrixNear(same, {{1, 2, 3}, {4, 5, 6}}, 0.0);
    for (int mode : {-1, 4}) {
        ZeroBased untouched(2, 3, 7.0f);
        matrix_copy(a.get(), untouched.get(), 2, 3, mode);
        expectMatrixNear(untouched, {{7, 7, 7}, {7, 7, 7}}, 0.0);
    }
}

}  // namespace
