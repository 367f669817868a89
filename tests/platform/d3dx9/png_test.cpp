// The PNG reader on libdeflate against the SDL2_image path it replaced: every colour type, bit
// depth and interlacing, with and without tRNS, every row filter, written by a writer of ours
// and by ImageMagick's convert, must decode to the same pixels; damaged files must fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/d3dx9/image_file.h"
#include "tests/support/picture_files.h"
#include "tests/support/temp_folder.h"

namespace d3dx {
namespace {

using picture_files::Bytes;

using Layout = picture_files::PngLayout;
using picture_files::PngLayoutFile;
using picture_files::PngSample;

// SDL2_image reads grey with tRNS as two channels in a one-channel surface (wrong colours) and
// keys 16-bit RGB on the key's low bytes (no pixel clear): there the expected pixels are the
// file without tRNS read through SDL2_image, clear where keyed(pixel) says the samples are
// the key.
void ExpectSameAsSdl(const Bytes& png, const std::string& what, const Bytes& without_key = {},
                     const std::function<bool(int)>& keyed = {}) {
  ArgbImage ours, theirs;
  const Bytes& reference = keyed ? without_key : png;
  ASSERT_TRUE(DecodeThroughSdl(iff::kPng, reference.data(), reference.size(), &theirs)) << what;
  if (keyed) {
    for (std::size_t i = 0; i < theirs.pixels.size(); ++i) {
      if (keyed(static_cast<int>(i))) theirs.pixels[i] &= 0xFFFFFFu;
    }
  }
  ASSERT_EQ(DecodePng(png.data(), png.size(), &ours), PngResult::kDecoded) << what;
  ASSERT_EQ(ours.width, theirs.width) << what;
  ASSERT_EQ(ours.height, theirs.height) << what;
  for (std::size_t i = 0; i < ours.pixels.size(); ++i) {
    if (ours.pixels[i] != theirs.pixels[i]) {
      ADD_FAILURE() << what << ": pixel " << i << " is " << std::hex << ours.pixels[i]
                    << ", through SDL2_image " << theirs.pixels[i];
      return;
    }
  }
}

TEST(PngReader, EveryLayoutDecodesAsTheSdlPathDoes) {
  const struct {
    int colour_type;
    std::vector<int> depths;
  } kinds[] = {{0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
  for (const auto& kind : kinds) {
    for (int depth : kind.depths) {
      std::vector<Bytes> trns_choices = {{}};
      // A key of a value that occurs; a palette with one clear entry (a colour key), and one
      // with translucent entries (an alpha channel).
      if (kind.colour_type == 0 || kind.colour_type == 2) {  // the first pixel's samples
        Bytes key;
        for (int c = 0; c < picture_files::PngChannels(kind.colour_type); ++c) {
          const unsigned v = PngSample({kind.colour_type, depth, false, {}}, 0, 0, c);
          key.insert(key.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
        }
        trns_choices.push_back(key);
      }
      if (kind.colour_type == 3) {
        trns_choices.push_back({255, 0});
        trns_choices.push_back({10, 255, 128});
      }
      for (const Bytes& trns : trns_choices) {
        for (bool interlaced : {false, true}) {
          const Layout l{kind.colour_type, depth, interlaced, trns};
          const std::string what = "type " + std::to_string(kind.colour_type) + " depth " +
                                   std::to_string(depth) + (interlaced ? " interlaced" : "") +
                                   (trns.empty() ? "" : " tRNS");
          for (int side : {13, 1}) {
            if (trns.empty() || kind.colour_type == 3 || (kind.colour_type == 2 && depth == 8)) {
              ExpectSameAsSdl(PngLayoutFile(l, side, side), what);
              continue;
            }
            int keyed = 0;
            auto is_key = [&](int i) {
              for (std::size_t c = 0; c < trns.size() / 2; ++c) {
                const unsigned key = static_cast<unsigned>(trns[2 * c] << 8 | trns[2 * c + 1]);
                if (PngSample(l, i % side, i / side, static_cast<int>(c)) != key) return false;
              }
              return ++keyed > 0;
            };
            ExpectSameAsSdl(PngLayoutFile(l, side, side), what,
                            PngLayoutFile({kind.colour_type, depth, interlaced, {}}, side, side),
                            is_key);
            EXPECT_GT(keyed, 0) << what;
          }
        }
      }
    }
  }
}

TEST(PngReader, ImageMagickFilesDecodeAsTheSdlPathDoes) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no convert";
  TempFolder folder("png_reader");
  ArgbImage source;
  source.Resize(37, 29);
  for (int y = 0; y < 29; ++y) {
    for (int x = 0; x < 37; ++x) {
      const std::uint32_t a = x < 5 ? 0 : x < 30 ? 255 : 40 + y * 7;
      source.Row(y)[x] = a << 24 | static_cast<std::uint32_t>(x * 7) << 16 |
                         static_cast<std::uint32_t>(y * 9) << 8 | ((x * y) & 0xC0);
    }
  }
  Bytes bytes;
  ASSERT_TRUE(EncodeImage(iff::kPng, fmt::kA8R8G8B8, source, &bytes));
  ASSERT_TRUE(WriteFileBytes("source.png", bytes));
  const char* variants[] = {"-define png:color-type=0 -define png:bit-depth=1 out.png",
                            "-define png:color-type=0 -define png:bit-depth=4 out.png",
                            "-define png:color-type=0 -define png:bit-depth=16 out.png",
                            "-define png:color-type=2 -define png:bit-depth=16 out.png",
                            "-define png:color-type=4 -define png:bit-depth=8 out.png",
                            "-define png:color-type=6 -define png:bit-depth=16 out.png",
                            "PNG8:out.png"};
  for (const char* variant : variants) {
    for (const char* interlace : {"", "-interlace PNG "}) {
      const std::string arguments = std::string("source.png ") + interlace + variant;
      ASSERT_EQ(std::system(("convert " + arguments + " >/dev/null 2>&1").c_str()), 0) << arguments;
      ASSERT_TRUE(ReadFileBytes("out.png", &bytes));
      ExpectSameAsSdl(bytes, arguments);
    }
  }
}

TEST(PngReader, DamagedFilesFail) {
  const Bytes good = PngLayoutFile({6, 8, false, {}}, 13, 11);
  DecodedImage image;
  ASSERT_TRUE(DecodeImage(good.data(), good.size(), &image));
  // Cut anywhere: the chunk walk or the inflater finds it.
  for (std::size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(DecodeImage(good.data(), n, &image)) << n;
  }
  // A changed byte in a critical chunk fails its CRC; image data that does not inflate, or
  // inflates short, fails even with its CRC made right.
  for (std::size_t at = 8; at + 12 < good.size(); at += 3) {
    if (at >= 33 && at < 33 + 16) continue;  // gAMA: ancillary, dropped when damaged
    Bytes bad = good;
    bad[at] ^= 0x5A;
    ArgbImage out;
    EXPECT_NE(DecodePng(bad.data(), bad.size(), &out), PngResult::kDecoded) << at;
  }
  Bytes short_data = good;
  const std::size_t idat = 8 + 25 + 16;  // signature, IHDR, gAMA
  ASSERT_EQ(std::string(short_data.begin() + idat + 4, short_data.begin() + idat + 8), "IDAT");
  short_data[idat + 3] -= 1;  // the first part a byte shorter: the stream ends short
  short_data.erase(short_data.begin() + static_cast<std::ptrdiff_t>(idat + 8));
  const std::size_t length = short_data[idat + 3];
  const std::uint32_t crc = picture_files::Crc32(short_data.data() + idat + 4, 4 + length);
  for (int i = 0; i < 4; ++i) {
    short_data[idat + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  }
  EXPECT_FALSE(DecodeImage(short_data.data(), short_data.size(), &image));
  // A header with a depth its colour type does not allow (its CRC made right).
  auto with_header_byte = [](Bytes png, std::size_t at, std::uint8_t value) {
    png[8 + 8 + at] = value;
    const std::uint32_t crc = picture_files::Crc32(png.data() + 12, 17);
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return png;
  };
  const Bytes wrong_depth = with_header_byte(PngLayoutFile({2, 8, false, {}}, 4, 4), 8, 4);
  ArgbImage out;
  EXPECT_EQ(DecodePng(wrong_depth.data(), wrong_depth.size(), &out), PngResult::kRefused);
  EXPECT_FALSE(DecodeImage(wrong_depth.data(), wrong_depth.size(), &image));
  // More rows of data than the header states: the PNG reader takes the rows it needs, so the
  // file is left to it and still loads.
  const Bytes surplus = with_header_byte(PngLayoutFile({6, 8, false, {}}, 4, 4), 7, 3);
  EXPECT_EQ(DecodePng(surplus.data(), surplus.size(), &out), PngResult::kOther);
  ASSERT_TRUE(DecodeImage(surplus.data(), surplus.size(), &image));
  EXPECT_EQ(image.faces[0].height, 3);
}

}  // namespace
}  // namespace d3dx
