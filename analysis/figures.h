// The pictures of the report, drawn in memory.
//
// drawDesignMatrix: one grey column per predictor and one for the constant,
//   volumes downwards, each column scaled from its minimum (black) to its
//   maximum (white), with a volume axis and a numbered legend of the names.
// drawSlices: three orthogonal planes through the strongest voxel of one
//   statistic: the mean image in grey, the voxels above the threshold coloured
//   by t (inferno for positive, blues for negative t), the outline of the
//   planted voxels when the statistic has a truth evaluation, a cross-hair on
//   that voxel, orientation arrows and a colour bar in t.
// drawTimeCourse: the voxel's samples and the fitted model over the volumes,
//   with the predictor (or a contrast's weighted sum of predictors) in a panel
//   below; labelled axes and a legend.
// drawRoc: the ROC curve of one statistic (true-positive rate against
//   false-positive rate) with the chance diagonal, its area in the title and
//   a marker at each threshold.
// drawTsnrSlice: mean / sd of the X-Y plane z in viridis with a colour bar.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "analysis/glm.h"
#include "analysis/image.h"
#include "analysis/summary.h"
#include "formats/volume_grid.h"

namespace simtrove::analysis {

// `predictors`: one column of `volumes` values per name, column after column.
// `statistic`: an entry of summary.predictors.
RgbImage drawDesignMatrix(const std::vector<std::string>& names, std::span<const float> predictors,
                          int volumes);

// `mean`: the temporal mean of every voxel, `t` the statistic's map.
RgbImage drawSlices(const formats::VolumeGrid& grid, std::span<const float> mean,
                    std::span<const float> t, const ReportSummary& summary, int statistic);

// The time course `series` of `voxel` with the model's fit and the tested
// regressor (the predictor or the contrast's weighted sum), all of one length.
RgbImage drawTimeCourse(const formats::VolumeGrid& grid, std::size_t voxel, const std::string& name,
                        bool contrast, float tValue, std::span<const double> series,
                        std::span<const double> fitted, std::span<const double> regressor);

RgbImage drawRoc(const PredictorSummary& statistic);

RgbImage drawTsnrSlice(const formats::VolumeGrid& grid, const ReportSummary& summary, int z);

// Tick values covering [lo, hi] at a 1-2-5 step, about `target` of them.
std::vector<double> niceTicks(double lo, double hi, int target);
// A tick label with as many decimals as the step between ticks needs.
std::string tickLabel(double value, double step);

}  // namespace simtrove::analysis
