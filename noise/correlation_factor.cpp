#include "noise/correlation_factor.h"

#include <algorithm>
#include <cmath>

namespace simtrove::noise {
namespace {

constexpr double kLoading = 1e-9;  // of the diagonal

// sum_k g[k] g[k + d] for d = 0 .. band.
std::vector<double> autocorrelation(const std::vector<double>& g, std::int64_t band) {
    const std::int64_t taps = std::int64_t(g.size());
    std::vector<double> c(std::size_t(band + 1), 0.0);
    for (std::int64_t d = 0; d <= band; ++d) {
        double sum = 0.0;
        for (std::int64_t k = 0; k + d < taps; ++k)
            sum += g[std::size_t(k)] * g[std::size_t(k + d)];
        c[std::size_t(d)] = sum;
    }
    return c;
}

// The factor's band for `n` values and a kernel of radius `radius`.
double bandOf(double n, double radius) {
    return std::min(2.0 * radius, n - 1.0);
}

}  // namespace

double correlationFactorDoubles(double n, double radius) {
    const double band = bandOf(n, radius);
    return n * (band + 1.0) + (band + 1.0) + (2.0 * radius + 1.0);
}

double correlationFactorOperations(double n, double radius) {
    // The kernel's autocorrelation, then the banded factorisation.
    const double band = bandOf(n, radius);
    return (band + 1.0) * (2.0 * radius + 1.0) + n * (band + 1.0) * (band + 1.0);
}

CorrelationFactor correlationFactor(std::int64_t n, const std::vector<double>& kernel) {
    CorrelationFactor f;
    f.band = std::min(std::int64_t(kernel.size()) - 1, n - 1);
    const std::size_t width = std::size_t(f.band) + 1;
    std::vector<double> c = autocorrelation(kernel, f.band);
    const double diagonal = c[0] * (1.0 + kLoading), scale = 1.0 / std::sqrt(1.0 + kLoading);
    f.rows.assign(std::size_t(n) * width, 0.0);
    // Row by row: L[i][j] = (C[i][j] - sum_{k < j} L[i][k] L[j][k]) / L[j][j],
    // L[i][i] = sqrt(C[i][i] - sum_{k < i} L[i][k]^2), within the band.
    for (std::int64_t i = 0; i < n; ++i) {
        double* row = f.rows.data() + std::size_t(i) * width + f.band - i;  // row[j] = L[i][j]
        const std::int64_t first = std::max<std::int64_t>(0, i - f.band);
        for (std::int64_t j = first; j <= i; ++j) {
            const double* other = f.rows.data() + std::size_t(j) * width + f.band - j;
            const std::int64_t from = std::max(first, j - f.band);
            double sum = j == i ? diagonal : c[std::size_t(i - j)];
            for (std::int64_t k = from; k < j; ++k) sum -= row[k] * other[k];
            if (j < i)
                row[j] = sum / other[j];
            else
                // The loading keeps every pivot far above the rounding of
                // these sums; the floor only keeps a hostile kernel finite.
                row[i] = std::sqrt(std::max(sum, kLoading * c[0]));
        }
    }
    for (double& value : f.rows) value *= scale;
    return f;
}

}  // namespace simtrove::noise
