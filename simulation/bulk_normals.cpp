#include "simulation/bulk_normals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "numerics/random/deviates_internal.h"
#include "numerics/random/float_log.h"
#include "simulation/bulk_normals_stages.h"
#include "simulation/cpu_features.h"
#include "simulation/synthesis.h"

namespace simtrove::simulation {

using namespace simtrove::random;

namespace {

using stages::ChunkBuffers;
using stages::kChunkPairs;
using stages::mulMod;
using stages::ShuffleWalk;

constexpr int kLanes = 8;

// multiplierPowers[k] = 16807^(k + 1) mod (2^31 - 1).
constexpr std::array<std::uint64_t, kLanes> multiplierPowers = [] {
    std::array<std::uint64_t, kLanes> powers{};
    for (int k = 0; k < kLanes; ++k) powers[std::size_t(k)] = stages::multiplierPower(k + 1);
    return powers;
}();

// Eight independent lanes, each jumping eight steps at a time.
void fillStatesPortable(int seed, int* states, std::size_t count) {
    std::uint64_t lane[kLanes];
    for (int k = 0; k < kLanes; ++k)
        lane[k] = mulMod(std::uint64_t(seed), multiplierPowers[std::size_t(k)]);
    const std::uint64_t jump = multiplierPowers[kLanes - 1];
    std::size_t i = 0;
    for (; i + kLanes <= count; i += kLanes) {
        for (int k = 0; k < kLanes; ++k) {
            states[i + std::size_t(k)] = int(lane[k]);
            lane[k] = mulMod(lane[k], jump);
        }
    }
    for (int k = 0; i + std::size_t(k) < count; ++k) states[i + std::size_t(k)] = int(lane[k]);
}

float polarComponent(int word) {
    return float(2.0 * double(uniformOfOutputWord(word)) - 1.0);
}

float polarFactor(float r, float logR) {
    return float(std::sqrt(-2.0 * double(logR) / double(r)));
}

float scaled(float component, float factor) {
    return float(double(component) * factor);
}

float noiseSampleOf(float normal) {
    const float noise = float(double(normal) * double(kNoiseScale));
    return float(double(kBaseline) + double(noise));
}

constexpr std::size_t kBlockPairs = 8;

// Per block of 8 pairs: the table walk, then the pairs (each one stored, only
// an accepted one advancing the count), then the deviates of the kept pairs, so
// that the arithmetic of one block can overlap the walk of the next.
std::size_t drawChunkPortable(ChunkBuffers& chunk, std::size_t pairs, ShuffleWalk& walk, float* out,
                              std::size_t capacity, bool asNoiseSamples) {
    std::size_t kept = 0, finished = 0;
    for (std::size_t p0 = 0; p0 < pairs; p0 += kBlockPairs) {
        const std::size_t end = std::min(pairs, p0 + kBlockPairs);
        walk.draw(chunk.words + 2 * p0, 2 * (end - p0));
        for (std::size_t p = p0; p < end; ++p) {
            const float first = polarComponent(chunk.words[2 * p]);
            const float second = polarComponent(chunk.words[2 * p + 1]);
            const float squared = float(double(first) * first + double(second) * second);
            chunk.a[kept] = first;
            chunk.b[kept] = second;
            chunk.r[kept] = squared;
            kept += std::size_t((squared < 1.0f) & (squared != 0.0f));
        }
        floatLogBatch(chunk.r + finished, chunk.logR + finished, kept - finished);
        for (; finished < kept; ++finished) {
            const float logR = chunk.logR[finished];
            const float f = polarFactor(chunk.r[finished], logR);
            const float second = scaled(chunk.b[finished], f), first = scaled(chunk.a[finished], f);
            const std::size_t at = 2 * finished;
            if (at < capacity) out[at] = asNoiseSamples ? noiseSampleOf(second) : second;
            if (at + 1 < capacity) out[at + 1] = asNoiseSamples ? noiseSampleOf(first) : first;
        }
    }
    return kept;
}

void floatLogsPortable(const float* r, float* logs, std::size_t n) {
    floatLogBatch(r, logs, n);
}

void polarComponentsPortable(const int* words, float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = polarComponent(words[i]);
}

void noiseSamplesPortable(const float* normals, float* out, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) out[i] = noiseSampleOf(normals[i]);
}

const KernelSteps kPortableSteps{fillStatesPortable, drawChunkPortable, floatLogsPortable,
                                 polarComponentsPortable, noiseSamplesPortable};

const KernelSteps& stepsOf(NoiseKernel kernel) {
    if (!noiseKernelAvailable(kernel)) return kPortableSteps;
#ifdef SIMTROVE_AVX512_KERNEL
    if (kernel == NoiseKernel::Avx512) return avx512::kSteps;
#endif
#ifdef SIMTROVE_VECTOR_KERNELS
    if (kernel == NoiseKernel::Avx2) return avx2::kSteps;
#endif
    return kPortableSteps;
}

// The bulk steps assume an initialised generator, a seed that is one of its
// states and no cached value; anything else is left to normal_deviate itself.
bool bulkCanContinue(const DeviateState& state, int seed) {
    if (state.hasCachedNormal || state.outputWord == 0 || seed <= 0 || seed >= kModulus)
        return false;
    return std::none_of(state.shuffleTable, state.shuffleTable + kShuffleTableSize,
                        [](int entry) { return entry <= 0 || entry >= kModulus; });
}

void draw(float* out, std::size_t n, int* seed, NoiseKernel kernel, bool asNoiseSamples) {
    DeviateState& state = deviateState();
    while (n > 0 && !bulkCanContinue(state, *seed)) {
        const float normal = normal_deviate(seed);
        *out++ = asNoiseSamples ? noiseSampleOf(normal) : normal;
        --n;
    }
    if (n == 0) return;
    const KernelSteps& run = stepsOf(kernel);
    ShuffleWalk walk(state);
    ChunkBuffers chunk;
    // Never more candidates than pairs still needed: no uniform is drawn that
    // the same number of normal_deviate calls would not draw.
    std::size_t pairsLeft = (n + 1) / 2;
    const bool oddCount = n % 2 != 0;
    std::size_t kept = 0;
    while (pairsLeft > 0) {
        const std::size_t candidates = std::min(kChunkPairs, pairsLeft);
        run.fillStates(*seed, chunk.words, 2 * candidates);
        *seed = chunk.words[2 * candidates - 1];
        kept = run.drawChunk(chunk, candidates, walk, out, n, asNoiseSamples);
        pairsLeft -= kept;
        const std::size_t written = std::min(n, 2 * kept);
        out += written;
        n -= written;
    }
    walk.storeInto(state);
    // normal_deviate leaves the first value of its last pair in the cache slot,
    // flagged when an odd count left it undrawn.
    const std::size_t last = kept - 1;
    state.cachedNormal = scaled(chunk.a[last], polarFactor(chunk.r[last], chunk.logR[last]));
    state.hasCachedNormal = oddCount ? 1 : 0;
}

}  // namespace

const char* noiseKernelName(NoiseKernel kernel) {
    switch (kernel) {
        case NoiseKernel::Avx2:
            return "avx2";
        case NoiseKernel::Avx512:
            return "avx512";
        case NoiseKernel::Portable:
            break;
    }
    return "portable";
}

bool noiseKernelAvailable(NoiseKernel kernel) {
#ifdef SIMTROVE_AVX512_KERNEL
    if (kernel == NoiseKernel::Avx512) return cpuFeatures().avx512;
#endif
#ifdef SIMTROVE_VECTOR_KERNELS
    if (kernel == NoiseKernel::Avx2) return cpuFeatures().avx2;
#endif
    return kernel == NoiseKernel::Portable;
}

NoiseKernel fastestNoiseKernel() {
    if (noiseKernelAvailable(NoiseKernel::Avx512)) return NoiseKernel::Avx512;
    if (noiseKernelAvailable(NoiseKernel::Avx2)) return NoiseKernel::Avx2;
    return NoiseKernel::Portable;
}

NoiseKernel chosenNoiseKernel() {
    if (const char* name = std::getenv("SIMTROVE_NOISE_KERNEL"))
        for (NoiseKernel kernel : kAllNoiseKernels)
            if (std::strcmp(name, noiseKernelName(kernel)) == 0 && noiseKernelAvailable(kernel))
                return kernel;
    return fastestNoiseKernel();
}

void drawNormals(float* out, std::size_t n, int* seed, NoiseKernel kernel) {
    draw(out, n, seed, kernel, false);
}

void drawNoiseSamples(float* out, std::size_t n, int* seed, NoiseKernel kernel) {
    draw(out, n, seed, kernel, true);
}

void floatLogs(const float* r, float* logs, std::size_t n, NoiseKernel kernel) {
    stepsOf(kernel).floatLogs(r, logs, n);
}

void polarComponents(const int* words, float* out, std::size_t n, NoiseKernel kernel) {
    stepsOf(kernel).polarComponents(words, out, n);
}

void noiseSamples(const float* normals, float* out, std::size_t n, NoiseKernel kernel) {
    stepsOf(kernel).noiseSamples(normals, out, n);
}

}  // namespace simtrove::simulation
