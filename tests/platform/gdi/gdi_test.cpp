// The GDI stand-in: face matching, cell heights, extents, glyph pixels in both background
// modes, alignment, character sets, DIB sections, enumeration and bad input.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_internal.h"

namespace {

HFONT Font(const char* name, int height, int weight = FW_NORMAL, bool italic = false,
           DWORD quality = NONANTIALIASED_QUALITY, DWORD charset = ANSI_CHARSET) {
  return CreateFontA(height, 0, 0, 0, weight, italic, 0, 0, charset, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, quality, VARIABLE_PITCH, name);
}

// A memory DC with a top-down 32-bit DIB of the given size, all pixels `fill`.
struct Canvas : gdi::MemoryBitmap {
  Canvas(int w, int h, std::uint32_t fill = 0) : MemoryBitmap(w, h) {
    for (int i = 0; i < w * h; ++i) pixels[i] = fill;
  }
  std::uint32_t At(int x, int y) const { return pixels[y * width + x]; }
  // Bounding box of pixels equal to `value` (right and bottom exclusive); empty when none.
  RECT Box(std::uint32_t value) const {
    RECT box{width, height, 0, 0};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        if (At(x, y) == value) {
          box.left = std::min<LONG>(box.left, x);
          box.top = std::min<LONG>(box.top, y);
          box.right = std::max<LONG>(box.right, x + 1);
          box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    return box;
  }
  int Count(std::uint32_t value) const {
    int n = 0;
    for (int i = 0; i < width * height; ++i) n += pixels[i] == value;
    return n;
  }
};

SIZE Extent(HFONT font, const char* text) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  EXPECT_TRUE(GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size));
  SelectObject(dc, old);
  DeleteDC(dc);
  return size;
}

// The font configuration may still be loading on a worker when the program matches its first
// font: the match waits for it (and comes back), and matches the face it matches without it.
// First in the file, so that nothing has loaded the configuration before it.
TEST(GdiFonts, AMatchWhileTheWorkerPreparesWaitsAndMatchesTheSameFace) {
  std::thread worker([] {
    gdi::FontMatchingPrepare();
    gdi::FontMatchingPrepare();
  });
  auto matched = std::make_shared<std::promise<HFONT>>();
  std::future<HFONT> result = matched->get_future();
  // Detached, so that a match stuck on the worker fails the test instead of hanging it.
  std::thread([matched] { matched->set_value(Font("arial", 24)); }).detach();
  if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
    worker.detach();
    FAIL() << "a font match waited for the worker and never came back";
  }
  worker.join();
  HFONT during = result.get();
  HFONT after = Font("arial", 24);
  ASSERT_NE(during, nullptr);
  ASSERT_NE(after, nullptr);
  EXPECT_STREQ(gdi::testing::FontFamily(during), "Liberation Sans");
  EXPECT_STREQ(gdi::testing::FontFile(during), gdi::testing::FontFile(after));
  for (HFONT f : {during, after}) EXPECT_TRUE(DeleteObject(f));
}

// A font prepared on the worker is the font made at once: the same face, extents and pixels.
// Only the last request is prepared; a take of another gets nothing.
TEST(GdiFonts, APreparedFontDrawsAsOneMadeAtOnce) {
  LOGFONTA bold{};
  bold.lfHeight = 24;
  bold.lfWeight = FW_BOLD;
  bold.lfQuality = NONANTIALIASED_QUALITY;
  std::strcpy(bold.lfFaceName, "arial");
  LOGFONTA italic = bold;
  italic.lfWeight = FW_NORMAL;
  italic.lfItalic = 1;
  italic.lfQuality = ANTIALIASED_QUALITY;
  std::strcpy(italic.lfFaceName, "times new roman");

  gdi::FontPrepare(bold);
  gdi::FontPrepare(italic);
  EXPECT_EQ(gdi::FontPreparedTake(bold), nullptr);
  EXPECT_EQ(gdi::FontPreparedTake(italic), nullptr) << "dropped by the take of another";

  const char text[] = "Kettlebrim 0123 \xE4\xE9\x80!";
  for (const LOGFONTA& request : {bold, italic}) {
    gdi::FontPrepare(request);
    gdi::FontPrepare(request);
    HFONT prepared = gdi::FontPreparedTake(request);
    HFONT made = CreateFontIndirectA(&request);
    ASSERT_NE(prepared, nullptr) << request.lfFaceName;
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(gdi::testing::FontFile(prepared), gdi::testing::FontFile(made));
    Canvas a(320, 40), b(320, 40);
    SIZE extent_a{}, extent_b{};
    for (auto [canvas, font, extent] :
         {std::tuple{&a, prepared, &extent_a}, std::tuple{&b, made, &extent_b}}) {
      HGDIOBJ old = SelectObject(canvas->dc, font);
      SetTextColor(canvas->dc, RGB(255, 255, 255));
      SetBkColor(canvas->dc, RGB(0, 0, 0));
      GetTextExtentPoint32A(canvas->dc, text, static_cast<int>(std::strlen(text)), extent);
      ExtTextOutA(canvas->dc, 2, 2, ETO_OPAQUE, nullptr, text, static_cast<UINT>(std::strlen(text)),
                  nullptr);
      SelectObject(canvas->dc, old);
    }
    EXPECT_EQ(extent_a.cx, extent_b.cx);
    EXPECT_EQ(extent_a.cy, extent_b.cy);
    EXPECT_EQ(std::memcmp(a.pixels, b.pixels, sizeof(std::uint32_t) * 320 * 40), 0)
        << request.lfFaceName;
    for (HFONT f : {prepared, made}) EXPECT_TRUE(DeleteObject(f));
  }
}

TEST(GdiFonts, WindowsFaceNamesResolveToCompatibleFaces) {
  HFONT arial = Font("arial", 24);
  ASSERT_NE(arial, nullptr);
  EXPECT_STREQ(gdi::testing::FontFamily(arial), "Liberation Sans");

  // Fixedsys resolves to a monospaced face: every character advances the same.
  HFONT fixedsys = Font("fixedsys", 12);
  ASSERT_NE(fixedsys, nullptr);
  EXPECT_EQ(Extent(fixedsys, "i").cx, Extent(fixedsys, "W").cx);
  EXPECT_EQ(Extent(fixedsys, "iiii").cx, Extent(fixedsys, "WWWW").cx);

  // An unknown name gets the system's default sans face.
  HFONT unknown = Font("No Such Face Anywhere", 12);
  HFONT sans = Font("sans-serif", 12);
  ASSERT_NE(unknown, nullptr);
  EXPECT_STREQ(gdi::testing::FontFamily(unknown), gdi::testing::FontFamily(sans));
  for (HFONT f : {arial, fixedsys, unknown, sans}) EXPECT_TRUE(DeleteObject(f));
}

TEST(GdiFonts, PositiveHeightIsTheCellNegativeTheEm) {
  for (int height : {8, 12, 24, 37, 100}) {
    HFONT font = Font("arial", height);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(Extent(font, "g").cy, height) << height;
    HDC dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, font);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, height);
    EXPECT_EQ(tm.tmHeight, height);
    DeleteDC(dc);
    DeleteObject(font);
  }
  // Liberation Sans: usWinAscent + usWinDescent is about 1.117 em, so a 24-pixel em gives a
  // 27-pixel cell.
  HFONT em = Font("arial", -24);
  EXPECT_EQ(Extent(em, "g").cy, 27);
  DeleteObject(em);
}

TEST(GdiFonts, ExtentsAddUpAndStylesWiden) {
  HFONT font = Font("arial", 24);
  SIZE a = Extent(font, "a"), b = Extent(font, "b"), ab = Extent(font, "ab");
  EXPECT_GT(a.cx, 0);
  EXPECT_EQ(ab.cx, a.cx + b.cx);
  EXPECT_EQ(Extent(font, "").cx, 0);
  HFONT bold = Font("arial", 24, FW_BOLD);
  EXPECT_GT(Extent(bold, "Hello world").cx, Extent(font, "Hello world").cx);
  EXPECT_EQ(Extent(bold, "g").cy, 24);
  HFONT italic = Font("arial", 24, FW_NORMAL, true);
  EXPECT_EQ(Extent(italic, "g").cy, 24);
  for (HFONT f : {font, bold, italic}) DeleteObject(f);
}

TEST(GdiText, OpaqueGlyphLandsAtThePenInTheInkColour) {
  Canvas canvas(80, 40, 0x00123456);
  HFONT font = Font("arial", 24);
  SelectObject(canvas.dc, font);
  SetTextColor(canvas.dc, RGB(255, 255, 255));
  SetBkColor(canvas.dc, RGB(0, 0, 255));
  SetBkMode(canvas.dc, OPAQUE);
  SetTextAlign(canvas.dc, TA_LEFT | TA_TOP);
  SIZE size = Extent(font, "H");
  ASSERT_TRUE(ExtTextOutA(canvas.dc, 10, 5, ETO_OPAQUE, nullptr, "H", 1, nullptr));
  // The cell is filled with the background colour (blue), everything outside is untouched.
  RECT cell = canvas.Box(0x000000FF);
  EXPECT_EQ(cell.left, 10);
  EXPECT_EQ(cell.top, 5);
  EXPECT_EQ(cell.right, 10 + size.cx);
  EXPECT_EQ(cell.bottom, 5 + 24);
  EXPECT_EQ(canvas.Count(0x00123456), 80 * 40 - size.cx * 24);
  // One-bit glyphs: only pure ink inside the cell, and the H stands on the baseline.
  RECT ink = canvas.Box(0x00FFFFFF);
  EXPECT_EQ(canvas.Count(0x00FFFFFF) + canvas.Count(0x000000FF), size.cx * 24);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 10 + size.cx);
  EXPECT_GE(ink.top, 5 + 2);
  HDC dc = canvas.dc;
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  EXPECT_EQ(ink.bottom, 5 + tm.tmAscent);
  // An H has two full-height stems: its middle column rows are ink at the top and bottom.
  EXPECT_EQ(canvas.At(ink.left, ink.top), 0x00FFFFFFu);
  EXPECT_EQ(canvas.At(ink.left, ink.bottom - 1), 0x00FFFFFFu);
  EXPECT_EQ(canvas.At(ink.right - 1, ink.top), 0x00FFFFFFu);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
}

TEST(GdiText, TransparentModeDrawsOnlyTheGlyph) {
  Canvas canvas(80, 40, 0x00102030);
  HFONT font = Font("arial", 24);
  HGDIOBJ old = SelectObject(canvas.dc, font);
  SetTextColor(canvas.dc, RGB(0, 255, 0));
  SetBkColor(canvas.dc, RGB(0, 0, 255));
  SetBkMode(canvas.dc, TRANSPARENT);
  ExtTextOutA(canvas.dc, 4, 4, 0, nullptr, "Wg", 2, nullptr);
  int ink = canvas.Count(0x0000FF00);
  EXPECT_GT(ink, 40);
  EXPECT_EQ(canvas.Count(0x000000FF), 0);
  EXPECT_EQ(ink + canvas.Count(0x00102030), 80 * 40);
  // The descender of g reaches below the baseline but stays in the cell.
  RECT box = canvas.Box(0x0000FF00);
  TEXTMETRICA tm{};
  GetTextMetricsA(canvas.dc, &tm);
  EXPECT_GT(box.bottom, 4 + tm.tmAscent);
  EXPECT_LE(box.bottom, 4 + 24);
  SelectObject(canvas.dc, old);
  DeleteObject(font);
}

TEST(GdiText, AntialiasedQualityBlendsEdges) {
  Canvas canvas(64, 40, 0);
  HFONT font = Font("arial", 24, FW_NORMAL, false, ANTIALIASED_QUALITY);
  HGDIOBJ old = SelectObject(canvas.dc, font);
  SetTextColor(canvas.dc, RGB(255, 255, 255));
  SetBkMode(canvas.dc, TRANSPARENT);
  ExtTextOutA(canvas.dc, 2, 2, 0, nullptr, "Os", 2, nullptr);
  int partial = 0;
  for (int i = 0; i < 64 * 40; ++i) {
    std::uint32_t p = canvas.pixels[i];
    if (p != 0 && p != 0x00FFFFFF) ++partial;
    // Grey levels only: the three channels agree.
    EXPECT_EQ(p & 0xFF, (p >> 8) & 0xFF);
  }
  EXPECT_GT(partial, 10);
  SelectObject(canvas.dc, old);
  DeleteObject(font);
}

TEST(GdiText, AlignmentMovesTheReferencePoint) {
  HFONT font = Font("arial", 24);
  SIZE size = Extent(font, "M");
  Canvas canvas(100, 60, 0);
  HGDIOBJ old = SelectObject(canvas.dc, font);
  SetBkColor(canvas.dc, RGB(255, 0, 0));
  SetBkMode(canvas.dc, OPAQUE);
  SetTextAlign(canvas.dc, TA_RIGHT | TA_BOTTOM);
  ExtTextOutA(canvas.dc, 90, 50, 0, nullptr, "M", 1, nullptr);
  RECT cell = canvas.Box(0x00FF0000);
  EXPECT_EQ(cell.right, 90);
  EXPECT_EQ(cell.left, 90 - size.cx);
  EXPECT_EQ(cell.bottom, 50);
  EXPECT_EQ(cell.top, 50 - 24);
  SelectObject(canvas.dc, old);
  DeleteObject(font);
}

TEST(GdiText, PixelContextKeepsSurfaceAlphaOpaque) {
  std::vector<std::uint32_t> surface(40 * 30, 0xFF000000);
  HDC dc = gdi::CreateDcOnPixels(surface.data(), 40, 30, 40 * 4);
  ASSERT_NE(dc, nullptr);
  HFONT font = Font("arial", 20);
  HGDIOBJ old = SelectObject(dc, font);
  SetTextColor(dc, RGB(255, 0, 0));
  SetBkMode(dc, TRANSPARENT);
  ExtTextOutA(dc, 0, 0, 0, nullptr, "X", 1, nullptr);
  int red = 0;
  for (std::uint32_t p : surface) red += p == 0xFFFF0000;
  EXPECT_GT(red, 20);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  EXPECT_EQ(gdi::CreateDcOnPixels(surface.data(), 40, 30, 8), nullptr);
  EXPECT_EQ(gdi::CreateDcOnPixels(nullptr, 40, 30, 160), nullptr);
}

TEST(GdiCharsets, SingleByteIsWindows1252AndDoubleByteDecodes) {
  auto codes = gdi::TextDecode("A\x80\x93\xE9\xFF", 5, ANSI_CHARSET);
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{'A', 0x20AC, 0x201C, 0xE9, 0xFF}));
  // Shift-JIS: hiragana a (82 A0), a half-width katakana byte, then a lone lead byte.
  codes = gdi::TextDecode("\x82\xA0\xB1x\x82", 5, SHIFTJIS_CHARSET);
  EXPECT_EQ(codes, (std::vector<std::uint32_t>{0x3042, 0xFF71, 'x'}));
  EXPECT_EQ(gdi::TextDecode("\xB0\xA1", 2, HANGUL_CHARSET), (std::vector<std::uint32_t>{0xAC00}));
  EXPECT_EQ(gdi::TextDecode("\xC4\xE3", 2, GB2312_CHARSET), (std::vector<std::uint32_t>{0x4F60}));
  EXPECT_EQ(gdi::TextDecode("\xA7\x41", 2, CHINESEBIG5_CHARSET),
            (std::vector<std::uint32_t>{0x4F60}));
  EXPECT_TRUE(gdi::TextDecode(nullptr, 3, ANSI_CHARSET).empty());

  // A double-byte pair is one character wide: its extent is the extent of one glyph.
  HFONT font = Font("MS Gothic", 24, FW_NORMAL, false, NONANTIALIASED_QUALITY, SHIFTJIS_CHARSET);
  ASSERT_NE(font, nullptr);
  SIZE one = Extent(font, "\x82\xA0");
  EXPECT_GT(one.cx, 0);
  EXPECT_EQ(Extent(font, "\x82\xA0\x82\xA0").cx, 2 * one.cx);
  DeleteObject(font);
}

TEST(GdiBitmaps, DibSectionsAndDeviceCaps) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = 8;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  HBITMAP bottom_up = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bottom_up, nullptr);
  HGDIOBJ old = SelectObject(dc, bottom_up);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 16);
  SetBkColor(dc, RGB(1, 2, 3));
  RECT top_row{0, 0, 16, 1};
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &top_row, "", 0, nullptr);
  // The picture's top row is the last row in memory.
  auto* pixels = static_cast<std::uint32_t*>(bits);
  EXPECT_EQ(pixels[7 * 16], 0x00010203u);
  EXPECT_EQ(pixels[0], 0u);
  // A selected bitmap cannot be deleted out from under its context.
  EXPECT_FALSE(DeleteObject(bottom_up));
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(bottom_up));

  info.bmiHeader.biBitCount = 24;
  EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biWidth = 1 << 20;
  EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  info.bmiHeader.biWidth = 0;
  EXPECT_EQ(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(dc, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  DeleteDC(dc);
}

TEST(GdiBadInput, NullsAndNonsenseAreRefused) {
  SIZE size{};
  EXPECT_FALSE(GetTextExtentPoint32A(nullptr, "a", 1, &size));
  EXPECT_FALSE(ExtTextOutA(nullptr, 0, 0, 0, nullptr, "a", 1, nullptr));
  EXPECT_EQ(SelectObject(nullptr, nullptr), nullptr);
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_FALSE(DeleteDC(nullptr));
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_FALSE(GetTextExtentPoint32A(dc, nullptr, 3, &size));
  EXPECT_FALSE(GetTextExtentPoint32A(dc, "abc", -1, &size));
  EXPECT_FALSE(ExtTextOutA(dc, 0, 0, 0, nullptr, nullptr, 3, nullptr));
  // Drawing far outside the 1 by 1 default bitmap is clipped, not written.
  EXPECT_TRUE(ExtTextOutA(dc, -5000, 90000, 0, nullptr, "abc", 3, nullptr));
  EXPECT_EQ(SetBkMode(dc, 7), 0);
  EXPECT_EQ(SelectObject(dc, nullptr), nullptr);
  DeleteDC(dc);
  HFONT no_name = CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, nullptr);
  EXPECT_NE(no_name, nullptr);
  DeleteObject(no_name);
}

TEST(GdiEnumeration, ListsInstalledFamiliesOnce) {
  std::vector<std::string> names;
  LOGFONTA filter{};
  filter.lfCharSet = DEFAULT_CHARSET;
  auto collect = [](const LOGFONTA* font, const TEXTMETRICA*, DWORD type, LPARAM param) -> int {
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(font->lfFaceName);
    return type == TRUETYPE_FONTTYPE ? 1 : 0;
  };
  EXPECT_EQ(EnumFontFamiliesExA(nullptr, &filter, collect, reinterpret_cast<LPARAM>(&names), 0), 1);
  EXPECT_NE(std::find(names.begin(), names.end(), "Liberation Sans"), names.end());
  EXPECT_EQ(std::count(names.begin(), names.end(), "Liberation Sans"), 1);

  // The callback's 0 stops the enumeration.
  int calls = 0;
  auto stop = [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM param) -> int {
    ++*reinterpret_cast<int*>(param);
    return 0;
  };
  EXPECT_EQ(EnumFontFamiliesExA(nullptr, &filter, stop, reinterpret_cast<LPARAM>(&calls), 0), 0);
  EXPECT_EQ(calls, 1);
}

TEST(GdiObjects, EveryObjectIsReleased) {
  int before = gdi::testing::LiveObjects();
  {
    Canvas canvas(8, 8);
    HFONT font = Font("arial", 12);
    EXPECT_EQ(gdi::testing::LiveObjects(), before + 2);
    HGDIOBJ old = SelectObject(canvas.dc, font);
    EXPECT_FALSE(DeleteObject(font));
    SelectObject(canvas.dc, old);
    EXPECT_TRUE(DeleteObject(font));
  }
  EXPECT_EQ(gdi::testing::LiveObjects(), before);
  EXPECT_TRUE(DeleteObject(GetStockObject(SYSTEM_FONT)));  // stock objects stay
  EXPECT_NE(GetStockObject(SYSTEM_FONT), nullptr);
}

}  // namespace
