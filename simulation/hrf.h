// The two-gamma hemodynamic response and the causal convolution with it, as
// the host builds its design matrix and as the scenario engine builds its
// predictors (one implementation for both).
//
// Gamma densities of shape 6 and 16 (scale 1 s), the second subtracted with
// ratio 1/6, sampled every repetition time from 0 to 32 s and scaled to unit
// sum, so that a long block of height h settles at h. Arithmetic in double,
// convolved values stored as float. The convolution never wraps: a value
// depends only on the inputs at or before it.
#pragma once

#include <vector>

namespace simtrove::simulation {

// Span of the sampled response in seconds.
inline constexpr double kHrfSpanSeconds = 32.0;
// The finest sampling step: it bounds the response to 32001 samples.
inline constexpr double kMinHrfRepetitionTime = 0.001;

// The response sampled at 0, tr, 2 tr, ... up to 32 s, with unit sum.
// Expects 0 < tr <= 10 s; a sampling too coarse to give a positive sum yields
// the single sample {1} (no smoothing) rather than a sign flip, and so does a
// tr that is not finite or below kMinHrfRepetitionTime.
std::vector<double> twoGammaHrf(double repetitionTime);

// Causal convolution: y[n] = sum over k <= n of hrf[k] * x[n - k].
void convolve(std::vector<float>& values, const std::vector<double>& hrf);

}  // namespace simtrove::simulation
