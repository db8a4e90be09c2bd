// Timings of the radix-2 transforms in ns per N log2 N, N being the number of complex points
// (complex transforms) or real values (real transform). Where single-precision FFTW is
// available, the same sizes run through it (estimate-mode plans, in place) in the same process
// and a closing table prints ours / FFTW.
//
// Every iteration first restores the input from a pristine copy (repeated transforms without
// normalisation would overflow); the copy is inside both timings, and copy/N rows show its
// share.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "numerics/fft/fft.h"

#ifdef SIMTROVE_BENCH_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr char kCounter[] = "per_NlogN";

std::vector<float> randomFloats(std::size_t count) {
    std::mt19937 gen(12345);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> v(count);
    for (auto& x : v) x = u(gen);
    return v;
}

void reportPerNLogN(benchmark::State& state, double n) {
    // Inverted rate of N log2 N per iteration: seconds per N log2 N (CPU time, which the
    // shared machine disturbs less than wall time).
    state.counters[kCounter] =
        benchmark::Counter(n * std::log2(n), benchmark::Counter::kIsIterationInvariantRate |
                                                 benchmark::Counter::kInvert);
}

// Runs `transform` on a one-based copy of `floats` random floats per iteration.
template <typename Transform>
void timeOnFreshCopies(benchmark::State& state, float* work, std::size_t floats, double n,
                       Transform transform) {
    const auto pristine = randomFloats(floats);
    for (auto _ : state) {
        std::memcpy(work, pristine.data(), floats * sizeof(float));
        transform();
        benchmark::ClobberMemory();
    }
    reportPerNLogN(state, n);
}

void BM_copy(benchmark::State& state) {
    const auto n = std::size_t(state.range(0));
    std::vector<float> data(2 * n + 1);
    timeOnFreshCopies(state, data.data() + 1, 2 * n, double(n), [] {});
}

void BM_complex_fft(benchmark::State& state) {
    const auto n = std::uint32_t(state.range(0));
    std::vector<float> data(2 * std::size_t(n) + 1);
    timeOnFreshCopies(state, data.data() + 1, 2 * std::size_t(n), n,
                      [&] { complex_fft(data.data(), n, +1); });
}

void BM_real_fft(benchmark::State& state) {
    const auto n = std::uint32_t(state.range(0));
    std::vector<float> data(std::size_t(n) + 1);
    timeOnFreshCopies(state, data.data() + 1, n, n, [&] { real_fft(data.data(), n, +1); });
}

constexpr std::uint32_t kEdge = 64;  // volume edge of the 3-D case

void BM_complex_fft_nd(benchmark::State& state) {
    const std::size_t points = std::size_t(kEdge) * kEdge * kEdge;
    const std::uint32_t dims[4] = {0, kEdge, kEdge, kEdge};
    std::vector<float> data(2 * points + 1);
    timeOnFreshCopies(state, data.data() + 1, 2 * points, double(points),
                      [&] { complex_fft_nd(data.data(), dims, 3, +1); });
}

#ifdef SIMTROVE_BENCH_FFTW
// FFTW_BACKWARD is the positive exponent, the direction of sign +1 above.
void BM_fftw_complex(benchmark::State& state) {
    const int n = int(state.range(0));
    auto* data = fftwf_alloc_complex(std::size_t(n));
    fftwf_plan plan = fftwf_plan_dft_1d(n, data, data, FFTW_BACKWARD, FFTW_ESTIMATE);
    timeOnFreshCopies(state, reinterpret_cast<float*>(data), 2 * std::size_t(n), n,
                      [&] { fftwf_execute(plan); });
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}

void BM_fftw_real(benchmark::State& state) {
    const int n = int(state.range(0));
    // In-place real-to-complex needs room for n/2 + 1 complex outputs.
    auto* data = fftwf_alloc_real(2 * (std::size_t(n) / 2 + 1));
    fftwf_plan plan =
        fftwf_plan_dft_r2c_1d(n, data, reinterpret_cast<fftwf_complex*>(data), FFTW_ESTIMATE);
    timeOnFreshCopies(state, data, std::size_t(n), n, [&] { fftwf_execute(plan); });
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}

void BM_fftw_3d(benchmark::State& state) {
    const std::size_t points = std::size_t(kEdge) * kEdge * kEdge;
    auto* data = fftwf_alloc_complex(points);
    fftwf_plan plan =
        fftwf_plan_dft_3d(kEdge, kEdge, kEdge, data, data, FFTW_BACKWARD, FFTW_ESTIMATE);
    timeOnFreshCopies(state, reinterpret_cast<float*>(data), 2 * points, double(points),
                      [&] { fftwf_execute(plan); });
    fftwf_destroy_plan(plan);
    fftwf_free(data);
}
#endif

void registerAll() {
    auto sizes = [](benchmark::internal::Benchmark* b) {
        b->RangeMultiplier(2)->Range(1 << 10, 1 << 20)->Unit(benchmark::kMicrosecond);
    };
    sizes(benchmark::RegisterBenchmark("copy", BM_copy));
    sizes(benchmark::RegisterBenchmark("complex_fft", BM_complex_fft));
    sizes(benchmark::RegisterBenchmark("real_fft", BM_real_fft));
    benchmark::RegisterBenchmark("complex_fft_nd/64x64x64", BM_complex_fft_nd)
        ->Unit(benchmark::kMicrosecond);
#ifdef SIMTROVE_BENCH_FFTW
    sizes(benchmark::RegisterBenchmark("fftw_complex", BM_fftw_complex));
    sizes(benchmark::RegisterBenchmark("fftw_real", BM_fftw_real));
    benchmark::RegisterBenchmark("fftw_3d/64x64x64", BM_fftw_3d)->Unit(benchmark::kMicrosecond);
#endif
}

// Console output as usual, plus the ns per N log2 N figure of every run for the closing table.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            const auto it = run.counters.find(kCounter);
            if (it != run.counters.end()) figures[run.benchmark_name()] = it->second.value * 1e9;
        }
    }
    std::map<std::string, double> figures;
};

void printRow(const RecordingReporter& r, const std::string& label, const std::string& ours,
              const std::string& theirs) {
    const auto a = r.figures.find(ours);
    if (a == r.figures.end()) return;
    const auto b = r.figures.find(theirs);
    if (b == r.figures.end()) {
        std::printf("%-28s %10.3f\n", label.c_str(), a->second);
    } else {
        std::printf("%-28s %10.3f %10.3f %8.2f\n", label.c_str(), a->second, b->second,
                    a->second / b->second);
    }
}

void printSummary(const RecordingReporter& r) {
    std::printf("\n%-28s %10s %10s %8s\n", "ns per N log2 N", "ours", "FFTW", "ratio");
    for (const char* kind : {"complex", "real"}) {
        for (int n = 1 << 10; n <= 1 << 20; n <<= 1) {
            const std::string size = std::to_string(n);
            printRow(r, std::string(kind) + "_fft N=" + size, std::string(kind) + "_fft/" + size,
                     "fftw_" + std::string(kind) + "/" + size);
        }
    }
    printRow(r, "complex_fft_nd 64x64x64", "complex_fft_nd/64x64x64", "fftw_3d/64x64x64");
    std::printf("(copy of 2N floats per iteration, included above:)\n");
    for (int n = 1 << 10; n <= 1 << 20; n <<= 2) {
        printRow(r, "copy N=" + std::to_string(n), "copy/" + std::to_string(n), "");
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    registerAll();
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    printSummary(reporter);
    return 0;
}
