// The project's binary VTC file: geometry, repetition time, linked protocol
// and the samples, all little-endian.
//
//   offset  size  content
//   0       8     magic "SIMTRVTC"
//   8       4     uint32 format version, 1
//   12      12    int32 voxels along x, y, z
//   24      24    int32 XStart, XEnd, YStart, YEnd, ZStart, ZEnd (VMR voxels, ends exclusive)
//   48      4     int32 resolution (VTC voxel edge in VMR voxels)
//   52      4     int32 time points
//   56      4     float32 repetition time in seconds
//   60      4     uint32 length L of the linked protocol path (0 to 1023)
//   64      L     the path, without NUL
//   64 + L        float32 samples, voxel (x, y, z) at (z*DimY*DimX + y*DimX + x)*T + t
//
// parseVtc() checks every field and that exactly the samples follow; it never
// reads past the bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/result.h"

namespace simtrove::formats {

inline constexpr std::size_t kVtcHeaderSize = 64;
inline constexpr std::size_t kMaxLinkedProtocolLength = 1023;
// Upper bound on the samples of one VTC (4 GiB of floats).
inline constexpr std::uint64_t kMaxVtcSamples = std::uint64_t(1) << 30;

struct VtcGeometry {
    int xStart = 0, xEnd = 0, yStart = 0, yEnd = 0, zStart = 0, zEnd = 0;
    int resolution = 1;
    int timePoints = 0;
    float repetitionTime = 2.0f;  // seconds

    // Voxels per axis, (end - start) / resolution truncated toward zero; 0 for
    // a resolution below 1 or a count beyond int.
    int dimX() const { return axisVoxels(xStart, xEnd); }
    int dimY() const { return axisVoxels(yStart, yEnd); }
    int dimZ() const { return axisVoxels(zStart, zEnd); }
    int axisVoxels(int start, int end) const;
    std::uint64_t voxelCount() const;
    std::uint64_t sampleCount() const;
    bool operator==(const VtcGeometry&) const = default;
};

// Empty when the geometry is usable; otherwise what is wrong with it
// (resolution below 1, an axis without voxels, negative time points, a
// repetition time that is not positive, more than kMaxVtcSamples samples).
std::string geometryProblem(const VtcGeometry& geometry);

struct VtcFile {
    VtcGeometry geometry;
    std::string linkedProtocol;
    std::vector<float> samples;
};

// Empty on success, else "PATH: cannot write the VTC: reason". The file
// appears under PATH only when complete (output_file.h). Linked protocol paths
// longer than kMaxLinkedProtocolLength are cut there.
std::string writeVtcFile(const std::string& path, const VtcGeometry& geometry,
                         std::string_view linkedProtocol, std::span<const float> samples);

Result<VtcFile> parseVtc(std::string_view bytes, const std::string& fileName);
Result<VtcFile> readVtcFile(const std::string& path);

}  // namespace simtrove::formats
