#include "noise/spatial_noise.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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

double sigmaVoxels(double fwhmMm, double voxelMm) {
    return fwhmMm / voxelMm / std::sqrt(8.0 * std::log(2.0));
}

// Voxels the kernel reaches on each side, in double (it may not fit 64 bits).
double kernelReach(double sigma) {
    return sigma > 0 ? std::ceil(kKernelReach * sigma) : 0.0;
}

// Every output below is a sum built from 0 over its terms in column order, in
// registers, and stored once. Terms of weight 0 (the x pass's columns before a
// line's start) add nothing, so the grouping never changes a bit.

// Along y or z: outputs target[0 .. count) whose term k reads source[k * step
// ..] with the scalar weight w[k]; `lanes` neighbouring outputs at once,
// several vectors wide so that the additions of different vectors overlap.
// Vectors are GCC's vector extension, which each clone lowers to its own
// width, so that the compiler keeps the sums apart in registers.
template <std::size_t G>
struct GroupOf {
    typedef float Floats __attribute__((vector_size(G * sizeof(float))));
};

template <std::size_t lanes>
SIMTROVE_INLINE_LANES void sumLanes(const float* source, float* target, std::size_t step,
                                    const float* w, std::size_t taps) {
    if constexpr (lanes == 1) {
        float sum = 0.0f;
        for (std::size_t k = 0; k < taps; ++k) sum += w[k] * source[k * step];
        *target = sum;
    } else {
        constexpr std::size_t width = lanes >= 16 ? 16 : lanes, vectors = lanes / width;
        using Floats = typename GroupOf<width>::Floats;
        Floats sum[vectors] = {};
        for (std::size_t k = 0; k < taps; ++k) {
            const float* from = source + k * step;
            for (std::size_t i = 0; i < vectors; ++i) {
                Floats x;
                std::memcpy(&x, from + i * width, sizeof x);
                sum[i] += w[k] * x;
            }
        }
        std::memcpy(target, sum, sizeof sum);
    }
}

// A last group that would be short is moved back to end at `count`: the
// outputs it computes again come out the same.
template <typename Group>
SIMTROVE_INLINE_LANES void inGroups(std::size_t count, Group&& group) {
    auto run = [&](auto lanes) {
        constexpr std::size_t L = decltype(lanes)::value;
        for (std::size_t n = 0; n < count; n += L) group(lanes, n + L <= count ? n : count - L);
    };
    if (count >= 64)
        run(std::integral_constant<std::size_t, 64>{});
    else if (count >= 32)
        run(std::integral_constant<std::size_t, 32>{});
    else if (count >= 8)
        run(std::integral_constant<std::size_t, 8>{});
    else
        run(std::integral_constant<std::size_t, 1>{});
}

// Row i of a factor in float (`band` + 1 per row): its first column and the
// weights from there to the diagonal.
struct FactorRow {
    std::size_t first;
    const float* weights;
    std::size_t taps;
};
FactorRow factorRow(const std::vector<float>& rows, std::size_t band, std::size_t i) {
    const std::size_t first = i > band ? i - band : 0;
    return {first, rows.data() + i * (band + 1) + (first + band - i), i - first + 1};
}

// One axis that is not the fastest: `planes` blocks of n rows of `count`
// values each (rows `count` apart, blocks `planeStride` apart).
SIMTROVE_VECTOR_CLONES
void multiplyAlongRows(const float* in, float* out, const std::vector<float>& rows,
                       std::size_t band, std::size_t n, std::size_t count, std::size_t planes,
                       std::size_t planeStride) {
    for (std::size_t p = 0; p < planes; ++p)
        for (std::size_t i = 0; i < n; ++i) {
            const FactorRow r = factorRow(rows, band, i);
            const float* source = in + p * planeStride + r.first * count;
            float* target = out + p * planeStride + i * count;
            inGroups(count, [&](auto lanes, std::size_t at) {
                sumLanes<decltype(lanes)::value>(source + at, target + at, count, r.weights,
                                                 r.taps);
            });
        }
}

// Along x, by the factor's diagonals: G neighbouring outputs of `lines` lines
// (X apart), each line's G outputs one vector value; the term of column x - d
// weighted by diagonals[d * X + x], d from `band` down to 0 (column order).
// Columns before a line's start have weight 0; they read the line before, or
// the padding before the first.
template <std::size_t G, std::size_t lines>
SIMTROVE_INLINE_LANES void sumDiagonals(const float* in, float* out, std::size_t X,
                                        const float* diagonals, std::size_t band) {
    if constexpr (G == 1) {
        for (std::size_t l = 0; l < lines; ++l) {
            float sum = 0.0f;
            for (std::size_t d = band + 1; d-- > 0;) sum += diagonals[d * X] * *(in + l * X - d);
            out[l * X] = sum;
        }
    } else {
        using Floats = typename GroupOf<G>::Floats;
        Floats sum[lines] = {};
        for (std::size_t d = band + 1; d-- > 0;) {
            Floats w;
            std::memcpy(&w, diagonals + d * X, sizeof w);
            for (std::size_t l = 0; l < lines; ++l) {
                Floats x;
                std::memcpy(&x, in + l * X - d, sizeof x);
                sum[l] += w * x;
            }
        }
        for (std::size_t l = 0; l < lines; ++l) std::memcpy(out + l * X, &sum[l], sizeof sum[l]);
    }
}

// `together` lines at once, in groups of G along x (a last group that would be
// short moved back to end at X: the outputs it computes again come out the same).
template <std::size_t G, std::size_t together>
SIMTROVE_INLINE_LANES void sumLines(const float* in, float* out, std::size_t X,
                                    const float* diagonals, std::size_t band) {
    for (std::size_t n = 0; n < X; n += G) {
        const std::size_t at = n + G <= X ? n : X - G;
        sumDiagonals<G, together>(in + at, out + at, X, diagonals + at, band);
    }
}

template <std::size_t G>
SIMTROVE_INLINE_LANES void multiplyAlongLinesIn(const float* in, float* out, std::size_t X,
                                                std::size_t lines, const float* diagonals,
                                                std::size_t band) {
    constexpr std::size_t kLinesTogether = 4;  // independent sums overlap
    std::size_t line = 0;
    for (; line + kLinesTogether <= lines; line += kLinesTogether)
        sumLines<G, kLinesTogether>(in + line * X, out + line * X, X, diagonals, band);
    for (; line < lines; ++line) sumLines<G, 1>(in + line * X, out + line * X, X, diagonals, band);
}

SIMTROVE_VECTOR_CLONES
void multiplyAlongLines(const float* in, float* out, std::size_t X, std::size_t lines,
                        const float* diagonals, std::size_t band) {
    auto with = [&](auto G) {
        multiplyAlongLinesIn<decltype(G)::value>(in, out, X, lines, diagonals, band);
    };
    if (X >= 16)
        with(std::integral_constant<std::size_t, 16>{});
    else if (X >= 8)
        with(std::integral_constant<std::size_t, 8>{});
    else if (X >= 4)
        with(std::integral_constant<std::size_t, 4>{});
    else
        with(std::integral_constant<std::size_t, 1>{});
}

std::vector<float> floatRows(const CorrelationFactor& f, double scale) {
    std::vector<float> rows(f.rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = float(f.rows[i] * scale);
    return rows;
}

}  // namespace

double spatialScratchFloats(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                            std::array<double, 3> fwhmMm) {
    double setup = 0;
    for (std::size_t a = 0; a < 3; ++a) {
        const double radius = kernelReach(sigmaVoxels(fwhmMm[a], voxelMm[a]));
        setup = std::max(setup, 2.0 * correlationFactorDoubles(double(dims[a]), radius));
    }
    return std::max(setup, 2.0 * double(dims[0]) * double(dims[1]) * double(dims[2]) +
                               double(dims[0]) * double(dims[0]));
}

double spatialSetupOperations(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                              std::array<double, 3> fwhmMm) {
    double operations = 0;
    for (std::size_t a = 0; a < 3; ++a)
        operations += correlationFactorOperations(double(dims[a]),
                                                  kernelReach(sigmaVoxels(fwhmMm[a], voxelMm[a])));
    return operations;
}

SpatialNoise::SpatialNoise(std::array<std::int64_t, 3> dims, std::array<double, 3> voxelMm,
                           std::array<double, 3> fwhmMm, double sd)
    : dims_(dims) {
    for (std::size_t a = 0; a < 3; ++a) {
        const double sigma = sigmaVoxels(fwhmMm[a], voxelMm[a]);
        const std::vector<double> kernel =
            sigma > 0 ? gaussianKernel(sigma, std::int64_t(kernelReach(sigma)))
                      : std::vector<double>{1.0};
        factors_[a] = correlationFactor(dims[a], kernel);
        rows_[a] = floatRows(factors_[a], a == 2 ? sd : 1.0);
    }
    // The x factor by diagonals: L[x][x - d] at diagonals_[d * X + x].
    const std::size_t X = std::size_t(dims[0]), band = std::size_t(factors_[0].band);
    diagonals_.assign((band + 1) * X, 0.0f);
    for (std::size_t d = 0; d <= band; ++d)
        for (std::size_t x = 0; x < X; ++x)
            diagonals_[d * X + x] = rows_[0][x * (band + 1) + band - d];
}

void SpatialNoise::generate(std::uint64_t seed, std::uint64_t volume, float* out,
                            Scratch& scratch) const {
    const std::size_t X = std::size_t(dims_[0]), Y = std::size_t(dims_[1]),
                      Z = std::size_t(dims_[2]);
    // The x pass reads up to `band` columns before a line's start (of weight
    // 0): before the first line, padding of zeros.
    const std::size_t pad = std::size_t(factors_[0].band);
    scratch.white.resize(pad + X * Y * Z);
    scratch.alongX.resize(X * Y * Z);
    float* white = scratch.white.data() + pad;
    standardNormals({seed, Component::Spatial, volume}, 0, white, X * Y * Z);
    multiplyAlongLines(white, scratch.alongX.data(), X, Y * Z, diagonals_.data(), pad);
    // Along y within each z plane (rows of X), then along z (planes of X * Y).
    multiplyAlongRows(scratch.alongX.data(), white, rows_[1], std::size_t(factors_[1].band), Y, X,
                      Z, X * Y);
    multiplyAlongRows(white, out, rows_[2], std::size_t(factors_[2].band), Z, X * Y, 1, 0);
}

}  // namespace simtrove::noise
