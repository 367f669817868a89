// Triangle coverage and the span loops; see pixel.h. Coverage is exact integer arithmetic on
// vertex positions snapped to 1/256 pixel: a pixel centre is inside when every edge function is
// positive, or zero on a top or left edge, so triangles that share an edge never both draw, and
// never both miss, a pixel on it.
#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TESSARK_SPAN_AVX2 1
#endif

#include "platform/d3d9/formats.h"
#include "platform/d3d9/pixel.h"
#include "platform/d3d9/raster.h"

namespace d3d9_internal {

bool& WideSpansAllowed() {
  static bool allowed = true;
  return allowed;
}

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
  int kind;  // 1: lower bound, -1: upper bound, 0: horizontal (all or nothing)
  std::int64_t divisor, q, r, dq, dr;
  std::int64_t b, db;

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

// What the span loop writes for one texel (or constant colour) under the simple state.
struct SpanParams {
  const std::uint32_t* texels;
  int width, height;
  DWORD address_u, address_v, border;
  std::int64_t u, v, du, dv;     // 16.16 texel coordinates at the span start, and per pixel
  std::uint32_t er, eg, eb, ea;  // constant modulation (255 = none)
  bool dest_alpha;               // false: the target's alpha reads as 255
};

// Source alpha over inverse source alpha, two channels at a time (red with blue, alpha with
// green), each rounded exactly as Div255 rounds.
inline std::uint32_t BlendOver(std::uint32_t s, std::uint32_t d, bool dest_alpha) {
  std::uint32_t sa = s >> 24;
  if (sa == 255) return s;
  if (!dest_alpha) d |= 0xFF000000u;  // a target without alpha reads as opaque
  if (sa == 0) return d;
  std::uint32_t ia = 255 - sa;
  std::uint32_t rb = (s & 0x00FF00FFu) * sa + (d & 0x00FF00FFu) * ia + 0x00800080u;
  std::uint32_t ag = ((s >> 8) & 0x00FF00FFu) * sa + ((d >> 8) & 0x00FF00FFu) * ia + 0x00800080u;
  rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
  ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
  return ag | rb;
}

inline std::uint32_t Modulate(std::uint32_t t, const SpanParams& p) {
  return Div255((t >> 24) * p.ea) << 24 | Div255(((t >> 16) & 0xFF) * p.er) << 16 |
         Div255(((t >> 8) & 0xFF) * p.eg) << 8 | Div255((t & 0xFF) * p.eb);
}

#ifdef __SSE2__
// Four pixels at a time: the same arithmetic as Modulate and BlendOver, in 16-bit lanes
// (every product and sum stays below 2^16, so the rounding is exactly Div255's).
// With y = x + 128 (below 2^16 for every product here), (y + (y >> 8)) >> 8 is the high half
// of y * 257: the same rounding in one multiply.
inline __m128i Div255x8(__m128i x) {
  return _mm_mulhi_epu16(_mm_add_epi16(x, _mm_set1_epi16(128)), _mm_set1_epi16(257));
}

inline __m128i AlphaOf(__m128i lanes) {  // each pixel's alpha lane copied to its four lanes
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(lanes, 0xFF), 0xFF);
}

template <bool kBlend, bool kModulate>
inline __m128i Shade4(__m128i s, __m128i d, __m128i modulate, __m128i dest_alpha_or) {
  const __m128i zero = _mm_setzero_si128();
  __m128i s_lo = _mm_unpacklo_epi8(s, zero), s_hi = _mm_unpackhi_epi8(s, zero);
  if constexpr (kModulate) {
    s_lo = Div255x8(_mm_mullo_epi16(s_lo, modulate));
    s_hi = Div255x8(_mm_mullo_epi16(s_hi, modulate));
  }
  if constexpr (!kBlend) return _mm_packus_epi16(s_lo, s_hi);
  d = _mm_or_si128(d, dest_alpha_or);
  __m128i d_lo = _mm_unpacklo_epi8(d, zero), d_hi = _mm_unpackhi_epi8(d, zero);
  const __m128i full = _mm_set1_epi16(255);
  __m128i a_lo = AlphaOf(s_lo), a_hi = AlphaOf(s_hi);
  __m128i x_lo =
      _mm_add_epi16(_mm_mullo_epi16(s_lo, a_lo), _mm_mullo_epi16(d_lo, _mm_sub_epi16(full, a_lo)));
  __m128i x_hi =
      _mm_add_epi16(_mm_mullo_epi16(s_hi, a_hi), _mm_mullo_epi16(d_hi, _mm_sub_epi16(full, a_hi)));
  return _mm_packus_epi16(Div255x8(x_lo), Div255x8(x_hi));
}
#endif

// How a span finds its texels: one source row walked straight, stepped coordinates that stay
// inside the texture, or stepped coordinates that need the address mode.
enum Fetch { kStraight, kInside, kAddressed };

template <bool kBlend, bool kModulate, int kFetch>
void TexturedSpanWith(std::uint32_t* dst, long n, const SpanParams& p) {
  const std::uint32_t* src = p.texels + (p.v >> 16) * p.width + (p.u >> 16);
  if constexpr (kFetch == kStraight && !kBlend && !kModulate) {
    std::memcpy(dst, src, static_cast<std::size_t>(n) * 4);  // texel for pixel, opaque
    return;
  }
  std::int64_t u = p.u, v = p.v;
  const std::int64_t du = p.du, dv = p.dv;
  const std::int64_t width = p.width;
  auto fetch = [&](long i) __attribute__((always_inline))->std::uint32_t {
    if constexpr (kFetch == kStraight) {
      return src[i];
    } else if constexpr (kFetch == kInside) {
      std::uint32_t t = p.texels[(v >> 16) * width + (u >> 16)];
      u += du;
      v += dv;
      return t;
    } else {
      std::uint64_t tx = static_cast<std::uint64_t>(u >> 16),
                    ty = static_cast<std::uint64_t>(v >> 16);
      u += du;
      v += dv;
      if (tx < static_cast<std::uint64_t>(p.width) && ty < static_cast<std::uint64_t>(p.height)) {
        return p.texels[ty * static_cast<std::uint64_t>(p.width) + tx];
      }
      int wx = Address(static_cast<int>(static_cast<std::int64_t>(tx)), p.width, p.address_u);
      int wy = Address(static_cast<int>(static_cast<std::int64_t>(ty)), p.height, p.address_v);
      return (wx < 0 || wy < 0) ? p.border : p.texels[wy * p.width + wx];
    }
  };
  long i = 0;
#ifdef __SSE2__
  const __m128i modulate =
      _mm_set_epi16(static_cast<short>(p.ea), static_cast<short>(p.er), static_cast<short>(p.eg),
                    static_cast<short>(p.eb), static_cast<short>(p.ea), static_cast<short>(p.er),
                    static_cast<short>(p.eg), static_cast<short>(p.eb));
  const __m128i dest_alpha_or = _mm_set1_epi32(p.dest_alpha ? 0 : static_cast<int>(0xFF000000u));
  for (; i + 4 <= n; i += 4) {
    __m128i s;
    if constexpr (kFetch == kStraight) {
      s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    } else {
      std::uint32_t t0 = fetch(i), t1 = fetch(i + 1), t2 = fetch(i + 2), t3 = fetch(i + 3);
      s = _mm_set_epi32(static_cast<int>(t3), static_cast<int>(t2), static_cast<int>(t1),
                        static_cast<int>(t0));
    }
    if constexpr (kBlend) {
      // Four clear texels (still clear when tinted) leave the target, its alpha read as opaque
      // when it has none: nothing to write unless that alpha is not yet opaque.
      const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
      __m128i sa = _mm_and_si128(s, alpha);
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_setzero_si128())) == 0xFFFF) {
        if (p.dest_alpha) continue;
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, alpha), alpha)) != 0xFFFF) {
          _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(d, alpha));
        }
        continue;
      }
      // Four opaque untinted texels replace it: what the blend gives, without the arithmetic.
      if (!kModulate && _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alpha)) == 0xFFFF) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), s);
        continue;
      }
    }
    __m128i d = kBlend ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i)) : s;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                     Shade4<kBlend, kModulate>(s, d, modulate, dest_alpha_or));
  }
#endif
  for (; i < n; ++i) {
    std::uint32_t t = fetch(i);
    std::uint32_t s = kModulate ? Modulate(t, p) : t;
    dst[i] = kBlend ? BlendOver(s, dst[i], p.dest_alpha) : s;
  }
}

#ifdef TESSARK_SPAN_AVX2
// Eight pixels at a time for the commonest span, a blended texel-for-pixel row (every paste
// and upright sprite): the same lane arithmetic as Shade4, in 256-bit registers. Taken only
// where the processor has it; the last few pixels go through the four-wide loop.
__attribute__((target("avx2"))) inline __m256i Div255x16(__m256i x) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

__attribute__((target("avx2"))) inline __m256i AlphaOf8(__m256i lanes) {
  return _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(lanes, 0xFF), 0xFF);
}

// The registers one eight-pixel blend needs, set up once a span.
struct Blend8Consts {
  __m256i zero, full, alpha, modulate, dest_alpha_or;
  bool dest_alpha;
};

__attribute__((target("avx2"))) inline Blend8Consts MakeBlend8Consts(const SpanParams& p) {
  Blend8Consts c;
  c.zero = _mm256_setzero_si256();
  c.full = _mm256_set1_epi16(255);
  c.alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const auto e = [](std::uint32_t v) { return static_cast<short>(v); };
  c.modulate =
      _mm256_set_epi16(e(p.ea), e(p.er), e(p.eg), e(p.eb), e(p.ea), e(p.er), e(p.eg), e(p.eb),
                       e(p.ea), e(p.er), e(p.eg), e(p.eb), e(p.ea), e(p.er), e(p.eg), e(p.eb));
  c.dest_alpha_or = p.dest_alpha ? c.zero : c.alpha;
  c.dest_alpha = p.dest_alpha;
  return c;
}

// Eight texels s blended over the eight pixels at dst.
template <bool kModulate>
__attribute__((target("avx2"))) inline void Blend8(std::uint32_t* dst, __m256i s,
                                                   const Blend8Consts& c) {
  // Clear texels (still clear when tinted) leave the target, its alpha read as opaque when it
  // has none; opaque untinted ones replace it.
  if (_mm256_testz_si256(s, c.alpha)) {
    if (c.dest_alpha) return;
    __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
    if (!_mm256_testc_si256(d, c.alpha)) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_or_si256(d, c.alpha));
    }
    return;
  }
  if (!kModulate && _mm256_testc_si256(s, c.alpha)) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), s);
    return;
  }
  __m256i d =
      _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst)), c.dest_alpha_or);
  __m256i s_lo = _mm256_unpacklo_epi8(s, c.zero), s_hi = _mm256_unpackhi_epi8(s, c.zero);
  if constexpr (kModulate) {
    s_lo = Div255x16(_mm256_mullo_epi16(s_lo, c.modulate));
    s_hi = Div255x16(_mm256_mullo_epi16(s_hi, c.modulate));
  }
  __m256i d_lo = _mm256_unpacklo_epi8(d, c.zero), d_hi = _mm256_unpackhi_epi8(d, c.zero);
  __m256i a_lo = AlphaOf8(s_lo), a_hi = AlphaOf8(s_hi);
  __m256i x_lo = _mm256_add_epi16(_mm256_mullo_epi16(s_lo, a_lo),
                                  _mm256_mullo_epi16(d_lo, _mm256_sub_epi16(c.full, a_lo)));
  __m256i x_hi = _mm256_add_epi16(_mm256_mullo_epi16(s_hi, a_hi),
                                  _mm256_mullo_epi16(d_hi, _mm256_sub_epi16(c.full, a_hi)));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst),
                      _mm256_packus_epi16(Div255x16(x_lo), Div255x16(x_hi)));
}

// A blended texel-for-pixel row; answers how many pixels it did (a multiple of eight).
template <bool kModulate>
__attribute__((target("avx2"))) long StraightBlendSpan8(std::uint32_t* dst, long n,
                                                        const std::uint32_t* src,
                                                        const SpanParams& p) {
  const Blend8Consts c = MakeBlend8Consts(p);
  long i = 0;
  for (; i + 8 <= n; i += 8) {
    Blend8<kModulate>(dst + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), c);
  }
  return i;
}

// A blended row of stepped coordinates that stay inside the texture (a turned or scaled
// sprite): eight texels gathered at a time. The caller makes sure every texel index and
// 16.16 coordinate of the span fits 32 bits; steps wrap as the scalar sums would not, but only
// past the last pixel used.
template <bool kModulate>
__attribute__((target("avx2"))) long SteppedBlendSpan8(std::uint32_t* dst, long n,
                                                       const SpanParams& p) {
  const Blend8Consts c = MakeBlend8Consts(p);
  const auto low32 = [](std::int64_t x) {
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(x)));
  };
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  __m256i u = _mm256_add_epi32(_mm256_set1_epi32(low32(p.u)),
                               _mm256_mullo_epi32(lane, _mm256_set1_epi32(low32(p.du))));
  __m256i v = _mm256_add_epi32(_mm256_set1_epi32(low32(p.v)),
                               _mm256_mullo_epi32(lane, _mm256_set1_epi32(low32(p.dv))));
  const __m256i du8 = _mm256_set1_epi32(low32(p.du * 8)), dv8 = _mm256_set1_epi32(low32(p.dv * 8));
  const __m256i width = _mm256_set1_epi32(p.width);
  const int* texels = reinterpret_cast<const int*>(p.texels);
  long i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(v, 16), width),
                                     _mm256_srai_epi32(u, 16));
    Blend8<kModulate>(dst + i, _mm256_i32gather_epi32(texels, index, 4), c);
    u = _mm256_add_epi32(u, du8);
    v = _mm256_add_epi32(v, dv8);
  }
  return i;
}

// StraightBlendSpan8 over rows of a block (see StraightBlockWith), the registers set up once;
// the last few pixels of each row go through the four-wide loop.
template <bool kModulate>
__attribute__((target("avx2"))) void StraightBlendBlock8(BYTE* dst, UINT pitch, long rows, long n,
                                                         const SpanParams& p) {
  const Blend8Consts c = MakeBlend8Consts(p);
  const long wide = n & ~7L;
  const std::uint32_t* src = p.texels + (p.v >> 16) * p.width + (p.u >> 16);
  SpanParams rest = p;
  rest.u += static_cast<std::int64_t>(wide) << 16;
  for (long r = 0; r < rows; ++r, dst += pitch, src += p.width, rest.v += 65536) {
    auto* out = reinterpret_cast<std::uint32_t*>(dst);
    for (long i = 0; i < wide; i += 8) {
      Blend8<kModulate>(out + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), c);
    }
    if (wide < n) TexturedSpanWith<true, kModulate, kStraight>(out + wide, n - wide, rest);
  }
}

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has && WideSpansAllowed();
}
#endif

template <bool kBlend, bool kModulate>
void TexturedSpan(std::uint32_t* dst, long n, const SpanParams& p) {
  const std::int64_t u_last = p.u + p.du * (n - 1), v_last = p.v + p.dv * (n - 1);
  bool inside = std::min(p.u, u_last) >= 0 && (std::max(p.u, u_last) >> 16) < p.width &&
                std::min(p.v, v_last) >= 0 && (std::max(p.v, v_last) >> 16) < p.height;
  if (inside && p.du == 65536 && p.dv == 0) {
#ifdef TESSARK_SPAN_AVX2
    if (kBlend && n >= 8 && HasAvx2()) {
      const std::uint32_t* src = p.texels + (p.v >> 16) * p.width + (p.u >> 16);
      const long done = StraightBlendSpan8<kModulate>(dst, n, src, p);
      if (done == n) return;
      SpanParams rest = p;
      rest.u += static_cast<std::int64_t>(done) << 16;
      TexturedSpanWith<kBlend, kModulate, kStraight>(dst + done, n - done, rest);
      return;
    }
#endif
    TexturedSpanWith<kBlend, kModulate, kStraight>(dst, n, p);
  } else if (inside) {
#ifdef TESSARK_SPAN_AVX2
    // Inside the texture every 16.16 coordinate is below width or height * 65536; the gather
    // works in 32 bits, so both sides stay below 32768.
    if (kBlend && n >= 8 && p.width < 32768 && p.height < 32768 && HasAvx2()) {
      const long done = SteppedBlendSpan8<kModulate>(dst, n, p);
      if (done == n) return;
      SpanParams rest = p;
      rest.u += p.du * done;
      rest.v += p.dv * done;
      TexturedSpanWith<kBlend, kModulate, kInside>(dst + done, n - done, rest);
      return;
    }
#endif
    TexturedSpanWith<kBlend, kModulate, kInside>(dst, n, p);
  } else {
    TexturedSpanWith<kBlend, kModulate, kAddressed>(dst, n, p);
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

// Rows of texels copied or blended pixel for pixel: rows of n pixels, pitch bytes apart in the
// target, starting at texel (p.u, p.v) and going down one texel row a pixel row.
template <bool kBlend, bool kModulate>
void StraightBlockWith(BYTE* dst, UINT pitch, long rows, long n, const SpanParams& p) {
#ifdef TESSARK_SPAN_AVX2
  if (kBlend && n >= 8 && HasAvx2()) {
    StraightBlendBlock8<kModulate>(dst, pitch, rows, n, p);
    return;
  }
#endif
  SpanParams row = p;
  for (long r = 0; r < rows; ++r, dst += pitch, row.v += 65536) {
    TexturedSpanWith<kBlend, kModulate, kStraight>(reinterpret_cast<std::uint32_t*>(dst), n, row);
  }
}

void StraightBlock(BYTE* dst, UINT pitch, long rows, long n, const SpanParams& p, bool blend) {
  bool modulate = (p.er & p.eg & p.eb & p.ea) != 255;
  if (blend) {
    modulate ? StraightBlockWith<true, true>(dst, pitch, rows, n, p)
             : StraightBlockWith<true, false>(dst, pitch, rows, n, p);
  } else {
    modulate ? StraightBlockWith<false, true>(dst, pitch, rows, n, p)
             : StraightBlockWith<false, false>(dst, pitch, rows, n, p);
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

// Fills a convex polygon of three vertices, or of four (a quad whose attributes lie on the plane
// of its first three, vertices in clockwise order); false when a quad needs the general path.
bool Pipeline::Convex(const Vertex* const* vin, int n, const float* flat_colour) {
  const Vertex* v[4] = {vin[0], vin[1], vin[2], n == 4 ? vin[3] : vin[2]};
  std::int64_t X[4], Y[4];
  for (int i = 0; i < n; ++i) {
    X[i] = RoundToInt(static_cast<double>(v[i]->x) * kSub);
    Y[i] = RoundToInt(static_cast<double>(v[i]->y) * kSub);
  }
  std::int64_t A = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (A == 0) return n == 3;
  if (A < 0) {
    if (n == 4) return false;
    std::swap(v[1], v[2]);
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }
  auto lowest = [&](const std::int64_t* c) { return *std::min_element(c, c + n); };
  auto highest = [&](const std::int64_t* c) { return *std::max_element(c, c + n); };
  long x_lo = std::max<long>(clip_.left, static_cast<long>(CeilDiv(lowest(X), kSub)));
  long x_hi = std::min<long>(clip_.right - 1, static_cast<long>(FloorDiv(highest(X), kSub)));
  long y_lo = std::max<long>(clip_.top, static_cast<long>(CeilDiv(lowest(Y), kSub)));
  long y_hi = std::min<long>(clip_.bottom - 1, static_cast<long>(FloorDiv(highest(Y), kSub)));
  if (x_lo > x_hi || y_lo > y_hi) return true;

  Edge edges[4];
  for (int k = 0; k < n; ++k) {
    int j = (k + 1) % n;
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
    const float* colour = flat_ ? flat_colour : v[i]->colour;  // flat shading: the first vertex
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
  // Planes are solved as they are needed: the span loops read one texture's coordinates only.
  auto solve = [&](int k) {
    double d1 = f[1][k] - f[0][k], d2 = f[2][k] - f[0][k];
    dx[k] = (d1 * (py[2] - py[0]) - d2 * (py[1] - py[0])) / det;
    dy[k] = (d2 * (px[1] - px[0]) - d1 * (px[2] - px[0])) / det;
    base[k] = f[0][k] - dx[k] * px[0] - dy[k] * py[0];
  };

  if (n == 4 || FastSpanPossible(v)) {
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
      solve(6 + 2 * set);
      solve(7 + 2 * set);
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
      p.du = RoundToInt(udx * 65536.0);
      p.dv = RoundToInt(vdx * 65536.0);
      if (exact) {
        p.er = colour_diff ? d[0] : 255, p.eg = colour_diff ? d[1] : 255;
        p.eb = colour_diff ? d[2] : 255, p.ea = alpha_diff ? d[3] : 255;
        // Each row's starting texel coordinates in 32.32 fixed point, from integer steps.
        const double kFix = 4294967296.0;
        bool fixed = std::fabs(ub) < 1e6 && std::fabs(vb) < 1e6 && std::fabs(udx) < 1e4 &&
                     std::fabs(udy) < 1e4 && std::fabs(vdx) < 1e4 && std::fabs(vdy) < 1e4;
        const std::int64_t u0 = fixed ? RoundToInt(ub * kFix) : 0,
                           v0 = fixed ? RoundToInt(vb * kFix) : 0;
        const std::int64_t ux = fixed ? RoundToInt(udx * kFix) : 0,
                           uy = fixed ? RoundToInt(udy * kFix) : 0;
        const std::int64_t vx = fixed ? RoundToInt(vdx * kFix) : 0,
                           vy = fixed ? RoundToInt(vdy * kFix) : 0;
        // An upright quad mapped texel for pixel (every paste and unturned sprite) is one
        // block of straight rows; when the texture holds all of it, it is copied or blended
        // row by row without the per-span set-up.
        constexpr std::int64_t kOne = std::int64_t{1} << 32;
        long lo, hi, first, last;
        if (fixed && ux == kOne && uy == 0 && vx == 0 && vy == kOne && p.du == 65536 && p.dv == 0 &&
            Upright(edges, n) &&
            UprightBounds(edges, n, x_lo, x_hi, y_lo, y_hi, lo, hi, first, last)) {
          p.u = (u0 + ux * lo) >> 16;
          p.v = (v0 + vy * first) >> 16;
          const std::int64_t u_last = (p.u >> 16) + (hi - lo),
                             v_last = (p.v >> 16) + (last - first);
          if (p.u >= 0 && p.v >= 0 && u_last < p.width && v_last < p.height) {
            StraightBlock(bits_ + first * pitch_ + lo * 4, pitch_, last - first + 1, hi - lo + 1, p,
                          blend_);
            return true;
          }
        }
        ForEachSpan(edges, n, x_lo, x_hi, y_lo, y_hi, [&](long row, long lo, long hi) {
          if (fixed) {
            p.u = (u0 + ux * lo + uy * row) >> 16;
            p.v = (v0 + vx * lo + vy * row) >> 16;
          } else {
            double uf = ub + udx * lo + udy * row, vf = vb + vdx * lo + vdy * row;
            if (std::fabs(uf) > 1e9 || std::fabs(vf) > 1e9) return;
            p.u = FloorToInt(uf * 65536.0);
            p.v = FloorToInt(vf * 65536.0);
          }
          auto* dst = reinterpret_cast<std::uint32_t*>(bits_ + row * pitch_) + lo;
          SimpleSpan(dst, hi - lo + 1, p, blend_, true);
        });
        return true;
      }
    } else {
      // No texture read: a constant colour (a missing texture reads as white).
      p.er = colour_diff ? d[0] : 255, p.eg = colour_diff ? d[1] : 255;
      p.eb = colour_diff ? d[2] : 255, p.ea = alpha_diff ? d[3] : 255;
      ForEachSpan(edges, n, x_lo, x_hi, y_lo, y_hi, [&](long row, long lo, long hi) {
        auto* dst = reinterpret_cast<std::uint32_t*>(bits_ + row * pitch_) + lo;
        SimpleSpan(dst, hi - lo + 1, p, blend_, false);
      });
      return true;
    }
  }
  if (n == 4) return false;

  // The general path: every pixel through the whole pipeline.
  for (int k = 0; k < kAttrCount; ++k) solve(k);
  ForEachSpan(edges, n, x_lo, x_hi, y_lo, y_hi, [&](long row, long lo, long hi) {
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
  });
  return true;
}

// A strip of two triangles forming a convex quad with one attribute plane is filled as one
// polygon: the same pixels as the two triangles (the shared diagonal is interior), half the
// set-up and one span a row.
bool Pipeline::QuadStrip(const Vertex* const s[4]) {
  if (!simple_state_) return false;
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

}  // namespace d3d9_internal
