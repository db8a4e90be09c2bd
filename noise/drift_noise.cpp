// The tile's vector values pass only between inlined helpers, so the note
// that their passing differs between instruction sets does not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "noise/drift_noise.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
    for (std::size_t t = 0; t < T_; ++t)
        for (std::size_t k = 1; k <= functions_; ++k)
            basis_[t * functions_ + (k - 1)] =
                std::cos(std::numbers::pi * double(k) * (double(t) + 0.5) / double(T_));
}

void DriftNoise::generate(std::uint64_t seed, std::uint64_t voxel, double* out,
                          double* scratch) const {
    standardNormals({seed, Component::Drift, voxel}, 0, scratch, functions_);
    for (std::size_t k = 0; k < functions_; ++k) scratch[k] *= weightSd_;
    for (std::size_t t = 0; t < T_; ++t) out[t] = valueAt(t, scratch);
}

void DriftNoise::tileWeights(std::uint64_t seed, std::uint64_t firstVoxel, double* weights,
                             std::vector<float>& scratch) const {
    scratch.resize(std::max<std::size_t>(functions_, 1) * kTileLanes);
    standardNormalTile({seed, Component::Drift, firstVoxel}, scratch.data(), functions_);
    for (std::size_t i = 0; i < functions_ * kTileLanes; ++i)
        weights[i] = weightSd_ * double(scratch[i]);
}

SIMTROVE_VECTOR_CLONES
void DriftNoise::generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile,
                              std::vector<float>& scratch, std::vector<double>& weights) const {
    typedef double Lanes __attribute__((vector_size(kTileLanes * sizeof(double))));
    double* aligned = alignedDoubles(weights, functions_ * kTileLanes, sizeof(Lanes));
    tileWeights(seed, firstVoxel, aligned, scratch);
    const Lanes* w = reinterpret_cast<const Lanes*>(aligned);  // one value per function
    for (std::size_t t = 0; t < T_; ++t) {
        const Lanes row = valueAt(t, w);
        std::memcpy(tile + t * kTileLanes, &row, sizeof row);
    }
}

}  // namespace simtrove::noise
