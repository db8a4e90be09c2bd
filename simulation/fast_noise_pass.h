// The noise pass of synthesis.h, fast and bit-identical: the same samples, the
// same generator state after it and the same progress lines as runNoisePass.
//
// Draws come in bulk (bulk_normals.h). Groups of B volumes are drawn into a
// scratch buffer and then written voxel by voxel, B contiguous samples at a
// time, instead of one cache miss per sample. The scratch buffer holds B
// volumes (B x voxels floats), at most 1/8 of the sample array and at most
// 64 MB; it is taken once before the pass and released after it. B is the
// largest count up to 32 within that bound. When not even 2 volumes fit, or the
// memory cannot be had, the volumes are drawn and written one at a time in
// place, in the order of the reference loops (about 24 KB of stack, no heap).
// The host's array is written in place, never copied.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simulation/bulk_normals.h"
#include "simulation/synthesis.h"

namespace simtrove::simulation {

inline constexpr std::int64_t kMaxVolumesPerGroup = 32;
inline constexpr std::uint64_t kMaxScratchBytes = std::uint64_t(64) << 20;

// Volumes per buffered group for this grid within the bound; 0 (in place) when
// fewer than 2 fit.
std::int64_t volumesPerGroup(const VtcGrid& grid);

// The pass as the plug-in runs it: chosenNoiseKernel(), volumesPerGroup(grid).
void runFastNoisePass(float* samples, const VtcGrid& grid, int* seed);

// The pass with the kernel and group size given (0: in place, no scratch
// buffer; a size above the bound is taken as given). For tests and benchmarks.
void runFastNoisePass(float* samples, const VtcGrid& grid, int* seed, NoiseKernel kernel,
                      std::int64_t volumesInGroup);

}  // namespace simtrove::simulation
