#include "simulation/bulk_normals.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "numerics/random/deviates_internal.h"
#include "numerics/random/float_log.h"
#include "tests/simulation/noise_kernel_param.h"

using namespace simtrove::simulation;
using simtrove::random::DeviateState;
using simtrove::random::deviateState;

namespace {

// Where a run of draws starts: the generator state and the caller's seed.
struct Start {
    DeviateState state;
    int seed;
};

struct Outcome {
    std::vector<float> values;
    DeviateState state;
    int seed;
};

// The reference: one normal_deviate call per value.
Outcome literalDraws(const Start& start, const std::vector<std::size_t>& pieces, bool asSamples) {
    deviateState() = start.state;
    Outcome out{{}, {}, start.seed};
    for (std::size_t piece : pieces)
        for (std::size_t i = 0; i < piece; ++i) {
            const float normal = normal_deviate(&out.seed);
            out.values.push_back(asSamples ? float(100.0 + double(float(double(normal) * 5.0)))
                                           : normal);
        }
    out.state = deviateState();
    return out;
}

Outcome bulkDraws(const Start& start, const std::vector<std::size_t>& pieces, bool asSamples,
                  NoiseKernel kernel) {
    deviateState() = start.state;
    Outcome out{{}, {}, start.seed};
    for (std::size_t piece : pieces) {
        std::vector<float> values(piece);
        if (asSamples)
            drawNoiseSamples(values.data(), piece, &out.seed, kernel);
        else
            drawNormals(values.data(), piece, &out.seed, kernel);
        out.values.insert(out.values.end(), values.begin(), values.end());
    }
    out.state = deviateState();
    return out;
}

std::uint32_t bitsOf(float f) {
    return std::bit_cast<std::uint32_t>(f);
}

void expectSameOutcome(const Outcome& expected, const Outcome& actual) {
    ASSERT_EQ(actual.values.size(), expected.values.size());
    for (std::size_t i = 0; i < expected.values.size(); ++i)
        ASSERT_EQ(bitsOf(actual.values[i]), bitsOf(expected.values[i])) << "draw " << i;
    EXPECT_EQ(actual.seed, expected.seed);
    EXPECT_EQ(actual.state.outputWord, expected.state.outputWord);
    EXPECT_EQ(actual.state.hasCachedNormal, expected.state.hasCachedNormal);
    EXPECT_EQ(bitsOf(actual.state.cachedNormal), bitsOf(expected.state.cachedNormal));
    for (int j = 0; j < simtrove::random::kShuffleTableSize; ++j)
        EXPECT_EQ(actual.state.shuffleTable[j], expected.state.shuffleTable[j]) << "entry " << j;
}

// The state left by `draws` normal_deviate calls from the load state with seed -1.
Start afterLiteralDraws(int draws) {
    deviateState() = {};
    int seed = -1;
    for (int i = 0; i < draws; ++i) normal_deviate(&seed);
    return {deviateState(), seed};
}

// Detection against the processor's own report, read without it: a detector
// that denies a kernel would turn its suites into skips, one that claims a
// missing one would crash them.
TEST(KernelDetection, AgreesWithWhatTheProcessorReports) {
    if (processorFlags().empty()) GTEST_SKIP() << "no /proc/cpuinfo to compare with";
    for (NoiseKernel kernel : kAllNoiseKernels)
        EXPECT_EQ(noiseKernelAvailable(kernel), processorReports(kernel))
            << noiseKernelName(kernel);
}

// Each kernel in turn; one that this machine lacks is skipped, visibly.
class KernelTest : public ::testing::TestWithParam<NoiseKernel> {
  protected:
    void SetUp() override { SIMTROVE_SKIP_UNLESS_KERNEL_RUNS(GetParam()); }
};

struct DrawCase {
    const char* what;
    Start start;
    std::vector<std::size_t> pieces;  // consecutive calls and their counts
};

std::vector<DrawCase> drawCases() {
    Start load{{}, -1};
    DeviateState messy = afterLiteralDraws(2).state;
    messy.shuffleTable[5] = 0;  // a table no initialisation could leave
    return {
        {"nothing", load, {0}},
        {"one draw initialises and caches", load, {1}},
        {"one pair", load, {2}},
        {"odd count", load, {3}},
        {"the chunk boundary", load, {1023, 1024, 1025}},
        {"odd pieces hand the cached value on", load, {1, 2, 3, 999, 1, 5001, 7}},
        {"long run", load, {400001}},
        {"cached value pending, seed -1 untouched by it", afterLiteralDraws(1), {1, 4}},
        {"continuing a positive seed", afterLiteralDraws(6), {2000}},
        {"seed 0 re-initialises", {afterLiteralDraws(4).state, 0}, {9}},
        {"most negative seed", {afterLiteralDraws(4).state, INT_MIN}, {9}},
        {"positive seed, uninitialised generator", {{}, 12345}, {9}},
        {"seed equal to the modulus", {afterLiteralDraws(2).state, INT_MAX}, {40}},
        {"table with a zero entry", {messy, afterLiteralDraws(2).seed}, {300}},
    };
}

using BulkNormalsTest = KernelTest;

TEST_P(BulkNormalsTest, SameValuesAndStateAsNormalDeviate) {
    for (const DrawCase& c : drawCases())
        for (bool asSamples : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << c.what << (asSamples ? " (samples)" : " (normals)"));
            const Outcome expected = literalDraws(c.start, c.pieces, asSamples);
            expectSameOutcome(expected, bulkDraws(c.start, c.pieces, asSamples, GetParam()));
        }
}

// The first normal deviates from the load state with seed -1 (the generators'
// documented sequence, to the printed digits).
TEST_P(BulkNormalsTest, DocumentedSequenceFromLoadState) {
    const float expected[] = {-0.8368537f, -0.1722799f, 0.1871176f,
                              1.615440f,   -0.1767741f, 0.6531447f};
    deviateState() = {};
    int seed = -1;
    float values[6];
    drawNormals(values, 6, &seed, GetParam());
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(values[i], expected[i], 2e-7f);
}

// A kernel that is not available: the portable one, same values.
TEST(KernelChoiceTest, UnavailableKernelsFallBackAndTheChoiceFollowsTheEnvironment) {
    for (NoiseKernel kernel : kAllNoiseKernels) {
        const Start start = afterLiteralDraws(0);
        expectSameOutcome(literalDraws(start, {11}, false), bulkDraws(start, {11}, false, kernel));
    }
    const NoiseKernel fastest = fastestNoiseKernel();
    EXPECT_TRUE(noiseKernelAvailable(fastest));
    if (noiseKernelAvailable(NoiseKernel::Avx512)) {
        EXPECT_EQ(fastest, NoiseKernel::Avx512);
    }
    for (NoiseKernel kernel : kAllNoiseKernels) {
        setenv("SIMTROVE_NOISE_KERNEL", noiseKernelName(kernel), 1);
        EXPECT_EQ(chosenNoiseKernel(), noiseKernelAvailable(kernel) ? kernel : fastest)
            << noiseKernelName(kernel);
    }
    setenv("SIMTROVE_NOISE_KERNEL", "sse9", 1);
    EXPECT_EQ(chosenNoiseKernel(), fastest);
    unsetenv("SIMTROVE_NOISE_KERNEL");
    EXPECT_EQ(chosenNoiseKernel(), fastest);
}

// Spot values of floatLog, including inputs outside (0, 1) and the edges of
// the float range, at every length up to 17 (partial vectors), then 2^20
// random floats in (0, 1): enough that a lane left unsettled and not handed
// on, or a wrong constant, shows. Every float in (0, 1) is checked by a slow test.
TEST_P(BulkNormalsTest, FloatLogsMatchTheScalarLogarithm) {
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> inputs = {1.0f,
                                 0.5f,
                                 0.99999994f,
                                 std::numeric_limits<float>::min(),
                                 std::numeric_limits<float>::denorm_min(),
                                 0.0f,
                                 -0.0f,
                                 -1.0f,
                                 2.0f,
                                 1.0e30f,
                                 inf,
                                 std::numeric_limits<float>::max(),
                                 0x1p-48f,
                                 0.70710677f,
                                 1.4142135f,
                                 0.25f,
                                 0.99999f};
    for (std::size_t n = 0; n <= inputs.size(); ++n) {
        std::vector<float> logs(n, -1.0f);
        floatLogs(inputs.data(), logs.data(), n, GetParam());
        for (std::size_t i = 0; i < n; ++i) {
            const float expected = simtrove::random::floatLog(inputs[i]);
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(logs[i])) << "r=" << inputs[i];
            else
                EXPECT_EQ(bitsOf(logs[i]), bitsOf(expected)) << "n=" << n << " r=" << inputs[i];
        }
    }
    std::mt19937 random(15);
    std::uniform_int_distribution<std::uint32_t> belowOne(1, 0x3F7FFFFFu);
    std::vector<float> r(1 << 20), logs(r.size());
    for (float& value : r) value = std::bit_cast<float>(belowOne(random));
    floatLogs(r.data(), logs.data(), r.size(), GetParam());
    int mismatches = 0;
    for (std::size_t i = 0; i < r.size() && mismatches < 5; ++i)
        if (bitsOf(logs[i]) != bitsOf(simtrove::random::floatLog(r[i])))
            ADD_FAILURE() << "r=" << r[i] << (++mismatches, "");
}

// The kernel's other float steps on inputs that reach every branch: the
// output words whose uniform is clamped to 0.99999988 (the top 128 below the
// modulus) and random ones; noise samples of random normals and of values far
// out. A dropped clamp or a wrong constant shows here.
TEST_P(BulkNormalsTest, PolarComponentsAndNoiseSamplesMatchTheScalarSteps) {
    std::mt19937 random(19);
    std::vector<int> words;
    for (int w = simtrove::random::kModulus - 1; w > simtrove::random::kModulus - 400; --w)
        words.push_back(w);
    std::uniform_int_distribution<int> anyWord(1, simtrove::random::kModulus - 1);
    for (int i = 0; i < 100000; ++i) words.push_back(anyWord(random));
    words.insert(words.end(), {1, 2, 1073741823, 1073741824});
    std::vector<float> components(words.size());
    polarComponents(words.data(), components.data(), words.size(), GetParam());
    for (std::size_t i = 0; i < words.size(); ++i)
        ASSERT_EQ(
            bitsOf(components[i]),
            bitsOf(float(2.0 * double(simtrove::random::uniformOfOutputWord(words[i])) - 1.0)))
            << "word " << words[i];

    std::normal_distribution<float> normal;
    std::vector<float> normals = {0.0f, -0.0f, 1e-9f, -1e-9f, 3e38f, -3e38f, 1e30f, 20.0f, -20.0f};
    for (int i = 0; i < 100000; ++i) normals.push_back(normal(random));
    std::vector<float> samples(normals.size());
    noiseSamples(normals.data(), samples.data(), normals.size(), GetParam());
    for (std::size_t i = 0; i < normals.size(); ++i)
        ASSERT_EQ(bitsOf(samples[i]),
                  bitsOf(float(100.0 + double(float(double(normals[i]) * 5.0)))))
            << "normal " << normals[i];
}

INSTANTIATE_TEST_SUITE_P(Kernels, BulkNormalsTest, ::testing::ValuesIn(kAllNoiseKernels),
                         kernelTestName);

}  // namespace
