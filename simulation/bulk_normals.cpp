#include "simulation/bulk_normals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "numerics/random/deviates.h"
#include "simulation/bulk_normals_stages.h"
#include "simulation/synthesis.h"

namespace simtrove::simulation {

using namespace simtrove::random;

namespace {

// Candidate pairs per chunk: the chunk's buffers (about 14 KB) stay in L1.
constexpr std::size_t kChunkPairs = 512;
constexpr std::size_t kPad = 8;  // formPairs may store up to 8 floats past its count

using stages::mulMod;

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

// The one serial step: the shuffle table turns the states into output words,
// in place. The table and output word are carried in and out.
void shuffleIntoWords(int* words, std::size_t count, DeviateState& state) {
    int table[kShuffleTableSize];
    std::copy(state.shuffleTable, state.shuffleTable + kShuffleTableSize, table);
    unsigned word = unsigned(state.outputWord);
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned j = word / unsigned(kTableDivisor);
        word = unsigned(table[j]);
        table[j] = words[i];
        words[i] = int(word);
    }
    std::copy(table, table + kShuffleTableSize, state.shuffleTable);
    state.outputWord = int(word);
}

float polarComponent(int word) {
    return float(2.0 * double(uniformOfOutputWord(word)) - 1.0);
}

// Every pair is stored; only an accepted one advances the count.
std::size_t formPairsPortable(const int* words, std::size_t pairs, float* a, float* b, float* r) {
    std::size_t kept = 0;
    for (std::size_t p = 0; p < pairs; ++p) {
        const float first = polarComponent(words[2 * p]);
        const float second = polarComponent(words[2 * p + 1]);
        const float squared = float(double(first) * first + double(second) * second);
        a[kept] = first;
        b[kept] = second;
        r[kept] = squared;
        kept += std::size_t((squared < 1.0f) & (squared != 0.0f));
    }
    return kept;
}

void floatLogsPortable(const float* r, float* logs, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) logs[i] = float(std::log(double(r[i])));
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

void finishPairsPortable(const float* a, const float* b, const float* r, const float* logR,
                         std::size_t count, float* out, bool asNoiseSamples) {
    for (std::size_t i = 0; i < count; ++i) {
        const float f = polarFactor(r[i], logR[i]);
        const float second = scaled(b[i], f), first = scaled(a[i], f);
        out[2 * i] = asNoiseSamples ? noiseSampleOf(second) : second;
        out[2 * i + 1] = asNoiseSamples ? noiseSampleOf(first) : first;
    }
}

bool useAvx512(NoiseKernel kernel) {
    return kernel == NoiseKernel::Avx512 && avx512KernelAvailable();
}

struct StageSet {
    void (*fillStates)(int, int*, std::size_t);
    std::size_t (*formPairs)(const int*, std::size_t, float*, float*, float*);
    void (*floatLogs)(const float*, float*, std::size_t);
    void (*finishPairs)(const float*, const float*, const float*, const float*, std::size_t, float*,
                        bool);
};

StageSet stagesFor(NoiseKernel kernel) {
#ifdef SIMTROVE_AVX512_KERNEL
    if (useAvx512(kernel))
        return {avx512::fillStates, avx512::formPairs, avx512::floatLogs, avx512::finishPairs};
#else
    (void)kernel;
#endif
    return {fillStatesPortable, formPairsPortable, floatLogsPortable, finishPairsPortable};
}

// The bulk steps assume an initialised generator, a seed that is one of its
// states and no cached value; anything else is left to normal_deviate itself.
bool bulkCanContinue(const DeviateState& state, int seed) {
    if (state.hasCachedNormal || state.outputWord == 0 || seed <= 0 || seed >= kModulus)
        return false;
    return std::none_of(state.shuffleTable, state.shuffleTable + kShuffleTableSize,
                        [](int entry) { return entry <= 0 || entry >= kModulus; });
}

struct Chunk {
    int words[2 * kChunkPairs];
    float a[kChunkPairs + kPad], b[kChunkPairs + kPad], r[kChunkPairs + kPad];
    float logR[kChunkPairs + kPad];
};

void draw(float* out, std::size_t n, int* seed, NoiseKernel kernel, bool asNoiseSamples) {
    DeviateState& state = deviateState();
    while (n > 0 && !bulkCanContinue(state, *seed)) {
        const float normal = normal_deviate(seed);
        *out++ = asNoiseSamples ? noiseSampleOf(normal) : normal;
        --n;
    }
    const StageSet run = stagesFor(kernel);
    // Never more candidates than pairs still needed: no uniform is drawn that
    // the same number of normal_deviate calls would not draw.
    std::size_t pairsLeft = (n + 1) / 2;
    const bool oddCount = n % 2 != 0;
    Chunk chunk;
    while (pairsLeft > 0) {
        const std::size_t candidates = std::min(kChunkPairs, pairsLeft);
        const std::size_t uniforms = 2 * candidates;
        run.fillStates(*seed, chunk.words, uniforms);
        *seed = chunk.words[uniforms - 1];
        shuffleIntoWords(chunk.words, uniforms, state);
        const std::size_t kept = run.formPairs(chunk.words, candidates, chunk.a, chunk.b, chunk.r);
        run.floatLogs(chunk.r, chunk.logR, kept);
        pairsLeft -= kept;
        // An odd count ends in a half pair: its second value is drawn, its first cached.
        const std::size_t whole = (pairsLeft == 0 && oddCount) ? kept - 1 : kept;
        run.finishPairs(chunk.a, chunk.b, chunk.r, chunk.logR, whole, out, asNoiseSamples);
        out += 2 * whole;
        if (pairsLeft == 0) {
            // normal_deviate leaves the first value of its last pair in the cache
            // slot, flagged only when it is still to be returned.
            const std::size_t last = kept - 1;
            const float f = polarFactor(chunk.r[last], chunk.logR[last]);
            state.cachedNormal = scaled(chunk.a[last], f);
            if (oddCount) {
                const float second = scaled(chunk.b[last], f);
                *out++ = asNoiseSamples ? noiseSampleOf(second) : second;
                state.hasCachedNormal = 1;
            }
        }
    }
}

}  // namespace

bool avx512KernelAvailable() {
#ifdef SIMTROVE_AVX512_KERNEL
    return avx512::cpuSupported();
#else
    return false;
#endif
}

NoiseKernel fastestNoiseKernel() {
    return avx512KernelAvailable() ? NoiseKernel::Avx512 : NoiseKernel::Portable;
}

void drawNormals(float* out, std::size_t n, int* seed, NoiseKernel kernel) {
    draw(out, n, seed, kernel, false);
}

void drawNoiseSamples(float* out, std::size_t n, int* seed, NoiseKernel kernel) {
    draw(out, n, seed, kernel, true);
}

void floatLogs(const float* r, float* logs, std::size_t n, NoiseKernel kernel) {
    stagesFor(kernel).floatLogs(r, logs, n);
}

}  // namespace simtrove::simulation
