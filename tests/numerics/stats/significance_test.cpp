#include "numerics/stats/significance.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "numerics/stats/moments.h"

namespace {

// Two-tailed significance of Student's t in closed form for df = 1 and 2.
double tProbDf1(double t) {
    return 1.0 - 2.0 / std::numbers::pi * std::atan(std::fabs(t));
}
double tProbDf2(double t) {
    return 1.0 - std::fabs(t) / std::sqrt(2.0 + t * t);
}

// Reference: closed forms of the t distribution for df = 1 and 2; absolute 2e-6.
TEST(TProb, ClosedFormsForOneAndTwoDegrees) {
    for (float t : {0.0f, 0.1f, 0.5f, 1.0f, 2.0f, 4.3027f, 12.706f, -1.5f, 30.0f}) {
        EXPECT_NEAR(t_prob(t, 1), tProbDf1(t), 2e-6) << t;
        EXPECT_NEAR(t_prob(t, 2), tProbDf2(t), 2e-6) << t;
    }
    for (unsigned df : {1u, 5u, 30u, 1000u}) EXPECT_EQ(t_prob(0.0f, df), 1.0f) << df;
}

// Reference: published two-tailed critical values of t (p, df, t); absolute 2e-4
// for the tabulated four decimals, relative 1e-3 on p at the tabulated t.
TEST(TProb, PublishedCriticalValues) {
    struct Row {
        float p;
        unsigned df;
        float t;
    };
    const Row rows[] = {{0.05f, 10, 2.2281f}, {0.01f, 20, 2.8453f}, {0.05f, 1, 12.7062f},
                        {0.10f, 5, 2.0150f},  {0.05f, 30, 2.0423f}, {0.001f, 10, 4.5869f}};
    for (const Row& r : rows) {
        EXPECT_NEAR(t_prob(r.t, r.df), r.p, 1e-3 * r.p) << r.df;
        EXPECT_NEAR(critical_t(r.p, r.df), r.t, 2e-4) << r.p << ", " << r.df;
    }
    EXPECT_NEAR(t_prob(2.228f, 10), 0.0500, 1e-4);
}

// Reference: the inverse closed forms for df = 1, 2. Tolerance: absolute 5e-4, the
// resolution that 25 step-halving moves from step 2 can reach (2^-12 here).
TEST(CriticalT, ClosedFormsForOneAndTwoDegrees) {
    for (float p : {0.5f, 0.2f, 0.1f, 0.05f}) {
        const double c = 1.0 - p;
        EXPECT_NEAR(critical_t(p, 1), std::tan(std::numbers::pi / 2 * c), 5e-4) << p;
        EXPECT_NEAR(critical_t(p, 2), std::sqrt(2 * c * c / (1 - c * c)), 5e-4) << p;
    }
}

// p = 0 is never exceeded: every move goes up by the first step.
TEST(CriticalSearch, ZeroProbabilityRunsUpToTheEnd) {
    EXPECT_EQ(critical_t(0.0f, 10), 54.0f);
    EXPECT_EQ(critical_f(0.0f, 2, 10), 60.0f);
    EXPECT_NEAR(critical_r(0.0f, 12), 5.4, 1e-5);
}

TEST(CorrelationProb, SpecialCases) {
    for (unsigned n : {0u, 1u}) EXPECT_EQ(correlation_prob(0.7f, n), 1.0f);
    for (unsigned n : {2u, 3u, 12u}) {
        EXPECT_EQ(correlation_prob(0.0f, n), 1.0f);
        EXPECT_EQ(correlation_prob(1.0f, n), 0.0f);
    }
    EXPECT_LT(correlation_prob(-1.0f, 12), 1e-6f);
}

// Reference: r -> t = r sqrt(df / (1 - r^2)) and the t closed forms with df = n - 2 = 1, 2;
// published critical r for n = 12 (df = 10): 0.5760 at p = 0.05, 0.7079 at p = 0.01.
TEST(CorrelationProb, AgreesWithTDistribution) {
    for (float r : {0.1f, 0.5f, -0.8f, 0.95f}) {
        const double rd = r;
        EXPECT_NEAR(correlation_prob(r, 3), tProbDf1(rd * std::sqrt(1 / (1 - rd * rd))), 2e-6);
        EXPECT_NEAR(correlation_prob(r, 4), tProbDf2(rd * std::sqrt(2 / (1 - rd * rd))), 2e-6);
    }
    EXPECT_NEAR(correlation_prob(0.5f, 12), 0.0979, 1e-4);
    EXPECT_NEAR(critical_r(0.05f, 12), 0.5760, 2e-4);
    EXPECT_NEAR(critical_r(0.01f, 12), 0.7079, 2e-4);
}

TEST(PearsonRWithProb, MatchesCorrelationProb) {
    const std::vector<float> x = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::vector<float> y = {0, 2.1f, 0.3f, 5.0f, 1.2f, 3.3f, 7.0f, 2.2f, 6.1f, 4.0f};
    float r = 0, prob = 0, r_alone = 0;
    pearson_r_with_prob(x.data(), y.data(), 9, &r, &prob);
    pearson_r(x.data(), y.data(), 9, &r_alone);
    EXPECT_EQ(r, r_alone);
    EXPECT_NEAR(prob, correlation_prob(r, 9), 1e-6);

    const std::vector<float> flat(10, 3.0f);
    pearson_r_with_prob(x.data(), flat.data(), 9, &r, &prob);
    EXPECT_EQ(r, 0.0f);
    EXPECT_EQ(prob, 1.0f);
    pearson_r_with_prob(x.data(), x.data(), 9, &r, &prob);
    EXPECT_NEAR(r, 1.0, 1e-6);
    EXPECT_LT(prob, 1e-6f);
}

// Reference: for df1 = 2 the upper tail is (df2 / (df2 + 2 f))^(df2 / 2), and F(1, df2)
// is t^2 with df2 degrees of freedom; absolute 2e-6.
TEST(FProb, ClosedForms) {
    for (float f : {0.5f, 1.0f, 4.10f, 10.0f}) {
        for (unsigned df2 : {1u, 4u, 10u}) {
            const double expected = std::pow(df2 / (df2 + 2.0 * f), df2 / 2.0);
            EXPECT_NEAR(f_prob(f, 2, df2), expected, 2e-6) << f << ", " << df2;
        }
        EXPECT_NEAR(f_prob(f, 1, 1), tProbDf1(std::sqrt(double(f))), 2e-6) << f;
        EXPECT_NEAR(f_prob(f, 1, 2), tProbDf2(std::sqrt(double(f))), 2e-6) << f;
    }
    EXPECT_EQ(f_prob(0.0f, 3, 7), 1.0f);
    EXPECT_EQ(f_prob(-1.0f, 3, 7), 0.0f);
    EXPECT_NEAR(f_prob(4.10f, 2, 10), 0.0501, 1e-4);
}

// Reference: published upper 5 % points of F and, for df1 = 2, the inverse closed form
// df2 / 2 (p^(-2/df2) - 1); absolute 2e-3 on tabulated values, 2e-4 on the closed form.
TEST(CriticalF, PublishedAndClosedForm) {
    EXPECT_NEAR(critical_f(0.05f, 2, 10), 5.0 * (std::pow(0.05, -0.2) - 1.0), 2e-4);
    EXPECT_NEAR(critical_f(0.05f, 2, 10), 4.1028, 2e-4);
    EXPECT_NEAR(critical_f(0.05f, 3, 20), 3.098, 2e-3);
    EXPECT_NEAR(critical_f(0.05f, 5, 10), 3.326, 2e-3);
    EXPECT_NEAR(critical_f(0.01f, 4, 30), 4.018, 2e-3);
}

}  // namespace
