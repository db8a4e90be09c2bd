// The voxels of a block generated side by side give each voxel's own time
// course bit for bit, for every order, block size and run length (including
// runs shorter than the order, where only the start-up predictors act).
#include "noise/ar_noise.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace simtrove::noise {
namespace {

TEST(ArNoiseVoxels, AreEachVoxelsOwnTimeCourseBitForBit) {
    const std::vector<std::vector<double>> coefficients = {{0.5}, {0.4, 0.2}, {0.3, -0.2, 0.1}};
    for (const std::vector<double>& phi : coefficients)
        for (std::size_t count : {std::size_t(1), std::size_t(5), ArNoise::kVoxelLanes})
            for (std::size_t T : {std::size_t(2), std::size_t(37)}) {
                const ArNoise ar(phi, 3.0);
                std::vector<double> block(count * T), alone(T), scratch;
                ar.generateVoxels(9, 1000, count, block.data(), T, scratch);
                for (std::size_t j = 0; j < count; ++j) {
                    ar.generate(9, 1000 + j, alone.data(), T);
                    EXPECT_EQ(std::memcmp(alone.data(), block.data() + j * T, T * sizeof(double)),
                              0)
                        << "order " << phi.size() << ", voxel " << j << " of " << count << ", T "
                        << T;
                }
            }
}

}  // namespace
}  // namespace simtrove::noise
