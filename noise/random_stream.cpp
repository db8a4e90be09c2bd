#include "noise/random_stream.h"

#include <Random123/philox.h>

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && defined(__linux__)
// GCC 12's AVX-512 headers start some intrinsics from an undefined vector on
// purpose, which -Wuninitialized reports inside the headers.
#pragma GCC diagnostic ignored "-Wuninitialized"
#ifndef __clang__  // a GCC-only group, which clang would report as unknown
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#endif

namespace simtrove::noise {

Block philoxBlock(const StreamKey& key, std::uint32_t block, std::uint32_t attempt) {
    const r123::Philox4x32 cipher;
    const r123::Philox4x32::ctr_type counter = {
        {block, (std::uint32_t(key.component) << 16) | (attempt & 0xFFFFu),
         std::uint32_t(key.stream), std::uint32_t(key.stream >> 32)}};
    const r123::Philox4x32::key_type cipherKey = {
        {std::uint32_t(key.seed), std::uint32_t(key.seed >> 32)}};
    const r123::Philox4x32::ctr_type words = cipher(counter, cipherKey);
    return {words.v[0], words.v[1], words.v[2], words.v[3]};
}

namespace {

constexpr std::uint32_t kMultiplier0 = 0xD2511F53u, kMultiplier1 = 0xCD9E8D57u;
constexpr std::uint32_t kWeyl0 = 0x9E3779B9u, kWeyl1 = 0xBB67AE85u;

// Ten rounds over the lanes in plain loops (any machine).
void roundsPlain(std::uint32_t* __restrict c0, std::uint32_t* __restrict c1,
                 std::uint32_t* __restrict c2, std::uint32_t* __restrict c3, std::uint32_t k0,
                 std::uint32_t k1) {
    for (int round = 0; round < 10; ++round) {
        for (std::size_t i = 0; i < kBlockBatch; ++i) {
            const std::uint64_t p0 = std::uint64_t(kMultiplier0) * c0[i];
            const std::uint64_t p1 = std::uint64_t(kMultiplier1) * c2[i];
            const std::uint32_t n0 = std::uint32_t(p1 >> 32) ^ c1[i] ^ k0;
            const std::uint32_t n2 = std::uint32_t(p0 >> 32) ^ c3[i] ^ k1;
            c0[i] = n0;
            c1[i] = std::uint32_t(p1);
            c2[i] = n2;
            c3[i] = std::uint32_t(p0);
        }
        k0 += kWeyl0;
        k1 += kWeyl1;
    }
}

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__) && defined(__linux__)
#define SIMTROVE_PHILOX_VECTORS 1

// The high and low words of the 32 x 32-bit products of every lane: the even
// lanes' products come from one multiply, the odd lanes' from another on the
// words shifted down; the halves are merged back into lanes by blends.
__attribute__((target("avx512f"), always_inline)) inline void mulHiLo512(__m512i a, __m512i m,
                                                                         __m512i& hi, __m512i& lo) {
    const __m512i even = _mm512_mul_epu32(a, m);
    const __m512i odd = _mm512_mul_epu32(_mm512_srli_epi64(a, 32), m);
    lo = _mm512_mask_blend_epi32(0xAAAA, even, _mm512_slli_epi64(odd, 32));
    hi = _mm512_mask_blend_epi32(0xAAAA, _mm512_srli_epi64(even, 32), odd);
}

__attribute__((target("avx512f"))) void rounds512(std::uint32_t* c0, std::uint32_t* c1,
                                                  std::uint32_t* c2, std::uint32_t* c3,
                                                  std::uint32_t k0, std::uint32_t k1) {
    static_assert(kBlockBatch == 16);
    __m512i x0 = _mm512_loadu_si512(c0), x1 = _mm512_loadu_si512(c1), x2 = _mm512_loadu_si512(c2),
            x3 = _mm512_loadu_si512(c3);
    const __m512i m0 = _mm512_set1_epi32(int(kMultiplier0)),
                  m1 = _mm512_set1_epi32(int(kMultiplier1));
    for (int round = 0; round < 10; ++round) {
        __m512i hi0, lo0, hi1, lo1;
        mulHiLo512(x0, m0, hi0, lo0);
        mulHiLo512(x2, m1, hi1, lo1);
        x0 = _mm512_xor_si512(_mm512_xor_si512(hi1, x1), _mm512_set1_epi32(int(k0)));
        x1 = lo1;
        x2 = _mm512_xor_si512(_mm512_xor_si512(hi0, x3), _mm512_set1_epi32(int(k1)));
        x3 = lo0;
        k0 += kWeyl0;
        k1 += kWeyl1;
    }
    _mm512_storeu_si512(c0, x0), _mm512_storeu_si512(c1, x1);
    _mm512_storeu_si512(c2, x2), _mm512_storeu_si512(c3, x3);
}

__attribute__((target("avx2"), always_inline)) inline void mulHiLo256(__m256i a, __m256i m,
                                                                      __m256i& hi, __m256i& lo) {
    const __m256i even = _mm256_mul_epu32(a, m);
    const __m256i odd = _mm256_mul_epu32(_mm256_srli_epi64(a, 32), m);
    lo = _mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA);
    hi = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
}

__attribute__((target("avx2"))) void rounds256(std::uint32_t* c0, std::uint32_t* c1,
                                               std::uint32_t* c2, std::uint32_t* c3,
                                               std::uint32_t k0, std::uint32_t k1) {
    const __m256i m0 = _mm256_set1_epi32(int(kMultiplier0)),
                  m1 = _mm256_set1_epi32(int(kMultiplier1));
    for (std::size_t half = 0; half < kBlockBatch; half += 8) {
        // (No lambdas here: they would not inherit the target.)
        __m256i x0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c0 + half));
        __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c1 + half));
        __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c2 + half));
        __m256i x3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(c3 + half));
        std::uint32_t a = k0, b = k1;
        for (int round = 0; round < 10; ++round) {
            __m256i hi0, lo0, hi1, lo1;
            mulHiLo256(x0, m0, hi0, lo0);
            mulHiLo256(x2, m1, hi1, lo1);
            x0 = _mm256_xor_si256(_mm256_xor_si256(hi1, x1), _mm256_set1_epi32(int(a)));
            x1 = lo1;
            x2 = _mm256_xor_si256(_mm256_xor_si256(hi0, x3), _mm256_set1_epi32(int(b)));
            x3 = lo0;
            a += kWeyl0;
            b += kWeyl1;
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(c0 + half), x0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(c1 + half), x1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(c2 + half), x2);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(c3 + half), x3);
    }
}

using Rounds = void (*)(std::uint32_t*, std::uint32_t*, std::uint32_t*, std::uint32_t*,
                        std::uint32_t, std::uint32_t);

// The widest version this CPU runs (asked once; every version gives the same words).
Rounds chosenRounds() {
    static const Rounds chosen = [] {
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx512f")) return Rounds(rounds512);
        if (__builtin_cpu_supports("avx2")) return Rounds(rounds256);
        return Rounds(roundsPlain);
    }();
    return chosen;
}
#endif

void rounds(std::uint32_t* c0, std::uint32_t* c1, std::uint32_t* c2, std::uint32_t* c3,
            std::uint32_t k0, std::uint32_t k1) {
#if SIMTROVE_PHILOX_VECTORS
    chosenRounds()(c0, c1, c2, c3, k0, k1);
#else
    roundsPlain(c0, c1, c2, c3, k0, k1);
#endif
}

}  // namespace

void philoxBlocks(const StreamKey& key, std::uint32_t firstBlock, std::uint32_t attempt,
                  std::size_t count, std::uint32_t words[4][kBlockBatch]) {
    const std::uint32_t middle = (std::uint32_t(key.component) << 16) | (attempt & 0xFFFFu);
    for (std::size_t i = 0; i < kBlockBatch; ++i) {
        words[0][i] = firstBlock + std::uint32_t(i);
        words[1][i] = middle;
        words[2][i] = std::uint32_t(key.stream);
        words[3][i] = std::uint32_t(key.stream >> 32);
    }
    (void)count;  // the whole batch is computed; the caller reads `count` blocks
    rounds(words[0], words[1], words[2], words[3], std::uint32_t(key.seed),
           std::uint32_t(key.seed >> 32));
}

void philoxStreams(const StreamKey& key, std::uint32_t block, std::uint32_t attempt,
                   std::uint32_t words[4][kBlockBatch]) {
    const std::uint32_t middle = (std::uint32_t(key.component) << 16) | (attempt & 0xFFFFu);
    for (std::size_t i = 0; i < kBlockBatch; ++i) {
        const std::uint64_t stream = key.stream + i;
        words[0][i] = block;
        words[1][i] = middle;
        words[2][i] = std::uint32_t(stream);
        words[3][i] = std::uint32_t(stream >> 32);
    }
    rounds(words[0], words[1], words[2], words[3], std::uint32_t(key.seed),
           std::uint32_t(key.seed >> 32));
}

}  // namespace simtrove::noise
