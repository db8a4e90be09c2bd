#include "scenario/group.h"

#include <cmath>

#include "noise/normal_transform.h"
#include "noise/random_stream.h"
#include "scenario/scenario_reader.h"

namespace simtrove::scenario {
namespace {

std::uint64_t runStream(int subject, int run) {
    return (std::uint64_t(subject) << 32) | std::uint32_t(run);
}

std::vector<double> normals(const Scenario& s, noise::Component component, std::uint64_t stream,
                            std::size_t count) {
    std::vector<double> values(count);
    noise::standardNormals({s.seed, component, stream}, 0, values.data(), count);
    return values;
}

}  // namespace

SubjectDraws drawSubject(const Scenario& s, int subject) {
    const std::size_t regions = s.regions.size();
    const std::vector<double> n =
        normals(s, noise::Component::SubjectDraws, std::uint64_t(subject), regions + 3);
    SubjectDraws draws;
    draws.subject = subject;
    for (std::size_t i = 0; i < regions; ++i)
        draws.percent.push_back(s.regions[i].percent + s.variability.percentSd * n[i]);
    for (std::size_t a = 0; a < 3; ++a)
        draws.shift[a] =
            std::int64_t(std::llround(s.variability.centerJitterVoxels * n[regions + a]));
    return draws;
}

RunDraws drawRun(const Scenario& s, const SubjectDraws& subject, int run) {
    const std::vector<double> n =
        normals(s, noise::Component::RunDraws, runStream(subject.subject, run), s.regions.size());
    RunDraws draws;
    draws.run = run;
    for (std::size_t i = 0; i < s.regions.size(); ++i)
        draws.percent.push_back(subject.percent[i] + s.variability.runPercentSd * n[i]);
    return draws;
}

Scenario runScenario(const Scenario& s, const SubjectDraws& subject, const RunDraws& run) {
    Scenario r = s;
    r.subjects = 1;
    r.runs = 1;
    if (s.generator == Generator::PlugIn) return r;
    const noise::Block block = noise::philoxBlock(
        {s.seed, noise::Component::RunSeed, runStream(subject.subject, run.run)}, 0, 0);
    r.seed = (std::uint64_t(block[1]) << 32) | block[0];
    for (std::size_t i = 0; i < r.regions.size(); ++i) {
        Region& region = r.regions[i];
        region.percent = run.percent[i];
        if (region.shape != RegionShape::Sphere || subject.shift == std::array<std::int64_t, 3>{})
            continue;
        for (std::size_t a = 0; a < 3; ++a) region.centerVoxel[a] += subject.shift[a];
        region.voxels = sphereOnGrid(r.grid, region.centerVoxel, region.radiusVoxels);
    }
    return r;
}

std::string subjectLabel(int subject, int subjects) {
    std::string digits = std::to_string(subject);
    const std::size_t width = std::max<std::size_t>(2, std::to_string(subjects).size());
    return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

std::vector<std::int16_t> groupLabels(const Scenario& s) {
    std::vector<std::int16_t> labels(std::size_t(s.grid.voxels()), 0);
    for (const Region& region : s.regions)
        for (const auto& p : region.voxels) {
            const std::int64_t v = s.grid.index(p[0], p[1], p[2]);
            if (s.inside(v)) labels[std::size_t(v)] = std::int16_t(region.conditionIndex + 1);
        }
    return labels;
}

nlohmann::json drawsJson(const Scenario& s, const SubjectDraws& subject) {
    nlohmann::json regions = nlohmann::json::object();
    for (std::size_t i = 0; i < s.regions.size(); ++i)
        regions[s.regions[i].name] = {{"percent", subject.percent[i]}};
    return {{"Subject", subject.subject},
            {"Variability",
             {{"percent_sd", s.variability.percentSd},
              {"center_jitter_voxels", s.variability.centerJitterVoxels},
              {"run_percent_sd", s.variability.runPercentSd}}},
            {"CenterShiftVoxels", subject.shift},
            {"Regions", regions}};
}

nlohmann::json drawsJson(const Scenario& s, const RunDraws& run) {
    nlohmann::json regions = nlohmann::json::object();
    for (std::size_t i = 0; i < s.regions.size(); ++i)
        regions[s.regions[i].name] = {{"percent", run.percent[i]}};
    return {{"Run", run.run}, {"Regions", regions}};
}

}  // namespace simtrove::scenario
