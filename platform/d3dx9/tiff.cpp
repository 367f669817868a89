// TIFF pictures through libtiff, driven here rather than through SDL2_image so that the library
// can be told how much it may allocate and how to treat alpha. The header probe reads the first
// directory by hand, bounded by the file, and refuses sizes, strips and tiles that would need
// more memory than a picture may take; the decoder checks libtiff's own reading of the same
// fields again before any pixels are read. Unassociated alpha (ExtraSamples 2) is handed over
// as it is stored, associated alpha (ExtraSamples 1) is divided out: the loader takes straight
// alpha.
#include <tiffio.h>

#include <cstdarg>
#include <cstring>
#include <memory>

#include "platform/d3dx9/image_file.h"

namespace d3dx {

namespace {

// The fields of the first directory the probe needs, with TIFF's defaults.
struct TiffFields {
  std::int64_t width = 0, height = 0;
  std::int64_t bits = 1, samples = 1, compression = 1, planar = 1;
  std::int64_t rows_per_strip = 0xFFFFFFFF, tile_width = 0, tile_length = 0;
  std::int64_t extra_samples = 0;  // the first extra sample's kind; 0 without one
};

// Reads the first value of a directory entry as an unsigned number (BYTE, SHORT or LONG); -1
// for another type or a value outside the file.
class DirectoryReader {
 public:
  DirectoryReader(const std::uint8_t* d, std::size_t n, bool little) : d_(d), n_(n), le_(little) {}

  std::uint32_t U16(std::size_t at) const {
    return le_ ? d_[at] | static_cast<std::uint32_t>(d_[at + 1]) << 8
               : static_cast<std::uint32_t>(d_[at]) << 8 | d_[at + 1];
  }
  std::uint32_t U32(std::size_t at) const {
    return le_ ? U16(at) | U16(at + 2) << 16 : U16(at) << 16 | U16(at + 2);
  }
  // The entry at e (12 bytes, within the file).
  std::int64_t FirstValue(std::size_t e) const {
    const std::uint32_t type = U16(e + 2), count = U32(e + 4);
    const std::size_t size = type == 1 ? 1 : type == 3 ? 2 : type == 4 ? 4 : 0;
    if (size == 0 || count == 0) return -1;
    std::uint64_t at = e + 8;
    if (std::uint64_t{count} * size > 4) {
      at = U32(e + 8);
      if (at + size > n_) return -1;
    }
    return size == 1 ? d_[at] : size == 2 ? U16(at) : U32(at);
  }

 private:
  const std::uint8_t* d_;
  std::size_t n_;
  bool le_;
};

bool ReadFields(const std::uint8_t* d, std::size_t n, TiffFields* f) {
  if (n < 8) return false;
  const bool le = d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0;
  const bool be = d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42;
  if (!le && !be) return false;
  const DirectoryReader r(d, n, le);
  const std::uint64_t ifd = r.U32(4);
  if (ifd < 8 || ifd + 2 > n) return false;
  const std::uint32_t count = r.U16(ifd);
  if (ifd + 2 + std::uint64_t{count} * 12 > n) return false;
  bool seen[11] = {};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t e = ifd + 2 + std::size_t{i} * 12;
    std::int64_t* field = nullptr;
    int slot = 0;
    switch (r.U16(e)) {
      case 256:
        field = &f->width, slot = 1;
        break;
      case 257:
        field = &f->height, slot = 2;
        break;
      case 258:
        field = &f->bits, slot = 3;
        break;
      case 259:
        field = &f->compression, slot = 4;
        break;
      case 277:
        field = &f->samples, slot = 5;
        break;
      case 278:
        field = &f->rows_per_strip, slot = 6;
        break;
      case 284:
        field = &f->planar, slot = 7;
        break;
      case 322:
        field = &f->tile_width, slot = 8;
        break;
      case 323:
        field = &f->tile_length, slot = 9;
        break;
      case 338:
        field = &f->extra_samples, slot = 10;
        break;
      default:
        continue;
    }
    // libtiff keeps the first of repeated tags; so does this.
    if (seen[slot]) continue;
    seen[slot] = true;
    *field = r.FirstValue(e);
    if (*field < 0) return false;
  }
  if (f->rows_per_strip == 0) f->rows_per_strip = f->height;  // as libtiff reads it
  return true;
}

// Bytes of the largest piece libtiff reads at once (a strip or a tile, after decompression),
// and of all the pieces together as they are stored uncompressed; 0 when the layout is unusable.
struct TiffSizes {
  std::uint64_t piece = 0, total = 0;
};

TiffSizes Sizes(const TiffFields& f) {
  TiffSizes s;
  const bool tiled = f.tile_width > 0 || f.tile_length > 0;
  if (f.planar != 1 && f.planar != 2) return s;
  if (tiled && (f.tile_width <= 0 || f.tile_length <= 0)) return s;
  const std::uint64_t pixel_bits = static_cast<std::uint64_t>(f.bits) *
                                   static_cast<std::uint64_t>(f.planar == 1 ? f.samples : 1);
  const std::uint64_t planes = f.planar == 1 ? 1 : static_cast<std::uint64_t>(f.samples);
  const std::uint64_t piece_width = tiled ? f.tile_width : f.width;
  const std::uint64_t piece_rows =
      tiled ? f.tile_length : (f.rows_per_strip < f.height ? f.rows_per_strip : f.height);
  if (piece_rows == 0) return s;
  const std::uint64_t across = tiled ? (f.width + piece_width - 1) / piece_width : 1;
  const std::uint64_t down = (f.height + piece_rows - 1) / piece_rows;
  // Sides are below 2^16 and a pixel below 2^8 bits: every product stays far below 2^64.
  s.piece = (piece_width * pixel_bits + 7) / 8 * piece_rows;
  s.total = s.piece * across * down * planes;
  return s;
}

bool TiffLayoutAcceptable(const TiffFields& f, std::size_t n) {
  if (!SizeAcceptable(f.width, f.height)) return false;
  if (f.bits != 1 && f.bits != 2 && f.bits != 4 && f.bits != 8 && f.bits != 16) return false;
  if (f.samples < 1 || f.samples > 8) return false;
  if (f.tile_width > kMaxImageSide || f.tile_length > kMaxImageSide) return false;
  const TiffSizes s = Sizes(f);
  if (s.piece == 0 || s.piece > kMaxDecodeAllocation) return false;
  // Uncompressed pieces must all be in the file.
  return f.compression != 1 || s.total <= n;
}

// The file as libtiff reads it: memory, read-only, mapped in place.
struct MemoryFile {
  const std::uint8_t* data;
  std::uint64_t size;
  std::uint64_t at;
};

tmsize_t Read(thandle_t h, void* buffer, tmsize_t size) {
  auto* f = static_cast<MemoryFile*>(h);
  if (size <= 0 || f->at >= f->size) return 0;
  const std::uint64_t left = f->size - f->at;
  const std::uint64_t take = static_cast<std::uint64_t>(size) < left ? size : left;
  std::memcpy(buffer, f->data + f->at, take);
  f->at += take;
  return static_cast<tmsize_t>(take);
}
tmsize_t Write(thandle_t, void*, tmsize_t) {
  return -1;
}
toff_t Seek(thandle_t h, toff_t offset, int whence) {
  auto* f = static_cast<MemoryFile*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? f->at : whence == SEEK_END ? f->size : 0;
  f->at = base + offset;
  return f->at;
}
int Close(thandle_t) {
  return 0;
}
toff_t Size(thandle_t h) {
  return static_cast<MemoryFile*>(h)->size;
}
int Map(thandle_t h, void** base, toff_t* size) {
  auto* f = static_cast<MemoryFile*>(h);
  *base = const_cast<std::uint8_t*>(f->data);
  *size = f->size;
  return 1;
}
void Unmap(thandle_t, void*, toff_t) {}

// libtiff's messages about damaged files are not ours to print.
int Quiet(TIFF*, void*, const char*, const char*, va_list) {
  return 1;
}

struct OptionsFree {
  void operator()(TIFFOpenOptions* o) const { TIFFOpenOptionsFree(o); }
};
struct TiffClose {
  void operator()(TIFF* t) const { TIFFClose(t); }
};
struct RgbaEnd {
  void operator()(TIFFRGBAImage* img) const { TIFFRGBAImageEnd(img); }
};

inline std::uint32_t Pack(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  return r | g << 8 | b << 16 | a << 24;  // libtiff's raster order: red in the low byte
}
inline std::uint32_t To8(std::uint16_t v) {
  return (v * 255u + 32767u) / 65535u;
}

// Put routines for RGB with unassociated alpha, taking the samples as they are (libtiff's own
// multiply the colours by alpha). Same contract as libtiff's: w by h pixels into cp, skipping
// fromskew pixels of the source and toskew of the raster after each row.
void StraightContig8(TIFFRGBAImage* img, std::uint32_t* cp, std::uint32_t, std::uint32_t,
                     std::uint32_t w, std::uint32_t h, std::int32_t fromskew, std::int32_t toskew,
                     unsigned char* pp) {
  const int spp = img->samplesperpixel;
  for (; h > 0; --h, cp += toskew, pp += fromskew * spp) {
    for (std::uint32_t x = 0; x < w; ++x, pp += spp) *cp++ = Pack(pp[0], pp[1], pp[2], pp[3]);
  }
}
void StraightContig16(TIFFRGBAImage* img, std::uint32_t* cp, std::uint32_t, std::uint32_t,
                      std::uint32_t w, std::uint32_t h, std::int32_t fromskew, std::int32_t toskew,
                      unsigned char* bytes) {
  const int spp = img->samplesperpixel;
  const auto* pp = reinterpret_cast<const std::uint16_t*>(bytes);
  for (; h > 0; --h, cp += toskew, pp += fromskew * spp) {
    for (std::uint32_t x = 0; x < w; ++x, pp += spp) {
      *cp++ = Pack(To8(pp[0]), To8(pp[1]), To8(pp[2]), To8(pp[3]));
    }
  }
}
void StraightSeparate8(TIFFRGBAImage*, std::uint32_t* cp, std::uint32_t, std::uint32_t,
                       std::uint32_t w, std::uint32_t h, std::int32_t fromskew, std::int32_t toskew,
                       unsigned char* r, unsigned char* g, unsigned char* b, unsigned char* a) {
  for (; h > 0; --h, cp += toskew, r += fromskew, g += fromskew, b += fromskew, a += fromskew) {
    for (std::uint32_t x = 0; x < w; ++x) *cp++ = Pack(*r++, *g++, *b++, *a++);
  }
}

// libtiff hands associated alpha over as stored: colours already multiplied by alpha.
std::uint32_t Unpremultiplied(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
  if (a == 255) return a << 24 | r << 16 | g << 8 | b;
  if (a == 0) return 0;
  auto divide = [a](std::uint32_t c) {
    const std::uint32_t v = (c * 255 + a / 2) / a;
    return v > 255 ? 255u : v;
  };
  return a << 24 | divide(r) << 16 | divide(g) << 8 | divide(b);
}

}  // namespace

bool ProbeTiff(const std::uint8_t* data, std::size_t size, ImageFileInfo* info) {
  TiffFields f;
  if (!ReadFields(data, size, &f) || !TiffLayoutAcceptable(f, size)) return false;
  const bool alpha = f.samples == 4 || f.extra_samples == 1 || f.extra_samples == 2;
  info->width = static_cast<int>(f.width);
  info->height = static_cast<int>(f.height);
  info->format = alpha ? fmt::kA8R8G8B8 : fmt::kX8R8G8B8;
  info->file_format = iff::kTiff;
  return true;
}

bool DecodeTiff(const std::uint8_t* data, std::size_t size, ArgbImage* out) {
  ImageFileInfo probed;
  if (!ProbeTiff(data, size, &probed)) return false;
  std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
  if (!options) return false;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), static_cast<tmsize_t>(kMaxDecodeAllocation));
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), Quiet, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), Quiet, nullptr);
  MemoryFile file{data, size, 0};
  std::unique_ptr<TIFF, TiffClose> tiff(TIFFClientOpenExt("picture", "r", &file, Read, Write, Seek,
                                                          Close, Size, Map, Unmap, options.get()));
  if (!tiff) return false;
  // What libtiff itself read must be what the probe accepted.
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
  if (static_cast<int>(width) != probed.width || static_cast<int>(height) != probed.height) {
    return false;
  }
  const std::uint64_t piece =
      TIFFIsTiled(tiff.get()) ? TIFFTileSize64(tiff.get()) : TIFFStripSize64(tiff.get());
  if (piece == 0 || piece > kMaxDecodeAllocation) return false;
  char message[1024];
  TIFFRGBAImage img{};
  if (!TIFFRGBAImageOK(tiff.get(), message) || !TIFFRGBAImageBegin(&img, tiff.get(), 0, message)) {
    return false;
  }
  std::unique_ptr<TIFFRGBAImage, RgbaEnd> end(&img);
  // RGB with unassociated alpha is taken as stored where a routine of ours can; elsewhere
  // libtiff's premultiplied result is divided out as for associated alpha.
  const bool rgb = img.photometric == PHOTOMETRIC_RGB && img.samplesperpixel >= 4;
  bool straight = false;
  if (img.alpha == EXTRASAMPLE_UNASSALPHA && rgb) {
    if (img.isContig && img.bitspersample == 8) {
      img.put.contig = StraightContig8;
      straight = true;
    } else if (img.isContig && img.bitspersample == 16) {
      img.put.contig = StraightContig16;
      straight = true;
    } else if (!img.isContig && img.bitspersample == 8) {
      img.put.separate = StraightSeparate8;
      straight = true;
    }
  }
  const bool divide = img.alpha == EXTRASAMPLE_ASSOCALPHA ||
                      (img.alpha == EXTRASAMPLE_UNASSALPHA && rgb && !straight);
  img.req_orientation = ORIENTATION_TOPLEFT;
  if (!out->Resize(static_cast<int>(width), static_cast<int>(height))) return false;
  if (!TIFFRGBAImageGet(&img, out->pixels.data(), width, height)) return false;
  for (std::uint32_t& c : out->pixels) {
    const std::uint32_t r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF, a = c >> 24;
    c = divide ? Unpremultiplied(r, g, b, a) : a << 24 | r << 16 | g << 8 | b;
  }
  return true;
}

}  // namespace d3dx
