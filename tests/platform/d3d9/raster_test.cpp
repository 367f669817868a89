// Rasteriser conformance, derived from the platform's rules: pixel centres at integers, the
// top-left fill rule, texel-for-pixel mapping with the half-pixel shift, the stage and blend
// arithmetic, addressing and culling.
#include <algorithm>
#include <cmath>
#include <random>

#include "tests/platform/d3d9/device_fixture.h"

namespace {

constexpr std::uint32_t kBlack = 0xFF000000;

TEST_F(DeviceTest, ShiftedQuadCoversExactlyItsPixelsAndMapsTexelToPixel) {
  std::vector<std::uint32_t> texels(8 * 4);
  for (int i = 0; i < 32; ++i) texels[i] = 0xFF000000u | (i * 0x070503u);
  auto tex = Texture(8, 4, texels);
  device_->SetTexture(0, tex.Get());
  Clear(kBlack);
  Quad(10, 20, 18, 24);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      bool inside = x >= 10 && x < 18 && y >= 20 && y < 24;
      std::uint32_t want = inside ? texels[(y - 20) * 8 + (x - 10)] : kBlack;
      ASSERT_EQ(Pixel(x, y), want) << x << "," << y;
    }
  }
}

TEST_F(DeviceTest, LinearFilterOnExactMappingReadsSingleTexels) {
  std::vector<std::uint32_t> texels = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  auto tex = Texture(2, 2, texels);
  device_->SetTexture(0, tex.Get());
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  Clear(kBlack);
  Quad(4, 4, 6, 6);
  EXPECT_EQ(Pixel(4, 4), 0xFFFF0000u);
  EXPECT_EQ(Pixel(5, 4), 0xFF00FF00u);
  EXPECT_EQ(Pixel(4, 5), 0xFF0000FFu);
  EXPECT_EQ(Pixel(5, 5), 0xFFFFFFFFu);
}

TEST_F(DeviceTest, QuarterTurnRotatesTheTexture) {
  // A 4x4 texture turned a quarter clockwise about its centre (8, 8): texel (tx, ty) lands on
  // pixel (8 + (3 - ty) - 2, 8 + tx - 2).
  std::vector<std::uint32_t> texels(16);
  for (int i = 0; i < 16; ++i) texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i + 1);
  auto tex = Texture(4, 4, texels);
  device_->SetTexture(0, tex.Get());
  Clear(kBlack);
  // Corners turned: top-left of the picture goes to the top-right on screen.
  auto corner = [](float dx, float dy) {  // rotate (dx, dy) by +90 degrees on screen
    return std::pair<float, float>{-dy, dx};
  };
  float cx = 8 - 0.5f, cy = 8 - 0.5f;
  auto [x0, y0] = corner(-2, -2);
  auto [x1, y1] = corner(2, -2);
  auto [x2, y2] = corner(-2, 2);
  auto [x3, y3] = corner(2, 2);
  TlVertex v[4] = {{cx + x0, cy + y0, 0.5f, 1, 0xFFFFFFFF, 0, 0},
                   {cx + x1, cy + y1, 0.5f, 1, 0xFFFFFFFF, 1, 0},
                   {cx + x2, cy + y2, 0.5f, 1, 0xFFFFFFFF, 0, 1},
                   {cx + x3, cy + y3, 0.5f, 1, 0xFFFFFFFF, 1, 1}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
  for (int ty = 0; ty < 4; ++ty) {
    for (int tx = 0; tx < 4; ++tx) {
      EXPECT_EQ(Pixel(6 + (3 - ty), 6 + tx), texels[ty * 4 + tx]) << tx << "," << ty;
    }
  }
  EXPECT_EQ(CountNot(kBlack), 16);
}

TEST_F(DeviceTest, SharedEdgesDrawEveryPixelOnce) {
  // A fan of triangles around an off-grid centre, drawn additively with one unit each: any pixel
  // drawn twice reads 2, any missed pixel inside the square reads 0.
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  device_->SetTexture(0, nullptr);
  Clear(0);
  const float cx = 31.3f, cy = 29.7f;
  const float ring[][2] = {{8, 8},   {20, 8},  {40, 8}, {56, 8},   {56, 30},
                           {56, 56}, {33, 56}, {8, 56}, {8, 33.5f}};
  const int n = sizeof(ring) / sizeof(ring[0]);
  for (int i = 0; i < n; ++i) {
    const float* a = ring[i];
    const float* b = ring[(i + 1) % n];
    TlVertex v[3] = {{cx, cy, 0, 1, 0x01010101, 0, 0},
                     {a[0], a[1], 0, 1, 0x01010101, 0, 0},
                     {b[0], b[1], 0, 1, 0x01010101, 0, 0}};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, v, sizeof(TlVertex)), D3D_OK);
  }
  // The outline is the square 8..56 (pixel centres inside: 8..55 with the top-left rule).
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      bool inside = x >= 8 && x < 56 && y >= 8 && y < 56;
      ASSERT_EQ(Pixel(x, y) & 0xFF, inside ? 1u : 0u) << x << "," << y;
    }
  }
}

TEST_F(DeviceTest, ModulateAndSourceAlphaBlendArithmetic) {
  std::vector<std::uint32_t> texels = {0xC0804020};
  auto tex = Texture(1, 1, texels);
  device_->SetTexture(0, tex.Get());
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  Clear(0xFF102030);
  Quad(0, 0, 4, 4, 0x80FF8040, 1, 1);
  // Source: texel x diffuse, rounded: a = 0xC0*0x80/255 = 96, r = 0x80, g = 0x40*0x80/255 = 32,
  // b = 0x20*0x40/255 = 8. Blend: s*a/255 + d*(255-a)/255, rounded.
  auto mix = [](int s, int d, int a) {
    return static_cast<std::uint32_t>(std::lround((s * a + d * (255 - a)) / 255.0));
  };
  int a = 96;
  std::uint32_t want =
      mix(a, 255, a) << 24 | mix(0x80, 0x10, a) << 16 | mix(32, 0x20, a) << 8 | mix(8, 0x30, a);
  EXPECT_EQ(Pixel(1, 1), want);
}

TEST_F(DeviceTest, SixteenBitTexturesSampleWidened) {
  Ref<IDirect3DTexture9> t4;
  ASSERT_EQ(device_->CreateTexture(2, 1, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, t4.Put(), nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(t4->LockRect(0, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 4);  // kept in its own 16-bit format
  auto* p = static_cast<std::uint16_t*>(lr.pBits);
  p[0] = 0xF84C;
  p[1] = 0x0FFF;
  t4->UnlockRect(0);
  device_->SetTexture(0, t4.Get());
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  Clear(kBlack);
  Quad(0, 0, 2, 1);
  EXPECT_EQ(Pixel(0, 0), 0xFF8844CCu);
  EXPECT_EQ(Pixel(1, 0), 0x00FFFFFFu);

  Ref<IDirect3DTexture9> t565;
  ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, t565.Put(), nullptr),
            D3D_OK);
  ASSERT_EQ(t565->LockRect(0, &lr, nullptr, 0), D3D_OK);
  *static_cast<std::uint16_t*>(lr.pBits) = (30 << 11) | (32 << 5) | 1;
  t565->UnlockRect(0);
  device_->SetTexture(0, t565.Get());
  Quad(0, 0, 1, 1);
  // 5 and 6 bits widen by repeating their top bits: 30 -> 247, 32 -> 130, 1 -> 8.
  EXPECT_EQ(Pixel(0, 0), 0xFFF78208u);
}

TEST_F(DeviceTest, WrapMirrorAndClampAddressing) {
  std::vector<std::uint32_t> texels = {0xFF0000AA, 0xFF0000BB};
  auto tex = Texture(2, 1, texels);
  device_->SetTexture(0, tex.Get());
  Clear(kBlack);
  Quad(0, 0, 6, 1, 0xFFFFFFFF, 3.0f, 1.0f);  // wrap is the default
  const std::uint32_t a = 0xFF0000AA, b = 0xFF0000BB;
  std::uint32_t wrap[6] = {a, b, a, b, a, b};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(x, 0), wrap[x]) << x;
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
  Quad(0, 1, 6, 2, 0xFFFFFFFF, 3.0f, 1.0f);
  std::uint32_t mirror[6] = {a, b, b, a, a, b};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(x, 1), mirror[x]) << x;
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  Quad(0, 2, 6, 3, 0xFFFFFFFF, 3.0f, 1.0f);
  std::uint32_t clamp[6] = {a, b, b, b, b, b};
  for (int x = 0; x < 6; ++x) EXPECT_EQ(Pixel(x, 2), clamp[x]) << x;
}

TEST_F(DeviceTest, CullModesFollowScreenWinding) {
  device_->SetTexture(0, nullptr);
  // Clockwise on screen (y down): (0,0) (8,0) (0,8).
  TlVertex cw[3] = {{0, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                    {8, 0, 0, 1, 0xFFFFFFFF, 0, 0},
                    {0, 8, 0, 1, 0xFFFFFFFF, 0, 0}};
  TlVertex ccw[3] = {cw[0], cw[2], cw[1]};
  struct Case {
    DWORD mode;
    bool cw_drawn, ccw_drawn;
  } cases[] = {{D3DCULL_NONE, true, true}, {D3DCULL_CW, false, true}, {D3DCULL_CCW, true, false}};
  for (const Case& c : cases) {
    device_->SetRenderState(D3DRS_CULLMODE, c.mode);
    Clear(kBlack);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(TlVertex));
    EXPECT_EQ(CountNot(kBlack) > 0, c.cw_drawn) << c.mode;
    Clear(kBlack);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(TlVertex));
    EXPECT_EQ(CountNot(kBlack) > 0, c.ccw_drawn) << c.mode;
  }
}

TEST_F(DeviceTest, DepthTestAndWrite) {
  device_->SetRenderState(D3DRS_ZENABLE, TRUE);
  device_->SetTexture(0, nullptr);
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlack, 1.0f, 0),
            D3D_OK);
  TlVertex near_quad[4] = {{-0.5f, -0.5f, 0.2f, 1, 0xFFFF0000, 0, 0},
                           {3.5f, -0.5f, 0.2f, 1, 0xFFFF0000, 0, 0},
                           {-0.5f, 3.5f, 0.2f, 1, 0xFFFF0000, 0, 0},
                           {3.5f, 3.5f, 0.2f, 1, 0xFFFF0000, 0, 0}};
  TlVertex far_quad[4];
  for (int i = 0; i < 4; ++i) {
    far_quad[i] = near_quad[i];
    far_quad[i].z = 0.6f;
    far_quad[i].colour = 0xFF00FF00;
  }
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, near_quad, sizeof(TlVertex));
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, far_quad, sizeof(TlVertex));
  EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);  // the far quad fails the test
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, far_quad, sizeof(TlVertex));
  EXPECT_EQ(Pixel(1, 1), 0xFF00FF00u);
  device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, near_quad, sizeof(TlVertex));
  EXPECT_EQ(Pixel(1, 1), 0xFFFF0000u);  // depth still holds 0.2: not written by the far quad
}

TEST_F(DeviceTest, AlphaTestDiscards) {
  std::vector<std::uint32_t> texels = {0x10FFFFFF, 0xF0FFFFFF};
  auto tex = Texture(2, 1, texels);
  device_->SetTexture(0, tex.Get());
  device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
  device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
  Clear(kBlack);
  Quad(0, 0, 2, 1);
  EXPECT_EQ(Pixel(0, 0), kBlack);
  EXPECT_EQ(Pixel(1, 0), 0xF0FFFFFFu);
}

TEST_F(DeviceTest, LinesDrawFromStartThroughLastPixel) {
  device_->SetTexture(0, nullptr);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  struct V {
    float x, y, z, rhw;
    DWORD c;
  } line[2] = {{2, 3, 0, 1, 0xFFFFFFFF}, {9, 6, 0, 1, 0xFFFFFFFF}};
  Clear(kBlack);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(V)), D3D_OK);
  EXPECT_EQ(CountNot(kBlack), 8);  // x from 2 to 9, one pixel a column
  EXPECT_EQ(Pixel(2, 3), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(9, 6), 0xFFFFFFFFu);
  device_->SetRenderState(D3DRS_LASTPIXEL, FALSE);
  Clear(kBlack);
  device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(V));
  EXPECT_EQ(CountNot(kBlack), 7);
  EXPECT_EQ(Pixel(9, 6), kBlack);
}

TEST_F(DeviceTest, UntransformedVerticesGoThroughTheMatrices) {
  device_->SetTexture(0, nullptr);
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
  // Identity world and view, identity projection: clip space -1..1 maps onto the viewport.
  struct V {
    float x, y, z;
    DWORD c;
  } tri[4] = {{-1, 1, 0.5f, 0xFF00FF00},
              {0, 1, 0.5f, 0xFF00FF00},
              {-1, 0, 0.5f, 0xFF00FF00},
              {0, 0, 0.5f, 0xFF00FF00}};
  Clear(kBlack);
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, tri, sizeof(V)), D3D_OK);
  // The top-left quarter of the 64 by 64 target: pixels 0..31.
  EXPECT_EQ(Pixel(0, 0), 0xFF00FF00u);
  EXPECT_EQ(Pixel(31, 31), 0xFF00FF00u);
  EXPECT_EQ(Pixel(32, 31), kBlack);
  EXPECT_EQ(Pixel(31, 32), kBlack);
  EXPECT_EQ(CountNot(kBlack), 32 * 32);
}

}  // namespace

namespace {

// A turned quad drawn as a strip covers exactly the pixels of its two triangles, over many
// angles and offsets.
TEST_F(DeviceTest, StripQuadCoversTheSamePixelsAsItsTriangles) {
  device_->SetTexture(0, nullptr);
  for (int i = 0; i < 40; ++i) {
    float angle = i * 0.37f, cx = 30.0f + (i % 7) * 0.13f, cy = 31.0f + (i % 5) * 0.21f;
    float c = std::cos(angle), s = std::sin(angle);
    TlVertex v[4];
    const float corner[4][2] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (int k = 0; k < 4; ++k) {
      float dx = corner[k][0] * 11, dy = corner[k][1] * 7;
      v[k] = TlVertex{cx + dx * c - dy * s, cy + dx * s + dy * c, 0, 1, 0x01010101, 0, 0};
    }
    ExpectStripCoversItsTriangles(v, i);
  }
}

}  // namespace

namespace {

// The 2D span loops and the general per-pixel pipeline must agree to the bit: the same turned,
// tinted, blended quads drawn once each way (an always-passing alpha test forces the general
// path) give identical targets.
TEST_F(DeviceTest, FastAndGeneralPathsAgree) {
  std::vector<std::uint32_t> texels(16 * 16);
  for (int i = 0; i < 256; ++i) {
    texels[i] = static_cast<std::uint32_t>((i * 37) & 255) << 24 | 0x00FFFFFFu * ((i * 11) % 7) / 7;
  }
  auto tex = Texture(16, 16, texels);
  device_->SetTexture(0, tex.Get());
  UseTintedBlending();
  auto draw = [&](bool general) {
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
    Clear(0xFF204060);
    for (int i = 0; i < 12; ++i) {
      TurnedQuad(10.0f + 4 * i, 12.0f + 3 * i, 16, i * 0.61f, i % 3 ? 0xFFFFFFFF : 0xC080FF40);
    }
    Quad(3, 40, 19, 56, 0x80FFFFFF);  // unscaled, tinted
    return Pixels();
  };
  ExpectFastMatchesGeneral(draw);
}

// The spans' shortcuts for runs of four clear or four opaque texels, tinted or not, straight
// (texel for pixel) or stepped, give what the general pipeline gives, over a target whose
// alpha is partly clear.
TEST_F(DeviceTest, ClearAndOpaqueTexelRunsMatchTheGeneralPath) {
  std::vector<std::uint32_t> texels(16 * 16);
  for (int i = 0; i < 256; ++i) {
    const int run = (i / 4 + i / 16) % 3;  // runs of four: clear, opaque, half
    const std::uint32_t a = run == 0 ? 0 : run == 1 ? 255 : static_cast<std::uint32_t>(i % 200);
    texels[i] = a << 24 | static_cast<std::uint32_t>(i * 0x010305) % 0x1000000u;
  }
  auto tex = Texture(16, 16, texels);
  device_->SetTexture(0, tex.Get());
  UseTintedBlending();
  auto draw = [&](bool general) {
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
    Clear(0x00306090);
    Quad(0, 0, 64, 8, 0xFF000000);  // opaque black band over the clear-alpha target
    Quad(4, 2, 20, 18);             // straight, untinted
    Quad(2, 20, 15, 36, 0xFFFFFFFF, 13.0f / 16, 1.0f);  // straight, width not a multiple of 8
    Quad(23, 3, 39, 19, 0x80FF8040);                    // straight, tinted
    Quad(41, 1, 57, 17, 0xFFFFFFFF, 0.5f, 0.5f);        // stepped (magnified), untinted
    Quad(5, 30, 37, 46, 0xC0FFFFFF, 2.0f, 1.0f);        // stepped, tinted, wrapping
    return Pixels();
  };
  ExpectFastMatchesGeneral(draw);
}

// Upright quads (filled as one block of rows) cover exactly the pixels of the same two
// triangles walked edge by edge: fractional sides, sides on pixel centres, and quads running off
// the target, checked additively.
TEST_F(DeviceTest, UprightQuadsCoverTheSamePixelsAsTheirTriangles) {
  device_->SetTexture(0, nullptr);
  for (int i = 0; i < 48; ++i) {
    // Every side falls on a pixel centre, a quarter, half or three quarters past one.
    const float frac[4] = {0.0f, 0.25f, 0.5f, 0.75f};
    const float left = -4.0f + (i % 12) * 5.0f + frac[i % 4];
    const float right = std::floor(left) + 4.0f + (i % 5) * 3.0f + frac[(i / 4) % 4];
    const float top = -3.0f + (i % 9) * 7.0f + frac[(i / 2) % 4];
    const float bottom = std::floor(top) + 3.0f + (i % 4) * 2.0f + frac[(i / 8) % 4];
    TlVertex v[4] = {{left, top, 0, 1, 0x01010101, 0, 0},
                     {right, top, 0, 1, 0x01010101, 0, 0},
                     {left, bottom, 0, 1, 0x01010101, 0, 0},
                     {right, bottom, 0, 1, 0x01010101, 0, 0}};
    ExpectStripCoversItsTriangles(v, i);
  }
  // Sides on the half-pixel grid: exactly the pixels of its area.
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  Clear(0);
  Quad(10, 20, 17, 29, 0x01010101);
  EXPECT_EQ(CountNot(0), 7 * 9);
}

// Texel-for-pixel blocks (copied or blended row by row, eight pixels at a time where the
// processor allows) and turned sprites (texels gathered eight at a time, in short spans and in
// spans as long as a row) give what the general pipeline gives: blended and opaque, tinted and
// not, widths that are not multiples of eight and widths below eight, blocks that run off the
// texture (wrapping) or off the target, over a target whose alpha is partly clear and over one
// without alpha (read as opaque, its unused byte still written as the blend gives it).
TEST_F(DeviceTest, BlocksAndTurnedSpritesMatchTheGeneralPath) {
  std::vector<std::uint32_t> texels(32 * 32);
  for (int i = 0; i < 32 * 32; ++i) {
    const int run = (i / 8 + i / 32 + i / 160) % 4;  // runs of eight: clear, opaque, half, mixed
    const std::uint32_t a = run == 0   ? 0
                            : run == 1 ? 255
                            : run == 2 ? static_cast<std::uint32_t>(i % 200)
                                       : static_cast<std::uint32_t>((i % 2) * 255);
    texels[i] = a << 24 | static_cast<std::uint32_t>(i * 0x070305) % 0x1000000u;
  }
  for (D3DFORMAT format : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}) {
    Create(64, 64, format);
    auto tex = Texture(32, 32, texels);
    device_->SetTexture(0, tex.Get());
    UseTintedBlending();
    // A texel-for-pixel quad whose top-left texel is (tu, tv).
    auto block = [&](float left, float top, float w, float h, float tu, float tv, DWORD colour) {
      const float u0 = tu / 32, v0 = tv / 32, u1 = (tu + w) / 32, v1 = (tv + h) / 32;
      TlVertex v[4] = {{left - 0.5f, top - 0.5f, 0.5f, 1, colour, u0, v0},
                       {left + w - 0.5f, top - 0.5f, 0.5f, 1, colour, u1, v0},
                       {left - 0.5f, top + h - 0.5f, 0.5f, 1, colour, u0, v1},
                       {left + w - 0.5f, top + h - 0.5f, 0.5f, 1, colour, u1, v1}};
      device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
    };
    auto draw = [&](bool general) {
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
      Clear(0x00306090);
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
      block(40, 40, 21, 9, 3, 5, 0xFFFFFFFF);  // opaque copy
      block(44, 52, 13, 7, 0, 0, 0x80C0FF40);  // opaque, tinted
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
      block(0, 0, 32, 32, 0, 0, 0xFFFFFFFF);     // the whole texture
      block(33, 1, 29, 11, 2, 7, 0xFFFFFFFF);    // width 29: three eights and a tail of five
      block(35, 14, 16, 10, 1, 3, 0xA0FF8040);   // tinted
      block(2, 34, 24, 8, 12, 4, 0xFFFFFFFF);    // four past the texture's right side: wraps
      block(26, 56, 9, 6, 3, 29, 0xFFFFFFFF);    // three past its bottom
      block(-5, 45, 20, 12, 6, 0, 0xFFFFFFFF);   // off the target's left side
      block(52, 24, 20, 9, 0, 10, 0xC0FFFFFF);   // off its right side, tinted
      block(58, 36, 9, 5, 5, 2, 0xFFFFFFFF);     // six inside the target: rows below eight
      block(17, 43, 7, 3, 1, 9, 0xB0FFFFFF);     // width 7, tinted
      TurnedQuad(20, 52, 30, 0.4f, 0xFFFFFFFF);  // turned, 30 on a side: gathered spans
      TurnedQuad(48, 30, 36, 2.2f, 0xB0FFC080);  // turned and tinted
      TurnedQuad(8, 20, 24, -0.9f, 0xFFFFFFFF);  // partly off the target
      // Nearly upright and wider than the target, over its top and bottom rows: spans as long
      // as a row, which take the gathered loop's shortcuts.
      TurnedQuad(32, -29, 72, -0.05f, 0xFFFFFFFF);
      TurnedQuad(32, 93, 72, 0.05f, 0xC0FFFFFF);
      return Pixels();
    };
    ExpectFastMatchesGeneral(draw);
  }
}

// Interpolated colour with no texture read (every gradient box) gives what the general pipeline
// gives: strips with four different corners, blended over a target whose alpha is partly clear
// and copied, spans of every length, triangles running off the target, and stages that take
// only alpha, or nothing, from the diffuse colour.
TEST_F(DeviceTest, GradientsMatchTheGeneralPath) {
  Create(64, 64, D3DFMT_A8R8G8B8);
  device_->SetTexture(0, nullptr);
  UseTintedBlending();
  auto strip = [&](float l, float t, float r, float b, const DWORD(&c)[4]) {
    TlVertex v[4] = {{l, b, 0.5f, 1, c[0], 0, 0},
                     {l, t, 0.5f, 1, c[1], 0, 0},
                     {r, b, 0.5f, 1, c[2], 0, 0},
                     {r, t, 0.5f, 1, c[3], 0, 0}};
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
  };
  auto draw = [&](bool general) {
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    Clear(0x00306090);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    strip(0, 0, 64, 64, {0xFF000000, 0x80FF0000, 0x0000FF00, 0xFFFFFFFF});
    strip(3.3f, 5.7f, 40.2f, 21.9f, {0x40102030, 0xFF8090A0, 0xC0FFFFFF, 0x01FF00FF});
    strip(-20, 30, 90, 77, {0x7F00FF00, 0x80FF00FF, 0xFF0000FF, 0x00FFFFFF});
    for (int n = 1; n <= 9; ++n) {  // every span length around the four-pixel loop
      strip(40, 2.0f * n, 40.0f + n, 2.0f * n + 1,
            {0x20FF0000, 0xE000FF00, 0x600000FF, 0xA0808080});
    }
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    strip(10, 40, 33, 51, {0x10FF2000, 0xFF00FF40, 0x80402000, 0x00FFFFFF});
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);  // missing: white
    strip(30, 30, 62, 62, {0x10000000, 0xFF000000, 0x80000000, 0x30000000});
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);  // opaque white
    strip(50, 0, 60, 10, {0x10000000, 0xFF000000, 0x80000000, 0x30000000});
    return Pixels();
  };
  ExpectFastMatchesGeneral(draw);
}

// Lines and points of one colour with no texture read are written straight; they give what
// the general pipeline gives, blended over partly clear alpha and copied, clipped or not, depth
// tested and written, and lines whose ends differ in colour still shade along their length.
TEST_F(DeviceTest, PlainLinesAndPointsMatchTheGeneralPath) {
  Create(64, 64, D3DFMT_A8R8G8B8);
  device_->SetTexture(0, nullptr);
  UseTintedBlending();
  auto line = [&](float x0, float y0, float x1, float y1, DWORD c0, DWORD c1, float z = 0.5f) {
    TlVertex v[2] = {{x0, y0, z, 1, c0, 0, 0}, {x1, y1, z, 1, c1, 0, 0}};
    device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof(TlVertex));
  };
  auto draw = [&](bool general) {
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
    Clear(0x00306090);
    for (BOOL blend : {TRUE, FALSE}) {
      device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
      const float at = blend ? 0.0f : 3.0f;
      line(-10, at, 80, 50 + at, 0x80FF4020, 0x80FF4020);  // clipped at both ends
      line(5, 60 - at, 40, 20 + at, 0xFF10E030, 0xFF10E030);
      line(60 - at, 2, 61 - at, 63, 0x40FFFFFF, 0xC0000000);  // shaded along its length
      TlVertex points[3] = {{7, 9 + at, 0.5f, 1, 0x7F123456, 0, 0},
                            {63.4f, 63.4f, 0.5f, 1, 0x20FFFFFF, 0, 0},
                            {-3, 5, 0.5f, 1, 0xFFFFFFFF, 0, 0}};
      device_->DrawPrimitiveUP(D3DPT_POINTLIST, 3, points, sizeof(TlVertex));
    }
    // Depth tested and written: the second line fails where it crosses the first.
    device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
    device_->SetRenderState(D3DRS_ZENABLE, TRUE);
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    line(0, 40, 63, 45, 0xFFFF0000, 0xFFFF0000, 0.25f);
    line(30, 20, 34, 63, 0xFF00FF00, 0xFF00FF00, 0.25f);
    line(0, 50, 63, 52, 0xFF0000FF, 0xFF0000FF, 0.75f);
    device_->SetRenderState(D3DRS_ZENABLE, FALSE);
    return Pixels();
  };
  ExpectFastMatchesGeneral(draw);
}

// One-colour lines walked in integers land on exactly the pixels the general pipeline's
// per-step formula gives: thousands of random lines with ends on whole pixels, half pixels
// (where the formula's rounding ties), fine fractions and anywhere, steep and shallow, either
// way, clipped at the target's edges, copied and blended, depth tested or not, with and
// without the last pixel.
TEST_F(DeviceTest, PlainLinesWalkTheGeneralPathsPixels) {
  Create(64, 64, D3DFMT_A8R8G8B8);
  device_->SetTexture(0, nullptr);
  UseTintedBlending();
  std::mt19937 random(28);
  auto coordinate = [&](int kind) {
    const float whole = static_cast<float>(std::uniform_int_distribution<int>(-24, 88)(random));
    switch (kind) {
      case 0:
        return whole;
      case 1:
        return whole + 0.5f;
      case 2:
        return whole + static_cast<float>(random() % 256) / 256.0f;
      default:
        return std::uniform_real_distribution<float>(-24, 88)(random);
    }
  };
  for (int batch = 0; batch < 160; ++batch) {
    std::vector<TlVertex> lines;
    for (int i = 0; i < 2 * 24; ++i) {
      const int kind = batch % 4;
      const DWORD colour = static_cast<DWORD>(40 + i * 4) << 24 |
                           static_cast<DWORD>(batch * 977 + i * 131071) % 0xFFFFFF;
      const float z = static_cast<float>(i % 3) * 0.3f + 0.1f;
      lines.push_back({coordinate(kind), coordinate(kind), z, 1, colour, 0, 0});
      lines.push_back(lines.back());
      lines.back().x = coordinate(kind), lines.back().y = coordinate(kind);
    }
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, batch % 3 == 0);
    device_->SetRenderState(D3DRS_LASTPIXEL, batch % 5 != 0);
    auto draw = [&](bool general) {
      device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
      Clear(0x00306090);
      // Some batches (of every kind) depth tested against a buffer half way, and written.
      device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0);
      device_->SetRenderState(D3DRS_ZENABLE, batch / 4 % 2 == 1);
      device_->DrawPrimitiveUP(D3DPT_LINELIST, 24, lines.data(), sizeof(TlVertex));
      device_->SetRenderState(D3DRS_ZENABLE, FALSE);
      return Pixels();
    };
    const std::vector<std::uint32_t> want = draw(true), got = draw(false);
    int differing = 0;
    for (std::size_t p = 0; p < want.size(); ++p) differing += want[p] != got[p];
    ASSERT_EQ(differing, 0) << "batch " << batch;
  }
  device_->SetRenderState(D3DRS_LASTPIXEL, TRUE);
}

// A line is drawn untested where its depth passes against the lowest value the depth buffer
// may hold. Every way of writing depth keeps that value: whole and partial clears (NaN
// included), lines, points and triangles; each line below must still fail where an earlier
// write left a nearer depth.
TEST_F(DeviceTest, LinesMeetEveryEarlierDepthWrite) {
  Create(64, 64, D3DFMT_A8R8G8B8);
  device_->SetTexture(0, nullptr);
  auto line = [&](float x0, float y0, float x1, float y1, DWORD c, float z) {
    TlVertex v[2] = {{x0, y0, z, 1, c, 0, 0}, {x1, y1, z, 1, c, 0, 0}};
    device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, v, sizeof(TlVertex));
  };
  auto clear_depth = [&](const D3DRECT* rect, float z) {
    device_->Clear(rect ? 1 : 0, rect, D3DCLEAR_ZBUFFER, 0, z, 0);
  };
  auto draw = [&](bool general) {
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, general);
    device_->SetRenderState(D3DRS_ZENABLE, TRUE);
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    Clear(kBlack);
    clear_depth(nullptr, 0.6f);
    line(0, 10, 63, 10, 0xFFFF0000, 0.3f);
    line(20, 0, 20, 63, 0xFF00FF00, 0.3f);  // passes <= where the first line left 0.3
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    line(0, 14, 63, 2, 0xFF0000FF, 0.3f);  // fails < at both lines
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    const D3DRECT band{40, 0, 50, 64};
    clear_depth(&band, 0.1f);
    line(0, 30, 63, 30, 0xFFFFFF00, 0.2f);  // fails inside the band
    TlVertex quad[4] = {{4.5f, 39.5f, 0.05f, 1, 0xFF808080, 0, 0},
                        {14.5f, 39.5f, 0.05f, 1, 0xFF808080, 0, 0},
                        {4.5f, 49.5f, 0.05f, 1, 0xFF808080, 0, 0},
                        {14.5f, 49.5f, 0.05f, 1, 0xFF808080, 0, 0}};
    device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(TlVertex));
    line(0, 45, 63, 45, 0xFF00FFFF, 0.08f);  // fails over the quad and the band
    TlVertex point = {30, 55, 0.01f, 1, 0xFFFF00FF, 0, 0};
    device_->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &point, sizeof(TlVertex));
    line(0, 55, 63, 55, 0xFFFFFFFF, 0.02f);  // fails at the point
    clear_depth(nullptr, std::nanf(""));
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    line(10, 56, 10, 63, 0xFF00FF00, 0.5f);
    device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    // Nothing passes against NaN: these pass only where the last line wrote 0.5.
    line(0, 58, 63, 58, 0xFFFF0000, 0.2f);
    line(0, 60, 63, 60, 0xFFFFFFFF, 0.0f);
    clear_depth(nullptr, 1.0f);
    line(0, 62, 63, 62, 0xFF123456, 0.5f);
    device_->SetRenderState(D3DRS_ZENABLE, FALSE);
    return Pixels();
  };
  const std::vector<std::uint32_t> general = draw(true);
  auto at = [&](int x, int y) { return general[static_cast<std::size_t>(y) * 64 + x]; };
  EXPECT_EQ(at(20, 10), 0xFF00FF00u);
  EXPECT_EQ(at(5, 10), 0xFFFF0000u);
  EXPECT_EQ(at(45, 30), kBlack);
  EXPECT_EQ(at(30, 30), 0xFFFFFF00u);
  EXPECT_EQ(at(10, 45), 0xFF808080u);
  EXPECT_EQ(at(30, 55), 0xFFFF00FFu);
  EXPECT_EQ(at(31, 55), 0xFFFFFFFFu);
  EXPECT_EQ(at(30, 60), kBlack);
  EXPECT_EQ(at(10, 58), 0xFFFF0000u);
  EXPECT_EQ(at(11, 58), kBlack);
  EXPECT_EQ(at(30, 62), 0xFF123456u);
  ExpectFastMatchesGeneral(draw);
}

// Cleared rectangles of every width around the fill's eight-pixel stores cover exactly their
// pixels, stored eight at a time where the processor allows or not.
TEST_F(DeviceTest, ClearedRectanglesCoverExactlyTheirPixels) {
  for (bool wide : {true, false}) {
    d3d9::testing::UseWideSpans(wide);
    Clear(0xFF000000);
    for (LONG w = 1; w <= 19; ++w) {
      const D3DRECT r{3 + w % 5, 2 * w, 3 + w % 5 + w, 2 * w + 1};
      ASSERT_EQ(device_->Clear(1, &r, D3DCLEAR_TARGET, 0xFF00FF00u + w, 0.0f, 0), D3D_OK);
    }
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 64; ++x) {
        const LONG w = y / 2;
        const bool inside = y % 2 == 0 && w >= 1 && w <= 19 && x >= 3 + w % 5 && x < 3 + w % 5 + w;
        ASSERT_EQ(Pixel(x, y), inside ? 0xFF00FF00u + w : 0xFF000000u) << x << "," << y;
      }
    }
  }
  d3d9::testing::UseWideSpans(true);
}

// Pairs of triangles (a, b, c), (d, c, b) in a list, as text and sprite batches write their
// quads, draw exactly what the same triangles drawn one at a time draw: texel for pixel (filled
// as one block), scaled, turned, tinted and blended (left to the triangles).
TEST_F(DeviceTest, QuadPairsInAListDrawWhatTheirTrianglesDraw) {
  std::vector<std::uint32_t> texels(16 * 16);
  for (int i = 0; i < 256; ++i) {
    texels[i] = static_cast<std::uint32_t>((i * 53) & 255) << 24 | (i * 0x030507u) % 0x1000000u;
  }
  auto tex = Texture(16, 16, texels);
  device_->SetTexture(0, tex.Get());
  UseTintedBlending();
  std::vector<TlVertex> list;
  auto quad = [&](float l, float t, float r, float b, float u1, float v1, float turn,
                  DWORD colour) {
    const float cx = (l + r) / 2, cy = (t + b) / 2, c = std::cos(turn), s = std::sin(turn);
    auto at = [&](float x, float y, float u, float v) {
      return TlVertex{cx + (x - cx) * c - (y - cy) * s,
                      cy + (x - cx) * s + (y - cy) * c,
                      0.5f,
                      1,
                      colour,
                      u,
                      v};
    };
    const TlVertex bl = at(l, b, 0, v1), tl = at(l, t, 0, 0), br = at(r, b, u1, v1),
                   tr = at(r, t, u1, 0);
    list.insert(list.end(), {bl, tl, br, tr, br, tl});
  };
  quad(1.5f, 2.5f, 17.5f, 18.5f, 1, 1, 0, 0xFFFFFFFF);         // texel for pixel
  quad(40.5f, 40.5f, 56.5f, 56.5f, 1, 1, 0, 0xA0FF8040);       // texel for pixel, tinted
  quad(20.5f, 1.5f, 29.5f, 13.5f, 0.6f, 0.8f, 0, 0xC0FF8040);  // scaled, tinted
  quad(33.2f, 3.7f, 60.1f, 21.3f, 1.7f, 1.3f, 0, 0xFFFFFFFF);  // scaled up, wrapping
  quad(8, 30, 30, 52, 1, 1, 0.7f, 0xFFFFFFFF);                 // turned
  quad(36, 28, 58, 60, 1, 1, -2.1f, 0x80FFFFFF);               // turned, tinted
  const UINT triangles = static_cast<UINT>(list.size() / 3);
  auto draw = [&](bool one_by_one) {
    Clear(0xFF204060);
    if (!one_by_one) {
      device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, triangles, list.data(), sizeof(TlVertex));
    } else {
      for (UINT i = 0; i < triangles; ++i) {
        device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, &list[3 * i], sizeof(TlVertex));
      }
    }
    return Pixels();
  };
  const std::vector<std::uint32_t> want = draw(true), got = draw(false);
  int differing = 0;
  for (std::size_t p = 0; p < want.size(); ++p) differing += want[p] != got[p];
  EXPECT_EQ(differing, 0);
}

TEST_F(DeviceTest, AttributesArePerspectiveCorrect) {
  // Ten texels across; the right edge is four times as far away (rhw 0.25). Half-way across
  // the screen, u is (0.5 * 0 * 1 + 0.5 * 1 * 0.25) / (0.5 * 1 + 0.5 * 0.25) = 0.2: texel 2.
  std::vector<std::uint32_t> texels(10);
  for (int i = 0; i < 10; ++i) texels[i] = 0xFF000000u | static_cast<std::uint32_t>(i);
  auto tex = Texture(10, 1, texels);
  device_->SetTexture(0, tex.Get());
  Clear(0xFF000000);
  TlVertex v[4] = {{0, 0, 0, 1.0f, 0xFFFFFFFF, 0, 0},
                   {40, 0, 0, 0.25f, 0xFFFFFFFF, 1, 0},
                   {0, 4, 0, 1.0f, 0xFFFFFFFF, 0, 1},
                   {40, 4, 0, 0.25f, 0xFFFFFFFF, 1, 1}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(Pixel(20, 1), 0xFF000002u);  // affine interpolation would give texel 5
  EXPECT_EQ(Pixel(1, 1), 0xFF000000u);
  EXPECT_EQ(Pixel(39, 1), 0xFF000009u);
}

TEST_F(DeviceTest, LinearFilterBlendsNeighbours) {
  auto tex = Texture(2, 1, {0xFF000000, 0xFFC8C8C8});
  device_->SetTexture(0, tex.Get());
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  Clear(0xFF000000);
  Quad(0, 0, 8, 1);  // four pixels a texel
  // Pixel x samples at u = (x + 0.5) / 8; texel space 2u - 0.5 = (x + 0.5) / 4 - 0.5.
  for (int x = 0; x < 8; ++x) {
    double t = std::clamp((x + 0.5) / 4 - 0.5, 0.0, 1.0);
    int want = static_cast<int>(std::lround(t * 200));
    EXPECT_NEAR(static_cast<int>(Pixel(x, 0) & 0xFF), want, 1) << x;
  }
}

TEST_F(DeviceTest, HugeAndBrokenTrianglesAreSafe) {
  device_->SetTexture(0, nullptr);
  Clear(0xFF000000);
  TlVertex huge[3] = {{-1e7f, -1e7f, 0, 1, 0xFF00FF00, 0, 0},
                      {1e7f, -1e7f, 0, 1, 0xFF00FF00, 0, 0},
                      {0, 1e7f, 0, 1, 0xFF00FF00, 0, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, huge, sizeof(TlVertex)), D3D_OK);
  EXPECT_EQ(CountNot(0xFF00FF00), 0);  // the whole target covered
  const float nan = std::nanf("");
  TlVertex broken[3] = {{nan, 0, 0, 1, 0xFFFF0000, 0, 0},
                        {10, 0, 0, 1, 0xFFFF0000, 0, 0},
                        {0, 10, 0, 1, 0xFFFF0000, 0, 0}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, broken, sizeof(TlVertex)), D3D_OK);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  struct V {
    float x, y, z, rhw;
    DWORD c;
  } line[2] = {{-3e9f, 5, 0, 1, 0xFFFF0000}, {3e9f, 5, 0, 1, 0xFFFF0000}};
  ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(V)), D3D_OK);
  EXPECT_EQ(CountNot(0xFF00FF00), 0);  // too far to draw, and nothing broke
}

// Upright quads read texel for pixel go from the vertices straight to the block loops. They,
// and quads just outside what that path takes (half a texel off, one pixel wider than the
// texels, u flipped, off the pixel grid, past the texture's edge, running off the target, wound
// the other way), give what the polygon path and the general per-pixel pipeline give: as strips
// and as a list of pairs, tinted and blended, point and linear filtered, culled or not.
TEST_F(DeviceTest, TexelRectsMatchThePolygonPath) {
  std::vector<std::uint32_t> texels(16 * 16);
  for (int i = 0; i < 256; ++i) {
    const std::uint32_t a = i % 3 == 0 ? 255 : static_cast<std::uint32_t>((i * 37) & 255);
    texels[i] = a << 24 | (static_cast<std::uint32_t>(i) * 0x0B0705u) % 0x1000000u;
  }
  auto tex = Texture(16, 16, texels);
  device_->SetTexture(0, tex.Get());
  UseTintedBlending();
  struct Rect {
    float l, t, r, b, u0, v0, u1, v1;
    DWORD colour;
  };
  const float k = 1.0f / 16;
  const Rect rects[] = {
      {2, 2, 18, 18, 0, 0, 1, 1, 0xFFFFFFFF},                      // the whole texture
      {20, 3, 28, 9, 2 * k, 3 * k, 10 * k, 9 * k, 0xA0FF8040},     // part of it, tinted
      {30, 2, 46, 18, 0.5f * k, 0, 1 + 0.5f * k, 1, 0xFFFFFFFF},   // half a texel off
      {47, 2, 64, 18, 0, 0, 1, 1, 0xFFFFFFFF},                     // one pixel wider
      {2, 20, 18, 36, 1, 0, 0, 1, 0xFFFFFFFF},                     // u flipped
      {20.25f, 20, 36.25f, 36, 0, 0, 1, 1, 0xC0FFFFFF},            // a quarter pixel right
      {38, 20, 54, 36, 4 * k, 0, 1 + 4 * k, 1, 0xFFFFFFFF},        // past the right side
      {56, 40, 72, 56, 0, 0, 1, 1, 0x80FFFFFF},                    // off the target's right
      {-6, -5, 10, 11, 0, 0, 1, 1, 0xFFFFFFFF},                    // off its top left
      {18, 40, 2, 56, 0, 0, 1, 1, 0xFFFFFFFF},                     // wound the other way
      {22, 44, 27, 53, 7 * k, 1 * k, 12 * k, 10 * k, 0xFF40C0FF},  // small, tinted
  };
  // Strip order: top-left, top-right, bottom-left, bottom-right, shifted half a pixel.
  auto strip = [](const Rect& q, TlVertex* v) {
    v[0] = {q.l - 0.5f, q.t - 0.5f, 0.5f, 1, q.colour, q.u0, q.v0};
    v[1] = {q.r - 0.5f, q.t - 0.5f, 0.5f, 1, q.colour, q.u1, q.v0};
    v[2] = {q.l - 0.5f, q.b - 0.5f, 0.5f, 1, q.colour, q.u0, q.v1};
    v[3] = {q.r - 0.5f, q.b - 0.5f, 0.5f, 1, q.colour, q.u1, q.v1};
  };
  std::vector<TlVertex> list;  // as text batches its glyphs: (bl, tl, br), (tr, br, tl)
  for (const Rect& q : rects) {
    TlVertex v[4];
    strip(q, v);
    list.insert(list.end(), {v[2], v[0], v[3], v[1], v[3], v[0]});
  }
  // way 0: the texel rectangles; 1: without them; 2: the general pipeline (an alpha test that
  // always passes).
  auto draw = [&](int way, bool as_list) {
    d3d9_internal::TexelRectsAllowed() = way == 0;
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, way == 2);
    Clear(0xFF204060);
    if (as_list) {
      device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(list.size() / 3), list.data(),
                               sizeof(TlVertex));
    } else {
      for (const Rect& q : rects) {
        TlVertex v[4];
        strip(q, v);
        device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TlVertex));
      }
    }
    d3d9_internal::TexelRectsAllowed() = true;
    return Pixels();
  };
  for (DWORD filter : {D3DTEXF_POINT, D3DTEXF_LINEAR}) {
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
    for (DWORD cull : {D3DCULL_NONE, D3DCULL_CCW}) {
      device_->SetRenderState(D3DRS_CULLMODE, cull);
      for (BOOL blend : {FALSE, TRUE}) {
        device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
        for (bool as_list : {false, true}) {
          const std::vector<std::uint32_t> fast = draw(0, as_list), polygon = draw(1, as_list),
                                           general = draw(2, as_list);
          int from_polygon = 0, from_general = 0;
          for (std::size_t p = 0; p < fast.size(); ++p) {
            from_polygon += fast[p] != polygon[p];
            from_general += fast[p] != general[p];
          }
          EXPECT_EQ(from_polygon, 0) << filter << " " << cull << " " << blend << " " << as_list;
          EXPECT_EQ(from_general, 0) << filter << " " << cull << " " << blend << " " << as_list;
        }
      }
    }
  }
}

// A draw's set-up is kept for the next draw only while the state it was made from holds: a
// texture, a blend, a stage, a state block or a viewport changed between two draws of the same
// quad takes effect in the second, and a state set again to the value it has changes nothing.
TEST_F(DeviceTest, StateChangesBetweenDrawsTakeEffect) {
  auto red = Texture(4, 4, std::vector<std::uint32_t>(16, 0xFFFF0000));
  auto half_green = Texture(4, 4, std::vector<std::uint32_t>(16, 0x8000FF00));
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  Clear(0xFF0000FF);
  auto quad_at = [&](float x, float y, float side) { Quad(x, y, x + side, y + side); };
  device_->SetTexture(0, red.Get());
  quad_at(0, 0, 4);
  EXPECT_EQ(Pixel(1, 1) & 0xFFFFFF, 0xFF0000u);
  device_->SetTexture(0, half_green.Get());  // a texture changed
  quad_at(4, 0, 4);
  quad_at(8, 0, 8);  // scaled: the polygon path
  EXPECT_EQ(Pixel(5, 1) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(Pixel(9, 1) & 0xFFFFFF, 0x00FF00u);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);  // blending turned on
  quad_at(16, 0, 4);
  quad_at(20, 0, 8);
  // 0x80 of green over blue: 128 / 255 of each.
  EXPECT_EQ(Pixel(17, 1) & 0xFFFFFF, 0x00807Fu);
  EXPECT_EQ(Pixel(21, 1) & 0xFFFFFF, 0x00807Fu);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);  // the same value again
  quad_at(28, 0, 4);
  EXPECT_EQ(Pixel(29, 1) & 0xFFFFFF, 0x00807Fu);
  Ref<IDirect3DStateBlock9> saved;
  ASSERT_EQ(device_->CreateStateBlock(D3DSBT_ALL, saved.Put()), D3D_OK);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);  // a stage changed
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  Quad(0, 8, 4, 12, 0xFF112233);
  EXPECT_EQ(Pixel(1, 9) & 0xFFFFFF, 0x112233u);
  ASSERT_EQ(saved->Apply(), D3D_OK);  // back to the blended texture by a state block
  quad_at(4, 8, 4);
  EXPECT_EQ(Pixel(5, 9) & 0xFFFFFF, 0x00807Fu);
  D3DVIEWPORT9 viewport{0, 0, 10, 64, 0.0f, 1.0f};  // a viewport narrowed
  ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
  device_->SetTexture(0, red.Get());
  quad_at(8, 16, 4);
  EXPECT_EQ(Pixel(9, 17) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Pixel(10, 17) & 0xFFFFFF, 0x0000FFu);
  // States switched away and back around each quad, as a paste does: each draw gets the set-up
  // of the values in force, found again or made anew, and a change made after a round trip
  // takes effect and stays in effect through the next round trip.
  viewport.Width = 64;
  ASSERT_EQ(device_->SetViewport(&viewport), D3D_OK);
  device_->SetTexture(0, half_green.Get());
  auto toggled = [&](float x, float side) {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    quad_at(x, 24, side);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    quad_at(x, 32, side);
  };
  toggled(0, 4);
  toggled(4, 4);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
  toggled(8, 4);
  toggled(12, 8);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  toggled(20, 4);
  device_->SetTexture(0, red.Get());
  toggled(24, 4);
  const std::uint32_t blended[] = {0x00807F, 0x00807F, 0x008000, 0x008000, 0x00807F, 0xFF0000};
  const int xs[] = {1, 5, 9, 13, 21, 25};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(Pixel(xs[i], 25) & 0xFFFFFF, blended[i]) << xs[i];
    EXPECT_EQ(Pixel(xs[i], 33) & 0xFFFFFF, i < 5 ? 0x00FF00u : 0xFF0000u) << xs[i];
  }
}

}  // namespace
