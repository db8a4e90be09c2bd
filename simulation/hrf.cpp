#include "simulation/hrf.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace simtrove::simulation {
namespace {

double gammaDensity(double t, double shape) {
    if (t <= 0.0) return 0.0;
    return std::exp((shape - 1.0) * std::log(t) - t - std::lgamma(shape));
}

}  // namespace

std::vector<double> twoGammaHrf(double repetitionTime) {
    // NaN, infinite or vanishing steps would never pass the end of the span.
    if (!(repetitionTime >= kMinHrfRepetitionTime) || !std::isfinite(repetitionTime)) return {1.0};
    std::vector<double> hrf;
    double sum = 0.0;
    for (std::size_t k = 0;; ++k) {
        const double t = double(k) * repetitionTime;
        if (t > kHrfSpanSeconds + 1e-9) break;
        const double value = gammaDensity(t, 6.0) - gammaDensity(t, 16.0) / 6.0;
        hrf.push_back(value);
        sum += value;
    }
    if (!(sum > 0.0)) return {1.0};
    for (double& value : hrf) value /= sum;
    return hrf;
}

void convolve(std::vector<float>& values, const std::vector<double>& hrf) {
    const std::vector<float> input = values;
    for (std::size_t n = 0; n < values.size(); ++n) {
        double sum = 0.0;
        const std::size_t reach = std::min(n + 1, hrf.size());
        for (std::size_t k = 0; k < reach; ++k) sum += hrf[k] * double(input[n - k]);
        values[n] = float(sum);
    }
}

}  // namespace simtrove::simulation
