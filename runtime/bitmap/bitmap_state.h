// The bitmap module's state and internals: the store of bitmap records (an IdList keyed by id,
// bitmap 0 standing for the screen with no surfaces of its own), the device it draws with and
// the bitmap format (the back buffer's).
#pragma once

#include <cstdint>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/id_list.h"
#include "tessark/errors.h"

namespace tessark::bitmap {

constexpr std::int32_t kIdLast = 22000000;

struct BitmapRecord {
  Ref<IDirect3DSurface9> surface;        // the render target (none for bitmap 0)
  Ref<IDirect3DSurface9> depth_surface;  // its depth-stencil surface (none for bitmap 0)
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t depth = 0;  // bits per pixel
  std::int32_t mirrored = 0;
  std::int32_t flipped = 0;
  std::int32_t fade = 0;
};

struct BitmapState {
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
  IDirect3DDevice9* device = nullptr;  // the display's; not owned
  Ref<IDirect3D9> d3d;
  D3DFORMAT format = D3DFMT_UNKNOWN;  // the bitmap format: the back buffer's
  std::int32_t bits = 0;
  std::int32_t bytes = 0;
  IdList store;

  BitmapState() = default;
  BitmapState(const BitmapState&) = delete;
  BitmapState& operator=(const BitmapState&) = delete;
  ~BitmapState() { FreeAll(); }
  // Frees every record and the store's nodes.
  void FreeAll();
};

BitmapState& State();

// The record of id, or null (no errors raised).
BitmapRecord* Find(std::int32_t id);
// Raises 1001 for an id outside first .. 22000000 and 1002 for a missing bitmap; the record or
// null.
BitmapRecord* FindChecked(std::int32_t id, std::int32_t first = 0);
// The surface that holds bitmap id's pixels: its own, or the back buffer for bitmap 0.
IDirect3DSurface9* SurfaceOf(std::int32_t id, const BitmapRecord& record);
// Removes and frees bitmap id; when it was current, the screen becomes current first.
void Discard(std::int32_t id);
// Makes bitmap id of width x height (replacing one that exists); false, with a notice, when its
// render target cannot be made.
bool Create(std::int32_t id, std::int32_t width, std::int32_t height);
// Points the device, the render surface and the draw target at bitmap id (0: the screen).
void SetCurrent(std::int32_t id, const BitmapRecord& record);

// Bits per pixel of a surface's format.
std::int32_t SurfaceBits(IDirect3DSurface9* surface);

// A locked surface, unlocked when it goes out of scope.
class SurfaceLock {
 public:
  SurfaceLock(IDirect3DSurface9* surface, DWORD flags);
  ~SurfaceLock();
  SurfaceLock(const SurfaceLock&) = delete;
  SurfaceLock& operator=(const SurfaceLock&) = delete;
  explicit operator bool() const { return bits_ != nullptr; }
  BYTE* Row(std::int32_t y) const { return bits_ + static_cast<std::ptrdiff_t>(y) * pitch_; }

 private:
  IDirect3DSurface9* surface_;
  BYTE* bits_ = nullptr;
  std::ptrdiff_t pitch_ = 0;
};

// The data services for memory blocks.
bool DataOut(std::int32_t id, std::int32_t mode, std::int32_t header[3], std::uint8_t** data,
             std::int32_t* size);
void DataIn(std::int32_t id, const std::int32_t header[3], const std::uint8_t* data,
            std::int32_t size);

}  // namespace tessark::bitmap
