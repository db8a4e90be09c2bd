#include "numerics/random/float_log.h"

#include <array>
#include <bit>
#include <cstdint>
#include <limits>

namespace simtrove::random {
namespace {

// Positive normal finite floats: the split of the first step applies.
bool isPositiveNormal(std::uint32_t bits) {
    return bits - 0x00800000u < 0x7F000000u;
}

struct Split {
    int e;
    float m;  // in [0.75, 1.5)
};

Split splitNormal(std::uint32_t bits) {
    const std::uint32_t ix = bits - kLogSplitBits;
    return {std::int32_t(ix) >> 23, std::bit_cast<float>((ix & 0x7FFFFFu) + kLogSplitBits)};
}

// The double evaluation; every step is a plain double operation (no FMA), so
// its error, a few units in the last place, stays far below kLogSettleBound.
double logApproximation(const Split& split) {
    const double m = split.m, e = split.e;
    const double s = (m - 1.0) / (m + 1.0);
    const double z = s * s;
    double p = kLogSeries[0];
    for (int k = 1; k < 10; ++k) p = p * z + kLogSeries[k];
    const double logM = (s + s) + (s * z) * p;
    return e * kLog2High + (e * kLog2Low + logM);
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
double exactLog(int e, float mantissa) {
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
    const double approximation = logApproximation(splitNormal(bits));
    const double bound = (approximation < 0 ? -approximation : approximation) * kLogSettleBound;
    const float low = float(approximation - bound), high = float(approximation + bound);
    return low == high ? low : floatLogExact(r);
}

}  // namespace simtrove::random
