// The vegetable tokens: a badge whose outline is the token's physics shape (a circle of
// radius 16 or a 32 by 32 square) with the vegetable drawn on it. Every kind differs in badge
// colour, in brightness and in the silhouette of its picture, so that players who confuse red
// and green still tell them apart. Depends on canvas.h.
//
// The game turns tokens without filtering, so every texel either shows or is skipped or shown
// twice. Lines one texel wide that differ sharply from their neighbours break into dots when
// turned. Hence outlines are at least two texels wide where they show, their ink is only as
// dark as the picture needs, and the badge ends in a broad band of one darker tone rather than
// a thin dark rim.
#include <cmath>
#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/pictures.h"

namespace assetgen {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kCorner = 5.0;  // corner radius of the square badges

struct Look {
  const char* name;
  Rgb top, bottom;  // badge gradient
  Rgb ink;          // the outline of the picture on it
};

// Badge colours chosen to differ in brightness and along the blue-yellow axis as well as in hue.
Look LookOf(Veg veg) {
  switch (veg) {
    case Veg::kPea:
      return {"Pea", Hex(0x4fc48a), Hex(0x1d7a4f), Hex(0x0f3d22)};
    case Veg::kCarrot:
      return {"Carrot", Hex(0xffa23a), Hex(0xe0620a), Hex(0x6b2a00)};
    case Veg::kSweetcorn:
      return {"Sweetcorn", Hex(0xffe45c), Hex(0xf0a800), Hex(0x7a4f00)};
    case Veg::kEggPlant:
      return {"EggPlant", Hex(0x8a46b8), Hex(0x4a1670), Hex(0x1e0630)};
    case Veg::kOnion:
      return {"Onion", Hex(0x9cc8f2), Hex(0x3f7fc8), Hex(0x1c3a66)};
    case Veg::kBeetroot:
      return {"Beetroot", Hex(0xe0407a), Hex(0x8e0e44), Hex(0x3a0018)};
    case Veg::kRedPepper:
      return {"RedPepper", Hex(0xff5a4a), Hex(0xb01818), Hex(0x4a0000)};
  }
  return {"", {}, {}, {}};
}

// Adds the badge outline path.
void BadgePath(cairo_t* cr, Veg veg, double inset) {
  if (IsRound(veg)) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, 16, 16, 16 - inset, 0, 2 * kPi);
  } else {
    RoundedRect(cr, inset, inset, 32 - 2 * inset, 32 - 2 * inset, kCorner - inset);
  }
}

// Strokes the current path as an outline of width w and keeps it.
void Outline(cairo_t* cr, Rgb c, double w) {
  SetColour(cr, c);
  cairo_set_line_width(cr, w);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke_preserve(cr);
}

// Outline then fill, leaving no path. Half of the stroke shows, outside the fill.
void InkAndFill(cairo_t* cr, Rgb ink, Rgb fill, double w = 4.0) {
  Outline(cr, ink, w);
  SetColour(cr, fill);
  cairo_fill(cr);
}

// A leaf: a lens between two points, bulging by `width`.
void LeafPath(cairo_t* cr, double x0, double y0, double x1, double y1, double width) {
  double dx = x1 - x0, dy = y1 - y0;
  double len = std::hypot(dx, dy);
  double nx = -dy / len * width, ny = dx / len * width;
  cairo_new_sub_path(cr);
  cairo_move_to(cr, x0, y0);
  cairo_curve_to(cr, x0 + dx * 0.3 + nx, y0 + dy * 0.3 + ny, x0 + dx * 0.7 + nx, y0 + dy * 0.7 + ny,
                 x1, y1);
  cairo_curve_to(cr, x0 + dx * 0.7 - nx, y0 + dy * 0.7 - ny, x0 + dx * 0.3 - nx, y0 + dy * 0.3 - ny,
                 x0, y0);
  cairo_close_path(cr);
}

// A soft white gleam.
void Gleam(cairo_t* cr, double x, double y, double rx, double ry, double alpha) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  SetColour(cr, {1, 1, 1}, alpha);
  cairo_fill(cr);
}

const Rgb kLeaf = Hex(0x5cc23a);
const Rgb kLeafInk = Hex(0x14400c);

// A pod with three peas, lying on the diagonal.
void DrawPea(cairo_t* cr, Rgb ink) {
  LeafPath(cr, 5.5, 23, 26.5, 9, 6.2);
  InkAndFill(cr, ink, Hex(0x2f8f3a));
  LeafPath(cr, 7.5, 21.5, 24.5, 10.5, 3.6);
  SetColour(cr, Hex(0x1d6126));
  cairo_fill(cr);
  for (int i = 0; i < 3; ++i) {
    double t = 0.22 + 0.28 * i;
    double x = 7.5 + 17 * t, y = 21.5 - 11 * t;
    cairo_arc(cr, x, y, 3.9, 0, 2 * kPi);
    InkAndFill(cr, Mix(ink, Hex(0x1d6126), 0.5), Hex(0xc9f77e), 2.2);
    Gleam(cr, x - 1.2, y - 1.3, 1.3, 1.0, 0.85);
  }
  cairo_move_to(cr, 26.3, 9.2);
  cairo_curve_to(cr, 27.5, 7, 26, 5.5, 27.5, 4.5);
  Outline(cr, ink, 2.4);
  cairo_new_path(cr);
}

// A cone pointing down-left with a tuft of leaves.
void DrawCarrot(cairo_t* cr, Rgb ink) {
  cairo_save(cr);
  cairo_translate(cr, 16, 16);
  cairo_rotate(cr, kPi / 4);
  // Leaves at the wide end (upwards in this frame, which is up-right on the badge).
  LeafPath(cr, 0, -8, -6, -15.5, 2.4);
  LeafPath(cr, 0, -8, 0, -16, 2.4);
  LeafPath(cr, 0, -8, 6, -15.5, 2.4);
  Outline(cr, kLeafInk, 3.8);
  SetColour(cr, kLeaf);
  cairo_fill(cr);
  cairo_move_to(cr, -5.5, -7);
  cairo_curve_to(cr, -5.5, -11, 5.5, -11, 5.5, -7);
  cairo_curve_to(cr, 5, 0, 2, 8, 0, 14);
  cairo_curve_to(cr, -2, 8, -5, 0, -5.5, -7);
  cairo_close_path(cr);
  InkAndFill(cr, ink, Hex(0xffb45a));
  // Ridges across the root.
  const double ridges[][3] = {{-3.8, -2, 1.6}, {2.2, 2.5, 1.8}, {-2.5, 6.5, 1.3}};
  for (const auto& r : ridges) {
    cairo_move_to(cr, r[0], r[1]);
    cairo_line_to(cr, r[0] + r[2] + 1, r[1]);
  }
  Outline(cr, Hex(0xe2882e), 2.0);
  cairo_new_path(cr);
  cairo_restore(cr);
}

// An upright cob with kernel rows, wrapped at the foot in two husk leaves.
void DrawSweetcorn(cairo_t* cr, Rgb ink) {
  cairo_save(cr);
  cairo_translate(cr, 16, 13.5);
  cairo_scale(cr, 6.2, 10.5);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  InkAndFill(cr, ink, Hex(0xfff6b8));
  // Kernels: a grid clipped to the cob.
  cairo_save(cr);
  cairo_translate(cr, 16, 13.5);
  cairo_scale(cr, 6.2, 10.5);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  cairo_clip(cr);
  for (double y = 5.5; y < 26; y += 3.2) {
    cairo_move_to(cr, 9, y);
    cairo_line_to(cr, 23, y);
  }
  cairo_move_to(cr, 13.2, 2);
  cairo_line_to(cr, 13.2, 26);
  cairo_move_to(cr, 18.8, 2);
  cairo_line_to(cr, 18.8, 26);
  Outline(cr, Hex(0xf0c640), 1.6);
  cairo_new_path(cr);
  cairo_reset_clip(cr);
  // Husk leaves from the foot up both sides.
  LeafPath(cr, 16, 28.5, 7.5, 13, 3.3);
  LeafPath(cr, 16, 28.5, 24.5, 13, 3.3);
  Outline(cr, kLeafInk, 3.8);
  SetColour(cr, kLeaf);
  cairo_fill(cr);
}

// An aubergine: a tilted teardrop with a green cap.
void DrawEggPlant(cairo_t* cr, Rgb ink) {
  cairo_save(cr);
  cairo_translate(cr, 16.5, 16.5);
  cairo_rotate(cr, kPi / 5);
  cairo_move_to(cr, 0, -10);
  cairo_curve_to(cr, 4.5, -10, 4, -4, 7, 1);
  cairo_curve_to(cr, 10.5, 7, 6, 13, 0, 13);
  cairo_curve_to(cr, -6, 13, -10.5, 7, -7, 1);
  cairo_curve_to(cr, -4, -4, -4.5, -10, 0, -10);
  cairo_close_path(cr);
  InkAndFill(cr, ink, Hex(0xc890ec));
  Gleam(cr, -3.5, 4, 1.6, 4.0, 0.55);
  // Cap and stem.
  cairo_move_to(cr, -5.5, -6.5);
  cairo_curve_to(cr, -3, -11, 3, -11, 5.5, -6.5);
  cairo_curve_to(cr, 2.5, -8, 1.5, -5, 0, -4);
  cairo_curve_to(cr, -1.5, -5, -2.5, -8, -5.5, -6.5);
  cairo_close_path(cr);
  InkAndFill(cr, kLeafInk, kLeaf, 3.6);
  cairo_move_to(cr, 0, -9.5);
  cairo_line_to(cr, 0.5, -14);
  Outline(cr, kLeafInk, 3.2);
  SetColour(cr, kLeaf);
  cairo_set_line_width(cr, 1.4);
  cairo_stroke(cr);
  cairo_restore(cr);
}

// A round bulb with a pointed top, skin lines and roots.
void DrawOnion(cairo_t* cr, Rgb ink) {
  cairo_move_to(cr, 16, 4);
  cairo_curve_to(cr, 17.5, 9, 26, 11, 26, 18.5);
  cairo_curve_to(cr, 26, 24.5, 21.5, 27.5, 16, 27.5);
  cairo_curve_to(cr, 10.5, 27.5, 6, 24.5, 6, 18.5);
  cairo_curve_to(cr, 6, 11, 14.5, 9, 16, 4);
  cairo_close_path(cr);
  InkAndFill(cr, ink, Hex(0xfffdf5));
  // Skin lines from the tip to the root.
  cairo_move_to(cr, 15.5, 8);
  cairo_curve_to(cr, 10, 13, 10, 23, 14.5, 27);
  cairo_move_to(cr, 16.5, 8);
  cairo_curve_to(cr, 22, 13, 22, 23, 17.5, 27);
  Outline(cr, Hex(0xb8d0ea), 2.0);
  cairo_new_path(cr);
  Gleam(cr, 10.8, 17, 1.4, 3.2, 0.9);
  // Roots.
  cairo_move_to(cr, 14, 28);
  cairo_line_to(cr, 13, 30);
  cairo_move_to(cr, 16, 28);
  cairo_line_to(cr, 16, 30.5);
  cairo_move_to(cr, 18, 28);
  cairo_line_to(cr, 19, 30);
  Outline(cr, ink, 2.0);
  cairo_new_path(cr);
}

// A round root with two leaves on top and a thin tail.
void DrawBeetroot(cairo_t* cr, Rgb ink) {
  LeafPath(cr, 15, 11, 8.5, 2.5, 3.0);
  LeafPath(cr, 17, 11, 24, 3, 3.0);
  Outline(cr, kLeafInk, 3.8);
  SetColour(cr, kLeaf);
  cairo_fill(cr);
  cairo_move_to(cr, 17, 25);
  cairo_curve_to(cr, 18, 28, 21, 28.5, 22.5, 30);
  Outline(cr, ink, 3.4);
  SetColour(cr, Hex(0xff9cc0));
  cairo_set_line_width(cr, 1.4);
  cairo_stroke(cr);
  cairo_arc(cr, 16, 18, 8.3, 0, 2 * kPi);
  InkAndFill(cr, ink, Hex(0xff9cc0));
  Gleam(cr, 12.8, 15, 1.8, 2.4, 0.75);
}

// A bell pepper with a green stem.
void DrawRedPepper(cairo_t* cr, Rgb ink) {
  cairo_move_to(cr, 16, 9);
  cairo_curve_to(cr, 20, 6.5, 26, 8, 25.5, 15);
  cairo_curve_to(cr, 25, 22, 22, 27, 19, 27);
  cairo_curve_to(cr, 17.5, 27, 17, 25.5, 16, 25.5);
  cairo_curve_to(cr, 15, 25.5, 14.5, 27, 13, 27);
  cairo_curve_to(cr, 10, 27, 7, 22, 6.5, 15);
  cairo_curve_to(cr, 6, 8, 12, 6.5, 16, 9);
  cairo_close_path(cr);
  InkAndFill(cr, ink, Hex(0xff9a8a));
  cairo_move_to(cr, 16, 11);
  cairo_curve_to(cr, 15, 17, 15, 21, 16, 25);
  Outline(cr, Hex(0xe8705f), 2.0);
  cairo_new_path(cr);
  Gleam(cr, 11, 15, 1.4, 3.0, 0.7);
  cairo_move_to(cr, 16, 9.5);
  cairo_curve_to(cr, 16, 6, 17, 4.5, 19.5, 4);
  Outline(cr, kLeafInk, 3.4);
  SetColour(cr, kLeaf);
  cairo_set_line_width(cr, 1.6);
  cairo_stroke(cr);
}

}  // namespace

// Pea, Sweetcorn, EggPlant (and the red pepper) are round; the rest square.
bool IsRound(Veg veg) {
  return veg == Veg::kPea || veg == Veg::kSweetcorn || veg == Veg::kEggPlant ||
         veg == Veg::kRedPepper;
}

// Badge, then the vegetable clipped to it, then the rim (a light ring when selected).
void DrawToken(cairo_t* cr, Veg veg, bool selected) {
  Look look = LookOf(veg);
  // Ink part way to the badge colour: outlines stay clear without stepping harshly when turned.
  look.ink = Mix(look.ink, look.bottom, 0.3);
  Rgb top = selected ? Lighter(look.top, 0.2) : look.top;
  Rgb bottom = selected ? Lighter(look.bottom, 0.28) : look.bottom;
  cairo_save(cr);
  BadgePath(cr, veg, 0);
  FillVertical(cr, 0, 32, top, bottom);
  cairo_clip(cr);
  // A soft sheen across the upper half of the badge.
  cairo_save(cr);
  cairo_translate(cr, 16, 8);
  cairo_scale(cr, 13, 7);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  SetColour(cr, {1, 1, 1}, 0.18);
  cairo_fill(cr);
  switch (veg) {
    case Veg::kPea:
      DrawPea(cr, look.ink);
      break;
    case Veg::kCarrot:
      DrawCarrot(cr, look.ink);
      break;
    case Veg::kSweetcorn:
      DrawSweetcorn(cr, look.ink);
      break;
    case Veg::kEggPlant:
      DrawEggPlant(cr, look.ink);
      break;
    case Veg::kOnion:
      DrawOnion(cr, look.ink);
      break;
    case Veg::kBeetroot:
      DrawBeetroot(cr, look.ink);
      break;
    case Veg::kRedPepper:
      DrawRedPepper(cr, look.ink);
      break;
  }
  // Rim: drawn inside the badge so nothing spills past the physics outline.
  if (selected) {
    BadgePath(cr, veg, 1.25);
    SetColour(cr, Hex(0xfffbe0));
    cairo_set_line_width(cr, 2.5);
    cairo_stroke(cr);
    BadgePath(cr, veg, 3.2);
    SetColour(cr, {1, 1, 1}, 0.35);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
  } else {
    BadgePath(cr, veg, 1.5);
    SetColour(cr, Darker(look.bottom, 0.22));
    cairo_set_line_width(cr, 3.0);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
}

// Writes the normal and selected picture of each of the seven vegetables.
bool WriteTokens(const std::string& data_dir, std::string* error) {
  const Veg all[] = {Veg::kBeetroot, Veg::kCarrot,    Veg::kEggPlant, Veg::kOnion,
                     Veg::kPea,      Veg::kRedPepper, Veg::kSweetcorn};
  for (Veg veg : all) {
    for (bool selected : {false, true}) {
      Canvas canvas(kTokenSize, kTokenSize);
      DrawToken(canvas.cr(), veg, selected);
      std::string name = std::string(LookOf(veg).name) + (selected ? "Selected" : "") + ".png";
      if (!canvas.WritePng(data_dir + "/Images/Shapes/" + name, error)) return false;
    }
  }
  return true;
}

}  // namespace assetgen
