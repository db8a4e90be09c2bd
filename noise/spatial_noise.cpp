#include "noise/spatial_noise.h"

#include <cmath>
#include <type_traits>

#include "noise/normal_transform.h"
#include "noise/random_stream.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {
namespace {

constexpr double kKernelReach = 4.0;  // standard deviations

std::vector<double> gaussianKernel(double sigmaVoxels, std::int64_t radius) {
    std::vector<double> kernel(std::size_t(2 * radius + 1));
    double squares = 0.0;
    for (std::int64_t i = -radius; i <= radius; ++i) {
        const double x = double(i) / sigmaVoxels;
        const double value = std::exp(-0.5 * x * x);
        kernel[std::size_t(i + radius)] = value;
        squares += value * value;
    }
    const double scale = 1.0 / std::sqrt(squares);
    for (double& value : kernel) value *= scale;
    return kernel;
}

// One separable pass over `lines` lines: output i of a line (outLength of
// them) is sum_k kernel[k] * input[i + k] along the axis, whose neighbours lie
// `stride` apart; `inner` neighbouring lines (inner == stride) go together,
// so that a line's outputs are one run of memory whose tap k reads the run
// k * stride further on. Each output's sum is built from 0 over the taps in
// their order, in registers: `lanes` neighbouring outputs at once, several
// vectors wide so that the additions of different vectors overlap, and each
// output stored once.
#if defined(__GNUC__)
#define SIMTROVE_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define SIMTROVE_ALWAYS_INLINE inline
#endif

template <std::size_t lanes>
SIMTROVE_ALWAYS_INLINE void convolveLanes(const float* source, float* target, std::size_t step,
                                          const float* w, std::size_t taps) {
    float sum[lanes] = {};
    for (std::size_t k = 0; k < taps; ++k) {
        const float* from = source + k * step;
        for (std::size_t j = 0; j < lanes; ++j) sum[j] += w[k] * from[j];
    }
    for (std::size_t j = 0; j < lanes; ++j) target[j] = sum[j];
}

// Outputs target[0 .. count) whose tap k reads source[k * step ..]; inlined
// into each instruction set's clone below.
SIMTROVE_ALWAYS_INLINE void convolveRun(const float* source, float* target, std::size_t count,
                                        std::size_t step, const float* w, std::size_t taps) {
    // A last group that would be short is moved back to end at `count`: the
    // outputs it computes again come out the same, and the short lines along
    // x stay in wide groups.
    auto group = [&](auto lanes) {
        constexpr std::size_t L = decltype(lanes)::value;
        for (std::size_t n = 0; n < count; n += L) {
            const std::size_t at = n + L <= count ? n : count - L;
            convolveLanes<L>(source + at, target + at, step, w, taps);
        }
    };
    if (count >= 64)
        group(std::integral_constant<std::size_t, 64>{});
    else if (count >= 32)
        group(std::integral_constant<std::size_t, 32>{});
    else if (count >= 8)
        group(std::integral_constant<std::size_t, 8>{});
    else
        group(std::integral_constant<std::size_t, 1>{});
}

SIMTROVE_VECTOR_CLONES
void convolveLines(const float* in, float* out, const std::vector<float>& kernel,
                   std::size_t outLength, std::size_t stride, std::size_t lines,
                   std::size_t inLineStride, std::size_t outLineStride, std::size_t inner) {
    for (std::size_t line = 0; line < lines; ++line)
        convolveRun(in + line * inLineStride, out + line * outLineStride, outLength * inner, stride,
                    kernel.data(), kernel.size());
}

double sigmaVoxels(double fwhmMm, double voxelMm) {
    return fwhmMm / voxelMm / std::sqrt(8.0 * std::log(2.0));
}

// Voxels the kernel reaches on each side, in double (it may not fit 64 bits).
double kernelReach(double sigma) {
    return sigma > 0 ? std::ceil(kKernelReach * sigma) : 0.0;
}

}  // namespace

double spatialScratchFloats(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                            std::array<double, 3> fwhmMm) {
    std::array<double, 3> padded{};
    for (std::size_t a = 0; a < 3; ++a)
        padded[a] = double(dims[a]) + 2.0 * kernelReach(sigmaVoxels(fwhmMm[a], voxelMm[a]));
    const double X = double(dims[0]), Y = double(dims[1]);
    return padded[0] * padded[1] * padded[2] + X * padded[1] * padded[2] + X * Y * padded[2];
}

SpatialNoise::SpatialNoise(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                           std::array<double, 3> fwhmMm, double sd)
    : dims_(dims) {
    for (std::size_t a = 0; a < 3; ++a) {
        const double sigma = sigmaVoxels(fwhmMm[a], voxelMm[a]);
        radius_[a] = std::int64_t(kernelReach(sigma));
        kernels_[a] = sigma > 0 ? gaussianKernel(sigma, radius_[a]) : std::vector<double>{1.0};
        for (double w : kernels_[a]) passes_[a].push_back(float(a == 2 ? w * sd : w));
    }
}

void SpatialNoise::generate(std::uint64_t seed, std::uint64_t volume, float* out,
                            Scratch& scratch) const {
    const std::size_t X = std::size_t(dims_[0]), Y = std::size_t(dims_[1]),
                      Z = std::size_t(dims_[2]);
    const std::size_t PX = X + 2 * std::size_t(radius_[0]), PY = Y + 2 * std::size_t(radius_[1]),
                      PZ = Z + 2 * std::size_t(radius_[2]);
    scratch.white.resize(PX * PY * PZ);
    scratch.alongX.resize(X * PY * PZ);
    scratch.alongY.resize(X * Y * PZ);
    standardNormals({seed, Component::Spatial, volume}, 0, scratch.white.data(),
                    scratch.white.size());
    // Along x: each (y, z) row of PX values gives X.
    convolveLines(scratch.white.data(), scratch.alongX.data(), passes_[0], X, 1, PY * PZ, PX, X, 1);
    // Along y: each z plane (X * PY) gives X * Y, rows of X handled together.
    convolveLines(scratch.alongX.data(), scratch.alongY.data(), passes_[1], Y, X, PZ, X * PY, X * Y,
                  X);
    // Along z: the whole stack of planes (X * Y each) gives Z planes.
    convolveLines(scratch.alongY.data(), out, passes_[2], Z, X * Y, 1, 0, 0, X * Y);
}

}  // namespace simtrove::noise
