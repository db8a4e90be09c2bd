// Writes a VTC as a 4-D NIfTI-1 image (float32), and labels on its grid as a
// 3-D NIfTI-1 image (int16), through the system's NIfTI library, compressed
// when the name ends in ".nii.gz".
//
// Dimensions DimX x DimY x DimZ x T; voxel size = resolution in mm (VMR voxels
// are 1 mm); time step = repetition time in s. Voxel (i, j, k) lies at VMR
// position (XStart + i*R, YStart + j*R, ZStart + k*R): the affine is
// diag(R, R, R) with that origin, given as both qform and sform. Both images
// carry the same header geometry (pixdim, qform, sform).
#pragma once

#include <cstdint>
#include <span>
#include <string>

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

}  // namespace simtrove::formats
