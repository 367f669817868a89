// Portable maps (P1 to P6), read by hand: the header's width, height and maximum value, then
// text or binary samples. Samples of any maximum value up to 65535 are scaled to 8 bits against
// that maximum; binary samples above 255 are two bytes, most significant first. The probe and
// the decoder read the same header, and the decoder reads nothing the probe did not bound.
#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

struct PnmHeader {
  char kind = 0;  // '1' to '6'
  std::int64_t width = 0, height = 0, max_value = 1;
  int channels = 1;
  std::size_t data = 0;  // where the samples start
};

bool Blank(std::uint8_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Skips blanks and comments from at.
void SkipBlanks(const std::uint8_t* d, std::size_t n, std::size_t* at) {
  while (*at < n) {
    if (d[*at] == '#') {
      while (*at < n && d[*at] != '\n') ++*at;
    } else if (Blank(d[*at])) {
      ++*at;
    } else {
      break;
    }
  }
}

// One decimal number after blanks and comments.
bool Number(const std::uint8_t* d, std::size_t n, std::size_t* at, std::int64_t* value) {
  SkipBlanks(d, n, at);
  std::int64_t v = 0;
  int digits = 0;
  while (*at < n && d[*at] >= '0' && d[*at] <= '9') {
    if (++digits > 9) return false;
    v = v * 10 + (d[*at] - '0');
    ++*at;
  }
  *value = v;
  return digits > 0;
}

bool ReadHeader(const std::uint8_t* d, std::size_t n, PnmHeader* h) {
  if (n < 3 || d[0] != 'P' || d[1] < '1' || d[1] > '6') return false;
  h->kind = static_cast<char>(d[1]);
  h->channels = h->kind == '3' || h->kind == '6' ? 3 : 1;
  std::size_t at = 2;
  if (!Number(d, n, &at, &h->width) || !Number(d, n, &at, &h->height)) return false;
  const bool bitmap = h->kind == '1' || h->kind == '4';
  if (!bitmap && (!Number(d, n, &at, &h->max_value) || h->max_value < 1 || h->max_value > 65535)) {
    return false;
  }
  if (!SizeAcceptable(h->width, h->height)) return false;
  // Binary samples follow one blank after the header.
  if (h->kind >= '4') {
    if (at >= n || !Blank(d[at])) return false;
    ++at;
  }
  h->data = at;
  // Binary samples must all be there; text samples take at least two characters each (one
  // for a plain bitmap's).
  const std::int64_t samples = h->width * h->height * h->channels;
  const std::int64_t needed = h->kind == '1'   ? samples
                              : h->kind == '4' ? (h->width + 7) / 8 * h->height
                              : h->kind >= '5' ? samples * (h->max_value > 255 ? 2 : 1)
                                               : samples * 2 - 1;
  return static_cast<std::int64_t>(n - at) >= needed;
}

}  // namespace

bool ProbePnm(const std::uint8_t* data, std::size_t size, ImageFileInfo* info) {
  PnmHeader h;
  if (!ReadHeader(data, size, &h)) return false;
  info->width = static_cast<int>(h.width);
  info->height = static_cast<int>(h.height);
  info->format = h.channels == 3 ? fmt::kX8R8G8B8 : fmt::kL8;
  info->file_format = iff::kPpm;
  return true;
}

bool DecodePnm(const std::uint8_t* d, std::size_t n, ArgbImage* out) {
  PnmHeader h;
  if (!ReadHeader(d, n, &h)) return false;
  const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
  if (!out->Resize(width, height)) return false;
  const std::uint32_t max = static_cast<std::uint32_t>(h.max_value);
  const bool wide = max > 255;
  std::size_t at = h.data;
  // The next sample, scaled to 8 bits; false when the text runs out or is not a number.
  auto sample = [&](std::uint32_t* out_value) {
    std::uint32_t v;
    if (h.kind == '1') {  // one character a pixel, blanks optional; 1 is black
      SkipBlanks(d, n, &at);
      if (at >= n || (d[at] != '0' && d[at] != '1')) return false;
      *out_value = d[at++] == '1' ? 0u : 255u;
      return true;
    }
    if (h.kind <= '3') {
      std::int64_t number;
      if (!Number(d, n, &at, &number)) return false;
      v = number > h.max_value ? max : static_cast<std::uint32_t>(number);
    } else {
      v = wide ? static_cast<std::uint32_t>(d[at]) << 8 | d[at + 1] : d[at];
      at += wide ? 2 : 1;
      if (v > max) v = max;
    }
    *out_value = (v * 255 + max / 2) / max;
    return true;
  };
  for (int y = 0; y < height; ++y) {
    std::uint32_t* row = out->Row(y);
    if (h.kind == '4') {  // bits, most significant first, rows padded to a byte; 1 is black
      const std::uint8_t* bits = d + h.data + static_cast<std::size_t>((width + 7) / 8) * y;
      for (int x = 0; x < width; ++x) {
        row[x] = bits[x / 8] >> (7 - x % 8) & 1 ? 0xFF000000u : 0xFFFFFFFFu;
      }
      continue;
    }
    for (int x = 0; x < width; ++x) {
      std::uint32_t c[3];
      for (int i = 0; i < h.channels; ++i) {
        if (!sample(&c[i])) return false;
      }
      if (h.channels == 1) c[1] = c[2] = c[0];
      row[x] = 0xFF000000u | c[0] << 16 | c[1] << 8 | c[2];
    }
  }
  return true;
}

}  // namespace d3dx
