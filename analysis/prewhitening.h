// The AR(1) noise model: each voxel's noise e_t = rho e_(t-1) + white noise.
//
// rho comes from the voxel's ordinary-least-squares residuals r: their lag-one
// autocorrelation sum r_t r_(t+1) / sum r_t^2 is biased (the residuals of a
// fit are correlated even for white noise, and more so for a large model).
// With R = I - X X+ the residual-forming matrix, D ones above the diagonal
// and V(rho)_ij = rho^|i-j| the AR(1) correlation, the two sums have the
// expectations tr(R V) and tr(R D R V) up to the noise variance; their ratio
// f(rho), less the second-order bias of a ratio 2 rho / tr R, is tabulated at steps of
// kAutocorrelationStep and the corrected rho is the inverse of f at the raw estimate (linear
// between steps). It may then be averaged over each voxel's 26 neighbours (noisy single-voxel
// estimates make the t values too large), and is clamped to +-kMaxAutocorrelation.
//
// Prewhitening with rho (the exact AR(1) transform): row 1 of the data and of
// every design column times sqrt(1 - rho^2), row t > 1 minus rho times row
// t - 1. Least squares on the whitened data is the generalised-least-squares
// fit, its t values have T - rank degrees of freedom. Voxels share whitened
// models: rho is rounded to steps of kAutocorrelationStep first.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analysis/glm.h"
#include "formats/result.h"
#include "formats/volume_grid.h"

namespace simtrove::analysis {

inline constexpr double kMaxAutocorrelation = 0.95;
inline constexpr double kAutocorrelationStep = 0.01;

struct AutocorrelationBias {
    // f at rho = -kMaxAutocorrelation, ... in steps of kAutocorrelationStep.
    std::vector<double> expected;
    // The corrected rho of a raw lag-one autocorrelation, within the table.
    double correct(double raw) const;
    // What the raw estimate averages to on white noise: f(0).
    double whiteNoise() const;
};

AutocorrelationBias autocorrelationBias(const GlmModel& model);

// Corrected, clamped rho of every voxel (0 for a constant time course).
std::vector<float> estimateAutocorrelation(const GlmModel& model, std::span<const float> samples,
                                           const AutocorrelationBias& bias);

// The mean over each voxel and its neighbours in the 3 x 3 x 3 block whose
// `valid` flag is set (voxels without the flag keep their value).
std::vector<float> smoothOverNeighbours(const formats::VolumeGrid& grid, std::span<const float> rho,
                                        std::span<const std::uint8_t> valid);

// Prewhitens `y` (volumes values) with `rho` into `out`.
void prewhiten(const double* y, int volumes, double rho, double* out);

// The fit of every voxel with its own rho (`rho`: one per voxel) as
// fitVoxels() lays it out; the temporal mean and sd are of the data as given.
formats::Result<GlmMaps> fitVoxelsAr1(const GlmModel& model, std::span<const float> samples,
                                      std::span<const float> rho,
                                      std::span<const FittedContrast> contrasts, int tested);

}  // namespace simtrove::analysis
