#include "analysis/truth.h"

#include <cmath>

#include "formats/nifti.h"
#include "numerics/sort/sort.h"

namespace simtrove::analysis {
namespace {

using formats::readNiftiSeries;
using formats::Result;
using formats::VolumeGrid;
using formats::VolumeSeries;

constexpr double kPointStep = 1.0e-3;

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string gridText(const VolumeGrid& g, int volumes) {
    std::string text = std::to_string(g.dims[0]) + " x " + std::to_string(g.dims[1]) + " x " +
                       std::to_string(g.dims[2]);
    if (volumes != 1) text += " x " + std::to_string(volumes);
    return text + " voxels of edge " + std::to_string(g.resolution) + " from (" +
           std::to_string(g.start[0]) + ", " + std::to_string(g.start[1]) + ", " +
           std::to_string(g.start[2]) + ")";
}

}  // namespace

std::string truthPathFor(const std::string& dataPath) {
    for (const char* extension : {".nii.gz", ".nii", ".vtc"})
        if (endsWith(dataPath, extension))
            return dataPath.substr(0, dataPath.size() - std::string(extension).size()) +
                   "_truth.nii.gz";
    return {};
}

Result<std::vector<int>> readTruthMap(const std::string& path, const VolumeGrid& grid,
                                      int maxLabel) {
    using R = Result<std::vector<int>>;
    Result<VolumeSeries> image = readNiftiSeries(path);
    if (!image) return R::failure("truth map " + image.error());
    const VolumeSeries& s = image.value();
    if (s.volumes != 1 || s.grid.dims != grid.dims || s.grid.start != grid.start ||
        s.grid.resolution != grid.resolution)
        return R::failure("truth map " + path + ": its grid (" + gridText(s.grid, s.volumes) +
                          ") does not match the data's (" + gridText(grid, 1) + ")");
    std::vector<int> labels(s.samples.size());
    for (std::size_t v = 0; v < labels.size(); ++v) {
        const float value = s.samples[v];
        if (!(value >= 0.0f && value <= float(maxLabel)) || std::floor(value) != value)
            return R::failure("truth map " + path + ": voxel " + std::to_string(v) + " holds " +
                              std::to_string(value) +
                              "; expected 0 (noise) or a design-matrix column from 1 to " +
                              std::to_string(maxLabel));
        labels[v] = int(value);
    }
    return labels;
}

std::vector<std::uint8_t> plantedVoxels(std::span<const int> truth,
                                        const std::vector<int>& labels) {
    std::vector<std::uint8_t> planted(truth.size(), 0);
    for (std::size_t v = 0; v < truth.size(); ++v)
        for (const int label : labels)
            if (truth[v] != 0 && truth[v] == label) planted[v] = 1;
    return planted;
}

Detection countDetections(std::span<const float> p, const PCut& cut,
                          std::span<const std::uint8_t> planted) {
    Detection d;
    std::size_t plantedCount = 0;
    for (std::size_t v = 0; v < p.size(); ++v) {
        plantedCount += planted[v];
        if (!cut.passes(p[v])) continue;
        ++(planted[v] ? d.truePositives : d.falsePositives);
    }
    const std::size_t detected = d.truePositives + d.falsePositives;
    if (plantedCount) d.sensitivity = double(d.truePositives) / double(plantedCount);
    if (detected) d.falseDiscoveryProportion = double(d.falsePositives) / double(detected);
    return d;
}

RocCurve rocCurve(std::span<const float> t, std::span<const std::uint8_t> planted, Tail tail) {
    RocCurve roc;
    const std::size_t n = t.size();
    // Descending evidence with the flags alongside: the library's sort2 on its negative.
    std::vector<float> key(n + 1), flag(n + 1);
    for (std::size_t v = 0; v < n; ++v) {
        key[v + 1] = tail == Tail::Both ? -std::fabs(t[v]) : tail == Tail::Positive ? -t[v] : t[v];
        flag[v + 1] = planted[v] ? 1.0f : 0.0f;
        ++(planted[v] ? roc.planted : roc.noise);
    }
    sort2(std::uint32_t(n), key.data(), flag.data());
    roc.points.push_back({0.0, 0.0});
    if (roc.planted == 0 || roc.noise == 0) return roc;
    const double P = double(roc.planted), N = double(roc.noise);
    std::size_t tp = 0, fp = 0;
    double area = 0.0;
    for (std::size_t i = 1; i <= n;) {
        // One step per distinct |t|: tied voxels pass together.
        const std::size_t tp0 = tp, fp0 = fp;
        const float value = key[i];
        for (; i <= n && key[i] == value; ++i) ++(flag[i] != 0.0f ? tp : fp);
        area += (double(fp - fp0) / N) * (double(tp + tp0) / (2.0 * P));
        const std::array<double, 2> point{double(fp) / N, double(tp) / P};
        const std::array<double, 2>& last = roc.points.back();
        if (i > n || point[0] - last[0] >= kPointStep || point[1] - last[1] >= kPointStep)
            roc.points.push_back(point);
    }
    roc.area = area;
    return roc;
}

}  // namespace simtrove::analysis
