#include "standin/design_matrix.h"

#include <algorithm>
#include <cmath>

namespace simtrove::standin {

using formats::Condition;
using formats::Interval;
using formats::Predictor;

std::size_t DesignMatrix::add(const std::string& name, std::size_t volumes) {
    predictors_.push_back({name, std::vector<float>(volumes, 0.0f)});
    return predictors_.size() - 1;
}

Predictor* DesignMatrix::find(const std::string& name) {
    for (Predictor& predictor : predictors_)
        if (predictor.name == name) return &predictor;
    return nullptr;
}

Predictor* DesignMatrix::at(int index) {
    if (index < 0 || std::size_t(index) >= predictors_.size()) return nullptr;
    return &predictors_[std::size_t(index)];
}

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

void fillFromCondition(std::vector<float>& values, const Condition& condition, float height) {
    std::fill(values.begin(), values.end(), 0.0f);
    for (const Interval& interval : condition.intervals) {
        // Volumes are 1-based; the predictor holds volume v at index v - 1.
        const std::size_t first = std::size_t(std::max(interval.first, 1)) - 1;
        const std::size_t end = std::min(std::size_t(std::max(interval.last, 0)), values.size());
        for (std::size_t i = first; i < end; ++i) values[i] = height;
    }
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

}  // namespace simtrove::standin
