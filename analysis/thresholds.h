// The thresholds a report applies to every statistic, all on the p of the
// statistic's tail (Tail below: one-sided for positive or negative, else
// two-sided):
//
//   Bonferroni   p < alpha / m, m the number of voxels (family-wise error)
//   FDR          Benjamini-Hochberg at level q: with p_(1) <= ... <= p_(m),
//                k the largest rank with p_(k) <= k q / m, every voxel with
//                p <= p_(k) (none when there is no such k)
//   uncorrected  p < P
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace simtrove::analysis {

inline constexpr double kDefaultAlpha = 0.05;
inline constexpr double kDefaultFdr = 0.05;
inline constexpr double kDefaultUncorrectedP = 0.001;

struct ThresholdLevels {
    double alpha = kDefaultAlpha;
    double fdr = kDefaultFdr;
    double uncorrected = kDefaultUncorrectedP;
};

// Which values of t count as evidence: large positive ones (p = P(T > t)),
// large negative ones (p = P(T < t)) or both (p = P(|T| > |t|)).
enum class Tail { Positive, Negative, Both };

// The p of t with `df` degrees of freedom in `tail` (through t_prob).
float tailP(float t, std::uint32_t df, Tail tail);
// The t value, or for Tail::Both the |t|, whose p in `tail` is `p` (0 < p < 1):
// the critical value for display.
float tailCriticalT(double p, std::uint32_t df, Tail tail);
// Whether t lies on the side that `tail` tests (every t for Tail::Both).
inline bool inTail(float t, Tail tail) {
    return tail == Tail::Both || (tail == Tail::Positive ? t > 0.0f : t < 0.0f);
}
// "positive", "negative", "both"; parseTail() the reverse (false: unknown).
std::string tailName(Tail tail);
bool parseTail(const std::string& text, Tail* tail);

enum class ThresholdKind { Bonferroni, Fdr, Uncorrected };
inline constexpr ThresholdKind kThresholdKinds[] = {ThresholdKind::Bonferroni, ThresholdKind::Fdr,
                                                    ThresholdKind::Uncorrected};

// A threshold resolved for one statistic: a voxel passes when p < cut, or
// p <= cut when `inclusive`; `passesNone` when nothing can pass.
struct PCut {
    double cut = 0.0;
    bool inclusive = false;
    bool passesNone = false;
    bool passes(double p) const { return !passesNone && (inclusive ? p <= cut : p < cut); }
};

// The Benjamini-Hochberg cut for level q over `p` (any order).
PCut fdrCut(std::span<const float> p, double q);

// The cut of `kind` for `p`, the p values of every voxel of one statistic.
PCut resolveThreshold(ThresholdKind kind, const ThresholdLevels& levels, std::span<const float> p);

// "Bonferroni", "FDR", "uncorrected".
std::string thresholdName(ThresholdKind kind);
// The level of `kind`: alpha, q or P.
double thresholdLevel(ThresholdKind kind, const ThresholdLevels& levels);

}  // namespace simtrove::analysis
