// Device contexts, DIB sections and text drawing of the GDI stand-in. A device context draws
// into the 32-bit pixels of its selected bitmap (a DIB section, or caller-owned pixels such as
// a locked surface); text is laid out with the selected font's advances and blended into the
// pixels glyph by glyph, with the background cell filled in opaque mode.
#include <algorithm>
#include <cstring>

#include "platform/gdi/gdi_internal.h"

namespace gdi {

namespace {

// Largest DIB side we accept: keeps width * height * 4 far inside the address space.
constexpr int kMaxBitmapSide = 16384;

// 0x00BBGGRR to the pixel layout 0x00RRGGBB.
std::uint32_t PixelOf(COLORREF colour) {
  return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

std::uint32_t* Row(Bitmap& bitmap, int y) {
  return reinterpret_cast<std::uint32_t*>(bitmap.bits +
                                          static_cast<std::ptrdiff_t>(y) * bitmap.pitch);
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
         std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void Fill(Bitmap& bitmap, const RECT& area, std::uint32_t pixel) {
  RECT r = Intersect(area, RECT{0, 0, bitmap.width, bitmap.height});
  if (bitmap.opaque_alpha) pixel |= 0xFF000000u;
  for (int y = r.top; y < r.bottom; ++y)
    std::fill(Row(bitmap, y) + r.left, Row(bitmap, y) + r.right, pixel);
}

// Blends one glyph's coverage in the text colour into the bitmap, inside clip.
void DrawGlyph(Bitmap& bitmap, const Glyph& glyph, int x, int y, std::uint32_t pixel,
               const RECT& clip) {
  const std::uint32_t alpha = bitmap.opaque_alpha ? 0xFF000000u : 0;
  const int top = std::max<int>(y, clip.top);
  const int bottom = std::min<int>(y + glyph.rows, clip.bottom);
  const int left = std::max<int>(x, clip.left);
  const int right = std::min<int>(x + glyph.width, clip.right);
  for (int row = top; row < bottom; ++row) {
    std::uint32_t* out = Row(bitmap, row);
    const std::uint8_t* in =
        glyph.coverage.data() + static_cast<std::size_t>(row - y) * glyph.width;
    for (int column = left; column < right; ++column) {
      std::uint32_t c = in[column - x];
      if (c == 0) continue;
      if (c == 255) {
        out[column] = pixel | alpha;
        continue;
      }
      std::uint32_t d = out[column];
      std::uint32_t result = alpha;
      for (int shift = 0; shift < 24; shift += 8) {
        std::uint32_t s = (pixel >> shift) & 0xFF;
        std::uint32_t b = (d >> shift) & 0xFF;
        result |= ((s * c + b * (255 - c) + 127) / 255) << shift;
      }
      out[column] = result;
    }
  }
}

Win32Dc* NewDc(std::unique_ptr<Bitmap> surface) {
  auto dc = std::make_unique<Win32Dc>();
  dc->own_bitmap = std::move(surface);
  dc->bitmap = dc->own_bitmap.get();
  dc->font = StockFont(SYSTEM_FONT);
  return dc.release();
}

// The code points and pen advances of a text in the context's font.
struct Layout {
  std::vector<std::uint32_t> codes;
  std::vector<int> advances;
  int width = 0;
};

Layout LayOut(Font& font, const char* text, int count, const INT* dx) {
  Layout layout;
  layout.codes = TextDecode(text, count, font.request.lfCharSet);
  bool use_dx = dx && layout.codes.size() == static_cast<std::size_t>(count);
  for (std::size_t i = 0; i < layout.codes.size(); ++i) {
    int advance = use_dx ? dx[i] : FontGlyph(font, layout.codes[i]).advance;
    layout.advances.push_back(advance);
    layout.width += advance;
  }
  return layout;
}

}  // namespace

HDC CreateDcOnPixels(void* bits, int width, int height, int pitch) {
  if (!bits || width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      pitch < width * 4)
    return nullptr;
  auto surface = std::make_unique<Bitmap>();
  surface->stock = true;
  surface->width = width;
  surface->height = height;
  surface->pitch = pitch;
  surface->bits = static_cast<std::uint8_t*>(bits);
  surface->opaque_alpha = true;
  return NewDc(std::move(surface));
}

}  // namespace gdi

using gdi::Bitmap;
using gdi::Font;

HDC CreateCompatibleDC(HDC) {
  // A fresh memory context holds a 1 by 1 bitmap until the caller selects its own.
  auto pixel = std::make_unique<Bitmap>();
  pixel->stock = true;
  pixel->width = pixel->height = 1;
  pixel->pitch = 4;
  pixel->storage = std::make_unique<std::uint32_t[]>(1);
  pixel->bits = reinterpret_cast<std::uint8_t*>(pixel->storage.get());
  return gdi::NewDc(std::move(pixel));
}

BOOL DeleteDC(HDC dc) {
  if (!dc) return FALSE;
  if (dc->font) --dc->font->selections;
  if (dc->bitmap) --dc->bitmap->selections;
  delete dc;
  return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (!object || object == HGDI_ERROR) return FALSE;
  if (object->stock) return TRUE;
  if (object->selections > 0) return FALSE;
  --gdi::LiveCount();
  delete object;
  return TRUE;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (!dc || !object || object == HGDI_ERROR) return nullptr;
  Win32GdiObject* previous = nullptr;
  if (object->kind == Win32GdiObject::Kind::kFont) {
    previous = dc->font;
    dc->font = static_cast<Font*>(object);
  } else {
    previous = dc->bitmap;
    dc->bitmap = static_cast<Bitmap*>(object);
  }
  ++object->selections;
  if (previous) --previous->selections;
  return previous;
}

COLORREF SetTextColor(HDC dc, COLORREF colour) {
  if (!dc) return CLR_INVALID;
  COLORREF previous = dc->text_colour;
  dc->text_colour = colour & 0xFFFFFF;
  return previous;
}

COLORREF SetBkColor(HDC dc, COLORREF colour) {
  if (!dc) return CLR_INVALID;
  COLORREF previous = dc->bk_colour;
  dc->bk_colour = colour & 0xFFFFFF;
  return previous;
}

int SetBkMode(HDC dc, int mode) {
  if (!dc || (mode != OPAQUE && mode != TRANSPARENT)) return 0;
  int previous = dc->bk_mode;
  dc->bk_mode = mode;
  return previous;
}

UINT SetTextAlign(HDC dc, UINT align) {
  if (!dc) return GDI_ERROR;
  UINT previous = dc->align;
  dc->align = align;
  return previous;
}

int SetMapMode(HDC dc, int mode) {
  // Only the text mapping mode (one logical unit per pixel) is offered.
  if (!dc || mode != MM_TEXT) return 0;
  int previous = dc->map_mode;
  dc->map_mode = mode;
  return previous;
}

int GetDeviceCaps(HDC dc, int index) {
  switch (index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
      return 96;
    case BITSPIXEL:
      return 32;
    case HORZRES:
      return dc && dc->bitmap ? dc->bitmap->width : 0;
    case VERTRES:
      return dc && dc->bitmap ? dc->bitmap->height : 0;
    default:
      return 0;
  }
}

BOOL GdiFlush() {
  return TRUE;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS) return nullptr;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biBitCount != 32 || header.biCompression != BI_RGB) return nullptr;
  const int width = header.biWidth;
  const int height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  if (width <= 0 || height <= 0 || width > gdi::kMaxBitmapSide || height > gdi::kMaxBitmapSide)
    return nullptr;
  auto bitmap = std::make_unique<Bitmap>();
  bitmap->width = width;
  bitmap->height = height;
  bitmap->storage = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(width) * height);
  auto* start = reinterpret_cast<std::uint8_t*>(bitmap->storage.get());
  if (header.biHeight < 0) {
    bitmap->bits = start;
    bitmap->pitch = width * 4;
  } else {
    // Bottom-up: the first row in memory is the bottom row of the picture.
    bitmap->bits = start + static_cast<std::size_t>(height - 1) * width * 4;
    bitmap->pitch = -width * 4;
  }
  if (bits) *bits = start;
  ++gdi::LiveCount();
  return bitmap.release();
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size) {
  if (!dc || !size || count < 0 || (count > 0 && !text) || !dc->font) return FALSE;
  gdi::Layout layout = gdi::LayOut(*dc->font, text, count, nullptr);
  size->cx = layout.width;
  size->cy = dc->font->metrics.tmHeight;
  return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics) {
  if (!dc || !metrics || !dc->font) return FALSE;
  *metrics = dc->font->metrics;
  return TRUE;
}

int GetTextFaceA(HDC dc, int count, LPSTR name) {
  if (!dc || !dc->font) return 0;
  const char* face = dc->font->request.lfFaceName;
  int length = static_cast<int>(std::strlen(face));
  if (!name) return length + 1;
  if (count <= 0) return 0;
  int copied = std::min(length, count - 1);
  std::memcpy(name, face, static_cast<std::size_t>(copied));
  name[copied] = 0;
  return copied;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const INT* dx) {
  if (!dc || !dc->bitmap || (count > 0 && !text) || count > 0x7FFFFFFF) return FALSE;
  Bitmap& bitmap = *dc->bitmap;
  RECT clip{0, 0, bitmap.width, bitmap.height};
  if (rect && (options & ETO_CLIPPED)) clip = gdi::Intersect(clip, *rect);
  if (rect && (options & ETO_OPAQUE)) gdi::Fill(bitmap, *rect, gdi::PixelOf(dc->bk_colour));
  if (count == 0) return TRUE;
  if (!dc->font) return FALSE;
  Font& font = *dc->font;
  gdi::Layout layout = gdi::LayOut(font, text, static_cast<int>(count), dx);
  const TEXTMETRICA& tm = font.metrics;
  if ((dc->align & TA_CENTER) == TA_CENTER)
    x -= layout.width / 2;
  else if (dc->align & TA_RIGHT)
    x -= layout.width;
  int top = y;
  if ((dc->align & TA_BASELINE) == TA_BASELINE)
    top = y - tm.tmAscent;
  else if (dc->align & TA_BOTTOM)
    top = y - tm.tmHeight;
  if (dc->bk_mode == OPAQUE)
    gdi::Fill(bitmap, gdi::Intersect(RECT{x, top, x + layout.width, top + tm.tmHeight}, clip),
              gdi::PixelOf(dc->bk_colour));
  const std::uint32_t ink = gdi::PixelOf(dc->text_colour);
  const int baseline = top + tm.tmAscent;
  int pen = x;
  for (std::size_t i = 0; i < layout.codes.size(); ++i) {
    const gdi::Glyph& glyph = gdi::FontGlyph(font, layout.codes[i]);
    if (!glyph.coverage.empty())
      gdi::DrawGlyph(bitmap, glyph, pen + glyph.left, baseline - glyph.top, ink, clip);
    pen += layout.advances[i];
  }
  return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count) {
  if (count < 0) return FALSE;
  return ExtTextOutA(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

namespace gdi {

MemoryBitmap::MemoryBitmap(int w, int h) : width(w), height(h) {
  dc = CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  pixels = static_cast<std::uint32_t*>(bits);
  if (dc && bitmap) old_bitmap = SelectObject(dc, bitmap);
}

MemoryBitmap::~MemoryBitmap() {
  if (old_bitmap) SelectObject(dc, old_bitmap);
  if (bitmap) DeleteObject(bitmap);
  if (dc) DeleteDC(dc);
}

}  // namespace gdi
