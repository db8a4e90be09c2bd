#include "analysis/figures.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/report_analysis.h"

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

// Expected ticks worked out by hand from the 1-2-5 rule.
TEST(Figures, NiceTicks) {
    const struct {
        double lo, hi;
        int target;
        std::vector<double> ticks;
    } cases[] = {
        {0, 249, 6, {0, 50, 100, 150, 200}},
        {0, 1, 5, {0, 0.2, 0.4, 0.6, 0.8, 1.0}},
        {87.3, 112.9, 5, {90, 100, 110}},  // step 10: the first of 1-2-5 not below 25.6 / 5
        {-3, 3, 3, {-2, 0, 2}},
        {5, 5, 4, {5}},
        {10, 0, 2, {0, 5, 10}},
    };
    for (const auto& c : cases) {
        const std::vector<double> ticks = niceTicks(c.lo, c.hi, c.target);
        ASSERT_EQ(ticks.size(), c.ticks.size()) << c.lo << ".." << c.hi;
        for (std::size_t i = 0; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i], c.ticks[i], 1e-12);
    }
    EXPECT_TRUE(niceTicks(0, NAN, 5).empty());
    EXPECT_EQ(tickLabel(100, 50), "100");
    EXPECT_EQ(tickLabel(0.4, 0.2), "0.4");
    EXPECT_EQ(tickLabel(0.05, 0.05), "0.05");
}

// A 6 x 5 x 4 volume, one predictor, t = 10 at voxel (2, 3, 1) only.
// A 12 x 10 x 8 volume with one block predictor: `up` voxels with a strong
// positive response and `down` with a strong negative one, every other voxel
// deterministic noise; tested in both tails.
ReportResults scene(int up, int down) {
    ReportInput in;
    in.grid = {{12, 10, 8}, {20, 30, 40}, 3};
    in.volumes = 40;
    in.design.names = {"Task"};
    in.design.volumes = 40;
    for (int t = 0; t < 40; ++t) in.design.values.push_back(float((t / 5) % 2));
    in.tail = Tail::Both;
    in.date = "fixed";
    in.truth.assign(in.grid.voxels(), 0);
    for (std::size_t v = 0; v < in.grid.voxels(); ++v) {
        const int k = int(v % 97);
        const double amplitude = k < up ? 30.0 : k < up + down ? -20.0 : 0.0;
        if (amplitude > 0) in.truth[v] = 1;
        for (int t = 0; t < 40; ++t)
            in.samples.push_back(float(100.0 + amplitude * in.design.values[std::size_t(t)] +
                                       5.0 * std::sin(double(v * 131 + std::size_t(t) * 17))));
    }
    auto r = analyseReport(in);
    EXPECT_TRUE(r) << r.error();
    return std::move(r.value());
}

std::vector<TextBox> colourBarLabels(const Canvas& c) {
    std::vector<TextBox> labels;
    for (const TextBox& b : c.texts())
        if (b.group == kColourBarGroup) labels.push_back(b);
    return labels;
}

// The colour bar of every map figure, for both tails, one tail and none: its
// labels lie inside the figure and apart from each other, a tail's ticks
// appear only when it has voxels, and each bar reads upwards.
TEST(Figures, ColourBarLabelsAreApartAndBelongToTheTailsShown) {
    const struct {
        int up, down;
        bool positive, negative;
    } cases[] = {
        {1, 1, true, true}, {0, 1, false, true}, {1, 0, true, false}, {0, 0, false, false}};
    for (const auto& k : cases) {
        const ReportResults r = scene(k.up, k.down);
        for (const Canvas& c : {drawMontage(r, 0), drawOrthogonal(r, 0), drawProjections(r, 0)}) {
            const std::vector<TextBox> labels = colourBarLabels(c);
            ASSERT_FALSE(labels.empty());
            bool negative = false, positive = false;
            for (std::size_t i = 0; i < labels.size(); ++i) {
                const TextBox& a = labels[i];
                EXPECT_GE(a.x, 0.0);
                EXPECT_GE(a.y, 0.0);
                EXPECT_LE(a.x + a.width, c.width()) << a.text;
                EXPECT_LE(a.y + a.height, c.height()) << a.text;
                for (std::size_t j = i + 1; j < labels.size(); ++j)
                    EXPECT_FALSE(a.overlaps(labels[j])) << a.text << " / " << labels[j].text;
                const bool isNumber = a.text != "t" && a.text.find("voxel") == std::string::npos &&
                                      a.text.find("threshold") == std::string::npos;
                if (isNumber) (a.text.rfind("\u2212", 0) == 0 ? negative : positive) = true;
            }
            EXPECT_EQ(positive, k.positive) << k.up << k.down;
            EXPECT_EQ(negative, k.negative) << k.up << k.down;
            // Upwards: a label higher on the bar has the larger value (the
            // first two are the ends of the first segment, low then high).
            if (labels.size() >= 3 && k.positive != k.negative) {
                auto value = [](std::string text) {
                    if (text.rfind("\u2212", 0) == 0) text = "-" + text.substr(3);
                    return std::stod(text);
                };
                EXPECT_GT(labels[1].y, labels[2].y - 1e9);  // both drawn
                EXPECT_LT(value(labels[1].text), value(labels[2].text));
                EXPECT_GT(labels[1].y, labels[2].y);
            }
        }
    }
}

// Every figure of a report with a truth map draws and writes, PNG and SVG.
TEST(Figures, EveryFigureWritesPngAndSvg) {
    const ReportResults r = scene(2, 1);
    ASSERT_TRUE(r.statistics[0].calibration);
    const std::string dir = ::testing::TempDir();
    int n = 0;
    for (const Canvas& c :
         {drawDesignMatrix(r), drawMontage(r, 0), drawOrthogonal(r, 0), drawProjections(r, 0),
          drawTimeCourse(r, 0), drawRoc(r.summary.predictors[0]),
          drawCalibration(*r.statistics[0].calibration, "Task"), drawTsnrSlice(r, 3)}) {
        const std::string base = dir + "/figure_" + std::to_string(n++);
        EXPECT_EQ(c.writePng(base + ".png"), "");
        EXPECT_EQ(c.writeSvg(base + ".svg"), "");
        EXPECT_GT(c.texts().size(), 3u);
        for (const TextBox& b : c.texts()) EXPECT_LE(b.x + b.width, c.width() + 1.0) << b.text;
    }
    EXPECT_NE(drawRoc(r.summary.predictors[0]).writePng("/nonexistent/dir/roc.png"), "");
}

}  // namespace
}  // namespace simtrove::analysis
