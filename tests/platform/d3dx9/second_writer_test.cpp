// Pictures written by a second writer, ImageMagick's convert, from pictures of ours: icons with
// alpha (a 32-bit bitmap; a PNG inside for 256 pixels), TIFF with unassociated and associated
// alpha, and 16- and 12-bit portable maps in binary and text. Every pixel must come back. The
// tests skip where convert is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/d3dx9/image_file.h"
#include "tests/support/temp_folder.h"

namespace d3dx {
namespace {

bool HaveConvert() {
  return std::system("command -v convert >/dev/null 2>&1") == 0;
}

// Runs convert in the current folder; true when it made the file.
bool Convert(const std::string& arguments) {
  return std::system(("convert " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::uint8_t> Load(const std::string& path, ArgbImage* out) {
  std::vector<std::uint8_t> bytes;
  DecodedImage image;
  if (!ReadFileBytes(path, &bytes) || !DecodeImage(bytes.data(), bytes.size(), &image)) return {};
  *out = image.faces[0];
  return bytes;
}

// A side by side picture of changing colours, every alpha from 3 to 252 (none fully
// transparent, so no writer may drop a colour), written as a PNG of ours.
ArgbImage Source(int side, const std::string& path) {
  ArgbImage image;
  image.Resize(side, side);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const std::uint32_t a = 3 + static_cast<std::uint32_t>((x * side + y) * 249 / (side * side));
      const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / (side - 1));
      const std::uint32_t g = static_cast<std::uint32_t>((x * 7 + y * 13) % 256);
      const std::uint32_t b = static_cast<std::uint32_t>(y * 255 / (side - 1));
      image.Row(y)[x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
  std::vector<std::uint8_t> png;
  EXPECT_TRUE(EncodeImage(iff::kPng, fmt::kA8R8G8B8, image, &png));
  EXPECT_TRUE(WriteFileBytes(path, png));
  return image;
}

// Every channel of every pixel within tolerance(alpha) of what was written.
template <typename Tolerance>
void ExpectPixels(const ArgbImage& got, const ArgbImage& want, const char* what,
                  Tolerance tolerance) {
  ASSERT_EQ(got.width, want.width) << what;
  ASSERT_EQ(got.height, want.height) << what;
  int wrong = 0;
  for (std::size_t i = 0; i < want.pixels.size() && wrong < 5; ++i) {
    const std::uint32_t g = got.pixels[i], w = want.pixels[i];
    const int allowed = tolerance(static_cast<int>(w >> 24));
    for (int shift = 0; shift < 32; shift += 8) {
      const int d = static_cast<int>(g >> shift & 0xFF) - static_cast<int>(w >> shift & 0xFF);
      if (d > allowed || d < -allowed) {
        ADD_FAILURE() << what << ": pixel " << i << " is " << std::hex << g << ", written " << w;
        ++wrong;
        break;
      }
    }
  }
}

TEST(SecondWriter, IconsAndTiffFromImageMagickKeepTheirAlpha) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  TempFolder folder("second_writer");
  const ArgbImage small = Source(16, "small.png"), large = Source(256, "large.png");
  auto exact = [](int) { return 0; };
  // ImageMagick writes a 16-pixel icon as a 32-bit bitmap and a 256-pixel one as a PNG inside.
  ASSERT_TRUE(Convert("small.png small.ico"));
  ASSERT_TRUE(Convert("large.png large.ico"));
  ArgbImage got;
  ASSERT_FALSE(Load("small.ico", &got).empty());
  ExpectPixels(got, small, "icon of a 32-bit bitmap", exact);
  const std::vector<std::uint8_t> ico = Load("large.ico", &got);
  ASSERT_FALSE(ico.empty());
  ASSERT_GT(ico.size(), 26u);
  EXPECT_EQ(std::string(ico.begin() + 22, ico.begin() + 26), "\x89PNG");
  ExpectPixels(got, large, "icon holding a PNG", exact);
  // TIFF with straight alpha comes back exactly, 8 or 16 bits, planes interleaved or apart,
  // compressed or not; premultiplied alpha is divided out again, within what the
  // multiplication by alpha rounded away.
  for (const char* options : {"", "-depth 16", "-interlace plane", "-compress lzw"}) {
    ASSERT_TRUE(Convert(std::string("small.png -define tiff:alpha=unassociated ") + options +
                        " straight.tif"));
    ASSERT_FALSE(Load("straight.tif", &got).empty()) << options;
    ExpectPixels(got, small, (std::string("TIFF with unassociated alpha ") + options).c_str(),
                 exact);
  }
  ASSERT_TRUE(Convert("small.png -define tiff:alpha=associated premultiplied.tif"));
  ASSERT_FALSE(Load("premultiplied.tif", &got).empty());
  ExpectPixels(got, small, "TIFF with associated alpha", [](int a) { return 1 + 128 / a; });
}

TEST(SecondWriter, WidePortableMapsFromImageMagickScaleToTheirMaximum) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  TempFolder folder("second_writer");
  // Text maps of ours, which ImageMagick rewrites in binary (and 16-bit colour as text again).
  // The samples are not byte-symmetric, so a byte order mistake shows.
  TempFolder::Write("grey16.pgm", "P2\n4 1\n65535\n256 65280 4660 32768\n");
  TempFolder::Write("colour16.ppm", "P3\n2 1\n65535\n256 65280 4660  32768 0 65535\n");
  TempFolder::Write("grey12.pgm", "P2\n4 1\n4095\n0 1911 2184 4095\n");
  const struct {
    const char* arguments;
    const char* file;
    std::vector<std::uint32_t> pixels;
  } cases[] = {
      {"grey16.pgm -depth 16 out16.pgm",
       "out16.pgm",
       {0xFF010101, 0xFFFEFEFE, 0xFF121212, 0xFF808080}},
      {"colour16.ppm -depth 16 out16.ppm", "out16.ppm", {0xFF01FE12, 0xFF8000FF}},
      {"colour16.ppm -depth 16 -compress none text16.ppm", "text16.ppm", {0xFF01FE12, 0xFF8000FF}},
      {"grey12.pgm out12.pgm", "out12.pgm", {0xFF000000, 0xFF777777, 0xFF888888, 0xFFFFFFFF}},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Convert(c.arguments)) << c.arguments;
    ArgbImage got;
    ASSERT_FALSE(Load(c.file, &got).empty()) << c.file;
    EXPECT_EQ(std::vector<std::uint32_t>(got.pixels.begin(), got.pixels.end()), c.pixels) << c.file;
  }
  // The binary files really are wide and most significant byte first.
  const std::string binary = TempFolder::Read("out16.pgm");
  EXPECT_NE(binary.find("65535\n\x01\x00\xFF\x00", 0, 10), std::string::npos);
  EXPECT_NE(TempFolder::Read("out12.pgm").find("4095\n"), std::string::npos);
}

}  // namespace
}  // namespace d3dx
