// The correlation along one axis of a white line convolved with a kernel, in
// factored form. For a line of n values y = A w, where w is white with unit
// variance and reaches the kernel's radius beyond both ends of the line, the
// covariance A A^T is a banded Toeplitz matrix C (lag d: the kernel's
// autocorrelation sum_k g[k] g[k + d]); this module gives a lower-triangular
// L with L L^T = C, so that L times n white values has the distribution of y
// with one draw per value, however wide the kernel. Smooth kernels make C all
// but singular, so L is the Cholesky factor of (C + delta I) / (1 + delta),
// delta = 1e-9 times C's diagonal: the diagonal stays C's and the
// correlations are C's within 1e-9, far below float rounding. Computed in
// double.
#pragma once

#include <cstdint>
#include <vector>

namespace simtrove::noise {

struct CorrelationFactor {
    std::int64_t band = 0;  // L[i][j] is 0 unless i - band <= j <= i
    // Row i of L holds L[i][i - band .. i] at rows[i * (band + 1) ..]; entries
    // before column 0 are 0.
    std::vector<double> rows;

    double at(std::int64_t i, std::int64_t j) const {
        return j > i || j < i - band ? 0.0 : rows[std::size_t(i * (band + 1) + j - i + band)];
    }
};

// The factor for `n` values and a kernel of 2 r + 1 taps (kernel.size() odd).
CorrelationFactor correlationFactor(std::int64_t n, const std::vector<double>& kernel);

// Doubles of working memory correlationFactor needs for `n` values and a
// kernel of radius `radius`, the kernel included, and the operations it takes
// (in double: wide kernels overflow 64-bit counts).
double correlationFactorDoubles(double n, double radius);
double correlationFactorOperations(double n, double radius);

}  // namespace simtrove::noise
