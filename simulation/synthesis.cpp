#include "simulation/synthesis.h"

#include <cmath>
#include <cstdio>

#include "host/host_functions.h"
#include "numerics/random/deviates.h"

namespace simtrove::simulation {

using namespace simtrove::host;

namespace {

float noiseSample(float noise) {
    return float(double(kBaseline) + double(noise));
}

void logProgress(std::int64_t done, std::int64_t total) {
    char line[260];
    std::snprintf(line, sizeof line, "// Plugin>    %i / %i ...", int(done), int(total));
    tvLogText(line);
}

// Rewrites every sample of the voxel at `position` (when inside the grid) with
// signal and noise; the draws are made either way.
bool writeSignalTimeCourse(float* samples, const VtcGrid& grid, const GridPosition& position,
                           const float* predictor, int* seed) {
    const bool inside = grid.contains(position.x, position.y, position.z);
    float* course =
        inside ? samples + grid.firstSampleOf(position.x, position.y, position.z) : nullptr;
    for (std::int64_t t = 0; t < grid.timePoints; ++t) {
        const float noise = drawNoise(seed);
        if (inside) course[t] = signalSample(predictor[t], noise);
    }
    return inside;
}

}  // namespace

float signalSample(float predictorValue, float noise) {
    return float(double(kSignalAmplitude) * double(kPercentUnit) * double(predictorValue) +
                 double(kBaseline) + double(noise));
}

float drawNoise(int* seed) {
    return float(double(normal_deviate(seed)) * double(kNoiseScale));
}

void runNoisePass(float* samples, const VtcGrid& grid, int* seed) {
    const std::size_t T = std::size_t(grid.timePoints);
    for (std::int64_t t = 0; t < grid.timePoints; ++t) {
        if (t > 0 && t % 10 == 0) logProgress(t, grid.timePoints);
        float* sample = samples + t;
        for (std::size_t voxel = 0, n = grid.voxelCount(); voxel < n; ++voxel, sample += T)
            *sample = noiseSample(drawNoise(seed));
    }
    logProgress(grid.timePoints, grid.timePoints);
}

SignalPassResult runClusterSignalPass(float* samples, const VtcGrid& grid, int predictorIndex,
                                      int posX, int posY, int posZ, int* seed) {
    const float* predictor = tvGetPredictor(predictorIndex);
    if (predictor == nullptr) return {SignalOutcome::PredictorUnavailable, 0};
    const GridPosition centre = toGridPosition(grid, posX, posY, posZ);
    const std::span<const GridPosition> sphere = clusterSphereOffsets();
    std::int64_t outside = 0;
    for (std::int64_t t = 0; t < grid.timePoints; ++t) {
        for (const GridPosition& offset : sphere) {
            const std::int64_t x = centre.x + offset.x, y = centre.y + offset.y,
                               z = centre.z + offset.z;
            const float noise = drawNoise(seed);
            if (grid.contains(x, y, z))
                samples[grid.firstSampleOf(x, y, z) + std::size_t(t)] =
                    signalSample(predictor[t], noise);
            else if (t == 0)
                ++outside;
        }
    }
    return {SignalOutcome::Completed, outside};
}

SignalPassResult runVoiSignalPass(float* samples, const VtcGrid& grid, const int* predictorOfVoi,
                                  int nrOfVois, int coordinateSpace, int* seed) {
    std::int64_t outside = 0;
    for (int v = 0; v < nrOfVois; ++v) {
        char line[260];
        std::snprintf(line, sizeof line, "// Plugin>    VOI %i / %i ...", v + 1, nrOfVois);
        tvLogText(line);
        const float* predictor = tvGetPredictor(predictorOfVoi[v]);
        if (predictor == nullptr) return {SignalOutcome::PredictorUnavailable, outside};
        voi_header voi{};
        const int* voxels = tvGetVOI(v, &voi);
        if (voxels == nullptr) return {SignalOutcome::VoxelsUnavailable, outside};
        const std::int64_t count = voi.NrOfVoxels > 0 ? voi.NrOfVoxels : 0;
        for (std::int64_t k = 0; k < count; ++k) {
            const std::int64_t a = voxels[3 * k], b = voxels[3 * k + 1], c = voxels[3 * k + 2];
            const GridPosition position = voiVoxelPosition(grid, coordinateSpace, a, b, c);
            if (!writeSignalTimeCourse(samples, grid, position, predictor, seed)) ++outside;
        }
    }
    return {SignalOutcome::Completed, outside};
}

}  // namespace simtrove::simulation
