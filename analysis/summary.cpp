#include "analysis/summary.h"

#include <algorithm>
#include <cmath>

#include "numerics/stats/significance.h"

namespace simtrove::analysis {
namespace {

std::size_t strongestVoxel(std::span<const float> t) {
    std::size_t best = 0;
    for (std::size_t v = 1; v < t.size(); ++v)
        if (std::fabs(t[v]) > std::fabs(t[best])) best = v;
    return best;
}

PredictorSummary summarisePredictor(const GlmMaps& maps, const VolumeGrid& grid, int j,
                                    const ReportSummary& report) {
    PredictorSummary s;
    const std::span<const float> t = maps.tMap(j);
    s.above.assign(maps.voxels, 0);
    if (maps.voxels == 0) return s;
    s.peakVoxel = strongestVoxel(t);
    s.peakT = t[s.peakVoxel];
    s.peakP = t_prob(s.peakT, report.degreesOfFreedom);
    s.peakGrid = grid.position(s.peakVoxel);
    s.peakVmr = grid.vmrPosition(s.peakGrid);

    const int constant = maps.columns - 1;
    double percentSum = 0.0;
    std::size_t percentCount = 0;
    for (std::size_t v = 0; v < maps.voxels; ++v) {
        if (double(t_prob(t[v], report.degreesOfFreedom)) >= report.pThreshold) continue;
        s.above[v] = 1;
        ++s.voxelsAbove;
        ++(t[v] > 0.0f ? s.positiveAbove : s.negativeAbove);
        const double base = maps.coefficient(constant, v);
        if (base != 0.0) {
            percentSum += double(maps.coefficient(j, v)) / base * 100.0;
            ++percentCount;
        }
    }
    if (percentCount > 0) s.meanPercentChange = percentSum / double(percentCount);
    return s;
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
                        const std::vector<std::string>& names, double alpha,
                        const GlmModel* model) {
    ReportSummary report;
    report.voxels = maps.voxels;
    report.volumes = volumes;
    report.degreesOfFreedom = maps.degreesOfFreedom;
    report.alpha = alpha;
    report.pThreshold = maps.voxels ? alpha / double(maps.voxels) : alpha;
    report.tThreshold = critical_t(float(report.pThreshold), report.degreesOfFreedom);

    report.tsnrMap.assign(maps.voxels, 0.0f);
    for (std::size_t v = 0; v < maps.voxels; ++v)
        if (maps.sd[v] > 0.0f) report.tsnrMap[v] = float(double(maps.mean[v]) / maps.sd[v]);
    report.tsnr = medianTsnr(report.tsnrMap, maps);

    for (int j = 0; j < maps.columns - 1; ++j) {
        PredictorSummary s = summarisePredictor(maps, grid, j, report);
        s.name =
            j < int(names.size()) ? names[std::size_t(j)] : "predictor " + std::to_string(j + 1);
        if (model) s.varianceInflation = model->varianceInflation(j);
        report.predictors.push_back(std::move(s));
    }
    return report;
}

}  // namespace simtrove::analysis
