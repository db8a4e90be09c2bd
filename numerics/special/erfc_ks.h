// Directly evaluated functions of one float argument; none keeps state or
// reports errors.
#pragma once

// The complementary error function by a fitted exponential-polynomial formula,
// in [0, 2]; relative error about 1e-6 for |x| <= 3, and the float result
// underflows to 0 far in the positive tail.
float erfc_chebyshev(float x);
// The Kolmogorov-Smirnov significance
// Q(lambda) = 2 sum_{j>=1} (-1)^(j-1) exp(-2 j^2 lambda^2), summed until the
// terms are negligible; 1.0 when 100 terms do not settle (lambda near 0). Even
// in lambda.
float ks_probability(float lambda);
// (1-u) sqrt(-2 ln((1-u)^2) / (1-u)^2), that is sqrt(-4 ln(1-u)) for u in
// [0, 1); u = 1 is taken as 0.9999999, and u in (1, 2] gives the negative of the
// value at 2 - u. Outside [0, 2] the result is what the square root of a
// negative number gives.
float radial_deviate(float u);
