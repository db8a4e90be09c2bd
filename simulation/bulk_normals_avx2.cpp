// AVX2 stages of the bulk normal generator, for 32- and 64-bit x86 (the
// 32-bit build has only 8 vector registers, so the loops keep few values
// live). Every function carries its own target attribute and runs only after
// cpuFeatures() reported AVX2 and FMA. The float and double steps are the
// portable stages' steps, lane by lane; the logarithm is floatLog's first step
// (fused multiply-adds only inside its error bound), with the lanes it does not
// settle handed to floatLogExact.
#include "simulation/bulk_normals_stages.h"

#ifdef SIMTROVE_VECTOR_KERNELS

#include <immintrin.h>

#include <array>
#include <cstdint>

#include "numerics/random/float_log.h"
#include "simulation/synthesis.h"

#define SIMTROVE_TARGET_AVX2 __attribute__((target("avx2,fma,popcnt")))
#define SIMTROVE_INLINE_AVX2 __attribute__((target("avx2,fma,popcnt"), always_inline)) inline

namespace simtrove::simulation::avx2 {

using namespace simtrove::random;

namespace {

constexpr int kStateVectors = 4;  // independent chains of 4 states each
constexpr int kStatesPerRound = 4 * kStateVectors;

// powers[k] = 16807^(k + 1) mod (2^31 - 1), k < 16.
constexpr std::array<unsigned long long, kStatesPerRound> powers = [] {
    std::array<unsigned long long, kStatesPerRound> p{};
    for (int k = 0; k < kStatesPerRound; ++k) p[std::size_t(k)] = stages::multiplierPower(k + 1);
    return p;
}();

// Lane masks for the first n of 8 lanes: 8 loads from kLaneMasks + 8 - n.
alignas(64) constexpr std::int32_t kLaneMasks[16] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                     0,  0,  0,  0,  0,  0,  0,  0};

// For each 8-bit mask, the lanes it keeps, in order, as byte indices: the
// compression that AVX2 lacks, done by a permutation.
constexpr std::array<std::uint64_t, 256> kCompressions = [] {
    std::array<std::uint64_t, 256> table{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::uint64_t indices = 0;
        int at = 0;
        for (unsigned lane = 0; lane < 8; ++lane)
            if ((mask >> lane) & 1u) indices |= std::uint64_t(lane) << (8 * at++);
        table[mask] = indices;
    }
    return table;
}();

SIMTROVE_INLINE_AVX2 __m256i firstLanes(std::size_t n) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLaneMasks + 8 - (n >= 8 ? 8 : n)));
}

// Four lanes of x * a mod (2^31 - 1), x and a below 2^31 in 64-bit lanes;
// folded is below 2^33, so the signed comparison is safe.
SIMTROVE_INLINE_AVX2 __m256i mulMod(__m256i x, __m256i a) {
    const __m256i modulus = _mm256_set1_epi64x(kModulus);
    const __m256i p = _mm256_mul_epu32(x, a);
    const __m256i folded = _mm256_add_epi64(_mm256_and_si256(p, modulus), _mm256_srli_epi64(p, 31));
    const __m256i atLeastModulus = _mm256_cmpgt_epi64(folded, _mm256_set1_epi64x(kModulus - 1));
    return _mm256_sub_epi64(folded, _mm256_and_si256(atLeastModulus, modulus));
}

// The low 32 bits of the four 64-bit lanes.
SIMTROVE_INLINE_AVX2 __m128i lowWords(__m256i v) {
    return _mm256_castsi256_si128(
        _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
}

SIMTROVE_INLINE_AVX2 __m256 joinHalves(__m128 low, __m128 high) {
    return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1);
}

// Float lanes widened to double, half by half.
SIMTROVE_INLINE_AVX2 __m256d lowToDouble(__m256 v) {
    return _mm256_cvtps_pd(_mm256_castps256_ps128(v));
}
SIMTROVE_INLINE_AVX2 __m256d highToDouble(__m256 v) {
    return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1));
}

// float(2 u - 1) of the uniform u of each word; see the AVX-512 kernel for
// why float arithmetic after the first double step rounds alike.
SIMTROVE_INLINE_AVX2 __m256 polarComponentsOf(__m256i words) {
    const __m256d scale = _mm256_set1_pd(kUniformScale);
    const __m128 low =
        _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(words)), scale));
    const __m128 high = _mm256_cvtpd_ps(
        _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(words, 1)), scale));
    const __m256 u = _mm256_min_ps(joinHalves(low, high), _mm256_set1_ps(float(kLargestUniform)));
    return _mm256_sub_ps(_mm256_add_ps(u, u), _mm256_set1_ps(1.0f));
}

// kBaseline + float(kNoiseScale * normal), as in the AVX-512 kernel.
SIMTROVE_INLINE_AVX2 __m256 noiseSamplesOf(__m256 normal) {
    const __m256 noise = _mm256_mul_ps(normal, _mm256_set1_ps(kNoiseScale));
    return _mm256_add_ps(_mm256_set1_ps(kBaseline), noise);
}

// floatLog's first step on four lanes, from the split m (widened) and e.
SIMTROVE_INLINE_AVX2 __m256d logApproximation(__m256d m, __m256d e) {
    const __m256d one = _mm256_set1_pd(1.0);
    const __m256d s = _mm256_div_pd(_mm256_sub_pd(m, one), _mm256_add_pd(m, one));
    const __m256d z = _mm256_mul_pd(s, s);
    __m256d p = _mm256_set1_pd(kLogSeries[0]);
    for (int k = 1; k < 10; ++k) p = _mm256_fmadd_pd(p, z, _mm256_set1_pd(kLogSeries[k]));
    const __m256d logM = _mm256_fmadd_pd(_mm256_mul_pd(s, z), p, _mm256_add_pd(s, s));
    const __m256d low = _mm256_fmadd_pd(e, _mm256_set1_pd(kLog2Low), logM);
    return _mm256_fmadd_pd(e, _mm256_set1_pd(kLog2High), low);
}

// The floats that x - b and x + b round to, b = |x| kLogSettleBound.
SIMTROVE_INLINE_AVX2 void boundsOf(__m256d x, __m128& low, __m128& high) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), x);
    const __m256d bound = _mm256_mul_pd(magnitude, _mm256_set1_pd(kLogSettleBound));
    low = _mm256_cvtpd_ps(_mm256_sub_pd(x, bound));
    high = _mm256_cvtpd_ps(_mm256_add_pd(x, bound));
}

void recomputeLogs(unsigned lanes, const float* r, float* logs) {
    for (; lanes != 0; lanes &= lanes - 1) {
        const int k = __builtin_ctz(lanes);
        logs[k] = floatLogExact(r[k]);
    }
}

// floatLog per lane, stored to logs[lane] for the first `count` lanes and
// returned; r[lane] is x. Lanes whose bound interval does not round to one
// float, and any x that is not a positive normal float, go to floatLogExact.
SIMTROVE_INLINE_AVX2 __m256 floatLogs8(__m256 x, std::size_t count, const float* r, float* logs) {
    const __m256i bits = _mm256_castps_si256(x);
    const __m256i ix = _mm256_sub_epi32(bits, _mm256_set1_epi32(std::int32_t(kLogSplitBits)));
    const __m256i e = _mm256_srai_epi32(ix, 23);
    const __m256 m =
        _mm256_castsi256_ps(_mm256_add_epi32(_mm256_and_si256(ix, _mm256_set1_epi32(0x7FFFFF)),
                                             _mm256_set1_epi32(std::int32_t(kLogSplitBits))));
    __m128 lowLow, lowHigh, highLow, highHigh;
    boundsOf(logApproximation(lowToDouble(m), _mm256_cvtepi32_pd(_mm256_castsi256_si128(e))),
             lowLow, highLow);
    boundsOf(logApproximation(highToDouble(m), _mm256_cvtepi32_pd(_mm256_extracti128_si256(e, 1))),
             lowHigh, highHigh);
    const __m256 low = joinHalves(lowLow, lowHigh), high = joinHalves(highLow, highHigh);
    // Positive normal floats: bits from 0x00800000 up to below infinity's.
    const __m256i normal =
        _mm256_and_si256(_mm256_cmpgt_epi32(bits, _mm256_set1_epi32(0x007FFFFF)),
                         _mm256_cmpgt_epi32(_mm256_set1_epi32(0x7F800000), bits));
    const __m256 settled =
        _mm256_and_ps(_mm256_cmp_ps(low, high, _CMP_EQ_OQ), _mm256_castsi256_ps(normal));
    _mm256_maskstore_ps(logs, firstLanes(count), low);
    const unsigned rest =
        unsigned(~_mm256_movemask_ps(settled)) & ((1u << (count >= 8 ? 8 : count)) - 1u);
    if (rest == 0) return low;
    recomputeLogs(rest, r, logs);
    return _mm256_maskload_ps(logs, firstLanes(count));
}

// The deviates of up to 8 kept pairs from `first` on: logR stored, and
// out[2 first ..] = b f, a f, ... as far as `capacity` allows. The buffers'
// entries past the kept pairs hold harmless values, so whole vectors are read.
SIMTROVE_INLINE_AVX2 void finishPairs(stages::ChunkBuffers& chunk, std::size_t first,
                                      std::size_t count, float* out, std::size_t capacity,
                                      bool asNoiseSamples) {
    const __m256 squared = _mm256_loadu_ps(chunk.r + first);
    const __m256 logR = floatLogs8(squared, count, chunk.r + first, chunk.logR + first);
    const __m256d minusTwo = _mm256_set1_pd(-2.0);
    const __m128 fLow = _mm256_cvtpd_ps(_mm256_sqrt_pd(
        _mm256_div_pd(_mm256_mul_pd(minusTwo, lowToDouble(logR)), lowToDouble(squared))));
    const __m128 fHigh = _mm256_cvtpd_ps(_mm256_sqrt_pd(
        _mm256_div_pd(_mm256_mul_pd(minusTwo, highToDouble(logR)), highToDouble(squared))));
    const __m256 f = joinHalves(fLow, fHigh);
    __m256 second = _mm256_mul_ps(_mm256_loadu_ps(chunk.b + first), f);
    __m256 firstValue = _mm256_mul_ps(_mm256_loadu_ps(chunk.a + first), f);
    if (asNoiseSamples) {
        second = noiseSamplesOf(second);
        firstValue = noiseSamplesOf(firstValue);
    }
    // (second0, first0, second1, first1, ...) in two vectors.
    const __m256 low = _mm256_unpacklo_ps(second, firstValue);
    const __m256 high = _mm256_unpackhi_ps(second, firstValue);
    const std::size_t at = 2 * first;
    const std::size_t room = capacity > at ? capacity - at : 0;
    const std::size_t values = room < 2 * count ? room : 2 * count;
    _mm256_maskstore_ps(out + at, firstLanes(values), _mm256_permute2f128_ps(low, high, 0x20));
    if (values > 8)
        _mm256_maskstore_ps(out + at + 8, firstLanes(values - 8),
                            _mm256_permute2f128_ps(low, high, 0x31));
}

// The pairs of one block of 8 (fewer at the end of a chunk): the accepted ones
// appended to a, b and r as whole vectors (the buffers have room); returns the
// new count.
SIMTROVE_INLINE_AVX2 std::size_t formPairs(stages::ChunkBuffers& chunk, std::size_t p,
                                           std::size_t lanes, std::size_t kept) {
    const int* words = chunk.words + 2 * p;
    const std::size_t wordCount = 2 * lanes;
    const __m256i w0 = _mm256_maskload_epi32(words, firstLanes(wordCount));
    const __m256i w1 =
        _mm256_maskload_epi32(words + 8, firstLanes(wordCount > 8 ? wordCount - 8 : 0));
    // Per vector: first words of its pairs to the low half, second words to the high half.
    const __m256i split = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    const __m256i s0 = _mm256_permutevar8x32_epi32(w0, split);
    const __m256i s1 = _mm256_permutevar8x32_epi32(w1, split);
    const __m256 first = polarComponentsOf(_mm256_permute2x128_si256(s0, s1, 0x20));
    const __m256 second = polarComponentsOf(_mm256_permute2x128_si256(s0, s1, 0x31));
    const __m256d fl = lowToDouble(first), fh = highToDouble(first);
    const __m256d sl = lowToDouble(second), sh = highToDouble(second);
    const __m256 squared =
        joinHalves(_mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(fl, fl), _mm256_mul_pd(sl, sl))),
                   _mm256_cvtpd_ps(_mm256_add_pd(_mm256_mul_pd(fh, fh), _mm256_mul_pd(sh, sh))));
    const __m256 accepted = _mm256_and_ps(_mm256_cmp_ps(squared, _mm256_set1_ps(1.0f), _CMP_LT_OQ),
                                          _mm256_cmp_ps(squared, _mm256_setzero_ps(), _CMP_NEQ_OQ));
    const unsigned mask = unsigned(_mm256_movemask_ps(accepted)) & ((1u << lanes) - 1u);
    const __m256i order = _mm256_cvtepu8_epi32(
        _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kCompressions.data() + mask)));
    _mm256_storeu_ps(chunk.a + kept, _mm256_permutevar8x32_ps(first, order));
    _mm256_storeu_ps(chunk.b + kept, _mm256_permutevar8x32_ps(second, order));
    _mm256_storeu_ps(chunk.r + kept, _mm256_permutevar8x32_ps(squared, order));
    return kept + std::size_t(__builtin_popcount(mask));
}

SIMTROVE_TARGET_AVX2 void fillStates(int seed, int* states, std::size_t count) {
    const __m256i start = _mm256_set1_epi64x(seed);
    __m256i lanes[kStateVectors];
    for (int q = 0; q < kStateVectors; ++q)
        lanes[q] = mulMod(
            start, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(powers.data() + 4 * q)));
    const __m256i jump = _mm256_set1_epi64x((long long)powers[kStatesPerRound - 1]);
    std::size_t i = 0;
    for (; i + kStatesPerRound <= count; i += kStatesPerRound) {
        for (int q = 0; q < kStateVectors; ++q) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(states + i + 4 * q), lowWords(lanes[q]));
            lanes[q] = mulMod(lanes[q], jump);
        }
    }
    for (int q = 0; q < kStateVectors && i < count; ++q) {
        alignas(16) int words[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(words), lowWords(lanes[q]));
        for (int k = 0; k < 4 && i < count; ++k) states[i++] = words[k];
    }
}

// As in the AVX-512 kernel: the vector work trails the table walk by one
// block, and the deviates trail the pairs by one vector.
SIMTROVE_TARGET_AVX2 std::size_t drawChunk(stages::ChunkBuffers& chunk, std::size_t pairs,
                                           stages::ShuffleWalk& walk, float* out,
                                           std::size_t capacity, bool asNoiseSamples) {
    std::size_t kept = 0, finished = 0;
    for (std::size_t p = 0; p < pairs + 8; p += 8) {
        if (p < pairs) walk.draw(chunk.words + 2 * p, 2 * (pairs - p < 8 ? pairs - p : 8));
        if (p >= 8) kept = formPairs(chunk, p - 8, pairs - (p - 8) < 8 ? pairs - (p - 8) : 8, kept);
        if (kept - finished >= 16) {
            finishPairs(chunk, finished, 8, out, capacity, asNoiseSamples);
            finished += 8;
        }
    }
    for (; finished < kept; finished += 8)
        finishPairs(chunk, finished, kept - finished < 8 ? kept - finished : 8, out, capacity,
                    asNoiseSamples);
    return kept;
}

SIMTROVE_TARGET_AVX2 void floatLogs(const float* r, float* logs, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
        const std::size_t count = n - i < 8 ? n - i : 8;
        // Lanes past the count read as 1 (a settled logarithm) and are not stored.
        const __m256i lanes = firstLanes(count);
        const __m256 x = _mm256_blendv_ps(_mm256_set1_ps(1.0f), _mm256_maskload_ps(r + i, lanes),
                                          _mm256_castsi256_ps(lanes));
        floatLogs8(x, count, r + i, logs + i);
    }
}

SIMTROVE_TARGET_AVX2 void polarComponents(const int* words, float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
        const __m256i lanes = firstLanes(n - i);
        _mm256_maskstore_ps(out + i, lanes,
                            polarComponentsOf(_mm256_maskload_epi32(words + i, lanes)));
    }
}

SIMTROVE_TARGET_AVX2 void noiseSamples(const float* normals, float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
        const __m256i lanes = firstLanes(n - i);
        _mm256_maskstore_ps(out + i, lanes, noiseSamplesOf(_mm256_maskload_ps(normals + i, lanes)));
    }
}

}  // namespace

const KernelSteps kSteps{fillStates, drawChunk, floatLogs, polarComponents, noiseSamples};

}  // namespace simtrove::simulation::avx2

#endif  // SIMTROVE_VECTOR_KERNELS
