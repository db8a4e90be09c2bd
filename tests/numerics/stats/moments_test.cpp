#include "numerics/stats/moments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

namespace {

// 1-based sample: element 0 is an unused slot.
std::vector<float> oneBased(const std::vector<float>& values) {
    std::vector<float> v{0.0f};
    v.insert(v.end(), values.begin(), values.end());
    return v;
}

std::vector<float> seededSample(std::uint32_t n, unsigned seed, float offset, float spread) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> dist(offset, spread);
    std::vector<float> v(n);
    for (float& x : v) x = dist(gen);
    return v;
}

// Double-precision two-pass reference computations.
double meanOf(const std::vector<float>& v) {
    double s = 0.0;
    for (float x : v) s += x;
    return s / double(v.size());
}
double varianceOf(const std::vector<float>& v) {
    const double m = meanOf(v);
    double s = 0.0;
    for (float x : v) s += (x - m) * (x - m);
    return s / double(v.size() - 1);
}
double pearsonOf(const std::vector<double>& x, const std::vector<double>& y) {
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i) mx += x[i], my += y[i];
    mx /= double(x.size());
    my /= double(y.size());
    double sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
        sxy += (x[i] - mx) * (y[i] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}
// Mid-ranks (1-based ranks, ties averaged) of a sample.
std::vector<double> midRanks(const std::vector<float>& v) {
    std::vector<std::size_t> order(v.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
    std::vector<double> ranks(v.size());
    for (std::size_t i = 0; i < order.size();) {
        std::size_t j = i;
        while (j < order.size() && v[order[j]] == v[order[i]]) ++j;
        for (std::size_t k = i; k < j; ++k) ranks[order[k]] = 0.5 * double(i + 1 + j);
        i = j;
    }
    return ranks;
}

TEST(MeanVariance, TextbookSample) {
    std::vector<float> v = oneBased({2, 4, 4, 4, 5, 5, 7, 9});
    float mean = 0, variance = 0;
    mean_variance(v.data(), 8, &mean, &variance);
    EXPECT_EQ(mean, 5.0f);
    EXPECT_NEAR(variance, 32.0 / 7.0, 1e-6);
}

// Reference: double two-pass. Tolerance: relative 1e-5 on the variance; the offset
// sample (mean 1e4, spread 1) shows the correction term at work.
TEST(MeanVariance, AgreesWithDoubleTwoPass) {
    const std::vector<float> samples[] = {seededSample(50, 1, 0.0f, 1.0f),
                                          seededSample(1000, 2, 3.0f, 10.0f),
                                          seededSample(500, 3, 1.0e4f, 1.0f)};
    for (const auto& s : samples) {
        std::vector<float> v = oneBased(s);
        float mean = 0, variance = 0;
        mean_variance(v.data(), std::uint32_t(s.size()), &mean, &variance);
        EXPECT_NEAR(mean, meanOf(s), 1e-6 * std::fabs(meanOf(s)) + 1e-6);
        EXPECT_NEAR(variance, varianceOf(s), 1e-4 * varianceOf(s));
    }
}

// A large mean with a small spread, every value exact in float: 65536 + k/256
// for k = 0..255 repeated four times. The running float sum (steps of 8 near
// its end) leaves the mean 0.33 off, two thirds of the spread; the variance
// must still match the closed form (256^2 - 1) / 12 / 256^2 * n / (n - 1):
// to 1e-3, where the float sum of squares is 3e-4 off and dropping the
// correction of the mean's rounding would be more than 100 % off.
TEST(MeanVariance, CancellationAtALargeMeanIsCorrected) {
    std::vector<float> values;
    for (int repeat = 0; repeat < 4; ++repeat)
        for (int k = 0; k < 256; ++k) values.push_back(65536.0f + float(k) / 256.0f);
    const double n = double(values.size());
    const double exactMean = 65536.0 + 255.0 / 512.0;
    const double exactVariance = (256.0 * 256.0 - 1.0) / 12.0 / (256.0 * 256.0) * n / (n - 1.0);
    std::vector<float> v = oneBased(values);
    float mean = 0, variance = 0;
    mean_variance(v.data(), std::uint32_t(values.size()), &mean, &variance);
    EXPECT_NEAR(mean, exactMean, 0.5);
    EXPECT_NEAR(variance, exactVariance, 1e-3 * exactVariance);
}

TEST(TTests, ClosedFormCasesAndDegenerateSamples) {
    std::vector<float> a = oneBased({1, 2, 3}), b = oneBased({4, 5, 6});
    std::vector<float> c1 = oneBased({2, 2, 2}), c2 = oneBased({7, 7, 7, 7});
    float t = 99;
    t_test_equal_var(a.data(), 3, b.data(), 3, &t);
    EXPECT_NEAR(t, -3.0 / std::sqrt(2.0 / 3.0), 1e-6);
    t_test_equal_var(c1.data(), 3, c1.data(), 3, &t);
    EXPECT_EQ(t, 0.0f);
    t = 99;
    t_test_unequal_var(c1.data(), 3, c2.data(), 4, &t);
    EXPECT_EQ(t, 0.0f);
    t_test_unequal_var(a.data(), 3, b.data(), 3, &t);
    EXPECT_NEAR(t, -3.0 / std::sqrt(2.0 / 3.0), 1e-6);
}

// Reference: the t formulas evaluated on double two-pass moments; relative 1e-5.
TEST(TTests, AgreeWithDoubleReference) {
    const std::vector<float> s1 = seededSample(40, 11, 10.0f, 2.0f);
    const std::vector<float> s2 = seededSample(25, 12, 11.0f, 4.0f);
    std::vector<float> v1 = oneBased(s1), v2 = oneBased(s2);
    const double n1 = 40, n2 = 25;
    const double diff = meanOf(s1) - meanOf(s2);
    const double pooled = ((n1 - 1) * varianceOf(s1) + (n2 - 1) * varianceOf(s2)) / (n1 + n2 - 2);
    const double t_equal = diff / std::sqrt(pooled * (1 / n1 + 1 / n2));
    const double t_unequal = diff / std::sqrt(varianceOf(s1) / n1 + varianceOf(s2) / n2);
    float t = 0;
    t_test_equal_var(v1.data(), 40, v2.data(), 25, &t);
    EXPECT_NEAR(t, t_equal, 1e-5 * std::fabs(t_equal));
    t_test_unequal_var(v1.data(), 40, v2.data(), 25, &t);
    EXPECT_NEAR(t, t_unequal, 1e-5 * std::fabs(t_unequal));
}

// Reference: the supremum of |F1 - F2| over all sample values, counted directly.
double ksReference(const std::vector<float>& a, const std::vector<float>& b) {
    double d = 0;
    for (const auto* sample : {&a, &b})
        for (float x : *sample) {
            const double f1 =
                double(std::count_if(a.begin(), a.end(), [&](float v) { return v <= x; }));
            const double f2 =
                double(std::count_if(b.begin(), b.end(), [&](float v) { return v <= x; }));
            d = std::max(d, std::fabs(f1 / double(a.size()) - f2 / double(b.size())));
        }
    return d;
}

TEST(KsTwoSample, StatisticAndSortedInputs) {
    struct Row {
        std::vector<float> a, b;
    };
    std::vector<float> r1 = seededSample(30, 21, 0.0f, 1.0f), r2 = seededSample(45, 22, 0.5f, 1.0f);
    std::vector<float> t1(12), t2(9);  // many ties between the samples
    for (std::size_t i = 0; i < t1.size(); ++i) t1[i] = float(i % 4);
    for (std::size_t i = 0; i < t2.size(); ++i) t2[i] = float((i * 7) % 5);
    const Row rows[] = {
        {{3, 1, 2}, {2, 3, 1}}, {{3, 2, 1}, {6, 5, 4}}, {{1, 2}, {2, 3}}, {r1, r2}, {t1, t2}};
    for (const Row& r : rows) {
        std::vector<float> a = oneBased(r.a), b = oneBased(r.b);
        float d = -1;
        ks_two_sample_statistic(a.data(), std::uint32_t(r.a.size()), b.data(),
                                std::uint32_t(r.b.size()), &d);
        EXPECT_NEAR(d, ksReference(r.a, r.b), 1e-7);
        EXPECT_TRUE(std::is_sorted(a.begin() + 1, a.end()));
        EXPECT_TRUE(std::is_sorted(b.begin() + 1, b.end()));
    }
    std::vector<float> a = oneBased({1, 2}), b = oneBased({2, 3});
    float d = 0;
    ks_two_sample_statistic(a.data(), 2, b.data(), 2, &d);
    EXPECT_EQ(d, 0.5f);
}

TEST(PearsonR, LinearConstantAndRandom) {
    const std::vector<float> x = seededSample(100, 31, 5.0f, 3.0f);
    std::vector<float> lin(x.size()), neg(x.size()), flat(x.size(), 4.0f);
    for (std::size_t i = 0; i < x.size(); ++i) {
        lin[i] = 2.5f * x[i] + 1.0f;
        neg[i] = -0.5f * x[i];
    }
    const std::vector<float> y = seededSample(100, 32, 0.0f, 1.0f);
    std::vector<float> mix(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) mix[i] = x[i] + 2.0f * y[i];
    std::vector<float> vx = oneBased(x);
    std::vector<double> dx(x.begin(), x.end());
    struct Row {
        const std::vector<float>* other;
        double tol;
    };
    // Reference: double two-pass r on the same float data; absolute 2e-6.
    for (const Row& row : {Row{&lin, 2e-6}, Row{&neg, 2e-6}, Row{&mix, 2e-6}}) {
        std::vector<float> vy = oneBased(*row.other);
        float r = 0;
        pearson_r(vx.data(), vy.data(), 100, &r);
        EXPECT_NEAR(r, pearsonOf(dx, std::vector<double>(row.other->begin(), row.other->end())),
                    row.tol);
    }
    std::vector<float> vflat = oneBased(flat);
    float r = 99;
    pearson_r(vx.data(), vflat.data(), 100, &r);
    EXPECT_EQ(r, 0.0f);
}

struct SpearmanResult {
    float d = -7, z = -7, p_d = -7, r_s = -7, p_rs = -7;
};
SpearmanResult spearman(const std::vector<float>& a, const std::vector<float>& b) {
    std::vector<float> va = oneBased(a), vb = oneBased(b);
    SpearmanResult res;
    spearman_rank_correlation(va.data(), vb.data(), std::uint32_t(a.size()), &res.d, &res.z,
                              &res.p_d, &res.r_s, &res.p_rs);
    EXPECT_EQ(va, oneBased(a));  // the caller's arrays stay untouched
    EXPECT_EQ(vb, oneBased(b));
    return res;
}

TEST(Spearman, SameAndReversedOrder) {
    const std::vector<float> a = {3, 1, 4, 1.5f, 9, 2.6f, 5};
    std::vector<float> same(a.size()), reversed(a.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        same[i] = 10.0f * a[i] - 3.0f;
        reversed[i] = -a[i];
    }
    SpearmanResult s = spearman(a, same);
    EXPECT_EQ(s.d, 0.0f);
    EXPECT_NEAR(s.r_s, 1.0, 1e-6);
    EXPECT_EQ(s.p_rs, -7.0f);
    s = spearman(a, reversed);
    EXPECT_NEAR(s.r_s, -1.0, 1e-6);
    EXPECT_EQ(s.d, 112.0f);  // n (n^2 - 1) / 3 for n = 7
}

TEST(Spearman, ConstantSampleIsDegenerate) {
    const SpearmanResult s = spearman({1, 2, 3, 4}, {5, 5, 5, 5});
    EXPECT_EQ(s.r_s, 0.0f);
    EXPECT_EQ(s.p_rs, 0.0f);
    EXPECT_EQ(s.z, -7.0f);
    EXPECT_EQ(s.p_d, -7.0f);
}

// Reference: ranks computed in the test; R_S equals Pearson's r of the mid-ranks,
// D is summed exactly, Z = (D - ED) / sqrt(VD) with the tie-corrected moments and
// P_D = erfc(|Z| / sqrt 2). Tolerances: absolute 1e-5 on R_S and Z, relative 2e-5 on P_D.
TEST(Spearman, AgreesWithRankReference) {
    std::vector<float> x = seededSample(60, 41, 0.0f, 1.0f), y = seededSample(60, 42, 0.0f, 1.0f);
    for (std::size_t i = 0; i < x.size(); ++i) y[i] += 0.3f * x[i];
    std::vector<float> tx(40), ty(40);  // tie groups in both samples
    for (std::size_t i = 0; i < tx.size(); ++i) {
        tx[i] = float(i % 7);
        ty[i] = float((i * 3) % 5) + 0.1f * float(i % 2);
    }
    for (const auto& [a, b] : {std::pair{x, y}, std::pair{tx, ty}}) {
        const std::vector<double> ra = midRanks(a), rb = midRanks(b);
        double d = 0, sf = 0, sg = 0;
        for (std::size_t i = 0; i < ra.size(); ++i) d += (ra[i] - rb[i]) * (ra[i] - rb[i]);
        for (const auto* r : {&ra, &rb}) {
            std::vector<double> sorted = *r;
            std::sort(sorted.begin(), sorted.end());
            double& tie = r == &ra ? sf : sg;
            for (std::size_t i = 0; i < sorted.size();) {
                std::size_t j = i;
                while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
                const double t = double(j - i);
                tie += t * t * t - t;
                i = j;
            }
        }
        const double n = double(a.size()), n3 = n * n * n - n;
        const double ed = n3 / 6 - (sf + sg) / 12;
        const double tf = (1 - sf / n3) * (1 - sg / n3);
        const double vd = (n - 1) * n * n * (n + 1) * (n + 1) / 36 * tf;
        const double z = (d - ed) / std::sqrt(vd);
        const SpearmanResult s = spearman(a, b);
        EXPECT_EQ(s.d, float(d));
        EXPECT_NEAR(s.r_s, pearsonOf(ra, rb), 1e-5);
        EXPECT_NEAR(s.z, z, 1e-5);
        EXPECT_NEAR(s.p_d, std::erfc(std::fabs(z) / std::sqrt(2.0)), 2e-5 * s.p_d);
        EXPECT_EQ(s.p_rs, -7.0f);
    }
}

}  // namespace
