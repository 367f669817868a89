// Pictures at and beyond the device's texture size: nothing is cropped. A picture the texture
// can hold loads whole; a larger one is scaled down to fit the texture; only the pixel limit
// that guards memory refuses a picture.
#include "tests/runtime/image/image_fixture.h"

namespace image_test {
namespace {

class LargeImages : public ImageModules {
 protected:
  // The texel at x, y of the image's level 0 as 0xAARRGGBB.
  std::uint32_t Texel(std::int32_t id, int x, int y) {
    auto* texture =
        static_cast<IDirect3DTexture9*>(tessark::Modules().image_services.ImageTexture(id));
    IDirect3DSurface9* level = texture->Level(0, 0);
    return level->Decoded()[static_cast<std::size_t>(y) * level->Width() + x];
  }
  std::uint32_t TextureWidth(std::int32_t id) {
    auto* texture =
        static_cast<IDirect3DTexture9*>(tessark::Modules().image_services.ImageTexture(id));
    return texture->Level(0, 0)->Width();
  }
};

// Red, except a blue last column: cropping loses it, scaling keeps it.
std::uint32_t BlueLastColumn(int x, int width) {
  return x == width - 1 ? 0xFF0000FFu : 0xFFFF0000u;
}

TEST_F(LargeImages, PicturesUpToEightThousandPixelsWideLoadWhole) {
  D3DCAPS9 caps{};
  device_->GetDeviceCaps(&caps);
  EXPECT_EQ(caps.MaxTextureWidth, 8192u);
  EXPECT_EQ(caps.MaxTextureHeight, 8192u);
  for (int width : {4097, 8192}) {
    WritePicture("pictures/wide.png", width, 3,
                 [=](int x, int) { return BlueLastColumn(x, width); });
    ImageLoad("pictures/wide.png", 1, 1);
    EXPECT_EQ(error_word_, 0) << width;
    EXPECT_EQ(ImageWidth(1), width);
    EXPECT_EQ(ImageHeight(1), 3);
    ASSERT_GE(TextureWidth(1), static_cast<UINT>(width));
    EXPECT_EQ(Texel(1, width - 1, 2), 0xFF0000FFu) << width;
    EXPECT_EQ(Texel(1, width - 2, 2), 0xFFFF0000u) << width;
  }
}

TEST_F(LargeImages, PicturesLargerThanTheTextureAreScaledToFit) {
  // Wider than the largest texture but well inside the pixel limit.
  WritePicture("pictures/wider.png", 10000, 2, [](int x, int) { return BlueLastColumn(x, 10000); });
  for (std::int32_t mode : {1, 0}) {
    ImageLoad("pictures/wider.png", 2, mode);
    EXPECT_EQ(error_word_, 0) << mode;
    ASSERT_TRUE(ImageExists(2)) << mode;
    ASSERT_EQ(TextureWidth(2), 8192u);
    // The last column, scaled in: as it is (point filter) or blended (mode 0's box filter).
    const std::uint32_t last = Texel(2, 8191, 1);
    if (mode == 1) {
      EXPECT_EQ(last, 0xFF0000FFu);
    } else {
      EXPECT_GT(last & 0xFF, 0x40u);
    }
    EXPECT_EQ(Texel(2, 0, 0), 0xFFFF0000u) << mode;
  }
  EXPECT_EQ(ImageWidth(2), 10000);  // mode 0 reports the file's size

  // A small device: 64 by 64 at most. Mode 1 reports the size the picture was scaled to.
  d3d9::testing::SetTextureCaps(0, 64, 64);
  WritePicture("pictures/small.png", 128, 40,
               [](int x, int) { return x < 64 ? 0xFFFF0000u : 0xFF0000FFu; });
  ImageLoad("pictures/small.png", 3, 1);
  ASSERT_EQ(TextureWidth(3), 64u);
  EXPECT_EQ(ImageWidth(3), 64);
  EXPECT_EQ(ImageHeight(3), 40);
  EXPECT_FLOAT_EQ(tessark::Modules().image_services.ImageExtentU(3), 1.0f);
  EXPECT_EQ(Texel(3, 31, 20), 0xFFFF0000u);
  EXPECT_EQ(Texel(3, 32, 20), 0xFF0000FFu);  // the right half, not cropped away
  EXPECT_EQ(Texel(3, 63, 20), 0xFF0000FFu);
}

TEST_F(LargeImages, ThePixelLimitStillRefuses) {
  // 4097 by 4097 is over the 4096 x 4096 pixel limit: 506 and no image. Only the header is
  // real; the file is refused before its data would be read.
  std::string png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&](const char* type, std::string data) {
    const std::uint32_t n = static_cast<std::uint32_t>(data.size());
    png += {static_cast<char>(n >> 24), static_cast<char>(n >> 16), static_cast<char>(n >> 8),
            static_cast<char>(n)};
    png += type + data + std::string(4, '\0');
  };
  chunk("IHDR", std::string("\0\0\x10\x01\0\0\x10\x01\x08\x02\0\0\0", 13));
  chunk("IDAT", std::string(4096, '\0'));
  chunk("IEND", "");
  WriteBytes("pictures/huge.png", png);
  ImageLoad("pictures/huge.png", 4, 1);
  EXPECT_EQ(error_word_, 506);
  EXPECT_FALSE(ImageExists(4));
}

}  // namespace
}  // namespace image_test
