#include "numerics/fit/svd_fit.h"

#include "numerics/arrays/arrays.h"
#include "numerics/linalg/svd.h"

namespace {

// Singular values below this fraction of the largest are treated as zero.
constexpr double kSingularThreshold = 1.0e-5;

void zeroSmallSingularValues(float w[], int n) {
    float wmax = 0.0f;
    for (int j = 1; j <= n; ++j)
        if (w[j] > wmax) wmax = w[j];
    const float threshold = float(wmax * kSingularThreshold);
    for (int j = 1; j <= n; ++j)
        if (w[j] < threshold) w[j] = 0.0f;
}

}  // namespace

void svd_back_substitute(float** u, float w[], float** v, int m, int n, float b[], float x[]) {
    float* t = vector(1, n);
    for (int j = 1; j <= n; ++j) {
        float s = 0.0f;
        if (w[j] != 0.0f) {
            for (int i = 1; i <= m; ++i) s = float(double(s) + double(u[i][j]) * b[i]);
            s = float(double(s) / w[j]);
        }
        t[j] = s;
    }
    for (int j = 1; j <= n; ++j) {
        float s = 0.0f;
        for (int jj = 1; jj <= n; ++jj) s = float(double(s) + double(v[j][jj]) * t[jj]);
        x[j] = s;
    }
    release_vector(t, 1, n);
}

void svd_least_squares_fit(float x[], float y[], float sigma[], int n_points, float a[],
                           int n_coeffs, float** u, float** v, float w[], float* chi_square,
                           basis_function basis) {
    float* b = vector(1, n_points);
    float* p = vector(1, n_coeffs);
    for (int i = 1; i <= n_points; ++i) {
        basis(x[i], p, n_coeffs);
        const float r = float(1.0 / sigma[i]);
        for (int j = 1; j <= n_coeffs; ++j) u[i][j] = float(double(p[j]) * r);
        b[i] = float(double(y[i]) * r);
    }
    svd_decompose(u, n_points, n_coeffs, w, v);
    zeroSmallSingularValues(w, n_coeffs);
    svd_back_substitute(u, w, v, n_points, n_coeffs, b, a);

    float chi2 = 0.0f;
    for (int i = 1; i <= n_points; ++i) {
        basis(x[i], p, n_coeffs);
        float s = 0.0f;
        for (int j = 1; j <= n_coeffs; ++j) s = float(double(s) + double(a[j]) * p[j]);
        const float d = float((double(y[i]) - s) / sigma[i]);
        chi2 = float(double(chi2) + double(d) * d);
    }
    *chi_square = chi2;
    release_vector(p, 1, n_coeffs);
    release_vector(b, 1, n_points);
}

void svd_covariance(float** v, int n_coeffs, float w[], float** covariance) {
    float* t = vector(1, n_coeffs);
    for (int i = 1; i <= n_coeffs; ++i)
        t[i] = w[i] != 0.0f ? float(1.0 / (double(w[i]) * w[i])) : 0.0f;
    for (int i = 1; i <= n_coeffs; ++i) {
        for (int j = 1; j <= i; ++j) {
            float s = 0.0f;
            for (int k = 1; k <= n_coeffs; ++k)
                s = float(double(s) + double(v[i][k]) * v[j][k] * t[k]);
            covariance[i][j] = covariance[j][i] = s;
        }
    }
    release_vector(t, 1, n_coeffs);
}

void polynomial_basis(float x, float p[], int np) {
    p[1] = 1.0f;
    for (int j = 2; j <= np; ++j) p[j] = float(double(p[j - 1]) * x);
}
