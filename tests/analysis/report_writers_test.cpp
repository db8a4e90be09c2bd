// Tests of html_report and json_report, which share the page description.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/html_report.h"
#include "analysis/json_report.h"

namespace simtrove::analysis {
namespace {

struct Fixture {
    ReportPage page;
    ReportSummary summary;
    Fixture() {
        page.dataFile = "Sim<1>.vtc";
        page.designFile = "plugin_created.rtc";
        page.grid = {{58, 40, 46}, {41, 68, 59}, 3};
        page.design = {"design_matrix.png", 500, 700, "Design matrix"};
        page.tsnr = {"tsnr.png", 600, 400, "tSNR"};
        page.predictors.push_back(
            {"tmap_A.nii.gz", {"slices_A.png", 1, 2, "s"}, {"tc_A.png", 3, 4, "t"}});
        page.predictors.push_back(
            {"tmap_B.nii.gz", {"slices_B.png", 1, 2, "s"}, {"tc_B.png", 3, 4, "t"}});
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
        PredictorSummary b;
        b.name = "B\tline\n";
        b.peakT = NAN;
        b.varianceInflation = 31.0;
        summary.predictors = {a, b};
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
    const std::string json = formatJsonReport(f.page, f.summary);
    EXPECT_NE(json.find("\"data\": \"Sim<1>.vtc\""), std::string::npos);
    EXPECT_NE(json.find("\"dims\": [58, 40, 46]"), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"A \\\"quoted\\\" & <b>\""), std::string::npos);
    EXPECT_NE(json.find("\"name\": \"B\\tline\\n\""), std::string::npos);
    EXPECT_NE(json.find("\"grid\": [29, 20, 23]"), std::string::npos);
    EXPECT_NE(json.find("\"voxels_above\": 33"), std::string::npos);
    EXPECT_NE(json.find("\"mean_percent_signal_change\": 3,"), std::string::npos);
    EXPECT_NE(json.find("\"mean_percent_signal_change\": null"), std::string::npos);
    EXPECT_NE(json.find("\"t\": null"), std::string::npos);  // NaN is not JSON
    EXPECT_NE(json.find("\"t_map\": \"tmap_B.nii.gz\""), std::string::npos);
    EXPECT_NE(json.find("\"variance_inflation\": 31,"), std::string::npos);
    EXPECT_EQ(occurrences(json, "{"), occurrences(json, "}"));
    EXPECT_EQ(occurrences(json, "["), occurrences(json, "]"));
    EXPECT_EQ(jsonString(std::string("\x01z", 2)), "\"\\u0001z\"");
}

TEST(HtmlReport, OneImagePerPictureAndEscapedNames) {
    const Fixture f;
    const std::string html = formatHtmlReport(f.page, f.summary);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_EQ(occurrences(html, "<img "), 6u);
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
