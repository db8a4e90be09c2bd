// Physiological noise: a cardiac and a respiratory sinusoid evaluated at each
// volume's acquisition time t * tr (so that they alias as in a scanner), each
// with a random phase per voxel:
//   Ac sin(2 pi fc t tr + phi_c) + Ar sin(2 pi fr t tr + phi_r),
// Ac = sd sqrt(2 share), Ar = sd sqrt(2 (1 - share)), so that the expected
// temporal variance is sd^2 (a sinusoid of amplitude A has variance A^2 / 2
// unless it aliases to 0 or to the Nyquist frequency). A phase is the angle of
// a pair of normals (uniform on the circle, no trigonometry per voxel).
// Draws: stream = voxel, positions 0, 1 (cardiac) and 2, 3 (respiratory) of
// Component::Physiological.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "noise/vector_clones.h"

namespace simtrove::noise {

// The frequency in Hz at which f appears when sampled every tr seconds, in [0, 1 / (2 tr)].
double aliasedFrequency(double frequencyHz, double tr);

class PhysiologicalNoise {
  public:
    PhysiologicalNoise(std::size_t T, double tr, double cardiacHz, double respiratoryHz,
                       double cardiacShare, double sd);
    void generate(std::uint64_t seed, std::uint64_t voxel, double* out) const;
    // The same for the kTileLanes voxels firstVoxel .. side by side, voxel j's
    // value at t in tile[t * kTileLanes + j], bit for bit.
    void generateTile(std::uint64_t seed, std::uint64_t firstVoxel, double* tile) const;

    // The weights of the kTileLanes voxels firstVoxel ..: weights[m *
    // kTileLanes + j] for voxel j, m = 0 .. 3 the cardiac sine's and cosine's,
    // the respiratory sine's and cosine's.
    void tileWeights(std::uint64_t seed, std::uint64_t firstVoxel, double* weights) const;

    // Volume t's value of a group of voxels side by side (Lanes: double or a
    // vector of doubles) with the weights w[0 .. 3] (tileWeights' order):
    // generate()'s sum, voxel by voxel.
    template <typename Lanes>
    SIMTROVE_INLINE_LANES Lanes valueAt(std::size_t t, const Lanes* w) const {
        return cardiacSin_[t] * w[0] + cardiacCos_[t] * w[1] + respiratorySin_[t] * w[2] +
               respiratoryCos_[t] * w[3];
    }

  private:
    // The amplitudes of the four tabulated functions for one voxel's pair of normals.
    struct Weights {
        double cardiacCos, cardiacSin, respiratoryCos, respiratorySin;
    };
    Weights weights(const double pairs[4]) const;

    std::size_t T_;
    double cardiacAmplitude_, respiratoryAmplitude_;
    // sin and cos of 2 pi f t tr per volume, cardiac then respiratory.
    std::vector<double> cardiacSin_, cardiacCos_, respiratorySin_, respiratoryCos_;
};

}  // namespace simtrove::noise
