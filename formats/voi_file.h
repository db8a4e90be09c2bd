// The set of volumes of interest and its text file format.
//
// The file starts with "simtrove-vois 1" and "coordinate-space CODE"; then each
// VOI is a line "voi NAME" followed by one line "X Y Z" per voxel. Blank lines
// and lines starting with '#' are ignored. parseVoiText() returns the set or
// one error line "FILE:LINE: what"; a file without any VOI is an error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "formats/result.h"

namespace simtrove::formats {

// VOI names fit the host's VOI record with room for the NUL.
inline constexpr std::size_t kMaxVoiNameLength = 259;
// Coordinates stay within this magnitude so that every conversion the plug-in
// applies to them (mirroring about 128, division by the resolution) is exact.
inline constexpr int kMaxVoiCoordinate = 10000;

struct Voi {
    std::string name;
    std::vector<int> coordinates;  // three per voxel: x, y, z
    bool operator==(const Voi&) const = default;
};

struct VoiSet {
    int coordinateSpace = 0;  // 3: mirrored conversion in the plug-in; other codes: VMR voxels
    std::vector<Voi> vois;
    bool operator==(const VoiSet&) const = default;
};

Result<VoiSet> parseVoiText(std::string_view text, const std::string& fileName);

}  // namespace simtrove::formats
