#include "analysis/image.h"

#include <gtest/gtest.h>

#include "analysis/bitmap_font.h"

namespace simtrove::analysis {
namespace {

constexpr Rgb kRed{255, 0, 0};

int count(const RgbImage& img, Rgb c) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += img.at(x, y) == c;
    return n;
}

TEST(RgbImage, DrawingClipsToThePicture) {
    RgbImage img(10, 8);
    img.fillRect(-5, -5, 8, 7, kRed);  // covers x 0..2, y 0..1
    EXPECT_EQ(count(img, kRed), 6);
    img.fillRect(8, 6, 100, 100, kRed);  // x 8..9, y 6..7
    EXPECT_EQ(count(img, kRed), 10);
    img.set(-1, 0, kBlack);
    img.set(10, 7, kBlack);
    img.drawLine(-20, -20, 30, 30, kBlack, 3);
    img.drawText(5, 5, "TEXT OFF THE EDGE", kBlack, 4);
    EXPECT_EQ(img.at(-1, 0), Rgb{});
    EXPECT_EQ(img.pixels().size(), 10u * 8u * 3u);
}

TEST(RgbImage, EmptyPictureForNonPositiveSizes) {
    for (const auto& [w, h] : {std::pair{0, 5}, {5, 0}, {-3, -3}}) {
        RgbImage img(w, h);
        EXPECT_EQ(img.width(), 0);
        EXPECT_TRUE(img.pixels().empty());
        img.fillRect(0, 0, 3, 3, kRed);
    }
}

TEST(RgbImage, LinesReachBothEnds) {
    RgbImage img(20, 20);
    img.drawLine(2, 3, 15, 11, kRed);
    EXPECT_EQ(img.at(2, 3), kRed);
    EXPECT_EQ(img.at(15, 11), kRed);
    EXPECT_EQ(count(img, kRed), 14);  // one pixel per step along the longer axis
    img.drawRect(0, 0, 20, 20, kBlack);
    EXPECT_EQ(count(img, kBlack), 76);
}

TEST(RgbImage, TextStampsTheGlyphAtScale) {
    RgbImage img(40, 20);
    img.drawText(3, 2, "7", kRed, 2);
    const GlyphRows rows = glyphRows('7');
    for (int r = 0; r < kGlyphHeight; ++r)
        for (int c = 0; c < kGlyphWidth; ++c) {
            const bool on = rows[std::size_t(r)] & (0x10 >> c);
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx)
                    EXPECT_EQ(img.at(3 + 2 * c + dx, 2 + 2 * r + dy) == kRed, on) << r << c;
        }
    EXPECT_EQ(textWidth("", 2), 0);
    EXPECT_EQ(textWidth("AB", 1), 11);
    EXPECT_EQ(textWidth("AB", 2), 22);
    EXPECT_EQ(textHeight(3), 21);
}

}  // namespace
}  // namespace simtrove::analysis
