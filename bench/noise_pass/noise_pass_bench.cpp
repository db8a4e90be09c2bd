// Times the noise pass in ns per sample: the reference loops (runNoisePass,
// whose logarithm is floatLog), the same loops with the C runtime's log (the
// loops exactly as written down, nothing else), the fast pass with each kernel
// this machine has, and std::fill of the same array (the memory-bandwidth
// floor). Median of the runs per entry; the runs of one repetition are
// interleaved so that load on a shared machine hits all entries alike, and only
// ratios within one run are meant to be compared. Every result is checked bit
// for bit against the reference pass. Built with the MinGW toolchains too, to
// be run on Windows or under Wine.
//
// Usage: noise_pass_bench [repetitions] [--small | --main]
//   --small: one 20 x 20 x 20 x 50 grid (a smoke test); --main: only 58 x 40 x 46 x 1000.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/host_functions.h"
#include "host/host_lookup.h"
#include "numerics/random/deviates_internal.h"
#include "simulation/fast_noise_pass.h"
#include "simulation/synthesis.h"

using namespace simtrove::simulation;

namespace {

// A host that offers only what the noise pass calls, and drops the log lines.
int benchVersion(int* major, int* minor, int* subMinor) {
    *major = 2;
    *minor = 0;
    *subMinor = 0;
    return 1;
}
int benchLogText(const char*) {
    return 1;
}
int benchModule;

void* findBenchModule() {
    return &benchModule;
}

simtrove::host::RawHostFunction findBenchFunction(void*, const char* name) {
    if (std::strcmp(name, "tvGetVersionOfTavimo") == 0)
        return reinterpret_cast<simtrove::host::RawHostFunction>(benchVersion);
    if (std::strcmp(name, "tvLogText") == 0)
        return reinterpret_cast<simtrove::host::RawHostFunction>(benchLogText);
    return nullptr;
}

const simtrove::host::HostLookup kBenchLookup{findBenchModule, findBenchFunction};

// normal_deviate and the reference loops with the C runtime's logarithm.
float normalWithRuntimeLog(int* seed) {
    simtrove::random::DeviateState& s = simtrove::random::deviateState();
    if (s.hasCachedNormal) {
        s.hasCachedNormal = 0;
        return s.cachedNormal;
    }
    float a, b, r;
    do {
        a = float(2.0 * double(uniform_deviate(seed)) - 1.0);
        b = float(2.0 * double(uniform_deviate(seed)) - 1.0);
        r = float(double(a) * a + double(b) * b);
    } while (r >= 1.0f || r == 0.0f);
    const float f = float(std::sqrt(-2.0 * double(float(std::log(double(r)))) / double(r)));
    s.cachedNormal = float(double(a) * f);
    s.hasCachedNormal = 1;
    return float(double(b) * f);
}

void literalPassWithRuntimeLog(float* samples, const VtcGrid& grid, int* seed) {
    const std::size_t T = std::size_t(grid.timePoints);
    char line[64];
    for (std::int64_t t = 0; t < grid.timePoints; ++t) {
        if (t > 0 && t % 10 == 0) {
            std::snprintf(line, sizeof line, "// Plugin>    %i / %i ...", int(t),
                          int(grid.timePoints));
            simtrove::host::tvLogText(line);
        }
        float* sample = samples + t;
        for (std::size_t voxel = 0, n = grid.voxelCount(); voxel < n; ++voxel, sample += T) {
            const float noise = float(double(normalWithRuntimeLog(seed)) * double(kNoiseScale));
            *sample = float(double(kBaseline) + double(noise));
        }
    }
}

struct Entry {
    std::string name;
    std::function<void(float*, const VtcGrid&, int*)> run;
    bool drawsNoise;  // false: the fill baseline
    std::vector<double> nsPerSample;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double timeOnce(Entry& entry, float* samples, const VtcGrid& grid) {
    simtrove::random::deviateState() = {};
    int seed = -1;
    const auto start = std::chrono::steady_clock::now();
    entry.run(samples, grid, &seed);
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(stop - start).count() /
           double(grid.sampleCount());
}

void benchGrid(const VtcGrid& grid, int repetitions) {
    const std::size_t n = grid.sampleCount();
    std::vector<float> reference(n), samples(n);
    std::vector<Entry> entries;
    entries.push_back({"literal",
                       [](float* s, const VtcGrid& g, int* seed) { runNoisePass(s, g, seed); },
                       true,
                       {}});
    entries.push_back({"literal crt log", literalPassWithRuntimeLog, true, {}});
    for (NoiseKernel kernel : {NoiseKernel::Avx512, NoiseKernel::Avx2, NoiseKernel::Portable})
        if (noiseKernelAvailable(kernel))
            entries.push_back({std::string("fast ") + noiseKernelName(kernel),
                               [kernel](float* s, const VtcGrid& g, int* seed) {
                                   runFastNoisePass(s, g, seed, kernel, volumesPerGroup(g));
                               },
                               true,
                               {}});
    entries.push_back(
        {"fill",
         [](float* s, const VtcGrid& g, int*) { std::fill(s, s + g.sampleCount(), 100.0f); },
         false,
         {}});

    // First touch outside the timings; the reference result for the checks.
    std::fill(samples.begin(), samples.end(), 0.0f);
    timeOnce(entries[0], reference.data(), grid);
    std::vector<bool> identical(entries.size(), true);
    for (int rep = 0; rep < repetitions; ++rep) {
        for (std::size_t e = 0; e < entries.size(); ++e) {
            float* target = e == 0 ? reference.data() : samples.data();
            entries[e].nsPerSample.push_back(timeOnce(entries[e], target, grid));
            if (e > 0 && entries[e].drawsNoise)
                identical[e] = identical[e] && std::memcmp(samples.data(), reference.data(),
                                                           n * sizeof(float)) == 0;
        }
    }

    std::printf("%lld x %lld x %lld x %lld (%zu samples, groups of %lld volumes)\n",
                (long long)grid.dimX, (long long)grid.dimY, (long long)grid.dimZ,
                (long long)grid.timePoints, n, (long long)volumesPerGroup(grid));
    const double literal = median(entries[0].nsPerSample);
    const double runtimeLiteral = median(entries[1].nsPerSample);
    const double fill = median(entries.back().nsPerSample);
    for (std::size_t e = 0; e < entries.size(); ++e) {
        const double ns = median(entries[e].nsPerSample);
        std::printf("  %-16s %7.2f ns/sample", entries[e].name.c_str(), ns);
        if (e >= 2 && entries[e].drawsNoise)
            std::printf("   /literal %.3f   /literal-crt-log %.3f   /fill %.1f", ns / literal,
                        ns / runtimeLiteral, ns / fill);
        if (e > 0 && entries[e].drawsNoise && !identical[e])
            std::printf("   RESULT DIFFERS from the reference");
        std::printf("\n");
    }
    bool all = true;
    for (bool same : identical) all = all && same;
    std::printf("  all results bit-identical to the reference pass: %s\n", all ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const char* only = argc > 2 ? argv[2] : "";
    simtrove::host::useHostLookup(&kBenchLookup);
    if (!simtrove::host::bindHostFunctions()) {
        std::fprintf(stderr, "noise_pass_bench: binding the bench host failed\n");
        return 1;
    }
    std::printf("noise pass, median of %d runs; kernels here:", repetitions);
    for (NoiseKernel kernel : kAllNoiseKernels)
        if (noiseKernelAvailable(kernel)) std::printf(" %s", noiseKernelName(kernel));
    std::printf("\n");
    std::vector<VtcGrid> grids = {{58, 40, 46, 250, 0, 0, 0, 1},
                                  {58, 40, 46, 1000, 0, 0, 0, 1},
                                  {85, 85, 85, 250, 0, 0, 0, 1}};
    if (std::strcmp(only, "--small") == 0) grids = {{20, 20, 20, 50, 0, 0, 0, 1}};
    if (std::strcmp(only, "--main") == 0) grids = {{58, 40, 46, 1000, 0, 0, 0, 1}};
    for (const VtcGrid& grid : grids) benchGrid(grid, repetitions);
    return 0;
}
