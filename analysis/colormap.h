// Colour maps for the report's pictures, each taking u in [0, 1] (clamped;
// NaN counts as 0).
//
// viridis and inferno are perceptually uniform sequential maps (lightness
// grows steadily with u, readable in grey print and by colour-blind readers),
// interpolated linearly between eleven published stops. gray runs from black
// to white; blues is a sequential ramp from dark to light blue for negative
// values in an overlay.
#pragma once

#include <cstdint>

namespace simtrove::analysis {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

Rgb viridis(double u);
Rgb inferno(double u);
Rgb gray(double u);
Rgb blues(double u);

}  // namespace simtrove::analysis
