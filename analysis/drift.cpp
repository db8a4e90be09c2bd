#include "analysis/drift.h"

#include <cmath>
#include <numbers>

namespace simtrove::analysis {

std::vector<std::vector<double>> driftRegressors(int volumes, double repetitionTime,
                                                 double periodSeconds) {
    std::vector<std::vector<double>> regressors;
    if (volumes < 2 || !(periodSeconds > 0.0) || !(repetitionTime > 0.0)) return regressors;
    const double duration = double(volumes) * repetitionTime;
    // A little slack so that a cut-off equal to a period keeps that cosine.
    const int count = int(std::floor(2.0 * duration / periodSeconds + 1e-9));
    // Never as many as the volumes: the model needs degrees of freedom left.
    for (int k = 1; k <= count && k < volumes - 1; ++k) {
        std::vector<double> r(static_cast<std::size_t>(volumes));
        for (int t = 0; t < volumes; ++t)
            r[std::size_t(t)] = std::cos(std::numbers::pi * k * (t + 0.5) / volumes);
        regressors.push_back(std::move(r));
    }
    return regressors;
}

}  // namespace simtrove::analysis
