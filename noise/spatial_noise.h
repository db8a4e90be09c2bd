// Spatially smooth noise: per volume a white Gaussian field smoothed by a 3-D
// Gaussian kernel of the given full width at half maximum per axis (in mm,
// through the voxel size), scaled so that every voxel's expected variance is
// sd^2. The kernel reaches 4 standard deviations (its squared weight beyond,
// which is what the variance and the correlations lose, is below 10^-7 of the
// total per axis, so the smoothness is what was asked) and is normalised to
// unit sum of squares; the passes run in float. The white field covers the grid plus the kernel's
// radius on every side and is convolved only where the kernel fits, so the
// variance is the same up to the grid's edges and opposite faces never wrap
// onto each other. Volumes are independent.
// Draws: stream = volume, positions 0 .. (padded voxels - 1) of
// Component::Spatial, x fastest over the padded grid.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace simtrove::noise {

// Floats of working memory one generating thread needs for a field on a grid
// of `dims` (the padded white field and the two partial passes); counted in
// double, since a wide kernel on a fine grid overflows 64-bit counts.
double spatialScratchFloats(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                            std::array<double, 3> fwhmMm);

class SpatialNoise {
  public:
    SpatialNoise(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                 std::array<double, 3> fwhmMm, double sd);

    // Working memory of one generating thread.
    struct Scratch {
        std::vector<float> white, alongX, alongY;
    };

    // The volume's field, x fastest (dims[0] * dims[1] * dims[2] floats).
    void generate(std::uint64_t seed, std::uint64_t volume, float* out, Scratch& scratch) const;

    const std::vector<double>& kernel(int axis) const { return kernels_[std::size_t(axis)]; }

  private:
    std::array<std::int64_t, 3> dims_;
    std::array<std::int64_t, 3> radius_;
    std::array<std::vector<double>, 3> kernels_;
    std::array<std::vector<float>, 3> passes_;  // in float, the last one times sd
};

}  // namespace simtrove::noise
