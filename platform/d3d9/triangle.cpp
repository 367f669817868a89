// Triangle coverage and the span loops; see pixel.h. Coverage is exact integer arithmetic on
// vertex positions snapped to 1/256 pixel: a pixel centre is inside when every edge function is
// positive, or zero on a top or left edge, so triangles that share an edge never both draw, and
// never both miss, a pixel on it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/formats.h"
#include "platform/d3d9/pixel.h"
#include "platform/d3d9/raster.h"

namespace d3d9_internal {

namespace {

constexpr int kAttrCount = 10;  // q, z, r, g, b, a, u0, v0, u1, v1
constexpr std::int64_t kSub = 256;
constexpr float kGuard = 16384.0f;

std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {  // d > 0
  std::int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}
std::int64_t CeilDiv(std::int64_t n, std::int64_t d) {
  return -FloorDiv(-n, d);
}

int Wrap(int i, int n, DWORD mode) {
  if (i >= 0 && i < n) return i;
  switch (mode) {
    case D3DTADDRESS_CLAMP:
      return i < 0 ? 0 : n - 1;
    case D3DTADDRESS_BORDER:
      return -1;
    case D3DTADDRESS_MIRROR: {
      int m = i % (2 * n);
      if (m < 0) m += 2 * n;
      return m < n ? m : 2 * n - 1 - m;
    }
    case D3DTADDRESS_MIRRORONCE: {
      int m = i < 0 ? -i - 1 : i;
      return m < n ? m : n - 1;
    }
    default: {
      int m = i % n;
      return m < 0 ? m + n : m;
    }
  }
}

int ToByte(float f) {
  if (!(f > 0.0f)) return 0;
  if (f >= 255.0f) return 255;
  return static_cast<int>(f + 0.5f);
}

struct Edge {
  std::int64_t ex, ey, xi, yi;
  int top_left;
};

// Narrows [lo, hi] to the pixels of row py inside every edge.
bool RowRange(const Edge* e, long py, long& lo, long& hi) {
  for (int k = 0; k < 3; ++k) {
    std::int64_t a = -e[k].ey * kSub;
    std::int64_t b = e[k].ex * (kSub * py - e[k].yi) + e[k].ey * e[k].xi;
    // Inside: a*px + b > 0, or >= 0 on a top or left edge (b + 1 > 0 for integers).
    b += e[k].top_left;
    if (a > 0) {
      lo = std::max<long>(lo, static_cast<long>(FloorDiv(-b, a) + 1));
    } else if (a < 0) {
      hi = std::min<long>(hi, static_cast<long>(CeilDiv(b, -a) - 1));
    } else if (b <= 0) {
      return false;
    }
  }
  return lo <= hi;
}

// What the span loop writes for one texel (or constant colour) under the simple state.
struct SpanParams {
  const std::uint32_t* texels;
  int width, height;
  DWORD address_u, address_v, border;
  std::int64_t u, v, du, dv;     // 16.16 texel coordinates at the span start, and per pixel
  std::uint32_t er, eg, eb, ea;  // constant modulation (255 = none)
  bool dest_alpha;               // false: the target's alpha reads as 255
};

inline std::uint32_t BlendOver(std::uint32_t s, std::uint32_t d, bool dest_alpha) {
  std::uint32_t sa = s >> 24;
  if (sa == 255) return s;
  std::uint32_t da = dest_alpha ? d >> 24 : 255;
  if (sa == 0) return (d & 0x00FFFFFF) | da << 24;
  std::uint32_t ia = 255 - sa;
  std::uint32_t r = Div255(((s >> 16) & 0xFF) * sa + ((d >> 16) & 0xFF) * ia);
  std::uint32_t g = Div255(((s >> 8) & 0xFF) * sa + ((d >> 8) & 0xFF) * ia);
  std::uint32_t b = Div255((s & 0xFF) * sa + (d & 0xFF) * ia);
  std::uint32_t a = Div255(sa * sa + da * ia);
  return a << 24 | r << 16 | g << 8 | b;
}

inline std::uint32_t Modulate(std::uint32_t t, const SpanParams& p) {
  return Div255((t >> 24) * p.ea) << 24 | Div255(((t >> 16) & 0xFF) * p.er) << 16 |
         Div255(((t >> 8) & 0xFF) * p.eg) << 8 | Div255((t & 0xFF) * p.eb);
}

template <bool kBlend, bool kModulate>
void TexturedSpan(std::uint32_t* dst, long n, SpanParams p) {
  const std::int64_t u_last = p.u + p.du * (n - 1), v_last = p.v + p.dv * (n - 1);
  bool inside = std::min(p.u, u_last) >= 0 && (std::max(p.u, u_last) >> 16) < p.width &&
                std::min(p.v, v_last) >= 0 && (std::max(p.v, v_last) >> 16) < p.height;
  if (inside && p.du == 65536 && p.dv == 0) {
    // Texel for pixel: one source row, walked straight.
    const std::uint32_t* src = p.texels + (p.v >> 16) * p.width + (p.u >> 16);
    if constexpr (!kBlend && !kModulate) {
      std::memcpy(dst, src, static_cast<std::size_t>(n) * 4);
    } else {
      for (long i = 0; i < n; ++i) {
        std::uint32_t s = kModulate ? Modulate(src[i], p) : src[i];
        dst[i] = kBlend ? BlendOver(s, dst[i], p.dest_alpha) : s;
      }
    }
    return;
  }
  std::int64_t u = p.u, v = p.v;
  for (long i = 0; i < n; ++i, u += p.du, v += p.dv) {
    std::uint32_t t;
    if (inside) {
      t = p.texels[(v >> 16) * p.width + (u >> 16)];
    } else {
      int tx = Wrap(static_cast<int>(u >> 16), p.width, p.address_u);
      int ty = Wrap(static_cast<int>(v >> 16), p.height, p.address_v);
      t = (tx < 0 || ty < 0) ? p.border : p.texels[ty * p.width + tx];
    }
    std::uint32_t s = kModulate ? Modulate(t, p) : t;
    dst[i] = kBlend ? BlendOver(s, dst[i], p.dest_alpha) : s;
  }
}

// One row of a triangle under the simple state.
void SimpleSpan(std::uint32_t* dst, long n, const SpanParams& p, bool blend, bool textured) {
  if (!textured) {
    std::uint32_t c = p.ea << 24 | p.er << 16 | p.eg << 8 | p.eb;
    if (!blend) {
      std::fill(dst, dst + n, c);
    } else {
      for (long i = 0; i < n; ++i) dst[i] = BlendOver(c, dst[i], p.dest_alpha);
    }
    return;
  }
  bool modulate = (p.er & p.eg & p.eb & p.ea) != 255;
  if (blend) {
    modulate ? TexturedSpan<true, true>(dst, n, p) : TexturedSpan<true, false>(dst, n, p);
  } else {
    modulate ? TexturedSpan<false, true>(dst, n, p) : TexturedSpan<false, false>(dst, n, p);
  }
}

// A polygon vertex for clipping in screen space: attributes premultiplied by rhw so that
// linear interpolation on screen stays perspective-correct.
struct ScreenPoint {
  float v[4 + 8];  // x, y, z, rhw, colour * rhw (4), tex * rhw (4)
};

ScreenPoint ToPoint(const Vertex& s) {
  ScreenPoint p;
  p.v[0] = s.x, p.v[1] = s.y, p.v[2] = s.z, p.v[3] = s.rhw;
  for (int i = 0; i < 4; ++i) p.v[4 + i] = s.colour[i] * s.rhw;
  p.v[8] = s.tex[0][0] * s.rhw, p.v[9] = s.tex[0][1] * s.rhw;
  p.v[10] = s.tex[1][0] * s.rhw, p.v[11] = s.tex[1][1] * s.rhw;
  return p;
}

Vertex ToVertex(const ScreenPoint& p) {
  Vertex s;
  s.x = p.v[0], s.y = p.v[1], s.z = p.v[2], s.rhw = p.v[3];
  float w = p.v[3] != 0.0f ? 1.0f / p.v[3] : 0.0f;
  for (int i = 0; i < 4; ++i) s.colour[i] = p.v[4 + i] * w;
  s.tex[0][0] = p.v[8] * w, s.tex[0][1] = p.v[9] * w;
  s.tex[1][0] = p.v[10] * w, s.tex[1][1] = p.v[11] * w;
  return s;
}

}  // namespace

// A triangle reaching far outside the target is cut to a rectangle just outside the clip
// rectangle first, so that the fixed-point edge arithmetic never overflows.
void Pipeline::GuardBandTriangle(const Vertex& a, const Vertex& b, const Vertex& c) {
  ScreenPoint buffers[2][16];
  int n = 3;
  buffers[0][0] = ToPoint(a);
  buffers[0][1] = ToPoint(b);
  buffers[0][2] = ToPoint(c);
  const float bounds[4] = {static_cast<float>(clip_.left - 1), static_cast<float>(clip_.top - 1),
                           static_cast<float>(clip_.right + 1),
                           static_cast<float>(clip_.bottom + 1)};
  int cur = 0;
  for (int plane = 0; plane < 4; ++plane) {
    ScreenPoint* in = buffers[cur];
    ScreenPoint* out = buffers[cur ^ 1];
    int axis = plane % 2;
    bool low = plane < 2;
    auto distance = [&](const ScreenPoint& p) {
      return low ? p.v[axis] - bounds[plane] : bounds[plane] - p.v[axis];
    };
    int m = 0;
    for (int i = 0; i < n && m < 14; ++i) {
      const ScreenPoint& p = in[i];
      const ScreenPoint& q = in[(i + 1) % n];
      float dp = distance(p), dq = distance(q);
      if (dp >= 0) out[m++] = p;
      if ((dp >= 0) != (dq >= 0)) {
        float t = dp / (dp - dq);
        ScreenPoint r;
        for (int k = 0; k < 12; ++k) r.v[k] = p.v[k] + (q.v[k] - p.v[k]) * t;
        out[m++] = r;
      }
    }
    n = m;
    cur ^= 1;
    if (n < 3) return;
  }
  Vertex first = ToVertex(buffers[cur][0]);
  for (int i = 1; i + 1 < n; ++i) {
    Triangle(first, ToVertex(buffers[cur][i]), ToVertex(buffers[cur][i + 1]), false);
  }
}

bool Pipeline::FastSpanPossible(const Vertex* const v[3]) const {
  if (!simple_state_) return false;
  if (!(v[0]->rhw == v[1]->rhw && v[1]->rhw == v[2]->rhw)) return false;
  if (!flat_) {
    for (int i = 0; i < 4; ++i) {
      if (v[0]->colour[i] != v[1]->colour[i] || v[0]->colour[i] != v[2]->colour[i]) return false;
    }
  }
  return true;
}

void Pipeline::Triangle(const Vertex& a, const Vertex& b, const Vertex& c, bool cull) {
  const Vertex* v[3] = {&a, &b, &c};
  for (const Vertex* p : v) {
    if (!std::isfinite(p->x) || !std::isfinite(p->y)) return;
  }
  double area =
      (double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y);
  if (area == 0.0 || !std::isfinite(area)) return;
  // On screen (y down) a positive area runs clockwise.
  if (cull && cull_ == D3DCULL_CW && area > 0) return;
  if (cull && cull_ == D3DCULL_CCW && area < 0) return;
  for (const Vertex* p : v) {
    if (std::fabs(p->x) > kGuard || std::fabs(p->y) > kGuard) {
      GuardBandTriangle(a, b, c);
      return;
    }
  }

  std::int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = std::llround(static_cast<double>(v[i]->x) * kSub);
    Y[i] = std::llround(static_cast<double>(v[i]->y) * kSub);
  }
  std::int64_t A = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (A == 0) return;
  if (A < 0) {
    std::swap(v[1], v[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }
  long x_lo =
      std::max<long>(clip_.left, static_cast<long>(CeilDiv(std::min({X[0], X[1], X[2]}), kSub)));
  long x_hi = std::min<long>(clip_.right - 1,
                             static_cast<long>(FloorDiv(std::max({X[0], X[1], X[2]}), kSub)));
  long y_lo =
      std::max<long>(clip_.top, static_cast<long>(CeilDiv(std::min({Y[0], Y[1], Y[2]}), kSub)));
  long y_hi = std::min<long>(clip_.bottom - 1,
                             static_cast<long>(FloorDiv(std::max({Y[0], Y[1], Y[2]}), kSub)));
  if (x_lo > x_hi || y_lo > y_hi) return;

  Edge edges[3];
  for (int k = 0; k < 3; ++k) {
    int j = (k + 1) % 3;
    Edge& e = edges[k];
    e.ex = X[j] - X[k];
    e.ey = Y[j] - Y[k];
    e.xi = X[k];
    e.yi = Y[k];
    // Interior to the right of an edge going up is a left edge; a flat edge going right with
    // the interior below it is a top edge.
    e.top_left = (e.ey < 0 || (e.ey == 0 && e.ex > 0)) ? 1 : 0;
  }
  ChooseLevels(v);

  // Attribute planes over the snapped positions: value(px, py) = base + dx * px + dy * py.
  bool affine = v[0]->rhw == v[1]->rhw && v[1]->rhw == v[2]->rhw;
  double f[3][kAttrCount];
  for (int i = 0; i < 3; ++i) {
    double q = affine ? 1.0 : v[i]->rhw;
    const float* colour = flat_ ? a.colour : v[i]->colour;  // flat shading: the first vertex
    f[i][0] = q;
    f[i][1] = v[i]->z;
    for (int k = 0; k < 4; ++k) f[i][2 + k] = colour[k] * q;
    f[i][6] = v[i]->tex[0][0] * q, f[i][7] = v[i]->tex[0][1] * q;
    f[i][8] = v[i]->tex[1][0] * q, f[i][9] = v[i]->tex[1][1] * q;
  }
  double px[3], py[3];
  for (int i = 0; i < 3; ++i) px[i] = double(X[i]) / kSub, py[i] = double(Y[i]) / kSub;
  double det = (px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0]);
  double dx[kAttrCount], dy[kAttrCount], base[kAttrCount];
  for (int k = 0; k < kAttrCount; ++k) {
    double d1 = f[1][k] - f[0][k], d2 = f[2][k] - f[0][k];
    dx[k] = (d1 * (py[2] - py[0]) - d2 * (py[1] - py[0])) / det;
    dy[k] = (d2 * (px[1] - px[0]) - d1 * (px[2] - px[0])) / det;
    base[k] = f[0][k] - dx[k] * px[0] - dy[k] * py[0];
  }

  if (FastSpanPossible(v)) {
    const SamplerSetup& s = samplers_[0];
    const StageSetup& st = stages_[0];
    SpanParams p{};
    p.dest_alpha = dest_has_alpha_;
    int d[4];
    for (int k = 0; k < 4; ++k) d[k] = ToByte(static_cast<float>(f[0][2 + k]));
    auto uses = [](DWORD op, DWORD a1, DWORD a2, DWORD what) {
      return (op != D3DTOP_SELECTARG2 && a1 == what) || (op != D3DTOP_SELECTARG1 && a2 == what);
    };
    bool colour_tex = uses(st.colour_op, st.colour_arg1, st.colour_arg2, D3DTA_TEXTURE);
    bool alpha_tex = uses(st.alpha_op, st.alpha_arg1, st.alpha_arg2, D3DTA_TEXTURE);
    bool colour_diff = uses(st.colour_op, st.colour_arg1, st.colour_arg2, D3DTA_DIFFUSE);
    bool alpha_diff = uses(st.alpha_op, st.alpha_arg1, st.alpha_arg2, D3DTA_DIFFUSE);
    bool textured = s.texels && (colour_tex || alpha_tex);
    bool exact = true;
    if (textured) {
      int set = s.coord_set;
      double w = s.width, h = s.height;
      double udx = dx[6 + 2 * set] * w, udy = dy[6 + 2 * set] * w;
      double vdx = dx[7 + 2 * set] * h, vdy = dy[7 + 2 * set] * h;
      double ub = base[6 + 2 * set] * w, vb = base[7 + 2 * set] * h;
      if (s.linear) {
        // Linear filtering of a texel-for-pixel mapping that hits texel centres reads one texel.
        auto near = [](double x, double want) { return std::fabs(x - want) < 1e-5; };
        double fu = ub - std::floor(ub), fv = vb - std::floor(vb);
        exact = near(udx, 1) && near(vdy, 1) && near(udy, 0) && near(vdx, 0) && near(fu, 0.5) &&
                near(fv, 0.5);
      }
      if (colour_tex != alpha_tex) exact = false;  // mixed sources: the general path
      p.texels = s.texels;
      p.width = s.width;
      p.height = s.height;
      p.address_u = s.address_u;
      p.address_v = s.address_v;
      p.border = s.border;
      p.du = std::llround(udx * 65536.0);
      p.dv = std::llround(vdx * 65536.0);
      if (exact) {
        p.er = colour_diff ? d[0] : 255, p.eg = colour_diff ? d[1] : 255;
        p.eb = colour_diff ? d[2] : 255, p.ea = alpha_diff ? d[3] : 255;
        for (long row = y_lo; row <= y_hi; ++row) {
          long lo = x_lo, hi = x_hi;
          if (!RowRange(edges, row, lo, hi)) continue;
          double u0 = ub + udx * lo + udy * row, v0 = vb + vdx * lo + vdy * row;
          if (std::fabs(u0) > 1e9 || std::fabs(v0) > 1e9) continue;
          p.u = static_cast<std::int64_t>(std::floor(u0 * 65536.0));
          p.v = static_cast<std::int64_t>(std::floor(v0 * 65536.0));
          auto* dst = reinterpret_cast<std::uint32_t*>(bits_ + row * pitch_) + lo;
          SimpleSpan(dst, hi - lo + 1, p, blend_, true);
        }
        target_->Touch();
        return;
      }
    } else {
      // No texture read: a constant colour (a missing texture reads as white).
      p.er = colour_diff ? d[0] : 255, p.eg = colour_diff ? d[1] : 255;
      p.eb = colour_diff ? d[2] : 255, p.ea = alpha_diff ? d[3] : 255;
      for (long row = y_lo; row <= y_hi; ++row) {
        long lo = x_lo, hi = x_hi;
        if (!RowRange(edges, row, lo, hi)) continue;
        auto* dst = reinterpret_cast<std::uint32_t*>(bits_ + row * pitch_) + lo;
        SimpleSpan(dst, hi - lo + 1, p, blend_, false);
      }
      return;
    }
  }

  // The general path: every pixel through the whole pipeline.
  for (long row = y_lo; row <= y_hi; ++row) {
    long lo = x_lo, hi = x_hi;
    if (!RowRange(edges, row, lo, hi)) continue;
    for (long col = lo; col <= hi; ++col) {
      float attrs[kAttrCount];
      double q = base[0] + dx[0] * col + dy[0] * row;
      if (!(q > 0.0)) continue;
      double w = 1.0 / q;
      attrs[0] = static_cast<float>(q);
      attrs[1] = static_cast<float>(base[1] + dx[1] * col + dy[1] * row);
      for (int k = 2; k < kAttrCount; ++k) {
        attrs[k] = static_cast<float>((base[k] + dx[k] * col + dy[k] * row) * w);
      }
      ShadePixel(static_cast<int>(col), static_cast<int>(row), attrs);
    }
  }
}

}  // namespace d3d9_internal
