// Pixel format conversions: every format to and from ARGB. Narrow channels are widened by
// scaling (so 5-bit 31 becomes 255, not 248) and narrowed with rounding; channels a format
// lacks read as opaque alpha, and palette indices read as grey (no palette is kept).
#include "platform/d3dx9/pixel_formats.h"

#include <squish.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/d3d9/formats.h"

namespace d3dx {

namespace {

// Widens a value of bits width to 8 bits.
inline std::uint32_t Widen(std::uint32_t v, int bits) {
  const std::uint32_t max = (1u << bits) - 1;
  return (v * 255 + max / 2) / max;
}

// Narrows an 8-bit value to bits width, rounding.
inline std::uint32_t Narrow(std::uint32_t v, int bits) {
  const std::uint32_t max = (1u << bits) - 1;
  return (v * max + 127) / 255;
}

inline std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

inline std::uint32_t Luminance(std::uint32_t c) {
  const std::uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  return (r * 2126 + g * 7152 + b * 722 + 5000) / 10000;
}

inline std::uint16_t Load16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t Load32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void Store16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Store32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p[2] = static_cast<std::uint8_t>(v >> 16);
  p[3] = static_cast<std::uint8_t>(v >> 24);
}

// One pixel of an uncompressed format to ARGB.
std::uint32_t DecodePixel(std::uint32_t format, const std::uint8_t* p) {
  using namespace fmt;
  switch (format) {
    case kR8G8B8:
      return Argb(0xFF, p[2], p[1], p[0]);
    case kA8R8G8B8:
      return Load32(p);
    case kX8R8G8B8:
      return Load32(p) | 0xFF000000u;
    case kR5G6B5: {
      const std::uint32_t v = Load16(p);
      return Argb(0xFF, Widen(v >> 11, 5), Widen(v >> 5 & 0x3F, 6), Widen(v & 0x1F, 5));
    }
    case kX1R5G5B5:
    case kA1R5G5B5: {
      const std::uint32_t v = Load16(p);
      const std::uint32_t a = format == kX1R5G5B5 || (v & 0x8000) ? 0xFF : 0;
      return Argb(a, Widen(v >> 10 & 0x1F, 5), Widen(v >> 5 & 0x1F, 5), Widen(v & 0x1F, 5));
    }
    case kA4R4G4B4:
    case kX4R4G4B4: {
      const std::uint32_t v = Load16(p);
      const std::uint32_t a = format == kX4R4G4B4 ? 0xFF : Widen(v >> 12, 4);
      return Argb(a, Widen(v >> 8 & 0xF, 4), Widen(v >> 4 & 0xF, 4), Widen(v & 0xF, 4));
    }
    case kR3G3B2:
      return Argb(0xFF, Widen(p[0] >> 5, 3), Widen(p[0] >> 2 & 7, 3), Widen(p[0] & 3, 2));
    case kA8:
      return Argb(p[0], 0, 0, 0);
    case kA8R3G3B2:
      return Argb(p[1], Widen(p[0] >> 5, 3), Widen(p[0] >> 2 & 7, 3), Widen(p[0] & 3, 2));
    case kA2B10G10R10: {
      const std::uint32_t v = Load32(p);
      return Argb(Widen(v >> 30, 2), Widen(v & 0x3FF, 10), Widen(v >> 10 & 0x3FF, 10),
                  Widen(v >> 20 & 0x3FF, 10));
    }
    case kA2R10G10B10: {
      const std::uint32_t v = Load32(p);
      return Argb(Widen(v >> 30, 2), Widen(v >> 20 & 0x3FF, 10), Widen(v >> 10 & 0x3FF, 10),
                  Widen(v & 0x3FF, 10));
    }
    case kA8B8G8R8:
      return Argb(p[3], p[0], p[1], p[2]);
    case kX8B8G8R8:
      return Argb(0xFF, p[0], p[1], p[2]);
    case kG16R16:
      return Argb(0xFF, Load16(p) >> 8, Load16(p + 2) >> 8, 0xFF);
    case kA16B16G16R16:
      return Argb(Load16(p + 6) >> 8, Load16(p) >> 8, Load16(p + 2) >> 8, Load16(p + 4) >> 8);
    case kP8:
    case kL8:
      return Argb(0xFF, p[0], p[0], p[0]);
    case kA8P8:
    case kA8L8:
      return Argb(p[1], p[0], p[0], p[0]);
    case kA4L4: {
      const std::uint32_t l = Widen(p[0] & 0xF, 4);
      return Argb(Widen(p[0] >> 4, 4), l, l, l);
    }
    default:
      return 0;
  }
}

// One ARGB pixel into an uncompressed format.
void EncodePixel(std::uint32_t format, std::uint32_t c, std::uint8_t* p) {
  using namespace fmt;
  const std::uint32_t a = c >> 24, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
  switch (format) {
    case kR8G8B8:
      p[0] = static_cast<std::uint8_t>(b);
      p[1] = static_cast<std::uint8_t>(g);
      p[2] = static_cast<std::uint8_t>(r);
      break;
    case kA8R8G8B8:
      Store32(p, c);
      break;
    case kX8R8G8B8:
      Store32(p, c | 0xFF000000u);
      break;
    case kR5G6B5:
      Store16(p, Narrow(r, 5) << 11 | Narrow(g, 6) << 5 | Narrow(b, 5));
      break;
    case kX1R5G5B5:
    case kA1R5G5B5: {
      const std::uint32_t bit = format == kX1R5G5B5 || a >= 128 ? 0x8000 : 0;
      Store16(p, bit | Narrow(r, 5) << 10 | Narrow(g, 5) << 5 | Narrow(b, 5));
      break;
    }
    case kA4R4G4B4:
    case kX4R4G4B4: {
      const std::uint32_t a4 = format == kX4R4G4B4 ? 0xF : Narrow(a, 4);
      Store16(p, a4 << 12 | Narrow(r, 4) << 8 | Narrow(g, 4) << 4 | Narrow(b, 4));
      break;
    }
    case kR3G3B2:
      p[0] = static_cast<std::uint8_t>(Narrow(r, 3) << 5 | Narrow(g, 3) << 2 | Narrow(b, 2));
      break;
    case kA8:
      p[0] = static_cast<std::uint8_t>(a);
      break;
    case kA8R3G3B2:
      p[0] = static_cast<std::uint8_t>(Narrow(r, 3) << 5 | Narrow(g, 3) << 2 | Narrow(b, 2));
      p[1] = static_cast<std::uint8_t>(a);
      break;
    case kA2B10G10R10:
      Store32(p, Narrow(a, 2) << 30 | Narrow(b, 10) << 20 | Narrow(g, 10) << 10 | Narrow(r, 10));
      break;
    case kA2R10G10B10:
      Store32(p, Narrow(a, 2) << 30 | Narrow(r, 10) << 20 | Narrow(g, 10) << 10 | Narrow(b, 10));
      break;
    case kA8B8G8R8:
    case kX8B8G8R8:
      p[0] = static_cast<std::uint8_t>(r);
      p[1] = static_cast<std::uint8_t>(g);
      p[2] = static_cast<std::uint8_t>(b);
      p[3] = static_cast<std::uint8_t>(format == kX8B8G8R8 ? 0xFF : a);
      break;
    case kG16R16:
      Store16(p, r * 257);
      Store16(p + 2, g * 257);
      break;
    case kA16B16G16R16:
      Store16(p, r * 257);
      Store16(p + 2, g * 257);
      Store16(p + 4, b * 257);
      Store16(p + 6, a * 257);
      break;
    case kP8:
    case kL8:
      p[0] = static_cast<std::uint8_t>(Luminance(c));
      break;
    case kA8P8:
    case kA8L8:
      p[0] = static_cast<std::uint8_t>(Luminance(c));
      p[1] = static_cast<std::uint8_t>(a);
      break;
    case kA4L4:
      p[0] = static_cast<std::uint8_t>(Narrow(a, 4) << 4 | Narrow(Luminance(c), 4));
      break;
    default:
      break;
  }
}

int SquishFlags(std::uint32_t format) {
  switch (format) {
    case fmt::kDxt1:
      return squish::kDxt1;
    case fmt::kDxt2:
    case fmt::kDxt3:
      return squish::kDxt3;
    default:
      return squish::kDxt5;
  }
}

// DXT2 and DXT4 hold colours premultiplied by alpha.
bool Premultiplied(std::uint32_t format) {
  return format == fmt::kDxt2 || format == fmt::kDxt4;
}

bool ReadBlocks(std::uint32_t format, const std::uint8_t* bits, std::size_t pitch, int width,
                int height, std::uint32_t* out) {
  const int block_bytes = format == fmt::kDxt1 ? 8 : 16;
  const int flags = SquishFlags(format);
  std::uint8_t rgba[16 * 4];
  for (int by = 0; by < height; by += 4) {
    const std::uint8_t* row = bits + static_cast<std::size_t>(by / 4) * pitch;
    for (int bx = 0; bx < width; bx += 4) {
      squish::Decompress(rgba, row + static_cast<std::size_t>(bx / 4) * block_bytes, flags);
      for (int i = 0; i < 16; ++i) {
        const int x = bx + i % 4, y = by + i / 4;
        if (x >= width || y >= height) continue;
        std::uint32_t r = rgba[i * 4], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2];
        const std::uint32_t a = rgba[i * 4 + 3];
        if (Premultiplied(format) && a > 0 && a < 255) {
          r = r * 255 / a > 255 ? 255 : r * 255 / a;
          g = g * 255 / a > 255 ? 255 : g * 255 / a;
          b = b * 255 / a > 255 ? 255 : b * 255 / a;
        }
        out[static_cast<std::size_t>(y) * width + x] = Argb(a, r, g, b);
      }
    }
  }
  return true;
}

bool WriteBlocks(std::uint32_t format, const std::uint32_t* argb, int width, int height,
                 std::uint8_t* bits, std::size_t pitch) {
  const int block_bytes = format == fmt::kDxt1 ? 8 : 16;
  const int flags = SquishFlags(format) | squish::kColourRangeFit;
  std::uint8_t rgba[16 * 4];
  for (int by = 0; by < height; by += 4) {
    std::uint8_t* row = bits + static_cast<std::size_t>(by / 4) * pitch;
    for (int bx = 0; bx < width; bx += 4) {
      int mask = 0;
      for (int i = 0; i < 16; ++i) {
        const int x = bx + i % 4, y = by + i / 4;
        std::uint32_t c = 0;
        if (x < width && y < height) {
          c = argb[static_cast<std::size_t>(y) * width + x];
          mask |= 1 << i;
        }
        std::uint32_t a = c >> 24, r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, b = c & 0xFF;
        if (Premultiplied(format)) {
          r = r * a / 255;
          g = g * a / 255;
          b = b * a / 255;
        }
        rgba[i * 4] = static_cast<std::uint8_t>(r);
        rgba[i * 4 + 1] = static_cast<std::uint8_t>(g);
        rgba[i * 4 + 2] = static_cast<std::uint8_t>(b);
        rgba[i * 4 + 3] = static_cast<std::uint8_t>(a);
      }
      squish::CompressMasked(rgba, mask, row + static_cast<std::size_t>(bx / 4) * block_bytes,
                             flags);
    }
  }
  return true;
}

}  // namespace

bool FormatKnown(std::uint32_t format) {
  return FormatBits(format) != 0;
}

bool FormatCompressed(std::uint32_t format) {
  return format == fmt::kDxt1 || format == fmt::kDxt2 || format == fmt::kDxt3 ||
         format == fmt::kDxt4 || format == fmt::kDxt5;
}

bool FormatHasAlpha(std::uint32_t format) {
  using namespace fmt;
  switch (format) {
    case kA8R8G8B8:
    case kA1R5G5B5:
    case kA4R4G4B4:
    case kA8:
    case kA8R3G3B2:
    case kA2B10G10R10:
    case kA8B8G8R8:
    case kA2R10G10B10:
    case kA16B16G16R16:
    case kA8P8:
    case kA8L8:
    case kA4L4:
    case kDxt1:
    case kDxt2:
    case kDxt3:
    case kDxt4:
    case kDxt5:
      return true;
    default:
      return false;
  }
}

int FormatBits(std::uint32_t format) {
  // Depth-stencil formats hold no pixels the loaders can read or write.
  const auto f = static_cast<D3DFORMAT>(format);
  return d3d9_internal::IsDepthFormat(f) ? 0 : d3d9_internal::FormatBits(f);
}

std::size_t FormatRowBytes(std::uint32_t format, int width) {
  if (width <= 0) return 0;
  if (FormatCompressed(format)) {
    return static_cast<std::size_t>((width + 3) / 4) * (format == fmt::kDxt1 ? 8 : 16);
  }
  return static_cast<std::size_t>(width) * (FormatBits(format) / 8);
}

int FormatRowCount(std::uint32_t format, int height) {
  if (height <= 0) return 0;
  return FormatCompressed(format) ? (height + 3) / 4 : height;
}

bool ReadPixels(std::uint32_t format, const std::uint8_t* bits, std::size_t pitch, int width,
                int height, std::uint32_t* out) {
  if (!FormatKnown(format) || width < 0 || height < 0) return false;
  if (FormatCompressed(format)) return ReadBlocks(format, bits, pitch, width, height, out);
  const int bytes = FormatBits(format) / 8;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = bits + static_cast<std::size_t>(y) * pitch;
    std::uint32_t* dst = out + static_cast<std::size_t>(y) * width;
    if (format == fmt::kA8R8G8B8) {
      std::memcpy(dst, row, static_cast<std::size_t>(width) * 4);
      continue;
    }
    for (int x = 0; x < width; ++x) dst[x] = DecodePixel(format, row + x * bytes);
  }
  return true;
}

bool WritePixels(std::uint32_t format, const std::uint32_t* argb, int width, int height,
                 std::uint8_t* bits, std::size_t pitch) {
  if (!FormatKnown(format) || width < 0 || height < 0) return false;
  if (FormatCompressed(format)) return WriteBlocks(format, argb, width, height, bits, pitch);
  const int bytes = FormatBits(format) / 8;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = bits + static_cast<std::size_t>(y) * pitch;
    const std::uint32_t* src = argb + static_cast<std::size_t>(y) * width;
    if (format == fmt::kA8R8G8B8) {
      std::memcpy(row, src, static_cast<std::size_t>(width) * 4);
      continue;
    }
    for (int x = 0; x < width; ++x) EncodePixel(format, src[x], row + x * bytes);
  }
  return true;
}

bool ArgbImage::Resize(int w, int h) {
  if (!ResizeForOverwrite(w, h)) return false;
  std::fill(pixels.begin(), pixels.end(), 0u);
  return true;
}

bool ArgbImage::ResizeForOverwrite(int w, int h) {
  if (w < 0 || h < 0) return false;
  try {
    pixels.clear();
    pixels.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  } catch (const std::bad_alloc&) {
    pixels.clear();
    width = height = 0;
    return false;
  }
  width = w;
  height = h;
  return true;
}

}  // namespace d3dx
