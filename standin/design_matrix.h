// The host's design matrix: named predictors, each one value per VTC volume.
//
// Predictors are numbered from 0 in the order they were added. A predictor is
// filled from a protocol condition (the height inside its intervals, 0 outside)
// and convolved with the two-gamma hemodynamic response: gamma densities of
// shape 6 and 16 (scale 1 s), the second subtracted with ratio 1/6, sampled
// every repetition time from 0 to 32 s and scaled to unit sum, so that a long
// block settles at its height. Arithmetic in double, values stored as float.
// The file it is saved as is formats/design_matrix.h's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "formats/design_matrix.h"
#include "formats/protocol.h"

namespace simtrove::standin {

// Span of the sampled response in seconds.
inline constexpr double kHrfSpanSeconds = 32.0;
// The finest sampling step: it bounds the response to 32001 samples.
inline constexpr double kMinHrfRepetitionTime = 0.001;

class DesignMatrix {
  public:
    void clear() { predictors_.clear(); }
    // Appends a zero predictor of `volumes` values; returns its index.
    std::size_t add(const std::string& name, std::size_t volumes);
    // The first predictor of that name, or null.
    formats::Predictor* find(const std::string& name);
    // Null when there is no predictor with that index.
    formats::Predictor* at(int index);
    const std::vector<formats::Predictor>& predictors() const { return predictors_; }

  private:
    std::vector<formats::Predictor> predictors_;
};

// The response sampled at 0, tr, 2 tr, ... up to 32 s, with unit sum.
// Expects 0 < tr <= 10 s; a sampling too coarse to give a positive sum yields
// the single sample {1} (no smoothing) rather than a sign flip, and so does a
// tr that is not finite or below kMinHrfRepetitionTime.
std::vector<double> twoGammaHrf(double repetitionTime);

// height in the condition's volumes (clipped to the predictor), 0 elsewhere.
void fillFromCondition(std::vector<float>& values, const formats::Condition& condition,
                       float height);

// Causal convolution: y[n] = sum over k <= n of hrf[k] * x[n - k].
void convolve(std::vector<float>& values, const std::vector<double>& hrf);

}  // namespace simtrove::standin
