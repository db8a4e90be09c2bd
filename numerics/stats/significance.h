// Significance levels and critical values, all through the regularized
// incomplete beta function. Degrees of freedom and counts are unsigned 32-bit.
//
// t_prob(t, df): two-tailed significance of Student's t with df > 0 degrees
//   of freedom.
// correlation_prob(r, n): two-tailed significance of a correlation r from n
//   pairs; 1 for n < 2 or r = 0, 0 for r = 1.
// pearson_r_with_prob(x, y, n, r, prob): Pearson's r of x[1..n], y[1..n]
//   (0 for a constant sample) and its two-tailed significance; needs n >= 3.
// f_prob(f, df1, df2): upper-tail significance of the ratio f with df1
//   (numerator) and df2 (denominator) degrees of freedom; 0 for f < 0.
// critical_t(p, df), critical_r(p, n), critical_f(p, df1, df2): the value whose
//   significance is p, found by 25 step-halving moves from 4 (step 2), 0.4
//   (step 0.2) and 10 (step 2). Targets beyond start + 25 steps (54, 5.4, 60)
//   are not reached.
#pragma once

#include <cstdint>

float t_prob(float t, std::uint32_t df);
float correlation_prob(float r, std::uint32_t n);
void pearson_r_with_prob(const float* x, const float* y, std::uint32_t n, float* r, float* prob);
float f_prob(float f, std::uint32_t df1, std::uint32_t df2);
float critical_t(float p, std::uint32_t df);
float critical_r(float p, std::uint32_t n);
float critical_f(float p, std::uint32_t df1, std::uint32_t df2);
