// Scenario files as people write them: any JSON (or none) through the reader
// and its checks; a scenario that passes and is small enough is generated, so
// that every accepted combination of keys also runs.
#include <cstdint>
#include <nlohmann/json.hpp>

#include "noise/spatial_noise.h"
#include "scenario/generator.h"
#include "scenario/scenario_reader.h"
#include "tests/fuzz/reader_fuzzing.h"

using namespace simtrove;
using namespace simtrove::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const nlohmann::json document = nlohmann::json::parse(asText(data, size), nullptr, false);
    if (document.is_discarded()) return 0;
    const formats::Result<scenario::Scenario> read =
        scenario::readScenario(document, "/nonexistent");
    requireDocumentOrError(read);
    if (!read.ok() || !scenario::memoryProblem(read.value(), true).empty()) return 0;
    const scenario::Scenario& s = read.value();
    // Small runs only: the fuzzer looks for faults, not for long runs.
    constexpr std::int64_t kMaxSamples = 1 << 16;
    if (s.grid.voxels() * s.timePoints > kMaxSamples || s.subjects * s.runs > 1) return 0;
    constexpr double kMaxSetupOperations = 1e7;
    if (s.noise.spatial &&
        noise::spatialSetupOperations(s.grid.shape, s.grid.voxelMm, s.noise.spatial->fwhmMm) >
            kMaxSetupOperations)
        return 0;
    const scenario::SimulatedRun run = scenario::generate(s, {1, true});
    require(run.data.size() == std::size_t(s.grid.voxels() * s.timePoints));
    return 0;
}
