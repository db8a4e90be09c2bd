#include "analysis/thresholds.h"

#include <vector>

#include "numerics/sort/sort.h"

namespace simtrove::analysis {

PCut fdrCut(std::span<const float> p, double q) {
    PCut cut;
    cut.inclusive = true;
    cut.passesNone = true;
    const std::size_t m = p.size();
    if (m == 0) return cut;
    std::vector<float> sorted(m + 1);  // 1-based for the library's sort
    for (std::size_t i = 0; i < m; ++i) sorted[i + 1] = p[i];
    sort(std::uint32_t(m), sorted.data());
    // Step-up: the largest rank whose p stays under its line k q / m.
    for (std::size_t k = m; k >= 1; --k) {
        if (double(sorted[k]) <= double(k) * q / double(m)) {
            cut.cut = sorted[k];
            cut.passesNone = false;
            break;
        }
    }
    return cut;
}

PCut resolveThreshold(ThresholdKind kind, const ThresholdLevels& levels, std::span<const float> p) {
    switch (kind) {
        case ThresholdKind::Bonferroni:
            return {p.empty() ? levels.alpha : levels.alpha / double(p.size()), false, false};
        case ThresholdKind::Fdr:
            return fdrCut(p, levels.fdr);
        case ThresholdKind::Uncorrected:
            break;
    }
    return {levels.uncorrected, false, false};
}

std::string thresholdName(ThresholdKind kind) {
    switch (kind) {
        case ThresholdKind::Bonferroni:
            return "Bonferroni";
        case ThresholdKind::Fdr:
            return "FDR";
        case ThresholdKind::Uncorrected:
            break;
    }
    return "uncorrected";
}

double thresholdLevel(ThresholdKind kind, const ThresholdLevels& levels) {
    switch (kind) {
        case ThresholdKind::Bonferroni:
            return levels.alpha;
        case ThresholdKind::Fdr:
            return levels.fdr;
        case ThresholdKind::Uncorrected:
            break;
    }
    return levels.uncorrected;
}

}  // namespace simtrove::analysis
