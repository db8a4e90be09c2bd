#include "analysis/thresholds.h"

#include <vector>

#include "numerics/sort/sort.h"
#include "numerics/stats/significance.h"

namespace simtrove::analysis {

float tailP(float t, std::uint32_t df, Tail tail) {
    const double both = t_prob(t, df);
    if (tail == Tail::Both) return float(both);
    // One tail holds half the two-tailed p on its own side, the rest beyond.
    return float(inTail(t, tail) ? both / 2.0 : 1.0 - both / 2.0);
}

float tailCriticalT(double p, std::uint32_t df, Tail tail) {
    if (tail == Tail::Both) return critical_t(float(p), df);
    const float magnitude = p < 0.5 ? critical_t(float(2.0 * p), df) : 0.0f;
    return tail == Tail::Positive ? magnitude : -magnitude;
}

std::string tailName(Tail tail) {
    switch (tail) {
        case Tail::Positive:
            return "positive";
        case Tail::Negative:
            return "negative";
        case Tail::Both:
            break;
    }
    return "both";
}

bool parseTail(const std::string& text, Tail* tail) {
    for (const Tail t : {Tail::Positive, Tail::Negative, Tail::Both})
        if (text == tailName(t)) {
            *tail = t;
            return true;
        }
    return false;
}

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
