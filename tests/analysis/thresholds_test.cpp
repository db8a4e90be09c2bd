#include "analysis/thresholds.h"

#include <gtest/gtest.h>

#include <vector>

namespace simtrove::analysis {
namespace {

// Sorted: 0.0001 0.005 0.01 0.019 0.028 0.029 0.045 0.2 0.5 0.9 against the
// lines k q / 10. At q = 0.05 rank 5 misses (0.028 > 0.025) but rank 6 passes
// (0.029 <= 0.03): the step-up rule keeps six. At q = 0.1, 0.045 <= 0.07
// keeps seven, and 0.2 > 0.08 stops there.
TEST(Thresholds, BenjaminiHochbergOnAHandWorkedList) {
    const std::vector<float> p = {0.9f,   0.019f, 0.0001f, 0.029f, 0.5f,
                                  0.005f, 0.028f, 0.2f,    0.01f,  0.045f};
    const struct {
        double q;
        float cut;
        int passing;
    } cases[] = {{0.05, 0.029f, 6}, {0.1, 0.045f, 7}, {0.001, 0.0001f, 1}};
    for (const auto& c : cases) {
        const PCut cut = fdrCut(p, c.q);
        ASSERT_FALSE(cut.passesNone) << c.q;
        EXPECT_EQ(cut.cut, double(c.cut)) << c.q;
        int passing = 0;
        for (const float v : p) passing += cut.passes(v);
        EXPECT_EQ(passing, c.passing) << c.q;
    }
    EXPECT_TRUE(fdrCut(std::vector<float>{0.5f, 0.6f}, 0.05).passesNone);
    EXPECT_FALSE(fdrCut(std::vector<float>{0.5f, 0.6f}, 0.05).passes(0.0));
    EXPECT_TRUE(fdrCut({}, 0.05).passesNone);
}

TEST(Thresholds, BonferroniAndUncorrected) {
    const std::vector<float> p(200, 0.5f);
    const ThresholdLevels levels{0.05, 0.05, 0.001};
    const PCut bonferroni = resolveThreshold(ThresholdKind::Bonferroni, levels, p);
    EXPECT_DOUBLE_EQ(bonferroni.cut, 0.05 / 200);
    EXPECT_FALSE(bonferroni.passes(0.05 / 200));  // strictly below
    EXPECT_DOUBLE_EQ(resolveThreshold(ThresholdKind::Uncorrected, levels, p).cut, 0.001);
    EXPECT_EQ(thresholdName(ThresholdKind::Fdr), "FDR");
}

}  // namespace
}  // namespace simtrove::analysis
