// The tile's vector values pass only between inlined helpers, so the note
// that their passing differs between instruction sets does not apply.
#if defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif

#include "noise/physiological_noise.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "noise/normal_transform.h"
#include "noise/random_stream.h"
#include "noise/vector_clones.h"

namespace simtrove::noise {
namespace {

void tabulate(std::size_t T, double tr, double hz, std::vector<double>& s, std::vector<double>& c) {
    s.resize(T);
    c.resize(T);
    for (std::size_t t = 0; t < T; ++t) {
        // The phase reduced to whole cycles first keeps long runs accurate.
        const double cycles = hz * double(t) * tr;
        const double angle = 2.0 * std::numbers::pi * (cycles - std::floor(cycles));
        s[t] = std::sin(angle);
        c[t] = std::cos(angle);
    }
}

}  // namespace

double aliasedFrequency(double frequencyHz, double tr) {
    const double sampling = 1.0 / tr;
    const double folded = frequencyHz - sampling * std::floor(frequencyHz / sampling);
    return folded <= sampling / 2 ? folded : sampling - folded;
}

PhysiologicalNoise::PhysiologicalNoise(std::size_t T, double tr, double cardiacHz,
                                       double respiratoryHz, double cardiacShare, double sd)
    : T_(T),
      cardiacAmplitude_(sd * std::sqrt(2.0 * cardiacShare)),
      respiratoryAmplitude_(sd * std::sqrt(2.0 * (1.0 - cardiacShare))) {
    tabulate(T, tr, cardiacHz, cardiacSin_, cardiacCos_);
    tabulate(T, tr, respiratoryHz, respiratorySin_, respiratoryCos_);
}

PhysiologicalNoise::Weights PhysiologicalNoise::weights(const double pairs[4]) const {
    const double rc = std::sqrt(pairs[0] * pairs[0] + pairs[1] * pairs[1]);
    const double rr = std::sqrt(pairs[2] * pairs[2] + pairs[3] * pairs[3]);
    // sin(theta + phi) = sin theta cos phi + cos theta sin phi, with
    // (cos phi, sin phi) the unit vector of the pair (never 0: see the transform).
    return {cardiacAmplitude_ * pairs[0] / rc, cardiacAmplitude_ * pairs[1] / rc,
            respiratoryAmplitude_ * pairs[2] / rr, respiratoryAmplitude_ * pairs[3] / rr};
}

void PhysiologicalNoise::generate(std::uint64_t seed, std::uint64_t voxel, double* out) const {
    double pairs[4];
    standardNormals({seed, Component::Physiological, voxel}, 0, pairs, 4);
    const Weights w = weights(pairs);
    const double lanes[4] = {w.cardiacCos, w.cardiacSin, w.respiratoryCos, w.respiratorySin};
    for (std::size_t t = 0; t < T_; ++t) out[t] = valueAt(t, lanes);
}

void PhysiologicalNoise::tileWeights(std::uint64_t seed, std::uint64_t firstVoxel,
                                     double* weights) const {
    constexpr std::size_t L = kTileLanes;
    float normals[4 * L];
    standardNormalTile({seed, Component::Physiological, firstVoxel}, normals, 4);
    for (std::size_t j = 0; j < L; ++j) {
        const double pairs[4] = {normals[j], normals[L + j], normals[2 * L + j],
                                 normals[3 * L + j]};
        const Weights w = this->weights(pairs);
        weights[j] = w.cardiacCos, weights[L + j] = w.cardiacSin;
        weights[2 * L + j] = w.respiratoryCos, weights[3 * L + j] = w.respiratorySin;
    }
}

SIMTROVE_VECTOR_CLONES
void PhysiologicalNoise::generateTile(std::uint64_t seed, std::uint64_t firstVoxel,
                                      double* tile) const {
    typedef double Lanes __attribute__((vector_size(kTileLanes * sizeof(double))));
    double weights[4 * kTileLanes];
    tileWeights(seed, firstVoxel, weights);
    Lanes w[4];
    std::memcpy(w, weights, sizeof w);
    for (std::size_t t = 0; t < T_; ++t) {
        const Lanes row = valueAt(t, w);
        std::memcpy(tile + t * kTileLanes, &row, sizeof row);
    }
}

}  // namespace simtrove::noise
