// Significance levels and critical values, all through the regularized
// incomplete beta function. Degrees of freedom and counts are unsigned 32-bit.
#pragma once

#include <cstdint>

// Two-tailed significance of Student's t with df > 0 degrees of freedom.
float t_prob(float t, std::uint32_t df);
// Two-tailed significance of a correlation r from n pairs; 1 for n < 2 or
// r = 0, 0 for r = 1.
float correlation_prob(float r, std::uint32_t n);
// Pearson's r of x[1..n], y[1..n] (0 for a constant sample) and its two-tailed
// significance; needs n >= 3.
void pearson_r_with_prob(const float* x, const float* y, std::uint32_t n, float* r, float* prob);
// Upper-tail significance of the ratio f with df1 (numerator) and df2
// (denominator) degrees of freedom; 0 for f < 0.
float f_prob(float f, std::uint32_t df1, std::uint32_t df2);

// The value whose significance is p, found by 25 step-halving moves from a
// start and step; targets beyond start + 25 steps are not reached.

// Start 4, step 2 (limit 54).
float critical_t(float p, std::uint32_t df);
// Start 0.4, step 0.2 (limit 5.4).
float critical_r(float p, std::uint32_t n);
// Start 10, step 2 (limit 60).
float critical_f(float p, std::uint32_t df1, std::uint32_t df2);
