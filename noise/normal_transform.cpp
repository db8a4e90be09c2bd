#include "noise/normal_transform.h"

#include <bit>
#include <cmath>
#include <numbers>

#include "numerics/random/float_log.h"

namespace simtrove::noise {
namespace {

constexpr std::uint64_t kMantissa = (std::uint64_t(1) << 52) - 1;
constexpr std::uint64_t kExponentOne = std::uint64_t(0x3FF) << 52;  // 2^0

#if defined(__GNUC__) && !defined(__clang__) && (defined(__x86_64__) || defined(__i386__)) && \
    defined(__linux__)
#define SIMTROVE_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define SIMTROVE_VECTOR_CLONES
#endif

// log x for a normal double x > 0, branch-free so that loops over it become
// vector code: x = 2^e m with m in [0.75, 1.5) taken from the bits, log m =
// 2 atanh(z), z = (m - 1) / (m + 1), by the series of float_log.h.
inline double logOfNormal(double x) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    const std::uint64_t mantissa = bits & kMantissa;
    const std::uint64_t high = mantissa >> 51;  // 1 when the mantissa is 1.5 or more
    const double e = double(std::int32_t(bits >> 52) - 1023 + std::int32_t(high));
    const double m = std::bit_cast<double>(mantissa | (kExponentOne - (high << 52)));
    const double z = (m - 1.0) / (m + 1.0);
    const double z2 = z * z;
    // Horner's steps written out: a loop here would keep the callers' loops scalar.
    constexpr const double* c = random::kLogSeries;
    double series = c[0];
    series = series * z2 + c[1];
    series = series * z2 + c[2];
    series = series * z2 + c[3];
    series = series * z2 + c[4];
    series = series * z2 + c[5];
    series = series * z2 + c[6];
    series = series * z2 + c[7];
    series = series * z2 + c[8];
    series = series * z2 + c[9];
    const double logM = 2.0 * z + z * z2 * series;
    return e * random::kLog2High + (e * random::kLog2Low + logM);
}

// sin and cos of the angle 2 pi b / 2^32 for a word b: b / 2^30 = n + f with
// n = round(b / 2^30) and |f| <= 1/2 (both exact, in integers), so the angle
// is n quarter turns plus phi = f pi / 2 in [-pi/4, pi/4], where Taylor series
// to phi^17 and phi^16 are exact to double rounding. The quarter turns swap
// and negate (products with 0, 1 and -1, which are exact).
inline void sinCosOfWord(std::uint32_t b, double& sine, double& cosine) {
    const std::uint32_t quarter = std::uint32_t((std::uint64_t(b) + (1u << 29)) >> 30);  // 0 .. 4
    const std::int32_t rest = std::int32_t(std::int64_t(b) - (std::int64_t(quarter) << 30));
    const double phi = double(rest) * (std::numbers::pi / 2 / 1073741824.0);
    const double p2 = phi * phi;
    double s = 1.0 / 355687428096000.0;  // 1 / 17!
    s = s * p2 - 1.0 / 1307674368000.0;
    s = s * p2 + 1.0 / 6227020800.0;
    s = s * p2 - 1.0 / 39916800.0;
    s = s * p2 + 1.0 / 362880.0;
    s = s * p2 - 1.0 / 5040.0;
    s = s * p2 + 1.0 / 120.0;
    s = s * p2 - 1.0 / 6.0;
    s = phi + phi * p2 * s;
    double c = 1.0 / 20922789888000.0;  // 1 / 16!
    c = c * p2 - 1.0 / 87178291200.0;
    c = c * p2 + 1.0 / 479001600.0;
    c = c * p2 - 1.0 / 3628800.0;
    c = c * p2 + 1.0 / 40320.0;
    c = c * p2 - 1.0 / 720.0;
    c = c * p2 + 1.0 / 24.0;
    c = c * p2 - 0.5;
    c = 1.0 + p2 * c;
    // Quarter turns 1, 2, 3: (sin, cos) = (c, -s), (-s, -c), (-c, s).
    const double swap = double(std::int32_t(quarter & 1));
    const double sineSign = 1.0 - double(std::int32_t(quarter & 2));
    const double cosineSign = 1.0 - double(std::int32_t((quarter + 1) & 2));
    sine = (s * (1.0 - swap) + c * swap) * sineSign;
    cosine = (c * (1.0 - swap) + s * swap) * cosineSign;
}

// (a + 1/2) / 2^32 in (0, 1), exactly, through a signed conversion.
inline double openUnitOfWord(std::uint32_t a) {
    return (double(std::int32_t(a ^ 0x80000000u)) + 2147483648.5) * (1.0 / 4294967296.0);
}

// Box-Muller on words (a, b): radius sqrt(-2 log u1), u1 = (a + 1/2) / 2^32;
// angle 2 pi b / 2^32.
inline void boxMuller(std::uint32_t a, std::uint32_t b, double& first, double& second) {
    const double radius = std::sqrt(-2.0 * logOfNormal(openUnitOfWord(a)));
    double sine, cosine;
    sinCosOfWord(b, sine, cosine);
    first = radius * cosine;
    second = radius * sine;
}

// Position k of block i into values[k][i].
SIMTROVE_VECTOR_CLONES
void batchNormals(const std::uint32_t words[4][kBlockBatch], double values[4][kBlockBatch]) {
    for (std::size_t i = 0; i < kBlockBatch; ++i) {
        boxMuller(words[0][i], words[1][i], values[0][i], values[1][i]);
        boxMuller(words[2][i], words[3][i], values[2][i], values[3][i]);
    }
}

}  // namespace

double naturalLog(double x) {
    if (std::fpclassify(x) == FP_SUBNORMAL)
        return logOfNormal(x * 0x1p64) - 64.0 * 0.6931471805599453;
    return logOfNormal(x);
}

void standardNormals(const StreamKey& key, std::uint64_t first, double* out, std::size_t n) {
    double values[4][kBlockBatch];
    std::uint64_t position = first;
    for (std::size_t i = 0; i < n;) {
        const std::uint64_t block = position / 4;
        const std::uint64_t lastBlock = (position + (n - i) - 1) / 4;
        const std::size_t count =
            std::size_t(std::min<std::uint64_t>(kBlockBatch, lastBlock - block + 1));
        std::uint32_t words[4][kBlockBatch];
        philoxBlocks(key, std::uint32_t(block), 0, count, words);
        batchNormals(words, values);
        const std::uint64_t end = (block + count) * 4;
        if (position == block * 4 && n - i >= count * 4) {  // whole blocks, in order
            double* to = out + i;
            for (std::size_t b = 0; b < count; ++b, to += 4)
                to[0] = values[0][b], to[1] = values[1][b], to[2] = values[2][b],
                to[3] = values[3][b];
            i += count * 4;
            position = end;
            continue;
        }
        for (; position < end && i < n; ++position, ++i)
            out[i] = values[position % 4][(position - block * 4) / 4];
    }
}

}  // namespace simtrove::noise
