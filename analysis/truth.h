// The truth map of a simulation and how a statistic's detections compare
// with it.
//
// The truth map NAME_truth.nii.gz lies beside the data NAME.vtc or
// NAME.nii(.gz): a 3-D NIfTI-1 image on the data's grid whose value is 0 for
// a noise-only voxel and k where the signal of design-matrix column k
// (1-based) was planted. Any integer data type is read; float images are
// read when every value is a whole number.
//
// Against a set of planted voxels (the voxels of the columns a statistic
// tests), a threshold's detections give true positives (detected and
// planted), false positives (detected, noise only), the sensitivity TP /
// planted and the false discovery proportion FP / detected (0 when nothing
// is detected). The ROC curve ranks voxels by |t|: for each cut, the true-
// positive rate TP / planted against the false-positive rate FP / noise
// voxels; its area is the chance that a planted voxel has a larger |t| than
// a noise voxel (ties count half).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analysis/thresholds.h"
#include "formats/result.h"
#include "formats/volume_grid.h"

namespace simtrove::analysis {

// NAME_truth.nii.gz for the data NAME.vtc, NAME.nii or NAME.nii.gz, in the
// data's folder; empty for other names.
std::string truthPathFor(const std::string& dataPath);

// The labels, one per voxel in the grid's voxel order; refuses a map whose
// grid (voxels per axis, start, voxel edge) differs from `grid`, more than
// one volume, and values that are not whole numbers from 0 to
// `maxLabel`.
formats::Result<std::vector<int>> readTruthMap(const std::string& path,
                                               const formats::VolumeGrid& grid, int maxLabel);

// One flag per voxel: its label is one of `labels`.
std::vector<std::uint8_t> plantedVoxels(std::span<const int> truth, const std::vector<int>& labels);

struct Detection {
    std::size_t truePositives = 0;
    std::size_t falsePositives = 0;
    double sensitivity = 0.0;
    double falseDiscoveryProportion = 0.0;
};

// `p`: the p value of every voxel; `planted`: one flag per voxel.
Detection countDetections(std::span<const float> p, const PCut& cut,
                          std::span<const std::uint8_t> planted);

struct RocCurve {
    std::size_t planted = 0, noise = 0;
    double area = 0.0;
    // (false-positive rate, true-positive rate) from (0, 0) to (1, 1), thinned
    // to steps of about 1/1000 on either axis.
    std::vector<std::array<double, 2>> points;
};

RocCurve rocCurve(std::span<const float> t, std::span<const std::uint8_t> planted,
                  Tail tail = Tail::Both);

}  // namespace simtrove::analysis
