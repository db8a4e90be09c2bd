#include "standin/design_matrix.h"

#include <algorithm>

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

void fillFromCondition(std::vector<float>& values, const Condition& condition, float height) {
    std::fill(values.begin(), values.end(), 0.0f);
    for (const Interval& interval : condition.intervals) {
        // Volumes are 1-based; the predictor holds volume v at index v - 1.
        const std::size_t first = std::size_t(std::max(interval.first, 1)) - 1;
        const std::size_t end = std::min(std::size_t(std::max(interval.last, 0)), values.size());
        for (std::size_t i = first; i < end; ++i) values[i] = height;
    }
}

}  // namespace simtrove::standin
