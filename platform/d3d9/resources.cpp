// Surfaces, textures and vertex buffers of the software device: storage in the declared
// format, locking with the platform's rules, and the decoded copy used for sampling.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/formats.h"

using namespace d3d9_internal;

// ---------------------------------------------------------------------------------------------
// Surfaces
// ---------------------------------------------------------------------------------------------

IDirect3DSurface9* IDirect3DSurface9::Make(const Init& init, D3DUnknown* container) {
  auto* s = new (std::nothrow) IDirect3DSurface9();
  if (!s) return nullptr;
  s->container_ = container;
  s->width_ = init.width;
  s->height_ = init.height;
  s->format_ = init.format;
  s->usage_ = init.usage;
  s->pool_ = init.pool;
  s->lockable_ = init.lockable;
  try {
    if (IsDepthFormat(init.format)) {
      s->depth_.assign(static_cast<std::size_t>(init.width) * init.height, 1.0f);
      s->stencil_.assign(static_cast<std::size_t>(init.width) * init.height, 0);
    } else {
      s->pitch_ = RowPitch(init.format, init.width);
      std::size_t bytes =
          static_cast<std::size_t>(s->pitch_) * StorageRows(init.format, init.height);
      s->store_.assign((bytes + 3) / 4, 0u);
    }
  } catch (const std::bad_alloc&) {
    delete s;
    return nullptr;
  }
  return s;
}

IDirect3DSurface9::~IDirect3DSurface9() = default;

ULONG IDirect3DSurface9::AddRef() {
  return container_ ? container_->AddRef() : D3DUnknown::AddRef();
}

ULONG IDirect3DSurface9::Release() {
  return container_ ? container_->Release() : D3DUnknown::Release();
}

HRESULT IDirect3DSurface9::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc = D3DSURFACE_DESC{format_, D3DRTYPE_SURFACE, usage_, pool_, D3DMULTISAMPLE_NONE,
                          0,       width_,           height_};
  return D3D_OK;
}

HRESULT IDirect3DSurface9::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (!locked || locked_ || !lockable_ || IsDepthFormat(format_)) return D3DERR_INVALIDCALL;
  RECT r = rect ? *rect : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
      r.right > static_cast<LONG>(width_) || r.bottom > static_cast<LONG>(height_)) {
    return D3DERR_INVALIDCALL;
  }
  UINT x = static_cast<UINT>(r.left), y = static_cast<UINT>(r.top);
  if (IsBlockFormat(format_)) {
    if (x % 4 || y % 4) return D3DERR_INVALIDCALL;
    x /= 4;
    y /= 4;
    locked->pBits = Bits() + y * pitch_ + x * (format_ == D3DFMT_DXT1 ? 8 : 16);
  } else {
    locked->pBits = Bits() + y * pitch_ + x * static_cast<UINT>(FormatBits(format_) / 8);
  }
  locked->Pitch = static_cast<INT>(pitch_);
  locked_ = true;
  return D3D_OK;
}

HRESULT IDirect3DSurface9::UnlockRect() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  stale_ = true;
  return D3D_OK;
}

bool IDirect3DSurface9::HasStencil() const {
  return format_ == D3DFMT_D24S8 || format_ == D3DFMT_D15S1 || format_ == D3DFMT_D24X4S4 ||
         format_ == D3DFMT_D24FS8;
}

void IDirect3DSurface9::SetPalette(const PALETTEENTRY* palette) {
  palette_ = palette;
  if (!palette) return;
  if (decoded_palette_.size() != 256 ||
      std::memcmp(decoded_palette_.data(), palette, 256 * sizeof(PALETTEENTRY)) != 0) {
    decoded_palette_.assign(palette, palette + 256);
    stale_ = true;
  }
}

const std::uint32_t* IDirect3DSurface9::Decoded() {
  // A8R8G8B8 rows are already 0xAARRGGBB with no padding: sample the storage itself.
  if (format_ == D3DFMT_A8R8G8B8) return store_.data();
  if (stale_ || decoded_.empty()) {
    if (decoded_.size() != static_cast<std::size_t>(width_) * height_) {
      decoded_.assign(static_cast<std::size_t>(width_) * height_, 0u);
    }
    DecodeSurface(format_, Bits(), pitch_, width_, height_, palette_, decoded_.data());
    stale_ = false;
  }
  return decoded_.data();
}

// ---------------------------------------------------------------------------------------------
// Textures
// ---------------------------------------------------------------------------------------------

void IDirect3DBaseTexture9::SurfaceDeleter::operator()(IDirect3DSurface9* s) const {
  delete s;
}

DWORD IDirect3DBaseTexture9::SetLOD(DWORD lod) {
  DWORD old = lod_;
  if (pool_ == D3DPOOL_MANAGED) lod_ = std::min(lod, GetLevelCount() - 1);
  return old;
}

namespace {

UINT FullChain(UINT w, UINT h) {
  UINT levels = 1;
  while (w > 1 || h > 1) {
    w = std::max(1u, w / 2);
    h = std::max(1u, h / 2);
    ++levels;
  }
  return levels;
}

// Lockable: everything but default-pool textures that are not dynamic.
bool LevelLockable(DWORD usage, D3DPOOL pool) {
  return pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) != 0;
}

}  // namespace

bool IDirect3DBaseTexture9::BuildLevels(UINT faces, UINT width, UINT height, UINT levels,
                                        DWORD usage, D3DFORMAT format, D3DPOOL pool) {
  pool_ = pool;
  faces_ = faces;
  UINT chain = FullChain(width, height);
  if (levels == 0 || levels > chain) levels = chain;
  try {
    levels_.reserve(static_cast<std::size_t>(faces) * levels);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (UINT f = 0; f < faces; ++f) {
    for (UINT l = 0; l < levels; ++l) {
      IDirect3DSurface9::Init init{
          std::max(1u, width >> l),  std::max(1u, height >> l), format, usage, pool,
          LevelLockable(usage, pool)};
      IDirect3DSurface9* s = IDirect3DSurface9::Make(init, this);
      if (!s) return false;
      levels_.emplace_back(s);  // room was reserved: cannot throw
    }
  }
  return true;
}

IDirect3DTexture9* IDirect3DTexture9::Make(UINT width, UINT height, UINT levels, DWORD usage,
                                           D3DFORMAT format, D3DPOOL pool) {
  auto* t = new (std::nothrow) IDirect3DTexture9();
  if (t && !t->BuildLevels(1, width, height, levels, usage, format, pool)) {
    delete t;
    return nullptr;
  }
  return t;
}

HRESULT IDirect3DTexture9::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  return Level(0, level)->GetDesc(desc);
}

HRESULT IDirect3DTexture9::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
  if (!surface || level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  *surface = Level(0, level);
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DTexture9::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                                    DWORD flags) {
  if (level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  return Level(0, level)->LockRect(locked, rect, flags);
}

HRESULT IDirect3DTexture9::UnlockRect(UINT level) {
  if (level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  return Level(0, level)->UnlockRect();
}

IDirect3DCubeTexture9* IDirect3DCubeTexture9::Make(UINT edge, UINT levels, DWORD usage,
                                                   D3DFORMAT format, D3DPOOL pool) {
  auto* t = new (std::nothrow) IDirect3DCubeTexture9();
  if (t && !t->BuildLevels(6, edge, edge, levels, usage, format, pool)) {
    delete t;
    return nullptr;
  }
  return t;
}

HRESULT IDirect3DCubeTexture9::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) {
  if (level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  return Level(0, level)->GetDesc(desc);
}

HRESULT IDirect3DCubeTexture9::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level,
                                                 IDirect3DSurface9** surface) {
  if (!surface || face > 5 || level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  *surface = Level(face, level);
  (*surface)->AddRef();
  return D3D_OK;
}

HRESULT IDirect3DCubeTexture9::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked,
                                        const RECT* rect, DWORD flags) {
  if (face > 5 || level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  return Level(face, level)->LockRect(locked, rect, flags);
}

HRESULT IDirect3DCubeTexture9::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
  if (face > 5 || level >= GetLevelCount()) return D3DERR_INVALIDCALL;
  return Level(face, level)->UnlockRect();
}

// ---------------------------------------------------------------------------------------------
// Vertex buffers
// ---------------------------------------------------------------------------------------------

IDirect3DVertexBuffer9::IDirect3DVertexBuffer9(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : data_(length, 0), usage_(usage), fvf_(fvf) {
  pool_ = pool;
}

HRESULT IDirect3DVertexBuffer9::Lock(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_) return D3DERR_INVALIDCALL;
  if (offset > Length()) return D3DERR_INVALIDCALL;
  if (size == 0) size = Length() - offset;  // 0 locks to the end of the buffer
  if (size > Length() - offset) return D3DERR_INVALIDCALL;
  // Drawing is finished when a draw call returns, so a discard can hand back the same memory.
  *data = data_.data() + offset;
  locked_ = true;
  return D3D_OK;
}

HRESULT IDirect3DVertexBuffer9::Unlock() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

HRESULT IDirect3DVertexBuffer9::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  *desc =
      D3DVERTEXBUFFER_DESC{D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, usage_, pool_, Length(), fvf_};
  return D3D_OK;
}
