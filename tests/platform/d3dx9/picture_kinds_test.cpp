// Pictures as other programs write them, made here byte by byte: TGA in every orientation and
// pixel kind, CMYK and YCCK JPEG (written through libjpeg), the portable map kinds, Radiance
// HDR and PFM, and the kinds only SDL2_image reads. Each must decode to the pixels it holds.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3dx9/image_file.h"
#include "tests/support/picture_files.h"

namespace d3dx {
namespace {

using picture_files::Bytes;
using picture_files::Put16;
using picture_files::Put32;
using picture_files::PutBe32;

// The 3 by 2 picture every TGA below holds, top row first: red, green, blue over white, black,
// half-transparent yellow (opaque where the kind has no alpha).
constexpr std::uint32_t kPicture[6] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                       0xFFFFFFFF, 0xFF000000, 0x80FFFF00};
// The grey picture: six grey levels.
constexpr std::uint8_t kGreys[6] = {0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF};

// One pixel as the TGA stores it for bits per pixel (grey: the low byte is the level).
void PutPixel(Bytes& b, std::uint32_t argb, int bits) {
  const unsigned a = argb >> 24, r = argb >> 16 & 0xFF, g = argb >> 8 & 0xFF, bl = argb & 0xFF;
  switch (bits) {
    case 8:
      b.push_back(static_cast<std::uint8_t>(argb));
      break;
    case 16:
      Put16(b, (a >= 128 ? 0x8000u : 0u) | (r >> 3) << 10 | (g >> 3) << 5 | bl >> 3);
      break;
    case 24:
    case 32:
      b.push_back(static_cast<std::uint8_t>(bl));
      b.push_back(static_cast<std::uint8_t>(g));
      b.push_back(static_cast<std::uint8_t>(r));
      if (bits == 32) b.push_back(static_cast<std::uint8_t>(a));
      break;
  }
}

struct TgaKind {
  const char* name;
  int type;  // 1 palette, 2 true colour, 3 grey (plus 8 for run-length)
  int bits;  // of a pixel, or of a palette entry for type 1
  bool alpha;
};

// A TGA of the picture (the grey one for type 3) stored bottom row first unless top_first.
Bytes MakeTga(const TgaKind& k, bool top_first) {
  const int w = 3, h = 2;
  const bool rle = k.type >= 9;
  const int base = k.type & 7;
  std::vector<std::uint32_t> values(6);
  for (int i = 0; i < 6; ++i) {
    values[i] = base == 3 ? kGreys[i] : base == 1 ? static_cast<std::uint32_t>(5 - i) : kPicture[i];
  }
  const int pixel_bits = base == 1 ? 8 : k.bits;
  Bytes b = {0, static_cast<std::uint8_t>(base == 1), static_cast<std::uint8_t>(k.type)};
  Put16(b, 0);                  // first palette entry
  Put16(b, base == 1 ? 6 : 0);  // palette entries
  b.push_back(base == 1 ? static_cast<std::uint8_t>(k.bits) : 0);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, w);
  Put16(b, h);
  b.push_back(static_cast<std::uint8_t>(pixel_bits));
  b.push_back(
      static_cast<std::uint8_t>((top_first ? 0x20 : 0) | (k.alpha ? (k.bits == 16 ? 1 : 8) : 0)));
  if (base == 1) {
    for (int i = 5; i >= 0; --i) PutPixel(b, kPicture[i], k.bits);  // entry 5 - i is pixel i
  }
  for (int row = 0; row < h; ++row) {
    const int y = top_first ? row : h - 1 - row;
    const std::uint32_t* line = values.data() + y * w;
    if (!rle) {
      for (int x = 0; x < w; ++x) PutPixel(b, line[x], pixel_bits);
      continue;
    }
    // The row as a run of its first pixel repeated twice, then a raw packet (exercises both).
    b.push_back(0x81);
    PutPixel(b, line[0], pixel_bits);
    b.push_back(0x00);
    PutPixel(b, line[2], pixel_bits);
  }
  return b;
}

// What the picture reads as through a kind: alpha only where the kind keeps it, colours as
// 5 bits hold them, and the middle pixel of each row equal to the first for run-length files.
std::uint32_t Expected(const TgaKind& k, int i) {
  const bool rle = k.type >= 9;
  const int source = rle && i % 3 == 1 ? i - 1 : i;
  if ((k.type & 7) == 3) return 0xFF000000u | kGreys[source] * 0x010101u;
  std::uint32_t c = kPicture[source];
  if (!k.alpha) c |= 0xFF000000u;
  if (k.bits == 16) {
    c = (c >> 24 >= 128 ? 0xFF000000u : 0u) | (c & 0xF8F8F8);
    if (!k.alpha) c |= 0xFF000000u;
    c |= (c & 0xE0E0E0) >> 5;  // 5 bits widened by repeating their top
  }
  return c;
}

std::vector<std::uint32_t> Pixels(const Bytes& file, ImageFileInfo* info = nullptr) {
  DecodedImage image;
  if (!DecodeImage(file.data(), file.size(), &image)) return {};
  if (info) *info = image.info;
  const auto& pixels = image.faces[0].pixels;
  return std::vector<std::uint32_t>(pixels.begin(), pixels.end());
}

TEST(PictureKinds, TgaReadsUprightWhateverItsOrigin) {
  const TgaKind kinds[] = {
      {"true colour 24", 2, 24, false},
      {"true colour 32", 2, 32, true},
      {"true colour 16", 2, 16, true},
      {"true colour 15", 2, 16, false},
      {"palette 24", 1, 24, false},
      {"palette 32", 1, 32, false},
      {"grey", 3, 8, false},
      {"run-length 24", 10, 24, false},
      {"run-length 32", 10, 32, true},
      {"run-length 16", 10, 16, true},
      {"run-length palette", 9, 24, false},
      {"run-length grey", 11, 8, false},
  };
  for (const TgaKind& k : kinds) {
    for (bool top_first : {false, true}) {
      const Bytes file = MakeTga(k, top_first);
      ImageFileInfo info;
      const std::vector<std::uint32_t> got = Pixels(file, &info);
      ASSERT_EQ(got.size(), 6u) << k.name << (top_first ? " top first" : " bottom first");
      EXPECT_EQ(info.file_format, iff::kTga);
      for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(got[i], Expected(k, i))
            << k.name << (top_first ? " top first" : " bottom first") << ", pixel " << i;
      }
    }
  }
}

TEST(PictureKinds, CmykAndYcckJpegTurnIntoTheirRgbColours) {
  // Left half cyan ink only, right half magenta and half black; inverted as Adobe stores it.
  const int w = 16, h = 8;
  std::vector<std::uint8_t> cmyk;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::uint8_t ink[4] = {static_cast<std::uint8_t>(x < 8 ? 255 : 0),
                                   static_cast<std::uint8_t>(x < 8 ? 0 : 255), 0,
                                   static_cast<std::uint8_t>(x < 8 ? 0 : 128)};
      for (std::uint8_t i : ink) cmyk.push_back(static_cast<std::uint8_t>(255 - i));
    }
  }
  for (bool ycck : {false, true}) {
    ImageFileInfo info;
    const std::vector<std::uint32_t> got =
        Pixels(picture_files::CmykJpegFile(cmyk, w, h, ycck), &info);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(w * h)) << ycck;
    EXPECT_EQ(info.file_format, iff::kJpg);
    const std::uint32_t expected[2] = {0xFF00FFFF, 0xFF7F007F};  // cyan; magenta at half
    for (int side = 0; side < 2; ++side) {
      const std::uint32_t c = got[2 * w + 2 + side * 10];
      for (int shift = 0; shift < 32; shift += 8) {
        EXPECT_NEAR(static_cast<int>(c >> shift & 0xFF),
                    static_cast<int>(expected[side] >> shift & 0xFF), 4)
            << (ycck ? "YCCK" : "CMYK") << " side " << side << " channel " << shift / 8;
      }
    }
  }
}

Bytes Text(const std::string& header, const Bytes& data = {}) {
  Bytes b(header.begin(), header.end());
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

Bytes Floats(std::initializer_list<float> values) {
  Bytes b(values.size() * 4);
  std::memcpy(b.data(), std::data(values), b.size());
  return b;
}

TEST(PictureKinds, PortableMapsHdrAndPfmLoad) {
  // Every portable map kind, 2 by 1: text and binary, bitmap, grey (8 and 16 bits) and colour.
  struct Case {
    const char* name;
    Bytes file;
    std::uint32_t left, right;
  } cases[] = {
      {"P1", Text("P1\n2 1\n1 0\n"), 0xFF000000, 0xFFFFFFFF},
      {"P2", Text("P2 2 1 100\n20 100\n"), 0xFF333333, 0xFFFFFFFF},
      {"P3", Text("P3\n2 1\n255\n255 0 0  0 0 255\n"), 0xFFFF0000, 0xFF0000FF},
      {"P4", Text("P4\n2 1\n", {0x80}), 0xFF000000, 0xFFFFFFFF},
      {"P5", Text("P5\n2 1\n255\n", {0x40, 0xC0}), 0xFF404040, 0xFFC0C0C0},
      // Wide samples are most significant byte first and scaled by the maximum value.
      {"P5 16-bit", Text("P5\n2 1\n65535\n", {0x01, 0x00, 0xFF, 0x00}), 0xFF010101, 0xFFFEFEFE},
      {"P5 12-bit", Text("P5\n2 1\n4095\n", {0x07, 0xFF, 0x0F, 0xFF}), 0xFF7F7F7F, 0xFFFFFFFF},
      {"P3 16-bit", Text("P3\n2 1\n65535\n65535 256 0  0 0 32896\n"), 0xFFFF0100, 0xFF000080},
      {"P6", Text("P6\n2 1\n255\n", {1, 2, 3, 250, 251, 252}), 0xFF010203, 0xFFFAFBFC},
      // Radiance: flat (not run-length) RGBE pixels, 1.0 red and 0.5 grey.
      {"HDR",
       Text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 2\n",
            {128, 0, 0, 129, 128, 128, 128, 128}),
       0xFFFF0000, 0xFF808080},
      // PFM colour, little-endian (negative scale), and grey, big-endian; rows bottom first.
      {"PFM", Text("PF\n2 1\n-1.0\n", Floats({1.0f, 0.0f, 0.0f, 0.25f, 0.5f, 2.0f})), 0xFFFF0000,
       0xFF4080FF},
  };
  for (const Case& c : cases) {
    ImageFileInfo info;
    const std::vector<std::uint32_t> got = Pixels(c.file, &info);
    if (got.size() != 2u) {
      ADD_FAILURE() << c.name << " does not load";
      continue;
    }
    EXPECT_EQ(info.width, 2) << c.name;
    EXPECT_EQ(got[0], c.left) << c.name;
    EXPECT_EQ(got[1], c.right) << c.name;
  }
  // Grey PFM, big-endian, two rows: the first stored row is the bottom one.
  Bytes grey = Text("Pf\n1 2\n1.0\n");
  for (std::uint8_t byte : {0x3F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}) grey.push_back(byte);
  const std::vector<std::uint32_t> got = Pixels(grey);
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0], 0xFF000000u);
  EXPECT_EQ(got[1], 0xFFFFFFFFu);
  ImageFileInfo info;
  ASSERT_TRUE(ProbeImage(grey.data(), grey.size(), &info));
  EXPECT_EQ(info.file_format, iff::kPfm);
  // Short data is refused, not read past.
  EXPECT_FALSE(ProbeImage(grey.data(), grey.size() - 1, &info));
}

// The 2 by 2 picture of the kinds below: red, half-transparent green; blue, white.
constexpr std::uint32_t kSmall[4] = {0xFFFF0000, 0x8000FF00, 0xFF0000FF, 0xFFFFFFFF};

Bytes MakeQoi() {
  Bytes b = {'q', 'o', 'i', 'f'};
  PutBe32(b, 2);
  PutBe32(b, 2);
  b.push_back(4);
  b.push_back(0);
  for (std::uint32_t c : kSmall) {
    b.insert(b.end(), {0xFF, static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                       static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)});
  }
  b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 1});
  return b;
}

Bytes MakePng() {
  ArgbImage image;
  image.Resize(2, 2);
  image.pixels.assign(kSmall, kSmall + 4);
  Bytes png;
  EncodeImage(iff::kPng, fmt::kA8R8G8B8, image, &png);
  return png;
}
Bytes MakeWebp() {
  return picture_files::WebpFile(kSmall, 2, 2);
}

TEST(PictureKinds, QoiIconTiffPngAndWebpLoadExactly) {
  const struct {
    const char* name;
    Bytes file;
    const std::uint32_t* pixels;
  } cases[] = {{"QOI", MakeQoi(), kSmall},
               // A 32-bit icon with alpha and an empty AND mask: the alpha counts.
               {"ICO", picture_files::IcoFile(kSmall, 2, 2), kSmall},
               // Straight alpha, big-endian; premultiplied alpha, divided out again.
               {"TIFF unassociated", picture_files::TiffFile(kSmall, 2, 2, true, true, 2), kSmall},
               {"TIFF associated", picture_files::TiffFile(kSmall, 2, 2, true, false, 1), kSmall},
               {"ICO holding a PNG", picture_files::IcoPngFile(MakePng(), 2, 2), kSmall},
               {"PNG written by hand", picture_files::PngFile(kSmall, 2, 2), kSmall},
               {"WebP", MakeWebp(), kSmall}};
  for (const auto& c : cases) {
    ImageFileInfo info;
    ASSERT_TRUE(ProbeImage(c.file.data(), c.file.size(), &info)) << c.name;
    EXPECT_EQ(info.width, 2) << c.name;
    EXPECT_EQ(info.height, 2) << c.name;
    EXPECT_EQ(info.format, fmt::kA8R8G8B8) << c.name;
    const std::vector<std::uint32_t> got = Pixels(c.file);
    ASSERT_EQ(got.size(), 4u) << c.name;
    for (int i = 0; i < 4; ++i) EXPECT_EQ(got[i], c.pixels[i]) << c.name << " pixel " << i;
    // Cut anywhere, a file is refused or read without running past its end (each cut is a
    // buffer of its own, so that the address sanitizer sees a read past it).
    for (std::size_t cut = 1; cut < c.file.size(); ++cut) {
      const Bytes part(c.file.begin(), c.file.begin() + static_cast<std::ptrdiff_t>(cut));
      DecodedImage image;
      DecodeImage(part.data(), part.size(), &image);
    }
  }
}

TEST(PictureKinds, DamagedHeadersOfTheNewKindsAreRefused) {
  // Found by fuzzing: a PCX header whose bytes per row read negative made SDL2_image ask for
  // an allocation of almost 2^64 bytes.
  Bytes pcx(128, 0);
  pcx[0] = 0x0A;
  pcx[3] = 1;           // bits per plane
  pcx[4] = pcx[8] = 3;  // x from 3 to 3: one pixel wide
  pcx[65] = 2;          // planes
  pcx[66] = 0xFF, pcx[67] = 0xFC;
  pcx.insert(pcx.end(), 64, 0xC1);
  ImageFileInfo info;
  EXPECT_FALSE(ProbeImage(pcx.data(), pcx.size(), &info));
  pcx[66] = 1, pcx[67] = 0;  // one byte a row: fine
  ASSERT_TRUE(ProbeImage(pcx.data(), pcx.size(), &info));
  EXPECT_EQ(info.width, 1);
  DecodedImage image;
  DecodeImage(pcx.data(), pcx.size(), &image);
  // A Radiance header without its resolution line, a QOI claiming more pixels than any file
  // this size could hold: refused before decoding.
  const std::string hdr = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n";
  EXPECT_FALSE(ProbeImage(reinterpret_cast<const std::uint8_t*>(hdr.data()), hdr.size(), &info));
  Bytes qoi = {'q', 'o', 'i', 'f', 0, 0, 0x40, 0, 0, 0, 0x40, 0, 4, 0};
  qoi.resize(64, 0);
  EXPECT_FALSE(ProbeImage(qoi.data(), qoi.size(), &info));
}

TEST(PictureKinds, TiffSizesStripsAndTilesAreCheckedBeforeDecoding) {
  // The 195 bytes for which libtiff asked for 21 GB: refused from the header alone.
  const Bytes strip = picture_files::HugeStripTiff();
  ASSERT_EQ(strip.size(), 195u);
  ImageFileInfo info;
  ASSERT_FALSE(ProbeImage(strip.data(), strip.size(), &info));
  DecodedImage image;
  EXPECT_FALSE(DecodeImage(strip.data(), strip.size(), &image));
  // Three samples, but still far more strip than the file holds uncompressed.
  Bytes short_strip = strip;
  const std::size_t samples = 8 + 2 + 6 * 12 + 8;  // the value of the seventh field
  short_strip[samples] = 3;
  short_strip[samples + 1] = 0;
  EXPECT_FALSE(ProbeImage(short_strip.data(), short_strip.size(), &info));
  // A compressed 16 by 16 picture in tiles of 65520 by 65520 (16 GB each); the same in tiles of
  // 16 by 16 is a picture like any other.
  const Bytes huge_tiles = picture_files::TiledTiff(65520),
              small_tiles = picture_files::TiledTiff(16);
  EXPECT_FALSE(ProbeImage(huge_tiles.data(), huge_tiles.size(), &info));
  EXPECT_FALSE(DecodeImage(huge_tiles.data(), huge_tiles.size(), &image));
  ASSERT_TRUE(ProbeImage(small_tiles.data(), small_tiles.size(), &info));
  EXPECT_EQ(info.width, 16);
}

TEST(PictureKinds, EveryProbeStopsAtTheEndOfAShortFile) {
  // Every beginning of a file of every kind, each in a buffer of its own so that the address
  // sanitizer sees a read past it; big-endian TIFF read its 16-bit fields as 32 bits once.
  ArgbImage picture;
  picture.Resize(2, 2);
  picture.pixels.assign(kSmall, kSmall + 4);
  std::vector<Bytes> files = {picture_files::TiffFile(kSmall, 2, 2, true, true),
                              picture_files::TiffFile(kSmall, 2, 2, false, false),
                              picture_files::IcoFile(kSmall, 2, 2),
                              picture_files::IcoPngFile(MakePng(), 2, 2),
                              MakeQoi(),
                              MakeWebp(),
                              MakeTga({"", 10, 32, true}, false),
                              Text("P5\n2 1\n65535\n", {1, 0, 0xFF, 0}),
                              Text("P3 1 1 65535\n1 2 3\n"),
                              Text("PF\n1 1\n-1.0\n", Floats({1.0f, 0.5f, 0.0f})),
                              Text("#?RADIANCE\n\n-Y 1 +X 1\n", {128, 0, 0, 129})};
  for (int kind : {iff::kBmp, iff::kPng, iff::kJpg, iff::kDds}) {
    files.emplace_back();
    ASSERT_TRUE(EncodeImage(kind, fmt::kA8R8G8B8, picture, &files.back()));
  }
  for (const Bytes& file : files) {
    for (std::size_t cut = 1; cut <= file.size(); ++cut) {
      const Bytes part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
      ImageFileInfo info;
      DecodedImage image;
      if (ProbeImage(part.data(), part.size(), &info))
        DecodeImage(part.data(), part.size(), &image);
    }
  }
  // The 10 bytes that showed it: a big-endian header pointing at a directory in its last two.
  const Bytes ten = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1};
  ImageFileInfo info;
  EXPECT_FALSE(ProbeImage(ten.data(), ten.size(), &info));
}

}  // namespace
}  // namespace d3dx
