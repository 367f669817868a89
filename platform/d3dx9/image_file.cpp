// Image files through SDL2_image: header probes for every file kind (so that size and format
// are known, and checked, before SDL2_image allocates anything), decoding into ARGB and
// encoding BMP, JPEG and PNG into memory. Header probes are written here because SDL2_image
// has no call that reads a picture's size without decoding it.
#include "platform/d3dx9/image_file.h"

#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace d3dx {

namespace {

inline std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}
inline std::uint32_t Be16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 8 | p[1];
}
inline std::uint32_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
inline std::uint32_t Le32(const std::uint8_t* p) {
  return Le16(p) | Le16(p + 2) << 16;
}

bool SetSize(ImageFileInfo* info, std::int64_t width, std::int64_t height) {
  if (!SizeAcceptable(width, height)) return false;
  info->width = static_cast<int>(width);
  info->height = static_cast<int>(height);
  return true;
}

bool ProbePng(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (n < 33 || std::memcmp(d, kSignature, 8) != 0 || std::memcmp(d + 12, "IHDR", 4) != 0) {
    return false;
  }
  if (!SetSize(info, Be32(d + 16), Be32(d + 20))) return false;
  const int colour_type = d[25];
  bool transparency = false, data = false, end = false;
  // Every chunk must lie within the file, image data must be there and the end chunk found: a
  // chunk claiming more bytes than the file holds sends the PNG reader into a long slow failure.
  std::size_t at = 8;
  while (at + 12 <= n && !end) {
    const std::uint32_t length = Be32(d + at);
    if (length > n - at - 12) return false;
    const std::uint8_t* type = d + at + 4;
    if (std::memcmp(type, "tRNS", 4) == 0 && !data) transparency = true;
    if (std::memcmp(type, "IDAT", 4) == 0) data = true;
    if (std::memcmp(type, "IEND", 4) == 0) end = true;
    at += std::size_t{12} + length;
  }
  if (!data || !end) return false;
  switch (colour_type) {
    case 0:
      info->format = transparency ? fmt::kA8L8 : fmt::kL8;
      break;
    case 4:
      info->format = fmt::kA8L8;
      break;
    case 2:
    case 3:
      info->format = transparency ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8;
      break;
    case 6:
      info->format = fmt::kA8R8G8B8;
      break;
    default:
      return false;
  }
  info->file_format = iff::kPng;
  return true;
}

bool ProbeJpeg(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 4 || d[0] != 0xFF || d[1] != 0xD8) return false;
  std::size_t at = 2;
  while (at + 4 <= n) {
    if (d[at] != 0xFF) return false;
    const std::uint8_t marker = d[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // no frame header before the data
    const std::uint32_t length = Be16(d + at + 2);
    if (length < 2 || length > n - at - 2) return false;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 8) return false;
      const std::uint8_t* f = d + at + 4;
      if (!SetSize(info, Be16(f + 3), Be16(f + 1))) return false;
      info->format = f[5] == 1 ? fmt::kL8 : fmt::kX8R8G8B8;
      info->file_format = iff::kJpg;
      info->stb = f[5] == 4;
      return true;
    }
    at += 2 + length;
  }
  return false;
}

// The BMP info header at d (after any file header): size, format.
bool ProbeBmpInfo(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 4) return false;
  const std::uint32_t header = Le32(d);
  std::int64_t width, height;
  std::uint32_t bits, compression = 0;
  if (header == 12) {
    if (n < 12) return false;
    width = Le16(d + 4);
    height = Le16(d + 6);
    bits = Le16(d + 10);
  } else if (header >= 40 && header <= 124) {
    if (n < 40) return false;
    width = static_cast<std::int32_t>(Le32(d + 4));
    height = static_cast<std::int32_t>(Le32(d + 8));
    if (height < 0) height = -height;
    bits = Le16(d + 14);
    compression = Le32(d + 16);
  } else {
    return false;
  }
  if (!SetSize(info, width, height)) return false;
  switch (bits) {
    case 1:
    case 4:
    case 8:
      info->format = fmt::kP8;
      break;
    case 16:
      info->format =
          compression == 3 && n >= 48 && Le32(d + 44) == 0x7E0 ? fmt::kR5G6B5 : fmt::kX1R5G5B5;
      break;
    case 24:
      info->format = fmt::kR8G8B8;
      break;
    case 32:
      info->format = header >= 56 && n >= 56 && Le32(d + 52) != 0 ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8;
      break;
    default:
      return false;
  }
  // Uncompressed rows must all be there; run-length data holds at most 255 pixels in 2 bytes.
  const std::int64_t stride = (width * bits + 31) / 32 * 4;
  const std::int64_t needed =
      compression == 0 || compression == 3 ? stride * height : width * height / 128;
  return static_cast<std::int64_t>(n) >= needed;
}

bool ProbeBmp(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n >= 14 && d[0] == 'B' && d[1] == 'M' && ProbeBmpInfo(d + 14, n - 14, info)) {
    info->file_format = iff::kBmp;
    return true;
  }
  // A device-independent bitmap without the file header.
  if (n >= 40 && ProbeBmpInfo(d, n, info) && Le32(d) >= 40 && Le16(d + 12) == 1) {
    info->file_format = iff::kDib;
    return true;
  }
  return false;
}

bool ProbeGif(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 13 || (std::memcmp(d, "GIF87a", 6) != 0 && std::memcmp(d, "GIF89a", 6) != 0)) {
    return false;
  }
  bool transparency = false;
  std::size_t at = 13;
  if (d[10] & 0x80) at += std::size_t{3} << ((d[10] & 7) + 1);
  while (at < n) {
    if (d[at] == 0x21) {  // extension: label, then sub-blocks up to an empty one
      if (at + 2 >= n) return false;
      if (d[at + 1] == 0xF9 && at + 3 < n && d[at + 2] >= 1 && (d[at + 3] & 1)) {
        transparency = true;
      }
      at += 2;
      while (at < n && d[at] != 0) at += std::size_t{1} + d[at];
      ++at;
    } else if (d[at] == 0x2C) {  // the first picture
      if (at + 10 > n) return false;
      if (!SetSize(info, Le16(d + at + 5), Le16(d + at + 7))) return false;
      info->format = transparency ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8;
      info->file_format = iff::kGif;
      return true;
    } else {
      return false;
    }
  }
  return false;
}

bool ProbeTga(const std::uint8_t* d, std::size_t n, ImageFileInfo* info) {
  if (n < 18) return false;
  const int map_type = d[1], type = d[2], bits = d[16], alpha_bits = d[17] & 0xF;
  if (map_type > 1) return false;
  const std::size_t map_bytes = map_type ? Le16(d + 5) * ((d[7] + 7u) / 8) : 0;
  if (18 + d[0] + map_bytes > n) return false;
  switch (type) {
    case 1:
    case 9:
      if (!map_type || bits != 8) return false;
      info->format = fmt::kP8;
      break;
    case 2:
    case 10:
      if (bits == 32) {
        info->format = alpha_bits ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8;
      } else if (bits == 24) {
        info->format = fmt::kR8G8B8;
      } else if (bits == 15 || bits == 16) {
        info->format = alpha_bits ? fmt::kA1R5G5B5 : fmt::kX1R5G5B5;
      } else {
        return false;
      }
      break;
    case 3:
    case 11:
      if (bits != 8 && bits != 16) return false;
      info->format = bits == 8 ? fmt::kL8 : fmt::kA8L8;
      break;
    default:
      return false;
  }
  if (!SetSize(info, Le16(d + 12), Le16(d + 14))) return false;
  // Uncompressed pixels must all be there; a run-length packet holds at most 128 pixels.
  const std::int64_t pixels = std::int64_t{info->width} * info->height;
  const std::int64_t bytes = (bits + 7) / 8;
  const std::int64_t needed = type < 9 ? pixels * bytes : (pixels + 127) / 128 * (1 + bytes);
  if (static_cast<std::int64_t>(n - 18 - d[0] - map_bytes) < needed) return false;
  info->file_format = iff::kTga;
  return true;
}

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

// A DIB without its file header gets one, so that the BMP reader takes it.
std::vector<std::uint8_t> WithFileHeader(const std::uint8_t* d, std::size_t n) {
  const std::uint32_t header = Le32(d);
  const std::uint32_t bits = Le16(d + 14), compression = Le32(d + 16);
  std::uint32_t colours = Le32(d + 32);
  if (colours == 0 && bits <= 8) colours = 1u << bits;
  std::uint32_t offset = 14 + header + colours * 4;
  if (header == 40 && compression == 3) offset += 12;
  std::vector<std::uint8_t> out(14 + n);
  const std::uint32_t total = static_cast<std::uint32_t>(out.size());
  out[0] = 'B';
  out[1] = 'M';
  for (int i = 0; i < 4; ++i) {
    out[2 + i] = static_cast<std::uint8_t>(total >> (8 * i));
    out[10 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
  }
  std::memcpy(out.data() + 14, d, n);
  return out;
}

SurfacePtr SdlDecode(int file_format, const std::uint8_t* d, std::size_t n) {
  std::vector<std::uint8_t> dib;
  if (file_format == iff::kDib) {
    dib = WithFileHeader(d, n);
    d = dib.data();
    n = dib.size();
  }
  SDL_RWops* rw = SDL_RWFromConstMem(d, static_cast<int>(n));
  if (!rw) return nullptr;
  SDL_Surface* s = nullptr;
  switch (file_format) {
    case iff::kPng:
      s = IMG_LoadPNG_RW(rw);
      break;
    case iff::kJpg:
      s = IMG_LoadJPG_RW(rw);
      break;
    case iff::kBmp:
    case iff::kDib:
      s = IMG_LoadBMP_RW(rw);
      break;
    case iff::kTga:
      s = IMG_LoadTGA_RW(rw);
      break;
    case iff::kWebp:
      s = IMG_LoadWEBP_RW(rw);
      break;
    case iff::kQoi:
      s = IMG_LoadQOI_RW(rw);
      break;
    case iff::kPcx:
      s = IMG_LoadPCX_RW(rw);
      break;
    default:
      break;
  }
  SDL_RWclose(rw);
  return SurfacePtr(s);
}

// Copies an SDL surface into an ARGB picture.
bool FromSurface(SDL_Surface* s, ArgbImage* out) {
  if (!SizeAcceptable(s->w, s->h)) return false;
  SurfacePtr argb(SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_ARGB8888, 0));
  if (!argb || !out->Resize(argb->w, argb->h)) return false;
  if (SDL_MUSTLOCK(argb.get()) && SDL_LockSurface(argb.get()) != 0) return false;
  for (int y = 0; y < argb->h; ++y) {
    std::memcpy(out->Row(y), static_cast<const std::uint8_t*>(argb->pixels) + y * argb->pitch,
                static_cast<std::size_t>(argb->w) * 4);
  }
  if (SDL_MUSTLOCK(argb.get())) SDL_UnlockSurface(argb.get());
  return true;
}

// SDL read/write stream into a growing byte vector (the BMP writer seeks back).
struct VectorStream {
  std::vector<std::uint8_t>* bytes;
  std::size_t position;
};

Sint64 StreamSize(SDL_RWops* rw) {
  return static_cast<Sint64>(static_cast<VectorStream*>(rw->hidden.unknown.data1)->bytes->size());
}
Sint64 StreamSeek(SDL_RWops* rw, Sint64 offset, int whence) {
  auto* s = static_cast<VectorStream*>(rw->hidden.unknown.data1);
  Sint64 base = whence == RW_SEEK_SET   ? 0
                : whence == RW_SEEK_CUR ? static_cast<Sint64>(s->position)
                                        : static_cast<Sint64>(s->bytes->size());
  if (base + offset < 0) return -1;
  s->position = static_cast<std::size_t>(base + offset);
  return static_cast<Sint64>(s->position);
}
size_t StreamRead(SDL_RWops*, void*, size_t, size_t) {
  return 0;
}
size_t StreamWrite(SDL_RWops* rw, const void* data, size_t size, size_t count) {
  auto* s = static_cast<VectorStream*>(rw->hidden.unknown.data1);
  const std::size_t bytes = size * count;
  try {
    if (s->position + bytes > s->bytes->size()) s->bytes->resize(s->position + bytes);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (bytes) std::memcpy(s->bytes->data() + s->position, data, bytes);
  s->position += bytes;
  return count;
}
int StreamClose(SDL_RWops* rw) {
  SDL_FreeRW(rw);
  return 0;
}

SDL_RWops* OpenVectorStream(VectorStream* stream) {
  SDL_RWops* rw = SDL_AllocRW();
  if (!rw) return nullptr;
  rw->size = StreamSize;
  rw->seek = StreamSeek;
  rw->read = StreamRead;
  rw->write = StreamWrite;
  rw->close = StreamClose;
  rw->type = SDL_RWOPS_UNKNOWN;
  rw->hidden.unknown.data1 = stream;
  return rw;
}

}  // namespace

bool SizeAcceptable(std::int64_t width, std::int64_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
         width * height <= kMaxImagePixels;
}

bool ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(f, std::fclose);
  if (std::fseek(f, 0, SEEK_END) != 0) return false;
  const long size = std::ftell(f);
  if (size <= 0 || static_cast<unsigned long>(size) > kMaxImageFileBytes) return false;
  if (std::fseek(f, 0, SEEK_SET) != 0) return false;
  try {
    bytes->resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return std::fread(bytes->data(), 1, bytes->size(), f) == bytes->size();
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

bool ProbeImage(const std::uint8_t* data, std::size_t size, ImageFileInfo* info) {
  if (!data || size == 0) return false;
  ImageFileInfo found;
  const bool known = ProbePng(data, size, &found) || ProbeJpeg(data, size, &found) ||
                     DdsProbe(data, size, &found) || ProbeGif(data, size, &found) ||
                     ProbeBmp(data, size, &found) || ProbePnm(data, size, &found) ||
                     ProbeOtherKinds(data, size, &found) || ProbeTga(data, size, &found);
  // No picture compresses better than this: a header claiming more pixels than the file could
  // hold is refused before anything is allocated for it.
  constexpr std::int64_t kBestRatio = 8192;
  if (!known ||
      std::int64_t{found.width} * found.height > static_cast<std::int64_t>(size) * kBestRatio) {
    return false;
  }
  *info = found;
  return true;
}

bool DecodeImage(const std::uint8_t* data, std::size_t size, DecodedImage* out) {
  ImageFileInfo info;
  if (!ProbeImage(data, size, &info)) return false;
  if (info.file_format == iff::kDds) return DdsDecode(data, size, out);
  // The kinds decoded here rather than by SDL2_image.
  bool (*decode)(const std::uint8_t*, std::size_t, ArgbImage*) = nullptr;
  switch (info.file_format) {
    case iff::kGif:
      decode = DecodeGif;
      break;
    case iff::kPpm:
      decode = DecodePnm;
      break;
    case iff::kTiff:
      decode = DecodeTiff;
      break;
    case iff::kIco:
      decode = DecodeIcon;
      break;
    default:
      break;
  }
  const bool other = info.stb || info.file_format == iff::kHdr || info.file_format == iff::kPfm;
  if (decode || other) {
    out->faces.assign(1, ArgbImage{});
    if (decode ? !decode(data, size, &out->faces[0])
               : !DecodeOtherKind(data, size, info, &out->faces[0])) {
      return false;
    }
    info.width = out->faces[0].width;
    info.height = out->faces[0].height;
    out->info = info;
    return true;
  }
  out->faces.assign(1, ArgbImage{});
  const PngResult png =
      info.file_format == iff::kPng ? DecodePng(data, size, &out->faces[0]) : PngResult::kOther;
  if (png == PngResult::kRefused ||
      (png == PngResult::kOther &&
       !DecodeThroughSdl(info.file_format, data, size, &out->faces[0]))) {
    return false;
  }
  info.width = out->faces[0].width;
  info.height = out->faces[0].height;
  out->info = info;
  return true;
}

bool DecodeThroughSdl(int file_format, const std::uint8_t* data, std::size_t size, ArgbImage* out) {
  if (size > static_cast<std::size_t>(INT32_MAX)) return false;
  SurfacePtr surface = SdlDecode(file_format, data, size);
  return surface && FromSurface(surface.get(), out);
}

bool EncodeImage(int file_format, std::uint32_t surface_format, const ArgbImage& image,
                 std::vector<std::uint8_t>* out) {
  out->clear();
  if (image.width <= 0 || image.height <= 0) return false;
  if (file_format == iff::kDds) return DdsEncode(surface_format, image, out);
  if (file_format != iff::kBmp && file_format != iff::kDib && file_format != iff::kPng &&
      file_format != iff::kJpg) {
    return false;
  }
  // BMP and JPEG keep no alpha unless the surface had it (JPEG never does).
  const bool alpha = FormatHasAlpha(surface_format) && file_format != iff::kJpg;
  SurfacePtr argb(SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<std::uint32_t*>(image.pixels.data()), image.width, image.height, 32,
      image.width * 4, SDL_PIXELFORMAT_ARGB8888));
  if (!argb) return false;
  SurfacePtr converted(SDL_ConvertSurfaceFormat(
      argb.get(), alpha ? SDL_PIXELFORMAT_ARGB8888 : SDL_PIXELFORMAT_RGB24, 0));
  if (!converted) return false;
  VectorStream stream{out, 0};
  SDL_RWops* rw = OpenVectorStream(&stream);
  if (!rw) return false;
  int result = -1;
  switch (file_format) {
    case iff::kBmp:
    case iff::kDib:
      result = SDL_SaveBMP_RW(converted.get(), rw, 1);
      break;
    case iff::kPng:
      result = IMG_SavePNG_RW(converted.get(), rw, 1);
      break;
    case iff::kJpg:
      result = IMG_SaveJPG_RW(converted.get(), rw, 1, 90);
      break;
  }
  return result == 0 && !out->empty();
}

}  // namespace d3dx
