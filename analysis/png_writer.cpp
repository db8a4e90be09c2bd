#include "analysis/png_writer.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "formats/output_file.h"

namespace simtrove::analysis {
namespace {
constexpr const char* kKind = "the picture";
}  // namespace

std::string writePng(const std::string& path, const RgbImage& image) {
    if (image.width() < 1 || image.height() < 1)
        return path + ": cannot write " + kKind + ": the picture is empty";
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width());
    png.height = png_uint_32(image.height());
    png.format = PNG_FORMAT_RGB;
    // The simplified API writes through stdio; the file is ours to close.
    formats::OutputFile output(path);
    errno = 0;
    std::FILE* file = std::fopen(output.temporaryPath().c_str(), "wb");
    if (!file) return formats::writeFailure(path, kKind, errno);
    const int ok = png_image_write_to_stdio(&png, file, 0, image.pixels().data(), 0, nullptr);
    const int writeError = errno;
    const std::string message = png.message;
    png_image_free(&png);
    const bool flushed = std::fflush(file) == 0;
    const int flushError = errno;
    const bool closed = std::fclose(file) == 0;
    if (!ok && writeError != 0) return formats::writeFailure(path, kKind, writeError);
    if (!ok) return path + ": cannot write " + kKind + ": " + message;
    if (!flushed) return formats::writeFailure(path, kKind, flushError ? flushError : EIO);
    if (!closed) return formats::writeFailure(path, kKind, errno ? errno : EIO);
    return output.commit(kKind);
}

}  // namespace simtrove::analysis
