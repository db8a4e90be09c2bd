#include "analysis/colormap.h"

#include <array>
#include <cmath>

namespace simtrove::analysis {
namespace {

using Stops = std::array<Rgb, 11>;

// Stops at u = 0, 0.1, ..., 1.
constexpr Stops kViridis = {{{0x44, 0x01, 0x54},
                             {0x48, 0x24, 0x75},
                             {0x41, 0x44, 0x87},
                             {0x35, 0x5f, 0x8d},
                             {0x2a, 0x78, 0x8e},
                             {0x21, 0x91, 0x8c},
                             {0x22, 0xa8, 0x84},
                             {0x44, 0xbf, 0x70},
                             {0x7a, 0xd1, 0x51},
                             {0xbd, 0xdf, 0x26},
                             {0xfd, 0xe7, 0x25}}};
constexpr Stops kInferno = {{{0x00, 0x00, 0x04},
                             {0x16, 0x0b, 0x39},
                             {0x42, 0x0a, 0x68},
                             {0x6a, 0x17, 0x6e},
                             {0x93, 0x26, 0x67},
                             {0xbc, 0x37, 0x54},
                             {0xdd, 0x51, 0x3a},
                             {0xf3, 0x78, 0x19},
                             {0xfc, 0xa5, 0x0a},
                             {0xf6, 0xd7, 0x46},
                             {0xfc, 0xff, 0xa4}}};

double clampUnit(double u) {
    if (!(u > 0.0)) return 0.0;  // also NaN
    return u < 1.0 ? u : 1.0;
}

std::uint8_t mix(std::uint8_t a, std::uint8_t b, double f) {
    return std::uint8_t(std::lround(a + (double(b) - a) * f));
}

Rgb between(Rgb a, Rgb b, double f) {
    return {mix(a.r, b.r, f), mix(a.g, b.g, f), mix(a.b, b.b, f)};
}

Rgb sample(const Stops& stops, double u) {
    const double x = clampUnit(u) * double(stops.size() - 1);
    const std::size_t i = std::min<std::size_t>(std::size_t(x), stops.size() - 2);
    return between(stops[i], stops[i + 1], x - double(i));
}

}  // namespace

Rgb viridis(double u) {
    return sample(kViridis, u);
}
Rgb inferno(double u) {
    return sample(kInferno, u);
}

Rgb gray(double u) {
    const std::uint8_t v = std::uint8_t(std::lround(clampUnit(u) * 255.0));
    return {v, v, v};
}

Rgb blues(double u) {
    return between({8, 48, 107}, {158, 202, 225}, clampUnit(u));
}

}  // namespace simtrove::analysis
