// Texel formats of the software device: sizes, what each format may be used for, and the
// conversions between a format's own texels and 0xAARRGGBB. Depends on libsquish for the
// block-compressed formats.
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"

namespace d3d9_internal {

// Bits one texel takes in storage (block formats: per texel on average); 0 = unknown format.
// The one table of format sizes: everything that needs a format's size asks here.
int FormatBits(D3DFORMAT format);
// The colour depth the runtime reports for a display mode, back buffer or picture format: the
// format's storage bits for the colour formats the runtime counts, except that a paletted format
// counts only its palette index (A8P8 is 8); 0 for every other format (depth-stencil, block,
// the byte-swapped and wide colour formats).
std::int32_t FormatDepth(D3DFORMAT format);
bool IsBlockFormat(D3DFORMAT format);
bool IsDepthFormat(D3DFORMAT format);
// A colour format the device can sample from (decode).
bool IsTextureFormat(D3DFORMAT format);
// A colour format the device can draw into.
bool IsRenderTargetFormat(D3DFORMAT format);
// Bytes of one row of width texels (block formats: one row of 4x4 blocks).
UINT RowPitch(D3DFORMAT format, UINT width);
// Rows of storage for height texels (block formats: rows of blocks).
UINT StorageRows(D3DFORMAT format, UINT height);

// Whole-surface decode into width x height 0xAARRGGBB texels.
void DecodeSurface(D3DFORMAT format, const BYTE* bits, UINT pitch, UINT width, UINT height,
                   const PALETTEENTRY* palette, std::uint32_t* out);
// One row of texels to 0xAARRGGBB and back (not for block formats).
void DecodeRow(D3DFORMAT format, const BYTE* src, UINT count, const PALETTEENTRY* palette,
               std::uint32_t* out);
void EncodeRow(D3DFORMAT format, const std::uint32_t* src, UINT count, BYTE* out);

// 16-bit render-target texels.
inline std::uint32_t Expand5(std::uint32_t v) {
  return (v << 3) | (v >> 2);
}
inline std::uint32_t Expand6(std::uint32_t v) {
  return (v << 2) | (v >> 4);
}
inline std::uint16_t Pack565(std::uint32_t c) {
  return static_cast<std::uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x1F));
}
inline std::uint32_t Unpack565(std::uint32_t p) {
  return 0xFF000000u | Expand5(p >> 11) << 16 | Expand6((p >> 5) & 63) << 8 | Expand5(p & 31);
}
inline std::uint16_t Pack1555(std::uint32_t c) {
  return static_cast<std::uint16_t>(((c >> 16) & 0x8000) | ((c >> 9) & 0x7C00) |
                                    ((c >> 6) & 0x03E0) | ((c >> 3) & 0x1F));
}
inline std::uint32_t Unpack1555(std::uint32_t p, bool alpha) {
  std::uint32_t a = alpha ? ((p & 0x8000) ? 0xFF000000u : 0u) : 0xFF000000u;
  return a | Expand5((p >> 10) & 31) << 16 | Expand5((p >> 5) & 31) << 8 | Expand5(p & 31);
}

}  // namespace d3d9_internal
