// The compute phase of a report: from the inputs, already read, to the
// ReportResults that every renderer reads (report_results.h).
//
// The model holds every predictor of the design except the excluded ones,
// then the drift regressors of the high-pass cut-off (drift.h), then a
// constant; it is fitted by ordinary least squares or, for the AR(1) noise
// model, by prewhitening each voxel with its own rho (prewhitening.h). The
// statistics are the predictors, then the contrasts (contrast.h), each tested
// in one tail; when no contrast and no exclusion is given and the predictors
// together nearly reproduce the constant (constantExplained() above kFillsRun:
// the conditions fill the run), the statistics are each predictor against the
// others instead. Thresholds as in summary.h; with a truth map, detections,
// ROC curves and the null calibration over its noise-only voxels.
#pragma once

#include <string>
#include <vector>

#include "analysis/report_results.h"
#include "formats/design_matrix.h"
#include "formats/result.h"

namespace simtrove::analysis {

inline constexpr double kFillsRun = 0.9;

// The inputs of one report, already read.
struct ReportInput {
    std::string dataLabel, designLabel;  // file names shown on the page
    formats::VolumeGrid grid;
    int volumes = 0;
    float repetitionTime = 2.0f;
    std::vector<float> samples;  // VTC layout
    formats::DesignFile design;
    std::vector<std::string> exclude;
    std::vector<std::string> contrasts;
    ThresholdLevels levels;
    NoiseModel noiseModel = NoiseModel::Ols;
    bool smoothAutocorrelation = true;  // AR(1): rho averaged over neighbours
    double highPassSeconds = 0.0;       // 0: none
    Tail tail = Tail::Positive;
    std::string truthLabel;  // empty: no truth map
    std::vector<int> truth;  // labels per voxel, or empty
    SimulationParameters simulation;
    std::string date;  // shown on the page; empty: now
};

formats::Result<ReportResults> analyseReport(const ReportInput& input);

// File-name stem for each statistic name, unique within the list.
std::vector<std::string> fileStems(const std::vector<std::string>& names);

}  // namespace simtrove::analysis
