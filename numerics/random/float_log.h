// The logarithm of the polar method: floatLog(r) is float(log(double(r))) with
// the double logarithm correctly rounded, for every float r, on every platform
// and compiler the project builds for: it uses neither the C runtime's log nor
// the x87 unit, only IEEE double arithmetic (SSE2 or better).
//
// floatLog first evaluates log in double (by a table) with a relative error
// far below kLogSettleBound; when the whole interval of that bound rounds to
// one float, that float is the answer. Otherwise (about one input in 30000)
// floatLogExact evaluates it in double-double (about 100 bits) and rounds that
// once to double and then to float. Vector code may use a first step of its
// own within the same bound, such as the series below, and call floatLogExact
// for the lanes it does not settle.
//
// Special inputs: log(0) = -infinity, log(+infinity) = +infinity, negative
// inputs and NaN give a quiet NaN.
#pragma once

#include <cstddef>

namespace simtrove::random {

float floatLog(float r);
float floatLogExact(float r);

// logs[i] = floatLog(r[i]) for n floats; faster than calls one by one (the
// first steps run without branches, the rare exact ones after them).
void floatLogBatch(const float* r, float* logs, std::size_t n);

// A first step for vector code: r = 2^e m with m in [0.75, 1.5) (for a normal float, m and e
// come from the bits: ix = bits - kLogSplitBits, e = ix >> 23, m's bits =
// (ix & 0x7FFFFF) + kLogSplitBits); log m = 2 atanh(s), s = (m - 1) / (m + 1),
// |s| <= 0.2, is 2 s + s^3 sum of kLogSeries[k] s^(18 - 2k) (k = 0 .. 9, Horner
// in s^2); log r = e kLog2High + (e kLog2Low + log m), where e kLog2High is exact.
inline constexpr unsigned kLogSplitBits = 0x3F400000u;  // 0.75f
inline constexpr double kLogSeries[10] = {2.0 / 21, 2.0 / 19, 2.0 / 17, 2.0 / 15, 2.0 / 13,
                                          2.0 / 11, 2.0 / 9,  2.0 / 7,  2.0 / 5,  2.0 / 3};
inline constexpr double kLog2High = 6.93147180369123816490e-01;  // 32 significant bits
inline constexpr double kLog2Low = 1.90821492927058770002e-10;
// The first step settles x when x - b and x + b round to the same float, b = |x| kLogSettleBound.
inline constexpr double kLogSettleBound = 0x1p-40;

}  // namespace simtrove::random
