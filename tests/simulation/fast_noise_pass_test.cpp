#include "simulation/fast_noise_pass.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "numerics/random/deviates_internal.h"
#include "tests/simulation/noise_kernel_param.h"
#include "tests/support/fake_host.h"

using namespace simtrove::simulation;
using simtrove::random::DeviateState;
using simtrove::random::deviateState;
using simtrove::testing::FakeHost;

namespace {

class FastNoisePassTest : public ::testing::Test {
  protected:
    FakeHost& host = FakeHost::install();
    void SetUp() override { ASSERT_TRUE(simtrove::host::bindHostFunctions()); }
    void TearDown() override { FakeHost::uninstall(); }
};

struct PassResult {
    std::vector<float> samples;
    DeviateState state;
    int seed;
    std::vector<std::string> log;
};

// Runs one pass from the given generator state and seed; samples start as NaN
// so that a sample left unwritten cannot match.
template <class Pass>
PassResult runFrom(FakeHost& host, const DeviateState& start, int seed, const VtcGrid& grid,
                   Pass pass) {
    deviateState() = start;
    host.log.clear();
    PassResult result{std::vector<float>(grid.sampleCount(), std::nanf("")), {}, seed, {}};
    pass(result.samples.data(), grid, &result.seed);
    result.state = deviateState();
    result.log = host.log;
    return result;
}

void expectSamePass(const PassResult& expected, const PassResult& actual) {
    ASSERT_EQ(actual.samples.size(), expected.samples.size());
    for (std::size_t i = 0; i < expected.samples.size(); ++i)
        ASSERT_EQ(std::bit_cast<std::uint32_t>(actual.samples[i]),
                  std::bit_cast<std::uint32_t>(expected.samples[i]))
            << "sample " << i;
    EXPECT_EQ(actual.seed, expected.seed);
    EXPECT_EQ(actual.state.outputWord, expected.state.outputWord);
    EXPECT_EQ(actual.state.hasCachedNormal, expected.state.hasCachedNormal);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(actual.state.cachedNormal),
              std::bit_cast<std::uint32_t>(expected.state.cachedNormal));
    for (int j = 0; j < simtrove::random::kShuffleTableSize; ++j)
        EXPECT_EQ(actual.state.shuffleTable[j], expected.state.shuffleTable[j]);
    EXPECT_EQ(actual.log, expected.log);
}

struct GridCase {
    const char* what;
    VtcGrid grid;
    std::vector<std::int64_t> groups;  // group sizes to force besides the automatic choice
};

// Grids with odd sample counts, T below, at and not a multiple of the group size.
const GridCase kGrids[] = {
    {"single sample", {1, 1, 1, 1, 0, 0, 0, 1}, {0, 4}},
    {"single voxel, long course", {1, 1, 1, 1000, 0, 0, 0, 1}, {0, 32, 7}},
    {"odd sample count", {5, 3, 1, 7, 0, 0, 0, 1}, {0, 2, 3, 16}},
    {"T below the group", {3, 2, 2, 5, 0, 0, 0, 1}, {16, 32}},
    {"T = 25", {3, 2, 2, 25, 0, 0, 0, 1}, {0, 1, 10, 16}},
    {"T not a multiple of the group", {7, 5, 3, 250, 0, 0, 0, 1}, {0, 16, 32}},
    {"more voxels than one chunk", {37, 29, 3, 33, 0, 0, 0, 1}, {0, 16}},
};

// Each kernel in turn; one that this machine lacks is skipped, visibly.
class FastNoisePassKernelTest : public FastNoisePassTest,
                                public ::testing::WithParamInterface<NoiseKernel> {
  protected:
    void SetUp() override {
        FastNoisePassTest::SetUp();
        SIMTROVE_SKIP_UNLESS_KERNEL_RUNS(GetParam());
    }
};

TEST_F(FastNoisePassTest, DefaultPassBitIdenticalToTheReferencePass) {
    const DeviateState load{};
    for (const GridCase& c : kGrids) {
        SCOPED_TRACE(c.what);
        expectSamePass(runFrom(host, load, -1, c.grid, runNoisePass),
                       runFrom(host, load, -1, c.grid, [](float* s, const VtcGrid& g, int* seed) {
                           runFastNoisePass(s, g, seed);
                       }));
    }
}

TEST_P(FastNoisePassKernelTest, BitIdenticalToTheReferencePass) {
    const DeviateState load{};
    for (const GridCase& c : kGrids) {
        const PassResult expected = runFrom(host, load, -1, c.grid, runNoisePass);
        for (std::int64_t group : c.groups) {
            SCOPED_TRACE(::testing::Message() << c.what << ", group " << group);
            expectSamePass(expected, runFrom(host, load, -1, c.grid,
                                             [&](float* s, const VtcGrid& g, int* seed) {
                                                 runFastNoisePass(s, g, seed, GetParam(), group);
                                             }));
        }
    }
}

// A run that drew an odd number of deviates leaves one cached: the next pass
// starts with it and re-initialises the uniform generator only at its second draw.
TEST_P(FastNoisePassKernelTest, ContinuesFromALeftoverNormal) {
    const VtcGrid odd{3, 1, 1, 1, 0, 0, 0, 1};
    const VtcGrid next{4, 3, 1, 17, 0, 0, 0, 1};
    const PassResult first = runFrom(host, DeviateState{}, -1, odd, runNoisePass);
    ASSERT_TRUE(first.state.hasCachedNormal);
    const PassResult expected = runFrom(host, first.state, -1, next, runNoisePass);
    for (std::int64_t group : {0, 2, 16}) {
        SCOPED_TRACE(::testing::Message() << "group " << group);
        expectSamePass(expected, runFrom(host, first.state, -1, next,
                                         [&](float* s, const VtcGrid& g, int* seed) {
                                             runFastNoisePass(s, g, seed, GetParam(), group);
                                         }));
    }
    // One sample taken from the cache leaves the seed as it was.
    const PassResult single =
        runFrom(host, first.state, -1, VtcGrid{1, 1, 1, 1, 0, 0, 0, 1},
                [](float* s, const VtcGrid& g, int* seed) { runFastNoisePass(s, g, seed); });
    EXPECT_EQ(single.seed, -1);
    EXPECT_FALSE(single.state.hasCachedNormal);
}

TEST_F(FastNoisePassTest, ProgressLinesOfTheReferencePass) {
    const VtcGrid grid{2, 2, 1, 25, 0, 0, 0, 1};
    const PassResult result =
        runFrom(host, DeviateState{}, -1, grid, [](float* s, const VtcGrid& g, int* seed) {
            runFastNoisePass(s, g, seed, fastestNoiseKernel(), 16);
        });
    EXPECT_EQ(result.log,
              (std::vector<std::string>{"// Plugin>    10 / 25 ...", "// Plugin>    20 / 25 ...",
                                        "// Plugin>    25 / 25 ..."}));
}

INSTANTIATE_TEST_SUITE_P(Kernels, FastNoisePassKernelTest, ::testing::ValuesIn(kAllNoiseKernels),
                         kernelTestName);

struct BoundCase {
    VtcGrid grid;
    std::int64_t volumes;
};

// Group sizes worked out by hand from the bound: B * voxels * 4 bytes at most
// 1/8 of the array (B <= T / 8) and at most 64 MB, B at most 32, 0 below 2.
TEST(FastNoisePassBoundTest, GroupSizeStaysWithinTheMemoryBound) {
    const BoundCase cases[] = {
        {{58, 40, 46, 250, 0, 0, 0, 1}, 31},     // T / 8 = 31.25
        {{58, 40, 46, 1000, 0, 0, 0, 1}, 32},    // capped at 32
        {{85, 85, 85, 250, 0, 0, 0, 1}, 27},     // 64 MB / (614125 * 4 B) = 27.3
        {{256, 256, 256, 1000, 0, 0, 0, 1}, 0},  // one volume is 64 MB
        {{10, 10, 10, 16, 0, 0, 0, 1}, 2},      {{10, 10, 10, 15, 0, 0, 0, 1}, 0},
        {{1, 1, 1, 1, 0, 0, 0, 1}, 0},
    };
    for (const BoundCase& c : cases) {
        EXPECT_EQ(volumesPerGroup(c.grid), c.volumes)
            << c.grid.dimX << "x" << c.grid.dimY << "x" << c.grid.dimZ << "x" << c.grid.timePoints;
        const std::uint64_t scratchBytes =
            std::uint64_t(volumesPerGroup(c.grid)) * c.grid.voxelCount() * sizeof(float);
        EXPECT_LE(scratchBytes, c.grid.sampleCount() * sizeof(float) / 8);
        EXPECT_LE(scratchBytes, kMaxScratchBytes);
    }
}

}  // namespace
