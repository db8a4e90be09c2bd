// Tests of html_report and json_report, which share the page description.
#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "analysis/html_report.h"
#include "analysis/json_report.h"

namespace simtrove::analysis {
namespace {

ImageFile image(const std::string& file, int width, int height, const std::string& caption) {
    ImageFile f;
    f.file = file;
    f.width = width;
    f.height = height;
    f.caption = caption;
    return f;
}

struct Fixture {
    ReportPage page;
    ReportResults results;
    ReportSummary& summary = results.summary;
    Fixture() {
        page.dataFile = "Sim<1>.vtc";
        page.designFile = "plugin_created.rtc";
        page.grid = {{58, 40, 46}, {41, 68, 59}, 3};
        page.design = image("design_matrix.png", 500, 700, "Design matrix");
        page.tsnr = image("tsnr.png", 600, 400, "tSNR");
        page.truthFile = "Sim_truth.nii.gz";
        PredictorFiles fa;
        fa.tMap = "tmap_A.nii.gz";
        fa.zMap = "zmap_A.nii.gz";
        fa.pMap = "pmap_A.nii.gz";
        fa.slices = image("slices_A.png", 1, 2, "s");
        fa.timeCourse = image("tc_A.png", 3, 4, "t");
        fa.roc = image("roc_A.png", 5, 6, "r");
        PredictorFiles fb;
        fb.tMap = "tmap_B.nii.gz";
        fb.slices = image("slices_B.png", 1, 2, "s");
        fb.timeCourse = image("tc_B.png", 3, 4, "t");
        page.predictors = {fa, fb};
        summary.voxels = 106720;
        summary.volumes = 250;
        summary.degreesOfFreedom = 247;
        summary.pThreshold = 0.05 / 106720;
        summary.tThreshold = 5.18f;
        summary.tsnr = 20.0;
        PredictorSummary a;
        a.name = "A \"quoted\" & <b>";
        a.peakT = 7.25f;
        a.peakP = 1e-11f;
        a.peakGrid = {29, 20, 23};
        a.peakVmr = {128, 128, 128};
        a.voxelsAbove = 33;
        a.positiveAbove = 33;
        a.meanPercentChange = 3.0;
        ThresholdCount fdr;
        fdr.kind = ThresholdKind::Fdr;
        fdr.level = 0.05;
        fdr.cut = {1e-4, true, false};
        fdr.tCut = 3.9f;
        fdr.voxels = 40;
        fdr.positive = 40;
        fdr.truth = Detection{30, 10, 30.0 / 33.0, 0.25};
        a.thresholds = {fdr};
        a.truth = TruthEvaluation{{2}, {}, 33, {33, 106687, 0.975, {{0.0, 0.0}, {1.0, 1.0}}}};
        summary.hasTruth = true;
        PredictorSummary b;
        b.name = "B\tline\n";
        b.peakT = NAN;
        b.varianceInflation = 31.0;
        summary.predictors = {a, b};
        results.statistics.resize(2);
        results.statistics[0].weights = {1.0, 0.0, 0.0};
        results.model.columns = {"A", "B", "constant"};
    }
};

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(JsonReport, FiguresAndEscaping) {
    const Fixture f;
    const auto json = nlohmann::json::parse(formatJsonReport(f.page, f.results));
    EXPECT_EQ(json["data"], "Sim<1>.vtc");
    EXPECT_EQ(json["truth"], "Sim_truth.nii.gz");
    EXPECT_EQ(json["grid"]["dims"], nlohmann::json({58, 40, 46}));
    const auto& a = json["predictors"][0];
    const auto& b = json["predictors"][1];
    EXPECT_EQ(a["name"], "A \"quoted\" & <b>");
    EXPECT_EQ(b["name"], "B\tline\n");
    EXPECT_EQ(a["peak"]["grid"], nlohmann::json({29, 20, 23}));
    EXPECT_EQ(a["peak"]["t"], 7.25);
    EXPECT_EQ(a["voxels_above"], 33);
    EXPECT_EQ(a["mean_percent_signal_change"], 3.0);
    EXPECT_TRUE(b["mean_percent_signal_change"].is_null());
    EXPECT_TRUE(b["peak"]["t"].is_null());  // NaN is not JSON
    EXPECT_EQ(b["t_map"], "tmap_B.nii.gz");
    EXPECT_EQ(b["variance_inflation"], 31.0);
    EXPECT_EQ(a["images"]["roc"], "roc_A.png");
    EXPECT_TRUE(b["images"]["roc"].is_null());
    const auto& fdr = a["thresholds"][0];
    EXPECT_EQ(fdr["method"], "FDR");
    EXPECT_EQ(fdr["t_cut"], 3.9);  // the float's shortest decimal
    EXPECT_EQ(fdr["true_positives"], 30);
    EXPECT_EQ(fdr["false_discovery_proportion"], 0.25);
    EXPECT_EQ(a["truth"]["roc"]["area"], 0.975);
    EXPECT_EQ(a["truth"]["columns"], nlohmann::json({2}));
    EXPECT_TRUE(b["truth"].is_null());
    EXPECT_EQ(a["weights"], nlohmann::json({1.0, 0.0, 0.0}));
    EXPECT_TRUE(a["expression"].is_null());  // a predictor has none
    EXPECT_TRUE(a["calibration"].is_null());
    EXPECT_EQ(jsonString(std::string("\x01z", 2)), "\"\\u0001z\"");
}

TEST(HtmlReport, OneImagePerPictureAndEscapedNames) {
    const Fixture f;
    const std::string html = formatHtmlReport(f.page, f.results);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(occurrences(html, "<img "), 7u);
    EXPECT_NE(html.find("<td class=\"n\">0.909</td><td class=\"n\">0.250</td>"),
              std::string::npos);  // A's sensitivity and false discovery proportion
    EXPECT_NE(html.find("0.9750"), std::string::npos);  // A's ROC area
    EXPECT_NE(html.find("<img src=\"slices_A.png\" width=\"1\" height=\"2\""), std::string::npos);
    EXPECT_NE(html.find("Predictor A &quot;quoted&quot; &amp; &lt;b&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<b>"), std::string::npos);
    EXPECT_NE(html.find("Sim&lt;1&gt;.vtc"), std::string::npos);
    EXPECT_NE(html.find("3.00 %"), std::string::npos);
    EXPECT_NE(html.find("(29, 20, 23)"), std::string::npos);
    EXPECT_NE(html.find("4.69e-07"), std::string::npos);
    EXPECT_EQ(htmlEscape("a'b"), "a&#39;b");
    EXPECT_EQ(occurrences(html, "class=\"warn\""), 1u);  // only B is inflated
    EXPECT_NE(html.find("variance is 31 times"), std::string::npos);
}

}  // namespace
}  // namespace simtrove::analysis
