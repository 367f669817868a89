// The .cur/.ico reader (see cursor_file.h). Written by hand because no library on the system
// reads this container; the PNG images inside it go through SDL2_image.
#include "platform/win32/cursor_file.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace win32 {

namespace {

constexpr std::size_t kDirHeader = 6;
constexpr std::size_t kDirEntry = 16;
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Bytes {
  const std::uint8_t* data;
  std::size_t size;

  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= size && count <= size - offset;
  }
  std::uint16_t U16(std::size_t at) const {
    return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
  }
  std::uint32_t U32(std::size_t at) const {
    return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
           (static_cast<std::uint32_t>(data[at + 2]) << 16) |
           (static_cast<std::uint32_t>(data[at + 3]) << 24);
  }
  std::uint32_t U32Big(std::size_t at) const {
    return (static_cast<std::uint32_t>(data[at]) << 24) |
           (static_cast<std::uint32_t>(data[at + 1]) << 16) |
           (static_cast<std::uint32_t>(data[at + 2]) << 8) |
           static_cast<std::uint32_t>(data[at + 3]);
  }
};

struct Entry {
  int width;
  int height;
  int bit_count;
  int hotspot_x;
  int hotspot_y;
  std::uint32_t bytes;
  std::uint32_t offset;
};

// A device-independent bitmap: XOR colours, then the 1-bit AND mask, rows bottom to top.
std::optional<CursorImage> DecodeDib(Bytes image) {
  if (!image.Has(0, 40)) return std::nullopt;
  std::uint32_t header = image.U32(0);
  auto width = static_cast<std::int32_t>(image.U32(4));
  auto double_height = static_cast<std::int32_t>(image.U32(8));
  int planes = image.U16(12);
  int bpp = image.U16(14);
  std::uint32_t compression = image.U32(16);
  std::uint32_t colours_used = image.U32(32);
  if (header < 40 || header > 4096 || planes != 1 || compression != 0) return std::nullopt;
  if (width <= 0 || width > kMaxCursorSide || double_height < 2 ||
      double_height > 2 * kMaxCursorSide)
    return std::nullopt;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
  int height = double_height / 2;

  std::size_t palette_at = header;
  std::size_t palette_count = 0;
  if (bpp <= 8) {
    std::size_t max_colours = std::size_t{1} << bpp;
    palette_count = colours_used ? colours_used : max_colours;
    if (palette_count > max_colours) return std::nullopt;
  }
  std::size_t xor_at = palette_at + palette_count * 4;
  std::size_t xor_stride = ((static_cast<std::size_t>(width) * bpp + 31) / 32) * 4;
  std::size_t mask_stride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
  std::size_t mask_at = xor_at + xor_stride * static_cast<std::size_t>(height);
  if (!image.Has(palette_at, palette_count * 4) ||
      !image.Has(xor_at, xor_stride * static_cast<std::size_t>(height)))
    return std::nullopt;
  // 32-bit images may leave the mask out: their alpha says everything.
  bool has_mask = image.Has(mask_at, mask_stride * static_cast<std::size_t>(height));
  if (!has_mask && bpp != 32) return std::nullopt;

  CursorImage out;
  out.width = width;
  out.height = height;
  out.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  bool any_alpha = false;
  for (int y = 0; y < height; ++y) {
    std::size_t row = xor_at + xor_stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t colour = 0;
      if (bpp == 32) {
        std::size_t p = row + static_cast<std::size_t>(x) * 4;
        colour = image.U32(p);  // B, G, R, A in memory
        if (colour >> 24) any_alpha = true;
      } else if (bpp == 24) {
        std::size_t p = row + static_cast<std::size_t>(x) * 3;
        colour = image.data[p] | (image.data[p + 1] << 8) | (image.data[p + 2] << 16);
      } else {
        std::size_t bit = static_cast<std::size_t>(x) * bpp;
        int shift = 8 - bpp - static_cast<int>(bit % 8);
        std::size_t index = (image.data[row + bit / 8] >> shift) & ((1u << bpp) - 1);
        if (index >= palette_count) return std::nullopt;
        colour = image.U32(palette_at + index * 4) & 0x00FFFFFFu;
      }
      out.pixels[static_cast<std::size_t>(y) * width + x] = colour;
    }
  }
  if (bpp == 32 && any_alpha) return out;
  for (int y = 0; y < height; ++y) {
    std::size_t row = mask_at + mask_stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t& p = out.pixels[static_cast<std::size_t>(y) * width + x];
      bool transparent =
          has_mask && ((image.data[row + static_cast<std::size_t>(x) / 8] >> (7 - x % 8)) & 1);
      p &= 0x00FFFFFFu;
      // A transparent pixel with colour would invert the screen; show it as opaque black.
      if (!transparent)
        p |= 0xFF000000u;
      else if (p != 0)
        p = 0xFF000000u;
    }
  }
  return out;
}

std::optional<CursorImage> DecodePng(Bytes image) {
  // Check the stated size before handing the stream to the decoder.
  if (!image.Has(0, 24) || std::memcmp(image.data + 12, "IHDR", 4) != 0) return std::nullopt;
  std::uint32_t width = image.U32Big(16), height = image.U32Big(20);
  if (width == 0 || height == 0 || width > kMaxCursorSide || height > kMaxCursorSide)
    return std::nullopt;
  SDL_RWops* rw = SDL_RWFromConstMem(image.data, static_cast<int>(image.size));
  if (!rw) return std::nullopt;
  SDL_Surface* decoded = IMG_LoadPNG_RW(rw);
  SDL_RWclose(rw);
  if (!decoded) return std::nullopt;
  SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
  SDL_FreeSurface(decoded);
  if (!argb) return std::nullopt;
  std::optional<CursorImage> out;
  if (argb->w == static_cast<int>(width) && argb->h == static_cast<int>(height)) {
    out.emplace();
    out->width = argb->w;
    out->height = argb->h;
    out->pixels.resize(static_cast<std::size_t>(argb->w) * argb->h);
    for (int y = 0; y < argb->h; ++y)
      std::memcpy(&out->pixels[static_cast<std::size_t>(y) * argb->w],
                  static_cast<const std::uint8_t*>(argb->pixels) +
                      static_cast<std::size_t>(y) * argb->pitch,
                  static_cast<std::size_t>(argb->w) * 4);
  }
  SDL_FreeSurface(argb);
  return out;
}

CursorImage Scaled(const CursorImage& in, int width, int height) {
  CursorImage out;
  out.width = width;
  out.height = height;
  out.hotspot_x = in.hotspot_x * width / in.width;
  out.hotspot_y = in.hotspot_y * height / in.height;
  out.pixels.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      out.pixels[static_cast<std::size_t>(y) * width + x] =
          in.pixels[static_cast<std::size_t>(y * in.height / height) * in.width +
                    x * in.width / width];
  return out;
}

}  // namespace

std::optional<CursorImage> ParseCursorFile(const std::uint8_t* data, std::size_t size,
                                           int want_width, int want_height) {
  Bytes file{data, size};
  if (!data || !file.Has(0, kDirHeader)) return std::nullopt;
  int type = file.U16(2);
  std::size_t count = file.U16(4);
  if (file.U16(0) != 0 || (type != 1 && type != 2) || count == 0) return std::nullopt;
  if (!file.Has(kDirHeader, count * kDirEntry)) return std::nullopt;
  if (want_width < 0 || want_height < 0 || want_width > kMaxCursorSide ||
      want_height > kMaxCursorSide)
    return std::nullopt;

  // The entry nearest the wanted size; on a tie the one with more colour bits.
  int target_w = want_width ? want_width : 32, target_h = want_height ? want_height : 32;
  std::optional<Entry> best;
  long best_score = 0;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t at = kDirHeader + i * kDirEntry;
    Entry e{file.data[at] ? file.data[at] : 256,
            file.data[at + 1] ? file.data[at + 1] : 256,
            type == 1 ? file.U16(at + 6) : 0,
            type == 2 ? file.U16(at + 4) : -1,
            type == 2 ? file.U16(at + 6) : -1,
            file.U32(at + 8),
            file.U32(at + 12)};
    if (e.bytes == 0 || !file.Has(e.offset, e.bytes)) continue;
    long score = std::labs(e.width - target_w) + std::labs(e.height - target_h);
    if (!best || score < best_score || (score == best_score && e.bit_count > best->bit_count)) {
      best = e;
      best_score = score;
    }
  }
  if (!best) return std::nullopt;

  Bytes image{data + best->offset, best->bytes};
  std::optional<CursorImage> decoded =
      image.Has(0, 8) && std::memcmp(image.data, kPngSignature, 8) == 0 ? DecodePng(image)
                                                                        : DecodeDib(image);
  if (!decoded) return std::nullopt;
  if (best->hotspot_x < 0) {
    decoded->hotspot_x = decoded->width / 2;
    decoded->hotspot_y = decoded->height / 2;
  } else {
    decoded->hotspot_x = std::min(best->hotspot_x, decoded->width - 1);
    decoded->hotspot_y = std::min(best->hotspot_y, decoded->height - 1);
  }
  if (want_width && want_height && (decoded->width != want_width || decoded->height != want_height))
    return Scaled(*decoded, want_width, want_height);
  return decoded;
}

}  // namespace win32
