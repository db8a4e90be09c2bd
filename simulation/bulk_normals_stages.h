// Internals of the bulk normal generator shared by its two sources:
// bulk_normals.cpp (driver and portable stages) and bulk_normals_avx512.cpp.
//
// The AVX-512 stages are compiled only for x86-64 with GCC or Clang
// (SIMTROVE_AVX512_KERNEL); every one of them but cpuSupported() may be called
// only when cpuSupported() is true. Each gives the same bits as its portable twin.
#pragma once

#include <cstddef>
#include <cstdint>

#include "numerics/random/deviates.h"

namespace simtrove::simulation::stages {

constexpr std::uint64_t kM = std::uint64_t(simtrove::random::kModulus);

// x * a mod (2^31 - 1) for x, a below 2^31: the 62-bit product folded once
// (2^31 is 1 modulo 2^31 - 1) is at most 2 (2^31 - 1), so one subtraction ends it.
constexpr std::uint64_t mulMod(std::uint64_t x, std::uint64_t a) {
    const std::uint64_t p = x * a;
    const std::uint64_t folded = (p & kM) + (p >> 31);
    return folded >= kM ? folded - kM : folded;
}

// 16807^k mod (2^31 - 1): the jump of k congruential steps.
constexpr std::uint64_t multiplierPower(int k) {
    std::uint64_t result = 1;
    for (int i = 0; i < k; ++i)
        result = mulMod(result, std::uint64_t(simtrove::random::kMultiplier));
    return result;
}

}  // namespace simtrove::simulation::stages

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define SIMTROVE_AVX512_KERNEL 1
#endif

#ifdef SIMTROVE_AVX512_KERNEL
namespace simtrove::simulation::avx512 {

bool cpuSupported();

// states[i] = seed * 16807^(i + 1) mod (2^31 - 1); seed in 1 .. 2^31 - 2.
void fillStates(int seed, int* states, std::size_t count);

// Polar-method pairs from 2 * pairs output words (first, second, first, ...):
// the accepted (a, b, r) in order; returns their number. Each output array
// needs room for pairs + 8 floats.
std::size_t formPairs(const int* words, std::size_t pairs, float* a, float* b, float* r);

// logs[i] = float(log(double(r[i]))) for any float r[i].
void floatLogs(const float* r, float* logs, std::size_t n);

// For each accepted pair: out[2i] = b*f, out[2i+1] = a*f (or their noise samples).
void finishPairs(const float* a, const float* b, const float* r, const float* logR,
                 std::size_t count, float* out, bool asNoiseSamples);

}  // namespace simtrove::simulation::avx512
#endif
