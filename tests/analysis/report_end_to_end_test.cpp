// Simulates with the real plug-in through tavimo-standin, then analyses the
// result: the report must find what the simulation planted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analysis/report_command.h"
#include "formats/nifti.h"
#include "formats/vtc_file.h"

namespace simtrove::analysis {

using formats::DesignFile;
using formats::readDesignMatrix;
using formats::VolumeGrid;
namespace {

namespace fs = std::filesystem;

fs::path scratch(const char* name) {
    const fs::path dir = fs::temp_directory_path() /
                         (std::string("report_e2e_") + name + "_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void simulate(const std::string& arguments, const fs::path& dir) {
    const std::string command = std::string(STANDIN_PROGRAM) + " --out " + dir.string() + " " +
                                arguments + " > " + (dir / "run.txt").string() + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

ReportInput load(const fs::path& vtcPath, const fs::path& designPath) {
    auto vtc = formats::readVtcFile(vtcPath.string());
    EXPECT_TRUE(vtc) << vtc.error();
    auto design = readDesignMatrix(designPath.string());
    EXPECT_TRUE(design) << design.error();
    ReportInput in;
    const formats::VtcGeometry& g = vtc.value().geometry;
    in.grid = {{g.dimX(), g.dimY(), g.dimZ()}, {g.xStart, g.yStart, g.zStart}, g.resolution};
    in.volumes = g.timePoints;
    in.samples = std::move(vtc.value().samples);
    in.design = std::move(design.value());
    return in;
}

int distance2(const std::array<int, 3>& a, const std::array<int, 3>& b) {
    int d = 0;
    for (int i = 0; i < 3; ++i) d += (a[i] - b[i]) * (a[i] - b[i]);
    return d;
}

// Sum of squared deviations of a predictor from its mean: with one predictor
// and the constant, the coefficient's variance is sigma^2 / this.
double squaresOf(const DesignFile& d, const std::string& name) {
    const std::size_t j =
        std::size_t(std::find(d.names.begin(), d.names.end(), name) - d.names.begin());
    double mean = 0.0, s = 0.0;
    for (int t = 0; t < d.volumes; ++t) mean += d.values[j * d.volumes + t];
    mean /= d.volumes;
    for (int t = 0; t < d.volumes; ++t) s += std::pow(d.values[j * d.volumes + t] - mean, 2);
    return s;
}

// The main job: 58 x 40 x 46 voxels, 250 volumes, Rest and Task alternating
// every 10 volumes, 3 % Task signal (noise sd 5) in the 33 voxels within 2 of
// the cross-hair's grid position (128 - 41) / 3, (128 - 68) / 3, (128 - 59) / 3.
TEST(ReportEndToEnd, FindsTheDefaultCluster) {
    const fs::path dir = scratch("cluster");
    simulate("", dir);
    ReportInput in = load(dir / "Simulated.vtc", dir / "plugin_created.rtc");
    const std::array<int, 3> centre = {29, 20, 23};
    const VolumeGrid grid = in.grid;
    ASSERT_EQ(grid.dims, (std::array<int, 3>{58, 40, 46}));

    // With Rest in the model, Rest + Task is the constant after the first
    // volumes: the report tests each condition against the other instead and
    // finds the cluster. The truth map labels the sphere with Task's column 2.
    std::vector<int> truth(grid.voxels(), 0);
    for (std::size_t v = 0; v < grid.voxels(); ++v)
        if (distance2(grid.position(v), centre) <= 4) truth[v] = 2;
    in.truth = truth;
    std::vector<std::string> written;
    const auto full = writeReport(in, (dir / "full").string(), &written);
    ASSERT_TRUE(full) << full.error();
    ASSERT_EQ(full.value().predictors.size(), 2u);
    const PredictorSummary& contrast = full.value().predictors[1];
    EXPECT_EQ(contrast.name, "Task - Rest");
    EXPECT_TRUE(contrast.contrast);
    EXPECT_LE(distance2(contrast.peakGrid, centre), 4);
    EXPECT_GT(contrast.peakT, 0.0f);
    EXPECT_GE(contrast.voxelsAbove, 5u);
    ASSERT_TRUE(contrast.truth);
    EXPECT_EQ(contrast.truth->plantedVoxels, 33u);
    EXPECT_GT(contrast.truth->roc.area, 0.99);
    for (const ThresholdCount& c : contrast.thresholds) {
        ASSERT_TRUE(c.truth) << thresholdName(c.kind);
        EXPECT_EQ(c.truth->truePositives + c.truth->falsePositives, c.voxels);
        EXPECT_DOUBLE_EQ(c.truth->sensitivity, double(c.truth->truePositives) / 33.0);
    }
    // Bonferroni: no noise voxel; FDR between Bonferroni and uncorrected; the
    // uncorrected p < 0.001 lets about 0.001 of the 106687 noise voxels through.
    const auto& th = contrast.thresholds;
    EXPECT_EQ(th[0].truth->falsePositives, 0u);
    EXPECT_EQ(th[0].truth->truePositives, contrast.voxelsAbove);
    EXPECT_GE(th[1].truth->truePositives, th[0].truth->truePositives);
    EXPECT_LE(th[1].truth->truePositives, th[2].truth->truePositives);
    EXPECT_NEAR(double(th[2].truth->falsePositives), 106.7, 35.0);
    EXPECT_TRUE(fs::exists(dir / "full" / "roc_Task_-_Rest.png"));
    in.truth.clear();

    in.exclude = {"Rest"};
    const auto r = writeReport(in, (dir / "report").string(), &written);
    ASSERT_TRUE(r) << r.error();
    const ReportSummary& s = r.value();
    ASSERT_EQ(s.predictors.size(), 1u);
    const PredictorSummary& task = s.predictors[0];
    EXPECT_NEAR(task.varianceInflation, 1.0, 1e-3);
    // The strongest voxel and every detected voxel lie in the sphere; with
    // Bonferroni over 106720 voxels no noise voxel is expected to pass.
    EXPECT_LE(distance2(task.peakGrid, centre), 4) << task.peakGrid[0] << task.peakGrid[1];
    EXPECT_GT(task.peakT, 0.0f);
    for (std::size_t v = 0; v < task.above.size(); ++v)
        if (task.above[v]) {
            EXPECT_LE(distance2(grid.position(v), centre), 4) << v;
        }
    // Expected t in the sphere: 3 sqrt(SS) / 5, about 4.9, against a critical
    // t of about 5.2, so only part of the sphere passes; at least a few must.
    EXPECT_GE(task.voxelsAbove, 5u);
    EXPECT_LE(task.voxelsAbove, 33u);
    EXPECT_EQ(task.negativeAbove, 0u);
    EXPECT_NEAR(s.tsnr, 20.0, 0.2);  // 100 / 5

    // Over the whole sphere, the mean signal change is 3 % within three
    // standard errors (5 / sqrt(SS) per voxel, over 33 voxels), and the mean t
    // is 3 sqrt(SS) / 5 within three standard errors (1 / sqrt(33)).
    const double ss = squaresOf(in.design, "Task");
    std::string error;
    const auto model = GlmModel::create(
        std::vector<float>(in.design.values.begin() + 250, in.design.values.end()), 1, 250, &error);
    ASSERT_TRUE(model) << error;
    const GlmMaps maps = fitVoxels(*model, in.samples);
    double psc = 0.0, t = 0.0;
    int n = 0;
    for (std::size_t v = 0; v < grid.voxels(); ++v) {
        if (distance2(grid.position(v), centre) > 4) continue;
        psc += maps.coefficient(0, v) / maps.coefficient(1, v) * 100.0;
        t += maps.tValue(0, v);
        ++n;
    }
    ASSERT_EQ(n, 33);
    EXPECT_NEAR(psc / n, 3.0, 3.0 * 5.0 / std::sqrt(ss) / std::sqrt(33.0));
    EXPECT_NEAR(t / n, 3.0 * std::sqrt(ss) / 5.0, 3.0 / std::sqrt(33.0));
    fs::remove_all(dir);
}

// VOI mode in a small box: a long run (1000 volumes) of Rest, Faces, Rest,
// Houses blocks, Faces planted in "Left cluster" and Houses in "Right cluster"
// (27 VMR voxels each, one per VTC voxel).
TEST(ReportEndToEnd, DetectsEachVoiWithItsPredictor) {
    const fs::path dir = scratch("voi");
    {
        std::ofstream prt(dir / "long.prt");
        prt << "simtrove-protocol 1\n";
        for (const auto& [name, offset] : {std::pair{"Rest", 0}, {"Faces", 10}, {"Houses", 30}}) {
            prt << "condition " << name << "\n";
            for (int start = offset; start < 1000; start += 40) {
                prt << start + 1 << " " << start + 10 << "\n";
                if (offset == 0) prt << start + 21 << " " << start + 30 << "\n";
            }
        }
    }
    simulate("--vtc-box 80 170 110 146 110 146 --vois " + std::string(STANDIN_SOURCE_DIR) +
                 "/examples/two.voi --time-points 1000 --protocol " + (dir / "long.prt").string() +
                 " --use-vois yes --voi-predictors 2,3 --save VOIs.vtc",
             dir);
    ReportInput in = load(dir / "VOIs.vtc", dir / "plugin_created.rtc");
    in.exclude = {"Rest"};
    std::vector<std::string> written;
    const auto r = writeReport(in, (dir / "report").string(), &written);
    ASSERT_TRUE(r) << r.error();
    const ReportSummary& s = r.value();
    ASSERT_EQ(s.predictors.size(), 2u);
    // VOI voxels: x 95..101 (left) or 155..161 (right), y and z 125..131, in
    // steps of 3 from the box start (80, 110, 110).
    auto voiOf = [&](std::size_t v) {
        const std::array<int, 3> p = in.grid.vmrPosition(in.grid.position(v));
        if (p[1] < 125 || p[1] > 131 || p[2] < 125 || p[2] > 131) return 0;
        if (p[0] >= 95 && p[0] <= 101) return 1;
        if (p[0] >= 155 && p[0] <= 161) return 2;
        return 0;
    };
    for (int j = 0; j < 2; ++j) {
        const PredictorSummary& p = s.predictors[std::size_t(j)];
        EXPECT_EQ(p.name, j == 0 ? "Faces" : "Houses");
        EXPECT_EQ(voiOf(p.peakVoxel), j + 1);
        std::size_t inOwn = 0;
        for (std::size_t v = 0; v < p.above.size(); ++v) {
            if (!p.above[v]) continue;
            EXPECT_EQ(voiOf(v), j + 1) << p.name << " at voxel " << v;
            inOwn += voiOf(v) == j + 1;
        }
        EXPECT_GE(inOwn, 24u) << p.name;  // expected t about 7.5 against about 4.4
        ASSERT_TRUE(p.meanPercentChange);
        EXPECT_NEAR(*p.meanPercentChange, 3.0, 0.6);
    }
    fs::remove_all(dir);
}

// The command itself on the main job's files, as the README shows it: the
// design matrix and the truth map that the stand-in wrote beside the data
// found by their names, even after another run in the same folder has
// replaced plugin_created.rtc with a design of another length.
TEST(ReportEndToEnd, CommandWritesTheFolder) {
    const fs::path dir = scratch("command");
    simulate("", dir);
    simulate("--time-points 20 --save Other.vtc", dir);
    ASSERT_TRUE(fs::exists(dir / "Simulated_truth.nii.gz"));
    ASSERT_EQ(readDesignMatrix((dir / "plugin_created.rtc").string()).value().volumes, 20);
    const std::string command = std::string(STANDIN_PROGRAM) + " report " +
                                (dir / "Simulated.vtc").string() +
                                " --out=" + (dir / "report").string() + " > " +
                                (dir / "out.txt").string() + " 2> " + (dir / "err.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"report.html", "report.json", "tmap_Task_-_Rest.nii.gz",
                             "design_matrix.png", "slices_Task_-_Rest.png",
                             "timecourse_Task_-_Rest.png", "roc_Task_-_Rest.png", "tsnr.png"})
        EXPECT_TRUE(fs::exists(dir / "report" / name)) << name;
    std::ifstream out(dir / "out.txt");
    std::stringstream text;
    text << out.rdbuf();
    EXPECT_EQ(text.str().rfind("The conditions fill the run", 0), 0u) << text.str();
    EXPECT_NE(text.str().find("\nTask - Rest: peak t "), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("  ROC area 0.99"), std::string::npos) << text.str();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace simtrove::analysis
