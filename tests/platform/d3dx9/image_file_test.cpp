// Image files, pixel formats and filters of the image stand-in, below the device: pictures
// made here are encoded, probed and decoded again, and bad files are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/d3dx9/image_file.h"
#include "platform/d3dx9/resample.h"

namespace d3dx {
namespace {

ArgbImage Pattern(int w, int h) {
  ArgbImage image;
  image.Resize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      image.Row(y)[x] = 0xFF000000u | static_cast<std::uint32_t>(x * 8) << 16 |
                        static_cast<std::uint32_t>(y * 8) << 8 | 0x40;
    }
  }
  return image;
}

TEST(PixelFormats, EveryFormatKeepsWhatItCanStore) {
  const std::uint32_t colour = 0x80FF8000;  // half alpha, orange
  struct Case {
    std::uint32_t format;
    std::uint32_t expected;
  } cases[] = {
      {fmt::kA8R8G8B8, 0x80FF8000}, {fmt::kX8R8G8B8, 0xFFFF8000}, {fmt::kR8G8B8, 0xFFFF8000},
      {fmt::kA1R5G5B5, 0xFFFF8400}, {fmt::kX1R5G5B5, 0xFFFF8400}, {fmt::kR5G6B5, 0xFFFF8200},
      {fmt::kA4R4G4B4, 0x88FF8800}, {fmt::kA8, 0x80000000},       {fmt::kA8R3G3B2, 0x80FF9200},
      {fmt::kR3G3B2, 0xFFFF9200},   {fmt::kA8L8, 0x80929292},     {fmt::kL8, 0xFF929292},
  };
  for (const Case& c : cases) {
    std::uint8_t bytes[8] = {};
    ASSERT_TRUE(WritePixels(c.format, &colour, 1, 1, bytes, sizeof bytes)) << c.format;
    std::uint32_t back = 0;
    ASSERT_TRUE(ReadPixels(c.format, bytes, sizeof bytes, 1, 1, &back)) << c.format;
    EXPECT_EQ(back, c.expected) << "format " << c.format;
  }
  // 16-bit white and black survive exactly; 5-bit 31 widens to 255.
  const std::uint32_t white = 0xFFFFFFFF;
  std::uint8_t bytes[2];
  WritePixels(fmt::kR5G6B5, &white, 1, 1, bytes, 2);
  std::uint32_t back;
  ReadPixels(fmt::kR5G6B5, bytes, 2, 1, 1, &back);
  EXPECT_EQ(back, 0xFFFFFFFFu);
  EXPECT_FALSE(FormatKnown(12345));
}

TEST(PixelFormats, DxtBlocksKeepFlatColoursAndPunchThroughAlpha) {
  ArgbImage image;
  image.Resize(6, 5);  // not a whole number of blocks
  for (int i = 0; i < 30; ++i) image.pixels[i] = i % 6 < 3 ? 0xFFFF0000 : 0x00000000;
  for (std::uint32_t format : {fmt::kDxt1, fmt::kDxt3, fmt::kDxt5}) {
    std::vector<std::uint8_t> blocks(FormatRowBytes(format, 6) * FormatRowCount(format, 5));
    ASSERT_TRUE(
        WritePixels(format, image.pixels.data(), 6, 5, blocks.data(), FormatRowBytes(format, 6)));
    std::vector<std::uint32_t> back(30);
    ASSERT_TRUE(ReadPixels(format, blocks.data(), FormatRowBytes(format, 6), 6, 5, back.data()));
    EXPECT_EQ(back[0], 0xFFFF0000u) << format;
    EXPECT_EQ(back[29] >> 24, 0u) << format;
  }
}

TEST(Resample, FiltersMapPixelsAsExpected) {
  ArgbImage src;
  src.Resize(4, 2);
  const std::uint32_t row[4] = {0xFF000000, 0xFF0000FF, 0xFF000000, 0xFF0000FF};
  for (int y = 0; y < 2; ++y) std::memcpy(src.Row(y), row, sizeof row);
  ArgbImage dst;
  dst.Resize(2, 1);
  Resample(src, {0, 0, 4, 2}, dst, {0, 0, 2, 1}, Filter::kBox);
  EXPECT_EQ(dst.pixels[0], 0xFF000080u);  // the average of black and blue
  Resample(src, {0, 0, 4, 2}, dst, {0, 0, 2, 1}, Filter::kPoint);
  EXPECT_EQ(dst.pixels[0], 0xFF0000FFu);  // the pixel under the centre (x = 1)

  // None copies without scaling and leaves the rest of the destination alone.
  ArgbImage big;
  big.Resize(6, 3);
  big.pixels.assign(18, 0x12345678);
  Resample(src, {0, 0, 4, 2}, big, {1, 1, 5, 2}, Filter::kNone);
  EXPECT_EQ(big.Row(1)[1], 0xFF000000u);
  EXPECT_EQ(big.Row(1)[4], 0xFF0000FFu);
  EXPECT_EQ(big.Row(1)[5], 0x12345678u);

  // Linear enlargement blends between neighbours and keeps the edges.
  ArgbImage wide;
  wide.Resize(8, 1);
  Resample(src, {0, 0, 2, 1}, wide, {0, 0, 8, 1}, Filter::kLinear);
  EXPECT_EQ(wide.pixels[0], 0xFF000000u);
  EXPECT_EQ(wide.pixels[7], 0xFF0000FFu);
  EXPECT_GT(wide.pixels[4] & 0xFF, 0u);
  EXPECT_LT(wide.pixels[4] & 0xFF, 0xFFu);

  ArgbImage keyed = src;
  ApplyColourKey(keyed, 0xFF000000);
  EXPECT_EQ(keyed.pixels[0], 0u);
  EXPECT_EQ(keyed.pixels[1], 0xFF0000FFu);
}

TEST(ImageFiles, EveryWrittenKindReadsBack) {
  const ArgbImage picture = Pattern(13, 7);
  struct Case {
    int kind;
    std::uint32_t surface_format;
    std::uint32_t probed_format;
    bool exact;
  } cases[] = {
      {iff::kBmp, fmt::kX8R8G8B8, fmt::kR8G8B8, true},
      {iff::kDib, fmt::kX8R8G8B8, fmt::kR8G8B8, true},
      {iff::kPng, fmt::kA8R8G8B8, fmt::kA8R8G8B8, true},
      {iff::kPng, fmt::kX8R8G8B8, fmt::kX8R8G8B8, true},
      {iff::kJpg, fmt::kX8R8G8B8, fmt::kX8R8G8B8, false},
      {iff::kDds, fmt::kA8R8G8B8, fmt::kA8R8G8B8, true},
      {iff::kDds, fmt::kR5G6B5, fmt::kR5G6B5, false},
      {iff::kDds, fmt::kDxt5, fmt::kDxt5, false},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(EncodeImage(c.kind, c.surface_format, picture, &bytes)) << c.kind;
    ImageFileInfo info;
    ASSERT_TRUE(ProbeImage(bytes.data(), bytes.size(), &info)) << c.kind;
    EXPECT_EQ(info.width, 13);
    EXPECT_EQ(info.height, 7);
    EXPECT_EQ(info.format, c.probed_format) << c.kind;
    DecodedImage decoded;
    ASSERT_TRUE(DecodeImage(bytes.data(), bytes.size(), &decoded)) << c.kind;
    ASSERT_EQ(decoded.faces.size(), 1u);
    const ArgbImage& back = decoded.faces[0];
    ASSERT_EQ(back.width, 13);
    if (c.exact) {
      EXPECT_EQ(back.pixels, picture.pixels) << c.kind;
    } else {
      const std::uint32_t a = back.Row(6)[12], b = picture.Row(6)[12];
      for (int shift = 0; shift < 32; shift += 8) {
        EXPECT_NEAR(static_cast<int>(a >> shift & 0xFF), static_cast<int>(b >> shift & 0xFF), 24)
            << c.kind;
      }
    }
  }
}

TEST(ImageFiles, BadFilesAreRefused) {
  std::vector<std::uint8_t> png;
  ASSERT_TRUE(EncodeImage(iff::kPng, fmt::kA8R8G8B8, Pattern(16, 16), &png));
  DecodedImage decoded;
  ImageFileInfo info;
  // Cut short anywhere: never a picture with garbage, never a crash.
  for (std::size_t cut :
       {std::size_t{0}, std::size_t{7}, std::size_t{30}, png.size() / 2, png.size() - 13}) {
    EXPECT_FALSE(DecodeImage(png.data(), cut, &decoded)) << cut;
  }
  // A header claiming a huge picture is refused before decoding.
  std::vector<std::uint8_t> huge = png;
  huge[16] = 0x00, huge[17] = 0x01, huge[18] = 0x00, huge[19] = 0x00;  // width 65536
  EXPECT_FALSE(ProbeImage(huge.data(), huge.size(), &info));
  std::vector<std::uint8_t> zero = png;
  zero[20] = zero[21] = zero[22] = zero[23] = 0;  // height 0
  EXPECT_FALSE(ProbeImage(zero.data(), zero.size(), &info));

  std::vector<std::uint8_t> dds;
  ASSERT_TRUE(EncodeImage(iff::kDds, fmt::kA8R8G8B8, Pattern(16, 16), &dds));
  EXPECT_FALSE(DecodeImage(dds.data(), dds.size() - 1, &decoded));  // data short by a byte
  std::vector<std::uint8_t> many_levels = dds;
  many_levels[10] |= 0x02;  // the mip-map count flag (0x20000)
  many_levels[28] = 40;
  EXPECT_FALSE(ProbeImage(many_levels.data(), many_levels.size(), &info));

  // Found by fuzzing: a 26-byte TGA claiming 2048 by 6144 pixels.
  const std::uint8_t tiny_tga[] = {0, 0, 2,    0x33, 0, 0, 0,    0, 0, 0,    1,    0,   0,
                                   8, 0, 0x18, 0x18, 0, 0, 0xFF, 0, 0, 0xFF, 0xFF, 'P', 'N'};
  EXPECT_FALSE(ProbeImage(tiny_tga, sizeof tiny_tga, &info));
  EXPECT_FALSE(DecodeImage(tiny_tga, sizeof tiny_tga, &decoded));

  // Found by fuzzing: image data claiming megabytes in a 200-byte file kept the PNG reader
  // busy for seconds before it gave up.
  std::vector<std::uint8_t> long_chunk(png.begin(),
                                       png.begin() + std::min<std::size_t>(png.size(), 200));
  const std::uint8_t claim[4] = {0x00, 0x3A, 0x00, 0x8F};
  std::memcpy(long_chunk.data() + 33, claim, 4);  // the first chunk after the header
  EXPECT_FALSE(ProbeImage(long_chunk.data(), long_chunk.size(), &info));
  EXPECT_FALSE(DecodeImage(long_chunk.data(), long_chunk.size(), &decoded));

  // Found by fuzzing: a GIF frame with an LZW code size of 0 made the system's GIF reader free
  // memory it never allocated.
  std::vector<std::uint8_t> gif = {'G',  'I',  'F',  '8',  '9',  'a',  0x0a, '2',  '5',
                                   '6',  0x0a, 0xff, 0x00, 0x2c, 0xf6, 0xa4, 0x02, 0x30,
                                   0x00, 0x20, 0x03, 0x00, 0x1c, 0x00, 0x61, 0x00};
  gif.insert(gif.end(), 128, 0xd3);
  gif.push_back(0x00);
  gif.push_back(0x80);
  EXPECT_FALSE(DecodeImage(gif.data(), gif.size(), &decoded));

  const std::uint8_t text[] = "just some text, not a picture";
  EXPECT_FALSE(ProbeImage(text, sizeof text, &info));
  EXPECT_FALSE(EncodeImage(iff::kTga, fmt::kA8R8G8B8, Pattern(2, 2), &png));
}

TEST(ImageFiles, HandMadeHeadersOfTheOtherKinds) {
  ImageFileInfo info;
  const std::uint8_t pnm[] =
      "P6\n# comment\n3 2\n255\n"
      "\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff\x00\x00\x00\x80\x80\x80";
  ASSERT_TRUE(ProbeImage(pnm, sizeof pnm - 1, &info));
  EXPECT_EQ(info.file_format, iff::kPpm);
  DecodedImage decoded;
  ASSERT_TRUE(DecodeImage(pnm, sizeof pnm - 1, &decoded));
  EXPECT_EQ(decoded.faces[0].pixels[0], 0xFFFF0000u);
  EXPECT_EQ(decoded.faces[0].pixels[5], 0xFF808080u);

  // A 2 by 1 true-colour TGA, bottom-up, blue then white.
  const std::uint8_t tga[] = {0, 0, 2, 0, 0,  0, 0,    0, 0, 0,    0,    0,
                              2, 0, 1, 0, 24, 0, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF};
  ASSERT_TRUE(ProbeImage(tga, sizeof tga, &info));
  EXPECT_EQ(info.file_format, iff::kTga);
  EXPECT_EQ(info.format, fmt::kR8G8B8);
  ASSERT_TRUE(DecodeImage(tga, sizeof tga, &decoded));
  EXPECT_EQ(decoded.faces[0].pixels[0], 0xFF0000FFu);

  // A 1 by 1 GIF with a transparent colour.
  const std::uint8_t gif[] = {'G', 'I',  'F',  '8',  '9',  'a',  1, 0, 1, 0,    0x80, 0, 0,    0, 0,
                              0,   0xFF, 0xFF, 0xFF, 0x21, 0xF9, 4, 1, 0, 0,    0,    0, 0x2C, 0, 0,
                              0,   0,    1,    0,    1,    0,    0, 2, 2, 0x44, 1,    0, 0x3B};
  ASSERT_TRUE(ProbeImage(gif, sizeof gif, &info));
  EXPECT_EQ(info.format, fmt::kA8R8G8B8);
  ASSERT_TRUE(DecodeImage(gif, sizeof gif, &decoded));
  EXPECT_EQ(decoded.faces[0].pixels[0] >> 24, 0u);
}

}  // namespace
}  // namespace d3dx
