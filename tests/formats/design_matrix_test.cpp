#include "formats/design_matrix.h"

#include <gtest/gtest.h>

namespace simtrove::formats {
namespace {

TEST(DesignWriter, WritesEveryFloatExactly) {
    const Predictor predictors[] = {{"A", {0.1f, 1.0f, 0.0f}}, {"B", {0.0f, 0.0f, 0.0f}}};
    EXPECT_EQ(formatDesignMatrix(predictors),
              "simtrove-design-matrix 1\npredictors 2\nvolumes 3\npredictor A\npredictor B\n"
              "0.100000001 0\n1 0\n0 0\n");
}

TEST(DesignReader, ReadsNamesAndColumns) {
    const std::string text =
        "simtrove-design-matrix 1\r\npredictors 2\nvolumes 3\n# comment\n\npredictor Rest "
        "block\npredictor Task\n0 1\n0.5 -0.25\n  1e-3\t2  \n";
    const auto design = parseDesignMatrix(text, "d.rtc");
    ASSERT_TRUE(design) << design.error();
    EXPECT_EQ(design.value().names, (std::vector<std::string>{"Rest block", "Task"}));
    EXPECT_EQ(design.value().volumes, 3);
    EXPECT_EQ(design.value().values, (std::vector<float>{0, 0.5f, 1e-3f, 1, -0.25f, 2}));
}

TEST(DesignReader, ReportsTheFirstProblemWithItsLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "d.rtc:0: expected \"simtrove-design-matrix 1\""},
        {"simtrove-design-matrix 2\n", "d.rtc:1: expected \"simtrove-design-matrix 1\""},
        {"simtrove-design-matrix 1\npredictors -1\n", "d.rtc:2: expected \"predictors N\""},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes x\n", "d.rtc:3: expected \"volumes T\""},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes 1\npredictor \n",
         "d.rtc:4: expected \"predictor NAME\" (1 of 1)"},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes 2\npredictor A\n1\n",
         "d.rtc:0: the file ends after 1 of 2 rows"},
        {"simtrove-design-matrix 1\npredictors 2\nvolumes 1\npredictor A\npredictor B\n1\n",
         "d.rtc:6: expected 2 numbers"},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes 1\npredictor A\n1x\n",
         "d.rtc:5: expected 1 numbers"},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes 1\npredictor A\nnan\n",
         "d.rtc:5: expected 1 numbers"},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes 1\npredictor A\n1e999\n",
         "d.rtc:5: expected 1 numbers"},
        {"simtrove-design-matrix 1\npredictors 1\nvolumes 1\npredictor A\n1\n2\n",
         "d.rtc:6: unexpected line after the last row"},
    };
    for (const auto& c : cases) {
        const auto design = parseDesignMatrix(c.text, "d.rtc");
        ASSERT_FALSE(design) << c.text;
        EXPECT_EQ(design.error().rfind(c.error, 0), 0u) << design.error();
    }
    EXPECT_EQ(readDesignMatrix("/nonexistent/d.rtc").error(),
              "/nonexistent/d.rtc: cannot read: No such file or directory");
}

}  // namespace
}  // namespace simtrove::formats
