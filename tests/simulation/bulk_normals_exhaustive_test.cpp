// Every input of each vector kernel's float steps against the scalar
// expressions they replace: all floats in (0, 1) for the logarithm (against
// floatLog, itself checked against MPFR), every output word for the polar
// components, every finite float for the noise sample. Together with the
// identical double steps this makes the kernel's deviates those of
// normal_deviate. Seconds of work per kernel: labelled slow.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "numerics/random/deviates_internal.h"
#include "numerics/random/float_log.h"
#include "simulation/bulk_normals.h"
#include "simulation/synthesis.h"
#include "tests/simulation/noise_kernel_param.h"

using namespace simtrove::simulation;

namespace {

constexpr std::size_t kBatch = std::size_t(1) << 16;

// Runs `vectorStep` over the inputs first .. last (inclusive) in batches and
// compares each result bit for bit with `scalarStep`; returns the mismatches,
// printing the first few.
template <class Input, class VectorStep, class ScalarStep>
std::uint64_t countMismatches(std::uint64_t first, std::uint64_t last,
                              Input (*inputOf)(std::uint64_t), VectorStep vectorStep,
                              ScalarStep scalarStep) {
    std::vector<Input> inputs(kBatch);
    std::vector<float> results(kBatch);
    std::uint64_t mismatches = 0;
    for (std::uint64_t start = first; start <= last; start += kBatch) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(kBatch, last - start + 1));
        for (std::size_t i = 0; i < n; ++i) inputs[i] = inputOf(start + i);
        vectorStep(inputs.data(), results.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            const float expected = scalarStep(inputs[i]);
            if (std::bit_cast<std::uint32_t>(results[i]) !=
                    std::bit_cast<std::uint32_t>(expected) &&
                ++mismatches <= 5)
                ADD_FAILURE() << "input " << inputs[i] << ": " << results[i] << " instead of "
                              << expected;
        }
    }
    return mismatches;
}

float floatWithBits(std::uint64_t bits) {
    return std::bit_cast<float>(std::uint32_t(bits));
}
int wordOf(std::uint64_t value) {
    return int(value);
}

class BulkNormalsExhaustiveTest : public ::testing::TestWithParam<NoiseKernel> {
  protected:
    void SetUp() override { SIMTROVE_SKIP_UNLESS_KERNEL_RUNS(GetParam()); }
};

TEST_P(BulkNormalsExhaustiveTest, LogarithmOfEveryFloatBelowOne) {
    const auto vectorLogs = [&](const float* r, float* logs, std::size_t n) {
        floatLogs(r, logs, n, GetParam());
    };
    // Bit patterns 1 .. 0x3F7FFFFF: every float in (0, 1), subnormals included.
    EXPECT_EQ(countMismatches(1, 0x3F7FFFFF, floatWithBits, vectorLogs, simtrove::random::floatLog),
              0u);
}

TEST_P(BulkNormalsExhaustiveTest, PolarComponentOfEveryOutputWord) {
    const auto vectorComponents = [&](const int* words, float* out, std::size_t n) {
        polarComponents(words, out, n, GetParam());
    };
    const auto scalarComponent = [](int word) {
        return float(2.0 * double(simtrove::random::uniformOfOutputWord(word)) - 1.0);
    };
    EXPECT_EQ(countMismatches(1, simtrove::random::kModulus - 1, wordOf, vectorComponents,
                              scalarComponent),
              0u);
}

TEST_P(BulkNormalsExhaustiveTest, NoiseSampleOfEveryFiniteFloat) {
    const auto vectorSamples = [&](const float* normals, float* out, std::size_t n) {
        noiseSamples(normals, out, n, GetParam());
    };
    const auto scalarSample = [](float normal) {
        const float noise = float(double(normal) * double(kNoiseScale));
        return float(double(kBaseline) + double(noise));
    };
    EXPECT_EQ(countMismatches(0, 0x7F7FFFFF, floatWithBits, vectorSamples, scalarSample), 0u);
    EXPECT_EQ(countMismatches(0x80000000u, 0xFF7FFFFFu, floatWithBits, vectorSamples, scalarSample),
              0u);
}

INSTANTIATE_TEST_SUITE_P(VectorKernels, BulkNormalsExhaustiveTest,
                         ::testing::Values(NoiseKernel::Avx2, NoiseKernel::Avx512), kernelTestName);

}  // namespace
