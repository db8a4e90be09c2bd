// The figures of a report, drawn with Cairo (canvas.h) from the results
// alone (report_results.h). Statistic maps are shown in the tail tested:
// positive t in inferno, negative t in blues, over the mean image in grey;
// planted voxels (the statistic's truth evaluation) outlined in green.
// Orientation follows the maps' affine (+x right, +y anterior, +z superior),
// shown in neurological convention (the subject's right on the right).
//
// drawDesignMatrix: the model's columns (grey, each scaled from its minimum to
//   its maximum) and their correlations (blue -1 to red +1).
// drawMontage: axial slices across the volume with one colour bar whose ticks
//   belong to each tail that has voxels above the threshold (none: a note).
// drawOrthogonal: the three planes through the planted centre (with a truth
//   evaluation) and through the peak, with L/R/A/P/S/I and millimetres.
// drawProjections: the maximum of t in the tail along each axis.
// drawTimeCourse: the peak voxel over time in seconds, the condition blocks
//   of the tested predictors shaded, with the fitted model; the tested
//   regressor below.
// drawRoc: true-positive rate against the false-positive rate on a
//   logarithmic axis, with the thresholds marked.
// drawCalibration: the histogram of the noise voxels' t with the model's t
//   distribution, and their QQ plot against it.
// drawTsnrSlice: mean / sd in the plane z, viridis, with a colour bar.
#pragma once

#include <string>
#include <vector>

#include "analysis/canvas.h"
#include "analysis/report_results.h"

namespace simtrove::analysis {

Canvas drawDesignMatrix(const ReportResults& results);
// `statistic` indexes results.summary.predictors.
Canvas drawMontage(const ReportResults& results, int statistic);
Canvas drawOrthogonal(const ReportResults& results, int statistic);
Canvas drawProjections(const ReportResults& results, int statistic);
Canvas drawTimeCourse(const ReportResults& results, int statistic);
Canvas drawRoc(const PredictorSummary& statistic);
Canvas drawCalibration(const NullCalibration& calibration, const std::string& name);
Canvas drawTsnrSlice(const ReportResults& results, int z);

// The group of the colour bars' labels in a canvas's texts().
inline constexpr const char* kColourBarGroup = "colour bar";

// Tick values covering [lo, hi] at a 1-2-5 step, about `target` of them.
std::vector<double> niceTicks(double lo, double hi, int target);
// A tick label with as many decimals as the step between ticks needs.
std::string tickLabel(double value, double step);

}  // namespace simtrove::analysis
