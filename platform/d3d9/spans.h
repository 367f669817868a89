// The span loops of the software device: one row (or a block of rows) of a polygon under the
// simple 2D state (see pixel.h), a texture read one texel a pixel with a constant colour
// modulating it, copied or blended source alpha over inverse source alpha into a 32-bit
// target; and rows of an interpolated colour. Four pixels at a time with SSE2, eight with AVX2
// where the processor has it; every width, and the scalar loops, give the same result to the
// bit.
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"

namespace d3d9_internal {

// What the span loop writes for one texel (or constant colour) under the simple state.
struct SpanParams {
  const std::uint32_t* texels;
  int width, height;
  DWORD address_u, address_v, border;
  std::int64_t u, v, du, dv;     // 16.16 texel coordinates at the span start, and per pixel
  std::uint32_t er, eg, eb, ea;  // constant modulation (255 = none)
  bool dest_alpha;               // false: the target's alpha reads as 255
};

// Span parameters with every field zero, set one by one: the hot callers make one a quad, and
// a value-initialised one is cleared with a string store that is slow to start.
inline SpanParams ZeroSpanParams() {
  SpanParams p;
  p.texels = nullptr;
  p.width = p.height = 0;
  p.address_u = p.address_v = p.border = 0;
  p.u = p.v = p.du = p.dv = 0;
  p.er = p.eg = p.eb = p.ea = 0;
  p.dest_alpha = false;
  return p;
}

// One row of n pixels at dst under the simple state; textured false: the constant colour alone.
void SimpleSpan(std::uint32_t* dst, long n, const SpanParams& p, bool blend, bool textured);

// One row's span of a textured polygon: n pixels from column lo of row, from texel coordinates
// (u, v) in 16.16.
struct TexturedRun {
  long row, lo, n;
  std::int64_t u, v;
};

// The spans of one textured polygon under the simple state (p's texels, steps and modulation),
// rows pitch bytes apart from bits: the pixels SimpleSpan gives span by span, with the choice
// of loop made once.
void TexturedSpans(BYTE* bits, UINT pitch, const TexturedRun* runs, long count, SpanParams p,
                   bool blend);

// n pixels at dst set to colour.
void FillSpan(std::uint32_t* dst, long n, std::uint32_t colour);

// A colour interpolated over a polygon: channel k (blue, green, red, alpha) of pixel (col, row)
// is base[k] + dx[k] * col + dy[k] * row in double, rounded to a byte through float as the
// general pipeline rounds a diffuse colour.
struct ColourPlane {
  double base[4], dx[4], dy[4];
  bool dest_alpha;  // false: the target's alpha reads as 255
};

// One row of n pixels at dst, the first at column col, shaded by the plane; copied or blended
// source alpha over inverse source alpha.
void GouraudSpan(std::uint32_t* dst, long col, long row, long n, const ColourPlane& p, bool blend);

// Rows of texels copied or blended pixel for pixel: rows of n pixels, pitch bytes apart in the
// target, starting at texel (p.u, p.v) and going down one texel row a pixel row.
void StraightBlock(BYTE* dst, UINT pitch, long rows, long n, const SpanParams& p, bool blend);

}  // namespace d3d9_internal
