// An 8-bit RGB picture with the few drawing operations the report needs.
//
// Pixels are row after row from the top, three bytes each. Every operation
// clips to the picture, so callers may draw partly outside it.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace simtrove::analysis {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};

class RgbImage {
  public:
    // Sizes below 1 give an empty picture of 0 x 0.
    RgbImage(int width, int height, Rgb background = kWhite);

    int width() const { return width_; }
    int height() const { return height_; }
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }
    Rgb at(int x, int y) const;

    void set(int x, int y, Rgb c);
    void fillRect(int x, int y, int w, int h, Rgb c);
    void drawRect(int x, int y, int w, int h, Rgb c);  // one-pixel outline
    // Straight line of the given thickness (odd widths centre on the line).
    void drawLine(int x0, int y0, int x1, int y1, Rgb c, int thickness = 1);
    // Text in the built-in 5 x 7 font, each font pixel a scale x scale block,
    // top-left corner at (x, y). Letters are drawn as capitals.
    void drawText(int x, int y, std::string_view text, Rgb c, int scale = 1);

  private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

// Width and height in pixels of text drawn with drawText at that scale.
int textWidth(std::string_view text, int scale = 1);
int textHeight(int scale = 1);

}  // namespace simtrove::analysis
