#include "scenario/scenario_reader.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

#if defined(__unix__)
#include <unistd.h>
#endif

#include "formats/bids_design.h"
#include "formats/nifti.h"
#include "formats/text_input.h"
#include "noise/ar_noise.h"
#include "noise/drift_noise.h"
#include "noise/spatial_noise.h"

namespace simtrove::scenario {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::int64_t kMaxAxisVoxels = 32767;  // NIfTI-1 stores sizes as int16
constexpr std::int64_t kMaxTimePoints = 1000000;

// A problem with the scenario: the key path and what is wrong there.
struct Refusal {
    std::string text;
};

[[noreturn]] void refuse(const std::string& path, const std::string& problem) {
    throw Refusal{path + ": " + problem};
}

std::string describe(const json& value) {
    std::string text = value.dump();
    if (text.size() > 40) text = text.substr(0, 37) + "...";
    return text;
}

// An object at a key path whose keys are taken one by one; whatever is left
// at the end is an unknown key.
class Object {
  public:
    Object(const json& value, std::string path) : value_(value), path_(std::move(path)) {
        if (!value_.is_object()) refuse(where(), "expected an object, not " + describe(value_));
    }
    const std::string& path() const { return path_; }
    std::string where() const { return path_.empty() ? "scenario" : path_; }
    std::string keyPath(const std::string& key) const {
        return path_.empty() ? key : path_ + "." + key;
    }
    const json* find(const std::string& key) {
        used_.insert(key);
        auto it = value_.find(key);
        return it == value_.end() ? nullptr : &*it;
    }
    bool has(const std::string& key) const { return value_.contains(key); }
    void refuseUnknownKeys(const std::vector<std::string>& known) const {
        for (auto it = value_.begin(); it != value_.end(); ++it)
            if (!used_.count(it.key())) {
                std::string list;
                for (const std::string& k : known) list += (list.empty() ? "" : ", ") + k;
                refuse(keyPath(it.key()), "unknown key (known here: " + list + ")");
            }
    }

  private:
    const json& value_;
    std::string path_;
    std::set<std::string> used_;
};

double number(const json& value, const std::string& path) {
    if (!value.is_number()) refuse(path, "expected a number, not " + describe(value));
    const double v = value.get<double>();
    if (!std::isfinite(v)) refuse(path, "not a finite number");
    return v;
}

double numberIn(Object& o, const std::string& key, double fallback, double low, double high,
                const char* range) {
    const json* v = o.find(key);
    if (!v) return fallback;
    const double x = number(*v, o.keyPath(key));
    if (!(x >= low && x <= high)) refuse(o.keyPath(key), std::string("must be ") + range);
    return x;
}

double positive(Object& o, const std::string& key, double fallback) {
    const json* v = o.find(key);
    if (!v) return fallback;
    const double x = number(*v, o.keyPath(key));
    if (!(x > 0)) refuse(o.keyPath(key), "must be positive");
    return x;
}

double requiredNotNegative(Object& o, const std::string& key) {
    const json* v = o.find(key);
    if (!v) refuse(o.keyPath(key), "missing");
    const double x = number(*v, o.keyPath(key));
    if (x < 0) refuse(o.keyPath(key), "must not be negative");
    return x;
}

std::int64_t integer(const json& value, const std::string& path, std::int64_t low,
                     std::int64_t high) {
    if (!value.is_number_integer() &&
        !(value.is_number_float() && std::floor(value.get<double>()) == value.get<double>()))
        refuse(path, "expected a whole number, not " + describe(value));
    const double asDouble = value.get<double>();
    if (!(asDouble >= double(low) && asDouble <= double(high)))
        refuse(path, "must be from " + std::to_string(low) + " to " + std::to_string(high));
    return value.is_number_integer() ? value.get<std::int64_t>() : std::int64_t(asDouble);
}

std::string text(const json& value, const std::string& path) {
    if (!value.is_string()) refuse(path, "expected a string, not " + describe(value));
    return value.get<std::string>();
}

std::array<std::int64_t, 3> triple(const json& value, const std::string& path, std::int64_t low,
                                   std::int64_t high) {
    if (!value.is_array() || value.size() != 3)
        refuse(path, "expected [X, Y, Z], not " + describe(value));
    std::array<std::int64_t, 3> result{};
    for (std::size_t a = 0; a < 3; ++a)
        result[a] = integer(value[a], path + "[" + std::to_string(a) + "]", low, high);
    return result;
}

// One positive number for every axis, or three.
std::array<double, 3> perAxis(const json& value, const std::string& path) {
    std::array<double, 3> result{};
    if (value.is_number()) {
        result.fill(number(value, path));
    } else if (value.is_array() && value.size() == 3) {
        for (std::size_t a = 0; a < 3; ++a) result[a] = number(value[a], path);
    } else {
        refuse(path, "expected a number or three, not " + describe(value));
    }
    for (double x : result)
        if (!(x > 0)) refuse(path, "must be positive");
    return result;
}

std::string gridText(const std::array<std::int64_t, 3>& s) {
    return std::to_string(s[0]) + " x " + std::to_string(s[1]) + " x " + std::to_string(s[2]);
}

// A NIfTI image on the grid, as 0/1 per voxel.
std::vector<std::uint8_t> readMask(const std::string& written, const fs::path& base,
                                   const Grid& grid, const std::string& path) {
    const std::string file = (base / written).lexically_normal().string();
    formats::Result<formats::VolumeSeries> image = formats::readNiftiSeries(file);
    if (!image) refuse(path, image.error());
    const auto& dims = image.value().grid.dims;
    const std::array<std::int64_t, 3> shape{dims[0], dims[1], dims[2]};
    if (shape != grid.shape)
        refuse(path, "grid " + gridText(shape) + " does not match " + gridText(grid.shape));
    const std::size_t voxels = std::size_t(grid.voxels());
    const std::size_t T = std::size_t(image.value().volumes);
    std::vector<std::uint8_t> mask(voxels);
    // The first volume decides (time courses are contiguous in the samples).
    for (std::size_t v = 0; v < voxels; ++v) mask[v] = image.value().samples[v * T] != 0.0f;
    return mask;
}

Grid readGrid(Object& root) {
    Grid grid;
    const json* g = root.find("grid");
    if (!g) return grid;
    Object o(*g, "grid");
    if (const json* v = o.find("shape")) grid.shape = triple(*v, "grid.shape", 1, kMaxAxisVoxels);
    if (const json* v = o.find("voxel_mm")) grid.voxelMm = perAxis(*v, "grid.voxel_mm");
    o.refuseUnknownKeys({"shape", "voxel_mm"});
    return grid;
}

// {"bids": DIR, "subject": "01", "task": "x", "run": 1}: a real study's run
// (formats/bids_design.h); its repetition time replaces the scenario's.
Design readBidsDesign(Object& o, const fs::path& base) {
    Design design;
    design.source = DesignSource::Bids;
    design.path = text(*o.find("bids"), o.keyPath("bids"));
    const json* subject = o.find("subject");
    const json* task = o.find("task");
    if (!subject) refuse(o.keyPath("subject"), "missing");
    if (!task) refuse(o.keyPath("task"), "missing");
    design.bidsSubject = text(*subject, o.keyPath("subject"));
    design.bidsTask = text(*task, o.keyPath("task"));
    if (const json* run = o.find("run"))
        design.bidsRun = int(integer(*run, o.keyPath("run"), 1, 1000000));
    o.refuseUnknownKeys({"bids", "subject", "task", "run"});
    formats::Result<formats::BidsDesign> read =
        formats::readBidsDesign((base / design.path).lexically_normal().string(),
                                design.bidsSubject, design.bidsTask, design.bidsRun);
    if (!read) refuse(o.keyPath("bids"), read.error());
    design.protocol = std::move(read.value().protocol);
    design.bidsRepetitionTime = read.value().repetitionTime;
    if (design.protocol.conditions.size() > 32767)  // truth labels are int16
        refuse(o.keyPath("bids"), "more than 32767 conditions");
    return design;
}

Design readDesign(Object& root, const fs::path& base, std::int64_t timePoints, double tr) {
    Design design;
    const json* d = root.find("design");
    if (!d) {
        design.protocol = formats::builtinBlockProtocol(int(timePoints));
        return design;
    }
    Object o(*d, "design");
    if (o.has("bids")) return readBidsDesign(o, base);
    const bool protocol = o.has("protocol"), events = o.has("events");
    if (o.has("builtin") && !protocol && !events) {
        // What toJson() writes for the built-in design; the text is a description.
        text(*o.find("builtin"), "design.builtin");
        o.refuseUnknownKeys({"builtin"});
        design.protocol = formats::builtinBlockProtocol(int(timePoints));
        return design;
    }
    if (protocol == events) refuse("design", "give exactly one of protocol and events");
    const std::string key = protocol ? "protocol" : "events";
    design.source = protocol ? DesignSource::Protocol : DesignSource::Events;
    design.path = text(*o.find(key), o.keyPath(key));
    o.refuseUnknownKeys({"protocol", "events"});
    const std::string file = (base / design.path).lexically_normal().string();
    formats::Result<std::string> bytes = formats::readFileBytes(file);
    if (!bytes) refuse(o.keyPath(key), bytes.error());
    formats::Result<formats::Protocol> parsed =
        protocol ? formats::parseProtocolText(bytes.value(), file)
                 : formats::parseEventsTsv(bytes.value(), file, tr);
    if (!parsed) refuse(o.keyPath(key), parsed.error());
    design.protocol = std::move(parsed).value();
    if (design.protocol.conditions.empty()) refuse(o.keyPath(key), "no conditions");
    if (design.protocol.conditions.size() > 32767)  // truth labels are int16
        refuse(o.keyPath(key), "more than 32767 conditions");
    return design;
}

std::string conditionList(const formats::Protocol& protocol) {
    std::string list;
    for (const auto& c : protocol.conditions) list += (list.empty() ? "" : ", ") + c.name;
    return list;
}

void readCondition(Object& o, const formats::Protocol& protocol, Region& region) {
    const json* c = o.find("condition");
    const std::string path = o.keyPath("condition");
    if (!c) refuse(path, "missing");
    const std::int64_t count = std::int64_t(protocol.conditions.size());
    if (c->is_number()) {
        const std::int64_t column = integer(*c, path, 1, count);
        region.conditionIndex = int(column - 1);
        region.condition = std::to_string(column);
        return;
    }
    region.condition = text(*c, path);
    for (std::size_t i = 0; i < protocol.conditions.size(); ++i)
        if (protocol.conditions[i].name == region.condition) {
            region.conditionIndex = int(i);
            return;
        }
    refuse(path, "no condition \"" + region.condition +
                     "\" (conditions: " + conditionList(protocol) + ")");
}

// The voxels within radius of the centre that lie on the grid, z, y, x upward.
std::vector<std::array<std::int64_t, 3>> sphereVoxels(const Grid& grid,
                                                      const std::array<std::int64_t, 3>& centre,
                                                      double radius) {
    std::vector<std::array<std::int64_t, 3>> voxels;
    const std::int64_t reach = std::int64_t(std::floor(radius));
    for (std::int64_t dz = -reach; dz <= reach; ++dz)
        for (std::int64_t dy = -reach; dy <= reach; ++dy)
            for (std::int64_t dx = -reach; dx <= reach; ++dx) {
                if (double(dx * dx + dy * dy + dz * dz) > radius * radius) continue;
                const std::array<std::int64_t, 3> p{centre[0] + dx, centre[1] + dy, centre[2] + dz};
                bool on = true;
                for (std::size_t a = 0; a < 3; ++a) on = on && p[a] >= 0 && p[a] < grid.shape[a];
                if (on) voxels.push_back(p);
            }
    return voxels;
}

Region readRegion(const json& value, const std::string& path, const Scenario& s,
                  const fs::path& base) {
    Object o(value, path);
    Region region;
    const json* name = o.find("name");
    if (!name) refuse(o.keyPath("name"), "missing");
    region.name = text(*name, o.keyPath("name"));
    if (region.name.empty()) refuse(o.keyPath("name"), "empty");
    readCondition(o, s.design.protocol, region);
    if (const json* v = o.find("percent")) region.percent = number(*v, o.keyPath("percent"));
    region.trialVariability = numberIn(o, "trial_variability", 0.0, 0.0, 1e6, "0 or more");
    const int shapes = int(o.has("sphere")) + int(o.has("voxels")) + int(o.has("mask"));
    if (shapes != 1) refuse(path, "give exactly one shape: sphere, voxels or mask");
    const std::int64_t largest = std::max({s.grid.shape[0], s.grid.shape[1], s.grid.shape[2]});
    if (const json* sphere = o.find("sphere")) {
        region.shape = RegionShape::Sphere;
        Object so(*sphere, o.keyPath("sphere"));
        const json* centre = so.find("center_voxel");
        if (!centre) refuse(so.keyPath("center_voxel"), "missing");
        region.centerVoxel = triple(*centre, so.keyPath("center_voxel"), 0, kMaxAxisVoxels);
        for (std::size_t a = 0; a < 3; ++a)
            if (region.centerVoxel[a] >= s.grid.shape[a])
                refuse(so.keyPath("center_voxel"),
                       "lies outside the grid " + gridText(s.grid.shape));
        region.radiusVoxels = numberIn(so, "radius_voxels", 2.0, 0.0, double(largest),
                                       "0 or more, at most the grid's largest side");
        so.refuseUnknownKeys({"center_voxel", "radius_voxels"});
        region.voxels = sphereVoxels(s.grid, region.centerVoxel, region.radiusVoxels);
    } else if (const json* voxels = o.find("voxels")) {
        region.shape = RegionShape::Voxels;
        const std::string vp = o.keyPath("voxels");
        if (!voxels->is_array() || voxels->empty()) refuse(vp, "expected a list of [x, y, z]");
        for (std::size_t i = 0; i < voxels->size(); ++i) {
            const std::string ip = vp + "[" + std::to_string(i) + "]";
            const auto p = triple((*voxels)[i], ip, 0, kMaxAxisVoxels);
            for (std::size_t a = 0; a < 3; ++a)
                if (p[a] >= s.grid.shape[a])
                    refuse(ip, "lies outside the grid " + gridText(s.grid.shape));
            region.voxels.push_back(p);
        }
    } else {
        region.shape = RegionShape::Mask;
        region.maskPath = text(*o.find("mask"), o.keyPath("mask"));
        const std::vector<std::uint8_t> mask =
            readMask(region.maskPath, base, s.grid, o.keyPath("mask"));
        for (std::int64_t z = 0; z < s.grid.shape[2]; ++z)
            for (std::int64_t y = 0; y < s.grid.shape[1]; ++y)
                for (std::int64_t x = 0; x < s.grid.shape[0]; ++x)
                    if (mask[std::size_t(s.grid.index(x, y, z))])
                        region.voxels.push_back({x, y, z});
    }
    if (region.voxels.empty()) refuse(path, "no voxel of the region lies on the grid");
    o.refuseUnknownKeys(
        {"name", "condition", "percent", "sphere", "voxels", "mask", "trial_variability"});
    return region;
}

Noise readNoise(Object& root, const Scenario& s) {
    Noise noise;
    const json* n = root.find("noise");
    if (!n) return noise;  // white system noise of sd 5
    Object o(*n, "noise");
    noise.system.reset();
    if (const json* v = o.find("system")) {
        Object c(*v, "noise.system");
        SystemNoise system;
        if (c.has("sd")) system.sd = requiredNotNegative(c, "sd");
        if (const json* d = c.find("distribution")) {
            const std::string name = text(*d, c.keyPath("distribution"));
            if (name == "rician")
                system.distribution = SystemDistribution::Rician;
            else if (name != "gaussian")
                refuse(c.keyPath("distribution"),
                       "\"" + name + "\" is neither \"gaussian\" nor \"rician\"");
        }
        c.refuseUnknownKeys({"sd", "distribution"});
        noise.system = system;
    }
    if (const json* v = o.find("temporal")) {
        Object c(*v, "noise.temporal");
        TemporalNoise temporal;
        temporal.sd = requiredNotNegative(c, "sd");
        const json* ar = c.find("ar");
        const std::string ap = c.keyPath("ar");
        if (!ar) refuse(ap, "missing");
        if (!ar->is_array() || ar->empty() || ar->size() > 64)
            refuse(ap, "expected a list of 1 to 64 coefficients");
        for (std::size_t i = 0; i < ar->size(); ++i)
            temporal.ar.push_back(number((*ar)[i], ap + "[" + std::to_string(i) + "]"));
        if (std::string problem = noise::arStationarityProblem(temporal.ar); !problem.empty())
            refuse(ap, problem);
        c.refuseUnknownKeys({"sd", "ar"});
        noise.temporal = temporal;
    }
    if (const json* v = o.find("drift")) {
        Object c(*v, "noise.drift");
        DriftNoise drift;
        drift.sd = requiredNotNegative(c, "sd");
        drift.cutoffSeconds = positive(c, "cutoff_s", drift.cutoffSeconds);
        if (noise::driftFunctionCount(std::size_t(s.timePoints), s.tr, drift.cutoffSeconds) == 0) {
            char line[160];
            std::snprintf(line, sizeof line,
                          "no cosine of the run (%.6g s) has a period longer than %.6g s",
                          double(s.timePoints) * s.tr, drift.cutoffSeconds);
            refuse(c.keyPath("cutoff_s"), line);
        }
        c.refuseUnknownKeys({"sd", "cutoff_s"});
        noise.drift = drift;
    }
    if (const json* v = o.find("physiological")) {
        Object c(*v, "noise.physiological");
        PhysiologicalNoise p;
        p.sd = requiredNotNegative(c, "sd");
        p.cardiacHz = positive(c, "cardiac_hz", p.cardiacHz);
        p.respiratoryHz = positive(c, "respiratory_hz", p.respiratoryHz);
        p.cardiacShare = numberIn(c, "cardiac_share", p.cardiacShare, 0.0, 1.0, "from 0 to 1");
        c.refuseUnknownKeys({"sd", "cardiac_hz", "respiratory_hz", "cardiac_share"});
        noise.physiological = p;
    }
    if (const json* v = o.find("spatial")) {
        Object c(*v, "noise.spatial");
        SpatialNoise spatial;
        spatial.sd = requiredNotNegative(c, "sd");
        const json* f = c.find("fwhm_mm");
        if (!f) refuse(c.keyPath("fwhm_mm"), "missing");
        spatial.fwhmMm = perAxis(*f, c.keyPath("fwhm_mm"));
        c.refuseUnknownKeys({"sd", "fwhm_mm"});
        noise.spatial = spatial;
    }
    o.refuseUnknownKeys({"system", "temporal", "drift", "physiological", "spatial"});
    return noise;
}

// What the plug-in's own job can do: its noise, baseline, amplitude and
// either one sphere of radius 2 (cluster mode) or voxel lists (VOI mode).
void checkPlugInScenario(const Scenario& s, const Object& root) {
    const std::string why = "the plug-in's generator ";
    if (root.has("seed")) refuse("seed", why + "has its own fixed seed");
    if (!s.mask.empty()) refuse("mask", why + "has no mask");
    if (s.baseline != 100.0) refuse("baseline", why + "has a baseline of 100");
    if (s.timePoints > 1000) refuse("time_points", why + "makes at most 1000 time points");
    const Noise& n = s.noise;
    const char* other = n.temporal        ? "temporal"
                        : n.drift         ? "drift"
                        : n.physiological ? "physiological"
                        : n.spatial       ? "spatial"
                                          : nullptr;
    if (other) refuse(std::string("noise.") + other, why + "has only white system noise");
    if (!n.system || n.system->sd != 5.0 || n.system->distribution != SystemDistribution::Gaussian)
        refuse("noise.system", why + "has white Gaussian system noise of sd 5 only");
    std::size_t spheres = 0;
    for (std::size_t i = 0; i < s.regions.size(); ++i) {
        const Region& r = s.regions[i];
        const std::string path = "regions[" + std::to_string(i) + "]";
        if (r.percent != 3.0) refuse(path + ".percent", why + "writes 3 % only");
        if (r.trialVariability != 0.0) refuse(path + ".trial_variability", why + "has none");
        if (r.shape == RegionShape::Mask)
            refuse(path + ".mask", why + "takes spheres or voxel lists");
        if (r.shape == RegionShape::Sphere) {
            ++spheres;
            if (r.radiusVoxels != 2.0)
                refuse(path + ".sphere.radius_voxels", why + "has spheres of radius 2 only");
        }
    }
    if (spheres > 1 || (spheres == 1 && s.regions.size() > 1))
        refuse("regions", why + "takes one sphere or voxel lists, not both or more spheres");
}

// subjects, runs and variability (scenario/group.h).
void readGroup(Object& root, Scenario& s) {
    if (const json* v = root.find("subjects")) s.subjects = int(integer(*v, "subjects", 1, 9999));
    if (const json* v = root.find("runs")) s.runs = int(integer(*v, "runs", 1, 999));
    if (const json* v = root.find("variability")) {
        Object o(*v, "variability");
        s.variability.percentSd = numberIn(o, "percent_sd", 0.0, 0.0, 1e6, "0 or more");
        s.variability.centerJitterVoxels =
            numberIn(o, "center_jitter_voxels", 0.0, 0.0, 1e6, "0 or more");
        s.variability.runPercentSd = numberIn(o, "run_percent_sd", 0.0, 0.0, 1e6, "0 or more");
        o.refuseUnknownKeys({"percent_sd", "center_jitter_voxels", "run_percent_sd"});
    }
    if (s.generator == Generator::PlugIn && (s.subjects > 1 || s.runs > 1))
        refuse(s.subjects > 1 ? "subjects" : "runs",
               "the plug-in generator simulates one run (its seed is fixed)");
    const Variability& v = s.variability;
    if (s.generator == Generator::PlugIn &&
        (v.percentSd > 0 || v.centerJitterVoxels > 0 || v.runPercentSd > 0))
        refuse("variability", "the plug-in generator simulates its own job, without variability");
}

Scenario readWhole(const json& document, const fs::path& base) {
    Object root(document, "");
    Scenario s;
    if (const json* v = root.find("name")) {
        s.name = text(*v, "name");
        if (s.name.empty() || s.name.find_first_of("/\\") != std::string::npos)
            refuse("name", "must be a file-name stem (not empty, no / or \\)");
    }
    s.grid = readGrid(root);
    if (const json* v = root.find("time_points"))
        s.timePoints = integer(*v, "time_points", 1, kMaxTimePoints);
    s.tr = numberIn(root, "tr", s.tr, 0.001, 10.0, "from 0.001 to 10 seconds");
    if (const json* v = root.find("mask")) {
        s.maskPath = text(*v, "mask");
        s.mask = readMask(s.maskPath, base, s.grid, "mask");
    }
    s.design = readDesign(root, base, s.timePoints, s.tr);
    if (s.design.source == DesignSource::Bids) {
        if (root.has("tr") && s.tr != s.design.bidsRepetitionTime)
            refuse("tr", "differs from the BIDS run's RepetitionTime " +
                             describe(json(s.design.bidsRepetitionTime)));
        s.tr = s.design.bidsRepetitionTime;
    }
    if (const json* v = root.find("baseline")) s.baseline = number(*v, "baseline");
    if (const json* v = root.find("regions")) {
        if (!v->is_array()) refuse("regions", "expected a list, not " + describe(*v));
        for (std::size_t i = 0; i < v->size(); ++i)
            s.regions.push_back(readRegion((*v)[i], "regions[" + std::to_string(i) + "]", s, base));
    }
    s.noise = readNoise(root, s);
    if (const json* v = root.find("seed")) {
        if (!v->is_number_unsigned() && !(v->is_number_integer() && v->get<std::int64_t>() >= 0))
            refuse("seed", "expected a whole number from 0 to 18446744073709551615");
        s.seed = v->get<std::uint64_t>();
    }
    if (const json* v = root.find("generator")) {
        const std::string name = text(*v, "generator");
        if (name == "plug-in")
            s.generator = Generator::PlugIn;
        else if (name != "philox")
            refuse("generator", "\"" + name + "\" is neither \"philox\" nor \"plug-in\"");
    }
    readGroup(root, s);
    root.refuseUnknownKeys({"name", "grid", "mask", "time_points", "tr", "design", "baseline",
                            "regions", "noise", "seed", "generator", "subjects", "runs",
                            "variability"});
    if (s.generator == Generator::PlugIn) checkPlugInScenario(s, root);
    if (std::string problem = memoryProblem(s, false); !problem.empty()) throw Refusal{problem};
    return s;
}

std::uint64_t physicalMemoryBytes() {
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
    if (pages > 0 && size > 0) return std::uint64_t(pages) * std::uint64_t(size);
#endif
    return UINT64_MAX;
}

}  // namespace

std::vector<std::array<std::int64_t, 3>> sphereOnGrid(const Grid& grid,
                                                      const std::array<std::int64_t, 3>& centre,
                                                      double radius) {
    return sphereVoxels(grid, centre, radius);
}

formats::Result<Scenario> readScenario(const json& document, const fs::path& baseFolder) {
    try {
        return readWhole(document, baseFolder);
    } catch (const Refusal& refusal) {
        return formats::Result<Scenario>::failure(refusal.text);
    }
}

formats::Result<Scenario> readScenarioFile(const fs::path& path) {
    formats::Result<std::string> bytes = formats::readFileBytes(path.string());
    if (!bytes) return formats::Result<Scenario>::failure(bytes.error());
    json document;
    try {
        document = json::parse(bytes.value());
    } catch (const json::parse_error& e) {
        // "[json.exception.parse_error.101] parse error at line 3, column 5: ..."
        const std::string what = e.what();
        const std::size_t at = what.find("] ");
        return formats::Result<Scenario>::failure(
            path.string() +
            ": not JSON: " + (at == std::string::npos ? what : what.substr(at + 2)));
    }
    return readScenario(document, path.parent_path());
}

std::uint64_t runBytes(const Scenario& s, bool components) {
    // In double first: sizes near the limits would overflow 64 bits.
    const double voxels = double(s.grid.voxels());
    double arrays = 1;
    if (components) {
        arrays += 1;  // the signal
        const Noise& n = s.noise;
        arrays += double(bool(n.system)) + bool(n.temporal) + bool(n.drift) +
                  bool(n.physiological) + bool(n.spatial);
    }
    const double bytes = voxels * double(s.timePoints) * sizeof(float) * arrays +
                         voxels * double(sizeof(std::int16_t) + 64);
    return bytes >= 1.8e19 ? UINT64_MAX : std::uint64_t(bytes);
}

std::string memoryProblem(const Scenario& s, bool components) {
    const std::uint64_t need = runBytes(s, components);
    const std::uint64_t have = physicalMemoryBytes();
    const std::uint64_t addressable = std::uint64_t(SIZE_MAX) / 2;
    char line[200];
    if (need > have || need > addressable) {
        std::snprintf(
            line, sizeof line,
            "grid: %s voxels x %lld time points need %.3g GB, more than the %.3g GB of %s",
            gridText(s.grid.shape).c_str(), static_cast<long long>(s.timePoints),
            double(need) / 1e9, double(std::min(have, addressable)) / 1e9,
            have <= addressable ? "memory" : "this build's address space");
        return line;
    }
    // A wide kernel needs its own working memory to set up the field.
    if (s.noise.spatial) {
        const double scratch =
            noise::spatialScratchFloats(s.grid.shape, s.grid.voxelMm, s.noise.spatial->fwhmMm) *
            sizeof(float);
        const double limit = double(std::min(have, addressable)) / 2;
        if (!(scratch <= limit)) {
            std::snprintf(line, sizeof line,
                          "noise.spatial.fwhm_mm: a kernel this wide on %s voxels needs %.3g GB "
                          "of working memory, more than half the %.3g GB of %s",
                          gridText(s.grid.shape).c_str(), scratch / 1e9,
                          double(std::min(have, addressable)) / 1e9,
                          have <= addressable ? "memory" : "this build's address space");
            return line;
        }
    }
    return {};
}

}  // namespace simtrove::scenario
