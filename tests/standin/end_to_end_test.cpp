// The real plug-in driven through tavimo-standin, as a user runs it: scripted
// answers, real files, exit codes.
#include <gtest/gtest.h>
#include <nifti1_io.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "formats/text_input.h"
#include "formats/vtc_file.h"
#include "numerics/random/deviates_internal.h"
#include "tests/standin/program_runner.h"

namespace simtrove::standin {
namespace {

using formats::parseInt;
using formats::parseReal;
using formats::readVtcFile;
using formats::Result;
using formats::splitLines;
using formats::splitWhitespace;
using formats::VtcFile;
using formats::VtcGeometry;

using testing::ProgramRun;
using testing::readText;
using testing::runProgram;
using testing::ScratchDir;

// A small VTC around the examples' clusters: 32 x 12 x 12 voxels at resolution 3.
const std::vector<std::string> kSmallBox = {"--vtc-box", "80", "176", "110", "146", "110", "146"};

std::vector<std::string> withSmallBox(std::vector<std::string> args) {
    args.insert(args.end(), kSmallBox.begin(), kSmallBox.end());
    return args;
}

struct DesignMatrixFile {
    std::vector<std::string> names;
    std::vector<std::vector<float>> columns;
};

DesignMatrixFile readDesignMatrix(const std::string& path) {
    DesignMatrixFile m;
    const std::string text = readText(path);
    std::vector<std::string_view> lines = splitLines(text);
    EXPECT_GE(lines.size(), 3u);
    if (lines.size() < 3) return m;
    EXPECT_EQ(lines[0], "simtrove-design-matrix 1");
    const int predictors = parseInt(splitWhitespace(lines[1])[1]).value_or(0);
    const int volumes = parseInt(splitWhitespace(lines[2])[1]).value_or(0);
    EXPECT_EQ(lines.size(), std::size_t(3 + predictors + volumes));
    if (lines.size() != std::size_t(3 + predictors + volumes)) return m;
    m.columns.resize(std::size_t(predictors));
    for (int i = 0; i < predictors; ++i) m.names.emplace_back(lines[std::size_t(3 + i)].substr(10));
    for (int t = 0; t < volumes; ++t) {
        std::vector<std::string_view> row = splitWhitespace(lines[std::size_t(3 + predictors + t)]);
        for (int i = 0; i < predictors; ++i)
            m.columns[std::size_t(i)].push_back(
                float(parseReal(row[std::size_t(i)]).value_or(NAN)));
    }
    return m;
}

// Least-squares slope of a voxel's time course on the predictor.
double slope(const float* samples, const std::vector<float>& predictor) {
    const std::size_t n = predictor.size();
    double meanP = 0.0, meanS = 0.0;
    for (std::size_t t = 0; t < n; ++t) {
        meanP += predictor[t];
        meanS += samples[t];
    }
    meanP /= double(n);
    meanS /= double(n);
    double sxy = 0.0, sxx = 0.0;
    for (std::size_t t = 0; t < n; ++t) {
        sxy += (predictor[t] - meanP) * (samples[t] - meanS);
        sxx += (predictor[t] - meanP) * (predictor[t] - meanP);
    }
    return sxy / sxx;
}

std::size_t voxelIndex(const VtcGeometry& g, int x, int y, int z) {
    return (std::size_t(z) * std::size_t(g.dimY()) + std::size_t(y)) * std::size_t(g.dimX()) +
           std::size_t(x);
}

TEST(EndToEnd, ClusterModeWritesThePredictorIntoTheSphereOnly) {
    ScratchDir out("e2e_cluster");
    ProgramRun run =
        runProgram(withSmallBox({"--answers", "examples/cluster.answers", "--out", out.path()}),
                   STANDIN_SOURCE_DIR, out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::string wrote;
    for (const char* file : {"plugin_created.rtc", "Cluster.vtc", "Cluster_truth.nii.gz",
                             "Cluster_truth.json", "Cluster_events.tsv", "Cluster_design.rtc"})
        wrote += "tavimo-standin: wrote " + (out / file) + "\n";
    EXPECT_EQ(run.err, wrote);
    // The run's own design matrix beside its VTC, under a name no other run takes.
    EXPECT_EQ(readText(out / "Cluster_design.rtc"), readText(out / "plugin_created.rtc"));
    EXPECT_EQ(readText(out / "simtrove.log"), run.out);
    EXPECT_NE(run.out.find("// Plugin>  Selected position: X: 98  Y: 128  Z: 128\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("// Plugin>  Simtrove Plugin completed!\n"), std::string::npos);

    DesignMatrixFile design = readDesignMatrix(out / "plugin_created.rtc");
    ASSERT_EQ(design.names, (std::vector<std::string>{"Rest", "Faces", "Houses"}));
    ASSERT_EQ(design.columns[1].size(), 120u);
    Result<VtcFile> vtc = readVtcFile(out / "Cluster.vtc");
    ASSERT_TRUE(vtc) << vtc.error();
    const VtcGeometry& g = vtc.value().geometry;
    EXPECT_EQ(g, (VtcGeometry{80, 176, 110, 146, 110, 146, 3, 120, 2.0f}));
    EXPECT_EQ(vtc.value().linkedProtocol, "examples/block.prt");
    // The truth sidecar's values, each from the answers and the box given above:
    // condition 2 (1-based, Faces), centre (98, 128, 128) in grid ((98 - 80) / 3,
    // (128 - 110) / 3, (128 - 110) / 3), radius 2 holding 33 lattice points.
    using nlohmann::json;
    const json cluster = json::parse(readText(out / "Cluster_truth.json"))["Simulation"]["Cluster"];
    EXPECT_EQ(cluster["PredictorNumber"], 2);
    EXPECT_EQ(cluster["Predictor"], "Faces");
    EXPECT_EQ(cluster["Centre"], json({98, 128, 128}));
    EXPECT_EQ(cluster["CentreGrid"], json({6, 6, 6}));
    EXPECT_EQ(cluster["RadiusVoxels"], 2);
    EXPECT_EQ(cluster["Voxels"], 33);

    // Centre (98, 128, 128) lies in grid (6, 6, 6); the sphere of radius 2 holds 33 voxels.
    double sphereSlope = 0.0, otherSlope = 0.0, otherSum = 0.0;
    std::size_t sphere = 0, others = 0;
    for (int z = 0; z < g.dimZ(); ++z)
        for (int y = 0; y < g.dimY(); ++y)
            for (int x = 0; x < g.dimX(); ++x) {
                const float* course = &vtc.value().samples[voxelIndex(g, x, y, z) * 120];
                const double b = slope(course, design.columns[1]);
                const int d2 = (x - 6) * (x - 6) + (y - 6) * (y - 6) + (z - 6) * (z - 6);
                if (d2 <= 4) {
                    sphereSlope += b;
                    ++sphere;
                } else {
                    otherSlope += b;
                    ++others;
                    for (int t = 0; t < 120; ++t) otherSum += course[t];
                }
            }
    ASSERT_EQ(sphere, 33u);
    // Noise of standard deviation 5: the pooled slope is 3 within about 5 standard errors.
    EXPECT_NEAR(sphereSlope / double(sphere), 3.0, 0.5);
    EXPECT_NEAR(otherSlope / double(others), 0.0, 0.1);
    EXPECT_NEAR(otherSum / double(others * 120), 100.0, 0.05);
}

TEST(EndToEnd, VoiModeGivesEachVoiItsPredictorAndEventsMatchTheBlockProtocol) {
    ScratchDir out("e2e_voi");
    ProgramRun run = runProgram(withSmallBox({"--vois", "examples/two.voi", "--answers",
                                              "examples/voi.answers", "--out", out.path()}),
                                STANDIN_SOURCE_DIR, out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("// Plugin>    VOI 2 / 2 ...\n"), std::string::npos);

    DesignMatrixFile design = readDesignMatrix(out / "plugin_created.rtc");
    ASSERT_EQ(design.names, (std::vector<std::string>{"Rest", "Faces", "Houses"}));
    // The events table describes the same blocks in seconds as block.prt in volumes.
    ScratchDir blockOut("e2e_block");
    ProgramRun block =
        runProgram(withSmallBox({"--time-points", "120", "--protocol", "examples/block.prt",
                                 "--save", "cancel", "--out", blockOut.path()}),
                   STANDIN_SOURCE_DIR, blockOut);
    ASSERT_EQ(block.exitCode, 0) << block.err;
    EXPECT_EQ(readText(blockOut / "plugin_created.rtc"), readText(out / "plugin_created.rtc"));

    Result<VtcFile> vtc = readVtcFile(out / "VOIs.vtc");
    ASSERT_TRUE(vtc) << vtc.error();
    const VtcGeometry& g = vtc.value().geometry;
    // Left cluster around VMR x 98 (grid 5 to 7) carries Faces, the right one around 158
    // (grid 25 to 27) Houses; y and z 125 to 131 are grid 5 to 7.
    double left = 0.0, right = 0.0;
    for (int z = 5; z <= 7; ++z)
        for (int y = 5; y <= 7; ++y)
            for (int x = 0; x < 3; ++x) {
                left += slope(&vtc.value().samples[voxelIndex(g, 5 + x, y, z) * 120],
                              design.columns[1]);
                right += slope(&vtc.value().samples[voxelIndex(g, 25 + x, y, z) * 120],
                               design.columns[2]);
            }
    EXPECT_NEAR(left / 27.0, 3.0, 0.6);
    EXPECT_NEAR(right / 27.0, 3.0, 0.6);
    const double between =
        slope(&vtc.value().samples[voxelIndex(g, 16, 6, 6) * 120], design.columns[1]);
    EXPECT_LT(std::fabs(between), 2.0);
}

TEST(EndToEnd, EveryCancelEndsTheRunAsTheWorkflowSaysAndIsExplained) {
    ScratchDir out("e2e_cancel");
    const std::string answers = out / "voi-cancel.answers";
    { std::ofstream(answers) << "10\nexamples/block.prt\nyes\ncancel\n"; }
    const std::string prt = "examples/block.prt";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        bool designMatrix;
        bool vtc;
        std::string ending;  // why the run ended with false
    } cases[] = {
        {"time points",
         {"--time-points", "cancel"},
         1,
         false,
         false,
         "the time points prompt was cancelled by --time-points cancel"},
        {"protocol",
         {"--time-points", "10", "--protocol", "cancel"},
         1,
         false,
         false,
         "the protocol dialog was cancelled by --protocol cancel"},
        {"protocol unanswered",
         {"--ask", "--time-points", "10"},
         1,
         false,
         false,
         "the protocol dialog was cancelled because nothing answered it (--protocol PATH or a "
         "line of --answers FILE answers it)"},
        {"condition",
         {"--time-points", "10", "--protocol", prt, "--condition", "cancel"},
         1,
         true,
         false,
         "the condition prompt was cancelled by --condition cancel"},
        {"voi predictor",
         {"--vois", "examples/two.voi", "--answers", answers},
         1,
         true,
         false,
         "the VOI predictor prompt was cancelled by " + answers + " line 4"},
        {"save",
         {"--time-points", "10", "--protocol", prt, "--use-cross", "yes", "--save", "cancel"},
         0,
         true,
         false,
         ""},
        // One option changes its own prompt; the embedded answers still give the
        // protocol and the cluster at the cross-hair.
        {"embedded answers fill the rest",
         {"--time-points", "10", "--save", "s.vtc"},
         0,
         true,
         true,
         ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(out / "plugin_created.rtc");
        std::filesystem::remove(out / "s.vtc");
        std::vector<std::string> args = withSmallBox(c.args);
        args.insert(args.end(), {"--out", out.path().string()});
        ProgramRun run = runProgram(args, STANDIN_SOURCE_DIR, out);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << "\n" << run.err;
        EXPECT_EQ(std::filesystem::exists(out / "plugin_created.rtc"), c.designMatrix) << c.name;
        EXPECT_EQ(std::filesystem::exists(out / "s.vtc"), c.vtc) << c.name;
        const bool completed =
            run.out.find("// Plugin>  Simtrove Plugin completed!") != std::string::npos;
        EXPECT_EQ(completed, c.exitCode == 0) << c.name;
        const std::size_t explained = run.err.find("tavimo-standin: the run ended with false: ");
        if (c.ending.empty())
            EXPECT_EQ(explained, std::string::npos) << c.name << "\n" << run.err;
        else
            EXPECT_NE(run.err.find("tavimo-standin: the run ended with false: " + c.ending + "\n"),
                      std::string::npos)
                << c.name << "\n"
                << run.err;
    }
}

TEST(EndToEnd, TheVmrChecksRefuseWithTheirMessages) {
    ScratchDir out("e2e_vmr");
    ProgramRun none = runProgram({"--no-vmr", "--out", out.path()}, STANDIN_SOURCE_DIR, out);
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(
        none.err,
        "message: This plugin requires a VMR to operate. Make sure that a VMR is open and that its "
        "window is selected.\n"
        "tavimo-standin: the run ended with false: the plug-in showed the message \"This plugin "
        "requires a VMR to operate. Make sure that a VMR...\"\n");
    ProgramRun small = runProgram({"--vmr-dims", "256", "128", "256", "--out", out.path()},
                                  STANDIN_SOURCE_DIR, out);
    EXPECT_EQ(small.exitCode, 1);
    EXPECT_EQ(
        small.err,
        "message: This plugin requires a VMR with \"256\" dimensions, preferentially a VMR in "
        "Talairach space.\n"
        "tavimo-standin: the run ended with false: the plug-in showed the message \"This plugin "
        "requires a VMR with \"256\" dimensions,...\"\n");
}

// A protocol or an answer that does not fit ends the run where it is met, with
// one line that names it; no later prompt is answered out of step and nothing
// is saved.
TEST(EndToEnd, WhatDoesNotFitEndsTheRunThereWithOneLineAndSavesNothing) {
    ScratchDir out("e2e_misfit");
    {
        std::ofstream(out / "typo.prt") << "simtrove-protocol 1\ncondition Rest\n1 5\n"
                                           "conditon Task\n6 10\n";
        std::ofstream(out / "maybe.answers") << "10\nexamples/block.prt\nmaybe\nyes\ns.vtc\n";
        std::ofstream(out / "far.answers") << "10\nexamples/block.prt\n4\nyes\ns.vtc\n";
    }
    const std::string voiPrompt =
        "\"Do you want to use the available VOIs to define simulated cl...\"";
    const std::string conditionPrompt = "\"Select condition:\"";
    struct Case {
        std::vector<std::string> args;
        bool designMatrix;  // written before the prompt that ended the run
        std::string line;
    } cases[] = {
        {{"--time-points", "10", "--protocol", out / "typo.prt"},
         false,
         "message: Cannot load the protocol: " + (out / "typo.prt") +
             ":4: expected \"condition NAME\" or \"FIRST LAST\", got \"conditon Task\""},
        {{"--vois", "examples/two.voi", "--answers", out / "maybe.answers"},
         true,
         "tavimo-standin: error: " + (out / "maybe.answers") +
             ":3: answer \"maybe\" does not fit " + voiPrompt +
             ": expected yes or no; the run ends here"},
        {{"--answers", out / "far.answers"},
         true,
         "tavimo-standin: error: " + (out / "far.answers") + ":3: answer 4 is outside 1 to 3, " +
             "the bounds of " + conditionPrompt + "; the run ends here"},
        {{"--time-points", "1001", "--save", "s.vtc"},
         false,
         "tavimo-standin: error: --time-points 1001 is outside 1 to 1000, the bounds of \"Enter "
         "number of simulated time points:\"; the run ends here"},
        {{"--time-points", "0", "--save", "s.vtc"},
         false,
         "tavimo-standin: error: --time-points 0 is outside 1 to 1000, the bounds of \"Enter "
         "number of simulated time points:\"; the run ends here"},
        {{"--time-points", "10", "--condition", "3", "--save", "s.vtc"},
         true,
         "tavimo-standin: error: --condition 3 is outside 1 to 2, the bounds of " +
             conditionPrompt + "; the run ends here"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(out / "o");
        std::vector<std::string> args = withSmallBox(c.args);
        args.insert(args.end(), {"--out", out / "o"});
        ProgramRun run = runProgram(args, STANDIN_SOURCE_DIR, out);
        EXPECT_EQ(run.exitCode, 2) << c.line;
        const std::string wrote = "tavimo-standin: wrote " + (out / "o/plugin_created.rtc") + "\n";
        EXPECT_EQ(run.err, (c.designMatrix ? wrote : "") + c.line + "\n");
        EXPECT_FALSE(std::filesystem::exists(out / "o/s.vtc")) << c.line;
        EXPECT_FALSE(std::filesystem::exists(out / "o/Simulated.vtc")) << c.line;
    }
}

// A full disk, made by a file-size limit: the files that did not fit are
// named with their kind and the system's reason, and none is left behind,
// under its name or a temporary one.
TEST(EndToEnd, OnAFullDiskNoFileIsLeftPartialAndEachIsNamed) {
    ScratchDir out("e2e_full");
    const std::string dir = out / "o";
    // 64 blocks of at least 512 bytes: the design matrix fits, the VTC (221 kB) does not.
    std::string command = "ulimit -f 64 && trap '' XFSZ && cd ";
    command.append(testing::shellQuoted(STANDIN_SOURCE_DIR)).append(" && ");
    command.append(testing::shellQuoted(STANDIN_PROGRAM));
    for (const std::string& arg : withSmallBox({"--time-points", "12", "--nifti", "--out", dir}))
        command.append(" ").append(testing::shellQuoted(arg));
    command.append(" > /dev/null 2> ").append(testing::shellQuoted(out / "err"));
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(readText(out / "err"),
              "tavimo-standin: wrote " + dir +
                  "/plugin_created.rtc\n"
                  "message: " +
                  dir +
                  "/Simulated.vtc: cannot write the VTC: File too large\n"
                  "message: " +
                  dir +
                  "/Simulated.nii.gz: cannot write the NIfTI copy of the VTC: "
                  "File too large\n");
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        left.insert(entry.path().filename().string());
    EXPECT_EQ(left,
              (std::set<std::string>{"plugin_created.rtc", "simtrove.log", "simtrove_block.prt"}));
}

struct ImageFree {
    void operator()(nifti_image* image) const { nifti_image_free(image); }
};

TEST(EndToEnd, TheNiftiCopyHoldsTheSameTimeCoursesAsTheVtc) {
    ScratchDir out("e2e_nifti");
    ProgramRun run = runProgram(
        withSmallBox({"--time-points", "12", "--protocol", "examples/events.tsv", "--use-cross",
                      "yes", "--save", "s.vtc", "--nifti", "--tr", "1.5", "--out", out.path()}),
        STANDIN_SOURCE_DIR, out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Result<VtcFile> vtc = readVtcFile(out / "s.vtc");
    ASSERT_TRUE(vtc) << vtc.error();
    EXPECT_EQ(vtc.value().geometry.repetitionTime, 1.5f);
    std::unique_ptr<nifti_image, ImageFree> image(nifti_image_read((out / "s.nii.gz").c_str(), 1));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->nx, 32);
    EXPECT_EQ(image->ny, 12);
    EXPECT_EQ(image->nz, 12);
    EXPECT_EQ(image->nt, 12);
    EXPECT_EQ(image->dt, 1.5f);
    EXPECT_EQ(image->sto_xyz.m[0][3], 80.0f);
    const float* data = static_cast<const float*>(image->data);
    const std::size_t voxels = 32 * 12 * 12;
    const std::size_t centre = voxelIndex(vtc.value().geometry, 16, 6, 6);
    for (std::size_t t = 0; t < 12; ++t)
        EXPECT_EQ(data[t * voxels + centre], vtc.value().samples[centre * 12 + t]);
}

TEST(EndToEnd, TheMainJobRunsWithoutAnyAnswer) {
    ScratchDir out("e2e_main");
    ProgramRun run = runProgram({}, out.path().string(), out);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* file :
         {"Simulated.vtc", "Simulated.nii.gz", "Simulated.json", "Simulated_truth.nii.gz",
          "Simulated_truth.json", "Simulated_events.tsv", "Simulated_design.rtc",
          "plugin_created.rtc", "simtrove_block.prt", "simtrove.log"})
        EXPECT_TRUE(std::filesystem::exists(out.path() / file)) << file;
    Result<VtcFile> vtc = readVtcFile(out / "Simulated.vtc");
    ASSERT_TRUE(vtc) << vtc.error();
    const VtcGeometry& g = vtc.value().geometry;
    EXPECT_EQ(g.dimX(), 58);
    EXPECT_EQ(g.dimY(), 40);
    EXPECT_EQ(g.dimZ(), 46);
    EXPECT_EQ(g.timePoints, 250);
    EXPECT_EQ(vtc.value().linkedProtocol, "./simtrove_block.prt");
    EXPECT_NE(run.out.find("// Plugin>  Selected position: X: 128  Y: 128  Z: 128\n"),
              std::string::npos);
}

// What the noise pass alone leaves: 100 + 5 * normal, drawn volume by volume,
// then z, y, x, from the fixed seed.
std::vector<float> noiseOnlySamples(const VtcGeometry& g) {
    simtrove::random::deviateState() = {};
    int seed = -1;
    const std::size_t voxels = std::size_t(g.voxelCount()), T = std::size_t(g.timePoints);
    std::vector<float> samples(voxels * T);
    for (std::size_t t = 0; t < T; ++t)
        for (std::size_t v = 0; v < voxels; ++v)
            samples[v * T + t] = float(100.0 + double(float(double(normal_deviate(&seed)) * 5.0)));
    return samples;
}

using Labels = std::map<std::size_t, int>;  // voxel index -> label, only the labelled ones

// Every position of the grid within distance 2 of `centre` (grid voxels).
Labels sphereAround(const VtcGeometry& g, int cx, int cy, int cz, int label) {
    Labels labels;
    for (int z = 0; z < g.dimZ(); ++z)
        for (int y = 0; y < g.dimY(); ++y)
            for (int x = 0; x < g.dimX(); ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz) <= 4)
                    labels[voxelIndex(g, x, y, z)] = label;
    return labels;
}

TEST(EndToEnd, TheTruthMapLabelsExactlyTheVoxelsTheSignalReached) {
    ScratchDir out("e2e_truth");
    // Coordinate space 3 places (a, b, c) at VMR (128 - b, 128 - c, 128 - a). In the
    // small box (start 80, 110, 110; resolution 3): (0, 0, 0) is grid (16, 6, 6),
    // (9, -6, 3) is VMR (134, 125, 119) = grid (18, 5, 3), (3, 0, 0) is VMR
    // (128, 128, 125) = grid (16, 6, 5), and (0, 100, 0) lies left of the box.
    {
        std::ofstream(out / "mirrored.voi") << "simtrove-vois 1\ncoordinate-space 3\n"
                                               "voi A\n0 0 0\n9 -6 3\n0 100 0\n"
                                               "voi B\n3 0 0\n0 0 0\n";
    }
    const VtcGeometry g{80, 176, 110, 146, 110, 146, 3, 10, 2.0f};
    struct Case {
        const char* name;
        std::vector<std::string> args;
        Labels expected;
    } cases[] = {
        {"cluster at the grid centre", {"--condition", "3"}, sphereAround(g, 16, 6, 6, 3)},
        {"cluster at the border", {"--cross", "80", "110", "128"}, sphereAround(g, 0, 0, 6, 2)},
        {"VOIs in coordinate space 3, one voxel in both",
         {"--vois", out / "mirrored.voi", "--voi-predictors", "1,3"},
         {{voxelIndex(g, 18, 5, 3), 1},
          {voxelIndex(g, 16, 6, 5), 3},
          {voxelIndex(g, 16, 6, 6), 3}}},
    };
    ASSERT_EQ(cases[0].expected.size(), 33u);
    for (const Case& c : cases) {
        std::vector<std::string> args = withSmallBox(c.args);
        args.insert(args.end(), {"--time-points", "10", "--protocol", "examples/block.prt",
                                 "--save", "t.vtc", "--out", out.path().string()});
        ProgramRun run = runProgram(args, STANDIN_SOURCE_DIR, out);
        ASSERT_EQ(run.exitCode, 0) << c.name << "\n" << run.err;
        Result<VtcFile> vtc = readVtcFile(out / "t.vtc");
        ASSERT_TRUE(vtc) << vtc.error();
        ASSERT_EQ(vtc.value().geometry, g);
        std::unique_ptr<nifti_image, ImageFree> truth(
            nifti_image_read((out / "t_truth.nii.gz").c_str(), 1));
        std::unique_ptr<nifti_image, ImageFree> data(
            nifti_image_read((out / "t.nii.gz").c_str(), 0));
        ASSERT_TRUE(truth && data) << c.name;
        EXPECT_EQ(truth->ndim, 3);
        EXPECT_EQ(truth->datatype, NIFTI_TYPE_INT16);
        EXPECT_EQ(truth->scl_inter, 0.0f);
        for (int axis = 1; axis <= 3; ++axis) {
            EXPECT_EQ(truth->dim[axis], data->dim[axis]);
            EXPECT_EQ(truth->pixdim[axis], data->pixdim[axis]);
        }
        EXPECT_EQ(truth->qform_code, data->qform_code);
        EXPECT_EQ(truth->sform_code, data->sform_code);
        for (int r = 0; r < 4; ++r)
            for (int col = 0; col < 4; ++col) {
                EXPECT_EQ(truth->sto_xyz.m[r][col], data->sto_xyz.m[r][col]);
                EXPECT_EQ(truth->qto_xyz.m[r][col], data->qto_xyz.m[r][col]);
            }

        // Labelled exactly where the samples differ from a noise-only pass.
        const std::vector<float> noise = noiseOnlySamples(g);
        const std::int16_t* labels = static_cast<const std::int16_t*>(truth->data);
        Labels found;
        for (std::size_t v = 0; v < std::size_t(g.voxelCount()); ++v) {
            const bool changed = !std::equal(noise.begin() + std::ptrdiff_t(v * 10),
                                             noise.begin() + std::ptrdiff_t(v * 10 + 10),
                                             vtc.value().samples.begin() + std::ptrdiff_t(v * 10));
            EXPECT_EQ(changed, labels[v] != 0) << c.name << " voxel " << v;
            if (labels[v] != 0) found[v] = labels[v];
        }
        EXPECT_EQ(found, c.expected) << c.name;
    }
}

TEST(EndToEnd, SidecarsParseAndTheEventsTableGivesBackTheDesign) {
    ScratchDir out("e2e_sidecars");
    const std::vector<std::string> run1 = {"--vois",
                                           "examples/two.voi",
                                           "--voi-predictors",
                                           "2,3",
                                           "--time-points",
                                           "40",
                                           "--protocol",
                                           "examples/block.prt",
                                           "--tr",
                                           "0.72",
                                           "--save",
                                           "v.vtc",
                                           "--out",
                                           out.path().string()};
    ProgramRun run = runProgram(withSmallBox(run1), STANDIN_SOURCE_DIR, out);
    ASSERT_EQ(run.exitCode, 0) << run.err;

    using nlohmann::json;
    const json data = json::parse(readText(out / "v.json"));
    EXPECT_EQ(data["RepetitionTime"], 0.72);
    EXPECT_EQ(data["TaskName"], "block");
    const json& simulation = data["Simulation"];
    EXPECT_EQ(simulation["Baseline"], 100.0);
    EXPECT_EQ(simulation["NoiseStandardDeviation"], 5.0);
    EXPECT_EQ(simulation["SignalAmplitudePercentOfBaseline"], 3.0);
    EXPECT_EQ(simulation["Mode"], "VOIs");
    EXPECT_EQ(simulation["VOIs"][1]["Name"], "Right cluster");
    EXPECT_EQ(simulation["VOIs"][1]["Predictor"], "Houses");
    EXPECT_EQ(simulation["Predictors"], json({"Rest", "Faces", "Houses"}));
    EXPECT_EQ(simulation["NumberOfTimePoints"], 40);
    EXPECT_EQ(simulation["Grid"]["Dimensions"], json({32, 12, 12}));
    EXPECT_EQ(simulation["Grid"]["Start"], json({80, 110, 110}));
    EXPECT_EQ(simulation["Grid"]["End"], json({176, 146, 146}));
    EXPECT_EQ(simulation["Grid"]["Resolution"], 3);
    // --voi-predictors 2,3: the numbers are the design matrix's 1-based columns.
    EXPECT_EQ(simulation["VOIs"][0]["PredictorNumber"], 2);
    EXPECT_EQ(simulation["VOIs"][1]["PredictorNumber"], 3);
    EXPECT_EQ(simulation["VOIs"][0]["Predictor"], "Faces");
    const json truth = json::parse(readText(out / "v_truth.json"));
    EXPECT_EQ(truth["Labels"]["0"], "noise only");
    EXPECT_EQ(truth["Labels"]["3"], "Houses");
    EXPECT_EQ(truth["Simulation"], simulation);

    // Read back as the protocol of a second run, the table gives the same design matrix.
    const std::string events = readText(out / "v_events.tsv");
    EXPECT_EQ(events.substr(0, events.find('\n')), "onset\tduration\ttrial_type");
    EXPECT_NE(events.find("\n7.2\t7.2\tFaces\n"), std::string::npos) << events;
    ScratchDir again("e2e_sidecars_again");
    ProgramRun reread =
        runProgram(withSmallBox({"--time-points", "40", "--protocol", out / "v_events.tsv", "--tr",
                                 "0.72", "--save", "cancel", "--out", again.path().string()}),
                   STANDIN_SOURCE_DIR, again);
    ASSERT_EQ(reread.exitCode, 0) << reread.err;
    EXPECT_EQ(readText(again / "plugin_created.rtc"), readText(out / "plugin_created.rtc"));
    EXPECT_EQ(readText(out / "v_design.rtc"), readText(out / "plugin_created.rtc"));
    // Discarding the simulation is said.
    EXPECT_NE(reread.err.find("tavimo-standin: the simulation was not saved: the save dialog was "
                              "cancelled by --save cancel\n"),
              std::string::npos)
        << reread.err;
}

}  // namespace
}  // namespace simtrove::standin
