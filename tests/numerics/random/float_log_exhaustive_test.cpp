// floatLog on every float in (0, 1) against a correctly rounded reference.
// MPFR takes microseconds per call, so each input is first decided by a
// long double logarithm (64-bit significand, error of a few units in its last
// place): when the interval of 2^-60 relative around it rounds to a single
// double, that double is the correctly rounded logarithm; every other input
// (about one in 128, the ones near a double midpoint) goes to MPFR. About a
// minute of work: labelled slow.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "numerics/random/float_log.h"
#include "tests/numerics/random/reference_log.h"

using simtrove::random::floatLog;

namespace {

static_assert(std::numeric_limits<long double>::digits >= 64, "needs the x87 long double");

TEST(FloatLogExhaustiveTest, EveryFloatBelowOne) {
    ReferenceLog mpfr;
    std::uint64_t mismatches = 0, decidedByMpfr = 0;
    for (std::uint32_t bits = 1; bits < 0x3F800000u; ++bits) {
        const float r = std::bit_cast<float>(bits);
        const long double y = std::log((long double)r);
        const long double margin = std::fabs(y) * 0x1p-60L;
        const double low = double(y - margin), high = double(y + margin);
        float expected;
        if (low == high) {
            expected = float(low);
        } else {
            expected = mpfr(r);
            ++decidedByMpfr;
        }
        const float actual = floatLog(r);
        if (std::bit_cast<std::uint32_t>(actual) != std::bit_cast<std::uint32_t>(expected) &&
            ++mismatches <= 5)
            ADD_FAILURE() << "r = " << r << " (bits " << bits << "): " << actual << " instead of "
                          << expected;
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(decidedByMpfr, 1000000u);  // the filter leaves MPFR the hard cases
    std::printf("MPFR decided %llu inputs\n", (unsigned long long)decidedByMpfr);
}

}  // namespace
