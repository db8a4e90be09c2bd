// The generator puts each voxel's own values in place: on a grid whose voxels
// do not fill whole blocks of sixteen, with a mask, every in-mask sample is the
// voxel-by-voxel component functions' value and the data their sum; outside
// the mask everything is 0; and a run generated into the memory of an earlier
// one keeps nothing of it.
#include "scenario/generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "noise/drift_noise.h"
#include "noise/normal_transform.h"
#include "scenario/scenario_reader.h"

namespace simtrove::scenario {
namespace {

Scenario maskedScenario(std::uint64_t seed) {
    formats::Result<Scenario> read = readScenario(nlohmann::json::parse(R"({
        "grid": {"shape": [7, 5, 3]}, "time_points": 21, "tr": 2,
        "noise": {"system": {"sd": 2}, "drift": {"sd": 1.5, "cutoff_s": 20}}})"),
                                                  ".");
    EXPECT_TRUE(read.ok()) << read.error();
    Scenario s = read.ok() ? read.value() : Scenario{};
    s.seed = seed;
    s.mask.assign(std::size_t(s.grid.voxels()), 1);
    for (std::size_t v = 0; v < s.mask.size(); v += 3) s.mask[v] = 0;
    return s;
}

TEST(Generator, PutsEveryVoxelsOwnValuesInPlace) {
    const Scenario s = maskedScenario(3);
    const SimulatedRun run = generate(s, {2, true});
    const std::size_t V = std::size_t(s.grid.voxels()), T = std::size_t(s.timePoints);
    ASSERT_EQ(run.components.size(), 3u);  // signal, system, drift
    const noise::DriftNoise drift(T, s.tr, 20.0, 1.5);
    std::vector<double> system(T), drifting(T), scratch(drift.functions() + 1);
    for (std::size_t v = 0; v < V; ++v) {
        noise::standardNormals({s.seed, noise::Component::System, v}, 0, system.data(), T);
        for (double& x : system) x *= 2.0;  // sd 2
        drift.generate(s.seed, v, drifting.data(), scratch.data());
        for (std::size_t t = 0; t < T; ++t) {
            const std::size_t i = t * V + v;
            if (!s.inside(std::int64_t(v))) {
                for (const ComponentArray& c : run.components)
                    ASSERT_EQ(c.values[i], 0.0f) << c.name;
                ASSERT_EQ(run.data[i], 0.0f) << v;
                continue;
            }
            ASSERT_EQ(run.components[0].values[i], float(s.baseline)) << v;
            ASSERT_EQ(run.components[1].values[i], float(system[t])) << v << ", " << t;
            ASSERT_EQ(run.components[2].values[i], float(drifting[t])) << v << ", " << t;
            ASSERT_EQ(run.data[i], float(double(float(s.baseline)) + double(float(system[t])) +
                                         double(float(drifting[t]))))
                << v << ", " << t;
        }
    }
    // Into the memory of a run of another seed: the same bytes as a fresh run.
    SimulatedRun reused = generate(maskedScenario(4), {1, false});
    generate(s, {3, false}, reused);
    ASSERT_EQ(reused.data.size(), run.data.size());
    EXPECT_EQ(std::memcmp(reused.data.data(), run.data.data(), run.data.size() * sizeof(float)), 0);
    EXPECT_EQ(reused.realised, run.realised);
    EXPECT_TRUE(reused.components.empty());
}

// The realised FWHM of a masked field, from the field itself: the variance
// over in-mask voxels and the squared steps between in-mask neighbours.
TEST(Generator, MeasuresTheMaskedFieldsSmoothnessOverTheMask) {
    Scenario s = maskedScenario(6);
    s.grid.shape = {19, 13, 6};
    s.grid.voxelMm = {2, 3, 4};
    s.mask.assign(std::size_t(s.grid.voxels()), 1);
    for (std::size_t v = 0; v < s.mask.size(); ++v) s.mask[v] = (v * 7) % 5 != 0;
    s.noise = {};
    s.noise.spatial = SpatialNoise{1.0, {6.0, 6.0, 6.0}};
    const SimulatedRun run = generate(s, {2, true});
    // Without the components the field is made in the data and each block's
    // data written over it, the grid's last block short of sixteen voxels.
    EXPECT_EQ(generate(s, {3, false}).data, run.data);
    const std::vector<float>& field = run.components.back().values;
    const std::int64_t X = 19, Y = 13, Z = 6, V = X * Y * Z, steps[3] = {1, X, X * Y};
    double sum = 0, squares = 0, count = 0, differences[3] = {}, pairs[3] = {};
    for (std::int64_t t = 0; t < s.timePoints; ++t)
        for (std::int64_t z = 0; z < Z; ++z)
            for (std::int64_t y = 0; y < Y; ++y)
                for (std::int64_t x = 0; x < X; ++x) {
                    const std::int64_t v = (z * Y + y) * X + x;
                    if (!s.inside(v)) continue;
                    const double value = field[std::size_t(t * V + v)];
                    sum += value, squares += value * value, ++count;
                    const bool within[3] = {x + 1 < X, y + 1 < Y, z + 1 < Z};
                    for (int a = 0; a < 3; ++a)
                        if (within[a] && s.inside(v + steps[a])) {
                            const double d = field[std::size_t(t * V + v + steps[a])] - value;
                            differences[a] += d * d, ++pairs[a];
                        }
                }
    const double variance = squares / count - (sum / count) * (sum / count);
    const nlohmann::json& fwhm = run.realised["components"]["spatial"]["fwhm_mm"];
    for (int a = 0; a < 3; ++a) {
        const double rho = 1.0 - differences[a] / pairs[a] / (2.0 * variance);
        const double expected =
            s.grid.voxelMm[std::size_t(a)] * std::sqrt(-2.0 * std::log(2.0) / std::log(rho));
        EXPECT_NEAR(fwhm[std::size_t(a)].get<double>(), expected, 1e-9 * expected) << a;
    }
}

}  // namespace
}  // namespace simtrove::scenario
