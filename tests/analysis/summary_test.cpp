#include "analysis/summary.h"

#include <gtest/gtest.h>

#include <cmath>

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

// A 4 x 3 x 2 grid (24 voxels), two predictors and the constant, df 100; every
// voxel starts with t = 0, constant 200, coefficients 0, mean 100, sd 5.
struct Maps {
    VolumeGrid grid{{4, 3, 2}, {10, 20, 30}, 3};
    GlmMaps maps;
    Maps() {
        maps.voxels = grid.voxels();
        maps.columns = 3;
        maps.predictors = maps.statistics = 2;
        maps.degreesOfFreedom = 100;
        maps.coefficients.assign(3 * maps.voxels, 0.0f);
        for (std::size_t v = 0; v < maps.voxels; ++v)
            maps.coefficients[2 * maps.voxels + v] = 200.0f;
        maps.t.assign(2 * maps.voxels, 0.0f);
        maps.mean.assign(maps.voxels, 100.0f);
        maps.sd.assign(maps.voxels, 5.0f);
        maps.residualSd = maps.sd;
    }
    void set(int j, std::size_t v, float t, float coefficient) {
        maps.t[std::size_t(j) * maps.voxels + v] = t;
        maps.coefficients[std::size_t(j) * maps.voxels + v] = coefficient;
    }
};

TEST(Summary, PeakThresholdAndPercentChange) {
    Maps m;
    // Bonferroni over 24 voxels: p < 0.05 / 24 = 0.00208; with df 100 the
    // critical |t| is about 3.15 (t distribution tables), so 3.5 is in, 2.9 out.
    m.set(0, m.grid.index(1, 2, 1), 9.0f, 6.0f);    // 3 %
    m.set(0, m.grid.index(2, 2, 1), 3.5f, 12.0f);   // 6 %
    m.set(0, m.grid.index(3, 0, 0), -4.0f, -2.0f);  // -1 %
    m.set(0, m.grid.index(0, 0, 0), 2.9f, 50.0f);   // not counted
    m.set(1, 5, -7.0f, 1.0f);
    m.set(1, 6, 7.0f, 1.0f);  // same |t| later: the first one stays the peak
    const ReportSummary s = summarise(m.maps, m.grid, 120, {"A", "B"});
    EXPECT_DOUBLE_EQ(s.pThreshold, 0.05 / 24);
    EXPECT_NEAR(s.tThreshold, 3.15, 0.03);
    ASSERT_EQ(s.predictors.size(), 2u);
    const PredictorSummary& a = s.predictors[0];
    EXPECT_EQ(a.name, "A");
    EXPECT_EQ(a.peakVoxel, m.grid.index(1, 2, 1));
    EXPECT_EQ(a.peakT, 9.0f);
    EXPECT_LT(a.peakP, 1e-12f);
    EXPECT_EQ(a.peakGrid, (std::array<int, 3>{1, 2, 1}));
    EXPECT_EQ(a.peakVmr, (std::array<int, 3>{13, 26, 33}));
    EXPECT_EQ(a.voxelsAbove, 3u);
    EXPECT_EQ(a.positiveAbove, 2u);
    EXPECT_EQ(a.negativeAbove, 1u);
    ASSERT_TRUE(a.meanPercentChange);
    EXPECT_NEAR(*a.meanPercentChange, (3.0 + 6.0 - 1.0) / 3.0, 1e-12);
    EXPECT_EQ(a.above[m.grid.index(0, 0, 0)], 0);
    EXPECT_EQ(a.above[m.grid.index(2, 2, 1)], 1);
    EXPECT_EQ(s.predictors[1].peakVoxel, 5u);
    EXPECT_EQ(s.predictors[1].peakT, -7.0f);
}

// The same maps with a truth map planting column 1 in voxels (1, 2, 1) and
// (0, 0, 0). FDR (q 0.05, lines k 0.05 / 24) keeps 2.9 too (p about 0.0046 <=
// 4 * 0.05 / 24); uncorrected p < 0.001 (|t| > 3.39) keeps the Bonferroni three.
TEST(Summary, ThresholdsAndTruth) {
    Maps m;
    m.set(0, m.grid.index(1, 2, 1), 9.0f, 6.0f);
    m.set(0, m.grid.index(2, 2, 1), 3.5f, 12.0f);
    m.set(0, m.grid.index(3, 0, 0), -4.0f, -2.0f);
    m.set(0, m.grid.index(0, 0, 0), 2.9f, 50.0f);
    std::vector<int> truth(m.maps.voxels, 0);
    truth[m.grid.index(1, 2, 1)] = truth[m.grid.index(0, 0, 0)] = 1;
    SummaryContext context;
    context.truth = truth;
    context.tested = {{1}, {2}};
    const ReportSummary s = summarise(m.maps, m.grid, 120, {"A", "B"}, {}, context);
    const PredictorSummary& a = s.predictors[0];
    ASSERT_EQ(a.thresholds.size(), 3u);
    const struct {
        std::size_t voxels, truePositives, falsePositives;
    } expected[] = {{3, 1, 2}, {4, 2, 2}, {3, 1, 2}};
    for (std::size_t i = 0; i < 3; ++i) {
        const ThresholdCount& c = a.thresholds[i];
        EXPECT_EQ(c.voxels, expected[i].voxels) << thresholdName(c.kind);
        ASSERT_TRUE(c.truth);
        EXPECT_EQ(c.truth->truePositives, expected[i].truePositives) << thresholdName(c.kind);
        EXPECT_EQ(c.truth->falsePositives, expected[i].falsePositives) << thresholdName(c.kind);
    }
    EXPECT_NEAR(a.thresholds[2].tCut, 3.39, 0.01);
    ASSERT_TRUE(a.truth);
    EXPECT_EQ(a.truth->plantedVoxels, 2u);
    EXPECT_FALSE(s.predictors[1].truth);  // column 2 is planted nowhere
}

TEST(Summary, NoVoxelAboveGivesNoPercentChange) {
    Maps m;
    m.set(0, 3, 3.0f, 1.0f);
    // A detected voxel with a zero constant has no percent change.
    m.set(1, 4, 8.0f, 1.0f);
    m.maps.coefficients[2 * m.maps.voxels + 4] = 0.0f;
    const ReportSummary s = summarise(m.maps, m.grid, 120, {"A", "B"});
    EXPECT_EQ(s.predictors[0].voxelsAbove, 0u);
    EXPECT_FALSE(s.predictors[0].meanPercentChange);
    EXPECT_EQ(s.predictors[1].voxelsAbove, 1u);
    EXPECT_FALSE(s.predictors[1].meanPercentChange);
}

// Median of mean / sd over voxels with positive mean and sd.
TEST(Summary, TsnrIsTheMedianOverUsableVoxels) {
    const struct {
        std::vector<float> mean, sd;
        double median;
    } cases[] = {
        {{100, 100, 100}, {5, 4, 10}, 20.0},
        {{100, 100, 100, 100}, {5, 4, 10, 2}, 22.5},
        {{100, 0, -3, 100}, {5, 1, 1, 0}, 20.0},  // zero mean, negative mean, zero sd left out
        {{0, 0}, {0, 0}, 0.0},
    };
    for (const auto& c : cases) {
        GlmMaps maps;
        maps.voxels = c.mean.size();
        maps.columns = 1;
        maps.degreesOfFreedom = 10;
        maps.coefficients.assign(maps.voxels, 1.0f);
        maps.mean = c.mean;
        maps.sd = c.sd;
        const VolumeGrid grid{{int(maps.voxels), 1, 1}, {0, 0, 0}, 1};
        const ReportSummary s = summarise(maps, grid, 12, {});
        EXPECT_DOUBLE_EQ(s.tsnr, c.median);
        EXPECT_TRUE(s.predictors.empty());
        EXPECT_EQ(s.tsnrMap[0], c.sd[0] > 0 ? c.mean[0] / c.sd[0] : 0.0f);
    }
}

}  // namespace
}  // namespace simtrove::analysis
