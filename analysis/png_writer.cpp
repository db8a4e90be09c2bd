#include "analysis/png_writer.h"

#include <png.h>

#include <cstdio>
#include <cstring>

namespace simtrove::analysis {

std::string writePng(const std::string& path, const RgbImage& image) {
    if (image.width() < 1 || image.height() < 1)
        return path + ": cannot write PNG: the picture is empty";
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width());
    png.height = png_uint_32(image.height());
    png.format = PNG_FORMAT_RGB;
    // The simplified API writes through stdio; the file is ours to close.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return path + ": cannot write PNG: " + std::strerror(errno);
    const int ok = png_image_write_to_stdio(&png, file, 0, image.pixels().data(), 0, nullptr);
    const std::string message = png.message;
    png_image_free(&png);
    const bool closed = std::fclose(file) == 0;
    if (!ok) return path + ": cannot write PNG: " + message;
    if (!closed) return path + ": cannot write PNG: " + std::strerror(errno);
    return {};
}

}  // namespace simtrove::analysis
