#include "noise/system_noise.h"

#include <cmath>

#include "noise/normal_transform.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {

SIMTROVE_VECTOR_CLONES
void applyRicianNoiseTile(std::uint64_t seed, std::uint64_t firstVoxel, double sd, double* samples,
                          std::vector<float>& scratch, std::size_t T) {
    const std::size_t n = T * kTileLanes;
    scratch.resize(2 * n);
    float* channel = scratch.data();
    float* imaginary = channel + n;
    standardNormalTile({seed, Component::System, firstVoxel}, channel, T);
    standardNormalTile({seed, Component::SystemImaginary, firstVoxel}, imaginary, T);
    for (std::size_t i = 0; i < n; ++i) {
        const double re = samples[i] + sd * double(channel[i]);
        const double im = sd * double(imaginary[i]);
        samples[i] = std::sqrt(re * re + im * im);
    }
}

}  // namespace simtrove::noise
