// Reads a 3-D or 4-D NIfTI-1 image (.nii or .nii.gz) as volume time courses,
// through the system's NIfTI library.
//
// The samples come back in the VTC layout (the time course of each voxel
// contiguous), converted to float with the file's scaling (scl_slope,
// scl_inter) applied; a 3-D image is one volume. The grid: voxels per axis
// from dim[1..3], the voxel edge from pixdim[1] rounded to a whole number of
// millimetres (at least 1), and the start from the translation of the sform
// (or the qform when there is no sform) rounded to whole millimetres. Images
// with more than four dimensions, unsupported data types or more than
// kMaxVtcSamples samples are refused.
#pragma once

#include <string>
#include <vector>

#include "formats/result.h"
#include "formats/volume_grid.h"

namespace simtrove::formats {

struct VolumeSeries {
    VolumeGrid grid;
    int volumes = 0;
    float repetitionTime = 2.0f;  // seconds; pixdim[4] when positive
    std::vector<float> samples;
};

Result<VolumeSeries> readNiftiSeries(const std::string& path);

}  // namespace simtrove::formats
