#include "analysis/json_report.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

namespace simtrove::analysis {
namespace {

using Json = nlohmann::ordered_json;

std::string dump(const Json& json, int indent) {
    return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

// A float as the shortest decimal that reads back to it, not as the double
// it widens to (4.9f, not 4.900000095367432).
Json single(float value) {
    if (!std::isfinite(value)) return nullptr;
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(value));
    for (int digits = 1; digits < 9; ++digits) {
        char shorter[32];
        std::snprintf(shorter, sizeof shorter, "%.*g", digits, double(value));
        if (std::strtof(shorter, nullptr) == value) return std::strtod(shorter, nullptr);
    }
    return std::strtod(text, nullptr);
}

Json real(double value) {
    if (!std::isfinite(value)) return nullptr;
    return value;
}

Json imageName(const ImageFile& image) {
    if (image.file.empty()) return nullptr;
    return image.file;
}

Json thresholdJson(const ThresholdCount& c) {
    Json o = {{"method", thresholdName(c.kind)},
              {"level", real(c.level)},
              {"p_cut", c.cut.passesNone ? Json(nullptr) : real(c.cut.cut)},
              {"inclusive", c.cut.inclusive},
              {"t_cut", c.cut.passesNone ? Json(nullptr) : single(c.tCut)},
              {"voxels", c.voxels},
              {"positive", c.positive},
              {"negative", c.negative}};
    if (c.truth) {
        o["true_positives"] = c.truth->truePositives;
        o["false_positives"] = c.truth->falsePositives;
        o["sensitivity"] = real(c.truth->sensitivity);
        o["false_discovery_proportion"] = real(c.truth->falseDiscoveryProportion);
    }
    return o;
}

Json truthJson(const TruthEvaluation& e) {
    Json points = Json::array();
    for (const auto& p : e.roc.points) points.push_back({real(p[0]), real(p[1])});
    return {{"columns", e.labels},
            {"planted_voxels", e.plantedVoxels},
            {"roc",
             {{"area", real(e.roc.area)},
              {"planted", e.roc.planted},
              {"noise", e.roc.noise},
              {"points", points}}}};
}

Json calibrationJson(const NullCalibration& c) {
    Json levels = Json::array();
    for (const CalibrationLevel& l : c.levels)
        levels.push_back({{"nominal", real(l.nominal)},
                          {"above", l.above},
                          {"rate", real(l.rate)},
                          {"interval", {real(l.low), real(l.high)}},
                          {"as_expected", l.asExpected}});
    Json qq = Json::array();
    for (const auto& q : c.qq) qq.push_back({real(q[0]), real(q[1])});
    Json expected = Json::array();
    for (const double e : c.histogramExpected) expected.push_back(real(e));
    return {{"noise_voxels", c.noiseVoxels},
            {"levels", levels},
            {"histogram",
             {{"edges", c.histogramEdges}, {"counts", c.histogramCounts}, {"expected", expected}}},
            {"qq", qq},
            {"signal_free", c.signalFree},
            {"family_wise_error", c.familyWiseError ? Json(*c.familyWiseError) : Json(nullptr)},
            {"false_discovery_proportion",
             c.falseDiscoveryProportion ? real(*c.falseDiscoveryProportion) : Json(nullptr)}};
}

Json clustersJson(const std::vector<Cluster>& clusters) {
    Json list = Json::array();
    for (const Cluster& c : clusters)
        list.push_back({{"voxels", c.voxels},
                        {"peak_t", single(c.peakT)},
                        {"peak_grid", c.peakGrid},
                        {"peak_mm", c.peakMm},
                        {"centre_mm", c.centreMm},
                        {"planted_voxels", c.plantedVoxels}});
    return list;
}

Json predictorJson(const PredictorSummary& s, const StatisticResult& r,
                   const PredictorFiles& files) {
    Json o = {{"name", s.name}, {"kind", s.contrast ? "contrast" : "predictor"}};
    o["expression"] = s.contrast ? Json(s.expression) : Json(nullptr);
    Json weights = Json::array();
    for (const double w : r.weights) weights.push_back(real(w));
    o["weights"] = weights;
    o["peak"] = {
        {"t", single(s.peakT)}, {"p", single(s.peakP)}, {"grid", s.peakGrid}, {"vmr", s.peakVmr}};
    o["voxels_above"] = s.voxelsAbove;
    o["positive_above"] = s.positiveAbove;
    o["negative_above"] = s.negativeAbove;
    o["mean_percent_signal_change"] =
        s.meanPercentChange ? real(*s.meanPercentChange) : Json(nullptr);
    o["variance_inflation"] = s.contrast ? Json(nullptr) : real(s.varianceInflation);
    Json thresholds = Json::array();
    for (const ThresholdCount& c : s.thresholds) thresholds.push_back(thresholdJson(c));
    o["thresholds"] = thresholds;
    o["truth"] = s.truth ? truthJson(*s.truth) : Json(nullptr);
    o["calibration"] = r.calibration ? calibrationJson(*r.calibration) : Json(nullptr);
    o["clusters"] = clustersJson(r.clusters);
    o["t_map"] = files.tMap;
    o["z_map"] = files.zMap;
    o["p_map"] = files.pMap;
    o["images"] = {{"slices", imageName(files.slices)},
                   {"planes", imageName(files.orthogonal)},
                   {"projections", imageName(files.projections)},
                   {"time_course", imageName(files.timeCourse)},
                   {"roc", imageName(files.roc)},
                   {"calibration", imageName(files.calibration)}};
    return o;
}

}  // namespace

std::string jsonString(std::string_view text) {
    return dump(Json(std::string(text)), -1);
}

std::string formatJsonReport(const ReportPage& page, const ReportResults& results) {
    const ReportSummary& summary = results.summary;
    const ModelResult& m = results.model;
    Json predictors = Json::array();
    for (std::size_t j = 0; j < summary.predictors.size(); ++j)
        predictors.push_back(
            predictorJson(summary.predictors[j], results.statistics[j],
                          j < page.predictors.size() ? page.predictors[j] : PredictorFiles{}));
    Json correlations = Json::array();
    for (const double r : m.correlations) correlations.push_back(real(r));
    Json parameters = Json::object();
    for (const SimulationParameter& p : results.source.simulation.parameters)
        parameters[p.name] = p.value;
    Json components = Json::array();
    for (const SimulationComponent& c : results.source.simulation.components)
        components.push_back(
            {{"name", c.name},
             {"requested_sd", c.requestedSd ? real(*c.requestedSd) : Json(nullptr)},
             {"realised_sd", c.realisedSd ? real(*c.realisedSd) : Json(nullptr)}});
    const Json root = {
        {"data", page.dataFile},
        {"design", page.designFile},
        {"truth", page.truthFile.empty() ? Json(nullptr) : Json(page.truthFile)},
        {"program_version", results.source.programVersion},
        {"date", results.source.date},
        {"simulation",
         {{"sidecar", results.source.simulation.file.empty()
                          ? Json(nullptr)
                          : Json(results.source.simulation.file)},
          {"parameters", parameters},
          {"components", components}}},
        {"grid",
         {{"dims", page.grid.dims},
          {"start", page.grid.start},
          {"resolution", page.grid.resolution}}},
        {"volumes", summary.volumes},
        {"repetition_time", real(results.source.repetitionTime)},
        {"voxels", summary.voxels},
        {"model",
         {{"noise_model", noiseModelName(m.noiseModel)},
          {"high_pass_seconds", m.highPassSeconds > 0.0 ? real(m.highPassSeconds) : Json(nullptr)},
          {"tail", tailName(m.tail)},
          {"smoothed_autocorrelation", m.smoothedAutocorrelation},
          {"columns", m.columns},
          {"column_kinds", m.columnKinds},
          {"correlations", correlations},
          {"rank", m.rank},
          {"white_noise_autocorrelation", real(m.whiteNoiseAutocorrelation)},
          {"median_autocorrelation", real(m.medianAutocorrelation)}}},
        {"degrees_of_freedom", summary.degreesOfFreedom},
        {"alpha", real(summary.alpha)},
        {"fdr_q", real(summary.levels.fdr)},
        {"p_uncorrected", real(summary.levels.uncorrected)},
        {"p_threshold", real(summary.pThreshold)},
        {"t_threshold", single(summary.tThreshold)},
        {"tsnr", real(summary.tsnr)},
        {"automatic_contrasts", page.automaticContrasts},
        {"images", {{"design", imageName(page.design)}, {"tsnr", imageName(page.tsnr)}}},
        {"predictors", predictors}};
    return dump(root, 2) + "\n";
}

}  // namespace simtrove::analysis
