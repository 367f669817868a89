// The interface pictures: the two buttons and their faded forms, the cursor ring, the image
// font, the pop frames, the multiplier badges and the captions. Depends on canvas.h.
#include <cmath>
#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/pictures.h"

namespace assetgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

const Rgb kCream = Hex(0xfff6dc);
const Rgb kChocolate = Hex(0x3b2314);

// Writes a canvas under Images/<sub>/<name>.
bool Save(const Canvas& canvas, const std::string& data_dir, const std::string& sub,
          const std::string& name, std::string* error) {
  return canvas.WritePng(data_dir + "/Images/" + sub + "/" + name, error);
}

// ---- Buttons ---------------------------------------------------------------------------------

// A chunky rounded button with an icon at the left and its label; faded = cooling down.
void DrawButton(cairo_t* cr, double w, double h, Rgb base, const std::string& label, bool faded,
                void (*icon)(cairo_t*, double, double, bool)) {
  Rgb top = faded ? Greyed(Lighter(base, 0.1), 0.85) : Lighter(base, 0.25);
  Rgb bottom = faded ? Greyed(Darker(base, 0.15), 0.85) : Darker(base, 0.2);
  Rgb edge = faded ? Hex(0x6e6a66) : Darker(base, 0.55);
  // Shadow lip at the bottom gives the button its depth.
  RoundedRect(cr, 1, 5, w - 2, h - 6, 14);
  SetColour(cr, edge);
  cairo_fill(cr);
  RoundedRect(cr, 1, 1, w - 2, h - 7, 14);
  FillVertical(cr, 1, h - 6, top, bottom);
  SetColour(cr, edge);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  // Gloss on the upper half.
  RoundedRect(cr, 8, 4, w - 16, (h - 8) / 2 - 2, 10);
  SetColour(cr, {1, 1, 1}, faded ? 0.12 : 0.28);
  cairo_fill(cr);
  icon(cr, 34, (h - 6) / 2 + 1, faded);
  SetFont(cr, 24);
  Rgb ink = faded ? Hex(0xd8d4cf) : Hex(0xffffff);
  Rgb outline = faded ? Hex(0x6e6a66) : Darker(base, 0.6);
  CentredText(cr, label, (w + 56) / 2, (h - 6) / 2 + 1, ink, outline, 2.0);
}

// Add veg: a carrot dropping in, with a plus.
void AddVegIcon(cairo_t* cr, double cx, double cy, bool faded) {
  cairo_save(cr);
  cairo_translate(cr, cx - 16, cy - 16);
  cairo_save(cr);
  cairo_translate(cr, 2, 2);
  cairo_scale(cr, 0.85, 0.85);
  DrawToken(cr, Veg::kCarrot, false);
  cairo_restore(cr);
  cairo_arc(cr, 26, 25, 8, 0, 2 * kPi);
  SetColour(cr, faded ? Hex(0x9a9590) : Hex(0xffffff));
  cairo_fill_preserve(cr);
  SetColour(cr, faded ? Hex(0x6e6a66) : Hex(0x2e7d32));
  cairo_set_line_width(cr, 1.5);
  cairo_stroke(cr);
  cairo_move_to(cr, 26, 20.5);
  cairo_line_to(cr, 26, 29.5);
  cairo_move_to(cr, 21.5, 25);
  cairo_line_to(cr, 30.5, 25);
  cairo_set_line_width(cr, 3);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
  cairo_restore(cr);
  if (faded) {
    // Grey the icon's colours too, so the whole button reads as unavailable.
    cairo_save(cr);
    cairo_arc(cr, cx, cy, 19, 0, 2 * kPi);
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_HSL_SATURATION);
    SetColour(cr, Hex(0x808080));
    cairo_paint(cr);
    cairo_restore(cr);
  }
}

// Shake: a small pot between motion marks.
void ShakeIcon(cairo_t* cr, double cx, double cy, bool faded) {
  Rgb metal = faded ? Hex(0xa8a29c) : Hex(0xe8874a);
  Rgb ink = faded ? Hex(0x6e6a66) : Hex(0x5a2608);
  cairo_save(cr);
  cairo_translate(cr, cx, cy + 2);
  cairo_rotate(cr, -0.18);
  RoundedRect(cr, -11, -8, 22, 17, 5);
  SetColour(cr, metal);
  cairo_fill_preserve(cr);
  SetColour(cr, ink);
  cairo_set_line_width(cr, 2);
  cairo_stroke(cr);
  RoundedRect(cr, -14, -11, 28, 5, 2.5);
  SetColour(cr, metal);
  cairo_fill_preserve(cr);
  SetColour(cr, ink);
  cairo_stroke(cr);
  // Three vegetables jumping out.
  const double peas[][2] = {{-6, -17}, {1, -21}, {7, -16}};
  const Rgb colours[] = {Hex(0x4fc48a), Hex(0xffe45c), Hex(0xe0407a)};
  for (int i = 0; i < 3; ++i) {
    cairo_arc(cr, peas[i][0], peas[i][1], 3.2, 0, 2 * kPi);
    SetColour(cr, faded ? Hex(0xc8c3be) : colours[i]);
    cairo_fill_preserve(cr);
    SetColour(cr, ink);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
  }
  cairo_restore(cr);
  // Motion marks either side.
  for (int side : {-1, 1}) {
    for (int k = 0; k < 2; ++k) {
      double x = cx + side * (18 + 4 * k);
      cairo_move_to(cr, x, cy - 6 + 3 * k);
      cairo_curve_to(cr, x + side * 3, cy - 2, x - side * 3, cy + 2, x, cy + 6 - 3 * k);
    }
  }
  SetColour(cr, faded ? Hex(0xd8d4cf) : kCream);
  cairo_set_line_width(cr, 2);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_stroke(cr);
}

bool WriteButtons(const std::string& data_dir, std::string* error) {
  struct Button {
    const char* file;
    int width;
    Rgb base;
    const char* label;
    bool faded;
    void (*icon)(cairo_t*, double, double, bool);
  };
  const Button buttons[] = {
      {"AddVeg.png", 188, Hex(0x43a047), "Add veg", false, AddVegIcon},
      {"AddVegFaded.png", 188, Hex(0x43a047), "Add veg", true, AddVegIcon},
      {"Shake.png", 180, Hex(0x1e88e5), "Shake", false, ShakeIcon},
      {"ShakeFaded.png", 180, Hex(0x1e88e5), "Shake", true, ShakeIcon},
  };
  for (const Button& b : buttons) {
    Canvas canvas(b.width, 64);
    DrawButton(canvas.cr(), b.width, 64, b.base, b.label, b.faded, b.icon);
    if (!Save(canvas, data_dir, "Buttons", b.file, error)) return false;
  }
  return true;
}

// ---- Cursor ring -----------------------------------------------------------------------------

// The hover ring: radius 40 around the centre 46, 46, light with a dark edge on both sides so
// that it reads over light and dark tokens alike.
bool WriteCursor(const std::string& data_dir, std::string* error) {
  Canvas canvas(92, 92);
  cairo_t* cr = canvas.cr();
  cairo_arc(cr, 46, 46, 40, 0, 2 * kPi);
  SetColour(cr, kChocolate, 0.55);
  cairo_set_line_width(cr, 5);
  cairo_stroke_preserve(cr);
  SetColour(cr, Hex(0xfffbe8));
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  // Four short ticks on the ring mark the centre's cross without covering the tokens.
  for (int i = 0; i < 4; ++i) {
    double a = i * kPi / 2;
    cairo_move_to(cr, 46 + 35 * std::cos(a), 46 + 35 * std::sin(a));
    cairo_line_to(cr, 46 + 40 * std::cos(a), 46 + 40 * std::sin(a));
  }
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  SetColour(cr, kChocolate, 0.55);
  cairo_set_line_width(cr, 4.5);
  cairo_stroke_preserve(cr);
  SetColour(cr, Hex(0xfffbe8));
  cairo_set_line_width(cr, 2.5);
  cairo_stroke(cr);
  return Save(canvas, data_dir, "Cursor", "Cursor.png", error);
}

// ---- Image font ------------------------------------------------------------------------------

// Glyph pictures are 12 wide (one character place) and 22 high, baseline at 17.5.
constexpr int kGlyphWidth = 12, kGlyphHeight = 22;
constexpr double kGlyphOutline = 1.3;

// Cream glyph with a chocolate outline, squeezed sideways if it would not fit its place.
bool WriteGlyph(const std::string& text, const std::string& file, const std::string& data_dir,
                std::string* error) {
  Canvas canvas(kGlyphWidth, kGlyphHeight);
  cairo_t* cr = canvas.cr();
  SetFont(cr, 18, Face::kCondensed);
  TextBox box = Measure(cr, text);
  double room = kGlyphWidth - 2 * kGlyphOutline - 0.4;
  double squeeze = box.width > room ? room / box.width : 1.0;
  cairo_translate(cr, kGlyphWidth / 2.0, 0);
  cairo_scale(cr, squeeze, 1);
  TextAt(cr, text, -box.width / 2, 17.5, kCream, kChocolate, kGlyphOutline);
  return Save(canvas, data_dir, "ImageFont", file, error);
}

bool WriteImageFont(const std::string& data_dir, std::string* error) {
  for (int d = 0; d <= 9; ++d) {
    std::string digit(1, static_cast<char>('0' + d));
    if (!WriteGlyph(digit, "ImageNumber" + digit + ".png", data_dir, error)) return false;
  }
  return WriteGlyph(":", "ImageNumberColon.png", data_dir, error) &&
         WriteGlyph(",", "ImageNumberComma.png", data_dir, error) &&
         WriteGlyph(".", "ImageNumberFullStop.png", data_dir, error) &&
         WriteGlyph("\xC3\x97", "ImageNumberMultiply.png", data_dir, error) &&
         WriteGlyph("/", "ImageNumberSlash.png", data_dir, error);
}

// ---- Pops ------------------------------------------------------------------------------------

// A bubble bursting: a bright bubble, then a ring with flying droplets, then a faint ring
// with the droplets far out and small.
bool WritePops(const std::string& data_dir, std::string* error) {
  struct Frame {
    double ring, ring_width, ring_alpha;  // the bubble's skin
    double drop_at, drop_radius, drop_alpha;
    bool filled;
  };
  const Frame frames[] = {{8.5, 2.0, 1.0, 11.5, 1.8, 1.0, true},
                          {11.0, 3.0, 0.9, 13.5, 1.8, 0.9, false},
                          {13.0, 1.2, 0.6, 14.8, 1.2, 0.75, false}};
  const Rgb skin = Hex(0xffd54f), foam = Hex(0xfffbe8);
  for (int f = 0; f < 3; ++f) {
    const Frame& fr = frames[f];
    Canvas canvas(32, 32);
    cairo_t* cr = canvas.cr();
    if (fr.filled) {
      cairo_arc(cr, 16, 16, fr.ring, 0, 2 * kPi);
      SetColour(cr, foam);
      cairo_fill(cr);
      cairo_arc(cr, 13.5, 13.5, 2.5, 0, 2 * kPi);
      SetColour(cr, {1, 1, 1});
      cairo_fill(cr);
    }
    cairo_arc(cr, 16, 16, fr.ring, 0, 2 * kPi);
    SetColour(cr, skin, fr.ring_alpha);
    cairo_set_line_width(cr, fr.ring_width);
    cairo_stroke(cr);
    for (int i = 0; i < 8; ++i) {
      double a = i * kPi / 4 + kPi / 8;
      cairo_new_sub_path(cr);
      cairo_arc(cr, 16 + fr.drop_at * std::cos(a), 16 + fr.drop_at * std::sin(a), fr.drop_radius, 0,
                2 * kPi);
    }
    SetColour(cr, foam, fr.drop_alpha);
    cairo_fill(cr);
    std::string name = "Pop0" + std::to_string(f + 1) + ".png";
    if (!Save(canvas, data_dir, "Effects", name, error)) return false;
  }
  return true;
}

// ---- Multipliers and captions ----------------------------------------------------------------

// A pill with bold lettering.
void Pill(cairo_t* cr, double w, double h, Rgb base, const std::string& text, double size,
          double radius) {
  RoundedRect(cr, 1.5, 1.5, w - 3, h - 3, radius);
  FillVertical(cr, 1.5, h - 1.5, Lighter(base, 0.3), Darker(base, 0.15));
  SetColour(cr, Darker(base, 0.6));
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  RoundedRect(cr, 5, 4, w - 10, h / 2 - 4, radius - 3);
  SetColour(cr, {1, 1, 1}, 0.25);
  cairo_fill(cr);
  SetFont(cr, size);
  CentredText(cr, text, w / 2, h / 2, Hex(0xffffff), Darker(base, 0.65), size / 11);
}

bool WriteMultipliers(const std::string& data_dir, std::string* error) {
  const Rgb colours[] = {Hex(0x2bb673), Hex(0x1e88e5), Hex(0x8e44ad), Hex(0xf39c12)};
  for (int n = 3; n <= 6; ++n) {
    Canvas canvas(64, 32);
    Pill(canvas.cr(), 64, 32, colours[n - 3], "\xC3\x97" + std::to_string(n), 22, 14);
    if (!Save(canvas, data_dir, "Multipliers", "multi" + std::to_string(n) + ".png", error))
      return false;
  }
  return true;
}

// A caption: lettering large enough to read over the pot, on a soft banner.
void Caption(cairo_t* cr, double w, double h, Rgb base, const std::string& text, double size) {
  Pill(cr, w, h, base, text, size, h / 2 - 2);
}

// Two lines: a headline and the bonus.
void ShowOffCaption(cairo_t* cr) {
  RoundedRect(cr, 1.5, 1.5, 147, 47, 12);
  FillVertical(cr, 1.5, 48.5, Hex(0xffe07a), Hex(0xf5a623));
  SetColour(cr, Hex(0x7a3e00));
  cairo_set_line_width(cr, 3);
  cairo_stroke(cr);
  SetFont(cr, 18);
  CentredText(cr, "Show off!", 75, 16, Hex(0xffffff), Hex(0x7a3e00), 1.8);
  SetFont(cr, 16);
  CentredText(cr, "+500", 75, 35, Hex(0xfff6dc), Hex(0xb03a00), 1.8);
}

bool WriteCaptions(const std::string& data_dir, std::string* error) {
  struct Item {
    const char* file;
    int w, h;
    Rgb base;
    const char* text;
    double size;
  };
  const Item items[] = {
      {"GameLevelUp.png", 120, 40, Hex(0x8e44ad), "Level up!", 19},
      {"GameTextGo.png", 240, 80, Hex(0x2bb673), "Go!", 50},
      {"GameTextPotOut.png", 280, 80, Hex(0xd64541), "Pot out!", 44},
      {"GameTextReady.png", 240, 80, Hex(0xf39c12), "Ready?", 44},
  };
  for (const Item& item : items) {
    Canvas canvas(item.w, item.h);
    Caption(canvas.cr(), item.w, item.h, item.base, item.text, item.size);
    if (!Save(canvas, data_dir, "Text", item.file, error)) return false;
  }
  Canvas show_off(150, 50);
  ShowOffCaption(show_off.cr());
  return Save(show_off, data_dir, "Text", "GameTextShowOff.png", error);
}

}  // namespace

// Buttons, cursor, font, pops, multipliers and captions.
bool WriteInterface(const std::string& data_dir, std::string* error) {
  return WriteButtons(data_dir, error) && WriteCursor(data_dir, error) &&
         WriteImageFont(data_dir, error) && WritePops(data_dir, error) &&
         WriteMultipliers(data_dir, error) && WriteCaptions(data_dir, error);
}

}  // namespace assetgen
