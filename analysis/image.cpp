#include "analysis/image.h"

#include <algorithm>
#include <cstdlib>

#include "analysis/bitmap_font.h"

namespace simtrove::analysis {

RgbImage::RgbImage(int width, int height, Rgb background) {
    if (width < 1 || height < 1) return;
    width_ = width;
    height_ = height;
    pixels_.resize(std::size_t(width) * std::size_t(height) * 3);
    for (std::size_t i = 0; i < pixels_.size(); i += 3) {
        pixels_[i] = background.r;
        pixels_[i + 1] = background.g;
        pixels_[i + 2] = background.b;
    }
}

Rgb RgbImage::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const std::size_t i = (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 3;
    return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
}

void RgbImage::set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    const std::size_t i = (std::size_t(y) * std::size_t(width_) + std::size_t(x)) * 3;
    pixels_[i] = c.r;
    pixels_[i + 1] = c.g;
    pixels_[i + 2] = c.b;
}

void RgbImage::fillRect(int x, int y, int w, int h, Rgb c) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = int(std::min<long long>(width_, (long long)x + w));
    const int y1 = int(std::min<long long>(height_, (long long)y + h));
    for (int yy = y0; yy < y1; ++yy)
        for (int xx = x0; xx < x1; ++xx) set(xx, yy, c);
}

void RgbImage::drawRect(int x, int y, int w, int h, Rgb c) {
    if (w < 1 || h < 1) return;
    fillRect(x, y, w, 1, c);
    fillRect(x, y + h - 1, w, 1, c);
    fillRect(x, y, 1, h, c);
    fillRect(x + w - 1, y, 1, h, c);
}

void RgbImage::drawLine(int x0, int y0, int x1, int y1, Rgb c, int thickness) {
    // Bresenham; each step stamps a thickness x thickness square.
    const int half = (std::max(thickness, 1) - 1) / 2;
    const int side = std::max(thickness, 1);
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        fillRect(x0 - half, y0 - half, side, side, c);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void RgbImage::drawText(int x, int y, std::string_view text, Rgb c, int scale) {
    scale = std::max(scale, 1);
    for (const char ch : text) {
        const GlyphRows rows = glyphRows(ch);
        for (int r = 0; r < kGlyphHeight; ++r)
            for (int col = 0; col < kGlyphWidth; ++col)
                if (rows[std::size_t(r)] & (0x10 >> col))
                    fillRect(x + col * scale, y + r * scale, scale, scale, c);
        x += kGlyphAdvance * scale;
    }
}

int textWidth(std::string_view text, int scale) {
    if (text.empty()) return 0;
    return (int(text.size()) * kGlyphAdvance - 1) * std::max(scale, 1);
}

int textHeight(int scale) {
    return kGlyphHeight * std::max(scale, 1);
}

}  // namespace simtrove::analysis
