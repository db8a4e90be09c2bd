// Clusters of a thresholded statistic: the connected sets (voxels touching by
// a face, an edge or a corner) of voxels above the threshold with t of one
// sign, largest first (then by peak). Millimetre coordinates are those of the
// report's maps: voxel (i, j, k) lies at start + (i, j, k) * resolution.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/volume_grid.h"

namespace simtrove::analysis {

struct Cluster {
    std::size_t voxels = 0;
    float peakT = 0.0f;  // largest |t|, with its sign
    std::array<int, 3> peakGrid{};
    std::array<double, 3> peakMm{}, centreMm{};  // centre: unweighted mean position
    std::size_t plantedVoxels = 0;               // of the truth evaluation's planted voxels
};

// `above`: one flag per voxel; `planted`: one flag per voxel or empty.
std::vector<Cluster> findClusters(const formats::VolumeGrid& grid, std::span<const float> t,
                                  std::span<const std::uint8_t> above,
                                  std::span<const std::uint8_t> planted);

std::array<double, 3> millimetres(const formats::VolumeGrid& grid, const std::array<double, 3>& at);

}  // namespace simtrove::analysis
