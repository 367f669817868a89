// Texel format table and conversions; see formats.h. Written by hand because each format's
// bit layout is fixed by the platform; libsquish decodes the block-compressed ones.
#include "platform/d3d9/formats.h"

#include <squish.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace d3d9_internal {

namespace {

std::uint32_t Bits4(std::uint32_t v) {
  return v * 17;
}
std::uint32_t Bits3(std::uint32_t v) {
  return (v << 5) | (v << 2) | (v >> 1);
}
std::uint32_t Bits2(std::uint32_t v) {
  return v * 85;
}
std::uint32_t Argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}
std::uint32_t Grey(std::uint32_t a, std::uint32_t l) {
  return Argb(a, l, l, l);
}

std::uint16_t Load16(const BYTE* p) {
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}
std::uint32_t Load32(const BYTE* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
void Store16(BYTE* p, std::uint32_t v) {
  std::uint16_t s = static_cast<std::uint16_t>(v);
  std::memcpy(p, &s, 2);
}
void Store32(BYTE* p, std::uint32_t v) {
  std::memcpy(p, &v, 4);
}

int SquishFlags(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_DXT1:
      return squish::kDxt1;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
      return squish::kDxt3;
    default:
      return squish::kDxt5;
  }
}

}  // namespace

int FormatBits(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_R8G8B8:
      return 24;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2B10G10R10:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_G16R16:
    case D3DFMT_D32:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
      return 32;
    case D3DFMT_A16B16G16R16:
      return 64;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8R3G3B2:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A8L8:
    case D3DFMT_A8P8:
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D15S1:
    case D3DFMT_D16:
      return 16;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8:
    case D3DFMT_P8:
    case D3DFMT_L8:
    case D3DFMT_A4L4:
      return 8;
    case D3DFMT_DXT1:
      return 4;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5:
      return 8;
    default:
      return 0;
  }
}

std::int32_t FormatDepth(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8P8:
      return 8;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A16B16G16R16:
      return 0;
    default:
      return IsDepthFormat(format) || IsBlockFormat(format) ? 0 : FormatBits(format);
  }
}

bool IsBlockFormat(D3DFORMAT format) {
  return format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
         format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
}

bool IsDepthFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16:
    case D3DFMT_D32F_LOCKABLE:
    case D3DFMT_D24FS8:
      return true;
    default:
      return false;
  }
}

bool IsTextureFormat(D3DFORMAT format) {
  return FormatBits(format) != 0 && !IsDepthFormat(format);
}

bool IsRenderTargetFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      return true;
    default:
      return false;
  }
}

UINT RowPitch(D3DFORMAT format, UINT width) {
  if (IsBlockFormat(format)) return ((width + 3) / 4) * (format == D3DFMT_DXT1 ? 8 : 16);
  UINT bytes = (static_cast<UINT>(FormatBits(format)) * width + 7) / 8;
  return (bytes + 3) & ~3u;  // rows start on 4-byte boundaries, as the platform's do
}

UINT StorageRows(D3DFORMAT format, UINT height) {
  return IsBlockFormat(format) ? (height + 3) / 4 : height;
}

void DecodeRow(D3DFORMAT format, const BYTE* s, UINT n, const PALETTEENTRY* palette,
               std::uint32_t* out) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      std::memcpy(out, s, n * 4);
      return;
    case D3DFMT_X8R8G8B8:
      for (UINT i = 0; i < n; ++i) out[i] = Load32(s + 4 * i) | 0xFF000000u;
      return;
    case D3DFMT_A8B8G8R8:
    case D3DFMT_X8B8G8R8:
      for (UINT i = 0; i < n; ++i) {
        std::uint32_t v = Load32(s + 4 * i);
        std::uint32_t a = format == D3DFMT_X8B8G8R8 ? 0xFF : v >> 24;
        out[i] = Argb(a, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
      }
      return;
    case D3DFMT_R8G8B8:
      for (UINT i = 0; i < n; ++i) out[i] = Argb(0xFF, s[3 * i + 2], s[3 * i + 1], s[3 * i]);
      return;
    case D3DFMT_R5G6B5:
      for (UINT i = 0; i < n; ++i) out[i] = Unpack565(Load16(s + 2 * i));
      return;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
      for (UINT i = 0; i < n; ++i)
        out[i] = Unpack1555(Load16(s + 2 * i), format == D3DFMT_A1R5G5B5);
      return;
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
      for (UINT i = 0; i < n; ++i) {
        std::uint32_t v = Load16(s + 2 * i);
        std::uint32_t a = format == D3DFMT_A4R4G4B4 ? Bits4(v >> 12) : 0xFF;
        out[i] = Argb(a, Bits4((v >> 8) & 15), Bits4((v >> 4) & 15), Bits4(v & 15));
      }
      return;
    case D3DFMT_R3G3B2:
    case D3DFMT_A8R3G3B2:
      for (UINT i = 0; i < n; ++i) {
        std::uint32_t v = format == D3DFMT_R3G3B2 ? (0xFF00u | s[i]) : Load16(s + 2 * i);
        out[i] = Argb(v >> 8, Bits3((v >> 5) & 7), Bits3((v >> 2) & 7), Bits2(v & 3));
      }
      return;
    case D3DFMT_A8:
      for (UINT i = 0; i < n; ++i) out[i] = Argb(s[i], 0, 0, 0);
      return;
    case D3DFMT_L8:
      for (UINT i = 0; i < n; ++i) out[i] = Grey(0xFF, s[i]);
      return;
    case D3DFMT_A8L8:
      for (UINT i = 0; i < n; ++i) out[i] = Grey(s[2 * i + 1], s[2 * i]);
      return;
    case D3DFMT_A4L4:
      for (UINT i = 0; i < n; ++i) out[i] = Grey(Bits4(s[i] >> 4), Bits4(s[i] & 15));
      return;
    case D3DFMT_P8:
    case D3DFMT_A8P8:
      for (UINT i = 0; i < n; ++i) {
        BYTE index = format == D3DFMT_P8 ? s[i] : s[2 * i];
        std::uint32_t a = format == D3DFMT_P8 ? 0xFF : s[2 * i + 1];
        if (palette) {
          const PALETTEENTRY& e = palette[index];
          if (format == D3DFMT_P8) a = e.peFlags;
          out[i] = Argb(a, e.peRed, e.peGreen, e.peBlue);
        } else {
          out[i] = Grey(a, index);  // no palette set: indices read as grey levels
        }
      }
      return;
    case D3DFMT_A2R10G10B10:
    case D3DFMT_A2B10G10R10:
      for (UINT i = 0; i < n; ++i) {
        std::uint32_t v = Load32(s + 4 * i);
        std::uint32_t hi = (v >> 22) & 0xFF, mid = (v >> 12) & 0xFF, lo = (v >> 2) & 0xFF;
        out[i] = format == D3DFMT_A2R10G10B10 ? Argb(Bits2(v >> 30), hi, mid, lo)
                                              : Argb(Bits2(v >> 30), lo, mid, hi);
      }
      return;
    case D3DFMT_G16R16:
      for (UINT i = 0; i < n; ++i) {
        std::uint32_t v = Load32(s + 4 * i);
        out[i] = Argb(0xFF, (v >> 8) & 0xFF, v >> 24, 0xFF);
      }
      return;
    case D3DFMT_A16B16G16R16:
      for (UINT i = 0; i < n; ++i) {
        const BYTE* p = s + 8 * i;
        out[i] = Argb(p[7], p[1], p[3], p[5]);
      }
      return;
    default:
      std::fill(out, out + n, 0u);
      return;
  }
}

void EncodeRow(D3DFORMAT format, const std::uint32_t* src, UINT n, BYTE* d) {
  for (UINT i = 0; i < n; ++i) {
    std::uint32_t c = src[i];
    std::uint32_t a = c >> 24, r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    switch (format) {
      case D3DFMT_A8R8G8B8:
      case D3DFMT_X8R8G8B8:
        Store32(d + 4 * i, c);
        break;
      case D3DFMT_A8B8G8R8:
      case D3DFMT_X8B8G8R8:
        Store32(d + 4 * i, a << 24 | b << 16 | g << 8 | r);
        break;
      case D3DFMT_R8G8B8:
        d[3 * i] = static_cast<BYTE>(b);
        d[3 * i + 1] = static_cast<BYTE>(g);
        d[3 * i + 2] = static_cast<BYTE>(r);
        break;
      case D3DFMT_R5G6B5:
        Store16(d + 2 * i, Pack565(c));
        break;
      case D3DFMT_X1R5G5B5:
      case D3DFMT_A1R5G5B5:
        Store16(d + 2 * i, Pack1555(c));
        break;
      case D3DFMT_A4R4G4B4:
      case D3DFMT_X4R4G4B4:
        Store16(d + 2 * i, (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4);
        break;
      case D3DFMT_R3G3B2:
        d[i] = static_cast<BYTE>((r >> 5) << 5 | (g >> 5) << 2 | b >> 6);
        break;
      case D3DFMT_A8R3G3B2:
        Store16(d + 2 * i, a << 8 | (r >> 5) << 5 | (g >> 5) << 2 | b >> 6);
        break;
      case D3DFMT_A8:
        d[i] = static_cast<BYTE>(a);
        break;
      case D3DFMT_L8:
      case D3DFMT_P8:
        d[i] = static_cast<BYTE>((r * 77 + g * 150 + b * 29) >> 8);
        break;
      case D3DFMT_A8L8:
      case D3DFMT_A8P8:
        d[2 * i] = static_cast<BYTE>((r * 77 + g * 150 + b * 29) >> 8);
        d[2 * i + 1] = static_cast<BYTE>(a);
        break;
      case D3DFMT_A4L4:
        d[i] = static_cast<BYTE>((a >> 4) << 4 | ((r * 77 + g * 150 + b * 29) >> 12));
        break;
      case D3DFMT_A2R10G10B10:
        Store32(d + 4 * i, (a >> 6) << 30 | (r << 2 | r >> 6) << 20 | (g << 2 | g >> 6) << 10 |
                               (b << 2 | b >> 6));
        break;
      case D3DFMT_A2B10G10R10:
        Store32(d + 4 * i, (a >> 6) << 30 | (b << 2 | b >> 6) << 20 | (g << 2 | g >> 6) << 10 |
                               (r << 2 | r >> 6));
        break;
      case D3DFMT_G16R16:
        Store32(d + 4 * i, (g * 257) << 16 | (r * 257));
        break;
      case D3DFMT_A16B16G16R16: {
        std::uint16_t v[4] = {
            static_cast<std::uint16_t>(r * 257), static_cast<std::uint16_t>(g * 257),
            static_cast<std::uint16_t>(b * 257), static_cast<std::uint16_t>(a * 257)};
        std::memcpy(d + 8 * i, v, 8);
        break;
      }
      default:
        break;
    }
  }
}

void DecodeSurface(D3DFORMAT format, const BYTE* bits, UINT pitch, UINT width, UINT height,
                   const PALETTEENTRY* palette, std::uint32_t* out) {
  if (!IsBlockFormat(format)) {
    for (UINT y = 0; y < height; ++y)
      DecodeRow(format, bits + y * pitch, width, palette, out + y * width);
    return;
  }
  // Block formats: decode whole 4x4 blocks into RGBA bytes, then swizzle to 0xAARRGGBB.
  int flags = SquishFlags(format);
  UINT bw = (width + 3) / 4, bh = (height + 3) / 4;
  UINT block_bytes = format == D3DFMT_DXT1 ? 8 : 16;
  BYTE rgba[16 * 4];
  for (UINT by = 0; by < bh; ++by) {
    for (UINT bx = 0; bx < bw; ++bx) {
      squish::Decompress(rgba, bits + by * pitch + bx * block_bytes, flags);
      for (UINT py = 0; py < 4; ++py) {
        for (UINT px = 0; px < 4; ++px) {
          UINT x = bx * 4 + px, y = by * 4 + py;
          if (x >= width || y >= height) continue;
          const BYTE* p = rgba + 4 * (py * 4 + px);
          out[y * width + x] = Argb(p[3], p[0], p[1], p[2]);
        }
      }
    }
  }
}

}  // namespace d3d9_internal
