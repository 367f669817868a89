// The drawing kit every picture of the Data folder is made with: an owned cairo image surface
// with its context, PNG output, colours and a few shape and lettering helpers. Depends on cairo
// only; lettering goes through cairo's own text API with the DejaVu faces.
#pragma once

#include <cairo.h>

#include <string>

namespace assetgen {

// An RGB colour with components from 0 to 1.
struct Rgb {
  double r, g, b;
};

// Colour from a 0xRRGGBB value.
constexpr Rgb Hex(unsigned v) {
  return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0};
}

// Linear mix: t = 0 gives a, t = 1 gives b.
Rgb Mix(Rgb a, Rgb b, double t);
Rgb Lighter(Rgb c, double t);  // towards white
Rgb Darker(Rgb c, double t);   // towards black
// The same hue with its saturation pulled towards grey by t.
Rgb Greyed(Rgb c, double t);

// An image surface with its drawing context; both released together.
class Canvas {
 public:
  // opaque = true makes an RGB picture (no alpha channel in the file).
  Canvas(int width, int height, bool opaque = false);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return cr_; }
  cairo_surface_t* surface() const { return surface_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Writes the picture as PNG, creating the folder; false (with why in error) on failure.
  bool WritePng(const std::string& path, std::string* error) const;

 private:
  int width_, height_;
  cairo_surface_t* surface_;
  cairo_t* cr_;
};

void SetColour(cairo_t* cr, Rgb c, double alpha = 1.0);
// Adds a rounded rectangle path.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// Fills the current path with a vertical gradient from top to bottom colour, keeping the path.
void FillVertical(cairo_t* cr, double y0, double y1, Rgb top, Rgb bottom);

// Lettering in the bold DejaVu face.
enum class Face { kSans, kCondensed };
void SetFont(cairo_t* cr, double size, Face face = Face::kSans);
// Ink width and the offset of the ink's left edge for text in the current font.
struct TextBox {
  double x_bearing, y_bearing, width, height, advance;
};
TextBox Measure(cairo_t* cr, const std::string& text);
// Draws text centred (by its ink) on cx, cy: an outline of the given width first, then the
// fill. An outline width of 0 draws none.
void CentredText(cairo_t* cr, const std::string& text, double cx, double cy, Rgb fill, Rgb outline,
                 double outline_width);
// Same, with the baseline at y and the ink's left edge at x.
void TextAt(cairo_t* cr, const std::string& text, double x, double y, Rgb fill, Rgb outline,
            double outline_width);

}  // namespace assetgen
