// Filling the VTC sample array: the noise pass and the signal pass.
//
// Sample t of voxel (x, y, z) is element (z*DimX*DimY + y*DimX + x)*T + t.
// Noise pass: every sample becomes 100 + 5*normal, drawn volume by volume,
// then z, y, x; progress is logged before every tenth volume and at the end.
// Signal pass: the chosen voxels are rewritten with 3*p[t] + 100 + fresh noise,
// either every voxel of each VOI (VOI by VOI, voxel by voxel, volume by volume)
// or the 33 positions of a sphere of radius 2 around a centre (volume by
// volume, then z, y, x over the 5x5x5 cube).
// Positions outside the grid are never written, but their draws are still made,
// so that every other sample is what it would have been without the clipping.
// The passes talk to the host (log, predictors, VOIs) through the bound table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace simtrove::simulation {

inline constexpr float kBaseline = 100.0f;
inline constexpr float kPercentUnit = float(kBaseline / 100.0);
inline constexpr float kSignalAmplitude = 3.0f;
inline constexpr float kNoiseScale = 5.0f;
inline constexpr int kHalfWidth = 2;

// A VTC that can be simulated: every size at least 1, resolution at least 1.
struct VtcGrid {
    std::int64_t dimX, dimY, dimZ;
    std::int64_t timePoints;
    int xStart, yStart, zStart;
    int resolution;

    std::size_t voxelCount() const { return std::size_t(dimX * dimY * dimZ); }
    std::size_t sampleCount() const { return voxelCount() * std::size_t(timePoints); }
    bool contains(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return x >= 0 && x < dimX && y >= 0 && y < dimY && z >= 0 && z < dimZ;
    }
    // Index of sample 0 of voxel (x, y, z), which must lie inside the grid.
    std::size_t firstSampleOf(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return (std::size_t(z) * std::size_t(dimX * dimY) + std::size_t(y) * std::size_t(dimX) +
                std::size_t(x)) *
               std::size_t(timePoints);
    }
};

struct GridPosition {
    std::int64_t x, y, z;
};

// The integer nearest to value, halves rounded toward +infinity: floor(value + 0.5).
std::int64_t roundHalfUp(double value);

// Grid position of a VMR position: roundHalfUp((pos - start) / resolution) per axis,
// the difference taken in integers and divided in double.
GridPosition toGridPosition(const VtcGrid& grid, std::int64_t posX, std::int64_t posY,
                            std::int64_t posZ);

// One noise value: 5 * normal_deviate, rounded to float.
float drawNoise(int* seed);

void runNoisePass(float* samples, const VtcGrid& grid, int* seed);

enum class SignalOutcome {
    Completed,
    PredictorUnavailable,  // the host gave no predictor time course
    VoxelsUnavailable,     // the host gave no voxel array for a VOI
};

struct SignalPassResult {
    SignalOutcome outcome;
    std::int64_t positionsOutside;  // positions left out because they lie outside the grid
};

SignalPassResult runClusterSignalPass(float* samples, const VtcGrid& grid, int predictorIndex,
                                      int posX, int posY, int posZ, int* seed);

// predictorOfVoi[v] is the 0-based predictor for VOI v; coordinateSpace 3 selects
// the mirrored conversion (128 - b, 128 - c, 128 - a) of each voxel (a, b, c).
SignalPassResult runVoiSignalPass(float* samples, const VtcGrid& grid, const int* predictorOfVoi,
                                  int nrOfVois, int coordinateSpace, int* seed);

}  // namespace simtrove::simulation
