#include "noise/normal_transform.h"

#include <cmath>

#include "numerics/random/float_log.h"

namespace simtrove::noise {
namespace {

constexpr double kWordScale = 1.0 / 2147483648.0;  // 2^-31

double uniformOfWord(std::uint32_t word) {
    return (double(std::int32_t(word)) + 0.5) * kWordScale;
}

// The pair of normals from words (a, b), or false when the point (u, v) lies
// outside the unit disc (never at its centre: u, v are odd multiples of 2^-32).
bool polarPair(std::uint32_t a, std::uint32_t b, double* out) {
    const double u = uniformOfWord(a), v = uniformOfWord(b);
    const double s = u * u + v * v;
    if (s >= 1.0) return false;
    const double factor = std::sqrt(-2.0 * naturalLog(s) / s);
    out[0] = u * factor;
    out[1] = v * factor;
    return true;
}

// The four normals of block `block`.
void blockNormals(const StreamKey& key, std::uint32_t block, double* out) {
    Block words = philoxBlock(key, block, 0);
    bool first = polarPair(words[0], words[1], out);
    bool second = polarPair(words[2], words[3], out + 2);
    for (std::uint32_t attempt = 1; !(first && second); ++attempt) {
        words = philoxBlock(key, block, attempt);
        if (!first) first = polarPair(words[0], words[1], out);
        if (!second) second = polarPair(words[2], words[3], out + 2);
    }
}

}  // namespace

double naturalLog(double x) {
    // x = 2^e m with m in [0.75, 1.5): frexp gives m in [0.5, 1), exactly.
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < 0.75) {
        m *= 2.0;
        e -= 1;
    }
    const double z = (m - 1.0) / (m + 1.0);
    const double z2 = z * z;
    double series = 0.0;
    for (const double c : random::kLogSeries) series = series * z2 + c;
    const double logM = 2.0 * z + z * z2 * series;
    return double(e) * random::kLog2High + (double(e) * random::kLog2Low + logM);
}

void standardNormals(const StreamKey& key, std::uint64_t first, double* out, std::size_t n) {
    double values[4];
    std::uint64_t position = first;
    for (std::size_t i = 0; i < n;) {
        const std::uint64_t block = position / 4;
        blockNormals(key, std::uint32_t(block), values);
        for (std::uint64_t k = position % 4; k < 4 && i < n; ++k, ++i, ++position)
            out[i] = values[k];
    }
}

}  // namespace simtrove::noise
