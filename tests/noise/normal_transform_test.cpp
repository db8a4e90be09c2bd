// The normal transform: its logarithm against the C runtime's, and the
// distribution of its deviates (moments, Kolmogorov-Smirnov, tails), with
// fixed streams; tolerances in standard errors as stated.
#include "noise/normal_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace simtrove::noise {
namespace {

TEST(NaturalLog, MatchesTheRuntimeToFarBelowFloatPrecision) {
    for (double x : {1e-300, 2.2250738585072014e-308, 1e-20, 0.001, 0.25, 0.5, 0.7499999, 0.75,
                     0.9999999999, 1.0, 1.0000001, 1.4999999, 1.5, 2.0, 1e10, 1e300})
        EXPECT_NEAR(naturalLog(x), std::log(x), 1e-12 * std::max(1.0, std::fabs(std::log(x)))) << x;
    EXPECT_EQ(naturalLog(1.0), 0.0);
}

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
