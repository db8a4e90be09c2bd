// Times the noise pass in ns per sample: the reference loops (runNoisePass),
// the fast pass with each kernel available here, and std::fill of the same
// array (the memory-bandwidth floor). Median of 5 runs per entry; the runs of
// one repetition are interleaved so that load on a shared machine hits all
// entries alike, and only ratios within one run are meant to be compared.
// Every fast result is checked bit for bit against the reference pass.
//
// Usage: noise_pass_bench [repetitions]
#include <algorithm>
#include <chrono>
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
    if (avx512KernelAvailable())
        entries.push_back({"fast avx512",
                           [](float* s, const VtcGrid& g, int* seed) {
                               runFastNoisePass(s, g, seed, NoiseKernel::Avx512,
                                                volumesPerGroup(g));
                           },
                           true,
                           {}});
    entries.push_back({"fast portable",
                       [](float* s, const VtcGrid& g, int* seed) {
                           runFastNoisePass(s, g, seed, NoiseKernel::Portable, volumesPerGroup(g));
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
    bool identical = true;
    for (int rep = 0; rep < repetitions; ++rep) {
        for (std::size_t e = 0; e < entries.size(); ++e) {
            float* target = e == 0 ? reference.data() : samples.data();
            entries[e].nsPerSample.push_back(timeOnce(entries[e], target, grid));
            if (e > 0 && entries[e].drawsNoise)
                identical = identical &&
                            std::memcmp(samples.data(), reference.data(), n * sizeof(float)) == 0;
        }
    }

    std::printf("%lld x %lld x %lld x %lld (%zu samples, groups of %lld volumes)\n",
                (long long)grid.dimX, (long long)grid.dimY, (long long)grid.dimZ,
                (long long)grid.timePoints, n, (long long)volumesPerGroup(grid));
    const double literal = median(entries.front().nsPerSample);
    const double fill = median(entries.back().nsPerSample);
    for (const Entry& entry : entries) {
        const double ns = median(entry.nsPerSample);
        std::printf("  %-14s %7.2f ns/sample", entry.name.c_str(), ns);
        if (entry.drawsNoise && &entry != &entries.front())
            std::printf("   fast/literal %.3f   fast/fill %.2f", ns / literal, ns / fill);
        std::printf("\n");
    }
    std::printf("  fast results bit-identical to the literal pass: %s\n", identical ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    simtrove::host::useHostLookup(&kBenchLookup);
    if (!simtrove::host::bindHostFunctions()) {
        std::fprintf(stderr, "noise_pass_bench: binding the bench host failed\n");
        return 1;
    }
    std::printf("noise pass, median of %d runs; kernel: %s\n", repetitions,
                avx512KernelAvailable() ? "avx512 available" : "portable only");
    const VtcGrid grids[] = {
        {58, 40, 46, 250, 0, 0, 0, 1},
        {58, 40, 46, 1000, 0, 0, 0, 1},
        {85, 85, 85, 250, 0, 0, 0, 1},
    };
    for (const VtcGrid& grid : grids) benchGrid(grid, repetitions);
    return 0;
}
