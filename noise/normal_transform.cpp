#include "noise/normal_transform.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "noise/vector_clones.h"

namespace simtrove::noise {
namespace {

// log u1 in float for the word a (see the header): u1 = 2^e m with m in
// [0.75, 1.5) from the bits, log m = 2 atanh(z), z = (m - 1) / (m + 1), whose
// series to z^11 is exact to float rounding (|z| <= 0.2).
inline float logOfUniformWord(std::uint32_t a) {
    // min(.., 2^32 - 256) taken on the integer: every h up to 2^31 - 129
    // gives at most 2^32 - 256, and h = 2^31 - 129 gives it exactly.
    const std::uint32_t h = a >> 1;
    const std::uint32_t kept = h < 0x7FFFFF7Fu ? h : 0x7FFFFF7Fu;
    const float x = float(std::int32_t(kept)) * 2.0f + 1.0f;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(x);
    const std::uint32_t mantissa = bits & 0x7FFFFFu;
    const std::uint32_t high = mantissa >> 22;  // 1 when the mantissa is 1.5 or more
    const float e = float(std::int32_t(bits >> 23) - 127 - 32 + std::int32_t(high));
    const float m = std::bit_cast<float>(mantissa | (0x3F800000u - (high << 23)));
    const float z = (m - 1.0f) / (m + 1.0f);
    const float z2 = z * z;
    float series = 2.0f / 11.0f;
    series = series * z2 + 2.0f / 9.0f;
    series = series * z2 + 2.0f / 7.0f;
    series = series * z2 + 2.0f / 5.0f;
    series = series * z2 + 2.0f / 3.0f;
    const float logM = 2.0f * z + z * z2 * series;
    // ln 2 in two parts, the first ending in 9 zero bits, so e times it is exact.
    return e * 0.693145751953125f + (e * 1.428606765330187e-06f + logM);
}

// sin and cos of the angle 2 pi b / 2^32 for a word b: b / 2^30 = n + f with
// n = round(b / 2^30) and |f| <= 1/2 (both exact, in integers), so the angle
// is n quarter turns plus phi = f pi / 2 in [-pi/4, pi/4], where Taylor series
// to phi^9 and phi^10 are exact to float rounding. The quarter turns swap and
// negate (products with 0, 1 and -1, which are exact).
inline void sinCosOfWord(std::uint32_t b, float& sine, float& cosine) {
    const std::uint32_t quarter = ((b >> 29) + 1) >> 1;  // 0 .. 4
    // Modulo 2^32, so quarter 4 gives b - 2^32, as it should.
    const std::int32_t rest = std::int32_t(b - (quarter << 30));
    const float phi = float(rest) * float(std::numbers::pi / 2147483648.0);
    const float p2 = phi * phi;
    float s = 1.0f / 362880.0f;  // 1 / 9!
    s = s * p2 - 1.0f / 5040.0f;
    s = s * p2 + 1.0f / 120.0f;
    s = s * p2 - 1.0f / 6.0f;
    s = phi + phi * p2 * s;
    float c = -1.0f / 3628800.0f;  // -1 / 10!
    c = c * p2 + 1.0f / 40320.0f;
    c = c * p2 - 1.0f / 720.0f;
    c = c * p2 + 1.0f / 24.0f;
    c = c * p2 - 0.5f;
    c = 1.0f + p2 * c;
    // Quarter turns 1, 2, 3: (sin, cos) = (c, -s), (-s, -c), (-c, s).
    const float swap = float(std::int32_t(quarter & 1));
    const float sineSign = 1.0f - float(std::int32_t(quarter & 2));
    const float cosineSign = 1.0f - float(std::int32_t((quarter + 1) & 2));
    sine = (s * (1.0f - swap) + c * swap) * sineSign;
    cosine = (c * (1.0f - swap) + s * swap) * cosineSign;
}

// Box-Muller on words (a, b).
inline void boxMuller(std::uint32_t a, std::uint32_t b, float& first, float& second) {
    const float radius = std::sqrt(-2.0f * logOfUniformWord(a));
    float sine, cosine;
    sinCosOfWord(b, sine, cosine);
    first = radius * cosine;
    second = radius * sine;
}

// Position k of lane i into values[k][i] (a lane is a block or a stream).
SIMTROVE_VECTOR_CLONES
void batchNormals(const std::uint32_t words[4][kBlockBatch], float values[4][kBlockBatch]) {
    for (std::size_t i = 0; i < kBlockBatch; ++i) {
        boxMuller(words[0][i], words[1][i], values[0][i], values[1][i]);
        boxMuller(words[2][i], words[3][i], values[2][i], values[3][i]);
    }
}

}  // namespace

namespace {

// standardNormals for either precision (the values are floats either way).
template <typename Value>
void normalsInto(const StreamKey& key, std::uint64_t first, Value* out, std::size_t n) {
    float values[4][kBlockBatch];
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
            Value* to = out + i;
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

}  // namespace

void standardNormals(const StreamKey& key, std::uint64_t first, double* out, std::size_t n) {
    normalsInto(key, first, out, n);
}

void standardNormals(const StreamKey& key, std::uint64_t first, float* out, std::size_t n) {
    normalsInto(key, first, out, n);
}

void standardNormalTile(const StreamKey& first, float* tile, std::size_t T) {
    float values[4][kBlockBatch];
    for (std::size_t t0 = 0; t0 < T; t0 += 4) {
        std::uint32_t words[4][kBlockBatch];
        philoxStreams(first, std::uint32_t(t0 / 4), 0, words);
        batchNormals(words, values);
        const std::size_t rows = std::min<std::size_t>(4, T - t0);
        for (std::size_t k = 0; k < rows; ++k)
            std::copy(values[k], values[k] + kTileLanes, tile + (t0 + k) * kTileLanes);
    }
}

}  // namespace simtrove::noise
