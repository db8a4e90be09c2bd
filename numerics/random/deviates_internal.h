// The generators' state and constants, for code that must continue or
// reproduce the deviate sequence exactly (the bulk noise generator and tests).
// Everyone else uses numerics/random/deviates.h.
#pragma once

#include "numerics/random/deviates.h"

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
    int outputWord;       // 0: the uniform generator is not initialised
    int hasCachedNormal;  // non-zero: cachedNormal is the next normal deviate
    float cachedNormal;
};

// The live state; assigning {} returns the generators to their load state.
DeviateState& deviateState();

// One step of the congruential generator: s <- 16807 s mod (2^31 - 1), in 32 bits.
int congruentialStep(int s);

}  // namespace simtrove::random
