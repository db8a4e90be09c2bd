// Gamma and beta special functions.
//
// The float routines keep their working values in floats and take logarithms,
// exponentials and magnitudes of floats in single precision.
#pragma once

// ln Gamma(z) in double precision for z > 0 (no domain check).
double log_gamma(double z);
// Q(a, x) = 1 - P(a, x), the complementary regularized incomplete gamma
// function; a > 0 and x >= 0, otherwise the process ends with "Invalid arguments
// in routine gammq". Uses gser for x < a + 1, else gcf.
float gammq(float a, float x);
// P(a, x) by its series into *gamser, ln Gamma(a) into *gln (written first, also
// for x <= 0). Ends the process with "x less than 0 in routine gser" for x < 0
// and with "a too large, ITMAX too small in routine gser" after 100 terms.
void gser(float* gamser, float a, float x, float* gln);
// Q(a, x) by its continued fraction into *gammcf, ln Gamma(a) into *gln. Ends
// the process with "a too large, ITMAX too small in gcf" after 100 iterations.
void gcf(float* gammcf, float a, float x, float* gln);
// I_x(a, b), the regularized incomplete beta function, for a, b > 0; 0 for x
// outside [0, 1].
float incomplete_beta(float a, float b, float x);
// The continued fraction of I_x(a, b) in double precision, rounded to float;
// after 100 iterations its current value.
float incomplete_beta_cf(double a, double b, double x);
