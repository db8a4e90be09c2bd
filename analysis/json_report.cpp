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

Json predictorJson(const PredictorSummary& s, const PredictorFiles& files) {
    Json o = {{"name", s.name}, {"kind", s.contrast ? "contrast" : "predictor"}};
    if (s.contrast) o["expression"] = s.expression;
    o["peak"] = {
        {"t", single(s.peakT)}, {"p", single(s.peakP)}, {"grid", s.peakGrid}, {"vmr", s.peakVmr}};
    o["voxels_above"] = s.voxelsAbove;
    o["positive_above"] = s.positiveAbove;
    o["negative_above"] = s.negativeAbove;
    o["mean_percent_signal_change"] =
        s.meanPercentChange ? real(*s.meanPercentChange) : Json(nullptr);
    o["variance_inflation"] = real(s.varianceInflation);
    Json thresholds = Json::array();
    for (const ThresholdCount& c : s.thresholds) thresholds.push_back(thresholdJson(c));
    o["thresholds"] = thresholds;
    o["truth"] = s.truth ? truthJson(*s.truth) : Json(nullptr);
    o["t_map"] = files.tMap;
    o["images"] = {{"slices", imageName(files.slices)},
                   {"time_course", imageName(files.timeCourse)},
                   {"roc", imageName(files.roc)}};
    return o;
}

}  // namespace

std::string jsonString(std::string_view text) {
    return dump(Json(std::string(text)), -1);
}

std::string formatJsonReport(const ReportPage& page, const ReportSummary& summary) {
    Json predictors = Json::array();
    for (std::size_t j = 0; j < summary.predictors.size(); ++j)
        predictors.push_back(predictorJson(summary.predictors[j], j < page.predictors.size()
                                                                      ? page.predictors[j]
                                                                      : PredictorFiles{}));
    const Json root = {
        {"data", page.dataFile},
        {"design", page.designFile},
        {"truth", page.truthFile.empty() ? Json(nullptr) : Json(page.truthFile)},
        {"grid",
         {{"dims", page.grid.dims},
          {"start", page.grid.start},
          {"resolution", page.grid.resolution}}},
        {"volumes", summary.volumes},
        {"voxels", summary.voxels},
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
