// Nonlinear least squares by Levenberg-Marquardt steps on 1-based float arrays.
//
// A fit minimises chi^2 = sum_i ((y[i] - y(x[i]; a)) / sigma[i])^2 over the
// parameters a[l] whose fit_flags[l] is non-zero (F of them); the others stay
// fixed. Convergence is the caller's decision. One fit at a time per process.
#pragma once

// A model: *y = y(x; a) and derivs[l] = dy/da[l] for l = 1..n_params.
using model_function = void (*)(float x, float a[], float* y, float derivs[], int n_params);

// One call of a fit driven through *damping:
//   1. *damping < 0: sets up the fit state, sets *damping to 0.001 and makes a
//      first trial step;
//   2. each further call makes one trial step: a lower chi^2 is accepted (a and
//      *chi_square move there, *damping shrinks tenfold), anything else is
//      rejected (*damping grows tenfold, *chi_square keeps the best value);
//   3. *damping == 0: covariance receives the full covariance matrix (zero rows
//      and columns for fixed parameters), the state is released, a and
//      *chi_square stay.
// A step call without a fit in progress, or with n_params or the number of
// fitted parameters changed since the initialising call, ends the process with
// a message. A singular curvature matrix ends it through gaussj. During the fit
// the F x F blocks of covariance and curvature are work space; curvature keeps
// that compressed form at the end.
void marquardt_step(float x[], float y[], float sigma[], int n_points, float a[], int fit_flags[],
                    int n_params, float** covariance, float** curvature, float* chi_square,
                    model_function model, float* damping);
// Evaluates at a the F x F curvature block, the gradient (entries 1..F) and chi^2.
void marquardt_curvature(float x[], float y[], float sigma[], int n_points, float a[],
                         int fit_flags[], int n_params, float** curvature, float gradient[],
                         float* chi_square, model_function model);
// Spreads the F x F covariance block (F = fitted) over [1..n_params]^2 by the
// flags, with zero rows and columns for fixed parameters.
void expand_covariance(float** covariance, int n_params, int fit_flags[], int fitted);
// A model: the sum of terms a[i] exp(-((x - a[i+1]) / a[i+2])^2), three
// parameters per term (n_params must be a multiple of 3).
void gaussian_sum_model(float x, float a[], float* y, float derivs[], int n_params);
