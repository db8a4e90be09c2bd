// Normal deviates in bulk: the values that normal_deviate gives, in the same
// order, leaving the generator state (seed, shuffle table, output word, cached
// value) exactly as the same number of normal_deviate calls would.
//
// drawNormals: the next n normal deviates. drawNoiseSamples: the next n noise
// samples as the noise pass stores them, kBaseline + float(kNoiseScale * normal).
// floatLogs: float(log(double(r))) for each r, the logarithm of the polar method.
//
// Two kernels compute the same bits: a portable one in plain C++ and, on x86-64
// builds with GCC or Clang, an AVX-512 one that is used only when the CPU has
// it (asked at run time). Asking for Avx512 where it is not available gives the
// portable kernel. Not for concurrent use (the generator state is module-wide).
#pragma once

#include <cstddef>

namespace simtrove::simulation {

enum class NoiseKernel { Portable, Avx512 };

// True when the AVX-512 kernel is compiled in and this CPU can run it.
bool avx512KernelAvailable();

// Avx512 when available, otherwise Portable.
NoiseKernel fastestNoiseKernel();

void drawNormals(float* out, std::size_t n, int* seed, NoiseKernel kernel);
void drawNoiseSamples(float* out, std::size_t n, int* seed, NoiseKernel kernel);

void floatLogs(const float* r, float* logs, std::size_t n, NoiseKernel kernel);

}  // namespace simtrove::simulation
