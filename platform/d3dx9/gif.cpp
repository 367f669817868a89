// GIF pictures: the first frame of a GIF file, decoded here rather than by SDL2_image, whose
// GIF reader frees memory it never allocated on some malformed files (found by fuzzing). The
// frame's colour table, transparent colour and interlacing are honoured; transparent pixels
// become transparent black. Every read is bounded by the file and every write by the frame.
#include <array>
#include <cstring>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

inline std::uint32_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

// Reads LZW codes, least significant bit first, from the frame's data sub-blocks.
class CodeReader {
 public:
  CodeReader(const std::uint8_t* d, std::size_t n, std::size_t at) : d_(d), n_(n), at_(at) {}

  // The next code of size bits; false at the end of the data.
  bool Next(int size, int* code) {
    while (bits_ < size) {
      if (left_ == 0) {
        if (at_ >= n_ || d_[at_] == 0) return false;
        left_ = d_[at_++];
      }
      if (at_ >= n_) return false;
      buffer_ |= static_cast<std::uint32_t>(d_[at_++]) << bits_;
      bits_ += 8;
      --left_;
    }
    *code = static_cast<int>(buffer_ & ((1u << size) - 1));
    buffer_ >>= size;
    bits_ -= size;
    return true;
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  std::size_t at_;
  std::size_t left_ = 0;  // bytes left in the current sub-block
  std::uint32_t buffer_ = 0;
  int bits_ = 0;
};

// Decodes LZW data into indices (as many as fit); false when the stream is unusable.
bool Decompress(CodeReader& reader, int min_size, std::vector<std::uint8_t>& indices) {
  constexpr int kMaxCodes = 4096;
  std::array<std::uint16_t, kMaxCodes> prefix{};
  std::array<std::uint8_t, kMaxCodes> suffix{};
  std::array<std::uint8_t, kMaxCodes + 1> stack{};
  const int clear = 1 << min_size, end = clear + 1;
  for (int i = 0; i < clear; ++i) suffix[i] = static_cast<std::uint8_t>(i);
  int size = min_size + 1, next = clear + 2, old = -1, code;
  std::uint8_t first = 0;
  std::size_t out = 0;
  while (out < indices.size() && reader.Next(size, &code)) {
    if (code == clear) {
      size = min_size + 1;
      next = clear + 2;
      old = -1;
      continue;
    }
    if (code == end) break;
    if (old == -1) {
      if (code >= clear) return out > 0;
      first = static_cast<std::uint8_t>(code);
      indices[out++] = first;
      old = code;
      continue;
    }
    const int in = code;
    int depth = 0;
    if (code >= next) {
      if (code > next) return out > 0;
      stack[depth++] = first;
      code = old;
    }
    while (code >= clear) {
      if (depth >= kMaxCodes) return out > 0;
      stack[depth++] = suffix[code];
      code = prefix[code];
    }
    first = suffix[code];
    stack[depth++] = first;
    while (depth > 0 && out < indices.size()) indices[out++] = stack[--depth];
    if (next < kMaxCodes) {
      prefix[next] = static_cast<std::uint16_t>(old);
      suffix[next] = first;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    old = in;
  }
  return out > 0;
}

// Skips sub-blocks up to and past the empty one; false if the file ends first.
bool SkipBlocks(const std::uint8_t* d, std::size_t n, std::size_t* at) {
  while (*at < n && d[*at] != 0) *at += std::size_t{1} + d[*at];
  if (*at >= n) return false;
  ++*at;
  return true;
}

}  // namespace

bool DecodeGif(const std::uint8_t* d, std::size_t n, ArgbImage* out) {
  if (n < 13) return false;
  // Colours a table does not define read as opaque black.
  std::array<std::uint32_t, 256> palette;
  palette.fill(0xFF000000u);
  auto read_table = [&](std::size_t at, int entries) {
    for (int i = 0; i < entries; ++i) {
      const std::uint8_t* c = d + at + 3 * i;
      palette[i] = 0xFF000000u | static_cast<std::uint32_t>(c[0]) << 16 |
                   static_cast<std::uint32_t>(c[1]) << 8 | c[2];
    }
  };
  std::size_t at = 13;
  if (d[10] & 0x80) {
    const int entries = 2 << (d[10] & 7);
    if (at + 3 * static_cast<std::size_t>(entries) > n) return false;
    read_table(at, entries);
    at += 3 * static_cast<std::size_t>(entries);
  }
  int transparent = -1;
  while (at < n) {
    if (d[at] == 0x21) {
      if (at + 2 >= n) return false;
      if (d[at + 1] == 0xF9 && at + 6 < n && d[at + 2] >= 4) {
        transparent = d[at + 3] & 1 ? d[at + 6] : -1;
      }
      at += 2;
      if (!SkipBlocks(d, n, &at)) return false;
      continue;
    }
    if (d[at] != 0x2C || at + 10 > n) return false;
    const int width = static_cast<int>(Le16(d + at + 5));
    const int height = static_cast<int>(Le16(d + at + 7));
    const std::uint8_t flags = d[at + 9];
    if (!SizeAcceptable(width, height)) return false;
    at += 10;
    if (flags & 0x80) {
      const int entries = 2 << (flags & 7);
      if (at + 3 * static_cast<std::size_t>(entries) > n) return false;
      read_table(at, entries);
      at += 3 * static_cast<std::size_t>(entries);
    }
    if (at >= n) return false;
    const int min_size = d[at++];
    if (min_size < 2 || min_size > 8) return false;
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * height, 0);
    CodeReader reader(d, n, at);
    if (!Decompress(reader, min_size, indices)) return false;
    if (!out->Resize(width, height)) return false;
    // Interlaced rows come in four passes: every 8th from 0, every 8th from 4, every 4th from
    // 2, every 2nd from 1.
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    int source_row = 0;
    for (int pass = 0; pass < (flags & 0x40 ? 4 : 1); ++pass) {
      const int start = flags & 0x40 ? kStart[pass] : 0, step = flags & 0x40 ? kStep[pass] : 1;
      for (int y = start; y < height; y += step, ++source_row) {
        const std::uint8_t* src = indices.data() + static_cast<std::size_t>(source_row) * width;
        std::uint32_t* dst = out->Row(y);
        for (int x = 0; x < width; ++x) dst[x] = src[x] == transparent ? 0u : palette[src[x]];
      }
    }
    return true;
  }
  return false;
}

}  // namespace d3dx
