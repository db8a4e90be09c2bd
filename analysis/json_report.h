// report.json: the results of the page for scripts.
//
// One object: "data", "design", "truth" (the truth map's file name or null),
// "program_version", "date", "simulation" {"sidecar" (or null), "parameters"
// (name: value text), "components" [{"name", "requested_sd", "realised_sd"}]},
// "grid" {"dims", "start", "resolution"}, "volumes", "repetition_time",
// "voxels", "model" {"noise_model" ("ols" or "ar1"), "high_pass_seconds" (or
// null), "tail", "smoothed_autocorrelation", "columns", "column_kinds",
// "correlations" (columns x columns, row after row; null with the constant),
// "rank", "white_noise_autocorrelation", "median_autocorrelation"},
// "degrees_of_freedom", "alpha", "fdr_q", "p_uncorrected", "p_threshold" and
// "t_threshold" (Bonferroni), "tsnr", "automatic_contrasts",
// "images" {"design", "tsnr"}, and "predictors", one object per statistic
// (predictors, then contrasts) with "name", "kind" ("predictor" or
// "contrast"), "expression" (null for a predictor), "weights" (one per model
// column), "peak" {"t", "p", "grid", "vmr"}, "voxels_above",
// "positive_above", "negative_above" (Bonferroni),
// "mean_percent_signal_change" (null when no voxel is above the threshold),
// "variance_inflation" (null for a contrast), "thresholds" (one object per
// threshold: "method", "level", "p_cut", "inclusive", "t_cut", "voxels",
// "positive", "negative", and with a truth map "true_positives",
// "false_positives", "sensitivity", "false_discovery_proportion"), "truth"
// (null, or "columns", "planted_voxels", "roc" {"area", "planted", "noise",
// "points"}), "calibration" (null without a truth map, else "noise_voxels",
// "levels" [{"nominal", "above", "rate", "interval", "as_expected"}],
// "histogram" {"edges", "counts", "expected"}, "qq", "signal_free",
// "family_wise_error", "false_discovery_proportion"), "clusters" [{"voxels",
// "peak_t", "peak_grid", "peak_mm", "centre_mm", "planted_voxels"}], "t_map",
// "z_map", "p_map" and "images" {"slices", "planes", "projections", "time_course", "roc",
// "calibration"} (null where not drawn). Non-finite
// numbers are written as null; invalid UTF-8 in names is replaced.
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
