#include "analysis/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace simtrove::analysis {
namespace {

namespace fs = std::filesystem;

// Reads a PNG back with libpng as 8-bit RGB.
bool readPng(const std::string& path, int* width, int* height, std::vector<std::uint8_t>* rgb) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_RGB;
    rgb->resize(PNG_IMAGE_SIZE(png));
    *width = int(png.width);
    *height = int(png.height);
    return png_image_finish_read(&png, nullptr, rgb->data(), 0, nullptr) != 0;
}

fs::path scratch() {
    const fs::path dir =
        fs::temp_directory_path() / ("png_writer_test_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

TEST(PngWriter, RoundTripsEveryPixel) {
    RgbImage img(7, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x) img.set(x, y, {std::uint8_t(x * 30), std::uint8_t(y * 50), 77});
    const fs::path dir = scratch();
    const std::string path = (dir / "a.png").string();
    ASSERT_EQ(writePng(path, img), "");
    int w = 0, h = 0;
    std::vector<std::uint8_t> rgb;
    ASSERT_TRUE(readPng(path, &w, &h, &rgb));
    EXPECT_EQ(w, 7);
    EXPECT_EQ(h, 5);
    EXPECT_EQ(rgb, img.pixels());
    fs::remove_all(dir);
}

TEST(PngWriter, ReportsWhatCannotBeWritten) {
    EXPECT_EQ(writePng("/nonexistent-dir/x.png", RgbImage(2, 2)),
              "/nonexistent-dir/x.png: cannot write the picture: No such file or directory");
    EXPECT_EQ(writePng("x.png", RgbImage(0, 0)),
              "x.png: cannot write the picture: the picture is empty");
}

}  // namespace
}  // namespace simtrove::analysis
