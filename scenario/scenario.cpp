#include "scenario/scenario.h"

namespace simtrove::scenario {
namespace {

using nlohmann::json;

json perAxis(const std::array<double, 3>& v) {
    if (v[0] == v[1] && v[1] == v[2]) return v[0];
    return json::array({v[0], v[1], v[2]});
}

json regionJson(const Region& r) {
    json o = {{"name", r.name}, {"percent", r.percent}, {"trial_variability", r.trialVariability}};
    // A column given by number stays a number.
    const bool column =
        !r.condition.empty() && r.condition.find_first_not_of("0123456789") == std::string::npos;
    o["condition"] = column ? json(std::stoll(r.condition)) : json(r.condition);
    switch (r.shape) {
        case RegionShape::Sphere:
            o["sphere"] = {{"center_voxel", r.centerVoxel}, {"radius_voxels", r.radiusVoxels}};
            break;
        case RegionShape::Voxels: {
            json list = json::array();
            for (const auto& v : r.voxels) list.push_back(v);
            o["voxels"] = std::move(list);
            break;
        }
        case RegionShape::Mask:
            o["mask"] = r.maskPath;
            break;
    }
    return o;
}

json noiseJson(const Noise& n) {
    json o = json::object();
    if (n.system)
        o["system"] = {
            {"sd", n.system->sd},
            {"distribution",
             n.system->distribution == SystemDistribution::Rician ? "rician" : "gaussian"}};
    if (n.temporal) o["temporal"] = {{"sd", n.temporal->sd}, {"ar", n.temporal->ar}};
    if (n.drift) o["drift"] = {{"sd", n.drift->sd}, {"cutoff_s", n.drift->cutoffSeconds}};
    if (n.physiological)
        o["physiological"] = {{"sd", n.physiological->sd},
                              {"cardiac_hz", n.physiological->cardiacHz},
                              {"respiratory_hz", n.physiological->respiratoryHz},
                              {"cardiac_share", n.physiological->cardiacShare}};
    if (n.spatial) o["spatial"] = {{"sd", n.spatial->sd}, {"fwhm_mm", perAxis(n.spatial->fwhmMm)}};
    return o;
}

}  // namespace

Scenario plugInMainJob() {
    Scenario s;
    s.generator = Generator::PlugIn;
    s.design.protocol = formats::builtinBlockProtocol(int(s.timePoints));
    Region cluster;
    cluster.name = "Cluster";
    cluster.condition = "Task";
    cluster.conditionIndex = 1;
    cluster.centerVoxel = {29, 20, 23};
    for (std::int64_t dz = -2; dz <= 2; ++dz)
        for (std::int64_t dy = -2; dy <= 2; ++dy)
            for (std::int64_t dx = -2; dx <= 2; ++dx)
                if (dx * dx + dy * dy + dz * dz <= 4)
                    cluster.voxels.push_back({29 + dx, 20 + dy, 23 + dz});
    s.regions.push_back(cluster);
    return s;
}

json toJson(const Scenario& s) {
    json o;
    o["name"] = s.name;
    o["grid"] = {{"shape", s.grid.shape}, {"voxel_mm", perAxis(s.grid.voxelMm)}};
    if (!s.maskPath.empty()) o["mask"] = s.maskPath;
    o["time_points"] = s.timePoints;
    o["tr"] = s.tr;
    switch (s.design.source) {
        case DesignSource::Builtin:
            o["design"] = {{"builtin", "Rest and Task alternating every 10 volumes"}};
            break;
        case DesignSource::Protocol:
            o["design"] = {{"protocol", s.design.path}};
            break;
        case DesignSource::Events:
            o["design"] = {{"events", s.design.path}};
            break;
    }
    o["baseline"] = s.baseline;
    json regions = json::array();
    for (const Region& r : s.regions) regions.push_back(regionJson(r));
    o["regions"] = std::move(regions);
    o["noise"] = noiseJson(s.noise);
    if (s.generator == Generator::Philox) o["seed"] = s.seed;
    o["generator"] = s.generator == Generator::PlugIn ? "plug-in" : "philox";
    return o;
}

}  // namespace simtrove::scenario
