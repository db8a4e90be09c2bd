#include "analysis/json_report.h"

#include <cmath>
#include <cstdio>

namespace simtrove::analysis {
namespace {

std::string number(double value, int digits) {
    if (!std::isfinite(value)) return "null";
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

std::string single(float value) {
    return number(value, 9);
}
std::string real(double value) {
    return number(value, 17);
}

std::string triple(const std::array<int, 3>& v) {
    char text[48];
    std::snprintf(text, sizeof text, "[%d, %d, %d]", v[0], v[1], v[2]);
    return text;
}

class JsonObject {
  public:
    explicit JsonObject(int indent) : indent_(indent) {}
    JsonObject& raw(std::string_view key, const std::string& value) {
        text_ += first_ ? "{\n" : ",\n";
        first_ = false;
        text_ += std::string(std::size_t(indent_ + 2), ' ') + jsonString(key) + ": " + value;
        return *this;
    }
    JsonObject& text(std::string_view key, std::string_view value) {
        return raw(key, jsonString(value));
    }
    std::string str() const {
        return first_ ? "{}" : text_ + "\n" + std::string(std::size_t(indent_), ' ') + "}";
    }

  private:
    int indent_;
    bool first_ = true;
    std::string text_;
};

std::string predictorJson(const PredictorSummary& s, const PredictorFiles& files) {
    JsonObject peak(6);
    peak.raw("t", single(s.peakT))
        .raw("p", single(s.peakP))
        .raw("grid", triple(s.peakGrid))
        .raw("vmr", triple(s.peakVmr));
    JsonObject images(6);
    images.text("slices", files.slices.file).text("time_course", files.timeCourse.file);
    JsonObject o(4);
    o.text("name", s.name)
        .raw("peak", peak.str())
        .raw("voxels_above", std::to_string(s.voxelsAbove))
        .raw("positive_above", std::to_string(s.positiveAbove))
        .raw("negative_above", std::to_string(s.negativeAbove))
        .raw("mean_percent_signal_change",
             s.meanPercentChange ? real(*s.meanPercentChange) : "null")
        .raw("variance_inflation", real(s.varianceInflation))
        .text("t_map", files.tMap)
        .raw("images", images.str());
    return o.str();
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
                    out += escape;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string formatJsonReport(const ReportPage& page, const ReportSummary& summary) {
    JsonObject grid(2);
    grid.raw("dims", triple(page.grid.dims))
        .raw("start", triple(page.grid.start))
        .raw("resolution", std::to_string(page.grid.resolution));
    JsonObject images(2);
    images.text("design", page.design.file).text("tsnr", page.tsnr.file);
    std::string predictors = "[";
    for (std::size_t j = 0; j < summary.predictors.size(); ++j) {
        predictors += j ? ",\n    " : "\n    ";
        predictors +=
            predictorJson(summary.predictors[j],
                          j < page.predictors.size() ? page.predictors[j] : PredictorFiles{});
    }
    predictors += summary.predictors.empty() ? "]" : "\n  ]";
    JsonObject root(0);
    root.text("data", page.dataFile)
        .text("design", page.designFile)
        .raw("grid", grid.str())
        .raw("volumes", std::to_string(summary.volumes))
        .raw("voxels", std::to_string(summary.voxels))
        .raw("degrees_of_freedom", std::to_string(summary.degreesOfFreedom))
        .raw("alpha", real(summary.alpha))
        .raw("p_threshold", real(summary.pThreshold))
        .raw("t_threshold", single(summary.tThreshold))
        .raw("tsnr", real(summary.tsnr))
        .raw("images", images.str())
        .raw("predictors", predictors);
    return root.str() + "\n";
}

}  // namespace simtrove::analysis
