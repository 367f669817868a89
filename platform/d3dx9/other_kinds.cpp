// The picture kinds beyond the first seven: Radiance HDR through stb_image, CMYK and YCCK JPEG
// through stb_image too (SDL2_image hands their inverted ink bytes over as if they were
// colours), PFM by hand (no library we build on reads it), and the kinds only SDL2_image reads
// (WebP, QOI, PCX). As for the other kinds, every header is probed for its size before
// anything is decoded.
#include <stb_image.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

inline std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline std::uint32_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
inline std::uint32_t Le24(const std::uint8_t* p) {
  return Le16(p) | static_cast<std::uint32_t>(p[2]) << 16;
}
inline std::uint32_t Le32(const std::uint8_t* p) {
  return Le16(p) | Le16(p + 2) << 16;
}

bool SetSize(ImageFileInfo* info, std::int64_t width, std::int64_t height, std::uint32_t format,
             int file_format) {
  if (!SizeAcceptable(width, height)) return false;
  info->width = static_cast<int>(width);
  info->height = static_cast<int>(height);
  info->format = format;
  info->file_format = file_format;
  return true;
}

// One blank-separated token of a text header, from at; empty at the end of the data.
std::string Token(const std::uint8_t* d, std::size_t n, std::size_t* at) {
  while (*at < n && (d[*at] == ' ' || d[*at] == '\t' || d[*at] == '\r' || d[*at] == '\n')) ++*at;
  std::string token;
  while (*at < n && token.size() < 32 && d[*at] != ' ' && d[*at] != '\t' && d[*at] != '\r' &&
         d[*at] != '\n') {
    token.push_back(static_cast<char>(d[(*at)++]));
  }
  return token;
}

bool Number(const std::string& token, std::int64_t* value) {
  if (token.empty() || token.size() > 9) return false;
  std::int64_t v = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  *value = v;
  return true;
}

// PFM: "PF" (colour) or "Pf" (grey), width, height, a scale whose sign gives the byte order
// (negative: little-endian), one blank, then rows of floats from the bottom up.
struct PfmLayout {
  std::size_t data = 0;
  int channels = 0;
  bool little_endian = false;
};

bool ReadPfmHeader(const std::uint8_t* d, std::size_t n, ImageFileInfo* info, PfmLayout* layout) {
  if (n < 3 || d[0] != 'P' || (d[1] != 'F' && d[1] != 'f')) return false;
  std::size_t at = 2;
  std::int64_t width = 0, height = 0;
  if (!Number(Token(d, n, &at), &width) || !Number(Token(d, n, &at), &height)) return false;
  const std::string scale = Token(d, n, &at);
  if (scale.empty() || at >= n) return false;
  char* end = nullptr;
  const double value = std::strtod(scale.c_str(), &end);
  if (end != scale.c_str() + scale.size() || value == 0 || !std::isfinite(value)) return false;
  layout->data = at + 1;
  layout->channels = d[1] == 'F' ? 3 : 1;
  layout->little_endian = value < 0;
  if (!SetSize(info, width, height, fmt::kA32B32G32R32F, iff::kPfm)) return false;
  const std::uint64_t needed = static_cast<std::uint64_t>(width) * height * layout->channels * 4;
  return n - layout->data >= needed;
}

// A linear light value as an 8-bit channel, clamped to 0..1.
inline std::uint32_t Unit(float v) {
  if (!(v > 0.0f)) return 0;
  if (v >= 1.0f) return 255;
  return static_cast<std::uint32_t>(v * 255.0f + 0.5f);
}

bool DecodePfm(const std::uint8_t* d, std::size_t n, ArgbImage* out) {
  ImageFileInfo info;
  PfmLayout layout;
  if (!ReadPfmHeader(d, n, &info, &layout) || !out->Resize(info.width, info.height)) return false;
  const std::uint8_t* p = d + layout.data;
  for (int row = 0; row < info.height; ++row) {
    std::uint32_t* line = out->Row(info.height - 1 - row);
    for (int x = 0; x < info.width; ++x) {
      std::uint32_t c[3] = {0, 0, 0};
      for (int i = 0; i < layout.channels; ++i, p += 4) {
        const std::uint32_t bits = layout.little_endian ? Le32(p) : Be32(p);
        float v;
        std::memcpy(&v, &bits, 4);
        c[i] = Unit(v);
      }
      if (layout.channels == 1) c[1] = c[2] = c[0];
      line[x] = 0xFF000000u | c[0] << 16 | c[1] << 8 | c[2];
    }
  }
  return true;
}

// Radiance: "#?" and header lines up to an empty line, then the resolution line. Only the
// usual "-Y height +X width" layout is read.
bool ProbeHdr(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 11 || d[0] != '#' || d[1] != '?') return false;
  const std::size_t limit = n < 65536 ? n : 65536;
  std::size_t at = 2;
  while (at + 1 < limit && !(d[at] == '\n' && d[at + 1] == '\n')) ++at;
  if (at + 1 >= limit) return false;
  at += 2;
  std::int64_t width, height;
  if (Token(d, n, &at) != "-Y" || !Number(Token(d, n, &at), &height) || Token(d, n, &at) != "+X" ||
      !Number(Token(d, n, &at), &width)) {
    return false;
  }
  return SetSize(info, width, height, fmt::kA32B32G32R32F, iff::kHdr);
}

bool ProbeWebp(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 30 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WEBP", 4) != 0) {
    return false;
  }
  const std::uint8_t* c = d + 12;
  if (std::memcmp(c, "VP8 ", 4) == 0) {
    if (c[11] != 0x9D || c[12] != 0x01 || c[13] != 0x2A) return false;
    return SetSize(info, Le16(c + 14) & 0x3FFF, Le16(c + 16) & 0x3FFF, fmt::kX8R8G8B8, iff::kWebp);
  }
  if (std::memcmp(c, "VP8L", 4) == 0) {
    if (c[8] != 0x2F) return false;
    const std::uint32_t bits = Le32(c + 9);
    return SetSize(info, (bits & 0x3FFF) + 1, (bits >> 14 & 0x3FFF) + 1,
                   bits >> 28 & 1 ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8, iff::kWebp);
  }
  if (std::memcmp(c, "VP8X", 4) == 0) {
    return SetSize(info, std::int64_t{Le24(c + 12)} + 1, std::int64_t{Le24(c + 15)} + 1,
                   c[8] & 0x10 ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8, iff::kWebp);
  }
  return false;
}

bool ProbeQoi(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 14 + 8 || std::memcmp(d, "qoif", 4) != 0 || (d[12] != 3 && d[12] != 4)) return false;
  return SetSize(info, Be32(d + 4), Be32(d + 8), d[12] == 4 ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8,
                 iff::kQoi);
}

bool ProbePcx(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 128 || d[0] != 0x0A || d[1] > 5 || d[2] > 1 || d[64] != 0) return false;
  const int bits = d[3], planes = d[65];
  if ((bits != 1 && bits != 2 && bits != 4 && bits != 8) || planes < 1 || planes > 4) return false;
  const std::int64_t x0 = Le16(d + 4), y0 = Le16(d + 6), x1 = Le16(d + 8), y1 = Le16(d + 10);
  if (x1 < x0 || y1 < y0) return false;
  // The bytes of a plane's row: at least the row's bits, padded to an even count at most, and
  // positive as a signed field (SDL2 reads it as signed and sizes its buffers by it).
  const std::int64_t row = ((x1 - x0 + 1) * bits + 7) / 8, stored = Le16(d + 66);
  if (stored < row || stored > row + 2 || stored > 0x7FFF) return false;
  return SetSize(info, x1 - x0 + 1, y1 - y0 + 1,
                 bits == 8 && planes == 1 ? fmt::kP8 : fmt::kX8R8G8B8, iff::kPcx);
}

struct StbFree {
  void operator()(void* p) const { stbi_image_free(p); }
};

// Grey, grey and alpha, RGB or RGBA samples, each widened to 8 bits by to8, into out.
template <typename Sample, typename To8>
bool ToArgb(const Sample* p, int channels, To8 to8, ArgbImage* out) {
  if (channels < 1 || channels > 4) return false;
  for (std::uint32_t& c : out->pixels) {
    const std::uint32_t r = to8(p[0]);
    const std::uint32_t g = channels >= 3 ? to8(p[1]) : r;
    const std::uint32_t b = channels >= 3 ? to8(p[2]) : r;
    const std::uint32_t a = channels == 2 ? to8(p[1]) : channels == 4 ? to8(p[3]) : 255;
    c = a << 24 | r << 16 | g << 8 | b;
    p += channels;
  }
  return true;
}

}  // namespace

bool ProbeOtherKinds(const std::uint8_t* data, std::size_t size, ImageFileInfo* info) {
  PfmLayout layout;
  return ReadPfmHeader(data, size, info, &layout) || ProbeHdr(data, size, info) ||
         ProbeWebp(data, size, info) || ProbeQoi(data, size, info) || ProbeTiff(data, size, info) ||
         ProbeIcon(data, size, info) || ProbePcx(data, size, info);
}

bool DecodeWithStb(const std::uint8_t* data, std::size_t size, ArgbImage* out) {
  if (size > static_cast<std::size_t>(INT32_MAX)) return false;
  const int length = static_cast<int>(size);
  int w = 0, h = 0, channels = 0;
  if (stbi_is_hdr_from_memory(data, length)) {
    std::unique_ptr<float, StbFree> pixels(
        stbi_loadf_from_memory(data, length, &w, &h, &channels, 3));
    if (!pixels || !SizeAcceptable(w, h) || !out->Resize(w, h)) return false;
    const float* p = pixels.get();
    for (std::uint32_t& c : out->pixels) {
      c = 0xFF000000u | Unit(p[0]) << 16 | Unit(p[1]) << 8 | Unit(p[2]);
      p += 3;
    }
    return true;
  }
  // Read in the file's own channels and converted here.
  std::unique_ptr<std::uint8_t, StbFree> pixels(
      stbi_load_from_memory(data, length, &w, &h, &channels, 0));
  if (!pixels || !SizeAcceptable(w, h) || !out->Resize(w, h)) return false;
  return ToArgb(
      pixels.get(), channels, [](std::uint8_t v) { return std::uint32_t{v}; }, out);
}

bool DecodeOtherKind(const std::uint8_t* data, std::size_t size, const ImageFileInfo& info,
                     ArgbImage* out) {
  if (info.file_format == iff::kPfm) return DecodePfm(data, size, out);
  return DecodeWithStb(data, size, out);
}

}  // namespace d3dx
