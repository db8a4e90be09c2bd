// Where the signal pass writes: the VTC grid, the conversion of VMR positions
// to grid positions, the cluster sphere and the placement of VOI voxels.
//
// Shared by the signal pass and by everything that must name the same voxels
// afterwards (the stand-in's truth map), so that both agree at the rounding
// and at the border. Positions may lie outside the grid; contains() tells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace simtrove::simulation {

// Half edge of the cluster cube and radius of the cluster sphere, in VTC voxels.
inline constexpr int kHalfWidth = 2;

// A VTC that can be simulated: every size at least 1, resolution at least 1.
struct VtcGrid {
    std::int64_t dimX, dimY, dimZ;
    std::int64_t timePoints;
    int xStart, yStart, zStart;
    int resolution;

    std::size_t voxelCount() const { return std::size_t(dimX * dimY * dimZ); }
    std::size_t sampleCount() const { return voxelCount() * std::size_t(timePoints); }
    bool contains(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return x >= 0 && x < dimX && y >= 0 && y < dimY && z >= 0 && z < dimZ;
    }
    // Index of voxel (x, y, z) among the voxels, x fastest; it must lie inside the grid.
    std::size_t voxelIndex(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return std::size_t(z) * std::size_t(dimX * dimY) + std::size_t(y) * std::size_t(dimX) +
               std::size_t(x);
    }
    // Index of sample 0 of voxel (x, y, z), which must lie inside the grid.
    std::size_t firstSampleOf(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return voxelIndex(x, y, z) * std::size_t(timePoints);
    }
};

struct GridPosition {
    std::int64_t x, y, z;
    bool operator==(const GridPosition&) const = default;
};

// The integer nearest to value, halves rounded toward +infinity: floor(value + 0.5).
std::int64_t roundHalfUp(double value);

// Grid position of a VMR position: roundHalfUp((pos - start) / resolution) per axis,
// the difference taken in integers and divided in double.
GridPosition toGridPosition(const VtcGrid& grid, std::int64_t posX, std::int64_t posY,
                            std::int64_t posZ);

// Grid position of VOI voxel (a, b, c): coordinate space 3 places it at the VMR
// position (128 - b, 128 - c, 128 - a), every other code at (a, b, c).
GridPosition voiVoxelPosition(const VtcGrid& grid, int coordinateSpace, std::int64_t a,
                              std::int64_t b, std::int64_t c);

// Offsets from the cluster centre of the positions inside the sphere of radius
// kHalfWidth (33 of them), in the order the signal pass visits the cube: z, then
// y, then x, each upward.
std::span<const GridPosition> clusterSphereOffsets();

}  // namespace simtrove::simulation
