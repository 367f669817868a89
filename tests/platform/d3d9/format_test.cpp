// Every texture format keeps its texels in its own layout and samples as the platform defines
// it: one texel of each, written through a lock, drawn and read back as 0xAARRGGBB.
#include <cstring>

#include "platform/d3d9/formats.h"
#include "tests/platform/d3d9/device_fixture.h"

namespace {

// Palette 0 made current with the given entries, and stage 0 showing its texture alone.
void PaletteZeroDrawnAlone(IDirect3DDevice9* device, const PALETTEENTRY* palette) {
  ASSERT_EQ(device->SetPaletteEntries(0, palette), D3D_OK);
  ASSERT_EQ(device->SetCurrentTexturePalette(0), D3D_OK);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
}

struct FormatCase {
  D3DFORMAT format;
  std::vector<BYTE> texel;  // the first texel's bytes as stored
  std::uint32_t want;
};

TEST_F(DeviceTest, EveryFormatSamplesAsDefined) {
  PALETTEENTRY palette[256] = {};
  palette[5] = PALETTEENTRY{1, 2, 3, 255};
  PaletteZeroDrawnAlone(device_.Get(), palette);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  const FormatCase cases[] = {
      {D3DFMT_A8R8G8B8, {0x30, 0x20, 0x10, 0x80}, 0x80102030},
      {D3DFMT_X8R8G8B8, {0x30, 0x20, 0x10, 0x00}, 0xFF102030},
      {D3DFMT_R8G8B8, {0x30, 0x20, 0x10}, 0xFF102030},
      {D3DFMT_R5G6B5, {0x00, 0xF8}, 0xFFFF0000},
      {D3DFMT_X1R5G5B5, {0x00, 0x7C}, 0xFFFF0000},
      {D3DFMT_A1R5G5B5, {0x00, 0x7C}, 0x00FF0000},
      {D3DFMT_A1R5G5B5, {0x1F, 0x80}, 0xFF0000FF},
      {D3DFMT_A4R4G4B4, {0x23, 0x81}, 0x88112233},
      {D3DFMT_X4R4G4B4, {0x23, 0x01}, 0xFF112233},
      {D3DFMT_R3G3B2, {0xE0}, 0xFFFF0000},
      {D3DFMT_R3G3B2, {0x03}, 0xFF0000FF},
      {D3DFMT_A8R3G3B2, {0x1C, 0x80}, 0x8000FF00},
      {D3DFMT_A8, {0x80}, 0x80000000},
      {D3DFMT_L8, {0x40}, 0xFF404040},
      {D3DFMT_A8L8, {0x40, 0x80}, 0x80404040},
      {D3DFMT_A4L4, {0x84}, 0x88444444},
      {D3DFMT_P8, {0x05}, 0xFF010203},
      {D3DFMT_A8P8, {0x05, 0x40}, 0x40010203},
      {D3DFMT_A2R10G10B10, {0x00, 0x00, 0xF0, 0xFF}, 0xFFFF0000},
      {D3DFMT_A2B10G10R10, {0xFF, 0x03, 0x00, 0xC0}, 0xFFFF0000},
      {D3DFMT_A8B8G8R8, {0x10, 0x20, 0x30, 0x80}, 0x80102030},
      {D3DFMT_G16R16, {0x00, 0x80, 0xFF, 0xFF}, 0xFF80FFFF},
  };
  for (const FormatCase& c : cases) {
    Ref<IDirect3DTexture9> t;
    ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, c.format, D3DPOOL_MANAGED, t.Put(), nullptr),
              D3D_OK)
        << c.format;
    D3DLOCKED_RECT lr;
    ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
    std::memcpy(lr.pBits, c.texel.data(), c.texel.size());
    t->UnlockRect(0);
    device_->SetTexture(0, t.Get());
    Clear(0);
    Quad(3, 3, 4, 4);
    EXPECT_EQ(Pixel(3, 3), c.want) << "format " << c.format;
  }
}

// A paletted texture reads the palette in force at each draw: entries set anew in the same
// palette, or another palette made current, change what the next draw shows.
TEST_F(DeviceTest, PalettedTexturesFollowThePaletteInForce) {
  PALETTEENTRY palette[256] = {};
  palette[5] = PALETTEENTRY{1, 2, 3, 255};
  PaletteZeroDrawnAlone(device_.Get(), palette);
  Ref<IDirect3DTexture9> t;
  ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, t.Put(), nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
  *static_cast<BYTE*>(lr.pBits) = 5;
  t->UnlockRect(0);
  device_->SetTexture(0, t.Get());
  auto drawn = [&] {
    Clear(0);
    Quad(3, 3, 4, 4);
    return Pixel(3, 3);
  };
  EXPECT_EQ(drawn(), 0xFF010203u);
  palette[5] = PALETTEENTRY{40, 50, 60, 255};
  ASSERT_EQ(device_->SetPaletteEntries(0, palette), D3D_OK);
  EXPECT_EQ(drawn(), 0xFF28323Cu) << "entries set anew in the palette in force";
  palette[5] = PALETTEENTRY{7, 8, 9, 255};
  ASSERT_EQ(device_->SetPaletteEntries(1, palette), D3D_OK);
  EXPECT_EQ(drawn(), 0xFF28323Cu) << "another palette's entries";
  ASSERT_EQ(device_->SetCurrentTexturePalette(1), D3D_OK);
  EXPECT_EQ(drawn(), 0xFF070809u) << "another palette made current";
}

TEST_F(DeviceTest, BlockCompressedTexturesDecode) {
  Ref<IDirect3DTexture9> t;
  ASSERT_EQ(device_->CreateTexture(8, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, t.Put(), nullptr),
            D3D_OK);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(t->LockRect(0, &lr, nullptr, 0), D3D_OK);
  EXPECT_EQ(lr.Pitch, 16);  // two 8-byte blocks a row of blocks
  // Block 0: colour 0 red, colour 1 black, every index 0. Block 1: every index 1 (black).
  const BYTE blocks[16] = {0x00, 0xF8, 0x00, 0x00, 0,    0,    0,    0,
                           0x00, 0xF8, 0x00, 0x00, 0x55, 0x55, 0x55, 0x55};
  std::memcpy(lr.pBits, blocks, sizeof blocks);
  t->UnlockRect(0);
  RECT unaligned{1, 0, 4, 4};
  EXPECT_EQ(t->LockRect(0, &lr, &unaligned, 0), D3DERR_INVALIDCALL);
  device_->SetTexture(0, t.Get());
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  Clear(0xFF0000FF);
  Quad(0, 0, 8, 4);
  EXPECT_EQ(Pixel(0, 0) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Pixel(3, 3) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(Pixel(4, 0) & 0xFFFFFF, 0x000000u);
}

TEST_F(DeviceTest, SamplingFollowsEachUnlock) {
  auto tex = Texture(1, 1, {0xFF000011});
  device_->SetTexture(0, tex.Get());
  Clear(0);
  Quad(0, 0, 1, 1);
  EXPECT_EQ(Pixel(0, 0), 0xFF000011u);
  D3DLOCKED_RECT lr;
  ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
  *static_cast<std::uint32_t*>(lr.pBits) = 0xFF002200;
  tex->UnlockRect(0);
  Quad(0, 0, 1, 1);
  EXPECT_EQ(Pixel(0, 0), 0xFF002200u);
  // A 16-bit texture's decoded copy is refreshed the same way.
  Ref<IDirect3DTexture9> t16;
  ASSERT_EQ(device_->CreateTexture(1, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, t16.Put(), nullptr),
            D3D_OK);
  device_->SetTexture(0, t16.Get());
  for (std::uint16_t v : {std::uint16_t{0x001F}, std::uint16_t{0x07E0}}) {
    ASSERT_EQ(t16->LockRect(0, &lr, nullptr, 0), D3D_OK);
    *static_cast<std::uint16_t*>(lr.pBits) = v;
    t16->UnlockRect(0);
    Quad(0, 0, 1, 1);
    EXPECT_EQ(Pixel(0, 0), v == 0x001F ? 0xFF0000FFu : 0xFF00FF00u);
  }
}

}  // namespace

// The depth the runtime reports is the storage size for the colour formats it counts, except
// that a paletted format counts its index alone; every other format reports none.
TEST(FormatDepth, CountsTheRuntimesColourFormatsOnly) {
  using d3d9_internal::FormatBits;
  using d3d9_internal::FormatDepth;
  for (D3DFORMAT f : {D3DFMT_R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2B10G10R10, D3DFMT_G16R16,
                      D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A8L8, D3DFMT_P8, D3DFMT_A4L4}) {
    EXPECT_EQ(FormatDepth(f), FormatBits(f)) << f;
    EXPECT_NE(FormatDepth(f), 0) << f;
  }
  EXPECT_EQ(FormatBits(D3DFMT_A8P8), 16);
  EXPECT_EQ(FormatDepth(D3DFMT_A8P8), 8);
  for (D3DFORMAT f : {D3DFMT_A8B8G8R8, D3DFMT_A2R10G10B10, D3DFMT_A16B16G16R16, D3DFMT_D24S8,
                      D3DFMT_D16, D3DFMT_DXT1, D3DFMT_DXT5, D3DFMT_UNKNOWN}) {
    EXPECT_EQ(FormatDepth(f), 0) << f;
  }
}
