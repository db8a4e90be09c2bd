// The figures of a report, drawn from the voxel maps of a GLM fit.
//
// For each predictor: the voxel with the largest |t| (the first one on ties)
// with its two-tailed p from t_prob; the voxels whose p is below the
// Bonferroni threshold alpha / (all voxels of the VTC), split by the sign of t;
// and the mean percent signal change over those voxels, coefficient /
// constant * 100 (voxels with a zero constant are left out; none left: no
// value). The overall tSNR is the median of mean / sd over the voxels with a
// positive mean and a non-zero sd (0 when there is none).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/glm.h"
#include "analysis/volume_grid.h"

namespace simtrove::analysis {

inline constexpr double kDefaultAlpha = 0.05;

struct PredictorSummary {
    std::string name;
    std::size_t peakVoxel = 0;
    float peakT = 0.0f;
    float peakP = 1.0f;
    std::array<int, 3> peakGrid{};
    std::array<int, 3> peakVmr{};
    std::size_t voxelsAbove = 0;
    std::size_t positiveAbove = 0;
    std::size_t negativeAbove = 0;
    std::optional<double> meanPercentChange;
    double varianceInflation = 0.0;   // from the model when summarise() has it, else 0
    std::vector<std::uint8_t> above;  // one flag per voxel: p below the threshold
};

struct ReportSummary {
    std::size_t voxels = 0;
    int volumes = 0;
    std::uint32_t degreesOfFreedom = 0;
    double alpha = kDefaultAlpha;
    double pThreshold = 0.0;  // alpha / voxels
    float tThreshold = 0.0f;  // critical |t| of pThreshold (for display)
    double tsnr = 0.0;
    std::vector<float> tsnrMap;  // mean / sd per voxel, 0 where sd is 0
    std::vector<PredictorSummary> predictors;
};

// `names` holds one name per predictor of the fit; `model`, when given, is the
// model of the fit and supplies the variance inflation of each predictor.
ReportSummary summarise(const GlmMaps& maps, const VolumeGrid& grid, int volumes,
                        const std::vector<std::string>& names, double alpha = kDefaultAlpha,
                        const GlmModel* model = nullptr);

}  // namespace simtrove::analysis
