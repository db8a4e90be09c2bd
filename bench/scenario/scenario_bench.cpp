// Scenario engine timings, as ratios within one run: white Philox noise
// against the plug-in's fast noise pass per sample (one thread, best kernel),
// every component together against white noise, and 2 threads against 1.
// A timed program, not a test: scenario_bench [repetitions] [--small].
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "host/host_functions.h"
#include "host/host_lookup.h"
#include "noise/normal_transform.h"
#include "scenario/generator.h"
#include "simulation/fast_noise_pass.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace simtrove;

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
host::RawHostFunction findBenchFunction(void*, const char* name) {
    if (std::strcmp(name, "tvGetVersionOfTavimo") == 0)
        return reinterpret_cast<host::RawHostFunction>(benchVersion);
    if (std::strcmp(name, "tvLogText") == 0)
        return reinterpret_cast<host::RawHostFunction>(benchLogText);
    return nullptr;
}
const host::HostLookup kBenchLookup{findBenchModule, findBenchFunction};

double medianSeconds(int repetitions, const std::function<void()>& work) {
    std::vector<double> times;
    for (int r = 0; r < repetitions; ++r) {
        const Clock::time_point start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

scenario::Scenario whiteScenario(std::array<std::int64_t, 3> shape, std::int64_t T) {
    scenario::Scenario s;
    s.grid.shape = shape;
    s.timePoints = T;
    s.design.protocol = formats::builtinBlockProtocol(int(T));
    return s;  // white Gaussian system noise of sd 5, philox
}

scenario::Scenario allComponents(scenario::Scenario s) {
    s.noise.temporal = scenario::TemporalNoise{3.0, {0.4, 0.2}};
    s.noise.drift = scenario::DriftNoise{2.0, 128.0};
    s.noise.physiological = scenario::PhysiologicalNoise{};
    s.noise.physiological->sd = 1.0;
    s.noise.spatial = scenario::SpatialNoise{2.0, {6.0, 6.0, 6.0}};
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool small = argc > 2 && std::strcmp(argv[2], "--small") == 0;
    host::useHostLookup(&kBenchLookup);
    if (!host::bindHostFunctions()) {
        std::fprintf(stderr, "scenario_bench: binding the bench host failed\n");
        return 1;
    }
    const std::array<std::int64_t, 3> shape =
        small ? std::array<std::int64_t, 3>{20, 20, 20} : std::array<std::int64_t, 3>{58, 40, 46};
    const std::int64_t T = small ? 50 : 250;
    const double samples = double(shape[0] * shape[1] * shape[2] * T);
    std::printf("grid %lld x %lld x %lld x %lld, median of %d\n", (long long)shape[0],
                (long long)shape[1], (long long)shape[2], (long long)T, repetitions);

    const simulation::VtcGrid grid{shape[0], shape[1], shape[2], T, 0, 0, 0, 1};
    std::vector<float> vtc(grid.sampleCount());
    const simulation::NoiseKernel kernel = simulation::fastestNoiseKernel();
    const double plugin = medianSeconds(repetitions, [&] {
        int seed = -1;
        simulation::runFastNoisePass(vtc.data(), grid, &seed, kernel,
                                     simulation::volumesPerGroup(grid));
    });

    const std::int64_t voxels = shape[0] * shape[1] * shape[2];
    std::vector<float> tile(std::size_t(T) * noise::kTileLanes);
    const double transform = medianSeconds(repetitions, [&] {
        for (std::int64_t v = 0; v < voxels; v += std::int64_t(noise::kTileLanes))
            noise::standardNormalTile({1, noise::Component::System, std::uint64_t(v)}, tile.data(),
                                      std::size_t(T));
    });

    // Runs into the memory of an earlier run, as the plug-in's pass fills the
    // VTC it was given (and as the runs of a study follow each other); one
    // fresh run besides, whose new pages the system must fault in and clear.
    const scenario::Scenario white = whiteScenario(shape, T);
    const scenario::Scenario all = allComponents(white);
    scenario::SimulatedRun run = scenario::generate(white, {1, false});
    auto timed = [&](const scenario::Scenario& s, int threads) {
        return medianSeconds(repetitions, [&] { scenario::generate(s, {threads, false}, run); });
    };
    const double white1 = timed(white, 1), white2 = timed(white, 2);
    const double all1 = timed(all, 1), all2 = timed(all, 2);
    const double fresh = medianSeconds(repetitions, [&] { scenario::generate(white, {1, false}); });

    auto ns = [&](double seconds) { return seconds / samples * 1e9; };
    std::printf("plug-in fast noise pass (%s)   %7.2f ns/sample\n",
                simulation::noiseKernelName(kernel), ns(plugin));
    std::printf("philox normals alone            %7.2f ns/sample  (%.2f x plug-in)\n",
                ns(transform), transform / plugin);
    std::printf("white philox run, 1 thread      %7.2f ns/sample  (%.2f x plug-in)\n", ns(white1),
                white1 / plugin);
    std::printf("  the same into fresh memory    %7.2f ns/sample  (%.2f x plug-in)\n", ns(fresh),
                fresh / plugin);
    std::printf("all components, 1 thread        %7.2f ns/sample  (%.2f x white)\n", ns(all1),
                all1 / white1);
    std::printf("white, 2 threads                %7.2f ns/sample  (%.2f x faster than 1)\n",
                ns(white2), white1 / white2);
    std::printf("all components, 2 threads       %7.2f ns/sample  (%.2f x faster than 1)\n",
                ns(all2), all1 / all2);
    return 0;
}
