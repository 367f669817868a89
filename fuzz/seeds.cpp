// Writes the starting corpus of the image and wave fuzz targets: small files of every kind and
// variant the loaders take, made here (never committed): PNG of every layout, TGA in every pixel
// kind and both orientations, CMYK and YCCK JPEG, the portable maps (8, 12 and 16 bits, text and
// binary), HDR, PFM, QOI, ICO and CUR (bitmap and PNG inside), TIFF (both byte orders, both alphas,
// tiled, short and oversized headers), WebP, DXT DDS with mip levels; float, wide-PCM,
// many-channel, fast and compressed waves.
//   fuzz_seeds <folder>   makes <folder>/image_load and <folder>/wave_load
#include <cstdio>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/picture_files.h"

namespace {

using picture_files::Bytes;
using picture_files::Put16;
using picture_files::Put32;
using picture_files::PutText;
namespace fs = std::filesystem;

void Save(const fs::path& path, const Bytes& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// A 5 by 3 picture of varied colours and alphas.
std::uint32_t Colour(int x, int y) {
  return static_cast<std::uint32_t>((x * 50) << 16 | (y * 100) << 8 | (255 - x * 40)) |
         static_cast<std::uint32_t>(128 + x * 30) << 24;
}

Bytes Tga(int type, int bits, bool top_first) {
  const int w = 5, h = 3, base = type & 7;
  Bytes b = {0, static_cast<std::uint8_t>(base == 1), static_cast<std::uint8_t>(type)};
  Put16(b, 0);
  Put16(b, base == 1 ? 15 : 0);
  b.push_back(base == 1 ? 24 : 0);
  Put32(b, 0);
  Put16(b, w);
  Put16(b, h);
  b.push_back(static_cast<std::uint8_t>(base == 1 || base == 3 ? 8 : bits));
  b.push_back(static_cast<std::uint8_t>((top_first ? 0x20 : 0) | (bits == 32 ? 8 : 0)));
  if (base == 1) {
    for (int i = 0; i < 15; ++i) {
      const std::uint32_t c = Colour(i % 5, i / 5);
      b.insert(b.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                         static_cast<std::uint8_t>(c >> 16)});
    }
  }
  for (int row = 0; row < h; ++row) {
    const int y = top_first ? row : h - 1 - row;
    for (int x = 0; x < w; ++x) {
      if (type >= 9) b.push_back(0);  // a one-pixel raw packet
      const std::uint32_t c = Colour(x, y);
      if (base == 1) {
        b.push_back(static_cast<std::uint8_t>(y * 5 + x));
      } else if (base == 3) {
        b.push_back(static_cast<std::uint8_t>(c >> 8));
      } else if (bits == 16) {
        Put16(b,
              (c >> 31) << 15 | (c >> 19 & 0x1F) << 10 | (c >> 11 & 0x1F) << 5 | (c >> 3 & 0x1F));
      } else {
        b.insert(b.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c >> 16)});
        if (bits == 32) b.push_back(static_cast<std::uint8_t>(c >> 24));
      }
    }
  }
  return b;
}

// A 16 by 8 CMYK or YCCK JPEG of stripes.
Bytes CmykJpeg(bool ycck) {
  std::vector<std::uint8_t> cmyk(16 * 8 * 4);
  for (int y = 0; y < 8; ++y) {
    for (int i = 0; i < 64; ++i) cmyk[y * 64 + i] = static_cast<std::uint8_t>(i * 4 + y * 16);
  }
  return picture_files::CmykJpegFile(cmyk, 16, 8, ycck);
}

// An 8 by 8 DXT DDS with all four mip levels.
Bytes Dds(const char* fourcc) {
  const int block = fourcc[3] == '1' ? 8 : 16;
  Bytes d;
  PutText(d, "DDS ");
  Put32(d, 124);
  Put32(d, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000 | 0x80000);
  Put32(d, 8);
  Put32(d, 8);
  Put32(d, static_cast<std::uint32_t>(4 * block));
  Put32(d, 0);
  Put32(d, 4);
  for (int i = 0; i < 11; ++i) Put32(d, 0);
  Put32(d, 32);
  Put32(d, 0x4);
  PutText(d, fourcc);
  for (int i = 0; i < 5; ++i) Put32(d, 0);
  Put32(d, 0x1000 | 0x400000 | 0x8);
  for (int i = 0; i < 4; ++i) Put32(d, 0);
  for (int i = 0; i < 7 * block; ++i) d.push_back(static_cast<std::uint8_t>(i * 37 + 11));
  return d;
}

// TIFF headers cut short, big-endian: the directory offset pointing at each of the last bytes.
void ShortTiffs(const fs::path& dir) {
  for (std::uint8_t size = 8; size <= 16; ++size) {
    for (std::uint8_t back = 1; back <= 3 && back <= size - 8 + 2; ++back) {
      Bytes b = {'M', 'M', 0, 42, 0, 0, 0, static_cast<std::uint8_t>(size - back)};
      b.resize(size, 1);
      Save(dir / ("short_be_" + std::to_string(size) + "_" + std::to_string(back) + ".tif"), b);
    }
  }
}

void Images(const fs::path& dir) {
  std::vector<std::uint32_t> picture;
  for (int i = 0; i < 15; ++i) picture.push_back(Colour(i % 5, i / 5));
  const struct {
    const char* name;
    int type, bits;
  } tgas[] = {{"rgb24", 2, 24},  {"rgba32", 2, 32}, {"rgb16", 2, 16},
              {"palette", 1, 8}, {"grey", 3, 8},    {"rle24", 10, 24},
              {"rle32", 10, 32}, {"rlepal", 9, 8},  {"rlegrey", 11, 8}};
  for (const auto& t : tgas) {
    Save(dir / (std::string(t.name) + "_bottom.tga"), Tga(t.type, t.bits, false));
    Save(dir / (std::string(t.name) + "_top.tga"), Tga(t.type, t.bits, true));
  }
  Save(dir / "cmyk.jpg", CmykJpeg(false));
  Save(dir / "ycck.jpg", CmykJpeg(true));
  Bytes b;
  PutText(b, "P1\n3 2\n1 0 1\n0 1 0\n");
  Save(dir / "p1.pbm", b);
  b.clear();
  PutText(b, "P3 2 1 255\n255 0 0 0 0 255\n");
  Save(dir / "p3.ppm", b);
  b.clear();
  PutText(b, "P5\n2 2\n65535\n");
  for (int i = 0; i < 8; ++i) b.push_back(static_cast<std::uint8_t>(i * 40));
  Save(dir / "p5_16.pgm", b);
  b.clear();
  PutText(b, "P5\n2 1\n4095\n");
  b.insert(b.end(), {0x07, 0xFF, 0x0F, 0xFF});
  Save(dir / "p5_12.pgm", b);
  b.clear();
  PutText(b, "P6\n1 1\n65535\n");
  b.insert(b.end(), {0x01, 0x00, 0xFF, 0x00, 0x12, 0x34});
  Save(dir / "p6_16.ppm", b);
  b.clear();
  PutText(b, "P3 2 1 65535\n65535 256 0 0 0 32896\n");
  Save(dir / "p3_16.ppm", b);
  b.clear();
  PutText(b, "P2 2 1 100\n20 100\n");
  Save(dir / "p2.pgm", b);
  b.clear();
  PutText(b, "P4\n9 2\n");
  b.insert(b.end(), {0xA5, 0x80, 0x5A, 0x00});
  Save(dir / "p4.pbm", b);
  b.clear();
  PutText(b, "P6\n2 1\n255\n");
  b.insert(b.end(), {1, 2, 3, 250, 251, 252});
  Save(dir / "p6.ppm", b);
  b.clear();
  PutText(b, "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n");
  for (int i = 0; i < 6; ++i) b.insert(b.end(), {128, 64, 32, static_cast<std::uint8_t>(127 + i)});
  Save(dir / "flat.hdr", b);
  b.clear();
  PutText(b, "PF\n2 2\n-1.0\n");
  for (float v : {1.0f, 0.5f, 0.0f, 0.25f, 2.0f, -1.0f, 0.75f, 0.1f, 0.2f, 0.3f, 0.4f, 0.6f}) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Put32(b, bits);
  }
  Save(dir / "colour.pfm", b);
  b.clear();
  PutText(b, "qoif");
  b.insert(b.end(), {0, 0, 0, 2, 0, 0, 0, 2, 4, 0, 0xFE, 255, 0, 0, 0x55, 0xC1, 0xFF, 1, 2, 3, 4});
  b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0, 1});
  Save(dir / "small.qoi", b);
  b.clear();
  Save(dir / "icon.ico", picture_files::IcoFile(picture.data(), 5, 3));
  Bytes cursor = picture_files::IcoFile(picture.data(), 5, 3);
  cursor[2] = 2;
  Save(dir / "cursor.cur", cursor);
  Save(dir / "png_inside.ico",
       picture_files::IcoPngFile(picture_files::PngFile(picture.data(), 5, 3), 5, 3));
  // PNG of every colour type and bit depth, plain and interlaced, keyed or with palette alpha.
  const struct {
    int colour_type;
    std::vector<int> depths;
    Bytes trns;
  } png_kinds[] = {{0, {1, 2, 4, 8, 16}, {0, 1}},
                   {2, {8, 16}, {0, 1, 0, 2, 0, 3}},
                   {3, {1, 2, 4, 8}, {255, 0, 128}},
                   {4, {8, 16}, {}},
                   {6, {8, 16}, {}}};
  for (const auto& kind : png_kinds) {
    for (int depth : kind.depths) {
      for (bool interlaced : {false, true}) {
        const std::string name = "layout_" + std::to_string(kind.colour_type) + "_" +
                                 std::to_string(depth) + (interlaced ? "_interlaced" : "");
        Save(dir / (name + ".png"),
             picture_files::PngLayoutFile({kind.colour_type, depth, interlaced, {}}, 9, 7));
        if (!kind.trns.empty()) {
          Save(
              dir / (name + "_trns.png"),
              picture_files::PngLayoutFile({kind.colour_type, depth, interlaced, kind.trns}, 9, 7));
        }
      }
    }
  }
  Save(dir / "rgb.tif", picture_files::TiffFile(picture.data(), 5, 3, false));
  Save(dir / "rgba.tif", picture_files::TiffFile(picture.data(), 5, 3, true));
  Save(dir / "rgb_be.tif", picture_files::TiffFile(picture.data(), 5, 3, false, true));
  Save(dir / "rgba_be.tif", picture_files::TiffFile(picture.data(), 5, 3, true, true));
  Save(dir / "premultiplied.tif", picture_files::TiffFile(picture.data(), 5, 3, true, false, 1));
  // The shape of a file that once asked for 21 GB (65534 samples, 65280 rows a strip), and a
  // compressed picture in tiles.
  Save(dir / "huge_strip.tif", picture_files::HugeStripTiff());
  Save(dir / "tiled.tif", picture_files::TiledTiff(16));
  ShortTiffs(dir);
  Save(dir / "lossless.webp", picture_files::WebpFile(picture.data(), 5, 3));
  Save(dir / "dxt1.dds", Dds("DXT1"));
  Save(dir / "dxt5.dds", Dds("DXT5"));
}

// A wave file of tag (plain or extensible) with the given data bytes.
Bytes Wave(int tag, bool extensible, int channels, int rate, int bits, const Bytes& data) {
  Bytes fmt;
  const int align = channels * bits / 8;
  Put16(fmt, extensible ? 0xFFFE : static_cast<unsigned>(tag));
  Put16(fmt, static_cast<unsigned>(channels));
  Put32(fmt, static_cast<std::uint32_t>(rate));
  Put32(fmt, static_cast<std::uint32_t>(rate * align));
  Put16(fmt, static_cast<unsigned>(align));
  Put16(fmt, static_cast<unsigned>(bits));
  if (extensible) {
    Put16(fmt, 22);
    Put16(fmt, static_cast<unsigned>(bits));
    Put32(fmt, channels == 6 ? 0x3F : channels == 2 ? 0x3 : 0x4);
    Put16(fmt, static_cast<unsigned>(tag));
    fmt.insert(fmt.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71});
  } else if (tag != 1) {
    Put16(fmt, 0);
  }
  Bytes f;
  PutText(f, "RIFF");
  Put32(f, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
  PutText(f, "WAVEfmt ");
  Put32(f, static_cast<std::uint32_t>(fmt.size()));
  f.insert(f.end(), fmt.begin(), fmt.end());
  PutText(f, "data");
  Put32(f, static_cast<std::uint32_t>(data.size()));
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

// frames of a tone, each sample bytes wide: integers, or floats of 4 or 8 bytes.
Bytes Tone(int frames, int channels, int bytes, bool floating) {
  Bytes b;
  for (int i = 0; i < frames * channels; ++i) {
    const double v = 0.9 * std::sin(i * 0.07) * (i % 7 == 0 ? 1.3 : 1.0);
    if (floating && bytes == 4) {
      const float f = static_cast<float>(v);
      std::uint32_t u;
      std::memcpy(&u, &f, 4);
      Put32(b, u);
    } else if (floating) {
      std::uint64_t u;
      std::memcpy(&u, &v, 8);
      Put32(b, static_cast<std::uint32_t>(u));
      Put32(b, static_cast<std::uint32_t>(u >> 32));
    } else {
      const auto s = static_cast<std::int64_t>(std::clamp(v, -1.0, 1.0) * 2147483647.0);
      for (int k = 4 - bytes; k < 4; ++k) b.push_back(static_cast<std::uint8_t>(s >> (8 * k)));
    }
  }
  return b;
}

void Waves(const fs::path& dir) {
  Save(dir / "float32.wav", Wave(3, false, 1, 22050, 32, Tone(64, 1, 4, true)));
  Save(dir / "float32x.wav", Wave(3, true, 2, 44100, 32, Tone(64, 2, 4, true)));
  Save(dir / "float64.wav", Wave(3, false, 2, 48000, 64, Tone(48, 2, 8, true)));
  Save(dir / "float64x.wav", Wave(3, true, 1, 8000, 64, Tone(48, 1, 8, true)));
  Save(dir / "pcm24.wav", Wave(1, false, 2, 44100, 24, Tone(64, 2, 3, false)));
  Save(dir / "pcm24x.wav", Wave(1, true, 1, 44100, 24, Tone(64, 1, 3, false)));
  Save(dir / "pcm32.wav", Wave(1, false, 1, 96000, 32, Tone(64, 1, 4, false)));
  Save(dir / "six.wav", Wave(1, false, 6, 44100, 16, Tone(32, 6, 2, false)));
  Save(dir / "sixx.wav", Wave(1, true, 6, 48000, 16, Tone(32, 6, 2, false)));
  Save(dir / "fast.wav", Wave(1, false, 2, 192000, 16, Tone(64, 2, 2, false)));
  Save(dir / "u8.wav", Wave(1, false, 1, 11025, 8, Bytes(64, 0x80)));
  // Compressed kinds through libsndfile.
  for (auto [name, subtype] :
       {std::pair{"ima.wav", SF_FORMAT_IMA_ADPCM}, std::pair{"msadpcm.wav", SF_FORMAT_MS_ADPCM},
        std::pair{"gsm.wav", SF_FORMAT_GSM610}, std::pair{"ulaw.wav", SF_FORMAT_ULAW}}) {
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* f = sf_open((dir / name).c_str(), SFM_WRITE, &info);
    if (!f) continue;
    short s[800];
    for (int i = 0; i < 800; ++i) s[i] = static_cast<short>(20000 * std::sin(i * 0.1));
    sf_writef_short(f, s, 800);
    sf_close(f);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  fs::create_directories(root / "image_load");
  fs::create_directories(root / "wave_load");
  Images(root / "image_load");
  Waves(root / "wave_load");
  return 0;
}
