// D3DX image functions on the software device: texture sizes under the device's caps, loading
// with filters and the colour key, mip chains, cube textures, saving, and Windows file names.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/d3dx9/d3dx9.h"
#include "tests/support/windowed_device.h"

namespace {

// Writes a PNG (or BMP) of w by h whose pixel colours come from fn(x, y) as 0xAARRGGBB.
template <typename Fn>
void WritePicture(const std::string& path, int w, int h, Fn fn, bool bmp = false) {
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  ASSERT_NE(s, nullptr);
  for (int y = 0; y < h; ++y) {
    auto* row =
        reinterpret_cast<std::uint32_t*>(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < w; ++x) row[x] = fn(x, y);
  }
  if (bmp) {
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
    ASSERT_EQ(SDL_SaveBMP(rgb, path.c_str()), 0);
    SDL_FreeSurface(rgb);
  } else {
    ASSERT_EQ(IMG_SavePNG(s, path.c_str()), 0);
  }
  SDL_FreeSurface(s);
}

class D3dx : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
    ASSERT_EQ(tessark::testing::CreateWindowedDevice(d3d_.Get(), 64, 64, device_.Put()), D3D_OK);
    mkdir("d3dx_files", 0755);
  }
  void TearDown() override { d3d9::testing::RestoreAll(); }

  // The texels of a surface as ARGB.
  std::uint32_t Texel(IDirect3DSurface9* s, int x, int y) {
    return s->Decoded()[static_cast<std::size_t>(y) * s->Width() + x];
  }

  Ref<IDirect3D9> d3d_;
  Ref<IDirect3DDevice9> device_;
};

TEST_F(D3dx, TextureSizesFollowTheDeviceCaps) {
  Ref<IDirect3DTexture9> t;
  ASSERT_EQ(
      D3DXCreateTexture(device_.Get(), 100, 50, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put()),
      D3D_OK);
  D3DSURFACE_DESC desc;
  t->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 100u);
  EXPECT_EQ(desc.Height, 50u);

  d3d9::testing::SetTextureCaps(D3DPTEXTURECAPS_POW2, 64, 4096);
  ASSERT_EQ(
      D3DXCreateTexture(device_.Get(), 100, 50, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put()),
      D3D_OK);
  t->GetLevelDesc(0, &desc);
  EXPECT_EQ(desc.Width, 64u);  // 128, limited to the largest width
  EXPECT_EQ(desc.Height, 64u);
  EXPECT_EQ(t->GetLevelCount(), 7u);  // 64 down to 1
}

TEST_F(D3dx, LoadsWithFiltersColourKeyAndWindowsNames) {
  mkdir("d3dx_files/Sub", 0755);
  // Left half black, right half blue; 4 by 2.
  WritePicture(
      "d3dx_files/Sub/Keyed.bmp", 4, 2,
      [](int x, int) { return x < 2 ? 0xFF000000u : 0xFF0000FFu; }, true);
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(D3DXGetImageInfoFromFileA("D3DX_FILES\\sub\\keyed.BMP", &info), D3D_OK);
  EXPECT_EQ(info.Width, 4u);
  EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_BMP);

  Ref<IDirect3DTexture9> t;
  ASSERT_EQ(D3DXCreateTexture(device_.Get(), 8, 4, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, t.Put()),
            D3D_OK);
  IDirect3DSurface9* level = t->Level(0, 0);
  // Point-scaled onto the whole 8 by 4 level, black keyed out.
  ASSERT_EQ(D3DXLoadSurfaceFromFileA(level, nullptr, nullptr, "d3dx_files\\Sub\\Keyed.bmp", nullptr,
                                     D3DX_FILTER_POINT, 0xFF000000, nullptr),
            D3D_OK);
  EXPECT_EQ(Texel(level, 0, 0), 0x00000000u);
  EXPECT_EQ(Texel(level, 3, 3), 0x00000000u);
  EXPECT_EQ(Texel(level, 4, 0), 0xFF0000FFu);
  EXPECT_EQ(Texel(level, 7, 3), 0xFF0000FFu);

  // Box (the default) averages when shrinking: 4 by 2 onto 2 by 1 of a rectangle.
  const RECT one{0, 0, 1, 1};
  const RECT left_column{0, 0, 2, 2};
  ASSERT_EQ(D3DXLoadSurfaceFromFileA(level, nullptr, &one, "d3dx_files/Sub/Keyed.bmp", &left_column,
                                     D3DX_DEFAULT, 0, nullptr),
            D3D_OK);
  EXPECT_EQ(Texel(level, 0, 0), 0xFF000000u);

  EXPECT_EQ(D3DXLoadSurfaceFromFileA(level, nullptr, nullptr, "d3dx_files/none.png", nullptr,
                                     D3DX_DEFAULT, 0, nullptr),
            D3DERR_NOTFOUND);
  const RECT outside{0, 0, 9, 1};
  EXPECT_EQ(D3DXLoadSurfaceFromFileA(level, nullptr, &outside, "d3dx_files/Sub/Keyed.bmp", nullptr,
                                     D3DX_DEFAULT, 0, nullptr),
            D3DERR_INVALIDCALL);
}

TEST_F(D3dx, FileTexturesFillTheWholeMipChain) {
  // A 4 by 4 checker of red and green: every smaller level is their average.
  WritePicture("d3dx_files/checker.png", 4, 4,
               [](int x, int y) { return (x + y) % 2 ? 0xFFFF0000u : 0xFF00FF00u; });
  Ref<IDirect3DTexture9> t;
  D3DXIMAGE_INFO info{};
  ASSERT_EQ(
      D3DXCreateTextureFromFileExA(device_.Get(), "d3dx_files/checker.png", D3DX_DEFAULT,
                                   D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                   D3DX_DEFAULT, D3DX_DEFAULT, 0, &info, nullptr, t.Put()),
      D3D_OK);
  ASSERT_EQ(t->GetLevelCount(), 3u);
  EXPECT_EQ(Texel(t->Level(0, 0), 1, 0), 0xFFFF0000u);
  EXPECT_EQ(Texel(t->Level(0, 2), 0, 0), 0xFF808000u);

  Ref<IDirect3DCubeTexture9> cube;
  ASSERT_EQ(
      D3DXCreateCubeTextureFromFileExA(device_.Get(), "d3dx_files/checker.png", D3DX_DEFAULT,
                                       D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                       D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, cube.Put()),
      D3D_OK);
  for (UINT face = 0; face < 6; ++face) {
    EXPECT_EQ(Texel(cube->Level(face, 0), 1, 0), 0xFFFF0000u) << face;
  }
}

TEST_F(D3dx, SavedSurfacesReadBackInEveryKind) {
  Ref<IDirect3DTexture9> t;
  ASSERT_EQ(D3DXCreateTexture(device_.Get(), 8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, t.Put()),
            D3D_OK);
  D3DLOCKED_RECT locked;
  ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (int y = 0; y < 8; ++y) {
    auto* row =
        reinterpret_cast<std::uint32_t*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
    for (int x = 0; x < 8; ++x) row[x] = x < 4 ? 0xFFFFFFFFu : 0x80FF0000u;
  }
  t->UnlockRect(0);
  const RECT part{0, 0, 6, 5};
  struct Case {
    const char* name;
    D3DXIMAGE_FILEFORMAT kind;
  } cases[] = {{"d3dx_files/out.bmp", D3DXIFF_BMP},
               {"d3dx_files/out.png", D3DXIFF_PNG},
               {"d3dx_files/out.jpg", D3DXIFF_JPG},
               {"d3dx_files/out.dds", D3DXIFF_DDS},
               {"d3dx_files/out.dib", D3DXIFF_DIB}};
  for (const Case& c : cases) {
    ASSERT_EQ(D3DXSaveSurfaceToFileA(c.name, c.kind, t->Level(0, 0), nullptr, &part), D3D_OK)
        << c.name;
    D3DXIMAGE_INFO info{};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(c.name, &info), D3D_OK) << c.name;
    EXPECT_EQ(info.Width, 6u) << c.name;
    EXPECT_EQ(info.Height, 5u) << c.name;
  }
  D3DXIMAGE_INFO info{};
  D3DXGetImageInfoFromFileA("d3dx_files/out.dds", &info);
  EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
  EXPECT_EQ(
      D3DXSaveSurfaceToFileA("d3dx_files/out.tga", D3DXIFF_TGA, t->Level(0, 0), nullptr, nullptr),
      D3DERR_INVALIDCALL);

  // A DXT5 surface saves as DXT5.
  Ref<IDirect3DSurface9> dxt;
  ASSERT_EQ(device_->CreateOffscreenPlainSurface(8, 8, D3DFMT_DXT5, D3DPOOL_SYSTEMMEM, dxt.Put(),
                                                 nullptr),
            D3D_OK);
  ASSERT_EQ(D3DXLoadSurfaceFromSurface(dxt.Get(), nullptr, nullptr, t->Level(0, 0), nullptr,
                                       nullptr, D3DX_FILTER_NONE, 0),
            D3D_OK);
  ASSERT_EQ(D3DXSaveSurfaceToFileA("d3dx_files/dxt.dds", D3DXIFF_DDS, dxt.Get(), nullptr, nullptr),
            D3D_OK);
  ASSERT_EQ(D3DXGetImageInfoFromFileA("d3dx_files/dxt.dds", &info), D3D_OK);
  EXPECT_EQ(info.Format, D3DFMT_DXT5);
  Ref<IDirect3DTexture9> back;
  ASSERT_EQ(
      D3DXCreateTextureFromFileExA(device_.Get(), "d3dx_files/dxt.dds", D3DX_DEFAULT, D3DX_DEFAULT,
                                   1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                   D3DX_DEFAULT, 0, nullptr, nullptr, back.Put()),
      D3D_OK);
  EXPECT_EQ(Texel(back->Level(0, 0), 0, 0), 0xFFFFFFFFu);
  EXPECT_NEAR(static_cast<int>(Texel(back->Level(0, 0), 7, 7) >> 24), 0x80, 4);
}

}  // namespace
