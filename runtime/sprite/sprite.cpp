// The sprite module: its entries, the sprite store, the operations the game uses (SpriteSet,
// SpriteSetOffset, SpriteRotate, SpriteSetAlpha, SpritePaste, SpriteDelete), the sprite pass
// and the background save and restore around it, and SpriteRefresh. It takes the display's
// device and the image module's queries at Constructor; the image module reaches its paste
// and refresh through the module table.
#include <cmath>
#include <memory>
#include <new>

#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "runtime/sprite/sprite_state.h"
#include "tessark/sprite.h"
#include "tessark/errors.h"

namespace tessark::sprite {

namespace {

SpriteState g_state;

constexpr std::uint32_t kBackdropColour = 0xFF000080u;
constexpr std::size_t kDrawListCapacity = 100;

void DeleteAll() {
  for (IdListNode* n = g_state.sprites.Head(); n; n = n->next) {
    delete static_cast<SpriteRecord*>(n->value);
  }
  g_state.sprites.FreeAll();
  for (SpriteRecord* r : g_state.spare_records) delete r;
  g_state.spare_records.clear();
  g_state.spare_records.shrink_to_fit();
  g_state.current = nullptr;
}

void ReleaseBackground() {
  g_state.saved_copy.Reset();
  g_state.back_buffer.Reset();
}

}  // namespace

SpriteState& State() {
  return g_state;
}

SpriteRecord* RecordNew() {
  if (g_state.spare_records.empty()) return new (std::nothrow) SpriteRecord{};
  SpriteRecord* r = g_state.spare_records.back();
  g_state.spare_records.pop_back();
  *r = SpriteRecord{};
  return r;
}

void RecordRelease(SpriteRecord* record) {
  if (!record) return;
  // Keeping it may itself need memory; without that the record is simply freed.
  try {
    g_state.spare_records.push_back(record);
  } catch (const std::bad_alloc&) {
    delete record;
  }
}

bool StoreAdd(std::int32_t id, SpriteRecord* record) {
  const std::int32_t before = g_state.sprites.Count();
  g_state.sprites.Add(id, record, true);
  if (g_state.sprites.Count() != before + 1) {
    RecordRelease(record);
    return false;
  }
  return true;
}

SpriteRecord* Find(std::int32_t id) {
  g_state.current = static_cast<SpriteRecord*>(g_state.sprites.Find(id));
  return g_state.current;
}

SpriteRecord* FindChecked(std::int32_t id) {
  if (id < 1 || id > kMaxId) {
    RuntimeErrorDetail(error::kSpriteIdOutOfRange, "sprite %d is outside 1 to %d", id, kMaxId);
    return nullptr;
  }
  SpriteRecord* record = Find(id);
  if (!record) RuntimeErrorDetail(error::kSpriteMissing, "sprite %d does not exist", id);
  return record;
}

void TakeImage(SpriteRecord& r, std::int32_t image) {
  const ImageQueries& q = g_state.images;
  r.width = q.width ? q.width(image) : -1;
  r.height = q.height ? q.height(image) : -1;
  r.texture = q.texture ? q.texture(image) : nullptr;
  r.extent_u = q.extent_u ? q.extent_u(image) : 1.0f;
  r.extent_v = q.extent_v ? q.extent_v(image) : 1.0f;
  if (r.sheet && r.across > 0 && r.down > 0) {
    // A frame sheet shows one cell: its size, not the whole picture's.
    r.width /= r.across;
    r.height /= r.down;
  }
}

void PlaceAtStored(SpriteRecord& r) {
  QuadCorners(r, static_cast<std::int32_t>(r.x), static_cast<std::int32_t>(r.y));
}

SpriteRecord* Create(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t image) {
  SpriteRecord* r = RecordNew();
  if (!r) return nullptr;
  r->device = g_state.device;
  r->x = static_cast<float>(x);
  r->y = static_cast<float>(y);
  r->image_id = image;
  TakeImage(*r, image);
  r->alpha = r->red = r->green = r->blue = 255;
  r->visible = 1;
  r->transparent = 1;
  r->scale_x = r->scale_y = 1.0f;
  if (!r->texture && image != -1) {
    RecordRelease(r);
    RuntimeErrorDetail(error::kImageIdOutOfRange, "sprite %d: image %d does not exist", id, image);
    return nullptr;
  }
  // The first sprite of the run clears the screen behind sprites from then on.
  if (g_state.first_sprite) {
    g_state.first_sprite = false;
    g_state.background_mode = 2;
  }
  ResetVertices(*r);
  SpriteRecord* record = r;
  if (!StoreAdd(id, record)) return nullptr;
  g_state.current = record;
  QuadCorners(*record, x, y);
  return record;
}

// ---------------------------------------------------------------------------------------------
// Module entries
// ---------------------------------------------------------------------------------------------

void Constructor(void*) {
  const ImageServices& images = Modules().image_services;
  g_state.images.exists = images.ImageExists;
  g_state.images.width = images.ImageWidth;
  g_state.images.height = images.ImageHeight;
  g_state.images.texture = images.ImageTexture;
  g_state.images.extent_u = images.ImageExtentU;
  g_state.images.extent_v = images.ImageExtentV;
  g_state.images.load = images.ImageLoad;
  g_state.images.remove = images.ImageDelete;
  g_state.device = Modules().display.DisplayDevice ? Modules().display.DisplayDevice() : nullptr;
  for (int i = 0; i < 360; ++i) {
    const double radians = i * 0.017453292;
    g_state.cos_table[i] = static_cast<float>(std::cos(radians));
    g_state.sin_table[i] = static_cast<float>(std::sin(radians));
  }
  g_state.max_priority = 0;
  if (g_state.draw_list.capacity() < kDrawListCapacity)
    g_state.draw_list.reserve(kDrawListCapacity);
}

void PassCoreData(CoreData* core) {
  g_state.core = core;
  if (core) core->backdrop_colour = kBackdropColour;
}

void SetErrorHandler(std::int32_t*) {
  // Errors go through the core's RuntimeError.
}

void RefreshD3D(std::int32_t stage) {
  if (stage == 0) {
    DeleteAll();
    ReleaseBackground();
  } else if (stage == 1) {
    Constructor(nullptr);
    if (g_state.core) g_state.core->backdrop_colour = kBackdropColour;
  }
}

void Destructor() {
  DeleteAll();
  ReleaseBackground();
  g_state.device = nullptr;
  g_state.core = nullptr;
  g_state.images = ImageQueries{};
  g_state.max_priority = 0;
  g_state.filter = false;
  g_state.background_mode = 0;
  g_state.first_sprite = true;
  g_state.draw_list.clear();
  g_state.paste_record = SpriteRecord{};
}

void SpriteBackgroundSave() {
  SpriteState& s = g_state;
  if (!s.device) return;
  if (!s.saved_copy) {
    if (!s.back_buffer) {
      s.device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, s.back_buffer.Put());
    }
    if (s.back_buffer) {
      D3DSURFACE_DESC desc{};
      s.back_buffer->GetDesc(&desc);
      s.device->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                            s.saved_copy.Put(), nullptr);
    }
  }
  if (s.background_mode == 1 && s.back_buffer && s.saved_copy) {
    s.device->GetRenderTargetData(s.back_buffer.Get(), s.saved_copy.Get());
  }
}

void SpritePass() {
  SpriteState& s = g_state;
  s.draw_list.clear();
  for (std::int32_t p = 0; p <= s.max_priority; ++p) {
    for (IdListNode* n = s.sprites.Head(); n; n = n->next) {
      const auto* r = static_cast<const SpriteRecord*>(n->value);
      if (r->priority == p) s.draw_list.push_back(*r);
    }
  }
  QuadDraw(s.draw_list);
}

void SpriteBackgroundRestore() {
  SpriteState& s = g_state;
  if (!s.device) return;
  if (s.background_mode == 1 && s.back_buffer && s.saved_copy) {
    s.device->UpdateSurface(s.saved_copy.Get(), nullptr, s.back_buffer.Get(), nullptr);
  }
  if (s.background_mode == 2 && s.sprites.Count() > 0 && s.core) {
    s.device->Clear(0, nullptr, D3DCLEAR_TARGET, s.core->backdrop_colour, 1.0f, 0);
  }
}

void SpriteRefresh() {
  IDirect3DDevice9* device =
      Modules().display.DisplayDevice ? Modules().display.DisplayDevice() : nullptr;
  for (IdListNode* n = g_state.sprites.Head(); n; n = n->next) {
    auto* r = static_cast<SpriteRecord*>(n->value);
    r->device = device;
    TakeImage(*r, r->image_id);
  }
}

void Wire(ModuleTable& table) {
  table.sprite.Constructor = Constructor;
  table.sprite.SetErrorHandler = SetErrorHandler;
  table.sprite.PassCoreData = PassCoreData;
  table.sprite.RefreshD3D = RefreshD3D;
  table.sprite.Destructor = Destructor;
  table.sprite_pass.SpriteBackgroundSave = SpriteBackgroundSave;
  table.sprite_pass.SpritePass = SpritePass;
  table.sprite_pass.SpriteBackgroundRestore = SpriteBackgroundRestore;
  table.sprite_services.PasteRoutine = PasteRoutine;
  table.sprite_services.SpriteRefresh = SpriteRefresh;
  table.sprite_services.TexturePaste = TexturePaste;
}

}  // namespace tessark::sprite

namespace tessark {

using namespace tessark::sprite;

void SpriteSet(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t image) {
  if (id < 1 || id > kMaxId) {
    RuntimeError(error::kSpriteIdOutOfRange);
    return;
  }
  if (image < 1 || image > kMaxId) {
    RuntimeErrorDetail(error::kImageIdOutOfRange,
                       "SpriteSet(%d, %d, %d, %d): image %d is outside 1 to %d", id, x, y, image,
                       image, kMaxId);
    return;
  }
  SpriteRecord* r = Find(id);
  if (!r) {
    Create(id, x, y, image);
    return;
  }
  r->x = static_cast<float>(x);
  r->y = static_cast<float>(y);
  if (r->sheet) {
    QuadCorners(*r, x, y);
    return;
  }
  if (image != r->image_id) TakeImage(*r, image);
  r->image_id = image;
  QuadCorners(*r, x, y);
  TextureCoordinates(*r);
}

void SpriteSetOffset(std::int32_t id, std::int32_t x, std::int32_t y) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  r->offset_x = x;
  r->offset_y = y;
  PlaceAtStored(*r);
}

void SpriteRotate(std::int32_t id, float angle) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  r->angle = angle;
  PlaceAtStored(*r);
}

void SpriteSetAlpha(std::int32_t id, std::int32_t alpha) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  if (alpha < 0 || alpha > 255) {
    RuntimeError(error::kSpriteAlphaOutOfRange);
    return;
  }
  r->alpha = alpha;
  Diffuse(*r);
}

void SpritePaste(std::int32_t id, std::int32_t x, std::int32_t y) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  QuadCorners(*r, x, y);
  // Drawn from a copy, as the sprite pass does, so the draw's texture refresh stays off the
  // sprite; the copy is drawn visible whatever the sprite's own flag.
  SpriteRecord copy = *r;
  copy.visible = 1;
  QuadDraw(&copy, 1);
  // The corners go back to the stored position, as SpriteRotate with its own angle would.
  PlaceAtStored(*r);
}

void SpriteDelete(std::int32_t id) {
  SpriteRecord* r = FindChecked(id);
  if (!r) return;
  SpriteState& s = State();
  s.sprites.Remove(id);
  if (s.current == r) s.current = nullptr;
  RecordRelease(r);
  if (s.sprites.Count() == 0) s.background_mode = 0;
}

}  // namespace tessark
