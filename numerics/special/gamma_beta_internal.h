// Internals of the gamma functions, shared only with their tests.
#pragma once

namespace simtrove::special {

// Coefficients of the six-term log-gamma series, bit for bit.
inline constexpr double kLogGammaCoefficients[6] = {0x1.30b869f76170ap+6,  -0x1.5a0572b143656p+6,
                                                    0x1.8039bf13b4cc6p+4,  -0x1.3b5348dcdcc8cp+0,
                                                    0x1.3cd7319ec12d8p-10, -0x1.6a1181c0e9888p-18};
inline constexpr double kLogGammaSeriesStart = 0x1.00000000d0ec7p+0;
inline constexpr double kLogGammaFactor = 0x1.40d931ff62706p+1;  // close to sqrt(2 pi)

}  // namespace simtrove::special
