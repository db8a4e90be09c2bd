#include "noise/ar_noise.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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
    const std::size_t p = phi_.size();
    // In place: out[t] holds e[t] until it becomes x[t].
    for (std::size_t t = 0; t < T; ++t) {
        const std::size_t order = t < p ? t : p;
        const std::vector<double>& a = t < p ? predictors_[t] : phi_;
        double value = errorSd_[order] * out[t];
        for (std::size_t i = 1; i <= order; ++i) value += a[i - 1] * out[t - i];
        out[t] = value;
    }
}

namespace {

// The recursion of generate() over lanes[t * L + j] for the L voxels j at once
// (each lane's arithmetic in generate()'s order).
SIMTROVE_VECTOR_CLONES
void recurseLanes(double* lanes, std::size_t T, std::size_t p, const double* errorSd,
                  const std::vector<std::vector<double>>& predictors,
                  const std::vector<double>& phi) {
    constexpr std::size_t L = ArNoise::kVoxelLanes;
    for (std::size_t t = 0; t < T; ++t) {
        const std::size_t order = t < p ? t : p;
        const double* a = t < p ? predictors[t].data() : phi.data();
        double* now = lanes + t * L;
        const double e = errorSd[order];
        double value[L];
        for (std::size_t j = 0; j < L; ++j) value[j] = e * now[j];
        for (std::size_t i = 1; i <= order; ++i) {
            const double* before = now - i * L;
            const double c = a[i - 1];
            for (std::size_t j = 0; j < L; ++j) value[j] += c * before[j];
        }
        for (std::size_t j = 0; j < L; ++j) now[j] = value[j];
    }
}

}  // namespace

void ArNoise::generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile,
                           std::size_t T, std::vector<float>& scratch) const {
    scratch.resize(T * kVoxelLanes);
    standardNormalTile({seed, Component::Temporal, firstVoxel}, scratch.data(), T);
    std::copy(scratch.begin(), scratch.end(), tile);
    recurseLanes(tile, T, phi_.size(), errorSd_.data(), predictors_, phi_);
}

}  // namespace simtrove::noise
