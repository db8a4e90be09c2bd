// Gamma and beta special functions.
//
// log_gamma(z): ln Gamma(z) in double precision for z > 0 (no domain check).
// gammq(a, x): Q(a, x) = 1 - P(a, x), the complementary regularized incomplete
//   gamma function; a > 0 and x >= 0, otherwise the process ends with
//   "Invalid arguments in routine gammq". Uses gser for x < a + 1, else gcf.
// gser(gamser, a, x, gln): P(a, x) by its series into *gamser, ln Gamma(a) into
//   *gln (written first, also for x <= 0). Ends the process with
//   "x less than 0 in routine gser" for x < 0 and with
//   "a too large, ITMAX too small in routine gser" after 100 terms.
// gcf(gammcf, a, x, gln): Q(a, x) by its continued fraction into *gammcf,
//   ln Gamma(a) into *gln. Ends the process with
//   "a too large, ITMAX too small in gcf" after 100 iterations.
// incomplete_beta(a, b, x): I_x(a, b) for a, b > 0; 0 for x outside [0, 1].
// incomplete_beta_cf(a, b, x): the continued fraction of I_x(a, b) in double
//   precision, rounded to float; after 100 iterations its current value.
// The float routines keep their working values in floats and take logarithms,
// exponentials and magnitudes of floats in single precision.
#pragma once

// Coefficients of the six-term log-gamma series, bit for bit.
inline constexpr double kLogGammaCoefficients[6] = {0x1.30b869f76170ap+6,  -0x1.5a0572b143656p+6,
                                                    0x1.8039bf13b4cc6p+4,  -0x1.3b5348dcdcc8cp+0,
                                                    0x1.3cd7319ec12d8p-10, -0x1.6a1181c0e9888p-18};
inline constexpr double kLogGammaSeriesStart = 0x1.00000000d0ec7p+0;
inline constexpr double kLogGammaFactor = 0x1.40d931ff62706p+1;  // close to sqrt(2 pi)

double log_gamma(double z);
float gammq(float a, float x);
void gser(float* gamser, float a, float x, float* gln);
void gcf(float* gammcf, float a, float x, float* gln);
float incomplete_beta(float a, float b, float x);
float incomplete_beta_cf(double a, double b, double x);
