#include "analysis/html_report.h"

#include <cctype>
#include <cstdio>

#include "analysis/text_format.h"

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;max-width:1100px;margin:1.5em auto;padding:0 1em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:2em;border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:.8em 0}"
    "th,td{border:1px solid #bbb;padding:.25em .7em;text-align:left}"
    "th{background:#f2f2f2;font-weight:normal}td.n{text-align:right;font-variant-numeric:"
    "tabular-nums}figure{margin:1em 0}img{max-width:100%;height:auto;border:1px solid #ddd}"
    "figcaption{font-size:.9em;color:#555}.warn{background:#fff4e0;border-left:4px solid #d55e00;"
    "padding:.5em .8em}.note{background:#eef6fb;border-left:4px solid #0072b2;padding:.5em .8em}"
    "table.thresholds td,table.thresholds th{text-align:right}";

// Variance inflation above this is worth a warning on the page.
constexpr double kInflationWarning = 10.0;

std::string pValue(double p) {
    return p < 1e-4 ? formatNumber("%.2e", p) : formatNumber("%.4f", p);
}

std::string figure(const ImageFile& image) {
    if (image.file.empty()) return {};
    return "<figure><img src=\"" + htmlEscape(image.file) + "\" width=\"" +
           std::to_string(image.width) + "\" height=\"" + std::to_string(image.height) +
           "\" alt=\"" + htmlEscape(image.caption) + "\"><figcaption>" + htmlEscape(image.caption) +
           (image.svg.empty() ? std::string()
                              : " (<a href=\"" + htmlEscape(image.svg) + "\">SVG</a>)") +
           "</figcaption></figure>\n";
}

std::string row(const std::string& label, const std::string& value, bool numeric = true) {
    return "<tr><th>" + label + "</th><td" + (numeric ? " class=\"n\"" : "") + ">" + value +
           "</td></tr>\n";
}

std::string cell(const std::string& text) {
    return "<td class=\"n\">" + text + "</td>";
}

// Voxels above each threshold in one table; with a truth evaluation also the
// detections against the truth.
std::string thresholdTable(const PredictorSummary& s) {
    const bool truth = s.truth.has_value();
    std::string html =
        "<table class=\"thresholds\">\n<tr><th>threshold</th><th>level</th><th>p cut</th>"
        "<th>|t| cut</th><th>voxels (positive, negative)</th>";
    if (truth)
        html +=
            "<th>true positives</th><th>false positives</th><th>sensitivity</th>"
            "<th>false discovery proportion</th>";
    html += "</tr>\n";
    for (const ThresholdCount& c : s.thresholds) {
        html += "<tr><th>" + htmlEscape(thresholdName(c.kind)) + "</th>" +
                cell((c.kind == ThresholdKind::Fdr          ? "q = "
                      : c.kind == ThresholdKind::Bonferroni ? "&alpha; = "
                                                            : "p = ") +
                     formatNumber("%.3g", c.level));
        if (c.cut.passesNone)
            html += cell("none passes") + cell("&mdash;");
        else
            html += cell(std::string(c.cut.inclusive ? "&le; " : "&lt; ") + pValue(c.cut.cut)) +
                    cell(c.tCut > 0.0f ? formatNumber("%.2f", c.tCut) : "&mdash;");
        html += cell(std::to_string(c.voxels) + " (" + std::to_string(c.positive) + ", " +
                     std::to_string(c.negative) + ")");
        if (truth) {
            const Detection d = c.truth.value_or(Detection{});
            html += cell(std::to_string(d.truePositives)) + cell(std::to_string(d.falsePositives)) +
                    cell(formatNumber("%.3f", d.sensitivity)) +
                    cell(formatNumber("%.3f", d.falseDiscoveryProportion));
        }
        html += "</tr>\n";
    }
    return html + "</table>\n";
}

std::string mmText(const std::array<double, 3>& mm) {
    char text[96];
    std::snprintf(text, sizeof text, "(%.1f, %.1f, %.1f)", mm[0], mm[1], mm[2]);
    return text;
}

std::string clusterTable(const std::vector<Cluster>& clusters) {
    if (clusters.empty()) return "<p>No cluster above the Bonferroni threshold.</p>\n";
    std::string html =
        "<table class=\"clusters\">\n<tr><th>cluster</th><th>voxels</th><th>peak t</th>"
        "<th>peak (mm)</th><th>centre of mass (mm)</th><th>planted voxels in it</th></tr>\n";
    constexpr std::size_t kShown = 10;
    for (std::size_t i = 0; i < clusters.size() && i < kShown; ++i) {
        const Cluster& c = clusters[i];
        html += "<tr>" + cell(std::to_string(i + 1)) + cell(std::to_string(c.voxels)) +
                cell(formatNumber("%.2f", c.peakT)) + cell(mmText(c.peakMm)) +
                cell(mmText(c.centreMm)) + cell(std::to_string(c.plantedVoxels)) + "</tr>\n";
    }
    html += "</table>\n";
    if (clusters.size() > kShown)
        html +=
            "<p>" + std::to_string(clusters.size() - kShown) + " smaller clusters not shown.</p>\n";
    return html;
}

std::string calibrationSection(const NullCalibration& c, const ModelResult& m) {
    std::string html = "<p>Null calibration over the " + std::to_string(c.noiseVoxels) +
                       " noise-only voxels of the truth map:</p>\n<ul>\n";
    for (const CalibrationLevel& l : c.levels) {
        std::string sentence = calibrationSentence(noiseModelDescription(m.noiseModel), l);
        sentence[0] = char(std::toupper(static_cast<unsigned char>(sentence[0])));
        html += std::string("<li") + (l.asExpected ? ">" : " class=\"warn\">") +
                htmlEscape(sentence) + ".</li>\n";
    }
    html += "</ul>\n";
    if (c.signalFree) {
        html +=
            "<p>No voxel of this run carries signal: the family-wise error (any voxel above "
            "Bonferroni) ";
        html += c.familyWiseError && *c.familyWiseError ? "occurred" : "did not occur";
        html += "; the FDR threshold's false discovery proportion is ";
        html += c.falseDiscoveryProportion ? formatNumber("%.2f", *c.falseDiscoveryProportion)
                                           : std::string("undefined (nothing detected)");
        html += ".</p>\n";
    }
    return html;
}

std::string predictorSection(const PredictorSummary& s, const StatisticResult& r,
                             const PredictorFiles& files, const ReportSummary& summary,
                             const ModelResult& model) {
    std::string html = std::string("<h2>") + (s.contrast ? "Contrast " : "Predictor ") +
                       htmlEscape(s.name) + "</h2>\n<table>\n";
    if (s.contrast) html += row("contrast", htmlEscape(s.expression), false);
    html += row("peak t", formatNumber("%.2f", s.peakT));
    html += row("peak p (" + tailName(summary.tail) + " tail)", pValue(s.peakP));
    html += row("peak grid position (x, y, z)", tripleText(s.peakGrid));
    html += row("peak VMR position (x, y, z)", tripleText(s.peakVmr));
    html += row("voxels with p &lt; " + pValue(summary.pThreshold),
                std::to_string(s.voxelsAbove) + " (" + std::to_string(s.positiveAbove) +
                    " positive, " + std::to_string(s.negativeAbove) + " negative)");
    html += row(s.contrast ? "mean signal change of the contrast in those voxels"
                           : "mean signal change in those voxels",
                s.meanPercentChange ? formatNumber("%.2f %%", *s.meanPercentChange) : "&mdash;");
    if (!s.contrast)
        html += row("variance inflation by the other columns",
                    formatNumber("%.1f", s.varianceInflation));
    if (s.truth) {
        html += row("planted voxels it tests", std::to_string(s.truth->plantedVoxels));
        html += row("area under the ROC curve", formatNumber("%.4f", s.truth->roc.area));
    }
    if (!files.tMap.empty())
        html += row("t-map",
                    "<a href=\"" + htmlEscape(files.tMap) + "\">" + htmlEscape(files.tMap) + "</a>",
                    false);
    if (!files.zMap.empty())
        html += row("z- and p-map",
                    "<a href=\"" + htmlEscape(files.zMap) + "\">" + htmlEscape(files.zMap) +
                        "</a>, <a href=\"" + htmlEscape(files.pMap) + "\">" +
                        htmlEscape(files.pMap) + "</a>",
                    false);
    html += "</table>\n" + thresholdTable(s) + clusterTable(r.clusters);
    if (r.calibration) html += calibrationSection(*r.calibration, model);
    if (s.varianceInflation > kInflationWarning)
        html +=
            "<p class=\"warn\">The other predictors and the constant nearly reproduce this "
            "predictor (its coefficient variance is " +
            formatNumber("%.0f", s.varianceInflation) +
            " times what it would be alone), so its t values are small for that reason. "
            "This happens when conditions together fill the whole run, rest included; compare "
            "conditions with a contrast (<code>--contrast \"NAME: A - B\"</code>) or leave "
            "the baseline condition out of the model (<code>--exclude NAME</code>).</p>\n";
    html += figure(files.slices) + figure(files.orthogonal) + figure(files.projections) +
            figure(files.timeCourse) + figure(files.roc) + figure(files.calibration);
    return html;
}

std::string simulationSection(const SimulationParameters& sim) {
    std::string html = "<h2>Simulation</h2>\n";
    if (sim.file.empty()) return html + "<p>" + htmlEscape(sim.note) + ".</p>\n";
    html += "<p>From " + htmlEscape(sim.file) + ":</p>\n<table>\n";
    for (const SimulationParameter& p : sim.parameters)
        html += row(htmlEscape(p.name), htmlEscape(p.value), false);
    html += "</table>\n";
    if (!sim.components.empty()) {
        html += "<table>\n<tr><th>component</th><th>requested sd</th><th>realised sd</th></tr>\n";
        for (const SimulationComponent& c : sim.components)
            html += "<tr><th>" + htmlEscape(c.name) + "</th>" +
                    cell(c.requestedSd ? formatNumber("%.4g", *c.requestedSd) : "&mdash;") +
                    cell(c.realisedSd ? formatNumber("%.4g", *c.realisedSd) : "&mdash;") +
                    "</tr>\n";
        html += "</table>\n";
    }
    return html;
}

}  // namespace

std::string htmlEscape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string formatHtmlReport(const ReportPage& page, const ReportResults& results) {
    const ReportSummary& summary = results.summary;
    const ModelResult& m = results.model;
    const VolumeGrid& g = page.grid;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>GLM report: " +
        htmlEscape(page.dataFile) + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n<body>\n<h1>GLM report: " + htmlEscape(page.dataFile) + "</h1>\n";
    html +=
        "<p>Every voxel's time course was fitted with all predictors of the design matrix" +
        std::string(m.driftRegressors ? ", " + std::to_string(m.driftRegressors) +
                                            " discrete-cosine drift regressors (periods down to " +
                                            formatNumber("%.0f", m.highPassSeconds) +
                                            " s, in the model but in no contrast)"
                                      : std::string()) +
        " and a constant, by " + noiseModelDescription(m.noiseModel) +
        (m.noiseModel == NoiseModel::Ar1
             ? std::string(" (each voxel's lag-1 autocorrelation from the least-squares "
                           "residuals, bias-corrected") +
                   (m.smoothedAutocorrelation ? " and averaged over its neighbours" : "") +
                   "; data and design prewhitened and refitted)"
             : std::string()) +
        ". The t value of each predictor is its coefficient over its standard "
        "error, that of a contrast its weighted sum of coefficients over the sum's standard "
        "error; p is " +
        (summary.tail == Tail::Both ? std::string("two-tailed")
                                    : "one-tailed (" + tailName(summary.tail) + " t only)") +
        ". Three thresholds: Bonferroni (p below " + formatNumber("%.2g", summary.alpha) +
        " divided by the number of voxels: the chance of any false positive in the whole "
        "volume stays below " +
        formatNumber("%.2g", summary.alpha) +
        "), false discovery rate (Benjamini&ndash;Hochberg at q = " +
        formatNumber("%.2g", summary.levels.fdr) +
        ": on average at most that share of the detected voxels are false) and uncorrected (p "
        "below " +
        formatNumber("%.2g", summary.levels.uncorrected) +
        " in each voxel on its own). The pictures show the Bonferroni voxels.</p>\n";
    if (page.automaticContrasts)
        html +=
            "<p class=\"note\">The conditions of the design fill the run: together they "
            "reproduce the constant, so a single condition's effect cannot be told apart from "
            "the baseline. Each condition is therefore tested against the mean of the others "
            "instead (give <code>--contrast</code> or <code>--exclude</code> to choose "
            "yourself).</p>\n";
    if (summary.hasTruth)
        html +=
            "<p>The truth map of the simulation says which voxels carry which predictor's "
            "signal. For each statistic that tests planted signal: true positives (detected "
            "and planted), false positives (detected but noise only), sensitivity (the share "
            "of the planted voxels detected) and false discovery proportion (the share of the "
            "detected voxels that are noise), and the ROC curve over |t| with its area (1: "
            "every planted voxel has a larger |t| than every noise voxel; 0.5: chance). The "
            "slice pictures outline the planted voxels.</p>\n";
    html += "<table>\n";
    html += row("data", htmlEscape(page.dataFile), false);
    html += row("design matrix", htmlEscape(page.designFile), false);
    if (!page.truthFile.empty()) html += row("truth map", htmlEscape(page.truthFile), false);
    html += row("grid (x &times; y &times; z)", std::to_string(g.dims[0]) + " &times; " +
                                                    std::to_string(g.dims[1]) + " &times; " +
                                                    std::to_string(g.dims[2]));
    html += row("VMR position of voxel (0, 0, 0)", tripleText(g.start));
    html += row("voxel edge (VMR voxels)", std::to_string(g.resolution));
    html += row("volumes", std::to_string(summary.volumes));
    html += row("voxels", std::to_string(summary.voxels));
    html += row("degrees of freedom", std::to_string(summary.degreesOfFreedom));
    html += row("noise model", htmlEscape(noiseModelDescription(m.noiseModel)), false);
    html += row("median lag-1 autocorrelation of the residuals (corrected)",
                formatNumber("%.3f", m.medianAutocorrelation));
    html += row("high-pass cut-off",
                m.highPassSeconds > 0.0 ? formatNumber("%.0f s", m.highPassSeconds) : "none");
    html += row("program",
                "Simtrove " + htmlEscape(results.source.programVersion) + ", " +
                    htmlEscape(results.source.date),
                false);
    const std::string cut = summary.tail == Tail::Both       ? "|t| &gt; "
                            : summary.tail == Tail::Positive ? "t &gt; "
                                                             : "t &lt; ";
    html += row("Bonferroni threshold", "p &lt; " + pValue(summary.pThreshold) + " (" + cut +
                                            formatNumber("%.2f", summary.tThreshold) + ")");
    html += row("tail tested", tailName(summary.tail), false);
    html += row("overall tSNR (median of mean / sd)", formatNumber("%.2f", summary.tsnr));
    html += "</table>\n" + simulationSection(results.source.simulation) + figure(page.design);
    for (std::size_t j = 0; j < summary.predictors.size(); ++j)
        html += predictorSection(summary.predictors[j], results.statistics[j],
                                 j < page.predictors.size() ? page.predictors[j] : PredictorFiles{},
                                 summary, m);
    html += "<h2>Temporal signal-to-noise ratio</h2>\n" + figure(page.tsnr);
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace simtrove::analysis
