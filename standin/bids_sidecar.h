// JSON sidecars in the BIDS convention for the NIfTI files of a simulated run.
//
// dataSidecarJson(): beside NAME.nii[.gz]: "RepetitionTime" (s), "TaskName"
// and "Simulation". truthSidecarJson(): beside NAME_truth.nii.gz: "TaskName",
// "Labels" (0: noise only, k: predictor k's name) and "Simulation".
// "Simulation" records what produced the data: baseline, noise standard
// deviation, signal amplitude in percent of the baseline, the mode with its
// cluster (VMR and grid centre, radius, predictor) or VOIs (name, voxel
// count, predictor, coordinate space), the predictor names in design-matrix
// order, the number of time points, the grid and the fixed seed.
// Both return pretty-printed JSON text ending in a newline.
#pragma once

#include <string>
#include <vector>

#include "formats/voi_file.h"
#include "formats/vtc_file.h"
#include "standin/truth_map.h"

namespace simtrove::standin {

struct SimulationRecord {
    formats::VtcGeometry geometry;
    double repetitionTime = 2.0;  // seconds, as the host used it
    std::string taskName;
    std::vector<std::string> predictors;  // design-matrix column order
    SignalChoice choice;
    formats::VoiSet vois;
};

std::string dataSidecarJson(const SimulationRecord& record);
std::string truthSidecarJson(const SimulationRecord& record);

}  // namespace simtrove::standin
