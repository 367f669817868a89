// The span loops; see spans.h.
#include "platform/d3d9/spans.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define TESSARK_SPAN_AVX2 1
#endif

#include "platform/d3d9/pixel.h"
#include "platform/d3d9/raster.h"

namespace d3d9_internal {

bool& WideSpansAllowed() {
  static bool allowed = true;
  return allowed;
}

bool& SimdSpansAllowed() {
  static bool allowed = true;
  return allowed;
}

bool& TexelRectsAllowed() {
  static bool allowed = true;
  return allowed;
}

namespace {

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

// Writes four pixels s at dst: copied, or (tinted and) blended over what is there.
template <bool kBlend, bool kModulate>
inline void Put4(std::uint32_t* dst, __m128i s, __m128i modulate, __m128i dest_alpha_or,
                 bool dest_alpha) {
  if constexpr (kBlend) {
    // Four clear pixels (still clear when tinted) leave the target, its alpha read as opaque
    // when it has none: nothing to write unless that alpha is not yet opaque.
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    __m128i sa = _mm_and_si128(s, alpha);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(sa, _mm_setzero_si128())) == 0xFFFF) {
      if (dest_alpha) return;
      __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(d, alpha), alpha)) != 0xFFFF) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(d, alpha));
      }
      return;
    }
    // Four opaque untinted pixels replace it: what the blend gives, without the arithmetic.
    if (!kModulate && _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alpha)) == 0xFFFF) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), s);
      return;
    }
  }
  __m128i d = kBlend ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst)) : s;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                   Shade4<kBlend, kModulate>(s, d, modulate, dest_alpha_or));
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
  const long four = SimdSpansAllowed() ? n : 0;
  for (; i + 4 <= four; i += 4) {
    __m128i s;
    if constexpr (kFetch == kStraight) {
      s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    } else {
      std::uint32_t t0 = fetch(i), t1 = fetch(i + 1), t2 = fetch(i + 2), t3 = fetch(i + 3);
      s = _mm_set_epi32(static_cast<int>(t3), static_cast<int>(t2), static_cast<int>(t1),
                        static_cast<int>(t0));
    }
    Put4<kBlend, kModulate>(dst + i, s, modulate, dest_alpha_or, p.dest_alpha);
  }
#endif
  for (; i < n; ++i) {
    std::uint32_t t = fetch(i);
    std::uint32_t s = kModulate ? Modulate(t, p) : t;
    dst[i] = kBlend ? BlendOver(s, dst[i], p.dest_alpha) : s;
  }
}

#ifdef TESSARK_SPAN_AVX2
// Eight pixels at a time for the commonest spans, blended rows texel for pixel (every paste
// and upright sprite) or stepped (turned and scaled sprites): the same result as Shade4, in
// 256-bit registers. Taken only where the processor has it.
__attribute__((target("avx2"))) inline __m256i Div255x16(__m256i x) {
  return _mm256_mulhi_epu16(_mm256_add_epi16(x, _mm256_set1_epi16(128)), _mm256_set1_epi16(257));
}

// The registers one eight-pixel blend needs, set up once a span.
struct Blend8Consts {
  __m256i zero, alpha, modulate, dest_alpha_or, alpha_bytes, bias, ones, sign, m257;
  bool dest_alpha;
};

__attribute__((target("avx2"))) inline Blend8Consts MakeBlend8Consts(const SpanParams& p) {
  Blend8Consts c;
  c.zero = _mm256_setzero_si256();
  c.alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const auto e = [](std::uint32_t v) { return static_cast<short>(v); };
  c.modulate =
      _mm256_set_epi16(e(p.ea), e(p.er), e(p.eg), e(p.eb), e(p.ea), e(p.er), e(p.eg), e(p.eb),
                       e(p.ea), e(p.er), e(p.eg), e(p.eb), e(p.ea), e(p.er), e(p.eg), e(p.eb));
  // The byte shuffle that copies each pixel's alpha to its four bytes.
  c.alpha_bytes = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15,  //
                                   3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
  c.bias = _mm256_set1_epi8(-128);
  c.ones = _mm256_set1_epi8(-1);
  c.sign = _mm256_set1_epi16(-32768);
  c.m257 = _mm256_set1_epi16(257);
  c.dest_alpha_or = p.dest_alpha ? c.zero : c.alpha;
  c.dest_alpha = p.dest_alpha;
  return c;
}

// Eight texels s (tinted and) blended over eight pixels d: the arithmetic, without the
// shortcuts Blend8 takes where it knows the answer. Each channel is Div255(s * a + d * (255 -
// a)), a the (tinted) texel's alpha. Untinted, with the bytes of s and d taken less 128 as
// signed, one multiply-add of each pair (a, 255 - a) gives that sum less 255 * 128, between
// -32640 and 32385, so never saturated; adding 255 * 128 + 128, which toggles the sign bit,
// gives the x + 128 that Div255x16 rounds with. Tinted texels are already in 16-bit lanes,
// where the sum is made as it stands.
template <bool kModulate>
__attribute__((target("avx2"))) inline __m256i Blended8(__m256i s, __m256i d,
                                                        const Blend8Consts& c) {
  // A target without alpha reads as opaque.
  d = _mm256_or_si256(d, c.dest_alpha_or);
  if constexpr (kModulate) {
    const __m256i s_lo = Div255x16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(s, c.zero), c.modulate));
    const __m256i s_hi = Div255x16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(s, c.zero), c.modulate));
    const char z = -128;  // a shuffle index that gives 0
    const __m256i alpha_words =
        _mm256_setr_epi8(6, z, 6, z, 6, z, 6, z, 14, z, 14, z, 14, z, 14, z, 6, z, 6, z, 6, z, 6, z,
                         14, z, 14, z, 14, z, 14, z);
    const __m256i full = _mm256_set1_epi16(255);
    const auto half = [&](__m256i sw, __m256i dw) __attribute__((target("avx2"))) {
      const __m256i a = _mm256_shuffle_epi8(sw, alpha_words);
      return Div255x16(_mm256_add_epi16(_mm256_mullo_epi16(sw, a),
                                        _mm256_mullo_epi16(dw, _mm256_sub_epi16(full, a))));
    };
    return _mm256_packus_epi16(half(s_lo, _mm256_unpacklo_epi8(d, c.zero)),
                               half(s_hi, _mm256_unpackhi_epi8(d, c.zero)));
  }
  const __m256i a = _mm256_shuffle_epi8(s, c.alpha_bytes);
  const __m256i ia = _mm256_xor_si256(a, c.ones);
  const __m256i sb = _mm256_xor_si256(s, c.bias), db = _mm256_xor_si256(d, c.bias);
  const __m256i lo =
      _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, ia), _mm256_unpacklo_epi8(sb, db));
  const __m256i hi =
      _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, ia), _mm256_unpackhi_epi8(sb, db));
  return _mm256_packus_epi16(_mm256_mulhi_epu16(_mm256_xor_si256(lo, c.sign), c.m257),
                             _mm256_mulhi_epu16(_mm256_xor_si256(hi, c.sign), c.m257));
}

// Eight texels s blended over the eight pixels at dst. Opaque untinted texels replace the
// target; clear ones (still clear when tinted) leave it, its alpha read as opaque when it has
// none, so that alpha is made opaque: stored whether or not it already was, since a test of the
// target would be one more branch to guess (and guessing wrong costs more than the store).
// Opaque is tested first: the commonest case, and so the better guessed.
template <bool kModulate>
__attribute__((target("avx2"))) inline void Blend8(std::uint32_t* dst, __m256i s,
                                                   const Blend8Consts& c) {
  auto* out = reinterpret_cast<__m256i*>(dst);
  if (!kModulate && _mm256_testc_si256(s, c.alpha)) {
    _mm256_storeu_si256(out, s);
    return;
  }
  if (_mm256_testz_si256(s, c.alpha)) {
    if (!c.dest_alpha) _mm256_storeu_si256(out, _mm256_or_si256(_mm256_loadu_si256(out), c.alpha));
    return;
  }
  _mm256_storeu_si256(out, Blended8<kModulate>(s, _mm256_loadu_si256(out), c));
}

// The lanes of the last left (below eight) pixels of a row.
__attribute__((target("avx2"))) inline __m256i TailMask(long left) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(left)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

// Blend8 for the lanes of mask only (texels s already read under it): nothing else is read or
// written.
template <bool kModulate>
__attribute__((target("avx2"))) inline void BlendMasked8(std::uint32_t* dst, __m256i s,
                                                         __m256i mask, const Blend8Consts& c) {
  int* out = reinterpret_cast<int*>(dst);
  _mm256_maskstore_epi32(out, mask, Blended8<kModulate>(s, _mm256_maskload_epi32(out, mask), c));
}

// A blended texel-for-pixel row. A row of eight or more ends with its last eight pixels, which
// overlap the group before when the width is not a multiple of eight: they are blended from
// the target as it was before the row (read first), so that no pixel is blended twice, and
// no masked access is needed (slow on some processors). Shorter rows go under a mask. Inlined
// into the block loop, whose rows then keep the blend's constants in registers.
template <bool kModulate>
__attribute__((target("avx2"), always_inline)) inline void StraightBlendRow8(
    std::uint32_t* dst, long n, const std::uint32_t* src, const Blend8Consts& c) {
  if (n < 8) {
    const __m256i mask = TailMask(n);
    BlendMasked8<kModulate>(dst, _mm256_maskload_epi32(reinterpret_cast<const int*>(src), mask),
                            mask, c);
    return;
  }
  const auto groups = [&](long end) __attribute__((target("avx2"), always_inline)) {
    for (long i = 0; i < end; i += 8) {
      Blend8<kModulate>(dst + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), c);
    }
  };
  if (n % 8 == 0) {
    groups(n);
    return;
  }
  auto* last = reinterpret_cast<__m256i*>(dst + n - 8);
  const __m256i d_last = _mm256_loadu_si256(last);
  groups(n - n % 8);
  const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + n - 8));
  _mm256_storeu_si256(last, Blended8<kModulate>(s, d_last, c));
}

// StraightBlendRow8 for a caller built without AVX2.
template <bool kModulate>
__attribute__((target("avx2"))) void StraightBlendSpan8(std::uint32_t* dst, long n,
                                                        const std::uint32_t* src,
                                                        const Blend8Consts& c) {
  StraightBlendRow8<kModulate>(dst, n, src, c);
}

// A blended row of stepped coordinates that stay inside the texture (a turned or scaled
// sprite): eight texels gathered at a time, the last few under a mask. A long span takes
// Blend8's shortcuts, which pay over the wide clear and opaque stretches of a large sprite. A
// short one (a small turned sprite, whose rows change from clear to edge to opaque every few
// groups) is blended without them, since each test would wait for its gather and often guess
// wrong, and when eight or more ends with its last eight pixels as StraightBlendRow8's rows
// do. The caller makes sure every texel index and 16.16 coordinate of the span fits 32 bits;
// steps wrap as the scalar sums would not, but only past the last pixel used.
constexpr long kLongSpan = 64;

template <bool kModulate>
__attribute__((target("avx2"), noinline)) void ShortSteppedBlendSpan8(std::uint32_t* dst, long n,
                                                                      const SpanParams& p,
                                                                      const Blend8Consts& c);

template <bool kModulate>
__attribute__((target("avx2"))) inline void SteppedBlendSpan8With(std::uint32_t* dst, long n,
                                                                  const SpanParams& p,
                                                                  const Blend8Consts& c) {
  if (n < kLongSpan && n >= 8) {
    ShortSteppedBlendSpan8<kModulate>(dst, n, p, c);
    return;
  }
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
  if (i < n) {
    const __m256i mask = TailMask(n - i);
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(v, 16), width),
                                           _mm256_srai_epi32(u, 16));
    const __m256i s = _mm256_mask_i32gather_epi32(c.zero, texels, index, mask, 4);
    BlendMasked8<kModulate>(dst + i, s, mask, c);
  }
}

// The short spans of SteppedBlendSpan8With (eight pixels or more), kept out of line so that
// the long spans' loop keeps its registers.
template <bool kModulate>
__attribute__((target("avx2"), noinline)) void ShortSteppedBlendSpan8(std::uint32_t* dst, long n,
                                                                      const SpanParams& p,
                                                                      const Blend8Consts& c) {
  const auto low32 = [](std::int64_t x) {
    return static_cast<int>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(x)));
  };
  const __m256i lane = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m256i lane_du = _mm256_mullo_epi32(lane, _mm256_set1_epi32(low32(p.du)));
  const __m256i lane_dv = _mm256_mullo_epi32(lane, _mm256_set1_epi32(low32(p.dv)));
  __m256i u = _mm256_add_epi32(_mm256_set1_epi32(low32(p.u)), lane_du);
  __m256i v = _mm256_add_epi32(_mm256_set1_epi32(low32(p.v)), lane_dv);
  const __m256i du8 = _mm256_set1_epi32(low32(p.du * 8)), dv8 = _mm256_set1_epi32(low32(p.dv * 8));
  const __m256i width = _mm256_set1_epi32(p.width);
  const int* texels = reinterpret_cast<const int*>(p.texels);
  auto* last = reinterpret_cast<__m256i*>(dst + n - 8);
  const __m256i d_last = _mm256_loadu_si256(last);
  long i = 0;
  for (; i + 8 <= n; i += 8) {
    __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(v, 16), width),
                                     _mm256_srai_epi32(u, 16));
    auto* out = reinterpret_cast<__m256i*>(dst + i);
    _mm256_storeu_si256(out, Blended8<kModulate>(_mm256_i32gather_epi32(texels, index, 4),
                                                 _mm256_loadu_si256(out), c));
    u = _mm256_add_epi32(u, du8);
    v = _mm256_add_epi32(v, dv8);
  }
  if (i < n) {
    // The last eight pixels' coordinates, from the span's start.
    u = _mm256_add_epi32(_mm256_set1_epi32(low32(p.u + p.du * (n - 8))), lane_du);
    v = _mm256_add_epi32(_mm256_set1_epi32(low32(p.v + p.dv * (n - 8))), lane_dv);
    const __m256i index = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(v, 16), width),
                                           _mm256_srai_epi32(u, 16));
    _mm256_storeu_si256(last,
                        Blended8<kModulate>(_mm256_i32gather_epi32(texels, index, 4), d_last, c));
  }
}

template <bool kModulate>
__attribute__((target("avx2"))) void SteppedBlendSpan8(std::uint32_t* dst, long n,
                                                       const SpanParams& p) {
  SteppedBlendSpan8With<kModulate>(dst, n, p, MakeBlend8Consts(p));
}

// StraightBlendRow8 over rows of a block (see StraightBlockWith), the registers set up once.
template <bool kModulate>
__attribute__((target("avx2"))) void StraightBlendBlock8(BYTE* dst, UINT pitch, long rows, long n,
                                                         const SpanParams& p) {
  const Blend8Consts c = MakeBlend8Consts(p);
  const std::uint32_t* src = p.texels + (p.v >> 16) * p.width + (p.u >> 16);
  for (long r = 0; r < rows; ++r, dst += pitch, src += p.width) {
    StraightBlendRow8<kModulate>(reinterpret_cast<std::uint32_t*>(dst), n, src, c);
  }
}

// Read once at start-up, so that each span's check is a load, not a guarded static.
const bool kCpuHasAvx2 = [] {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") != 0;
}();

bool HasAvx2() {
  return kCpuHasAvx2 && WideSpansAllowed() && SimdSpansAllowed();
}

// n pixels of one colour, 32 bytes a store: a full-window fill runs at the speed of the
// cache's widest writes.
__attribute__((target("avx2"))) void FillSpan8(std::uint32_t* dst, long n, std::uint32_t colour) {
  const __m256i c = _mm256_set1_epi32(static_cast<int>(colour));
  long i = 0;
  for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), c);
  if (i < n) _mm256_maskstore_epi32(reinterpret_cast<int*>(dst + i), TailMask(n - i), c);
}
#endif

}  // namespace

void FillSpan(std::uint32_t* dst, long n, std::uint32_t colour) {
#ifdef TESSARK_SPAN_AVX2
  if (n >= 8 && HasAvx2()) {
    FillSpan8(dst, n, colour);
    return;
  }
#endif
  std::fill(dst, dst + n, colour);
}

namespace {

template <bool kBlend, bool kModulate>
void TexturedSpan(std::uint32_t* dst, long n, const SpanParams& p) {
  const std::int64_t u_last = p.u + p.du * (n - 1), v_last = p.v + p.dv * (n - 1);
  bool inside = std::min(p.u, u_last) >= 0 && (std::max(p.u, u_last) >> 16) < p.width &&
                std::min(p.v, v_last) >= 0 && (std::max(p.v, v_last) >> 16) < p.height;
  if (inside && p.du == 65536 && p.dv == 0) {
#ifdef TESSARK_SPAN_AVX2
    if (kBlend && HasAvx2()) {
      const std::uint32_t* src = p.texels + (p.v >> 16) * p.width + (p.u >> 16);
      StraightBlendSpan8<kModulate>(dst, n, src, MakeBlend8Consts(p));
      return;
    }
#endif
    TexturedSpanWith<kBlend, kModulate, kStraight>(dst, n, p);
  } else if (inside) {
#ifdef TESSARK_SPAN_AVX2
    // Inside the texture every 16.16 coordinate is below width or height * 65536; the gather
    // works in 32 bits, so both sides stay below 32768.
    if (kBlend && p.width < 32768 && p.height < 32768 && HasAvx2()) {
      SteppedBlendSpan8<kModulate>(dst, n, p);
      return;
    }
#endif
    TexturedSpanWith<kBlend, kModulate, kInside>(dst, n, p);
  } else {
    TexturedSpanWith<kBlend, kModulate, kAddressed>(dst, n, p);
  }
}

}  // namespace

void SimpleSpan(std::uint32_t* dst, long n, const SpanParams& p, bool blend, bool textured) {
  if (!textured) {
    std::uint32_t c = p.ea << 24 | p.er << 16 | p.eg << 8 | p.eb;
    if (!blend) {
      FillSpan(dst, n, c);
      return;
    }
    long i = 0;
#ifdef __SSE2__
    if (SimdSpansAllowed()) {
      const __m128i s = _mm_set1_epi32(static_cast<int>(c));
      const __m128i dest_alpha_or =
          _mm_set1_epi32(p.dest_alpha ? 0 : static_cast<int>(0xFF000000u));
      for (; i + 4 <= n; i += 4) Put4<true, false>(dst + i, s, s, dest_alpha_or, p.dest_alpha);
    }
#endif
    for (; i < n; ++i) dst[i] = BlendOver(c, dst[i], p.dest_alpha);
    return;
  }
  bool modulate = (p.er & p.eg & p.eb & p.ea) != 255;
  if (blend) {
    modulate ? TexturedSpan<true, true>(dst, n, p) : TexturedSpan<true, false>(dst, n, p);
  } else {
    modulate ? TexturedSpan<false, true>(dst, n, p) : TexturedSpan<false, false>(dst, n, p);
  }
}

namespace {

// Whether a span's stepped coordinates stay inside the texture (see TexturedSpan).
inline bool SpanInside(long n, const SpanParams& p) {
  const std::int64_t u_last = p.u + p.du * (n - 1), v_last = p.v + p.dv * (n - 1);
  return std::min(p.u, u_last) >= 0 && (std::max(p.u, u_last) >> 16) < p.width &&
         std::min(p.v, v_last) >= 0 && (std::max(p.v, v_last) >> 16) < p.height;
}

#ifdef TESSARK_SPAN_AVX2
// The blended spans of a turned or scaled polygon, the registers set up once for all of them.
template <bool kModulate>
__attribute__((target("avx2"))) void SteppedBlendSpans8(BYTE* bits, UINT pitch,
                                                        const TexturedRun* runs, long count,
                                                        SpanParams p) {
  const Blend8Consts c = MakeBlend8Consts(p);
  for (long k = 0; k < count; ++k) {
    const TexturedRun& run = runs[k];
    p.u = run.u;
    p.v = run.v;
    auto* dst = reinterpret_cast<std::uint32_t*>(bits + run.row * pitch) + run.lo;
    if (SpanInside(run.n, p)) {
      SteppedBlendSpan8With<kModulate>(dst, run.n, p, c);
    } else {
      TexturedSpanWith<true, kModulate, kAddressed>(dst, run.n, p);
    }
  }
}
#endif

}  // namespace

void TexturedSpans(BYTE* bits, UINT pitch, const TexturedRun* runs, long count, SpanParams p,
                   bool blend) {
  const bool modulate = (p.er & p.eg & p.eb & p.ea) != 255;
#ifdef TESSARK_SPAN_AVX2
  // What TexturedSpan chooses for each span, chosen once: stepped (not straight) coordinates,
  // blended, eight at a time.
  if (blend && !(p.du == 65536 && p.dv == 0) && p.width < 32768 && p.height < 32768 && HasAvx2()) {
    modulate ? SteppedBlendSpans8<true>(bits, pitch, runs, count, p)
             : SteppedBlendSpans8<false>(bits, pitch, runs, count, p);
    return;
  }
#endif
  for (long k = 0; k < count; ++k) {
    p.u = runs[k].u;
    p.v = runs[k].v;
    auto* dst = reinterpret_cast<std::uint32_t*>(bits + runs[k].row * pitch) + runs[k].lo;
    SimpleSpan(dst, runs[k].n, p, blend, true);
  }
}

namespace {

// A colour channel rounded to a byte as the general pipeline rounds it: through float,
// clamped, half up.
inline std::uint32_t ChannelByte(double v) {
  const float f = static_cast<float>(v);
  if (!(f > 0.0f)) return 0;
  if (f >= 255.0f) return 255;
  return static_cast<std::uint32_t>(f + 0.5f);
}

template <bool kBlend>
void GouraudSpanWith(std::uint32_t* dst, long col, long row, long n, const ColourPlane& p) {
  double row_term[4];
  for (int k = 0; k < 4; ++k) row_term[k] = p.dy[k] * static_cast<double>(row);
  long i = 0;
#ifdef __SSE2__
  if (SimdSpansAllowed()) {
    // Two channels a register, each pixel's value the same sum of the same double products
    // as below; float conversion and the clamp and half-up rounding four channels at a time.
    const __m128d base_bg = _mm_loadu_pd(p.base), base_ra = _mm_loadu_pd(p.base + 2);
    const __m128d dx_bg = _mm_loadu_pd(p.dx), dx_ra = _mm_loadu_pd(p.dx + 2);
    const __m128d row_bg = _mm_loadu_pd(row_term), row_ra = _mm_loadu_pd(row_term + 2);
    const __m128d one = _mm_set1_pd(1.0);
    const __m128 zero = _mm_setzero_ps(), full = _mm_set1_ps(255.0f), half = _mm_set1_ps(0.5f);
    __m128d at = _mm_set1_pd(static_cast<double>(col));
    auto pixel = [&]() __attribute__((always_inline)) {
      __m128d bg = _mm_add_pd(_mm_add_pd(base_bg, _mm_mul_pd(dx_bg, at)), row_bg);
      __m128d ra = _mm_add_pd(_mm_add_pd(base_ra, _mm_mul_pd(dx_ra, at)), row_ra);
      at = _mm_add_pd(at, one);
      __m128 f = _mm_movelh_ps(_mm_cvtpd_ps(bg), _mm_cvtpd_ps(ra));
      return _mm_cvttps_epi32(_mm_add_ps(_mm_min_ps(_mm_max_ps(f, zero), full), half));
    };
    const __m128i dest_alpha_or = _mm_set1_epi32(p.dest_alpha ? 0 : static_cast<int>(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
      const __m128i p0 = pixel(), p1 = pixel(), p2 = pixel(), p3 = pixel();
      const __m128i s = _mm_packus_epi16(_mm_packs_epi32(p0, p1), _mm_packs_epi32(p2, p3));
      Put4<kBlend, false>(dst + i, s, s, dest_alpha_or, p.dest_alpha);
    }
  }
#endif
  for (; i < n; ++i) {
    const double at = static_cast<double>(col + i);
    std::uint32_t s = 0;
    for (int k = 0; k < 4; ++k) s |= ChannelByte(p.base[k] + p.dx[k] * at + row_term[k]) << 8 * k;
    dst[i] = kBlend ? BlendOver(s, dst[i], p.dest_alpha) : s;
  }
}

}  // namespace

void GouraudSpan(std::uint32_t* dst, long col, long row, long n, const ColourPlane& p, bool blend) {
  blend ? GouraudSpanWith<true>(dst, col, row, n, p) : GouraudSpanWith<false>(dst, col, row, n, p);
}

namespace {

// Rows of texels copied or blended pixel for pixel: rows of n pixels, pitch bytes apart in the
// target, starting at texel (p.u, p.v) and going down one texel row a pixel row.
template <bool kBlend, bool kModulate>
void StraightBlockWith(BYTE* dst, UINT pitch, long rows, long n, const SpanParams& p) {
#ifdef TESSARK_SPAN_AVX2
  if (kBlend && HasAvx2()) {
    StraightBlendBlock8<kModulate>(dst, pitch, rows, n, p);
    return;
  }
#endif
  SpanParams row = p;
  for (long r = 0; r < rows; ++r, dst += pitch, row.v += 65536) {
    TexturedSpanWith<kBlend, kModulate, kStraight>(reinterpret_cast<std::uint32_t*>(dst), n, row);
  }
}

}  // namespace

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

}  // namespace d3d9_internal
