// D3DX image functions on the software device: files are decoded into ARGB (image_file.cpp),
// scaled and keyed (resample.cpp) and converted into the destination surface's own format
// (pixel_formats.cpp). Surfaces are reached through LockRect; surfaces that cannot be locked
// (render targets made without the lockable flag) are read and written in the device's own
// storage, the way the platform's D3DX reaches them through the driver.
#include "platform/d3dx9/d3dx9.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/d3dx9/decode_ahead.h"
#include "platform/d3dx9/image_file.h"
#include "platform/d3dx9/resample.h"
#include "platform/win32/paths.h"

namespace {

using d3dx::Area;
using d3dx::ArgbImage;

static_assert(d3dx::fmt::kA8R8G8B8 == D3DFMT_A8R8G8B8 && d3dx::fmt::kA4L4 == D3DFMT_A4L4 &&
              d3dx::fmt::kG16R16 == D3DFMT_G16R16 && d3dx::fmt::kDxt5 == D3DFMT_DXT5);
static_assert(d3dx::iff::kDds == D3DXIFF_DDS && d3dx::iff::kDib == D3DXIFF_DIB);

d3dx::Filter FilterOf(DWORD filter) {
  switch (filter & 0xFF) {
    case D3DX_FILTER_NONE:
      return d3dx::Filter::kNone;
    case D3DX_FILTER_POINT:
      return d3dx::Filter::kPoint;
    case D3DX_FILTER_LINEAR:
      return d3dx::Filter::kLinear;
    default:  // box, triangle and the default
      return d3dx::Filter::kBox;
  }
}

bool IsDefault(UINT value) {
  return value == 0 || value == D3DX_DEFAULT || value == D3DX_DEFAULT_NONPOW2 ||
         value == D3DX_FROM_FILE;
}

bool IsDefaultFormat(D3DFORMAT format) {
  return format == D3DFMT_UNKNOWN || format == static_cast<D3DFORMAT>(D3DX_DEFAULT) ||
         format == D3DFMT_FROM_FILE;
}

void FillInfo(const d3dx::ImageFileInfo& file, D3DXIMAGE_INFO* info) {
  if (!info) return;
  info->Width = static_cast<UINT>(file.width);
  info->Height = static_cast<UINT>(file.height);
  info->Depth = 1;
  info->MipLevels = static_cast<UINT>(file.mip_levels);
  info->Format = static_cast<D3DFORMAT>(file.format);
  info->ResourceType = file.cube ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_TEXTURE;
  // Pictures read from GIF, WebP, TIFF and the like have no code of their own on the platform.
  info->ImageFileFormat = file.file_format >= d3dx::iff::kGif
                              ? D3DXIFF_BMP
                              : static_cast<D3DXIMAGE_FILEFORMAT>(file.file_format);
}

HRESULT DecodeMemory(const void* data, UINT size, d3dx::DecodedImage* out) {
  if (!data || size == 0) return D3DERR_INVALIDCALL;
  if (!d3dx::DecodeImage(static_cast<const std::uint8_t*>(data), size, out)) {
    return D3DXERR_INVALIDDATA;
  }
  return D3D_OK;
}

HRESULT DecodeFile(LPCSTR file, d3dx::DecodedImage* out) {
  if (!file) return D3DERR_INVALIDCALL;
  const std::string path = win32::NativePath(file);
  if (d3dx::DecodedAheadTake(path, out)) return D3D_OK;
  std::vector<std::uint8_t> bytes;
  if (!d3dx::ReadFileBytes(path, &bytes)) return D3DERR_NOTFOUND;
  if (!d3dx::DecodeImage(bytes.data(), bytes.size(), out)) return D3DXERR_INVALIDDATA;
  return D3D_OK;
}

// The texels of a surface for the length of a scope.
class SurfaceBits {
 public:
  explicit SurfaceBits(IDirect3DSurface9* surface) : surface_(surface) {
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(surface->LockRect(&locked, nullptr, 0))) {
      bits_ = static_cast<BYTE*>(locked.pBits);
      pitch_ = static_cast<std::size_t>(locked.Pitch);
      locked_ = true;
    } else if (!surface->Locked() && d3dx::FormatKnown(surface->Format())) {
      bits_ = surface->Bits();
      pitch_ = surface->Pitch();
    }
  }
  ~SurfaceBits() {
    if (locked_) {
      surface_->UnlockRect();
    } else if (bits_) {
      surface_->Touch();
    }
  }
  SurfaceBits(const SurfaceBits&) = delete;
  SurfaceBits& operator=(const SurfaceBits&) = delete;

  explicit operator bool() const { return bits_ != nullptr; }
  BYTE* bits() const { return bits_; }
  std::size_t pitch() const { return pitch_; }

 private:
  IDirect3DSurface9* surface_;
  BYTE* bits_ = nullptr;
  std::size_t pitch_ = 0;
  bool locked_ = false;
};

bool ValidRect(const RECT& r, UINT width, UINT height) {
  return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom &&
         r.right <= static_cast<LONG>(width) && r.bottom <= static_cast<LONG>(height);
}

RECT Whole(UINT width, UINT height) {
  return RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
}

// Reads the whole surface into ARGB.
bool ReadSurface(IDirect3DSurface9* surface, ArgbImage* out) {
  SurfaceBits bits(surface);
  if (!bits ||
      !out->Resize(static_cast<int>(surface->Width()), static_cast<int>(surface->Height()))) {
    return false;
  }
  return d3dx::ReadPixels(surface->Format(), bits.bits(), bits.pitch(), out->width, out->height,
                          out->pixels.data());
}

// Reads a rectangle of a surface into ARGB.
HRESULT ReadSurfaceRect(IDirect3DSurface9* surface, const RECT* rect, ArgbImage* out) {
  if (!surface) return D3DERR_INVALIDCALL;
  const RECT r = rect ? *rect : Whole(surface->Width(), surface->Height());
  if (!ValidRect(r, surface->Width(), surface->Height())) return D3DERR_INVALIDCALL;
  const D3DFORMAT format = surface->Format();
  if (!d3dx::FormatKnown(format)) return D3DERR_INVALIDCALL;
  if (d3dx::FormatCompressed(format)) {
    ArgbImage whole;
    if (!ReadSurface(surface, &whole)) return D3DERR_INVALIDCALL;
    if (!out->Resize(r.right - r.left, r.bottom - r.top)) return E_OUTOFMEMORY;
    d3dx::Resample(whole, {r.left, r.top, out->width, out->height}, *out,
                   {0, 0, out->width, out->height}, d3dx::Filter::kNone);
    return D3D_OK;
  }
  SurfaceBits bits(surface);
  if (!bits) return D3DERR_INVALIDCALL;
  if (!out->Resize(r.right - r.left, r.bottom - r.top)) return E_OUTOFMEMORY;
  const BYTE* origin = bits.bits() + static_cast<std::size_t>(r.top) * bits.pitch() +
                       static_cast<std::size_t>(r.left) * (d3dx::FormatBits(format) / 8);
  d3dx::ReadPixels(format, origin, bits.pitch(), out->width, out->height, out->pixels.data());
  return D3D_OK;
}

// Scales a rectangle of an ARGB picture into a rectangle of a surface, keyed and converted.
HRESULT LoadArgb(IDirect3DSurface9* dest, const RECT* dest_rect, const ArgbImage& src,
                 const RECT* src_rect, DWORD filter, D3DCOLOR colour_key) {
  if (!dest) return D3DERR_INVALIDCALL;
  const D3DFORMAT format = dest->Format();
  if (!d3dx::FormatKnown(format)) return D3DERR_INVALIDCALL;
  const RECT dr = dest_rect ? *dest_rect : Whole(dest->Width(), dest->Height());
  const RECT sr = src_rect ? *src_rect : Whole(src.width, src.height);
  if (!ValidRect(dr, dest->Width(), dest->Height()) || !ValidRect(sr, src.width, src.height)) {
    return D3DERR_INVALIDCALL;
  }
  const Area to{dr.left, dr.top, dr.right - dr.left, dr.bottom - dr.top};
  Area from{sr.left, sr.top, sr.right - sr.left, sr.bottom - sr.top};
  const ArgbImage* source = &src;
  ArgbImage keyed;
  if (colour_key != 0) {
    if (!keyed.ResizeForOverwrite(from.width, from.height)) return E_OUTOFMEMORY;
    d3dx::Resample(src, from, keyed, {0, 0, from.width, from.height}, d3dx::Filter::kNone);
    d3dx::ApplyColourKey(keyed, colour_key);
    source = &keyed;
    from = {0, 0, from.width, from.height};
  }
  const d3dx::Filter mode = FilterOf(filter);

  if (d3dx::FormatCompressed(format)) {
    ArgbImage whole;
    if (!ReadSurface(dest, &whole)) return D3DERR_INVALIDCALL;
    d3dx::Resample(*source, from, whole, to, mode);
    SurfaceBits bits(dest);
    if (!bits) return D3DERR_INVALIDCALL;
    d3dx::WritePixels(format, whole.pixels.data(), whole.width, whole.height, bits.bits(),
                      bits.pitch());
    return D3D_OK;
  }

  SurfaceBits bits(dest);
  if (!bits) return D3DERR_INVALIDCALL;
  BYTE* origin = bits.bits() + static_cast<std::size_t>(to.y) * bits.pitch() +
                 static_cast<std::size_t>(to.x) * (d3dx::FormatBits(format) / 8);
  if (from.width == to.width && from.height == to.height) {
    // Every filter copies a picture of the same size pixel for pixel: its rows go straight into
    // the surface, with no picture between.
    for (int y = 0; y < to.height; ++y) {
      d3dx::WritePixels(format, source->Row(from.y + y) + from.x, to.width, 1,
                        origin + static_cast<std::size_t>(y) * bits.pitch(), bits.pitch());
    }
    return D3D_OK;
  }
  ArgbImage region;
  if (!region.Resize(to.width, to.height)) return E_OUTOFMEMORY;
  // Without a filter the source may not cover the rectangle; the rest keeps its texels.
  if (mode == d3dx::Filter::kNone && (from.width < to.width || from.height < to.height)) {
    d3dx::ReadPixels(format, origin, bits.pitch(), to.width, to.height, region.pixels.data());
  }
  d3dx::Resample(*source, from, region, {0, 0, to.width, to.height}, mode);
  d3dx::WritePixels(format, region.pixels.data(), to.width, to.height, origin, bits.pitch());
  return D3D_OK;
}

// The nearest format to format that the device accepts for resource_type and usage.
D3DFORMAT AcceptedFormat(IDirect3DDevice9* device, D3DFORMAT format, DWORD usage,
                         D3DRESOURCETYPE resource_type) {
  Ref<IDirect3D9> d3d;
  if (FAILED(device->GetDirect3D(d3d.Put())) || !d3d) return format;
  D3DDISPLAYMODE mode{};
  const D3DFORMAT adapter_format =
      SUCCEEDED(device->GetDisplayMode(0, &mode)) ? mode.Format : D3DFMT_X8R8G8B8;
  // Palette formats are never chosen: pictures are converted without a palette.
  auto accepted = [&](D3DFORMAT f) {
    return d3dx::FormatKnown(f) && f != D3DFMT_P8 && f != D3DFMT_A8P8 &&
           SUCCEEDED(
               d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapter_format, usage, resource_type, f));
  };
  if (accepted(format)) return format;
  static const D3DFORMAT kWithAlpha[] = {D3DFMT_A8R8G8B8, D3DFMT_A4R4G4B4, D3DFMT_A1R5G5B5,
                                         D3DFMT_X8R8G8B8};
  static const D3DFORMAT kOpaque[] = {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                                      D3DFMT_A8R8G8B8};
  for (D3DFORMAT f : d3dx::FormatHasAlpha(format) ? kWithAlpha : kOpaque) {
    if (accepted(f)) return f;
  }
  return format;
}

HRESULT CheckRequirements(IDirect3DDevice9* device, UINT* width, UINT* height, UINT* mip_levels,
                          DWORD usage, D3DFORMAT* format, D3DRESOURCETYPE resource_type) {
  if (!device) return D3DERR_INVALIDCALL;
  D3DCAPS9 caps{};
  if (FAILED(device->GetDeviceCaps(&caps))) return D3DERR_INVALIDCALL;
  UINT w = width && !IsDefault(*width) ? *width : 256;
  UINT h = height && !IsDefault(*height) ? *height : 256;
  if (width && IsDefault(*width) && height && !IsDefault(*height)) w = h;
  if (height && IsDefault(*height) && width && !IsDefault(*width)) h = w;
  UINT levels = mip_levels ? *mip_levels : 1;
  const bool pow2 = caps.TextureCaps & D3DPTEXTURECAPS_POW2;
  const bool conditional = caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
  if (pow2 && !(conditional && levels == 1)) {
    w = std::bit_ceil(w);
    h = std::bit_ceil(h);
  }
  if (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) w = h = std::max(w, h);
  if (caps.MaxTextureWidth && w > caps.MaxTextureWidth) w = caps.MaxTextureWidth;
  if (caps.MaxTextureHeight && h > caps.MaxTextureHeight) h = caps.MaxTextureHeight;
  const UINT chain = static_cast<UINT>(std::bit_width(std::max(w, h)));
  if (levels == 0 || levels == D3DX_DEFAULT || levels == D3DX_FROM_FILE || levels > chain) {
    levels = chain;
  }
  if (format) {
    D3DFORMAT f = IsDefaultFormat(*format) ? D3DFMT_A8R8G8B8 : *format;
    *format = AcceptedFormat(device, f, usage, resource_type);
  }
  if (width) *width = w;
  if (height) *height = h;
  if (mip_levels) *mip_levels = levels;
  return D3D_OK;
}

// Fills every level of one face below src_level from the level above it.
HRESULT FilterFace(IDirect3DBaseTexture9* texture, UINT face, UINT src_level, DWORD filter) {
  const UINT count = texture->GetLevelCount();
  ArgbImage above;
  if (src_level >= count) return D3DERR_INVALIDCALL;
  if (!ReadSurface(texture->Level(face, src_level), &above)) return D3DERR_INVALIDCALL;
  for (UINT level = src_level + 1; level < count; ++level) {
    IDirect3DSurface9* surface = texture->Level(face, level);
    HRESULT hr = LoadArgb(surface, nullptr, above, nullptr, filter, 0);
    if (FAILED(hr)) return hr;
    if (level + 1 < count && !ReadSurface(surface, &above)) return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

// Copies a file's own level bytes into a whole surface of the same format and size, as they
// are: a DXT texture made from a DXT file keeps the file's blocks instead of blocks decoded
// and compressed again. False (nothing done) when the level cannot be taken as it is.
bool CopyFileLevel(IDirect3DSurface9* dest, const RECT* dest_rect, const d3dx::DecodedImage& image,
                   std::size_t face, std::size_t level, const RECT* src_rect, D3DCOLOR colour_key) {
  if (!dest || !image.raw || colour_key != 0 || face >= image.levels.size() ||
      level >= image.levels[face].size() || dest->Format() != image.info.format) {
    return false;
  }
  const d3dx::FileLevel& from = image.levels[face][level];
  const UINT w = dest->Width(), h = dest->Height();
  auto whole = [](const RECT* r, UINT width, UINT height) {
    return !r || (r->left == 0 && r->top == 0 && r->right == static_cast<LONG>(width) &&
                  r->bottom == static_cast<LONG>(height));
  };
  if (static_cast<UINT>(from.width) != w || static_cast<UINT>(from.height) != h ||
      !whole(dest_rect, w, h) || !whole(src_rect, w, h)) {
    return false;
  }
  const D3DFORMAT format = dest->Format();
  const std::size_t row = d3dx::FormatRowBytes(format, from.width);
  const std::size_t rows = static_cast<std::size_t>(d3dx::FormatRowCount(format, from.height));
  if (row * rows != from.bytes.size()) return false;
  SurfaceBits bits(dest);
  if (!bits || bits.pitch() < row) return false;
  for (std::size_t y = 0; y < rows; ++y) {
    std::memcpy(bits.bits() + y * bits.pitch(), from.bytes.data() + y * row, row);
  }
  return true;
}

// Loads one face of a texture made from a file: level 0, then each further level the file
// holds at the texture's size for it (as they are where the formats match); the levels below
// the last one loaded are filtered down from it.
HRESULT LoadFileFace(IDirect3DBaseTexture9* texture, UINT face, const d3dx::DecodedImage& image,
                     const ArgbImage& picture, DWORD filter, DWORD mip_filter,
                     D3DCOLOR colour_key) {
  IDirect3DSurface9* top = texture->Level(face, 0);
  HRESULT hr = D3D_OK;
  if (!CopyFileLevel(top, nullptr, image, face, 0, nullptr, colour_key)) {
    hr = LoadArgb(top, nullptr, picture, nullptr, filter, colour_key);
    if (FAILED(hr)) return hr;
  }
  const UINT count = texture->GetLevelCount();
  const std::vector<d3dx::FileLevel>* file_levels =
      face < image.levels.size() ? &image.levels[face] : nullptr;
  UINT loaded = 1;
  // Further file levels fit only when level 0 was taken at the file's own size.
  const bool same_size = file_levels && !file_levels->empty() &&
                         static_cast<UINT>((*file_levels)[0].width) == top->Width() &&
                         static_cast<UINT>((*file_levels)[0].height) == top->Height();
  while (same_size && loaded < count && loaded < file_levels->size()) {
    IDirect3DSurface9* surface = texture->Level(face, loaded);
    const d3dx::FileLevel& level = (*file_levels)[loaded];
    if (static_cast<UINT>(level.width) != surface->Width() ||
        static_cast<UINT>(level.height) != surface->Height()) {
      break;
    }
    if (!CopyFileLevel(surface, nullptr, image, face, loaded, nullptr, colour_key)) {
      hr = LoadArgb(surface, nullptr, level.argb, nullptr, D3DX_FILTER_NONE, colour_key);
      if (FAILED(hr)) return hr;
    }
    ++loaded;
  }
  return loaded < count ? FilterFace(texture, face, loaded - 1, mip_filter) : D3D_OK;
}

}  // namespace

HRESULT D3DXGetImageInfoFromFileInMemory(LPCVOID data, UINT size, D3DXIMAGE_INFO* info) {
  if (!data || size == 0 || !info) return D3DERR_INVALIDCALL;
  d3dx::ImageFileInfo file;
  if (!d3dx::ProbeImage(static_cast<const std::uint8_t*>(data), size, &file)) {
    return D3DXERR_INVALIDDATA;
  }
  FillInfo(file, info);
  return D3D_OK;
}

HRESULT D3DXGetImageInfoFromFileA(LPCSTR file, D3DXIMAGE_INFO* info) {
  if (!file || !info) return D3DERR_INVALIDCALL;
  std::vector<std::uint8_t> bytes;
  if (!d3dx::ReadFileBytes(win32::NativePath(file), &bytes)) return D3DERR_NOTFOUND;
  return D3DXGetImageInfoFromFileInMemory(bytes.data(), static_cast<UINT>(bytes.size()), info);
}

HRESULT D3DXCheckTextureRequirements(IDirect3DDevice9* device, UINT* width, UINT* height,
                                     UINT* mip_levels, DWORD usage, D3DFORMAT* format,
                                     D3DPOOL pool) {
  return CheckRequirements(device, width, height, mip_levels, usage, format, D3DRTYPE_TEXTURE);
}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mip_levels,
                          DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  HRESULT hr =
      D3DXCheckTextureRequirements(device, &width, &height, &mip_levels, usage, &format, pool);
  if (FAILED(hr)) return hr;
  return device->CreateTexture(width, height, mip_levels, usage, format, pool, texture, nullptr);
}

HRESULT D3DXLoadSurfaceFromFileInMemory(IDirect3DSurface9* dest, const PALETTEENTRY*,
                                        const RECT* dest_rect, LPCVOID data, UINT size,
                                        const RECT* src_rect, DWORD filter, D3DCOLOR colour_key,
                                        D3DXIMAGE_INFO* info) {
  if (!dest) return D3DERR_INVALIDCALL;
  d3dx::DecodedImage image;
  HRESULT hr = DecodeMemory(data, size, &image);
  if (FAILED(hr)) return hr;
  FillInfo(image.info, info);
  if (CopyFileLevel(dest, dest_rect, image, 0, 0, src_rect, colour_key)) return D3D_OK;
  return LoadArgb(dest, dest_rect, image.faces[0], src_rect, filter, colour_key);
}

HRESULT D3DXLoadSurfaceFromFileA(IDirect3DSurface9* dest, const PALETTEENTRY*,
                                 const RECT* dest_rect, LPCSTR file, const RECT* src_rect,
                                 DWORD filter, D3DCOLOR colour_key, D3DXIMAGE_INFO* info) {
  if (!dest) return D3DERR_INVALIDCALL;
  d3dx::DecodedImage image;
  HRESULT hr = DecodeFile(file, &image);
  if (FAILED(hr)) return hr;
  FillInfo(image.info, info);
  if (CopyFileLevel(dest, dest_rect, image, 0, 0, src_rect, colour_key)) return D3D_OK;
  return LoadArgb(dest, dest_rect, image.faces[0], src_rect, filter, colour_key);
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dest, const PALETTEENTRY*,
                                   const RECT* dest_rect, IDirect3DSurface9* src,
                                   const PALETTEENTRY*, const RECT* src_rect, DWORD filter,
                                   D3DCOLOR colour_key) {
  if (!dest || !src) return D3DERR_INVALIDCALL;
  ArgbImage image;
  HRESULT hr = ReadSurfaceRect(src, src_rect, &image);
  if (FAILED(hr)) return hr;
  return LoadArgb(dest, dest_rect, image, nullptr, filter, colour_key);
}

HRESULT D3DXLoadSurfaceFromMemory(IDirect3DSurface9* dest, const PALETTEENTRY*,
                                  const RECT* dest_rect, LPCVOID src_memory, D3DFORMAT src_format,
                                  UINT src_pitch, const PALETTEENTRY*, const RECT* src_rect,
                                  DWORD filter, D3DCOLOR colour_key) {
  if (!dest || !src_memory || !src_rect || !d3dx::FormatKnown(src_format)) {
    return D3DERR_INVALIDCALL;
  }
  const RECT r = *src_rect;
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom) {
    return D3DERR_INVALIDCALL;
  }
  const bool blocks = d3dx::FormatCompressed(src_format);
  if (blocks && (r.left % 4 || r.top % 4)) return D3DERR_INVALIDCALL;
  const std::size_t row = blocks ? static_cast<std::size_t>(r.top / 4) : r.top;
  const std::size_t column =
      blocks ? d3dx::FormatRowBytes(src_format, r.left)
             : static_cast<std::size_t>(r.left) * (d3dx::FormatBits(src_format) / 8);
  ArgbImage image;
  if (!image.Resize(r.right - r.left, r.bottom - r.top)) return E_OUTOFMEMORY;
  const BYTE* origin = static_cast<const BYTE*>(src_memory) + row * src_pitch + column;
  d3dx::ReadPixels(src_format, origin, src_pitch, image.width, image.height, image.pixels.data());
  return LoadArgb(dest, dest_rect, image, nullptr, filter, colour_key);
}

HRESULT D3DXFilterTexture(IDirect3DBaseTexture9* texture, const PALETTEENTRY*, UINT src_level,
                          DWORD filter) {
  if (!texture) return D3DERR_INVALIDCALL;
  if (src_level == D3DX_DEFAULT) src_level = 0;
  const UINT faces = texture->GetType() == D3DRTYPE_CUBETEXTURE ? 6 : 1;
  for (UINT face = 0; face < faces; ++face) {
    HRESULT hr = FilterFace(texture, face, src_level, filter);
    if (FAILED(hr)) return hr;
  }
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT width, UINT height,
                                     UINT mip_levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                     DWORD filter, DWORD mip_filter, D3DCOLOR colour_key,
                                     D3DXIMAGE_INFO* info, PALETTEENTRY*,
                                     IDirect3DTexture9** texture) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  d3dx::DecodedImage image;
  HRESULT hr = DecodeFile(file, &image);
  if (FAILED(hr)) return hr;
  const d3dx::ImageFileInfo& from = image.info;
  if (IsDefault(width)) width = static_cast<UINT>(from.width);
  if (IsDefault(height)) height = static_cast<UINT>(from.height);
  if (mip_levels == D3DX_FROM_FILE) mip_levels = static_cast<UINT>(from.mip_levels);
  if (IsDefaultFormat(format)) format = static_cast<D3DFORMAT>(from.format);
  Ref<IDirect3DTexture9> made;
  hr = D3DXCreateTexture(device, width, height, mip_levels, usage, format, pool, made.Put());
  if (FAILED(hr)) return hr;
  hr = LoadFileFace(made.Get(), 0, image, image.faces[0], filter, mip_filter, colour_key);
  if (FAILED(hr)) return hr;
  FillInfo(from, info);
  *texture = made.Detach();
  return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, LPCSTR file,
                                   IDirect3DTexture9** texture) {
  return D3DXCreateTextureFromFileExA(device, file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                      D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                      0, nullptr, nullptr, texture);
}

HRESULT D3DXCreateCubeTextureFromFileExA(IDirect3DDevice9* device, LPCSTR file, UINT size,
                                         UINT mip_levels, DWORD usage, D3DFORMAT format,
                                         D3DPOOL pool, DWORD filter, DWORD mip_filter,
                                         D3DCOLOR colour_key, D3DXIMAGE_INFO* info, PALETTEENTRY*,
                                         IDirect3DCubeTexture9** texture) {
  if (!device || !texture) return D3DERR_INVALIDCALL;
  *texture = nullptr;
  d3dx::DecodedImage image;
  HRESULT hr = DecodeFile(file, &image);
  if (FAILED(hr)) return hr;
  const d3dx::ImageFileInfo& from = image.info;
  if (IsDefault(size)) size = static_cast<UINT>(from.width);
  if (mip_levels == D3DX_FROM_FILE) mip_levels = static_cast<UINT>(from.mip_levels);
  if (IsDefaultFormat(format)) format = static_cast<D3DFORMAT>(from.format);
  UINT width = size, height = size;
  hr =
      CheckRequirements(device, &width, &height, &mip_levels, usage, &format, D3DRTYPE_CUBETEXTURE);
  if (FAILED(hr)) return hr;
  Ref<IDirect3DCubeTexture9> made;
  hr = device->CreateCubeTexture(std::max(width, height), mip_levels, usage, format, pool,
                                 made.Put(), nullptr);
  if (FAILED(hr)) return hr;
  for (UINT face = 0; face < 6 && SUCCEEDED(hr); ++face) {
    const UINT from = image.faces.size() == 6 ? face : 0;
    hr = LoadFileFace(made.Get(), face, image, image.faces[from], filter, mip_filter, colour_key);
  }
  if (FAILED(hr)) return hr;
  FillInfo(from, info);
  *texture = made.Detach();
  return D3D_OK;
}

HRESULT D3DXSaveSurfaceToFileA(LPCSTR file, D3DXIMAGE_FILEFORMAT format, IDirect3DSurface9* src,
                               const PALETTEENTRY*, const RECT* src_rect) {
  if (!file || !src) return D3DERR_INVALIDCALL;
  if (format != D3DXIFF_BMP && format != D3DXIFF_DIB && format != D3DXIFF_JPG &&
      format != D3DXIFF_PNG && format != D3DXIFF_DDS) {
    return D3DERR_INVALIDCALL;
  }
  ArgbImage image;
  HRESULT hr = ReadSurfaceRect(src, src_rect, &image);
  if (FAILED(hr)) return hr;
  std::vector<std::uint8_t> bytes;
  if (!d3dx::EncodeImage(static_cast<int>(format), src->Format(), image, &bytes)) {
    return E_FAIL;
  }
  if (!d3dx::WriteFileBytes(win32::NativePath(file), bytes)) return E_FAIL;
  return D3D_OK;
}
