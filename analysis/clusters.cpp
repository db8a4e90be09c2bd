#include "analysis/clusters.h"

#include <algorithm>
#include <cmath>

namespace simtrove::analysis {

using formats::VolumeGrid;

std::array<double, 3> millimetres(const VolumeGrid& grid, const std::array<double, 3>& at) {
    std::array<double, 3> mm{};
    for (std::size_t i = 0; i < 3; ++i) mm[i] = grid.start[i] + at[i] * grid.resolution;
    return mm;
}

std::vector<Cluster> findClusters(const VolumeGrid& grid, std::span<const float> t,
                                  std::span<const std::uint8_t> above,
                                  std::span<const std::uint8_t> planted) {
    std::vector<Cluster> clusters;
    std::vector<std::uint8_t> seen(above.size(), 0);
    std::vector<std::size_t> stack;
    for (std::size_t seed = 0; seed < above.size(); ++seed) {
        if (!above[seed] || seen[seed]) continue;
        const bool positive = t[seed] > 0.0f;
        Cluster c;
        std::array<double, 3> sum{};
        stack.assign(1, seed);
        seen[seed] = 1;
        while (!stack.empty()) {
            const std::size_t v = stack.back();
            stack.pop_back();
            const std::array<int, 3> p = grid.position(v);
            ++c.voxels;
            for (std::size_t i = 0; i < 3; ++i) sum[i] += p[i];
            if (!planted.empty() && planted[v]) ++c.plantedVoxels;
            if (std::fabs(t[v]) > std::fabs(c.peakT)) c.peakT = t[v], c.peakGrid = p;
            for (int dz = -1; dz <= 1; ++dz)
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const int x = p[0] + dx, y = p[1] + dy, z = p[2] + dz;
                        if (x < 0 || y < 0 || z < 0 || x >= grid.dims[0] || y >= grid.dims[1] ||
                            z >= grid.dims[2])
                            continue;
                        const std::size_t u = grid.index(x, y, z);
                        if (!above[u] || seen[u] || (t[u] > 0.0f) != positive) continue;
                        seen[u] = 1;
                        stack.push_back(u);
                    }
        }
        c.peakMm = millimetres(
            grid, {double(c.peakGrid[0]), double(c.peakGrid[1]), double(c.peakGrid[2])});
        c.centreMm = millimetres(grid, {sum[0] / double(c.voxels), sum[1] / double(c.voxels),
                                        sum[2] / double(c.voxels)});
        clusters.push_back(c);
    }
    std::stable_sort(clusters.begin(), clusters.end(), [](const Cluster& a, const Cluster& b) {
        if (a.voxels != b.voxels) return a.voxels > b.voxels;
        return std::fabs(a.peakT) > std::fabs(b.peakT);
    });
    return clusters;
}

}  // namespace simtrove::analysis
