#include "noise/physiological_noise.h"

#include <cmath>
#include <numbers>

#include "noise/normal_transform.h"
#include "noise/random_stream.h"

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

void PhysiologicalNoise::generate(std::uint64_t seed, std::uint64_t voxel, double* out) const {
    double pairs[4];
    standardNormals({seed, Component::Physiological, voxel}, 0, pairs, 4);
    const double rc = std::sqrt(pairs[0] * pairs[0] + pairs[1] * pairs[1]);
    const double rr = std::sqrt(pairs[2] * pairs[2] + pairs[3] * pairs[3]);
    // sin(theta + phi) = sin theta cos phi + cos theta sin phi, with
    // (cos phi, sin phi) the unit vector of the pair (never 0: see the transform).
    const double cc = cardiacAmplitude_ * pairs[0] / rc, cs = cardiacAmplitude_ * pairs[1] / rc;
    const double rcos = respiratoryAmplitude_ * pairs[2] / rr,
                 rsin = respiratoryAmplitude_ * pairs[3] / rr;
    for (std::size_t t = 0; t < T_; ++t)
        out[t] = cardiacSin_[t] * cc + cardiacCos_[t] * cs + respiratorySin_[t] * rcos +
                 respiratoryCos_[t] * rsin;
}

}  // namespace simtrove::noise
