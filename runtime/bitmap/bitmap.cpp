// Bitmaps: the module's entries, the store, making, loading, deleting and selecting bitmaps,
// the queries and the data services for memory blocks. The whole-bitmap effects and the copies
// are in bitmap_effects.cpp.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/d3d9/formats.h"
#include "platform/d3dx9/d3dx9.h"
#include "runtime/bitmap/bitmap_state.h"
#include "runtime/core/errors.h"
#include "runtime/core/module_table.h"
#include "tessark/bitmap.h"

namespace tessark::bitmap {

namespace {

constexpr std::size_t kNameCapacity = 1024;

// Bitmap 0: the display's size and the render surface's depth, with no surfaces of its own.
void ScreenSetUp() {
  BitmapState& s = State();
  Discard(0);
  if (!s.core || !s.core->back_buffer_surface) return;
  D3DSURFACE_DESC desc{};
  s.core->back_buffer_surface->GetDesc(&desc);
  s.format = desc.Format;
  s.bits = d3d9_internal::FormatBits(desc.Format);
  s.bytes = s.bits / 8;
  auto* record = new BitmapRecord;
  record->width = s.core->display_width;
  record->height = s.core->display_height;
  record->depth = SurfaceBits(s.core->render_surface);
  s.store.Add(0, record, false);
}

void Constructor(void* /*handle*/) {}

void SetErrorHandler(std::int32_t* error_word) {
  State().error_word = error_word;
}

void PassCoreData(CoreData* core) {
  BitmapState& s = State();
  s.core = core;
  s.device = Modules().display.DisplayDevice ? Modules().display.DisplayDevice() : nullptr;
  s.d3d.Reset();
  if (s.device) s.device->GetDirect3D(s.d3d.Put());
  ScreenSetUp();
  if (BitmapRecord* screen = Find(0)) SetCurrent(0, *screen);
}

void Destructor() {
  BitmapState& s = State();
  // Drawing must not be left pointing into a surface about to be released.
  if (s.core && s.core->draw_target != 0) {
    BitmapRecord screen;
    SetCurrent(0, screen);
  }
  s.FreeAll();
  s.d3d.Reset();
  s.device = nullptr;
}

void RefreshD3D(std::int32_t stage) {
  if (stage == 0) {
    Destructor();
  } else if (State().core) {
    PassCoreData(State().core);
  }
}

// Loads file into bitmap id (0 included): see BitmapLoad.
void Load(const char* file, std::int32_t id) {
  BitmapState& s = State();
  if (!file || !s.device)
    return RuntimeErrorDetail(error::kBitmapLoadFailed, "BitmapLoad(%d): %s", id,
                              file ? "no display device" : "no file name was given");
  std::string name(file);
  name.resize(std::max(name.size() + 1, kNameCapacity), '\0');
  if (s.core && s.core->MediaPathResolve) s.core->MediaPathResolve(name.data(), name.size());
  name.resize(std::strlen(name.c_str()));

  BitmapRecord* record = Find(id);
  IDirect3DSurface9* target = record ? SurfaceOf(id, *record) : nullptr;
  D3DSURFACE_DESC target_desc{};
  if (target) target->GetDesc(&target_desc);
  const D3DFORMAT format = target ? target_desc.Format : s.format;

  D3DXIMAGE_INFO info{};
  Ref<IDirect3DSurface9> picture;
  if (FAILED(D3DXGetImageInfoFromFileA(name.c_str(), &info)) ||
      FAILED(s.device->CreateRenderTarget(info.Width, info.Height, format, D3DMULTISAMPLE_NONE, 0,
                                          TRUE, picture.Put(), nullptr)) ||
      FAILED(D3DXLoadSurfaceFromFileA(picture.Get(), nullptr, nullptr, name.c_str(), nullptr,
                                      D3DX_FILTER_NONE, 0, nullptr))) {
    return RuntimeErrorDetail(error::kBitmapLoadFailed, "BitmapLoad(\"%s\", %d): %s", file, id,
                              FileProblem(name.c_str(), kNotAPicture).c_str());
  }
  const auto width = static_cast<LONG>(info.Width), height = static_cast<LONG>(info.Height);
  if (target) {
    const RECT shared{0, 0, std::min(width, static_cast<LONG>(target_desc.Width)),
                      std::min(height, static_cast<LONG>(target_desc.Height))};
    s.device->StretchRect(picture.Get(), &shared, target, &shared, D3DTEXF_NONE);
  } else {
    if (!Create(id, width, height)) return;
    record = Find(id);
    s.device->StretchRect(picture.Get(), nullptr, record->surface.Get(), nullptr, D3DTEXF_NONE);
    record->depth = s.bits;
  }
  SetCurrent(id, *record);
}

// The bitmap drawing goes to now (0 for the screen).
std::int32_t Current() {
  return State().core ? State().core->draw_target : 0;
}

}  // namespace

void BitmapState::FreeAll() {
  for (IdListNode* node = store.Head(); node; node = node->next) {
    delete static_cast<BitmapRecord*>(node->value);
  }
  store.FreeAll();
}

BitmapState& State() {
  static BitmapState state;
  return state;
}

BitmapRecord* Find(std::int32_t id) {
  return static_cast<BitmapRecord*>(State().store.Find(id));
}

BitmapRecord* FindChecked(std::int32_t id, std::int32_t first) {
  if (id < first || id > kIdLast) {
    RuntimeError(error::kBitmapIdOutOfRange);
    return nullptr;
  }
  BitmapRecord* record = Find(id);
  if (!record) RuntimeErrorDetail(error::kBitmapMissing, "bitmap %d does not exist", id);
  return record;
}

IDirect3DSurface9* SurfaceOf(std::int32_t id, const BitmapRecord& record) {
  if (id != 0) return record.surface.Get();
  return State().core ? State().core->back_buffer_surface : nullptr;
}

std::int32_t SurfaceBits(IDirect3DSurface9* surface) {
  D3DSURFACE_DESC desc{};
  if (!surface || FAILED(surface->GetDesc(&desc))) return 0;
  return d3d9_internal::FormatBits(desc.Format);
}

void Discard(std::int32_t id) {
  BitmapState& s = State();
  auto* record = static_cast<BitmapRecord*>(s.store.Find(id));
  if (!record) return;
  if (id != 0 && s.core && s.core->draw_target == id) {
    BitmapRecord screen;
    SetCurrent(0, screen);
  }
  s.store.Remove(id);
  delete record;
}

bool Create(std::int32_t id, std::int32_t width, std::int32_t height) {
  BitmapState& s = State();
  Discard(id);
  Ref<IDirect3DSurface9> surface;
  if (!s.device || width < 1 || height < 1 ||
      FAILED(s.device->CreateRenderTarget(static_cast<UINT>(width), static_cast<UINT>(height),
                                          s.format, D3DMULTISAMPLE_NONE, 0, TRUE, surface.Put(),
                                          nullptr))) {
    RuntimeNotice("Failed to create bitmap surface");
    return false;
  }
  Ref<IDirect3DSurface9> depth;
  const std::uint32_t depth_format =
      Modules().display.DepthFormatFor ? Modules().display.DepthFormatFor(s.format) : 0;
  if (depth_format != D3DFMT_UNKNOWN) {
    s.device->CreateDepthStencilSurface(static_cast<UINT>(width), static_cast<UINT>(height),
                                        static_cast<D3DFORMAT>(depth_format), D3DMULTISAMPLE_NONE,
                                        0, TRUE, depth.Put(), nullptr);
  }
  auto* record = new BitmapRecord;
  record->surface = std::move(surface);
  record->depth_surface = std::move(depth);
  record->width = width;
  record->height = height;
  record->depth = s.bits;
  s.store.Add(id, record, false);
  return true;
}

void SetCurrent(std::int32_t id, const BitmapRecord& record) {
  BitmapState& s = State();
  if (!s.core) return;
  IDirect3DSurface9* target = id != 0 ? record.surface.Get() : s.core->back_buffer_surface;
  IDirect3DSurface9* depth = id != 0 ? record.depth_surface.Get() : s.core->depth_surface;
  if (s.device && target) {
    s.device->SetRenderTarget(0, target);
    s.device->SetDepthStencilSurface(depth);
  }
  s.core->render_surface = target;
  s.core->draw_target = id;
}

SurfaceLock::SurfaceLock(IDirect3DSurface9* surface, DWORD flags) : surface_(surface) {
  D3DLOCKED_RECT locked{};
  if (surface_ && SUCCEEDED(surface_->LockRect(&locked, nullptr, flags))) {
    bits_ = static_cast<BYTE*>(locked.pBits);
    pitch_ = locked.Pitch;
  }
}

SurfaceLock::~SurfaceLock() {
  if (bits_) surface_->UnlockRect();
}

bool DataOut(std::int32_t id, std::int32_t mode, std::int32_t header[3], std::uint8_t** data,
             std::int32_t* size) {
  if (!data) return false;
  if (mode != 1) {
    std::free(*data);
    *data = nullptr;
    return false;
  }
  *data = nullptr;
  BitmapRecord* record = Find(id);
  IDirect3DSurface9* surface = record ? SurfaceOf(id, *record) : nullptr;
  D3DSURFACE_DESC desc{};
  if (!surface || FAILED(surface->GetDesc(&desc))) return false;
  const std::int32_t bits = d3d9_internal::FormatBits(desc.Format);
  const std::int32_t width = std::min(record->width, static_cast<std::int32_t>(desc.Width));
  const std::int32_t height = std::min(record->height, static_cast<std::int32_t>(desc.Height));
  if (bits < 8 || width < 1 || height < 1) return false;
  const std::size_t row = static_cast<std::size_t>(width) * (bits / 8);
  SurfaceLock lock(surface, D3DLOCK_READONLY);
  auto* pixels = static_cast<std::uint8_t*>(std::malloc(row * height));
  if (!lock || !pixels) {
    std::free(pixels);
    return false;
  }
  for (std::int32_t y = 0; y < height; ++y) std::memcpy(pixels + row * y, lock.Row(y), row);
  if (header) {
    header[0] = width;
    header[1] = height;
    header[2] = bits;
  }
  *data = pixels;
  if (size) *size = static_cast<std::int32_t>(row * height);
  return true;
}

void DataIn(std::int32_t id, const std::int32_t header[3], const std::uint8_t* data,
            std::int32_t size) {
  const std::int32_t width = header[0], height = header[1], depth = header[2];
  if (!data || id < 0 || id > kIdLast || width < 1 || height < 1 ||
      (depth != 8 && depth != 16 && depth != 24 && depth != 32)) {
    return;
  }
  // The rows are counted against the data before they are multiplied: no product overflows.
  const std::int64_t row_bytes = static_cast<std::int64_t>(width) * (depth / 8);
  if (size < row_bytes || height > size / row_bytes) return;
  BitmapRecord* record = Find(id);
  if (id != 0 &&
      (!record || record->width != width || record->height != height || record->depth != depth)) {
    BitmapCreate(id, width, height);
    record = Find(id);
  }
  IDirect3DSurface9* surface = record ? SurfaceOf(id, *record) : nullptr;
  D3DSURFACE_DESC desc{};
  if (!surface || FAILED(surface->GetDesc(&desc))) return;
  // Rows of the surface's own depth go in as they come. Rows of another depth are converted
  // pixel by pixel: 8 bits as grey levels, 16 as red 5, green 6, blue 5 bits (the layout of a
  // 16-bit display), 24 as blue, green and red bytes, 32 as alpha, red, green and blue bytes.
  const std::int32_t surface_bits = d3d9_internal::FormatBits(desc.Format);
  const std::size_t source_row = static_cast<std::size_t>(width) * (depth / 8);
  const UINT columns = std::min(static_cast<UINT>(width), desc.Width);
  const std::int32_t rows = std::min(height, static_cast<std::int32_t>(desc.Height));
  SurfaceLock lock(surface, 0);
  if (!lock) return;
  if (depth == surface_bits) {
    const std::size_t row = static_cast<std::size_t>(columns) * (depth / 8);
    for (std::int32_t y = 0; y < rows; ++y) std::memcpy(lock.Row(y), data + source_row * y, row);
    return;
  }
  const D3DFORMAT given = depth == 8    ? D3DFMT_L8
                          : depth == 16 ? D3DFMT_R5G6B5
                          : depth == 24 ? D3DFMT_R8G8B8
                                        : D3DFMT_A8R8G8B8;
  std::vector<std::uint32_t> argb(columns);
  for (std::int32_t y = 0; y < rows; ++y) {
    d3d9_internal::DecodeRow(given, data + source_row * y, columns, nullptr, argb.data());
    d3d9_internal::EncodeRow(desc.Format, argb.data(), columns, lock.Row(y));
  }
}

void Wire(ModuleTable& table) {
  table.bitmap.Constructor = Constructor;
  table.bitmap.SetErrorHandler = SetErrorHandler;
  table.bitmap.PassCoreData = PassCoreData;
  table.bitmap.RefreshD3D = RefreshD3D;
  table.bitmap.Destructor = Destructor;
  table.bitmap_data_services.DataOut = DataOut;
  table.bitmap_data_services.DataIn = DataIn;
}

}  // namespace tessark::bitmap

namespace tessark {

using namespace bitmap;

void BitmapCreate(std::int32_t id, std::int32_t width, std::int32_t height) {
  if (id < 1 || id > kIdLast) return RuntimeError(error::kBitmapIdOutOfRange);
  if (!Create(id, width, height)) return;
  BitmapRecord* record = Find(id);
  SetCurrent(id, *record);
  if (State().device) State().device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000u, 0.0f, 0);
}

void BitmapLoad(const char* file, std::int32_t id) {
  if (id < 1 || id > kIdLast) return RuntimeError(error::kBitmapIdOutOfRange);
  Load(file, id);
}

void BitmapLoad(const char* file) {
  Load(file, 0);
}

void BitmapDelete(std::int32_t id) {
  if (!FindChecked(id, 1)) return;
  Discard(id);
  if (BitmapRecord* screen = Find(0)) SetCurrent(0, *screen);
}

void BitmapSetCurrent(std::int32_t id) {
  if (BitmapRecord* record = FindChecked(id)) SetCurrent(id, *record);
}

std::int32_t BitmapCurrent() {
  return Current();
}

bool BitmapExists(std::int32_t id) {
  if (id < 0 || id > kIdLast) {
    RuntimeError(error::kBitmapIdOutOfRange);
    return false;
  }
  return Find(id) != nullptr;
}

std::int32_t BitmapWidth(std::int32_t id) {
  const BitmapRecord* r = FindChecked(id);
  return r ? r->width : 0;
}

std::int32_t BitmapHeight(std::int32_t id) {
  const BitmapRecord* r = FindChecked(id);
  return r ? r->height : 0;
}

std::int32_t BitmapDepth(std::int32_t id) {
  const BitmapRecord* r = FindChecked(id);
  return r ? r->depth : 0;
}

bool BitmapMirrored(std::int32_t id) {
  const BitmapRecord* r = FindChecked(id);
  return r && r->mirrored != 0;
}

bool BitmapFlipped(std::int32_t id) {
  const BitmapRecord* r = FindChecked(id);
  return r && r->flipped != 0;
}

bool BitmapExists() {
  return BitmapExists(Current());
}
std::int32_t BitmapWidth() {
  return BitmapWidth(Current());
}
std::int32_t BitmapHeight() {
  return BitmapHeight(Current());
}
std::int32_t BitmapDepth() {
  return BitmapDepth(Current());
}
bool BitmapMirrored() {
  return BitmapMirrored(Current());
}
bool BitmapFlipped() {
  return BitmapFlipped(Current());
}

}  // namespace tessark
