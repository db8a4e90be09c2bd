#include "noise/drift_noise.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "noise/normal_transform.h"
#include "noise/random_stream.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {

std::size_t driftFunctionCount(std::size_t T, double tr, double cutoffSeconds) {
    // Period of function k: 2 T tr / k > cutoff  <=>  k < 2 T tr / cutoff.
    const double limit = 2.0 * double(T) * tr / cutoffSeconds;
    std::size_t k = std::size_t(std::ceil(limit)) - (limit > 0 ? 1 : 0);
    if (k >= T) k = T > 0 ? T - 1 : 0;
    return k;
}

DriftNoise::DriftNoise(std::size_t T, double tr, double cutoffSeconds, double sd)
    : T_(T), functions_(driftFunctionCount(T, tr, cutoffSeconds)) {
    weightSd_ = functions_ > 0 ? sd * std::sqrt(2.0 / double(functions_)) : 0.0;
    basis_.resize(functions_ * T_);
    for (std::size_t k = 1; k <= functions_; ++k)
        for (std::size_t t = 0; t < T_; ++t)
            basis_[(k - 1) * T_ + t] =
                std::cos(std::numbers::pi * double(k) * (double(t) + 0.5) / double(T_));
}

void DriftNoise::generate(std::uint64_t seed, std::uint64_t voxel, double* out,
                          double* scratch) const {
    standardNormals({seed, Component::Drift, voxel}, 0, scratch, functions_);
    for (std::size_t t = 0; t < T_; ++t) out[t] = 0.0;
    for (std::size_t k = 0; k < functions_; ++k) {
        const double w = weightSd_ * scratch[k];
        const double* f = basis_.data() + k * T_;
        for (std::size_t t = 0; t < T_; ++t) out[t] += w * f[t];
    }
}

SIMTROVE_VECTOR_CLONES
void DriftNoise::generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile,
                              std::vector<float>& scratch, std::vector<double>& weights) const {
    constexpr std::size_t L = kTileLanes;
    scratch.resize(std::max<std::size_t>(functions_, 1) * L);
    standardNormalTile({seed, Component::Drift, firstVoxel}, scratch.data(), functions_);
    weights.resize(functions_ * L);
    for (std::size_t i = 0; i < functions_ * L; ++i) weights[i] = weightSd_ * double(scratch[i]);
    // Each volume's sums in registers, the functions added in generate()'s order.
    for (std::size_t t = 0; t < T_; ++t) {
        double row[L] = {};
        for (std::size_t k = 0; k < functions_; ++k) {
            const double f = basis_[k * T_ + t];
            const double* w = weights.data() + k * L;
#pragma GCC unroll 1
            for (std::size_t j = 0; j < L; ++j) row[j] += w[j] * f;
        }
        for (std::size_t j = 0; j < L; ++j) tile[t * L + j] = row[j];
    }
}

}  // namespace simtrove::noise
