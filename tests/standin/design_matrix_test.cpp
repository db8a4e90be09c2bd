#include "standin/design_matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace simtrove::standin {
namespace {

using formats::Condition;

// Independent closed form of the response: t^(a-1) e^-t / (a-1)! for integer shapes.
double closedFormResponse(double t) {
    auto density = [](double x, int shape) {
        double factorial = 1.0;
        for (int i = 2; i < shape; ++i) factorial *= i;
        return std::pow(x, shape - 1) * std::exp(-x) / factorial;
    };
    return t <= 0.0 ? 0.0 : density(t, 6) - density(t, 16) / 6.0;
}

TEST(TwoGammaHrf, MatchesTheClosedFormWithUnitSum) {
    // Reference: the closed form above summed over 0, 2, ..., 32 s; tolerance 1e-12 relative.
    const std::vector<double> hrf = twoGammaHrf(2.0);
    ASSERT_EQ(hrf.size(), 17u);
    double sum = 0.0;
    for (int k = 0; k <= 16; ++k) sum += closedFormResponse(2.0 * k);
    for (std::size_t k = 0; k < hrf.size(); ++k)
        EXPECT_NEAR(hrf[k], closedFormResponse(2.0 * double(k)) / sum, 1e-12) << k;
    double total = 0.0;
    for (double h : hrf) total += h;
    EXPECT_NEAR(total, 1.0, 1e-12);
}

TEST(TwoGammaHrf, PeaksBetweenFourAndSixSecondsAtEveryRepetitionTime) {
    for (double tr : {0.5, 1.0, 1.5, 2.0, 2.5}) {
        const std::vector<double> hrf = twoGammaHrf(tr);
        const std::size_t peak =
            std::size_t(std::max_element(hrf.begin(), hrf.end()) - hrf.begin());
        EXPECT_GE(double(peak) * tr, 4.0) << tr;
        EXPECT_LE(double(peak) * tr, 6.0) << tr;
        double total = 0.0;
        for (double h : hrf) total += h;
        EXPECT_NEAR(total, 1.0, 1e-12) << tr;
        EXPECT_NEAR(double(hrf.size() - 1) * tr, 32.0, tr) << tr;
    }
}

TEST(TwoGammaHrf, TooCoarseSamplingGivesNoSmoothingInsteadOfASignFlip) {
    // At 40 s only t = 0 is sampled, where the response is 0.
    EXPECT_EQ(twoGammaHrf(40.0), std::vector<double>{1.0});
}

// Sampling steps that would never reach 32 s (or reach it only after billions
// of samples) give no smoothing rather than a loop that does not end.
TEST(TwoGammaHrf, StepsThatCannotSampleTheSpanGiveNoSmoothing) {
    for (double tr : {std::nan(""), double(INFINITY), -double(INFINITY), 0.0, -2.0, 1e-300})
        EXPECT_EQ(twoGammaHrf(tr), std::vector<double>{1.0}) << tr;
    EXPECT_EQ(twoGammaHrf(kMinHrfRepetitionTime).size(), 32001u);
}

TEST(Predictor, LongBlockSettlesAtItsHeight) {
    std::vector<float> values(200);
    fillFromCondition(values, Condition{"Task", {{21, 120}}}, 1.0f);
    convolve(values, twoGammaHrf(2.0));
    // 32 s after the onset (volume 21 + 16) the whole response lies inside the block.
    for (std::size_t i = 20 + 16; i < 120; ++i) EXPECT_NEAR(values[i], 1.0f, 0.01f) << i;
    EXPECT_EQ(values[0], 0.0f);
    EXPECT_EQ(values[20], 0.0f);  // the response is 0 at lag 0
    EXPECT_GT(values[23], 0.3f);
}

TEST(Predictor, FillsOnlyTheConditionsVolumesClippedToThePredictor) {
    std::vector<float> values(10, 7.0f);
    fillFromCondition(values, Condition{"A", {{2, 3}, {9, 40}}}, 2.5f);
    EXPECT_EQ(values, (std::vector<float>{0, 2.5f, 2.5f, 0, 0, 0, 0, 0, 2.5f, 2.5f}));
}

TEST(Predictor, ConvolutionIsCausal) {
    std::vector<float> impulse{0, 1, 0, 0};
    convolve(impulse, {0.5, 0.25, 0.25});
    EXPECT_EQ(impulse, (std::vector<float>{0, 0.5f, 0.25f, 0.25f}));
}

TEST(DesignMatrixDocument, NumbersPredictorsFromZeroAndRefusesMissingOnes) {
    DesignMatrix m;
    EXPECT_EQ(m.add("A", 3), 0u);
    EXPECT_EQ(m.add("B", 3), 1u);
    ASSERT_NE(m.at(1), nullptr);
    EXPECT_EQ(m.at(1)->name, "B");
    EXPECT_EQ(m.at(2), nullptr);
    EXPECT_EQ(m.at(-1), nullptr);
    EXPECT_EQ(m.find("B"), m.at(1));
    EXPECT_EQ(m.find("C"), nullptr);
    m.clear();
    EXPECT_EQ(m.at(0), nullptr);
}

}  // namespace
}  // namespace simtrove::standin
