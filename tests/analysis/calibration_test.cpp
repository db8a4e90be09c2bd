#include "analysis/calibration.h"

#include <gtest/gtest.h>

#include "analysis/simulation_sidecar.h"

namespace simtrove::analysis {
namespace {

// Quantiles from tables of the standard normal distribution.
TEST(Calibration, NormalQuantileAndZ) {
    const struct {
        double u, z;
    } cases[] = {{0.5, 0.0},
                 {0.975, 1.959963984540054},
                 {0.05, -1.6448536269514722},
                 {1e-10, -6.361340902404056},
                 {1.0 - 1e-6, 4.753424308822899}};
    for (const auto& c : cases) EXPECT_NEAR(normalQuantile(c.u), c.z, 1e-9) << c.u;
    // The same p gives the same |z| whichever tail holds it.
    EXPECT_NEAR(zFromP(2.0f, 0.025f, Tail::Positive), 1.959964, 1e-5);
    EXPECT_NEAR(zFromP(-2.0f, 0.025f, Tail::Negative), -1.959964, 1e-5);
    EXPECT_NEAR(zFromP(-2.0f, 0.05f, Tail::Both), -1.959964, 1e-5);
    EXPECT_NEAR(zFromP(-2.0f, 0.975f, Tail::Positive), -1.959964, 1e-5);
    EXPECT_EQ(zFromP(90.0f, 0.0f, Tail::Positive), float(kMaxZ));
}

// Wilson score intervals worked out from the closed form; the sentence the
// page prints for a rate outside its interval and one inside.
TEST(Calibration, WilsonIntervalAndSentence) {
    const std::array<double, 2> w = wilsonInterval(5, 100);
    EXPECT_NEAR(w[0], 0.02154, 1e-5);
    EXPECT_NEAR(w[1], 0.11175, 1e-5);
    EXPECT_EQ(wilsonInterval(0, 0), (std::array<double, 2>{0.0, 1.0}));
    CalibrationLevel high{0.05, 142, 0.142, 0.12, 0.16, false};
    EXPECT_EQ(calibrationSentence("ordinary least squares", high),
              "ordinary least squares on this run's data: 14.2 % of the noise voxels above p < "
              "0.05 where 5 % is expected");
    CalibrationLevel fine{0.05, 51, 0.051, 0.04, 0.06, true};
    EXPECT_NE(calibrationSentence("x", fine).find("as expected"), std::string::npos);
}

// The sidecar read tolerantly: today's "Simulation" and the "Realised"
// components either as an object or as an array; anything else, a note.
TEST(Calibration, SimulationSidecarIsReadTolerantly) {
    const SimulationParameters s = parseSimulationSidecar(
        R"({"Simulation": {"Baseline": 100, "Cluster": {"Radius": 2}},
            "Realised": {"thermal": {"RequestedSd": 5, "RealisedSd": 4.98}, "drift": {}}})",
        "a.json");
    ASSERT_EQ(s.parameters.size(), 2u);
    EXPECT_EQ(s.parameters[1].name, "Cluster / Radius");
    EXPECT_EQ(s.parameters[1].value, "2");
    ASSERT_EQ(s.components.size(), 2u);
    EXPECT_EQ(s.components[0].requestedSd, 5.0);
    EXPECT_EQ(s.components[0].realisedSd, 4.98);
    EXPECT_FALSE(s.components[1].realisedSd);
    const SimulationParameters list = parseSimulationSidecar(
        R"({"Realised": [{"Name": "physiological", "RealisedSd": 1.5}]})", "b.json");
    ASSERT_EQ(list.components.size(), 1u);
    EXPECT_EQ(list.components[0].name, "physiological");
    EXPECT_TRUE(parseSimulationSidecar("[1, 2", "c.json").file.empty());
    EXPECT_EQ(readSimulationSidecar("/nonexistent/Sim.vtc").note, "no sidecar beside the data");
}

}  // namespace
}  // namespace simtrove::analysis
