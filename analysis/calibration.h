// How well a statistic's p values hold their nominal level on noise: the null
// calibration of a report, over the voxels that the truth map marks as noise
// only.
//
// At each nominal level a (kCalibrationLevels), the false-positive rate is the
// share of those voxels with p < a; its 95 % interval is the Wilson score
// interval of that share. The rate is "as expected" when the interval holds a.
// (Voxels whose noise is spatially smooth are not independent, so the
// interval is then too narrow.) The histogram of their t over kHistogramBins
// equal bins from -kHistogramRange to +kHistogramRange comes with the counts
// the model's t distribution expects; the QQ points pair observed quantiles
// with the t distribution's. For a run without any planted voxel, also the
// family-wise error (any voxel passes Bonferroni) and the false discovery
// proportion of the FDR threshold's detections (every one is false: 1 when
// something is detected, none otherwise).
//
// zFromP gives the standard normal value with the same upper-tail p: the
// z-maps of the report, z = -Phi^-1(p) for a one-sided p (the sign of t for
// both tails). Where p underflows to 0, |z| is kMaxZ.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/thresholds.h"

namespace simtrove::analysis {

inline constexpr double kCalibrationLevels[] = {0.05, 0.01, 0.001};
inline constexpr int kHistogramBins = 40;
inline constexpr double kHistogramRange = 6.0;
inline constexpr double kMaxZ = 38.0;

struct CalibrationLevel {
    double nominal = 0.0;
    std::size_t above = 0;         // noise voxels with p below nominal
    double rate = 0.0;             // above / noise voxels
    double low = 0.0, high = 0.0;  // 95 % Wilson interval of the rate
    bool asExpected = true;        // nominal lies inside [low, high]
};

struct NullCalibration {
    std::size_t noiseVoxels = 0;
    std::vector<CalibrationLevel> levels;  // in the order of kCalibrationLevels
    std::vector<double> histogramEdges;    // kHistogramBins + 1 edges in t
    std::vector<std::size_t> histogramCounts;
    std::vector<double> histogramExpected;           // under the model's t distribution
    std::vector<std::array<double, 2>> qq;           // (t quantile of the model, observed t)
    bool signalFree = false;                         // no voxel of the run is planted
    std::optional<bool> familyWiseError;             // signal-free runs: any voxel above Bonferroni
    std::optional<double> falseDiscoveryProportion;  // signal-free runs with FDR detections
};

// `t`, `p` (in the statistic's tail): every voxel's; `noise`: one flag per
// voxel, set for the voxels that carry no signal. `bonferroni` and `fdr` are
// the statistic's cuts.
NullCalibration calibrate(std::span<const float> t, std::span<const float> p,
                          std::span<const std::uint8_t> noise, std::uint32_t df,
                          const PCut& bonferroni, const PCut& fdr);

// "ordinary least squares on this run's data: 14.2 % of the noise voxels above
// p < 0.05 where 5 % is expected" for a level outside its interval, else
// "... 5.1 % ..., as expected (95 % interval 4.2 to 6.0 %)". `model` names the
// noise model.
std::string calibrationSentence(const std::string& model, const CalibrationLevel& level);

// The 95 % Wilson score interval of `k` successes in `n` trials.
std::array<double, 2> wilsonInterval(std::size_t k, std::size_t n);

// The standard normal quantile Phi^-1(u), 0 < u < 1 (to about 1e-15).
double normalQuantile(double u);
// z of t with its p in `tail` (see above).
float zFromP(float t, float p, Tail tail);

}  // namespace simtrove::analysis
