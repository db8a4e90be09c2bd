// The logarithm and the noise kernels on a build that cannot run the test
// suite (the Windows builds, under Wine): prints the kernels this machine has,
// a digest of floatLog over a fixed sample of the floats in (0, 1) and of
// floatLogExact over a sparser one, and checks every available kernel's
// floatLogs against floatLog on the sample. The digests must equal those of
// the Linux build, whose floatLog the test suite checks against MPFR on every
// float in (0, 1); scripts/windows.sh compares them.
//
// Usage: kernel_check [STRIDE]   (default 1: every float in (0, 1)); --help,
// --version. Exit status 1 when a kernel disagrees with floatLog, 2 on a bad
// argument.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "numerics/random/float_log.h"
#include "simulation/bulk_normals.h"

using namespace simtrove::simulation;

namespace {

constexpr std::uint32_t kLastBelowOne = 0x3F7FFFFFu;

// FNV-1a over the result bits.
struct Digest {
    std::uint64_t value = 14695981039346656037ull;
    void add(float f) {
        std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
        for (int i = 0; i < 4; ++i, bits >>= 8) value = (value ^ (bits & 0xFFu)) * 1099511628211ull;
    }
};

// The floats with bit patterns 1, 1 + stride, ... up to below one, in batches.
template <class Batch>
void forSample(std::uint32_t stride, Batch batch) {
    std::vector<float> inputs;
    inputs.reserve(1 << 16);
    for (std::uint64_t bits = 1; bits <= kLastBelowOne; bits += stride) {
        inputs.push_back(std::bit_cast<float>(std::uint32_t(bits)));
        if (inputs.size() == inputs.capacity()) {
            batch(inputs);
            inputs.clear();
        }
    }
    if (!inputs.empty()) batch(inputs);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app(
        "Checks the logarithm and the noise kernels of this build: prints the kernels "
        "the machine has and digests of floatLog over a sample of the floats in (0, 1).");
    simtrove::cli::configureApp(app, "kernel_check");
    std::uint32_t stride = 1;
    app.add_option("STRIDE", stride,
                   "check every STRIDE-th float bit pattern, 1 to 1048576 (default 1: all)")
        ->type_name("");
    const simtrove::cli::ParseOutcome outcome = simtrove::cli::parseArguments(
        app, std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    if (outcome.kind != simtrove::cli::ParseOutcome::Kind::Run) {
        const bool error = outcome.kind == simtrove::cli::ParseOutcome::Kind::Error;
        std::fprintf(error ? stderr : stdout, "%s%s", error ? "kernel_check: error: " : "",
                     (outcome.text + (error ? "\n" : "")).c_str());
        return error ? 2 : 0;
    }
    if (stride < 1 || stride > 1u << 20) {
        std::fprintf(stderr, "kernel_check: error: STRIDE %u is outside 1 to 1048576\n", stride);
        return 2;
    }
    const std::uint32_t exactStride = stride * 16;

    std::printf("kernels:");
    for (NoiseKernel kernel : kAllNoiseKernels)
        if (noiseKernelAvailable(kernel)) std::printf(" %s", noiseKernelName(kernel));
    std::printf("\n");

    Digest logs, exactLogs;
    std::uint64_t count = 0, exactCount = 0, mismatches[3] = {};
    std::vector<float> vectorLogs;
    forSample(stride, [&](const std::vector<float>& r) {
        vectorLogs.resize(r.size());
        for (float x : r) logs.add(simtrove::random::floatLog(x));
        count += r.size();
        for (NoiseKernel kernel : kAllNoiseKernels) {
            if (kernel == NoiseKernel::Portable || !noiseKernelAvailable(kernel)) continue;
            floatLogs(r.data(), vectorLogs.data(), r.size(), kernel);
            for (std::size_t i = 0; i < r.size(); ++i)
                mismatches[int(kernel)] +=
                    std::bit_cast<std::uint32_t>(vectorLogs[i]) !=
                    std::bit_cast<std::uint32_t>(simtrove::random::floatLog(r[i]));
        }
    });
    forSample(exactStride, [&](const std::vector<float>& r) {
        for (float x : r) exactLogs.add(simtrove::random::floatLogExact(x));
        exactCount += r.size();
    });
    std::printf("floatLog of every %u-th float in (0, 1): %llu floats, digest %016llx\n", stride,
                (unsigned long long)count, (unsigned long long)logs.value);
    std::printf("floatLogExact of every %u-th float in (0, 1): %llu floats, digest %016llx\n",
                exactStride, (unsigned long long)exactCount, (unsigned long long)exactLogs.value);
    int status = 0;
    for (NoiseKernel kernel : kAllNoiseKernels) {
        if (kernel == NoiseKernel::Portable || !noiseKernelAvailable(kernel)) continue;
        std::printf("kernel %s: floatLogs differs from floatLog on %llu floats\n",
                    noiseKernelName(kernel), (unsigned long long)mismatches[int(kernel)]);
        if (mismatches[int(kernel)] != 0) status = 1;
    }
    return status;
}
