// Straight-line fit and running sums, in single precision.
#pragma once

// Least-squares fit of y = a + b x to x[1..n], y[1..n]. With weighted != 0,
// sigma[1..n] are the standard deviations of y, sigma_a and sigma_b come from
// them, and q = gammq((n - 2) / 2, chi_sq / 2) is the goodness of fit; n <= 2
// then ends the process with "Invalid arguments in routine gammq". With
// weighted = 0, sigma is not read, q = 1 and the uncertainties are scaled by the
// scatter about the line (not finite for n = 2). a, b and chi_sq also serve as
// accumulators while the fit runs.
void fit_line(const float* x, const float* y, int n, const float* sigma, int weighted, float* a,
              float* b, float* sigma_a, float* sigma_b, float* chi_sq, float* q);

// The two running routines add one pair to caller-held sums (all zero before
// the first pair; N is a float count) and share their layout. Each pair
// contributes its deviation from the means that include it; earlier terms are
// not corrected, so the results differ from a two-pass fit.

// Adds (x, y) and reports the current correlation r (0 while a sample has no
// spread).
void running_correlation_update(float x, float y, float* N, float* Sx, float* Sy, float* Sxx,
                                float* Syy, float* Sxy, float* r);
// Adds (x, y) and reports the current intercept a, slope b (0 while x has no
// spread) and mean of y.
void running_regression_update(float x, float y, float* N, float* Sx, float* Sy, float* Sxx,
                               float* Syy, float* Sxy, float* a, float* b, float* mean_y);
