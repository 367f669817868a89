// The pot: a cutaway copper pot pasted at 64, 96. Its inner outline is the physics outline of
// the pot, shifted into picture coordinates: walls at x 128 and 386 from the rim (y 68) down to
// y 256, 45-degree bevels, floor at y 286. Everything above the rim and around the pot is
// transparent. Depends on canvas.h.
#include <cmath>
#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/pictures.h"

namespace assetgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Inner outline, in picture pixels.
constexpr double kInnerLeft = 128, kInnerRight = 386, kRim = 68, kWallFoot = 256, kFloor = 286;
constexpr double kBevel = kFloor - kWallFoot;  // 45 degrees: as wide as it is high
// Wall thickness and the outer bottom.
constexpr double kWall = 14, kOuterBottom = 300;

const Rgb kCopperLight = Hex(0xf2a35e);
const Rgb kCopper = Hex(0xd0732f);
const Rgb kCopperDark = Hex(0x8a3f16);
const Rgb kInside = Hex(0x4a2413);
const Rgb kInsideDeep = Hex(0x2c140a);

// The inside of the pot: what the tokens rest in.
void InnerPath(cairo_t* cr) {
  cairo_move_to(cr, kInnerLeft, kRim);
  cairo_line_to(cr, kInnerLeft, kWallFoot);
  cairo_line_to(cr, kInnerLeft + kBevel, kFloor);
  cairo_line_to(cr, kInnerRight - kBevel, kFloor);
  cairo_line_to(cr, kInnerRight, kWallFoot);
  cairo_line_to(cr, kInnerRight, kRim);
  cairo_close_path(cr);
}

// The pot's body as seen from the front: walls and floor thickened outwards.
void OuterPath(cairo_t* cr) {
  double l = kInnerLeft - kWall, r = kInnerRight + kWall;
  cairo_move_to(cr, l, kRim);
  cairo_line_to(cr, l, kWallFoot - 4);
  cairo_curve_to(cr, l, kWallFoot + 30, l + 24, kOuterBottom, l + 60, kOuterBottom);
  cairo_line_to(cr, r - 60, kOuterBottom);
  cairo_curve_to(cr, r - 24, kOuterBottom, r, kWallFoot + 30, r, kWallFoot - 4);
  cairo_line_to(cr, r, kRim);
  cairo_close_path(cr);
}

// A loop handle riveted to the outside of a wall; side is -1 for the left, +1 for the right.
void Handle(cairo_t* cr, double wall_x, int side) {
  double out = wall_x + side * 40;
  cairo_move_to(cr, wall_x, 96);
  cairo_curve_to(cr, out, 90, out, 92, out, 110);
  cairo_curve_to(cr, out, 128, out, 130, wall_x, 126);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetColour(cr, Darker(kCopperDark, 0.3));
  cairo_set_line_width(cr, 11);
  cairo_stroke_preserve(cr);
  SetColour(cr, kCopper);
  cairo_set_line_width(cr, 7);
  cairo_stroke_preserve(cr);
  SetColour(cr, kCopperLight);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // Mounting plate with two rivets.
  double px = side < 0 ? wall_x - 8 : wall_x;
  RoundedRect(cr, px, 86, 8, 50, 3);
  SetColour(cr, kCopperDark);
  cairo_fill(cr);
  for (double y : {96.0, 126.0}) {
    cairo_arc(cr, px + 4, y, 2.4, 0, 2 * kPi);
    SetColour(cr, kCopperLight);
    cairo_fill(cr);
  }
}

}  // namespace

// Back rim, body, inside, lips and handles, drawn back to front.
void DrawPot(cairo_t* cr) {
  Handle(cr, kInnerLeft - kWall, -1);
  Handle(cr, kInnerRight + kWall, +1);

  // Body: copper with a light band where the light catches the front.
  OuterPath(cr);
  cairo_pattern_t* body =
      cairo_pattern_create_linear(kInnerLeft - kWall, 0, kInnerRight + kWall, 0);
  cairo_pattern_add_color_stop_rgb(body, 0.0, kCopperDark.r, kCopperDark.g, kCopperDark.b);
  cairo_pattern_add_color_stop_rgb(body, 0.03, kCopperLight.r, kCopperLight.g, kCopperLight.b);
  cairo_pattern_add_color_stop_rgb(body, 0.06, kCopper.r, kCopper.g, kCopper.b);
  cairo_pattern_add_color_stop_rgb(body, 0.94, kCopper.r, kCopper.g, kCopper.b);
  cairo_pattern_add_color_stop_rgb(body, 0.97, kCopperLight.r, kCopperLight.g, kCopperLight.b);
  cairo_pattern_add_color_stop_rgb(body, 1.0, kCopperDark.r, kCopperDark.g, kCopperDark.b);
  cairo_set_source(cr, body);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(body);
  SetColour(cr, Darker(kCopperDark, 0.35));
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);

  // Inside: dark, lit from the middle, so that bright tokens stand out against it.
  InnerPath(cr);
  cairo_pattern_t* inside = cairo_pattern_create_linear(kInnerLeft, 0, kInnerRight, 0);
  cairo_pattern_add_color_stop_rgb(inside, 0.0, kInsideDeep.r, kInsideDeep.g, kInsideDeep.b);
  cairo_pattern_add_color_stop_rgb(inside, 0.5, kInside.r, kInside.g, kInside.b);
  cairo_pattern_add_color_stop_rgb(inside, 1.0, kInsideDeep.r, kInsideDeep.g, kInsideDeep.b);
  cairo_set_source(cr, inside);
  cairo_fill_preserve(cr);
  cairo_pattern_destroy(inside);
  // Faint hammered streaks and a shadow under the rim, kept inside the inner outline.
  cairo_save(cr);
  cairo_clip(cr);
  for (int i = 0; i < 9; ++i) {
    double x = kInnerLeft + 22 + i * 27.5;
    cairo_move_to(cr, x, kRim + 14);
    cairo_line_to(cr, x + 3, kFloor - 8);
  }
  SetColour(cr, Hex(0x6a3620), 0.35);
  cairo_set_line_width(cr, 6);
  cairo_stroke(cr);
  cairo_pattern_t* shade = cairo_pattern_create_linear(0, kRim, 0, kRim + 40);
  cairo_pattern_add_color_stop_rgba(shade, 0, 0, 0, 0, 0.45);
  cairo_pattern_add_color_stop_rgba(shade, 1, 0, 0, 0, 0);
  cairo_set_source(cr, shade);
  cairo_paint(cr);
  cairo_pattern_destroy(shade);
  cairo_restore(cr);

  // The back of the rim seen across the opening, then the two lips on the walls.
  RoundedRect(cr, kInnerLeft, kRim - 3, kInnerRight - kInnerLeft, 7, 3);
  FillVertical(cr, kRim - 3, kRim + 4, kCopperLight, kCopperDark);
  cairo_new_path(cr);
  for (double x : {kInnerLeft - kWall - 6, kInnerRight - 6}) {
    RoundedRect(cr, x, kRim - 6, kWall + 12, 12, 5);
    FillVertical(cr, kRim - 6, kRim + 6, Lighter(kCopperLight, 0.35), kCopperDark);
    SetColour(cr, Darker(kCopperDark, 0.35));
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
  }
  // A glint down each wall's cut face.
  for (double x : {kInnerLeft - kWall / 2, kInnerRight + kWall / 2}) {
    cairo_move_to(cr, x, kRim + 12);
    cairo_line_to(cr, x, kWallFoot - 10);
  }
  SetColour(cr, Lighter(kCopperLight, 0.4), 0.8);
  cairo_set_line_width(cr, 2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

// Writes Pot/Pot.png.
bool WritePot(const std::string& data_dir, std::string* error) {
  Canvas canvas(kPotWidth, kPotHeight);
  DrawPot(canvas.cr());
  return canvas.WritePng(data_dir + "/Images/Pot/Pot.png", error);
}

}  // namespace assetgen
