// GDI text stand-in: fonts, memory device contexts, 32-bit DIB sections, text extents and
// text drawing, the calls the runtime's text module makes. Fonts are matched through fontconfig
// and rendered with FreeType; everything else is plain memory. Names, structures and numeric
// values are the platform's; the stand-in knows nothing of the runtime.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/win32/win_types.h"

// Weights.
#define FW_DONTCARE 0
#define FW_NORMAL 400
#define FW_BOLD 700

// Character sets.
#define ANSI_CHARSET 0
#define DEFAULT_CHARSET 1
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define HANGUL_CHARSET 129
#define GB2312_CHARSET 134
#define CHINESEBIG5_CHARSET 136
#define OEM_CHARSET 255

// Precision, quality, pitch and family.
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define DRAFT_QUALITY 1
#define PROOF_QUALITY 2
#define NONANTIALIASED_QUALITY 3
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30

// Device context modes.
#define MM_TEXT 1
#define TRANSPARENT 1
#define OPAQUE 2
#define TA_NOUPDATECP 0
#define TA_UPDATECP 1
#define TA_LEFT 0
#define TA_RIGHT 2
#define TA_CENTER 6
#define TA_TOP 0
#define TA_BOTTOM 8
#define TA_BASELINE 24
#define ETO_OPAQUE 0x0002
#define ETO_CLIPPED 0x0004

// Device capabilities.
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
#define LOGPIXELSX 88
#define LOGPIXELSY 90

// Bitmaps.
#define BI_RGB 0
#define DIB_RGB_COLORS 0

// Stock objects.
#define SYSTEM_FONT 13
#define SYSTEM_FIXED_FONT 16
#define DEFAULT_GUI_FONT 17

// Failure values.
#define CLR_INVALID 0xFFFFFFFF
#define GDI_ERROR 0xFFFFFFFF
#define HGDI_ERROR (reinterpret_cast<HGDIOBJ>(static_cast<std::intptr_t>(-1)))

// Font types reported by the enumeration.
#define RASTER_FONTTYPE 0x0001
#define DEVICE_FONTTYPE 0x0002
#define TRUETYPE_FONTTYPE 0x0004

#define LF_FACESIZE 32

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: rows run top-down
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct TEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
  LONG tmAveCharWidth;
  LONG tmMaxCharWidth;
  LONG tmWeight;
  LONG tmOverhang;
  LONG tmDigitizedAspectX;
  LONG tmDigitizedAspectY;
  BYTE tmFirstChar;
  BYTE tmLastChar;
  BYTE tmDefaultChar;
  BYTE tmBreakChar;
  BYTE tmItalic;
  BYTE tmUnderlined;
  BYTE tmStruckOut;
  BYTE tmPitchAndFamily;
  BYTE tmCharSet;
};

struct LOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
};

using FONTENUMPROCA = int (*)(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD font_type,
                              LPARAM param);

// Fonts and objects.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                  DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCSTR face_name);
HFONT CreateFontIndirectA(const LOGFONTA* font);
HGDIOBJ GetStockObject(int index);
// Deletes a font or bitmap; refuses (FALSE) while it is selected into a device context.
BOOL DeleteObject(HGDIOBJ object);

// Device contexts.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
int SetBkMode(HDC dc, int mode);
UINT SetTextAlign(HDC dc, UINT align);
int SetMapMode(HDC dc, int mode);
int GetDeviceCaps(HDC dc, int index);
BOOL GdiFlush();

// Bitmaps: only 32-bit uncompressed DIB sections.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);

// Text.
BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
int GetTextFaceA(HDC dc, int count, LPSTR name);
BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count,
                 const INT* dx);
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count);
// Calls proc once per installed font family (lfFaceName empty) or for the named family only.
int EnumFontFamiliesExA(HDC dc, LOGFONTA* font, FONTENUMPROCA proc, LPARAM param, DWORD flags);

namespace gdi {

// A device context drawing straight into caller-owned 32-bit pixels (0xAARRGGBB, rows pitch
// bytes apart), such as a locked render-target surface. Pixels it writes get alpha 255.
HDC CreateDcOnPixels(void* bits, int width, int height, int pitch);

// Loads the font configuration and the font library now rather than at the first font match,
// which would otherwise wait for them. Safe from any thread; a second call does nothing.
void FontMatchingPrepare();

// Starts making the font CreateFontIndirectA would make for request on a worker, with the
// glyphs of the single-byte characters 32 to 255 rendered, for a FontPreparedTake to come. A
// request replaces the one before it; the same request again changes nothing.
void FontPrepare(const LOGFONTA& request);
// The font prepared for request, waiting for the worker to finish it: the font
// CreateFontIndirectA makes, its glyphs already rendered. Null when the last request was
// another, or none (the caller makes the font itself then); what was prepared is dropped.
HFONT FontPreparedTake(const LOGFONTA& request);

// Owners for the handles above: each deletes its handle when it goes.
struct DcDeleter {
  void operator()(Win32Dc* dc) const { DeleteDC(dc); }
};
struct ObjectDeleter {
  void operator()(Win32GdiObject* object) const { DeleteObject(object); }
};
using DcOwner = std::unique_ptr<Win32Dc, DcDeleter>;
using ObjectOwner = std::unique_ptr<Win32GdiObject, ObjectDeleter>;

// A memory device context with a top-down 32-bit DIB of width by height selected into it, to
// draw text into and read it back; pixels is null when either could not be made.
struct MemoryBitmap {
  MemoryBitmap(int width, int height);
  ~MemoryBitmap();
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old_bitmap = nullptr;
  std::uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
};

namespace testing {
// The family and the file of the face a font was matched to ("" for a null or non-font handle).
const char* FontFamily(HFONT font);
const char* FontFile(HFONT font);
// Number of live (not deleted) fonts and bitmaps, stock objects excluded.
int LiveObjects();
}  // namespace testing

}  // namespace gdi
