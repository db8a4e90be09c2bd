// The files written beside a saved VTC so that other tools see what was
// simulated and how.
//
// For a VTC saved as BASE.vtc, BASE.nii or BASE.nii.gz:
//   BASE_truth.nii.gz  the truth map (truth_map.h) as an int16 NIfTI image with
//                      the geometry of the data's NIfTI copy;
//   BASE_truth.json    its sidecar (bids_sidecar.h);
//   BASE_events.tsv    the protocol as a BIDS events table (seconds);
//   BASE_design.rtc    the run's design matrix (the report finds it by name);
//   BASE.json          the data's sidecar, when BASE.nii[.gz] was written.
// Builds without the NIfTI library write only the events table and the design
// matrix. Each file appears whole under its name or is reported ("PATH: cannot
// write KIND: reason"); one failure does not stop the others.
#pragma once

#include <string>
#include <vector>

#include "formats/protocol.h"
#include "standin/bids_sidecar.h"

namespace simtrove::standin {

struct CompanionFiles {
    std::vector<std::string> written;   // paths, in the order written
    std::vector<std::string> problems;  // "PATH: cannot write...: reason"
};

// BASE of a saved path: the name without ".vtc", ".nii" or ".nii.gz".
std::string companionBase(const std::string& savedPath);

CompanionFiles writeCompanionFiles(const std::string& base, bool niftiWritten,
                                   const SimulationRecord& record,
                                   const formats::Protocol& protocol,
                                   const std::string& designMatrix);

}  // namespace simtrove::standin
