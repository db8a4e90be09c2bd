#include "analysis/colormap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace simtrove::analysis {
namespace {

// Relative luminance (Rec. 709 weights on linearised sRGB).
double luminance(Rgb c) {
    auto lin = [](std::uint8_t v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}

struct Map {
    const char* name;
    Rgb (*map)(double);
    Rgb low, high;  // published end colours
};

// End colours: viridis #440154 .. #fde725, inferno #000004 .. #fcffa4.
const Map kMaps[] = {
    {"viridis", viridis, {0x44, 0x01, 0x54}, {0xfd, 0xe7, 0x25}},
    {"inferno", inferno, {0x00, 0x00, 0x04}, {0xfc, 0xff, 0xa4}},
    {"gray", gray, {0, 0, 0}, {255, 255, 255}},
    {"blues", blues, {8, 48, 107}, {158, 202, 225}},
};

TEST(Colormap, EndsClampingAndNaN) {
    for (const Map& m : kMaps) {
        EXPECT_EQ(m.map(0.0), m.low) << m.name;
        EXPECT_EQ(m.map(1.0), m.high) << m.name;
        EXPECT_EQ(m.map(-3.0), m.low) << m.name;
        EXPECT_EQ(m.map(7.0), m.high) << m.name;
        EXPECT_EQ(m.map(std::numeric_limits<double>::quiet_NaN()), m.low) << m.name;
    }
}

// What makes a map readable: lightness grows steadily with the value.
TEST(Colormap, LuminanceRisesMonotonically) {
    for (const Map& m : kMaps) {
        double previous = -1.0;
        for (int i = 0; i <= 200; ++i) {
            const double l = luminance(m.map(i / 200.0));
            EXPECT_GE(l, previous) << m.name << " at " << i / 200.0;
            previous = l;
        }
    }
}

}  // namespace
}  // namespace simtrove::analysis
