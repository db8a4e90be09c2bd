// The design of one run of an existing BIDS dataset: its events and its
// repetition time, so that data can be simulated with a real study's design.
//
// The run is found in DIR/sub-S[/ses-*]/func/ as the one events table
// sub-S[_ses-X]_task-T[_ENTITY-VALUE...][_run-N]_events.tsv whose run number
// equals `run` (run-01 and run-1 are the same; a file without a run entity is
// run 1). Zero or several matches are errors that list what there is.
// The repetition time is "RepetitionTime" of the run's _bold.json after the
// inheritance principle: every _bold.json from the dataset's top down to the
// run's folder whose entities all belong to the run, the more specific
// overriding the less. The events are read by parseEventsTsv(); when an
// events sidecar found the same way lists "trial_type" "Levels", conditions
// follow that order (and a level without events becomes a condition without
// intervals), otherwise the order of their first onset.
#pragma once

#include <string>

#include "formats/protocol.h"
#include "formats/result.h"

namespace simtrove::formats {

struct BidsDesign {
    Protocol protocol;
    double repetitionTime = 0.0;  // seconds
    std::string eventsPath;       // the table that was read
};

Result<BidsDesign> readBidsDesign(const std::string& directory, const std::string& subject,
                                  const std::string& task, int run);

}  // namespace simtrove::formats
