// PNG decoding by hand, its image data inflated with libdeflate in one call: loading pictures
// is mostly inflating, and a whole-buffer inflater is twice as fast as a streaming one. The
// chunks are read here (IHDR, PLTE, tRNS, IDAT, IEND; critical chunks' CRCs checked), the rows
// unfiltered and every colour type, bit depth and interlacing turned into ARGB the way the
// SDL2_image path turns them (16-bit samples cut to their high byte, no gamma applied).
#include <libdeflate.h>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cstring>
#include <memory>
#include <new>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

inline std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

struct Header {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  int depth = 0;
  int colour_type = 0;
  bool interlaced = false;
  int channels = 0;
};

// Colour type and bit depth must be one of the pairs PNG allows.
bool ReadHeader(const std::uint8_t* d, std::uint32_t length, Header* h) {
  if (length != 13) return false;
  h->width = Be32(d);
  h->height = Be32(d + 4);
  h->depth = d[8];
  h->colour_type = d[9];
  if (d[10] != 0 || d[11] != 0 || d[12] > 1) return false;
  h->interlaced = d[12] == 1;
  if (!SizeAcceptable(h->width, h->height)) return false;
  const int depth = h->depth;
  const bool any = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
  const bool wide = depth == 8 || depth == 16;
  switch (h->colour_type) {
    case 0:
      h->channels = 1;
      return any;
    case 2:
      h->channels = 3;
      return wide;
    case 3:
      h->channels = 1;
      return any && depth != 16;
    case 4:
      h->channels = 2;
      return wide;
    case 6:
      h->channels = 4;
      return wide;
    default:
      return false;
  }
}

struct Chunks {
  Header header;
  std::uint32_t palette[256] = {};  // ARGB, alpha from tRNS
  int palette_size = 0;
  bool key = false;  // grey or RGB tRNS: this sample value is transparent
  std::uint16_t key_sample[3] = {};
  const std::uint8_t* data = nullptr;  // the zlib stream: one IDAT, or joined in joined
  std::size_t data_size = 0;
  std::vector<std::uint8_t> joined;
};

// Walks the chunks. A critical chunk with a wrong CRC refuses the file; an ancillary one is
// dropped, as the PNG reader does.
bool ReadChunks(const std::uint8_t* d, std::size_t n, Chunks* c) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 8 || std::memcmp(d, kSignature, 8) != 0) return false;
  std::size_t at = 8;
  bool header = false, end = false;
  const std::uint8_t* trns = nullptr;
  std::uint32_t trns_length = 0;
  std::vector<std::pair<const std::uint8_t*, std::uint32_t>> idat;
  while (!end) {
    if (n - at < 12) return false;
    const std::uint32_t length = Be32(d + at);
    if (length > n - at - 12) return false;
    const std::uint8_t* type = d + at + 4;
    const std::uint8_t* body = type + 4;
    const bool critical = (type[0] & 0x20) == 0;
    const bool crc_ok = libdeflate_crc32(0, type, std::size_t{4} + length) == Be32(body + length);
    at += std::size_t{12} + length;
    if (!crc_ok) {
      if (critical) return false;
      continue;
    }
    if (!header) {
      if (std::memcmp(type, "IHDR", 4) != 0 || !ReadHeader(body, length, &c->header)) return false;
      header = true;
    } else if (std::memcmp(type, "PLTE", 4) == 0) {
      if (length % 3 != 0 || length == 0 || length > 768 || !idat.empty()) return false;
      c->palette_size = static_cast<int>(length / 3);
      for (int i = 0; i < c->palette_size; ++i) {
        const std::uint8_t* p = body + 3 * i;
        c->palette[i] = 0xFF000000u | static_cast<std::uint32_t>(p[0]) << 16 |
                        static_cast<std::uint32_t>(p[1]) << 8 | p[2];
      }
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
      if (idat.empty()) {
        trns = body;
        trns_length = length;
      }
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      idat.emplace_back(body, length);
    } else if (std::memcmp(type, "IEND", 4) == 0) {
      end = true;
    } else if (critical) {
      return false;  // a critical chunk this reader does not know
    }
  }
  const Header& h = c->header;
  // Entries beyond what the depth can index are dropped, as the PNG reader drops them.
  if (h.colour_type == 3 && c->palette_size > 1 << h.depth) c->palette_size = 1 << h.depth;
  if (idat.empty() || (h.colour_type == 3 && c->palette_size == 0)) return false;
  if (trns) {
    // A tRNS of the wrong size for its colour type is ignored, as the PNG reader does.
    if (h.colour_type == 3 && trns_length <= static_cast<std::uint32_t>(c->palette_size)) {
      int clear = 0, partial = 0;
      for (std::uint32_t i = 0; i < trns_length; ++i) {
        c->palette[i] = (c->palette[i] & 0xFFFFFFu) | static_cast<std::uint32_t>(trns[i]) << 24;
        clear += trns[i] == 0;
        partial += trns[i] != 0 && trns[i] != 255;
      }
      // Indices past the palette read as clear black, except where the alphas are more than one
      // colour key: then the palette is expanded and they read as opaque black.
      if (partial || clear > 1) {
        for (int i = c->palette_size; i < 256; ++i) c->palette[i] = 0xFF000000u;
      }
    } else if ((h.colour_type == 0 && trns_length == 2) ||
               (h.colour_type == 2 && trns_length == 6)) {
      c->key = true;
      for (std::uint32_t i = 0; i < trns_length / 2; ++i) {
        c->key_sample[i] = static_cast<std::uint16_t>(trns[2 * i] << 8 | trns[2 * i + 1]);
      }
    }
  }
  if (idat.size() == 1) {
    c->data = idat[0].first;
    c->data_size = idat[0].second;
    return true;
  }
  std::size_t total = 0;
  for (const auto& part : idat) total += part.second;
  try {
    c->joined.reserve(total);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (const auto& part : idat)
    c->joined.insert(c->joined.end(), part.first, part.first + part.second);
  c->data = c->joined.data();
  c->data_size = total;
  return true;
}

inline std::uint8_t Paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
  return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

#if defined(__SSE2__)
// One pixel of three or four bytes into the low lanes of a register (the rest zero), and back.
template <std::size_t kBpp>
__m128i PixelLoad(const std::uint8_t* p) {
  std::int32_t v = 0;
  std::memcpy(&v, p, kBpp);
  return _mm_cvtsi32_si128(v);
}
template <std::size_t kBpp>
void PixelStore(std::uint8_t* p, __m128i pixel) {
  const std::int32_t v = _mm_cvtsi128_si32(pixel);
  std::memcpy(p, &v, kBpp);
}

// Paeth for three or four bytes a pixel (8-bit RGB; 8-bit RGBA, 16-bit grey and alpha), a pixel
// at a time in 16-bit lanes: the choice is made per byte as the scalar loop makes it, in a third
// or a quarter of the steps. The first pixel is done already (its left neighbours are zero).
template <std::size_t kBpp>
void PaethPixels(std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes) {
  static_assert(kBpp == 3 || kBpp == 4);
  const __m128i zero = _mm_setzero_si128();
  auto load = [&](const std::uint8_t* p) { return _mm_unpacklo_epi8(PixelLoad<kBpp>(p), zero); };
  auto abs16 = [](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v)); };
  __m128i a = load(row), c = load(prior);
  for (std::size_t i = kBpp; i + kBpp <= bytes; i += kBpp) {
    const __m128i b = load(prior + i);
    const __m128i pa = abs16(_mm_sub_epi16(b, c)), pb = abs16(_mm_sub_epi16(a, c));
    const __m128i pc = abs16(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
    // a where pa <= pb and pa <= pc, else b where pb <= pc, else c.
    const __m128i not_a = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i not_b = _mm_cmpgt_epi16(pb, pc);
    const __m128i bc = _mm_or_si128(_mm_andnot_si128(not_b, b), _mm_and_si128(not_b, c));
    const __m128i predict = _mm_or_si128(_mm_andnot_si128(not_a, a), _mm_and_si128(not_a, bc));
    const __m128i sum = _mm_add_epi8(_mm_packus_epi16(predict, zero), PixelLoad<kBpp>(row + i));
    PixelStore<kBpp>(row + i, sum);
    a = _mm_unpacklo_epi8(sum, zero);
    c = b;
  }
}

// Sub and Average for three or four bytes a pixel, a pixel at a time: the same sums as the
// scalar loops (each byte wraps on its own; the average rounds down), without the byte-by-byte
// chain through the left neighbour.
template <std::size_t kBpp>
void SubPixels(std::uint8_t* row, const std::uint8_t*, std::size_t bytes) {
  __m128i left = PixelLoad<kBpp>(row);
  for (std::size_t i = kBpp; i + kBpp <= bytes; i += kBpp) {
    left = _mm_add_epi8(left, PixelLoad<kBpp>(row + i));
    PixelStore<kBpp>(row + i, left);
  }
}

template <std::size_t kBpp>
void AveragePixels(std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes) {
  __m128i left = PixelLoad<kBpp>(row);
  const __m128i ones = _mm_set1_epi8(1);
  for (std::size_t i = kBpp; i + kBpp <= bytes; i += kBpp) {
    const __m128i up = PixelLoad<kBpp>(prior + i);
    // floor((left + up) / 2) per byte: the rounded-up average less the carried-out low bit.
    const __m128i mean =
        _mm_sub_epi8(_mm_avg_epu8(left, up), _mm_and_si128(_mm_xor_si128(left, up), ones));
    left = _mm_add_epi8(mean, PixelLoad<kBpp>(row + i));
    PixelStore<kBpp>(row + i, left);
  }
}

// Runs a filter's pixel-at-a-time loop for three or four bytes a pixel; false for other sizes,
// which take the byte loop.
using PixelLoop = void (*)(std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes);
bool ByPixel(PixelLoop three, PixelLoop four, std::uint8_t* row, const std::uint8_t* prior,
             std::size_t bytes, std::size_t bpp) {
  if (bpp == 3) {
    three(row, prior, bytes);
  } else if (bpp == 4) {
    four(row, prior, bytes);
  } else {
    return false;
  }
  return true;
}
#endif

// Undoes one row's filter in place; prior is the previous row unfiltered (zeros for the first).
bool Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t bytes,
              std::size_t bpp) {
  switch (filter) {
    case 0:
      return true;
    case 1:
#if defined(__SSE2__)
      if (ByPixel(SubPixels<3>, SubPixels<4>, row, prior, bytes, bpp)) return true;
#endif
      for (std::size_t i = bpp; i < bytes; ++i)
        row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
      return true;
    case 2:
      for (std::size_t i = 0; i < bytes; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      return true;
    case 3:
      for (std::size_t i = 0; i < bpp && i < bytes; ++i) {
        row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
      }
#if defined(__SSE2__)
      if (ByPixel(AveragePixels<3>, AveragePixels<4>, row, prior, bytes, bpp)) return true;
#endif
      for (std::size_t i = bpp; i < bytes; ++i) {
        row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - bpp] + prior[i]) >> 1));
      }
      return true;
    case 4:
      for (std::size_t i = 0; i < bpp && i < bytes; ++i) {
        row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
      }
#if defined(__SSE2__)
      if (ByPixel(PaethPixels<3>, PaethPixels<4>, row, prior, bytes, bpp)) return true;
#endif
      for (std::size_t i = bpp; i < bytes; ++i) {
        row[i] = static_cast<std::uint8_t>(row[i] + Paeth(row[i - bpp], prior[i], prior[i - bpp]));
      }
      return true;
    default:
      return false;
  }
}

// One unfiltered row of samples into ARGB.
void ConvertRow(const Chunks& c, const std::uint8_t* s, std::uint32_t width, std::uint32_t* out) {
  const Header& h = c.header;
  const int depth = h.depth;
  auto grey = [](std::uint32_t v) { return 0xFF000000u | v << 16 | v << 8 | v; };
  switch (h.colour_type) {
    case 0:
    case 3: {
      if (depth == 16) {
        for (std::uint32_t x = 0; x < width; ++x) {
          const std::uint32_t v = s[2 * x];
          const bool clear = c.key && (s[2 * x] << 8 | s[2 * x + 1]) == c.key_sample[0];
          out[x] = clear ? grey(v) & 0xFFFFFFu : grey(v);
        }
        return;
      }
      const int per_byte = 8 / depth, mask = (1 << depth) - 1, scale = 255 / mask;
      for (std::uint32_t x = 0; x < width; ++x) {
        const int shift = 8 - depth * (1 + static_cast<int>(x % per_byte));
        const int v = s[x / per_byte] >> shift & mask;
        if (h.colour_type == 3) {
          out[x] = c.palette[v];
        } else {
          const bool clear = c.key && v == c.key_sample[0];
          out[x] = clear ? grey(v * scale) & 0xFFFFFFu : grey(v * scale);
        }
      }
      return;
    }
    case 2: {
      const int step = depth / 8 * 3, lo = depth / 8 - 1;
      for (std::uint32_t x = 0; x < width; ++x, s += step) {
        std::uint32_t argb = 0xFF000000u | static_cast<std::uint32_t>(s[0]) << 16 |
                             static_cast<std::uint32_t>(s[depth / 8]) << 8 | s[depth / 4];
        if (c.key && (s[0] << 8 * lo | s[lo]) == c.key_sample[0] &&
            (s[depth / 8] << 8 * lo | s[depth / 8 + lo]) == c.key_sample[1] &&
            (s[depth / 4] << 8 * lo | s[depth / 4 + lo]) == c.key_sample[2]) {
          argb &= 0xFFFFFFu;
        }
        out[x] = argb;
      }
      return;
    }
    case 4: {
      const int step = depth / 4;
      for (std::uint32_t x = 0; x < width; ++x, s += step) {
        out[x] = static_cast<std::uint32_t>(s[depth / 8]) << 24 | (grey(s[0]) & 0xFFFFFFu);
      }
      return;
    }
    default: {  // 6
      if (depth == 8 && std::endian::native == std::endian::little) {
        std::uint32_t x = 0;
#if defined(__SSE2__)
        const __m128i ag = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
        const __m128i low = _mm_set1_epi32(0xFF);
        for (; x + 4 <= width; x += 4) {
          const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
          const __m128i rb = _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low),
                                          _mm_slli_epi32(_mm_and_si128(v, low), 16));
          _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                           _mm_or_si128(_mm_and_si128(v, ag), rb));
        }
#endif
        for (; x < width; ++x) {
          std::uint32_t v;  // A B G R as it lies in memory, read little-endian
          std::memcpy(&v, s + 4 * x, 4);
          out[x] = (v & 0xFF00FF00u) | (v >> 16 & 0xFFu) | (v & 0xFFu) << 16;
        }
        return;
      }
      const int step = depth / 2, at = depth / 8;
      for (std::uint32_t x = 0; x < width; ++x, s += step) {
        out[x] = static_cast<std::uint32_t>(s[3 * at]) << 24 |
                 static_cast<std::uint32_t>(s[0]) << 16 | static_cast<std::uint32_t>(s[at]) << 8 |
                 s[2 * at];
      }
      return;
    }
  }
}

struct Pass {
  int x0, y0, dx, dy;
};
constexpr Pass kWhole[1] = {{0, 0, 1, 1}};
constexpr Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

struct DecompressorFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

PngResult DecodePng(const std::uint8_t* data, std::size_t size, ArgbImage* out) {
  Chunks c;
  if (!ReadChunks(data, size, &c)) return PngResult::kRefused;
  const Header& h = c.header;
  const int bits = h.channels * h.depth;
  const std::size_t bpp = bits >= 8 ? static_cast<std::size_t>(bits / 8) : 1;
  const Pass* passes = h.interlaced ? kAdam7 : kWhole;
  const int pass_count = h.interlaced ? 7 : 1;
  // The inflated size follows from the header: every pass's rows, each with its filter byte.
  std::uint64_t total = 0, widest = 0;
  for (int p = 0; p < pass_count; ++p) {
    const Pass& pass = passes[p];
    const std::uint64_t w = (h.width - pass.x0 + pass.dx - 1) / pass.dx;
    const std::uint64_t rows = (h.height - pass.y0 + pass.dy - 1) / pass.dy;
    if (h.width <= static_cast<std::uint32_t>(pass.x0) ||
        h.height <= static_cast<std::uint32_t>(pass.y0)) {
      continue;
    }
    const std::uint64_t row_bytes = (w * bits + 7) / 8;
    total += rows * (1 + row_bytes);
    if (row_bytes > widest) widest = row_bytes;
  }
  if (total > kMaxDecodeAllocation) return PngResult::kRefused;
  std::unique_ptr<libdeflate_decompressor, DecompressorFree> inflater(
      libdeflate_alloc_decompressor());
  std::unique_ptr<std::uint8_t[]> raw(new (std::nothrow) std::uint8_t[total]);
  std::unique_ptr<std::uint8_t[]> zeros(new (std::nothrow) std::uint8_t[widest]());
  std::unique_ptr<std::uint32_t[]> line(h.interlaced ? new (std::nothrow) std::uint32_t[h.width]
                                                     : nullptr);
  if (!inflater || !raw || !zeros || (h.interlaced && !line) ||
      // Every row is converted below (the passes of an interlaced picture cover every pixel), or
      // the picture is refused.
      !out->ResizeForOverwrite(h.width, h.height)) {
    return PngResult::kRefused;
  }
  std::size_t inflated = 0;
  const libdeflate_result result =
      libdeflate_zlib_decompress(inflater.get(), c.data, c.data_size, raw.get(), total, &inflated);
  // More image data than the picture needs is tolerated by the PNG reader: leave it to that.
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE) return PngResult::kOther;
  if (result != LIBDEFLATE_SUCCESS || inflated != total) return PngResult::kRefused;
  std::uint8_t* at = raw.get();
  for (int p = 0; p < pass_count; ++p) {
    const Pass& pass = passes[p];
    if (h.width <= static_cast<std::uint32_t>(pass.x0) ||
        h.height <= static_cast<std::uint32_t>(pass.y0)) {
      continue;
    }
    const std::uint32_t w = (h.width - pass.x0 + pass.dx - 1) / pass.dx;
    const std::size_t row_bytes = (static_cast<std::size_t>(w) * bits + 7) / 8;
    const std::uint8_t* prior = zeros.get();
    for (std::uint32_t y = pass.y0; y < h.height; y += pass.dy) {
      std::uint8_t* row = at + 1;
      if (!Unfilter(at[0], row, prior, row_bytes, bpp)) return PngResult::kRefused;
      if (!h.interlaced) {
        ConvertRow(c, row, w, out->Row(static_cast<int>(y)));
      } else {
        ConvertRow(c, row, w, line.get());
        std::uint32_t* target = out->Row(static_cast<int>(y));
        for (std::uint32_t x = 0; x < w; ++x) target[pass.x0 + x * pass.dx] = line[x];
      }
      prior = row;
      at += 1 + row_bytes;
    }
  }
  return PngResult::kDecoded;
}

}  // namespace d3dx
