// Icons and cursors (ICO, CUR), read by hand: a directory of pictures, each a device-independent
// bitmap (1, 4, 8, 24 or 32 bits, followed by its AND mask) or a whole PNG file. The largest
// picture counts, the deeper one among equals. Its size is taken from its own header (the
// directory's bytes only hold up to 256), so the probe and the decoder agree on what is read.
// A 32-bit bitmap whose alpha bytes hold anything is taken with that alpha; otherwise, and for
// the shallower bitmaps, the AND mask says which pixels are transparent.
#include <array>
#include <cstring>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

inline std::uint32_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
inline std::uint32_t Le32(const std::uint8_t* p) {
  return Le16(p) | Le16(p + 2) << 16;
}

// One picture of the directory, as its own header describes it.
struct IconEntry {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  bool png = false;
  int width = 0, height = 0, bits = 0;
  std::size_t palette = 0;  // entries (bitmaps of 8 bits and fewer)
};

constexpr std::size_t kInfoHeader = 40;

std::size_t Stride(int width, int bits) {
  return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

// Reads the entry's own header; false for pictures that cannot be read.
bool ReadEntry(const std::uint8_t* d, std::size_t n, IconEntry* e) {
  static const std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n >= 8 && std::memcmp(d, kPng, 8) == 0) {
    ImageFileInfo info;
    if (!ProbeImage(d, n, &info) || info.file_format != iff::kPng) return false;
    *e = {d, n, true, info.width, info.height, 32, 0};
    return true;
  }
  if (n < kInfoHeader || Le32(d) != kInfoHeader || Le32(d + 16) != 0) return false;  // BI_RGB
  const std::int64_t width = static_cast<std::int32_t>(Le32(d + 4));
  const std::int64_t height = static_cast<std::int32_t>(Le32(d + 8)) / 2;  // with the mask
  const int bits = static_cast<int>(Le16(d + 14));
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
  if (!SizeAcceptable(width, height)) return false;
  std::size_t palette = 0;
  if (bits <= 8) {
    const std::uint32_t used = Le32(d + 32);
    palette = used == 0 || used > (1u << bits) ? std::size_t{1} << bits : used;
  }
  *e = {d, n, false, static_cast<int>(width), static_cast<int>(height), bits, palette};
  // The colours must all be there; the mask may be cut short (it then hides nothing).
  return kInfoHeader + palette * 4 + Stride(e->width, bits) * e->height <= n;
}

// The directory's best picture.
bool ChooseEntry(const std::uint8_t* d, std::size_t n, IconEntry* best) {
  if (n < 6 || Le16(d) != 0 || (Le16(d + 2) != 1 && Le16(d + 2) != 2)) return false;
  const std::uint32_t count = Le16(d + 4);
  if (count == 0 || 6 + std::uint64_t{count} * 16 > n) return false;
  bool found = false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = d + 6 + std::size_t{i} * 16;
    const std::uint64_t bytes = Le32(entry + 8), offset = Le32(entry + 12);
    if (entry[3] != 0 || bytes == 0 || offset + bytes > n) return false;
    IconEntry e;
    if (!ReadEntry(d + offset, static_cast<std::size_t>(bytes), &e)) continue;
    const std::int64_t area = std::int64_t{e.width} * e.height;
    const std::int64_t best_area = std::int64_t{best->width} * best->height;
    if (!found || area > best_area || (area == best_area && e.bits > best->bits)) *best = e;
    found = true;
  }
  return found;
}

bool DecodeBitmap(const IconEntry& e, ArgbImage* out) {
  if (!out->Resize(e.width, e.height)) return false;
  const std::uint8_t* palette = e.data + kInfoHeader;
  const std::uint8_t* colours = palette + e.palette * 4;
  const std::size_t stride = Stride(e.width, e.bits);
  const std::uint8_t* mask = colours + stride * e.height;
  const std::size_t mask_stride = Stride(e.width, 1);
  const bool has_mask = static_cast<std::size_t>(mask - e.data) + mask_stride * e.height <= e.size;
  bool any_alpha = false;
  for (int y = 0; y < e.height; ++y) {
    const std::uint8_t* src = colours + stride * (e.height - 1 - y);  // rows bottom up
    std::uint32_t* row = out->Row(y);
    for (int x = 0; x < e.width; ++x) {
      std::uint32_t c;
      if (e.bits <= 8) {
        const int per_byte = 8 / e.bits;
        const unsigned index =
            src[x / per_byte] >> ((per_byte - 1 - x % per_byte) * e.bits) & ((1u << e.bits) - 1);
        const std::uint8_t* p = palette + std::size_t{index} * 4;
        c = index < e.palette ? 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0] : 0xFF000000u;
      } else {
        const std::uint8_t* p = src + static_cast<std::size_t>(x) * (e.bits / 8);
        const std::uint32_t a = e.bits == 32 ? p[3] : 0xFF;
        any_alpha = any_alpha || (e.bits == 32 && a != 0);
        c = a << 24 | static_cast<std::uint32_t>(p[2]) << 16 | p[1] << 8 | p[0];
      }
      row[x] = c;
    }
  }
  if (any_alpha) return true;
  for (int y = 0; y < e.height; ++y) {
    const std::uint8_t* bits = mask + mask_stride * (e.height - 1 - y);
    std::uint32_t* row = out->Row(y);
    for (int x = 0; x < e.width; ++x) {
      const bool hidden = has_mask && (bits[x / 8] >> (7 - x % 8) & 1);
      row[x] = (row[x] & 0xFFFFFF) | (hidden ? 0u : 0xFF000000u);
    }
  }
  return true;
}

}  // namespace

bool ProbeIcon(const std::uint8_t* data, std::size_t size, ImageFileInfo* info) {
  IconEntry e;
  if (!ChooseEntry(data, size, &e)) return false;
  info->width = e.width;
  info->height = e.height;
  info->format = fmt::kA8R8G8B8;
  info->file_format = iff::kIco;
  return true;
}

bool DecodeIcon(const std::uint8_t* data, std::size_t size, ArgbImage* out) {
  IconEntry e;
  if (!ChooseEntry(data, size, &e)) return false;
  if (!e.png) return DecodeBitmap(e, out);
  DecodedImage image;
  if (!DecodeImage(e.data, e.size, &image) || image.faces.size() != 1) return false;
  *out = std::move(image.faces[0]);
  return true;
}

}  // namespace d3dx
