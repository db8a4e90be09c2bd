#include "analysis/contrast.h"

#include <gtest/gtest.h>

namespace simtrove::analysis {
namespace {

const std::vector<std::string> kNames = {"Faces", "Houses", "Left cluster", "Left", "a-b"};

TEST(Contrast, ParsesWeightsPerPredictor) {
    const struct {
        const char* text;
        std::vector<double> weights;
    } cases[] = {
        {"FvH: Faces - Houses", {1, -1, 0, 0, 0}},
        {"M:0.5*Faces + 0.5 * Houses - Left", {0.5, 0.5, 0, -1, 0}},
        {"L: Left cluster - Left", {0, 0, 1, -1, 0}},
        {"D: -a-b + 2 Faces - - Houses", {2, 1, 0, 0, -1}},
        {"R: Faces - 0.25*Faces", {0.75, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto r = parseContrast(c.text, kNames);
        ASSERT_TRUE(r) << c.text << ": " << r.error();
        EXPECT_EQ(r.value().weights, c.weights) << c.text;
    }
    EXPECT_EQ(parseContrast(" FvH : Faces - Houses ", kNames).value().name, "FvH");
    EXPECT_EQ(parseContrast(" FvH : Faces - Houses ", kNames).value().expression, "Faces - Houses");
}

TEST(Contrast, RefusesWhatItCannotRead) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"Faces - Houses", "expected \"NAME: EXPRESSION\""},
        {": Faces", "the contrast has no name"},
        {"X:  ", "the contrast has no expression"},
        {"X: Faces - Cars", "no predictor named \"Cars\" in the model"},
        {"X: faces", "no predictor named \"faces\""},
        {"X: Faces Houses", "expected '+' or '-' at \"Houses\""},
        {"X: Faces -", "the expression ends without a predictor"},
        {"X: Faces - Faces", "every weight is zero"},
        {"X: 1e3*Faces", "no predictor named \"1e3*Faces\""},
    };
    for (const auto& c : cases) {
        const auto r = parseContrast(c.text, kNames);
        ASSERT_FALSE(r) << c.text;
        EXPECT_NE(r.error().find(c.error), std::string::npos) << r.error();
    }
}

TEST(Contrast, EachAgainstOthers) {
    const auto two = eachAgainstOthers({"Rest", "Task"});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1].name, "Task - Rest");
    EXPECT_EQ(two[1].weights, (std::vector<double>{-1, 1}));
    const auto three = eachAgainstOthers({"A", "B", "C"});
    EXPECT_EQ(three[0].name, "A - others");
    EXPECT_EQ(three[0].expression, "A - 0.5*B - 0.5*C");
    EXPECT_EQ(three[2].weights, (std::vector<double>{-0.5, -0.5, 1}));
    EXPECT_TRUE(eachAgainstOthers({"A"}).empty());
}

// A design whose conditions fill the run cannot estimate a single condition:
// the refusal says why; the difference fits.
TEST(Contrast, FitRefusesWhatTheDesignCannotEstimate) {
    constexpr int T = 20;
    std::vector<float> x(2 * T);
    for (int t = 0; t < T; ++t)
        x[std::size_t(t)] = float((t / 4) % 2), x[std::size_t(T + t)] = 1.0f - x[std::size_t(t)];
    std::string error;
    const auto model = GlmModel::create(x, 2, T, &error);
    ASSERT_TRUE(model) << error;
    const std::vector<std::string> names = {"Rest", "Task"};
    const auto single = fitContrast(*model, parseContrast("T: Task", names).value());
    ASSERT_FALSE(single);
    EXPECT_NE(single.error().find("contrast T (Task) cannot be estimated"), std::string::npos);
    EXPECT_NE(single.error().find("the weights must add up to 0, here 1"), std::string::npos);
    const auto difference = fitContrast(*model, parseContrast("TvR: Task - Rest", names).value());
    ASSERT_TRUE(difference) << difference.error();
    EXPECT_EQ(difference.value().weights, (std::vector<double>{-1, 1, 0}));
    // b_T - b_R is the difference of the two conditions' means: 8 and 12 volumes.
    EXPECT_NEAR(difference.value().variance, 1.0 / 8 + 1.0 / 12, 1e-5);
}

}  // namespace
}  // namespace simtrove::analysis
