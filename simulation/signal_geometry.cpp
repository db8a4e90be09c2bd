#include "simulation/signal_geometry.h"

#include <array>
#include <cmath>

namespace simtrove::simulation {
namespace {

constexpr std::size_t kCubePositions = std::size_t(2 * kHalfWidth + 1) *
                                       std::size_t(2 * kHalfWidth + 1) *
                                       std::size_t(2 * kHalfWidth + 1);

// The sphere test, in single precision as the distance has always been taken.
bool insideSphere(std::int64_t dx, std::int64_t dy, std::int64_t dz) {
    const std::int64_t squared = dx * dx + dy * dy + dz * dz;
    const float distance = float(std::sqrt(double(float(squared))));
    return !(distance > float(kHalfWidth));
}

struct SphereOffsets {
    std::array<GridPosition, kCubePositions> offsets{};
    std::size_t count = 0;
};

SphereOffsets collectSphereOffsets() {
    SphereOffsets sphere;
    for (std::int64_t z = -kHalfWidth; z <= kHalfWidth; ++z)
        for (std::int64_t y = -kHalfWidth; y <= kHalfWidth; ++y)
            for (std::int64_t x = -kHalfWidth; x <= kHalfWidth; ++x)
                if (insideSphere(x, y, z)) sphere.offsets[sphere.count++] = {x, y, z};
    return sphere;
}

}  // namespace

std::int64_t roundHalfUp(double value) {
    return static_cast<std::int64_t>(std::floor(value + 0.5));
}

GridPosition toGridPosition(const VtcGrid& grid, std::int64_t posX, std::int64_t posY,
                            std::int64_t posZ) {
    const double resolution = grid.resolution;
    return {roundHalfUp(double(posX - grid.xStart) / resolution),
            roundHalfUp(double(posY - grid.yStart) / resolution),
            roundHalfUp(double(posZ - grid.zStart) / resolution)};
}

GridPosition voiVoxelPosition(const VtcGrid& grid, int coordinateSpace, std::int64_t a,
                              std::int64_t b, std::int64_t c) {
    if (coordinateSpace == 3) return toGridPosition(grid, 128 - b, 128 - c, 128 - a);
    return toGridPosition(grid, a, b, c);
}

std::span<const GridPosition> clusterSphereOffsets() {
    // Built once and never changed; no heap, so the passes stay allocation-free.
    static const SphereOffsets sphere = collectSphereOffsets();
    return {sphere.offsets.data(), sphere.count};
}

}  // namespace simtrove::simulation
