#include "simulation/synthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "host/host_functions.h"
#include "numerics/random/deviates_internal.h"
#include "tests/support/fake_host.h"

using namespace simtrove::simulation;
using simtrove::testing::FakeHost;
using simtrove::testing::FakeVoi;

namespace {

struct RoundCase {
    double value;
    std::int64_t expected;
};

// Halves go toward +infinity on both sides of zero.
TEST(RoundHalfUpTest, RoundsHalvesUpward) {
    const RoundCase cases[] = {{1.5, 2},   {0.5, 1},  {-0.5, 0}, {-1.5, -1}, {-1.6, -2},
                               {-2.5, -2}, {2.49, 2}, {0.0, 0},  {-0.51, -1}};
    for (const RoundCase& c : cases) EXPECT_EQ(roundHalfUp(c.value), c.expected) << c.value;
}

TEST(GridPositionTest, ResolutionThreeColumns) {
    const VtcGrid grid{85, 85, 85, 1, 0, 0, 0, 3};
    const int expectedColumn[] = {0, 0, 1, 1, 1, 2, 2, 2};
    for (int p = 0; p < 8; ++p) EXPECT_EQ(toGridPosition(grid, p, 0, 0).x, expectedColumn[p]) << p;
}

class SynthesisTest : public ::testing::Test {
  protected:
    FakeHost& host = FakeHost::install();
    void SetUp() override {
        ASSERT_TRUE(simtrove::host::bindHostFunctions());
        simtrove::random::deviateState() = {};
    }
    void TearDown() override { FakeHost::uninstall(); }
};

float referenceNoise(int* seed) {
    return float(double(normal_deviate(seed)) * 5.0);
}

// What the noise pass must leave, drawn here in its documented order.
std::vector<float> referenceNoiseFill(const VtcGrid& g) {
    std::vector<float> expected(g.sampleCount());
    int seed = -1;
    for (std::int64_t t = 0; t < g.timePoints; ++t)
        for (std::int64_t z = 0; z < g.dimZ; ++z)
            for (std::int64_t y = 0; y < g.dimY; ++y)
                for (std::int64_t x = 0; x < g.dimX; ++x)
                    expected[std::size_t(((z * g.dimY + y) * g.dimX + x) * g.timePoints + t)] =
                        float(100.0 + double(referenceNoise(&seed)));
    return expected;
}

TEST_F(SynthesisTest, NoisePassFillsEverySampleInDrawOrder) {
    const VtcGrid grid{3, 2, 2, 25, 0, 0, 0, 1};
    const std::vector<float> expected = referenceNoiseFill(grid);
    simtrove::random::deviateState() = {};
    std::vector<float> samples(grid.sampleCount());
    int seed = -1;
    runNoisePass(samples.data(), grid, &seed);
    for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i], expected[i]) << i;
    EXPECT_EQ(host.log,
              (std::vector<std::string>{"// Plugin>    10 / 25 ...", "// Plugin>    20 / 25 ...",
                                        "// Plugin>    25 / 25 ..."}));
}

TEST_F(SynthesisTest, TenVolumesLogOnlyTheFinalLine) {
    const VtcGrid grid{1, 1, 1, 10, 0, 0, 0, 1};
    std::vector<float> samples(10);
    int seed = -1;
    runNoisePass(samples.data(), grid, &seed);
    EXPECT_EQ(host.log, (std::vector<std::string>{"// Plugin>    10 / 10 ..."}));
}

TEST_F(SynthesisTest, LeftoverNormalStartsTheNextRun) {
    const VtcGrid grid{3, 1, 1, 1, 0, 0, 0, 1};  // three draws: one value stays cached
    std::vector<float> first(3), second(3);
    int seed = -1;
    runNoisePass(first.data(), grid, &seed);
    const float leftover = simtrove::random::deviateState().cachedNormal;
    seed = -1;
    runNoisePass(second.data(), grid, &seed);
    EXPECT_EQ(second[0], float(100.0 + double(float(double(leftover) * 5.0))));
    EXPECT_NE(second[0], first[0]);
}

// Predictor values for tests, shaped like an HRF-convolved block: full-mantissa
// floats, so that 3 * p rounds differently in float than in double.
std::vector<float> ramp(std::int64_t n) {
    std::vector<float> values(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double t = 1.7 * double(i + 1);
        values[i] = float(std::pow(t, 5.0) * std::exp(-t) / 120.0 - 0.1);
    }
    return values;
}

float signal(float p, float noise) {
    return float(3.0 * 1.0 * double(p) + 100.0 + double(noise));
}

// The cluster's expected samples drawn here: volume by volume, then z, y, x over
// the cube, positions outside the sphere skipped without a draw.
void applyReferenceCluster(std::vector<float>& samples, const VtcGrid& g,
                           const std::vector<float>& p, std::int64_t cx, std::int64_t cy,
                           std::int64_t cz) {
    int seed = -1;
    for (std::int64_t t = 0; t < g.timePoints; ++t)
        for (std::int64_t z = cz - 2; z <= cz + 2; ++z)
            for (std::int64_t y = cy - 2; y <= cy + 2; ++y)
                for (std::int64_t x = cx - 2; x <= cx + 2; ++x) {
                    const std::int64_t d =
                        (x - cx) * (x - cx) + (y - cy) * (y - cy) + (z - cz) * (z - cz);
                    if (d > 4) continue;
                    const float noise = referenceNoise(&seed);
                    if (x < 0 || y < 0 || z < 0 || x >= g.dimX || y >= g.dimY || z >= g.dimZ)
                        continue;
                    samples[std::size_t(((z * g.dimY + y) * g.dimX + x) * g.timePoints + t)] =
                        signal(p[std::size_t(t)], noise);
                }
}

TEST_F(SynthesisTest, ClusterWritesExactlyTheSphereOfThirtyThree) {
    const VtcGrid grid{9, 8, 7, 4, 10, 20, 30, 1};  // a different size per axis
    host.predictors = {"A"};
    host.predictorValues = {ramp(4)};
    std::vector<float> samples(grid.sampleCount(), -1.0f);
    int seed = -1;
    const SignalPassResult result =
        runClusterSignalPass(samples.data(), grid, 0, 14, 24, 34, &seed);
    EXPECT_EQ(result.outcome, SignalOutcome::Completed);
    EXPECT_EQ(result.positionsOutside, 0);
    std::vector<float> expected(grid.sampleCount(), -1.0f);
    simtrove::random::deviateState() = {};
    applyReferenceCluster(expected, grid, host.predictorValues[0], 4, 4, 4);
    EXPECT_EQ(samples, expected);
    std::size_t changedVoxels = 0;
    for (std::size_t v = 0; v < grid.voxelCount(); ++v) changedVoxels += samples[v * 4] != -1.0f;
    EXPECT_EQ(changedVoxels, 33u);
}

TEST_F(SynthesisTest, ClippedClusterWritesNothingOutsideAndKeepsTheDrawSequence) {
    const VtcGrid grid{4, 4, 4, 3, 0, 0, 0, 1};
    host.predictors = {"A"};
    host.predictorValues = {ramp(3)};
    // Guard zones on both sides of the sample array catch any stray write.
    const std::size_t guard = 4096;
    std::vector<float> buffer(grid.sampleCount() + 2 * guard, -7.0f);
    int seed = -1;
    const SignalPassResult result =
        runClusterSignalPass(buffer.data() + guard, grid, 0, 0, 0, 3, &seed);
    // Corner (0, 0, 3): the 11 offsets with dx, dy >= 0 and dz <= 0 remain inside.
    EXPECT_EQ(result.positionsOutside, 33 - 11);
    for (std::size_t i = 0; i < guard; ++i) {
        ASSERT_EQ(buffer[i], -7.0f);
        ASSERT_EQ(buffer[guard + grid.sampleCount() + i], -7.0f);
    }
    std::vector<float> expected(grid.sampleCount(), -7.0f);
    simtrove::random::deviateState() = {};
    applyReferenceCluster(expected, grid, host.predictorValues[0], 0, 0, 3);
    EXPECT_EQ(std::vector<float>(buffer.begin() + guard, buffer.end() - guard), expected);
}

TEST_F(SynthesisTest, VoiVoxelsInCoordinateSpaceThreeAreMirrored) {
    // Grid from VMR (100, 100, 96) at resolution 2: VMR (128 - b, 128 - c, 128 - a).
    const VtcGrid grid{6, 5, 7, 2, 100, 100, 96, 2};
    host.predictors = {"A", "B"};
    host.predictorValues = {{7.0f, 8.0f}, ramp(2)};
    host.vois = {FakeVoi{"V", {20, 24, 26, 18, 500, 0}}};
    host.coordinateSpace = 3;
    voi_header header{};
    simtrove::host::tvGetVOI(0, &header);  // the pass reads the array on its own call
    std::vector<float> samples(grid.sampleCount(), 0.0f);
    const int predictorOfVoi[] = {1};
    int seed = -1;
    const SignalPassResult result =
        runVoiSignalPass(samples.data(), grid, predictorOfVoi, 1, 3, &seed);
    EXPECT_EQ(result.outcome, SignalOutcome::Completed);
    EXPECT_EQ(result.positionsOutside, 1);  // (128 - 500) lies far outside
    // Voxel (20, 24, 26) -> VMR (104, 102, 108) -> grid (2, 1, 6).
    simtrove::random::deviateState() = {};
    int reference = -1;
    const float n0 = referenceNoise(&reference), n1 = referenceNoise(&reference);
    const std::size_t first = std::size_t(((6 * 5 + 1) * 6 + 2) * 2);
    EXPECT_EQ(samples[first], signal(host.predictorValues[1][0], n0));
    EXPECT_EQ(samples[first + 1], signal(host.predictorValues[1][1], n1));
    std::size_t written = 0;
    for (float s : samples) written += s != 0.0f;
    EXPECT_EQ(written, 2u);
}

TEST_F(SynthesisTest, VoiVoxelsInOtherSpacesAreTakenAsVmrPositions) {
    const VtcGrid grid{4, 5, 6, 1, 0, 0, 0, 1};
    host.predictors = {"A"};
    host.predictorValues = {{5.0f}};
    host.vois = {FakeVoi{"V", {1, 2, 3}}};
    host.coordinateSpace = 2;
    std::vector<float> samples(grid.sampleCount(), 0.0f);
    const int predictorOfVoi[] = {0};
    int seed = -1;
    runVoiSignalPass(samples.data(), grid, predictorOfVoi, 1, 2, &seed);
    EXPECT_NE(samples[std::size_t((3 * 5 + 2) * 4 + 1)], 0.0f);
    EXPECT_EQ(host.log, (std::vector<std::string>{"// Plugin>    VOI 1 / 1 ..."}));
}

TEST_F(SynthesisTest, MissingPredictorStopsBeforeWriting) {
    const VtcGrid grid{2, 2, 2, 2, 0, 0, 0, 1};
    std::vector<float> samples(grid.sampleCount(), 0.0f);
    int seed = -1;
    const int predictorOfVoi[] = {3};
    host.vois = {FakeVoi{"V", {0, 0, 0}}};
    EXPECT_EQ(runVoiSignalPass(samples.data(), grid, predictorOfVoi, 1, 0, &seed).outcome,
              SignalOutcome::PredictorUnavailable);
    EXPECT_EQ(runClusterSignalPass(samples.data(), grid, 0, 1, 1, 1, &seed).outcome,
              SignalOutcome::PredictorUnavailable);
    for (float s : samples) EXPECT_EQ(s, 0.0f);
}

}  // namespace
