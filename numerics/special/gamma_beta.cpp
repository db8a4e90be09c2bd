#include "numerics/special/gamma_beta.h"

#include <cmath>

#include "numerics/arrays/arrays.h"
#include "numerics/special/gamma_beta_internal.h"

using namespace simtrove::special;

namespace {

constexpr int kItmax = 100;
constexpr double kEps = 3.0e-7;
constexpr double kFloor = 1.0e-30;
constexpr float kFloorFloat = 1.0e-30f;
constexpr float kCStart = 1.0e30f;

// Single-precision forms: the float argument widened, the result rounded to float.
float logSingle(float x) {
    return float(std::log(double(x)));
}
float expSingle(float x) {
    return float(std::exp(double(x)));
}

// exp(-x + a ln x - gln), the common front factor of both halves of Q(a, x).
float gammaFrontFactor(float a, float x, float gln) {
    return expSingle(float(-double(x) + double(a) * logSingle(x) - gln));
}

// Floors a vanishing Lentz denominator at +1e-30 whatever its sign.
double floored(double v) {
    return std::fabs(v) < kFloor ? kFloor : v;
}

}  // namespace

double log_gamma(double z) {
    double u = z + 5.5;
    u -= (z + 0.5) * std::log(u);
    double s = kLogGammaSeriesStart;
    double w = z;
    for (double c : kLogGammaCoefficients) s += c / ++w;
    return -u + std::log(kLogGammaFactor * s / z);
}

void gser(float* gamser, float a, float x, float* gln) {
    *gln = float(log_gamma(a));
    if (x <= 0.0f) {
        if (x < 0.0f) numeric_fatal_error("x less than 0 in routine gser");
        *gamser = 0.0f;
        return;
    }
    float k = a;
    float total = float(1.0 / a);
    float term = total;
    for (int n = 1; n <= kItmax; ++n) {
        k = float(double(k) + 1.0);
        term = float(double(term) * (double(x) / k));
        total = float(double(total) + term);
        if (std::fabs(double(term)) < std::fabs(double(total)) * kEps) {
            *gamser = float(double(total) * gammaFrontFactor(a, x, *gln));
            return;
        }
    }
    numeric_fatal_error("a too large, ITMAX too small in routine gser");
}

void gcf(float* gammcf, float a, float x, float* gln) {
    *gln = float(log_gamma(a));
    float beta = float(double(x) + 1.0 - a);
    float c = kCStart;
    float d = float(1.0 / beta);
    float f = d;
    bool converged = false;
    for (int i = 1; i <= kItmax; ++i) {
        const float alpha = float(-double(i) * (double(i) - a));
        beta = float(double(beta) + 2.0);
        d = float(double(alpha) * d + beta);
        if (std::fabs(double(d)) < kFloor) d = kFloorFloat;
        c = float(double(beta) + double(alpha) / c);
        if (std::fabs(double(c)) < kFloor) c = kFloorFloat;
        d = float(1.0 / d);
        const float delta = float(double(d) * c);
        f = float(double(f) * delta);
        if (std::fabs(double(delta) - 1.0) < kEps) {
            converged = true;
            break;
        }
    }
    if (!converged) numeric_fatal_error("a too large, ITMAX too small in gcf");
    *gammcf = float(double(gammaFrontFactor(a, x, *gln)) * f);
}

float gammq(float a, float x) {
    if (x < 0.0f || a <= 0.0f) numeric_fatal_error("Invalid arguments in routine gammq");
    float gln = 0.0f;
    if (x < double(a) + 1.0) {
        float gamser = 0.0f;
        gser(&gamser, a, x, &gln);
        return float(1.0 - gamser);
    }
    float gammcf = 0.0f;
    gcf(&gammcf, a, x, &gln);
    return gammcf;
}

float incomplete_beta_cf(double a, double b, double x) {
    const double sum = a + b;
    const double ap1 = a + 1.0;
    const double am1 = a - 1.0;
    double c = 1.0;
    double d = 1.0 / floored(1.0 - sum * x / ap1);
    double f = d;
    for (int m = 1; m <= 100; ++m) {
        const double e = 2.0 * m;
        double alpha = m * (b - m) * x / ((am1 + e) * (a + e));
        d = 1.0 / floored(1.0 + alpha * d);
        c = floored(1.0 + alpha / c);
        f = f * d * c;
        alpha = -(a + m) * (sum + m) * x / ((a + e) * (ap1 + e));
        d = 1.0 / floored(1.0 + alpha * d);
        c = floored(1.0 + alpha / c);
        const double delta = d * c;
        f *= delta;
        if (std::fabs(delta - 1.0) < kEps) break;
    }
    return float(f);
}

float incomplete_beta(float a, float b, float x) {
    if (x < 0.0f || x > 1.0f) return 0.0f;
    float front = 0.0f;
    if (x != 0.0f && x != 1.0f) {
        const double da = a;
        const double db = b;
        front = float(std::exp(log_gamma(da + db) - log_gamma(da) - log_gamma(db) +
                               da * logSingle(x) + db * std::log(1.0 - x)));
    }
    if (x < (double(a) + 1.0) / (double(a) + b + 2.0))
        return float(double(front) * incomplete_beta_cf(a, b, x) / a);
    return float(1.0 - double(front) * incomplete_beta_cf(b, a, 1.0 - x) / b);
}
