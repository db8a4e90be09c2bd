#include "numerics/stats/significance.h"

#include <cmath>

#include "numerics/special/gamma_beta.h"
#include "numerics/stats/moments.h"

namespace {

// Keeps 1 - r and 1 + r away from zero in the t transform of r.
constexpr double kGuard = 1.0e-20;
constexpr int kSearchSteps = 25;

// t transform of r with df degrees of freedom, and the two-tailed significance of r.
float correlationSignificance(float r, float df) {
    const double rd = r;
    const float t = float(rd * std::sqrt(double(df) / ((1.0 - rd + kGuard) * (1.0 + rd + kGuard))));
    return incomplete_beta(float(0.5 * df), 0.5f, float(double(df) / (double(df) + double(t) * t)));
}

// Step-halving search for v with g(v) = p, g falling in v. The step is halved
// whenever the direction of the move reverses; the last direction starts as up.
template <typename Forward>
float stepSearch(float p, float start, float first_step, Forward g) {
    float v = start;
    float step = first_step;
    bool last_up = true;
    for (int move = 0; move < kSearchSteps; ++move) {
        const float q = g(v);
        if (p > q) {
            v = float(double(v) - step);
            if (last_up) step = float(double(step) / 2.0);
            last_up = false;
        } else {  // also when p or q is NaN
            v = float(double(v) + step);
            if (!last_up) step = float(double(step) / 2.0);
            last_up = true;
        }
    }
    return v;
}

}  // namespace

float t_prob(float t, std::uint32_t df) {
    const float dff = float(df);
    const float x = float(double(dff) / (double(dff) + double(t) * t));
    return incomplete_beta(float(0.5 * dff), 0.5f, x);
}

float correlation_prob(float r, std::uint32_t n) {
    if (n < 2) return 1.0f;
    const float df = float(n - 2);
    if (r == 0.0f) return 1.0f;
    if (r == 1.0f) return 0.0f;
    return correlationSignificance(r, df);
}

void pearson_r_with_prob(const float* x, const float* y, std::uint32_t n, float* r, float* prob) {
    pearson_r(x, y, n, r);
    *prob = correlationSignificance(*r, float(n - 2));
}

float f_prob(float f, std::uint32_t df1, std::uint32_t df2) {
    if (f < 0.0f) return 0.0f;
    const double d1 = float(df1);
    const double d2 = float(df2);
    // The first shape argument belongs to the denominator degrees of freedom.
    return incomplete_beta(float(0.5 * d2), float(0.5 * d1), float(d2 / (d2 + d1 * f)));
}

float critical_t(float p, std::uint32_t df) {
    return stepSearch(p, 4.0f, 2.0f, [df](float v) { return t_prob(v, df); });
}

float critical_r(float p, std::uint32_t n) {
    return stepSearch(p, 0.4f, 0.2f, [n](float v) { return correlation_prob(v, n); });
}

float critical_f(float p, std::uint32_t df1, std::uint32_t df2) {
    return stepSearch(p, 10.0f, 2.0f, [df1, df2](float v) { return f_prob(v, df1, df2); });
}
