#include "analysis/figures.h"

#include <gtest/gtest.h>

#include <cmath>

#include "analysis/colormap.h"

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
struct Scene {
    VolumeGrid grid{{6, 5, 4}, {0, 0, 0}, 1};
    GlmMaps maps;
    ReportSummary summary;
    std::size_t peak = grid.index(2, 3, 1);
    Scene() {
        maps.voxels = grid.voxels();
        maps.columns = 2;
        maps.predictors = maps.statistics = 1;
        maps.degreesOfFreedom = 50;
        maps.coefficients.assign(2 * maps.voxels, 100.0f);
        maps.t.assign(maps.voxels, 0.5f);
        maps.t[peak] = 10.0f;
        maps.mean.assign(maps.voxels, 100.0f);
        maps.sd.assign(maps.voxels, 5.0f);
        maps.residualSd = maps.sd;
        summary = summarise(maps, grid, 52, {"task"});
    }
};

TEST(Figures, SlicesShowTheOverlayOnlyAtDetectedVoxels) {
    const Scene s;
    ASSERT_EQ(s.summary.predictors[0].voxelsAbove, 1u);
    const RgbImage img = drawSlices(s.grid, s.maps.mean, s.maps.tMap(0), s.summary, 0);
    ASSERT_GT(img.width(), 0);
    // The peak is the maximum of the overlay: the top colour of its range.
    const Rgb top = inferno(1.0);
    int overlay = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) overlay += img.at(x, y) == top;
    // Three panels show the voxel at the largest scale, 8 x 8 pixels, less
    // the cross-hair lines through its centre; the colour bar tops out there.
    const int scale = 8;
    EXPECT_GE(overlay, 3 * (scale * scale - 2 * scale));
    EXPECT_LT(overlay, 4 * scale * scale);
}

TEST(Figures, DesignMatrixAndTimeCourseDrawTheirData) {
    std::vector<float> x(20);
    for (int t = 0; t < 20; ++t) x[std::size_t(t)] = t % 4 < 2 ? 1.0f : 0.0f;
    const RgbImage design = drawDesignMatrix({"A"}, x, 20);
    EXPECT_GT(design.width(), 0);
    std::string error;
    const auto model = GlmModel::create(x, 1, 20, &error);
    ASSERT_TRUE(model) << error;
    std::vector<float> y(20);
    for (int t = 0; t < 20; ++t)
        y[std::size_t(t)] = 100.0f + 3.0f * x[std::size_t(t)] + (t % 3) - 1.0f;
    const GlmMaps maps = fitVoxels(*model, y);
    const VolumeGrid grid{{1, 1, 1}, {0, 0, 0}, 1};
    std::vector<double> series(y.begin(), y.end()), fitted, regressor;
    for (int t = 0; t < 20; ++t) {
        fitted.push_back(maps.coefficient(0, 0) * x[std::size_t(t)] + maps.coefficient(1, 0));
        regressor.push_back(x[std::size_t(t)]);
    }
    const RgbImage plot =
        drawTimeCourse(grid, 0, "A", false, maps.tValue(0, 0), series, fitted, regressor);
    int model_pixels = 0, predictor_pixels = 0;
    for (int yy = 0; yy < plot.height(); ++yy)
        for (int xx = 0; xx < plot.width(); ++xx) {
            model_pixels += plot.at(xx, yy) == Rgb{213, 94, 0};
            predictor_pixels += plot.at(xx, yy) == Rgb{0, 114, 178};
        }
    EXPECT_GT(model_pixels, 500);
    EXPECT_GT(predictor_pixels, 300);
    const Scene s;
    EXPECT_GT(drawTsnrSlice(s.grid, s.summary, 3).width(), 0);
}

}  // namespace
}  // namespace simtrove::analysis
