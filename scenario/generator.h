// Running a scenario: the simulated run in memory.
//
// Data layout: volume after volume, x fastest within a volume (the order of
// NIfTI files and of a C-ordered numpy array of shape (T, Z, Y, X)): sample
// (x, y, z, t) is data[t * V + (z * Y + y) * X + x], V = X * Y * Z. Voxels
// outside the mask are 0 in the data and in every component.
//
// "philox": each noise component comes from its own counter-based streams
// (noise/), so that the bytes do not depend on the number of threads. Every
// component is stored as float; the data are their sum in double, rounded
// once to float, in the order: signal (baseline included), system, temporal,
// drift, physiological, spatial. Rician system noise instead takes the
// magnitude |S + a + i b| of S = the sum of all the others; its component is
// then the data minus S.
// "plug-in": the plug-in's generator and draw order (noise pass, then the
// cluster sphere or the voxel lists, simulation/); one thread; not for
// concurrent use (that generator's state is module-wide).
//
// Realised (measured on the generated components over the mask):
// components.NAME.sd (mean temporal sd), temporal.autocorrelation (mean lag
// 1..p sample autocorrelations), spatial.fwhm_mm (per axis, from the variance
// of neighbour differences), noise_sd (mean temporal sd of the data minus the
// signal), tsnr = baseline / noise_sd, per region: percent (least-squares
// slope of its mean noise-free signal on its design column, in percent of the
// baseline) and cnr = that amplitude / noise_sd.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "formats/design_matrix.h"
#include "formats/nifti.h"
#include "formats/protocol.h"
#include "scenario/scenario.h"

namespace simtrove::scenario {

struct GenerateOptions {
    int threads = 0;          // 0: every core
    bool components = false;  // keep the signal and every noise component
    bool timings = false;     // measure each component's generation (SimulatedRun::timings)
    // Called now and then from one thread with the share done (0 to 1); may be empty.
    std::function<void(double)> progress = {};
};

struct Geometry {
    std::array<std::int64_t, 3> shape{};
    std::array<double, 3> voxelMm{};
    std::int64_t timePoints = 0;
    double tr = 0.0;
    std::array<std::array<double, 4>, 4> affine{};  // voxel to world (mm), RAS, centre at 0
    formats::ImageSpace space() const { return {shape, voxelMm, tr}; }
};

struct ComponentArray {
    std::string name;           // "signal", or the noise key: "system", "temporal", ...
    std::vector<float> values;  // the data's layout
};

struct PhaseTiming {
    std::string name;
    double seconds = 0.0;
};

struct SimulatedRun {
    Scenario scenario;
    nlohmann::json scenarioJson;  // toJson(scenario): every default filled in
    Geometry geometry;
    std::vector<float> data;
    // Per voxel: 0 noise only, k the design column (1-based) whose signal the
    // voxel carries (the later region where regions overlap).
    std::vector<std::int16_t> labels;
    std::vector<std::string> labelNames;     // labelNames[k]; [0] = "noise only"
    std::vector<ComponentArray> components;  // with options.components, in the sum's order
    std::vector<formats::Predictor> design;  // one HRF-convolved predictor per condition
    formats::Protocol events;                // the design's conditions, in volumes
    nlohmann::json realised;
    // Generation time per component (with options.timings): "signal", each
    // noise component's own work (its draws; the spatial field), "sum" (the
    // terms evaluated at each volume and added); then "total" (always).
    std::vector<PhaseTiming> timings;
};

// The scenario must come from readScenario() (or plugInMainJob()).
SimulatedRun generate(const Scenario& scenario, const GenerateOptions& options = {});

// The same into `run`, replacing all it held but reusing the memory of its
// data when that has as many samples (the runs of a study): no new pages to
// be faulted in and cleared.
void generate(const Scenario& scenario, const GenerateOptions& options, SimulatedRun& run);

}  // namespace simtrove::scenario
