// NIfTI-1 images (.nii, or .nii.gz compressed) through the system's NIfTI
// library: a VTC written as a 4-D image (float32), labels on its grid as a 3-D
// image (int16), and 3-D or 4-D images read back as volume time courses.
// Builds without the library (Windows) refuse every call with a message.
//
// Writing: dimensions DimX x DimY x DimZ x T; voxel size = resolution in mm (VMR voxels
// are 1 mm); time step = repetition time in s. Voxel (i, j, k) lies at VMR
// position (XStart + i*R, YStart + j*R, ZStart + k*R): the affine is
// diag(R, R, R) with that origin, given as both qform and sform. Both images
// carry the same header geometry (pixdim, qform, sform).
//
// Reading: the samples come back in the VTC layout (the time course of each
// voxel contiguous), converted to float with the file's scaling (scl_slope,
// scl_inter) applied; a 3-D image is one volume. The grid: voxels per axis
// from dim[1..3], the voxel edge from pixdim[1] rounded to a whole number of
// millimetres (at least 1), and the start from the translation of the sform
// (or the qform when there is no sform) rounded to whole millimetres. Images
// with more than four dimensions, unsupported data types or more than
// kMaxVtcSamples samples are refused.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/result.h"
#include "formats/volume_grid.h"
#include "formats/vtc_file.h"

namespace simtrove::formats {

bool hasNiftiExtension(const std::string& path);

// Empty on success, else "PATH: cannot write NIfTI: reason". `samples` in the
// VTC layout (time fastest); the image is written volume by volume.
std::string writeNiftiFile(const std::string& path, const VtcGeometry& geometry,
                           std::span<const float> samples);

// One label per voxel, x fastest (DimX x DimY x DimZ values); scl_slope 1,
// scl_inter 0. Errors as writeNiftiFile.
std::string writeNiftiLabelImage(const std::string& path, const VtcGeometry& geometry,
                                 std::span<const std::int16_t> labels);

// Images of simulated runs on a grid in millimetres: RAS axes and the grid's
// centre at world (0, 0, 0), as viewers and templates expect. Voxel (i, j, k)
// lies at ((i - (X - 1) / 2) dx, (j - (Y - 1) / 2) dy, (k - (Z - 1) / 2) dz),
// given as both qform and sform (code "scanner"). Every size at most 32767.
struct ImageSpace {
    std::array<std::int64_t, 3> dims{1, 1, 1};
    std::array<double, 3> voxelMm{1.0, 1.0, 1.0};
    double repetitionTime = 0.0;  // seconds between volumes (4-D images)
};

// The 4 x 4 voxel-to-world matrix above, rows first.
std::array<std::array<double, 4>, 4> centredAffine(const ImageSpace& space);

// `volumes` holds `timePoints` volumes one after another, x fastest within each
// (the file's own order, written as it is). float32, Huffman-coded when the name
// ends in .gz. Errors as writeNiftiFile.
std::string writeNiftiVolumes(const std::string& path, const ImageSpace& space,
                              std::span<const float> volumes, std::int64_t timePoints,
                              const std::string& description);

// One int16 label per voxel, x fastest. Errors as writeNiftiFile.
std::string writeNiftiLabels(const std::string& path, const ImageSpace& space,
                             std::span<const std::int16_t> labels, const std::string& description);

// A statistic map: 3-D float32, with the NIfTI intent of its values (code,
// first parameter, a short name of at most 15 characters) and a description
// of at most 79 characters. Codes: kIntentTTest (p1 the degrees of freedom),
// kIntentZScore, kIntentPValue. Errors as writeNiftiFile.
inline constexpr int kIntentTTest = 3;
inline constexpr int kIntentZScore = 5;
inline constexpr int kIntentPValue = 22;
struct StatisticIntent {
    int code = 0;
    float p1 = 0.0f;
    std::string name;
    std::string description;
};
std::string writeNiftiStatisticMap(const std::string& path, const VtcGeometry& geometry,
                                   std::span<const float> values, const StatisticIntent& intent);

struct VolumeSeries {
    VolumeGrid grid;
    int volumes = 0;
    float repetitionTime = 2.0f;  // seconds; pixdim[4] when positive
    std::vector<float> samples;
};

Result<VolumeSeries> readNiftiSeries(const std::string& path);

}  // namespace simtrove::formats
