// Fuzzes the .cur reader: any bytes, at a wanted size taken from the first byte. A result must
// be a whole image with its hotspot inside it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/win32/cursor_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  int want = data[0] % 80;  // 0 keeps the image's own size
  auto image = win32::ParseCursorFile(data + 1, size - 1, want, want);
  if (!image) return 0;
  if (image->width <= 0 || image->height <= 0 || image->width > win32::kMaxCursorSide ||
      image->height > win32::kMaxCursorSide ||
      image->pixels.size() != static_cast<std::size_t>(image->width) * image->height ||
      image->hotspot_x < 0 || image->hotspot_y < 0 || image->hotspot_x >= image->width ||
      image->hotspot_y >= image->height)
    std::abort();
  return 0;
}
