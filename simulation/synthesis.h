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
// Grid, sphere and VOI placement come from signal_geometry.h.
// The passes talk to the host (log, predictors, VOIs) through the bound table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "simulation/signal_geometry.h"

namespace simtrove::simulation {

inline constexpr float kBaseline = 100.0f;
inline constexpr float kPercentUnit = float(kBaseline / 100.0);
inline constexpr float kSignalAmplitude = 3.0f;
inline constexpr float kNoiseScale = 5.0f;

// One noise value: 5 * normal_deviate, rounded to float.
float drawNoise(int* seed);

// A sample of the signal pass: 3 % of the baseline times the predictor value,
// plus the baseline and the noise, in double and rounded once to float.
float signalSample(float predictorValue, float noise);

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
