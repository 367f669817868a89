// The DDS container: a 128-byte header (magic, surface description, pixel format) followed by
// the pixel data of every face and mip level. Written by hand because no library we build on
// reads it; the DXT blocks inside go through libsquish (pixel_formats.cpp). Uncompressed data
// is read through its channel masks, so any mask layout of 8 to 32 bits reads correctly. Every
// mip level is read, and kept byte for byte where the file's format is one of the device's.
#include <bit>
#include <cstring>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

constexpr std::size_t kHeaderBytes = 128;

constexpr std::uint32_t kDdsdCaps = 0x1, kDdsdHeight = 0x2, kDdsdWidth = 0x4, kDdsdPitch = 0x8;
constexpr std::uint32_t kDdsdPixelFormat = 0x1000, kDdsdMipMapCount = 0x20000;
constexpr std::uint32_t kDdsdLinearSize = 0x80000;
constexpr std::uint32_t kDdpfAlphaPixels = 0x1, kDdpfAlpha = 0x2, kDdpfFourCc = 0x4;
constexpr std::uint32_t kDdpfRgb = 0x40, kDdpfLuminance = 0x20000;
constexpr std::uint32_t kCapsTexture = 0x1000;
constexpr std::uint32_t kCaps2Cubemap = 0x200, kCaps2AllFaces = 0xFC00, kCaps2Volume = 0x200000;

struct Masks {
  std::uint32_t format;
  std::uint32_t flags;
  std::uint32_t bits;
  std::uint32_t r, g, b, a;
};

// Channel layouts of the uncompressed formats the container can hold.
constexpr Masks kLayouts[] = {
    {fmt::kA8R8G8B8, kDdpfRgb | kDdpfAlphaPixels, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {fmt::kX8R8G8B8, kDdpfRgb, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {fmt::kR8G8B8, kDdpfRgb, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {fmt::kR5G6B5, kDdpfRgb, 16, 0xF800, 0x7E0, 0x1F, 0},
    {fmt::kA1R5G5B5, kDdpfRgb | kDdpfAlphaPixels, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {fmt::kX1R5G5B5, kDdpfRgb, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {fmt::kA4R4G4B4, kDdpfRgb | kDdpfAlphaPixels, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {fmt::kX4R4G4B4, kDdpfRgb, 16, 0xF00, 0xF0, 0xF, 0},
    {fmt::kR3G3B2, kDdpfRgb, 8, 0xE0, 0x1C, 0x3, 0},
    {fmt::kA8R3G3B2, kDdpfRgb | kDdpfAlphaPixels, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {fmt::kA2B10G10R10, kDdpfRgb | kDdpfAlphaPixels, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {fmt::kA2R10G10B10, kDdpfRgb | kDdpfAlphaPixels, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {fmt::kA8B8G8R8, kDdpfRgb | kDdpfAlphaPixels, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {fmt::kX8B8G8R8, kDdpfRgb, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {fmt::kG16R16, kDdpfRgb, 32, 0xFFFF, 0xFFFF0000, 0, 0},
    {fmt::kA8, kDdpfAlpha, 8, 0, 0, 0, 0xFF},
    {fmt::kL8, kDdpfLuminance, 8, 0xFF, 0, 0, 0},
    {fmt::kA8L8, kDdpfLuminance | kDdpfAlphaPixels, 16, 0xFF, 0, 0, 0xFF00},
    {fmt::kA4L4, kDdpfLuminance | kDdpfAlphaPixels, 8, 0xF, 0, 0, 0xF0},
};

inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The header's pixel format as read from the file.
struct PixelFormat {
  std::uint32_t flags, fourcc, bits, r, g, b, a;
};

PixelFormat ReadPixelFormat(const std::uint8_t* d) {
  return {Le32(d + 80), Le32(d + 84),  Le32(d + 88), Le32(d + 92),
          Le32(d + 96), Le32(d + 100), Le32(d + 104)};
}

bool IsDxt(std::uint32_t fourcc) {
  return FormatCompressed(fourcc);
}

// The format code that describes the header's pixel format best; kUnknown if unusable.
// exact tells whether the file's bytes are that format's bytes.
std::uint32_t FormatOf(const PixelFormat& pf, bool* exact = nullptr) {
  if (exact) *exact = true;
  if (pf.flags & kDdpfFourCc) return IsDxt(pf.fourcc) ? pf.fourcc : fmt::kUnknown;
  if (pf.bits != 8 && pf.bits != 16 && pf.bits != 24 && pf.bits != 32) return fmt::kUnknown;
  const std::uint32_t a = pf.flags & (kDdpfAlphaPixels | kDdpfAlpha) ? pf.a : 0;
  for (const Masks& m : kLayouts) {
    if (m.bits == pf.bits && m.r == pf.r && m.g == pf.g && m.b == pf.b && m.a == a) {
      return m.format;
    }
  }
  if (exact) *exact = false;
  if (!(pf.flags & (kDdpfRgb | kDdpfLuminance | kDdpfAlpha))) return fmt::kUnknown;
  return a ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8;
}

// Bytes of one mip level of a face.
std::uint64_t LevelBytes(std::uint32_t format, std::uint32_t bits, int width, int height) {
  if (FormatCompressed(format)) {
    return static_cast<std::uint64_t>(FormatRowBytes(format, width)) *
           FormatRowCount(format, height);
  }
  return static_cast<std::uint64_t>(width) * (bits / 8) * height;
}

// One channel through its mask, widened to 8 bits; fallback when the mask is empty.
inline std::uint32_t Channel(std::uint32_t pixel, std::uint32_t mask, std::uint32_t fallback) {
  if (mask == 0) return fallback;
  const int shift = std::countr_zero(mask);
  const std::uint64_t max = mask >> shift;
  const std::uint64_t v = (pixel & mask) >> shift;
  return static_cast<std::uint32_t>((v * 255 + max / 2) / max);
}

void DecodeMasked(const PixelFormat& pf, const std::uint8_t* d, ArgbImage& image) {
  const int bytes = static_cast<int>(pf.bits / 8);
  const bool luminance = pf.flags & kDdpfLuminance;
  const bool alpha_only = (pf.flags & kDdpfAlpha) && !(pf.flags & (kDdpfRgb | kDdpfLuminance));
  const std::uint32_t amask = pf.flags & (kDdpfAlphaPixels | kDdpfAlpha) ? pf.a : 0;
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* row = image.Row(y);
    for (int x = 0; x < image.width; ++x) {
      std::uint32_t v = 0;
      for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint32_t>(d[i]) << (8 * i);
      d += bytes;
      const std::uint32_t a = Channel(v, amask, 0xFF);
      std::uint32_t r, g, b;
      if (alpha_only) {
        r = g = b = 0;
      } else if (luminance) {
        r = g = b = Channel(v, pf.r, 0);
      } else {
        r = Channel(v, pf.r, 0);
        g = Channel(v, pf.g, 0);
        b = Channel(v, pf.b, 0);
      }
      row[x] = a << 24 | r << 16 | g << 8 | b;
    }
  }
}

// Reads the header; on success fills info and the byte size of one face's mip chain.
bool ReadHeader(const std::uint8_t* d, std::size_t n, ImageFileInfo* info, PixelFormat* pf,
                std::uint64_t* face_bytes) {
  if (n < kHeaderBytes || std::memcmp(d, "DDS ", 4) != 0 || Le32(d + 4) != 124) return false;
  const std::uint32_t flags = Le32(d + 8), caps2 = Le32(d + 112);
  if (caps2 & kCaps2Volume) return false;
  const std::uint32_t height = Le32(d + 12), width = Le32(d + 16);
  if (!SizeAcceptable(width, height)) return false;
  *pf = ReadPixelFormat(d);
  const std::uint32_t format = FormatOf(*pf);
  if (format == fmt::kUnknown) return false;
  std::uint32_t levels = flags & kDdsdMipMapCount ? Le32(d + 28) : 1;
  if (levels == 0) levels = 1;
  const std::uint32_t max_levels = std::bit_width(width > height ? width : height);
  if (levels > max_levels) return false;
  std::uint64_t total = 0;
  int w = static_cast<int>(width), h = static_cast<int>(height);
  for (std::uint32_t i = 0; i < levels; ++i) {
    total += LevelBytes(format, pf->bits, w, h);
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  const bool cube = caps2 & kCaps2Cubemap;
  if (cube && (caps2 & kCaps2AllFaces) != kCaps2AllFaces) return false;  // partial cube maps
  if (cube && width != height) return false;
  if (total * (cube ? 6 : 1) > n - kHeaderBytes) return false;
  info->width = static_cast<int>(width);
  info->height = static_cast<int>(height);
  info->mip_levels = static_cast<int>(levels);
  info->format = format;
  info->file_format = iff::kDds;
  info->cube = cube;
  *face_bytes = total;
  return true;
}

}  // namespace

bool DdsProbe(const std::uint8_t* data, std::size_t size, ImageFileInfo* info) {
  PixelFormat pf;
  std::uint64_t face_bytes;
  return ReadHeader(data, size, info, &pf, &face_bytes);
}

// Decodes one level of width by height from d into image.
bool DecodeLevel(const ImageFileInfo& info, const PixelFormat& pf, const std::uint8_t* d, int width,
                 int height, ArgbImage* image) {
  if (!image->Resize(width, height)) return false;
  if (FormatCompressed(info.format)) {
    return ReadPixels(info.format, d, FormatRowBytes(info.format, width), width, height,
                      image->pixels.data());
  }
  DecodeMasked(pf, d, *image);
  return true;
}

bool DdsDecode(const std::uint8_t* data, std::size_t size, DecodedImage* out) {
  ImageFileInfo info;
  PixelFormat pf;
  std::uint64_t face_bytes;
  if (!ReadHeader(data, size, &info, &pf, &face_bytes)) return false;
  bool exact = false;
  FormatOf(pf, &exact);
  const int faces = info.cube ? 6 : 1;
  out->faces.assign(faces, ArgbImage{});
  out->levels.assign(faces, std::vector<FileLevel>(static_cast<std::size_t>(info.mip_levels)));
  out->raw = exact;
  for (int f = 0; f < faces; ++f) {
    const std::uint8_t* at = data + kHeaderBytes + face_bytes * f;
    int w = info.width, h = info.height;
    for (int l = 0; l < info.mip_levels; ++l) {
      FileLevel& level = out->levels[f][l];
      const std::size_t bytes = static_cast<std::size_t>(LevelBytes(info.format, pf.bits, w, h));
      level.width = w;
      level.height = h;
      if (exact) level.bytes.assign(at, at + bytes);
      ArgbImage* image = l == 0 ? &out->faces[f] : &level.argb;
      if (!DecodeLevel(info, pf, at, w, h, image)) return false;
      at += bytes;
      w = w > 1 ? w / 2 : 1;
      h = h > 1 ? h / 2 : 1;
    }
  }
  out->info = info;
  return true;
}

bool DdsEncode(std::uint32_t format, const ArgbImage& image, std::vector<std::uint8_t>* out) {
  // Palette formats have no palette here: they are kept as the grey levels they read as.
  if (format == fmt::kP8) format = fmt::kL8;
  if (format == fmt::kA8P8) format = fmt::kA8L8;
  const Masks* layout = nullptr;
  for (const Masks& m : kLayouts) {
    if (m.format == format) layout = &m;
  }
  if (!layout && !FormatCompressed(format)) {
    format = fmt::kA8R8G8B8;
    layout = &kLayouts[0];
  }
  const std::size_t pitch = FormatRowBytes(format, image.width);
  const std::size_t data_bytes = pitch * FormatRowCount(format, image.height);
  out->assign(kHeaderBytes + data_bytes, 0);
  std::uint8_t* d = out->data();
  std::memcpy(d, "DDS ", 4);
  Put32(d + 4, 124);
  const bool compressed = FormatCompressed(format);
  Put32(d + 8, kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat |
                   (compressed ? kDdsdLinearSize : kDdsdPitch));
  Put32(d + 12, static_cast<std::uint32_t>(image.height));
  Put32(d + 16, static_cast<std::uint32_t>(image.width));
  Put32(d + 20, static_cast<std::uint32_t>(compressed ? data_bytes : pitch));
  Put32(d + 28, 1);
  Put32(d + 76, 32);
  if (compressed) {
    Put32(d + 80, kDdpfFourCc);
    Put32(d + 84, format);
  } else {
    Put32(d + 80, layout->flags);
    Put32(d + 88, layout->bits);
    Put32(d + 92, layout->r);
    Put32(d + 96, layout->g);
    Put32(d + 100, layout->b);
    Put32(d + 104, layout->a);
  }
  Put32(d + 108, kCapsTexture);
  return WritePixels(format, image.pixels.data(), image.width, image.height, d + kHeaderBytes,
                     pitch);
}

}  // namespace d3dx
