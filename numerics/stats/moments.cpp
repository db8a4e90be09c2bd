#include "numerics/stats/moments.h"

#include <cmath>

#include "numerics/arrays/arrays.h"
#include "numerics/sort/sort.h"
#include "numerics/special/erfc_ks.h"

namespace {

// Square of a float value, formed in double.
double squared(float v) {
    return double(v) * v;
}

float sqrtSingle(float v) {
    return float(std::sqrt(double(v)));
}

}  // namespace

void mean_variance(const float* data, std::uint32_t n, float* mean, float* variance) {
    float m = 0.0f;
    for (std::uint32_t j = 1; j <= n; ++j) m = float(double(m) + data[j]);
    m = float(double(m) / n);
    float var = 0.0f;
    float dev_sum = 0.0f;
    for (std::uint32_t j = 1; j <= n; ++j) {
        const float dev = float(double(data[j]) - m);
        dev_sum = float(double(dev_sum) + dev);
        var = float(double(var) + squared(dev));
    }
    // Subtracting dev_sum^2 / n removes the rounding error of the mean.
    *mean = m;
    *variance = float((double(var) - squared(dev_sum) / n) / double(n - 1));
}

void t_test_equal_var(const float* data1, std::uint32_t count1, const float* data2,
                      std::uint32_t count2, float* t) {
    float ave1 = 0.0f, var1 = 0.0f, ave2 = 0.0f, var2 = 0.0f;
    mean_variance(data1, count1, &ave1, &var1);
    mean_variance(data2, count2, &ave2, &var2);
    const float df = float(count1 + count2 - 2);
    const float pooled =
        float((double(count1 - 1) * var1 + double(count2 - 1) * var2) / double(df));
    if (pooled == 0.0f) {
        *t = 0.0f;
        return;
    }
    const double scale = std::sqrt(double(pooled) * (1.0 / count1 + 1.0 / count2));
    *t = float((double(ave1) - ave2) / scale);
}

void t_test_unequal_var(const float* data1, std::uint32_t count1, const float* data2,
                        std::uint32_t count2, float* t) {
    float ave1 = 0.0f, var1 = 0.0f, ave2 = 0.0f, var2 = 0.0f;
    mean_variance(data1, count1, &ave1, &var1);
    mean_variance(data2, count2, &ave2, &var2);
    if (var1 == 0.0f && var2 == 0.0f) {
        *t = 0.0f;
        return;
    }
    const float spread = float(double(var1) / count1 + double(var2) / count2);
    *t = float((double(ave1) - ave2) / sqrtSingle(spread));
}

void ks_two_sample_statistic(float* data1, std::uint32_t count1, float* data2, std::uint32_t count2,
                             float* d) {
    sort(count1, data1);
    sort(count2, data2);
    const float n1 = float(count1);
    const float n2 = float(count2);
    float f1 = 0.0f, f2 = 0.0f, dmax = 0.0f;
    std::uint32_t i = 1, k = 1;
    while (i <= count1 && k <= count2) {
        const float x1 = data1[i];
        const float x2 = data2[k];
        // On a tie both empirical distributions step in the same pass.
        if (x1 <= x2) f1 = float(double(i++) / n1);
        if (x2 <= x1) f2 = float(double(k++) / n2);
        const float diff = float(std::fabs(double(f2) - f1));
        if (diff > dmax) dmax = diff;
    }
    *d = dmax;
}

void pearson_r(const float* x, const float* y, std::uint32_t n, float* r) {
    float sum_x = 0.0f, sum_y = 0.0f;
    for (std::uint32_t j = 1; j <= n; ++j) {
        sum_x = float(double(sum_x) + x[j]);
        sum_y = float(double(sum_y) + y[j]);
    }
    const float mean_x = float(double(sum_x) / n);
    const float mean_y = float(double(sum_y) / n);
    float sxx = 0.0f, syy = 0.0f, sxy = 0.0f;
    for (std::uint32_t j = 1; j <= n; ++j) {
        const float dx = float(double(x[j]) - mean_x);
        const float dy = float(double(y[j]) - mean_y);
        sxx = float(double(sxx) + squared(dx));
        syy = float(double(syy) + squared(dy));
        sxy = float(double(sxy) + double(dx) * dy);
    }
    const float den = sqrtSingle(float(double(sxx) * syy));
    *r = den > 0.0f ? float(double(sxy) / den) : 0.0f;
}

void spearman_rank_correlation(const float* data1, const float* data2, std::uint32_t n, float* d,
                               float* z, float* p_d, float* r_s, float* p_rs) {
    const int hi = int(n);
    float* r1 = vector(1, hi);
    float* r2 = vector(1, hi);
    for (std::uint32_t j = 1; j <= n; ++j) {
        r1[j] = data1[j];
        r2[j] = data2[j];
    }
    float sf = 0.0f, sg = 0.0f;
    sort2(n, r1, r2);
    rank_sorted(n, r1, &sf);
    sort2(n, r2, r1);
    rank_sorted(n, r2, &sg);
    float dsum = 0.0f;
    for (std::uint32_t j = 1; j <= n; ++j)
        dsum = float(double(dsum) + squared(float(double(r1[j]) - r2[j])));
    *d = dsum;

    const double nf = float(n);
    const float n3 = float(nf * nf * nf - nf);
    const double ties = double(sf) + sg;
    const float expected_d = float(n3 / 6.0 - ties / 12.0);
    const float tie_factor = float((1.0 - sf / double(n3)) * (1.0 - sg / double(n3)));
    const float var_d =
        float(((nf - 1.0) * nf * nf * squared(float(nf + 1.0)) / 36.0) * tie_factor);
    if (var_d == 0.0f || tie_factor == 0.0f) {
        *r_s = 0.0f;
        *p_rs = 0.0f;
    } else {
        const float zv = float((double(dsum) - expected_d) / sqrtSingle(var_d));
        *z = zv;
        *p_d = erfc_chebyshev(float(std::fabs(double(zv)) / 1.4142136));
        *r_s = float((1.0 - (6.0 / n3) * (double(dsum) + ties / 12.0)) / sqrtSingle(tie_factor));
    }
    release_vector(r2, 1, hi);
    release_vector(r1, 1, hi);
}
