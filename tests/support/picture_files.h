// Picture files written byte by byte, as other programs write them, for the picture tests and
// the fuzz seeds: little- and big-endian fields, PNG (any layout), ICO (bitmap or PNG inside), TIFF
// and WebP files of a picture given as 0xAARRGGBB pixels, top row first, and CMYK or YCCK JPEG
// written through libjpeg. Header-only, so that the fuzz tree, built apart from the tests, takes
// the very same writers.
#pragma once

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <webp/encode.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace picture_files {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void PutBe32(Bytes& b, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}
inline void PutText(Bytes& b, const std::string& s) {
  b.insert(b.end(), s.begin(), s.end());
}

// An icon holding one 32-bit bitmap: rows bottom up, the height doubled for the AND mask,
// which follows empty (a row of mask bits padded to 4 bytes).
inline Bytes IcoFile(const std::uint32_t* argb, int w, int h) {
  const std::uint32_t mask_row = static_cast<std::uint32_t>((w + 31) / 32 * 4);
  const std::uint32_t bytes = 40 + static_cast<std::uint32_t>(w * h) * 4 + mask_row * h;
  Bytes b;
  Put16(b, 0);
  Put16(b, 1);  // an icon
  Put16(b, 1);  // one image
  b.insert(b.end(), {static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(h), 0, 0});
  Put16(b, 1);
  Put16(b, 32);
  Put32(b, bytes);
  Put32(b, 22);  // where the image starts: after this one directory entry
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(w));
  Put32(b, static_cast<std::uint32_t>(h * 2));
  Put16(b, 1);
  Put16(b, 32);
  for (int i = 0; i < 6; ++i) Put32(b, 0);
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) Put32(b, argb[y * w + x]);
  }
  b.insert(b.end(), static_cast<std::size_t>(mask_row * h), 0);
  return b;
}

inline std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// A zlib stream of stored (uncompressed) deflate blocks: no library needed.
inline Bytes ZlibStored(const Bytes& raw) {
  Bytes z = {0x78, 0x01};
  std::uint32_t a = 1, b = 0;
  for (std::size_t at = 0; at < raw.size() || at == 0;) {
    const std::size_t take = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z.push_back(at + take == raw.size() ? 1 : 0);
    Put16(z, static_cast<unsigned>(take));
    Put16(z, static_cast<unsigned>(~take & 0xFFFF));
    z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
             raw.begin() + static_cast<std::ptrdiff_t>(at + take));
    at += take;
    if (take == 0) break;
  }
  for (std::uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutBe32(z, b << 16 | a);
  return z;
}

inline void PngChunk(Bytes& png, const char* type, const Bytes& data) {
  PutBe32(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = png.size();
  PutText(png, type);
  png.insert(png.end(), data.begin(), data.end());
  PutBe32(png, Crc32(png.data() + start, png.size() - start));
}

inline Bytes PngStart(int w, int h, int depth, int colour_type, bool interlaced) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, header;
  PutBe32(header, static_cast<std::uint32_t>(w));
  PutBe32(header, static_cast<std::uint32_t>(h));
  header.insert(header.end(),
                {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colour_type), 0, 0,
                 static_cast<std::uint8_t>(interlaced)});
  PngChunk(png, "IHDR", header);
  return png;
}

// A PNG of 8-bit RGBA, its data in stored deflate blocks.
inline Bytes PngFile(const std::uint32_t* argb, int w, int h) {
  Bytes raw;
  for (int i = 0; i < w * h; ++i) {
    if (i % w == 0) raw.push_back(0);  // no filter
    const std::uint32_t c = argb[i];
    raw.insert(raw.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                           static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)});
  }
  Bytes png = PngStart(w, h, 8, 6, false);
  PngChunk(png, "IDAT", ZlibStored(raw));
  PngChunk(png, "IEND", {});
  return png;
}

// A PNG of any colour type, bit depth and interlacing, with a tRNS chunk as stored (or none).
struct PngLayout {
  int colour_type;
  int depth;
  bool interlaced;
  Bytes trns;
};

inline int PngChannels(int colour_type) {
  return colour_type == 2 ? 3 : colour_type == 4 ? 2 : colour_type == 6 ? 4 : 1;
}

// Samples of every value the depth holds; palette indices into 6 entries (4 in the palette).
inline unsigned PngSample(const PngLayout& l, int x, int y, int c) {
  const unsigned v = static_cast<unsigned>(x * 37 + y * 101 + c * 59) * 2654435761u >> 7;
  return l.colour_type == 3 ? v % 6 : v & ((1u << l.depth) - 1);
}

// The picture of PngSample; row r of each pass filtered with filter r % 5, so that every
// filter meets every depth, and the data split over two IDAT chunks.
inline Bytes PngLayoutFile(const PngLayout& l, int w, int h) {
  const int channels = PngChannels(l.colour_type), bits = channels * l.depth;
  const int bpp = bits >= 8 ? bits / 8 : 1;
  static const int kPasses[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                    {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  static const int kWhole[1][4] = {{0, 0, 1, 1}};
  const int(*passes)[4] = l.interlaced ? kPasses : kWhole;
  Bytes raw;
  for (int p = 0; p < (l.interlaced ? 7 : 1); ++p) {
    const int x0 = passes[p][0], y0 = passes[p][1], dx = passes[p][2], dy = passes[p][3];
    if (x0 >= w || y0 >= h) continue;
    const int pw = (w - x0 + dx - 1) / dx;
    const std::size_t row_bytes = (static_cast<std::size_t>(pw) * bits + 7) / 8;
    Bytes prior(row_bytes, 0);
    for (int y = y0, r = 0; y < h; y += dy, ++r) {
      Bytes row(row_bytes, 0);
      for (int i = 0; i < pw; ++i) {
        for (int c = 0; c < channels; ++c) {
          const unsigned v = PngSample(l, x0 + i * dx, y, c);
          const std::size_t bit = static_cast<std::size_t>(i * channels + c) * l.depth;
          if (l.depth == 16) {
            row[bit / 8] = static_cast<std::uint8_t>(v >> 8);
            row[bit / 8 + 1] = static_cast<std::uint8_t>(v);
          } else {
            row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - l.depth - bit % 8));
          }
        }
      }
      const int filter = r % 5;
      raw.push_back(static_cast<std::uint8_t>(filter));
      for (std::size_t i = 0; i < row_bytes; ++i) {
        const int a = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0, b = prior[i];
        const int c = i >= static_cast<std::size_t>(bpp) ? prior[i - bpp] : 0;
        const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
        const int predict[5] = {0, a, b, (a + b) / 2, pa <= pb && pa <= pc ? a : pb <= pc ? b : c};
        raw.push_back(static_cast<std::uint8_t>(row[i] - predict[filter]));
      }
      prior = row;
    }
  }
  const Bytes packed = ZlibStored(raw);
  Bytes png = PngStart(w, h, l.depth, l.colour_type, l.interlaced);
  PngChunk(png, "gAMA", {0, 0, 0x6E, 0x24});  // 1/2.2, which readers here do not apply
  if (l.colour_type == 3) PngChunk(png, "PLTE", {200, 10, 20, 30, 40, 50, 0, 255, 0, 9, 9, 9});
  if (!l.trns.empty()) PngChunk(png, "tRNS", l.trns);
  const auto half = static_cast<std::ptrdiff_t>(packed.size() / 2);
  PngChunk(png, "IDAT", Bytes(packed.begin(), packed.begin() + half));
  PngChunk(png, "IDAT", Bytes(packed.begin() + half, packed.end()));
  PngChunk(png, "IEND", {});
  return png;
}

// An icon whose one picture is a whole PNG file of w by h pixels (as icon writers store 256-pixel
// pictures).
inline Bytes IcoPngFile(const Bytes& png, int w, int h) {
  Bytes b;
  Put16(b, 0);
  Put16(b, 1);
  Put16(b, 1);
  b.insert(b.end(),
           {static_cast<std::uint8_t>(w & 0xFF), static_cast<std::uint8_t>(h & 0xFF), 0, 0});
  Put16(b, 1);
  Put16(b, 32);
  Put32(b, static_cast<std::uint32_t>(png.size()));
  Put32(b, 22);
  b.insert(b.end(), png.begin(), png.end());
  return b;
}

// An uncompressed TIFF, one strip, little- or big-endian: RGB, or RGBA with alpha as extra
// sample 2 (unassociated, straight) or 1 (associated: the colours stored multiplied by alpha).
inline Bytes TiffFile(const std::uint32_t* argb, int w, int h, bool alpha, bool big_endian = false,
                      unsigned extra_sample = 2) {
  const unsigned samples = alpha ? 4 : 3;
  const unsigned strip = static_cast<unsigned>(w * h) * samples;
  auto put16 = [big_endian](Bytes& b, unsigned v) {
    if (big_endian) b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
    if (!big_endian) b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  auto put32 = [&](Bytes& b, std::uint32_t v) {
    put16(b, big_endian ? v >> 16 : v & 0xFFFF);
    put16(b, big_endian ? v & 0xFFFF : v >> 16);
  };
  struct Entry {
    unsigned tag, type, value;
  };
  std::vector<Entry> entries = {{256, 3, static_cast<unsigned>(w)},
                                {257, 3, static_cast<unsigned>(h)},
                                {258, 3, 8},
                                {259, 3, 1},
                                {262, 3, 2},
                                {273, 4, 0},
                                {277, 3, samples},
                                {278, 3, static_cast<unsigned>(h)},
                                {279, 4, strip},
                                {284, 3, 1}};
  if (alpha) entries.push_back({338, 3, extra_sample});
  const unsigned data = 8 + 2 + static_cast<unsigned>(entries.size()) * 12 + 4;
  Bytes b = big_endian ? Bytes{'M', 'M', 0, 42} : Bytes{'I', 'I', 42, 0};
  put32(b, 8);
  put16(b, static_cast<unsigned>(entries.size()));
  for (const Entry& e : entries) {
    put16(b, e.tag);
    put16(b, e.type);
    put32(b, 1);
    // A SHORT sits in the first two bytes of the value field.
    if (e.type == 3) {
      put16(b, e.value);
      put16(b, 0);
    } else {
      put32(b, e.tag == 273 ? data : e.value);
    }
  }
  put32(b, 0);
  for (int i = 0; i < w * h; ++i) {
    const std::uint32_t c = argb[i], a = alpha ? c >> 24 : 255;
    const auto stored = [&](unsigned shift) {
      const std::uint32_t v = c >> shift & 0xFF;
      return static_cast<std::uint8_t>(extra_sample == 1 ? (v * a + 127) / 255 : v);
    };
    b.insert(b.end(), {stored(16), stored(8), stored(0)});
    if (alpha) b.push_back(static_cast<std::uint8_t>(a));
  }
  return b;
}

// A TIFF header and one directory of SHORT fields (tag, value), little-endian, filled with 0x5A up
// to total bytes: for headers that claim what the data does not hold.
inline Bytes TiffOfFields(std::initializer_list<std::pair<unsigned, unsigned>> fields,
                          std::size_t total) {
  Bytes b = {'I', 'I', 42, 0};
  Put32(b, 8);
  Put16(b, static_cast<unsigned>(fields.size()));
  for (const auto& [tag, value] : fields) {
    Put16(b, tag);
    Put16(b, 3);
    Put32(b, 1);
    Put32(b, value);
  }
  Put32(b, 0);
  if (b.size() < total) b.resize(total, 0x5A);
  return b;
}

// Found by fuzzing: 195 bytes claiming 5 by 65534 pixels of 65534 samples, 65280 rows a strip,
// uncompressed. libtiff once asked for one strip of 21,390,297,600 bytes for it.
inline Bytes HugeStripTiff() {
  return TiffOfFields({{256, 5},
                       {257, 65534},
                       {258, 8},
                       {259, 1},
                       {262, 2},
                       {273, 136},
                       {277, 65534},
                       {278, 65280},
                       {279, 45},
                       {284, 1}},
                      195);
}

// A 16 by 16 LZW-compressed RGB picture in tiles of side by side pixels (data not included).
inline Bytes TiledTiff(unsigned side) {
  return TiffOfFields({{256, 16},
                       {257, 16},
                       {258, 8},
                       {259, 5},
                       {262, 2},
                       {277, 3},
                       {322, side},
                       {323, side},
                       {324, 200},
                       {325, 10}},
                      256);
}

// A lossless WebP.
inline Bytes WebpFile(const std::uint32_t* argb, int w, int h) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(w * h) * 4);
  for (int i = 0; i < w * h; ++i) {
    rgba[4 * i] = static_cast<std::uint8_t>(argb[i] >> 16);
    rgba[4 * i + 1] = static_cast<std::uint8_t>(argb[i] >> 8);
    rgba[4 * i + 2] = static_cast<std::uint8_t>(argb[i]);
    rgba[4 * i + 3] = static_cast<std::uint8_t>(argb[i] >> 24);
  }
  std::uint8_t* out = nullptr;
  const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), w, h, w * 4, &out);
  Bytes file(out, out + size);
  WebPFree(out);
  return file;
}

// A JPEG written by libjpeg in CMYK or YCCK (at quality 100, no subsampling) from cmyk: 4 bytes
// a pixel, as Adobe programs store them, inverted, 0 meaning full ink.
inline Bytes CmykJpegFile(const std::vector<std::uint8_t>& cmyk, int w, int h, bool ycck) {
  jpeg_compress_struct c{};
  jpeg_error_mgr err{};
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, ycck ? JCS_YCCK : JCS_CMYK);
  jpeg_set_quality(&c, 100, TRUE);
  for (int i = 0; i < c.num_components; ++i) {
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  }
  c.write_Adobe_marker = TRUE;
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < h; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(cmyk.data() + static_cast<std::size_t>(y) * w * 4);
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  Bytes file(out, out + size);
  std::free(out);
  return file;
}

}  // namespace picture_files
