// Spatially smooth noise: per volume a white Gaussian field smoothed by a 3-D
// Gaussian kernel of the given full width at half maximum per axis (in mm,
// through the voxel size), scaled so that every voxel's expected variance is
// sd^2. The kernel reaches 4 standard deviations (its squared weight beyond,
// which is what the variance and the correlations lose, is below 10^-7 of the
// total per axis, so the smoothness is what was asked) and is normalised to
// unit sum of squares. The field has the distribution of a white field that
// covers the grid plus the kernel's radius on every side, convolved only where
// the kernel fits (the variance is the same up to the grid's edges, opposite
// faces never wrap onto each other), but is made from one draw per voxel: the
// draws are multiplied along x, then y, then z by that axis's correlation
// factor (correlation_factor.h), in float, each output's terms summed in
// column order. Volumes are independent.
// Draws: stream = volume, positions 0 .. (voxels - 1) of Component::Spatial,
// x fastest over the grid.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "noise/correlation_factor.h"

namespace simtrove::noise {

// Floats of working memory a field on a grid of `dims` needs: the largest
// axis's factorisation while it is set up, or the two volumes each generating
// thread keeps with the x factor by diagonals, whichever is larger; counted in
// double, since a wide kernel overflows 64-bit counts.
double spatialScratchFloats(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                            std::array<double, 3> fwhmMm);

// Operations that setting up the factors takes (the kernel's autocorrelation
// and the banded factorisation, per axis); in double, as above.
double spatialSetupOperations(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                              std::array<double, 3> fwhmMm);

class SpatialNoise {
  public:
    SpatialNoise(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                 std::array<double, 3> fwhmMm, double sd);

    // Working memory of one generating thread.
    struct Scratch {
        std::vector<float> white, alongX;
    };

    // The volume's field, x fastest (dims[0] * dims[1] * dims[2] floats).
    void generate(std::uint64_t seed, std::uint64_t volume, float* out, Scratch& scratch) const;

    // The factor along an axis, in double and before the scaling by sd.
    const CorrelationFactor& factor(int axis) const { return factors_[std::size_t(axis)]; }

  private:
    std::array<std::int64_t, 3> dims_;
    std::array<CorrelationFactor, 3> factors_;
    std::vector<float> diagonals_;            // the x factor by diagonals (see generate())
    std::array<std::vector<float>, 3> rows_;  // in float, the z factor times sd
};

}  // namespace simtrove::noise
