#include "numerics/linalg/eigen.h"

#include <cmath>
#include <utility>

#include "numerics/arrays/arrays.h"

namespace {

constexpr int kMaxSweeps = 50;

struct Rotation {
    float s;
    float tau;
    // (x, y) -> (x - s (y + x tau), y + s (x - y tau))
    void apply(float& x, float& y) const {
        const float g = x;
        const float h = y;
        x = float(double(g) - double(s) * (double(h) + double(g) * tau));
        y = float(double(h) + double(s) * (double(g) - double(h) * tau));
    }
};

float offDiagonalSum(float** a, int n) {
    float sum = 0.0f;
    for (int p = 1; p < n; ++p)
        for (int q = p + 1; q <= n; ++q) sum = float(double(sum) + std::fabs(a[p][q]));
    return sum;
}

// x + g, rounded to float, is still x: g is negligible against x.
bool negligible(float x, float g) {
    return float(double(x) + g) == x;
}

// Annihilates a[p][q] (p < q), touching only the upper triangle, and records
// the rotation in v and the eigenvalue changes in d and z.
void rotate(float** a, int n, int p, int q, float g, float d[], float z[], float** v) {
    float h = float(double(d[q]) - d[p]);
    float t;
    if (negligible(std::fabs(h), g)) {
        t = float(double(a[p][q]) / h);
    } else {
        const float theta = float(0.5 * h / a[p][q]);
        t = float(1.0 / (std::fabs(theta) + std::sqrt(1.0 + double(theta) * theta)));
        if (theta < 0.0f) t = -t;
    }
    const float c = float(1.0 / std::sqrt(float(1.0 + double(t) * t)));
    const float s = float(double(t) * c);
    const Rotation rot{s, float(double(s) / (1.0 + c))};
    h = float(double(t) * a[p][q]);
    z[p] = float(double(z[p]) - h);
    z[q] = float(double(z[q]) + h);
    d[p] = float(double(d[p]) - h);
    d[q] = float(double(d[q]) + h);
    a[p][q] = 0.0f;
    for (int j = 1; j < p; ++j) rot.apply(a[j][p], a[j][q]);
    for (int j = p + 1; j < q; ++j) rot.apply(a[p][j], a[j][q]);
    for (int j = q + 1; j <= n; ++j) rot.apply(a[p][j], a[q][j]);
    for (int j = 1; j <= n; ++j) rot.apply(v[j][p], v[j][q]);
}

}  // namespace

void jacobi(float** a, int n, float d[], float** v, int* rotations) {
    float* b = vector(1, n);
    float* z = vector(1, n);
    for (int p = 1; p <= n; ++p) {
        for (int q = 1; q <= n; ++q) v[p][q] = 0.0f;
        v[p][p] = 1.0f;
        b[p] = d[p] = a[p][p];
        z[p] = 0.0f;
    }
    *rotations = 0;
    for (int sweep = 1; sweep <= kMaxSweeps; ++sweep) {
        const float sum = offDiagonalSum(a, n);
        if (sum == 0.0f) {
            release_vector(z, 1, n);
            release_vector(b, 1, n);
            return;
        }
        const float threshold = sweep < 4 ? float(0.2 * sum / (double(n) * n)) : 0.0f;
        for (int p = 1; p < n; ++p) {
            for (int q = p + 1; q <= n; ++q) {
                const float g = float(100.0 * std::fabs(a[p][q]));
                if (sweep > 4 && negligible(std::fabs(d[p]), g) && negligible(std::fabs(d[q]), g)) {
                    a[p][q] = 0.0f;
                } else if (std::fabs(a[p][q]) > threshold) {
                    rotate(a, n, p, q, g, d, z, v);
                    ++*rotations;
                }
            }
        }
        // Eigenvalue changes are summed per sweep to limit rounding in d.
        for (int p = 1; p <= n; ++p) {
            b[p] = float(double(b[p]) + z[p]);
            d[p] = b[p];
            z[p] = 0.0f;
        }
    }
    numeric_fatal_error("Too many iterations in routine jacobi");
}

void sort_eigen_descending(float d[], float** v, int n) {
    for (int i = 1; i < n; ++i) {
        int k = i;
        float p = d[i];
        for (int j = i + 1; j <= n; ++j) {
            if (d[j] >= p) {
                k = j;
                p = d[j];
            }
        }
        if (k != i) {
            d[k] = d[i];
            d[i] = p;
            for (int j = 1; j <= n; ++j) std::swap(v[j][i], v[j][k]);
        }
    }
}
