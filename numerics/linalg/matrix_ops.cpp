#include "numerics/linalg/matrix_ops.h"

#include <cmath>

#include "numerics/arrays/arrays.h"
#include "numerics/linalg/svd.h"

namespace {

// Singular values below this fraction of the largest are dropped.
constexpr double kPseudoInverseThreshold = 1.0e-6;

// Row offsets of the copy modes: source and destination index bases.
bool copyBases(int mode, int& src_base, int& dst_base) {
    switch (mode) {
        case 0:
            src_base = 0, dst_base = 0;
            return true;
        case 1:
            src_base = 1, dst_base = 1;
            return true;
        case 2:
            src_base = 0, dst_base = 1;
            return true;
        case 3:
            src_base = 1, dst_base = 0;
            return true;
        default:
            return false;
    }
}

// Inverts the singular values in place; those below the threshold become 0.
// When all are 0 the threshold is 0 too, and the zero test keeps 1/0 out.
void invertSingularValues(float* w, int n) {
    float wmax = 0.0f;
    for (int i = 1; i <= n; ++i)
        if (w[i] > wmax) wmax = w[i];
    const float threshold = float(wmax * kPseudoInverseThreshold);
    for (int i = 1; i <= n; ++i)
        w[i] = (w[i] < threshold || w[i] == 0.0f) ? 0.0f : float(1.0 / w[i]);
}

}  // namespace

void matrix_multiply(float** a, float** b, float** c, int n, int m, int p) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < p; ++j) {
            float s = 0.0f;
            for (int k = 0; k < m; ++k) s = float(double(s) + double(a[i][k]) * b[k][j]);
            c[i][j] = s;
        }
}

void matrix_gram(float** a, float** g, int n, int m) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) {
            float s = 0.0f;
            for (int k = 0; k < m; ++k) s = float(double(s) + double(a[i][k]) * a[j][k]);
            g[i][j] = s;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < i; ++j) g[j][i] = g[i][j];
}

void matrix_gram_product(float** a, float** /*b*/, float** c, int n, int /*m*/, int p) {
    matrix_gram(a, c, n, p);
}

void matrix_vector_multiply(float** a, float* x, float* y, int n, int m) {
    for (int i = 0; i < n; ++i) {
        y[i] = 0.0f;
        for (int j = 0; j < m; ++j) y[i] = float(double(y[i]) + double(a[i][j]) * x[j]);
    }
}

void matrix_transpose(float** a, float** b, int n, int m) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) b[j][i] = a[i][j];
}

void matrix_copy(float** src, float** dst, int rows, int cols, int mode) {
    int s = 0;
    int d = 0;
    if (!copyBases(mode, s, d)) return;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) dst[i + d][j + d] = src[i + s][j + s];
}

void matrix_scale_rows(float* s, float** a, int n, int m) {
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < m; ++j) a[i][j] = float(double(a[i][j]) * s[i]);
}

bool pseudo_inverse(float** a, float** r, int n) {
    float** u = matrix(1, n, 1, n);
    float** v = matrix(1, n, 1, n);
    float* w = vector(1, n);
    float** t1 = matrix(0, n - 1, 0, n - 1);
    float** t2 = matrix(0, n - 1, 0, n - 1);
    float** t3 = matrix(0, n - 1, 0, n - 1);

    matrix_copy(a, u, n, n, 2);
    svd_decompose(u, n, n, w, v);
    // A value stopped at the iteration limit may still be negative.
    if (svd_not_converged)
        for (int i = 1; i <= n; ++i) w[i] = std::fabs(w[i]);
    invertSingularValues(w, n);

    matrix_copy(u, t3, n, n, 3);
    matrix_transpose(t3, t1, n, n);
    matrix_scale_rows(w + 1, t1, n, n);
    matrix_copy(v, t3, n, n, 3);
    matrix_copy(t3, t2, n, n, 0);
    matrix_multiply(t2, t1, r, n, n, n);

    release_matrix(t1, 0, n - 1, 0, n - 1);
    release_matrix(t2, 0, n - 1, 0, n - 1);
    release_matrix(t3, 0, n - 1, 0, n - 1);
    release_matrix(v, 1, n, 1, n);
    release_matrix(u, 1, n, 1, n);
    release_vector(w, 1, n);
    return true;
}
