// The files of a run: every one present under its final name (no temporary
// left), the data read back equal to the run's, the affine centred with RAS
// axes, and the sidecar carrying the filled-in scenario and what was realised.
#include "scenario/run_files.h"

#include <gtest/gtest.h>
#include <nifti1_io.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "formats/nifti.h"
#include "scenario/scenario_reader.h"

namespace simtrove::scenario {
namespace {

namespace fs = std::filesystem;

TEST(RunFiles, AreCompleteCentredAndDescribed) {
    const fs::path folder = fs::temp_directory_path() / ("run_files_" + std::to_string(getpid()));
    fs::remove_all(folder);
    formats::Result<Scenario> s = readScenario(nlohmann::json::parse(R"({"name": "Run",
        "grid": {"shape": [5, 4, 3], "voxel_mm": [2, 3, 4]}, "time_points": 30, "tr": 1.5,
        "regions": [{"name": "A", "condition": "Task", "voxels": [[1, 1, 1]]}],
        "noise": {"system": {"sd": 1}, "drift": {"sd": 1, "cutoff_s": 20}}})"),
                                               ".");
    ASSERT_TRUE(s.ok()) << s.error();
    const SimulatedRun run = generate(s.value(), {1, true});
    std::vector<std::string> written;
    ASSERT_EQ(writeRunFiles(run, folder.string(), &written), "");

    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names,
              (std::set<std::string>{"Run.nii.gz", "Run.json", "Run_truth.nii.gz", "Run_truth.json",
                                     "Run_events.tsv", "Run_design.rtc", "Run_desc-signal.nii.gz",
                                     "Run_desc-system.nii.gz", "Run_desc-drift.nii.gz"}));
    EXPECT_EQ(written.size(), names.size());

    // The reader gives each time course together; the run keeps volumes.
    const auto data = formats::readNiftiSeries((folder / "Run.nii.gz").string());
    ASSERT_TRUE(data.ok()) << data.error();
    const std::size_t V = 60, T = 30;
    for (std::size_t v = 0; v < V; ++v)
        for (std::size_t t = 0; t < T; ++t)
            ASSERT_EQ(data.value().samples[v * T + t], run.data[t * V + v]);

    // Voxel (i, j, k) at ((i - 2) 2, (j - 1.5) 3, (k - 1) 4) mm.
    std::unique_ptr<nifti_image, void (*)(nifti_image*)> header(
        nifti_image_read((folder / "Run.nii.gz").string().c_str(), 0), nifti_image_free);
    ASSERT_TRUE(header);
    const float expected[3][4] = {{2, 0, 0, -4}, {0, 3, 0, -4.5f}, {0, 0, 4, -4}};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(header->sto_xyz.m[r][c], expected[r][c]) << r << c;
            EXPECT_EQ(header->qto_xyz.m[r][c], expected[r][c]) << r << c;
        }
    EXPECT_EQ(header->dt, 1.5f);

    std::ifstream sidecar(folder / "Run.json");
    const nlohmann::json json = nlohmann::json::parse(sidecar);
    EXPECT_EQ(json["RepetitionTime"], 1.5);
    EXPECT_EQ(json["Simulation"]["noise"]["drift"]["cutoff_s"], 20.0);
    EXPECT_TRUE(json["Realised"]["components"].contains("drift"));
    EXPECT_EQ(json["Realised"]["regions"][0]["name"], "A");
    fs::remove_all(folder);
}

}  // namespace
}  // namespace simtrove::scenario
