// Linear least squares through the singular value decomposition, 1-based
// float arrays throughout.
#pragma once

// A basis: stores the np basis functions X_1..X_np at x into p[1..np].
using basis_function = void (*)(float x, float p[], int np);

// x[1..n] = V diag(1/w) U^T b for a decomposition u (m x n), w[1..n], v (n x n)
// as left by svd_decompose; a zero w[j] contributes nothing (1/0 is taken as 0).
// The inputs are not modified, so one decomposition serves any number of
// right-hand sides b[1..m]. Editing small singular values to 0 beforehand is the
// caller's choice.
void svd_back_substitute(float** u, float w[], float** v, int m, int n, float b[], float x[]);
// Fits y(x) = sum_j a[j] X_j(x), j = 1..n_coeffs, to the points (x[i], y[i])
// with standard deviations sigma[i] != 0, i = 1..n_points. Singular values below
// 1e-5 of the largest are set to 0 in w first. Leaves U in u (n_points x
// n_coeffs), V in v, the edited singular values in w and chi^2 in *chi_square.
void svd_least_squares_fit(float x[], float y[], float sigma[], int n_points, float a[],
                           int n_coeffs, float** u, float** v, float w[], float* chi_square,
                           basis_function basis);
// Covariance of the coefficients from V and the (edited) singular values of a
// fit; zeroed ones contribute nothing.
void svd_covariance(float** v, int n_coeffs, float w[], float** covariance);
// A basis: p = 1, x, x^2, ..., x^(np-1).
void polynomial_basis(float x, float p[], int np);
