// The two 640 by 480 backdrops: the game's kitchen (with the HUD labels painted on chalkboards,
// the numbers being printed below them by the game) and the title screen. The game backdrop
// keeps the column behind the pot plain, so that the falling tokens read clearly. Depends on
// canvas.h and the token and pot drawings.
#include <cmath>
#include <cstdint>
#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/pictures.h"

namespace assetgen {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kWidth = 640, kHeight = 480;
constexpr double kCounterTop = 392;  // the worktop the pot stands on

const Rgb kPlaster = Hex(0xf8e6c4);
const Rgb kTile = Hex(0xfcf1dc);
const Rgb kGrout = Hex(0xe3cda2);
const Rgb kWood = Hex(0xb5773f);
const Rgb kWoodDark = Hex(0x7a4a22);
const Rgb kBoard = Hex(0x2f4a3c);
const Rgb kChalk = Hex(0xf7eaa8);
const Rgb kChocolate = Hex(0x3b2314);

// A small fixed-seed generator, so that the "random" tile shading is the same every build.
class Lcg {
 public:
  explicit Lcg(uint32_t seed) : state_(seed) {}
  double Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return (state_ >> 8) / 16777216.0;
  }

 private:
  uint32_t state_;
};

// Plaster above, a tiled splash-back below, the worktop and cupboards at the bottom.
void Kitchen(cairo_t* cr) {
  cairo_rectangle(cr, 0, 0, kWidth, 200);
  FillVertical(cr, 0, 200, Lighter(kPlaster, 0.15), kPlaster);
  cairo_new_path(cr);
  // Faint wallpaper dots, so the plaster is not bare.
  for (int y = 12; y < 192; y += 24) {
    for (int x = (y / 24) % 2 ? 24 : 12; x < kWidth; x += 24) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, 2, 0, 2 * kPi);
    }
  }
  SetColour(cr, Hex(0xe9a15b), 0.16);
  cairo_fill(cr);
  // Tiles of 32 pixels, each very slightly different.
  Lcg lcg(0x6b657474);
  for (int y = 200; y < kCounterTop; y += 32) {
    for (int x = 0; x < kWidth; x += 32) {
      double shade = (lcg.Next() - 0.5) * 0.05;
      cairo_rectangle(cr, x, y, 32, 32);
      SetColour(cr, shade > 0 ? Lighter(kTile, shade) : Darker(kTile, -shade));
      cairo_fill(cr);
    }
  }
  for (int y = 200; y <= kCounterTop; y += 32) {
    cairo_move_to(cr, 0, y + 0.5);
    cairo_line_to(cr, kWidth, y + 0.5);
  }
  for (int x = 0; x <= kWidth; x += 32) {
    cairo_move_to(cr, x + 0.5, 200);
    cairo_line_to(cr, x + 0.5, kCounterTop);
  }
  SetColour(cr, kGrout);
  cairo_set_line_width(cr, 1);
  cairo_stroke(cr);
  // A border of accent tiles where plaster meets tile.
  cairo_rectangle(cr, 0, 192, kWidth, 10);
  SetColour(cr, Hex(0xe9a15b));
  cairo_fill(cr);
  for (int x = 0; x < kWidth; x += 16) {
    cairo_rectangle(cr, x + 5, 195, 6, 4);
  }
  SetColour(cr, Hex(0xfff1d8), 0.8);
  cairo_fill(cr);

  // Worktop edge and cupboard fronts.
  cairo_rectangle(cr, 0, kCounterTop, kWidth, 12);
  FillVertical(cr, kCounterTop, kCounterTop + 12, Lighter(kWood, 0.3), kWood);
  cairo_new_path(cr);
  cairo_rectangle(cr, 0, kCounterTop + 12, kWidth, kHeight - kCounterTop - 12);
  FillVertical(cr, kCounterTop + 12, kHeight, Darker(kWood, 0.1), kWoodDark);
  cairo_new_path(cr);
  for (int x = 8; x < kWidth; x += 158) {
    RoundedRect(cr, x, kCounterTop + 20, 150, 54, 6);
  }
  SetColour(cr, Darker(kWoodDark, 0.25), 0.6);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // The hob under the pot, with a warm burner glow.
  RoundedRect(cr, 196, kCounterTop - 2, 248, 16, 4);
  FillVertical(cr, kCounterTop - 2, kCounterTop + 14, Hex(0x5a5550), Hex(0x2e2a28));
  cairo_new_path(cr);
  cairo_save(cr);
  cairo_translate(cr, 320, kCounterTop + 4);
  cairo_scale(cr, 110, 8);
  cairo_pattern_t* glow = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
  cairo_pattern_add_color_stop_rgba(glow, 0, 1.0, 0.55, 0.15, 0.9);
  cairo_pattern_add_color_stop_rgba(glow, 1, 1.0, 0.4, 0.1, 0.0);
  cairo_set_source(cr, glow);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(glow);
  cairo_restore(cr);
}

// A chalkboard in a wooden frame.
void Board(cairo_t* cr, double x, double y, double w, double h) {
  RoundedRect(cr, x + 3, y + 4, w, h, 8);
  SetColour(cr, {0, 0, 0}, 0.18);
  cairo_fill(cr);
  RoundedRect(cr, x, y, w, h, 8);
  FillVertical(cr, y, y + h, Lighter(kWood, 0.15), kWoodDark);
  cairo_new_path(cr);
  RoundedRect(cr, x + 6, y + 6, w - 12, h - 12, 4);
  SetColour(cr, kBoard);
  cairo_fill(cr);
}

// A chalk label whose baseline sits just above the number printed at top.
void Label(cairo_t* cr, const std::string& text, double x, double top) {
  SetFont(cr, 13);
  TextAt(cr, text, x, top - 3, kChalk, kChalk, 0);
}

// A jar on a shelf: glass, contents, lid.
void Jar(cairo_t* cr, double x, double base, double w, double h, Rgb contents) {
  RoundedRect(cr, x, base - h, w, h, 5);
  SetColour(cr, Hex(0xe8f4f4), 0.9);
  cairo_fill_preserve(cr);
  SetColour(cr, Hex(0x8fa8a8));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  RoundedRect(cr, x + 3, base - h * 0.7, w - 6, h * 0.7 - 3, 3);
  SetColour(cr, contents);
  cairo_fill(cr);
  RoundedRect(cr, x - 2, base - h - 6, w + 4, 8, 2);
  SetColour(cr, Hex(0xd0452f));
  cairo_fill(cr);
  cairo_rectangle(cr, x + 4, base - h + 6, 3, h * 0.25);
  SetColour(cr, {1, 1, 1}, 0.7);
  cairo_fill(cr);
}

// A wooden shelf with its brackets.
void Shelf(cairo_t* cr, double x, double y, double w) {
  cairo_rectangle(cr, x, y, w, 7);
  FillVertical(cr, y, y + 7, Lighter(kWood, 0.2), kWoodDark);
  cairo_new_path(cr);
  for (double bx : {x + 14, x + w - 20}) {
    cairo_move_to(cr, bx, y + 7);
    cairo_line_to(cr, bx + 6, y + 7);
    cairo_line_to(cr, bx + 6, y + 20);
    cairo_close_path(cr);
  }
  SetColour(cr, kWoodDark);
  cairo_fill(cr);
}

// Hanging utensils on a rail.
void Utensils(cairo_t* cr, double x, double y) {
  cairo_move_to(cr, x, y);
  cairo_line_to(cr, x + 140, y);
  SetColour(cr, Hex(0x8a8580));
  cairo_set_line_width(cr, 4);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  const Rgb steel = Hex(0xc9ccd0), ink = Hex(0x5d6166);
  // Ladle.
  cairo_move_to(cr, x + 25, y);
  cairo_line_to(cr, x + 25, y + 44);
  cairo_set_line_width(cr, 4);
  SetColour(cr, steel);
  cairo_stroke(cr);
  cairo_arc(cr, x + 25, y + 50, 9, 0, kPi);
  cairo_close_path(cr);
  SetColour(cr, steel);
  cairo_fill_preserve(cr);
  SetColour(cr, ink);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Wooden spoon.
  cairo_move_to(cr, x + 62, y);
  cairo_line_to(cr, x + 62, y + 40);
  SetColour(cr, Hex(0xd9a066));
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  cairo_save(cr);
  cairo_translate(cr, x + 62, y + 50);
  cairo_scale(cr, 7, 11);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_restore(cr);
  SetColour(cr, Hex(0xd9a066));
  cairo_fill(cr);
  // Whisk.
  cairo_move_to(cr, x + 100, y);
  cairo_line_to(cr, x + 100, y + 22);
  SetColour(cr, ink);
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  for (double k : {-6.0, -2.0, 2.0, 6.0}) {
    cairo_move_to(cr, x + 100, y + 22);
    cairo_curve_to(cr, x + 100 + k * 1.6, y + 34, x + 100 + k * 1.2, y + 58, x + 100, y + 60);
  }
  SetColour(cr, steel);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  // Spatula.
  cairo_move_to(cr, x + 128, y);
  cairo_line_to(cr, x + 128, y + 36);
  SetColour(cr, Hex(0x3b3b3b));
  cairo_set_line_width(cr, 4);
  cairo_stroke(cr);
  RoundedRect(cr, x + 121, y + 36, 14, 22, 3);
  SetColour(cr, steel);
  cairo_fill_preserve(cr);
  SetColour(cr, ink);
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
}

// A window with sky, a cloud and gingham curtains.
void Window(cairo_t* cr, double x, double y, double w, double h) {
  RoundedRect(cr, x - 6, y - 6, w + 12, h + 12, 6);
  SetColour(cr, Hex(0xfdfaf2));
  cairo_fill(cr);
  cairo_rectangle(cr, x, y, w, h);
  FillVertical(cr, y, y + h, Hex(0x7cc4f0), Hex(0xcdebfa));
  cairo_new_path(cr);
  // Cloud and a far hill.
  const double cloud[][3] = {{0.35, 0.3, 12}, {0.5, 0.26, 15}, {0.65, 0.31, 11}};
  for (const auto& c : cloud) {
    cairo_arc(cr, x + w * c[0], y + h * c[1], c[2], 0, 2 * kPi);
    SetColour(cr, {1, 1, 1}, 0.95);
    cairo_fill(cr);
  }
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_arc(cr, x + w * 0.4, y + h + 40, 90, 0, 2 * kPi);
  SetColour(cr, Hex(0x8bc86a));
  cairo_fill(cr);
  cairo_restore(cr);
  // Bars.
  cairo_rectangle(cr, x + w / 2 - 3, y, 6, h);
  cairo_rectangle(cr, x, y + h / 2 - 3, w, 6);
  SetColour(cr, Hex(0xfdfaf2));
  cairo_fill(cr);
  // Curtains: red gingham, gathered at the sides.
  for (int side = 0; side < 2; ++side) {
    double cx = side == 0 ? x - 10 : x + w + 10;
    double dir = side == 0 ? 1 : -1;
    cairo_move_to(cr, cx, y - 10);
    cairo_line_to(cr, cx + dir * 34, y - 10);
    cairo_curve_to(cr, cx + dir * 20, y + h * 0.4, cx + dir * 10, y + h * 0.6, cx + dir * 18,
                   y + h + 8);
    cairo_line_to(cr, cx, y + h + 8);
    cairo_close_path(cr);
    SetColour(cr, Hex(0xe25b4a));
    cairo_fill_preserve(cr);
    cairo_save(cr);
    cairo_clip(cr);
    for (double gx = cx - 40; gx < cx + 40; gx += 8) {
      cairo_rectangle(cr, gx, y - 10, 4, h + 20);
    }
    for (double gy = y - 10; gy < y + h + 10; gy += 8) {
      cairo_rectangle(cr, cx - 40, gy, 80, 4);
    }
    SetColour(cr, {1, 1, 1}, 0.35);
    cairo_fill(cr);
    cairo_restore(cr);
  }
  // Rail.
  cairo_move_to(cr, x - 16, y - 10);
  cairo_line_to(cr, x + w + 16, y - 10);
  SetColour(cr, kWoodDark);
  cairo_set_line_width(cr, 5);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

// A pot of herbs.
void Herbs(cairo_t* cr, double cx, double base) {
  for (int i = 0; i < 7; ++i) {
    double a = -kPi / 2 + (i - 3) * 0.32;
    double tx = cx + 26 * std::cos(a), ty = base - 26 + 24 * std::sin(a);
    cairo_move_to(cr, cx, base - 20);
    cairo_curve_to(cr, cx, base - 30, tx, ty + 10, tx, ty);
    SetColour(cr, Hex(0x3f8a2c));
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_save(cr);
    cairo_translate(cr, tx, ty);
    cairo_rotate(cr, a + kPi / 2);
    cairo_scale(cr, 4, 7);
    cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
    cairo_restore(cr);
    SetColour(cr, i % 2 ? Hex(0x5cc23a) : Hex(0x4aa832));
    cairo_fill(cr);
  }
  cairo_move_to(cr, cx - 16, base - 22);
  cairo_line_to(cr, cx + 16, base - 22);
  cairo_line_to(cr, cx + 12, base);
  cairo_line_to(cr, cx - 12, base);
  cairo_close_path(cr);
  FillVertical(cr, base - 22, base, Hex(0xe07a4a), Hex(0xa94e26));
  cairo_new_path(cr);
}

// The game screen: kitchen, chalkboards for the HUD, shelves at the sides.
void GameBackdrop(cairo_t* cr) {
  Kitchen(cr);
  // A soft shadow where the pot stands, so it sits in the scene.
  cairo_save(cr);
  cairo_translate(cr, 320, 386);
  cairo_scale(cr, 160, 14);
  cairo_pattern_t* shadow = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
  cairo_pattern_add_color_stop_rgba(shadow, 0, 0.35, 0.2, 0.1, 0.35);
  cairo_pattern_add_color_stop_rgba(shadow, 1, 0.35, 0.2, 0.1, 0.0);
  cairo_set_source(cr, shadow);
  cairo_arc(cr, 0, 0, 1, 0, 2 * kPi);
  cairo_fill(cr);
  cairo_pattern_destroy(shadow);
  cairo_restore(cr);

  // HUD: level and score on the left board, chances on the right one.
  Board(cr, 16, 34, 178, 126);
  Label(cr, "LEVEL", 32, 65);
  Label(cr, "SCORE", 32, 129);
  Board(cr, 466, 34, 158, 62);
  Label(cr, "CHANCES", 480, 65);

  // Left: utensils and a shelf of jars.
  Utensils(cr, 24, 176);
  Shelf(cr, 12, 330, 160);
  Jar(cr, 24, 330, 30, 44, Hex(0xf2b134));
  Jar(cr, 66, 330, 26, 34, Hex(0x9a5b2e));
  Jar(cr, 102, 330, 34, 50, Hex(0xd8443a));
  Jar(cr, 144, 330, 22, 30, Hex(0x6ab04c));
  // Right: the window and herbs on the sill.
  Window(cr, 494, 130, 112, 140);
  Shelf(cr, 474, 330, 156);
  Herbs(cr, 516, 330);
  Jar(cr, 560, 330, 28, 40, Hex(0xf5e6c8));
  Jar(cr, 596, 330, 24, 28, Hex(0xe9842c));
}

// The title screen: the name, a pot of vegetables and the controls.
void TitleBackdrop(cairo_t* cr) {
  Kitchen(cr);
  Window(cr, 40, 220, 90, 110);
  Utensils(cr, 480, 210);
  // The pot, smaller, with a heap of tokens in it and a few jumping out.
  const double s = 0.62;
  const double px = 320 - kPotWidth * s / 2, py = 214;
  cairo_save(cr);
  cairo_translate(cr, px, py);
  cairo_scale(cr, s, s);
  DrawPot(cr);
  cairo_restore(cr);
  // Steam curling up out of the pot.
  for (double x : {282.0, 322.0, 362.0}) {
    cairo_move_to(cr, x, 262);
    cairo_curve_to(cr, x - 14, 240, x + 14, 226, x, 204);
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetColour(cr, {1, 1, 1}, 0.45);
  cairo_set_line_width(cr, 9);
  cairo_stroke(cr);
  struct Placed {
    Veg veg;
    double x, y, angle;
  };
  // Resting in rows on the scaled pot's floor (y 392) between its walls (x 240 to 401).
  const Placed heap[] = {{Veg::kPea, 270, 375, 0.2},       {Veg::kCarrot, 304, 375, 0.0},
                         {Veg::kOnion, 338, 375, 0.05},    {Veg::kSweetcorn, 371, 375, -0.3},
                         {Veg::kBeetroot, 257, 343, 0.15}, {Veg::kEggPlant, 289, 343, 0.4},
                         {Veg::kPea, 321, 343, -0.2},      {Veg::kCarrot, 353, 343, -0.1},
                         {Veg::kSweetcorn, 385, 343, 0.3}, {Veg::kOnion, 302, 311, -0.25},
                         {Veg::kEggPlant, 336, 311, 0.1},  {Veg::kBeetroot, 250, 206, -0.5},
                         {Veg::kEggPlant, 395, 190, 0.6},  {Veg::kCarrot, 322, 238, 0.3},
                         {Veg::kPea, 196, 262, 0.0},       {Veg::kSweetcorn, 446, 250, -0.2}};
  for (const Placed& p : heap) {
    cairo_save(cr);
    cairo_translate(cr, p.x, p.y);
    cairo_rotate(cr, p.angle);
    cairo_translate(cr, -16, -16);
    DrawToken(cr, p.veg, false);
    cairo_restore(cr);
  }
  // The name, large, with a shadow.
  SetFont(cr, 84);
  TextBox box = Measure(cr, "Kettlebrim");
  double x = 320 - box.width / 2, baseline = 138;
  cairo_move_to(cr, x - box.x_bearing + 4, baseline + 6);
  cairo_text_path(cr, "Kettlebrim");
  SetColour(cr, kChocolate, 0.3);
  cairo_fill(cr);
  cairo_move_to(cr, x - box.x_bearing, baseline);
  cairo_text_path(cr, "Kettlebrim");
  SetColour(cr, kChocolate);
  cairo_set_line_width(cr, 9);
  cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  cairo_stroke_preserve(cr);
  cairo_pattern_t* gold = cairo_pattern_create_linear(0, baseline - 62, 0, baseline);
  cairo_pattern_add_color_stop_rgb(gold, 0, 1.0, 0.87, 0.35);
  cairo_pattern_add_color_stop_rgb(gold, 1, 0.93, 0.45, 0.12);
  cairo_set_source(cr, gold);
  cairo_fill(cr);
  cairo_pattern_destroy(gold);
  SetFont(cr, 18);
  CentredText(cr, "Three of a kind in the ring, and into the soup!", 320, 168, kChocolate,
              kChocolate, 0);
  // Controls: the real ones.
  RoundedRect(cr, 200, 406, 240, 44, 22);
  FillVertical(cr, 406, 450, Hex(0x6fcf6f), Hex(0x2e8b3a));
  SetColour(cr, Hex(0x1b4d20));
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  SetFont(cr, 24);
  CentredText(cr, "Click to start", 320, 428, Hex(0xffffff), Hex(0x1b4d20), 2.2);
  SetFont(cr, 15);
  CentredText(cr, "Esc to quit", 320, 468, kChalk, kChocolate, 2.0);
}

}  // namespace

// Writes Backgrounds/Background01.png (game) and Background02.png (title).
bool WriteBackdrops(const std::string& data_dir, std::string* error) {
  Canvas game(kWidth, kHeight, true);
  GameBackdrop(game.cr());
  Canvas title(kWidth, kHeight, true);
  TitleBackdrop(title.cr());
  const std::string dir = data_dir + "/Images/Backgrounds/";
  return game.WritePng(dir + "Background01.png", error) &&
         title.WritePng(dir + "Background02.png", error);
}

}  // namespace assetgen
