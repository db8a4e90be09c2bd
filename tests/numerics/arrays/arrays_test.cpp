#include "numerics/arrays/arrays.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/numerics/numerics_testing.h"

using simtrove::testing::fatalText;

namespace {

// Exact stderr of a fatal exit with the given message (as a regex: dots escaped).
struct Range {
    int lo, hi;
};

// Vector ranges with bases below, at and above 1; each element is written and read back,
// so a displaced handle or a short block shows up under the sanitizer build.
TEST(OffsetVector, EveryElementOfEveryRangeIsUsable) {
    const Range ranges[] = {{1, 1}, {1, 10}, {0, 0}, {-3, 3}, {5, 7}};
    for (const Range& r : ranges) {
        float* v = vector(r.lo, r.hi);
        double* d = dvector(r.lo, r.hi);
        int* iv = ivector(r.lo, r.hi);
        nr_long* lv = lvector(r.lo, r.hi);
        unsigned char* cv = cvector(r.lo, r.hi);
        for (int i = r.lo; i <= r.hi; ++i) {
            v[i] = float(i);
            d[i] = i;
            iv[i] = i;
            lv[i] = i;
            cv[i] = static_cast<unsigned char>(i & 0xff);
        }
        // The first element sits at the start of the block: consecutive up to hi.
        EXPECT_EQ(&v[r.hi] - &v[r.lo], r.hi - r.lo);
        for (int i = r.lo; i <= r.hi; ++i) EXPECT_EQ(v[i], float(i));
        release_vector(v, r.lo, r.hi);
        release_dvector(d, r.lo, r.hi);
        release_ivector(iv, r.lo, r.hi);
        release_lvector(lv, r.lo, r.hi);
        release_cvector(cv, r.lo, r.hi);
    }
}

TEST(OffsetVector, EmptyRangeAllocatesAndReleases) {
    float* v = vector(1, 0);
    ASSERT_NE(v, nullptr);
    release_vector(v, 1, 0);
    float** m = matrix(1, 0, 1, 4);
    release_matrix(m, 1, 0, 1, 4);
    float*** t = f3tensor(1, 0, 1, 3, 1, 4);
    release_f3tensor(t, 1, 0, 1, 3, 1, 4);
    unsigned char*** c = c3tensor(1, 2, 1, 0, 1, 4);
    release_c3tensor(c, 1, 2, 1, 0, 1, 4);
}

TEST(OffsetMatrix, RowsAreConsecutiveInMemory) {
    float** m = matrix(1, 3, 1, 4);
    EXPECT_EQ(&m[2][1], &m[1][4] + 1);
    EXPECT_EQ(&m[3][4] - &m[1][1], 11);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 4; ++j) m[i][j] = float(10 * i + j);
    EXPECT_EQ(m[3][2], 32.0f);
    release_matrix(m, 1, 3, 1, 4);

    double** d = double_matrix(0, 1, -1, 1);
    EXPECT_EQ(&d[1][-1], &d[0][1] + 1);
    release_double_matrix(d, 0, 1, -1, 1);

    int** im = int_matrix(2, 3, 5, 6);
    EXPECT_EQ(&im[3][5], &im[2][6] + 1);
    release_int_matrix(im, 2, 3, 5, 6);
}

TEST(OffsetTensor, ElementsAreContiguousInRowColumnDepthOrder) {
    float*** t = f3tensor(1, 2, 1, 3, 1, 4);
    EXPECT_EQ(&t[2][1][1], &t[1][3][4] + 1);
    EXPECT_EQ(&t[2][3][4] - &t[1][1][1], 23);
    for (int i = 1; i <= 2; ++i)
        for (int j = 1; j <= 3; ++j)
            for (int k = 1; k <= 4; ++k) t[i][j][k] = float(100 * i + 10 * j + k);
    EXPECT_EQ(t[2][2][3], 223.0f);
    release_f3tensor(t, 1, 2, 1, 3, 1, 4);

    unsigned char*** c = c3tensor(0, 1, -1, 0, 3, 4);
    EXPECT_EQ(&c[1][-1][3], &c[0][0][4] + 1);
    release_c3tensor(c, 0, 1, -1, 0, 3, 4);
}

TEST(MatrixViews, SubmatrixAliasesTheCallersElements) {
    float** a = matrix(1, 3, 1, 4);
    for (int i = 1; i <= 3; ++i)
        for (int j = 1; j <= 4; ++j) a[i][j] = float(10 * i + j);
    float** m = submatrix(a, 2, 3, 2, 4, 1, 1);
    EXPECT_EQ(&m[1][1], &a[2][2]);
    EXPECT_EQ(&m[2][3], &a[3][4]);
    release_submatrix(m, 1, 2, 1, 3);
    EXPECT_EQ(a[3][4], 34.0f);  // the view's release leaves a alone
    release_matrix(a, 1, 3, 1, 4);
}

TEST(MatrixViews, ConvertMatrixRebasesAnOrdinaryArray) {
    float b[2][3] = {{1, 2, 3}, {4, 5, 6}};
    float** m = convert_matrix(&b[0][0], 1, 2, 1, 3);
    EXPECT_EQ(&m[1][1], &b[0][0]);
    EXPECT_EQ(&m[2][3], &b[1][2]);
    release_convert_matrix(m, 1, 2, 1, 3);
    EXPECT_EQ(b[1][2], 6.0f);
}

TEST(FatalError, WritesThreeLinesAndExitsWithOne) {
    EXPECT_EXIT(numeric_fatal_error("x"), ::testing::ExitedWithCode(1), fatalText("x"));
}

// A range with hi < lo - 1 is an impossible request; each allocator names the block refused.
TEST(FatalError, NegativeCountsEndWithTheAllocatorsMessage) {
    const auto exit1 = ::testing::ExitedWithCode(1);
    EXPECT_EXIT(vector(5, 3), exit1, fatalText("allocation failure in vector()"));
    EXPECT_EXIT(ivector(1, -1), exit1, fatalText("allocation failure in ivector()"));
    EXPECT_EXIT(cvector(1, -1), exit1, fatalText("allocation failure in cvector()"));
    EXPECT_EXIT(lvector(1, -1), exit1, fatalText("allocation failure in lvector()"));
    EXPECT_EXIT(dvector(INT_MAX, INT_MIN), exit1, fatalText("allocation failure in dvector()"));
    EXPECT_EXIT(matrix(1, -1, 1, 2), exit1, fatalText("allocation failure 1 in matrix()"));
    EXPECT_EXIT(matrix(1, 2, 1, -1), exit1, fatalText("allocation failure 2 in matrix()"));
    EXPECT_EXIT(double_matrix(1, 2, 1, -1), exit1, fatalText("allocation failure 2 in matrix()"));
    EXPECT_EXIT(int_matrix(1, -1, 1, 2), exit1, fatalText("allocation failure 1 in matrix()"));
    EXPECT_EXIT(f3tensor(1, -1, 1, 2, 1, 2), exit1,
                fatalText("allocation failure 1 in f3tensor()"));
    EXPECT_EXIT(f3tensor(1, 2, 1, -1, 1, 2), exit1,
                fatalText("allocation failure 2 in f3tensor()"));
    EXPECT_EXIT(f3tensor(1, 2, 1, 2, 1, -1), exit1,
                fatalText("allocation failure 3 in f3tensor()"));
    EXPECT_EXIT(c3tensor(1, 2, 1, 2, 1, -1), exit1,
                fatalText("allocation failure 3 in c3tensor()"));
    // Caller-owned stack storage, so that the dying child leaks nothing of the test's own.
    float b[2][2] = {{1, 2}, {3, 4}};
    float* rows[2] = {b[0], b[1]};
    EXPECT_EXIT(submatrix(rows, 0, -2, 0, 1, 1, 1), exit1,
                fatalText("allocation failure in submatrix()"));
    EXPECT_EXIT(convert_matrix(&b[0][0], 1, -1, 1, 2), exit1,
                fatalText("allocation failure in convert_matrix()"));
}

}  // namespace
