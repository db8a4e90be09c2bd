#include "numerics/fit/marquardt.h"

#include <cmath>
#include <utility>

#include "numerics/arrays/arrays.h"
#include "numerics/linalg/gaussj.h"

namespace {

constexpr float kInitialDamping = 0.001f;

// The state of the one fit in progress, from the initialising call (damping < 0)
// to the final call (damping == 0).
struct MarquardtState {
    bool active;
    int n_params;
    int fitted;
    float* trial;
    float* beta;
    float* delta;
    float** rhs;  // [1..fitted][1..1], right-hand side for gaussj
    float best_chi_square;
};

constinit MarquardtState state{};

int countFitted(const int fit_flags[], int n_params) {
    int fitted = 0;
    for (int l = 1; l <= n_params; ++l)
        if (fit_flags[l] != 0) ++fitted;
    return fitted;
}

void releaseState() {
    release_matrix(state.rhs, 1, state.fitted, 1, 1);
    release_vector(state.delta, 1, state.n_params);
    release_vector(state.beta, 1, state.n_params);
    release_vector(state.trial, 1, state.n_params);
    state = MarquardtState{};
}

void startFit(int fit_flags[], int n_params) {
    if (state.active) releaseState();  // a new start abandons the fit in progress
    state.n_params = n_params;
    state.trial = vector(1, n_params);
    state.beta = vector(1, n_params);
    state.delta = vector(1, n_params);
    state.fitted = countFitted(fit_flags, n_params);
    state.rhs = matrix(1, state.fitted, 1, 1);
    state.active = true;
}

// Steps may only continue the fit that the initialising call set up.
void checkFitInProgress(int fit_flags[], int n_params) {
    if (!state.active)
        numeric_fatal_error("marquardt_step: no fit in progress (start with damping < 0)");
    if (n_params != state.n_params || countFitted(fit_flags, n_params) != state.fitted)
        numeric_fatal_error("marquardt_step: parameters changed during the fit");
}

void swapColumns(float** m, int n, int c1, int c2) {
    for (int i = 1; i <= n; ++i) std::swap(m[i][c1], m[i][c2]);
}

void swapRows(float** m, int n, int r1, int r2) {
    for (int j = 1; j <= n; ++j) std::swap(m[r1][j], m[r2][j]);
}

}  // namespace

void marquardt_step(float x[], float y[], float sigma[], int n_points, float a[], int fit_flags[],
                    int n_params, float** covariance, float** curvature, float* chi_square,
                    model_function model, float* damping) {
    if (*damping < 0.0f) {
        startFit(fit_flags, n_params);
        *damping = kInitialDamping;
        marquardt_curvature(x, y, sigma, n_points, a, fit_flags, n_params, curvature, state.beta,
                            chi_square, model);
        state.best_chi_square = *chi_square;
        for (int j = 1; j <= n_params; ++j) state.trial[j] = a[j];
    } else {
        checkFitInProgress(fit_flags, n_params);
    }

    const int fitted = state.fitted;
    for (int j = 1; j <= fitted; ++j) {
        for (int k = 1; k <= fitted; ++k) covariance[j][k] = curvature[j][k];
        covariance[j][j] = float(double(curvature[j][j]) * (1.0 + *damping));
        state.rhs[j][1] = state.beta[j];
    }
    gaussj(covariance, fitted, state.rhs, 1);
    for (int j = 1; j <= fitted; ++j) state.delta[j] = state.rhs[j][1];

    if (*damping == 0.0f) {
        expand_covariance(covariance, n_params, fit_flags, fitted);
        releaseState();
        return;
    }

    for (int l = 1, j = 0; l <= n_params; ++l)
        if (fit_flags[l] != 0) state.trial[l] = float(double(a[l]) + state.delta[++j]);
    marquardt_curvature(x, y, sigma, n_points, state.trial, fit_flags, n_params, covariance,
                        state.delta, chi_square, model);

    if (*chi_square < state.best_chi_square) {
        *damping = float(*damping * 0.1);
        state.best_chi_square = *chi_square;
        for (int j = 1; j <= fitted; ++j) {
            for (int k = 1; k <= fitted; ++k) curvature[j][k] = covariance[j][k];
            state.beta[j] = state.delta[j];
        }
        for (int l = 1; l <= n_params; ++l) a[l] = state.trial[l];
    } else {
        *damping = float(*damping * 10.0);
        *chi_square = state.best_chi_square;
    }
}

void marquardt_curvature(float x[], float y[], float sigma[], int n_points, float a[],
                         int fit_flags[], int n_params, float** curvature, float gradient[],
                         float* chi_square, model_function model) {
    float* derivs = vector(1, n_params);
    const int fitted = countFitted(fit_flags, n_params);
    for (int j = 1; j <= fitted; ++j) {
        for (int k = 1; k <= j; ++k) curvature[j][k] = 0.0f;
        gradient[j] = 0.0f;
    }
    float chi2 = 0.0f;
    for (int i = 1; i <= n_points; ++i) {
        float ymod = 0.0f;
        model(x[i], a, &ymod, derivs, n_params);
        const float w2 = float(1.0 / (double(sigma[i]) * sigma[i]));
        const float dy = float(double(y[i]) - ymod);
        for (int l = 1, j = 0; l <= n_params; ++l) {
            if (fit_flags[l] == 0) continue;
            const float wt = float(double(derivs[l]) * w2);
            ++j;
            for (int m = 1, k = 0; m <= l; ++m) {
                if (fit_flags[m] == 0) continue;
                ++k;
                curvature[j][k] = float(double(curvature[j][k]) + double(wt) * derivs[m]);
            }
            gradient[j] = float(double(gradient[j]) + double(dy) * wt);
        }
        chi2 = float(double(chi2) + double(dy) * dy * w2);
    }
    *chi_square = chi2;
    for (int j = 2; j <= fitted; ++j)
        for (int k = 1; k < j; ++k) curvature[k][j] = curvature[j][k];
    release_vector(derivs, 1, n_params);
}

void expand_covariance(float** covariance, int n_params, int fit_flags[], int fitted) {
    for (int i = fitted + 1; i <= n_params; ++i)
        for (int j = 1; j <= i; ++j) covariance[i][j] = covariance[j][i] = 0.0f;
    int k = fitted;
    for (int j = n_params; j >= 1; --j) {
        if (fit_flags[j] == 0) continue;
        swapColumns(covariance, n_params, k, j);
        swapRows(covariance, n_params, k, j);
        --k;
    }
}

void gaussian_sum_model(float x, float a[], float* y, float derivs[], int n_params) {
    // Incomplete triples would read parameters beyond a[n_params].
    if (n_params % 3 != 0)
        numeric_fatal_error("gaussian_sum_model: n_params must be a multiple of 3");
    *y = 0.0f;
    for (int i = 1; i <= n_params - 1; i += 3) {
        const float r = float((double(x) - a[i + 1]) / a[i + 2]);
        const float ex = std::exp(float(-(double(r) * r)));
        const float fac = float(double(a[i]) * ex * 2.0 * r);
        *y = float(double(*y) + double(a[i]) * ex);
        derivs[i] = ex;
        derivs[i + 1] = float(double(fac) / a[i + 2]);
        derivs[i + 2] = float(double(fac) * r / a[i + 2]);
    }
}
