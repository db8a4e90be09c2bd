// A figure drawn with Cairo: vector drawing recorded once, written as PNG
// (anti-aliased, on white) and as SVG from the same record.
//
// Coordinates are pixels of the PNG, y downwards; the figure grows to the
// right and downwards to hold whatever is drawn. Text is DejaVu Sans through
// Cairo's font support (any Unicode the font holds: lower case, |t|, rho,
// minus signs); every text drawn leaves its box in texts(), tagged with the
// group current at the time, so that tests can check a figure's layout
// (labels inside the figure, labels of one group apart) without looking at
// pixels. Files go through formats/output_file.h.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analysis/colormap.h"

namespace simtrove::analysis {

struct TextBox {
    std::string text, group;
    double x = 0, y = 0, width = 0, height = 0;  // top-left corner and size
    bool overlaps(const TextBox& other) const {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
};

enum class Align { Left, Centre, Right };

// An RGB raster to place into a figure, each pixel drawn as a square.
struct Raster {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;  // row after row from the top
    Raster(int w, int h, Rgb fill = kWhite)
        : width(w), height(h), pixels(std::size_t(w) * std::size_t(h), fill) {}
    Rgb& at(int x, int y) { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

class Canvas {
  public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(Canvas&&) noexcept;
    Canvas& operator=(Canvas&&) noexcept;
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // The size asked for, grown to hold everything drawn plus a margin.
    int width() const;
    int height() const;

    void fillRect(double x, double y, double w, double h, Rgb c, double alpha = 1.0);
    void strokeRect(double x, double y, double w, double h, Rgb c, double lineWidth = 1.0);
    void line(double x0, double y0, double x1, double y1, Rgb c, double lineWidth = 1.0,
              bool dashed = false);
    // A path through `points` (x, y, x, y, ...).
    void polyline(const std::vector<double>& points, Rgb c, double lineWidth = 1.0);
    void circle(double x, double y, double radius, Rgb c);
    // The raster scaled by `scale` with its top-left corner at (x, y), pixels
    // kept square and sharp.
    void raster(const Raster& r, double x, double y, double scale);

    // Text of `size` pixels, aligned at x, its vertical middle at y; rotated
    // a quarter turn anticlockwise when `vertical` (for y-axis titles).
    TextBox text(double x, double y, const std::string& text, double size, Rgb c,
                 Align align = Align::Left, bool bold = false, bool vertical = false);
    // The width of the text as text() would draw it.
    double textWidth(const std::string& text, double size, bool bold = false) const;

    void setGroup(const std::string& group) { group_ = group; }
    const std::vector<TextBox>& texts() const { return texts_; }

    // Empty on success, else "PATH: cannot write ...".
    std::string writePng(const std::string& path) const;
    std::string writeSvg(const std::string& path) const;

  private:
    struct State;
    std::unique_ptr<State> state_;
    void extend(double x, double y);
    int width_ = 0, height_ = 0;
    double right_ = 0, bottom_ = 0;  // of everything drawn
    std::string group_;
    std::vector<TextBox> texts_;
};

}  // namespace simtrove::analysis
