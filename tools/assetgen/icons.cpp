// The application icon, drawn in a 256-unit square scaled to each size.
#include "tools/assetgen/icons.h"

#include <cmath>

#include "tools/assetgen/canvas.h"

namespace assetgen {

namespace {

void DrawIcon(cairo_t* cr) {
  // The tile.
  RoundedRect(cr, 8, 8, 240, 240, 48);
  FillVertical(cr, 8, 248, Hex(0xF6B042), Hex(0xD9622B));
  cairo_new_path(cr);
  // Vegetables peeking over the rim: pea, carrot, beetroot.
  const struct {
    double x, y, r;
    unsigned colour;
  } vegetables[] = {{88, 118, 30, 0x5DBB3A}, {168, 112, 34, 0xF07F1A}, {128, 96, 36, 0x9C1F4A}};
  for (const auto& v : vegetables) {
    cairo_arc(cr, v.x, v.y, v.r, 0, 2 * M_PI);
    SetColour(cr, Hex(v.colour));
    cairo_fill_preserve(cr);
    SetColour(cr, Darker(Hex(v.colour), 0.45));
    cairo_set_line_width(cr, 6);
    cairo_stroke(cr);
    cairo_arc(cr, v.x - v.r * 0.35, v.y - v.r * 0.35, v.r * 0.25, 0, 2 * M_PI);
    SetColour(cr, Lighter(Hex(v.colour), 0.6), 0.8);
    cairo_fill(cr);
  }
  // The pot: a bowl below a rim.
  cairo_move_to(cr, 40, 136);
  cairo_line_to(cr, 216, 136);
  cairo_curve_to(cr, 216, 206, 180, 226, 128, 226);
  cairo_curve_to(cr, 76, 226, 40, 206, 40, 136);
  cairo_close_path(cr);
  FillVertical(cr, 136, 226, Hex(0x5A6470), Hex(0x262C33));
  cairo_new_path(cr);
  RoundedRect(cr, 28, 126, 200, 22, 11);
  SetColour(cr, Hex(0x8A96A3));
  cairo_fill(cr);
  // Handles.
  cairo_set_line_width(cr, 12);
  SetColour(cr, Hex(0x262C33));
  cairo_arc(cr, 30, 170, 16, M_PI / 2, 3 * M_PI / 2);
  cairo_stroke(cr);
  cairo_arc(cr, 226, 170, 16, -M_PI / 2, M_PI / 2);
  cairo_stroke(cr);
}

}  // namespace

bool WriteAppIcons(const std::string& folder, const std::string& name, std::string* error) {
  for (int size : kIconSizes) {
    Canvas canvas(size, size);
    cairo_scale(canvas.cr(), size / 256.0, size / 256.0);
    DrawIcon(canvas.cr());
    const std::string edge = std::to_string(size);
    if (!canvas.WritePng(folder + "/" + edge + "x" + edge + "/apps/" + name + ".png", error))
      return false;
  }
  return true;
}

}  // namespace assetgen
