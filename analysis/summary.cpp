#include "analysis/summary.h"

#include <algorithm>
#include <cmath>

#include "numerics/stats/significance.h"

namespace simtrove::analysis {

using formats::VolumeGrid;
namespace {

float evidence(float t, Tail tail) {
    return tail == Tail::Both ? std::fabs(t) : tail == Tail::Positive ? t : -t;
}

std::size_t strongestVoxel(std::span<const float> t, Tail tail) {
    std::size_t best = 0;
    for (std::size_t v = 1; v < t.size(); ++v)
        if (evidence(t[v], tail) > evidence(t[best], tail)) best = v;
    return best;
}

std::vector<float> pValues(std::span<const float> t, std::uint32_t df, Tail tail) {
    std::vector<float> p(t.size());
    for (std::size_t v = 0; v < t.size(); ++v) p[v] = tailP(t[v], df, tail);
    return p;
}

ThresholdCount countAbove(ThresholdKind kind, const ThresholdLevels& levels,
                          std::span<const float> t, std::span<const float> p, std::uint32_t df,
                          Tail tail) {
    ThresholdCount c;
    c.kind = kind;
    c.level = thresholdLevel(kind, levels);
    c.cut = resolveThreshold(kind, levels, p);
    if (!c.cut.passesNone && c.cut.cut > 0.0) c.tCut = tailCriticalT(c.cut.cut, df, tail);
    for (std::size_t v = 0; v < p.size(); ++v) {
        if (!c.cut.passes(p[v])) continue;
        ++c.voxels;
        ++(t[v] > 0.0f ? c.positive : c.negative);
    }
    return c;
}

// `p` receives the p value of every voxel.
PredictorSummary summarisePredictor(const GlmMaps& maps, const VolumeGrid& grid, int j,
                                    const ReportSummary& report, std::vector<float>* p) {
    PredictorSummary s;
    const std::span<const float> t = maps.tMap(j);
    s.above.assign(maps.voxels, 0);
    if (maps.voxels == 0) return s;
    s.peakVoxel = strongestVoxel(t, report.tail);
    s.peakT = t[s.peakVoxel];
    s.peakP = tailP(s.peakT, report.degreesOfFreedom, report.tail);
    s.peakGrid = grid.position(s.peakVoxel);
    s.peakVmr = grid.vmrPosition(s.peakGrid);

    *p = pValues(t, report.degreesOfFreedom, report.tail);
    for (const ThresholdKind kind : kThresholdKinds)
        s.thresholds.push_back(
            countAbove(kind, report.levels, t, *p, report.degreesOfFreedom, report.tail));
    const int constant = maps.columns - 1;
    double percentSum = 0.0;
    std::size_t percentCount = 0;
    for (std::size_t v = 0; v < maps.voxels; ++v) {
        if (double((*p)[v]) >= report.pThreshold) continue;
        s.above[v] = 1;
        ++s.voxelsAbove;
        ++(t[v] > 0.0f ? s.positiveAbove : s.negativeAbove);
        const double base = maps.coefficient(constant, v);
        if (base != 0.0) {
            percentSum += double(maps.effect(j, v)) / base * 100.0;
            ++percentCount;
        }
    }
    if (percentCount > 0) s.meanPercentChange = percentSum / double(percentCount);
    return s;
}

// Detections at each threshold and the ROC curve of a statistic whose tested
// columns carry planted signal somewhere.
void evaluateAgainstTruth(PredictorSummary& s, std::span<const float> t, std::span<const float> p,
                          std::span<const int> truth, const std::vector<int>& tested, Tail tail) {
    TruthEvaluation e;
    e.labels = tested;
    e.planted = plantedVoxels(truth, tested);
    for (const std::uint8_t f : e.planted) e.plantedVoxels += f;
    if (e.plantedVoxels == 0) return;
    for (ThresholdCount& c : s.thresholds) c.truth = countDetections(p, c.cut, e.planted);
    e.roc = rocCurve(t, e.planted, tail);
    s.truth = std::move(e);
}

double medianTsnr(const std::vector<float>& tsnr, const GlmMaps& maps) {
    std::vector<float> values;
    for (std::size_t v = 0; v < maps.voxels; ++v)
        if (maps.mean[v] > 0.0f && maps.sd[v] > 0.0f) values.push_back(tsnr[v]);
    if (values.empty()) return 0.0;
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(half), values.end());
    if (values.size() % 2) return values[half];
    const float upper = values[half];
    const float lower = *std::max_element(values.begin(), values.begin() + std::ptrdiff_t(half));
    return (double(lower) + upper) / 2.0;
}

}  // namespace

ReportSummary summarise(const GlmMaps& maps, const VolumeGrid& grid, int volumes,
                        const std::vector<std::string>& names, const ThresholdLevels& levels,
                        const SummaryContext& context) {
    ReportSummary report;
    report.voxels = maps.voxels;
    report.volumes = volumes;
    report.degreesOfFreedom = maps.degreesOfFreedom;
    report.alpha = levels.alpha;
    report.levels = levels;
    report.pThreshold = maps.voxels ? levels.alpha / double(maps.voxels) : levels.alpha;
    report.hasTruth = !context.truth.empty();
    report.tail = context.tail;
    report.tThreshold = tailCriticalT(report.pThreshold, report.degreesOfFreedom, report.tail);

    report.tsnrMap.assign(maps.voxels, 0.0f);
    for (std::size_t v = 0; v < maps.voxels; ++v)
        if (maps.sd[v] > 0.0f) report.tsnrMap[v] = float(double(maps.mean[v]) / maps.sd[v]);
    report.tsnr = medianTsnr(report.tsnrMap, maps);

    for (int j = 0; j < maps.statistics; ++j) {
        std::vector<float> p;
        PredictorSummary s = summarisePredictor(maps, grid, j, report, &p);
        s.name =
            j < int(names.size()) ? names[std::size_t(j)] : "statistic " + std::to_string(j + 1);
        s.statistic = j;
        s.contrast = j >= maps.predictors;
        if (s.contrast && std::size_t(j - maps.predictors) < context.expressions.size())
            s.expression = context.expressions[std::size_t(j - maps.predictors)];
        if (context.model && !s.contrast) s.varianceInflation = context.model->varianceInflation(j);
        if (report.hasTruth && std::size_t(j) < context.tested.size() &&
            context.truth.size() == maps.voxels)
            evaluateAgainstTruth(s, maps.tMap(j), p, context.truth, context.tested[std::size_t(j)],
                                 report.tail);
        s.p = std::move(p);
        report.predictors.push_back(std::move(s));
    }
    return report;
}

}  // namespace simtrove::analysis
