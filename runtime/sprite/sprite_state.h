// The sprite module's records and state, shared by its files: quad.cpp (the quad renderer:
// paste record, QuadCorners, QuadDraw, the image and texture pastes), sprite.cpp (entries, the
// store, the six core operations, the sprite pass and the background) and sprite_ops.cpp (the
// other operations, animation and queries). Nothing outside runtime/sprite includes this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/id_list.h"

namespace tessark::sprite {

constexpr std::int32_t kMaxId = 22000000;

// One corner of a screen-space quad: the vertex format XYZRHW | DIFFUSE | TEX1.
struct QuadVertex {
  float x, y, z, rhw;
  std::uint32_t diffuse;
  float u, v;
};
static_assert(sizeof(QuadVertex) == 28);
constexpr DWORD kQuadFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// One textured quad with its placement: a sprite, or the one-off record of a paste.
struct SpriteRecord {
  IDirect3DDevice9* device;  // not owned
  float x, y;
  std::int32_t alpha, red, green, blue;
  std::int32_t offset_x, offset_y;
  std::int32_t width, height;
  float extent_u, extent_v;
  float scale_x, scale_y;
  std::uint8_t transparent;
  std::int32_t size_x, size_y;
  float angle;
  std::int32_t priority;
  IDirect3DBaseTexture9* texture;  // not owned: the image owns it
  std::int32_t image_id;
  std::uint8_t visible;
  std::uint8_t flip;
  std::uint8_t mirror;
  // Frame-sheet animation: a sheet of across by down cells of width by height pixels each.
  std::uint8_t sheet;
  std::int32_t across, down;
  std::int32_t frame;        // the frame shown: a cell from 1 (sheet) or an image id
  std::uint32_t frame_time;  // when the frame last stepped, in system milliseconds
  std::int32_t hit;          // the latest SpriteHit result
  QuadVertex vertices[4];    // top-left, top-right, bottom-left, bottom-right
};

// The image module's queries, bound at Constructor.
struct ImageQueries {
  std::int32_t (*exists)(std::int32_t) = nullptr;
  std::int32_t (*width)(std::int32_t) = nullptr;
  std::int32_t (*height)(std::int32_t) = nullptr;
  IDirect3DBaseTexture9* (*texture)(std::int32_t) = nullptr;
  float (*extent_u)(std::int32_t) = nullptr;
  float (*extent_v)(std::int32_t) = nullptr;
  void (*load)(const char*, std::int32_t, std::int32_t) = nullptr;
  void (*remove)(std::int32_t) = nullptr;
};

struct SpriteState {
  IDirect3DDevice9* device = nullptr;  // the display's; not owned
  CoreData* core = nullptr;
  ImageQueries images;
  float cos_table[360] = {};
  float sin_table[360] = {};
  std::int32_t max_priority = 0;
  bool filter = false;
  std::int32_t background_mode = 0;
  bool first_sprite = true;
  Ref<IDirect3DSurface9> back_buffer;
  Ref<IDirect3DSurface9> saved_copy;
  IdList sprites;  // id -> SpriteRecord*, owned through the list
  // Records of deleted sprites kept for the next SpriteSet or SpriteClone, so that a sprite
  // stamped every frame (set, paste, delete) allocates nothing once running; freed for real
  // when every sprite goes (Destructor, device refresh).
  std::vector<SpriteRecord*> spare_records;
  SpriteRecord* current = nullptr;
  std::vector<SpriteRecord> draw_list;  // capacity kept between frames
  SpriteRecord paste_record = {};
};

SpriteState& State();

// Quad renderer (quad.cpp).
void QuadCorners(SpriteRecord& record, std::int32_t x, std::int32_t y);
// Draws count records from records[0]; the vector form also empties the list afterwards.
void QuadDraw(SpriteRecord* records, std::size_t count);
void QuadDraw(std::vector<SpriteRecord>& list);
void PasteRoutine(std::int32_t id, std::int32_t x, std::int32_t y, float extent_u, float extent_v,
                  std::int32_t transparent);
void TexturePaste(IDirect3DBaseTexture9* texture, float extent_u, float extent_v, std::int32_t left,
                  std::int32_t top, std::int32_t right, std::int32_t bottom);
// Sets the four vertices' fixed parts: diffuse, z, rhw and the plain texture coordinates.
void ResetVertices(SpriteRecord& record);
// Recomputes the texture coordinates from extents, mirror and flip (or the sheet's cell).
void TextureCoordinates(SpriteRecord& record);
// Sets the diffuse of all four vertices from alpha and colour.
void Diffuse(SpriteRecord& record);

// Store (sprite.cpp).
SpriteRecord* Find(std::int32_t id);
// The sprite of an id in range and in use; raises 301 or 302 otherwise.
SpriteRecord* FindChecked(std::int32_t id);
// Creates a sprite as SpriteSet does; null (with 501) when the image has no texture.
SpriteRecord* Create(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t image);
// A zeroed record from the spare ones, or a new one; null when memory runs out.
SpriteRecord* RecordNew();
// Keeps a record no longer in the store for reuse.
void RecordRelease(SpriteRecord* record);
// Adds a record to the store under id; false (the record not taken) when that fails.
bool StoreAdd(std::int32_t id, SpriteRecord* record);
// Takes width, height, texture and extents from the image (cell size for a sheet).
void TakeImage(SpriteRecord& record, std::int32_t image);
// QuadCorners at the stored position.
void PlaceAtStored(SpriteRecord& record);

}  // namespace tessark::sprite
