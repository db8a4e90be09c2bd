#include "scenario/generator.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The 64-byte vector values below pass only between inlined helpers, so the
// note that their passing differs between instruction sets does not apply.
#if defined(__GNUC__)  // GCC and clang
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "noise/ar_noise.h"
#include "noise/drift_noise.h"
#include "noise/normal_transform.h"
#include "noise/physiological_noise.h"
#include "noise/spatial_noise.h"
#include "noise/system_noise.h"
#include "noise/vector_clones.h"
#include "simulation/bulk_normals.h"
#include "simulation/hrf.h"
#include "simulation/signal_geometry.h"
#include "simulation/synthesis.h"

namespace simtrove::scenario {
namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int threadCount(int requested) {
    if (requested > 0) return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? int(cores) : 1;
}

// body(begin, end, worker) over [0, count) in chunks taken in turn by
// `threads` workers. Which worker computes a chunk never changes its result:
// every value depends only on its index. The first exception is rethrown.
// Progress of one phase: the share from .. from + span of the whole run.
struct PhaseProgress {
    const std::function<void(double)>* report = nullptr;
    double from = 0.0, span = 1.0;
};

template <typename Body>
void parallelFor(std::int64_t count, std::int64_t chunk, int threads, Body&& body,
                 PhaseProgress progress = {}) {
    std::atomic<std::int64_t> next{0}, done{0};
    std::exception_ptr failure;
    std::mutex failureLock;
    auto work = [&](int worker) {
        try {
            for (;;) {
                const std::int64_t begin = next.fetch_add(chunk);
                if (begin >= count) return;
                body(begin, std::min(count, begin + chunk), worker);
                const std::int64_t finished = done += std::min(count, begin + chunk) - begin;
                // Worker 0 alone reports, so the callback never runs concurrently.
                if (worker == 0 && progress.report && *progress.report)
                    (*progress.report)(progress.from +
                                       progress.span * double(finished) / double(count));
            }
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure) failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::thread> pool;
    // Work is taken in turn, so fewer threads than asked (none to spare, or
    // fewer chunks than threads) only take longer.
    const std::int64_t useful = std::min<std::int64_t>(threads, (count + chunk - 1) / chunk);
    for (std::int64_t w = 1; w < useful; ++w) {
        try {
            pool.emplace_back(work, int(w));
        } catch (const std::system_error&) {
            break;
        }
    }
    work(0);
    for (std::thread& t : pool) t.join();
    if (failure) std::rethrow_exception(failure);
}

// Heights in the volumes of each interval (1-based, both ends inclusive,
// clipped to the run), 0 elsewhere, as the host fills a predictor.
std::vector<float> boxcar(std::size_t T, const formats::Condition& condition,
                          const std::vector<float>& heights) {
    std::vector<float> values(T, 0.0f);
    for (std::size_t i = 0; i < condition.intervals.size(); ++i) {
        const formats::Interval& interval = condition.intervals[i];
        const std::size_t first = std::size_t(std::max(interval.first, 1)) - 1;
        const std::size_t end = std::min(std::size_t(std::max(interval.last, 0)), T);
        for (std::size_t t = first; t < end; ++t) values[t] = heights[i];
    }
    return values;
}

std::vector<formats::Predictor> buildDesign(const Scenario& s, const std::vector<double>& hrf) {
    std::vector<formats::Predictor> design;
    for (const formats::Condition& condition : s.design.protocol.conditions) {
        std::vector<float> values = boxcar(std::size_t(s.timePoints), condition,
                                           std::vector<float>(condition.intervals.size(), 1.0f));
        simulation::convolve(values, hrf);
        design.push_back({condition.name, std::move(values)});
    }
    return design;
}

// The region's predictor: its condition's, or with trial variability each
// event's boxcar scaled by 1 + cv * normal before the convolution.
std::vector<float> regionPredictor(const Scenario& s, std::size_t r,
                                   const std::vector<formats::Predictor>& design,
                                   const std::vector<double>& hrf) {
    const Region& region = s.regions[r];
    if (region.trialVariability == 0.0) return design[std::size_t(region.conditionIndex)].values;
    const formats::Condition& condition =
        s.design.protocol.conditions[std::size_t(region.conditionIndex)];
    std::vector<double> normals(condition.intervals.size());
    noise::standardNormals({s.seed, noise::Component::TrialAmplitude, r}, 0, normals.data(),
                           normals.size());
    std::vector<float> heights(normals.size());
    for (std::size_t e = 0; e < normals.size(); ++e)
        heights[e] = float(1.0 + region.trialVariability * normals[e]);
    std::vector<float> values = boxcar(std::size_t(s.timePoints), condition, heights);
    simulation::convolve(values, hrf);
    return values;
}

struct Layout {
    std::int64_t V = 0, T = 0;
    std::vector<std::int32_t> regionOf;  // per voxel, -1: none
    std::vector<std::int16_t> labels;
};

Layout placeRegions(const Scenario& s) {
    Layout layout;
    layout.V = s.grid.voxels();
    layout.T = s.timePoints;
    layout.regionOf.assign(std::size_t(layout.V), -1);
    layout.labels.assign(std::size_t(layout.V), 0);
    for (std::size_t r = 0; r < s.regions.size(); ++r)
        for (const auto& p : s.regions[r].voxels) {
            const std::int64_t v = s.grid.index(p[0], p[1], p[2]);
            if (!s.inside(v)) continue;
            layout.regionOf[std::size_t(v)] = std::int32_t(r);
            layout.labels[std::size_t(v)] = std::int16_t(s.regions[r].conditionIndex + 1);
        }
    return layout;
}

// Least-squares slope of y on x with a constant.
double slope(const std::vector<double>& y, const std::vector<float>& x) {
    const std::size_t n = y.size();
    double mx = 0, my = 0;
    for (std::size_t t = 0; t < n; ++t) mx += x[t], my += y[t];
    mx /= double(n), my /= double(n);
    double sxy = 0, sxx = 0;
    for (std::size_t t = 0; t < n; ++t) {
        sxy += (double(x[t]) - mx) * (y[t] - my);
        sxx += (double(x[t]) - mx) * (double(x[t]) - mx);
    }
    return sxx > 0 ? sxy / sxx : 0.0;
}

// The sd over time from the sum and the sum of squares of T values (one
// pass; the values are noise of mean near 0, so nothing cancels).
double sdOfSums(double sum, double squares, std::size_t T) {
    if (T < 2) return 0.0;
    const double variance = (squares - sum * sum / double(T)) / double(T - 1);
    return variance > 0 ? std::sqrt(variance) : 0.0;
}

// Adds the time since `start` to `total` when timing is on.
class Stopwatch {
  public:
    explicit Stopwatch(bool on) : on_(on) {}
    void start() {
        if (on_) start_ = Clock::now();
    }
    void addTo(double& total) const {
        if (on_) total += secondsSince(start_);
    }

  private:
    bool on_;
    Clock::time_point start_{};
};

// Per volume: sums for the spatial field's variance and neighbour differences.
struct FieldSums {
    double sum = 0, squares = 0;
    std::int64_t count = 0;
    std::array<double, 3> differences{};
    std::array<std::int64_t, 3> pairs{};
};

enum NoiseIndex { kSystem, kTemporal, kDrift, kPhysiological, kSpatial, kNoiseKinds };
constexpr const char* kNoiseNames[kNoiseKinds] = {"system", "temporal", "drift", "physiological",
                                                  "spatial"};

// Sums of one voxel block (reduced in block order, so deterministic).
struct BlockSums {
    bool filled = false;
    std::int64_t voxels = 0;
    std::array<double, kNoiseKinds> componentSd{};  // per noise component
    std::vector<double> autocorrelation;            // lags 1 .. p (empty without AR)
    double noiseSd = 0;
    // Per noise component (its draws and its own work), then the signal, then the
    // pass that evaluates and adds the terms volume by volume.
    std::array<double, kNoiseKinds + 2> seconds{};
};

struct Plan {
    const Scenario& s;
    Layout layout;
    std::vector<formats::Predictor> design;
    std::vector<std::vector<double>> regionAmplitude;  // per region, per volume (signal units)
    std::array<bool, kNoiseKinds> present{};
    bool rician = false;
    std::optional<noise::ArNoise> ar;
    std::optional<noise::DriftNoise> drift;
    std::optional<noise::PhysiologicalNoise> physiological;
    std::optional<noise::SpatialNoise> spatial;
};

constexpr std::int64_t kVoxelBlock = 16;
static_assert(kVoxelBlock == std::int64_t(noise::ArNoise::kVoxelLanes));

json fieldFwhm(const std::vector<FieldSums>& volumes, const Scenario& s) {
    FieldSums all;
    for (const FieldSums& f : volumes) {
        all.sum += f.sum, all.squares += f.squares, all.count += f.count;
        for (std::size_t a = 0; a < 3; ++a)
            all.differences[a] += f.differences[a], all.pairs[a] += f.pairs[a];
    }
    const double mean = all.count ? all.sum / double(all.count) : 0.0;
    const double variance = all.count ? all.squares / double(all.count) - mean * mean : 0.0;
    json fwhm = json::array();
    for (std::size_t a = 0; a < 3; ++a) {
        // Gaussian smoothness: rho(1) = 1 - E[diff^2] / (2 var), FWHM = d sqrt(-2 ln 2 / ln rho).
        const double rho = all.pairs[a] && variance > 0
                               ? 1.0 - all.differences[a] / double(all.pairs[a]) / (2.0 * variance)
                               : 0.0;
        if (rho > 0 && rho < 1)
            fwhm.push_back(s.grid.voxelMm[a] * std::sqrt(-2.0 * std::log(2.0) / std::log(rho)));
        else
            fwhm.push_back(nullptr);
    }
    return fwhm;
}

// A tile: the kVoxelBlock voxels of one block side by side, voxel j's value
// at t in [t * kVoxelBlock + j], so that every step runs over the voxels in
// the vector units and every volume receives the block's voxels as one run.
constexpr std::size_t kTileWidth = std::size_t(kVoxelBlock);

// Blocks per chunk of work: the chunk's data tiles stay within about 1 MiB
// (the second-level cache), at most 32 blocks (512 voxels).
std::int64_t blocksPerChunk(std::size_t T) {
    const std::size_t tileBytes = T * kTileWidth * sizeof(float);
    return std::int64_t(std::clamp<std::size_t>((std::size_t(1) << 20) / tileBytes, 1, 32));
}

// A run of n floats to memory that is not read again soon: past the cache
// (streaming stores, no read of the lines first) where the processor has them.
void streamOut(const float* from, float* to, std::size_t n) {
#if defined(__SSE2__)
    std::size_t head = (16 - std::uintptr_t(to) % 16) % 16 / sizeof(float);
    if (std::uintptr_t(to) % sizeof(float) != 0 || head > n) head = n;
    std::copy(from, from + head, to);
    std::size_t i = head;
    for (; i + 4 <= n; i += 4) _mm_stream_ps(to + i, _mm_loadu_ps(from + i));
    std::copy(from + i, from + n, to + i);
#else
    std::copy(from, from + n, to);
#endif
}

// The chunk's data, kept volume after volume (row t of `stride` floats holds
// the chunk's voxels in volume t), into the data: each volume receives the
// chunk's voxels as one run of memory, with `streamed` past the cache (see
// streamOut).
void storeChunk(const float* rows, std::size_t stride, std::size_t voxels, std::size_t T,
                std::size_t v0, std::size_t V, float* data, bool streamed) {
    for (std::size_t t = 0; t < T; ++t) {
        const float* from = rows + t * stride;
        float* to = data + t * V + v0;
        if (streamed)
            streamOut(from, to, voxels);
        else
            std::copy(from, from + voxels, to);
    }
#if defined(__SSE2__)
    if (streamed) _mm_sfence();  // the streamed lines in order before the threads meet
#endif
}

// Where the tiles go: the data, and with GenerateOptions::components the
// signal and each noise component (null when not kept); the spatial field
// (read, already in place).
struct TileOutputs {
    float* data;
    float* signal;
    std::array<ComponentArray*, kNoiseKinds> noise;
    const float* field;
};

// Eight lanes of a tile in one value, which the compiler keeps in vector
// registers (two per tile row): sums carried from volume to volume stay in
// registers instead of going through memory at every step.
typedef double Doubles8 __attribute__((vector_size(64)));
typedef float Floats8 __attribute__((vector_size(32)));
constexpr std::size_t kHalf = 8;
static_assert(kTileWidth == 2 * kHalf);

SIMTROVE_INLINE_LANES Doubles8 doubles8(const double* p) {
    Doubles8 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
// Float lanes to double, written lane by lane: GCC 12 turns this into one
// conversion of the whole value, but __builtin_convertvector into two halves.
SIMTROVE_INLINE_LANES Doubles8 widen(Floats8 f) {
    return Doubles8{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]};
}
SIMTROVE_INLINE_LANES Doubles8 doubles8(const float* p) {
    Floats8 f;
    std::memcpy(&f, p, sizeof f);
    return widen(f);
}
SIMTROVE_INLINE_LANES void store8(double* p, Doubles8 v) {
    std::memcpy(p, &v, sizeof v);
}
SIMTROVE_INLINE_LANES void store8(float* p, Floats8 v) {
    std::memcpy(p, &v, sizeof v);
}

// Per lane: the sum of a tile's values and of their squares, in time order.
struct LaneMoments {
    Doubles8 sum[2] = {}, squares[2] = {};
    SIMTROVE_INLINE_LANES void add(int half, Doubles8 x) { sum[half] += x, squares[half] += x * x; }
    double sumOf(std::size_t j) const { return sum[j / kHalf][j % kHalf]; }
    double squaresOf(std::size_t j) const { return squares[j / kHalf][j % kHalf]; }
};

// Sample autocorrelations at lags 1 .. sums.size() of each inside lane,
// added to sums: sum_t (x_t - m)(x_t+k - m) / sum_t (x_t - m)^2, from the
// lanes' sums and sums of squares (m: the moments of the tile's values) and
// one pass per lag for the products x_t x_t+k (the values are noise of mean
// near 0, so expanding the products cancels nothing).
SIMTROVE_INLINE_LANES void addTileAutocorrelations(const float* tile, std::size_t T,
                                                   const LaneMoments& m, const bool inside[],
                                                   std::vector<double>& sums) {
    constexpr std::size_t L = kTileWidth;
    for (std::size_t k = 1; k <= sums.size() && k < T; ++k) {
        Doubles8 products[2] = {};
        for (std::size_t t = 0; t + k < T; ++t)
            for (int h = 0; h < 2; ++h) {
                const std::size_t at = t * L + std::size_t(h) * kHalf;
                products[h] += doubles8(tile + at) * doubles8(tile + at + k * L);
            }
        for (std::size_t j = 0; j < L; ++j) {
            if (!inside[j]) continue;
            double first = 0, last = 0;  // the k values that one side of the products lacks
            for (std::size_t t = 0; t < k; ++t)
                first += double(tile[t * L + j]), last += double(tile[(T - 1 - t) * L + j]);
            const double mean = m.sumOf(j) / double(T);
            const double denominator = m.squaresOf(j) - double(T) * mean * mean;
            const double numerator = products[j / kHalf][j % kHalf] -
                                     mean * ((m.sumOf(j) - last) + (m.sumOf(j) - first)) +
                                     double(T - k) * mean * mean;
            sums[k - 1] += denominator > 0 ? numerator / denominator : 0.0;
        }
    }
}

// Volume after volume, the first `count` lanes of the tile into the array
// at voxel v0 (the array's voxel count V apart).
SIMTROVE_INLINE_LANES void storeTile(const float* tile, std::size_t T, std::size_t count, float* to,
                                     std::size_t V) {
    for (std::size_t t = 0; t < T; ++t)
        std::copy(tile + t * kTileWidth, tile + t * kTileWidth + count, to + t * V);
}

// Lanes outside the mask to 0; volume t's lanes at tile + t * stride.
SIMTROVE_INLINE_LANES void zeroOutsideLanes(float* tile, std::size_t T, const bool inside[],
                                            std::size_t stride = kTileWidth) {
    for (std::size_t j = 0; j < kTileWidth; ++j)
        if (!inside[j])
            for (std::size_t t = 0; t < T; ++t) tile[t * stride + j] = 0.0f;
}

// The noise-free signal of the tile: the baseline, or baseline plus the
// region's amplitude; 0 outside the mask.
SIMTROVE_INLINE_LANES void signalTile(const Plan& plan, std::int64_t v0, const bool inside[],
                                      float* signal) {
    const Scenario& s = plan.s;
    const std::size_t T = std::size_t(plan.layout.T);
    const float baseline = float(s.baseline);
    const double* amplitude[kTileWidth] = {};
    bool anyRegion = false;
    for (std::size_t j = 0; j < kTileWidth; ++j) {
        if (!inside[j]) continue;
        const std::int32_t r = plan.layout.regionOf[std::size_t(v0) + j];
        if (r >= 0) amplitude[j] = plan.regionAmplitude[std::size_t(r)].data(), anyRegion = true;
    }
    if (!anyRegion) {
        std::fill(signal, signal + T * kTileWidth, baseline);
    } else {
        for (std::size_t t = 0; t < T; ++t)
            for (std::size_t j = 0; j < kTileWidth; ++j)
                signal[t * kTileWidth + j] =
                    amplitude[j] ? float(s.baseline + amplitude[j][t]) : baseline;
    }
    zeroOutsideLanes(signal, T, inside);
}

// The field's sums over in-mask voxels and over neighbour pairs with both in
// the mask, in one pass over the volume: each row of x with the next voxel
// along x, the row above (y) and the row in the next plane (z), eight voxels
// at a time. weights: 1 inside the mask, 0 outside (null: no mask); the
// counts depend on the mask alone (setFieldCounts).
struct RowSums {
    Doubles8 lanes[5] = {};  // sum, squares, differences along x, y, z
    double rest[5] = {};     // the voxels after the last group of eight
};

// up, next: the rows above and in the next plane, or null; w: the row's
// weights (the weights lie as the volume does).
template <bool masked>
SIMTROVE_INLINE_LANES void addRowSums(const float* row, const float* up, const float* next,
                                      const float* w, std::size_t X, RowSums& r) {
    const std::ptrdiff_t toUp = up ? up - row : 0, toNext = next ? next - row : 0;
    auto weight = [&](std::size_t x, std::ptrdiff_t to) {
        return masked ? double(w[x + to]) : 1.0;
    };
    auto weights8 = [&](std::size_t x, std::ptrdiff_t to) {
        return masked ? doubles8(w + x + to) : Doubles8{} + 1.0;
    };
    std::size_t x = 0;
    for (; x + kHalf <= X; x += kHalf) {
        const Doubles8 v = doubles8(row + x), m = weights8(x, 0);
        r.lanes[0] += m * v, r.lanes[1] += m * v * v;
        if (up) {
            const Doubles8 d = doubles8(up + x) - v;
            r.lanes[3] += m * weights8(x, toUp) * d * d;
        }
        if (next) {
            const Doubles8 d = doubles8(next + x) - v;
            r.lanes[4] += m * weights8(x, toNext) * d * d;
        }
    }
    for (; x < X; ++x) {
        const double v = row[x], m = weight(x, 0);
        r.rest[0] += m * v, r.rest[1] += m * v * v;
        if (up) r.rest[3] += m * weight(x, toUp) * (up[x] - v) * (up[x] - v);
        if (next) r.rest[4] += m * weight(x, toNext) * (next[x] - v) * (next[x] - v);
    }
    for (x = 0; x + kHalf + 1 <= X; x += kHalf) {
        const Doubles8 d = doubles8(row + x + 1) - doubles8(row + x);
        r.lanes[2] += weights8(x, 0) * weights8(x, 1) * d * d;
    }
    for (; x + 1 < X; ++x) {
        const double d = double(row[x + 1]) - double(row[x]);
        r.rest[2] += weight(x, 0) * weight(x, 1) * d * d;
    }
}

template <bool masked>
SIMTROVE_INLINE_LANES void addVolumeSums(const float* volume, const float* weights,
                                         std::array<std::int64_t, 3> shape, FieldSums& f) {
    const std::size_t X = std::size_t(shape[0]), Y = std::size_t(shape[1]),
                      Z = std::size_t(shape[2]), plane = X * Y;
    RowSums r;
    for (std::size_t z = 0; z < Z; ++z)
        for (std::size_t y = 0; y < Y; ++y) {
            const std::size_t at = z * plane + y * X;
            addRowSums<masked>(volume + at, y + 1 < Y ? volume + at + X : nullptr,
                               z + 1 < Z ? volume + at + plane : nullptr,
                               masked ? weights + at : nullptr, X, r);
        }
    double total[5];
    for (int k = 0; k < 5; ++k) {
        total[k] = r.rest[k];
        for (std::size_t j = 0; j < kHalf; ++j) total[k] += r.lanes[k][j];
    }
    f.sum += total[0], f.squares += total[1];
    for (std::size_t a = 0; a < 3; ++a) f.differences[a] += total[2 + a];
}

SIMTROVE_VECTOR_CLONES
void addFieldSums(const float* volume, const float* weights, std::array<std::int64_t, 3> shape,
                  FieldSums& f) {
    if (weights)
        addVolumeSums<true>(volume, weights, shape, f);
    else
        addVolumeSums<false>(volume, nullptr, shape, f);
}

// The voxels and neighbour pairs that count (the same in every volume).
void setFieldCounts(const Scenario& s, FieldSums& f) {
    const std::int64_t X = s.grid.shape[0], Y = s.grid.shape[1], Z = s.grid.shape[2];
    f.count = 0, f.pairs = {};
    for (std::int64_t z = 0; z < Z; ++z)
        for (std::int64_t y = 0; y < Y; ++y)
            for (std::int64_t x = 0; x < X; ++x) {
                const std::int64_t v = s.grid.index(x, y, z);
                if (!s.inside(v)) continue;
                ++f.count;
                f.pairs[0] += x + 1 < X && s.inside(v + 1);
                f.pairs[1] += y + 1 < Y && s.inside(v + X);
                f.pairs[2] += z + 1 < Z && s.inside(v + X * Y);
            }
}

struct TileScratch {
    std::vector<double> acc, history, rician, weights;  // acc, rician: Rician noise's
    std::vector<double> driftLanes;  // per half, each drift function's eight weights (aligned)
    std::vector<float> signal, normals, innovations, field, floats;
    std::array<std::vector<float>, kNoiseKinds> kept;  // each term's values as stored
    std::vector<float> data;  // a chunk's data, volume after volume (see storeChunk)
    void prepare(std::size_t T, std::size_t blocks) {
        const std::size_t n = T * kTileWidth;
        if (acc.size() == n) return;  // once per worker
        acc.resize(n), history.resize(n), rician.resize(n);
        signal.resize(n), normals.resize(n), innovations.resize(n), field.resize(n);
        for (std::vector<float>& k : kept) k.resize(n);
        data.resize(blocks * n);
    }
};

// One block's work: its voxels, its tiles (the signal, the sum for Rician
// noise), where they go, and what is realised.
struct TileWork {
    std::size_t T, V, v0, count;  // volumes, the grid's voxels, the block's first, its voxels
    bool inside[kTileWidth];
    double* acc;
    const float* signal;
    float* data;         // volume t's 16 values at data + t * stride
    std::size_t stride;  // the chunk's voxels (see storeChunk)
    const TileOutputs& out;
    BlockSums& bs;
    LaneMoments noise;  // of the data minus the signal
};

// What the block's noise terms are made of, prepared once per block; a term
// that is absent has a null source.
struct TermSources {
    const float* system = nullptr;  // standard normals, times systemSd
    double systemSd = 0.0;
    const float* temporal = nullptr;    // the autoregressive innovations (standard normals)
    double* history = nullptr;          // the autoregressive values, as they are made
    const Doubles8* drift[2] = {};      // per half: each function's weights
    Doubles8 physiological[2][4] = {};  // per half: the four weights
    const float* field = nullptr;       // the field's tile
    // Where each term's float values go besides (null: nowhere).
    std::array<float*, kNoiseKinds> keep{};
};

// The signal and every term, volume by volume in registers: each term rounded
// to float as it is stored, then added in double in the order of generator.h
// and counted in its moments; the sum rounded once to the data, or kept for
// Rician noise. Half a tile at a time, so that every sum carried from volume
// to volume has a register of its own.
SIMTROVE_INLINE_LANES void sumTerms(const Plan& plan, const TermSources& src, TileWork& w,
                                    std::array<LaneMoments, kNoiseKinds>& moments) {
    for (int h = 0; h < 2; ++h) {
        const std::size_t lane0 = std::size_t(h) * kHalf;
        Doubles8 sums[kNoiseKinds] = {}, squares[kNoiseKinds] = {};
        Doubles8 noiseSum = {}, noiseSquares = {};
        const Doubles8* drift = src.drift[h];
        const Doubles8* physiological = src.physiological[h];
        for (std::size_t t = 0; t < w.T; ++t) {
            const std::size_t i = t * kTileWidth + lane0;
            const Doubles8 signal = doubles8(w.signal + i);
            Doubles8 acc = signal;
            auto term = [&](int k, Doubles8 value) {
                const Floats8 stored = __builtin_convertvector(value, Floats8);
                const Doubles8 x = widen(stored);
                acc += x;
                sums[k] += x, squares[k] += x * x;
                if (src.keep[std::size_t(k)]) store8(src.keep[std::size_t(k)] + i, stored);
            };
            if (src.system) term(kSystem, doubles8(src.system + i) * src.systemSd);
            if (src.temporal) {
                const Doubles8 x =
                    plan.ar->valueAt(t, doubles8(src.temporal + i), [&](std::size_t k) {
                        return doubles8(src.history + (t - k) * kTileWidth + lane0);
                    });
                store8(src.history + i, x);
                term(kTemporal, x);
            }
            if (drift) term(kDrift, plan.drift->valueAt(t, drift));
            if (plan.physiological)
                term(kPhysiological, plan.physiological->valueAt(t, physiological));
            if (src.field) term(kSpatial, doubles8(src.field + i));
            if (plan.rician) {  // the sum S into acc; the data come later
                store8(w.acc + i, acc);
            } else {
                const Floats8 sample = __builtin_convertvector(acc, Floats8);
                store8(w.data + t * w.stride + lane0, sample);
                const Doubles8 noise = widen(sample) - signal;
                noiseSum += noise, noiseSquares += noise * noise;
            }
        }
        for (std::size_t k = 0; k < kNoiseKinds; ++k)
            moments[k].sum[h] = sums[k], moments[k].squares[h] = squares[k];
        w.noise.sum[h] = noiseSum, w.noise.squares[h] = noiseSquares;
    }
}

// Rician system noise on the sum S of the signal and the other terms: the
// data |S + a + i b|, the component the data minus S.
SIMTROVE_INLINE_LANES void finishRician(const Plan& plan, TileWork& w, TileScratch& scratch,
                                        float* component, LaneMoments& moments) {
    const std::size_t n = w.T * kTileWidth;
    double* before = scratch.rician.data();
    std::copy(w.acc, w.acc + n, before);
    noise::applyRicianNoiseTile(plan.s.seed, w.v0, plan.s.noise.system->sd, w.acc, scratch.floats,
                                w.T);
    for (std::size_t t = 0; t < w.T; ++t)
        for (int h = 0; h < 2; ++h) {
            const std::size_t i = t * kTileWidth + std::size_t(h) * kHalf;
            const Floats8 sample = __builtin_convertvector(doubles8(w.acc + i), Floats8);
            const Doubles8 value = widen(sample);
            const Floats8 stored = __builtin_convertvector(value - doubles8(before + i), Floats8);
            store8(component + i, stored);
            moments.add(h, widen(stored));
            store8(w.data + t * w.stride + std::size_t(h) * kHalf, sample);
            w.noise.add(h, value - doubles8(w.signal + i));
        }
}

// One block: every component as a tile, summed in double in the order of
// generator.h, with what was realised in its voxels; the data into `data`
// (volume t at data + t * dataStride).
SIMTROVE_VECTOR_CLONES
void generateTile(const Plan& plan, std::int64_t v0, bool timings, const TileOutputs& out,
                  TileScratch& scratch, float* data, std::size_t dataStride, BlockSums& bs) {
    const Scenario& s = plan.s;
    const std::size_t T = std::size_t(plan.layout.T), V = std::size_t(plan.layout.V);
    TileWork w{T,
               V,
               std::size_t(v0),
               std::min(kTileWidth, V - std::size_t(v0)),
               {},
               scratch.acc.data(),
               scratch.signal.data(),
               data,
               dataStride,
               out,
               bs,
               {}};
    std::size_t insideCount = 0;
    for (std::size_t j = 0; j < w.count; ++j)
        insideCount += w.inside[j] = s.inside(v0 + std::int64_t(j));
    const std::uint64_t first = std::uint64_t(v0);
    Stopwatch clock(timings);

    clock.start();
    signalTile(plan, v0, w.inside, scratch.signal.data());
    clock.addTo(bs.seconds[kNoiseKinds]);

    TermSources src;
    for (int k = 0; k < kNoiseKinds; ++k)
        if (out.noise[std::size_t(k)] && k != kSpatial)
            src.keep[std::size_t(k)] = scratch.kept[std::size_t(k)].data();
    if (plan.present[kSystem] && !plan.rician) {
        clock.start();
        noise::standardNormalTile({s.seed, noise::Component::System, first}, scratch.normals.data(),
                                  T);
        src.system = scratch.normals.data();
        src.systemSd = s.noise.system->sd;
        clock.addTo(bs.seconds[kSystem]);
    }
    if (plan.ar) {
        clock.start();
        noise::standardNormalTile({s.seed, noise::Component::Temporal, first},
                                  scratch.innovations.data(), T);
        src.temporal = scratch.innovations.data();
        src.history = scratch.history.data();
        src.keep[kTemporal] = scratch.kept[kTemporal].data();  // for its autocorrelations
        clock.addTo(bs.seconds[kTemporal]);
    }
    if (plan.drift && plan.drift->functions() > 0) {  // (no function: the drift is 0)
        clock.start();
        const std::size_t K = plan.drift->functions();
        scratch.weights.resize(K * kTileWidth);
        plan.drift->tileWeights(s.seed, first, scratch.weights.data(), scratch.floats);
        double* lanes = noise::alignedDoubles(scratch.driftLanes, 2 * K * kHalf, sizeof(Doubles8));
        for (std::size_t h = 0; h < 2; ++h)
            for (std::size_t k = 0; k < K; ++k)
                std::copy_n(scratch.weights.data() + k * kTileWidth + h * kHalf, kHalf,
                            lanes + (h * K + k) * kHalf);
        for (std::size_t h = 0; h < 2; ++h)
            src.drift[h] = reinterpret_cast<const Doubles8*>(lanes + h * K * kHalf);
        clock.addTo(bs.seconds[kDrift]);
    }
    if (plan.physiological) {
        clock.start();
        double weights[4 * kTileWidth];
        plan.physiological->tileWeights(s.seed, first, weights);
        for (std::size_t m = 0; m < 4; ++m)
            for (std::size_t h = 0; h < 2; ++h)
                src.physiological[h][m] = doubles8(weights + m * kTileWidth + h * kHalf);
        clock.addTo(bs.seconds[kPhysiological]);
    }
    if (plan.spatial) {
        // Volume by volume from the field in place, in a loop of its own, so
        // that the reads from far apart overlap.
        float* tile = scratch.field.data();
        // The next block's values on their way meanwhile: each volume's lie
        // a page or more apart, where the processor's own prefetching stops.
        if (w.v0 + 2 * kTileWidth <= V)
            for (std::size_t t = 0; t < T; ++t)
                __builtin_prefetch(out.field + t * V + w.v0 + kTileWidth);
        if (w.count == kTileWidth) {  // a copy of known length, which needs no call
            for (std::size_t t = 0; t < T; ++t)
                std::memcpy(tile + t * kTileWidth, out.field + t * V + w.v0,
                            sizeof(float) * kTileWidth);
        } else {  // the grid's last block, its lanes beyond the grid 0
            for (std::size_t t = 0; t < T; ++t) {
                const float* from = out.field + t * V + w.v0;
                std::copy(from, from + w.count, tile + t * kTileWidth);
                std::fill(tile + t * kTileWidth + w.count, tile + (t + 1) * kTileWidth, 0.0f);
            }
        }
        src.field = tile;
    }

    clock.start();
    std::array<LaneMoments, kNoiseKinds> moments;
    sumTerms(plan, src, w, moments);
    if (plan.rician) finishRician(plan, w, scratch, scratch.kept[kSystem].data(), moments[kSystem]);
    for (int k = 0; k < kNoiseKinds; ++k) {
        if (!plan.present[std::size_t(k)]) continue;
        const LaneMoments& m = moments[std::size_t(k)];
        for (std::size_t j = 0; j < kTileWidth; ++j)
            if (w.inside[j])
                bs.componentSd[std::size_t(k)] += sdOfSums(m.sumOf(j), m.squaresOf(j), T);
    }
    if (plan.ar)
        addTileAutocorrelations(scratch.kept[kTemporal].data(), T, moments[kTemporal], w.inside,
                                bs.autocorrelation);
    for (std::size_t j = 0; j < kTileWidth; ++j)
        if (w.inside[j]) bs.noiseSd += sdOfSums(w.noise.sumOf(j), w.noise.squaresOf(j), T);
    bs.voxels += std::int64_t(insideCount);

    zeroOutsideLanes(data, T, w.inside, dataStride);
    for (int k = 0; k < kNoiseKinds; ++k)
        if (out.noise[std::size_t(k)] && k != kSpatial) {
            float* kept = scratch.kept[std::size_t(k)].data();
            zeroOutsideLanes(kept, T, w.inside);
            storeTile(kept, T, w.count, out.noise[std::size_t(k)]->values.data() + w.v0, V);
        }
    if (out.signal) storeTile(w.signal, T, w.count, out.signal + v0, V);
    clock.addTo(bs.seconds[kNoiseKinds + 1]);
}

ComponentArray* findComponent(std::vector<ComponentArray>& list, const std::string& name) {
    for (ComponentArray& c : list)
        if (c.name == name) return &c;
    return nullptr;
}

void generatePhilox(const Plan& plan, const GenerateOptions& options, SimulatedRun& run) {
    const Scenario& s = plan.s;
    const std::int64_t V = plan.layout.V, T = plan.layout.T;
    const std::size_t samples = std::size_t(V) * std::size_t(T);
    const int threads = threadCount(options.threads);
    // Memory of an earlier run is kept as it is: every sample is written below.
    const bool reused = run.data.size() == samples;
    if (!reused) run.data.assign(samples, 0.0f);
    if (options.components) {
        run.components.push_back({"signal", std::vector<float>(samples, 0.0f)});
        for (int k = 0; k < kNoiseKinds; ++k)
            if (plan.present[std::size_t(k)])
                run.components.push_back({kNoiseNames[k], std::vector<float>(samples, 0.0f)});
    }
    ComponentArray* signalArray = findComponent(run.components, "signal");
    std::array<ComponentArray*, kNoiseKinds> noiseArrays{};
    for (int k = 0; k < kNoiseKinds; ++k)
        noiseArrays[std::size_t(k)] = findComponent(run.components, kNoiseNames[k]);

    // The spatial field first, volume by volume, into its own array or the
    // data (which the voxel pass then reads and completes).
    std::vector<FieldSums> fieldSums;
    double spatialSeconds = 0;
    float* field = noiseArrays[kSpatial] ? noiseArrays[kSpatial]->values.data() : run.data.data();
    if (plan.spatial) {
        const Clock::time_point start = Clock::now();
        fieldSums.resize(std::size_t(T));
        FieldSums counts;
        setFieldCounts(s, counts);
        std::vector<float> weights;
        if (!s.mask.empty()) weights.assign(s.mask.begin(), s.mask.end());
        std::vector<noise::SpatialNoise::Scratch> scratch(static_cast<std::size_t>(threads));
        parallelFor(T, 1, threads,
                    [&](std::int64_t begin, std::int64_t end, int worker) {
                        for (std::int64_t t = begin; t < end; ++t) {
                            float* target = field + std::size_t(t) * std::size_t(V);
                            plan.spatial->generate(s.seed, std::uint64_t(t), target,
                                                   scratch[std::size_t(worker)]);
                            if (!s.mask.empty())
                                for (std::int64_t v = 0; v < V; ++v)
                                    if (!s.inside(v)) target[v] = 0.0f;
                            FieldSums& f = fieldSums[std::size_t(t)];
                            f = counts;
                            addFieldSums(target, weights.empty() ? nullptr : weights.data(),
                                         s.grid.shape, f);
                        }
                    },
                    {&options.progress, 0.0, 0.5});
        spatialSeconds = secondsSince(start);
    }

    const std::size_t lags = plan.ar ? s.noise.temporal->ar.size() : 0;
    const std::int64_t blocks = (V + kVoxelBlock - 1) / kVoxelBlock;
    std::vector<BlockSums> sums(static_cast<std::size_t>(blocks));
    std::vector<TileScratch> scratch(static_cast<std::size_t>(threads));
    const std::size_t TT = std::size_t(T);
    const TileOutputs outputs{run.data.data(), signalArray ? signalArray->values.data() : nullptr,
                              noiseArrays, field};

    // Chunks of whole blocks, so that threads share few of the cache lines of
    // the volumes they write (only where a chunk ends within a line).
    const std::int64_t chunk = blocksPerChunk(TT);
    // Streaming stores pay on large data in memory an earlier run had, not on
    // lines the field pass just read, nor (measured: 2 to 3 times slower) on
    // pages the zero-fill has only just brought in.
    // The field in the data: each block's data go straight over the field
    // values it has just read, in lines still in the cache.
    const bool inPlace = plan.spatial && field == run.data.data();
    const bool streamed = reused && samples * sizeof(float) >= (std::size_t(64) << 20) && !inPlace;
    const std::size_t stride = std::size_t(chunk) * kTileWidth;
    parallelFor(blocks, chunk, threads,
                [&](std::int64_t begin, std::int64_t end, int worker) {
                    TileScratch& w = scratch[std::size_t(worker)];
                    w.prepare(TT, std::size_t(chunk));
                    for (std::int64_t b = begin; b < end; ++b) {
                        BlockSums& bs = sums[std::size_t(b)];
                        bs.filled = true;
                        bs.autocorrelation.assign(lags, 0.0);
                        const std::size_t v0 = std::size_t(b * kVoxelBlock);
                        if (inPlace && v0 + kTileWidth <= std::size_t(V)) {
                            generateTile(plan, b * kVoxelBlock, options.timings, outputs, w,
                                         run.data.data() + v0, std::size_t(V), bs);
                        } else {
                            float* rows = w.data.data() + std::size_t(b - begin) * kTileWidth;
                            generateTile(plan, b * kVoxelBlock, options.timings, outputs, w, rows,
                                         stride, bs);
                            if (inPlace)  // the grid's last block, short of a whole one
                                storeChunk(rows, stride, std::size_t(V) - v0, TT, v0,
                                           std::size_t(V), run.data.data(), false);
                        }
                    }
                    const std::size_t v0 = std::size_t(begin * kVoxelBlock);
                    if (!inPlace)
                        storeChunk(w.data.data(), stride, std::min(stride, std::size_t(V) - v0), TT,
                                   v0, std::size_t(V), run.data.data(), streamed);
                },
                {&options.progress, plan.spatial ? 0.5 : 0.0, plan.spatial ? 0.5 : 1.0});

    // Reduce in block order.
    BlockSums total;
    total.autocorrelation.assign(lags, 0.0);
    for (const BlockSums& bs : sums) {
        if (!bs.filled) continue;
        total.voxels += bs.voxels;
        total.noiseSd += bs.noiseSd;
        for (int k = 0; k < kNoiseKinds; ++k)
            total.componentSd[std::size_t(k)] += bs.componentSd[std::size_t(k)];
        for (std::size_t k = 0; k < lags; ++k) total.autocorrelation[k] += bs.autocorrelation[k];
        for (std::size_t k = 0; k < total.seconds.size(); ++k) total.seconds[k] += bs.seconds[k];
    }
    const double n = total.voxels > 0 ? double(total.voxels) : 1.0;
    json components = json::object();
    for (int k = 0; k < kNoiseKinds; ++k) {
        if (!plan.present[std::size_t(k)]) continue;
        json c = {{"sd", total.componentSd[std::size_t(k)] / n}};
        if (k == kTemporal) {
            json acf = json::array();
            for (double a : total.autocorrelation) acf.push_back(a / n);
            c["autocorrelation"] = acf;
        }
        if (k == kSpatial) c["fwhm_mm"] = fieldFwhm(fieldSums, s);
        components[kNoiseNames[k]] = c;
    }
    run.realised["components"] = components;
    run.realised["noise_sd"] = total.noiseSd / n;
    // Thread time spread over the threads: about the wall time of each part.
    if (!options.timings) return;
    run.timings.push_back({"signal", total.seconds[kNoiseKinds] / threads});
    for (int k = 0; k < kNoiseKinds; ++k)
        if (plan.present[std::size_t(k)])
            run.timings.push_back({kNoiseNames[k], k == kSpatial
                                                       ? spatialSeconds
                                                       : total.seconds[std::size_t(k)] / threads});
    run.timings.push_back({"sum", total.seconds[kNoiseKinds + 1] / threads});
}

// The plug-in's generator: its noise pass over the volumes in their order,
// then its signal pass (one sphere: volume by volume over the sphere's
// positions; voxel lists: region by region, voxel by voxel, volume by volume).
void generatePlugIn(const Plan& plan, const GenerateOptions& options, SimulatedRun& run) {
    const Scenario& s = plan.s;
    const std::int64_t V = plan.layout.V, T = plan.layout.T;
    const std::size_t samples = std::size_t(V) * std::size_t(T);
    Clock::time_point start = Clock::now();
    run.data.resize(samples);
    int seed = -1;
    simulation::drawNoiseSamples(run.data.data(), samples, &seed, simulation::chosenNoiseKernel());
    run.timings.push_back({"system", secondsSince(start)});
    start = Clock::now();
    // Which predictor each voxel's signal follows (the last write wins, as in the
    // plug-in), so that the signal need not be kept unless asked for.
    std::vector<const float*> predictorOf(std::size_t(V), nullptr);
    auto write = [&](std::int64_t v, std::int64_t t, const float* predictor) {
        const std::size_t i = std::size_t(t) * std::size_t(V) + std::size_t(v);
        run.data[i] = simulation::signalSample(predictor[t], simulation::drawNoise(&seed));
        predictorOf[std::size_t(v)] = predictor;
    };
    for (const Region& region : s.regions) {
        const float* predictor = plan.design[std::size_t(region.conditionIndex)].values.data();
        if (region.shape == RegionShape::Sphere) {
            for (std::int64_t t = 0; t < T; ++t)
                for (const simulation::GridPosition& o : simulation::clusterSphereOffsets()) {
                    const std::int64_t x = region.centerVoxel[0] + o.x,
                                       y = region.centerVoxel[1] + o.y,
                                       z = region.centerVoxel[2] + o.z;
                    if (x >= 0 && x < s.grid.shape[0] && y >= 0 && y < s.grid.shape[1] && z >= 0 &&
                        z < s.grid.shape[2])
                        write(s.grid.index(x, y, z), t, predictor);
                    else
                        simulation::drawNoise(&seed);  // drawn, as the plug-in does, not written
                }
        } else {
            for (const auto& p : region.voxels)
                for (std::int64_t t = 0; t < T; ++t)
                    write(s.grid.index(p[0], p[1], p[2]), t, predictor);
        }
    }
    run.timings.push_back({"signal", secondsSince(start)});
    // The noise-free sample and the system noise (the data minus it) of (v, t).
    auto signalAt = [&](std::size_t v, std::size_t t) {
        return predictorOf[v] ? simulation::signalSample(predictorOf[v][t], 0.0f)
                              : simulation::kBaseline;
    };
    const std::size_t TT = std::size_t(T), VV = std::size_t(V);
    if (options.components) {
        std::vector<float> signal(samples), noise(samples);
        for (std::size_t t = 0; t < TT; ++t)
            for (std::size_t v = 0; v < VV; ++v) {
                const std::size_t i = t * VV + v;
                signal[i] = signalAt(v, t);
                noise[i] = float(double(run.data[i]) - double(signal[i]));
            }
        run.components.push_back({"signal", std::move(signal)});
        run.components.push_back({"system", std::move(noise)});
    }
    // Realised: the temporal sd of the data minus the signal, per voxel, from
    // sums kept for every voxel while the volumes go by in order.
    std::vector<double> sums(VV, 0.0), squares(VV, 0.0);
    for (std::size_t t = 0; t < TT; ++t)
        for (std::size_t v = 0; v < VV; ++v) {
            const double d = double(run.data[t * VV + v]) - double(signalAt(v, t));
            sums[v] += d, squares[v] += d * d;
        }
    double sdSum = 0;
    for (std::size_t v = 0; v < VV; ++v) sdSum += sdOfSums(sums[v], squares[v], TT);
    const double sd = sdSum / double(V);
    run.realised["components"] = {{"system", {{"sd", sd}}}};
    run.realised["noise_sd"] = sd;
}

}  // namespace

SimulatedRun generate(const Scenario& s, const GenerateOptions& options) {
    SimulatedRun run;
    generate(s, options, run);
    return run;
}

void generate(const Scenario& s, const GenerateOptions& options, SimulatedRun& run) {
    const Clock::time_point start = Clock::now();
    std::vector<float> samples = std::move(run.data);
    run = SimulatedRun{};
    run.data = std::move(samples);
    run.scenario = s;
    run.scenarioJson = toJson(s);
    run.geometry.shape = s.grid.shape;
    run.geometry.voxelMm = s.grid.voxelMm;
    run.geometry.timePoints = s.timePoints;
    run.geometry.tr = s.tr;
    run.geometry.affine = formats::centredAffine(run.geometry.space());
    run.events = s.design.protocol;

    const std::vector<double> hrf = simulation::twoGammaHrf(s.tr);
    Plan plan{s, placeRegions(s), buildDesign(s, hrf), {}, {}, false, {}, {}, {}, {}};
    for (std::size_t r = 0; r < s.regions.size(); ++r) {
        const std::vector<float> p = regionPredictor(s, r, plan.design, hrf);
        const double height = s.regions[r].percent / 100.0 * s.baseline;
        std::vector<double> amplitude(p.size());
        for (std::size_t t = 0; t < p.size(); ++t) amplitude[t] = height * double(p[t]);
        plan.regionAmplitude.push_back(std::move(amplitude));
    }
    const Noise& n = s.noise;
    plan.present = {bool(n.system), bool(n.temporal), bool(n.drift), bool(n.physiological),
                    bool(n.spatial)};
    plan.rician = n.system && n.system->distribution == SystemDistribution::Rician;
    const std::size_t T = std::size_t(s.timePoints);
    if (n.temporal) plan.ar.emplace(n.temporal->ar, n.temporal->sd);
    if (n.drift) plan.drift.emplace(T, s.tr, n.drift->cutoffSeconds, n.drift->sd);
    if (n.physiological)
        plan.physiological.emplace(T, s.tr, n.physiological->cardiacHz,
                                   n.physiological->respiratoryHz, n.physiological->cardiacShare,
                                   n.physiological->sd);
    if (n.spatial)
        plan.spatial.emplace(s.grid.shape, s.grid.voxelMm, n.spatial->fwhmMm, n.spatial->sd);

    if (s.generator == Generator::PlugIn)
        generatePlugIn(plan, options, run);
    else
        generatePhilox(plan, options, run);

    const double noiseSd = run.realised["noise_sd"].get<double>();
    run.realised["tsnr"] = noiseSd > 0 ? json(s.baseline / noiseSd) : json(nullptr);
    json regions = json::array();
    for (std::size_t r = 0; r < s.regions.size(); ++r) {
        // The region's noise-free signal above the baseline, fitted on its design column.
        const std::vector<float>& column =
            plan.design[std::size_t(s.regions[r].conditionIndex)].values;
        const double percent = slope(plan.regionAmplitude[r], column) / s.baseline * 100.0;
        const double amplitude = percent / 100.0 * s.baseline;
        regions.push_back({{"name", s.regions[r].name},
                           {"percent", percent},
                           {"cnr", noiseSd > 0 ? json(amplitude / noiseSd) : json(nullptr)}});
    }
    run.realised["regions"] = regions;

    run.labels = std::move(plan.layout.labels);
    run.labelNames.push_back("noise only");
    for (const formats::Predictor& p : plan.design) run.labelNames.push_back(p.name);
    run.design = std::move(plan.design);
    run.timings.push_back({"total", secondsSince(start)});
}

}  // namespace simtrove::scenario
