// Stretched surface copies: nearest texel or bilinear. A destination pixel's centre maps to
// source position (x + 0.5) * source size / destination size; nearest takes the texel under
// it, bilinear weighs the four texels around it (positions clamped to the source rectangle, so
// the copy never reads outside it) in 8-bit fixed point per channel.
#include "platform/d3d9/stretch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/d3d9/formats.h"

namespace d3d9_internal {

namespace {

// One axis of a bilinear copy: the two source offsets and the weight of the second (0..256).
struct Tap {
  LONG first;
  LONG second;
  std::uint32_t weight;
};

std::vector<Tap> Taps(LONG source, LONG dest) {
  std::vector<Tap> taps(static_cast<std::size_t>(dest));
  for (LONG i = 0; i < dest; ++i) {
    double at = (i + 0.5) * source / dest - 0.5;
    at = std::clamp(at, 0.0, static_cast<double>(source - 1));
    const auto first = static_cast<LONG>(at);
    taps[static_cast<std::size_t>(i)] = {
        first, std::min(first + 1, source - 1),
        static_cast<std::uint32_t>(std::lround((at - first) * 256))};
  }
  return taps;
}

std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t weight) {
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t x = (a >> shift) & 0xFF, y = (b >> shift) & 0xFF;
    out |= ((x * (256 - weight) + y * weight + 128) >> 8) << shift;
  }
  return out;
}

}  // namespace

void StretchCopy(const std::uint32_t* decoded, UINT source_width, const RECT& sr,
                 IDirect3DSurface9* dest, const RECT& dr, bool linear) {
  const LONG sw = sr.right - sr.left, sh = sr.bottom - sr.top;
  const LONG dw = dr.right - dr.left, dh = dr.bottom - dr.top;
  const UINT bpp = static_cast<UINT>(FormatBits(dest->Format())) / 8;
  std::vector<std::uint32_t> row(static_cast<std::size_t>(dw));
  auto texel = [&](LONG x, LONG y) {
    return decoded[static_cast<std::size_t>(sr.top + y) * source_width + (sr.left + x)];
  };
  if (!linear) {
    for (LONG y = 0; y < dh; ++y) {
      const auto sy = static_cast<LONG>((static_cast<std::int64_t>(y) * 2 + 1) * sh / (2 * dh));
      for (LONG x = 0; x < dw; ++x) {
        const auto sx = static_cast<LONG>((static_cast<std::int64_t>(x) * 2 + 1) * sw / (2 * dw));
        row[static_cast<std::size_t>(x)] = texel(sx, sy);
      }
      EncodeRow(dest->Format(), row.data(), static_cast<UINT>(dw),
                dest->Bits() + (dr.top + y) * dest->Pitch() + dr.left * bpp);
    }
    return;
  }
  const std::vector<Tap> across = Taps(sw, dw), down = Taps(sh, dh);
  for (LONG y = 0; y < dh; ++y) {
    const Tap& v = down[static_cast<std::size_t>(y)];
    for (LONG x = 0; x < dw; ++x) {
      const Tap& u = across[static_cast<std::size_t>(x)];
      const std::uint32_t top = Mix(texel(u.first, v.first), texel(u.second, v.first), u.weight);
      const std::uint32_t bottom =
          Mix(texel(u.first, v.second), texel(u.second, v.second), u.weight);
      row[static_cast<std::size_t>(x)] = Mix(top, bottom, v.weight);
    }
    EncodeRow(dest->Format(), row.data(), static_cast<UINT>(dw),
              dest->Bits() + (dr.top + y) * dest->Pitch() + dr.left * bpp);
  }
}

}  // namespace d3d9_internal
