// Pixel formats of the image stand-in: the Direct3D 9 format codes it reads and writes, and the
// conversion of rows in any of them to and from 32-bit ARGB (0xAARRGGBB). Block-compressed
// formats (DXT1 to DXT5) go through libsquish. Depends on nothing of Direct3D: format codes are
// plain numbers with the platform's values, so the file decoders can use them too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace d3dx {

constexpr std::uint32_t MakeFourCc(char a, char b, char c, char d) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// Format codes (the platform's D3DFORMAT values).
namespace fmt {
constexpr std::uint32_t kUnknown = 0;
constexpr std::uint32_t kR8G8B8 = 20;
constexpr std::uint32_t kA8R8G8B8 = 21;
constexpr std::uint32_t kX8R8G8B8 = 22;
constexpr std::uint32_t kR5G6B5 = 23;
constexpr std::uint32_t kX1R5G5B5 = 24;
constexpr std::uint32_t kA1R5G5B5 = 25;
constexpr std::uint32_t kA4R4G4B4 = 26;
constexpr std::uint32_t kR3G3B2 = 27;
constexpr std::uint32_t kA8 = 28;
constexpr std::uint32_t kA8R3G3B2 = 29;
constexpr std::uint32_t kX4R4G4B4 = 30;
constexpr std::uint32_t kA2B10G10R10 = 31;
constexpr std::uint32_t kA8B8G8R8 = 32;
constexpr std::uint32_t kX8B8G8R8 = 33;
constexpr std::uint32_t kG16R16 = 34;
constexpr std::uint32_t kA2R10G10B10 = 35;
constexpr std::uint32_t kA16B16G16R16 = 36;
constexpr std::uint32_t kA8P8 = 40;
constexpr std::uint32_t kP8 = 41;
constexpr std::uint32_t kL8 = 50;
constexpr std::uint32_t kA8L8 = 51;
constexpr std::uint32_t kA4L4 = 52;
// Reported for floating-point pictures (HDR, PFM); never a texture format here.
constexpr std::uint32_t kA32B32G32R32F = 116;
constexpr std::uint32_t kDxt1 = MakeFourCc('D', 'X', 'T', '1');
constexpr std::uint32_t kDxt2 = MakeFourCc('D', 'X', 'T', '2');
constexpr std::uint32_t kDxt3 = MakeFourCc('D', 'X', 'T', '3');
constexpr std::uint32_t kDxt4 = MakeFourCc('D', 'X', 'T', '4');
constexpr std::uint32_t kDxt5 = MakeFourCc('D', 'X', 'T', '5');
}  // namespace fmt

// True for every format the conversions below handle.
bool FormatKnown(std::uint32_t format);
// True for the DXT formats (data in 4 by 4 blocks).
bool FormatCompressed(std::uint32_t format);
// True when the format stores alpha.
bool FormatHasAlpha(std::uint32_t format);
// Bits per pixel (4 for DXT1, 8 for the other DXT formats); 0 for an unknown format.
int FormatBits(std::uint32_t format);
// Bytes of one row of pixels, or of one row of 4 by 4 blocks for DXT; 0 when unknown.
std::size_t FormatRowBytes(std::uint32_t format, int width);
// Rows of data for a picture height: height, or the rows of blocks for DXT.
int FormatRowCount(std::uint32_t format, int height);

// Converts width by height pixels stored in format (rows pitch bytes apart; for DXT the rows
// of blocks) into ARGB, row by row into out (width * height entries). False if unknown.
bool ReadPixels(std::uint32_t format, const std::uint8_t* bits, std::size_t pitch, int width,
                int height, std::uint32_t* out);
// Converts width by height ARGB pixels into format, rows pitch bytes apart. False if unknown.
bool WritePixels(std::uint32_t format, const std::uint32_t* argb, int width, int height,
                 std::uint8_t* bits, std::size_t pitch);

// Leaves new elements of a vector unset: a decoder that writes every pixel anyway need not pay
// for clearing a picture first.
template <typename T>
struct UnsetAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UnsetAllocator<U>;
  };
  UnsetAllocator() = default;
  template <typename U>
  UnsetAllocator(const UnsetAllocator<U>&) noexcept {}
  template <typename U>
  void construct(U* at) noexcept {
    ::new (static_cast<void*>(at)) U;
  }
  template <typename U, typename... Args>
  void construct(U* at, Args&&... args) {
    ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
  }
};

// A picture in ARGB, rows packed.
struct ArgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t, UnsetAllocator<std::uint32_t>> pixels;

  // Makes the picture w by h, every pixel transparent black; false (and empty) when the memory
  // cannot be had.
  bool Resize(int w, int h);
  // Makes the picture w by h with its pixels unset: only for a caller that writes every one of
  // them before the picture is read, or drops the picture.
  bool ResizeForOverwrite(int w, int h);
  std::uint32_t* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
  const std::uint32_t* Row(int y) const {
    return pixels.data() + static_cast<std::size_t>(y) * width;
  }
};

}  // namespace d3dx
