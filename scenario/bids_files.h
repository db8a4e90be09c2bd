// Every subject and run of a scenario written as one BIDS dataset
// (formats/bids_dataset.h), run after run so that only one run is in memory.
//
// Subjects sub-01 ..., runs run-1 ... (no run entity when there is one run),
// each generated from its run scenario (scenario/group.h). Per run the data,
// the events, the truth (labels = design columns, named after them), the
// design matrix, with options.components the signal and every noise
// component (desc-signal, desc-system, ...), and realised.json = {"Realised",
// "Variability" (the run's draws), "Simulation" (the run's scenario)}; per
// subject the subject's draws; the group truth is the regions before any shift.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "scenario/generator.h"

namespace simtrove::scenario {

// Called after each run with the runs done and the runs in all.
using RunProgress = std::function<void(int done, int total)>;

// Empty on success, else the first problem. A folder holding a subject that
// the dataset does not have is refused before anything is written. `written` receives each run's
// BOLD image and, at the end, the dataset description.
std::string writeBidsDataset(const Scenario& scenario, const std::string& directory,
                             const GenerateOptions& options,
                             std::vector<std::string>* written = nullptr,
                             const RunProgress& progress = {});

}  // namespace simtrove::scenario
