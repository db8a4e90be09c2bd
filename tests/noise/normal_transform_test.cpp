// The normal transform: each value against Box-Muller of its words, and the
// distribution of its deviates (moments, Kolmogorov-Smirnov, tails), with
// fixed streams; tolerances in standard errors as stated.
#include "noise/normal_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace simtrove::noise {
namespace {

TEST(StandardNormals, DependOnlyOnTheirPosition) {
    const StreamKey key{9, Component::Temporal, 31};
    std::vector<double> whole(1000);
    standardNormals(key, 0, whole.data(), whole.size());
    for (std::uint64_t first : {1ull, 3ull, 4ull, 63ull, 64ull, 65ull, 517ull}) {
        std::vector<double> part(1000 - first);
        standardNormals(key, first, part.data(), part.size());
        for (std::size_t i = 0; i < part.size(); ++i) ASSERT_EQ(part[i], whole[first + i]);
    }
    std::vector<double> other(1000);
    standardNormals({9, Component::Temporal, 32}, 0, other.data(), other.size());
    EXPECT_NE(other, whole);
}

// Each value against Box-Muller of its own words in double with the C
// runtime's functions: u1 = (a + 1/2) / 2^32 (at most 1 - 2^-24), angle 2 pi
// b / 2^32. Tolerance: float rounding (1e-6 relative) plus what rounding u1
// to float can move a small radius (dr = d(r^2) / 2r, d(r^2) <= 2^-22).
TEST(StandardNormals, AreBoxMullerOfTheirWordsToFloatPrecision) {
    const StreamKey key{21, Component::Drift, 77};
    const std::size_t n = 1 << 18;
    std::vector<double> z(n);
    standardNormals(key, 0, z.data(), n);
    for (std::size_t p = 0; p < n; ++p) {
        const Block words = philoxBlock(key, std::uint32_t(p / 4), 0);
        const std::size_t pair = (p % 4) / 2 * 2;
        const double u1 = std::min((double(words[pair]) + 0.5) / 4294967296.0, 1.0 - 0x1p-24);
        const double r = std::sqrt(-2.0 * std::log(u1));
        const double angle = 2.0 * std::numbers::pi * double(words[pair + 1]) / 4294967296.0;
        const double expected = r * (p % 2 == 0 ? std::cos(angle) : std::sin(angle));
        const double tolerance =
            1e-6 * (1.0 + std::fabs(expected)) + std::min(0x1p-22 / (2.0 * r), 4e-4);
        ASSERT_NEAR(z[p], expected, tolerance) << "position " << p;
    }
}

TEST(StandardNormals, AreStandardNormal) {
    // 400 streams of 1000: n = 400000.
    std::vector<double> z;
    for (std::uint64_t stream = 0; stream < 400; ++stream) {
        std::vector<double> part(1000);
        standardNormals({3, Component::System, stream}, 0, part.data(), part.size());
        z.insert(z.end(), part.begin(), part.end());
    }
    const double n = double(z.size());
    double m1 = 0, m2 = 0, m3 = 0, m4 = 0;
    for (double x : z) m1 += x, m2 += x * x, m3 += x * x * x, m4 += x * x * x * x;
    m1 /= n, m2 /= n, m3 /= n, m4 /= n;
    // Standard errors: mean 1/sqrt(n), E x^2: sqrt(2/n), E x^3: sqrt(15/n), E x^4: sqrt(96/n).
    EXPECT_NEAR(m1, 0.0, 4 / std::sqrt(n));
    EXPECT_NEAR(m2, 1.0, 4 * std::sqrt(2 / n));
    EXPECT_NEAR(m3, 0.0, 4 * std::sqrt(15 / n));
    EXPECT_NEAR(m4, 3.0, 4 * std::sqrt(96 / n));

    // Kolmogorov-Smirnov: D below 1.63 / sqrt(n) (p = 0.01).
    std::sort(z.begin(), z.end());
    double d = 0;
    for (std::size_t i = 0; i < z.size(); ++i) {
        const double cdf = 0.5 * std::erfc(-z[i] / std::sqrt(2.0));
        d = std::max({d, std::fabs(cdf - double(i) / n), std::fabs(double(i + 1) / n - cdf)});
    }
    EXPECT_LT(d, 1.63 / std::sqrt(n));

    // Tails: |z| > 3 and > 4 with binomial standard errors.
    for (double cut : {3.0, 4.0}) {
        const double p = std::erfc(cut / std::sqrt(2.0));
        const double count =
            double(std::count_if(z.begin(), z.end(), [&](double x) { return std::fabs(x) > cut; }));
        EXPECT_NEAR(count, n * p, 4 * std::sqrt(n * p * (1 - p)) + 1) << cut;
    }
}

}  // namespace
}  // namespace simtrove::noise
