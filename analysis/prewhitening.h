// The AR(1) noise model: each voxel's noise e_t = rho e_(t-1) + white noise.
//
// rho comes from the voxel's ordinary-least-squares residuals r: their lag-one
// autocorrelation sum r_t r_(t+1) / sum r_t^2 is biased (the residuals of a
// fit are correlated even for white noise, and more so for a large model).
// With R = I - X X+ the residual-forming matrix and, to first order in rho,
// the noise covariance I + rho A (A ones beside the diagonal), the expected
// sums are s^2 (m00 + rho m01) and s^2 (m10 + rho m11) with m00 = tr R,
// m01 = tr RA, m10 = tr R D, m11 = tr RDRA (D ones above the diagonal); the
// corrected rho solves raw = (m10 + rho m11) / (m00 + rho m01). It may then
// be averaged over each voxel's 26 neighbours (noisy single-voxel estimates
// make the t values too large), and is clamped to +-kMaxAutocorrelation.
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
    double m00 = 1.0, m01 = 0.0, m10 = 0.0, m11 = 0.0;
    // The corrected rho of a raw lag-one autocorrelation (unclamped).
    double correct(double raw) const;
    // What the raw estimate averages to on white noise: m10 / m00.
    double whiteNoise() const { return m00 != 0.0 ? m10 / m00 : 0.0; }
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
