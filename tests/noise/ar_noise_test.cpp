// The voxels of a tile generated side by side give each voxel's own time
// course bit for bit, for every order and run length (including runs shorter
// than the order, where only the start-up predictors act).
#include "noise/ar_noise.h"

#include <gtest/gtest.h>

#include <vector>

namespace simtrove::noise {
namespace {

TEST(ArNoiseTile, HoldsEachVoxelsOwnTimeCourseBitForBit) {
    constexpr std::size_t L = ArNoise::kVoxelLanes;
    const std::vector<std::vector<double>> coefficients = {{0.5}, {0.4, 0.2}, {0.3, -0.2, 0.1}};
    for (const std::vector<double>& phi : coefficients)
        for (std::size_t T : {std::size_t(2), std::size_t(37)}) {
            const ArNoise ar(phi, 3.0);
            std::vector<double> tile(T * L), alone(T);
            std::vector<float> scratch;
            ar.generateTile(9, 1000, tile.data(), T, scratch);
            for (std::size_t j = 0; j < L; ++j) {
                ar.generate(9, 1000 + j, alone.data(), T);
                for (std::size_t t = 0; t < T; ++t)
                    ASSERT_EQ(alone[t], tile[t * L + j])
                        << "order " << phi.size() << ", voxel " << j << ", T " << T << ", t " << t;
            }
        }
}

}  // namespace
}  // namespace simtrove::noise
