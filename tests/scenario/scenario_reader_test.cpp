// Scenarios that cannot be run are refused with one line naming the key path
// and the problem; a scenario comes back with every default filled in.
#include "scenario/scenario_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "formats/nifti.h"

namespace simtrove::scenario {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class ScenarioReader : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("scenario_reader_" + std::to_string(getpid()));
        fs::create_directories(folder_);
        std::ofstream(folder_ / "fh.prt") << "simtrove-protocol 1\ncondition Faces\n1 10\n"
                                             "condition Houses\n11 20\n";
        formats::ImageSpace space{{64, 64, 30}, {3, 3, 3}, 0};
        const std::vector<std::int16_t> ones(64 * 64 * 30, 1);
        ASSERT_EQ(formats::writeNiftiLabels((folder_ / "mask64.nii.gz").string(), space, ones, "m"),
                  "");
    }
    void TearDown() override { fs::remove_all(folder_); }
    formats::Result<Scenario> read(const std::string& text) {
        return readScenario(json::parse(text), folder_);
    }
    fs::path folder_;
};

TEST_F(ScenarioReader, RefusesWhatCannotRunWithTheKeyPathAndTheProblem) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"noise": {"temporal": {"sd": 1, "ar": [1.2]}}})",
         "noise.temporal.ar: not stationary (partial autocorrelation at lag 1 is 1.2, must lie "
         "in (-1, 1))"},
        {R"({"noise": {"temporal": {"sd": 1, "ar": [0.5, 0.6]}}})",
         "noise.temporal.ar: not stationary (partial autocorrelation at lag 1 is 1.25, must lie "
         "in (-1, 1))"},
        {R"({"design": {"protocol": "fh.prt"}, "regions": [
             {"name": "A", "condition": "Faces", "voxels": [[1, 1, 1]]},
             {"name": "B", "condition": "Face", "voxels": [[2, 2, 2]]}]})",
         "regions[1].condition: no condition \"Face\" (conditions: Faces, Houses)"},
        {R"({"mask": "mask64.nii.gz"})", "mask: grid 64 x 64 x 30 does not match 58 x 40 x 46"},
        {R"({"noise": {"sytem": {}}})",
         "noise.sytem: unknown key (known here: system, temporal, drift, physiological, spatial)"},
        {R"({"regions": [{"name": "A", "condition": "Task", "sphere": {"center_voxel": [99, 0, 0]}}]})",
         "regions[0].sphere.center_voxel: lies outside the grid 58 x 40 x 46"},
        {R"({"grid": {"shape": [10, 10]}})", "grid.shape: expected [X, Y, Z], not [10,10]"},
        {R"({"tr": 0})", "tr: must be from 0.001 to 10 seconds"},
        {R"({"time_points": 20, "noise": {"drift": {"sd": 1}}})",
         "noise.drift.cutoff_s: no cosine of the run (40 s) has a period longer than 128 s"},
        {R"({"noise": {"spatial": {"sd": 1}}})", "noise.spatial.fwhm_mm: missing"},
        {R"({"generator": "plug-in", "noise": {"system": {}, "temporal": {"sd": 1, "ar": [0.1]}}})",
         "noise.temporal: the plug-in's generator has only white system noise"},
        {R"({"generator": "plug-in", "seed": 3})",
         "seed: the plug-in's generator has its own fixed seed"},
        {R"({"seed": -1})", "seed: expected a whole number from 0 to 18446744073709551615"},
    };
    for (const auto& [text, expected] : cases) {
        const formats::Result<Scenario> result = read(text);
        ASSERT_FALSE(result.ok()) << text;
        EXPECT_EQ(result.error(), expected) << text;
    }
    // A run too large for this machine, named with its size.
    const formats::Result<Scenario> huge =
        read(R"({"grid": {"shape": [30000, 30000, 30000]}, "time_points": 1000})");
    ASSERT_FALSE(huge.ok());
    EXPECT_EQ(huge.error().rfind("grid: 30000 x 30000 x 30000 voxels x 1000 time points need ", 0),
              0u)
        << huge.error();
}

TEST_F(ScenarioReader, FillsInEveryDefaultAndReadsItsOwnOutputBack) {
    const formats::Result<Scenario> empty = read("{}");
    ASSERT_TRUE(empty.ok()) << empty.error();
    const json filled = toJson(empty.value());
    EXPECT_EQ(filled["name"], "Simulated");
    EXPECT_EQ(filled["grid"]["shape"], json::array({58, 40, 46}));
    EXPECT_EQ(filled["time_points"], 250);
    EXPECT_EQ(filled["baseline"], 100.0);
    EXPECT_EQ(filled["noise"]["system"]["sd"], 5.0);
    EXPECT_EQ(filled["seed"], 1);
    EXPECT_EQ(filled["generator"], "philox");

    const formats::Result<Scenario> full = read(R"({"design": {"protocol": "fh.prt"},
        "regions": [{"name": "A", "condition": 2, "sphere": {"center_voxel": [5, 5, 5]}}],
        "noise": {"temporal": {"sd": 2, "ar": [0.3]}, "drift": {"sd": 1},
                  "physiological": {"sd": 1}, "spatial": {"sd": 1, "fwhm_mm": [4, 5, 6]}}})");
    ASSERT_TRUE(full.ok()) << full.error();
    EXPECT_EQ(full.value().regions[0].conditionIndex, 1);
    EXPECT_EQ(full.value().regions[0].voxels.size(), 33u);  // radius 2 by default
    const json again = toJson(full.value());
    EXPECT_EQ(again["noise"]["drift"]["cutoff_s"], 128.0);
    EXPECT_EQ(again["noise"]["physiological"]["cardiac_hz"], 1.17);
    EXPECT_FALSE(again["noise"].contains("system"));  // a noise key without system has none
    const formats::Result<Scenario> reread = readScenario(again, folder_);
    ASSERT_TRUE(reread.ok()) << reread.error();
    EXPECT_EQ(toJson(reread.value()), again);
}

}  // namespace
}  // namespace simtrove::scenario
