// The description of one simulated run, every default filled in.
//
// Sizes are 64-bit. Voxel (x, y, z) is 0-based; voxel index (z * Y + y) * X + x.
// Paths are absolute (resolved against the scenario file's folder) and the
// inputs they name are already read: the design's conditions and the masks.
// toJson() gives the scenario as its JSON keys (scenario_reader.h documents
// them), with the paths as they were written.
#pragma once

#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "formats/protocol.h"

namespace simtrove::scenario {

enum class Generator { Philox, PlugIn };
enum class SystemDistribution { Gaussian, Rician };
enum class DesignSource { Builtin, Protocol, Events };
enum class RegionShape { Sphere, Voxels, Mask };

struct Grid {
    std::array<std::int64_t, 3> shape{58, 40, 46};
    std::array<double, 3> voxelMm{3.0, 3.0, 3.0};
    std::int64_t voxels() const { return shape[0] * shape[1] * shape[2]; }
    std::int64_t index(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return (z * shape[1] + y) * shape[0] + x;
    }
};

struct Design {
    DesignSource source = DesignSource::Builtin;  // Rest and Task alternating every 10 volumes
    std::string path;                             // as written; empty for the built-in one
    formats::Protocol protocol;                   // read, with its conditions
};

struct Region {
    std::string name;
    std::string condition;   // as written: a name or a 1-based column number
    int conditionIndex = 0;  // 0-based column of the design
    double percent = 3.0;    // of the baseline at predictor height 1
    RegionShape shape = RegionShape::Sphere;
    std::array<std::int64_t, 3> centerVoxel{0, 0, 0};
    double radiusVoxels = 2.0;
    std::string maskPath;  // as written
    // Every voxel of the region, in order (a sphere's in z, y, x order).
    std::vector<std::array<std::int64_t, 3>> voxels;
    double trialVariability = 0.0;  // coefficient of variation per event
};

struct SystemNoise {
    double sd = 5.0;
    SystemDistribution distribution = SystemDistribution::Gaussian;
};
struct TemporalNoise {
    double sd = 0.0;
    std::vector<double> ar;
};
struct DriftNoise {
    double sd = 0.0;
    double cutoffSeconds = 128.0;
};
struct PhysiologicalNoise {
    double sd = 0.0;
    double cardiacHz = 1.17, respiratoryHz = 0.3, cardiacShare = 0.5;
};
struct SpatialNoise {
    double sd = 0.0;
    std::array<double, 3> fwhmMm{6.0, 6.0, 6.0};
};

struct Noise {
    std::optional<SystemNoise> system = SystemNoise{};
    std::optional<TemporalNoise> temporal;
    std::optional<DriftNoise> drift;
    std::optional<PhysiologicalNoise> physiological;
    std::optional<SpatialNoise> spatial;
};

struct Scenario {
    std::string name = "Simulated";
    Grid grid;
    std::string maskPath;            // as written; empty: every voxel is inside
    std::vector<std::uint8_t> mask;  // one per voxel (1 inside), empty without a mask
    std::int64_t timePoints = 250;
    double tr = 2.0;  // seconds
    Design design;
    double baseline = 100.0;
    std::vector<Region> regions;
    Noise noise;
    std::uint64_t seed = 1;
    Generator generator = Generator::Philox;

    bool inside(std::int64_t voxel) const { return mask.empty() || mask[std::size_t(voxel)] != 0; }
};

// The plug-in's main job: 58 x 40 x 46 voxels of 3 mm, 250 volumes of 2 s,
// the built-in block design, white noise of sd 5 on a baseline of 100 and 3 %
// of Task in the sphere of radius 2 around voxel (29, 20, 23) (the VMR centre
// 128, 128, 128 in the default VTC box), with the plug-in's generator.
Scenario plugInMainJob();

nlohmann::json toJson(const Scenario& scenario);

}  // namespace simtrove::scenario
