// The text module on a software device: the atlas and its rebuilds, glyphs at the pen in the
// ink colour (checked against the same glyph drawn by GDI), line feeds, control characters,
// batches, transparent and opaque cells, the caller's states, texture scaling and 3D text.
#include <cstring>

#include "platform/gdi/gdi.h"
#include "tests/runtime/text/text_fixture.h"

namespace text_test {
namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;
constexpr std::uint32_t kWhite = 0xFFFFFFFFu;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;

using Screen = std::vector<std::uint32_t>;

std::uint32_t At(const Screen& p, int x, int y) {
  return p[static_cast<std::size_t>(y) * kWidth + x];
}

TEST_F(TextFixture, StartsWithFixedsysTwelveInFourFourFourFour) {
  EXPECT_EQ(state().atlas_builds, 1);
  char* name = TextFontName();
  EXPECT_STREQ(name, "fixedsys");
  TextFree(name);
  EXPECT_EQ(TextSize(), 12);
  EXPECT_EQ(TextStyle(), 0);
  EXPECT_EQ(TextIsOpaque(), 0);
  EXPECT_EQ(state().texture_width, 256u);
  EXPECT_EQ(state().texture_format, D3DFMT_A4R4G4B4);
  ASSERT_TRUE(state().font_texture);
  ASSERT_TRUE(state().vertex_buffer);
  EXPECT_EQ(TextHeight("g"), 12);
  // Fixedsys is monospaced.
  EXPECT_EQ(TextWidth("i"), TextWidth("W"));
  EXPECT_EQ(TextWidth("iiii"), 4 * TextWidth("W"));
}

TEST_F(TextFixture, SettersRebuildOnceAtTheNextUseAndOnlyWhenTheyChangeSomething) {
  TextPrintAt(0, 0, "g");  // takes the fixture's inks, which rebuilds for the background
  const int builds = state().atlas_builds;
  // The set-up a game makes at start: one build, when text is next measured or drawn.
  TextSetFont("arial");
  TextSetSize(24);
  TextSetBold();
  TextSetTransparent();
  EXPECT_EQ(tessark::text::State().atlas_builds, builds);
  EXPECT_EQ(TextHeight("g"), 24);  // measured with all four settings
  EXPECT_EQ(tessark::text::State().atlas_builds, builds + 1);
  TextPrintAt(0, 0, "g");
  EXPECT_EQ(tessark::text::State().atlas_builds, builds + 1);

  // Each setter that changes something marks the atlas; one that changes nothing does not.
  auto rebuilt = [&](auto set) {
    const int before = state().atlas_builds;
    set();
    return state().atlas_builds - before;
  };
  EXPECT_EQ(rebuilt([] { TextSetSize(24); }), 0);
  EXPECT_EQ(rebuilt([] { TextSetSize(500); }), 1);
  EXPECT_EQ(TextSize(), 100);
  EXPECT_EQ(rebuilt([] { TextSetSize(static_cast<std::uint32_t>(-3)); }), 1);
  EXPECT_EQ(TextSize(), 100);
  EXPECT_EQ(rebuilt([] { TextSetBoldItalic(); }), 1);
  EXPECT_EQ(TextStyle(), 3);
  EXPECT_EQ(rebuilt([] { TextSetItalic(); }), 1);
  EXPECT_EQ(TextStyle(), 1);
  EXPECT_EQ(rebuilt([] { TextSetNormal(); }), 1);
  EXPECT_EQ(TextStyle(), 0);
  EXPECT_EQ(rebuilt([] { TextSetOpaque(); }), 1);
  EXPECT_EQ(TextIsOpaque(), 1);
  EXPECT_EQ(rebuilt([] { TextSetFont(nullptr); }), 0);
  EXPECT_EQ(rebuilt([] { TextSetColour(255, 1, 2, 3); }), 0);
  EXPECT_EQ(state().ink_colour, 0xFF010203u);
  // A long name is cut at 79 characters.
  std::string longer(200, 'x');
  TextSetFont(longer.c_str());
  char* name = TextFontName();
  EXPECT_EQ(std::strlen(name), 79u);
  TextFree(name);
}

TEST_F(TextFixture, ArialAtTwentyFourHasTwentyFourPixelCells) {
  TextSetFont("arial");
  TextSetSize(24);
  EXPECT_EQ(TextHeight("g"), 24);
  EXPECT_EQ(TextHeight("Hg"), 24);
  EXPECT_EQ(state().texture_width, 512u);
  // A glyph's quad is its cell plus one pixel: the line feed moves by it.
  const float* space = state().glyph_table[32];
  EXPECT_FLOAT_EQ((space[3] - space[1]) * 512.0f, 25.0f);
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextWidth(nullptr), 0);
  EXPECT_EQ(TextHeight("\x01\x02\x1f"), 0);
  EXPECT_EQ(TextWidth("ab\x05"), TextWidth("a") + TextWidth("b"));
}

// The atlas draws each glyph exactly as GDI renders it: the quad maps texels one to one.
TEST_F(TextFixture, GlyphsLandAtThePenInTheInkColourAsGdiDrawsThem) {
  TextSetFont("arial");
  TextSetSize(24);
  core().ink = kGreen;
  core().background_ink = 0;
  TextPrintAt(100, 50, "Hg");
  Screen screen = Pixels();

  // The same text by GDI, green on black, into a bitmap.
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font = CreateFontA(24, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, VARIABLE_PITCH, "arial");
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 80, -40, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  HGDIOBJ old_font = SelectObject(dc, font);
  SetTextColor(dc, RGB(0, 255, 0));
  SetBkMode(dc, TRANSPARENT);
  ExtTextOutA(dc, 0, 0, 0, nullptr, "Hg", 2, nullptr);
  auto* expected = static_cast<const std::uint32_t*>(bits);
  int ink = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 80; ++x) {
      std::uint32_t want = expected[y * 80 + x] ? kGreen : kBlack;
      ASSERT_EQ(At(screen, 100 + x, 50 + y), want) << x << "," << y;
      ink += want == kGreen;
    }
  EXPECT_GT(ink, 50);
  SelectObject(dc, old_font);
  SelectObject(dc, old_bitmap);
  DeleteObject(bitmap);
  DeleteObject(font);
  DeleteDC(dc);
  // Nothing outside the cells.
  RECT box = InkBox(screen, kBlack);
  EXPECT_GE(box.left, 100);
  EXPECT_GE(box.top, 50);
  EXPECT_LE(box.right, 100 + TextWidth("Hg"));
  EXPECT_LE(box.bottom, 50 + 24);
}

TEST_F(TextFixture, LineFeedReturnsToTheStartOneCellLower) {
  TextSetFont("arial");
  TextSetSize(24);
  TextPrintAt(40, 30, "AB\nCD");
  Screen together = Pixels();
  Clear(kBlack);
  TextPrintAt(40, 30, "AB");
  TextPrintAt(40, 30 + 25, "CD");
  EXPECT_EQ(Pixels(), together);
}

TEST_F(TextFixture, ControlCharactersDrawNothingAndDoNotMove) {
  TextPrintAt(10, 10,
              "AB\x01\x07\x1f"
              "C\tD");
  Screen with_controls = Pixels();
  Clear(kBlack);
  TextPrintAt(10, 10, "ABCD");
  EXPECT_EQ(Pixels(), with_controls);
  TextPrintAt(10, 10, nullptr);  // draws nothing, harmlessly
}

TEST_F(TextFixture, LongStringsInBatchesLookLikeShortOnes) {
  TextSetSize(8);
  std::string line = "0123456789ABCDEFGHIJabcdefghijKLMNOPQRSTklmnopqrst";  // 50 characters
  std::string first = line.substr(0, 40), second = line.substr(10, 40), third = line.substr(5, 40);
  // 120 glyphs in one call: three batches of 50, 50 and 20.
  TextPrintAt(0, 0, (first + "\n" + second + "\n" + third).c_str());
  Screen batched = Pixels();
  Clear(kBlack);
  const int lf = static_cast<int>((state().glyph_table[32][3] - state().glyph_table[32][1]) *
                                  static_cast<float>(state().texture_height));
  TextPrintAt(0, 0, first.c_str());
  TextPrintAt(0, lf, second.c_str());
  TextPrintAt(0, 2 * lf, third.c_str());
  EXPECT_EQ(Pixels(), batched);
  EXPECT_GT(InkBox(batched, kBlack).bottom, 2 * lf);
}

TEST_F(TextFixture, GreenOnGreenTransparentDrawsGreenGlyphsOnly) {
  TextSetFont("arial");
  TextSetSize(24);
  TextSetBold();
  TextSetTransparent();
  Clear(kRed);
  core().ink = kGreen;
  core().background_ink = kGreen;
  TextPrintAt(20, 20, "Kettle");
  Screen screen = Pixels();
  int green = 0;
  for (std::uint32_t p : screen) {
    ASSERT_TRUE(p == kGreen || p == kRed) << std::hex << p;
    green += p == kGreen;
  }
  EXPECT_GT(green, 100);
  // The glyphs do not fill their cells: the background stays visible inside them.
  RECT box = InkBox(screen, kRed);
  int inside_red = 0;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) inside_red += At(screen, x, y) == kRed;
  EXPECT_GT(inside_red, green / 2);
  // The atlas holds the ink in 4-4-4-4 texels: a glyph texel is 0xF0F0, the rest 0.
  D3DLOCKED_RECT locked{};
  ASSERT_EQ(state().font_texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  int glyph_texels = 0;
  for (std::uint32_t y = 0; y < state().texture_height; ++y) {
    auto* row = reinterpret_cast<const std::uint16_t*>(
        static_cast<const BYTE*>(locked.pBits) + y * static_cast<std::uint32_t>(locked.Pitch));
    for (std::uint32_t x = 0; x < state().texture_width; ++x) {
      ASSERT_TRUE(row[x] == 0 || row[x] == 0xF0F0) << row[x];
      glyph_texels += row[x] == 0xF0F0;
    }
  }
  state().font_texture->UnlockRect(0);
  EXPECT_GT(glyph_texels, 1000);
}

TEST_F(TextFixture, OpaqueCellsAreFilledWithTheBackground) {
  TextSetFont("arial");
  TextSetSize(24);
  TextSetOpaque();
  Clear(kRed);
  core().ink = kWhite;
  core().background_ink = kBlue;
  TextPrintAt(30, 40, "Hi");
  Screen screen = Pixels();
  const int width = TextWidth("Hi");
  int white = 0;
  for (int y = 40; y < 40 + 24; ++y)
    for (int x = 30; x < 30 + width; ++x) {
      std::uint32_t p = At(screen, x, y);
      ASSERT_TRUE(p == kBlue || p == kWhite) << x << "," << y << " " << std::hex << p;
      white += p == kWhite;
    }
  EXPECT_GT(white, 30);
  EXPECT_EQ(At(screen, 29, 45), kRed);
  EXPECT_EQ(At(screen, 35, 39), kRed);
}

TEST_F(TextFixture, InkChangesRebuildOnlyWhenTheAtlasHoldsTheInk) {
  core().ink = kWhite;
  core().background_ink = 0;
  TextPrintAt(0, 0, "a");  // takes background 0: one rebuild
  int builds = state().atlas_builds;
  core().ink = kGreen;
  TextPrintAt(0, 0, "a");
  EXPECT_EQ(state().atlas_builds, builds);  // white glyphs, the vertices carry the ink
  core().background_ink = kBlue;
  TextPrintAt(0, 0, "a");
  EXPECT_EQ(state().atlas_builds, builds + 1);
  core().ink = kRed;
  TextPrintAt(0, 0, "a");
  EXPECT_EQ(state().atlas_builds, builds + 2);
  TextPrintAt(0, 0, "a");
  EXPECT_EQ(state().atlas_builds, builds + 2);
}

TEST_F(TextFixture, CallerStatesComeBack) {
  IDirect3DDevice9* d = Device();
  d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  d->SetTexture(0, nullptr);
  TextPrintAt(5, 5, "states");
  DWORD value = 0;
  d->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(FALSE));
  d->GetRenderState(D3DRS_CULLMODE, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));
  d->GetRenderState(D3DRS_SRCBLEND, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DBLEND_ONE));
  d->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
  EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
  IDirect3DBaseTexture9* texture = nullptr;
  d->GetTexture(0, &texture);
  EXPECT_EQ(texture, nullptr);
  if (texture) texture->Release();
}

TEST_F(TextFixture, CentredTextStartsHalfItsWidthToTheLeft) {
  TextSetFont("arial");
  TextSetSize(24);
  TextCentreAt(320, 100, "Centre");
  Screen centred = Pixels();
  Clear(kBlack);
  TextPrintAt(320 - TextWidth("Centre") / 2, 100, "Centre");
  EXPECT_EQ(Pixels(), centred);
}

TEST_F(TextFixture, SmallDevicesScaleTheAtlasDown) {
  d3d9::testing::SetTextureCaps(0, 256, 256);
  TextSetFont("arial");
  TextSetSize(24);  // would need 512
  EXPECT_EQ(state().texture_width, 256u);
  EXPECT_FLOAT_EQ(state().texture_scale, 0.5f);
  // The next build renders at the scaled height and keeps cells that fit.
  TextSetBold();
  EXPECT_EQ(state().texture_width, 256u);
  EXPECT_EQ(TextHeight("g"), 12);
  EXPECT_GT(TextWidth("W"), 0);
}

TEST_F(TextFixture, OverflowingCellsDrawNothing) {
  TextSetFont("arial");
  TextSetSize(100);
  TextSetBoldItalic();
  EXPECT_EQ(state().texture_width, 1024u);
  // At 100 pixels the later characters no longer fit: they keep an advance but an empty quad.
  const float* last = state().glyph_table[255];
  EXPECT_EQ(last[2] - last[0], 0.0f);
  EXPECT_GT(state().glyph_widths[255], 0);
  for (int ch = 32; ch < 256; ++ch) {
    const float* r = state().glyph_table[ch];
    ASSERT_LE(r[3], 1.0f) << ch;
    ASSERT_LE(r[2], 1.0f) << ch;
  }
  TextPrintAt(0, 0, "\xff\xfe\xfd");  // harmless
  EXPECT_EQ(InkBox(Pixels(), kBlack).right, 0);
}

TEST_F(TextFixture, RefreshReleasesAndRebuildsWithInitialSettings) {
  TextSetFont("arial");
  TextSetSize(30);
  tessark::Modules().text.RefreshD3D(0);
  EXPECT_FALSE(state().font_texture);
  EXPECT_FALSE(state().vertex_buffer);
  EXPECT_FALSE(state().device);
  TextPrintAt(0, 0, "no device");  // draws nothing, harmlessly
  tessark::Modules().text.RefreshD3D(1);
  EXPECT_TRUE(state().font_texture);
  EXPECT_TRUE(state().vertex_buffer);
  EXPECT_EQ(TextSize(), 12);
  EXPECT_STREQ(state().font_name, "fixedsys");
  TextPrintAt(0, 0, "back");
  EXPECT_GT(InkBox(Pixels(), kBlack).right, 0);
}

TEST_F(TextFixture, DoubleByteFontsDrawWithGdiAndTheCharsetIsKept) {
  TextSetFontCharset("MS Gothic", SHIFTJIS_CHARSET);
  EXPECT_EQ(state().double_byte, 1);
  EXPECT_EQ(state().kept_charset, SHIFTJIS_CHARSET);
  core().ink = kGreen;
  core().background_ink = 0;
  TextPrintAt(50, 60, "\x82\xA0\x82\xA2");  // two hiragana
  RECT box = InkBox(Pixels(), kBlack);
  EXPECT_GE(box.left, 50);
  EXPECT_GE(box.top, 60);
  EXPECT_GT(box.right - box.left, 12);
  int green = 0;
  for (std::uint32_t p : Pixels()) green += p == kGreen;
  EXPECT_GT(green, 20);
  // Back to character set 0: the kept one stays, and the height is now the em from points.
  TextSetFontCharset("arial", 0);
  EXPECT_EQ(state().double_byte, 1);
  EXPECT_EQ(state().kept_charset, SHIFTJIS_CHARSET);
  EXPECT_EQ(TextHeight("g") > 12, true);
}

TEST_F(TextFixture, TextInSpaceUsesTheWorldMatrix) {
  // An orthographic view of the world's x-y plane one unit per pixel: world (0, 0) at the
  // screen centre, y up.
  D3DMATRIX identity{};
  for (int i = 0; i < 4; ++i) identity.m[i][i] = 1.0f;
  D3DMATRIX projection = identity;
  projection._11 = 2.0f / kWidth;
  projection._22 = 2.0f / kHeight;
  projection._33 = 0.5f;
  projection._43 = 0.5f;
  Device()->SetTransform(D3DTS_VIEW, &identity);
  Device()->SetTransform(D3DTS_PROJECTION, &projection);
  float world[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -100, 50, 0, 1};
  Text3DSetWorld(world);
  Text3D("Space");
  RECT box = InkBox(Pixels(), kBlack);
  EXPECT_NEAR(box.left, 320 - 100, 3);
  EXPECT_NEAR(box.top, 240 - 50, 3);
  EXPECT_LT(box.bottom, 240 - 50 + 16);
  Text3D(nullptr);
}

TEST_F(TextFixture, FontListFillsTheCheckList) {
  TextFontList();
  const tessark::CoreData& c = core();
  ASSERT_GT(c.check_list_count, 0);
  bool liberation = false;
  for (int i = 0; i < c.check_list_count; ++i) {
    ASSERT_NE(c.check_list[i].text, nullptr);
    liberation |= std::strcmp(c.check_list[i].text, "Liberation Sans") == 0;
  }
  EXPECT_TRUE(liberation);
  TextFontList();  // again, over the filled list
  EXPECT_GT(c.check_list_count, 0);
}

}  // namespace
}  // namespace text_test
