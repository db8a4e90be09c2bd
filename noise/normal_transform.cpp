#include "noise/normal_transform.h"

#include <bit>
#include <cmath>

#include "numerics/random/float_log.h"

namespace simtrove::noise {
namespace {

constexpr double kWordScale = 1.0 / 2147483648.0;  // 2^-31
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

inline double uniformOfWord(std::uint32_t word) {
    return (double(std::int32_t(word)) + 0.5) * kWordScale;
}

// The pair of normals from words (a, b), or false when the point (u, v) lies
// outside the unit disc (never at its centre: u, v are odd multiples of 2^-32).
bool polarPair(std::uint32_t a, std::uint32_t b, double* out) {
    const double u = uniformOfWord(a), v = uniformOfWord(b);
    const double s = u * u + v * v;
    if (s >= 1.0) return false;
    const double factor = std::sqrt(-2.0 * logOfNormal(s) / s);
    out[0] = u * factor;
    out[1] = v * factor;
    return true;
}

// Pair `half` (0: words 0 and 1, 1: words 2 and 3) of every block of the
// batch, with the same arithmetic as polarPair; accepted[i] tells whether
// block i's pair was inside the disc (else its values are to be drawn again).
SIMTROVE_VECTOR_CLONES
void batchPairs(const std::uint32_t* a, const std::uint32_t* b, std::size_t half, double* values,
                unsigned char* accepted) {
    for (std::size_t i = 0; i < kBlockBatch; ++i) {
        const double u = uniformOfWord(a[i]), v = uniformOfWord(b[i]);
        const double s = u * u + v * v;
        const bool inside = s < 1.0;
        // Outside the disc any value inside will do (the result is discarded);
        // chosen by masks, so that the loop has no branch.
        const std::uint64_t keep = std::uint64_t(0) - std::uint64_t(inside);
        const double t = std::bit_cast<double>((std::bit_cast<std::uint64_t>(s) & keep) |
                                               (std::bit_cast<std::uint64_t>(0.5) & ~keep));
        const double factor = std::sqrt(-2.0 * logOfNormal(t) / t);
        values[4 * i + 2 * half] = u * factor;
        values[4 * i + 2 * half + 1] = v * factor;
        accepted[i] = static_cast<unsigned char>(inside);
    }
}

// The normals of blocks firstBlock .. firstBlock + count - 1 into values (4 each).
void batchNormals(const StreamKey& key, std::uint32_t firstBlock, std::size_t count,
                  double* values) {
    std::uint32_t words[4][kBlockBatch];
    philoxBlocks(key, firstBlock, 0, count, words);
    unsigned char first[kBlockBatch], second[kBlockBatch];
    batchPairs(words[0], words[1], 0, values, first);
    batchPairs(words[2], words[3], 1, values, second);
    for (std::size_t i = 0; i < count; ++i) {
        // The pairs outside the disc, drawn again from later attempts.
        for (std::uint32_t attempt = 1; !(first[i] && second[i]); ++attempt) {
            const Block w = philoxBlock(key, firstBlock + std::uint32_t(i), attempt);
            if (!first[i]) first[i] = polarPair(w[0], w[1], values + 4 * i);
            if (!second[i]) second[i] = polarPair(w[2], w[3], values + 4 * i + 2);
        }
    }
}

}  // namespace

double naturalLog(double x) {
    if (std::fpclassify(x) == FP_SUBNORMAL) return logOfNormal(x * 0x1p64) - 64.0 * 0.6931471805599453;
    return logOfNormal(x);
}

void standardNormals(const StreamKey& key, std::uint64_t first, double* out, std::size_t n) {
    double values[4 * kBlockBatch];
    std::uint64_t position = first;
    for (std::size_t i = 0; i < n;) {
        const std::uint64_t block = position / 4;
        const std::uint64_t lastBlock = (position + (n - i) - 1) / 4;
        const std::size_t count = std::size_t(std::min<std::uint64_t>(kBlockBatch, lastBlock - block + 1));
        batchNormals(key, std::uint32_t(block), count, values);
        const std::uint64_t end = (block + count) * 4;
        for (; position < end && i < n; ++position, ++i) out[i] = values[position - block * 4];
    }
}

}  // namespace simtrove::noise
