// Normal deviates in bulk: the values that normal_deviate gives, in the same
// order, leaving the generator state (seed, shuffle table, output word, cached
// value) exactly as the same number of normal_deviate calls would.
//
// drawNormals: the next n normal deviates. drawNoiseSamples: the next n noise
// samples as the noise pass stores them, kBaseline + float(kNoiseScale * normal).
// floatLogs: floatLog(r) (float_log.h) for each r, the logarithm of the polar
// method. polarComponents, noiseSamples: the kernel's other float steps on
// their own (see KernelSteps in bulk_normals_stages.h), for the checks.
//
// Kernels that compute the same bits: a portable one in plain C++ (SSE2 at
// most) and, with GCC or Clang, an AVX2 (with FMA) one on x86 builds (32- and
// 64-bit) and an AVX-512 one on x86-64 builds, usable only where the CPU and
// the OS support them (asked at run time, cpu_features.h). Asking for a kernel that is not
// available gives the portable kernel. Not for concurrent use (the generator state is module-wide).
#pragma once

#include <cstddef>

namespace simtrove::simulation {

enum class NoiseKernel { Portable, Avx2, Avx512 };

inline constexpr NoiseKernel kAllNoiseKernels[] = {NoiseKernel::Portable, NoiseKernel::Avx2,
                                                   NoiseKernel::Avx512};

// "portable", "avx2", "avx512".
const char* noiseKernelName(NoiseKernel kernel);

// True when the kernel is compiled in and this CPU and OS can run it.
bool noiseKernelAvailable(NoiseKernel kernel);

// The fastest available kernel.
NoiseKernel fastestNoiseKernel();

// The kernel the plug-in's noise pass uses: the one that the environment
// variable SIMTROVE_NOISE_KERNEL names, when it names an available kernel (for
// testing every kernel through the whole program); otherwise the fastest.
NoiseKernel chosenNoiseKernel();

void drawNormals(float* out, std::size_t n, int* seed, NoiseKernel kernel);
void drawNoiseSamples(float* out, std::size_t n, int* seed, NoiseKernel kernel);

void floatLogs(const float* r, float* logs, std::size_t n, NoiseKernel kernel);
void polarComponents(const int* words, float* out, std::size_t n, NoiseKernel kernel);
void noiseSamples(const float* normals, float* out, std::size_t n, NoiseKernel kernel);

}  // namespace simtrove::simulation
