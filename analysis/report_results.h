// The results of one report: everything the analysis computes and the
// renderers (page, figures, statistic maps, report.json) read. Produced once
// by analyseReport() (report_analysis.h); nothing here refers back to the
// inputs, so the structure can be handed to other languages as it is (plain
// vectors, strings, numbers and nested structures). Voxel maps hold one value
// per voxel in the grid's voxel order (x fastest); the design holds one column
// of `volumes` values after another.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/calibration.h"
#include "analysis/clusters.h"
#include "analysis/simulation_sidecar.h"
#include "analysis/summary.h"
#include "analysis/thresholds.h"
#include "formats/volume_grid.h"

namespace simtrove::analysis {

// How each voxel's noise is modelled: independent samples (ordinary least
// squares) or a first-order autoregressive process (prewhitening.h).
enum class NoiseModel { Ols, Ar1 };
// "ols", "ar1"; parseNoiseModel() the reverse (false: unknown).
std::string noiseModelName(NoiseModel model);
bool parseNoiseModel(const std::string& text, NoiseModel* model);
// "ordinary least squares", "AR(1) prewhitening".
std::string noiseModelDescription(NoiseModel model);

struct ReportSource {
    std::string dataFile, designFile, truthFile;  // file names; truth empty: none
    formats::VolumeGrid grid;
    int volumes = 0;
    double repetitionTime = 0.0;  // seconds
    SimulationParameters simulation;
    std::string programVersion;
    std::string date;  // UTC, ISO 8601
};

struct ModelResult {
    NoiseModel noiseModel = NoiseModel::Ols;
    double highPassSeconds = 0.0;  // 0: no drift regressors
    Tail tail = Tail::Positive;
    bool smoothedAutocorrelation = false;
    // Every column: the predictors, the drift regressors, the constant.
    std::vector<std::string> columns;
    std::vector<std::string> columnKinds;  // "predictor", "drift", "constant"
    int predictors = 0, driftRegressors = 0;
    std::vector<double> design;        // columns x volumes, as fitted before any prewhitening
    std::vector<double> correlations;  // columns x columns, Pearson r; NaN with a constant column
    int rank = 0;
    std::uint32_t degreesOfFreedom = 0;
    double constantExplained = 0.0;
    bool automaticContrasts = false;  // each condition against the others
    // The lag-one autocorrelation of OLS residuals that white noise gives on
    // average (the bias corrected for), and the median corrected rho over the
    // voxels with varying data (both models estimate it).
    double whiteNoiseAutocorrelation = 0.0;
    double medianAutocorrelation = 0.0;
};

// One statistic beyond its summary (summary.predictors[j] of the results).
struct StatisticResult {
    std::vector<double> weights;  // over the model's columns (a predictor: 1 on its column)
    std::vector<float> t, z;      // voxel maps; p is in the summary
    std::optional<NullCalibration> calibration;  // with a truth map
    std::vector<Cluster> clusters;               // above the Bonferroni threshold
    // The peak voxel's data, the full model's fit and the tested part of the
    // design (the predictor, or the contrast's weighted sum of columns).
    std::vector<double> peakSeries, peakFitted, peakRegressor;
};

struct ReportResults {
    ReportSource source;
    ModelResult model;
    ReportSummary summary;                    // thresholds and truth evaluation per statistic
    std::vector<StatisticResult> statistics;  // parallel to summary.predictors
    std::vector<std::string> stems;           // file-name stem of each statistic
    std::vector<float> mean;                  // temporal mean
    std::vector<float> autocorrelation;       // rho per voxel
    std::vector<int> truth;                   // labels, empty without a truth map
};

}  // namespace simtrove::analysis
