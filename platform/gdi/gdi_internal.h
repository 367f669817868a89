// The objects behind the GDI stand-in's handles: fonts (a FreeType face at a size, with its
// rendered glyphs), bitmaps (32-bit pixels) and device contexts. Shared by the stand-in's files.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi.h"

struct FT_FaceRec_;

// A font or bitmap. Objects selected into a device context count their selections so that
// deleting a selected object can be refused instead of leaving the context dangling.
struct Win32GdiObject {
  enum class Kind { kFont, kBitmap };
  explicit Win32GdiObject(Kind k) : kind(k) {}
  virtual ~Win32GdiObject() = default;
  Kind kind;
  bool stock = false;
  int selections = 0;
};

namespace gdi {

// One rendered glyph: coverage 0..255 per pixel, placed relative to the pen on the baseline.
struct Glyph {
  int advance = 0;
  int left = 0;  // from the pen to the bitmap's first column
  int top = 0;   // from the baseline up to the bitmap's first row
  int width = 0;
  int rows = 0;
  std::vector<std::uint8_t> coverage;
};

struct Font : Win32GdiObject {
  Font() : Win32GdiObject(Kind::kFont) {}
  ~Font() override;
  LOGFONTA request{};
  std::string family;
  std::string file;
  FT_FaceRec_* face = nullptr;
  bool mono = false;
  bool embolden = false;
  bool oblique = false;
  TEXTMETRICA metrics{};
  std::unordered_map<std::uint32_t, Glyph> glyphs;
};

struct Bitmap : Win32GdiObject {
  Bitmap() : Win32GdiObject(Kind::kBitmap) {}
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes between rows
  std::uint8_t* bits = nullptr;
  std::unique_ptr<std::uint32_t[]> storage;  // empty when the pixels belong to someone else
  bool opaque_alpha = false;                 // written pixels get alpha 255
};

// Makes a font for a request; null when no face can be loaded.
Font* FontCreate(const LOGFONTA& request);
// The glyph of a code point, rendered on first use.
const Glyph& FontGlyph(Font& font, std::uint32_t code);
// The stock font a new device context starts with.
Font* StockFont(int index);

// Decodes single- or double-byte text of a character set into code points.
std::vector<std::uint32_t> TextDecode(const char* text, int count, int charset);

// Number of live non-stock objects, for the leak check of the tests. Fonts are also made and
// freed on the preparing worker.
std::atomic<int>& LiveCount();

}  // namespace gdi

struct Win32Dc {
  gdi::Bitmap* bitmap = nullptr;
  gdi::Font* font = nullptr;
  COLORREF text_colour = 0x000000;
  COLORREF bk_colour = 0xFFFFFF;
  int bk_mode = OPAQUE;
  UINT align = TA_LEFT | TA_TOP;
  int map_mode = MM_TEXT;
  std::unique_ptr<gdi::Bitmap> own_bitmap;  // the 1 by 1 default, or the caller's pixels
};
