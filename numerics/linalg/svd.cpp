#include "numerics/linalg/svd.h"

#include <algorithm>
#include <cmath>

#include "numerics/arrays/arrays.h"

bool svd_not_converged = false;

namespace {

// Absolute zero test of the iteration phase.
constexpr float kEpsilon = 1.0e-6f;
constexpr int kMaxIterations = 100;

// |p| carrying the sign of q (q = 0 counts as positive).
float withSignOf(float p, float q) {
    return q >= 0.0f ? std::fabs(p) : -std::fabs(p);
}

// Column-pair rotation of x over rows 1..rows: (x[][c1], x[][c2]) ->
// (c1 * c + c2 * s, c2 * c - c1 * s).
void rotateColumns(float** x, int rows, int c1, int c2, float c, float s) {
    for (int j = 1; j <= rows; ++j) {
        const float y = x[j][c1];
        const float z = x[j][c2];
        x[j][c1] = float(double(y) * c + double(z) * s);
        x[j][c2] = float(double(z) * c - double(y) * s);
    }
}

// Householder reduction of a to upper bidiagonal form: diagonal in w,
// superdiagonal in e (e[1] = 0); the reflectors stay in a.
void reduceToBidiagonal(float** a, int m, int n, float* w, float* e) {
    float g = 0.0f;
    float scale = 0.0f;
    float s = 0.0f;
    for (int i = 1; i <= n; ++i) {
        const int l = i + 1;
        e[i] = float(double(scale) * g);
        g = s = scale = 0.0f;
        if (i <= m) {
            for (int k = i; k <= m; ++k) scale = float(double(scale) + std::fabs(a[k][i]));
            if (scale != 0.0f) {
                for (int k = i; k <= m; ++k) {
                    a[k][i] = float(double(a[k][i]) / scale);
                    s = float(double(s) + double(a[k][i]) * a[k][i]);
                }
                float f = a[i][i];
                g = -withSignOf(std::sqrt(s), f);
                const float h = float(double(f) * g - s);
                a[i][i] = float(double(f) - g);
                for (int j = l; j <= n; ++j) {
                    s = 0.0f;
                    for (int k = i; k <= m; ++k) s = float(double(s) + double(a[k][i]) * a[k][j]);
                    f = float(double(s) / h);
                    for (int k = i; k <= m; ++k)
                        a[k][j] = float(double(a[k][j]) + double(f) * a[k][i]);
                }
                for (int k = i; k <= m; ++k) a[k][i] = float(double(a[k][i]) * scale);
            }
        }
        w[i] = float(double(scale) * g);
        g = s = scale = 0.0f;
        if (i <= m && i != n) {
            for (int k = l; k <= n; ++k) scale = float(double(scale) + std::fabs(a[i][k]));
            if (scale != 0.0f) {
                for (int k = l; k <= n; ++k) {
                    a[i][k] = float(double(a[i][k]) / scale);
                    s = float(double(s) + double(a[i][k]) * a[i][k]);
                }
                const float f = a[i][l];
                g = -withSignOf(std::sqrt(s), f);
                const float h = float(double(f) * g - s);
                a[i][l] = float(double(f) - g);
                for (int k = l; k <= n; ++k) e[k] = float(double(a[i][k]) / h);
                for (int j = l; j <= m; ++j) {
                    s = 0.0f;
                    for (int k = l; k <= n; ++k) s = float(double(s) + double(a[j][k]) * a[i][k]);
                    for (int k = l; k <= n; ++k)
                        a[j][k] = float(double(a[j][k]) + double(s) * e[k]);
                }
                for (int k = l; k <= n; ++k) a[i][k] = float(double(a[i][k]) * scale);
            }
        }
    }
}

// Builds V from the right-hand reflectors left in the rows of a.
void accumulateRight(float** a, int n, const float* e, float** v) {
    for (int i = n; i >= 1; --i) {
        if (i < n) {
            const int l = i + 1;
            const float g = e[l];
            if (g != 0.0f) {
                for (int j = l; j <= n; ++j) v[j][i] = float((double(a[i][j]) / a[i][l]) / g);
                for (int j = l; j <= n; ++j) {
                    float s = 0.0f;
                    for (int k = l; k <= n; ++k) s = float(double(s) + double(a[i][k]) * v[k][j]);
                    for (int k = l; k <= n; ++k)
                        v[k][j] = float(double(v[k][j]) + double(s) * v[k][i]);
                }
            }
            for (int j = l; j <= n; ++j) v[i][j] = v[j][i] = 0.0f;
        }
        v[i][i] = 1.0f;
    }
}

// Builds U in place from the left-hand reflectors left in the columns of a.
void accumulateLeft(float** a, int m, int n, const float* w) {
    for (int i = std::min(m, n); i >= 1; --i) {
        const int l = i + 1;
        float g = w[i];
        for (int j = l; j <= n; ++j) a[i][j] = 0.0f;
        if (g != 0.0f) {
            g = float(1.0 / g);
            for (int j = l; j <= n; ++j) {
                float s = 0.0f;
                for (int k = l; k <= m; ++k) s = float(double(s) + double(a[k][i]) * a[k][j]);
                const float f = float((double(s) / a[i][i]) * g);
                for (int k = i; k <= m; ++k) a[k][j] = float(double(a[k][j]) + double(f) * a[k][i]);
            }
            for (int j = i; j <= m; ++j) a[j][i] = float(double(a[j][i]) * g);
        } else {
            for (int j = i; j <= m; ++j) a[j][i] = 0.0f;
        }
        a[i][i] = float(double(a[i][i]) + 1.0);
    }
}

// Zeroes e[l] when w[l-1] is negligible, by rotations that chase it along row
// l-1 of the bidiagonal form.
void cancelSuperdiagonal(float** a, int m, float* w, float* e, int l, int k) {
    const int nm = l - 1;
    float c = 0.0f;
    float s = 1.0f;
    for (int i = l; i <= k; ++i) {
        const float f = float(double(s) * e[i]);
        e[i] = float(double(c) * e[i]);
        if (std::fabs(f) < kEpsilon) break;
        const float g = w[i];
        float h = hypotenuse(f, g);
        w[i] = h;
        h = float(1.0 / h);
        c = float(double(g) * h);
        s = float(-double(f) * h);
        rotateColumns(a, m, nm, i, c, s);
    }
}

// One implicitly shifted QR sweep over the block l..k of the bidiagonal form.
void qrSweep(float** a, int m, int n, float* w, float* e, float** v, int l, int k) {
    float x = w[l];
    const int nm = k - 1;
    float y = w[nm];
    float z = w[k];
    float g = e[nm];
    float h = e[k];
    float f = float(((double(y) - z) * (double(y) + z) + (double(g) - h) * (double(g) + h)) /
                    (2.0 * h * y));
    g = hypotenuse(f, 1.0f);
    f = float(
        ((double(x) - z) * (double(x) + z) + double(h) * (y / (double(f) + withSignOf(g, f)) - h)) /
        x);
    float c = 1.0f;
    float s = 1.0f;
    for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = e[i];
        y = w[i];
        h = float(double(s) * g);
        g = float(double(c) * g);
        z = hypotenuse(f, h);
        e[j] = z;
        c = float(double(f) / z);
        s = float(double(h) / z);
        f = float(double(x) * c + double(g) * s);
        g = float(double(g) * c - double(x) * s);
        h = float(double(y) * s);
        y = float(double(y) * c);
        rotateColumns(v, n, j, i, c, s);
        z = hypotenuse(f, h);
        w[j] = z;
        if (z != 0.0f) {
            z = float(1.0 / z);
            c = float(double(f) * z);
            s = float(double(h) * z);
        }
        f = float(double(c) * g + double(s) * y);
        x = float(double(c) * y - double(s) * g);
        rotateColumns(a, m, j, i, c, s);
    }
    e[l] = 0.0f;
    e[k] = f;
    w[k] = x;
}

// Start of the unreduced block that ends at k. Sets cancel when w[l-1] is
// negligible, so that e[l] must be chased out first. The search ends at row 1
// without looking at e[1], which is zero by construction; this also keeps a NaN
// there from sending the search to row 0.
int findBlockStart(const float* w, const float* e, int k, bool& cancel) {
    cancel = true;
    for (int l = k; l >= 1; --l) {
        if (l == 1 || std::fabs(e[l]) < kEpsilon) {
            cancel = false;
            return l;
        }
        if (std::fabs(w[l - 1]) < kEpsilon) return l;
    }
    cancel = false;
    return 1;
}

void diagonalise(float** a, int m, int n, float* w, float* e, float** v) {
    for (int k = n; k >= 1; --k) {
        for (int its = 1; its <= kMaxIterations; ++its) {
            bool cancel = false;
            const int l = findBlockStart(w, e, k, cancel);
            if (cancel) cancelSuperdiagonal(a, m, w, e, l, k);
            const float z = w[k];
            if (l == k) {
                if (z < 0.0f) {
                    w[k] = -z;
                    for (int j = 1; j <= n; ++j) v[j][k] = -v[j][k];
                }
                break;
            }
            if (its == kMaxIterations) svd_not_converged = true;
            qrSweep(a, m, n, w, e, v, l, k);
        }
    }
}

}  // namespace

float hypotenuse(float p, float q) {
    const float abs_p = std::fabs(p);
    const float abs_q = std::fabs(q);
    if (abs_p > abs_q) {
        const float r = float(double(abs_q) / abs_p);
        const double r2 = r == 0.0f ? 0.0 : double(r) * r;
        return float(double(abs_p) * float(std::sqrt(1.0 + r2)));
    }
    if (abs_q == 0.0f) return 0.0f;
    const float r = float(double(abs_p) / abs_q);
    const double r2 = r == 0.0f ? 0.0 : double(r) * r;
    return float(double(abs_q) * float(std::sqrt(1.0 + r2)));
}

void svd_decompose(float** a, int m, int n, float* w, float** v) {
    svd_not_converged = false;
    float* e = vector(1, n);
    reduceToBidiagonal(a, m, n, w, e);
    accumulateRight(a, n, e, v);
    accumulateLeft(a, m, n, w);
    diagonalise(a, m, n, w, e, v);
    release_vector(e, 1, n);
}
