// Resampling filters. Point takes the source pixel under each destination pixel's centre;
// linear blends the four nearest source pixels (edges clamped); box averages every source
// pixel whose position falls within the destination pixel's footprint, which is an exact
// 2 by 2 average for the halving steps of a mip chain and nearest-pixel when enlarging.
#include "platform/d3dx9/resample.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace d3dx {

namespace {

// Source index under the centre of destination index d (of n) over a span of s.
inline int CentreIndex(int d, int n, int s) {
  const std::int64_t i =
      (static_cast<std::int64_t>(d) * 2 + 1) * s / (static_cast<std::int64_t>(n) * 2);
  return static_cast<int>(std::min<std::int64_t>(i, s - 1));
}

void CopyNone(const ArgbImage& src, Area from, ArgbImage& dst, Area to) {
  const int w = std::min(from.width, to.width), h = std::min(from.height, to.height);
  for (int y = 0; y < h; ++y) {
    std::copy_n(src.Row(from.y + y) + from.x, w, dst.Row(to.y + y) + to.x);
  }
}

void Point(const ArgbImage& src, Area from, ArgbImage& dst, Area to) {
  if (from.width == to.width && from.height == to.height) return CopyNone(src, from, dst, to);
  std::vector<int> xs(to.width);
  for (int x = 0; x < to.width; ++x) xs[x] = from.x + CentreIndex(x, to.width, from.width);
  for (int y = 0; y < to.height; ++y) {
    const std::uint32_t* s = src.Row(from.y + CentreIndex(y, to.height, from.height));
    std::uint32_t* d = dst.Row(to.y + y) + to.x;
    for (int x = 0; x < to.width; ++x) d[x] = s[xs[x]];
  }
}

// Weights in 1/256: for destination index d, the two source indices and the second's weight.
struct Tap {
  int i0;
  int i1;
  std::uint32_t w1;
};

std::vector<Tap> LinearTaps(int n, int s, int origin) {
  std::vector<Tap> taps(n);
  for (int d = 0; d < n; ++d) {
    const double pos = (d + 0.5) * s / n - 0.5;
    int i0 = static_cast<int>(pos < 0 ? -1 : pos);
    double frac = pos - i0;
    if (i0 < 0) {
      i0 = 0;
      frac = 0;
    }
    const int i1 = std::min(i0 + 1, s - 1);
    if (i0 > s - 1) i0 = s - 1;
    taps[d] = {origin + i0, origin + i1, static_cast<std::uint32_t>(frac * 256 + 0.5)};
  }
  return taps;
}

inline std::uint32_t Blend(std::uint32_t a, std::uint32_t b, std::uint32_t w) {
  const std::uint32_t iw = 256 - w;
  std::uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const std::uint32_t ca = a >> shift & 0xFF, cb = b >> shift & 0xFF;
    out |= ((ca * iw + cb * w + 128) >> 8) << shift;
  }
  return out;
}

void Linear(const ArgbImage& src, Area from, ArgbImage& dst, Area to) {
  const std::vector<Tap> xt = LinearTaps(to.width, from.width, from.x);
  const std::vector<Tap> yt = LinearTaps(to.height, from.height, from.y);
  for (int y = 0; y < to.height; ++y) {
    const std::uint32_t* r0 = src.Row(yt[y].i0);
    const std::uint32_t* r1 = src.Row(yt[y].i1);
    std::uint32_t* d = dst.Row(to.y + y) + to.x;
    for (int x = 0; x < to.width; ++x) {
      const Tap& t = xt[x];
      const std::uint32_t top = Blend(r0[t.i0], r0[t.i1], t.w1);
      const std::uint32_t bottom = Blend(r1[t.i0], r1[t.i1], t.w1);
      d[x] = Blend(top, bottom, yt[y].w1);
    }
  }
}

// The source span [first, last) that destination index d of n covers in a span of s.
inline void Span(int d, int n, int s, int* first, int* last) {
  *first = static_cast<int>(static_cast<std::int64_t>(d) * s / n);
  *last = static_cast<int>(static_cast<std::int64_t>(d + 1) * s / n);
  if (*last <= *first) *last = *first + 1;
  if (*last > s) *last = s;
  if (*first >= s) *first = s - 1;
}

void Box(const ArgbImage& src, Area from, ArgbImage& dst, Area to) {
  for (int y = 0; y < to.height; ++y) {
    int y0, y1;
    Span(y, to.height, from.height, &y0, &y1);
    std::uint32_t* d = dst.Row(to.y + y) + to.x;
    for (int x = 0; x < to.width; ++x) {
      int x0, x1;
      Span(x, to.width, from.width, &x0, &x1);
      std::uint64_t sum[4] = {0, 0, 0, 0};
      for (int sy = y0; sy < y1; ++sy) {
        const std::uint32_t* s = src.Row(from.y + sy) + from.x;
        for (int sx = x0; sx < x1; ++sx) {
          const std::uint32_t c = s[sx];
          sum[0] += c & 0xFF;
          sum[1] += c >> 8 & 0xFF;
          sum[2] += c >> 16 & 0xFF;
          sum[3] += c >> 24;
        }
      }
      const std::uint64_t count = static_cast<std::uint64_t>(y1 - y0) * (x1 - x0);
      std::uint32_t out = 0;
      for (int i = 0; i < 4; ++i) {
        out |= static_cast<std::uint32_t>((sum[i] + count / 2) / count) << (i * 8);
      }
      d[x] = out;
    }
  }
}

}  // namespace

void ApplyColourKey(ArgbImage& image, std::uint32_t key) {
  if (key == 0) return;
  for (std::uint32_t& c : image.pixels) {
    if (c == key) c = 0;
  }
}

void Resample(const ArgbImage& src, Area from, ArgbImage& dst, Area to, Filter filter) {
  if (from.width <= 0 || from.height <= 0 || to.width <= 0 || to.height <= 0) return;
  switch (filter) {
    case Filter::kNone:
      return CopyNone(src, from, dst, to);
    case Filter::kPoint:
      return Point(src, from, dst, to);
    case Filter::kLinear:
      if (from.width == to.width && from.height == to.height) return CopyNone(src, from, dst, to);
      return Linear(src, from, dst, to);
    case Filter::kBox:
      if (from.width == to.width && from.height == to.height) return CopyNone(src, from, dst, to);
      return Box(src, from, dst, to);
  }
}

}  // namespace d3dx
