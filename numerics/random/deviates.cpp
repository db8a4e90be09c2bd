#include "numerics/random/deviates.h"

#include <climits>
#include <cmath>

#include "numerics/random/deviates_internal.h"
#include "numerics/random/float_log.h"

namespace simtrove::random {
namespace {

constexpr int kQuotient = 127773;  // kModulus / kMultiplier
constexpr int kRemainder = 2836;   // kModulus % kMultiplier
constexpr int kWarmUpSteps = 8;

DeviateState state{};

// A seed that asks for initialisation becomes the generator's start state:
// its negation when that is at least 1, otherwise 1 (0, positive seeds and
// the most negative int, whose negation does not exist).
int startStateOf(int seed) {
    return (seed < 0 && seed != INT_MIN) ? -seed : 1;
}

void fillShuffleTable(int* seed) {
    *seed = startStateOf(*seed);
    for (int j = kShuffleTableSize + kWarmUpSteps - 1; j >= 0; --j) {
        *seed = congruentialStep(*seed);
        if (j < kShuffleTableSize) state.shuffleTable[j] = *seed;
    }
    state.outputWord = state.shuffleTable[0];
}

}  // namespace

DeviateState& deviateState() {
    return state;
}

// Schrage's factorisation keeps 16807 * s below 2^31.
int congruentialStep(int s) {
    const int k = s / kQuotient;
    s = kMultiplier * (s - k * kQuotient) - kRemainder * k;
    return s < 0 ? s + kModulus : s;
}

}  // namespace simtrove::random

using namespace simtrove::random;

float uniform_deviate(int* seed) {
    DeviateState& s = deviateState();
    if (*seed <= 0 || s.outputWord == 0) fillShuffleTable(seed);
    *seed = congruentialStep(*seed);
    const int j = s.outputWord / kTableDivisor;
    s.outputWord = s.shuffleTable[j];
    s.shuffleTable[j] = *seed;
    return uniformOfOutputWord(s.outputWord);
}

float normal_deviate(int* seed) {
    DeviateState& s = deviateState();
    if (s.hasCachedNormal) {
        s.hasCachedNormal = 0;
        return s.cachedNormal;
    }
    float a, b, r;
    do {
        a = float(2.0 * double(uniform_deviate(seed)) - 1.0);
        b = float(2.0 * double(uniform_deviate(seed)) - 1.0);
        r = float(double(a) * a + double(b) * b);
    } while (r >= 1.0f || r == 0.0f);
    // The project's own logarithm: the same float as a correctly rounded
    // double log on every platform, whatever the C runtime's log does.
    const float logR = floatLog(r);
    const float f = float(std::sqrt(-2.0 * double(logR) / double(r)));
    s.cachedNormal = float(double(a) * f);
    s.hasCachedNormal = 1;
    return float(double(b) * f);
}
