// Writes an RgbImage as an 8-bit RGB PNG file through libpng.
#pragma once

#include <string>

#include "analysis/image.h"

namespace simtrove::analysis {

// Empty on success, else "PATH: cannot write PNG: reason". An empty picture
// is refused.
std::string writePng(const std::string& path, const RgbImage& image);

}  // namespace simtrove::analysis
