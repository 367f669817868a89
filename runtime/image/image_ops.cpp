// The image module's other operations: blank and render-target images, grabbing from the
// render target, saving, locking and pixel access, data in and out, resizing the texture, the
// link fields and the device's texture filter settings.
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/d3d9/formats.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/d3dx9/pixel_formats.h"
#include "runtime/core/errors.h"
#include "runtime/image/image_state.h"
#include "tessark/image.h"
#include "tessark/errors.h"

namespace tessark::image {

namespace {

// Makes a blank image under id (replacing any): one level of width by height in format (none:
// the module's texture format); render targets go to the default pool. False on failure.
bool CreateBlank(std::int32_t id, std::int32_t width, std::int32_t height, D3DFORMAT format,
                 bool render_target) {
  ImageState& s = State();
  Ref<IDirect3DTexture9> texture;
  if (!s.device || width < 1 || height < 1 ||
      FAILED(D3DXCreateTexture(s.device, static_cast<UINT>(width), static_cast<UINT>(height), 1,
                               render_target ? D3DUSAGE_RENDERTARGET : 0,
                               format == D3DFMT_UNKNOWN ? s.texture_format : format,
                               render_target ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED, texture.Put()))) {
    RuntimeNotice("Failed to create new image");
    return false;
  }
  auto record = std::make_unique<ImageRecord>();
  record->texture = texture;
  FitPicture(*record, width, height);
  Put(id, std::move(record));
  NotifyChanged();
  return true;
}

// The size of level 0 of a record's texture.
D3DSURFACE_DESC LevelDesc(const ImageRecord& record) {
  D3DSURFACE_DESC desc{};
  if (record.texture) record.texture->Level(0, 0)->GetDesc(&desc);
  return desc;
}

// The file kind for a name, from its last four characters.
D3DXIMAGE_FILEFORMAT SaveFormat(const char* file) {
  const std::size_t n = std::strlen(file);
  const char* tail = n >= 4 ? file + n - 4 : "";
  if (::strcasecmp(tail, ".dds") == 0) return D3DXIFF_DDS;
  if (::strcasecmp(tail, ".dib") == 0) return D3DXIFF_DIB;
  if (::strcasecmp(tail, ".jpg") == 0) return D3DXIFF_JPG;
  if (::strcasecmp(tail, ".png") == 0) return D3DXIFF_PNG;
  return D3DXIFF_BMP;
}

// The locked pixel at row, column of a record, or null when outside level 0 or in a block
// format (a 32-bit store there would run past the row).
BYTE* LockedPixel(const ImageRecord& record, std::int32_t row, std::int32_t column,
                  D3DFORMAT* format) {
  const D3DSURFACE_DESC desc = LevelDesc(record);
  *format = desc.Format;
  if (row < 0 || column < 0 || row >= static_cast<std::int32_t>(desc.Height) ||
      column >= static_cast<std::int32_t>(desc.Width) || d3dx::FormatCompressed(desc.Format) ||
      !d3dx::FormatKnown(desc.Format)) {
    return nullptr;
  }
  return record.locked_bits + static_cast<std::size_t>(row) * record.locked_pitch +
         static_cast<std::size_t>(column) * (d3dx::FormatBits(desc.Format) / 8);
}

}  // namespace

}  // namespace tessark::image

namespace tessark {

using namespace tessark::image;

void ImageCreate(std::int32_t id, std::int32_t width, std::int32_t height) {
  CreateBlank(id, width, height, D3DFMT_UNKNOWN, false);
}

void ImageCreate(std::int32_t id, std::int32_t width, std::int32_t height, bool render_target) {
  CreateBlank(id, width, height, D3DFMT_UNKNOWN, render_target);
}

void ImageCreateFormat(std::int32_t id, std::int32_t width, std::int32_t height,
                       std::uint32_t format) {
  CreateBlank(id, width, height, static_cast<D3DFORMAT>(format), true);
}

void ImageGrab(std::int32_t id, std::int32_t left, std::int32_t top, std::int32_t right,
               std::int32_t bottom, std::int32_t /*texture_kind*/) {
  if (!IdInRange(id) || left >= right || top >= bottom) return;
  ImageState& s = State();
  IDirect3DSurface9* target = s.core ? s.core->render_surface : nullptr;
  if (!target || !s.device) return;
  D3DSURFACE_DESC desc{};
  target->GetDesc(&desc);
  if (left < 0 || top < 0 || right > static_cast<std::int32_t>(desc.Width) ||
      bottom > static_cast<std::int32_t>(desc.Height)) {
    RuntimeError(error::kImageGrabTooLarge);
    return;
  }
  Ref<IDirect3DTexture9> texture;
  if (FAILED(D3DXCreateTexture(s.device, static_cast<UINT>(right - left),
                               static_cast<UINT>(bottom - top), 0, 0, desc.Format, D3DPOOL_MANAGED,
                               texture.Put()))) {
    return;
  }
  const RECT area{left, top, right, bottom};
  if (FAILED(D3DXLoadSurfaceFromSurface(texture->Level(0, 0), nullptr, nullptr, target, nullptr,
                                        &area, D3DX_FILTER_NONE, 0)) ||
      FAILED(D3DXFilterTexture(texture.Get(), nullptr, 0, D3DX_DEFAULT))) {
    return;
  }
  auto record = std::make_unique<ImageRecord>();
  record->texture = texture;
  FitPicture(*record, right - left, bottom - top);
  Put(id, std::move(record));
  NotifyChanged();
}

void ImageSave(std::int32_t id, const char* file, std::int32_t compression) {
  ImageRecord* record = FindChecked(id);
  if (!record) return;
  const D3DSURFACE_DESC desc = LevelDesc(*record);
  const LONG width = std::lround(record->extent_u * static_cast<float>(desc.Width));
  const LONG height = std::lround(record->extent_v * static_cast<float>(desc.Height));
  if (!file || !record->texture || width < 1 || height < 1) {
    RuntimeError(error::kImageSaveFailed);
    return;
  }
  const RECT covered{0, 0, width, height};
  IDirect3DSurface9* level = record->texture->Level(0, 0);
  const D3DXIMAGE_FILEFORMAT kind = SaveFormat(file);
  HRESULT hr;
  if (kind == D3DXIFF_DDS) {
    static const D3DFORMAT kCompressed[] = {D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4,
                                            D3DFMT_DXT5};
    const D3DFORMAT format =
        compression >= 1 && compression <= 5 ? kCompressed[compression - 1] : D3DFMT_A8R8G8B8;
    Ref<IDirect3DSurface9> converted;
    hr = State().device ? State().device->CreateOffscreenPlainSurface(
                              static_cast<UINT>(width), static_cast<UINT>(height), format,
                              D3DPOOL_SYSTEMMEM, converted.Put(), nullptr)
                        : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
      hr = D3DXLoadSurfaceFromSurface(converted.Get(), nullptr, nullptr, level, nullptr, &covered,
                                      D3DX_FILTER_NONE, 0);
    }
    if (SUCCEEDED(hr)) hr = D3DXSaveSurfaceToFileA(file, kind, converted.Get(), nullptr, nullptr);
  } else {
    hr = D3DXSaveSurfaceToFileA(file, kind, level, nullptr, &covered);
  }
  if (FAILED(hr)) RuntimeError(error::kImageSaveFailed);
}

void ImageLock(std::int32_t id) {
  ImageRecord* record = Find(id);
  IDirect3DTexture9* texture = record ? Texture2d(*record) : nullptr;
  if (!texture) return;
  if (record->locked) {
    RuntimeNotice("Failed to lock image for image library as it's already locked");
    return;
  }
  D3DLOCKED_RECT locked{};
  if (FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
    RuntimeNotice("Failed to lock image for image library");
    return;
  }
  record->locked_pitch = locked.Pitch;
  record->locked_bits = static_cast<BYTE*>(locked.pBits);
  record->locked = true;
}

void ImageUnlock(std::int32_t id) {
  ImageRecord* record = Find(id);
  IDirect3DTexture9* texture = record ? Texture2d(*record) : nullptr;
  if (!texture || !record->locked) return;
  texture->UnlockRect(0);
  record->locked = false;
  record->locked_bits = nullptr;
  record->locked_pitch = 0;
}

void ImagePixelWrite(std::int32_t id, std::int32_t row, std::int32_t column, std::int32_t alpha,
                     std::int32_t red, std::int32_t green, std::int32_t blue) {
  ImageRecord* record = Find(id);
  if (!record) return;
  if (!record->locked) {
    RuntimeNotice("Unable to modify texture data for image library as it isn't locked");
    return;
  }
  D3DFORMAT format;
  BYTE* pixel = LockedPixel(*record, row, column, &format);
  if (!pixel) return;
  const std::uint32_t colour = (static_cast<std::uint32_t>(alpha) & 0xFF) << 24 |
                               (static_cast<std::uint32_t>(red) & 0xFF) << 16 |
                               (static_cast<std::uint32_t>(green) & 0xFF) << 8 |
                               (static_cast<std::uint32_t>(blue) & 0xFF);
  d3dx::WritePixels(format, &colour, 1, 1, pixel, 0);
}

void ImagePixelRead(std::int32_t id, std::int32_t row, std::int32_t column, std::int32_t* red,
                    std::int32_t* green, std::int32_t* blue) {
  ImageRecord* record = Find(id);
  if (!record) return;
  if (!record->locked) {
    RuntimeNotice("Unable to get texture data for image library as it isn't locked");
    return;
  }
  D3DFORMAT format;
  const BYTE* pixel = LockedPixel(*record, row, column, &format);
  if (!pixel) return;
  std::uint32_t colour = 0;
  d3dx::ReadPixels(format, pixel, 0, 1, 1, &colour);
  if (red) *red = static_cast<std::int32_t>(colour >> 16 & 0xFF);
  if (green) *green = static_cast<std::int32_t>(colour >> 8 & 0xFF);
  if (blue) *blue = static_cast<std::int32_t>(colour & 0xFF);
}

void ImageSetAlphaAll(std::int32_t id, std::int32_t alpha) {
  ImageRecord* record = Find(id);
  IDirect3DTexture9* texture = record ? Texture2d(*record) : nullptr;
  if (!texture) return;
  const D3DSURFACE_DESC desc = LevelDesc(*record);
  D3DLOCKED_RECT locked{};
  if (!d3dx::FormatKnown(desc.Format) || d3dx::FormatCompressed(desc.Format) ||
      FAILED(texture->LockRect(0, &locked, nullptr, 0))) {
    RuntimeNotice("Failed to lock texture in translucency for image library");
    return;
  }
  const std::uint32_t a = (static_cast<std::uint32_t>(alpha) & 0xFF) << 24;
  const int bytes = d3dx::FormatBits(desc.Format) / 8;
  for (UINT y = 0; y < desc.Height; ++y) {
    BYTE* row = static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch;
    for (UINT x = 0; x < desc.Width; ++x) {
      BYTE* p = row + static_cast<std::size_t>(x) * bytes;
      std::uint32_t raw = 0;
      std::memcpy(&raw, p, bytes);
      if (raw == 0) continue;
      std::uint32_t colour;
      d3dx::ReadPixels(desc.Format, p, 0, 1, 1, &colour);
      colour = (colour & 0x00FFFFFFu) | a;
      d3dx::WritePixels(desc.Format, &colour, 1, 1, p, 0);
    }
  }
  texture->UnlockRect(0);
}

void ImageGetData(std::int32_t id, std::int32_t* width, std::int32_t* height, std::int32_t* depth,
                  std::uint8_t** block, std::int32_t* size) {
  if (block) *block = nullptr;
  if (size) *size = 0;
  ImageRecord* record = Find(id);
  if (!record) return;
  // An image that exists but yields no pixels reports a size of 1, so that a caller can tell it
  // from a missing image (size 0).
  if (size) *size = 1;
  IDirect3DTexture9* texture = Texture2d(*record);
  if (!texture || record->depth < 8 || !block) return;
  const D3DSURFACE_DESC desc = LevelDesc(*record);
  const std::int32_t w = std::min(record->width, static_cast<std::int32_t>(desc.Width));
  const std::int32_t h = std::min(record->height, static_cast<std::int32_t>(desc.Height));
  const std::size_t row_bytes = static_cast<std::size_t>(record->depth / 8) * w;
  D3DLOCKED_RECT locked{};
  if (w < 1 || h < 1 || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY))) return;
  auto* data = new (std::nothrow) std::uint8_t[row_bytes * h];
  if (data) {
    for (std::int32_t y = 0; y < h; ++y) {
      std::memcpy(
          data + row_bytes * y,
          static_cast<const BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch,
          row_bytes);
    }
  }
  texture->UnlockRect(0);
  if (!data) return;
  *block = data;
  if (width) *width = w;
  if (height) *height = h;
  if (depth) *depth = record->depth;
  if (size) *size = static_cast<std::int32_t>(row_bytes * h);
}

void ImageDataFree(std::uint8_t* block) {
  delete[] block;
}

void ImageSetData(std::int32_t id, std::int32_t width, std::int32_t height, std::int32_t depth,
                  const std::uint8_t* pixels) {
  // 16 and 32 bits are the image's own formats and go in as they come; rows of grey levels
  // (8 bits) and of blue, green and red bytes (24 bits) are widened to opaque 32-bit pixels.
  D3DFORMAT given = D3DFMT_UNKNOWN;
  if (depth == 8) given = D3DFMT_L8;
  if (depth == 16) given = D3DFMT_A1R5G5B5;
  if (depth == 24) given = D3DFMT_R8G8B8;
  if (depth == 32) given = D3DFMT_A8R8G8B8;
  if (!pixels || given == D3DFMT_UNKNOWN || width < 1 || height < 1) return;
  const D3DFORMAT stored = depth == 16 ? D3DFMT_A1R5G5B5 : D3DFMT_A8R8G8B8;
  const std::int32_t stored_depth = depth == 16 ? 16 : 32;
  ImageRecord* record = Find(id);
  if (!record || record->width != width || record->height != height ||
      record->depth != stored_depth) {
    if (record) Discard(id);
    if (!CreateBlank(id, width, height, stored, false)) return;
    record = Find(id);
  }
  IDirect3DTexture9* texture = record ? Texture2d(*record) : nullptr;
  D3DLOCKED_RECT locked{};
  if (!texture || record->locked || FAILED(texture->LockRect(0, &locked, nullptr, 0))) return;
  const D3DSURFACE_DESC desc = LevelDesc(*record);
  const std::size_t source_row = static_cast<std::size_t>(depth / 8) * width;
  const UINT columns = std::min<UINT>(static_cast<UINT>(width), desc.Width);
  const std::int32_t rows = std::min(height, static_cast<std::int32_t>(desc.Height));
  std::vector<std::uint32_t> widened(given == stored ? 0 : columns);
  for (std::int32_t y = 0; y < rows; ++y) {
    BYTE* out = static_cast<BYTE*>(locked.pBits) + static_cast<std::size_t>(y) * locked.Pitch;
    const std::uint8_t* in = pixels + source_row * y;
    if (given == stored) {
      std::memcpy(out, in, static_cast<std::size_t>(stored_depth / 8) * columns);
    } else {
      d3d9_internal::DecodeRow(given, in, columns, nullptr, widened.data());
      std::memcpy(out, widened.data(), widened.size() * 4);
    }
  }
  texture->UnlockRect(0);
  NotifyChanged();
}

void ImageResizeTexture(std::int32_t id, std::int32_t width, std::int32_t height) {
  ImageRecord* record = Find(id);
  IDirect3DTexture9* texture = record ? Texture2d(*record) : nullptr;
  if (!texture || width < 1 || height < 1 || !State().device) return;
  const D3DSURFACE_DESC desc = LevelDesc(*record);
  const bool pow2 = (desc.Width & (desc.Width - 1)) == 0 && (desc.Height & (desc.Height - 1)) == 0;
  if (pow2 && record->extent_u == 1.0f && record->extent_v == 1.0f) return;
  Ref<IDirect3DTexture9> resized;
  if (FAILED(D3DXCreateTexture(State().device, static_cast<UINT>(width), static_cast<UINT>(height),
                               1, 0, desc.Format, D3DPOOL_MANAGED, resized.Put()))) {
    return;
  }
  const RECT picture{0, 0, std::max<LONG>(1, std::lround(record->extent_u * desc.Width)),
                     std::max<LONG>(1, std::lround(record->extent_v * desc.Height))};
  if (FAILED(D3DXLoadSurfaceFromSurface(resized->Level(0, 0), nullptr, nullptr,
                                        texture->Level(0, 0), nullptr, &picture, D3DX_DEFAULT,
                                        0))) {
    return;
  }
  if (record->locked) ImageUnlock(id);
  record->texture = resized;
  record->extent_u = record->extent_v = 1.0f;
}

void ImageLinkSet(std::int32_t id, void* object, std::int32_t value) {
  ImageRecord* record = Find(id);
  if (!record) return;
  record->link_object = object;
  record->link_value = value;
}

void ImageLinkGet(std::int32_t id, void** object, std::int32_t* value) {
  ImageRecord* record = Find(id);
  if (object) *object = record ? record->link_object : nullptr;
  if (value) *value = record ? record->link_value : 0;
}

void ImageSetFilter(std::int32_t flag) {
  IDirect3DDevice9* device = State().device;
  if (!device) return;
  const DWORD filter = flag ? D3DTEXF_LINEAR : D3DTEXF_NONE;
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, filter);
}

void ImageSetFilterMode(std::int32_t mode) {
  IDirect3DDevice9* device = State().device;
  if (!device) return;
  const DWORD filter = mode == 1 ? D3DTEXF_POINT : mode == 2 ? D3DTEXF_LINEAR : D3DTEXF_NONE;
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, filter);
}

void ImageSetMipLevel(std::int32_t level) {
  if (State().device && level >= 0) {
    State().device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, static_cast<DWORD>(level));
  }
}

}  // namespace tessark
