#include "analysis/truth.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "formats/nifti.h"

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

namespace fs = std::filesystem;

TEST(Truth, PathBesideTheData) {
    EXPECT_EQ(truthPathFor("out/Simulated.vtc"), "out/Simulated_truth.nii.gz");
    EXPECT_EQ(truthPathFor("a.nii.gz"), "a_truth.nii.gz");
    EXPECT_EQ(truthPathFor("a.nii"), "a_truth.nii.gz");
    EXPECT_EQ(truthPathFor("a.txt"), "");
}

// A map written by the project's NIfTI writer (float) reads back on its grid
// and is refused on another grid or with values that are not labels.
TEST(Truth, ReadsTheMapAndRefusesMismatches) {
    const fs::path dir = fs::temp_directory_path() / ("truth_test_" + std::to_string(getpid()));
    fs::create_directories(dir);
    formats::VtcGeometry g;
    g.xStart = 10, g.xEnd = 22, g.yStart = 20, g.yEnd = 29, g.zStart = 30, g.zEnd = 36;
    g.resolution = 3, g.timePoints = 1;
    const VolumeGrid grid{{4, 3, 2}, {10, 20, 30}, 3};
    std::vector<float> labels(24, 0.0f);
    labels[5] = 2.0f;
    labels[17] = 1.0f;
    const std::string path = (dir / "a_truth.nii.gz").string();
    ASSERT_EQ(formats::writeNiftiFile(path, g, labels), "");
    const auto read = readTruthMap(path, grid, 2);
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value()[5], 2);
    EXPECT_EQ(read.value()[17], 1);
    EXPECT_EQ(std::count(read.value().begin(), read.value().end(), 0), 22);

    const VolumeGrid shifted{{4, 3, 2}, {13, 20, 30}, 3};
    EXPECT_NE(readTruthMap(path, shifted, 2).error().find("does not match the data's"),
              std::string::npos);
    EXPECT_NE(readTruthMap(path, grid, 1).error().find("a design-matrix column from 1 to 1"),
              std::string::npos);
    labels[0] = 0.5f;
    ASSERT_EQ(formats::writeNiftiFile(path, g, labels), "");
    EXPECT_NE(readTruthMap(path, grid, 2).error().find("expected 0 (noise)"), std::string::npos);
    fs::remove_all(dir);
}

TEST(Truth, DetectionCounts) {
    const std::vector<float> p = {0.001f, 0.01f, 0.2f, 0.001f, 0.3f};
    const std::vector<std::uint8_t> planted = {1, 0, 1, 0, 0};
    const Detection d = countDetections(p, {0.05, false, false}, planted);
    EXPECT_EQ(d.truePositives, 1u);
    EXPECT_EQ(d.falsePositives, 2u);
    EXPECT_DOUBLE_EQ(d.sensitivity, 0.5);
    EXPECT_DOUBLE_EQ(d.falseDiscoveryProportion, 2.0 / 3.0);
    const Detection none = countDetections(p, {0.0, true, true}, planted);
    EXPECT_EQ(none.truePositives + none.falsePositives, 0u);
    EXPECT_EQ(none.falseDiscoveryProportion, 0.0);
    EXPECT_EQ(plantedVoxels(std::vector<int>{0, 2, 1, 2}, {2}),
              (std::vector<std::uint8_t>{0, 1, 0, 1}));
}

// The area equals the share of (planted, noise) pairs in which the planted
// voxel has the larger |t|, ties counting half, counted pair by pair here.
TEST(Truth, RocAreaIsThePairwiseShare) {
    const std::vector<float> t = {5.0f, -4.0f, 3.0f, -3.0f, 1.0f, 0.5f, 4.0f, -0.2f};
    const std::vector<std::uint8_t> planted = {1, 1, 0, 1, 0, 0, 0, 1};
    double wins = 0.0, pairs = 0.0;
    for (std::size_t i = 0; i < t.size(); ++i)
        for (std::size_t j = 0; j < t.size(); ++j) {
            if (!planted[i] || planted[j]) continue;
            const float a = std::fabs(t[i]), b = std::fabs(t[j]);
            wins += a > b ? 1.0 : a == b ? 0.5 : 0.0;
            pairs += 1.0;
        }
    const RocCurve roc = rocCurve(t, planted);
    EXPECT_EQ(roc.planted, 4u);
    EXPECT_EQ(roc.noise, 4u);
    EXPECT_NEAR(roc.area, wins / pairs, 1e-12);
    EXPECT_EQ(roc.points.front(), (std::array<double, 2>{0.0, 0.0}));
    EXPECT_EQ(roc.points.back(), (std::array<double, 2>{1.0, 1.0}));
    // Perfect separation and no noise voxels at all.
    EXPECT_DOUBLE_EQ(rocCurve(std::vector<float>{9, 1}, std::vector<std::uint8_t>{1, 0}).area, 1.0);
    EXPECT_EQ(rocCurve(std::vector<float>{9}, std::vector<std::uint8_t>{1}).area, 0.0);
}

}  // namespace
}  // namespace simtrove::analysis
