#include "python/analysis_bindings.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/report_analysis.h"
#include "analysis/report_command.h"
#include "formats/design_matrix.h"

namespace simtrove::python {
namespace {

namespace py = pybind11;
using namespace simtrove::analysis;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

using FloatArray = py::array_t<float, py::array::forcecast>;
using IntArray = py::array_t<int, py::array::forcecast>;

// The report's options from its own command-line parser, so that every check
// and message is the report's.
ReportOptions parseOptions(std::vector<std::string> args) {
    args.insert(args.begin(), {"data", "--design", "design"});
    formats::Result<ReportOptions> parsed = parseReportArguments(args);
    if (!parsed) throw std::invalid_argument(parsed.error());
    return parsed.value();
}

// X x Y x Z x T samples of any strides into the report's layout: voxel after
// voxel (x fastest), each time course contiguous.
std::vector<float> voxelMajor(const FloatArray& data) {
    if (data.ndim() != 4) throw std::invalid_argument("data: expected X x Y x Z x T");
    const auto a = data.unchecked<4>();
    const py::ssize_t X = a.shape(0), Y = a.shape(1), Z = a.shape(2), T = a.shape(3);
    std::vector<float> out(std::size_t(X * Y * Z * T));
    for (py::ssize_t t = 0; t < T; ++t)
        for (py::ssize_t z = 0; z < Z; ++z)
            for (py::ssize_t y = 0; y < Y; ++y)
                for (py::ssize_t x = 0; x < X; ++x)
                    out[std::size_t(((z * Y + y) * X + x) * T + t)] = a(x, y, z, t);
    return out;
}

std::vector<int> voxelLabels(const IntArray& truth, const formats::VolumeGrid& grid) {
    if (truth.ndim() != 3 || truth.shape(0) != grid.dims[0] || truth.shape(1) != grid.dims[1] ||
        truth.shape(2) != grid.dims[2])
        throw std::invalid_argument("truth: expected one label per voxel of the data's grid");
    const auto a = truth.unchecked<3>();
    std::vector<int> out(grid.voxels());
    for (int z = 0; z < grid.dims[2]; ++z)
        for (int y = 0; y < grid.dims[1]; ++y)
            for (int x = 0; x < grid.dims[0]; ++x) out[grid.index(x, y, z)] = a(x, y, z);
    return out;
}

// Voxels whose time course varies: those outside a mask are constant, and
// are neither signal nor noise.
std::vector<std::uint8_t> varyingVoxels(const std::vector<float>& samples, int volumes) {
    const std::size_t voxels = samples.size() / std::size_t(volumes);
    std::vector<std::uint8_t> varying(voxels, 0);
    for (std::size_t v = 0; v < voxels; ++v) {
        const float* s = &samples[v * std::size_t(volumes)];
        varying[v] = std::any_of(s + 1, s + volumes, [&](float x) { return x != s[0]; });
    }
    return varying;
}

py::array_t<float> voxelMap(const std::vector<float>& values) {
    py::array_t<float> out(py::ssize_t(values.size()));
    std::copy(values.begin(), values.end(), out.mutable_data());
    return out;
}

py::array_t<double> points(const std::vector<std::array<double, 2>>& p) {
    py::array_t<double> out({py::ssize_t(p.size()), py::ssize_t(2)});
    double* dst = out.mutable_data();
    for (std::size_t i = 0; i < p.size(); ++i) dst[2 * i] = p[i][0], dst[2 * i + 1] = p[i][1];
    return out;
}

// One row per threshold of a statistic: the report's counts and truth
// figures, and the false-positive rate among the noise-only voxels (label 0)
// that hold data.
py::list detectionRows(const PredictorSummary& s, const std::vector<int>& truth,
                       const std::vector<std::uint8_t>& varying) {
    std::size_t noise = 0;
    for (std::size_t v = 0; v < truth.size(); ++v) noise += truth[v] == 0 && varying[v];
    py::list rows;
    for (const ThresholdCount& c : s.thresholds) {
        py::dict row;
        row["statistic"] = s.name;
        row["threshold"] = thresholdName(c.kind);
        row["level"] = c.level;
        row["t_cut"] = c.cut.passesNone ? kNaN : double(c.tCut);
        row["detected"] = c.voxels;
        double planted = kNaN, tp = kNaN, fp = kNaN, sensitivity = kNaN, fdp = kNaN, fpr = kNaN;
        double area = kNaN;
        if (!truth.empty()) {
            std::size_t noiseAbove = 0;
            for (std::size_t v = 0; v < truth.size(); ++v)
                noiseAbove += truth[v] == 0 && varying[v] && c.cut.passes(s.p[v]);
            if (noise) fpr = double(noiseAbove) / double(noise);
            if (c.truth) {
                planted = double(s.truth->plantedVoxels);
                tp = double(c.truth->truePositives);
                fp = double(c.truth->falsePositives);
                sensitivity = c.truth->sensitivity;
                fdp = c.voxels ? c.truth->falseDiscoveryProportion : 0.0;
                area = s.truth->roc.area;
            } else {  // nothing planted: every detection is false
                planted = 0.0, tp = 0.0, fp = double(c.voxels);
                fdp = c.voxels ? 1.0 : 0.0;
            }
        }
        row["planted"] = planted;
        row["noise"] = truth.empty() ? kNaN : double(noise);
        row["true_positives"] = tp;
        row["false_positives"] = fp;
        row["sensitivity"] = sensitivity;
        row["false_discovery_proportion"] = fdp;
        row["false_positive_rate"] = fpr;
        row["roc_area"] = area;
        rows.append(row);
    }
    return rows;
}

py::dict toPython(const ReportResults& r, const std::vector<std::uint8_t>& varying) {
    py::dict d;
    d["degrees_of_freedom"] = r.model.degreesOfFreedom;
    d["automatic_contrasts"] = r.model.automaticContrasts;
    d["noise_model"] = noiseModelName(r.model.noiseModel);
    d["tail"] = tailName(r.model.tail);
    d["columns"] = r.model.columns;
    d["median_autocorrelation"] = r.model.medianAutocorrelation;
    py::list names, expressions, weights, t, p, detections, roc, calibration;
    for (std::size_t j = 0; j < r.summary.predictors.size(); ++j) {
        const PredictorSummary& s = r.summary.predictors[j];
        const StatisticResult& st = r.statistics[j];
        names.append(s.name);
        expressions.append(s.expression);
        weights.append(st.weights);
        t.append(voxelMap(st.t));
        p.append(voxelMap(s.p));
        for (const auto& row : detectionRows(s, r.truth, varying)) detections.append(row);
        roc.append(s.truth ? points(s.truth->roc.points) : points({}));
        if (st.calibration)
            for (const CalibrationLevel& level : st.calibration->levels) {
                py::dict row;
                row["statistic"] = s.name;
                row["nominal"] = level.nominal;
                row["above"] = level.above;
                row["noise"] = st.calibration->noiseVoxels;
                row["rate"] = level.rate;
                row["low"] = level.low;
                row["high"] = level.high;
                row["as_expected"] = level.asExpected;
                calibration.append(row);
            }
    }
    d["names"] = names;
    d["expressions"] = expressions;
    d["weights"] = weights;
    d["t"] = t;
    d["p"] = p;
    d["detections"] = detections;
    d["roc"] = roc;
    d["calibration"] = calibration;
    return d;
}

py::dict analyse(const FloatArray& data, double repetitionTime, double voxelMm,
                 const std::vector<std::string>& names, const FloatArray& design,
                 const std::optional<IntArray>& truth, const std::vector<std::string>& args) {
    const ReportOptions options = parseOptions(args);
    ReportInput input;
    input.dataLabel = "data";
    input.designLabel = "design";
    if (data.ndim() != 4) throw std::invalid_argument("data: expected X x Y x Z x T");
    for (int axis = 0; axis < 3; ++axis) input.grid.dims[std::size_t(axis)] = int(data.shape(axis));
    input.grid.resolution = std::max(1, int(std::lround(voxelMm)));
    input.volumes = int(data.shape(3));
    input.repetitionTime = float(repetitionTime);
    if (design.ndim() != 2 || std::size_t(design.shape(0)) != names.size())
        throw std::invalid_argument("design: expected one row of values per predictor name");
    input.design.names = names;
    input.design.volumes = int(design.shape(1));
    const auto values = design.unchecked<2>();
    for (py::ssize_t j = 0; j < values.shape(0); ++j)
        for (py::ssize_t k = 0; k < values.shape(1); ++k)
            input.design.values.push_back(values(j, k));
    if (truth) {
        input.truth = voxelLabels(*truth, input.grid);
        input.truthLabel = "truth";
    }
    input.samples = voxelMajor(data);
    applyModelOptions(options, &input);
    input.date = "-";  // no page: no clock
    std::vector<std::uint8_t> varying;
    formats::Result<ReportResults> results = [&] {
        py::gil_scoped_release release;
        varying = varyingVoxels(input.samples, std::max(input.volumes, 1));
        return analyseReport(input);
    }();
    if (!results) throw std::invalid_argument(results.error());
    return toPython(results.value(), varying);
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
    m.def("analyse", &analyse, py::arg("data"), py::arg("repetition_time"), py::arg("voxel_mm"),
          py::arg("names"), py::arg("design"), py::arg("truth"), py::arg("args"),
          "The report's analysis of X x Y x Z x T data; args are the report's options.");
}

}  // namespace simtrove::python
