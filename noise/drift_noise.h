// Low-frequency drift: per voxel a weighted sum of the discrete cosine
// functions cos(pi k (t + 1/2) / T), k = 1 .. K, whose periods 2 T tr / k are
// longer than the cut-off (what a DCT high-pass filter of that cut-off
// removes), so there is no power above 1 / cutoff. Each function has mean 0
// and mean square 1/2 over the run, so weights N(0, 2 sd^2 / K) give an
// expected temporal variance of sd^2. The basis is evaluated once.
// Draws: stream = voxel, positions 0 .. K-1 of Component::Drift.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "noise/vector_clones.h"

namespace simtrove::noise {

// K: the number of cosine functions with period longer than cutoffSeconds.
std::size_t driftFunctionCount(std::size_t T, double tr, double cutoffSeconds);

class DriftNoise {
  public:
    DriftNoise(std::size_t T, double tr, double cutoffSeconds, double sd);
    std::size_t functions() const { return functions_; }
    // T values of the voxel's drift (scratch: K doubles).
    void generate(std::uint64_t seed, std::uint64_t voxel, double* out, double* scratch) const;
    // The same for the kTileLanes voxels firstVoxel .. side by side, voxel j's
    // value at t in tile[t * kTileLanes + j], bit for bit (scratch: K * kTileLanes floats and as
    // many doubles).
    void generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile,
                      std::vector<float>& scratch, std::vector<double>& weights) const;

    // The weights of the kTileLanes voxels firstVoxel ..: function k's for
    // voxel j at weights[k * kTileLanes + j] (K * kTileLanes doubles; scratch:
    // as many floats).
    void tileWeights(std::uint64_t seed, std::uint64_t firstVoxel, double* weights,
                     std::vector<float>& scratch) const;

    // Volume t's drift of a group of voxels side by side (Lanes: double or a
    // vector of doubles), function k's weights at w[k]: generate()'s sum,
    // voxel by voxel.
    template <typename Lanes>
    SIMTROVE_INLINE_LANES Lanes valueAt(std::size_t t, const Lanes* w) const {
        const double* f = basis_.data() + t * functions_;
        Lanes sum = {};
        for (std::size_t k = 0; k < functions_; ++k) sum += w[k] * f[k];
        return sum;
    }

  private:
    std::size_t T_, functions_;
    double weightSd_;
    std::vector<double> basis_;  // volume after volume, the K functions' values
};

}  // namespace simtrove::noise
