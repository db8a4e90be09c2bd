// report.json: the figures of the page for scripts.
//
// One object: "data", "design", "grid" {"dims", "start", "resolution"},
// "volumes", "voxels", "degrees_of_freedom", "alpha", "p_threshold",
// "t_threshold", "tsnr", "images" {"design", "tsnr"}, and "predictors", one
// object per predictor with "name", "peak" {"t", "p", "grid", "vmr"},
// "voxels_above", "positive_above", "negative_above",
// "mean_percent_signal_change" (null when no voxel is above the threshold),
// "variance_inflation", "t_map" and "images" {"slices", "time_course"}. Non-finite numbers are
// written as null; strings are escaped as JSON requires.
#pragma once

#include <string>
#include <string_view>

#include "analysis/report_page.h"
#include "analysis/summary.h"

namespace simtrove::analysis {

std::string formatJsonReport(const ReportPage& page, const ReportSummary& summary);

// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);

}  // namespace simtrove::analysis
