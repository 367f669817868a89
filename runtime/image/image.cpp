// The image module: the store of numbered images, its entries, the file loader with its three
// load modes, the queries the sprite module uses, ImagePaste and ImageLoadFree. Textures are
// made and filled through the D3DX stand-in on the display's device; drawing is the sprite
// module's, reached through the routines bound at ImageLink.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/d3dx9/d3dx9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/id_list.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/image/image_state.h"
#include "tessark/image.h"
#include "tessark/errors.h"

namespace tessark::image {

namespace {

ImageState g_state;

// The size divisor that makes a blank 1 by 1 texture instead of loading.
constexpr std::int32_t kBlankDivisor = 16384;

// Formats tried, in order, when the device refuses the one matching the display.
constexpr D3DFORMAT kFallbackFormats[] = {
    D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A1R5G5B5, D3DFMT_A2B10G10R10,
    D3DFMT_A4R4G4B4, D3DFMT_A8R3G3B2, D3DFMT_R8G8B8,   D3DFMT_R5G6B5,
    D3DFMT_X1R5G5B5, D3DFMT_R3G3B2,   D3DFMT_X4R4G4B4, D3DFMT_G16R16,
};

// True when the name ends in ending, without regard to case.
bool EndsWith(const char* name, const char* ending) {
  const std::size_t n = std::strlen(name), e = std::strlen(ending);
  return n >= e && ::strcasecmp(name + n - e, ending) == 0;
}

// Keyed files use the colour key; files that carry their own alpha do not.
bool IsKeyedFile(const char* name) {
  return !EndsWith(name, ".dds") && !EndsWith(name, ".png") && !EndsWith(name, ".tga");
}

D3DFORMAT RenderTargetFormat() {
  CoreData* core = g_state.core;
  if (!core || !core->render_surface) return D3DFMT_UNKNOWN;
  D3DSURFACE_DESC desc{};
  if (FAILED(core->render_surface->GetDesc(&desc))) return D3DFMT_UNKNOWN;
  return desc.Format;
}

// Picks the default texture format: the display's depth, then whatever the device accepts.
void ChooseTextureFormat() {
  const D3DFORMAT target = RenderTargetFormat();
  if (target == D3DFMT_UNKNOWN) {
    g_state.texture_format = D3DFMT_A8R8G8B8;
  } else if (FormatDepth(target) == 16) {
    g_state.texture_format = D3DFMT_A1R5G5B5;
  } else if (FormatDepth(target) == 32) {
    g_state.texture_format = D3DFMT_A8R8G8B8;
  }
  if (!g_state.d3d) return;
  const D3DFORMAT adapter = target == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : target;
  auto accepted = [&](D3DFORMAT f) {
    return SUCCEEDED(
        g_state.d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapter, 0, D3DRTYPE_TEXTURE, f));
  };
  if (accepted(g_state.texture_format)) return;
  for (D3DFORMAT f : kFallbackFormats) {
    g_state.texture_format = f;
    if (accepted(f)) return;
  }
}

void TakeDevice() {
  g_state.device = Modules().display.DisplayDevice ? Modules().display.DisplayDevice() : nullptr;
  g_state.d3d.Reset();
  if (g_state.device) g_state.device->GetDirect3D(g_state.d3d.Put());
}

void DiscardAll() {
  for (IdListNode* n = g_state.store.Head(); n; n = n->next) {
    delete static_cast<ImageRecord*>(n->value);
  }
  g_state.store.FreeAll();
  g_state.current = nullptr;
}

// The texture of a load; none when the file cannot be read or the texture not made. file_size
// gets the file's picture size as its header gives it.
Ref<IDirect3DBaseTexture9> LoadTexture(const char* file, std::int32_t mode, std::int32_t divisor,
                                       SIZE* file_size) {
  ImageState& s = g_state;
  if (!s.device) return nullptr;
  if (divisor == kBlankDivisor) {
    Ref<IDirect3DTexture9> blank;
    if (FAILED(D3DXCreateTexture(s.device, 1, 1, 1, 0, s.texture_format, D3DPOOL_MANAGED,
                                 blank.Put()))) {
      RuntimeNotice("Failed to load texture for image library");
      return nullptr;
    }
    s.last_width = s.last_height = 1;
    return blank;
  }
  D3DXIMAGE_INFO info{};
  if (FAILED(D3DXGetImageInfoFromFileA(file, &info))) return nullptr;
  *file_size = SIZE{static_cast<LONG>(info.Width), static_cast<LONG>(info.Height)};
  UINT width = info.Width, height = info.Height;
  if (divisor >= 1) {
    width = std::max<UINT>(1, width / static_cast<UINT>(divisor));
    height = std::max<UINT>(1, height / static_cast<UINT>(divisor));
  }
  const bool keyed = IsKeyedFile(file);
  const D3DCOLOR key = keyed ? s.colour_key : 0;

  if (mode == 1) {
    Ref<IDirect3DTexture9> texture;
    const D3DFORMAT format = keyed ? s.texture_format : info.Format;
    if (FAILED(D3DXCreateTexture(s.device, width, height, 1, 0, format, D3DPOOL_MANAGED,
                                 texture.Put()))) {
      return nullptr;
    }
    D3DSURFACE_DESC desc{};
    texture->GetLevelDesc(0, &desc);
    s.last_width = static_cast<std::int32_t>(std::min(width, desc.Width));
    s.last_height = static_cast<std::int32_t>(std::min(height, desc.Height));
    const RECT picture{0, 0, s.last_width, s.last_height};
    // A file whose header reads but whose data does not is a failed load, not a blank image.
    if (FAILED(D3DXLoadSurfaceFromFileA(texture->Level(0, 0), nullptr, &picture, file, nullptr,
                                        D3DX_FILTER_POINT, key, nullptr))) {
      return nullptr;
    }
    return texture;
  }
  if (mode == 2) {
    Ref<IDirect3DCubeTexture9> cube;
    if (FAILED(D3DXCreateCubeTextureFromFileExA(s.device, file, width, D3DX_DEFAULT, 0,
                                                D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                                D3DX_DEFAULT, 0, nullptr, nullptr, cube.Put()))) {
      return nullptr;
    }
    return cube;
  }
  Ref<IDirect3DTexture9> texture;
  if (!keyed) {
    if (FAILED(D3DXCreateTextureFromFileExA(s.device, file, width, height, D3DX_DEFAULT, 0,
                                            D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT,
                                            D3DX_DEFAULT, 0, nullptr, nullptr, texture.Put()))) {
      return nullptr;
    }
    return texture;
  }
  if (FAILED(D3DXCreateTexture(s.device, width, height, 0, 0, s.texture_format, D3DPOOL_MANAGED,
                               texture.Put()))) {
    return nullptr;
  }
  // The file is decoded once, into 32-bit pixels of its own size, and every level is stretched
  // from those pixels with the colour key, as it would be from the file itself.
  Ref<IDirect3DSurface9> picture;
  D3DLOCKED_RECT lr{};
  if (FAILED(s.device->CreateOffscreenPlainSurface(info.Width, info.Height, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_SYSTEMMEM, picture.Put(), nullptr)) ||
      FAILED(D3DXLoadSurfaceFromFileA(picture.Get(), nullptr, nullptr, file, nullptr,
                                      D3DX_FILTER_POINT, 0, nullptr)) ||
      FAILED(picture->LockRect(&lr, nullptr, D3DLOCK_READONLY))) {
    return nullptr;
  }
  const RECT whole{0, 0, static_cast<LONG>(info.Width), static_cast<LONG>(info.Height)};
  HRESULT hr = D3D_OK;
  for (UINT level = 0; level < texture->GetLevelCount() && SUCCEEDED(hr); ++level) {
    const DWORD filter = level == 0 ? D3DX_FILTER_POINT : D3DX_DEFAULT;
    hr = D3DXLoadSurfaceFromMemory(texture->Level(0, level), nullptr, nullptr, lr.pBits,
                                   D3DFMT_A8R8G8B8, static_cast<UINT>(lr.Pitch), nullptr, &whole,
                                   filter, key);
  }
  picture->UnlockRect();
  return SUCCEEDED(hr) ? texture : nullptr;
}

// Loads file into id (steps 2 to 9 of a load; the id is in range). True on success.
bool LoadInto(const char* file, std::int32_t id, std::int32_t mode, std::int32_t divisor) {
  ImageState& s = g_state;
  if (Find(id)) Discard(id);  // before the file is tried: a failed load leaves the id empty
  if (!file) return false;
  const std::size_t length = std::strlen(file);
  if (length >= kFileNameSize) return false;  // longer names are refused, never cut
  if (mode < 0 || mode > 2) mode = 0;

  auto record = std::make_unique<ImageRecord>();
  std::memcpy(record->file_name, file, length + 1);
  // The loader works on a copy that the media services may rewrite.
  char path[MAX_PATH + kFileNameSize] = {};
  std::memcpy(path, file, length + 1);
  if (s.core && s.core->MediaPathResolve) s.core->MediaPathResolve(path, sizeof path);
  path[sizeof path - 1] = '\0';
  if (s.core && s.core->MediaUnscramble) s.core->MediaUnscramble(path);
  SIZE file_size{0, 0};
  Ref<IDirect3DBaseTexture9> texture = LoadTexture(path, mode, divisor, &file_size);
  if (s.core && s.core->MediaRescramble) s.core->MediaRescramble(path);
  if (!texture) return false;

  record->texture = texture;
  if (mode == 1) {
    FitPicture(*record, s.last_width, s.last_height);
  } else {
    FitPicture(*record, 0, 0);
    record->width = divisor == kBlankDivisor ? 1 : static_cast<std::int32_t>(file_size.cx);
    record->height = divisor == kBlankDivisor ? 1 : static_cast<std::int32_t>(file_size.cy);
    record->extent_u = record->extent_v = 1.0f;
  }
  s.store.Add(id, record.release(), true);
  Find(id);
  NotifyChanged();
  return true;
}

}  // namespace

ImageState& State() {
  return g_state;
}

ImageRecord* Find(std::int32_t id) {
  g_state.current = static_cast<ImageRecord*>(g_state.store.Find(id));
  return g_state.current;
}

void Put(std::int32_t id, std::unique_ptr<ImageRecord> record) {
  ImageRecord* fresh = record.release();
  g_state.current = fresh;
  // Replaced in its node by hand: the list's own no-duplicates add may stop its search early
  // and append a second node, which would keep the freed record reachable.
  for (IdListNode* n = g_state.store.Head(); n; n = n->next) {
    if (n->id == id) {
      delete static_cast<ImageRecord*>(n->value);
      n->value = fresh;
      return;
    }
  }
  g_state.store.Add(id, fresh, true);
}

void Discard(std::int32_t id) {
  ImageRecord* record = static_cast<ImageRecord*>(g_state.store.Find(id));
  if (!record) return;
  g_state.store.Remove(id);
  if (g_state.current == record) g_state.current = nullptr;
  delete record;
}

IDirect3DTexture9* Texture2d(const ImageRecord& record) {
  if (!record.texture || record.texture->GetType() != D3DRTYPE_TEXTURE) return nullptr;
  return static_cast<IDirect3DTexture9*>(record.texture.Get());
}

void FitPicture(ImageRecord& record, std::int32_t width, std::int32_t height) {
  record.locked = false;
  if (!record.texture) return;
  D3DSURFACE_DESC desc{};
  record.texture->Level(0, 0)->GetDesc(&desc);
  record.depth = FormatDepth(desc.Format);
  record.width = std::min(width, static_cast<std::int32_t>(desc.Width));
  record.height = std::min(height, static_cast<std::int32_t>(desc.Height));
  record.extent_u = std::min(1.0f, static_cast<float>(record.width) / desc.Width);
  record.extent_v = std::min(1.0f, static_cast<float>(record.height) / desc.Height);
}

void NotifyChanged() {
  CallIf(g_state.images_changed);
}

bool IdInRange(std::int32_t id) {
  if (id >= 1 && id <= kMaxId) return true;
  RuntimeErrorDetail(error::kImageIdOutOfRange, "image %d is outside 1 to %d", id, kMaxId);
  return false;
}

ImageRecord* FindChecked(std::int32_t id) {
  if (!IdInRange(id)) return nullptr;
  ImageRecord* record = Find(id);
  if (!record) RuntimeErrorDetail(error::kImageMissing, "image %d does not exist", id);
  return record;
}

// ---------------------------------------------------------------------------------------------
// Module entries
// ---------------------------------------------------------------------------------------------

void Constructor(void*) {
  TakeDevice();
  g_state.paste_routine = nullptr;
  g_state.images_changed = nullptr;
  g_state.texture_ref_hook = nullptr;
}

void ImageLink() {
  g_state.paste_routine = Modules().sprite_services.PasteRoutine;
  g_state.images_changed = Modules().sprite_services.SpriteRefresh;
}

void SetErrorHandler(std::int32_t*) {
  // Errors go through the core's RuntimeError, which writes the word it was given.
}

void PassCoreData(CoreData* core) {
  g_state.core = core;
  // The 3D-object module's texture hook would be looked up here; that module is not built, so
  // the hook stays absent.
  g_state.texture_ref_hook = nullptr;
  ChooseTextureFormat();
}

void RefreshD3D(std::int32_t stage) {
  if (stage == 0) {
    DiscardAll();
    g_state.d3d.Reset();
  } else if (stage == 1) {
    TakeDevice();
    g_state.paste_routine = nullptr;
    g_state.images_changed = nullptr;
    g_state.texture_ref_hook = nullptr;
    PassCoreData(g_state.core);
    ImageLink();
  }
}

void Destructor() {
  DiscardAll();
  g_state.d3d.Reset();
  g_state.core = nullptr;
  g_state.device = nullptr;
  g_state.texture_format = D3DFMT_A8R8G8B8;
  g_state.colour_key = 0xFF000000u;
  g_state.last_width = g_state.last_height = 0;
  g_state.texture_ref_hook = nullptr;
  g_state.paste_routine = nullptr;
  g_state.images_changed = nullptr;
}

// Queries for the sprite module: no errors.
std::int32_t ExistsQuery(std::int32_t id) {
  return Find(id) ? 1 : 0;
}
std::int32_t WidthQuery(std::int32_t id) {
  ImageRecord* r = Find(id);
  return r ? r->width : -1;
}
std::int32_t HeightQuery(std::int32_t id) {
  ImageRecord* r = Find(id);
  return r ? r->height : -1;
}
IDirect3DBaseTexture9* TextureQuery(std::int32_t id) {
  ImageRecord* r = Find(id);
  return r ? r->texture.Get() : nullptr;
}
float ExtentUQuery(std::int32_t id) {
  ImageRecord* r = Find(id);
  return r ? r->extent_u : 1.0f;
}
float ExtentVQuery(std::int32_t id) {
  ImageRecord* r = Find(id);
  return r ? r->extent_v : 1.0f;
}

void Wire(ModuleTable& table) {
  table.image.Constructor = Constructor;
  table.image.SetErrorHandler = SetErrorHandler;
  table.image.PassCoreData = PassCoreData;
  table.image.RefreshD3D = RefreshD3D;
  table.image.Destructor = Destructor;
  ImageServices& services = table.image_services;
  services.ImageLink = ImageLink;
  services.ImageSetColourKey = tessark::ImageSetColourKey;
  services.ImageExists = ExistsQuery;
  services.ImageWidth = WidthQuery;
  services.ImageHeight = HeightQuery;
  services.ImageTexture = TextureQuery;
  services.ImageExtentU = ExtentUQuery;
  services.ImageExtentV = ExtentVQuery;
  services.ImageLoad = tessark::ImageLoad;
  services.ImageDelete = tessark::ImageDelete;
  services.ImageGetData = tessark::ImageGetData;
  services.ImageDataFree = tessark::ImageDataFree;
  services.ImageSetData = tessark::ImageSetData;
}

}  // namespace tessark::image

namespace tessark {

using namespace tessark::image;

void ImageLoad(const char* file, std::int32_t id, std::int32_t mode) {
  const char* name = file ? file : "";
  if (!IdInRange(id)) {
    RuntimeErrorDetail(error::kImageLoadFailed, "ImageLoad(\"%s\", %d): the id is outside 1 to %d",
                       name, id, kMaxId);
  } else if (!LoadInto(file, id, mode, 0)) {
    RuntimeErrorDetail(error::kImageLoadFailed, "ImageLoad(\"%s\", %d): %s", name, id,
                       FileProblem(file, kNotAPicture).c_str());
  }
}

void ImagePaste(std::int32_t id, std::int32_t x, std::int32_t y, std::int32_t transparent) {
  ImageRecord* record = FindChecked(id);
  if (!record || !State().paste_routine) return;
  State().paste_routine(id, x, y, record->extent_u, record->extent_v, transparent);
}

void ImageDelete(std::int32_t id) {
  ImageRecord* record = FindChecked(id);
  if (!record) return;
  if (State().texture_ref_hook && record->texture) State().texture_ref_hook(record->texture.Get());
  record->texture.Reset();
  record->file_name[0] = '\0';
  record->link_object = nullptr;
  record->link_value = 0;
  Discard(id);
}

bool ImageExists(std::int32_t id) {
  return IdInRange(id) && Find(id) != nullptr;
}

std::int32_t ImageWidth(std::int32_t id) {
  return WidthQuery(id);
}

std::int32_t ImageHeight(std::int32_t id) {
  return HeightQuery(id);
}

char* ImageFileName(std::int32_t id) {
  if (!IdInRange(id)) return TextCopy("");
  ImageRecord* record = Find(id);
  return TextCopy(record ? record->file_name : "");
}

void ImageSetColourKey(std::int32_t red, std::int32_t green, std::int32_t blue) {
  State().colour_key = 0xFF000000u + static_cast<std::uint32_t>(red) * 65536u +
                       static_cast<std::uint32_t>(green) * 256u + static_cast<std::uint32_t>(blue);
}

std::int32_t ImageLoadFree(const char* file, std::int32_t divisor) {
  if (!file) return 0;
  for (IdListNode* n = State().store.Head(); n; n = n->next) {
    auto* record = static_cast<ImageRecord*>(n->value);
    if (record->texture && ::strcasecmp(record->file_name, file) == 0) return n->id;
  }
  std::int32_t id = -1;
  while (Find(id)) --id;
  return LoadInto(file, id, 0, divisor) ? id : 0;
}

}  // namespace tessark
