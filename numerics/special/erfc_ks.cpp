#include "numerics/special/erfc_ks.h"

#include <cmath>

namespace {

// Single-precision forms: the float argument widened, the result rounded to float.
float logSingle(float x) {
    return float(std::log(double(x)));
}
float expSingle(float x) {
    return float(std::exp(double(x)));
}
float fabsSingle(float x) {
    return float(std::fabs(double(x)));
}

}  // namespace

float erfc_chebyshev(float x) {
    const float z = fabsSingle(x);
    const float t = float(1.0 / (1.0 + 0.5 * z));
    const double td = t;
    const double exponent =
        (-double(z) * z - 1.26551223) +
        td * (1.00002368 +
              td * (0.37409196 +
                    td * (0.09678418 +
                          td * (-0.18628806 +
                                td * (0.27886807 +
                                      td * (-1.13520398 +
                                            td * (1.48851587 +
                                                  td * (-0.82215223 + td * 0.17087277))))))));
    const float ans = float(td * std::exp(exponent));
    return x >= 0.0f ? ans : float(2.0 - ans);
}

float ks_probability(float lambda) {
    double fac = 2.0;
    float sum = 0.0f;
    float term_prev = 0.0f;
    const float a2 = float((double(lambda) * -2.0) * lambda);
    for (int j = 1; j <= 100; ++j) {
        const float term = float(fac * expSingle(float((double(j) * a2) * j)));
        sum = float(double(sum) + term);
        const double magnitude = fabsSingle(term);
        if (magnitude <= 0.001 * term_prev || magnitude <= 1.0e-8 * sum) return sum;
        fac = -fac;
        term_prev = fabsSingle(term);
    }
    return 1.0f;
}

float radial_deviate(float u) {
    if (u == 1.0f) u = 0.9999999f;
    const float a = float(1.0 - u);
    const float b = float(double(a) * a);
    const float r = float(std::sqrt(double(logSingle(b)) * -2.0 / b));
    return float(double(a) * r);
}
