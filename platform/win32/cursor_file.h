// The .cur/.ico file reader behind LoadImageA: a directory of images (ICONDIR with 16-byte
// entries; a cursor's entries carry the hotspot), each image a device-independent bitmap (XOR
// colours and an AND transparency mask, 1 to 32 bits a pixel) or a PNG stream. Files are
// outside input: every size and offset is checked before use, images are limited to 256 by 256,
// and anything truncated, garbled or absurd yields no image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace win32 {

struct CursorImage {
  int width = 0;
  int height = 0;
  int hotspot_x = 0;
  int hotspot_y = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows top to bottom
};

inline constexpr int kMaxCursorSide = 256;

// Reads the image of the file that best fits want_width by want_height, scaled to that size when
// it differs (nearest pixel; the hotspot follows). A size of 0 keeps the image's own size and
// picks the image nearest 32 by 32.
std::optional<CursorImage> ParseCursorFile(const std::uint8_t* data, std::size_t size,
                                           int want_width, int want_height);

}  // namespace win32
