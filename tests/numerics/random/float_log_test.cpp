#include "numerics/random/float_log.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "tests/numerics/random/reference_log.h"

using simtrove::random::floatLog;
using simtrove::random::floatLogExact;

namespace {

std::uint32_t bitsOf(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

TEST(FloatLogTest, SpecialInputs) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float r, expected;
    } cases[] = {{1.0f, 0.0f}, {0.0f, -inf}, {-0.0f, -inf}, {inf, inf}};
    for (auto fn : {floatLog, floatLogExact}) {
        for (const Case& c : cases) EXPECT_EQ(bitsOf(fn(c.r)), bitsOf(c.expected)) << c.r;
        for (float r : {-1.0f, -inf, -std::numeric_limits<float>::denorm_min(), std::nanf("")})
            EXPECT_TRUE(std::isnan(fn(r))) << r;
    }
}

// Random floats over the whole positive finite range (subnormals included),
// through both the settled first step and the double-double path alone.
TEST(FloatLogTest, AgreesWithMpfrOnRandomFloats) {
    ReferenceLog reference;
    std::mt19937 bits(20240615);
    std::uniform_int_distribution<std::uint32_t> positiveFinite(1, 0x7F7FFFFFu);
    int mismatches = 0;
    for (int i = 0; i < 200000 && mismatches < 5; ++i) {
        const float r = std::bit_cast<float>(positiveFinite(bits));
        const float expected = reference(r);
        EXPECT_EQ(bitsOf(floatLog(r)), bitsOf(expected)) << r << (++mismatches, "");
        EXPECT_EQ(bitsOf(floatLogExact(r)), bitsOf(expected)) << r << (++mismatches, "");
    }
}

}  // namespace
