#include "numerics/stats/line_fit.h"

#include <cmath>

#include "numerics/special/gamma_beta.h"

namespace {

// Square of a float value, formed in double.
double squared(float v) {
    return double(v) * v;
}

// Adds one pair to the running sums, with deviations from the updated means.
void addPair(float x, float y, float* N, float* Sx, float* Sy, float* Sxx, float* Syy, float* Sxy) {
    *N = float(double(*N) + 1.0);
    *Sx = float(double(*Sx) + x);
    *Sy = float(double(*Sy) + y);
    const float dx = float(double(x) - double(*Sx) / *N);
    const float dy = float(double(y) - double(*Sy) / *N);
    *Sxx = float(double(*Sxx) + squared(dx));
    *Syy = float(double(*Syy) + squared(dy));
    *Sxy = float(double(*Sxy) + double(dx) * dy);
}

}  // namespace

void fit_line(const float* x, const float* y, int n, const float* sigma, int weighted, float* a,
              float* b, float* sigma_a, float* sigma_b, float* chi_sq, float* q) {
    float sx = 0.0f, sy = 0.0f, stt = 0.0f, s = 0.0f;
    *b = 0.0f;
    if (weighted) {
        for (int i = 1; i <= n; ++i) {
            const float w = float(1.0 / squared(sigma[i]));
            s = float(double(s) + w);
            sx = float(double(sx) + double(x[i]) * w);
            sy = float(double(sy) + double(y[i]) * w);
        }
    } else {
        for (int i = 1; i <= n; ++i) {
            sx = float(double(sx) + x[i]);
            sy = float(double(sy) + y[i]);
        }
        s = float(n);
    }
    const float mean_x = float(double(sx) / s);
    for (int i = 1; i <= n; ++i) {
        if (weighted) {
            const float t = float((double(x[i]) - mean_x) / sigma[i]);
            stt = float(double(stt) + squared(t));
            *b = float(double(*b) + double(t) * y[i] / sigma[i]);
        } else {
            const float t = float(double(x[i]) - mean_x);
            stt = float(double(stt) + squared(t));
            *b = float(double(*b) + double(t) * y[i]);
        }
    }
    *b = float(double(*b) / stt);
    *a = float((double(sy) - double(sx) * *b) / s);
    *sigma_a = float(std::sqrt((1.0 + double(sx) * sx / (double(s) * stt)) / s));
    *sigma_b = float(std::sqrt(1.0 / stt));
    *chi_sq = 0.0f;
    if (!weighted) {
        for (int i = 1; i <= n; ++i)
            *chi_sq =
                float(double(*chi_sq) + squared(float(double(y[i]) - *a - double(*b) * x[i])));
        *q = 1.0f;
        const float scatter = float(std::sqrt(double(float(double(*chi_sq) / (n - 2)))));
        *sigma_a = float(double(*sigma_a) * scatter);
        *sigma_b = float(double(*sigma_b) * scatter);
    } else {
        for (int i = 1; i <= n; ++i)
            *chi_sq = float(double(*chi_sq) +
                            squared(float((double(y[i]) - *a - double(*b) * x[i]) / sigma[i])));
        *q = gammq(float(0.5 * (n - 2)), float(0.5 * *chi_sq));
    }
}

void running_correlation_update(float x, float y, float* N, float* Sx, float* Sy, float* Sxx,
                                float* Syy, float* Sxy, float* r) {
    addPair(x, y, N, Sx, Sy, Sxx, Syy, Sxy);
    const float den = float(std::sqrt(double(float(double(*Sxx) * *Syy))));
    *r = den > 0.0f ? float(double(*Sxy) / den) : 0.0f;
}

void running_regression_update(float x, float y, float* N, float* Sx, float* Sy, float* Sxx,
                               float* Syy, float* Sxy, float* a, float* b, float* mean_y) {
    addPair(x, y, N, Sx, Sy, Sxx, Syy, Sxy);
    *b = *Sxx > 0.0f ? float(double(*Sxy) / *Sxx) : 0.0f;
    *mean_y = float(double(*Sy) / *N);
    *a = float(double(*mean_y) - double(*b) * *Sx / *N);
}
