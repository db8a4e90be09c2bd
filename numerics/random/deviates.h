// Uniform and normal random deviates with module-wide state.
//
// uniform_deviate: a float in (0, 0.99999988], from a multiplicative
// congruential generator (16807, modulus 2^31 - 1) behind a 32-entry shuffle
// table. A seed <= 0 (or an uninitialised generator) re-initialises the table;
// after each draw the seed holds the generator state (1 .. 2^31 - 2).
// normal_deviate: a standard normal float by the polar method; each accepted
// pair yields two deviates, the second one cached for the next call. The cache
// survives a new seed: a run that drew an odd number of deviates hands its
// leftover to the next run's first call. Its logarithm is floatLog
// (float_log.h), so the deviates do not depend on the C runtime.
// Neither is safe for concurrent use.
#pragma once

float uniform_deviate(int* seed);
float normal_deviate(int* seed);

namespace simtrove::random {

inline constexpr int kShuffleTableSize = 32;
inline constexpr int kMultiplier = 16807;
inline constexpr int kModulus = 2147483647;                                   // 2^31 - 1
inline constexpr int kTableDivisor = 1 + (kModulus - 1) / kShuffleTableSize;  // 2^26
inline constexpr double kUniformScale = 4.656612875245797e-10;                // 1 / kModulus
inline constexpr double kLargestUniform = 0.99999988;

// The uniform deviate that an output word stands for: word / modulus rounded to
// float, results above kLargestUniform replaced by it.
inline float uniformOfOutputWord(int word) {
    const float value = float(kUniformScale * double(word));
    return double(value) > kLargestUniform ? float(kLargestUniform) : value;
}

// The generators' module-wide state, zero at load.
struct DeviateState {
    int shuffleTable[kShuffleTableSize];
    int outputWord;      // 0: the uniform generator is not initialised
    int hasCachedNormal;  // non-zero: cachedNormal is the next normal deviate
    float cachedNormal;
};

// The live state, for code that must continue or reproduce the sequence exactly.
DeviateState& deviateState();

// One step of the congruential generator: s <- 16807 s mod (2^31 - 1), in 32 bits.
int congruentialStep(int s);

}  // namespace simtrove::random
