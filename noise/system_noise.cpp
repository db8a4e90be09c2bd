#include "noise/system_noise.h"

#include <cmath>

#include "noise/normal_transform.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {

void systemNoise(std::uint64_t seed, std::uint64_t voxel, double sd, double* out, std::size_t T) {
    standardNormals({seed, Component::System, voxel}, 0, out, T);
    for (std::size_t t = 0; t < T; ++t) out[t] *= sd;
}

void applyRicianNoise(std::uint64_t seed, std::uint64_t voxel, double sd, double* samples,
                      double* scratch, std::size_t T) {
    standardNormals({seed, Component::SystemImaginary, voxel}, 0, scratch, T);
    double* real = scratch;  // reused: the imaginary channel first, then combined
    for (std::size_t t = 0; t < T; ++t) real[t] *= sd;
    constexpr std::size_t kPiece = 256;
    double channel[kPiece];
    for (std::size_t t0 = 0; t0 < T; t0 += kPiece) {
        const std::size_t n = T - t0 < kPiece ? T - t0 : kPiece;
        standardNormals({seed, Component::System, voxel}, t0, channel, n);
        for (std::size_t i = 0; i < n; ++i) {
            const double re = samples[t0 + i] + sd * channel[i];
            const double im = real[t0 + i];
            samples[t0 + i] = std::sqrt(re * re + im * im);
        }
    }
}

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
