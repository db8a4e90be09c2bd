// Where the voxels of a VTC lie: voxels per axis, the VMR position of voxel
// (0, 0, 0) and the voxel edge in VMR voxels. Voxel (x, y, z) has the index
// (z * dimY + y) * dimX + x and lies at VMR position start + index * resolution
// on each axis, the inverse of the simulation's rounding of VMR positions.
#pragma once

#include <array>
#include <cstddef>

namespace simtrove::formats {

struct VolumeGrid {
    std::array<int, 3> dims{};
    std::array<int, 3> start{};
    int resolution = 1;

    std::size_t voxels() const { return std::size_t(dims[0]) * dims[1] * dims[2]; }
    std::size_t index(int x, int y, int z) const {
        return (std::size_t(z) * dims[1] + std::size_t(y)) * dims[0] + std::size_t(x);
    }
    std::array<int, 3> position(std::size_t index) const {
        const std::size_t plane = std::size_t(dims[0]) * dims[1];
        return {int(index % dims[0]), int(index % plane / dims[0]), int(index / plane)};
    }
    std::array<int, 3> vmrPosition(const std::array<int, 3>& p) const {
        return {start[0] + p[0] * resolution, start[1] + p[1] * resolution,
                start[2] + p[2] * resolution};
    }
};

}  // namespace simtrove::formats
