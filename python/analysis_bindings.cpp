#include "python/analysis_bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/contrast.h"
#include "analysis/glm.h"
#include "analysis/report_command.h"
#include "analysis/thresholds.h"
#include "analysis/truth.h"
#include "formats/design_matrix.h"
#include "numerics/stats/significance.h"

namespace simtrove::python {
namespace {

namespace py = pybind11;
using namespace simtrove::analysis;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct Request {
    std::vector<std::string> names;  // the design's predictors
    int volumes = 0;
    std::vector<float> design;  // predictor after predictor
    std::vector<std::string> contrasts;
    std::vector<std::string> exclude;
    ThresholdLevels levels;
};

// One statistic at one threshold, against the truth when there is one.
struct DetectionRow {
    int statistic = 0;
    ThresholdKind kind = ThresholdKind::Bonferroni;
    double level = 0.0, pCut = 0.0, tCut = 0.0;
    std::size_t detected = 0, positive = 0, negative = 0;
    std::size_t planted = 0, noise = 0, truePositives = 0, falsePositives = 0;
    double sensitivity = kNaN, fdp = kNaN, fpr = kNaN, rocArea = kNaN;
};

struct Outcome {
    std::uint32_t degreesOfFreedom = 0;
    bool automatic = false;
    std::vector<std::string> names, expressions;
    std::vector<int> statistics;  // index among the maps' t maps
    GlmMaps maps;
    std::vector<DetectionRow> rows;
    std::vector<std::vector<std::array<double, 2>>> roc;  // per statistic, empty without truth
};

// The model's predictors (the design without `exclude`) and the 1-based
// column in the design of each; an unknown name is refused as the report does.
std::vector<int> keptColumns(const Request& r) {
    for (const std::string& name : r.exclude)
        if (std::find(r.names.begin(), r.names.end(), name) == r.names.end())
            throw std::invalid_argument("--exclude " + name +
                                        ": the design matrix has no such predictor");
    std::vector<int> kept;
    for (std::size_t j = 0; j < r.names.size(); ++j)
        if (std::find(r.exclude.begin(), r.exclude.end(), r.names[j]) == r.exclude.end())
            kept.push_back(int(j) + 1);
    return kept;
}

std::vector<float> pValues(std::span<const float> t, std::uint32_t df) {
    std::vector<float> p(t.size());
    for (std::size_t v = 0; v < t.size(); ++v) p[v] = t_prob(t[v], df);
    return p;
}

// The report's figures for one statistic, with the false-positive rate among
// the noise-only voxels that hold data (a voxel whose time course is constant,
// such as one outside the mask, is neither planted nor noise).
void evaluate(Outcome& o, int s, std::span<const int> truth, const std::vector<int>& tested,
              const ThresholdLevels& levels) {
    const std::span<const float> t = o.maps.tMap(o.statistics[std::size_t(s)]);
    const std::vector<float> p = pValues(t, o.degreesOfFreedom);
    const bool hasTruth = !truth.empty();
    std::vector<std::uint8_t> planted =
        hasTruth ? plantedVoxels(truth, tested) : std::vector<std::uint8_t>(t.size(), 0);
    std::vector<float> tData;
    std::vector<std::uint8_t> plantedData;
    for (std::size_t v = 0; v < t.size(); ++v) {
        if (!(o.maps.residualSd[v] > 0.0f)) continue;
        tData.push_back(t[v]);
        plantedData.push_back(planted[v]);
    }
    const RocCurve roc = rocCurve(tData, plantedData);
    o.roc.push_back(hasTruth ? roc.points : std::vector<std::array<double, 2>>{});
    for (const ThresholdKind kind : kThresholdKinds) {
        DetectionRow row;
        row.statistic = s;
        row.kind = kind;
        row.level = thresholdLevel(kind, levels);
        const PCut cut = resolveThreshold(kind, levels, p);
        row.pCut = cut.passesNone ? 0.0 : cut.cut;
        if (!cut.passesNone && cut.cut > 0.0)
            row.tCut = critical_t(float(cut.cut), o.degreesOfFreedom);
        for (std::size_t v = 0; v < p.size(); ++v) {
            if (!cut.passes(p[v])) continue;
            ++row.detected;
            ++(t[v] > 0.0f ? row.positive : row.negative);
            if (hasTruth) ++(planted[v] ? row.truePositives : row.falsePositives);
        }
        if (hasTruth) {
            row.planted = roc.planted;
            row.noise = roc.noise;
            if (row.planted) row.sensitivity = double(row.truePositives) / double(row.planted);
            row.fdp = row.detected ? double(row.falsePositives) / double(row.detected) : 0.0;
            if (row.noise) row.fpr = double(row.falsePositives) / double(row.noise);
            if (row.planted && row.noise) row.rocArea = roc.area;
        }
        o.rows.push_back(row);
    }
}

// The report's statistics and evaluation: the predictors and the contrasts,
// or each condition against the others when the conditions fill the run and
// neither a contrast nor an exclusion was asked for.
Outcome analyse(const Request& r, std::span<const float> samples, std::span<const int> truth) {
    const std::vector<int> kept = keptColumns(r);
    std::vector<std::string> names;
    std::vector<float> design;
    for (const int column : kept) {
        names.push_back(r.names[std::size_t(column - 1)]);
        const auto first = r.design.begin() + std::ptrdiff_t(std::size_t(column - 1) * r.volumes);
        design.insert(design.end(), first, first + r.volumes);
    }
    std::string error;
    const std::optional<GlmModel> model =
        GlmModel::create(design, int(names.size()), r.volumes, &error);
    if (!model) throw std::invalid_argument(error);
    std::vector<Contrast> contrasts;
    for (const std::string& text : r.contrasts) {
        formats::Result<Contrast> c = parseContrast(text, names);
        if (!c) throw std::invalid_argument(c.error());
        contrasts.push_back(std::move(c.value()));
    }
    Outcome o;
    if (contrasts.empty() && r.exclude.empty() && names.size() >= 2 &&
        model->constantExplained() > kFillsRun) {
        contrasts = eachAgainstOthers(names);
        o.automatic = true;
    }
    std::vector<FittedContrast> fitted;
    for (const Contrast& c : contrasts) {
        formats::Result<FittedContrast> f = fitContrast(*model, c);
        if (!f) throw std::invalid_argument(f.error());
        fitted.push_back(std::move(f.value()));
    }
    o.maps = fitVoxels(*model, samples, fitted);
    o.degreesOfFreedom = o.maps.degreesOfFreedom;
    std::vector<std::vector<int>> tested;
    if (!o.automatic)
        for (std::size_t j = 0; j < names.size(); ++j) {
            o.names.push_back(names[j]);
            o.expressions.emplace_back();
            o.statistics.push_back(int(j));
            tested.push_back({kept[j]});
        }
    for (std::size_t c = 0; c < contrasts.size(); ++c) {
        o.names.push_back(contrasts[c].name);
        o.expressions.push_back(contrasts[c].expression);
        o.statistics.push_back(int(names.size() + c));
        std::vector<int> columns;
        for (std::size_t j = 0; j < contrasts[c].weights.size(); ++j)
            if (contrasts[c].weights[j] != 0.0) columns.push_back(kept[j]);
        tested.push_back(std::move(columns));
    }
    for (std::size_t s = 0; s < o.statistics.size(); ++s)
        evaluate(o, int(s), truth, tested[s], r.levels);
    return o;
}

py::array_t<float> tMaps(const Outcome& o) {
    const std::size_t voxels = o.maps.voxels;
    py::array_t<float> out({o.statistics.size(), voxels});
    float* dst = out.mutable_data();
    for (std::size_t s = 0; s < o.statistics.size(); ++s) {
        const std::span<const float> t = o.maps.tMap(o.statistics[s]);
        std::copy(t.begin(), t.end(), dst + s * voxels);
    }
    return out;
}

py::dict toPython(const Outcome& o) {
    py::dict d;
    d["degrees_of_freedom"] = o.degreesOfFreedom;
    d["automatic_contrasts"] = o.automatic;
    d["names"] = o.names;
    d["expressions"] = o.expressions;
    d["t"] = tMaps(o);
    py::list rows;
    for (const DetectionRow& r : o.rows) {
        py::dict row;
        row["statistic"] = o.names[std::size_t(r.statistic)];
        row["threshold"] = thresholdName(r.kind);
        row["level"] = r.level;
        row["p_cut"] = r.pCut;
        row["t_cut"] = r.tCut;
        row["detected"] = r.detected;
        row["positive"] = r.positive;
        row["negative"] = r.negative;
        row["planted"] = r.planted;
        row["noise"] = r.noise;
        row["true_positives"] = r.truePositives;
        row["false_positives"] = r.falsePositives;
        row["sensitivity"] = r.sensitivity;
        row["false_discovery_proportion"] = r.fdp;
        row["false_positive_rate"] = r.fpr;
        row["roc_area"] = r.rocArea;
        rows.append(row);
    }
    d["detections"] = rows;
    py::list roc;
    for (const auto& points : o.roc) {
        py::array_t<double> a({points.size(), std::size_t(2)});
        double* dst = a.mutable_data();
        for (std::size_t i = 0; i < points.size(); ++i)
            dst[2 * i] = points[i][0], dst[2 * i + 1] = points[i][1];
        roc.append(a);
    }
    d["roc"] = roc;
    return d;
}

template <typename T>
std::span<const T> contiguous(const py::array_t<T, py::array::c_style | py::array::forcecast>& a) {
    return {a.data(), std::size_t(a.size())};
}

}  // namespace

void bindAnalysis(py::module_& m) {
    m.def(
        "read_design_matrix",
        [](const std::string& path) {
            formats::Result<formats::DesignFile> read = formats::readDesignMatrix(path);
            if (!read) throw std::invalid_argument(read.error());
            const formats::DesignFile& d = read.value();
            py::array_t<float> values({d.names.size(), std::size_t(d.volumes)});
            std::copy(d.values.begin(), d.values.end(), values.mutable_data());
            return py::make_tuple(d.names, values);
        },
        py::arg("path"),
        "The predictors' names and values (one row per predictor) of a design file.");
    m.def(
        "analyse",
        [](const py::array_t<float, py::array::c_style | py::array::forcecast>& samples,
           std::vector<std::string> names,
           const py::array_t<float, py::array::c_style | py::array::forcecast>& design,
           const std::optional<py::array_t<int, py::array::c_style | py::array::forcecast>>& truth,
           std::vector<std::string> contrasts, std::vector<std::string> exclude, double alpha,
           double fdr, double p) {
            if (design.ndim() != 2 || std::size_t(design.shape(0)) != names.size())
                throw std::invalid_argument(
                    "design: expected one row of values per predictor name");
            Request r;
            r.names = std::move(names);
            r.volumes = int(design.shape(1));
            const std::span<const float> values = contiguous(design);
            r.design.assign(values.begin(), values.end());
            r.contrasts = std::move(contrasts);
            r.exclude = std::move(exclude);
            r.levels = {alpha, fdr, p};
            if (r.volumes < 1 || samples.size() % r.volumes != 0)
                throw std::invalid_argument("data: " + std::to_string(samples.size()) +
                                            " samples are not whole time courses of " +
                                            std::to_string(r.volumes) + " volumes");
            const std::size_t voxels = std::size_t(samples.size()) / std::size_t(r.volumes);
            std::span<const int> labels;
            if (truth) {
                labels = contiguous(*truth);
                if (labels.size() != voxels)
                    throw std::invalid_argument("truth: " + std::to_string(labels.size()) +
                                                " labels for " + std::to_string(voxels) +
                                                " voxels");
            }
            Outcome o;
            {
                py::gil_scoped_release release;
                o = analyse(r, contiguous(samples), labels);
            }
            return toPython(o);
        },
        py::arg("samples"), py::arg("names"), py::arg("design"), py::arg("truth"),
        py::arg("contrasts"), py::arg("exclude"), py::arg("alpha"), py::arg("fdr"), py::arg("p"),
        "Fits the report's model to samples in voxel order, each time course contiguous.");
}

}  // namespace simtrove::python
