// The drawing kit: owned cairo surfaces, PNG output, colour mixing and lettering helpers.
// Depends on cairo (its PNG writer stores no time stamp, so equal drawings give equal files).
#include "tools/assetgen/canvas.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace assetgen {

// Linear mix of two colours.
Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Towards white.
Rgb Lighter(Rgb c, double t) {
  return Mix(c, {1, 1, 1}, t);
}

// Towards black.
Rgb Darker(Rgb c, double t) {
  return Mix(c, {0, 0, 0}, t);
}

// Towards the grey of the same luminance.
Rgb Greyed(Rgb c, double t) {
  double y = 0.299 * c.r + 0.587 * c.g + 0.114 * c.b;
  return Mix(c, {y, y, y}, t);
}

// Makes a cleared surface and its context.
Canvas::Canvas(int width, int height, bool opaque)
    : width_(width),
      height_(height),
      surface_(cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, width,
                                          height)),
      cr_(cairo_create(surface_)) {
  // Font rendering must not depend on the desktop's settings, so fix the options here.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr_, options);
  cairo_font_options_destroy(options);
}

// Releases the context, then the surface.
Canvas::~Canvas() {
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

// Flushes the drawing and writes it as PNG.
bool Canvas::WritePng(const std::string& path, std::string* error) const {
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    *error = path + ": drawing failed: " + cairo_status_to_string(cairo_status(cr_));
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  if (ec) {
    *error = path + ": cannot create folder: " + ec.message();
    return false;
  }
  cairo_surface_flush(surface_);
  cairo_status_t status = cairo_surface_write_to_png(surface_, path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = path + ": " + cairo_status_to_string(status);
    return false;
  }
  return true;
}

// Sets a solid source colour.
void SetColour(cairo_t* cr, Rgb c, double alpha) {
  cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Adds a rounded rectangle path (the radius is capped at half the shorter side).
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius) {
  double r = std::min(radius, std::min(w, h) / 2);
  const double kPi = 3.14159265358979323846;
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -kPi / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, kPi / 2);
  cairo_arc(cr, x + r, y + h - r, r, kPi / 2, kPi);
  cairo_arc(cr, x + r, y + r, r, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

// Fills the current path with a top-to-bottom gradient and keeps the path.
void FillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom) {
  cairo_pattern_t* p = cairo_pattern_create_linear(0, y0, 0, y1);
  cairo_pattern_add_color_stop_rgb(p, 0, top.r, top.g, top.b);
  cairo_pattern_add_color_stop_rgb(p, 1, bottom.r, bottom.g, bottom.b);
  cairo_set_source(cr, p);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(p);
}

// Selects the bold DejaVu face at a pixel size.
void SetFont(cairo_t* cr, double size, Face face) {
  cairo_select_font_face(cr, face == Face::kCondensed ? "DejaVu Sans Condensed" : "DejaVu Sans",
                         CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
}

// Measures the ink of a text in the current font.
TextBox Measure(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return {e.x_bearing, e.y_bearing, e.width, e.height, e.x_advance};
}

// Outline first, fill over it, so the outline only grows outward.
void TextAt(cairo_t* cr, const std::string& text, double x, double y, Rgb fill, Rgb outline,
            double outline_width) {
  TextBox box = Measure(cr, text);
  cairo_new_path(cr);
  cairo_move_to(cr, x - box.x_bearing, y);
  cairo_text_path(cr, text.c_str());
  if (outline_width > 0) {
    SetColour(cr, outline);
    cairo_set_line_width(cr, outline_width * 2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_stroke_preserve(cr);
  }
  SetColour(cr, fill);
  cairo_fill(cr);
}

// Centres the ink box on cx, cy.
void CentredText(cairo_t* cr, const std::string& text, double cx, double cy, Rgb fill, Rgb outline,
                 double outline_width) {
  TextBox box = Measure(cr, text);
  double x = cx - box.width / 2;
  double baseline = cy - box.height / 2 - box.y_bearing;
  TextAt(cr, text, x, baseline, fill, outline, outline_width);
}

}  // namespace assetgen
