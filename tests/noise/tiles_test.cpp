// Each component's tile (sixteen voxels side by side) holds every voxel's own
// time course as the voxel-by-voxel functions give it, bit for bit, for run
// lengths that do and do not fill whole blocks of four.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "noise/drift_noise.h"
#include "noise/normal_transform.h"
#include "noise/physiological_noise.h"
#include "noise/system_noise.h"

namespace simtrove::noise {
namespace {

constexpr std::size_t L = kTileLanes;
constexpr std::uint64_t kSeed = 5, kFirst = 4093;  // a first voxel that is no multiple of 16

struct Case {
    std::string name;
    std::function<void(std::size_t T, std::vector<double>& tile)> tile;
    std::function<void(std::size_t T, std::uint64_t voxel, std::vector<double>& alone)> voxel;
};

std::vector<Case> cases() {
    auto drift = [](std::size_t T) { return DriftNoise(T, 2.0, 64.0, 1.5); };
    auto physiological = [](std::size_t T) {
        return PhysiologicalNoise(T, 2.0, 1.17, 0.3, 0.4, 1.0);
    };
    return {
        {"normals",
         [](std::size_t T, std::vector<double>& tile) {
             std::vector<float> f(T * L);
             standardNormalTile({kSeed, Component::Spatial, kFirst}, f.data(), T);
             tile.assign(f.begin(), f.end());
         },
         [](std::size_t T, std::uint64_t v, std::vector<double>& alone) {
             standardNormals({kSeed, Component::Spatial, v}, 0, alone.data(), T);
         }},
        {"rician",
         [](std::size_t T, std::vector<double>& tile) {
             for (std::size_t i = 0; i < T * L; ++i) tile[i] = 3.0 + double(i % 7);
             std::vector<float> scratch;
             applyRicianNoiseTile(kSeed, kFirst, 2.0, tile.data(), scratch, T);
         },
         [](std::size_t T, std::uint64_t v, std::vector<double>& alone) {
             // The magnitude of the sample plus two channels of sd 2.
             std::vector<double> a(T), b(T);
             standardNormals({kSeed, Component::System, v}, 0, a.data(), T);
             standardNormals({kSeed, Component::SystemImaginary, v}, 0, b.data(), T);
             for (std::size_t t = 0; t < T; ++t) {
                 const double re = 3.0 + double((t * L + (v - kFirst)) % 7) + 2.0 * a[t];
                 alone[t] = std::sqrt(re * re + (2.0 * b[t]) * (2.0 * b[t]));
             }
         }},
        {"drift",
         [drift](std::size_t T, std::vector<double>& tile) {
             std::vector<float> normals;
             std::vector<double> weights;
             drift(T).generateTile(kSeed, kFirst, tile.data(), normals, weights);
         },
         [drift](std::size_t T, std::uint64_t v, std::vector<double>& alone) {
             const DriftNoise d = drift(T);
             std::vector<double> scratch(d.functions() + 1);
             d.generate(kSeed, v, alone.data(), scratch.data());
         }},
        {"physiological",
         [physiological](std::size_t T, std::vector<double>& tile) {
             physiological(T).generateTile(kSeed, kFirst, tile.data());
         },
         [physiological](std::size_t T, std::uint64_t v, std::vector<double>& alone) {
             physiological(T).generate(kSeed, v, alone.data());
         }},
    };
}

TEST(NoiseTiles, HoldEachVoxelsOwnValuesBitForBit) {
    for (const Case& c : cases())
        for (std::size_t T : {std::size_t(3), std::size_t(130)}) {
            std::vector<double> tile(T * L), alone(T);
            c.tile(T, tile);
            for (std::size_t j = 0; j < L; ++j) {
                c.voxel(T, kFirst + j, alone);
                for (std::size_t t = 0; t < T; ++t)
                    ASSERT_EQ(tile[t * L + j], alone[t])
                        << c.name << ": T " << T << ", voxel " << j << ", t " << t;
            }
        }
}

}  // namespace
}  // namespace simtrove::noise
