// Temporal noise: a stationary autoregressive process of order p,
//   x[t] = phi1 x[t-1] + ... + phip x[t-p] + e[t],
// scaled so that its marginal standard deviation is `sd` (not the
// innovation's), stationary from the first volume: x[0..p-1] are drawn from
// the process's own joint distribution (each from the best predictor of its
// order with that order's prediction error), so there is no start-up
// transient. Coefficients are checked through the partial autocorrelations
// (the Levinson-Durbin step-down): stationary iff every one lies in (-1, 1).
// Draws: stream = voxel, positions 0 .. T-1 of Component::Temporal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "noise/normal_transform.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {

// Empty when the coefficients give a stationary process, else the reason
// ("not stationary: ...").
std::string arStationarityProblem(const std::vector<double>& phi);

class ArNoise {
  public:
    // phi must pass arStationarityProblem().
    ArNoise(std::vector<double> phi, double sd);

    // Autocorrelation at lags 0 .. maxLag of the process.
    std::vector<double> autocorrelations(std::size_t maxLag) const;

    // T values of voxel `voxel`'s time course (scratch: T doubles of normals).
    void generate(std::uint64_t seed, std::uint64_t voxel, double* out, std::size_t T) const;

    // The same for the kVoxelLanes voxels firstVoxel .. side by side, voxel
    // j's value at t in tile[t * kVoxelLanes + j]: generate()'s values bit for
    // bit, but the recursions of the voxels run together in the vector units.
    // Scratch: T * kVoxelLanes floats.
    static constexpr std::size_t kVoxelLanes = kTileLanes;
    void generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile, std::size_t T,
                      std::vector<float>& scratch) const;

    // Volume t's value of voxels side by side (Lanes: double or a vector of
    // doubles) from their innovation, a standard normal, and their values
    // before: before(i) gives those at t - i. generate()'s recursion, voxel
    // by voxel.
    template <typename Lanes, typename Before>
    SIMTROVE_INLINE_LANES Lanes valueAt(std::size_t t, Lanes innovation, Before&& before) const {
        const std::size_t p = phi_.size(), order = t < p ? t : p;
        const double* a = t < p ? predictors_[t].data() : phi_.data();
        Lanes value = errorSd_[order] * innovation;
        for (std::size_t i = 1; i <= order; ++i) value += a[i - 1] * before(i);
        return value;
    }

  private:
    std::vector<double> phi_;
    // predictors_[m]: the order-m prediction coefficients (m = 0 .. p-1);
    // errorSd_[m]: the sd of that prediction's error, for the process of sd `sd`.
    std::vector<std::vector<double>> predictors_;
    std::vector<double> errorSd_;
};

}  // namespace simtrove::noise
