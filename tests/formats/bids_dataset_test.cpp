#include "formats/bids_dataset.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/bids_design.h"

namespace simtrove::formats {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) {
    const fs::path folder =
        fs::temp_directory_path() / ("formats_bids_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(folder);
    return folder;
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void put(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Faces first in the design but Houses first in time, and a condition
// without events: the onset order differs from the design order.
Protocol crossedProtocol() {
    return Protocol{{{"Faces", {{5, 8}, {13, 14}}}, {"Houses", {{1, 2}, {5, 6}}}, {"Empty", {}}}};
}

std::string writeOneRun(const fs::path& folder, double tr, int run) {
    const ImageSpace space{{2, 2, 1}, {3.0, 3.0, 3.0}, tr};
    const std::vector<float> data(4 * 14, 100.0f);
    const std::vector<std::int16_t> truth{0, 1, 0, 0};
    BidsDatasetWriter writer(folder.string(), {"Test", "simtrove", "2.0", "", {}});
    BidsRun r;
    r.subject = "01";
    r.run = run;
    r.task = "faces_houses";
    r.repetitionTime = tr;
    r.space = space;
    r.volumes = 14;
    r.data = data;
    r.protocol = crossedProtocol();
    r.truth = truth;
    r.truthNames = {"Faces"};
    if (std::string p = writer.writeRun(r); !p.empty()) return p;
    return writer.finish(std::nullopt);
}

TEST(BidsDataset, EventsInOnsetOrderAndTheDesignComesBackInDesignOrder) {
    const fs::path folder = freshFolder("roundtrip");
    ASSERT_EQ(writeOneRun(folder, 0.75, 2), "");
    const fs::path events = folder / "sub-01/func/sub-01_task-faceshouses_run-2_events.tsv";
    // Volume k starts at (k - 1) * 0.75 s; ties keep the design's order.
    EXPECT_EQ(slurp(events),
              "onset\tduration\ttrial_type\n"
              "0\t1.5\tHouses\n"
              "3\t3\tFaces\n"
              "3\t1.5\tHouses\n"
              "9\t1.5\tFaces\n");

    Result<BidsDesign> design = readBidsDesign(folder.string(), "01", "faceshouses", 2);
    ASSERT_TRUE(design.ok()) << design.error();
    EXPECT_EQ(design.value().repetitionTime, 0.75);
    EXPECT_EQ(design.value().protocol, crossedProtocol());
    EXPECT_EQ(design.value().eventsPath, events.string());
    fs::remove_all(folder);
}

TEST(BidsDataset, RepetitionTimeFollowsTheInheritancePrinciple) {
    const fs::path folder = freshFolder("inherit");
    ASSERT_EQ(writeOneRun(folder, 2.0, 0), "");
    // The top-level sidecar says 2 s; a subject-level one for this task overrides it,
    // and one for another task or run does not apply.
    put(folder / "sub-01/sub-01_task-faceshouses_bold.json", R"({"RepetitionTime": 1.5})");
    put(folder / "sub-01/func/sub-01_task-other_bold.json", R"({"RepetitionTime": 9})");
    put(folder / "sub-01/func/sub-01_task-faceshouses_run-3_bold.json", R"({"RepetitionTime": 9})");
    Result<BidsDesign> design = readBidsDesign(folder.string(), "01", "faceshouses", 1);
    ASSERT_TRUE(design.ok()) << design.error();
    EXPECT_EQ(design.value().repetitionTime, 1.5);
    fs::remove_all(folder);
}

TEST(BidsDataset, RefusalsNameTheRunAndWhatThereIs) {
    const fs::path folder = freshFolder("refusals");
    ASSERT_EQ(writeOneRun(folder, 2.0, 1), "");
    put(folder / "sub-02/func/sub-02_task-faceshouses_run-01_events.tsv",
        "onset\tduration\ttrial_type\n");
    put(folder / "sub-02/func/sub-02_task-faceshouses_acq-b_run-1_events.tsv",
        "onset\tduration\ttrial_type\n");
    struct Case {
        std::string subject, task;
        int run;
        std::string expected;
    };
    const Case cases[] = {
        {"07", "faceshouses", 1, "no subject \"07\""},
        {"01", "faceshouses", 2,
         "run 2: no events table (events tables: sub-01_task-faceshouses_run-1_events.tsv)"},
        {"02", "faceshouses", 1,
         "several events tables match (sub-02_task-faceshouses_acq-b_run-1"},
    };
    for (const Case& c : cases) {
        Result<BidsDesign> design = readBidsDesign(folder.string(), c.subject, c.task, c.run);
        ASSERT_FALSE(design.ok()) << c.expected;
        EXPECT_NE(design.error().find(c.expected), std::string::npos) << design.error();
    }
    fs::remove_all(folder);
}

TEST(BidsDataset, SharedSidecarsGoToTheTopAndLabelsAreAlphanumeric) {
    const fs::path folder = freshFolder("layout");
    ASSERT_EQ(writeOneRun(folder, 2.0, 0), "");
    EXPECT_EQ(bidsLabel("simtrove_block 2-ü"), "simtroveblock2");
    for (const char* file :
         {"dataset_description.json", "README", "participants.tsv", "participants.json",
          ".bidsignore", "task-faceshouses_bold.json", "task-faceshouses_events.json",
          "sub-01/func/sub-01_task-faceshouses_bold.nii.gz",
          "derivatives/simtrove/dataset_description.json",
          "derivatives/simtrove/sub-01/func/sub-01_task-faceshouses_desc-truth_dseg.nii.gz"})
        EXPECT_TRUE(fs::exists(folder / file)) << file;
    EXPECT_EQ(slurp(folder / "derivatives/simtrove/sub-01/func/"
                             "sub-01_task-faceshouses_desc-truth_dseg.tsv"),
              "index\tname\n0\tnone\n1\tFaces\n");
    EXPECT_NE(slurp(folder / "task-faceshouses_bold.json").find("\"TaskName\": \"faces_houses\""),
              std::string::npos);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace simtrove::formats
