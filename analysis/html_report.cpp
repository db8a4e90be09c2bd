#include "analysis/html_report.h"

#include <cstdio>

#include "analysis/text_format.h"

namespace simtrove::analysis {
namespace {

constexpr const char* kStyle =
    "body{font-family:sans-serif;max-width:1100px;margin:1.5em auto;padding:0 1em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:2em;border-bottom:1px solid #ccc}"
    "table{border-collapse:collapse;margin:.8em 0}"
    "th,td{border:1px solid #bbb;padding:.25em .7em;text-align:left}"
    "th{background:#f2f2f2;font-weight:normal}td.n{text-align:right;font-variant-numeric:"
    "tabular-nums}figure{margin:1em 0}img{max-width:100%;height:auto;border:1px solid #ddd}"
    "figcaption{font-size:.9em;color:#555}.warn{background:#fff4e0;border-left:4px solid #d55e00;"
    "padding:.5em .8em}";

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
           "</figcaption></figure>\n";
}

std::string row(const std::string& label, const std::string& value, bool numeric = true) {
    return "<tr><th>" + label + "</th><td" + (numeric ? " class=\"n\"" : "") + ">" + value +
           "</td></tr>\n";
}

std::string predictorSection(const PredictorSummary& s, const PredictorFiles& files,
                             const ReportSummary& summary) {
    std::string html = "<h2>Predictor " + htmlEscape(s.name) + "</h2>\n<table>\n";
    html += row("peak t", formatNumber("%.2f", s.peakT));
    html += row("peak p (two-tailed)", pValue(s.peakP));
    html += row("peak grid position (x, y, z)", tripleText(s.peakGrid));
    html += row("peak VMR position (x, y, z)", tripleText(s.peakVmr));
    html += row("voxels with p &lt; " + pValue(summary.pThreshold),
                std::to_string(s.voxelsAbove) + " (" + std::to_string(s.positiveAbove) +
                    " positive, " + std::to_string(s.negativeAbove) + " negative)");
    html += row("mean signal change in those voxels",
                s.meanPercentChange ? formatNumber("%.2f %%", *s.meanPercentChange) : "&mdash;");
    html += row("variance inflation by the other columns", formatNumber("%.1f", s.varianceInflation));
    if (!files.tMap.empty())
        html += row("t-map",
                    "<a href=\"" + htmlEscape(files.tMap) + "\">" + htmlEscape(files.tMap) + "</a>",
                    false);
    html += "</table>\n";
    if (s.varianceInflation > kInflationWarning)
        html +=
            "<p class=\"warn\">The other predictors and the constant nearly reproduce this "
            "predictor (its coefficient variance is " +
            formatNumber("%.0f", s.varianceInflation) +
            " times what it would be alone), so its t values are small for that reason. "
            "This happens when conditions together fill the whole run, rest included; leave "
            "the baseline condition out of the model (<code>--exclude NAME</code>).</p>\n";
    html += figure(files.slices) + figure(files.timeCourse);
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

std::string formatHtmlReport(const ReportPage& page, const ReportSummary& summary) {
    const VolumeGrid& g = page.grid;
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<title>GLM report: " +
        htmlEscape(page.dataFile) + "</title>\n<style>" + kStyle +
        "</style>\n</head>\n<body>\n<h1>GLM report: " + htmlEscape(page.dataFile) + "</h1>\n";
    html +=
        "<p>Every voxel's time course was fitted with all predictors of the design matrix plus "
        "a constant. The t value of each predictor is its coefficient over its standard "
        "error; p is two-tailed. A voxel counts as detected when p is below " +
        formatNumber("%.2g", summary.alpha) + " divided by the number of voxels (Bonferroni).</p>\n";
    html += "<table>\n";
    html += row("data", htmlEscape(page.dataFile), false);
    html += row("design matrix", htmlEscape(page.designFile), false);
    html += row("grid (x &times; y &times; z)", std::to_string(g.dims[0]) + " &times; " +
                                                    std::to_string(g.dims[1]) + " &times; " +
                                                    std::to_string(g.dims[2]));
    html += row("VMR position of voxel (0, 0, 0)", tripleText(g.start));
    html += row("voxel edge (VMR voxels)", std::to_string(g.resolution));
    html += row("volumes", std::to_string(summary.volumes));
    html += row("voxels", std::to_string(summary.voxels));
    html += row("degrees of freedom", std::to_string(summary.degreesOfFreedom));
    html += row("Bonferroni threshold", "p &lt; " + pValue(summary.pThreshold) + " (|t| &gt; " +
                                            formatNumber("%.2f", summary.tThreshold) + ")");
    html += row("overall tSNR (median of mean / sd)", formatNumber("%.2f", summary.tsnr));
    html += "</table>\n" + figure(page.design);
    for (std::size_t j = 0; j < summary.predictors.size(); ++j)
        html += predictorSection(summary.predictors[j],
                                 j < page.predictors.size() ? page.predictors[j] : PredictorFiles{},
                                 summary);
    html += "<h2>Temporal signal-to-noise ratio</h2>\n" + figure(page.tsnr);
    html += "</body>\n</html>\n";
    return html;
}

}  // namespace simtrove::analysis
