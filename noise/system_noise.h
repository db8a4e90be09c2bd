// System (thermal) noise: white Gaussian noise of standard deviation sd in
// every voxel and volume, or Rician magnitude noise: |S + a + i b| of the
// noise-free sample S with a, b independent N(0, sd^2) channels.
// Draws: stream = voxel, positions 0 .. T-1, of Component::System (a) and,
// for Rician noise, Component::SystemImaginary (b).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace simtrove::noise {

// Rician noise for the kTileLanes voxels firstVoxel .. side by side (voxel
// j's value at t in [t * kTileLanes + j]): samples = |samples + sd a + i sd b|
// in place on a tile of samples (scratch: 2 T kTileLanes floats). (The
// Gaussian tile is standardNormalTile's normals times sd.)
void applyRicianNoiseTile(std::uint64_t seed, std::uint64_t firstVoxel, double sd, double* samples,
                          std::vector<float>& scratch, std::size_t T);

}  // namespace simtrove::noise
