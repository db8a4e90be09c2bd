#include "numerics/random/float_log.h"

#include <array>
#include <bit>
#include <cstdint>
#include <limits>

namespace simtrove::random {
namespace {

// Positive normal finite floats: the split of the first step applies.
constexpr bool isPositiveNormal(std::uint32_t bits) {
    return bits - 0x00800000u < 0x7F000000u;
}

struct Split {
    int e;
    float m;  // in [0.75, 1.5)
};

constexpr Split splitNormal(std::uint32_t bits) {
    const std::uint32_t ix = bits - kLogSplitBits;
    return {std::int32_t(ix) >> 23, std::bit_cast<float>((ix & 0x7FFFFFu) + kLogSplitBits)};
}

// Double-double arithmetic: a value is hi + lo with |lo| <= ulp(hi) / 2.
struct DoubleDouble {
    double hi, lo;
};

constexpr DoubleDouble twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

constexpr DoubleDouble quickTwoSum(double a, double b) {  // |a| >= |b|
    const double s = a + b;
    return {s, b - (s - a)};
}

// Veltkamp's split and Dekker's product: exact without FMA.
constexpr DoubleDouble splitHalves(double a) {
    const double t = 134217729.0 * a;  // 2^27 + 1
    const double hi = t - (t - a);
    return {hi, a - hi};
}

constexpr DoubleDouble twoProduct(double a, double b) {
    const double p = a * b;
    const DoubleDouble x = splitHalves(a), y = splitHalves(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

constexpr DoubleDouble add(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble s = twoSum(a.hi, b.hi);
    const DoubleDouble t = twoSum(a.lo, b.lo);
    const DoubleDouble u = quickTwoSum(s.hi, s.lo + t.hi);
    return quickTwoSum(u.hi, u.lo + t.lo);
}

constexpr DoubleDouble multiply(DoubleDouble a, DoubleDouble b) {
    const DoubleDouble p = twoProduct(a.hi, b.hi);
    return quickTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

// 1 / d to double-double.
constexpr DoubleDouble reciprocal(double d) {
    const double hi = 1.0 / d;
    const DoubleDouble p = twoProduct(hi, d);
    return {hi, ((1.0 - p.hi) - p.lo) / d};
}

// 1 / (2k + 1), k = 0 .. 21: with s^2 <= 0.04 the first term left out,
// s^44 / 45, is below 2^-107 of the sum.
constexpr int kExactTerms = 22;
constexpr std::array<DoubleDouble, kExactTerms> kOddReciprocals = [] {
    std::array<DoubleDouble, kExactTerms> c{};
    for (int k = 0; k < kExactTerms; ++k) c[std::size_t(k)] = reciprocal(2.0 * k + 1.0);
    return c;
}();

constexpr DoubleDouble kLog2{0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};

// log(2^e m) in double-double, m in [0.75, 1.5): log m = 2 s sum s^2k / (2k + 1).
constexpr double exactLog(int e, float mantissa) {
    const double m = mantissa;
    const double num = m - 1.0, den = m + 1.0;  // both exact
    const double sHi = num / den;
    const DoubleDouble back = twoProduct(sHi, den);
    const DoubleDouble s{sHi, ((num - back.hi) - back.lo) / den};
    const DoubleDouble z = multiply(s, s);
    DoubleDouble sum = kOddReciprocals[kExactTerms - 1];
    for (int k = kExactTerms - 2; k >= 0; --k)
        sum = add(multiply(sum, z), kOddReciprocals[std::size_t(k)]);
    DoubleDouble logM = multiply(s, sum);
    logM = {2.0 * logM.hi, 2.0 * logM.lo};
    const DoubleDouble eHigh = twoProduct(double(e), kLog2.hi);
    const DoubleDouble eLog2 = quickTwoSum(eHigh.hi, eHigh.lo + double(e) * kLog2.lo);
    return add(eLog2, logM).hi;  // hi + lo normalised: hi is the sum rounded to double
}

// The first step, by a table: m = c (1 + t) with 1/c from the table entry of
// m's leading mantissa bits, so log m = log c + log1p(t) with |t| <= 2^-7.
// Each entry's 1/c is a float, so m / c is exact in double and t = m / c - 1
// too; log c is the double-double logarithm above, rounded once, made at
// compile time. The entries just below and above 1 have c = 1 (log c = 0), so
// that a logarithm near 0 keeps its relative accuracy. log1p(t) by its series
// to t^7 (the first term left out is below 2^-52 of t). Every step is a plain
// double operation: the error stays a few units in the last place, far below
// kLogSettleBound.
struct LogTableEntry {
    double inverseC, logC;
};

constexpr int kTableBits = 7;
constexpr std::array<LogTableEntry, 1 << kTableBits> kLogTable = [] {
    std::array<LogTableEntry, 1 << kTableBits> table{};
    for (int j = 0; j < (1 << kTableBits); ++j) {
        // Entry j holds m in [0.75 + j / 256, + 1 / 256) below 64, [1 + (j - 64) / 128,
        // + 1 / 128) from 64 on: the mantissa fields of m's bits, 2^16 per entry.
        const double low = j < 64 ? 0.75 + j / 256.0 : 1.0 + (j - 64) / 128.0;
        const double width = j < 64 ? 1 / 256.0 : 1 / 128.0;
        const float inverse = (j == 63 || j == 64) ? 1.0f : float(1.0 / (low + width / 2));
        const Split split = splitNormal(std::bit_cast<std::uint32_t>(inverse));
        table[std::size_t(j)] = {inverse, -exactLog(split.e, split.m)};
    }
    return table;
}();

double logApproximation(std::uint32_t bits) {
    const Split split = splitNormal(bits);
    const LogTableEntry& entry = kLogTable[((bits - kLogSplitBits) & 0x7FFFFFu) >> 16];
    const double t = double(split.m) * entry.inverseC - 1.0;
    const double t2 = t * t;
    const double q =
        (-0.5 + t * (1.0 / 3)) + t2 * (-0.25 + t * 0.2) + (t2 * t2) * (-1.0 / 6 + t * (1.0 / 7));
    const double logM = entry.logC + (t + t2 * q);
    const double e = split.e;
    return e * kLog2High + (e * kLog2Low + logM);
}

}  // namespace

float floatLogExact(float r) {
    std::uint32_t bits = std::bit_cast<std::uint32_t>(r);
    if (r != r) return r + r;  // NaN, quietened
    if (r < 0.0f) return std::numeric_limits<float>::quiet_NaN();
    if (r == 0.0f) return -std::numeric_limits<float>::infinity();
    if (r == std::numeric_limits<float>::infinity()) return r;
    int extraExponent = 0;
    if (!isPositiveNormal(bits)) {  // subnormal: scaled by 2^23, exactly
        bits = std::bit_cast<std::uint32_t>(r * 0x1p23f);
        extraExponent = -23;
    }
    const Split split = splitNormal(bits);
    return float(exactLog(split.e + extraExponent, split.m));
}

float floatLog(float r) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(r);
    if (!isPositiveNormal(bits)) return floatLogExact(r);
    const double approximation = logApproximation(bits);
    const double bound = (approximation < 0 ? -approximation : approximation) * kLogSettleBound;
    const float low = float(approximation - bound), high = float(approximation + bound);
    return low == high ? low : floatLogExact(r);
}

void floatLogBatch(const float* r, float* logs, std::size_t n) {
    constexpr std::uint32_t kOneBits =
        0x3F800000u;  // stands in for inputs the first step cannot take
    bool allSettled = true;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(r[i]);
        const bool normal = isPositiveNormal(bits);
        const double approximation = logApproximation(normal ? bits : kOneBits);
        const double bound = (approximation < 0 ? -approximation : approximation) * kLogSettleBound;
        const float low = float(approximation - bound), high = float(approximation + bound);
        logs[i] = low;
        allSettled = allSettled & normal & (low == high);
    }
    if (allSettled) return;
    for (std::size_t i = 0; i < n; ++i) logs[i] = floatLog(r[i]);
}

}  // namespace simtrove::random
