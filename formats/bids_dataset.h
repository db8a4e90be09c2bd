// Simulated runs written as a BIDS dataset, with the truth as a derivative
// dataset inside it.
//
//   DIR/dataset_description.json, README, participants.tsv + .json, .bidsignore
//   DIR/task-LABEL_bold.json, task-LABEL_events.json   when all runs of the task share them
//   DIR/sub-S/func/sub-S_task-LABEL[_run-N]_bold.nii.gz, _events.tsv (onset order)
//                                           [_bold.json, _events.json when not shared]
//   DIR/derivatives/simtrove/dataset_description.json  (DatasetType "derivative")
//   DIR/derivatives/simtrove/desc-truth_dseg.nii.gz + .tsv   group truth, when given
//   DIR/derivatives/simtrove/sub-S/sub-S_variability.json    a subject's draws, when given
//   DIR/derivatives/simtrove/sub-S/func/sub-S_task-LABEL[_run-N]_
//        desc-truth_dseg.nii.gz + desc-truth_dseg.tsv   the run's truth and its labels
//        desc-NAME_bold.nii.gz + .json                  each component, when given
//        design.tsv                                     the design matrix
//        realised.json                                  what was measured, when given
//
// Labels (subject, task, component names) keep letters and digits only;
// "TaskName" keeps the name as given. The run entity is written when a run
// number is given (run >= 1). Runs are written as they come (writeRun), so
// a caller can drop each run's samples once written; finish() writes the
// dataset-level files, which depend on every run. Every file goes through a
// temporary name (formats/output_file.h). Errors: "PATH: cannot write ...".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/nifti.h"
#include "formats/protocol.h"

namespace simtrove::formats {

// Letters and digits of `name`, in order ("simtrove_block" -> "simtroveblock").
std::string bidsLabel(std::string_view name);

// The protocol as a BIDS events table in onset order (ties: design order):
// "onset", "duration" in seconds (volume k starts at (k - 1) * tr) and
// "trial_type". parseEventsTsv() reads it back; conditions come out in the
// order of their first onset, and in design order when the reader also has
// the events sidecar's trial_type levels (formats/bids_design.h).
std::string formatEventsTsvInOnsetOrder(const Protocol& protocol, double repetitionTime);

struct SeriesImage {
    std::string name;                // becomes desc-LABEL
    std::string description;         // the sidecar's "Description"
    std::span<const float> samples;  // as the data
};

struct DesignTable {
    std::vector<std::string> columns;
    std::vector<double> values;  // row after row: volumes x columns
};

struct BidsRun {
    std::string subject;              // made a label
    int run = 0;                      // 1, 2, ...; 0 writes no run entity
    std::string task;                 // TaskName; its label names the files
    double repetitionTime = 2.0;      // seconds
    std::vector<double> sliceTiming;  // seconds per slice; empty: none
    ImageSpace space;                 // its repetitionTime is ignored: repetitionTime above
    std::int64_t volumes = 0;
    std::span<const float> data;          // volume after volume, x fastest (the NIfTI order)
    Protocol protocol;                    // the design, in volumes
    std::span<const std::int16_t> truth;  // one label per voxel, x fastest
    std::vector<std::string> truthNames;  // names of labels 1, 2, ...
    std::vector<SeriesImage> components;  // the signal and the noise components
    DesignTable design;
    std::string realisedJson;  // a JSON object's text; empty: none
};

struct DatasetInfo {
    std::string name;                 // "Name" of both datasets
    std::string generatorName;        // "GeneratedBy"
    std::string generatorVersion;     // "GeneratedBy"
    std::string readme;               // paragraphs added to the README
    std::vector<std::string> ignore;  // .bidsignore patterns beyond the derivatives
};

struct GroupTruth {
    ImageSpace space;
    std::vector<std::int16_t> labels;
    std::vector<std::string> names;  // of labels 1, 2, ...
};

class BidsDatasetWriter {
  public:
    BidsDatasetWriter(std::string directory, DatasetInfo info);

    // The run's files; empty on success, else the first failure.
    std::string writeRun(const BidsRun& run);
    // derivatives/simtrove/sub-S/sub-S_variability.json from a JSON object's text.
    std::string writeSubjectDraws(const std::string& subject, const std::string& json);
    // The dataset-level files; empty on success.
    std::string finish(const std::optional<GroupTruth>& group);

    // The path of a run's BOLD image below the dataset (for messages and tests).
    static std::string runStem(const BidsRun& run);

  private:
    struct Sidecars {
        std::string taskLabel;
        std::string funcFolder;  // below the dataset
        std::string stem;        // sub-S_task-T[_run-N]
        std::string bold;        // JSON text
        std::string events;      // JSON text
    };
    std::string directory_;
    DatasetInfo info_;
    std::vector<std::string> subjects_;  // in the order first written
    std::vector<Sidecars> sidecars_;
};

}  // namespace simtrove::formats
