#include "simulation/bulk_normals.h"

#include <gtest/gtest.h>

#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "numerics/random/deviates_internal.h"

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

std::vector<NoiseKernel> kernelsHere() {
    std::vector<NoiseKernel> kernels{NoiseKernel::Portable};
    if (avx512KernelAvailable()) kernels.push_back(NoiseKernel::Avx512);
    return kernels;
}

const char* nameOf(NoiseKernel kernel) {
    return kernel == NoiseKernel::Avx512 ? "avx512" : "portable";
}

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

TEST(BulkNormalsTest, SameValuesAndStateAsNormalDeviate) {
    for (NoiseKernel kernel : kernelsHere())
        for (const DrawCase& c : drawCases())
            for (bool asSamples : {false, true}) {
                SCOPED_TRACE(::testing::Message() << nameOf(kernel) << ": " << c.what
                                                  << (asSamples ? " (samples)" : " (normals)"));
                const Outcome expected = literalDraws(c.start, c.pieces, asSamples);
                expectSameOutcome(expected, bulkDraws(c.start, c.pieces, asSamples, kernel));
            }
}

// The first normal deviates from the load state with seed -1 (the generators'
// documented sequence, to the printed digits).
TEST(BulkNormalsTest, DocumentedSequenceFromLoadState) {
    const float expected[] = {-0.8368537f, -0.1722799f, 0.1871176f,
                              1.615440f,   -0.1767741f, 0.6531447f};
    for (NoiseKernel kernel : kernelsHere()) {
        deviateState() = {};
        int seed = -1;
        float values[6];
        drawNormals(values, 6, &seed, kernel);
        for (int i = 0; i < 6; ++i) EXPECT_NEAR(values[i], expected[i], 2e-7f) << nameOf(kernel);
    }
}

TEST(BulkNormalsTest, AskingForAvx512WithoutItGivesThePortableKernel) {
    EXPECT_EQ(fastestNoiseKernel(),
              avx512KernelAvailable() ? NoiseKernel::Avx512 : NoiseKernel::Portable);
    const Start start = afterLiteralDraws(0);
    expectSameOutcome(literalDraws(start, {11}, false),
                      bulkDraws(start, {11}, false, NoiseKernel::Avx512));
}

// Spot values of float(log(double(r))), including inputs outside (0, 1) and
// the edges of the float range; the exhaustive check over (0, 1) is labelled slow.
TEST(BulkNormalsTest, FloatLogsMatchTheScalarExpression) {
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
                                 1.4142135f};
    for (std::uint32_t bits = 0x3F000000u; bits < 0x3F800000u; bits += 4099u)
        inputs.push_back(std::bit_cast<float>(bits));
    for (NoiseKernel kernel : kernelsHere()) {
        // Every length up to 17 exercises the partial vectors, then all at once.
        std::vector<std::size_t> lengths{inputs.size()};
        for (std::size_t n = 0; n <= 17; ++n) lengths.push_back(n);
        for (std::size_t n : lengths) {
            std::vector<float> logs(n, -1.0f);
            floatLogs(inputs.data(), logs.data(), n, kernel);
            for (std::size_t i = 0; i < n; ++i)
                EXPECT_EQ(bitsOf(logs[i]), bitsOf(float(std::log(double(inputs[i])))))
                    << nameOf(kernel) << " n=" << n << " r=" << inputs[i];
        }
    }
}

}  // namespace
