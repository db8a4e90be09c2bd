#include "numerics/special/erfc_ks.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Q(lambda) summed in double until the terms vanish: an independent reference.
double ksSeries(double lambda) {
    double sum = 0.0, sign = 2.0;
    for (int j = 1; j <= 10000; ++j) {
        const double term = sign * std::exp(-2.0 * j * j * lambda * lambda);
        sum += term;
        if (std::fabs(term) < 1e-300) break;
        sign = -sign;
    }
    return sum;
}

// Reference: std::erfc in double. The fitted formula is good to a relative
// 1.2e-7; with float rounding of t and of the result we allow 1e-6 relative.
TEST(ErfcChebyshev, AgreesWithStdErfc) {
    const float xs[] = {-3.0f, -2.0f, -1.0f, -0.5f, -1e-3f, 0.0f, 1e-3f, 0.25f,
                        0.5f,  1.0f,  1.5f,  2.0f,  2.5f,   3.0f, 4.0f,  5.0f};
    for (float x : xs) {
        const double expected = std::erfc(double(x));
        EXPECT_NEAR(erfc_chebyshev(x), expected, 1e-6 * expected) << x;
    }
}

TEST(ErfcChebyshev, ExactPointsAndReflection) {
    EXPECT_EQ(erfc_chebyshev(0.0f), 1.0f);
    EXPECT_EQ(erfc_chebyshev(-0.0f), 1.0f);
    for (float x : {0.1f, 1.0f, 2.0f, 3.0f})
        EXPECT_NEAR(double(erfc_chebyshev(x)) + erfc_chebyshev(-x), 2.0, 2.4e-7) << x;
    EXPECT_EQ(erfc_chebyshev(20.0f), 0.0f);  // underflows in float
    EXPECT_EQ(erfc_chebyshev(-20.0f), 2.0f);
}

// Reference: the series summed in double (ksSeries). Tolerances: relative 1e-6 where a
// few float terms are summed; absolute 1e-5 at lambda = 0.05, where 62 float terms
// of magnitude near 2 are summed.
TEST(KsProbability, AgreesWithTheSeriesInDouble) {
    struct Row {
        float lambda;
        double abs_tol;
    };
    const Row rows[] = {{0.05f, 1e-5}, {0.3f, 2e-6},  {0.5f, 1e-6}, {0.8f, 1e-6},
                        {1.0f, 3e-7},  {1.36f, 2e-7}, {2.0f, 1e-9}, {3.0f, 1e-13}};
    for (const Row& r : rows) {
        EXPECT_NEAR(ks_probability(r.lambda), ksSeries(r.lambda), r.abs_tol) << r.lambda;
        EXPECT_EQ(ks_probability(-r.lambda), ks_probability(r.lambda)) << r.lambda;
    }
    EXPECT_LT(ks_probability(0.05f), 1.0f);
    EXPECT_NEAR(ks_probability(1.0f), 0.27000, 5e-6);
    EXPECT_NEAR(ks_probability(2.0f), 6.7093e-4, 1e-8);
}

TEST(KsProbability, LimitsAtBothEnds) {
    EXPECT_EQ(ks_probability(0.0f), 1.0f);   // never settles: the limit 1
    EXPECT_EQ(ks_probability(0.01f), 1.0f);  // below the single-precision reach
    EXPECT_EQ(ks_probability(10.0f), 0.0f);  // the first float exponential underflows
}

// Reference: sqrt(-4 ln(1 - u)) in double with 1 - u exact. Tolerance: relative 4e-7
// for three float roundings, plus the conditioning of ln((1 - u)^2) near u = 0, where
// the float square (1 - u)^2 carries an absolute error of up to 6e-8.
TEST(RadialDeviate, AgreesWithTheClosedForm) {
    const float us[] = {0.001f, 0.1f, 0.5f, 0.75f, 0.9f, 0.999f, 0.9999999f};
    for (float u : us) {
        const double one_minus_u = 1.0 - double(u);
        const double expected = std::sqrt(-4.0 * std::log(one_minus_u));
        const double tol = (4e-7 + 3e-8 / -std::log(one_minus_u)) * expected;
        EXPECT_NEAR(radial_deviate(u), expected, tol) << u;
        // Reflection: at v = 2 - u (a float of its own), the negative of the value at 2 - v.
        const float v = 2.0f - u;
        const double reflected = std::sqrt(-4.0 * std::log(double(v) - 1.0));
        EXPECT_NEAR(radial_deviate(v), -reflected,
                    (4e-7 + 3e-8 / -std::log(double(v) - 1.0)) * reflected)
            << v;
    }
}

TEST(RadialDeviate, EndPoints) {
    EXPECT_EQ(radial_deviate(0.0f), 0.0f);
    EXPECT_EQ(radial_deviate(2.0f), 0.0f);
    EXPECT_NEAR(radial_deviate(0.5f), 1.6651093, 4e-7);
    EXPECT_NEAR(radial_deviate(1.5f), -1.6651093, 4e-7);
    // u = 1 is taken as 0.9999999, so 1 - u = 2^-23.
    EXPECT_EQ(radial_deviate(1.0f), radial_deviate(0.9999999f));
    EXPECT_NEAR(radial_deviate(1.0f), std::sqrt(4.0 * 23.0 * std::log(2.0)), 4e-7 * 8.0);
}

}  // namespace
