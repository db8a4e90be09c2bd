#include "formats/nifti_input.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "formats/nifti_export.h"

namespace simtrove::formats {
namespace {

namespace fs = std::filesystem;

// The stand-in's NIfTI writer and this reader are inverse: geometry and
// every sample come back (written as float32, no scaling).
TEST(NiftiInput, ReadsWhatTheStandInWrites) {
    const fs::path dir =
        fs::temp_directory_path() / ("nifti_input_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    VtcGeometry g;
    g.xStart = 41, g.xEnd = 53, g.yStart = 68, g.yEnd = 77, g.zStart = 59, g.zEnd = 65;
    g.resolution = 3;
    g.timePoints = 5;
    g.repetitionTime = 1.5f;
    std::vector<float> samples(std::size_t(4 * 3 * 2 * 5));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = float(i) * 0.5f - 7.0f;
    for (const char* name : {"a.nii", "a.nii.gz"}) {
        const std::string path = (dir / name).string();
        ASSERT_EQ(writeNiftiFile(path, g, samples), "");
        const auto series = readNiftiSeries(path);
        ASSERT_TRUE(series) << series.error();
        EXPECT_EQ(series.value().grid.dims, (std::array<int, 3>{4, 3, 2}));
        EXPECT_EQ(series.value().grid.start, (std::array<int, 3>{41, 68, 59}));
        EXPECT_EQ(series.value().grid.resolution, 3);
        EXPECT_EQ(series.value().volumes, 5);
        EXPECT_FLOAT_EQ(series.value().repetitionTime, 1.5f);
        EXPECT_EQ(series.value().samples, samples);
    }
    std::ofstream(dir / "bad.nii") << "not an image";
    EXPECT_FALSE(readNiftiSeries((dir / "bad.nii").string()));
    EXPECT_EQ(readNiftiSeries((dir / "missing.nii").string()).error(),
              (dir / "missing.nii").string() + ": cannot read as NIfTI-1");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace simtrove::formats
