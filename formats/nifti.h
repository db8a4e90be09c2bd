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

// A grid placed in world millimetres with RAS axes: voxel (i, j, k) lies at
// originMm + (i, j, k) * voxelMm, axis by axis (no rotation).
struct NiftiSpace {
    std::array<int, 3> dims{};
    std::array<double, 3> voxelMm{1.0, 1.0, 1.0};
    std::array<double, 3> originMm{};
    std::uint64_t voxels() const { return std::uint64_t(dims[0]) * dims[1] * dims[2]; }
};

// The VTC's placement: voxel edge = resolution, origin = the box's start.
NiftiSpace niftiSpaceOf(const VtcGeometry& geometry);

// As writeNiftiFile and writeNiftiLabelImage, on any NiftiSpace: `samples`
// in the VTC layout (time fastest, `volumes` per voxel), float32;
// `repetitionTime` in seconds becomes pixdim[4].
std::string writeNiftiSeries(const std::string& path, const NiftiSpace& space, int volumes,
                             double repetitionTime, std::span<const float> samples);
std::string writeNiftiLabels(const std::string& path, const NiftiSpace& space,
                             std::span<const std::int16_t> labels);

struct VolumeSeries {
    VolumeGrid grid;
    int volumes = 0;
    float repetitionTime = 2.0f;  // seconds; pixdim[4] when positive
    std::vector<float> samples;
};

Result<VolumeSeries> readNiftiSeries(const std::string& path);

}  // namespace simtrove::formats
