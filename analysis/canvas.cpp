#include "analysis/canvas.h"

#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "formats/output_file.h"

namespace simtrove::analysis {
namespace {

constexpr const char* kFont = "DejaVu Sans";

void setColour(cairo_t* cr, Rgb c, double alpha = 1.0) {
    cairo_set_source_rgba(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0, alpha);
}

void selectFont(cairo_t* cr, double size, bool bold) {
    cairo_select_font_face(cr, kFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
}

// Replays the record onto `target` over a white background.
std::string replay(cairo_surface_t* record, cairo_surface_t* target) {
    cairo_t* cr = cairo_create(target);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_surface(cr, record, 0, 0);
    cairo_paint(cr);
    const cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    return status == CAIRO_STATUS_SUCCESS ? std::string() : cairo_status_to_string(status);
}

}  // namespace

struct Canvas::State {
    cairo_surface_t* record = nullptr;
    cairo_t* cr = nullptr;
    ~State() {
        if (cr) cairo_destroy(cr);
        if (record) cairo_surface_destroy(record);
    }
};

Canvas::Canvas(int width, int height)
    : state_(std::make_unique<State>()), width_(std::max(width, 1)), height_(std::max(height, 1)) {
    // Unbounded: the figure's final size is known only when it is written.
    state_->record = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, nullptr);
    state_->cr = cairo_create(state_->record);
    cairo_set_line_cap(state_->cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(state_->cr, CAIRO_LINE_JOIN_ROUND);
}

Canvas::~Canvas() = default;

constexpr double kMargin = 8.0;

int Canvas::width() const {
    return std::max(width_, int(std::ceil(right_ + kMargin)));
}

int Canvas::height() const {
    return std::max(height_, int(std::ceil(bottom_ + kMargin)));
}

void Canvas::extend(double x, double y) {
    right_ = std::max(right_, x);
    bottom_ = std::max(bottom_, y);
}
Canvas::Canvas(Canvas&&) noexcept = default;
Canvas& Canvas::operator=(Canvas&&) noexcept = default;

void Canvas::fillRect(double x, double y, double w, double h, Rgb c, double alpha) {
    extend(x + w, y + h);
    cairo_t* cr = state_->cr;
    setColour(cr, c, alpha);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
}

void Canvas::strokeRect(double x, double y, double w, double h, Rgb c, double lineWidth) {
    extend(x + w + lineWidth, y + h + lineWidth);
    cairo_t* cr = state_->cr;
    setColour(cr, c);
    cairo_set_line_width(cr, lineWidth);
    cairo_rectangle(cr, x, y, w, h);
    cairo_stroke(cr);
}

void Canvas::line(double x0, double y0, double x1, double y1, Rgb c, double lineWidth,
                  bool dashed) {
    extend(std::max(x0, x1), std::max(y0, y1));
    cairo_t* cr = state_->cr;
    setColour(cr, c);
    cairo_set_line_width(cr, lineWidth);
    const double dash[] = {4.0, 3.0};
    cairo_set_dash(cr, dash, dashed ? 2 : 0, 0.0);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    cairo_set_dash(cr, dash, 0, 0.0);
}

void Canvas::polyline(const std::vector<double>& points, Rgb c, double lineWidth) {
    if (points.size() < 4) return;
    for (std::size_t i = 0; i + 1 < points.size(); i += 2) extend(points[i], points[i + 1]);
    cairo_t* cr = state_->cr;
    setColour(cr, c);
    cairo_set_line_width(cr, lineWidth);
    cairo_move_to(cr, points[0], points[1]);
    for (std::size_t i = 2; i + 1 < points.size(); i += 2)
        cairo_line_to(cr, points[i], points[i + 1]);
    cairo_stroke(cr);
}

void Canvas::circle(double x, double y, double radius, Rgb c) {
    extend(x + radius, y + radius);
    cairo_t* cr = state_->cr;
    setColour(cr, c);
    cairo_arc(cr, x, y, radius, 0.0, 2.0 * M_PI);
    cairo_fill(cr);
}

void Canvas::raster(const Raster& r, double x, double y, double scale) {
    if (r.width < 1 || r.height < 1) return;
    extend(x + r.width * scale, y + r.height * scale);
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r.width, r.height);
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int row = 0; row < r.height; ++row) {
        auto* line =
            reinterpret_cast<std::uint32_t*>(data + std::size_t(row) * std::size_t(stride));
        for (int col = 0; col < r.width; ++col) {
            const Rgb c = r.pixels[std::size_t(row) * std::size_t(r.width) + std::size_t(col)];
            line[col] = (std::uint32_t(c.r) << 16) | (std::uint32_t(c.g) << 8) | c.b;
        }
    }
    cairo_surface_mark_dirty(image);
    cairo_t* cr = state_->cr;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0, 0, r.width, r.height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);
}

double Canvas::textWidth(const std::string& text, double size, bool bold) const {
    cairo_t* cr = state_->cr;
    selectFont(cr, size, bold);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    return e.x_advance;
}

TextBox Canvas::text(double x, double y, const std::string& text, double size, Rgb c, Align align,
                     bool bold, bool vertical) {
    cairo_t* cr = state_->cr;
    selectFont(cr, size, bold);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    const double w = e.x_advance, h = font.ascent + font.descent;
    const double shift = align == Align::Left ? 0.0 : align == Align::Centre ? w / 2.0 : w;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    if (vertical) cairo_rotate(cr, -M_PI / 2.0);
    setColour(cr, c);
    // Baseline placed so that the box (ascent + descent) is centred on y.
    cairo_move_to(cr, -shift, h / 2.0 - font.descent);
    cairo_show_text(cr, text.c_str());
    cairo_restore(cr);
    TextBox box;
    box.text = text;
    box.group = group_;
    if (vertical) {
        box.x = x - h / 2.0;
        box.y = y - w + shift;
        box.width = h;
        box.height = w;
    } else {
        box.x = x - shift;
        box.y = y - h / 2.0;
        box.width = w;
        box.height = h;
    }
    extend(box.x + box.width, box.y + box.height);
    texts_.push_back(box);
    return box;
}

std::string Canvas::writePng(const std::string& path) const {
    formats::OutputFile out(path);
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width(), height());
    std::string error = replay(state_->record, image);
    if (error.empty()) {
        const cairo_status_t status =
            cairo_surface_write_to_png(image, out.temporaryPath().c_str());
        if (status != CAIRO_STATUS_SUCCESS) error = cairo_status_to_string(status);
    }
    cairo_surface_destroy(image);
    if (!error.empty()) return path + ": cannot write the PNG picture: " + error;
    return out.commit("the PNG picture");
}

std::string Canvas::writeSvg(const std::string& path) const {
    formats::OutputFile out(path);
    cairo_surface_t* svg = cairo_svg_surface_create(out.temporaryPath().c_str(), width_, height_);
    std::string error = replay(state_->record, svg);
    cairo_surface_finish(svg);
    if (error.empty() && cairo_surface_status(svg) != CAIRO_STATUS_SUCCESS)
        error = cairo_status_to_string(cairo_surface_status(svg));
    cairo_surface_destroy(svg);
    if (!error.empty()) return path + ": cannot write the SVG picture: " + error;
    return out.commit("the SVG picture");
}

}  // namespace simtrove::analysis
