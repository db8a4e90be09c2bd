// The files of a simulated run, written beside each other.
//
// Into `folder` (created when missing): NAME.nii.gz (float32, 4-D), NAME.json
// (BIDS sidecar: RepetitionTime, TaskName, Simulation = the filled-in
// scenario, Realised), NAME_truth.nii.gz (int16 labels) and NAME_truth.json
// (Labels, Simulation), NAME_events.tsv, NAME_design.rtc (the design matrix)
// and, when the run kept its components, NAME_desc-COMPONENT.nii.gz for the
// signal and each noise component. Every file goes through a temporary name
// and appears only when complete.
#pragma once

#include <string>
#include <vector>

#include "scenario/generator.h"

namespace simtrove::scenario {

// Empty on success, else the first problem ("PATH: cannot write ...").
// `written` receives the paths written, in order.
std::string writeRunFiles(const SimulatedRun& run, const std::string& folder,
                          std::vector<std::string>* written = nullptr);

// The data's sidecar and the truth map's, as written.
nlohmann::json dataSidecar(const SimulatedRun& run);
nlohmann::json truthSidecar(const SimulatedRun& run);

}  // namespace simtrove::scenario
