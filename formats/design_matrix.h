// The design matrix file (plugin_created.rtc): named predictors, one value
// per volume each.
//
//   simtrove-design-matrix 1
//   predictors N
//   volumes T
//   predictor NAME            (N lines)
//   V1 V2 ... VN              (T rows of N numbers)
//
// The writer gives every value 9 significant digits, so floats read back
// exactly, and pads predictors shorter than the longest with 0. The reader:
// lines end in LF or CRLF; blank lines and lines starting with '#' (after
// blanks) are skipped; names run to the end of their line. Problems come back
// as "FILE:LINE: what" (LINE 0 when the file ends early).
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/result.h"

namespace simtrove::formats {

inline constexpr std::string_view kDesignMatrixFirstLine = "simtrove-design-matrix 1";
inline constexpr int kMaxDesignPredictors = 1000;
inline constexpr int kMaxDesignVolumes = 1000000;

struct Predictor {
    std::string name;
    std::vector<float> values;  // one per volume
};

// T = the longest predictor's length.
std::string formatDesignMatrix(std::span<const Predictor> predictors);

struct DesignFile {
    std::vector<std::string> names;
    int volumes = 0;
    std::vector<float> values;  // predictor after predictor, `volumes` values each
};

Result<DesignFile> parseDesignMatrix(std::string_view text, const std::string& fileName);
Result<DesignFile> readDesignMatrix(const std::string& path);

}  // namespace simtrove::formats
