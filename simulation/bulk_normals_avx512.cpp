// AVX-512 stages of the bulk normal generator (x86-64; see the stages header
// for 32-bit x86). Every
// function carries its own target attribute, so the rest of the program stays
// plain x86 and this code runs only after cpuFeatures() said yes. All float and
// double steps are the portable stages' steps, lane by lane (IEEE, round to
// nearest, no contraction); the logarithm is floatLog's first step, with the
// lanes it does not settle handed to floatLogExact.
#include "simulation/bulk_normals_stages.h"

#ifdef SIMTROVE_AVX512_KERNEL

// GCC 12's AVX-512 intrinsics give their "undefined" pass-through operands a
// self-initialised value, which its own uninitialised-use warnings then report
// wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <immintrin.h>

#include <array>
#include <cmath>

#include "numerics/random/float_log.h"
#include "simulation/synthesis.h"

#define SIMTROVE_TARGET_AVX512 __attribute__((target("avx512f,avx512dq,avx512vl,popcnt")))
#define SIMTROVE_INLINE_AVX512 \
    __attribute__((target("avx512f,avx512dq,avx512vl,popcnt"), always_inline)) inline

namespace simtrove::simulation::avx512 {

using namespace simtrove::random;

namespace {

constexpr int kStateVectors = 4;  // independent chains of 8 states each
constexpr int kStatesPerRound = 8 * kStateVectors;

// powers[k] = 16807^(k + 1) mod (2^31 - 1), k < 32.
constexpr std::array<unsigned long long, kStatesPerRound> powers = [] {
    std::array<unsigned long long, kStatesPerRound> p{};
    for (int k = 0; k < kStatesPerRound; ++k) p[std::size_t(k)] = stages::multiplierPower(k + 1);
    return p;
}();

// Eight lanes of x * a mod (2^31 - 1), x and a below 2^31 in 64-bit lanes.
SIMTROVE_INLINE_AVX512 __m512i mulMod(__m512i x, __m512i a) {
    const __m512i modulus = _mm512_set1_epi64(kModulus);
    const __m512i p = _mm512_mul_epu32(x, a);
    const __m512i folded = _mm512_add_epi64(_mm512_and_si512(p, modulus), _mm512_srli_epi64(p, 31));
    // Unsigned minimum: folded - modulus wraps around unless folded >= modulus.
    return _mm512_min_epu64(folded, _mm512_sub_epi64(folded, modulus));
}

SIMTROVE_INLINE_AVX512 __mmask8 firstLanes8(std::size_t n) {
    return n >= 8 ? __mmask8(0xFF) : __mmask8((1u << n) - 1);
}

SIMTROVE_INLINE_AVX512 __mmask16 firstLanes16(std::size_t n) {
    return n >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << n) - 1);
}

// One polar component per lane: float(2 u - 1) of the uniform u of each word.
// Only the first step needs double; float arithmetic rounds the others as the
// double expressions do: u > 0.99999988 holds exactly for the floats from
// 1 - 2^-23 up, and 1 - 2^-23 replaces them, which is a minimum; 2u is exact;
// and 2u - 1, exact in double (u >= 2^-31 has its last bit at or above 2^-54),
// is rounded once either way. A slow test checks every word.
SIMTROVE_INLINE_AVX512 __m256 polarComponentsOf(__m256i words) {
    const __m512d scaledWords =
        _mm512_mul_pd(_mm512_cvtepi32_pd(words), _mm512_set1_pd(kUniformScale));
    const __m256 u =
        _mm256_min_ps(_mm512_cvtpd_ps(scaledWords), _mm256_set1_ps(float(kLargestUniform)));
    return _mm256_sub_ps(_mm256_add_ps(u, u), _mm256_set1_ps(1.0f));
}

// kBaseline + float(kNoiseScale * normal). The product of two floats is exact
// in double, so a float multiply rounds it alike. The sum is exact in double
// unless the noise is either below 2^-23 in magnitude, when 100 results either
// way, or so large that 100 is far from deciding its rounding. A slow test
// checks every float.
SIMTROVE_INLINE_AVX512 __m256 noiseSamplesOf(__m256 normal) {
    const __m256 noise = _mm256_mul_ps(normal, _mm256_set1_ps(kNoiseScale));
    return _mm256_add_ps(_mm256_set1_ps(kBaseline), noise);
}

// log(x) for positive finite x, with a relative error far below 2^-48:
// floatLog's first step (float_log.h), with getmant/getexp for the split and
// fused multiply-adds.
SIMTROVE_INLINE_AVX512 __m512d logApproximation(__m512d x) {
    const __m512d one = _mm512_set1_pd(1.0);
    const __m512d m = _mm512_getmant_pd(x, _MM_MANT_NORM_p75_1p5, _MM_MANT_SIGN_src);
    __m512d e = _mm512_getexp_pd(x);
    e = _mm512_mask_add_pd(e, _mm512_cmp_pd_mask(m, one, _CMP_LT_OQ), e, one);
    const __m512d s = _mm512_div_pd(_mm512_sub_pd(m, one), _mm512_add_pd(m, one));
    const __m512d z = _mm512_mul_pd(s, s);
    __m512d p = _mm512_set1_pd(kLogSeries[0]);
    for (int k = 1; k < 10; ++k) p = _mm512_fmadd_pd(p, z, _mm512_set1_pd(kLogSeries[k]));
    const __m512d logM = _mm512_fmadd_pd(_mm512_mul_pd(s, z), p, _mm512_add_pd(s, s));
    const __m512d low = _mm512_fmadd_pd(e, _mm512_set1_pd(kLog2Low), logM);
    return _mm512_fmadd_pd(e, _mm512_set1_pd(kLog2High), low);
}

// Lanes whose logarithm the approximation does not settle.
void recomputeLogs(unsigned lanes, const float* r, float* logs) {
    for (; lanes != 0; lanes &= lanes - 1) {
        const int k = __builtin_ctz(lanes);
        logs[k] = floatLogExact(r[k]);
    }
}

// floatLog(x) per lane, also stored to logs[lane]; r[lane] is x.
// A lane keeps the approximation only when the whole interval of its error
// bound rounds to one float; then the exact logarithm, and so its rounding to
// double, round to it as well. Every other lane, and any x that is not a
// positive finite float, goes to floatLogExact.
SIMTROVE_INLINE_AVX512 __m256 floatLogs8(__m256 x, __mmask8 lanes, const float* r, float* logs) {
    const __m512d approximation = logApproximation(_mm512_cvtps_pd(x));
    const __m512d bound =
        _mm512_mul_pd(_mm512_abs_pd(approximation), _mm512_set1_pd(kLogSettleBound));
    const __m256 low = _mm512_cvtpd_ps(_mm512_sub_pd(approximation, bound));
    const __m256 high = _mm512_cvtpd_ps(_mm512_add_pd(approximation, bound));
    const __mmask8 usable = _mm256_cmp_ps_mask(x, _mm256_setzero_ps(), _CMP_GT_OQ) &
                            _mm256_cmp_ps_mask(x, _mm256_set1_ps(HUGE_VALF), _CMP_LT_OQ);
    const __mmask8 settled = _mm256_cmp_ps_mask(low, high, _CMP_EQ_OQ) & usable;
    _mm256_mask_storeu_ps(logs, lanes, low);
    const unsigned rest = lanes & ~unsigned(settled);
    if (rest == 0) return low;
    recomputeLogs(rest, r, logs);
    return _mm256_maskz_loadu_ps(lanes, logs);
}

// The deviates of up to 8 kept pairs from `first` on: logR stored, and
// out[2 first ..] = b f, a f, ... as far as `capacity` allows. f needs double;
// b f and a f, products of two floats, are exact in double, so float
// multiplies round them alike.
SIMTROVE_INLINE_AVX512 void finishPairs(stages::ChunkBuffers& chunk, std::size_t first,
                                        std::size_t count, float* out, std::size_t capacity,
                                        bool asNoiseSamples) {
    // Interleaves (second0, first0, second1, first1, ...).
    const __m512i interleave =
        _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
    const __mmask8 lanes = firstLanes8(count);
    const __m256 squared = _mm256_mask_loadu_ps(_mm256_set1_ps(1.0f), lanes, chunk.r + first);
    const __m256 logR = floatLogs8(squared, lanes, chunk.r + first, chunk.logR + first);
    const __m512d quotient = _mm512_div_pd(
        _mm512_mul_pd(_mm512_set1_pd(-2.0), _mm512_cvtps_pd(logR)), _mm512_cvtps_pd(squared));
    const __m256 f = _mm512_cvtpd_ps(_mm512_sqrt_pd(quotient));
    __m256 second = _mm256_mul_ps(_mm256_maskz_loadu_ps(lanes, chunk.b + first), f);
    __m256 firstValue = _mm256_mul_ps(_mm256_maskz_loadu_ps(lanes, chunk.a + first), f);
    if (asNoiseSamples) {
        second = noiseSamplesOf(second);
        firstValue = noiseSamplesOf(firstValue);
    }
    const __m512 both = _mm512_permutex2var_ps(_mm512_zextps256_ps512(second), interleave,
                                               _mm512_zextps256_ps512(firstValue));
    const std::size_t at = 2 * first;
    const std::size_t room = capacity > at ? capacity - at : 0;
    _mm512_mask_storeu_ps(out + at, firstLanes16(room < 2 * count ? room : 2 * count), both);
}

SIMTROVE_TARGET_AVX512 void fillStates(int seed, int* states, std::size_t count) {
    const __m512i start = _mm512_set1_epi64(seed);
    __m512i lanes[kStateVectors];
    for (int q = 0; q < kStateVectors; ++q)
        lanes[q] = mulMod(start, _mm512_loadu_si512(powers.data() + 8 * q));
    const __m512i jump = _mm512_set1_epi64((long long)powers[kStatesPerRound - 1]);
    std::size_t i = 0;
    for (; i + kStatesPerRound <= count; i += kStatesPerRound) {
        for (int q = 0; q < kStateVectors; ++q) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(states + i + 8 * q),
                                _mm512_cvtepi64_epi32(lanes[q]));
            lanes[q] = mulMod(lanes[q], jump);
        }
    }
    for (int q = 0; q < kStateVectors && i + 8 * std::size_t(q) < count; ++q)
        _mm512_mask_cvtepi64_storeu_epi32(states + i + 8 * q, firstLanes8(count - i - 8 * q),
                                          lanes[q]);
}

// The pairs of one block of 8 (fewer at the end of a chunk): the accepted ones
// appended to a, b and r, compressed in registers and stored as whole vectors
// (the buffers have room); returns the new count.
SIMTROVE_INLINE_AVX512 std::size_t formPairs(stages::ChunkBuffers& chunk, std::size_t p,
                                             std::size_t lanes, std::size_t kept) {
    // First words of the pairs to the low half, second words to the high half.
    const __m512i split = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    const __m512i w = _mm512_permutexvar_epi32(
        split, _mm512_maskz_loadu_epi32(firstLanes16(2 * lanes), chunk.words + 2 * p));
    const __m256 first = polarComponentsOf(_mm512_castsi512_si256(w));
    const __m256 second = polarComponentsOf(_mm512_extracti64x4_epi64(w, 1));
    const __m512d df = _mm512_cvtps_pd(first), ds = _mm512_cvtps_pd(second);
    const __m256 squared =
        _mm512_cvtpd_ps(_mm512_add_pd(_mm512_mul_pd(df, df), _mm512_mul_pd(ds, ds)));
    const __mmask8 accepted = _mm256_cmp_ps_mask(squared, _mm256_set1_ps(1.0f), _CMP_LT_OQ) &
                              _mm256_cmp_ps_mask(squared, _mm256_setzero_ps(), _CMP_NEQ_OQ) &
                              firstLanes8(lanes);
    _mm256_storeu_ps(chunk.a + kept, _mm256_maskz_compress_ps(accepted, first));
    _mm256_storeu_ps(chunk.b + kept, _mm256_maskz_compress_ps(accepted, second));
    _mm256_storeu_ps(chunk.r + kept, _mm256_maskz_compress_ps(accepted, squared));
    return kept + std::size_t(__builtin_popcount(accepted));
}

// The vector work trails the table walk by one block, and the deviates trail
// the pairs by one vector, so that no load waits for a store just made: the
// scalar walk, a chain of dependent loads, then runs without a break while the
// vector work fills the idle units.
SIMTROVE_TARGET_AVX512 std::size_t drawChunk(stages::ChunkBuffers& chunk, std::size_t pairs,
                                             stages::ShuffleWalk& walk, float* out,
                                             std::size_t capacity, bool asNoiseSamples) {
    std::size_t kept = 0, finished = 0;
    for (std::size_t p = 0; p < pairs + 8; p += 8) {
        if (p < pairs) {
            walk.draw(chunk.words + 2 * p, 2 * (pairs - p < 8 ? pairs - p : 8));
        }
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

SIMTROVE_TARGET_AVX512 void floatLogs(const float* r, float* logs, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
        const __mmask8 lanes = firstLanes8(n - i);
        floatLogs8(_mm256_mask_loadu_ps(_mm256_set1_ps(1.0f), lanes, r + i), lanes, r + i,
                   logs + i);
    }
}

SIMTROVE_TARGET_AVX512 void polarComponents(const int* words, float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
        const __mmask8 lanes = firstLanes8(n - i);
        const __m256i w = _mm256_mask_loadu_epi32(_mm256_set1_epi32(1), lanes, words + i);
        _mm256_mask_storeu_ps(out + i, lanes, polarComponentsOf(w));
    }
}

SIMTROVE_TARGET_AVX512 void noiseSamples(const float* normals, float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; i += 8) {
        const __mmask8 lanes = firstLanes8(n - i);
        _mm256_mask_storeu_ps(out + i, lanes,
                              noiseSamplesOf(_mm256_maskz_loadu_ps(lanes, normals + i)));
    }
}

}  // namespace

const KernelSteps kSteps{fillStates, drawChunk, floatLogs, polarComponents, noiseSamples};

}  // namespace simtrove::simulation::avx512

#endif  // SIMTROVE_AVX512_KERNEL
