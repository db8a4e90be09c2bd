// Time of the report's analysis on the default VTC: 58 x 40 x 46 voxels of 250
// volumes, two block predictors plus the constant.
//
//   ReadSamples        one pass summing every sample: the memory-bound floor
//   FitVolume          the whole GLM fit, one decomposition for all voxels
//   Summarise          p of every t with t_prob, peaks, counts, tSNR
//   FitPerVoxelSvd     baseline: a fresh decomposition per voxel with the
//                      library's svd_least_squares_fit (on 2000 voxels; compare
//                      the per-voxel rate, items/s, with FitVolume)
//   FitVolumeAr1       AR(1): rho of every voxel from the OLS residuals, then
//                      the prewhitened fit (compare with FitVolume)
//   Analyse / Render   the two phases of a report with a contrast and a truth
//                      map: analyseReport(), then renderReport() writing every
//                      map, figure and the page into a scratch folder
//   CommandAgainstSimulation/0 and /1
//                      the main job with tavimo-standin (baseline), then
//                      `tavimo-standin report` on its output with a contrast
//                      and the truth map beside it (the cluster sphere), by
//                      ordinary least squares (/0) or with --noise-model ar1
//                      --high-pass 128 (/1); the time is the report's, the
//                      counter report/simulation the ratio of the two in the
//                      same run
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/glm.h"
#include "analysis/prewhitening.h"
#include "analysis/report_command.h"
#include "analysis/summary.h"
#include "formats/nifti.h"
#include "numerics/arrays/arrays.h"
#include "numerics/fit/svd_fit.h"

namespace {

using namespace simtrove::analysis;
using simtrove::formats::VolumeGrid;

constexpr int kVolumes = 250;
const VolumeGrid kGrid{{58, 40, 46}, {41, 68, 59}, 3};

struct Data {
    std::vector<float> predictors;
    std::vector<float> samples;
    Data() : predictors(2 * kVolumes), samples(kGrid.voxels() * kVolumes) {
        for (int t = 0; t < kVolumes; ++t) {
            predictors[std::size_t(t)] = (t / 10) % 2 ? 1.0f : 0.0f;
            predictors[std::size_t(kVolumes + t)] = (t / 15) % 3 == 1 ? 1.0f : 0.0f;
        }
        std::mt19937 rng(7);
        std::normal_distribution<float> noise(100.0f, 5.0f);
        for (float& s : samples) s = noise(rng);
    }
};

const Data& data() {
    static const Data d;
    return d;
}

GlmModel model() {
    std::string error;
    return *GlmModel::create(data().predictors, 2, kVolumes, &error);
}

void ReadSamples(benchmark::State& state) {
    const std::vector<float>& s = data().samples;
    for (auto _ : state) {
        double sum = 0.0;
        for (const float v : s) sum += v;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kGrid.voxels()));
}

void FitVolume(benchmark::State& state) {
    for (auto _ : state) {
        const GlmMaps maps = fitVoxels(model(), data().samples);
        benchmark::DoNotOptimize(maps.t.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kGrid.voxels()));
}

void Summarise(benchmark::State& state) {
    const GlmMaps maps = fitVoxels(model(), data().samples);
    for (auto _ : state) {
        const ReportSummary s = summarise(maps, kGrid, kVolumes, {"A", "B"});
        benchmark::DoNotOptimize(s.tsnr);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kGrid.voxels()));
}

void FitVolumeAr1(benchmark::State& state) {
    const GlmModel m = model();
    for (auto _ : state) {
        const std::vector<float> rho =
            estimateAutocorrelation(m, data().samples, autocorrelationBias(m));
        auto maps = fitVoxelsAr1(m, data().samples, rho, {}, -1);
        benchmark::DoNotOptimize(maps.value().t.data());
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(kGrid.voxels()));
}

ReportInput benchInput() {
    ReportInput in;
    in.dataLabel = "bench.vtc";
    in.designLabel = "bench.rtc";
    in.grid = kGrid;
    in.volumes = kVolumes;
    in.samples = data().samples;
    in.design.names = {"A", "B"};
    in.design.volumes = kVolumes;
    in.design.values = data().predictors;
    in.contrasts = {"AvB: A - B"};
    in.truth.assign(kGrid.voxels(), 0);
    in.truth[kGrid.index(29, 20, 23)] = 1;
    in.date = "bench";
    return in;
}

void Analyse(benchmark::State& state) {
    const ReportInput in = benchInput();
    for (auto _ : state) {
        auto r = analyseReport(in);
        benchmark::DoNotOptimize(r.value().statistics.data());
    }
}

void Render(benchmark::State& state) {
    namespace fs = std::filesystem;
    const auto results = analyseReport(benchInput());
    const fs::path dir = fs::temp_directory_path() / "simtrove_render_bench";
    for (auto _ : state) {
        const std::string error = renderReport(results.value(), dir.string(), nullptr);
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
    fs::remove_all(dir);
}

// The basis callback sees only x (the volume number); the design is global here.
void designBasis(float x, float p[], int np) {
    const int t = int(x);
    for (int j = 1; j < np; ++j) p[j] = data().predictors[std::size_t((j - 1) * kVolumes + t)];
    p[np] = 1.0f;
}

void FitPerVoxelSvd(benchmark::State& state) {
    constexpr int kVoxels = 2000, k = 3;
    float* x = vector(1, kVolumes);
    float* sigma = vector(1, kVolumes);
    float* a = vector(1, k);
    float* w = vector(1, k);
    float** u = matrix(1, kVolumes, 1, k);
    float** v = matrix(1, k, 1, k);
    for (int t = 1; t <= kVolumes; ++t) x[t] = float(t - 1), sigma[t] = 1.0f;
    for (auto _ : state) {
        for (int voxel = 0; voxel < kVoxels; ++voxel) {
            float chi2 = 0.0f;
            float* y =
                const_cast<float*>(data().samples.data()) + std::size_t(voxel) * kVolumes - 1;
            svd_least_squares_fit(x, y, sigma, kVolumes, a, k, u, v, w, &chi2, designBasis);
            benchmark::DoNotOptimize(a[1]);
        }
    }
    state.SetItemsProcessed(state.iterations() * kVoxels);
    release_matrix(v, 1, k, 1, k);
    release_matrix(u, 1, kVolumes, 1, k);
    release_vector(w, 1, k);
    release_vector(a, 1, k);
    release_vector(sigma, 1, kVolumes);
    release_vector(x, 1, kVolumes);
}

double secondsOf(const std::string& command) {
    const auto start = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void CommandAgainstSimulation(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "simtrove_report_bench";
    const std::string program = STANDIN_PROGRAM;
    double simulation = 0.0, report = 0.0;
    for (auto _ : state) {
        fs::remove_all(dir);
        const double s = secondsOf(program + " --out " + dir.string() + " > /dev/null 2>&1");
        simtrove::formats::VtcGeometry g;
        g.xStart = 41, g.xEnd = 41 + 58 * 3, g.yStart = 68, g.yEnd = 68 + 40 * 3;
        g.zStart = 59, g.zEnd = 59 + 46 * 3, g.resolution = 3, g.timePoints = 1;
        std::vector<float> truth(kGrid.voxels(), 0.0f);
        for (std::size_t v = 0; v < truth.size(); ++v) {
            const std::array<int, 3> p = kGrid.position(v);
            const int d =
                (p[0] - 29) * (p[0] - 29) + (p[1] - 20) * (p[1] - 20) + (p[2] - 23) * (p[2] - 23);
            if (d <= 4) truth[v] = 2.0f;
        }
        const std::string written =
            simtrove::formats::writeNiftiFile((dir / "Simulated_truth.nii.gz").string(), g, truth);
        const std::string model = state.range(0) ? " --noise-model ar1 --high-pass 128" : "";
        const double r =
            secondsOf(program + " report " + (dir / "Simulated.vtc").string() + " --design " +
                      (dir / "plugin_created.rtc").string() + " --contrast 'TvR: Task - Rest'" +
                      model + " --out " + (dir / "report").string() + " > /dev/null 2>&1");
        if (s < 0.0 || r < 0.0 || !written.empty()) {
            state.SkipWithError("a tavimo-standin run failed");
            break;
        }
        simulation += s;
        report += r;
        state.SetIterationTime(r);
    }
    if (simulation > 0.0) state.counters["report/simulation"] = report / simulation;
    fs::remove_all(dir);
}

BENCHMARK(ReadSamples)->Unit(benchmark::kMillisecond);
BENCHMARK(FitVolume)->Unit(benchmark::kMillisecond);
BENCHMARK(Summarise)->Unit(benchmark::kMillisecond);
BENCHMARK(FitVolumeAr1)->Unit(benchmark::kMillisecond);
BENCHMARK(Analyse)->Unit(benchmark::kMillisecond);
BENCHMARK(Render)->Unit(benchmark::kMillisecond);
BENCHMARK(FitPerVoxelSvd)->Unit(benchmark::kMillisecond);
BENCHMARK(CommandAgainstSimulation)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
