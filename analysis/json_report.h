// report.json: the figures of the page for scripts.
//
// One object: "data", "design", "truth" (the truth map's file name or null),
// "grid" {"dims", "start", "resolution"}, "volumes", "voxels",
// "degrees_of_freedom", "alpha", "fdr_q", "p_uncorrected", "p_threshold" and
// "t_threshold" (Bonferroni), "tsnr", "automatic_contrasts",
// "images" {"design", "tsnr"}, and "predictors", one object per statistic
// (predictors, then contrasts) with "name", "kind" ("predictor" or
// "contrast"), "expression" (contrasts), "peak" {"t", "p", "grid", "vmr"},
// "voxels_above", "positive_above", "negative_above" (Bonferroni),
// "mean_percent_signal_change" (null when no voxel is above the threshold),
// "variance_inflation", "thresholds" (one object per threshold: "method",
// "level", "p_cut", "inclusive", "t_cut", "voxels", "positive", "negative",
// and with a truth map "true_positives", "false_positives", "sensitivity",
// "false_discovery_proportion"), "truth" (null, or "columns",
// "planted_voxels", "roc" {"area", "planted", "noise", "points"}), "t_map"
// and "images" {"slices", "time_course", "roc"}. Non-finite numbers are
// written as null; invalid UTF-8 in names is replaced.
#pragma once

#include <string>
#include <string_view>

#include "analysis/report_page.h"
#include "analysis/report_results.h"

namespace simtrove::analysis {

std::string formatJsonReport(const ReportPage& page, const ReportResults& results);

// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);

}  // namespace simtrove::analysis
