// The host's design matrix: named predictors, each one value per VTC volume.
//
// Predictors are numbered from 0 in the order they were added. A predictor is
// filled from a protocol condition (the height inside its intervals, 0 outside)
// and convolved with the two-gamma hemodynamic response of simulation/hrf.h.
// The file it is saved as is formats/design_matrix.h's.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "formats/design_matrix.h"
#include "formats/protocol.h"
#include "simulation/hrf.h"

namespace simtrove::standin {

// The response and the convolution are the simulation's (one implementation).
using simulation::convolve;
using simulation::kHrfSpanSeconds;
using simulation::kMinHrfRepetitionTime;
using simulation::twoGammaHrf;

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

// height in the condition's volumes (clipped to the predictor), 0 elsewhere.
void fillFromCondition(std::vector<float>& values, const formats::Condition& condition,
                       float height);

}  // namespace simtrove::standin
