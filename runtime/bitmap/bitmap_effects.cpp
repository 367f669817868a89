// Bitmap copies and whole-bitmap effects: plain and stretched copies between bitmaps and the
// screen, flip, mirror, fade and blur. The effects work on the locked surface in its own
// format: 32-bit pixels as four 8-bit channels (alpha in the top byte), 16-bit pixels as red 5
// bits at 11, green 6 bits at 5 and blue 5 bits at 0.
#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/bitmap/bitmap_state.h"
#include "runtime/core/errors.h"
#include "tessark/bitmap.h"

namespace tessark::bitmap {

namespace {

// A bitmap's surface with its size and bytes per pixel, ready to be locked.
struct Target {
  IDirect3DSurface9* surface = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t bytes = 0;  // 2 or 4; anything else is left alone
};

Target TargetOf(std::int32_t id, const BitmapRecord& record) {
  Target t;
  t.surface = SurfaceOf(id, record);
  D3DSURFACE_DESC desc{};
  if (!t.surface || FAILED(t.surface->GetDesc(&desc))) return Target{};
  t.width = static_cast<std::int32_t>(desc.Width);
  t.height = static_cast<std::int32_t>(desc.Height);
  t.bytes = SurfaceBits(t.surface) / 8;
  if (t.bytes != 2 && t.bytes != 4) return Target{};
  return t;
}

// The checked target of an effect: 1001 and 1002 raised here.
Target EffectTarget(std::int32_t id, BitmapRecord*& record) {
  record = FindChecked(id);
  return record ? TargetOf(id, *record) : Target{};
}

bool Inside(const RECT& r, const Target& t) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= t.width &&
         r.bottom <= t.height;
}

// Channel layouts: shift and mask of each channel, alpha last (32-bit only).
struct Layout {
  int count;
  int shift[4];
  std::uint32_t mask[4];
};
constexpr Layout kLayout32{4, {16, 8, 0, 24}, {0xFF, 0xFF, 0xFF, 0xFF}};
constexpr Layout kLayout16{3, {11, 5, 0, 0}, {0x1F, 0x3F, 0x1F, 0}};

std::uint32_t PixelGet(const BYTE* p, std::int32_t bytes) {
  if (bytes == 4) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  std::uint16_t v;
  std::memcpy(&v, p, 2);
  return v;
}

void PixelSet(BYTE* p, std::int32_t bytes, std::uint32_t v) {
  if (bytes == 4) {
    std::memcpy(p, &v, 4);
  } else {
    const auto h = static_cast<std::uint16_t>(v);
    std::memcpy(p, &h, 2);
  }
}

// The box blur of one channel plane (w x h values), window lo..hi around each pixel, clipped to
// the plane: row sums first, then column sums of those, divided by the clipped window's size.
void BlurPlane(std::vector<std::uint32_t>& plane, std::int32_t w, std::int32_t h, std::int32_t lo,
               std::int32_t hi) {
  std::vector<std::uint32_t> rows(plane.size());
  for (std::int32_t y = 0; y < h; ++y) {
    const std::uint32_t* in = plane.data() + static_cast<std::size_t>(y) * w;
    std::uint32_t* out = rows.data() + static_cast<std::size_t>(y) * w;
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint32_t sum = 0;
      for (std::int32_t i = std::max(0, x + lo); i <= std::min(w - 1, x + hi); ++i) sum += in[i];
      out[x] = sum;
    }
  }
  for (std::int32_t y = 0; y < h; ++y) {
    const std::int32_t top = std::max(0, y + lo), bottom = std::min(h - 1, y + hi);
    for (std::int32_t x = 0; x < w; ++x) {
      std::uint32_t sum = 0;
      for (std::int32_t j = top; j <= bottom; ++j) sum += rows[static_cast<std::size_t>(j) * w + x];
      const std::int32_t across = std::min(w - 1, x + hi) - std::max(0, x + lo) + 1;
      plane[static_cast<std::size_t>(y) * w + x] =
          sum / static_cast<std::uint32_t>(across * (bottom - top + 1));
    }
  }
}

// Copies src (inside source) onto dst (inside destination), nearest pixel: destination column
// c takes source column left + c * source width / destination width, truncated; rows alike.
void CopyStretched(const Target& source, const RECT& src, const Target& destination,
                   const RECT& dst) {
  SurfaceLock from(source.surface, D3DLOCK_READONLY);
  SurfaceLock to(destination.surface, 0);
  if (!from || !to) return;
  const std::int64_t sw = src.right - src.left, sh = src.bottom - src.top;
  const std::int64_t dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  const std::int32_t bytes = std::min(source.bytes, destination.bytes);
  for (std::int64_t r = 0; r < dh; ++r) {
    const BYTE* in = from.Row(static_cast<std::int32_t>(src.top + r * sh / dh));
    BYTE* out = to.Row(static_cast<std::int32_t>(dst.top + r));
    for (std::int64_t c = 0; c < dw; ++c) {
      const std::int64_t sx = src.left + c * sw / dw;
      std::memcpy(out + (dst.left + c) * destination.bytes, in + sx * source.bytes, bytes);
    }
  }
}

}  // namespace

}  // namespace tessark::bitmap

namespace tessark {

using namespace bitmap;

void BitmapCopy(std::int32_t source, std::int32_t destination) {
  BitmapRecord* from = FindChecked(source);
  if (!from) return;
  BitmapRecord* to = FindChecked(destination);
  if (!to) return;
  if (source == destination) return RuntimeError(error::kBitmapIdOutOfRange);
  const Target s = TargetOf(source, *from), d = TargetOf(destination, *to);
  if (!s.surface || !d.surface || !State().device) return;
  const RECT shared{0, 0, std::min(s.width, d.width), std::min(s.height, d.height)};
  State().device->StretchRect(s.surface, &shared, d.surface, &shared, D3DTEXF_NONE);
}

void BitmapCopyRect(std::int32_t source, std::int32_t left, std::int32_t top, std::int32_t right,
                    std::int32_t bottom, std::int32_t destination, std::int32_t to_left,
                    std::int32_t to_top, std::int32_t to_right, std::int32_t to_bottom) {
  BitmapRecord* from = FindChecked(source);
  if (!from) return;
  BitmapRecord* to = FindChecked(destination);
  if (!to) return;
  Target s = TargetOf(source, *from);
  const Target d = TargetOf(destination, *to);
  IDirect3DDevice9* device = State().device;
  const RECT src{left, top, right, bottom};
  RECT dst{to_left, to_top, to_right, to_bottom};
  if (!device || !s.surface || !d.surface || !Inside(src, s)) return;
  // A copy within one surface reads from a copy of it, so no pixel is read after it was written.
  Ref<IDirect3DSurface9> temporary;
  if (s.surface == d.surface) {
    D3DSURFACE_DESC desc{};
    s.surface->GetDesc(&desc);
    if (FAILED(device->CreateRenderTarget(desc.Width, desc.Height, desc.Format, D3DMULTISAMPLE_NONE,
                                          0, TRUE, temporary.Put(), nullptr)) ||
        FAILED(device->StretchRect(s.surface, nullptr, temporary.Get(), nullptr, D3DTEXF_NONE))) {
      return;
    }
    s.surface = temporary.Get();
  }
  // In 64 bits: the destination's coordinates are the program's, any 32-bit values at all.
  const std::int64_t width = std::int64_t{right} - left, height = std::int64_t{bottom} - top;
  if (width == std::int64_t{to_right} - to_left) {
    // Same widths: a plain copy of the source's size at the destination's top-left.
    if (to_left < 0 || to_top < 0 || to_left + width > d.width || to_top + height > d.height) {
      return;
    }
    dst.right = static_cast<LONG>(to_left + width);
    dst.bottom = static_cast<LONG>(to_top + height);
    device->StretchRect(s.surface, &src, d.surface, &dst, D3DTEXF_NONE);
    return;
  }
  if (Inside(dst, d)) CopyStretched(s, src, d, dst);
}

void BitmapFlip(std::int32_t id) {
  BitmapRecord* record = nullptr;
  const Target t = EffectTarget(id, record);
  if (!t.surface) return;
  {
    SurfaceLock lock(t.surface, 0);
    if (!lock) return;
    std::vector<BYTE> row(static_cast<std::size_t>(t.width) * t.bytes);
    for (std::int32_t y = 0; y < t.height / 2; ++y) {
      std::memcpy(row.data(), lock.Row(y), row.size());
      std::memcpy(lock.Row(y), lock.Row(t.height - 1 - y), row.size());
      std::memcpy(lock.Row(t.height - 1 - y), row.data(), row.size());
    }
  }
  record->flipped ^= 1;
}

void BitmapMirror(std::int32_t id) {
  BitmapRecord* record = nullptr;
  const Target t = EffectTarget(id, record);
  if (!t.surface) return;
  {
    SurfaceLock lock(t.surface, 0);
    if (!lock) return;
    BYTE swap[4];
    for (std::int32_t y = 0; y < t.height; ++y) {
      BYTE* row = lock.Row(y);
      for (std::int32_t x = 0; x < t.width / 2; ++x) {
        BYTE* a = row + x * t.bytes;
        BYTE* b = row + (t.width - 1 - x) * t.bytes;
        std::memcpy(swap, a, t.bytes);
        std::memcpy(a, b, t.bytes);
        std::memcpy(b, swap, t.bytes);
      }
    }
  }
  record->mirrored ^= 1;
}

void BitmapFade(std::int32_t id, std::int32_t percentage) {
  BitmapRecord* record = nullptr;
  const Target t = EffectTarget(id, record);
  if (!t.surface || percentage < 0 || percentage > 100) return;
  const float scale = static_cast<float>(percentage) * 0.01f;
  const Layout& layout = t.bytes == 4 ? kLayout32 : kLayout16;
  {
    SurfaceLock lock(t.surface, 0);
    if (!lock) return;
    for (std::int32_t y = 0; y < t.height; ++y) {
      BYTE* row = lock.Row(y);
      for (std::int32_t x = 0; x < t.width; ++x) {
        std::uint32_t p = PixelGet(row + x * t.bytes, t.bytes);
        for (int c = 0; c < 3; ++c) {  // red, green, blue; alpha is kept
          const std::uint32_t v = (p >> layout.shift[c]) & layout.mask[c];
          const auto faded = static_cast<std::uint32_t>(static_cast<float>(v) * scale);
          p = (p & ~(layout.mask[c] << layout.shift[c])) | (faded << layout.shift[c]);
        }
        PixelSet(row + x * t.bytes, t.bytes, p);
      }
    }
  }
  record->fade = percentage;
}

void BitmapBlur(std::int32_t id, std::int32_t value) {
  BitmapRecord* record = nullptr;
  const Target t = EffectTarget(id, record);
  // A window of one pixel leaves every pixel as it is.
  if (!t.surface || value > 9 || value <= 1) return;
  const std::int32_t lo = -(value / 2), hi = value - value / 2 - 1;
  const Layout& layout = t.bytes == 4 ? kLayout32 : kLayout16;
  SurfaceLock lock(t.surface, 0);
  if (!lock) return;
  const std::size_t count = static_cast<std::size_t>(t.width) * t.height;
  std::vector<std::uint32_t> pixels(count), plane(count), result(count, 0);
  for (std::int32_t y = 0; y < t.height; ++y) {
    for (std::int32_t x = 0; x < t.width; ++x) {
      pixels[static_cast<std::size_t>(y) * t.width + x] =
          PixelGet(lock.Row(y) + x * t.bytes, t.bytes);
    }
  }
  for (int c = 0; c < layout.count; ++c) {
    for (std::size_t i = 0; i < count; ++i)
      plane[i] = (pixels[i] >> layout.shift[c]) & layout.mask[c];
    BlurPlane(plane, t.width, t.height, lo, hi);
    for (std::size_t i = 0; i < count; ++i) result[i] |= plane[i] << layout.shift[c];
  }
  for (std::int32_t y = 0; y < t.height; ++y) {
    for (std::int32_t x = 0; x < t.width; ++x) {
      PixelSet(lock.Row(y) + x * t.bytes, t.bytes,
               result[static_cast<std::size_t>(y) * t.width + x]);
    }
  }
}

}  // namespace tessark
