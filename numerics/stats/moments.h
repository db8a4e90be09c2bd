// Sample moments, two-sample tests and correlation on 1-based float samples
// (x[1..n]). Counts are unsigned 32-bit; results go to caller-owned floats.
// Sums and deviations are kept in float. None of these routines tests its
// arguments: the moment and t routines need at least two values per sample
// (n = 1 gives a variance that is not a number).
#pragma once

#include <cstdint>

// Mean and unbiased variance by the corrected two-pass algorithm.
void mean_variance(const float* data, std::uint32_t n, float* mean, float* variance);
// Student's t with pooled variance; 0 when the pooled variance is 0.
void t_test_equal_var(const float* data1, std::uint32_t count1, const float* data2,
                      std::uint32_t count2, float* t);
// t for unequal variances; 0 when both variances are 0.
void t_test_unequal_var(const float* data1, std::uint32_t count1, const float* data2,
                        std::uint32_t count2, float* t);
// The two-sample Kolmogorov-Smirnov D. Sorts both arrays in place.
void ks_two_sample_statistic(float* data1, std::uint32_t count1, float* data2, std::uint32_t count2,
                             float* d);
// Pearson's r; 0 when either sample is constant.
void pearson_r(const float* x, const float* y, std::uint32_t n, float* r);
// The sum D of squared rank differences, its deviation Z in standard
// deviations, the two-sided significance P_D of Z and the tie-corrected rank
// correlation R_S. When all values of a sample are tied, R_S = P_RS = 0 and Z,
// P_D are left alone; otherwise P_RS is left alone. The caller's arrays are not
// changed; "allocation failure in vector()" ends the process if no work space is
// left.
void spearman_rank_correlation(const float* data1, const float* data2, std::uint32_t n, float* d,
                               float* z, float* p_d, float* r_s, float* p_rs);
