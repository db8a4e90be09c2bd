// The tile's vector values pass only between inlined helpers, so the note
// that their passing differs between instruction sets does not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "noise/ar_noise.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

#include "noise/normal_transform.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {
namespace {

// Partial autocorrelations k[1..p] of phi by the step-down recursion, and the
// prediction coefficients of every lower order: orders[m] has m entries.
struct StepDown {
    std::vector<double> partial;  // partial[m - 1] = k_m
    std::vector<std::vector<double>> orders;
    bool stationary = true;
    std::size_t failedOrder = 0;
};

StepDown stepDown(const std::vector<double>& phi) {
    const std::size_t p = phi.size();
    StepDown result;
    result.partial.assign(p, 0.0);
    result.orders.assign(p + 1, {});
    result.orders[p] = phi;
    for (std::size_t m = p; m >= 1; --m) {
        const std::vector<double>& a = result.orders[m];
        const double k = a[m - 1];
        result.partial[m - 1] = k;
        if (!(std::fabs(k) < 1.0)) {
            result.stationary = false;
            result.failedOrder = m;
            return result;
        }
        std::vector<double> lower(m - 1);
        for (std::size_t i = 0; i + 1 < m; ++i)
            lower[i] = (a[i] + k * a[m - 2 - i]) / (1.0 - k * k);
        result.orders[m - 1] = std::move(lower);
    }
    return result;
}

}  // namespace

std::string arStationarityProblem(const std::vector<double>& phi) {
    for (double c : phi)
        if (!std::isfinite(c)) return "not a finite number";
    const StepDown s = stepDown(phi);
    if (s.stationary) return {};
    char text[160];
    std::snprintf(
        text, sizeof text,
        "not stationary (partial autocorrelation at lag %zu is %.6g, must lie in (-1, 1))",
        s.failedOrder, s.partial[s.failedOrder - 1]);
    return text;
}

ArNoise::ArNoise(std::vector<double> phi, double sd) : phi_(std::move(phi)) {
    const std::size_t p = phi_.size();
    const StepDown s = stepDown(phi_);
    // The order-m prediction error variance is sd^2 * prod_{j <= m} (1 - k_j^2).
    double variance = sd * sd;
    for (std::size_t m = 0; m <= p; ++m) {
        if (m < p) predictors_.push_back(s.orders[m]);
        errorSd_.push_back(std::sqrt(variance));
        if (m < p) variance *= 1.0 - s.partial[m] * s.partial[m];
    }
}

std::vector<double> ArNoise::autocorrelations(std::size_t maxLag) const {
    const std::size_t p = phi_.size();
    std::vector<double> rho(maxLag + 1, 0.0);
    rho[0] = 1.0;
    // Lags 1 .. p from the orders' coefficients (Levinson-Durbin forward):
    // rho_m = sum_{i < m} a_{m-1,i} rho_{m-i} + k_m (1 - sum_{i < m} a_{m-1,i} rho_i).
    const StepDown s = stepDown(phi_);
    std::vector<double> full(p + 1, 0.0);
    full[0] = 1.0;
    for (std::size_t m = 1; m <= p; ++m) {
        const std::vector<double>& a = s.orders[m - 1];
        double predicted = 0.0, explained = 0.0;
        for (std::size_t i = 1; i < m; ++i) {
            predicted += a[i - 1] * full[m - i];
            explained += a[i - 1] * full[i];
        }
        full[m] = predicted + s.partial[m - 1] * (1.0 - explained);
    }
    for (std::size_t h = 1; h <= maxLag; ++h) {
        if (h <= p) {
            rho[h] = full[h];
        } else {
            double value = 0.0;
            for (std::size_t i = 1; i <= p; ++i) value += phi_[i - 1] * rho[h - i];
            rho[h] = value;
        }
    }
    return rho;
}

void ArNoise::generate(std::uint64_t seed, std::uint64_t voxel, double* out, std::size_t T) const {
    standardNormals({seed, Component::Temporal, voxel}, 0, out, T);
    // In place: out[t] holds e[t] until it becomes x[t].
    for (std::size_t t = 0; t < T; ++t)
        out[t] = valueAt(t, out[t], [&](std::size_t i) { return out[t - i]; });
}

SIMTROVE_VECTOR_CLONES
void ArNoise::generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile,
                           std::size_t T, std::vector<float>& scratch) const {
    constexpr std::size_t L = kVoxelLanes;
    typedef double Lanes __attribute__((vector_size(L * sizeof(double))));
    scratch.resize(T * L);
    standardNormalTile({seed, Component::Temporal, firstVoxel}, scratch.data(), T);
    for (std::size_t t = 0; t < T; ++t) {
        Lanes innovation;
        for (std::size_t j = 0; j < L; ++j) innovation[j] = scratch[t * L + j];
        const Lanes x = valueAt(t, innovation, [&](std::size_t i) {
            Lanes past;
            std::memcpy(&past, tile + (t - i) * L, sizeof past);
            return past;
        });
        std::memcpy(tile + t * L, &x, sizeof x);
    }
}

}  // namespace simtrove::noise
