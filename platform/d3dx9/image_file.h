// Image files in and out for the image stand-in: recognising a file by its content, reading its
// size and format from the header alone, decoding it into ARGB (PNG, JPEG, BMP and DIB and TGA
// through SDL2_image; GIF in gif.cpp, DDS in dds.cpp, portable maps in pnm.cpp, TIFF in
// tiff.cpp, icons and cursors in icon.cpp) and writing BMP, DIB, JPEG, PNG and DDS files. Sizes
// are checked from the header before anything is decoded, so a file claiming a huge picture is
// refused without allocating for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/d3dx9/pixel_formats.h"

namespace d3dx {

// File kinds: the platform's D3DXIMAGE_FILEFORMAT values.
namespace iff {
constexpr int kBmp = 0;
constexpr int kJpg = 1;
constexpr int kTga = 2;
constexpr int kPng = 3;
constexpr int kDds = 4;
constexpr int kPpm = 5;
constexpr int kDib = 6;
constexpr int kHdr = 7;
constexpr int kPfm = 8;
// Read only, with no code of the platform's own: reported as BMP.
constexpr int kGif = 100;
constexpr int kWebp = 101;
constexpr int kTiff = 102;
constexpr int kQoi = 103;
constexpr int kIco = 104;
constexpr int kPcx = 105;
}  // namespace iff

// Pictures with more pixels than this are refused: it bounds the memory a load takes. Sides
// beyond the largest texture are fine (the picture is scaled to fit); the side limit is only
// the largest side a picture file of any kind here can state.
constexpr int kMaxImageSide = 65535;
constexpr std::int64_t kMaxImagePixels = std::int64_t{4096} * 4096;
// Files larger than this are refused without being read.
constexpr std::size_t kMaxImageFileBytes = std::size_t{128} << 20;
// No decoder may allocate more than this at once for one picture. The largest a picture within
// the limits needs is its float copy (4096 x 4096 x 3 x 4 bytes, Radiance files); everything a
// file claims beyond its size (TIFF strips and tiles, icon bitmaps) is checked against this
// from the header, and libtiff is told it as its allocation limit.
constexpr std::uint64_t kMaxDecodeAllocation = std::uint64_t{256} << 20;

struct ImageFileInfo {
  int width = 0;
  int height = 0;
  int mip_levels = 1;
  std::uint32_t format = fmt::kUnknown;
  int file_format = iff::kBmp;
  bool cube = false;
  bool stb = false;  // decoded through stb_image: CMYK or YCCK JPEG
};

// True when a picture of width by height is within the limits.
bool SizeAcceptable(std::int64_t width, std::int64_t height);

// Reads a whole file (given as a path on this system) into bytes; false if missing, unreadable,
// empty or too large.
bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes);
// Writes bytes to a file, replacing it; false if the file could not be written completely.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Recognises the file and reads size and format from its header; false for anything that is
// not an acceptable picture.
bool ProbeImage(const std::uint8_t* data, std::size_t size, ImageFileInfo* info);

// One mip level of a DDS face: its size, the file's own bytes (when the file stores them in a
// format of their own, see DecodedImage::raw) and, below level 0, the level decoded.
struct FileLevel {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bytes;
  ArgbImage argb;
};

// Decodes the picture: one face, or six for a cube map (DDS), level 0 in faces. A DDS file
// also gives every mip level it holds in levels ([face][level]); raw says their bytes are in
// info.format exactly (a DXT format or a plain layout), so a texture of that format can take
// them as they are.
struct DecodedImage {
  ImageFileInfo info;
  std::vector<ArgbImage> faces;
  std::vector<std::vector<FileLevel>> levels;
  bool raw = false;
};
bool DecodeImage(const std::uint8_t* data, std::size_t size, DecodedImage* out);

// Encodes a picture as a file of file_format (BMP, DIB, JPEG, PNG or DDS). surface_format is
// the format the picture came from: DDS files keep it; the others only take from it whether
// to keep alpha. False for other file kinds or when encoding fails.
bool EncodeImage(int file_format, std::uint32_t surface_format, const ArgbImage& image,
                 std::vector<std::uint8_t>* out);

// The kinds of other_kinds.cpp (PFM, HDR, WebP, QOI, PCX headers), of tiff.cpp and of icon.cpp.
bool ProbeOtherKinds(const std::uint8_t* data, std::size_t size, ImageFileInfo* info);
// Decodes a PFM file by hand, anything else through stb_image.
bool DecodeOtherKind(const std::uint8_t* data, std::size_t size, const ImageFileInfo& info,
                     ArgbImage* out);

// Portable maps, P1 to P6, any maximum value (pnm.cpp).
bool ProbePnm(const std::uint8_t* data, std::size_t size, ImageFileInfo* info);
bool DecodePnm(const std::uint8_t* data, std::size_t size, ArgbImage* out);

// TIFF through libtiff (tiff.cpp).
bool ProbeTiff(const std::uint8_t* data, std::size_t size, ImageFileInfo* info);
bool DecodeTiff(const std::uint8_t* data, std::size_t size, ArgbImage* out);

// ICO and CUR: the largest picture of the directory, a bitmap or a PNG file (icon.cpp).
bool ProbeIcon(const std::uint8_t* data, std::size_t size, ImageFileInfo* info);
bool DecodeIcon(const std::uint8_t* data, std::size_t size, ArgbImage* out);

// The first frame of a GIF file (gif.cpp).
bool DecodeGif(const std::uint8_t* data, std::size_t size, ArgbImage* out);

// PNG by hand, inflated with libdeflate (png.cpp). kOther: a file this reader leaves to
// SDL2_image (one with more image data than its picture needs).
enum class PngResult { kDecoded, kRefused, kOther };
PngResult DecodePng(const std::uint8_t* data, std::size_t size, ArgbImage* out);

// Decodes through SDL2_image alone (PNG, JPEG, BMP, DIB, TGA, WebP, QOI, PCX); PNG files come
// here only when DecodePng leaves them.
bool DecodeThroughSdl(int file_format, const std::uint8_t* data, std::size_t size, ArgbImage* out);

// DDS container (dds.cpp).
bool DdsProbe(const std::uint8_t* data, std::size_t size, ImageFileInfo* info);
bool DdsDecode(const std::uint8_t* data, std::size_t size, DecodedImage* out);
bool DdsEncode(std::uint32_t format, const ArgbImage& image, std::vector<std::uint8_t>* out);

}  // namespace d3dx
