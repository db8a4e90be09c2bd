#include "analysis/report_command.h"

#include <gtest/gtest.h>
#include <nifti1_io.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

namespace simtrove::analysis {
namespace {

namespace fs = std::filesystem;

TEST(ReportCommand, ParsesArguments) {
    const auto o = parseReportArguments({"Sim.vtc",
                                         "--design",
                                         "d.rtc",
                                         "--exclude",
                                         "Rest",
                                         "--out",
                                         "r",
                                         "--exclude",
                                         "B",
                                         "--alpha",
                                         "0.01",
                                         "--contrast",
                                         "TvR: Task - Rest",
                                         "--fdr",
                                         "0.1",
                                         "--p",
                                         "0.005",
                                         "--truth",
                                         "t.nii.gz",
                                         "--noise-model",
                                         "ar1",
                                         "--high-pass",
                                         "128",
                                         "--tail",
                                         "both",
                                         "--ar1-per-voxel"});
    ASSERT_TRUE(o) << o.error();
    EXPECT_EQ(o.value().data, "Sim.vtc");
    EXPECT_EQ(o.value().design, "d.rtc");
    EXPECT_EQ(o.value().outDir, "r");
    EXPECT_EQ(o.value().exclude, (std::vector<std::string>{"Rest", "B"}));
    EXPECT_DOUBLE_EQ(o.value().levels.alpha, 0.01);
    EXPECT_DOUBLE_EQ(o.value().levels.fdr, 0.1);
    EXPECT_DOUBLE_EQ(o.value().levels.uncorrected, 0.005);
    EXPECT_EQ(o.value().contrasts, (std::vector<std::string>{"TvR: Task - Rest"}));
    EXPECT_EQ(o.value().truth, "t.nii.gz");
    EXPECT_EQ(o.value().noiseModel, NoiseModel::Ar1);
    EXPECT_DOUBLE_EQ(o.value().highPassSeconds, 128.0);
    EXPECT_EQ(o.value().tail, Tail::Both);
    EXPECT_FALSE(o.value().smoothAutocorrelation);
    EXPECT_EQ(parseReportArguments({"x.nii.gz", "--design", "d"}).value().outDir, "report");
    EXPECT_TRUE(parseReportArguments({"--help"}).value().help);

    const struct {
        std::vector<std::string> args;
        const char* error;
    } bad[] = {
        {{}, "no data file (a .vtc, .nii or .nii.gz file)"},
        {{"a.vtc"}, "no design matrix (--design FILE)"},
        {{"a.vtc", "--design"}, "--design needs a value"},
        {{"a.vtc", "--design", "d", "b.vtc"}, "b.vtc: only one data file can be analysed"},
        {{"a.vtc", "--design", "d", "--alpha", "1"},
         "--alpha 1: expected a number between 0 and 1"},
        {{"a.vtc", "--design", "d", "--alpha", "0.05x"},
         "--alpha 0.05x: expected a number between 0 and 1"},
        {{"a.vtc", "--design", "d", "--fdr", "0"}, "--fdr 0: expected a number between 0 and 1"},
        {{"a.vtc", "--design", "d", "--contrast"}, "--contrast needs a value"},
        {{"a.vtc", "--design", "d", "--noise-model", "ar2"},
         "--noise-model ar2: expected ols or ar1"},
        {{"a.vtc", "--design", "d", "--tail", "up"},
         "--tail up: expected positive, negative or both"},
        {{"a.vtc", "--design", "d", "--high-pass", "-1"},
         "--high-pass -1: expected a period in seconds above 0"},
        {{"a.vtc", "--bogus"}, "--bogus: unknown option (see tavimo-standin report --help)"},
    };
    for (const auto& c : bad) EXPECT_EQ(parseReportArguments(c.args).error(), c.error);
}

TEST(ReportCommand, FileStemsAreSafeAndUnique) {
    EXPECT_EQ(fileStems({"Task", "a/b c", "", "a_b_c", "Task", "ü"}),
              (std::vector<std::string>{"Task", "a_b_c", "predictor3", "a_b_c_2", "Task_2", "__"}));
}

ReportInput smallInput() {
    ReportInput in;
    in.grid = {{3, 2, 2}, {0, 0, 0}, 2};
    in.volumes = 12;
    in.design.names = {"Rest", "Task"};
    in.design.volumes = 12;
    for (int j = 0; j < 2; ++j)
        for (int t = 0; t < 12; ++t) in.design.values.push_back(float((t / 3 + j) % 2));
    for (std::size_t v = 0; v < in.grid.voxels(); ++v)
        for (int t = 0; t < 12; ++t) in.samples.push_back(100.0f + float((t * 7 + v) % 5));
    return in;
}

TEST(ReportCommand, RefusesMismatchedInputsBeforeWriting) {
    ReportInput in = smallInput();
    in.exclude = {"Task", "Nope"};
    std::vector<std::string> written;
    EXPECT_EQ(writeReport(in, "unused", &written).error(),
              "--exclude Nope: the design matrix has no such predictor");
    in.exclude.clear();
    in.design.volumes = 11;
    EXPECT_EQ(writeReport(in, "unused", &written).error(),
              "the design matrix has 11 volumes but the data have 12");
    EXPECT_TRUE(written.empty());
    EXPECT_FALSE(fs::exists("unused"));
}

TEST(ReportCommand, WritesEveryFileOfTheFolder) {
    const fs::path dir =
        fs::temp_directory_path() / ("report_command_test_" + std::to_string(getpid())) / "r";
    ReportInput in = smallInput();
    in.exclude = {"Rest"};
    std::vector<std::string> written;
    const auto summary = writeReport(in, dir.string(), &written);
    ASSERT_TRUE(summary) << summary.error();
    std::vector<std::string> names;
    for (const std::string& p : written) names.push_back(fs::path(p).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{
                         "design_matrix.png", "design_matrix.svg", "tmap_Task.nii.gz",
                         "zmap_Task.nii.gz", "pmap_Task.nii.gz", "slices_Task.png",
                         "planes_Task.png", "mip_Task.png", "timecourse_Task.png",
                         "timecourse_Task.svg", "tsnr.png", "report.html", "report.json"}));
    for (const std::string& p : written) EXPECT_GT(fs::file_size(p), 100u) << p;
    // The maps' headers as the system's NIfTI library reads them: t with its
    // degrees of freedom (12 volumes, Task and the constant), z and p.
    const struct {
        const char* file;
        int intent;
        float p1;
    } maps[] = {{"tmap_Task.nii.gz", NIFTI_INTENT_TTEST, 10.0f},
                {"zmap_Task.nii.gz", NIFTI_INTENT_ZSCORE, 0.0f},
                {"pmap_Task.nii.gz", NIFTI_INTENT_PVAL, 0.0f}};
    for (const auto& m : maps) {
        nifti_image* image = nifti_image_read((dir / m.file).string().c_str(), 0);
        ASSERT_NE(image, nullptr) << m.file;
        EXPECT_EQ(image->intent_code, m.intent) << m.file;
        EXPECT_EQ(image->intent_p1, m.p1) << m.file;
        EXPECT_EQ(image->ndim, 3) << m.file;
        EXPECT_NE(std::string(image->descrip).find("predictor Task"), std::string::npos);
        nifti_image_free(image);
    }

    std::ostringstream out, err;
    EXPECT_EQ(runReport({(dir / "missing.vtc").string(), "--design", "d.rtc"}, out, err), 2);
    EXPECT_EQ(err.str().rfind("tavimo-standin report: " + (dir / "missing.vtc").string(), 0), 0u);
    fs::remove_all(dir.parent_path());
}

}  // namespace
}  // namespace simtrove::analysis
