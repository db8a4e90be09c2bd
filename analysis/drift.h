// Drift regressors: the discrete cosine basis of a run.
//
// Regressor k (k = 1, 2, ...) is cos(pi k (t + 1/2) / T) over the volumes
// t = 0 .. T-1: a cosine of period 2 T TR / k seconds. A high-pass filter with
// cut-off period P keeps every k whose period is at least P, i.e. k up to
// floor(2 T TR / P); regressed out together with the predictors, they take the
// slow drifts (scanner heating, slow physiology) out of the residuals while the
// contrasts give them no weight.
#pragma once

#include <vector>

namespace simtrove::analysis {

// The regressors of a cut-off of `periodSeconds` (> 0) for `volumes` volumes
// TR `repetitionTime` seconds apart, one vector of `volumes` values each;
// none when the cut-off is longer than twice the run.
std::vector<std::vector<double>> driftRegressors(int volumes, double repetitionTime,
                                                 double periodSeconds);

}  // namespace simtrove::analysis
