// The image module's state and records, shared by its files: image.cpp (entries, the loader,
// queries, delete) and image_ops.cpp (create, grab, save, pixel access, data in and out, filter
// settings). Nothing outside runtime/image includes this.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/formats.h"
#include "runtime/core/core_data.h"
#include "runtime/core/id_list.h"

namespace tessark::image {

constexpr std::int32_t kMaxId = 22000000;
constexpr std::size_t kFileNameSize = 256;

struct ImageRecord {
  Ref<IDirect3DBaseTexture9> texture;
  void* link_object = nullptr;
  std::int32_t link_value = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t depth = 0;
  bool locked = false;
  float extent_u = 0.0f;
  float extent_v = 0.0f;
  std::int32_t locked_pitch = 0;
  BYTE* locked_bits = nullptr;
  char file_name[kFileNameSize] = {};
};

using PasteRoutineFn = void (*)(std::int32_t id, std::int32_t x, std::int32_t y, float extent_u,
                                float extent_v, std::int32_t transparent);

struct ImageState {
  CoreData* core = nullptr;
  IDirect3DDevice9* device = nullptr;  // the display's; not owned
  Ref<IDirect3D9> d3d;
  D3DFORMAT texture_format = D3DFMT_A8R8G8B8;
  std::uint32_t colour_key = 0xFF000000u;
  std::int32_t last_width = 0;
  std::int32_t last_height = 0;
  void (*texture_ref_hook)(IDirect3DBaseTexture9*) = nullptr;
  PasteRoutineFn paste_routine = nullptr;
  void (*images_changed)() = nullptr;
  IdList store;  // id -> ImageRecord*, owned through the list
  ImageRecord* current = nullptr;
};

ImageState& State();

// Looks id up and leaves the record (or none) as the current image.
ImageRecord* Find(std::int32_t id);
// Adds a record under id: an existing record is freed (its texture released) and replaced in
// its node; a new id goes to the tail.
void Put(std::int32_t id, std::unique_ptr<ImageRecord> record);
// Removes id and frees its record (releasing its texture, without the hook).
void Discard(std::int32_t id);

// The 2D texture of a record, or null for a cube texture or none.
IDirect3DTexture9* Texture2d(const ImageRecord& record);
// Bits per pixel of a format as the runtime reports them (0 for any other format).
using d3d9_internal::FormatDepth;
// Fills width, height, depth and the extents from the texture's level 0, limiting the picture
// to it (the rule of a mode-1 load).
void FitPicture(ImageRecord& record, std::int32_t width, std::int32_t height);
// Calls the bound images-changed notification.
void NotifyChanged();

// True when id is within 1..22000000; raises 501 otherwise.
bool IdInRange(std::int32_t id);
// The record of an id in range and in use; raises 501 or 502 otherwise.
ImageRecord* FindChecked(std::int32_t id);

}  // namespace tessark::image
