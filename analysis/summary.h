// The figures of a report, drawn from the voxel maps of a GLM fit.
//
// For each statistic (each predictor, then each contrast): the voxel with the
// strongest t in the tail tested (largest t, smallest t, or largest |t|; the
// first one on ties) with its p in that tail (thresholds.h); the voxels whose
// p is below the Bonferroni threshold alpha / (all voxels of the VTC), split
// by the sign of t; the mean percent signal change over those
// voxels, effect / constant * 100 (voxels with a zero constant are left out;
// none left: no value); and the voxels above each of the three thresholds.
// With a truth map, a statistic that tests planted columns also gets its
// detections against the truth at each threshold and its ROC curve. The
// overall tSNR is the median of mean / sd over the voxels with a positive mean
// and a non-zero sd (0 when there is none).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/glm.h"
#include "analysis/thresholds.h"
#include "analysis/truth.h"
#include "formats/volume_grid.h"

namespace simtrove::analysis {

// The voxels of one statistic above one threshold.
struct ThresholdCount {
    ThresholdKind kind = ThresholdKind::Bonferroni;
    double level = 0.0;  // alpha, q or P
    PCut cut;
    float tCut = 0.0f;  // the |t| of the cut (for display; 0 when nothing passes)
    std::size_t voxels = 0, positive = 0, negative = 0;
    std::optional<Detection> truth;
};

// How a statistic that tests planted signal compares with the truth.
struct TruthEvaluation {
    std::vector<int> labels;            // the design-matrix columns it tests
    std::vector<std::uint8_t> planted;  // one flag per voxel
    std::size_t plantedVoxels = 0;
    RocCurve roc;
};

struct PredictorSummary {
    std::string name;
    std::string expression;  // contrasts only
    bool contrast = false;
    int statistic = 0;  // its t map among the maps' statistics
    std::size_t peakVoxel = 0;
    float peakT = 0.0f;
    float peakP = 1.0f;
    std::array<int, 3> peakGrid{};
    std::array<int, 3> peakVmr{};
    std::size_t voxelsAbove = 0;
    std::size_t positiveAbove = 0;
    std::size_t negativeAbove = 0;
    std::optional<double> meanPercentChange;
    double varianceInflation = 0.0;          // from the model when summarise() has it, else 0
    std::vector<std::uint8_t> above;         // one flag per voxel: p below the Bonferroni threshold
    std::vector<float> p;                    // p of every voxel in the tail tested
    std::vector<ThresholdCount> thresholds;  // in the order of kThresholdKinds
    std::optional<TruthEvaluation> truth;
};

struct ReportSummary {
    std::size_t voxels = 0;
    int volumes = 0;
    std::uint32_t degreesOfFreedom = 0;
    double alpha = kDefaultAlpha;
    ThresholdLevels levels;
    Tail tail = Tail::Both;
    double pThreshold = 0.0;  // alpha / voxels
    float tThreshold = 0.0f;  // critical t (|t| for both tails) of pThreshold (for display)
    double tsnr = 0.0;
    std::vector<float> tsnrMap;  // mean / sd per voxel, 0 where sd is 0
    bool hasTruth = false;
    std::vector<PredictorSummary> predictors;  // every statistic: predictors, then contrasts
};

// What summarise() may know beyond the maps.
struct SummaryContext {
    const GlmModel* model = nullptr;       // supplies each predictor's variance inflation
    std::vector<std::string> expressions;  // one per contrast
    std::span<const int> truth;            // truth labels per voxel; empty: no truth map
    std::vector<std::vector<int>> tested;  // per statistic: the design-matrix columns it tests
    Tail tail = Tail::Both;                // of every statistic
};

// `names` holds one name per statistic of the fit.
ReportSummary summarise(const GlmMaps& maps, const formats::VolumeGrid& grid, int volumes,
                        const std::vector<std::string>& names, const ThresholdLevels& levels = {},
                        const SummaryContext& context = {});

}  // namespace simtrove::analysis
