// Triangle coverage and the polygon fills; see pixel.h. Coverage is exact integer arithmetic on
// vertex positions snapped to 1/256 pixel: a pixel centre is inside when every edge function is
// positive, or zero on a top or left edge, so triangles that share an edge never both draw, and
// never both miss, a pixel on it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/d3d9/formats.h"
#include "platform/d3d9/pixel.h"
#include "platform/d3d9/raster.h"
#include "platform/d3d9/spans.h"

namespace d3d9_internal {

namespace {

constexpr std::int64_t kSub = 256;
constexpr float kGuard = 16384.0f;

std::int64_t FloorDiv(std::int64_t n, std::int64_t d) {  // d > 0
  std::int64_t q = n / d;
  return (n % d != 0 && n < 0) ? q - 1 : q;
}
std::int64_t CeilDiv(std::int64_t n, std::int64_t d) {
  return -FloorDiv(-n, d);
}

// floor() and llround() without a library call (values are far inside the 64-bit range).
inline std::int64_t FloorToInt(double x) {
  auto t = static_cast<std::int64_t>(x);
  return t - (static_cast<double>(t) > x);
}
inline std::int64_t RoundToInt(double x) {
  return FloorToInt(x + 0.5);
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

// One edge's bound on each row, stepped from row to row without dividing: a pixel centre
// (px, py) is inside when a*px + b > 0 (b grows by ex*kSub a row), or >= 0 on a top or left
// edge, which for integers is b + 1 > 0. For a > 0 that bounds px from below by
// floor(-b / a) + 1, for a < 0 from above by -floor(-b / -a) - 1; q and r are that floor and
// its remainder, carried from row to row.
struct EdgeWalk {
  int kind = 0;  // 1: lower bound, -1: upper bound, 0: horizontal (all or nothing)
  std::int64_t divisor = 1, q = 0, r = 0, dq = 0, dr = 0;  // unused when horizontal
  std::int64_t b = 0, db = 0;

  EdgeWalk(const Edge& e, long row) {
    std::int64_t a = -e.ey * kSub;
    b = e.ex * (kSub * row - e.yi) + e.ey * e.xi + e.top_left;
    db = e.ex * kSub;
    kind = a > 0 ? 1 : (a < 0 ? -1 : 0);
    if (kind == 0) return;
    divisor = a > 0 ? a : -a;
    q = FloorDiv(-b, divisor);
    r = -b - q * divisor;
    dq = db == 0 ? 0 : FloorDiv(-db, divisor);  // plumb edges do not move
    dr = -db - dq * divisor;
  }
  // Narrows [lo, hi] for the current row; false when the row is empty.
  bool Bound(long& lo, long& hi) const {
    if (kind > 0) {
      lo = std::max<long>(lo, static_cast<long>(std::max<std::int64_t>(q + 1, -(1LL << 30))));
    } else if (kind < 0) {
      hi = std::min<long>(hi, static_cast<long>(std::min<std::int64_t>(-q - 1, 1LL << 30)));
    } else if (b <= 0) {
      return false;
    }
    return true;
  }
  void Step() {
    if (kind == 0) {
      b += db;
      return;
    }
    StepBound();
  }
  // Step for an edge that bounds the rows (kind not 0).
  void StepBound() {
    q += dq;
    r += dr;
    // Branch-free carry: whether the remainder wraps changes from row to row.
    std::int64_t carry = r >= divisor;
    r -= divisor & -carry;
    q += carry;
  }
};

// Whether every edge is level or plumb: an upright rectangle, as every unturned sprite and
// paste is.
bool Upright(const Edge* edges, int n) {
  bool upright = true;
  for (int k = 0; k < n; ++k) upright &= edges[k].ex == 0 || edges[k].ey == 0;
  return upright;
}

// The pixels of an upright polygon, the same as the row walk finds: a plumb edge bounds every
// row alike and a level edge lets a run of rows through, so the pixels are the columns
// [lo, hi] of the rows [first, last]. False when there are none.
bool UprightBounds(const Edge* edges, int n, long x_lo, long x_hi, long y_lo, long y_hi, long& lo,
                   long& hi, long& first, long& last) {
  lo = x_lo, hi = x_hi;
  std::int64_t k_lo = 0, k_hi = y_hi - y_lo;  // rows as offsets from y_lo
  for (int k = 0; k < n; ++k) {
    const EdgeWalk w(edges[k], y_lo);
    if (w.kind != 0) {
      w.Bound(lo, hi);
    } else if (w.db == 0) {
      if (w.b <= 0) return false;
    } else if (w.db > 0) {  // b + db * k > 0 from some row on
      k_lo = std::max(k_lo, FloorDiv(-w.b, w.db) + 1);
    } else {  // until some row
      k_hi = std::min(k_hi, CeilDiv(w.b, -w.db) - 1);
    }
  }
  first = y_lo + static_cast<long>(k_lo);
  last = y_lo + static_cast<long>(k_hi);
  return lo <= hi && first <= last;
}

// Walks the rows of a triangle, handing each non-empty span to fn(row, lo, hi).
template <typename Fn>
void ForEachSpan(const Edge* edges, int n, long x_lo, long x_hi, long y_lo, long y_hi, Fn fn) {
  if (Upright(edges, n)) {
    long lo, hi, first, last;
    if (!UprightBounds(edges, n, x_lo, x_hi, y_lo, y_hi, lo, hi, first, last)) return;
    for (long row = first; row <= last; ++row) fn(row, lo, hi);
    return;
  }
  // A level edge lets a run of rows through; each other edge bounds every row from one side. When
  // no more than two bound a side (every triangle, and every quad but the odd kite), the rows
  // are walked with just those two a side, a lone edge on a side standing in for both.
  {
    std::int64_t k_lo = 0, k_hi = y_hi - y_lo;  // rows as offsets from y_lo
    int lower[4], upper[4], n_lower = 0, n_upper = 0;
    for (int k = 0; k < n; ++k) {
      const EdgeWalk w(edges[k], y_lo);
      if (w.kind > 0) {
        lower[n_lower++] = k;
      } else if (w.kind < 0) {
        upper[n_upper++] = k;
      } else if (w.db == 0) {
        if (w.b <= 0) return;
      } else if (w.db > 0) {
        k_lo = std::max(k_lo, FloorDiv(-w.b, w.db) + 1);
      } else {
        k_hi = std::min(k_hi, CeilDiv(w.b, -w.db) - 1);
      }
    }
    if (n_lower >= 1 && n_lower <= 2 && n_upper >= 1 && n_upper <= 2) {
      if (k_lo > k_hi) return;
      const long first = y_lo + static_cast<long>(k_lo), last = y_lo + static_cast<long>(k_hi);
      EdgeWalk l0(edges[lower[0]], first), l1(edges[lower[n_lower - 1]], first);
      EdgeWalk u0(edges[upper[0]], first), u1(edges[upper[n_upper - 1]], first);
      for (long row = first; row <= last; ++row) {
        // x_lo >= 0 and x_hi < 2^30: the walks' own clamps never bind here.
        const long lo = static_cast<long>(std::max<std::int64_t>(x_lo, std::max(l0.q, l1.q) + 1));
        const long hi = static_cast<long>(std::min<std::int64_t>(x_hi, -std::max(u0.q, u1.q) - 1));
        if (lo <= hi) fn(row, lo, hi);
        l0.StepBound();
        l1.StepBound();
        u0.StepBound();
        u1.StepBound();
      }
      return;
    }
  }
  EdgeWalk walk[4] = {EdgeWalk(edges[0], y_lo), EdgeWalk(edges[1], y_lo), EdgeWalk(edges[2], y_lo),
                      EdgeWalk(edges[n == 4 ? 3 : 2], y_lo)};
  for (long row = y_lo; row <= y_hi; ++row) {
    long lo = x_lo, hi = x_hi;
    bool any = walk[0].Bound(lo, hi) && walk[1].Bound(lo, hi) && walk[2].Bound(lo, hi) &&
               walk[3].Bound(lo, hi);
    if (any && lo <= hi) fn(row, lo, hi);
    for (EdgeWalk& w : walk) w.Step();
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

  Convex(v, 3, a.colour);
}

namespace {

// A polygon ready for coverage: its vertices in clockwise order with positions snapped to
// 1/kSub pixel, its edges, and the rectangle of pixel centres (inside the clip rectangle) it
// may cover.
struct Polygon {
  const Vertex* v[4];
  int n;
  std::int64_t x[4], y[4];
  Edge edges[4];
  long x_lo, x_hi, y_lo, y_hi;

  template <typename Fn>
  void ForEachSpan(Fn fn) const {
    d3d9_internal::ForEachSpan(edges, n, x_lo, x_hi, y_lo, y_hi, fn);
  }
  bool Upright() const { return d3d9_internal::Upright(edges, n); }
  bool UprightBounds(long& lo, long& hi, long& first, long& last) const {
    return d3d9_internal::UprightBounds(edges, n, x_lo, x_hi, y_lo, y_hi, lo, hi, first, last);
  }
};

enum class Snapped {
  kReady,
  kEmpty,    // nothing to draw: no area, or nothing inside the clip rectangle
  kRefused,  // a quad the polygon fill cannot take (no area, or wound the other way)
};

// Snaps the vertices, puts them in clockwise order and finds the edges and the pixel rectangle.
Snapped Snap(const Vertex* const* vin, int n, const RECT& clip, Polygon& poly) {
  poly.n = n;
  const Vertex** v = poly.v;
  v[0] = vin[0], v[1] = vin[1], v[2] = vin[2], v[3] = n == 4 ? vin[3] : vin[2];
  std::int64_t* X = poly.x;
  std::int64_t* Y = poly.y;
  for (int i = 0; i < n; ++i) {
    X[i] = RoundToInt(static_cast<double>(v[i]->x) * kSub);
    Y[i] = RoundToInt(static_cast<double>(v[i]->y) * kSub);
  }
  std::int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area == 0) return n == 3 ? Snapped::kEmpty : Snapped::kRefused;
  if (area < 0) {
    if (n == 4) return Snapped::kRefused;
    std::swap(v[1], v[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }
  auto lowest = [&](const std::int64_t* c) { return *std::min_element(c, c + n); };
  auto highest = [&](const std::int64_t* c) { return *std::max_element(c, c + n); };
  poly.x_lo = std::max<long>(clip.left, static_cast<long>(CeilDiv(lowest(X), kSub)));
  poly.x_hi = std::min<long>(clip.right - 1, static_cast<long>(FloorDiv(highest(X), kSub)));
  poly.y_lo = std::max<long>(clip.top, static_cast<long>(CeilDiv(lowest(Y), kSub)));
  poly.y_hi = std::min<long>(clip.bottom - 1, static_cast<long>(FloorDiv(highest(Y), kSub)));
  if (poly.x_lo > poly.x_hi || poly.y_lo > poly.y_hi) return Snapped::kEmpty;

  for (int k = 0; k < n; ++k) {
    int j = (k + 1) % n;
    Edge& e = poly.edges[k];
    e.ex = X[j] - X[k];
    e.ey = Y[j] - Y[k];
    e.xi = X[k];
    e.yi = Y[k];
    // Interior to the right of an edge going up is a left edge; a flat edge going right with
    // the interior below it is a top edge.
    e.top_left = (e.ey < 0 || (e.ey == 0 && e.ex > 0)) ? 1 : 0;
  }
  return Snapped::kReady;
}

// The attribute planes of a polygon's first three vertices over their snapped positions:
// value(px, py) = base + dx * px + dy * py, slot by slot (see AttrSlot). Solved only as they are
// needed: the span loops read one texture's coordinates only.
struct Planes {
  double at[3][kAttrCount];  // each slot's value at the three vertices
  double px[3], py[3], det;
  double dx[kAttrCount], dy[kAttrCount], base[kAttrCount];

  // flat_colour: the colour every pixel takes under flat shading, or null.
  Planes(const Polygon& poly, const float* flat_colour) {
    const Vertex* const* v = poly.v;
    bool affine = v[0]->rhw == v[1]->rhw && v[1]->rhw == v[2]->rhw;
    for (int i = 0; i < 3; ++i) {
      double q = affine ? 1.0 : v[i]->rhw;
      const float* colour = flat_colour ? flat_colour : v[i]->colour;
      at[i][kAttrQ] = q;
      at[i][kAttrZ] = v[i]->z;
      for (int k = 0; k < 4; ++k) at[i][kAttrColour + k] = colour[k] * q;
      for (int set = 0; set < 2; ++set) {
        at[i][TexUSlot(set)] = v[i]->tex[set][0] * q;
        at[i][TexVSlot(set)] = v[i]->tex[set][1] * q;
      }
    }
    for (int i = 0; i < 3; ++i) px[i] = double(poly.x[i]) / kSub, py[i] = double(poly.y[i]) / kSub;
    det = (px[1] - px[0]) * (py[2] - py[0]) - (px[2] - px[0]) * (py[1] - py[0]);
  }
  void Solve(int k) {
    double d1 = at[1][k] - at[0][k], d2 = at[2][k] - at[0][k];
    dx[k] = (d1 * (py[2] - py[0]) - d2 * (py[1] - py[0])) / det;
    dy[k] = (d2 * (px[1] - px[0]) - d1 * (px[2] - px[0])) / det;
    base[k] = at[0][k] - dx[k] * px[0] - dy[k] * py[0];
  }
  double At(int k, long col, long row) const { return base[k] + dx[k] * col + dy[k] * row; }
};

// Where the simple state's single stage takes texture and diffuse from.
struct StageReads {
  bool colour_tex, alpha_tex, colour_diffuse, alpha_diffuse;

  explicit StageReads(const StageSetup& st) {
    auto uses = [](DWORD op, DWORD a1, DWORD a2, DWORD what) {
      return (op != D3DTOP_SELECTARG2 && a1 == what) || (op != D3DTOP_SELECTARG1 && a2 == what);
    };
    colour_tex = uses(st.colour_op, st.colour_arg1, st.colour_arg2, D3DTA_TEXTURE);
    alpha_tex = uses(st.alpha_op, st.alpha_arg1, st.alpha_arg2, D3DTA_TEXTURE);
    colour_diffuse = uses(st.colour_op, st.colour_arg1, st.colour_arg2, D3DTA_DIFFUSE);
    alpha_diffuse = uses(st.alpha_op, st.alpha_arg1, st.alpha_arg2, D3DTA_DIFFUSE);
  }
};

// The span loops' constant modulation: the polygon's one colour where the stage reads diffuse,
// none (255) where it does not.
void SetModulation(SpanParams& p, const Planes& planes, const StageReads& reads) {
  int d[4];
  for (int k = 0; k < 4; ++k) d[k] = ToByte(static_cast<float>(planes.at[0][kAttrColour + k]));
  p.er = reads.colour_diffuse ? d[0] : 255, p.eg = reads.colour_diffuse ? d[1] : 255;
  p.eb = reads.colour_diffuse ? d[2] : 255, p.ea = reads.alpha_diffuse ? d[3] : 255;
}

// Texel coordinates (texels, not 0..1) over the screen: u = ub + udx * px + udy * py, and v.
struct TexelMapping {
  double ub, udx, udy, vb, vdx, vdy;
};

// The same mapping in 32.32 fixed point, so that each row's starting coordinates come from
// integer steps; usable only when every value fits.
struct FixedMapping {
  bool usable;
  std::int64_t u0, ux, uy, v0, vx, vy;

  explicit FixedMapping(const TexelMapping& m) {
    const double kFix = 4294967296.0;
    usable = std::fabs(m.ub) < 1e6 && std::fabs(m.vb) < 1e6 && std::fabs(m.udx) < 1e4 &&
             std::fabs(m.udy) < 1e4 && std::fabs(m.vdx) < 1e4 && std::fabs(m.vdy) < 1e4;
    u0 = usable ? RoundToInt(m.ub * kFix) : 0, v0 = usable ? RoundToInt(m.vb * kFix) : 0;
    ux = usable ? RoundToInt(m.udx * kFix) : 0, uy = usable ? RoundToInt(m.udy * kFix) : 0;
    vx = usable ? RoundToInt(m.vdx * kFix) : 0, vy = usable ? RoundToInt(m.vdy * kFix) : 0;
  }
  // Texel for pixel, rows going straight down the texture.
  bool TexelForPixel() const {
    constexpr std::int64_t kOne = std::int64_t{1} << 32;
    return usable && ux == kOne && uy == 0 && vx == 0 && vy == kOne;
  }
};

// Where the span loops draw.
struct SpanTarget {
  BYTE* bits;
  UINT pitch;
  bool blend;
};

// An upright quad mapped texel for pixel (every paste and unturned sprite) is one block of
// straight rows; when the texture holds all of it, it is copied or blended row by row without
// the per-span set-up. False when the polygon is not such a block.
bool FillUprightBlock(const Polygon& poly, const FixedMapping& fixed, SpanParams& p,
                      const SpanTarget& target) {
  long lo, hi, first, last;
  if (!fixed.TexelForPixel() || p.du != 65536 || p.dv != 0 || !poly.Upright() ||
      !poly.UprightBounds(lo, hi, first, last)) {
    return false;
  }
  p.u = (fixed.u0 + fixed.ux * lo) >> 16;
  p.v = (fixed.v0 + fixed.vy * first) >> 16;
  const std::int64_t u_last = (p.u >> 16) + (hi - lo), v_last = (p.v >> 16) + (last - first);
  if (p.u < 0 || p.v < 0 || u_last >= p.width || v_last >= p.height) return false;
  StraightBlock(target.bits + first * target.pitch + lo * 4, target.pitch, last - first + 1,
                hi - lo + 1, p, target.blend);
  return true;
}

// A textured polygon, span by span, each span's starting coordinates worked out from the
// mapping. Kept out of line: the row walk gets the registers to itself.
[[gnu::noinline]] void FillTexturedSpans(const Polygon& poly, const TexelMapping& m,
                                         const FixedMapping& fixed, SpanParams& p,
                                         const SpanTarget& target) {
  // The spans go to the span loops a batch at a time, the loop for them chosen once a batch.
  constexpr long kBatch = 64;
  TexturedRun runs[kBatch];
  long count = 0;
  poly.ForEachSpan([&](long row, long lo, long hi) {
    TexturedRun& run = runs[count];
    if (fixed.usable) {
      run.u = (fixed.u0 + fixed.ux * lo + fixed.uy * row) >> 16;
      run.v = (fixed.v0 + fixed.vx * lo + fixed.vy * row) >> 16;
    } else {
      double uf = m.ub + m.udx * lo + m.udy * row, vf = m.vb + m.vdx * lo + m.vdy * row;
      if (std::fabs(uf) > 1e9 || std::fabs(vf) > 1e9) return;
      run.u = FloorToInt(uf * 65536.0);
      run.v = FloorToInt(vf * 65536.0);
    }
    run.row = row;
    run.lo = lo;
    run.n = hi - lo + 1;
    if (++count == kBatch) {
      TexturedSpans(target.bits, target.pitch, runs, count, p, target.blend);
      count = 0;
    }
  });
  if (count > 0) TexturedSpans(target.bits, target.pitch, runs, count, p, target.blend);
}

// A polygon of one constant colour (no texture read; a missing texture reads as white).
void FillColourSpans(const Polygon& poly, const SpanParams& p, const SpanTarget& target) {
  poly.ForEachSpan([&](long row, long lo, long hi) {
    auto* dst = reinterpret_cast<std::uint32_t*>(target.bits + row * target.pitch) + lo;
    SimpleSpan(dst, hi - lo + 1, p, target.blend, false);
  });
}

// The fills of the simple state (see Pipeline::Setup): one stage of texture and a constant
// colour. False when the texture is not read one texel a pixel as the span loops read it, so
// the polygon needs the general path.
bool FillSimple(const Polygon& poly, Planes& planes, const SamplerSetup& s, const StageSetup& st,
                const SpanTarget& target, bool dest_alpha, bool block_only) {
  SpanParams p = ZeroSpanParams();
  p.dest_alpha = dest_alpha;
  const StageReads reads(st);
  if (!s.texels || !(reads.colour_tex || reads.alpha_tex)) {
    SetModulation(p, planes, reads);
    FillColourSpans(poly, p, target);
    return true;
  }
  const int u_slot = TexUSlot(s.coord_set), v_slot = TexVSlot(s.coord_set);
  planes.Solve(u_slot);
  planes.Solve(v_slot);
  const double w = s.width, h = s.height;
  TexelMapping m{planes.base[u_slot] * w, planes.dx[u_slot] * w, planes.dy[u_slot] * w,
                 planes.base[v_slot] * h, planes.dx[v_slot] * h, planes.dy[v_slot] * h};
  if (s.linear) {
    // Linear filtering of a texel-for-pixel mapping that hits texel centres reads one texel.
    auto near = [](double x, double want) { return std::fabs(x - want) < 1e-5; };
    double fu = m.ub - std::floor(m.ub), fv = m.vb - std::floor(m.vb);
    if (!(near(m.udx, 1) && near(m.vdy, 1) && near(m.udy, 0) && near(m.vdx, 0) && near(fu, 0.5) &&
          near(fv, 0.5))) {
      return false;
    }
  }
  if (reads.colour_tex != reads.alpha_tex) return false;  // mixed sources
  p.texels = s.texels;
  p.width = s.width;
  p.height = s.height;
  p.address_u = s.address_u;
  p.address_v = s.address_v;
  p.border = s.border;
  p.du = RoundToInt(m.udx * 65536.0);
  p.dv = RoundToInt(m.vdx * 65536.0);
  SetModulation(p, planes, reads);
  const FixedMapping fixed(m);
  if (FillUprightBlock(poly, fixed, p, target)) return true;
  if (block_only) return false;
  FillTexturedSpans(poly, m, fixed, p, target);
  return true;
}

// A triangle of interpolated colour under the simple state with no texture read (every
// gradient): each span shaded straight from the colour planes, the same sums and rounding as the
// general pipeline's. False when the stage reads a texture.
bool FillGouraud(const Polygon& poly, Planes& planes, const SamplerSetup& s, const StageSetup& st,
                 const SpanTarget& target, bool dest_alpha) {
  const StageReads reads(st);
  if (s.texels && (reads.colour_tex || reads.alpha_tex)) return false;
  ColourPlane c{};
  c.dest_alpha = dest_alpha;
  // The spans' channel order (blue, green, red, alpha) from the planes' (red, green, blue,
  // alpha); a channel the stage does not take from diffuse reads the missing texture's white.
  constexpr int kFrom[4] = {2, 1, 0, 3};
  for (int k = 0; k < 4; ++k) {
    const int slot = kAttrColour + kFrom[k];
    const bool diffuse = k < 3 ? reads.colour_diffuse : reads.alpha_diffuse;
    if (diffuse) planes.Solve(slot);
    c.base[k] = diffuse ? planes.base[slot] : 255.0;
    c.dx[k] = diffuse ? planes.dx[slot] : 0.0;
    c.dy[k] = diffuse ? planes.dy[slot] : 0.0;
  }
  poly.ForEachSpan([&](long row, long lo, long hi) {
    auto* dst = reinterpret_cast<std::uint32_t*>(target.bits + row * target.pitch) + lo;
    GouraudSpan(dst, lo, row, hi - lo + 1, c, target.blend);
  });
  return true;
}

// Every pixel of a triangle through the whole pipeline: shade(col, row, attributes), the
// attributes divided back by q.
template <typename Shade>
void FillGeneral(const Polygon& poly, Planes& planes, Shade shade) {
  for (int k = 0; k < kAttrCount; ++k) planes.Solve(k);
  poly.ForEachSpan([&](long row, long lo, long hi) {
    for (long col = lo; col <= hi; ++col) {
      float attrs[kAttrCount];
      double q = planes.At(kAttrQ, col, row);
      if (!(q > 0.0)) continue;
      double w = 1.0 / q;
      attrs[kAttrQ] = static_cast<float>(q);
      attrs[kAttrZ] = static_cast<float>(planes.At(kAttrZ, col, row));
      for (int k = kAttrColour; k < kAttrCount; ++k) {
        attrs[k] = static_cast<float>(planes.At(k, col, row) * w);
      }
      shade(static_cast<int>(col), static_cast<int>(row), attrs);
    }
  });
}

}  // namespace

bool Pipeline::PlainColour(const Vertex& a, const Vertex& b, std::uint32_t& colour) const {
  if (!plain_state_) return false;
  const StageReads reads(stages_[0]);
  if (samplers_[0].texels && (reads.colour_tex || reads.alpha_tex)) return false;
  // Equal colours, depth and rhw at both ends interpolate to exactly the ends' values.
  if (a.rhw != b.rhw || a.z != b.z) return false;
  for (int k = 0; k < 4; ++k) {
    if (a.colour[k] != b.colour[k]) return false;
  }
  auto byte = [&](int k, bool diffuse) {
    return diffuse ? static_cast<std::uint32_t>(ToByte(a.colour[k])) : 255u;
  };
  colour = byte(3, reads.alpha_diffuse) << 24 | byte(0, reads.colour_diffuse) << 16 |
           byte(1, reads.colour_diffuse) << 8 | byte(2, reads.colour_diffuse);
  return true;
}

// Fills a convex polygon of three vertices, or of four (a quad whose attributes lie on the plane
// of its first three, vertices in clockwise order); false when a quad needs the general path.
bool Pipeline::Convex(const Vertex* const* vin, int n, const float* flat_colour) {
  Polygon poly;
  switch (Snap(vin, n, clip_, poly)) {
    case Snapped::kEmpty:
      return true;
    case Snapped::kRefused:
      return false;
    case Snapped::kReady:
      break;
  }
  ChooseLevels(poly.v);
  Planes planes(poly, flat_ ? flat_colour : nullptr);  // flat shading: the first vertex's
  if (n == 4 || FastSpanPossible(poly.v)) {
    const SpanTarget target{bits_, pitch_, blend_};
    if (FillSimple(poly, planes, samplers_[0], stages_[0], target, dest_has_alpha_,
                   block_only_ && n == 4)) {
      return true;
    }
    if (n == 4) return false;
  } else if (simple_state_ && poly.v[0]->rhw == poly.v[1]->rhw &&
             poly.v[1]->rhw == poly.v[2]->rhw) {
    const SpanTarget target{bits_, pitch_, blend_};
    if (FillGouraud(poly, planes, samplers_[0], stages_[0], target, dest_has_alpha_)) return true;
  }
  FillGeneral(poly, planes, [this](int x, int y, const float* a) { ShadePixel(x, y, a); });
  return true;
}

// A strip of two triangles forming a convex quad with one attribute plane is filled as one
// polygon: the same pixels as the two triangles (the shared diagonal is interior), half the
// set-up and one span a row.
bool Pipeline::QuadStrip(const Vertex* const s[4], bool block_only) {
  if (!simple_state_) return false;
  block_only_ = block_only;
  for (int i = 0; i < 4; ++i) {
    if (!std::isfinite(s[i]->x) || !std::isfinite(s[i]->y) || std::fabs(s[i]->x) > kGuard ||
        std::fabs(s[i]->y) > kGuard || s[i]->rhw != s[0]->rhw) {
      return false;
    }
    for (int k = 0; k < 4; ++k) {
      if (!flat_ && s[i]->colour[k] != s[0]->colour[k]) return false;
    }
  }
  // The perimeter runs 0, 1, 3, 2; convex when every corner turns the same way.
  const Vertex* ring[4] = {s[0], s[1], s[3], s[2]};
  double turn[4];
  for (int i = 0; i < 4; ++i) {
    const Vertex* a = ring[i];
    const Vertex* b = ring[(i + 1) % 4];
    const Vertex* c = ring[(i + 2) % 4];
    turn[i] = (double(b->x) - a->x) * (double(c->y) - b->y) -
              (double(b->y) - a->y) * (double(c->x) - b->x);
  }
  bool clockwise = turn[0] > 0 && turn[1] > 0 && turn[2] > 0 && turn[3] > 0;
  bool counter = turn[0] < 0 && turn[1] < 0 && turn[2] < 0 && turn[3] < 0;
  if (!clockwise && !counter) return false;
  if (cull_ == D3DCULL_CW && clockwise) return true;
  if (cull_ == D3DCULL_CCW && counter) return true;
  // The fourth vertex must lie on the plane of the first three in every attribute it carries.
  double x0 = s[0]->x, y0 = s[0]->y;
  double e1x = s[1]->x - x0, e1y = s[1]->y - y0, e2x = s[2]->x - x0, e2y = s[2]->y - y0;
  double det = e1x * e2y - e2x * e1y;
  if (det == 0) return false;
  double px = s[3]->x - x0, py = s[3]->y - y0;
  double b1 = (px * e2y - e2x * py) / det, b2 = (e1x * py - px * e1y) / det;
  auto on_plane = [&](float f0, float f1, float f2, float f3) {
    double want = f0 + b1 * (f1 - f0) + b2 * (f2 - f0);
    return std::fabs(want - f3) <= 1e-5 * (1.0 + std::fabs(want));
  };
  for (int set = 0; set < 2; ++set) {
    for (int c = 0; c < 2; ++c) {
      if (!on_plane(s[0]->tex[set][c], s[1]->tex[set][c], s[2]->tex[set][c], s[3]->tex[set][c])) {
        return false;
      }
    }
  }
  if (clockwise) return Convex(ring, 4, s[0]->colour);
  const Vertex* reversed[4] = {ring[0], ring[3], ring[2], ring[1]};
  return Convex(reversed, 4, s[0]->colour);
}

bool Pipeline::PrepareRects() {
  if (!TexelRectsAllowed() || !simple_state_) return false;
  const StageReads reads(stages_[0]);
  const SamplerSetup& s = samplers_[0];
  rect_colour_diffuse_ = reads.colour_diffuse;
  rect_alpha_diffuse_ = reads.alpha_diffuse;
  rect_textured_ = s.texture && (reads.colour_tex || reads.alpha_tex);
  if (!rect_textured_) return true;
  // Texture and diffuse mixed across colour and alpha take the general path; so does a texture
  // whose first level sampled is not its top one, where the level chosen depends on the mapping.
  if (reads.colour_tex != reads.alpha_tex || s.texture->GetType() != D3DRTYPE_TEXTURE ||
      std::max(s.max_level, s.texture->GetLOD()) != 0) {
    return false;
  }
  IDirect3DSurface9* top = s.texture->Level(0, 0);
  rect_texels_ = top->Decoded();
  rect_width_ = static_cast<int>(top->Width());
  rect_height_ = static_cast<int>(top->Height());
  return true;
}

bool Pipeline::TexelRect(const QuadCorners& q) {
  // One colour and one rhw (an affine mapping) at every corner.
  for (int k = 1; k < 4; ++k) {
    if (q.colour[k] != q.colour[0] || q.rhw[k] != q.rhw[0]) return false;
  }
  // Corners 0 and 3 opposite, 1 and 2 the other two either way round, all inside the guard
  // band the polygon path keeps to.
  const float x0 = q.x[0], y0 = q.y[0], x3 = q.x[3], y3 = q.y[3];
  for (float f : {x0, y0, x3, y3}) {
    if (!(std::fabs(f) <= kGuard)) return false;
  }
  int p;  // the corner at (x0, y3); the corner at (x3, y0) is 3 - p
  if (q.x[1] == x0 && q.y[1] == y3 && q.x[2] == x3 && q.y[2] == y0) {
    p = 1;
  } else if (q.x[2] == x0 && q.y[2] == y3 && q.x[1] == x3 && q.y[1] == y0) {
    p = 2;
  } else {
    return false;
  }
  const std::int64_t X0 = RoundToInt(static_cast<double>(x0) * kSub),
                     X3 = RoundToInt(static_cast<double>(x3) * kSub),
                     Y0 = RoundToInt(static_cast<double>(y0) * kSub),
                     Y3 = RoundToInt(static_cast<double>(y3) * kSub);
  if (X0 == X3 || Y0 == Y3) return false;  // no area once snapped
  // Culled as its triangles are, by their winding on screen (y down: positive is clockwise).
  const double area =
      (double(q.x[1]) - x0) * (double(q.y[2]) - y0) - (double(q.x[2]) - x0) * (double(q.y[1]) - y0);
  if ((cull_ == D3DCULL_CW && area > 0) || (cull_ == D3DCULL_CCW && area < 0)) return true;
  // The pixel centres inside: left and top edges take the centres on them, right and bottom
  // edges do not.
  const std::int64_t xl = std::min(X0, X3), xr = std::max(X0, X3);
  const std::int64_t yt = std::min(Y0, Y3), yb = std::max(Y0, Y3);
  const long lo = std::max<long>(clip_.left, static_cast<long>(CeilDiv(xl, kSub)));
  const long hi = std::min<long>(clip_.right - 1, static_cast<long>(CeilDiv(xr, kSub) - 1));
  const long first = std::max<long>(clip_.top, static_cast<long>(CeilDiv(yt, kSub)));
  const long last = std::min<long>(clip_.bottom - 1, static_cast<long>(CeilDiv(yb, kSub) - 1));

  SpanParams params = ZeroSpanParams();
  params.dest_alpha = dest_has_alpha_;
  const DWORD c = q.colour[0];
  params.er = rect_colour_diffuse_ ? (c >> 16) & 0xFF : 255;
  params.eg = rect_colour_diffuse_ ? (c >> 8) & 0xFF : 255;
  params.eb = rect_colour_diffuse_ ? c & 0xFF : 255;
  params.ea = rect_alpha_diffuse_ ? c >> 24 : 255;
  if (!rect_textured_) {
    for (long row = first; row <= last; ++row) {
      auto* dst = reinterpret_cast<std::uint32_t*>(bits_ + row * pitch_) + lo;
      SimpleSpan(dst, hi - lo + 1, params, blend_, false);
    }
    return true;
  }
  // u follows x alone and v follows y alone.
  if (q.u[p] != q.u[0] || q.u[3 - p] != q.u[3] || q.v[3 - p] != q.v[0] || q.v[p] != q.v[3]) {
    return false;
  }
  // One texel a pixel, the same way round, with texel centres on pixel centres: the texel
  // coordinate at pixel centre (col, row) is (col + ku + 1/2, row + kv + 1/2). Within this
  // tolerance every sampling of the polygon path, point or linear, reads that one texel.
  constexpr double kTolerance = 1.0 / 4096;
  const double w = rect_width_, h = rect_height_;
  const double sx0 = static_cast<double>(X0) / kSub, sx3 = static_cast<double>(X3) / kSub;
  const double sy0 = static_cast<double>(Y0) / kSub, sy3 = static_cast<double>(Y3) / kSub;
  const double u0 = q.u[0] * w, u3 = q.u[3] * w, v0 = q.v[0] * h, v3 = q.v[3] * h;
  if (!(std::fabs((u3 - u0) - (sx3 - sx0)) <= kTolerance) ||
      !(std::fabs((v3 - v0) - (sy3 - sy0)) <= kTolerance)) {
    return false;
  }
  const double tu = u0 - sx0 - 0.5, tv = v0 - sy0 - 0.5;
  if (!(std::fabs(tu) < 1e9 && std::fabs(tv) < 1e9)) return false;
  const std::int64_t ku = RoundToInt(tu), kv = RoundToInt(tv);
  if (!(std::fabs(tu - static_cast<double>(ku)) <= kTolerance) ||
      !(std::fabs(tv - static_cast<double>(kv)) <= kTolerance)) {
    return false;
  }
  if (lo > hi || first > last) return true;  // nothing inside the clip rectangle
  // Texels outside the texture take the addressing modes: the polygon path.
  if (lo + ku < 0 || hi + ku >= rect_width_ || first + kv < 0 || last + kv >= rect_height_) {
    return false;
  }
  params.texels = rect_texels_;
  params.width = rect_width_;
  params.height = rect_height_;
  params.u = (lo + ku) * 65536 + 32768;
  params.v = (first + kv) * 65536 + 32768;
  params.du = 65536;
  StraightBlock(bits_ + first * pitch_ + lo * 4, pitch_, last - first + 1, hi - lo + 1, params,
                blend_);
  return true;
}

}  // namespace d3d9_internal
