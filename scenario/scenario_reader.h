// Reading and checking a scenario (JSON). Every problem comes back as one
// line "KEY.PATH: problem" (for example "noise.temporal.ar: not stationary
// (...)", "regions[1].condition: no condition "Face" (conditions: Faces,
// Houses)", "mask: grid 64 x 64 x 30 does not match 58 x 40 x 46"); unknown
// keys are refused by name. Nothing is allocated for the run before the whole
// scenario has passed, and a run whose data would not fit in this machine's
// memory is refused ("grid: ...").
//
// Keys (defaults in brackets; README lists units): name ["Simulated"],
// grid {shape [58, 40, 46], voxel_mm [3] (one number or three)}, mask [none],
// time_points [250], tr [2], design {protocol: PATH | events: PATH} [built-in
// block design], baseline [100], regions [none]: {name, condition, percent
// [3], one of sphere {center_voxel, radius_voxels [2]} | voxels [[x, y, z],
// ...] | mask: PATH, trial_variability [0]}, noise [{system: {}}]: {system
// {sd [5], distribution ["gaussian"|"rician"]}, temporal {sd, ar}, drift {sd,
// cutoff_s [128]}, physiological {sd, cardiac_hz [1.17], respiratory_hz
// [0.3], cardiac_share [0.5]}, spatial {sd, fwhm_mm (one number or three)}},
// seed [1], generator ["philox"|"plug-in"].
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>

#include "formats/result.h"
#include "scenario/scenario.h"

namespace simtrove::scenario {

// Relative paths are taken from baseFolder.
formats::Result<Scenario> readScenario(const nlohmann::json& document,
                                       const std::filesystem::path& baseFolder);

// The file's JSON, paths relative to its folder; errors as above, or
// "PATH: cannot read ..." / "PATH: not JSON: parse error at line L, column C: ..."
// for the file itself.
formats::Result<Scenario> readScenarioFile(const std::filesystem::path& path);

// Bytes the run would take in memory (the data, the labels, and with
// `components` every component's array too).
std::uint64_t runBytes(const Scenario& scenario, bool components);

// Empty, or "grid: ... need N GB, more than the M GB of memory" when the run
// cannot fit in this machine's physical memory.
std::string memoryProblem(const Scenario& scenario, bool components);

}  // namespace simtrove::scenario
