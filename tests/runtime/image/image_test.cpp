// The image module: loading in its three modes, sizes and extents, the colour key, pastes
// checked in the back buffer, failed and bad loads, and the other operations.
#include <cstdio>
#include <cstring>

#include "tests/support/taken_text.h"
#include "tests/runtime/image/image_fixture.h"

namespace image_test {
namespace {

using Images = ImageModules;

constexpr std::uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kWhite = 0xFFFFFFFFu;

TEST_F(Images, ModeOneKeepsTheSizeAndShowsOnlyThePicture) {
  mkdir("pictures/Pot", 0755);
  WritePicture("pictures/Pot/Pot.png", 100, 50, [](int, int) { return kRed; });
  ImageLoad("Pictures\\pot\\POT.png", 31, 1);
  EXPECT_EQ(error_word_, 0);
  EXPECT_TRUE(ImageExists(31));
  EXPECT_EQ(ImageWidth(31), 100);
  EXPECT_EQ(ImageHeight(31), 50);
  EXPECT_EQ(tessark::testing::Taken(ImageFileName(31)), "Pictures\\pot\\POT.png");
  tessark::ImageServices& q = tessark::Modules().image_services;
  EXPECT_FLOAT_EQ(q.ImageExtentU(31), 1.0f);

  // A device that needs power-of-two textures: the picture covers part of a larger texture.
  d3d9::testing::SetTextureCaps(D3DPTEXTURECAPS_POW2, 4096, 4096);
  ImageLoad("pictures/Pot/Pot.png", 32, 1);
  EXPECT_EQ(ImageWidth(32), 100);
  EXPECT_EQ(ImageHeight(32), 50);
  EXPECT_FLOAT_EQ(q.ImageExtentU(32), 100.0f / 128.0f);
  EXPECT_FLOAT_EQ(q.ImageExtentV(32), 50.0f / 64.0f);
  // Pasted, it still covers exactly its own 100 by 50 pixels.
  ImagePaste(32, 10, 20, 0);
  EXPECT_EQ(Pixel(10, 20), 0xFF0000u);
  EXPECT_EQ(Pixel(109, 69), 0xFF0000u);
  EXPECT_EQ(Pixel(110, 20), 0u);
  EXPECT_EQ(Pixel(10, 70), 0u);

  // Queries of an id never used.
  EXPECT_EQ(ImageWidth(77), -1);
  EXPECT_FLOAT_EQ(q.ImageExtentU(77), 1.0f);
  EXPECT_EQ(q.ImageTexture(77), nullptr);
}

TEST_F(Images, PastesBlendOnlyWithTransparentOne) {
  // Opaque red in the middle, a soft edge of half-transparent red around it.
  WritePicture("pictures/soft.png", 8, 8,
               [](int x, int y) { return x == 0 ? 0x80FF0000u : (y == 0 ? 0x00FF0000u : kRed); });
  ImageLoad("pictures/soft.png", 2, 1);
  Clear(kBlue);
  ImagePaste(2, 0, 0, 1);
  EXPECT_EQ(Pixel(4, 4), 0xFF0000u);
  const std::uint32_t edge = Pixel(0, 4);  // red at 128/255 over blue
  EXPECT_NEAR(static_cast<int>(edge >> 16), 128, 2);
  EXPECT_NEAR(static_cast<int>(edge & 0xFF), 127, 2);
  EXPECT_EQ(Pixel(4, 0), 0x0000FFu);  // fully transparent texels show what was there

  // Any other transparent argument draws the stored colours.
  for (std::int32_t transparent : {0, 2}) {
    Clear(kBlue);
    ImagePaste(2, 0, 0, transparent);
    EXPECT_EQ(Pixel(0, 4), 0xFF0000u) << transparent;
    EXPECT_EQ(Pixel(4, 0), 0xFF0000u) << transparent;
  }

  // The second of two overlapping pastes is on top; off-screen parts are simply cut.
  WritePicture("pictures/white.png", 8, 8, [](int, int) { return kWhite; });
  ImageLoad("pictures/white.png", 3, 1);
  ImagePaste(3, 4, 4, 1);
  EXPECT_EQ(Pixel(5, 5), 0xFFFFFFu);
  ImagePaste(3, -4, -4, 1);
  ImagePaste(3, 636, 476, 1);
  EXPECT_EQ(Pixel(0, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(639, 479), 0xFFFFFFu);
  EXPECT_EQ(error_word_, 0);
  ImagePaste(0, 0, 0, 1);
  EXPECT_EQ(error_word_, 501);
  ImagePaste(9, 0, 0, 1);
  EXPECT_EQ(error_word_, 502);
}

TEST_F(Images, KeyedFilesAreTransparentExactlyWhereBlack) {
  // Black and white stripes; near-black (1, 0, 0) must stay.
  WritePicture("pictures/keyed.bmp", 6, 4,
               [](int x, int) { return x < 2 ? 0xFF000000u : (x < 4 ? kWhite : 0xFF010000u); });
  ImageLoad("pictures/keyed.bmp", 4, 1);
  Clear(kBlue);
  ImagePaste(4, 0, 0, 1);
  EXPECT_EQ(Pixel(0, 0), 0x0000FFu);
  EXPECT_EQ(Pixel(1, 3), 0x0000FFu);
  EXPECT_EQ(Pixel(2, 0), 0xFFFFFFu);
  EXPECT_EQ(Pixel(4, 0), 0x010000u);

  // Another key colour keys out white instead.
  ImageSetColourKey(255, 255, 255);
  ImageLoad("pictures/keyed.bmp", 4, 1);
  Clear(kBlue);
  ImagePaste(4, 0, 0, 1);
  EXPECT_EQ(Pixel(0, 0), 0x000000u);
  EXPECT_EQ(Pixel(2, 0), 0x0000FFu);

  // PNG files keep their own alpha: black stays black.
  ImageSetColourKey(0, 0, 0);
  WritePicture("pictures/black.png", 2, 2, [](int, int) { return 0xFF000000u; });
  ImageLoad("pictures/black.png", 5, 1);
  Clear(kBlue);
  ImagePaste(5, 0, 0, 1);
  EXPECT_EQ(Pixel(0, 0), 0x000000u);
}

TEST_F(Images, FailedLoadsLeaveTheIdEmptyWith506) {
  WritePicture("pictures/good.png", 16, 16, [](int, int) { return kRed; });
  ImageLoad("pictures/good.png", 7, 1);
  ASSERT_TRUE(ImageExists(7));

  ImageLoad("pictures/missing.png", 7, 1);
  EXPECT_EQ(error_word_, 506);
  EXPECT_FALSE(ImageExists(7));

  // Bad files of every sort: each one a 506, none a crash.
  std::string png;
  {
    FILE* f = std::fopen("pictures/good.png", "rb");
    char buffer[4096];
    png.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
    std::fclose(f);
  }
  std::string huge = png;
  huge[18] = '\x7f';  // width 0x7f0010: far beyond any texture
  std::string zero_height = png;
  std::memset(&zero_height[20], 0, 4);
  const std::pair<const char*, std::string> bad[] = {
      {"pictures/empty.png", ""},
      {"pictures/truncated.png", png.substr(0, png.size() / 2)},
      {"pictures/header_only.png", png.substr(0, 33)},
      {"pictures/huge.png", huge},
      {"pictures/zero.png", zero_height},
      {"pictures/text.bmp", "BM this is not a bitmap at all"},
      {"pictures/noise.jpg", std::string("\xFF\xD8\xFF\xC0\x00\x11", 6) + std::string(40, '\x07')},
  };
  for (const auto& [name, bytes] : bad) {
    WriteBytes(name, bytes);
    for (std::int32_t mode : {0, 1, 2}) {
      error_word_ = 0;
      ImageLoad(name, 8, mode);
      EXPECT_EQ(error_word_, 506) << name << " mode " << mode;
      EXPECT_FALSE(ImageExists(8)) << name;
    }
  }

  // Out of range: 501 then 506, nothing loaded.
  error_word_ = 0;
  ImageLoad("pictures/good.png", 0, 1);
  EXPECT_EQ(error_word_, 506);
  ImageLoad(std::string(300, 'a').c_str(), 9, 1);  // names past 255 characters are refused
  EXPECT_EQ(error_word_, 506);
}

TEST_F(Images, MipMappedAndCubeModesAndLoadFree) {
  WritePicture("pictures/mip.bmp", 32, 16,
               [](int x, int) { return x < 16 ? 0xFF000000u : kWhite; });
  WritePicture("pictures/mip.png", 32, 16, [](int, int) { return kRed; });
  ImageLoad("pictures/mip.bmp", 10, 0);
  ImageLoad("pictures/mip.png", 11, 0);
  ImageLoad("pictures/mip.png", 12, 2);
  EXPECT_EQ(error_word_, 0);
  tessark::ImageServices& q = tessark::Modules().image_services;
  for (std::int32_t id : {10, 11}) {
    auto* texture = static_cast<IDirect3DTexture9*>(q.ImageTexture(id));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetLevelCount(), 6u) << id;
    EXPECT_EQ(ImageWidth(id), 32);
    EXPECT_FLOAT_EQ(q.ImageExtentU(id), 1.0f);
  }
  // The keyed mip chain is keyed on every level: the left half of level 1 is transparent.
  auto* keyed = static_cast<IDirect3DTexture9*>(q.ImageTexture(10));
  EXPECT_EQ(keyed->Level(0, 1)->Decoded()[0], 0u);
  EXPECT_EQ(q.ImageTexture(12)->GetType(), D3DRTYPE_CUBETEXTURE);

  // ImageLoadFree finds a loaded file without regard to case, or loads it under -1, -2, ...
  EXPECT_EQ(ImageLoadFree("PICTURES/MIP.PNG"), 11);
  EXPECT_EQ(ImageLoadFree("pictures/never_written.png"), 0);  // not there: no id, no error code
  WritePicture("pictures/free.png", 8, 8, [](int, int) { return kRed; });
  EXPECT_EQ(ImageLoadFree("pictures/free.png"), -1);
  std::remove("pictures/other.png");  // left by an earlier run
  EXPECT_EQ(ImageLoadFree("pictures/other.png"), 0);
  WritePicture("pictures/other.png", 8, 8, [](int, int) { return kRed; });
  EXPECT_EQ(ImageLoadFree("pictures/other.png", 2), -2);
  EXPECT_EQ(q.ImageWidth(-2), 8);  // the file's size, as mode 0 reports it
}

TEST_F(Images, CreateLockPixelsAndData) {
  ImageCreate(20, 4, 3);
  ASSERT_TRUE(ImageExists(20));
  EXPECT_EQ(ImageWidth(20), 4);
  ImagePixelWrite(20, 0, 0, 255, 1, 2, 3);  // not locked: a notice, nothing written
  ImageLock(20);
  ImagePixelWrite(20, 1, 2, 255, 10, 20, 30);
  ImagePixelWrite(20, 99, 99, 255, 10, 20, 30);  // outside: ignored, not written past the rows
  std::int32_t r = 0, g = 0, b = 0;
  ImagePixelRead(20, 1, 2, &r, &g, &b);
  EXPECT_EQ(r, 10);
  EXPECT_EQ(g, 20);
  EXPECT_EQ(b, 30);
  ImageUnlock(20);

  ImageSetAlphaAll(20, 0x40);
  std::int32_t w, h, depth, size;
  std::uint8_t* block = nullptr;
  ImageGetData(20, &w, &h, &depth, &block, &size);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 3);
  EXPECT_EQ(depth, 32);
  EXPECT_EQ(size, 48);
  std::uint32_t pixel;
  std::memcpy(&pixel, block + (1 * 4 + 2) * 4, 4);
  EXPECT_EQ(pixel, 0x400A141Eu);
  std::memcpy(&pixel, block, 4);
  EXPECT_EQ(pixel, 0u);  // transparent black keeps alpha 0

  ImageSetData(21, 4, 3, 32, block);
  ImageDataFree(block);
  ImageLock(21);
  ImagePixelRead(21, 1, 2, &r, &g, &b);
  EXPECT_EQ(r, 10);
  ImageUnlock(21);

  int marker = 5;
  ImageLinkSet(21, &marker, 9);
  void* object = nullptr;
  std::int32_t value = 0;
  ImageLinkGet(21, &object, &value);
  EXPECT_EQ(object, &marker);
  EXPECT_EQ(value, 9);

  ImageDelete(21);
  EXPECT_FALSE(ImageExists(21));
  ImageDelete(21);
  EXPECT_EQ(error_word_, 502);
  ImageDelete(-3);
  EXPECT_EQ(error_word_, 501);
}

TEST_F(Images, SaveGrabAndResize) {
  d3d9::testing::SetTextureCaps(D3DPTEXTURECAPS_POW2, 4096, 4096);
  WritePicture("pictures/save.png", 12, 10, [](int x, int) { return x < 6 ? kRed : kWhite; });
  ImageLoad("pictures/save.png", 1, 1);
  for (const char* name : {"pictures/out.png", "pictures/out.bmp", "pictures/out.JPG",
                           "pictures/out.dds", "pictures/out.dib", "pictures/out.xyz"}) {
    ImageSave(1, name, 0);
    ImageLoad(name, 2, 1);
    EXPECT_EQ(ImageWidth(2), 12) << name;  // only the covered part of the 16 by 16 texture
    EXPECT_EQ(ImageHeight(2), 10) << name;
  }
  ImageSave(1, "pictures/out5.dds", 5);
  ImageLoad("pictures/out5.dds", 3, 1);
  EXPECT_EQ(ImageWidth(3), 12);
  EXPECT_EQ(error_word_, 0);
  ImageSave(1, "no_such_folder/out.png", 0);
  EXPECT_EQ(error_word_, 500);

  // Grab what a paste drew.
  d3d9::testing::RestoreAll();
  Clear(0xFF000000u);
  ImagePaste(1, 100, 100, 0);
  ImageGrab(4, 100, 100, 112, 110);
  EXPECT_EQ(ImageWidth(4), 12);
  Clear(0xFF000000u);
  ImagePaste(4, 0, 0, 0);
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(11, 9), 0xFFFFFFu);
  error_word_ = 0;
  ImageGrab(5, 600, 400, 700, 480);
  EXPECT_EQ(error_word_, 504);
  EXPECT_FALSE(ImageExists(5));

  // Resizing fills the new texture: extents become 1.
  ImageResizeTexture(1, 32, 32);
  EXPECT_FLOAT_EQ(tessark::Modules().image_services.ImageExtentU(1), 1.0f);
  EXPECT_EQ(ImageWidth(1), 12);
}

TEST_F(Images, RefreshDiscardsEveryImageAndRebinds) {
  WritePicture("pictures/r.png", 4, 4, [](int, int) { return kRed; });
  ImageLoad("pictures/r.png", 1, 1);
  tessark::ModuleTable& m = tessark::Modules();
  m.image.RefreshD3D(0);
  EXPECT_FALSE(ImageExists(1));
  m.image.RefreshD3D(1);
  ImageLoad("pictures/r.png", 1, 1);
  Clear(kBlue);
  ImagePaste(1, 0, 0, 1);  // the paste routine is bound again
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
}

}  // namespace
}  // namespace image_test
