#include "scenario/group.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "scenario/scenario_reader.h"

namespace simtrove::scenario {
namespace {

using nlohmann::json;

json baseScenario() {
    return {{"grid", {{"shape", {12, 12, 10}}}},
            {"time_points", 20},
            {"regions",
             {{{"name", "A"}, {"condition", "Task"}, {"sphere", {{"center_voxel", {5, 5, 5}}}}},
              {{"name", "B"}, {"condition", "Rest"}, {"voxels", {{1, 1, 1}}}}}},
            {"variability",
             {{"percent_sd", 2.0}, {"center_jitter_voxels", 1.5}, {"run_percent_sd", 0.5}}}};
}

TEST(ScenarioGroup, RefusalsNameTheKey) {
    const std::pair<json, std::string> cases[] = {
        {{{"subjects", 0}}, "subjects: must be from 1 to 9999"},
        {{{"variability", {{"percent", 1}}}}, "variability.percent: unknown key"},
        {{{"variability", {{"run_percent_sd", -1}}}}, "variability.run_percent_sd: must be 0"},
        {{{"generator", "plug-in"}, {"runs", 2}}, "runs: the plug-in generator simulates one run"},
        {{{"generator", "plug-in"}}, "variability: the plug-in generator simulates its own job"},
        {{{"design", {{"bids", "."}, {"task", "x"}}}}, "design.subject: missing"},
        {{{"design", {{"bids", "no-such-folder"}, {"subject", "01"}, {"task", "x"}}}},
         "design.bids: no-such-folder: not a folder"},
    };
    for (const auto& [patch, expected] : cases) {
        json document = baseScenario();
        document.merge_patch(patch);
        if (patch.contains("runs")) document.erase("variability");
        formats::Result<Scenario> read = readScenario(document, ".");
        ASSERT_FALSE(read.ok()) << expected;
        EXPECT_NE(read.error().find(expected), std::string::npos) << read.error();
    }
}

// Over 4000 subjects of 2 runs: the draws have the requested spread (each
// within 4 standard errors), neighbouring subjects are uncorrelated, and
// every run has its own seed.
TEST(ScenarioGroup, DrawsHaveTheRequestedSpreadAndOwnStreams) {
    formats::Result<Scenario> read = readScenario(baseScenario(), ".");
    ASSERT_TRUE(read.ok()) << read.error();
    const Scenario& s = read.value();
    constexpr int n = 4000;
    double sum = 0, squares = 0, runSquares = 0, lagged = 0, shiftSquares = 0, previous = 0;
    std::set<std::uint64_t> seeds;
    for (int subject = 1; subject <= n; ++subject) {
        const SubjectDraws draws = drawSubject(s, subject);
        const double d = draws.percent[0] - 3.0;
        sum += d;
        squares += d * d;
        if (subject > 1) lagged += d * previous;
        previous = d;
        shiftSquares += double(draws.shift[0] * draws.shift[0]);
        for (int run = 1; run <= 2; ++run) {
            const RunDraws runDraws = drawRun(s, draws, run);
            const double e = runDraws.percent[0] - draws.percent[0];
            runSquares += e * e;
            seeds.insert(runScenario(s, draws, runDraws).seed);
        }
    }
    const double se = std::sqrt(1.0 / n);
    EXPECT_NEAR(sum / n, 0.0, 4 * 2.0 * se);
    // The variance of a normal sample has a standard error of sd^2 sqrt(2 / n).
    EXPECT_NEAR(squares / n, 4.0, 4 * 4.0 * std::sqrt(2.0 / n));
    EXPECT_NEAR(runSquares / (2 * n), 0.25, 4 * 0.25 * std::sqrt(2.0 / (2 * n)));
    EXPECT_NEAR(lagged / (n - 1) / 4.0, 0.0, 4 * se);
    // Rounding a normal of sd 1.5 to whole voxels adds about 1/12 to its variance.
    EXPECT_NEAR(shiftSquares / n, 2.25 + 1.0 / 12, 4 * 2.4 * std::sqrt(2.0 / n));
    EXPECT_EQ(seeds.size(), std::size_t(2 * n));
}

TEST(ScenarioGroup, SpheresMoveByTheShiftAndOtherShapesStay) {
    formats::Result<Scenario> read = readScenario(baseScenario(), ".");
    ASSERT_TRUE(read.ok()) << read.error();
    const Scenario& s = read.value();
    SubjectDraws draws = drawSubject(s, 1);
    draws.shift = {2, -1, 0};
    const Scenario moved = runScenario(s, draws, drawRun(s, draws, 1));
    ASSERT_EQ(moved.regions[0].voxels.size(), s.regions[0].voxels.size());
    for (std::size_t i = 0; i < s.regions[0].voxels.size(); ++i) {
        const auto& before = s.regions[0].voxels[i];
        EXPECT_EQ(moved.regions[0].voxels[i],
                  (std::array<std::int64_t, 3>{before[0] + 2, before[1] - 1, before[2]}));
    }
    EXPECT_EQ(moved.regions[1].voxels, s.regions[1].voxels);
    EXPECT_EQ(subjectLabel(3, 30), "03");
    EXPECT_EQ(subjectLabel(3, 120), "003");
}

}  // namespace
}  // namespace simtrove::scenario
