// The truth of a simulated VTC: which voxels received which predictor's signal.
//
// SignalChoice is what the plug-in was told to simulate, as the host answered
// its prompts: one condition and a cluster centre (VMR position), or one
// predictor per VOI. truthLabels() places the signal exactly as the plug-in's
// signal pass does (the same functions of simulation/signal_geometry.h): one
// label per voxel of the grid, x fastest; 0 where only noise was written, k
// where the signal of predictor k (1-based, the design matrix's column) was
// written last. Positions outside the grid carry no label.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/result.h"
#include "formats/voi_file.h"
#include "formats/vtc_file.h"
#include "simulation/signal_geometry.h"

namespace simtrove::standin {

// Largest predictor number a label can hold (labels are int16).
inline constexpr int kMaxTruthLabel = 32767;

struct SignalChoice {
    enum class Mode { None, Cluster, Vois };
    Mode mode = Mode::None;
    int condition = 0;               // cluster: 0-based predictor index
    std::array<int, 3> centre{};     // cluster: VMR position
    std::vector<int> voiPredictors;  // VOI mode: 0-based predictor per VOI, in order
};

// The grid the plug-in computes for a VTC of this geometry.
simulation::VtcGrid vtcGridOf(const formats::VtcGeometry& geometry);

// Fails when a predictor number does not fit a label (or is below 1).
formats::Result<std::vector<std::int16_t>> truthLabels(const formats::VtcGeometry& geometry,
                                                       const SignalChoice& choice,
                                                       const formats::VoiSet& vois);

}  // namespace simtrove::standin
