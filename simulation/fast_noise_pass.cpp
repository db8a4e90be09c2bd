#include "simulation/fast_noise_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "host/host_functions.h"

namespace simtrove::simulation {

namespace {

// The scratch buffer of one pass: taken before it, released after it, empty
// when the memory cannot be had. On Linux it is aligned to 2 MB and marked for
// huge pages: a fresh buffer of tens of MB otherwise costs thousands of page
// faults on first touch, a noticeable share of the pass.
class ScratchBuffer {
  public:
    explicit ScratchBuffer(std::size_t floats) {
        if (floats == 0 || floats > SIZE_MAX / sizeof(float)) return;
#if defined(__linux__)
        constexpr std::size_t kHugePage = std::size_t(2) << 20;
        const std::size_t bytes = (floats * sizeof(float) + kHugePage - 1) / kHugePage * kHugePage;
        void* memory = nullptr;
        if (posix_memalign(&memory, kHugePage, bytes) != 0) return;
        madvise(memory, bytes, MADV_HUGEPAGE);  // a hint; without it the pass is only slower
        data_ = static_cast<float*>(memory);
#else
        data_ = static_cast<float*>(std::malloc(floats * sizeof(float)));
#endif
    }
    ~ScratchBuffer() {
        std::free(data_);
    }
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;

    float* data() const {
        return data_;
    }

  private:
    float* data_ = nullptr;
};

void logProgress(std::int64_t done, std::int64_t total) {
    char line[260];
    std::snprintf(line, sizeof line, "// Plugin>    %i / %i ...", int(done), int(total));
    simtrove::host::tvLogText(line);
}

void logBeforeVolume(std::int64_t t, std::int64_t total) {
    if (t > 0 && t % 10 == 0) logProgress(t, total);
}

// Asks the memory system for the line at p ahead of a write.
inline void prefetchForWrite(const float* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p, 1);
#else
    (void)p;
#endif
}

// Prefetch distances, found by measurement: destination time courses 16
// voxels ahead, scratch rows 128 voxels ahead (read once per 16 voxels).
constexpr std::size_t kCourseLookahead = 16;
constexpr std::size_t kRowLookahead = 128;
constexpr std::size_t kVoxelBlock = 16;

// Asks for the line at p ahead of a read.
inline void prefetchForRead(const float* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p, 0);
#else
    (void)p;
#endif
}

// The transposition: volume k of the group is row k of the scratch buffer;
// voxel v receives its `volumes` samples as one contiguous run. The rows are
// read 16 voxels (one line) at a time, with explicit prefetches for the rows
// and the destination: too many streams for the hardware to follow alone.
void writeGroup(const float* scratch, std::size_t voxels, std::size_t volumes, float* firstSample,
                std::size_t timePoints) {
    for (std::size_t v0 = 0; v0 < voxels; v0 += kVoxelBlock) {
        if (v0 + kRowLookahead < voxels)
            for (std::size_t k = 0; k < volumes; ++k)
                prefetchForRead(scratch + k * voxels + v0 + kRowLookahead);
        const std::size_t end = std::min(voxels, v0 + kVoxelBlock);
        for (std::size_t v = v0; v < end; ++v) {
            if (v + kCourseLookahead < voxels) {
                const float* ahead = firstSample + (v + kCourseLookahead) * timePoints;
                prefetchForWrite(ahead);
                prefetchForWrite(ahead + (volumes - 1));
            }
            float* course = firstSample + v * timePoints;
            const float* column = scratch + v;
            for (std::size_t k = 0; k < volumes; ++k) course[k] = column[k * voxels];
        }
    }
}

void runBuffered(float* samples, const VtcGrid& grid, int* seed, NoiseKernel kernel,
                 std::size_t volumesInGroup, float* scratch) {
    const std::size_t voxels = grid.voxelCount();
    const std::size_t timePoints = std::size_t(grid.timePoints);
    for (std::size_t t0 = 0; t0 < timePoints; t0 += volumesInGroup) {
        const std::size_t volumes = std::min(volumesInGroup, timePoints - t0);
        for (std::size_t k = 0; k < volumes; ++k) {
            logBeforeVolume(std::int64_t(t0 + k), grid.timePoints);
            drawNoiseSamples(scratch + k * voxels, voxels, seed, kernel);
        }
        writeGroup(scratch, voxels, volumes, samples + t0, timePoints);
    }
}

void runInPlace(float* samples, const VtcGrid& grid, int* seed, NoiseKernel kernel) {
    constexpr std::size_t kPiece = 2048;
    float piece[kPiece];
    const std::size_t voxels = grid.voxelCount();
    const std::size_t timePoints = std::size_t(grid.timePoints);
    for (std::size_t t = 0; t < timePoints; ++t) {
        logBeforeVolume(std::int64_t(t), grid.timePoints);
        for (std::size_t v0 = 0; v0 < voxels; v0 += kPiece) {
            const std::size_t count = std::min(kPiece, voxels - v0);
            drawNoiseSamples(piece, count, seed, kernel);
            float* sample = samples + v0 * timePoints + t;
            for (std::size_t i = 0; i < count; ++i, sample += timePoints) *sample = piece[i];
        }
    }
}

}  // namespace

std::int64_t volumesPerGroup(const VtcGrid& grid) {
    const std::uint64_t voxelBytes = std::uint64_t(grid.voxelCount()) * sizeof(float);
    const std::uint64_t arrayBytes = voxelBytes * std::uint64_t(grid.timePoints);
    const std::uint64_t limit = std::min(arrayBytes / 8, kMaxScratchBytes);
    const std::uint64_t fitting = voxelBytes > 0 ? limit / voxelBytes : 0;
    const std::int64_t volumes =
        std::int64_t(std::min<std::uint64_t>(fitting, kMaxVolumesPerGroup));
    return volumes >= 2 ? volumes : 0;
}

void runFastNoisePass(float* samples, const VtcGrid& grid, int* seed) {
    runFastNoisePass(samples, grid, seed, chosenNoiseKernel(), volumesPerGroup(grid));
}

void runFastNoisePass(float* samples, const VtcGrid& grid, int* seed, NoiseKernel kernel,
                      std::int64_t volumesInGroup) {
    // A size that does not fit size_t asks for nothing (and so runs in place).
    const std::uint64_t floats =
        volumesInGroup > 0 && grid.voxelCount() > 0 &&
                std::uint64_t(volumesInGroup) <= SIZE_MAX / grid.voxelCount()
            ? std::uint64_t(volumesInGroup) * grid.voxelCount()
            : 0;
    const ScratchBuffer scratch{std::size_t(floats)};
    if (scratch.data() != nullptr)
        runBuffered(samples, grid, seed, kernel, std::size_t(volumesInGroup), scratch.data());
    else
        runInPlace(samples, grid, seed, kernel);
    logProgress(grid.timePoints, grid.timePoints);
}

}  // namespace simtrove::simulation
