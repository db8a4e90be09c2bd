#include "numerics/special/gamma_beta.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "numerics/special/gamma_beta_internal.h"
#include "tests/numerics/numerics_testing.h"

using simtrove::special::kLogGammaCoefficients;
using simtrove::special::kLogGammaFactor;
using simtrove::special::kLogGammaSeriesStart;
using simtrove::testing::closedFormQ;
using simtrove::testing::fatalText;

namespace {

// Published IEEE-754 bit patterns of the log-gamma series constants.
TEST(LogGammaConstants, MatchTheListedBitPatterns) {
    const std::uint64_t bits[6] = {0x40530B869F76170A, 0xC055A0572B143656, 0x4038039BF13B4CC6,
                                   0xBFF3B5348DCDCC8C, 0x3F53CD7319EC12D8, 0xBED6A1181C0E9888};
    for (int j = 0; j < 6; ++j)
        EXPECT_EQ(std::bit_cast<std::uint64_t>(kLogGammaCoefficients[j]), bits[j]) << j;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kLogGammaSeriesStart), 0x3FF00000000D0EC7u);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(kLogGammaFactor), 0x40040D931FF62706u);
}

// Reference: std::lgamma in double. The six-term series is good to about 2e-10
// absolute near the zeros at 1 and 2 and to 1e-10 relative elsewhere.
TEST(LogGamma, AgreesWithLgamma) {
    struct Row {
        double z, abs_tol;
    };
    const Row rows[] = {{1.0, 1e-10}, {2.0, 1e-10}, {0.5, 1e-10},  {0.1, 1e-9},
                        {3.7, 1e-9},  {10.0, 1e-9}, {100.0, 1e-8}, {1000.0, 1e-7}};
    for (const Row& r : rows) EXPECT_NEAR(log_gamma(r.z), std::lgamma(r.z), r.abs_tol) << r.z;
}

// References: Q(n, x) in closed form for integer n, Q(1/2, x) = erfc(sqrt x).
// Both branches (series for x < a + 1, continued fraction otherwise) appear.
// Tolerance: relative 2e-6 (float working values, convergence at 3e-7).
TEST(Gammq, AgreesWithClosedForms) {
    struct Row {
        float a, x;
        double expected;
    };
    const Row rows[] = {
        {1.0f, 0.0f, 1.0},
        {1.0f, 0.5f, std::exp(-0.5)},
        {1.0f, 1.0f, std::exp(-1.0)},
        {1.0f, 1.99f, std::exp(-double(1.99f))},
        {1.0f, 3.0f, std::exp(-3.0)},
        {1.0f, 10.0f, std::exp(-10.0)},
        {3.0f, 1.0f, closedFormQ(3, 1.0)},
        {3.0f, 6.5f, closedFormQ(3, 6.5)},
        {5.0f, 4.0f, closedFormQ(5, 4.0)},
        {5.0f, 12.0f, closedFormQ(5, 12.0)},
        {0.5f, 0.25f, std::erfc(0.5)},
        {0.5f, 4.0f, std::erfc(2.0)},
    };
    for (const Row& r : rows)
        EXPECT_NEAR(gammq(r.a, r.x), r.expected, 2e-6 * r.expected) << r.a << ", " << r.x;
}

// Q(100, 100) from the closed form; a hundred float terms lose more, relative 1e-4.
TEST(Gammq, LargeShapeParameter) {
    EXPECT_NEAR(gammq(100.0f, 100.0f), closedFormQ(100, 100.0), 1e-4 * closedFormQ(100, 100.0));
}

TEST(Gser, ZeroXStillWritesLogGamma) {
    float gamser = -1.0f, gln = 0.0f;
    gser(&gamser, 2.5f, 0.0f, &gln);
    EXPECT_EQ(gamser, 0.0f);
    EXPECT_NEAR(gln, std::lgamma(2.5), 1e-6);
}

// P(200, 200) = 1 - Q(200, 200): the series still converges at a = 200.
TEST(Gser, ConvergesForShape200) {
    float gamser = 0.0f, gln = 0.0f;
    gser(&gamser, 200.0f, 200.0f, &gln);
    EXPECT_NEAR(gamser, 1.0 - closedFormQ(200, 200.0), 2e-4);
    EXPECT_NEAR(gln, std::lgamma(200.0), 1e-4 * std::lgamma(200.0));
}

TEST(Gcf, WritesQAndLogGamma) {
    float gammcf = 0.0f, gln = 0.0f;
    gcf(&gammcf, 2.0f, 5.0f, &gln);
    EXPECT_NEAR(gammcf, closedFormQ(2, 5.0), 2e-6 * closedFormQ(2, 5.0));
    EXPECT_NEAR(gln, 0.0, 1e-6);
}

TEST(GammaFatal, MessagesAndExitStatus) {
    const auto exit1 = ::testing::ExitedWithCode(1);
    EXPECT_EXIT(gammq(0.0f, 1.0f), exit1, fatalText("Invalid arguments in routine gammq"));
    EXPECT_EXIT(gammq(1.0f, -1.0f), exit1, fatalText("Invalid arguments in routine gammq"));
    float r = 0.0f, gln = 0.0f;
    EXPECT_EXIT(gser(&r, 1.0f, -1.0f, &gln), exit1, fatalText("x less than 0 in routine gser"));
    EXPECT_EXIT(gammq(1000.0f, 1000.0f), exit1,
                fatalText("a too large, ITMAX too small in routine gser"));
    EXPECT_EXIT(gser(&r, 500.0f, 500.0f, &gln), exit1,
                fatalText("a too large, ITMAX too small in routine gser"));
    EXPECT_EXIT(gcf(&r, 10000.0f, 10001.0f, &gln), exit1,
                fatalText("a too large, ITMAX too small in gcf"));
}

// References: I_x(1, 1) = x, I_x(a, 1) = x^a, I_x(1, b) = 1 - (1 - x)^b.
// Tolerance: absolute 2e-6 (results lie in [0, 1]; float rounding plus the 3e-7 tolerance).
TEST(IncompleteBeta, AgreesWithClosedForms) {
    struct Row {
        float a, b, x;
        double expected;
    };
    const Row rows[] = {
        {1.0f, 1.0f, 0.0f, 0.0},
        {1.0f, 1.0f, 0.25f, 0.25},
        {1.0f, 1.0f, 0.7f, double(0.7f)},
        {1.0f, 1.0f, 1.0f, 1.0},
        {3.0f, 1.0f, 0.5f, 0.125},
        {2.5f, 1.0f, 0.3f, std::pow(double(0.3f), 2.5)},
        {4.0f, 1.0f, 0.9f, std::pow(double(0.9f), 4.0)},
        {1.0f, 3.0f, 0.2f, 1.0 - std::pow(1.0 - double(0.2f), 3.0)},
        {1.0f, 0.5f, 0.8f, 1.0 - std::pow(1.0 - double(0.8f), 0.5)},
        {7.0f, 3.0f, 0.0f, 0.0},
        {7.0f, 3.0f, 1.0f, 1.0},
        {7.0f, 3.0f, -0.1f, 0.0},
        {7.0f, 3.0f, 1.1f, 0.0},
    };
    for (const Row& r : rows)
        EXPECT_NEAR(incomplete_beta(r.a, r.b, r.x), r.expected, 2e-6)
            << r.a << ", " << r.b << ", " << r.x;
}

TEST(IncompleteBeta, SymmetryToSinglePrecision) {
    const float cases[][3] = {{2.0f, 5.0f, 0.3f}, {0.5f, 4.5f, 0.1f}, {10.0f, 10.0f, 0.625f}};
    for (const auto& c : cases)
        EXPECT_NEAR(incomplete_beta(c[0], c[1], c[2]),
                    1.0 - incomplete_beta(c[1], c[0], float(1.0 - c[2])), 2e-6);
}

}  // namespace
