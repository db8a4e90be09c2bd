// A saved run of the plug-in written as a one-run BIDS dataset
// (formats/bids_dataset.h): subject "01", the task named after the protocol
// file, the data, the events, the truth map with the predictors' names as its
// labels, the design matrix, and the simulation record as the run's
// derivatives/simtrove/..._realised.json. The plug-in's own files (VTC,
// design matrix, protocol, log, the companions of the saved VTC) are listed
// in .bidsignore, so that DIR may also be the stand-in's --out folder.
// The images have the centred RAS placement of formats/nifti.h's ImageSpace
// (the VTC's own NIfTI copy keeps the VMR placement). Builds without the
// NIfTI library refuse with a message.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "formats/design_matrix.h"
#include "formats/protocol.h"
#include "standin/bids_sidecar.h"

namespace simtrove::standin {

struct BidsCopy {
    std::vector<std::string> written;  // the BOLD image, then the dataset description
    std::string problem;               // empty on success
};

// `savedBase`: the saved VTC's name without folder and extension.
BidsCopy writeBidsCopy(const std::string& directory, const std::string& savedBase,
                       const SimulationRecord& record, const formats::Protocol& protocol,
                       const std::vector<formats::Predictor>& predictors,
                       std::span<const float> samples);

}  // namespace simtrove::standin
