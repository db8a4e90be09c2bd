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

  private:
    std::size_t T_, functions_;
    double weightSd_;
    std::vector<double> basis_;  // function after function, T values each
};

}  // namespace simtrove::noise
