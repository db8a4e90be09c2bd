// Internals of the bulk normal generator shared by its sources:
// bulk_normals.cpp (driver and portable kernel), bulk_normals_avx2.cpp and
// bulk_normals_avx512.cpp.
//
// A chunk is made in two steps. fillStates: the congruential states, which do
// not depend on the shuffle table, by jump-ahead multipliers. drawChunk: the
// shuffle table turns them into output words (the one serial step), the polar
// method forms the pairs without branches and keeps the accepted ones in order,
// and each kept pair gives its two deviates. drawChunk interleaves these per
// block of 8 pairs, so that the vector work overlaps the serial table walk.
//
// The vector kernels are compiled only for x86 with GCC or Clang: AVX2 for
// 32- and 64-bit (SIMTROVE_VECTOR_KERNELS), AVX-512 for 64-bit
// (SIMTROVE_AVX512_KERNEL); their functions may be called only when
// cpuFeatures() (cpu_features.h) reports the instruction set. Every kernel
// gives the same bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "numerics/random/deviates_internal.h"

namespace simtrove::simulation::stages {

inline constexpr std::size_t kChunkPairs = 512;
inline constexpr std::size_t kPad = 16;  // room for whole-vector stores past the count

// The kernels may compute on entries past the kept pairs (and discard the
// results), so every entry starts out as a harmless value.
struct ChunkBuffers {
    int words[2 * kChunkPairs];  // states in, output words out
    float a[kChunkPairs + kPad] = {}, b[kChunkPairs + kPad] = {};
    float r[kChunkPairs + kPad];
    float logR[kChunkPairs + kPad] = {};  // floatLog(r)

    ChunkBuffers() {
        for (float& entry : r) entry = 0.5f;  // a logarithm the vector kernel settles
    }
};

// The shuffle table of uniform_deviate as linked slots: each slot holds its
// entry and a pointer to the slot that entry selects (entry / 2^26), so that
// the serial chain from one draw to the next is a single pointer load.
// Copying a walk is not allowed (its pointers point into itself).
struct ShuffleWalk {
    struct Slot {
        Slot* selected;  // the slot of the output word after this entry
        int entry;
    };
    Slot slots[simtrove::random::kShuffleTableSize];
    Slot* next;  // slot of the next output word
    int word;    // the last output word

    // Requires entries in 1 .. 2^31 - 2 and an initialised generator.
    explicit ShuffleWalk(const simtrove::random::DeviateState& state) : word(state.outputWord) {
        for (int j = 0; j < simtrove::random::kShuffleTableSize; ++j)
            slots[j] = {slotOf(state.shuffleTable[j]), state.shuffleTable[j]};
        next = slotOf(word);
    }
    ShuffleWalk(const ShuffleWalk&) = delete;
    ShuffleWalk& operator=(const ShuffleWalk&) = delete;

    void storeInto(simtrove::random::DeviateState& state) const {
        for (int j = 0; j < simtrove::random::kShuffleTableSize; ++j)
            state.shuffleTable[j] = slots[j].entry;
        state.outputWord = word;
    }

    Slot* slotOf(int entry) { return slots + (unsigned(entry) >> 26); }

    // Draws words[0 .. count): each state in turn becomes the output word it
    // draws, and takes that word's place in the table.
    void draw(int* words, std::size_t count) {
        Slot* cursor = next;  // in a register: no store below can change it
        int output = word;
        for (std::size_t i = 0; i < count; ++i) {
            Slot* const slot = cursor;
            output = slot->entry;
            cursor = slot->selected;
            const int state = words[i];
            *slot = {slotOf(state), state};
            words[i] = output;
        }
        next = cursor;
        word = output;
    }
};

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

namespace simtrove::simulation {

// One kernel's stages.
struct KernelSteps {
    // states[i] = seed * 16807^(i + 1) mod (2^31 - 1); seed in 1 .. 2^31 - 2.
    void (*fillStates)(int seed, int* states, std::size_t count);
    // From the 2 * pairs states in chunk.words: the kept pairs (a, b, r, logR)
    // in order, their number returned, and out[0 .. min(2 kept, capacity)) =
    // b0 f0, a0 f0, b1 f1, ... (as noise samples if asked).
    std::size_t (*drawChunk)(stages::ChunkBuffers& chunk, std::size_t pairs,
                             stages::ShuffleWalk& walk, float* out, std::size_t capacity,
                             bool asNoiseSamples);
    // logs[i] = floatLog(r[i]) for any float r[i].
    void (*floatLogs)(const float* r, float* logs, std::size_t n);
    // The other float steps on their own, for the checks:
    // out[i] = float(2.0 * double(uniformOfOutputWord(words[i])) - 1.0) and
    // out[i] = float(kBaseline + double(float(double(normals[i]) * kNoiseScale))).
    void (*polarComponents)(const int* words, float* out, std::size_t n);
    void (*noiseSamples)(const float* normals, float* out, std::size_t n);
};

}  // namespace simtrove::simulation

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define SIMTROVE_VECTOR_KERNELS 1
namespace simtrove::simulation::avx2 {
extern const KernelSteps kSteps;
}
#endif
// The AVX-512 kernel compiles for 32-bit x86 as well, but is left out there:
// it cannot be run (and so neither checked nor timed) where the 32-bit builds
// are tested, under qemu, which has no AVX-512.
#if defined(SIMTROVE_VECTOR_KERNELS) && defined(__x86_64__)
#define SIMTROVE_AVX512_KERNEL 1
namespace simtrove::simulation::avx512 {
extern const KernelSteps kSteps;
}
#endif
